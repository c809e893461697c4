#include "vlTrackMapping.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
const char16_t *const Captions[15] = {
    u"Quarter second per pixel", u"Half second per pixel", u"1 second per pixel",
    u"2 second per pixel",       u"3 second per pixel",    u"4 second per pixel",
    u"5 second per pixel",       u"6 second per pixel",    u"8 second per pixel",
    u"10 second per pixel",      u"12 second per pixel",   u"15 second per pixel",
    u"20 second per pixel",      u"30 second per pixel",   u"60 second per pixel"};
}  // namespace

QString ZoomLevelCaption(TZoomLevel Level) {
  if (Level < MinZoomLevel || Level > MaxZoomLevel) return QString();
  return QString::fromUtf16(Captions[Level - 1]);
}

double PixelDurationFromCaption(const QString &Caption, double Fallback) {
  double result;
  if (Caption.startsWith(QStringLiteral("Half"))) {
    result = 0.5;
  } else if (Caption.startsWith(QStringLiteral("Quar"))) {
    result = 0.25;
  } else {
    qsizetype n = 0;
    while (n < Caption.size() && Caption[n].isDigit()) ++n;
    bool ok = false;
    result = n > 0 ? Caption.left(n).toDouble(&ok) : 0;
    if (!ok) result = Fallback;
  }
  return result == 0 ? 1 : result;
}

double PixelDurationFromZoomLevel(TZoomLevel Level) {
  return PixelDurationFromCaption(ZoomLevelCaption(std::clamp(Level, MinZoomLevel, MaxZoomLevel)),
                                  1);
}

TZoomLevel ZoomLevelFromPixelDuration(double PixelDuration) {
  for (TZoomLevel l = MinZoomLevel; l <= MaxZoomLevel; ++l)
    if (PixelDurationFromZoomLevel(l) >= PixelDuration) return l;
  return MaxZoomLevel;
}

int TTrackMapping::ColumnOf(TDateTime T, bool &InRange) const {
  InRange = false;
  if (!(PixelDuration > 0) || T == 0 || !std::isfinite(T) || !std::isfinite(When)) return 0;
  const double distanceMs = (T - When) * double(MSecsPerDay);
  const std::int64_t columnMs = RoundHalfEven(PixelDuration * 1000.0);
  if (columnMs <= 0) return 0;
  // Beyond 2^62 ms (146 million years) the milliseconds are not whole numbers any more; such
  // distances are far outside any track and only need the right sign.
  constexpr double huge = 4.0e18;
  double column;
  if (std::abs(distanceMs) < huge)
    column = double(RoundHalfEven(distanceMs) / columnMs);  // integer division: towards zero
  else
    column = distanceMs < 0 ? -huge : huge;
  constexpr double lo = std::numeric_limits<int>::min();
  constexpr double hi = std::numeric_limits<int>::max();
  const int PO = column < lo   ? std::numeric_limits<int>::min()
                 : column > hi ? std::numeric_limits<int>::max()
                               : static_cast<int>(column);
  InRange = PO >= 0 && std::int64_t(PO) < Columns;
  return PO;
}
