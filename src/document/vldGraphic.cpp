#include "vldGraphic.h"

#include "vlDateTime.h"
#include "vlGlobals.h"
#include "vldJpeg.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Stroke coordinates and widths come from files: anything beyond these is damage, not drawing.
constexpr double MaxCoordinate = 1'000'000;
constexpr double MaxPenWidth = 1000;

QRgb ToRgb(TColor C) { return qRgb(ColorRed(C), ColorGreen(C), ColorBlue(C)); }

// Rounds half to even, held within the 32-bit range.
std::int32_t RoundToInt32(double Value) {
  if (!std::isfinite(Value)) return 0;
  const double held =
      std::clamp(Value, static_cast<double>(std::numeric_limits<std::int32_t>::min()),
                 static_cast<double>(std::numeric_limits<std::int32_t>::max()));
  return static_cast<std::int32_t>(RoundHalfEven(held));
}

std::int32_t AddHeld(std::int32_t A, std::int64_t B) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      A + B, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool UsablePoint(const TPenPoint &P) {
  return std::isfinite(P.X) && std::isfinite(P.Y) && std::abs(P.X) <= MaxCoordinate &&
         std::abs(P.Y) <= MaxCoordinate;
}

QPoint Scaled(const TPenPoint &P, double Scale) {
  return QPoint(static_cast<int>(std::lround(P.X * Scale)),
                static_cast<int>(std::lround(P.Y * Scale)));
}

}  // namespace

TSeam<RInsetOptions> &InsetOptionsSeam() {
  static RInsetOptions defaults;
  static TSeam<RInsetOptions> seam(defaults);
  return seam;
}

RInsetOptions &InsetOptions() { return InsetOptionsSeam().Get(); }

// ---- Pixel routines ------------------------------------------------------------------------

void FloodFill(QImage &Image, int X, int Y, QRgb Color) {
  const int w = Image.width(), h = Image.height();
  if (X < 0 || Y < 0 || X >= w || Y >= h) return;
  const QRgb target = reinterpret_cast<const QRgb *>(Image.constScanLine(Y))[X];
  if (target == Color) return;
  struct RSeed {
    int X, Y;
  };
  std::vector<RSeed> seeds{{X, Y}};
  while (!seeds.empty()) {
    const RSeed s = seeds.back();
    seeds.pop_back();
    auto *line = reinterpret_cast<QRgb *>(Image.scanLine(s.Y));
    if (line[s.X] != target) continue;
    int left = s.X, right = s.X;
    while (left > 0 && line[left - 1] == target) --left;
    while (right < w - 1 && line[right + 1] == target) ++right;
    std::fill(line + left, line + right + 1, Color);
    for (const int ny : {s.Y - 1, s.Y + 1}) {
      if (ny < 0 || ny >= h) continue;
      const auto *next = reinterpret_cast<const QRgb *>(Image.constScanLine(ny));
      // One seed per run of target pixels next to the span just filled.
      for (int x = left; x <= right; ++x)
        if (next[x] == target && (x == left || next[x - 1] != target)) seeds.push_back({x, ny});
    }
  }
}

void CopyWithoutKey(QImage &Base, const QImage &Layer, QRgb Key) {
  const int w = std::min(Base.width(), Layer.width());
  const int h = std::min(Base.height(), Layer.height());
  const QRgb key = Key & 0xFFFFFF;
  for (int y = 0; y < h; ++y) {
    auto *out = reinterpret_cast<QRgb *>(Base.scanLine(y));
    const auto *in = reinterpret_cast<const QRgb *>(Layer.constScanLine(y));
    for (int x = 0; x < w; ++x)
      if ((in[x] & 0xFFFFFF) != key) out[x] = in[x];
  }
}

QImage ReduceByHalf(const QImage &Source) {
  const int w = Source.width() / 2, h = Source.height() / 2;
  QImage out(w, h, QImage::Format_RGB32);
  if (out.isNull()) return out;
  for (int y = 0; y < h; ++y) {
    const auto *a = reinterpret_cast<const QRgb *>(Source.constScanLine(2 * y));
    const auto *b = reinterpret_cast<const QRgb *>(Source.constScanLine(2 * y + 1));
    auto *o = reinterpret_cast<QRgb *>(out.scanLine(y));
    for (int x = 0; x < w; ++x) {
      const QRgb p[4] = {a[2 * x], a[2 * x + 1], b[2 * x], b[2 * x + 1]};
      const auto mean = [&p](int (*Channel)(QRgb)) {
        return (Channel(p[0]) + Channel(p[1]) + Channel(p[2]) + Channel(p[3]) + 2) / 4;
      };
      o[x] = qRgb(mean(qRed), mean(qGreen), mean(qBlue));
    }
  }
  return out;
}

// ---- The picture inset ---------------------------------------------------------------------

void TvlGraphic::MyAssign(const TSection &Source) {
  TInset::MyAssign(Source);
  const auto *g = dynamic_cast<const TvlGraphic *>(&Source);
  if (!g || g == this) return;
  AAScale = g->AAScale;
  Callouts.clear();
  for (const auto &c : g->Callouts) {
    auto copy = std::make_unique<TCallout>();
    copy->X = c->X;
    copy->Y = c->Y;
    copy->Direction = c->Direction;
    copy->Length = c->Length;
    copy->Text.MyAssign(c->Text);
    Callouts.push_back(std::move(copy));
  }
  FclBackground = g->FclBackground;
  Jpeg = g->Jpeg;
  JpegPathName = g->JpegPathName;
  PictureProblem = g->PictureProblem;
  Picture = g->Picture;
  FAntiAlias = g->FAntiAlias;
  FMoveIconRect = g->FMoveIconRect;
  FZOrder = g->FZOrder;
  ImageRect = g->ImageRect;
  Sketch.MyAssign(g->Sketch);
  Offscreen_Invalidate();
}

void TvlGraphic::PictureLoaded() {
  // Files store no place for the picture, so a loaded picture gets its natural size, centred
  // when it fits (as an inset fitted around it with padding is) and at the top-left otherwise.
  // The stored size of the inset is never changed by loading.
  if (ImageRect.IsEmpty()) {
    const int w = Jpeg.width(), h = Jpeg.height();
    const int spareX = EditorsData.FPixelWidth - w, spareY = EditorsData.FPixelHeight - h;
    const bool fits = spareX >= 0 && spareY >= 0;
    ImageRect.Left = fits ? spareX / 2 : 0;
    ImageRect.Top = fits ? spareY / 2 : 0;
    ImageRect.Right = ImageRect.Left + w;
    ImageRect.Bottom = ImageRect.Top + h;
  }
  Offscreen_Invalidate();
}

bool TvlGraphic::JPeg_LoadFromFile(const QString &Path) {
  if (JPeg_HasOne()) return false;
  JpegPathName = Path;
  PictureProblem.clear();
  QImage picture = LoadJpegFile(Path, &PictureProblem);
  if (picture.isNull()) {
    TraceWrite(QStringLiteral("Picture inset without picture: ") + PictureProblem);
    Offscreen_Invalidate();
    return false;
  }
  Jpeg = std::move(picture);
  PictureLoaded();
  return true;
}

bool TvlGraphic::JPeg_Replace(const QImage &Jp) {
  if (JPeg_HasOne() || Jp.isNull()) return false;
  Jpeg = Jp.convertToFormat(QImage::Format_RGB32);
  if (Jpeg.isNull()) return false;
  PictureLoaded();
  return true;
}

void TvlGraphic::JPeg_Size(int Width, int Height) {
  ImageRect.Right = AddHeld(ImageRect.Left, Width);
  ImageRect.Bottom = AddHeld(ImageRect.Top, Height);
  Offscreen_Invalidate();
  Rect_AutoAdjust_AccordingToOptions();
}

void TvlGraphic::JPeg_PositionWithinGraphic(int Left, int Top) {
  const std::int32_t w = ImageRect.Width(), h = ImageRect.Height();
  ImageRect.Left = Left;
  ImageRect.Top = Top;
  ImageRect.Right = AddHeld(Left, w);
  ImageRect.Bottom = AddHeld(Top, h);
  Offscreen_Invalidate();
}

void TvlGraphic::Rect_AutoAdjust_AccordingToOptions() {
  if (InsetOptions().AutoEnlarge) Rect_AutoAdjust_Forced();
}

void TvlGraphic::Rect_AutoAdjust_Forced() {
  bool any = false;
  double left = 0, top = 0, right = 0, bottom = 0;
  const auto widen = [&](double L, double T, double R, double B) {
    if (!any) {
      left = L, top = T, right = R, bottom = B;
      any = true;
      return;
    }
    left = std::min(left, L);
    top = std::min(top, T);
    right = std::max(right, R);
    bottom = std::max(bottom, B);
  };
  if (JPeg_HasOne() && !ImageRect.IsEmpty())
    widen(ImageRect.Left, ImageRect.Top, ImageRect.Right, ImageRect.Bottom);
  for (const auto &stroke : Sketch.PenStrokes) {
    if (stroke->Color == SketchKeyColor) continue;  // invisible on the page
    const double w =
        std::isfinite(stroke->Width) ? std::clamp<double>(stroke->Width, 0, MaxPenWidth) : 0;
    const double half = static_cast<double>(RoundHalfEven(w / 2));
    for (const TPenPoint &p : stroke->Points)
      if (UsablePoint(p)) widen(p.X - half, p.Y - half, p.X + half, p.Y + half);
  }
  // An inset with nothing to show keeps its rectangle: fitting "nothing" would shrink it to
  // its padding.
  if (!any) return;
  const double pad = InsetOptions().SketchPadding;
  left -= pad;
  top -= pad;
  right += pad;
  bottom += pad;
  Rect_ChangeIt(left, top, right - EditorsData.FPixelWidth + 1,
                bottom - EditorsData.FPixelHeight + 1);
}

void TvlGraphic::Rect_ChangeIt(double dL, double dT, double dR, double dB) {
  const auto counts = [](double D) { return std::isfinite(D) && std::abs(D) > 0; };
  const bool cL = counts(dL), cT = counts(dT), cR = counts(dR), cB = counts(dB);
  const std::int32_t rL = cL ? RoundToInt32(dL) : 0, rT = cT ? RoundToInt32(dT) : 0;
  EditorsData.FvLeft = AddHeld(EditorsData.FvLeft, rL);
  EditorsData.FvTop += rT;
  if (cL || cT) {
    Sketch.Translate(static_cast<float>(-rL), static_cast<float>(-rT));
    ImageRect.Left = AddHeld(ImageRect.Left, -std::int64_t{rL});
    ImageRect.Right = AddHeld(ImageRect.Right, -std::int64_t{rL});
    ImageRect.Top = AddHeld(ImageRect.Top, -std::int64_t{rT});
    ImageRect.Bottom = AddHeld(ImageRect.Bottom, -std::int64_t{rT});
  }
  const double l = cL ? dL : 0, t = cT ? dT : 0, r = cR ? dR : 0, b = cB ? dB : 0;
  if (r - l != 0 || b - t != 0) {
    // A size of 0 or less would make an inset nothing can be drawn in or clicked.
    EditorsData.FPixelWidth = std::max(1, RoundToInt32(r + EditorsData.FPixelWidth - l));
    EditorsData.FPixelHeight = std::max(1, RoundToInt32(b + EditorsData.FPixelHeight - t));
  }
  if (cL || cT || cR || cB) Offscreen_Invalidate();
}

void TvlGraphic::Offscreen_Invalidate() {
  OffscreenValid = false;
  TempBM = QImage();
}

void TvlGraphic::DrawStrokes(double Scale) {
  QPainter painter(&BareSketch);
  // No anti-aliasing on the sketch layer: the key colour and the flood fill need exact colours.
  painter.setRenderHint(QPainter::Antialiasing, false);
  for (const auto &stroke : Sketch.PenStrokes) {
    if (!IsRGBColor(stroke->Color)) continue;  // clNone and the like draw nothing
    const QRgb color = ToRgb(stroke->Color);
    switch (stroke->Tool) {
      case ktEraseAll:
      case ktEraseSketchOnly:
      case ktLineFreehand: {
        QPolygon line;
        line.reserve(stroke->PenPoint_Count());
        for (const TPenPoint &p : stroke->Points)
          if (UsablePoint(p)) line.append(Scaled(p, Scale));
        if (line.size() < 2) break;  // a single point is a line of no length
        const double w =
            std::isfinite(stroke->Width) ? std::clamp<double>(stroke->Width, 0, MaxPenWidth) : 0;
        painter.setPen(QPen(QColor::fromRgb(color), static_cast<qreal>(RoundHalfEven(Scale * w)),
                            Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(line);
        break;
      }
      case ktFloodFill: {
        if (stroke->Points.empty() || !UsablePoint(stroke->Points.front())) break;
        // The fill reads the layer's pixels: everything drawn so far must be in it.
        painter.end();
        const QPoint at = Scaled(stroke->Points.front(), Scale);
        FloodFill(BareSketch, at.x(), at.y(), color);
        painter.begin(&BareSketch);
        painter.setRenderHint(QPainter::Antialiasing, false);
        break;
      }
      default: break;  // kept and saved, but not drawn
    }
  }
}

void TvlGraphic::Offscreen_Prepare() {
  if (OffscreenValid) return;
  TempBM = QImage();
  if (!HasDrawableSize()) {
    Offscreen = QImage();
    BareSketch = QImage();
    return;
  }
  const std::int64_t w = EditorsData.FPixelWidth, h = EditorsData.FPixelHeight;
  AAScale = FAntiAlias && w * h <= AntiAliasPixelBudget ? 2 : 1;
  // Above the cap the images are composed smaller, keeping the inset's proportions, and stretched
  // when painted: a 20000 x 20000 inset would otherwise need two images of 1.6 GB each. The
  // inset keeps its stored size.
  double factor = AAScale;
  int sw = static_cast<int>(w * AAScale), sh = static_cast<int>(h * AAScale);
  QString problem;
  if (w * h > MaxComposedPixels) {
    factor = std::sqrt(static_cast<double>(MaxComposedPixels) / static_cast<double>(w * h));
    sw = std::max(1, static_cast<int>(std::floor(static_cast<double>(w) * factor)));
    sh = std::max(1, static_cast<int>(std::floor(static_cast<double>(h) * factor)));
    problem = QStringLiteral(
                  "A picture of %1 x %2 pixels is drawn from an image of %3 x %4: "
                  "pictures are composed with at most %5 pixels")
                  .arg(w)
                  .arg(h)
                  .arg(sw)
                  .arg(sh)
                  .arg(MaxComposedPixels);
  }
  if (problem != CompositionProblem) {
    CompositionProblem = problem;
    if (!problem.isEmpty()) ErrorReport(false, problem);
  }
  if (Offscreen.width() != sw || Offscreen.height() != sh)
    Offscreen = QImage(sw, sh, QImage::Format_RGB32);
  if (BareSketch.width() != sw || BareSketch.height() != sh)
    BareSketch = QImage(sw, sh, QImage::Format_RGB32);
  if (Offscreen.isNull() || BareSketch.isNull()) {
    Offscreen = QImage();
    BareSketch = QImage();
    ErrorReport(false, QStringLiteral("TvlGraphic.Offscreen_Prepare: Out of memory!"));
    return;
  }
  Offscreen.fill(ToRgb(IsRGBColor(FclBackground) ? FclBackground : clWhite));
  if (JPeg_HasOne() && !ImageRect.IsEmpty()) {
    QPainter painter(&Offscreen);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    const auto s = [factor](std::int64_t V) {
      return static_cast<int>(
          std::clamp<double>(std::round(static_cast<double>(V) * factor), -(1 << 29), 1 << 29));
    };
    painter.drawImage(
        QRect(s(ImageRect.Left), s(ImageRect.Top), s(ImageRect.Width()), s(ImageRect.Height())),
        Jpeg);
  }
  BareSketch.fill(ToRgb(SketchKeyColor));
  DrawStrokes(factor);
  CopyWithoutKey(Offscreen, BareSketch, ToRgb(SketchKeyColor));
  OffscreenValid = true;
}

const QImage &TvlGraphic::ComposedImage() {
  Offscreen_Prepare();
  if (!OffscreenValid || AAScale == 1) return Offscreen;
  if (TempBM.isNull()) TempBM = ReduceByHalf(Offscreen);
  return TempBM;
}

void TvlGraphic::Render(QPainter &Canvas, std::int64_t TopPixel) {
  RerenderTopPix = TopPixel;
  FRendered = true;
  const QImage &image = ComposedImage();
  if (image.isNull()) return;
  const std::int64_t y = EditorsData.FvTop - TopPixel;
  // Far outside any canvas: nothing of it can show.
  if (y < -(std::int64_t{1} << 30) || y > (std::int64_t{1} << 30)) return;
  const QRect place(EditorsData.FvLeft, static_cast<int>(y), EditorsData.FPixelWidth,
                    EditorsData.FPixelHeight);
  if (image.size() == place.size())
    Canvas.drawImage(place.topLeft(), image);
  else
    Canvas.drawImage(place, image);  // composed smaller than the inset: stretched
}

void TvlGraphic::Rerender() {
  if (FRendered && RepaintRequest) RepaintRequest(EditorsData.VirtualRect());
}
