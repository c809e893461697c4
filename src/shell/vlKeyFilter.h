#pragma once
// The keys, the wheel and the mouse caught for the whole program, before any control sees them:
// Pause (pause playback, play the next transcription segment, or a bookmark), the options' own
// instant replay key, the keys the notes' bookmark triggers and the tracks' label tool watch,
// the wheel over the tracks and the speed scale (the speed bar), the drag of the strip under the
// tracks (the label-area height), and the keyboard's return into the notes when the window is
// active again after a dialog, a menu or another program.
//
// The main window installs it on the application and removes it before it goes. It acts only
// while the main loop runs and the window is not closing, and only on the window's own widgets.
// The links it asks (notebook, tracks, bookmark keys, the program's audio) are read from the
// window at each event: they are installed after it and cleared while the window closes.
//
// User-interface thread only. Every event of the program passes here: cheap tests come first.

#include <QObject>

class QKeyEvent;
class QMouseEvent;
class QWheelEvent;
class QWidget;
class TSpeedVolumeBars;
class TVellomarFm;
class TvlOptions;

// The window's areas where keys, the wheel and drags mean something of their own.
struct RKeyFilterAreas {
  QWidget *FauxSplitter = nullptr;   // the strip under the tracks
  QWidget *SearchResults = nullptr;  // the search panel: its keys are its own
  QWidget *PlayControls = nullptr;   // the speed scale left of the tracks
  QWidget *TrackOld = nullptr;       // the historical track's panel
  QWidget *TrackNow = nullptr;       // the current day's track's panel
};

class TvlKeyFilter final : public QObject {
 public:
  // Window, Options and Bars are not owned and must outlive the filter. The keys that play run
  // the window's playback commands (none: the filter leaves those keys alone).
  TvlKeyFilter(TVellomarFm &Window, TvlOptions &Options, TSpeedVolumeBars &Bars,
               const RKeyFilterAreas &Areas);

 protected:
  bool eventFilter(QObject *Watched, QEvent *Event) override;

 private:
  // The keys, the wheel and the drag that the program takes for itself: true when consumed.
  bool CommandKey(QObject *Watched, QEvent *Event);
  bool PauseOrReplayKey(QKeyEvent &Key, QWidget &Widget);
  bool FauxSplitterDrag(QMouseEvent &Mouse);
  bool SpeedWheel(QWheelEvent &Wheel, QWidget &Widget);
  // What the tracks, the bookmark keys and the window's activation take after the commands.
  bool PartsKey(QObject *Watched, QEvent *Event);
  void KeyboardBackIntoNotes();

  TVellomarFm &FWindow;
  TvlOptions &FOptions;
  TSpeedVolumeBars &FBars;
  RKeyFilterAreas FAreas;
  int FWheelAccumulated = 0;
  // A drag of the strip under the tracks: where it began and the label-area height then.
  bool FFauxSplitterDragging = false;
  int FFauxSplitterStartY = 0;
  int FFauxSplitterStartHeight = 0;
};
