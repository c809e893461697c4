// Drawing with the real fonts into off-screen images. Only what anti-aliasing cannot change is
// checked: which rows and columns hold ink, the selection's colours, where pictures land.

#include "vldGraphic.h"
#include "vleTestSupport.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>

#include <functional>
#include <random>

namespace {

bool RowHasInk(const QImage &Img, int Y, int X1, int X2) {
  for (int x = X1; x < X2; ++x)
    if (Img.pixel(x, Y) != qRgb(255, 255, 255)) return true;
  return false;
}

QImage Draw(TEditFormatter &F, int Width, int Height, int FirstLine,
            std::int64_t *TopPixel = nullptr) {
  QImage img(Width, Height, QImage::Format_RGB32);
  img.fill(Qt::red);
  QPainter p(&img);
  std::int32_t last = 0;
  std::int64_t top = 0;
  F.DrawWindow(p, QRect(0, 0, Width, Height), FirstLine, last, top);
  if (TopPixel) *TopPixel = top;
  return img;
}

// A view's picture painted again and again, drawing only the lines whose signature changed.
struct TKeptPicture {
  TEditFormatter &F;
  QImage Image;
  std::vector<RLineSignature> Drawn;
  TKeptPicture(TEditFormatter &Formatter, int Width, int Height)
      : F(Formatter), Image(Width, Height, QImage::Format_RGB32) {
    Paint();
  }
  void Paint() {
    QPainter p(&Image);
    std::int32_t last = 0;
    std::int64_t top = 0;
    F.DrawWindow(p, Image.rect(), 1, last, top, &Drawn);
  }
};

// Black on white for the checks below.
TFontIndex PlainFont(TDocument &Doc) {
  return Doc.Font_GetIndex(QStringLiteral("Verdana"), 0, 10, 0x000000, 0xFFFFFF, TFontStyles());
}

TEST(FormatterDraw, LinesLieInTheirBandsAndTheRestIsBackground) {
  TDocument doc;
  BuildDoc(doc, {"Hello world", "", "Second paragraph"});
  const TFontIndex plain = PlainFont(doc);
  for (int sn = 0; sn <= 2; ++sn)
    if (doc.Paragraph_Length(sn) > 0)
      doc.Font_Change(TCharSpan{{sn, 1}, {sn, doc.Paragraph_Length(sn)}}, plain);
  for (int sn = 0; sn <= 2; ++sn) doc.Paragraph_FromSectionNum(sn)->FNLFont = plain;
  TEditFormatter f(&doc);
  f.SetCanvasWidth(400);
  ASSERT_EQ(f.Lines_High(), 3);
  const int h = f.Lines_Height(1);
  EXPECT_GT(h, 10);  // 10 pt at 96 dpi: a cell of about 16 px
  EXPECT_LT(h, 25);
  const QImage img = Draw(f, 400, 200, 1);
  // Nothing of the red fill survives: every pixel was drawn.
  for (int y = 0; y < 200; y += 7) EXPECT_EQ(img.pixel(399, y), qRgb(255, 255, 255)) << y;
  // Ink on lines 1 and 3, none on the empty line 2, none below the text, none in the link column.
  bool ink1 = false, ink2 = false, ink3 = false, below = false, link = false;
  for (int y = 0; y < h; ++y) ink1 |= RowHasInk(img, y, 0, 400);
  for (int y = h; y < 2 * h; ++y) ink2 |= RowHasInk(img, y, 0, 400);
  for (int y = 2 * h; y < 3 * h; ++y) ink3 |= RowHasInk(img, y, 0, 400);
  for (int y = 3 * h; y < 200; ++y) below |= RowHasInk(img, y, 0, 400);
  for (int y = 0; y < 3 * h; ++y) link |= RowHasInk(img, y, 0, f.LinkColumnWidth());
  EXPECT_TRUE(ink1);
  EXPECT_FALSE(ink2);
  EXPECT_TRUE(ink3);
  EXPECT_FALSE(below);
  EXPECT_FALSE(link);
  // Glyphs stand where the caret mapping says: no ink right of the line's end.
  const int end = f.Map_VirtualPosFromDocPos(TCaretPos{0, 12, false}).vX;
  bool beyond = false;
  for (int y = 0; y < h; ++y) beyond |= RowHasInk(img, y, end + 2, 400);
  EXPECT_FALSE(beyond);
}

TEST(FormatterDraw, SelectionTurnsPaperNavyAndInkPaleYellow) {
  TDocument doc;
  BuildDoc(doc, {"WWWW WWWW", "WWWW"});
  const TFontIndex plain = PlainFont(doc);
  doc.Font_Change(TCharSpan{{0, 1}, {0, 9}}, plain);
  doc.Font_Change(TCharSpan{{1, 1}, {1, 4}}, plain);
  TEditFormatter f(&doc);
  f.SetCanvasWidth(400);
  doc.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  doc.FAtPosSelect = TCaretPos{1, 3, false};
  const QImage img = Draw(f, 400, 100, 1);
  const int h = f.Lines_Height(1);
  std::int32_t x1 = 0, x2 = 0;
  ASSERT_TRUE(f.Select_PixelSpan(1, x1, x2));
  bool navy = false, yellow = false;
  for (int y = 0; y < h; ++y)
    for (int x = x1; x < x2; ++x) {
      navy |= img.pixel(x, y) == qRgb(0, 0, 128);
      yellow |= img.pixel(x, y) == qRgb(255, 255, 127);
      // No paper stays white inside the band.
      ASSERT_NE(img.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
    }
  EXPECT_TRUE(navy);
  EXPECT_TRUE(yellow);
  // Outside the band the paper is white.
  EXPECT_EQ(img.pixel(x2 + 3, h / 2), qRgb(255, 255, 255));
  EXPECT_EQ(img.pixel(x1 - 3, h / 2), qRgb(255, 255, 255));
}

TEST(FormatterDraw, PicturesLandAtTheirPlaceWhenScrolled) {
  TDocument doc;
  std::vector<std::string> lines(30, "text");
  BuildDoc(doc, lines);
  TEditFormatter f(&doc);
  f.SetCanvasWidth(400);
  const int h = f.Lines_Height(1);
  // A picture without a JPEG is drawn in its background colour.
  TvlGraphic &g = AddPicture(doc, 12, 250, 12 * h + 5, 60, 40);
  g.FclBackground = 0x00FF00;  // green
  std::int64_t top = 0;
  const QImage img = Draw(f, 400, 10 * h, 11, &top);
  EXPECT_EQ(top, f.Lines_TopPixel(11));
  EXPECT_EQ(top, 10 * h);
  // 12h + 5 - 10h = 2h + 5 pixels below the window's top.
  EXPECT_EQ(img.pixel(270, 2 * h + 5 + 1), qRgb(0, 255, 0));
  EXPECT_NE(img.pixel(270, 2 * h + 5 - 2), qRgb(0, 255, 0));
  EXPECT_EQ(img.pixel(250 + 59, 2 * h + 5 + 39), qRgb(0, 255, 0));
  EXPECT_NE(img.pixel(250 + 61, 2 * h + 5 + 20), qRgb(0, 255, 0));
}

TEST(FormatterDraw, PicturesWithoutAParagraphOrAnOrderAreDrawnBehindTheOthers) {
  TDocument doc;
  BuildDoc(doc, {"text", "more text"});
  TEditFormatter f(&doc);
  f.SetCanvasWidth(400);
  // Green, ordered: in front. Blue, stacking order 0 and overlapping it: drawn, but behind.
  // Red-brown, its paragraph deleted: still drawn where it lies.
  TvlGraphic &front = AddPicture(doc, 0, 200, 10, 60, 40, 1);
  front.FclBackground = 0x00FF00;
  TvlGraphic &unordered = AddPicture(doc, 1, 230, 30, 60, 40, 0);
  unordered.FclBackground = 0xFF0000;  // blue ($00BBGGRR)
  TvlGraphic &orphan = AddPicture(doc, -1, 320, 60, 30, 30, 2);
  orphan.FclBackground = 0x000080;
  // Each new picture came to the front; the orders wanted here are set once all are made.
  front.FZOrder = 1;
  unordered.FZOrder = 0;
  orphan.FZOrder = 2;
  const QImage img = Draw(f, 400, 120, 1);
  EXPECT_EQ(f.Graphic_FindTouched(TVirtualPos{240, 40}), &front);
  EXPECT_EQ(img.pixel(240, 40), qRgb(0, 255, 0));  // where both lie: the ordered one
  EXPECT_EQ(img.pixel(280, 60), qRgb(0, 0, 255));  // the unordered one's own part
  EXPECT_EQ(img.pixel(210, 20), qRgb(0, 255, 0));
  EXPECT_EQ(img.pixel(330, 70), qRgb(128, 0, 0));  // the orphan
  EXPECT_EQ(img.pixel(360, 100), qRgb(255, 255, 255));
}

TEST(FormatterDraw, RedrawingOnlyChangedLinesGivesTheSamePictureAsDrawingAll) {
  TDocument doc;
  BuildDoc(doc,
           {"first paragraph of some length that wraps", "second", "third one here", "fourth"});
  TEditFormatter f(&doc);
  f.SetCanvasWidth(200);
  TKeptPicture kept(f, 200, 150);
  // Edits of every kind between two paints: typing, a new paragraph, a selection, a deletion.
  const std::vector<std::function<void()>> edits = {
      [&] {
        doc.Char_Insert(u'x', DocFont, TCaretPos{1, 3, false});
      },
      [&] {
        doc.Char_Insert(u'\n', DocFont, TCaretPos{2, 4, false});
      },
      [&] {
        doc.AtPos_NoSelectionSet(TCaretPos{0, 5, false});
        doc.FAtPosSelect = TCaretPos{1, 2, false};
      },
      [&] { doc.Select_Clear(); },
      [&] {
        doc.CaretSpan_Delete(TCaretPos{0, 3, false}, TCaretPos{1, 2, false});
      },
  };
  for (std::size_t k = 0; k < edits.size(); ++k) {
    SCOPED_TRACE(k);
    edits[k]();
    kept.Paint();
    EXPECT_EQ(kept.Image, Draw(f, 200, 150, 1));
  }
}

TEST(FormatterDraw, LinesKeptAcrossRandomEditsOfALongParagraphMatchAFullDraw) {
  // Lines before a change are kept from the last paint; every paint must still equal a full one,
  // whether one or several changes (typing, overwriting, deleting, fonts, Enter) came between.
  TDocument doc;
  BuildDoc(doc, {"a paragraph long enough to wrap into many lines at this narrow width, with "
                 "words of every length and a few more words to make it longer still",
                 "short", "another paragraph that wraps over two or three lines here"});
  const TFontIndex plain = PlainFont(doc);
  TEditFormatter f(&doc);
  f.SetCanvasWidth(220);
  TKeptPicture kept(f, 220, 260);
  std::mt19937 random(20261209);
  const auto pick = [&](int N) { return std::uniform_int_distribution<int>(0, N - 1)(random); };
  for (int step = 0; step < 300; ++step) {
    SCOPED_TRACE(step);
    const int edits = pick(4) == 0 ? 2 : 1;
    for (int e = 0; e < edits; ++e) {
      const int sn = pick(doc.Section_High() + 1);
      const int len = doc.Paragraph_Length(sn);
      const int at = 1 + pick(len + 1);
      switch (pick(6)) {
        case 0:
        case 1: doc.Char_Insert(QChar(u'a' + pick(26)), DocFont, TCaretPos{sn, at, false}); break;
        case 2:
          if (at <= len) doc.Char_Replace(u'W', DocFont, TCaretPos{sn, at, false});
          break;
        case 3:
          if (at <= len)
            doc.CaretSpan_Delete(TCaretPos{sn, at, false}, TCaretPos{sn, at + 1, false});
          break;
        case 4:
          if (at <= len) doc.Font_Change(TCharSpan{{sn, at}, {sn, std::min(len, at + 3)}}, plain);
          break;
        default:
          if (doc.Section_High() < 8) doc.Char_Insert(u'\n', DocFont, TCaretPos{sn, at, false});
      }
    }
    kept.Paint();
    ASSERT_EQ(kept.Image, Draw(f, 220, 260, 1));
  }
}

}  // namespace

// A row of ink that runs without a gap from X1 to X2 (a drawn line, not letters), or -1.
int FullInkRow(const QImage &Img, int Top, int Bottom, int X1, int X2) {
  for (int y = Top; y < Bottom; ++y) {
    bool full = true;
    for (int x = X1; x < X2 && full; ++x) full = Img.pixel(x, y) != qRgb(255, 255, 255);
    if (full) return y;
  }
  return -1;
}

TEST(FormatterDraw, UnderlineAndStrikeOutLieUnderAndThroughTheirOwnCharacters) {
  for (const TFontStyle style : {fsUnderline, fsStrikeOut}) {
    SCOPED_TRACE(style == fsUnderline ? "underline" : "strike-out");
    TDocument doc;
    BuildDoc(doc, {"Word before UNDER after."});
    const TFontIndex plain = PlainFont(doc);
    doc.Font_Change(TCharSpan{{0, 1}, {0, 24}}, plain);
    doc.Paragraph_FromSectionNum(0)->FNLFont = plain;
    const TCharSpan under{{0, 13}, {0, 17}};  // "UNDER"
    if (style == fsUnderline)
      doc.Font_ChangeUnderline(under, true);
    else
      doc.Font_ChangeStrikeout(under, true);
    TEditFormatter f(&doc);
    f.SetCanvasWidth(400);
    const QImage img = Draw(f, 400, 60, 1);
    const int h = f.Lines_Height(1);
    const int x1 = f.Map_VirtualPosFromDocPos(TCaretPos{0, 13, false}).vX;
    const int x2 = f.Map_VirtualPosFromDocPos(TCaretPos{0, 18, false}).vX;
    const int end = f.Map_VirtualPosFromDocPos(TCaretPos{0, 25, false}).vX;
    ASSERT_GT(x1, f.LinkColumnWidth() + 50);
    const int y = FullInkRow(img, 0, h, x1, x2);
    ASSERT_GE(y, 0) << "no line under the styled characters";
    const int left = f.LinkColumnWidth() + f.TextMarginLeft();
    if (style == fsUnderline) {
      EXPECT_GT(y, h / 2);  // below the letters' middle
      // Nothing of the line under "Word before" or under " after.".
      EXPECT_FALSE(RowHasInk(img, y, 0, x1 - 1));
      EXPECT_FALSE(RowHasInk(img, y, x2 + 1, end + 20));
    } else {
      EXPECT_LT(y, (3 * h) / 4);
      // The other letters are crossed by the row, but no line joins them.
      EXPECT_LT(FullInkRow(img, y, y + 1, left, x1 - 1), 0);
      EXPECT_LT(FullInkRow(img, y, y + 1, x2 + 1, end), 0);
    }
  }
}
