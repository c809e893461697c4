#pragma once
// The audio controls' own bars: the speed bar with its scale and read-out, and the volume bar
// between its Softer and Louder buttons, built into the controls' row after the tool bars. They
// hold no audio: the window passes what the user chooses on to the program's audio, and shows
// the volume the audio reports.
//
// User-interface thread only.

#include <QObject>

class QBoxLayout;
class QLabel;
class QSlider;
class QToolButton;
class QWidget;

class TSpeedVolumeBars final : public QObject {
  Q_OBJECT

 public:
  // Builds the bars in Panel, inserted into its Row from position Index on; Softer and Louder
  // are the panel's volume buttons, placed either side of the volume bar.
  TSpeedVolumeBars(QWidget &Panel, QBoxLayout &Row, int Index, QToolButton &Softer,
                   QToolButton &Louder);

  int Speed() const;
  // Held to the bar's range; SpeedChanged follows when it moves.
  void SetSpeed(int Speed);
  // Shows Combined (0..1) unless the user holds the bar; VolumeChosen does not follow.
  void ShowVolume(double Combined);

  QSlider *TempoBar() const { return FTempo; }
  QLabel *TempoDisplay() const { return FTempoDisplay; }
  QSlider *VolumeBar() const { return FVolume; }

 Q_SIGNALS:
  void SpeedChanged(int Speed);
  // The user moved the volume bar or pressed a button: the combined volume, 0..1.
  void VolumeChosen(double Combined);

 private:
  QSlider *FTempo = nullptr;
  QLabel *FTempoDisplay = nullptr;
  QSlider *FVolume = nullptr;
  bool FShowing = false;  // ShowVolume is moving the bar
};
