#include "vldConsistency.h"

#include "vl_Document.h"

#include <cmath>

QString DocumentConsistencyFault(const TDocument &Doc) {
  if (Doc.Section_High() < 0) return QStringLiteral("no section");
  for (int sn = 0; sn <= Doc.Section_High(); ++sn) {
    const TParagraph *p = Doc.Paragraph_FromSectionNum(sn);
    const QString where = QStringLiteral(" in paragraph %1").arg(sn);
    if (!p) return QStringLiteral("section %1 is no paragraph").arg(sn);
    if (p->Text().size() != static_cast<qsizetype>(p->Fonts().size()) ||
        p->Text().size() != p->Whens().Count())
      return QStringLiteral("text, fonts and timestamps out of step") + where;
    for (const RvlTimestamp &t : p->Whens().Entries())
      if (!std::isfinite(t.FEffectiveDT) || !std::isfinite(t.RealDT))
        return QStringLiteral("a moment that is not a number") + where;
    for (TFontIndex f : p->Fonts())
      if (f < 0) return QStringLiteral("font %1").arg(f) + where;
    if (p->FNLFont < 0) return QStringLiteral("end-of-line font %1").arg(p->FNLFont) + where;
    for (int i = 1; i <= p->AnchoredInsets.Count(); ++i) {
      const TInsetHandle h = p->AnchoredInsets.GetHandle(i);
      const TInset *inset = Doc.InsetsStorage.GetInset(h);
      if (!inset || inset->FAnchor != p)
        return QStringLiteral("inset #%1 listed but not anchored").arg(h) + where;
      for (int k = 1; k < i; ++k)
        if (p->AnchoredInsets.GetHandle(k) == h)
          return QStringLiteral("inset #%1 listed twice").arg(h) + where;
    }
  }
  for (const auto &inset : Doc.InsetsStorage.Insets()) {
    if (!inset || !inset->FAnchor) continue;
    const int sn = Doc.Paragraph_GetSectionNumOf(inset->FAnchor);
    if (sn < 0) return QStringLiteral("an inset anchored outside the document");
    bool listed = false;
    for (int i = 1; i <= inset->FAnchor->AnchoredInsets.Count() && !listed; ++i)
      listed =
          Doc.InsetsStorage.GetInset(inset->FAnchor->AnchoredInsets.GetHandle(i)) == inset.get();
    if (!listed) return QStringLiteral("an inset anchored to paragraph %1 unlisted there").arg(sn);
  }
  if (!Doc.FontsInUse.FontExists(0)) return QStringLiteral("no font 0");
  if (!Doc.IsValidCaretPosition_Silent(Doc.FAtPos))
    return QStringLiteral("caret off the document at %1,%2").arg(Doc.FAtPos.SN).arg(Doc.FAtPos.FGN);
  return {};
}
