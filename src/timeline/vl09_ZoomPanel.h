#pragma once
// The zoom controls of a track, at the right edge of its panel: "Zoom In" at the top, "Zoom Out"
// at the bottom and between them a vertical slider of the fifteen levels, level 1 (a quarter
// second per column, the most detail) at the top.
//
// The slider shows the track window's level (the window tells the panel of every change, also
// those it did not start: the calendar, Ctrl+wheel, the first show). Moving the slider, the
// buttons and the wheel over the panel (one level per notch; away from the user zooms in) ask the
// window for an animated zoom, or for the level at once while the track blocks the animation.
//
// User-interface thread only.

#include "vl09_TrackIndex.h"

#include <QWidget>

class QSlider;
class QToolButton;
class TvlTrackWindow;

class TvlZoomPanel : public QWidget {
 public:
  // The window must outlive the panel or take it with it; the panel registers with the window.
  explicit TvlZoomPanel(TvlTrackWindow &Window, QWidget *Parent = nullptr);

  QToolButton *ZoomInBtn() const { return FZoomInBtn; }
  QToolButton *ZoomOutBtn() const { return FZoomOutBtn; }
  QSlider *ZoomSlider() const { return FZoomSlider; }
  // Shows Level on the slider without zooming again.
  void ShowLevel(TZoomLevel Level);
  TZoomLevel ShownLevel() const;

 protected:
  void wheelEvent(QWheelEvent *Event) override;
  bool eventFilter(QObject *Watched, QEvent *Event) override;

 private:
  void StepLevel(int Delta);

  TvlTrackWindow &FWindow;
  QToolButton *FZoomInBtn;
  QToolButton *FZoomOutBtn;
  QSlider *FZoomSlider;
  bool FShowing = false;
  int FWheelAccumulated = 0;
};
