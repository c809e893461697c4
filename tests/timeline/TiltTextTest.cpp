#include "vl09_TiltText.h"

#include <gtest/gtest.h>

#include <QFont>

#include <stdexcept>

namespace {
// A bitmap whose every pixel differs from its neighbours: erasing must restore each exactly.
TQuickBitmap Gradient(int W, int H) {
  TQuickBitmap b(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) b.SetPixel(x, y, RGBColor(x % 256, (y * 7) % 256, (x + y) % 256));
  return b;
}
QFont LabelFont(int Pixels = 16) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setPixelSize(Pixels);
  return f;
}
}  // namespace

TEST(QuickBitmap, BlendReduceAndPixelAccess) {
  EXPECT_EQ(BlendInk(clBlack, clWhite, 0), clWhite);
  EXPECT_EQ(BlendInk(clBlack, clWhite, 255), clBlack);
  EXPECT_EQ(BlendInk(clBlack, clWhite, 128), RGBColor(105, 105, 105));  // thickened to 150
  EXPECT_EQ(BlendInk(RGBColor(255, 0, 0), RGBColor(0, 0, 255), 255), RGBColor(255, 0, 0));
  const std::pair<int, int> factors[] = {{6, 4}, {7, 3}, {11, 3}, {12, 2}, {19, 2}, {20, 1}};
  for (auto [h, f] : factors) EXPECT_EQ(SupersamplingFactor(h), f) << h;

  TQuickBitmap b(4, 2);
  b.Fill(clWhite);
  b.SetPixel(0, 0, clBlack);
  TInkedSpan span;
  b.ReduceBitmap(2, span);
  EXPECT_EQ(b.PixelAt(0, 0), RGBColor(191, 191, 191));
  EXPECT_EQ(span.Left, 0);
  EXPECT_EQ(span.Right, 0);
  EXPECT_THROW(b.ReduceBitmap(5, span), std::invalid_argument);
  EXPECT_EQ(b.GetPixel(-1, 0), clLime);
  b.SetPixel(4, 0, clRed);  // outside: nothing written, nothing thrown
}

TEST(QuickBitmap, StretchRoutines_CopyAverageAndLeaveBlackWhereNothingLands) {
  TQuickBitmap src(4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) src.SetPixel(x, y, RGBColor(10 * x, 40 * x + y, 200));
  TQuickBitmap d(12, 4);
  // As wide as the source: copied in full colour, even by the lime routine.
  d.Fill(clWhite);
  d.MyStretchDrawLime(2, 0, 6, src);
  EXPECT_EQ(d.PixelAt(3, 1), src.PixelAt(1, 1));
  EXPECT_EQ(d.PixelAt(6, 1), clWhite);
  // Twice as wide: source columns at 0, 2, 4, 6; the odd columns stay black.
  d.Fill(clWhite);
  d.MyStretchDrawLime(0, 1, 8, src);
  EXPECT_EQ(d.PixelAt(2, 1), RGBColor(0, 40, 0));
  EXPECT_EQ(d.PixelAt(3, 1), clBlack);
  EXPECT_EQ(d.PixelAt(2, 0), clWhite);  // rows start at Top
  // Half as wide: source columns 0 and 1 land on 0 (0.5 rounds to even), 2 on 1, and 3 on 2
  // (1.5 rounds to 2), which lies outside the two columns.
  d.Fill(clWhite);
  d.MyStretchDrawFull(0, 0, 2, src);
  EXPECT_EQ(d.PixelAt(0, 0), RGBColor(5, 20, 200));
  EXPECT_EQ(d.PixelAt(1, 0), RGBColor(20, 80, 200));
  EXPECT_EQ(d.PixelAt(2, 0), clWhite);
  // Rows below the bitmap and columns left of it are skipped; a clip range limits the columns.
  d.MyStretchDrawFull(-3, 2, 5, src);
  EXPECT_EQ(d.PixelAt(3, 3), RGBColor(30, 121, 200));
  d.SetPixel(0, 3, clRed);
  d.MyStretchDrawLime(-3, 3, 5, src, -1, 1, 3);
  EXPECT_EQ(d.PixelAt(0, 3), clRed);
  EXPECT_EQ(d.PixelAt(1, 3), RGBColor(0, 80, 0));
  EXPECT_EQ(d.PixelAt(3, 3), RGBColor(30, 121, 200));
  // The quarter turn: source row r becomes column Left + r.
  TQuickBitmap v(3, 8);
  v.Fill(clWhite);
  v.MyStretchDrawLimeFlip(0, 0, 8, src);
  EXPECT_EQ(v.PixelAt(2, 2), RGBColor(0, 42, 0));  // row 2, source column 1
  EXPECT_EQ(v.PixelAt(0, 1), clBlack);
}

TEST(TiltedText, EmptyTextDrawsNothing_AndLongTextsStayBounded) {
  TTiltedText t;
  t.Font() = LabelFont();
  TQuickBitmap b = Gradient(50, 50);
  const TQuickBitmap before = b;
  t.PlotCachedOrPrepFirstToo(10, 40, 300, QString(), b);
  EXPECT_TRUE(t.TouchedPixels().empty());
  EXPECT_FALSE(t.DoesMouseTouchText(10, 40, 100));
  EXPECT_EQ(b.Image(), before.Image());
  // Five thousand characters at 45 degrees: rendered up to the cap, offsets within 16 bits.
  t.Prep(QString(5000, QLatin1Char('W')), 450);
  EXPECT_FALSE(t.TouchedPixels().empty());
  EXPECT_LE(t.Bounds().width(), TTiltedText::MaxScratchSide);
}

TEST(TiltedText, EraseRestoresExactlyWhatWasCovered) {
  TTiltedText t;
  t.Font() = LabelFont();
  t.SetFontColor(RGBColor(34, 52, 136));
  TQuickBitmap b = Gradient(200, 80);
  const TQuickBitmap before = b;
  t.PlotCachedOrPrepFirstToo(20, 60, 300, QStringLiteral("Call Bob"), b);
  EXPECT_NE(b.Image(), before.Image());
  t.PlotVeryQuick_Remove(b);
  EXPECT_EQ(b.Image(), before.Image());
  // Re-colour, then erase: the pre-recolour look comes back; erase again: the background.
  t.PlotVeryQuick(20, 60, b);
  const TQuickBitmap drawn = b;
  t.PlotVeryQuick_Recolor(clRed, TTiltedText::KeepAnchor, b);
  EXPECT_EQ(t.AtX(), 20);
  t.PlotVeryQuick_Remove(b);
  EXPECT_EQ(b.Image(), drawn.Image());
  // Moved by a re-colour at another column, then erased there: that place's background.
  TQuickBitmap fresh = Gradient(200, 80);
  t.PlotVeryQuick(20, 60, fresh);
  t.PlotVeryQuick_Remove(fresh);
  t.PlotVeryQuick_Recolor(clRed, 90, fresh);
  EXPECT_EQ(t.AtX(), 90);
  t.PlotVeryQuick_Remove(fresh);
  EXPECT_EQ(fresh.Image(), before.Image());
  // Half outside on every side: nothing written outside, erase still exact.
  TQuickBitmap small = Gradient(30, 12);
  const TQuickBitmap smallBefore = small;
  t.PlotVeryQuick(-20, 8, small);
  t.PlotVeryQuick_Remove(small);
  EXPECT_EQ(small.Image(), smallBefore.Image());
}

TEST(TiltedText, PreparesAgainOnlyWhenTheCacheIsStale) {
  TTiltedText t;
  t.Font() = LabelFont();
  TQuickBitmap b(200, 80);
  b.Fill(clWhite);
  t.PlotCachedOrPrepFirstToo(20, 60, 300, QStringLiteral("Ab"), b);
  const std::size_t regular = t.TouchedPixels().size();
  // A colour change or another place: the same pixels (the ink is applied at plot time).
  t.SetFontColor(clRed);
  t.PlotCachedOrPrepFirstToo(60, 60, 300, QStringLiteral("Ab"), b);
  EXPECT_EQ(t.TouchedPixels().size(), regular);
  t.Font().setBold(true);
  t.PlotCachedOrPrepFirstToo(60, 60, 300, QStringLiteral("Ab"), b);
  EXPECT_NE(t.TouchedPixels().size(), regular);
  EXPECT_TRUE(t.CacheFont().bold());
}

// At 0, 30, 60 and 90 degrees the text runs where the angle says, and the hit test answers true
// exactly over drawn pixels.
TEST(TiltedText, HitTestFindsTheTextWhereItIsDrawn_AtEveryAngle) {
  for (const int degrees : {0, 30, 60, 90}) {
    SCOPED_TRACE(degrees);
    TTiltedText t;
    t.Font() = LabelFont(20);
    TQuickBitmap b(300, 300);
    b.Fill(clWhite);
    t.PlotCachedOrPrepFirstToo(100, 200, degrees * 10, QStringLiteral("Lecture"), b);
    const QRect box = t.Bounds();
    ASSERT_FALSE(box.isEmpty());
    if (degrees == 0) {
      EXPECT_GT(box.width(), 2 * box.height());
    } else if (degrees == 90) {
      EXPECT_GT(box.height(), 2 * box.width());
    }
    // Every drawn pixel is inside the box and hit; the darkest pixels of the text's last tenth
    // lie higher than those of its first tenth when the text rises.
    int drawn = 0;
    long leftY = 0, rightY = 0, leftN = 0, rightN = 0;
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) {
        if (b.PixelAt(x, y) == clWhite) continue;
        ++drawn;
        ASSERT_TRUE(box.translated(100, 200).contains(x, y)) << x << "," << y;
        ASSERT_TRUE(t.DoesMouseTouchText(x, y, 0.5)) << x << "," << y;
        if (x < 100 + box.left() + box.width() / 10) leftY += y, ++leftN;
        if (x > 100 + box.right() - box.width() / 10) rightY += y, ++rightN;
      }
    EXPECT_EQ(drawn, static_cast<int>(t.TouchedPixels().size()));
    if (degrees == 30 || degrees == 60) {
      EXPECT_LT(rightY / rightN, leftY / leftN);
    }
    // Away from the text: no hit, at any radius short of the distance.
    EXPECT_FALSE(t.DoesMouseTouchText(100 + box.right() + 10, 200 + box.bottom() + 10, 9.5));
    EXPECT_TRUE(t.DoesMouseTouchText(100 + box.right() + 10, 200 + box.bottom() + 10, 1000));
  }
}
