#pragma once
// The small floating editor in which the user types a bookmark's label. Every key stores the
// text at once, so the label on the track follows the typing; Escape puts back the text the label
// had when the tool opened, Enter finishes.
//
// Texts are made safe before they are stored: line breaks and other control characters are
// dropped (a pasted line break would otherwise split the label) and the length is capped, since
// a label is drawn from at most TTiltedText::MaxTiltedChars characters.
//
// User-interface thread only.

#include "vl09_DayFiles.h"

#include <QFrame>
#include <QPoint>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QTimer;
class TvlTrack;

enum TMouseControl { mcNoEffect, mcHideOnDeparture };

// The label text as it may be stored: no control characters, at most MaxLabelChars characters.
inline constexpr int MaxLabelChars = 255;
QString SafeLabelText(const QString &Text);

class TvlLabelTool : public QFrame {
 public:
  // Parent: the track window; the tool stores texts through the window's track.
  TvlLabelTool(QWidget *TrackWindow, TvlTrack &CallbackvlTrack);

  // Opens the tool at (X, Y) of the window for the event with Text; ignored for -1 or for the
  // event already being edited. TrackMargin keeps the tool inside the track.
  void MyShow(int X, int Y, const QString &Text, TMouseControl MC, TEventID EventHandle,
              int TrackMargin = 0);
  void MyHide();
  // In mcHideOnDeparture mode: the mouse (global) is further from the tool's centre than the
  // tool is wide, or above or below TrackBarsGlobal. Only once the mouse has been near the tool
  // since it opened: a tool opened from a pop-up menu, whose item may lie below the tracks, is
  // not hidden before the user has even reached it.
  bool MouseIsTooFarAway(const QPoint &GlobalMouse, const QRect &TrackBarsGlobal) const;
  // While the tool shows in mcHideOnDeparture mode it also looks at the mouse itself every
  // DepartureCheckMSecs, over the track window's rectangle: widgets that do not track the mouse
  // (tool bars, other programs' windows) send no moves for the window to pass on.
  static constexpr int DepartureCheckMSecs = 100;

  TEventID EventHandleShowing() const { return FEventHandleShowing; }
  TMouseControl MouseControl() const { return FMouseControl; }
  QLineEdit *Memo() const { return FMemo; }

  // Told when the tool hides, with the event that was edited (the picking logic keeps its
  // highlight); the main window returns the focus to the last text control.
  std::function<void(TEventID Edited)> OnHidden;
  // A text was stored (the binder has a change to save).
  std::function<void(TEventID Edited)> OnTextStored;

 protected:
  bool eventFilter(QObject *Watched, QEvent *Event) override;
  void mousePressEvent(QMouseEvent *Event) override;
  void mouseMoveEvent(QMouseEvent *Event) override;

 private:
  void Store(const QString &Text, bool Invalidate);

  TvlTrack &FTrack;
  QLineEdit *FMemo;
  QLabel *FBannerLbl;
  TEventID FEventHandleShowing = NoEventID;
  TMouseControl FMouseControl = mcNoEffect;
  QString FOriginalText;
  QString FLastStored;
  QPoint FMouseDownAbs;
  QPoint FMouseDownOrigin;
  QTimer *FDepartureTimer;
  // The mouse has been near the tool since it opened.
  mutable bool FArmed = false;
};
