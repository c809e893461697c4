#include "vl09_TiltText.h"

#include "vlDateTime.h"
#include "vlGlobals.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

bool ForceTiltedTextPrep = false;

TColor BlendInk(TColor Ink, TColor Background, int Alpha) {
  const int a = std::clamp(Alpha, 0, 255);
  const int v = 255 - a;
  const int g = (v * v / 255 + 2 * v) / 3;
  const int d = 255 - g;
  auto mix = [d](int ink, int back) {
    return std::clamp(d * ink / 255 + back * (255 - d) / 255, 0, 255);
  };
  return RGBColor(mix(ColorRed(Ink), ColorRed(Background)),
                  mix(ColorGreen(Ink), ColorGreen(Background)),
                  mix(ColorBlue(Ink), ColorBlue(Background)));
}

int SupersamplingFactor(int PixelHeight) {
  const int h = std::abs(PixelHeight);
  if (h >= 20) return 1;
  if (h >= 12) return 2;
  if (h >= 7) return 3;
  return 4;
}

// ---------------------------------------------------------------------------------------------
// TQuickBitmap

TQuickBitmap::TQuickBitmap(int Width, int Height, int Scale) { SetSize(Width, Height, Scale); }

int TQuickBitmap::ScaleForRatio(double DevicePixelRatio) {
  if (!(DevicePixelRatio > 1)) return 1;
  // 1.01 is still 1: a rounding error of the platform must not double the work.
  return std::clamp(static_cast<int>(std::ceil(DevicePixelRatio - 0.05)), 1, MaxScale);
}

void TQuickBitmap::SetSize(int Width, int Height) { SetSize(Width, Height, FScale); }

void TQuickBitmap::SetSize(int Width, int Height, int Scale) {
  Scale = std::clamp(Scale, 1, MaxScale);
  Width = std::max(0, Width);
  Height = std::max(0, Height);
  if (FScale == Scale && FImage.width() == Width * Scale && FImage.height() == Height * Scale &&
      FImage.format() == QImage::Format_RGB32)
    return;
  FScale = Scale;
  FImage = QImage(Width * Scale, Height * Scale, QImage::Format_RGB32);
  FImage.setDevicePixelRatio(Scale);
}

void TQuickBitmap::Fill(TColor Colour) { FImage.fill(ToRgb(Colour)); }

void TQuickBitmap::FillRect(const QRect &Rect, TColor Colour) {
  const QRect r = DeviceRect(Rect).intersected(FImage.rect());
  if (r.isEmpty()) return;
  const QRgb c = ToRgb(Colour);
  for (int y = r.top(); y <= r.bottom(); ++y) std::fill_n(Row(y) + r.left(), r.width(), c);
}

TColor TQuickBitmap::GetPixel(int X, int Y) const {
  if (X < 0 || Y < 0 || X >= Width() || Y >= Height()) {
    ErrorReportInDebug(QStringLiteral("QB.GP: No such pixel (%1,%2) in [%3,%4]")
                           .arg(X)
                           .arg(Y)
                           .arg(Width())
                           .arg(Height()));
    return clLime;
  }
  return PixelAt(X, Y);
}

void TQuickBitmap::SetPixel(int X, int Y, TColor Colour) {
  if (X < 0 || Y < 0 || X >= Width() || Y >= Height()) {
    ErrorReportInDebug(QStringLiteral("QB.SP: No such pixel (%1,%2) in [%3,%4]")
                           .arg(X)
                           .arg(Y)
                           .arg(Width())
                           .arg(Height()));
    return;
  }
  const QRgb c = ToRgb(Colour);
  for (int y = Y * FScale; y < (Y + 1) * FScale; ++y) std::fill_n(Row(y) + X * FScale, FScale, c);
}

void TQuickBitmap::CopyRow(int FromY, int ToY, int Left, int Right) {
  if (FromY == ToY || FromY < 0 || ToY < 0 || FromY >= Height() || ToY >= Height()) return;
  const int from = std::max(0, Left) * FScale, till = std::min(Right, Width()) * FScale;
  if (till <= from) return;
  for (int k = 0; k < FScale; ++k)
    std::memcpy(Row(ToY * FScale + k) + from, ConstRow(FromY * FScale + k) + from,
                sizeof(QRgb) * static_cast<std::size_t>(till - from));
}

void TQuickBitmap::ReduceBitmap(int Amount, TInkedSpan &Span) {
  Span = EmptyInkedSpan;
  if (Amount < 1 || Amount > 4) throw std::invalid_argument("ReduceBitmap error");
  if (Amount == 1) return;
  const int cols = FImage.width() / Amount;
  const int rows = FImage.height() / Amount;
  const int n = Amount * Amount;
  for (int by = 0; by < rows; ++by) {
    for (int bx = 0; bx < cols; ++bx) {
      int r = 0, g = 0, b = 0;
      for (int y = 0; y < Amount; ++y) {
        const QRgb *row = ConstRow(by * Amount + y) + bx * Amount;
        for (int x = 0; x < Amount; ++x) {
          r += qRed(row[x]);
          g += qGreen(row[x]);
          b += qBlue(row[x]);
        }
      }
      r /= n;
      g /= n;
      b /= n;
      Row(by)[bx] = qRgb(r, g, b);
      if (r + g + b < 765) {
        Span.Left = std::min(Span.Left, bx);
        Span.Right = std::max(Span.Right, bx);
      }
    }
  }
}

void TQuickBitmap::Draw(int X, int Y, const TQuickBitmap &Source) {
  const QRect place = DeviceRect(QRect(X, Y, Source.Width(), Source.Height()));
  const QRect dest = place.intersected(FImage.rect());
  if (dest.isEmpty()) return;
  if (Source.Scale() == FScale) {
    for (int y = dest.top(); y <= dest.bottom(); ++y)
      std::memcpy(Row(y) + dest.left(),
                  Source.ConstRow(y - place.top()) + (dest.left() - place.left()),
                  sizeof(QRgb) * static_cast<std::size_t>(dest.width()));
    return;
  }
  const int s = Source.Scale();
  for (int y = dest.top(); y <= dest.bottom(); ++y) {
    const QRgb *src = Source.ConstRow((y - place.top()) * s / FScale);
    QRgb *row = Row(y);
    for (int x = dest.left(); x <= dest.right(); ++x) row[x] = src[(x - place.left()) * s / FScale];
  }
}

QImage TQuickBitmap::Copy(const QRect &Rect) const { return FImage.copy(DeviceRect(Rect)); }

void TQuickBitmap::Paste(const QRect &Rect, const QImage &Pixels) {
  const QRect place = DeviceRect(Rect);
  if (Pixels.isNull() || Pixels.size() != place.size() || Pixels.format() != QImage::Format_RGB32)
    return;
  const QRect target = place.intersected(FImage.rect());
  if (target.isEmpty()) return;
  const int dx = target.left() - place.left();
  for (int y = target.top(); y <= target.bottom(); ++y)
    std::memcpy(Row(y) + target.left(),
                reinterpret_cast<const QRgb *>(Pixels.constScanLine(y - place.top())) + dx,
                sizeof(QRgb) * static_cast<std::size_t>(target.width()));
}

// One pass per source row over the source columns whose destination column is visible. The
// destination index of each source column is worked out once per call. Destination indices are
// device columns when the stretch runs at device resolution, else logical columns each covering
// Scale() device columns; every source row covers Scale() device rows.
void TQuickBitmap::StretchRows(int Left, int Top, int Right, const TQuickBitmap &Source,
                               int SourceRows, bool LimeOnly, int ClipLeft, int ClipRight) {
  const int S = FScale;
  const int clipLeftL = std::max(0, ClipLeft);
  const int clipRightL = std::min(Width(), ClipRight);
  const int DL = Right - Left;
  const int srcW = Source.FImage.width();
  const int rows =
      SourceRows < 0 ? Source.FImage.height() : std::min(SourceRows, Source.FImage.height());
  if (DL <= 0 || srcW <= 0 || rows <= 0 || clipRightL <= clipLeftL) return;
  // The device rows of source row r.
  auto forRows = [&](auto &&Each) {
    for (int r = 0; r < rows; ++r) {
      const int y = Top + r;
      if (y < 0 || y >= Height()) continue;
      for (int k = 0; k < S; ++k) Each(Source.ConstRow(r), Row(y * S + k));
    }
  };
  if (DL == srcW) {
    // As wide as the source: drawn as it is, in full colour.
    const int x0 = std::max(Left, clipLeftL), x1 = std::min(Left + srcW, clipRightL);
    if (x1 <= x0) return;
    forRows([&](const QRgb *src, QRgb *dest) {
      if (S == 1) {
        std::memcpy(dest + x0, src + (x0 - Left), sizeof(QRgb) * static_cast<std::size_t>(x1 - x0));
        return;
      }
      for (int x = x0; x < x1; ++x) std::fill_n(dest + x * S, S, src[x - Left]);
    });
    return;
  }
  const bool device = S > 1 && std::int64_t(DL) * S <= srcW;
  const int rep = device ? 1 : S;   // device columns per destination index
  const int unit = device ? S : 1;  // destination indices per logical column
  const int D = DL * unit, origin = Left * unit;
  const int clipLeft = clipLeftL * unit, clipRight = clipRightL * unit;
  // Visible destination indices.
  const int jFirst = std::max(0, clipLeft - origin);
  const int jLast = std::min(D - 1, clipRight - 1 - origin);
  if (jLast < jFirst) return;
  const double scale = double(D) / double(srcW);
  // round-half-even(D x i / srcW) in exact integer arithmetic.
  auto indexOf = [D, srcW](int i) {
    const std::int64_t num = std::int64_t(D) * i;
    std::int64_t q = num / srcW;
    const std::int64_t twice = 2 * (num % srcW);
    if (twice > srcW || (twice == srcW && (q & 1))) ++q;
    return static_cast<int>(q);
  };
  const int span = jLast - jFirst + 1;
  const int devFirst = (origin + jFirst) * rep;
  // First source column landing at jFirst or later; last landing at jLast or earlier.
  int iFirst = std::max(0, static_cast<int>(std::floor((jFirst - 1) / scale)) - 1);
  while (iFirst < srcW && indexOf(iFirst) < jFirst) ++iFirst;
  int iLast = std::min(srcW - 1, static_cast<int>(std::ceil((jLast + 1) / scale)) + 1);
  while (iLast >= 0 && indexOf(iLast) > jLast) --iLast;
  if (iLast < iFirst) {
    // Nothing lands in view: the visible part is black.
    forRows(
        [&](const QRgb *, QRgb *dest) { std::fill_n(dest + devFirst, span * rep, qRgb(0, 0, 0)); });
    return;
  }
  // Destination indices grow with the source column, so each destination index takes one
  // contiguous run of source columns: [first[j], first[j + 1]).
  std::vector<int> first(static_cast<std::size_t>(span) + 1, iLast + 1);
  for (int i = iLast; i >= iFirst; --i) first[static_cast<std::size_t>(indexOf(i) - jFirst)] = i;
  for (int j = span - 1; j >= 0; --j)
    if (first[static_cast<std::size_t>(j)] > first[static_cast<std::size_t>(j) + 1])
      first[static_cast<std::size_t>(j)] = first[static_cast<std::size_t>(j) + 1];
  forRows([&](const QRgb *src, QRgb *row) {
    QRgb *dest = row + devFirst;
    for (int j = 0; j < span; ++j) {
      const int i0 = first[static_cast<std::size_t>(j)],
                i1 = first[static_cast<std::size_t>(j) + 1];
      const int n = i1 - i0;
      QRgb c = qRgb(0, 0, 0);
      if (n > 0) {
        unsigned g = 0;
        for (int i = i0; i < i1; ++i) g += (src[i] >> 8) & 0xFFu;
        if (LimeOnly) {
          c = qRgb(0, static_cast<int>(g / unsigned(n)), 0);
        } else {
          unsigned rs = 0, bs = 0;
          for (int i = i0; i < i1; ++i) {
            rs += (src[i] >> 16) & 0xFFu;
            bs += src[i] & 0xFFu;
          }
          c = qRgb(static_cast<int>(rs / unsigned(n)), static_cast<int>(g / unsigned(n)),
                   static_cast<int>(bs / unsigned(n)));
        }
      }
      if (rep == 1)
        dest[j] = c;
      else
        std::fill_n(dest + j * rep, rep, c);
    }
  });
}

void TQuickBitmap::MyStretchDrawFull(int Left, int Top, int Right, const TQuickBitmap &Source,
                                     int SourceRows, int ClipLeft, int ClipRight) {
  StretchRows(Left, Top, Right, Source, SourceRows, false, ClipLeft, ClipRight);
}

void TQuickBitmap::MyStretchDrawLime(int Left, int Top, int Right, const TQuickBitmap &Source,
                                     int SourceRows, int ClipLeft, int ClipRight) {
  StretchRows(Left, Top, Right, Source, SourceRows, true, ClipLeft, ClipRight);
}

void TQuickBitmap::MyStretchDrawLimeFlip(int Left, int Top, int Bottom,
                                         const TQuickBitmap &Source) {
  const int D = Bottom - Top;
  const int srcW = Source.FImage.width();
  if (D <= 0 || srcW <= 0) return;
  const double scale = double(D) / double(srcW);
  std::vector<int> target(static_cast<std::size_t>(srcW));
  std::vector<int> count(static_cast<std::size_t>(D) + 1, 0);
  for (int i = 0; i < srcW; ++i) {
    const int j = static_cast<int>(std::clamp<std::int64_t>(RoundHalfEven(scale * i), 0, D));
    target[static_cast<std::size_t>(i)] = j;
    ++count[static_cast<std::size_t>(j)];
  }
  std::vector<int> sum(static_cast<std::size_t>(D) + 1);
  const int S = FScale;
  for (int r = 0; r < Source.FImage.height(); ++r) {
    const int x = Left + r;
    if (x < 0 || x >= Width()) continue;
    std::fill(sum.begin(), sum.end(), 0);
    const QRgb *src = Source.ConstRow(r);
    for (int i = 0; i < srcW; ++i)
      sum[static_cast<std::size_t>(target[static_cast<std::size_t>(i)])] += qGreen(src[i]);
    for (int j = 0; j < D; ++j) {
      const int y = Top + j;
      if (y < 0 || y >= Height()) continue;
      const int n = count[static_cast<std::size_t>(j)];
      const QRgb c = n == 0 ? qRgb(0, 0, 0) : qRgb(0, sum[static_cast<std::size_t>(j)] / n, 0);
      for (int k = 0; k < S; ++k) std::fill_n(Row(y * S + k) + x * S, S, c);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Rotated text

void DrawSmoothRotatedText(QImage &Dest, int X, int Y, const QString &Text, const QFont &Font,
                           int TenthsDegreesCounterclockwise) {
  QPainter p(&Dest);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setPen(Qt::black);
  p.setFont(Font);
  p.translate(X, Y);
  p.rotate(-TenthsDegreesCounterclockwise / 10.0);
  p.drawText(0, QFontMetrics(Font).ascent(), Text);
}

// ---------------------------------------------------------------------------------------------
// TTiltedText

TTiltedText::TTiltedText() {
  // Grey anti-aliasing: the coverage is read back from one channel.
  FFont.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
}

void TTiltedText::Prep(const QString &Text, int TenthsDegreesCounterclockwise, int Scale) {
  FTouched.clear();
  FBounds = QRect();
  FDeviceBounds = QRect();
  const int S = std::clamp(Scale, 1, TQuickBitmap::MaxScale);
  FCacheScale = S;
  FCacheAngle = TenthsDegreesCounterclockwise;
  FCacheFont = FFont;
  FCacheText = Text;
  const QString shown = Text.left(MaxTiltedChars);
  if (shown.isEmpty()) return;

  QFont font = FFont;
  font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
  const QFontMetrics fm(font);
  const double theta = TenthsDegreesCounterclockwise * 0.1 / 57.29577951308232;
  const double H = fm.height();
  const double W = fm.horizontalAdvance(shown);
  const double s = std::abs(std::sin(theta)), c = std::abs(std::cos(theta));
  const int width = std::clamp(static_cast<int>(std::ceil(W * c + H * s)), 1, MaxScratchSide);
  const int height =
      std::clamp(static_cast<int>(std::ceil(W * s + H * c + 2 * H)), 1, MaxScratchSide);
  const int AC = static_cast<int>(std::floor(H * 0.5));
  const int AR = static_cast<int>(std::ceil(height - H * std::sin(theta) * 0.5));

  // Laid out in logical pixels, rasterised at the device scale; the anchor is the device pixel
  // at the top-left of the logical anchor pixel.
  const int deviceWidth = std::min(width * S, MaxScratchSide);
  const int deviceHeight = std::min(height * S, MaxScratchSide);
  QImage scratch(deviceWidth, deviceHeight, QImage::Format_RGB32);
  scratch.setDevicePixelRatio(S);
  scratch.fill(Qt::white);
  DrawSmoothRotatedText(scratch, 0, height - fm.height(), shown, font,
                        TenthsDegreesCounterclockwise);

  int minX = std::numeric_limits<int>::max(), minY = minX;
  int maxX = std::numeric_limits<int>::min(), maxY = maxX;
  constexpr int lo = std::numeric_limits<std::int16_t>::min();
  constexpr int hi = std::numeric_limits<std::int16_t>::max();
  for (int y = 0; y < deviceHeight; ++y) {
    const QRgb *row = reinterpret_cast<const QRgb *>(scratch.constScanLine(y));
    for (int x = 0; x < deviceWidth; ++x) {
      const QRgb px = row[x] & 0xFFFFFF;
      if (px == 0xFFFFFF) continue;
      const int dx = x - AC * S, dy = y - AR * S;
      if (dx < lo || dx > hi || dy < lo || dy > hi) continue;
      TPixelTouch t;
      t.dx = static_cast<std::int16_t>(dx);
      t.dy = static_cast<std::int16_t>(dy);
      t.Alpha = static_cast<std::uint8_t>(255 - qRed(px));
      if (t.Alpha == 0) continue;
      FTouched.push_back(t);
      minX = std::min(minX, dx);
      maxX = std::max(maxX, dx);
      minY = std::min(minY, dy);
      maxY = std::max(maxY, dy);
    }
  }
  FTouched.shrink_to_fit();
  if (FTouched.empty()) return;
  FDeviceBounds = QRect(QPoint(minX, minY), QPoint(maxX, maxY));
  auto logical = [S](int v) { return v >= 0 ? v / S : -((-v + S - 1) / S); };
  FBounds = QRect(QPoint(logical(minX), logical(minY)), QPoint(logical(maxX), logical(maxY)));
}

// Walks the pixels in their stored (row) order with the anchor at the logical pixel (AnchorX,
// AnchorY), skipping those outside Dest; Write(touch, rowPointer, x) draws one. Pixels prepared
// for another device scale are not drawn: the bitmap of another scale is drawn afresh anyway.
template <typename TWrite>
void TTiltedText::WalkPixels(int AnchorX, int AnchorY, TQuickBitmap &Dest, TWrite &&Write) {
  if (Dest.Scale() != FCacheScale) return;
  const int w = Dest.Image().width(), h = Dest.Image().height();
  if (w <= 0 || h <= 0) return;
  AnchorX *= FCacheScale;
  AnchorY *= FCacheScale;
  int rowY = std::numeric_limits<int>::min();
  QRgb *row = nullptr;
  for (TPixelTouch &t : FTouched) {
    const int y = AnchorY + t.dy;
    if (y < 0 || y >= h) continue;
    const int x = AnchorX + t.dx;
    if (x < 0 || x >= w) continue;
    if (y != rowY) {
      row = Dest.Row(y);
      rowY = y;
    }
    Write(t, row, x);
  }
}

void TTiltedText::PlotVeryQuick(int X, int Y, TQuickBitmap &Dest) {
  const TColor ink = FFontColor;
  WalkPixels(X, Y, Dest, [ink](TPixelTouch &t, QRgb *row, int x) {
    // What lies under the pixel comes back on erase; the blend background is the row's left
    // edge, fixed at the first plot after preparing.
    t.clOld = TQuickBitmap::FromRgb(row[x]);
    if (t.clBackground == clNone) t.clBackground = TQuickBitmap::FromRgb(row[0]);
    row[x] = TQuickBitmap::ToRgb(BlendInk(ink, t.clBackground, t.Alpha));
  });
  FAtX = X;
  FAtY = Y;
}

void TTiltedText::PlotVeryQuick_Recolor(TColor clNew, int NewXOrLookup, TQuickBitmap &Dest) {
  if (Dest.Height() <= 0) return;
  const int anchorX = NewXOrLookup == KeepAnchor ? FAtX : NewXOrLookup;
  if (clNew == clDefault) {
    WalkPixels(anchorX, FAtY, Dest, [](TPixelTouch &t, QRgb *row, int x) {
      if (t.clOld != clNone) row[x] = TQuickBitmap::ToRgb(t.clOld);
    });
  } else {
    WalkPixels(anchorX, FAtY, Dest, [clNew](TPixelTouch &t, QRgb *row, int x) {
      t.clOld = TQuickBitmap::FromRgb(row[x]);
      if (t.clBackground == clNone) t.clBackground = TQuickBitmap::FromRgb(row[0]);
      row[x] = TQuickBitmap::ToRgb(BlendInk(clNew, t.clBackground, t.Alpha));
    });
  }
  if (NewXOrLookup != KeepAnchor) FAtX = NewXOrLookup;
}

void TTiltedText::PlotCachedOrPrepFirstToo(int X, int Y, int Angle, const QString &Text,
                                           TQuickBitmap &Dest) {
  const bool fontChanged =
      FFont.family() != FCacheFont.family() || FFont.pixelSize() != FCacheFont.pixelSize() ||
      FFont.pointSizeF() != FCacheFont.pointSizeF() || FFont.bold() != FCacheFont.bold() ||
      FFont.italic() != FCacheFont.italic() || FFont.underline() != FCacheFont.underline() ||
      FFont.strikeOut() != FCacheFont.strikeOut();
  if (FTouched.empty() || Angle != FCacheAngle || Text != FCacheText || fontChanged ||
      Dest.Scale() != FCacheScale || ForceTiltedTextPrep)
    Prep(Text, Angle, Dest.Scale());
  PlotVeryQuick(X, Y, Dest);
}

void TTiltedText::PrepAndPlotSlowlyOnce(int X, int Y, int Angle, const QString &Text,
                                        TQuickBitmap &Dest) {
  Prep(Text, Angle, Dest.Scale());
  PlotVeryQuick(X, Y, Dest);
}

bool TTiltedText::DoesMouseTouchText(int X, int Y, double Radius) const {
  if (FTouched.empty() || !(Radius >= 0)) return false;
  // In device pixels, from the mouse's logical pixel (its top-left device pixel).
  const int S = FCacheScale;
  const double mx = double(X) * S, my = double(Y) * S, radius = Radius * S;
  const double atX = double(FAtX) * S, atY = double(FAtY) * S;
  // Box first: most labels are far from the mouse.
  const double left = atX + FDeviceBounds.left() - radius,
               right = atX + FDeviceBounds.right() + radius;
  const double top = atY + FDeviceBounds.top() - radius,
               bottom = atY + FDeviceBounds.bottom() + radius;
  if (mx < left || mx > right || my < top || my > bottom) return false;
  const double r2 = radius * radius;
  for (const TPixelTouch &t : FTouched) {
    const double dx = atX + t.dx - mx;
    const double dy = atY + t.dy - my;
    if (dx * dx + dy * dy <= r2) return true;
  }
  return false;
}
