// TDocument's diagnostic dump: what the text formatter writes to a file when it finds the model
// and its layout out of step, and what the main window's debug menu shows.

#include "vl_Document.h"

#include "vlAppPaths.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlTextFile.h"
#include "vldGraphic.h"

namespace {

QString PosText(const TCaretPos &P) { return QStringLiteral("(%1,%2)").arg(P.SN).arg(P.FGN); }
QString CharText(const TCharX &X) { return QStringLiteral("(%1,%2)").arg(X.SN).arg(X.CX); }

QString ListText(const TInt32List &List) {
  QStringList parts;
  for (int i = 1; i <= List.Count(); ++i) parts << QString::number(List.GetDatum(i));
  return parts.join(u',');
}

}  // namespace

void TDocument::Document_Dump(QStringList &SL) const {
  SL.clear();
  for (int slot = FirstFormatterHandle; slot <= LastFormatterHandle; ++slot)
    if (NotifyList[static_cast<std::size_t>(slot)])
      SL << QStringLiteral("NotifyList[%1] is assigned.").arg(slot);
  SL << QStringLiteral("Sections_Low  = %1").arg(Section_Low());
  SL << QStringLiteral("Sections_High = %1").arg(Section_High());
  SL << QStringLiteral("Document_FirstPos  = ") + PosText(Document_FirstCaretPos());
  TCharX last;
  SL << (Document_LastCharX(last) ? QStringLiteral("Document_LastCharX   = ") + CharText(last)
                                  : QStringLiteral("Document_LastCharX   = FALSE"));
  SL << QStringLiteral("Document_LastCaretPos = ") + PosText(Document_LastCaretPos());
  for (int n = 0; n <= Section_High(); ++n) {
    SL << QString();
    const TParagraph *p = Paragraph_FromSectionNum(n);
    if (!p) {
      SL << QStringLiteral("Section[%1]:   Is NOT a paragraph.").arg(n);
      continue;
    }
    SL << QStringLiteral("Section[%1]:   Is a paragraph.").arg(n);
    SL << QLatin1Char('"') + p->Dump_TextWithVisibleNL() + QLatin1Char('"');
    SL << QStringLiteral("     P.First=%1   P.High=%2   P.After=%3   P.Length=%4")
              .arg(p->First())
              .arg(p->High())
              .arg(p->After())
              .arg(p->Length());
    SL << QStringLiteral("     Group Timestamp = ") + TimeStampFull(p->FGroupTimestamp.RealDT);
    SL << QStringLiteral("      Whens = \"") + p->Dump_TimestampsStr() + QLatin1Char('"');
    for (int i = 1; i <= p->AnchoredInsets.Count(); ++i) {
      const std::int32_t handle = p->AnchoredInsets.GetHandle(i);
      SL << QStringLiteral("      AnchoredInsets.Handle[%1] is %2").arg(i).arg(handle);
      const TInset *inset = InsetsStorage.GetInset(handle);
      if (!inset) continue;
      const TVirtualRect r = inset->EditorsData.VirtualRect();
      // vTop is 64-bit: formatted as text, never through "%d".
      SL << QStringLiteral("         EditorsData = %1,%2   %3,%4   (%5x%6)")
                .arg(r.vLeft)
                .arg(r.vTop)
                .arg(r.vRight)
                .arg(r.vBottom)
                .arg(inset->EditorsData.FPixelWidth)
                .arg(inset->EditorsData.FPixelHeight);
      if (const auto *g = dynamic_cast<const TvlGraphic *>(inset)) {
        SL << QStringLiteral("         Type of Inset: vlGraphic");
        SL << QStringLiteral("            Z-Order = %1").arg(g->FZOrder);
        SL << QStringLiteral("            ImageRect = %1,%2   %3,%4")
                  .arg(g->ImageRect.Left)
                  .arg(g->ImageRect.Top)
                  .arg(g->ImageRect.Right)
                  .arg(g->ImageRect.Bottom);
      }
    }
    for (int handle = FirstFormatterHandle; handle <= LastFormatterHandle; ++handle) {
      const auto *info = dynamic_cast<const TParagraphInfo *>(p->GetStorage(handle));
      if (!info) continue;
      SL << QStringLiteral("      Storage[%1] is a TParagraphInfo").arg(handle);
      SL << QStringLiteral("         PixelTop     = %1").arg(info->FPixelTop);
      SL << QStringLiteral("         PixelHeight  = %1").arg(info->FPixelHeight);
      SL << QStringLiteral("         FirstLineNum = %1").arg(info->FirstLineNum);
      SL << QStringLiteral("         LineCount    = %1").arg(info->LineCount);
      SL << QStringLiteral("         WrapPoints   = ") + ListText(info->WrapPoints);
      SL << QStringLiteral("         LineHeights  = ") + ListText(info->LineHeights);
    }
  }
}

bool TDocument::Document_DumpToTimestampedFile(const QString &WhyStr) const {
  if (!ErrorLog().DebugSwitch()) return false;
  QString why = WhyStr;
  for (QChar &c : why)
    if (c.unicode() < 32 || QStringView(u"/\\:*?\"<>|").contains(c)) c = u'_';
  QStringList lines;
  Document_Dump(lines);
  return WriteTextFileAtomically(AppPaths().DocumentsFolder() + QStringLiteral("/Document Dump ") +
                                     TimeStampMinute(Now()) + QLatin1Char(' ') + why +
                                     QStringLiteral(".txt"),
                                 lines);
}
