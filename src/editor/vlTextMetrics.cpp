#include "vlTextMetrics.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

// ---- Qt measures ---------------------------------------------------------------------------

struct TQtTextMetrics::RMeasure {
  explicit RMeasure(const QFont &F) : Font(F), Metrics(F) {
    Height = Metrics.height();
    AscentPx = Metrics.ascent();
    Ascii.fill(-1);
  }
  QFont Font;
  QFontMetrics Metrics;
  int Height = 0;
  int AscentPx = 0;
  std::array<std::int16_t, 128> Ascii;  // -1: not measured yet
  std::unordered_map<char16_t, int> Others;
  QRawFont Raw;
  bool RawMade = false;
};

TQtTextMetrics::TQtTextMetrics() = default;
TQtTextMetrics::~TQtTextMetrics() = default;

QFont TQtTextMetrics::MakeFont(const TFontsInUse &Fonts, TFontIndex Font, double Scale) {
  // The table's drawing font at 96 dpi (point size, face substitution, style), turned into whole
  // pixels as a 96-dpi screen would: 10 pt = 13 px.
  QFont f = Fonts.DrawingFont(Font, Scale, nullptr);
  const double points = f.pointSizeF() > 0 ? f.pointSizeF() : 10.0;
  f.setPixelSize(std::max(1, static_cast<int>(std::lround(points * LayoutDotsPerInch / 72.0))));
  f.setKerning(false);
  f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferNoShaping | QFont::PreferAntialias));
  f.setHintingPreference(QFont::PreferFullHinting);
  return f;
}

void TQtTextMetrics::Reset(const TFontsInUse &Fonts, double Scale) {
  if (FFonts == &Fonts && FGeneration == Fonts.LayoutGeneration() && FScale == Scale && FCurrent)
    return;
  FFonts = &Fonts;
  FGeneration = Fonts.LayoutGeneration();
  FScale = Scale;
  FEntries.clear();
  FCurrent = nullptr;
  ApplyFont(0);
}

TQtTextMetrics::RMeasure &TQtTextMetrics::Entry(TFontIndex Font) {
  // Every index that names no entry measures as the default font: one slot serves them all.
  const int slot = FFonts && FFonts->FontExists(Font) ? Font + 1 : 0;
  if (static_cast<std::size_t>(slot) >= FEntries.size())
    FEntries.resize(static_cast<std::size_t>(slot) + 1);
  auto &e = FEntries[static_cast<std::size_t>(slot)];
  if (!e) {
    static const TFontsInUse noFonts;
    e = std::make_unique<RMeasure>(MakeFont(FFonts ? *FFonts : noFonts, slot ? Font : -1, FScale));
  }
  return *e;
}

void TQtTextMetrics::ApplyFont(TFontIndex Font) { FCurrent = &Entry(Font); }

int TQtTextMetrics::TextWidth(QChar Ch) {
  const char16_t c = Ch.unicode();
  if (c < 128) {
    std::int16_t &w = FCurrent->Ascii[c];
    if (w < 0)
      w = static_cast<std::int16_t>(std::clamp(FCurrent->Metrics.horizontalAdvance(Ch), 0, 32767));
    return w;
  }
  auto it = FCurrent->Others.find(c);
  if (it != FCurrent->Others.end()) return it->second;
  const int w = std::max(0, FCurrent->Metrics.horizontalAdvance(Ch));
  FCurrent->Others.emplace(c, w);
  return w;
}

int TQtTextMetrics::TextHeight() { return FCurrent->Height; }
int TQtTextMetrics::Ascent() { return FCurrent->AscentPx; }
QFont TQtTextMetrics::DrawFont() { return FCurrent->Font; }

const QRawFont &TQtTextMetrics::DrawRawFont() {
  if (!FCurrent->RawMade) {
    FCurrent->Raw = QRawFont::fromFont(FCurrent->Font);
    FCurrent->RawMade = true;
  }
  return FCurrent->Raw;
}

// ---- Fixed pitch ---------------------------------------------------------------------------

void TFixedPitchMetrics::Reset(const TFontsInUse &Fonts, double Scale) {
  FFonts = &Fonts;
  FScale = Scale;
  FFont = -2;
  ApplyFont(0);
}

void TFixedPitchMetrics::ApplyFont(TFontIndex Font) {
  if (Font == FFont) return;
  FFont = Font;
  ++ApplyCount;
  const int size = FFonts ? FFonts->GetFontSize(Font) : 10;
  FSize = std::max(1, static_cast<int>(std::floor(size * FScale)));
}

int TFixedPitchMetrics::TextWidth(QChar Ch) {
  auto it = WidthOverrides.find(Ch.unicode());
  return it != WidthOverrides.end() ? it->second : FSize;
}

QFont TFixedPitchMetrics::DrawFont() {
  QFont f(QStringLiteral("DejaVu Sans Mono"));
  f.setPixelSize(FSize);
  return f;
}
