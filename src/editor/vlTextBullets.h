#pragma once
// Bulleted paragraphs. A bullet is the paragraph's outline prefix: the marker text "  • " at the
// start of its text, with the paragraph's outline set to oBullet. The marker is text like any
// other for layout, drawing and saving, but the editor treats it as one thing:
// - the caret that a bullet is put in front of moves behind it with the text it stood at, and
//   typing never lands in front of a marker: the characters go behind it;
// - Backspace with the caret just behind the marker (or in it), and Delete in front of it, take
//   the bullet away as a whole, never one character of it;
// - Enter in a bulleted paragraph gives the new paragraph a bullet (the bullets command); Enter
//   in a paragraph that holds nothing but its marker ends the list instead.
//
// Outlines are not stored in files: a paragraph read back whose text begins with the marker is
// taken as bulleted again when the editor first asks, so that the marker can still be removed
// as a bullet and Enter still continues the list.
//
// User-interface thread only.

#include <QString>

class TDocument;
class TWindowView;

// "  • ": two blanks, the bullet, a blank.
QString BulletMarker();

// The length of the bullet marker paragraph SN begins with; 0 when it has none (or SN is not a
// paragraph). A marker read back from a file becomes the paragraph's bullet again here.
int Bullet_MarkerLength(TDocument &Doc, int SN);

// The bulleted-list command on a document: the caret's paragraph, or every paragraph of the
// selection; when the first of them has a bullet they all lose theirs, otherwise they all get
// one. Caret and selection keep to the same text. Answers whether anything changed (and then
// counts one change of the document).
bool Bullets_Toggle(TDocument &Doc);
// The same on the view's document, which then repaints and shows its caret, scrolled into view.
void Bullets_Toggle(TWindowView &View);

// "* " or "- " typed at the start of a paragraph starts a bulleted list: the two characters
// become the paragraph's bullet. An option, on unless the program turns it off; this switch is
// all the editor keeps of it (the program stores it with its other options).
bool AutoBullets();
void SetAutoBullets(bool On);
// After a blank was typed: when the caret's paragraph has no outline and begins with "* " or
// "- " just before the caret, those two characters give way to a bullet, with the caret behind
// it. Answers whether it did. Does nothing while AutoBullets is off.
bool Bullet_FromTypedPrefix(TDocument &Doc);

// Takes paragraph SN's bullet away (marker text and outline); positions in the paragraph move
// with the text. False when the paragraph has none.
bool Bullet_Remove(TDocument &Doc, int SN);
