#include "vl09_VuMeter.h"

#include "vlColorConversion.h"
#include "vlDateTime.h"

#include <QPainter>

#include <algorithm>

int VuMeterFilledWidth(int Width, int Volume) {
  if (Width <= 0) return 0;
  return static_cast<int>(
      std::clamp<std::int64_t>(RoundHalfEven(double(Width) * Volume / 32767.0), 0, Width));
}

TVuMeter::TVuMeter(QWidget *AOwner) : QWidget(AOwner) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  Initialize_AfterSettingSize();
}

void TVuMeter::setClBackground(TColor C) {
  FclBackground = C;
  Initialize_AfterSettingSize();
}

void TVuMeter::setClForeground(TColor C) {
  FclForeground = C;
  Initialize_AfterSettingSize();
}

void TVuMeter::Initialize_AfterSettingSize() {
  const int W = std::max(1, width()), H = std::max(1, height());
  FStaticBitmap = QImage(2 * W, H, QImage::Format_RGB32);
  QPainter p(&FStaticBitmap);
  p.fillRect(0, 0, W, H, TColorToQColor(FclForeground));
  p.fillRect(W, 0, W, H, TColorToQColor(FclBackground));
  p.setPen(Qt::black);
  p.setBrush(Qt::NoBrush);
  p.drawRect(0, 0, 2 * W - 1, H - 1);
  update();
}

void TVuMeter::OnVuEvent_NewData(int Volume) {
  FLatestVolume = Volume;
  update();
}

void TVuMeter::paintEvent(QPaintEvent *) {
  const int W = FStaticBitmap.width() / 2;
  const int a = VuMeterFilledWidth(W, FLatestVolume);
  QPainter p(this);
  p.drawImage(QPoint(0, 0), FStaticBitmap, QRect(W - a, 0, W, FStaticBitmap.height()));
}

void TVuMeter::resizeEvent(QResizeEvent *) { Initialize_AfterSettingSize(); }
