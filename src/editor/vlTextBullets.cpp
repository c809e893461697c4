#include "vlTextBullets.h"

#include "vlWindowView.h"
#include "vlWindowViewManager.h"
#include "vl_Document.h"

#include <algorithm>

namespace {

// The length of the outline prefix paragraph P begins with: the text that changing its outline
// takes away.
int PrefixLength(const TParagraph &P) {
  QString init;
  const TOutline outline = P.Outline_Get(init);
  return outline != oNone && init.size() >= 2 && P.Text().startsWith(init)
             ? static_cast<int>(init.size())
             : 0;
}

// Where a position of paragraph SN lies once its prefix of Old characters became one of New:
// on the same text, or just behind the new prefix when it stood in the old one.
void KeepOnText(TCaretPos &Pos, int SN, int Old, int New) {
  if (Pos.SN != SN) return;
  Pos.FGN = std::max(Pos.FGN - Old, 1) + New;
  Pos.EOL = false;
}

// Gives paragraph SN the outline (oNone: takes it away); caret and anchor stay on their text.
void SetOutline(TDocument &Doc, int SN, TOutline Outline, const QString &Marker) {
  const TParagraph *p = Doc.Paragraph_FromSectionNum(SN);
  if (!p) return;
  const int old = PrefixLength(*p);
  TCaretPos caret = Doc.FAtPos;
  TCaretPos anchor = Doc.FAtPosSelect;
  Doc.Paragraph_Outline_Set(SN, Outline, Marker);
  const int now = Outline == oNone ? 0 : static_cast<int>(Marker.size());
  KeepOnText(caret, SN, old, now);
  KeepOnText(anchor, SN, old, now);
  Doc.FAtPos = caret;
  Doc.FAtPosSelect = anchor;
}

}  // namespace

QString BulletMarker() { return QStringLiteral("  \u2022 "); }

int Bullet_MarkerLength(TDocument &Doc, int SN) {
  TParagraph *p = Doc.Paragraph_FromSectionNum(SN);
  if (!p) return 0;
  QString init;
  const TOutline outline = p->Outline_Get(init);
  if (outline == oBullet) return PrefixLength(*p);
  const QString marker = BulletMarker();
  if (outline == oNone && p->Text().startsWith(marker)) {
    // Read back from a file, which keeps the text but not the outline.
    p->Outline = oBullet;
    p->OutlineStr = marker;
    return static_cast<int>(marker.size());
  }
  return 0;
}

bool Bullet_Remove(TDocument &Doc, int SN) {
  if (Bullet_MarkerLength(Doc, SN) == 0) return false;
  SetOutline(Doc, SN, oNone, QString());
  Doc.ChangeCount_Increment();
  return true;
}

namespace {
bool AutoBulletsOn = true;
}  // namespace

bool AutoBullets() { return AutoBulletsOn; }
void SetAutoBullets(bool On) { AutoBulletsOn = On; }

bool Bullet_FromTypedPrefix(TDocument &Doc) {
  if (!AutoBulletsOn || Doc.Select_IsAnyTextSelected()) return false;
  const int sn = Doc.FAtPos.SN;
  const TParagraph *p = Doc.Paragraph_FromSectionNum(sn);
  if (!p || Doc.FAtPos.FGN != 3) return false;
  QString init;
  if (p->Outline_Get(init) != oNone || Bullet_MarkerLength(Doc, sn) > 0) return false;
  const QString &text = p->Text();
  if (text.size() < 2 || (text[0] != u'*' && text[0] != u'-') || text[1] != u' ') return false;
  // The typed prefix goes as typed characters go (its typing events with it), then the bullet
  // takes its place.
  Doc.Char_Delete(TCaretPos{sn, 1, false});
  Doc.Char_Delete(TCaretPos{sn, 1, false});
  Doc.AtPos_NoSelectionSet(TCaretPos{sn, 1, false});
  SetOutline(Doc, sn, oBullet, BulletMarker());
  return true;
}

bool Bullets_Toggle(TDocument &Doc) {
  int first = Doc.FAtPos.SN;
  int last = first;
  if (Doc.Select_IsAnyTextSelected()) {
    TCaretPos from, to;
    Doc.Select_GetFirstAndLastCaretPos(from, to);
    first = from.SN;
    last = to.SN;
  }
  const bool remove = Bullet_MarkerLength(Doc, first) > 0;
  bool changed = false;
  for (int sn = first; sn <= last; ++sn) {
    if (!Doc.IsParagraph(sn)) continue;
    const bool has = Bullet_MarkerLength(Doc, sn) > 0;
    if (has != remove) continue;  // already as wanted
    SetOutline(Doc, sn, remove ? oNone : oBullet, remove ? QString() : BulletMarker());
    changed = true;
  }
  if (changed) Doc.ChangeCount_Increment();
  return changed;
}

void Bullets_Toggle(TWindowView &View) {
  TDocument *doc = View.Document();
  if (!doc || !Bullets_Toggle(*doc)) return;
  // The formatter heard of the changed paragraphs; the views draw them again.
  ViewManager().InvalidateAll(&View);
  View.SetDesiredXFromCaret();
  View.Caret_ScrollIntoView_TimelineFollows();
}
