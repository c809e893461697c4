#pragma once
// The off-screen bitmap every timeline draws into, and label texts slanted at an angle that are
// rendered once and then plotted, re-coloured and erased pixel by pixel.
//
// TQuickBitmap owns a QImage in Format_RGB32 (0xffRRGGBB per pixel). Colours cross its interface
// as TColor (red in the low byte) because the blends and the exact-colour tests compare them;
// the conversion happens at the pixel. Every column is reached through the row pointer: a QImage
// row has no length limit, so there is one code path for all columns.
//
// Device scale: a bitmap shown on a screen of twice the pixel density holds Scale() x Scale()
// device pixels per pixel of its layout, and its image carries that device pixel ratio, so a
// painter draws it at its logical size. Sizes, rectangles and pixel coordinates of the interface
// are logical; only Row/ConstRow and Image() expose device pixels. Texts and the level band are
// drawn at device resolution; fills, stems and ticks cover whole logical pixels, so the layout
// is the same at every scale.
//
// A TTiltedText keeps its text as a list of touched pixels (offset from an anchor point and ink
// coverage) and, per pixel, the colour its last drawing covered. Plot, re-colour and erase then
// touch only those pixels, so a label can follow the mouse or grow by a character without
// drawing the track again. Each track owns the TTiltedText objects of the labels it shows: the
// anchor and the covered colours describe one drawing in one bitmap, and sharing one object
// between two tracks would erase the other track's pixels into this one.
//
// Guards: a label renders at most MaxTiltedChars characters into a scratch image of at most
// MaxScratchSide pixels a side, and offsets that do not fit 16 bits are dropped, so a label of
// any length costs bounded memory and time. Writes outside the destination are skipped.
//
// User-interface thread only (fonts and QPainter).

#include "vlColor.h"

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include <cstdint>
#include <vector>

// A range of pixel columns; valid when Right >= Left.
struct TInkedSpan {
  int Left = 2147483647;
  int Right = -2147483647 - 1;
  bool IsValid() const { return Right >= Left; }
};
inline constexpr TInkedSpan EmptyInkedSpan{};

// Ink coverage thickened (d = 255 - g(255 - Alpha), g(v) = (v*v/255 + 2v)/3) and blended
// channel by channel over Background. Alpha 0 gives Background, 255 gives Ink.
TColor BlendInk(TColor Ink, TColor Background, int Alpha);

// The supersampling factor for a font of this pixel height: 20+ -> 1, 12..19 -> 2, 7..11 -> 3,
// 6 or less -> 4.
int SupersamplingFactor(int PixelHeight);

class TQuickBitmap {
 public:
  TQuickBitmap() = default;
  TQuickBitmap(int Width, int Height, int Scale = 1);

  // Logical size.
  int Width() const { return FImage.width() / FScale; }
  int Height() const { return FImage.height() / FScale; }
  // Device pixels per logical pixel, each way (1..MaxScale).
  int Scale() const { return FScale; }
  static constexpr int MaxScale = 4;
  // The whole scale that draws sharp at a screen's device pixel ratio (1.5 -> 2).
  static int ScaleForRatio(double DevicePixelRatio);
  // Makes sure the pixels are 32-bit RGB (an image assigned from elsewhere may not be).
  void InitializeScanLine() {
    if (FImage.format() != QImage::Format_RGB32)
      FImage = FImage.convertToFormat(QImage::Format_RGB32);
  }
  // Resizes, keeping the scale, or to another scale (clamped to 1..MaxScale); the content is
  // undefined afterwards (callers fill it).
  void SetSize(int Width, int Height);
  void SetSize(int Width, int Height, int Scale);
  void Fill(TColor Colour);
  void FillRect(const QRect &Rect, TColor Colour);  // clipped to the bitmap

  // Outside the bitmap: GetPixel reports "QB.GP: No such pixel (x,y) in [w,h]" and answers lime;
  // SetPixel reports "QB.SP: ..." and writes nothing.
  TColor GetPixel(int X, int Y) const;
  void SetPixel(int X, int Y, TColor Colour);
  // The same without reports, for loops that have checked the bounds. At a scale above 1 a
  // logical pixel reads as its top-left device pixel and SetPixel writes all of its block.
  TColor PixelAt(int X, int Y) const {
    return FromRgb(reinterpret_cast<const QRgb *>(FImage.constScanLine(Y * FScale))[X * FScale]);
  }
  // Device row Y (Scale() x Width() pixels); at scale 1 the logical row.
  QRgb *Row(int Y) { return reinterpret_cast<QRgb *>(FImage.scanLine(Y)); }
  const QRgb *ConstRow(int Y) const {
    return reinterpret_cast<const QRgb *>(FImage.constScanLine(Y));
  }

  // Copies logical row FromY onto row ToY between the columns Left..Right-1 (clipped).
  void CopyRow(int FromY, int ToY, int Left, int Right);

  // Averages Amount x Amount device pixel blocks into the top-left part (Amount 2..4; 1 changes
  // nothing);
  // Span covers the result columns that are not pure white. Other amounts throw
  // std::invalid_argument("ReduceBitmap error").
  void ReduceBitmap(int Amount, TInkedSpan &Span);

  // Stretch Source across the columns Left..Right-1 (D = Right - Left), rows copied one to one
  // from Top (rows and columns outside this bitmap are skipped, D <= 0 draws nothing). Source
  // column i lands on destination index round-half-even(D / source width x i); each destination
  // column gets the mean of what landed on it, black when nothing did.
  //   Full: all three channels. Lime: the green channel only, drawn as (0, mean, 0). Both copy
  //   the source as it is, in full colour, when D equals the source width.
  //   LimeFlip: a quarter turn for a vertical strip: source row r goes to column Left + r, the
  //   source columns spread over rows Top..Bottom-1; no plain-copy shortcut.
  // SourceRows limits the rows read (and written) to the first SourceRows (-1: all); only the
  // destination columns ClipLeft..ClipRight-1 are written (and only the source columns landing
  // there are read). The source is read at scale 1. At a larger scale of this bitmap, a stretch
  // that narrows the source enough (Scale x D at most its width) is done at device resolution;
  // otherwise each logical column is worked out as at scale 1 and covers its block.
  void MyStretchDrawFull(int Left, int Top, int Right, const TQuickBitmap &Source,
                         int SourceRows = -1, int ClipLeft = 0, int ClipRight = 2147483647);
  void MyStretchDrawLime(int Left, int Top, int Right, const TQuickBitmap &Source,
                         int SourceRows = -1, int ClipLeft = 0, int ClipRight = 2147483647);
  void MyStretchDrawLimeFlip(int Left, int Top, int Bottom, const TQuickBitmap &Source);
  // Copies Source with its top-left at (X, Y), clipped (nearest device pixel when the scales
  // differ).
  void Draw(int X, int Y, const TQuickBitmap &Source);
  // The device pixels of a logical rectangle, and back (clipped; a copy of another scale is
  // not written back).
  QImage Copy(const QRect &Rect) const;
  void Paste(const QRect &Rect, const QImage &Pixels);

  QImage &Image() { return FImage; }
  const QImage &Image() const { return FImage; }

  static TColor FromRgb(QRgb C) { return RGBColor(qRed(C), qGreen(C), qBlue(C)); }
  static QRgb ToRgb(TColor C) { return qRgb(ColorRed(C), ColorGreen(C), ColorBlue(C)); }

 private:
  void StretchRows(int Left, int Top, int Right, const TQuickBitmap &Source, int SourceRows,
                   bool LimeOnly, int ClipLeft, int ClipRight);
  QRect DeviceRect(const QRect &Logical) const {
    return QRect(Logical.x() * FScale, Logical.y() * FScale, Logical.width() * FScale,
                 Logical.height() * FScale);
  }
  QImage FImage;
  int FScale = 1;
};

// One touched pixel of a prepared label.
struct TPixelTouch {
  std::int16_t dx = 0;           // column offset from the anchor
  std::int16_t dy = 0;           // row offset from the anchor
  std::uint8_t Alpha = 0;        // ink coverage, 255 = full ink
  TColor clOld = clNone;         // what the last drawing of this pixel covered
  TColor clBackground = clNone;  // what the ink is blended against; fixed at the first plot
};

class TTiltedText {
 public:
  static constexpr int MaxTiltedChars = 256;
  static constexpr int MaxScratchSide = 4096;
  static constexpr int KeepAnchor = -2147483647 - 1;

  TTiltedText();

  // The font to prepare with; its colour is the ink of the plots.
  QFont &Font() { return FFont; }
  TColor FontColor() const { return FFontColor; }
  void SetFontColor(TColor C) { FFontColor = C; }

  // Renders Text at the angle (tenths of a degree counter-clockwise) and rebuilds the pixels,
  // for a bitmap of that device scale (the pixels' offsets are device pixels).
  void Prep(const QString &Text, int TenthsDegreesCounterclockwise, int Scale = 1);
  // Prepares again when the cache does not match (no pixels, another angle, text, font face,
  // size, style or device scale, or ForceTiltedTextPrep), then plots with the anchor at (X, Y).
  // Anchors are logical pixels of the destination.
  void PlotCachedOrPrepFirstToo(int X, int Y, int Angle, const QString &Text, TQuickBitmap &Dest);
  // Plots the prepared pixels in the font colour with the anchor at (X, Y).
  void PlotVeryQuick(int X, int Y, TQuickBitmap &Dest);
  // Draws the pixels in clNew at anchor column NewXOrLookup (KeepAnchor: the present one); with
  // clDefault it erases instead (writes back what the last drawing covered).
  void PlotVeryQuick_Recolor(TColor clNew, int NewXOrLookup, TQuickBitmap &Dest);
  void PlotVeryQuick_Remove(TQuickBitmap &Dest) {
    PlotVeryQuick_Recolor(clDefault, KeepAnchor, Dest);
  }
  // The canvas forms of the plots. A QImage row has no length limit, so they share the quick
  // path (with its exact erase) and report nothing for pixels outside.
  void Plot(int X, int Y, TQuickBitmap &Dest) { PlotVeryQuick(X, Y, Dest); }
  void Plot_Remove(TQuickBitmap &Dest) { PlotVeryQuick_Remove(Dest); }
  void PlotQuick(int X, int Y, TQuickBitmap &Dest) { PlotVeryQuick(X, Y, Dest); }
  void PlotQuick_Remove(TQuickBitmap &Dest) { PlotVeryQuick_Remove(Dest); }
  // Prepare, then plot.
  void PrepAndPlotSlowlyOnce(int X, int Y, int Angle, const QString &Text, TQuickBitmap &Dest);

  // True when a drawn pixel lies within Radius of (X, Y). The bounding box of the last drawing
  // rejects far points before any pixel is looked at.
  bool DoesMouseTouchText(int X, int Y, double Radius) const;

  const std::vector<TPixelTouch> &TouchedPixels() const { return FTouched; }
  // The pixels' offsets from the anchor in logical pixels: left, top, right, bottom (inclusive);
  // empty when none.
  QRect Bounds() const { return FBounds; }
  int CacheScale() const { return FCacheScale; }
  int AtX() const { return FAtX; }
  int AtY() const { return FAtY; }
  const QString &CacheText() const { return FCacheText; }
  int CacheAngle() const { return FCacheAngle; }
  const QFont &CacheFont() const { return FCacheFont; }

 private:
  template <typename TWrite>
  void WalkPixels(int AnchorX, int AnchorY, TQuickBitmap &Dest, TWrite &&Write);

  QFont FCacheFont;
  int FCacheAngle = 0;
  int FCacheScale = 1;
  QRect FDeviceBounds;
  QString FCacheText;
  QFont FFont;
  TColor FFontColor = clBlack;
  std::vector<TPixelTouch> FTouched;
  QRect FBounds;
  int FAtX = 0;
  int FAtY = 0;
};

// Set while every label must be prepared again (after a change of the track's skin).
extern bool ForceTiltedTextPrep;

// Text drawn with grey anti-aliasing, rotated counter-clockwise by the angle about its start,
// into Dest (white background expected); Y is the top of the upright text cell.
void DrawSmoothRotatedText(QImage &Dest, int X, int Y, const QString &Text, const QFont &Font,
                           int TenthsDegreesCounterclockwise);
