#pragma once
// TCommandHost: what the command classes (vlFileCommands.h, vlPlaybackCommands.h,
// vlTextCommands.h, vlPrintCommands.h, vlOptionsCommand.h) ask of the window whose menus run
// them, so that none of them depends on the main window's class:
//   the parts they act on, read at every call (the program sets them, and a part that is missing
//   makes a command do nothing);
//   an action by its name (the buttons a command checks, a shortcut it sets);
//   the window as the parent of the dialogs a command opens, and its hint window;
//   the links the window has installed (vlMainWindowLinks.h), null in a window without them;
//   the speed bar's percent, at which playback plays.
// The file and playback commands ask a little more, each through a small interface of its own.
// The program builds the commands over the window it hosts them in and hands them to it
// (TvlProgram::Connect, TVellomarFm::SetCommands).
//
// User-interface thread only.

#include "vlMainWindowLinks.h"

class QAction;
class QString;
class QWidget;
class TvlHint;

class TCommandHost {
 public:
  virtual ~TCommandHost() = default;

  virtual const RProgramParts &Parts() const = 0;
  // nullptr for an unknown name.
  virtual QAction *Action(const QString &Name) const = 0;
  virtual QWidget &DialogParent() = 0;
  // nullptr in a window without one.
  virtual TvlHint *Hint() const = 0;
  virtual TNotebookLink *NotebookLink() const = 0;
  virtual TEventsLink *EventsLink() const = 0;
  virtual TTrackPanelLink *TrackPanelLink() const = 0;
  virtual TTimelinePanelLink *TimelinePanelLink() const = 0;
  virtual TProgramLink *ProgramLink() const = 0;
  virtual TBookmarkKeysLink *BookmarkKeysLink() const = 0;
  virtual int Speed() const = 0;
};
