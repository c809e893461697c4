#include "vlPrintLayout.h"

#include "vlColorConversion.h"
#include "vldGraphic.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

TvlPrintLayout::TvlPrintLayout(TDocument &Doc, const RPrintOptions &Options)
    : FDoc(Doc), FOptions(Options), FFormatter(std::make_unique<TEditFormatter>(&Doc)) {
  FOptions.PageWidth = std::max(FOptions.PageWidth, 100);
  FOptions.PageHeight = std::max(FOptions.PageHeight, FooterHeight + 50);
  FFormatter->MultipleWrappingChanges_Begin();
  FFormatter->SetLinkColumnWidth(FOptions.ParagraphTimes ? TimeColumnWidth : 0);
  FFormatter->SetTextMarginLeft(0);
  FFormatter->SetTextMarginRight(0);
  FFormatter->SetCanvasWidth(FOptions.PageWidth);
  FFormatter->MultipleWrappingChanges_End();
  FFormatter->EnsureLayout();
  Paginate();
}

TvlPrintLayout::~TvlPrintLayout() = default;

void TvlPrintLayout::Paginate() {
  const std::int64_t room = FOptions.PageHeight - FooterHeight;
  const std::int32_t high = FFormatter->Lines_High();
  std::int32_t ln = 1;
  std::int64_t top = 0;
  while (ln <= high) {
    RPage page;
    page.First = ln;
    page.Top = top;
    // At least one line, however tall; then every line that fits whole.
    do {
      page.Height += FFormatter->Lines_Height(ln);
      ++ln;
    } while (ln <= high && page.Height + FFormatter->Lines_Height(ln) <= room);
    page.Height = std::min(page.Height, room);
    page.End = ln;
    top = FFormatter->Lines_TopPixel(ln);
    FPages.push_back(page);
  }
  // Pictures below the last line.
  std::int64_t bottom = top;
  for (const auto &inset : FDoc.InsetsStorage.Insets())
    if (inset && inset->HasDrawableSize()) bottom = std::max(bottom, inset->EditorsData.vBottom());
  // At most a thousand pages of pictures alone: a picture placed absurdly low is not worth a
  // printer's paper.
  for (int extra = 0; top < bottom && extra < 1000; ++extra) {
    FPages.push_back(RPage{high + 1, high + 1, top, room});
    top += room;
  }
  if (FPages.empty()) FPages.push_back(RPage{1, 1, 0, room});
}

void TvlPrintLayout::DrawPage(QPainter &Painter, int Index) {
  if (Index < 0 || Index >= PageCount()) return;
  const RPage &page = FPages[static_cast<std::size_t>(Index)];
  // The selection is the editor's, not the notes': it is not printed.
  const TCaretPos anchor = FDoc.FAtPosSelect;
  FDoc.FAtPosSelect = FDoc.FAtPos;
  const TColor background = FFormatter->Background;
  Painter.save();
  const QRect band(0, 0, FOptions.PageWidth, static_cast<int>(page.Height));
  Painter.setClipRect(band);
  if (page.First < page.End) {
    std::int32_t last = 0;
    std::int64_t topPixel = 0;
    FFormatter->DrawWindow(Painter, band, page.First, last, topPixel);
  } else {
    Painter.fillRect(band, TColorToQColor(background));
    FFormatter->DrawGraphics(Painter, band, page.Top);
  }
  if (FOptions.ParagraphTimes) DrawTimes(Painter, page);
  Painter.restore();
  FDoc.FAtPosSelect = anchor;
  DrawFooter(Painter, Index);
}

void TvlPrintLayout::DrawTimes(QPainter &Painter, const RPage &Page) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(10);
  Painter.setFont(font);
  Painter.setPen(QColor(110, 110, 110));
  const QFontMetrics metrics(font);
  for (std::int32_t ln = Page.First; ln < Page.End; ++ln) {
    std::int32_t sn = 0, first = 0, lastChar = 0;
    if (!FFormatter->Lines_Locate(ln, sn, first, lastChar) || first != 1) continue;
    const QString text = MomentText(ParagraphMoment(FDoc, sn));
    if (text.isEmpty()) continue;
    const int y = static_cast<int>(FFormatter->Lines_TopPixel(ln) - Page.Top);
    Painter.drawText(QRect(0, y, TimeColumnWidth - 6, FFormatter->Lines_Height(ln)),
                     Qt::AlignRight | Qt::AlignVCenter, text);
  }
}

void TvlPrintLayout::DrawFooter(QPainter &Painter, int Index) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(10);
  Painter.save();
  Painter.setFont(font);
  Painter.setPen(QColor(110, 110, 110));
  const QRect footer(0, FOptions.PageHeight - FooterHeight + 6, FOptions.PageWidth,
                     FooterHeight - 6);
  if (!FOptions.Title.isEmpty())
    Painter.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, FOptions.Title);
  Painter.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("page %1 of %2").arg(Index + 1).arg(PageCount()));
  Painter.restore();
}

TDateTime TvlPrintLayout::ParagraphMoment(const TDocument &Doc, std::int32_t SN) {
  const TParagraph *p = Doc.Paragraph_FromSectionNum(SN);
  if (!p) return 0;
  TDateTime typed = 0;
  for (int i = 1; i <= p->High(); ++i) {
    const RvlTimestamp ts = p->Timestamp_Get(i);
    if (ts.FEffectiveDT >= 100) return ts.FEffectiveDT;
    if (typed < 100 && ts.RealDT >= 100) typed = ts.RealDT;
  }
  return typed;
}

QString TvlPrintLayout::MomentText(TDateTime When) {
  if (When < 100 || !IsValidDateTime(When)) return QString();
  const RDecodedDateTime d = DecodeDateTime(When);
  return QStringLiteral("%1:%2")
      .arg(d.Hour, 2, 10, QLatin1Char('0'))
      .arg(d.Minute, 2, 10, QLatin1Char('0'));
}
