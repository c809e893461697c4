#pragma once
// The thin level strip of the main window: a bar growing from the left with the recorder's input
// level (0..32767). Levels arrive many times a second, so a new level only asks for a repaint,
// and the paint is one block copy from a prepared image twice as wide as the strip: its left
// half in the foreground colour, its right half in the background, a black outline around the
// whole; the strip shows the window of it that puts the boundary at the level.
//
// User-interface thread only.

#include "vlColor.h"

#include <QImage>
#include <QWidget>

// Pixels of a strip W wide that a level fills: round-half-even(W x Volume / 32767), within 0..W.
int VuMeterFilledWidth(int Width, int Volume);

class TVuMeter : public QWidget {
  Q_OBJECT
 public:
  explicit TVuMeter(QWidget *AOwner = nullptr);

  TColor clBackground() const { return FclBackground; }
  void setClBackground(TColor C);
  TColor clForeground() const { return FclForeground; }
  void setClForeground(TColor C);

  // Prepares the image for the present size (also on every resize).
  void Initialize_AfterSettingSize();
  // A new level (the facade passes (left + right) div 2; 0 when a recording stops).
  void OnVuEvent_NewData(int Volume);
  int LatestVolume() const { return FLatestVolume; }

 protected:
  void paintEvent(QPaintEvent *Event) override;
  void resizeEvent(QResizeEvent *Event) override;

 private:
  TColor FclBackground = clBlack;
  TColor FclForeground = clLime;
  int FLatestVolume = 0;
  QImage FStaticBitmap;
};
