#pragma once
// Every change to a document's content, told as one record to the observers the document has.
// The journal that keeps typing safe until the next save listens here, and an undo history can
// listen to the same records: each one names its operation with everything needed to do it
// again exactly on an equal document (TDocument::Edit_Apply), and the deleting ones carry what
// they removed, which is also what proves that a document is the one the record was made on.
//
// A record describes a leaf operation: composite operations (a paste that replaces a selection,
// SubStr_Replace) are told as the leaf operations they are made of, in the order they ran. The
// caret is not part of the content and is never told.
//
// Records are told after the change, on the user-interface thread; an observer must not edit
// the document while it is being told.

#include "vldFontsInUse.h"
#include "vldRichString.h"
#include "vldSection.h"
#include "vldTemporal.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class TDocument;

// The values are stored in journals: never renumber them.
enum class TEditKind : std::uint8_t {
  // Text before At; each line feed of it split the paragraph there. Moment: the end-of-line
  // moment a split gives the paragraph it cut; Moment2 and Font: the end-of-line moment and font
  // of the new paragraphs.
  Insert = 1,
  // Char_Delete(At). Removed: the character, or a line feed when it joined the next paragraph.
  CharDelete = 2,
  // CaretSpan_Delete(At, Stop). Removed: the text between, paragraphs joined by line feeds.
  CaretSpanDelete = 3,
  // SubStr_Delete of the characters (At.SN, At.FGN) to (Stop.SN, Stop.FGN). Removed: their text.
  SubStrDelete = 4,
  // Char_Replace at At by the one character of Text. Removed: the character replaced; Moment,
  // Moment2 and Font: as for Insert when the new character is a line feed.
  CharReplace = 5,
  // A font change over the characters (At.SN, At.FGN) to (Stop.SN, Stop.FGN): FontOp with its
  // parameter (Font, Flag, Str, Number, Color, Highlight).
  FontChange = 6,
  // Paragraph_Outline_Set(At.SN, Outline, Str).
  Outline = 7,
  // Timestamp_SetForCharacter(At, Moment).
  CharMoment = 8,
  // Timestamp_SetForParagraph(At.SN, Moment).
  ParagraphMoment = 9,
  // The whole content replaced (a load, a copy, a change of pictures or strokes): Bytes is the
  // document's embedded block as a binder holds it.
  Content = 10,
  // The sections At.SN .. Stop.SN (none when Stop.SN < At.SN) replaced as a whole by Stop.FGN
  // paragraphs: an undo or a redo. Text: their characters, each paragraph followed by a line
  // feed with its end-of-line font and moment; Str: what files do not hold exactly, per paragraph
  // its outline's number, its prefix, the real and the effective moment of the paragraph (17
  // digits), parted by U+001F and ended by U+001E; Removed: the text of the sections replaced,
  // paragraphs joined by line feeds.
  Sections = 11,
};

// Why text came in; the journal's summary counts typed and pasted characters apart.
enum class TEditOrigin : std::uint8_t { Other = 0, Typed = 1, Pasted = 2 };

// The font changes of TDocument, by the method that made them. Stored in journals.
enum class TFontOp : std::uint8_t {
  Index = 1,         // Font_Change(span, Font)
  Bold = 2,          // Font_ChangeBold(span, Flag)
  Italic = 3,        // Font_ChangeItalics
  Underline = 4,     // Font_ChangeUnderline
  Strikeout = 5,     // Font_ChangeStrikeout
  Name = 6,          // Font_ChangeName(span, Str)
  Size = 7,          // Font_ChangeSizeTo(span, Number)
  Color = 8,         // Font_ChangeColor(span, Color)
  Highlight = 9,     // Font_ChangeHighlight(span, Highlight)
  Colors = 10,       // Font_ChangeColors(span, Color, Highlight)
  SizeRelative = 11  // Font_ChangeSizeRelative(span, Number percent)
};

struct RDocumentEdit {
  TEditKind Kind = TEditKind::Insert;
  TEditOrigin Origin = TEditOrigin::Other;
  TCaretPos At;
  TCaretPos Stop;
  // Insert and CharReplace: the characters with their fonts (indices of the document's table)
  // and moments. Not owned; valid while the record is told.
  const TRichString *Text = nullptr;
  QString Removed;
  RvlTimestamp Moment;
  RvlTimestamp Moment2;
  TFontIndex Font = 0;
  TFontOp FontOp = TFontOp::Index;
  bool Flag = false;
  double Number = 0;
  TColor Color = 0;
  TColor Highlight = 0;
  QString Str;
  TOutline Outline = oNone;
  QByteArray Bytes;
};

// What an operation is about to change, told before it changes anything: the sections First to
// Last (in the numbering before the change). After the change the sections that replaced them
// run from First to Last plus the change in the number of sections. Every such notice is
// followed by the operation's record.
struct RDocumentEditing {
  TEditKind Kind = TEditKind::Insert;
  TEditOrigin Origin = TEditOrigin::Other;
  int First = 0;
  int Last = 0;
  TCaretPos At;
  QChar Ch;             // Insert: the first character inserted
  double RealWhen = 0;  // typing one character: the wall-clock moment it gets; else 0
  // Not the first change of one operation (a paste that replaces a selection, one key).
  bool Continues = false;
};

class TDocumentEditObserver {
 public:
  virtual ~TDocumentEditObserver() = default;
  virtual void Document_Editing(const TDocument & /*Doc*/, const RDocumentEditing & /*Edit*/) {}
  virtual void Document_Edited(const TDocument &Doc, const RDocumentEdit &Edit) = 0;
  // The operation whose changes were told is over (a key, a paste): the caret is where it
  // leaves it. Told only for operations that changed something.
  virtual void Document_EditDone(const TDocument & /*Doc*/) {}
  // A change was counted. Every edit counts; so do changes no record tells, which others make
  // count as a change of the active document (bookmarks).
  virtual void Document_ChangeCounted(const TDocument & /*Doc*/) {}
};
