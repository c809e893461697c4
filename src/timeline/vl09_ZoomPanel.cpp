#include "vl09_ZoomPanel.h"

#include "vl09_TrackWindow.h"
#include "vlGuard.h"

#include <QPainter>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {
constexpr int ButtonSize = 18;

// A magnifier with a plus or a minus in its glass.
QIcon MagnifierIcon(bool Plus) {
  QPixmap pm(ButtonSize * 2, ButtonSize * 2);
  pm.setDevicePixelRatio(2);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(30, 40, 60), 1.6));
  p.drawEllipse(QRectF(2.5, 2.5, 10, 10));
  p.drawLine(QPointF(11.5, 11.5), QPointF(15.5, 15.5));
  p.drawLine(QPointF(5, 7.5), QPointF(10, 7.5));
  if (Plus) p.drawLine(QPointF(7.5, 5), QPointF(7.5, 10));
  return QIcon(pm);
}
}  // namespace

TvlZoomPanel::TvlZoomPanel(TvlTrackWindow &Window, QWidget *Parent)
    : QWidget(Parent), FWindow(Window) {
  setObjectName(QStringLiteral("ZoomPnl"));
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 0, 2, 0);
  layout->setSpacing(0);
  FZoomInBtn = new QToolButton(this);
  FZoomInBtn->setObjectName(QStringLiteral("ZoomInBtn"));
  FZoomInBtn->setToolTip(QStringLiteral("Zoom In"));
  FZoomInBtn->setAccessibleName(QStringLiteral("Zoom In"));
  FZoomInBtn->setIcon(MagnifierIcon(true));
  FZoomInBtn->setAutoRaise(true);
  FZoomInBtn->setFixedSize(ButtonSize, ButtonSize);
  FZoomOutBtn = new QToolButton(this);
  FZoomOutBtn->setObjectName(QStringLiteral("ZoomOutBtn"));
  FZoomOutBtn->setToolTip(QStringLiteral("Zoom Out"));
  FZoomOutBtn->setAccessibleName(QStringLiteral("Zoom Out"));
  FZoomOutBtn->setIcon(MagnifierIcon(false));
  FZoomOutBtn->setAutoRaise(true);
  FZoomOutBtn->setFixedSize(ButtonSize, ButtonSize);
  FZoomSlider = new QSlider(Qt::Vertical, this);
  FZoomSlider->setObjectName(QStringLiteral("ZoomSlider"));
  FZoomSlider->setRange(MinZoomLevel, MaxZoomLevel);
  // Level 1 at the top. One level per step: a step of five (as once on another system) would
  // jump a third of the range per wheel notch.
  FZoomSlider->setInvertedAppearance(true);
  FZoomSlider->setInvertedControls(true);
  FZoomSlider->setSingleStep(1);
  FZoomSlider->setPageStep(1);
  FZoomSlider->setTickPosition(QSlider::NoTicks);
  FZoomSlider->installEventFilter(this);
  layout->addWidget(FZoomInBtn, 0, Qt::AlignHCenter);
  layout->addWidget(FZoomSlider, 1, Qt::AlignHCenter);
  layout->addWidget(FZoomOutBtn, 0, Qt::AlignHCenter);
  setFixedWidth(ButtonSize + 4);

  connect(FZoomInBtn, &QToolButton::clicked, this, [this] { StepLevel(-1); });
  connect(FZoomOutBtn, &QToolButton::clicked, this, [this] { StepLevel(+1); });
  connect(FZoomSlider, &QSlider::valueChanged, this, [this](int Value) {
    if (FShowing) return;
    RunGuarded([&] { FWindow.vlTrack().SetZoomLevelFromSlider(Value); });
  });
  FWindow.SetZoomPanel(this);
}

void TvlZoomPanel::ShowLevel(TZoomLevel Level) {
  FShowing = true;
  FZoomSlider->setValue(Level);
  FShowing = false;
  FZoomSlider->setToolTip(ZoomLevelCaption(Level));
  FZoomInBtn->setEnabled(Level > MinZoomLevel);
  FZoomOutBtn->setEnabled(Level < MaxZoomLevel);
}

TZoomLevel TvlZoomPanel::ShownLevel() const { return FZoomSlider->value(); }

// "Zoom In" moves the slider one position towards 1 unless at its end, "Zoom Out" towards 15.
void TvlZoomPanel::StepLevel(int Delta) {
  const TZoomLevel to = std::clamp(ShownLevel() + Delta, MinZoomLevel, MaxZoomLevel);
  if (to != ShownLevel()) FZoomSlider->setValue(to);
}

void TvlZoomPanel::wheelEvent(QWheelEvent *Event) {
  Event->accept();
  FWheelAccumulated += Event->angleDelta().y();
  while (std::abs(FWheelAccumulated) >= 120) {
    const int notch = FWheelAccumulated > 0 ? 1 : -1;
    FWheelAccumulated -= notch * 120;
    RunGuarded([&] { StepLevel(-notch); });
  }
}

// The slider's own wheel handling would move several levels per notch (the desktop's scroll
// lines): the panel's rule takes its place.
bool TvlZoomPanel::eventFilter(QObject *Watched, QEvent *Event) {
  if (Watched == FZoomSlider && Event->type() == QEvent::Wheel) {
    wheelEvent(static_cast<QWheelEvent *>(Event));
    return true;
  }
  return QWidget::eventFilter(Watched, Event);
}
