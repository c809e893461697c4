#pragma once
// The picture inset: an optional JPEG picture, referenced by its file path, with a sketch of pen
// strokes drawn over it, and the off-screen images the editor paints it from.
//
// Composition happens in Offscreen_Prepare, only when something changed: the background, the
// picture stretched into ImageRect, then the sketch layer (its key colour $FFFFFE is transparent)
// copied over it. With anti-aliasing the images are made at twice the inset's size and reduced by
// averaging 2 x 2 pixels when painted; the reduction is kept until the next change, because the
// editor repaints far more often than insets change.
//
// User-interface thread only.

#include "vlSeam.h"
#include "vldInset.h"
#include "vldRichString.h"
#include "vldSketch.h"

#include <QImage>
#include <QString>

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;

// The options that shape picture insets. The program installs its own, taken from the sketching
// options, at start-up; the values here are the defaults until then.
struct RInsetOptions {
  bool AutoEnlarge = true;  // fit an inset to its content whenever the picture's size is set
  int SketchPadding = 5;    // pixels left around the content when fitting
};
TSeam<RInsetOptions> &InsetOptionsSeam();
RInsetOptions &InsetOptions();

// Where the picture lies inside the inset, in inset pixels; right and bottom are exclusive.
struct TImageRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;

  std::int32_t Width() const { return Right - Left; }
  std::int32_t Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
  friend bool operator==(const TImageRect &, const TImageRect &) = default;
};

// A note pinned to a point of the picture; carried, neither drawn nor saved.
struct TCallout {
  std::int32_t X = 0;
  std::int32_t Y = 0;
  double Direction = 0;
  double Length = 0;
  TRichString Text;
};

class TvlGraphic : public TInset {
 public:
  // The sketch layer's transparent colour.
  static constexpr TColor SketchKeyColor = 0xFFFFFE;
  // Above this many inset pixels the images are composed at scale 1: at twice the size a large
  // picture would need hundreds of megabytes, and the difference does not show at that size.
  static constexpr std::int64_t AntiAliasPixelBudget = 4'000'000;
  // Above this many inset pixels the images are composed smaller (same proportions) and
  // stretched when painted; the inset keeps its size. Sizes this large come from damaged files.
  static constexpr std::int64_t MaxComposedPixels = 16'000'000;

  TvlGraphic() = default;

  // Everything but the composed images, which are made again on the next paint.
  void MyAssign(const TSection &Source) override;

  bool JPeg_HasOne() const { return !Jpeg.isNull(); }
  // Only while no picture is loaded: remembers Path and decodes the file. A file that is missing,
  // damaged or too large leaves the inset without a picture (the path is kept, so that saving
  // gives it back); the reason is in PictureProblem. True when a picture was loaded.
  bool JPeg_LoadFromFile(const QString &Path);
  // Only while no picture is loaded: takes a copy of Jp.
  bool JPeg_Replace(const QImage &Jp);
  // ImageRect gets that size at its present top-left, then the inset is fitted (when the options
  // say so).
  void JPeg_Size(int Width, int Height);
  // Moves ImageRect, keeping its size.
  void JPeg_PositionWithinGraphic(int Left, int Top);

  void Rect_AutoAdjust_AccordingToOptions();
  // Makes the inset exactly the padded extent of the picture and of the strokes that show,
  // moving the content so that it keeps its place on the page. Nothing when there is nothing to
  // fit.
  void Rect_AutoAdjust_Forced();
  // Moves the inset's edges by the deltas (left, top, right, bottom, in pixels); the content keeps
  // its place on the page. Sizes stay at least 1.
  void Rect_ChangeIt(double dL, double dT, double dR, double dB);

  void Offscreen_Invalidate();
  // Composes the off-screen image when it is not valid. An inset without a drawable size composes
  // nothing.
  void Offscreen_Prepare();
  // Paints the inset at its virtual place, TopPixel being the virtual Y at the canvas's top.
  void Render(QPainter &Canvas, std::int64_t TopPixel);
  // Asks, through RepaintRequest, for the inset's rectangle to be painted again; nothing before
  // the first Render. Painters live only as long as one paint, so none is kept here.
  void Rerender();

  // The composed image at the inset's own size (reduced when composed at scale 2), or smaller
  // for an inset above MaxComposedPixels; null when the inset composes nothing. Prepares it when
  // needed.
  const QImage &ComposedImage();

  int AAScale = 1;
  std::vector<std::unique_ptr<TCallout>> Callouts;  // carried
  TColor FclBackground = 0xC0F0F8;
  QImage Jpeg;  // the decoded picture; null when there is none
  QString JpegPathName;
  QString PictureProblem;  // why the last load gave no picture
  // Set while the inset is composed smaller than its size (above MaxComposedPixels); says so.
  QString CompositionProblem;
  QImage Offscreen;
  QImage BareSketch;
  bool OffscreenValid = false;
  QImage Picture;  // carried
  bool FAntiAlias = true;
  TVirtualRect FMoveIconRect;  // carried
  int FZOrder = INT_MAX;       // stacking order, 1 = front
  QImage TempBM;               // the 2 x 2 reduction of Offscreen
  std::int64_t RerenderTopPix = 0;
  bool FRendered = false;
  TImageRect ImageRect;
  TSketch Sketch;
  // Installed by the view that paints the inset: repaint this virtual rectangle.
  std::function<void(const TVirtualRect &)> RepaintRequest;

 private:
  void PictureLoaded();
  void DrawStrokes(double Scale);
};

// ---- Pixel routines of the composition (exposed for tests) -------------------------------------

// Fills, in Color, the 4-connected region of pixels that have the colour found at (X, Y). Nothing
// when the point lies outside the image or already has that colour. Works row span by row span
// with its own stack, so a region of any size needs no recursion.
void FloodFill(QImage &Image, int X, int Y, QRgb Color);
// Copies every pixel of Layer that is not Key onto Base (both Format_RGB32, same size).
void CopyWithoutKey(QImage &Base, const QImage &Layer, QRgb Key);
// Half the size, each pixel the rounded mean of a 2 x 2 block (Format_RGB32).
QImage ReduceByHalf(const QImage &Source);
