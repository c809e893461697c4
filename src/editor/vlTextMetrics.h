#pragma once
// Where the formatter's widths and heights come from. Per-character widths summed from the line's
// left edge are the one truth for wrapping, caret placement, hit-testing and drawing: text is
// drawn glyph by glyph at those summed positions, so what is measured is what is seen.
//
// Measures are cached per font index. An index keeps naming the same attributes while its
// fonts table's LayoutGeneration stays put, so the cache is valid for one (table, generation,
// scale); Reset drops it when any of these moves. Applying a font is then a pointer switch.
//
// User-interface thread only.

#include "vldFontsInUse.h"

#include <QChar>
#include <QFont>
#include <QRawFont>

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class ITextMetrics {
 public:
  virtual ~ITextMetrics() = default;
  // Forgets every measure when Fonts, its generation or Scale differ from the last call.
  virtual void Reset(const TFontsInUse &Fonts, double Scale) = 0;
  // Makes Font (an index of the table given to Reset) current for the calls below.
  virtual void ApplyFont(TFontIndex Font) = 0;
  // Advance of one character in the current font, whole pixels.
  virtual int TextWidth(QChar Ch) = 0;
  // Cell height of the current font (ascent + descent), whole pixels.
  virtual int TextHeight() = 0;
  // Ascent of the current font: where the baseline lies below a line's top.
  virtual int Ascent() = 0;
  // The font text in the current font is drawn with (pixel-sized, so that no device's resolution
  // changes it), and its raw form for positioned glyphs.
  virtual QFont DrawFont() = 0;
  virtual const QRawFont &DrawRawFont() = 0;
};

// Measures with Qt at 96 dots per inch: face names go through the substitution table of the
// fonts table (DrawingFaceFor), sizes become whole pixels (10 pt = 13 px), kerning and shaping
// are off so that a run is exactly the sum of its characters.
class TQtTextMetrics final : public ITextMetrics {
 public:
  TQtTextMetrics();
  ~TQtTextMetrics() override;
  void Reset(const TFontsInUse &Fonts, double Scale) override;
  void ApplyFont(TFontIndex Font) override;
  int TextWidth(QChar Ch) override;
  int TextHeight() override;
  int Ascent() override;
  QFont DrawFont() override;
  const QRawFont &DrawRawFont() override;

  // The drawing font of an index, as the metrics make it (tests and tools).
  static QFont MakeFont(const TFontsInUse &Fonts, TFontIndex Font, double Scale);

 private:
  struct RMeasure;
  RMeasure &Entry(TFontIndex Font);

  const TFontsInUse *FFonts = nullptr;
  std::uint64_t FGeneration = 0;
  double FScale = 1;
  std::vector<std::unique_ptr<RMeasure>> FEntries;  // [font index + 1]; slot 0 for -1
  RMeasure *FCurrent = nullptr;
};

// A fixed-pitch stand-in for tests: every character is the font's size in pixels wide (a tab
// too), the cell height is twice the size, the ascent three quarters of that. With the default
// 10-point font: 10 px per character, 20 px per line. Sizes are taken at Scale, rounded down.
class TFixedPitchMetrics final : public ITextMetrics {
 public:
  void Reset(const TFontsInUse &Fonts, double Scale) override;
  void ApplyFont(TFontIndex Font) override;
  int TextWidth(QChar Ch) override;
  int TextHeight() override { return 2 * FSize; }
  int Ascent() override { return (3 * TextHeight()) / 4; }
  QFont DrawFont() override;
  const QRawFont &DrawRawFont() override { return FRaw; }

  // Characters that measure differently (tests of uneven widths); others measure the size.
  std::unordered_map<char16_t, int> WidthOverrides;
  int ApplyCount = 0;  // how often the current font really changed

 private:
  const TFontsInUse *FFonts = nullptr;
  double FScale = 1;
  TFontIndex FFont = -2;
  int FSize = 10;
  QRawFont FRaw;
};
