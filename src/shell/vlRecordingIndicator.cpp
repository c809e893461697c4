#include "vlRecordingIndicator.h"

#include "vlColorConversion.h"
#include "vlGuard.h"

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

QString RecordingElapsedText(std::int64_t MSecs) {
  const std::int64_t secs = std::max<std::int64_t>(0, MSecs) / 1000;
  const auto two = [](std::int64_t V) {
    return QStringLiteral("%1").arg(V, 2, 10, QLatin1Char('0'));
  };
  if (secs >= 3600)
    return QString::number(secs / 3600) + u':' + two(secs / 60 % 60) + u':' + two(secs % 60);
  return QString::number(secs / 60) + u':' + two(secs % 60);
}

TvlRecordingIndicator::TvlRecordingIndicator(QMainWindow &Window, TElapsed Elapsed)
    : FWindow(Window), FElapsed(std::move(Elapsed)) {
  FLabel = new QLabel(&Window);
  FLabel->setObjectName(QStringLiteral("RecordingIndicatorLbl"));
  QPalette red = FLabel->palette();
  red.setColor(QPalette::WindowText, TColorToQColor(RecordingColor));
  FLabel->setPalette(red);
  QFont bold = FLabel->font();
  bold.setBold(true);
  FLabel->setFont(bold);
  FLabel->hide();
  Window.statusBar()->addPermanentWidget(FLabel);
  FTimer = new QTimer(this);
  FTimer->setInterval(1000);
  connect(FTimer, &QTimer::timeout, this, [this] { RunGuarded([this] { Refresh(); }); });
}

void TvlRecordingIndicator::Refresh() {
  const std::int64_t elapsed = FElapsed();
  QString prefix;
  if (elapsed >= 0) {
    const QString text = QStringLiteral("\u25CF Recording ") + RecordingElapsedText(elapsed);
    prefix = text + QStringLiteral("  -  ");
    FLabel->setText(text);
    FLabel->show();
    if (!FTimer->isActive()) FTimer->start();
  } else {
    FLabel->clear();
    FLabel->hide();
    FTimer->stop();
  }
  QString title = FWindow.windowTitle();
  if (!FTitlePrefix.isEmpty() && title.startsWith(FTitlePrefix))
    title.remove(0, FTitlePrefix.size());
  FTitlePrefix = prefix;
  if (prefix + title != FWindow.windowTitle()) FWindow.setWindowTitle(prefix + title);
}
