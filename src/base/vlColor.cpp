#include "vlColor.h"

QColor TColorToQColor(TColor C) {
  if (C == clNone) return QColor(Qt::transparent);
  if (!IsRGBColor(C)) return QColor();
  return QColor(ColorRed(C), ColorGreen(C), ColorBlue(C));
}

TColor QColorToTColor(const QColor &C) {
  if (!C.isValid()) return clDefault;
  const QColor rgb = C.toRgb();
  if (rgb.alpha() == 0) return clNone;
  return RGBColor(rgb.red(), rgb.green(), rgb.blue());
}
