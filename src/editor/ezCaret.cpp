#include "ezCaret.h"

#include <QPainter>

#include <cmath>

void TEasyCaret::MoveToAndShow(int X, int Y, int Weight, int Width, int Height, TFontStyles Style) {
  InstanceX = X;
  InstanceY = Y;
  InstanceWeight = Weight;
  InstanceWidth = Width;
  InstanceHeight = Height;
  InstanceFontStyle = Style;
  FInitialized = true;
  FVisible = true;
}

QRect TEasyCaret::Rect() const {
  if (!FInitialized) return {};
  const bool italic = InstanceFontStyle.testFlag(fsItalic);
  const int w =
      italic ? InstanceWidth + static_cast<int>(std::lround(InstanceHeight / 5.0)) : InstanceWeight;
  return QRect(InstanceX, InstanceY, w, InstanceHeight);
}

void TEasyCaret::Draw(QPainter &Painter, bool BlinkOn) const {
  if (!FVisible || !BlinkOn || !FInitialized) return;
  Painter.save();
  Painter.setCompositionMode(QPainter::CompositionMode_Difference);
  const QRect r = Rect();
  if (InstanceFontStyle.testFlag(fsItalic)) {
    // Line i runs from (i + width - weight - 1, 0) down to (i, height), as italic text leans.
    Painter.setPen(Qt::white);
    for (int i = 0; i < InstanceWeight; ++i)
      Painter.drawLine(QPoint(r.left() + i + r.width() - InstanceWeight - 1, r.top()),
                       QPoint(r.left() + i, r.top() + InstanceHeight - 1));
  } else {
    Painter.fillRect(r, Qt::white);
  }
  Painter.restore();
}
