// A document laid out on printed pages: lines are never cut or lost between pages, pictures are
// printed where they lie (also below the last line), the editor's selection never reaches the
// paper, and the time column shows each paragraph's moment.

#include "vlPrintLayout.h"
#include "vldGraphic.h"
#include "vleTestSupport.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include <string>
#include <vector>

namespace {

QImage DrawPage(TvlPrintLayout &Layout, const RPrintOptions &Options, int Index) {
  QImage img(Options.PageWidth, Options.PageHeight, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  Layout.DrawPage(p, Index);
  return img;
}

std::vector<std::string> Paragraphs(int Count) {
  std::vector<std::string> out;
  for (int i = 1; i <= Count; ++i)
    out.push_back("Paragraph " + std::to_string(i) +
                  " with words enough to wrap once or twice "
                  "when the page is narrow, as notes typed in a lecture often do.");
  return out;
}

}  // namespace

TEST(PrintLayout, EveryLineIsOnExactlyOnePageAndNoPageIsOverfull) {
  TDocument doc;
  BuildDoc(doc, Paragraphs(60));
  struct RRow {
    int Width, Height;
  };
  for (const RRow &row : {RRow{300, 400}, RRow{720, 400}, RRow{200, 180}}) {
    SCOPED_TRACE(row.Width);
    const RPrintOptions options{row.Width, row.Height, true, QStringLiteral("Notes")};
    TvlPrintLayout layout(doc, options);
    TEditFormatter check(&doc);
    check.SetLinkColumnWidth(TvlPrintLayout::TimeColumnWidth);
    check.SetTextMarginLeft(0);
    check.SetTextMarginRight(0);
    check.SetCanvasWidth(row.Width);
    ASSERT_GE(layout.PageCount(), 2);
    EXPECT_EQ(layout.FirstLine(0), 1);
    EXPECT_EQ(layout.EndLine(layout.PageCount() - 1), check.Lines_High() + 1);
    for (int page = 0; page < layout.PageCount(); ++page) {
      SCOPED_TRACE(page);
      EXPECT_LT(layout.FirstLine(page), layout.EndLine(page));
      if (page > 0) {
        EXPECT_EQ(layout.FirstLine(page), layout.EndLine(page - 1));
      }
      std::int64_t height = 0;
      for (int ln = layout.FirstLine(page); ln < layout.EndLine(page); ++ln)
        height += check.Lines_Height(ln);
      EXPECT_LE(height, row.Height - TvlPrintLayout::FooterHeight);
      // Full: the next line would not have fitted.
      if (page + 1 < layout.PageCount()) {
        EXPECT_GT(height + check.Lines_Height(layout.EndLine(page)),
                  row.Height - TvlPrintLayout::FooterHeight);
      }
    }
  }
  // An empty document is one empty page.
  TDocument empty;
  TvlPrintLayout blank(empty, RPrintOptions{});
  EXPECT_EQ(blank.PageCount(), 1);
}

TEST(PrintLayout, PicturesArePrintedWhereTheyLieAndOneBelowTheTextAddsPages) {
  TDocument doc;
  BuildDoc(doc, {"first", "second"});
  const RPrintOptions options{400, 300, false, QString()};
  // Green, 500 px below the text's end: the text's page, an empty one, the picture's.
  TvlGraphic &low = AddPicture(doc, -1, 100, 800, 60, 40);
  low.FclBackground = 0x00FF00;
  TvlPrintLayout layout(doc, options);
  // The text's page, then pages of 276 px down to the picture's bottom at 840.
  ASSERT_EQ(layout.PageCount(), 4);
  int greenPages = 0;
  for (int page = 0; page < layout.PageCount(); ++page) {
    const QImage img = DrawPage(layout, options, page);
    bool green = false;
    for (int y = 0; y < img.height() && !green; ++y) green = img.pixel(120, y) == qRgb(0, 255, 0);
    greenPages += green ? 1 : 0;
  }
  EXPECT_EQ(greenPages, 1);
}

TEST(PrintLayout, TheSelectionIsNeitherPrintedNorLost) {
  TDocument doc;
  BuildDoc(doc, Paragraphs(3));
  const RPrintOptions options{400, 600, true, QStringLiteral("Notes")};
  TvlPrintLayout layout(doc, options);
  const QImage plain = DrawPage(layout, options, 0);
  doc.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  doc.FAtPos = TCaretPos{2, 5, false};
  const QImage selected = DrawPage(layout, options, 0);
  EXPECT_EQ(plain, selected);
  EXPECT_EQ(doc.FAtPosSelect.SN, 0);
  EXPECT_EQ(doc.FAtPosSelect.FGN, 1);
  EXPECT_EQ(doc.FAtPos.SN, 2);
}

TEST(PrintLayout, EachParagraphStandsForTheMomentOfItsFirstCharacterWithOne) {
  TDocument doc;
  BuildDoc(doc, {"first", "second", "third"});
  // 45000.5 is noon; paragraph i begins 1000 i seconds later.
  EXPECT_EQ(TvlPrintLayout::MomentText(TvlPrintLayout::ParagraphMoment(doc, 0)),
            QStringLiteral("12:00"));
  EXPECT_EQ(TvlPrintLayout::MomentText(TvlPrintLayout::ParagraphMoment(doc, 1)),
            QStringLiteral("12:16"));
  // Characters with no moment on the recordings give the moment they were typed; none at all
  // gives no time; a section that is no paragraph neither.
  TParagraph &third = *doc.Paragraph_FromSectionNum(2);
  for (int i = 1; i <= third.High(); ++i) third.Timestamp_Set(i, RvlTimestamp{0, 45000.75});
  EXPECT_EQ(TvlPrintLayout::MomentText(TvlPrintLayout::ParagraphMoment(doc, 2)),
            QStringLiteral("18:00"));
  for (int i = 1; i <= third.High(); ++i) third.Timestamp_Set(i, RvlTimestamp{0, 0});
  EXPECT_EQ(TvlPrintLayout::ParagraphMoment(doc, 2), 0);
  EXPECT_EQ(TvlPrintLayout::MomentText(0), QString());
  EXPECT_EQ(TvlPrintLayout::ParagraphMoment(doc, 99), 0);
}
