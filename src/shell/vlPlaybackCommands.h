#pragma once
// TvlPlaybackCommands: the Record and Play menus' commands: start and stop a recording, play,
// instant replay, the transcription segments, stop both, and play from the text at the caret.
// They act on the audio facade of the window's parts, ask silence protection through it, and
// read the jump-back and segment lengths from the options; the speed and volume bars are the
// window's.
//
// Owned by the main window, which it must not outlive. User-interface thread only.

#include <QPointer>
#include <QString>

class QTimer;
class TVellomarFm;
class TvlOptions;

// The texts of the recording and transcription commands.
inline const QString RecordingFailedText = QStringLiteral(
    "Recording could not be started. \n\nIt may help to go into the Options menu and select "
    "Recording. Maybe try changing the choices for hardware (device/channel), or audio file "
    "format (type of file and bitrate options.)\n\nDo you want to see those choices?");
inline const QString TranscriptionHintText =
    QStringLiteral("Transcription Mode. Press Pause key or Ctrl-T to play next segment.");

class TvlPlaybackCommands {
 public:
  TvlPlaybackCommands(TVellomarFm &Window, TvlOptions &Options)
      : FWindow(Window), FOptions(Options) {}
  TvlPlaybackCommands(const TvlPlaybackCommands &) = delete;
  TvlPlaybackCommands &operator=(const TvlPlaybackCommands &) = delete;

  // Record > Start or Stop: before audio is ready the start waits for it; notes for the new
  // recording start on a new line at the end of the active document.
  void RecordingStartBtnClick();
  void aPlayStartExecute();
  void aPlayStopExecute();
  void aPlayInstantReplayExecute();
  void aPlaySegmentExecute();
  void aButtonStopBothExecute();
  // Plays from the moment of the text at the active page's caret.
  void PlayFromCaretExecute();
  // Transcription mode: for TranscriptionModeMSecs after the last segment or pause, the Pause
  // key plays the next segment. Its hint only shows for TranscriptionHintMSecs (or until the
  // next key): the mode outlasts it, the hint must not cover the tool bar for long.
  static constexpr int TranscriptionModeMSecs = 30000;
  static constexpr int TranscriptionHintMSecs = 4000;
  bool TranscriptionHintActive() const;
  // The hint that a segment played: the Pause key or Ctrl+T plays the next.
  void ShowTranscriptionHint();
  // Hides the transcription hint when it shows (a key was pressed); the mode stays.
  void HideTranscriptionHint();

 private:
  TVellomarFm &FWindow;
  TvlOptions &FOptions;
  QPointer<QTimer> FTranscriptionMode;  // running while transcription mode lasts
};
