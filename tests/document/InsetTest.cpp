// Picture insets: stored strokes, handles and stacking in the insets storage, fitting an inset to
// its content, the composed images (with pictures made here at run time), and pictures that are
// missing, damaged or not files at all.

#include "vl_Document.h"
#include "vldGraphic.h"
#include "vldInsetsStorage.h"
#include "vldJpeg.h"
#include "vldSketch.h"

#include "vlTestSupport.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QPainter>

#include <climits>
#include <cstdio>

#include <jpeglib.h>
#include <sys/stat.h>

namespace {

constexpr QRgb Background = 0xFFF8F0C0;  // $C0F0F8 as red, green, blue

// Channels within Tolerance: JPEG is lossy.
::testing::AssertionResult Near(QRgb Actual, QRgb Expected, int Tolerance = 10) {
  const int d = std::max({std::abs(qRed(Actual) - qRed(Expected)),
                          std::abs(qGreen(Actual) - qGreen(Expected)),
                          std::abs(qBlue(Actual) - qBlue(Expected))});
  if (d <= Tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << std::hex << Actual << " is not near " << Expected;
}

QImage Decoded(const QByteArray &Jpeg) {
  QString problem;
  QImage image = DecodeJpeg(Jpeg, &problem);
  EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
  return image;
}

// A picture inset of Width x Height at (Left, Top) of the page.
void Place(TvlGraphic &G, int Left, std::int64_t Top, int Width, int Height) {
  G.EditorsData.FvLeft = Left;
  G.EditorsData.FvTop = Top;
  G.EditorsData.FPixelWidth = Width;
  G.EditorsData.FPixelHeight = Height;
}

TPenStroke &Line(TvlGraphic &G, TKindOfTool Tool, TColor Color, float Width,
                 std::initializer_list<std::pair<float, float>> Points) {
  TPenStroke &s = G.Sketch.PenStroke_Append();
  s.Tool = Tool;
  s.Color = Color;
  s.Width = Width;
  for (const auto &[x, y] : Points) s.PenPoint_Append(x, y);
  return s;
}

}  // namespace

TEST(SketchTest, PointsAndToolNamesAnswerOnlyInRange) {
  TPenStroke s;
  s.PenPoint_Append(1, 2);
  s.PenPoint_Append(3, 4, 0.5f);
  float x = -1, y = -1, pressure = -1;
  EXPECT_FALSE(s.PenPoint_Get(2, x, y, pressure));
  EXPECT_EQ(x, -1);
  EXPECT_TRUE(s.PenPoint_Alter(0, 7, 8, 1));
  EXPECT_FALSE(s.PenPoint_Alter(2, 9, 9, 9));
  EXPECT_TRUE(s.PenPoint_Get(1, x, y, pressure));
  EXPECT_EQ(x, 3);
  EXPECT_EQ(pressure, 0.5f);
  EXPECT_EQ(s.Points[0].X, 7);

  TSketch sketch;
  EXPECT_EQ(sketch.PenStroke(0), nullptr);
  for (int i = 0; i < KindOfToolCount; ++i) {
    TKindOfTool tool = ktZoom;
    const auto t = static_cast<TKindOfTool>(i);
    ASSERT_TRUE(KindOfToolFromName(KindOfToolName(t).toUpper(), tool));
    EXPECT_EQ(tool, t);
  }
  EXPECT_EQ(KindOfToolName(ktShapeElipse), QStringLiteral("ktShapeElipse"));
  TKindOfTool tool = ktCrop;
  EXPECT_FALSE(KindOfToolFromName(u"ktShapeEllipse", tool));
  EXPECT_EQ(tool, ktCrop);
}

TEST(InsetsStorageTest, HandlesKeepTheirSlotsAndPicturesStack) {
  TDocument doc;
  TInsetsStorage &storage = doc.InsetsStorage;
  TInsetHandle h[3];
  for (auto &handle : h) ASSERT_TRUE(storage.MakeNewGraphicAndGetHandle(nullptr, handle));
  const auto z = [&] {
    std::vector<int> orders;
    for (const TInsetHandle handle : h) orders.push_back(storage.GetIfGraphic(handle)->FZOrder);
    return orders;
  };
  ASSERT_EQ(z(), (std::vector<int>{3, 2, 1}));  // each new picture comes to the front
  storage.BringToFront(h[2]);
  EXPECT_EQ(z(), (std::vector<int>{3, 2, 1}));
  storage.BringToFront(h[0]);
  EXPECT_EQ(z(), (std::vector<int>{1, 3, 2}));

  // A file that uses handles 0 and 2 only.
  storage.ClearAll();
  ASSERT_TRUE(storage.PutInsetAt(0, std::make_unique<TvlGraphic>()));
  ASSERT_TRUE(storage.PutInsetAt(2, std::make_unique<TvlGraphic>()));
  EXPECT_FALSE(storage.ValidHandle(1));
  EXPECT_EQ(storage.GetInset(1), nullptr);
  THandleList handles;
  storage.AddAllHandlesToList(handles);
  ASSERT_EQ(handles.Count(), 2);
  EXPECT_EQ(handles.GetHandle(1), 0);
  EXPECT_EQ(handles.GetHandle(2), 2);
  TInsetHandle fresh = -1;
  ASSERT_TRUE(storage.MakeNewInset_GetHandle(fresh));
  EXPECT_EQ(fresh, 1);  // the hole is reused
  ASSERT_TRUE(storage.PutInsetAt(1, std::make_unique<TvlGraphic>()));
  ASSERT_TRUE(storage.MakeNewInset_GetHandle(fresh));
  EXPECT_EQ(fresh, 3);
  EXPECT_EQ(storage.High(), 12);  // grown by ten

  // Handles a damaged file may hold are refused without allocating by them.
  for (const TInsetHandle bad : {-1, TInsetsStorage::MaxHandle + 1, INT_MAX})
    EXPECT_FALSE(storage.PutInsetAt(bad, std::make_unique<TvlGraphic>())) << bad;
  EXPECT_EQ(storage.High(), 12);

  // Deleting an inset takes it off its paragraph's list.
  TInsetHandle anchored = -1;
  TParagraph *p = doc.Paragraph_FromSectionNum(0);
  ASSERT_TRUE(storage.MakeNewTableAndGetHandle(p, anchored));
  EXPECT_NE(storage.GetIfTable(anchored), nullptr);
  EXPECT_EQ(storage.GetIfGraphic(anchored), nullptr);
  EXPECT_EQ(storage.HandleOfInset(storage.GetInset(anchored)), anchored);
  EXPECT_EQ(p->AnchoredInsets.Count(), 1);
  storage.Delete(anchored);
  EXPECT_EQ(p->AnchoredInsets.Count(), 0);
  EXPECT_FALSE(storage.ValidHandle(anchored));
}

TEST(GraphicTest, FittingMakesTheInsetThePaddedExtentOfWhatShows) {
  TvlGraphic g;
  Place(g, 100, 200, 60, 20);
  Line(g, ktLineFreehand, clBlack, 4, {{10, 10}, {50, 10}});
  Line(g, ktLineFreehand, TvlGraphic::SketchKeyColor, 30, {{500, 500}});  // invisible: ignored
  g.Rect_AutoAdjust_Forced();
  // x 3..57 and y 3..17 in the old coordinates.
  EXPECT_EQ(g.EditorsData.FvLeft, 103);
  EXPECT_EQ(g.EditorsData.FvTop, 203);
  EXPECT_EQ(g.EditorsData.FPixelWidth, 55);
  EXPECT_EQ(g.EditorsData.FPixelHeight, 15);
  const TPenPoint &first = g.Sketch.PenStroke(0)->Points[0];
  EXPECT_EQ(first.X, 7);  // the stroke keeps its place on the page
  EXPECT_EQ(first.Y, 7);

  // Nothing to fit: the inset stays as it is rather than shrinking to its padding.
  TvlGraphic empty;
  Place(empty, 5, 6, 70, 80);
  empty.Rect_AutoAdjust_Forced();
  EXPECT_EQ(empty.EditorsData.FPixelWidth, 70);
  EXPECT_EQ(empty.EditorsData.FvLeft, 5);
  // Sizes never drop below one pixel.
  empty.Rect_ChangeIt(0, 0, -1000, -1000);
  EXPECT_EQ(empty.EditorsData.FPixelWidth, 1);
  EXPECT_EQ(empty.EditorsData.FPixelHeight, 1);

  // Setting the picture's size fits the inset around it (with the options' padding).
  TvlGraphic pictured;
  Place(pictured, 0, 0, 10, 10);
  ASSERT_TRUE(pictured.JPeg_Replace(QImage(4, 4, QImage::Format_RGB32)));
  pictured.JPeg_Size(40, 30);
  EXPECT_EQ(pictured.EditorsData.FPixelWidth, 40 + 2 * InsetOptions().SketchPadding + 1);
}

TEST(GraphicTest, ComposesAtTwiceTheSizeAndPaintsTheReduction) {
  TvlGraphic g;
  Place(g, 10, 1000, 100, 80);
  const QImage &composed = g.ComposedImage();
  EXPECT_EQ(g.Offscreen.size(), QSize(200, 160));
  ASSERT_EQ(composed.size(), QSize(100, 80));
  EXPECT_EQ(composed.pixel(50, 40), Background);

  QImage canvas(200, 200, QImage::Format_RGB32);
  canvas.fill(Qt::black);
  {
    QPainter painter(&canvas);
    g.Render(painter, 990);
  }
  EXPECT_EQ(canvas.pixel(9, 50), qRgb(0, 0, 0));
  EXPECT_EQ(canvas.pixel(10, 10), Background);
  EXPECT_EQ(canvas.pixel(109, 89), Background);
  EXPECT_EQ(canvas.pixel(110, 89), qRgb(0, 0, 0));

  // Rerender asks the view to paint the inset again; no painter is kept.
  TVirtualRect asked{};
  g.RepaintRequest = [&asked](const TVirtualRect &R) { asked = R; };
  g.Rerender();
  EXPECT_EQ(asked.vLeft, 10);
  EXPECT_EQ(asked.vBottom, 1080);

  QImage checker(2, 2, QImage::Format_RGB32);
  checker.setPixel(0, 0, qRgb(0, 0, 0));
  checker.setPixel(1, 1, qRgb(0, 0, 0));
  checker.setPixel(0, 1, qRgb(255, 255, 255));
  checker.setPixel(1, 0, qRgb(255, 255, 255));
  EXPECT_EQ(ReduceByHalf(checker).pixel(0, 0), qRgb(128, 128, 128));

  // Large insets are composed at their own size.
  TvlGraphic large;
  Place(large, 0, 0, 2001, 2000);
  EXPECT_EQ(large.ComposedImage().size(), QSize(2001, 2000));
  EXPECT_EQ(large.AAScale, 1);
}

TEST(GraphicTest, StrokesAreDrawnOverThePictureFromAJpegFile) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("blue.jpg"));
  WriteAllBytes(path, MakeJpeg(40, 20, JCS_RGB, [](int, int) { return 0x2050D0u; }));

  TvlGraphic g;
  Place(g, 0, 0, 60, 40);
  ASSERT_TRUE(g.JPeg_LoadFromFile(path));
  EXPECT_EQ(g.ImageRect, (TImageRect{10, 10, 50, 30}));     // natural size, centred
  Line(g, ktLineFreehand, clBlack, 2, {{5, 5}, {55, 5}});   // above the picture
  Line(g, ktLineFreehand, clRed, 2, {{20, 20}, {40, 20}});  // across it
  Line(g, ktEraseSketchOnly, TvlGraphic::SketchKeyColor, 6, {{30, 20}, {30, 20.5f}});
  Line(g, ktLineStraight, clBlack, 9, {{12, 25}, {48, 25}});  // kept, not drawn
  Line(g, ktFloodFill, clLime, 1, {});                        // no point: nothing
  const QImage &image = g.ComposedImage();
  ASSERT_EQ(image.size(), QSize(60, 40));
  EXPECT_EQ(image.pixel(2, 2), Background);
  EXPECT_TRUE(Near(image.pixel(15, 15), qRgb(0x20, 0x50, 0xD0)));
  EXPECT_TRUE(Near(image.pixel(15, 25), qRgb(0x20, 0x50, 0xD0)));
  EXPECT_TRUE(Near(image.pixel(30, 5), qRgb(0, 0, 0), 40));
  EXPECT_TRUE(Near(image.pixel(24, 20), qRgb(255, 0, 0), 40));
  // The eraser drew the transparent colour: the picture shows through the red line there.
  EXPECT_TRUE(Near(image.pixel(30, 20), qRgb(0x20, 0x50, 0xD0)));

  // A fill spreads over the sketch layer's colour at its point, up to the strokes.
  TvlGraphic filled;
  Place(filled, 0, 0, 40, 40);
  filled.FAntiAlias = false;
  Line(filled, ktLineFreehand, clBlack, 1, {{10, 10}, {30, 10}, {30, 30}, {10, 30}, {10, 10}});
  Line(filled, ktFloodFill, clRed, 1, {{20, 20}});
  Line(filled, ktFloodFill, clRed, 1, {{-5, 500}});  // outside: nothing
  const QImage &f = filled.ComposedImage();
  EXPECT_EQ(f.pixel(20, 20), qRgb(255, 0, 0));
  EXPECT_EQ(f.pixel(11, 29), qRgb(255, 0, 0));
  EXPECT_EQ(f.pixel(10, 20), qRgb(0, 0, 0));
  EXPECT_EQ(f.pixel(5, 5), Background);
}

TEST(GraphicTest, FloodFillStaysInsideAndAlwaysEnds) {
  QImage image(2000, 1500, QImage::Format_RGB32);
  image.fill(Qt::white);
  // A comb: many runs per row, and a region far too large for a recursive fill.
  for (int x = 0; x < 2000; x += 4)
    for (int y = (x % 8 ? 0 : 1); y < 1499; ++y) image.setPixel(x, y, qRgb(0, 0, 0));
  FloodFill(image, 1, 1, qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(1, 1), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(1999, 1499), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(4, 700), qRgb(0, 0, 0));
  FloodFill(image, 1, 1, qRgb(255, 0, 0));  // same colour: nothing to do
  FloodFill(image, -1, 3, qRgb(0, 255, 0));
  FloodFill(image, 3, 1500, qRgb(0, 255, 0));
  EXPECT_EQ(image.pixel(3, 3), qRgb(255, 0, 0));
}

TEST(GraphicTest, ImplausibleSizesComposeNothing) {
  for (const int side : {0, -5, 1'000'000'000}) {
    TvlGraphic g;
    Place(g, 0, 0, side, 50);
    Line(g, ktFloodFill, clRed, 1, {{1, 1}});
    EXPECT_TRUE(g.ComposedImage().isNull()) << side;
    QImage canvas(10, 10, QImage::Format_RGB32);
    QPainter painter(&canvas);
    g.Render(painter, 0);
    EXPECT_EQ(g.EditorsData.FPixelWidth, side);  // kept as loaded, for saving
  }
}

TEST(JpegTest, PicturesOfEveryColourSpaceDecode) {
  struct {
    int Space;
    std::uint32_t Value;
    QRgb Expected;
  } rows[] = {
      {JCS_RGB, 0x2050D0, qRgb(0x20, 0x50, 0xD0)},
      {JCS_GRAYSCALE, 0x008000, qRgb(0x80, 0x80, 0x80)},
      {JCS_CMYK, 0xFF0000FF, qRgb(255, 0, 0)},  // red, in the inverted form libjpeg writes
  };
  for (const auto &row : rows) {
    const QImage image = Decoded(MakeJpeg(16, 8, row.Space, [&](int, int) { return row.Value; }));
    ASSERT_EQ(image.size(), QSize(16, 8)) << row.Space;
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_TRUE(Near(image.pixel(7, 3), row.Expected)) << row.Space;
    EXPECT_EQ(qAlpha(image.pixel(15, 7)), 255);
  }
}

TEST(JpegTest, DamagedPicturesGiveNoPictureAndAReason) {
  const QByteArray good =
      MakeJpeg(64, 64, JCS_RGB, [](int X, int Y) { return static_cast<std::uint32_t>(X * Y); });
  ASSERT_FALSE(Decoded(good).isNull());
  QByteArray flipped = good;
  for (qsizetype i = flipped.size() / 2; i < flipped.size() - 2; i += 7) flipped[i] = '\xFF';
  const QByteArray rows[] = {
      good.left(good.size() / 2),  // cut in the middle of the picture data
      good.left(300),              // cut in the header
      flipped,                     // markers where picture data should be
      QByteArray("not a picture at all"),
      QByteArray(),
      QByteArray("\xFF\xD8\xFF\xD9", 4),  // start and end, nothing between
  };
  for (const QByteArray &bytes : rows) {
    QString problem;
    EXPECT_TRUE(DecodeJpeg(bytes, &problem).isNull()) << bytes.size();
    EXPECT_FALSE(problem.isEmpty());
  }
  RJpegLimits small;
  small.MaxSide = 32;
  QString problem;
  EXPECT_TRUE(DecodeJpeg(good, &problem, small).isNull());
  EXPECT_TRUE(problem.contains(QStringLiteral("too large")));
}

TEST(JpegTest, OnlyRegularFilesAreRead) {
  TFreshFolder folder;
  const QString fifo = folder.File(QStringLiteral("pipe.jpg"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  const QString cut = folder.File(QStringLiteral("cut.jpg"));
  WriteAllBytes(cut, MakeJpeg(32, 32, JCS_RGB, [](int, int) { return 0x102030u; }).left(200));
  // A pipe would block a reader that opened it to wait for data.
  for (const QString &path :
       {fifo, folder.Path(), cut, folder.File(QStringLiteral("none.jpg")), QString()}) {
    QString problem;
    EXPECT_TRUE(LoadJpegFile(path, &problem).isNull()) << path.toStdString();
    EXPECT_FALSE(problem.isEmpty());
  }

  // An inset whose picture cannot be loaded keeps its path for saving and shows its background.
  TvlGraphic g;
  Place(g, 0, 0, 20, 20);
  EXPECT_FALSE(g.JPeg_LoadFromFile(cut));
  EXPECT_EQ(g.JpegPathName, cut);
  EXPECT_FALSE(g.PictureProblem.isEmpty());
  EXPECT_FALSE(g.JPeg_HasOne());
  EXPECT_EQ(g.ComposedImage().pixel(10, 10), Background);
}

// A size from a damaged file far above what can be composed: the images are made smaller in the
// inset's proportions, the inset keeps its size, and the cap is said.
TEST(GraphicTest, AHugeInsetIsComposedWithinThePixelCapAndSaysSo) {
  TvlGraphic huge;
  Place(huge, 7, 9, 20000, 10000);
  TPenStroke &line = huge.Sketch.PenStroke_Append();
  line.Color = 0x0000FF;
  line.Width = 50;
  line.PenPoint_Append(0, 5000);
  line.PenPoint_Append(20000, 5000);
  const QImage &image = huge.ComposedImage();
  ASSERT_FALSE(image.isNull());
  EXPECT_LE(std::int64_t{image.width()} * image.height(), TvlGraphic::MaxComposedPixels);
  EXPECT_EQ(image.width(), 2 * image.height());
  EXPECT_EQ(huge.EditorsData.FPixelWidth, 20000);
  EXPECT_EQ(huge.EditorsData.FPixelHeight, 10000);
  EXPECT_TRUE(huge.CompositionProblem.startsWith(
      QStringLiteral("A picture of 20000 x 10000 pixels is drawn from an image of ")));
  // The stroke is drawn at the reduced scale, through the middle.
  EXPECT_EQ(image.pixel(image.width() / 2, image.height() / 2), qRgb(255, 0, 0));
  QImage canvas(100, 100, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  huge.Render(painter, 0);
  painter.end();
  EXPECT_EQ(canvas.pixel(50, 50), qRgb(0xF8, 0xF0, 0xC0));  // the stretched background

  // Back under the cap, the inset is composed at its size again and nothing is said.
  Place(huge, 7, 9, 300, 200);
  huge.Offscreen_Invalidate();
  EXPECT_EQ(huge.ComposedImage().size(), QSize(300, 200));
  EXPECT_TRUE(huge.CompositionProblem.isEmpty());
}
