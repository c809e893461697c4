#pragma once
// TvlPlaybackCommands: the Record and Play menus' commands: start and stop a recording, play,
// instant replay, the transcription segments, stop both, and play from the text at the caret.
// They act on the audio facade of the window's parts, ask silence protection through it, and
// read the jump-back and segment lengths from the options; the speed and volume bars are the
// window's.
//
// Built by the program over the window that hosts it (vlCommandHost.h), which owns it from then on.
// User-interface thread only.

#include <QPointer>
#include <QString>

class QTimer;
class QWidget;
class TAudioStartup;
class TCommandHost;
class TvlOptions;

// The texts of the recording and transcription commands.
inline const QString RecordingFailedText = QStringLiteral(
    "Recording could not be started. \n\nIt may help to go into the Options menu and select "
    "Recording. Maybe try changing the choices for hardware (device/channel), or audio file "
    "format (type of file and bitrate options.)\n\nDo you want to see those choices?");
inline const QString TranscriptionHintText =
    QStringLiteral("Transcription Mode. Press Pause key or Ctrl-T to play next segment.");

// What the recording and playback commands ask of their window besides what every command asks
// (vlCommandHost.h): the staged audio start and the panels they change.
class TPlaybackCommandsHost {
 public:
  virtual ~TPlaybackCommandsHost() = default;
  // The staged audio start has ended with audio ready.
  virtual bool AudioReady() const = 0;
  // Start recording once audio is ready.
  virtual void RequestRecordingWhenReady() = 0;
  // The options window on the page whose caption contains Page.
  virtual void ShowOptions(const QString &Page) = 0;
  // The panel above the notes that transcription mode hides.
  virtual QWidget *TranscriptionPnl() const = 0;
};

class TvlPlaybackCommands {
 public:
  // Startup records, stops and answers whether a recording runs while the window has no audio
  // part.
  TvlPlaybackCommands(TCommandHost &Host, TPlaybackCommandsHost &Window, TvlOptions &Options,
                      TAudioStartup &Startup)
      : FHost(Host), FWindow(Window), FOptions(Options), FStartup(Startup) {}
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
  TCommandHost &FHost;
  TPlaybackCommandsHost &FWindow;
  TvlOptions &FOptions;
  TAudioStartup &FStartup;
  QPointer<QTimer> FTranscriptionMode;  // running while transcription mode lasts
};
