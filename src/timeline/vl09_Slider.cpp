#include "vl09_Slider.h"

#include "vlGlobals.h"

#include <QPainter>
#include <QPolygon>

#include <algorithm>

QImage PlaySliderPicture() {
  QImage img(32, 15, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.fillRect(QRect(15, 0, 3, 15), QColor(20, 60, 160));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(40, 110, 230));
  p.drawPolygon(QPolygon({QPoint(10, 0), QPoint(22, 0), QPoint(16, 6)}));
  p.drawPolygon(QPolygon({QPoint(10, 14), QPoint(22, 14), QPoint(16, 8)}));
  return img;
}

QImage NowSliderPicture(bool Recording) {
  QImage img(15, 15, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  const QColor c = Recording ? QColor(220, 30, 30) : QColor(90, 90, 90);
  p.fillRect(QRect(6, 0, 3, 15), c);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawEllipse(QRect(3, 0, 9, 9));
  return img;
}

TvlSlider::TvlSlider(const QImage &SetImageOn, int SetHotSpot, const QImage &SetImageOff)
    : FImageOn(SetImageOn.convertToFormat(QImage::Format_ARGB32_Premultiplied)),
      FImageOff(SetImageOff.convertToFormat(QImage::Format_ARGB32_Premultiplied)),
      FHotSpot(SetHotSpot) {}

QRect TvlSlider::PictureRect(int MarkPos) const {
  return QRect(FSlotRect.left() + MarkPos - FHotSpot, LateralPixelPos, FImageOn.width(),
               FImageOn.height());
}

void TvlSlider::DrawOn(TQuickBitmap &TargetBM, int NewMarkPos, bool Which) {
  if (LateralPixelPos <= 0) return;
  if (FDrawn) ErrorReportInDebug(QStringLiteral("Slider not healed."));
  FMarkPos = NewMarkPos;
  FHealRect = PictureRect(NewMarkPos);
  FHealBM = TargetBM.Copy(FHealRect);
  QPainter p(&TargetBM.Image());
  p.drawImage(FHealRect.topLeft(), Which ? FImageOn : FImageOff);
  FDrawn = true;
}

void TvlSlider::HealOn(TQuickBitmap &TargetBM) {
  if (!FDrawn) return;
  // Only the part inside the bitmap was copied from it; the rest of the copy is filler, and
  // Paste writes only the part inside.
  TargetBM.Paste(FHealRect, FHealBM);
  FDrawn = false;
}

bool TvlSlider::IsHoveringOver(int MouseX, int MouseY) const {
  if (!Visible) return false;
  const QRect r = PictureRect(FMarkPos);
  if (!r.contains(MouseX, MouseY)) return false;
  const int dx = std::clamp(MouseX - r.left(), 0, std::min(31, FImageOn.width() - 1));
  const int dy = std::clamp(MouseY - r.top(), 0, std::min(31, FImageOn.height() - 1));
  return qAlpha(FImageOn.pixel(dx, dy)) != 0;
}

void TvlSlider::Mouse_SliderPickedUpAt(int MouseDownX, int ScrollbarAt) {
  FIsPickedUp = true;
  FPosWhenTouched = FMarkPos;
  FTouchedAtPos = MouseDownX;
  FTouchedAtScrollPos = ScrollbarAt;
}

int TvlSlider::Mouse_DraggedToDesiredPos(int MouseMoveX, int ScrollPos) const {
  if (FIsPickedUp)
    return FPosWhenTouched + ScrollPos - FTouchedAtScrollPos + (MouseMoveX - FTouchedAtPos);
  return MouseMoveX - FSlotRect.left() + ScrollPos;
}

void TvlSlider::Mouse_SliderPutDownAt(int /*MouseUpX*/) { FIsPickedUp = false; }
