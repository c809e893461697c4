#include "vlSplash.h"

#include "vlClock.h"
#include "vlGlobals.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QProgressBar>
#include <QPropertyAnimation>
#include <QVBoxLayout>

#include <algorithm>

int MinorStepPercent(int AtPercent, int NextPercent, int Minor0To100) {
  return AtPercent + Minor0To100 * (NextPercent - AtPercent) / 100;
}

namespace {

bool PlatformHasOpacity() {
  const QString platform = QGuiApplication::platformName();
  return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
}

}  // namespace

void SetWindowOpacityIfAny(QWidget *Window, double Opacity) {
  if (PlatformHasOpacity()) Window->setWindowOpacity(Opacity);
}

void FadeWindow(QWidget *Window, double From, double To, int MSecs) {
  if (!PlatformHasOpacity()) return;
  if (MSecs <= 0) {
    Window->setWindowOpacity(To);
    return;
  }
  auto *fade = new QPropertyAnimation(Window, "windowOpacity", Window);
  fade->setStartValue(From);
  fade->setEndValue(To);
  fade->setDuration(std::min(MSecs, 2000));
  fade->start(QAbstractAnimation::DeleteWhenStopped);
}

TSplashFm::TSplashFm(TLaunchLog &Log, QWidget *Parent)
    : QWidget(Parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      FLog(Log) {
  setObjectName(QStringLiteral("SplashFm"));
  setAutoFillBackground(true);
  QPalette look = palette();
  look.setColor(QPalette::Window, QColor(0xEF, 0xEF, 0xEF));
  setPalette(look);

  auto *name = new QLabel(QStringLiteral("Vellomar"), this);
  QFont big = name->font();
  big.setPointSize(24);
  big.setBold(true);
  name->setFont(big);
  name->setAlignment(Qt::AlignCenter);
  // The program's icon (the application's window icon), drawn for the screen's pixel ratio.
  auto *icon = new QLabel(this);
  icon->setObjectName(QStringLiteral("SplashIcon"));
  icon->setAlignment(Qt::AlignCenter);
  const QIcon programIcon = QApplication::windowIcon();
  if (!programIcon.isNull())
    icon->setPixmap(programIcon.pixmap(QSize(64, 64), devicePixelRatioF()));
  auto *what = new QLabel(QStringLiteral("Notes that remember when they were written"), this);
  what->setAlignment(Qt::AlignCenter);
  FBar = new QProgressBar(this);
  FBar->setRange(0, 100);
  FBar->setTextVisible(false);
  FMessage = new QLabel(this);
  FMessage->setAlignment(Qt::AlignCenter);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 16);
  layout->addWidget(icon);
  layout->addWidget(name);
  layout->addWidget(what);
  layout->addStretch(1);
  layout->addWidget(FBar);
  layout->addWidget(FMessage);
  resize(420, 280);
}

void TSplashFm::Progress_MajorStep(int AtPercent, int NextPercent, const QString &Msg) {
  FAtPercent = AtPercent;
  FNextPercent = NextPercent;
  Draw(AtPercent, Msg);
}

void TSplashFm::Progress_MinorStep(int Minor0To100, const QString &Msg) {
  Draw(MinorStepPercent(FAtPercent, FNextPercent, Minor0To100), Msg);
}

int TSplashFm::Percent() const { return FBar->value(); }
QString TSplashFm::Message() const { return FMessage->text(); }

void TSplashFm::Draw(int Percent, const QString &Msg) {
  FBar->setValue(std::clamp(Percent, 0, 100));
  FMessage->setText(Msg);
  FLog.Step(Percent, Msg, Clock().SteadyMSecs());
  if (isVisible()) repaint();
}
