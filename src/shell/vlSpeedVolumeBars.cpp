#include "vlSpeedVolumeBars.h"

#include "vlPlaybackSpeed.h"

#include <QBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cmath>

TSpeedVolumeBars::TSpeedVolumeBars(QWidget &Panel, QBoxLayout &Row, int Index, QToolButton &Softer,
                                   QToolButton &Louder)
    : QObject(&Panel) {
  auto *tempo = new QWidget(&Panel);
  tempo->setObjectName(QStringLiteral("TempoPnl"));
  auto *tempoColumn = new QVBoxLayout(tempo);
  tempoColumn->setContentsMargins(4, 0, 4, 0);
  tempoColumn->setSpacing(0);
  FTempo = new QSlider(Qt::Horizontal, tempo);
  FTempo->setObjectName(QStringLiteral("TempoTrackBar"));
  FTempo->setRange(vlSpeed::Min, vlSpeed::Max);
  FTempo->setSingleStep(vlSpeed::LineStep);
  FTempo->setPageStep(vlSpeed::PageStep);
  FTempo->setValue(vlSpeed::Natural);
  FTempo->setTickPosition(QSlider::TicksBelow);
  FTempo->setTickInterval(25);
  FTempo->setMinimumWidth(180);
  FTempo->setToolTip(QStringLiteral("Playback speed"));
  auto *scale = new QHBoxLayout;
  scale->setContentsMargins(0, 0, 0, 0);
  // The labels sit under their positions: the bar runs 50..190, the first label at 75.
  scale->addStretch((vlSpeed::ScalePositions[0] - vlSpeed::Min) * 2 - 10);
  const QString scaleTexts[] = {QStringLiteral("- 25 %"), QStringLiteral("Normal"),
                                QStringLiteral("+ 25 %"), QStringLiteral("+ 50 %"),
                                QStringLiteral("+ 75 %")};
  // Wide enough for the labels side by side with a gap between them: a narrower bar would push
  // them into each other.
  int labelsWidth = 0;
  for (int i = 0; i < 5; ++i) {
    auto *label = new QLabel(scaleTexts[i], tempo);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    label->setFont(small);
    scale->addWidget(label);
    if (i < 4) scale->addStretch(50 - 10);
    labelsWidth += label->sizeHint().width() + 8;
  }
  FTempo->setMinimumWidth(std::max(FTempo->minimumWidth(), labelsWidth + 16));
  scale->addStretch((vlSpeed::Max - vlSpeed::ScalePositions[4]) * 2 - 10);
  tempoColumn->addWidget(FTempo);
  tempoColumn->addLayout(scale);
  FTempoDisplay = new QLabel(TempoDisplayText(vlSpeed::Natural), &Panel);
  FTempoDisplay->setObjectName(QStringLiteral("TempoDisplayLbl"));
  FTempoDisplay->setMinimumWidth(32);
  FTempoDisplay->setAlignment(Qt::AlignCenter);
  connect(FTempo, &QSlider::valueChanged, this, [this](int Value) {
    FTempoDisplay->setText(TempoDisplayText(Value));
    Q_EMIT SpeedChanged(Value);
  });

  FVolume = new QSlider(Qt::Horizontal, &Panel);
  FVolume->setObjectName(QStringLiteral("VolumeTB"));
  FVolume->setRange(0, 1000);
  FVolume->setPageStep(50);
  FVolume->setValue(500);
  FVolume->setMaximumWidth(100);
  FVolume->setToolTip(QStringLiteral("Volume"));
  connect(FVolume, &QSlider::valueChanged, this, [this](int Value) {
    if (FShowing) return;
    const double range = FVolume->maximum() - FVolume->minimum();
    Q_EMIT VolumeChosen(std::abs(Value - FVolume->minimum()) / range);
  });
  const int twentieth = (FVolume->maximum() - FVolume->minimum()) / 20;
  Softer.setText(QStringLiteral("\u2212"));
  Louder.setText(QStringLiteral("+"));
  connect(&Softer, &QToolButton::clicked, this,
          [this, twentieth] { FVolume->setValue(FVolume->value() - twentieth); });
  connect(&Louder, &QToolButton::clicked, this,
          [this, twentieth] { FVolume->setValue(FVolume->value() + twentieth); });

  Row.insertWidget(Index, tempo);
  Row.insertWidget(Index + 1, FTempoDisplay);
  Row.insertWidget(Index + 2, &Softer);
  Row.insertWidget(Index + 3, FVolume);
  Row.insertWidget(Index + 4, &Louder);
}

int TSpeedVolumeBars::Speed() const { return FTempo->value(); }

void TSpeedVolumeBars::SetSpeed(int Speed) { FTempo->setValue(SpeedClamped(Speed)); }

void TSpeedVolumeBars::ShowVolume(double Combined) {
  if (FVolume->isSliderDown()) return;
  const double range = FVolume->maximum() - FVolume->minimum();
  const int position = FVolume->minimum() + static_cast<int>(std::lround(Combined * range));
  if (position == FVolume->value()) return;
  FShowing = true;
  FVolume->setValue(position);
  FShowing = false;
}
