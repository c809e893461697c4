#include "vleTestSupport.h"

#include "vldGraphic.h"

void BuildDoc(TDocument &Doc, const std::vector<std::string> &Paragraphs, TFontIndex Font) {
  Doc.ClearSections();
  for (std::size_t i = 0; i < Paragraphs.size(); ++i) {
    TParagraph &p = i == 0 ? *Doc.Paragraph_FromSectionNum(0) : Doc.Paragraph_Append();
    const QString line = QString::fromStdString(Paragraphs[i]);
    for (int k = 0; k < line.size(); ++k) {
      const TDateTime t = 45000.5 + (static_cast<int>(i) * 1000 + k) / 86400.0;
      p.Char_Append(line[k], Font, RvlTimestamp{t, t});
    }
    p.FNLFont = Font;
  }
  Doc.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
}

std::vector<std::string> Texts(const TDocument &Doc) {
  std::vector<std::string> out;
  for (int i = 0; i <= Doc.Section_High(); ++i)
    if (const TParagraph *p = Doc.Paragraph_FromSectionNum(i))
      out.push_back(p->Text().toStdString());
  return out;
}

std::unique_ptr<TEditFormatter> FixedFormatter(TDocument &Doc, int AreaWidth) {
  auto f = std::make_unique<TEditFormatter>(&Doc, std::make_unique<TFixedPitchMetrics>());
  f->SetCanvasWidth(AreaWidth + 24 + 8 + 8);
  return f;
}

TvlGraphic &AddPicture(TDocument &Doc, int SN, int Left, int Top, int Width, int Height,
                       int ZOrder) {
  TInsetHandle h = -1;
  Doc.InsetsStorage.MakeNewGraphicAndGetHandle(SN >= 0 ? Doc.Paragraph_FromSectionNum(SN) : nullptr,
                                               h);
  TvlGraphic &g = *Doc.InsetsStorage.GetIfGraphic(h);
  g.EditorsData.FvLeft = Left;
  g.EditorsData.FvTop = Top;
  g.EditorsData.FPixelWidth = Width;
  g.EditorsData.FPixelHeight = Height;
  g.FZOrder = ZOrder;
  return g;
}

std::vector<int> WrapsOf(TEditFormatter &F, int SN) {
  F.EnsureLayout();
  std::vector<int> out;
  const TEditParagraphInfo *i = F.Info(SN);
  for (int k = 1; i && k <= i->LineCount; ++k) out.push_back(i->WrapPoints.GetDatum(k));
  return out;
}

std::vector<int> HeightsOf(TEditFormatter &F, int SN) {
  F.EnsureLayout();
  std::vector<int> out;
  const TEditParagraphInfo *i = F.Info(SN);
  for (int k = 1; i && k <= i->LineCount; ++k) out.push_back(i->LineHeights.GetDatum(k));
  return out;
}
