#pragma once
// What the main window asks of the parts it hosts but does not own the logic of. Each link is an
// interface that one part of the program implements, installed by the composition root
// (TvlProgram::Connect):
//   TNotebookLink       the notebook with its binder              (the notebook's own link)
//   TEventsLink         the day files with their bookmarks        (TvlProgram)
//   TProgramLink        the binder, silence schedule and audio    (TvlProgram)
//   TTrackPanelLink     the two tracks under the notes            (TvlTrackGlue)
//   TTimelinePanelLink  the vertical timeline and its level strip (TvlTimelineGlue)
//   TBookmarkKeysLink   the bookmark hot keys and typed triggers  (TvlBookmarkKeys)
// A window built without a part (the window's own tests) has a null link and skips what it
// would ask; the composition test fails while any link of the real program is still null.
//
// Called on the user-interface thread only.

#include "vlDateTime.h"
#include "vlEventBroker.h"

#include <QPoint>
#include <QString>
#include <Qt>

class TActiveSoundFm;
class TSilenceActions;
class TSilenceProtection;
class TvlAudio;
class TvlDayFilesManager;
class TvlMediaFoldersInfo;
class TvlNotebook;

// The notebook and its binder file.
class TNotebookLink {
 public:
  virtual ~TNotebookLink() = default;

  // Some document has changes that the binder file does not hold yet.
  virtual bool HasUnsavedDocumentChanges() const = 0;
  // The binder has a file name (else saving asks for one).
  virtual bool IsBinderNamed() const = 0;
  virtual QString BinderPathName() const = 0;
  // Saves the binder under its name. False when the save failed (the old file stays).
  virtual bool SaveBinder() = 0;
  // Asks for a name and saves. False when the user cancelled or the save failed.
  virtual bool SaveBinderAs() = 0;
  // Closes the binder at exit: the recent files are told, the event index, the search results
  // and the level visualisations are cleared; no new binder is opened.
  virtual void CloseBinderAtExit() = 0;
  // The user chose to close without saving: the binder's backup must not pass for a crash's
  // leftovers at the next start, so it is moved to the trash, where it can still be found.
  virtual void DiscardBackupAfterNo() = 0;
  // Writes the list of the documents open in the binder's tabs.
  virtual void SaveListOfOpenDocuments() = 0;
  // The idle backup: writes the binder's backup when enough has changed.
  virtual void SaveNotebookAsBackupMaybe() = 0;
  // Writes the binder's backup now, whatever has changed: the program is about to end without
  // the save question (a termination signal, Abort in an error dialog).
  virtual void SaveNotebookAsBackupNow() = 0;
  // Puts the keyboard focus into the active page's editor; false when it cannot yet.
  virtual bool FocusActivePage() = 0;
};

// The day files and their bookmarks.
class TEventsLink {
 public:
  virtual ~TEventsLink() = default;

  // Bookmarks were added, changed, moved or deleted since the binder was loaded or saved. These
  // changes live only in the binder, so they count as unsaved work.
  virtual bool BookmarksChangedSinceSave() const = 0;
  // The idle save of the day files that changed.
  virtual void SaveChangedDayFiles() = 0;
};

// The binder, the silence schedule and the audio settings: the program's side of the window's
// start, commands and close.
class TProgramLink {
 public:
  virtual ~TProgramLink() = default;
  // Showing: opens the binder named by "AutoOpenBinder" (empty: the example binder on a first
  // run, else an empty one), telling the user about problems.
  virtual void OpenBinder(const QString &AutoOpenBinder) = 0;
  // Showing: the silence schedule from the settings; closing: back into them.
  virtual void LoadSilenceSchedule() = 0;
  virtual void SaveSilenceSchedule() = 0;
  // The silence schedule's protection level now, 0..3, for the Silence menu's caption.
  virtual int SilenceProtectionLevelNow() = 0;
  // Recording stopped: the current month's recordings are listed again.
  virtual void ReloadCurrentMediaMonth() = 0;
  // The options window was closed with OK: the audio side takes the new settings.
  virtual void OptionsApplied() = 0;
  // The file commands saved the binder under its name, or opened or closed a binder: the
  // bookmarks it holds count as saved from now on.
  virtual void BinderSavedOrOpened() = 0;
};

// The two tracks under the notes (the historical one and the current day's).
class QWidget;

class TTrackPanelLink {
 public:
  virtual ~TTrackPanelLink() = default;
  // Showing: the historical track at a moment and a zoom (seconds per pixel), the current one
  // at now.
  virtual void SetupHistoricalTrack(TDateTime When, double Zoom) = 0;
  // Closing: what the next start shows.
  virtual TDateTime HistoricalTrackWhen() = 0;
  virtual double HistoricalTrackZoom() = 0;
  // Audio ready: the track windows' timers run; closing: they stop.
  virtual void SetTrackTimersEnabled(bool Enabled) = 0;
  // Idle work: tracks whose picture went stale are drawn again.
  virtual void RepaintInvalidatedTracks() = 0;
  // The event broker asks whether a moment lies in a track's view.
  virtual bool TrackShowsMoment(TBrokerTrack Track, TDateTime When) const = 0;
  // A started recording: the current track moves to its index.
  virtual void RecordingStarted_MoveCurrentTrack() = 0;
  // The strip under the tracks was dragged (the label-area height changed, 10..200 pixels), or
  // the options changed the label angle or the band heights: the tracks lay themselves out again.
  virtual void RedrawTracks() = 0;
  // The options' wanted tempo (100 natural speed, 999 the speed bar's, else a favourite speed)
  // or the speed bar (percent) changed: playback started on a track goes at the tempo they give.
  virtual void TempoChanged(int WantedTempo, int SpeedBarTempo) = 0;
  // Any key pressed anywhere in the program (Qt key code): a label being gathered from typing
  // may end with it.
  virtual void KeyPressed(int Key) = 0;
  // The mouse moved anywhere in the program (screen point): a label tool opened for a hover
  // hides when the mouse has gone far from it.
  virtual void MouseMoved(QPoint GlobalPos) = 0;
  // The wheel turned over Widget: true when a track's own control takes it (a zoom panel, or a
  // track with Ctrl held, which zooms), so the speed bar does not move.
  virtual bool TrackTakesWheel(const QWidget *Widget, Qt::KeyboardModifiers Modifiers) const = 0;
};

// The vertical timeline beside the notes, the level strip above it and the calendar.
class TTimelinePanelLink {
 public:
  virtual ~TTimelinePanelLink() = default;
  // Idle work: a change the timeline put off is done now.
  virtual void DoPendingTimelineChange() = 0;
  // The timeline's feature moment (0: none): where playback starts when nothing is loaded.
  virtual TDateTime FeatureMoment() const = 0;
  // "View Recordings ...": the calendar of recordings.
  virtual void ViewRecordings() = 0;
  // The level strip shows Level (0..32767; 0 when a recording stops).
  virtual void ShowInputLevel(int Level) = 0;
};

// The bookmark hot keys of the notes: the function keys as the options' key table says, and the
// bookmarks that typing makes ("[[ text ]]", "??", three repeated letters, text made bold with
// Ctrl+B, text typed with the space bar held down).
class TBookmarkKeysLink {
 public:
  virtual ~TBookmarkKeysLink() = default;
  // A key pressed in a notes editor, before the editor acts on it (Qt key code and modifiers,
  // the text it types). True when the key was taken: a function key acted on here.
  virtual bool NotesKeyPressed(int Key, Qt::KeyboardModifiers Modifiers, const QString &Text,
                               bool AutoRepeat) = 0;
  virtual void NotesKeyReleased(int Key, bool AutoRepeat) = 0;
  // The Pause key (with Shift or not) where it neither pauses playback nor plays the next
  // transcription segment.
  virtual void PauseKeyPressed(bool Shift) = 0;
  // The options' hot keys changed (or were loaded): the key table is built again.
  virtual void RebuildKeyCommands() = 0;
  // The options' bookmark order changed.
  virtual void RebuildBookmarkMenu() = 0;
};

// The program's parts that the window's commands act on. Every pointer may be null (tests build
// the window with the parts they need; a command whose part is missing does nothing). Not owned:
// the program creates the parts before the window and frees them after it.
struct RProgramParts {
  TvlNotebook *Notebook = nullptr;
  TvlAudio *Audio = nullptr;
  TvlMediaFoldersInfo *Recordings = nullptr;
  TvlDayFilesManager *DayFiles = nullptr;
  TSilenceProtection *Silence = nullptr;
  TSilenceActions *SilenceActions = nullptr;
};
