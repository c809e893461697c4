#pragma once
// What the main window asks of the parts it hosts but does not own the logic of: the notebook
// with its binder, and the day files with their bookmarks. Each part installs its own
// implementation when it is attached to the window; until then the window has no notebook
// (closing asks nothing) and the day files have nothing to save.
//
// Called on the user-interface thread only.

#include <QString>

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
