#pragma once
// The program's own hint window: a small borderless pop-up that shows a short text at a screen
// point for a given time and then hides itself. Unlike a plain tool tip it can be clicked, and it
// passes its clicks, presses, releases and moves on to whoever asked for them. The main window
// keeps one for the messages other parts show at a point of their choosing; the calendar keeps
// one of its own.
//
// Called on the user-interface thread only; the hiding timer is a user-interface timer.

#include "vlColor.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

class QTimer;
class QVariantAnimation;

class TvlHint : public QWidget {
  Q_OBJECT

 public:
  // Light yellow.
  static constexpr TColor DefaultHintColor = 0x80FFFF;

  using TNotifyEvent = std::function<void()>;
  // Button, modifiers and the point in the window's own coordinates.
  using TMouseEvent = std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, QPoint)>;
  using TMouseMoveEvent = std::function<void(Qt::KeyboardModifiers, QPoint)>;

  // The hint belongs to AOwner's window and is placed above it.
  explicit TvlHint(QWidget *AOwner = nullptr);
  ~TvlHint() override;

  // Shows Hint with its top edge at ScreenAt's row, centred on its column, on BrushColor, and
  // hides it after MSec milliseconds (never by itself when MSec is 0 or less). Showing again
  // while shown replaces the text and place and starts the time again. A text containing
  // "Pause key" turns on transcription mode until the hint hides.
  void ShowIt(const QString &Hint, QPoint ScreenAt, int MSec, TColor BrushColor = DefaultHintColor);
  // ShowIt at ScreenAt moved by (dX, dY).
  void ShowItAdjusted(const QString &Hint, QPoint ScreenAt, int dX, int dY, int MSec,
                      TColor BrushColor = DefaultHintColor);
  void HideEarly();
  // The hint is shown and ScreenPoint lies on it (left and top edges included, right and bottom
  // edges excluded).
  bool IsOnHint(QPoint ScreenPoint) const;
  // Places the window for Rect (made 4 pixels taller and kept on the nearest screen) and shows
  // it without taking the focus.
  void ActivateHint(QRect Rect, const QString &AHint);

  // The size the text needs when laid out at most FMaxWidth pixels wide, with the margins.
  QSize CalcHintSize(const QString &AHint) const;

  // The screen rectangle of the hint last shown, as it was finally placed.
  QRect ActivatedRect() const { return FActivatedRect; }
  QString HintText() const { return FText; }
  bool TranscriptionMode() const { return FTranscriptionMode; }
  bool Activating() const { return FActivating; }
  bool HideTimerActive() const;
  int HideTimerInterval() const;
  // Whether the last showing faded in.
  bool LastShowAnimated() const { return FLastShowAnimated; }

  // The platform's tool-tip animation setting, read at creation.
  void SetToolTipAnimation(bool On) { FToolTipAnimation = On; }

  void SetMyOnClick(TNotifyEvent Handler) { FMyOnClick = std::move(Handler); }
  void SetMyOnMouseDown(TMouseEvent Handler) { FMyOnMouseDown = std::move(Handler); }
  void SetMyOnMouseUp(TMouseEvent Handler) { FMyOnMouseUp = std::move(Handler); }
  void SetMyOnMouseMove(TMouseMoveEvent Handler) { FMyOnMouseMove = std::move(Handler); }

  // Gives the application's ordinary tool tips the hint's colours.
  static void StyleApplicationToolTips();

 protected:
  void paintEvent(QPaintEvent *Event) override;
  void mousePressEvent(QMouseEvent *Event) override;
  void mouseReleaseEvent(QMouseEvent *Event) override;
  void mouseMoveEvent(QMouseEvent *Event) override;

 private:
  void HideNow();

  bool FActivating = false;
  // Steady milliseconds at the end of the last ActivateHint; long ago at first.
  std::int64_t FLastActive;
  int FMaxWidth = 200;
  bool FTranscriptionMode = false;
  QTimer *Timer;
  QRect FActivatedRect;
  QColor FBrushColor;
  QString FText;
  bool FToolTipAnimation;
  bool FLastShowAnimated = false;
  bool FPressedInside = false;
  QVariantAnimation *FFade = nullptr;
  TNotifyEvent FMyOnClick;
  TMouseEvent FMyOnMouseDown;
  TMouseEvent FMyOnMouseUp;
  TMouseMoveEvent FMyOnMouseMove;
};
