#pragma once
// The menu a right click in the text opens: the spelling of the word under the mouse (the
// dictionary's suggestions and "Add to dictionary") when the dictionary does not know it, then
// the main window's text commands (Cut, Copy, Paste, Select All, Bold, Italic, Underline,
// Bulleted List), each enabled as the selection and the clipboard allow.
//
// The menu's items are its own: they run the window's actions (reached through the
// ITextMenuCommands seam, by name) without changing those actions' enabled state in the window's
// menus. An action the window does not have is done on the document directly (the editor's own
// tests, tools without a main window).
//
// User-interface thread only.

#include "vlSeam.h"

#include <QString>

class QAction;
class QMenu;
class QPoint;
class QWidget;
class TWindowView;

class ITextMenuCommands {
 public:
  virtual ~ITextMenuCommands() = default;
  // The window's action named Name ("aEditCopy", "aFontBold" ...); nullptr when it has none.
  virtual QAction *TextCommand(const QString & /*Name*/) { return nullptr; }
};
TSeam<ITextMenuCommands> &TextMenuCommandsSeam();

// The menu for a right click at WindowPos (the view's coordinates). A click outside the selection
// first puts the caret there, so that the commands and the spelling act on what was clicked.
// The caller shows the menu and owns it.
QMenu *MakeTextContextMenu(TWindowView &View, const QPoint &WindowPos, QWidget *Parent);
