#pragma once
// TCommandHost: what the command classes (vlPrintCommands.h, vlOptionsCommand.h,
// vlTextCommands.h) ask of the window whose menus run them, so that none of them depends on the
// main window's class:
//   the parts they act on, read at every call (the program sets them, and a part that is missing
//   makes a command do nothing);
//   an action by its name (the buttons a command checks, a shortcut it sets);
//   the window as the parent of the dialogs a command opens;
//   the links the window has installed (vlMainWindowLinks.h), null in a window without them;
//   the speed bar's percent, at which playback plays.
// The program builds the commands over the window it hosts them in and hands them to it
// (TvlProgram::Connect, TVellomarFm::SetCommands).
//
// User-interface thread only.

#include "vlMainWindowLinks.h"

class QAction;
class QString;
class QWidget;

class TCommandHost {
 public:
  virtual ~TCommandHost() = default;

  virtual const RProgramParts &Parts() const = 0;
  // nullptr for an unknown name.
  virtual QAction *Action(const QString &Name) const = 0;
  virtual QWidget &DialogParent() = 0;
  virtual TTrackPanelLink *TrackPanelLink() const = 0;
  virtual TProgramLink *ProgramLink() const = 0;
  virtual TBookmarkKeysLink *BookmarkKeysLink() const = 0;
  virtual int Speed() const = 0;
};
