#include "vlPlaybackSpeed.h"

#include <algorithm>

int SpeedClamped(int Speed) { return std::clamp(Speed, vlSpeed::Min, vlSpeed::Max); }

QString TempoDisplayText(int Speed) {
  const int delta = Speed - vlSpeed::Natural;
  return delta > 0 ? QStringLiteral("+") + QString::number(delta) : QString::number(delta);
}

int SpeedFromActionName(const QString &ActionName) {
  qsizetype first = ActionName.size();
  while (first > 0 && ActionName.at(first - 1).isDigit()) --first;
  bool ok = false;
  const int value = ActionName.mid(first).toInt(&ok);
  return ok ? SpeedClamped(value) : 0;
}

int SpeedAfterTurtle(int Speed) {
  return Speed > vlSpeed::Min ? SpeedClamped(Speed - vlSpeed::PageStep) : Speed;
}

int SpeedAfterRabbit(int Speed) {
  return Speed < vlSpeed::Max ? SpeedClamped(Speed + vlSpeed::PageStep) : Speed;
}
