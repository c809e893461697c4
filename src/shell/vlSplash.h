#pragma once
// The window shown while the program starts: the program's name, a progress bar and the step in
// progress. Every step it draws is also added to the launch log, with the time the step before it
// took, so a slow start can be read afterwards.
//
// Called on the user-interface thread only. Start-up runs outside the event loop, so each step
// repaints the window at once.

#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class TLaunchLog;

// The percent a minor step draws: Minor0To100 of the way from AtPercent to NextPercent, rounded
// down, as the step range was remembered by the last major step.
int MinorStepPercent(int AtPercent, int NextPercent, int Minor0To100);

// Fades Window's opacity from From to To (0..1) over MSecs, at most 2 seconds, without blocking.
// Where the platform has no window opacity (offscreen, minimal) the final opacity is set at once.
void FadeWindow(QWidget *Window, double From, double To, int MSecs);
// Sets Window's opacity where the platform has one.
void SetWindowOpacityIfAny(QWidget *Window, double Opacity);

class TSplashFm : public QWidget {
  Q_OBJECT

 public:
  // Log is not owned and must outlive the window.
  explicit TSplashFm(TLaunchLog &Log, QWidget *Parent = nullptr);

  // Draws the bar at AtPercent with Msg and remembers the range up to NextPercent.
  void Progress_MajorStep(int AtPercent, int NextPercent, const QString &Msg);
  // Draws the bar Minor0To100 of the way through the remembered range.
  void Progress_MinorStep(int Minor0To100, const QString &Msg);

  int Percent() const;
  QString Message() const;

 private:
  void Draw(int Percent, const QString &Msg);

  TLaunchLog &FLog;
  QProgressBar *FBar;
  QLabel *FMessage;
  int FAtPercent = 0;
  int FNextPercent = 0;
};
