#pragma once
// TColor to and from QColor. Header only, so that vl_base stays on Qt Core: only the libraries
// that link Qt Gui (the document's drawing, the shell) include it.

#include "vlColor.h"

#include <QColor>

// clNone gives a transparent QColor; clDefault and other non-RGB values give an invalid one so
// that the caller picks the control's own colour.
inline QColor TColorToQColor(TColor C) {
  if (C == clNone) return QColor(Qt::transparent);
  if (!IsRGBColor(C)) return QColor();
  return QColor(ColorRed(C), ColorGreen(C), ColorBlue(C));
}

// Alpha is dropped; an invalid QColor gives clDefault, a fully transparent one clNone.
inline TColor QColorToTColor(const QColor &C) {
  if (!C.isValid()) return clDefault;
  const QColor rgb = C.toRgb();
  if (rgb.alpha() == 0) return clNone;
  return RGBColor(rgb.red(), rgb.green(), rgb.blue());
}
