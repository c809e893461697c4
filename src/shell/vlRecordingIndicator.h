#pragma once
// The recording indicator: while recording, a red dot and the time recorded so far in the status
// bar and in front of the window's title, refreshed every second; nothing when not recording.
// The tool bars and the tracks are often hidden, so the title and the status bar say it too.
//
// User-interface thread only.

#include "vlColor.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class QLabel;
class QMainWindow;
class QTimer;

// The colour of what says the program is recording: the indicator, the recorder's label.
inline constexpr TColor RecordingColor = 789644;

// "0:05", "12:34", "1:02:03": the time recorded so far, as the recording indicator shows it.
QString RecordingElapsedText(std::int64_t MSecs);

class TvlRecordingIndicator final : public QObject {
 public:
  // What is being recorded: the milliseconds recorded so far, or -1 while not recording.
  using TElapsed = std::function<std::int64_t()>;

  // Puts the label in Window's status bar (the window owns it). Window must outlive the
  // indicator.
  TvlRecordingIndicator(QMainWindow &Window, TElapsed Elapsed);

  // Shows what Elapsed says now. Called whenever the title is set anew, so that the indicator
  // stays in front of it.
  void Refresh();
  QLabel *Label() const { return FLabel; }

 private:
  QMainWindow &FWindow;
  TElapsed FElapsed;
  QLabel *FLabel = nullptr;
  QTimer *FTimer = nullptr;
  QString FTitlePrefix;  // what Refresh put in front of the title
};
