#pragma once
// The menus, the tool bars and the actions of the main window, made from the action table
// (vlActionTable.h): the menu bar's menus in their order, each row's action in its menu (in table
// order) and on its tool bar (in slot order), connected to the row's command, with the pictures
// and tips the tool bars show. Besides the table's rows it makes the recent files' items of the
// File menu and the Silence menu's stand-in item, which the silence protection's own items
// replace once the program's parts are set.
//
// The actions belong to the window given; the builder keeps the list of them by name.
// User-interface thread only.

#include "vlActionTable.h"

#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <vector>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

// The caption of the Silence menu's stand-in item for the schedule's protection level now:
// 0 off, 1 hint, 2 ask, 3 password.
QString SilenceScheduledCaption(int ProtectionLevel);

class TvlCommandMenus {
 public:
  // Fills Window's menu bar with the menus and the actions of Table.
  TvlCommandMenus(QMainWindow &Window, const std::vector<RActionRow> &Table);

  // Puts the table's actions on the two tool bars, in slot order.
  void PlaceOnToolBars(QToolBar &Audio, QToolBar &Text);

  // Every action by its name ("aPlaySpeedFaster"); nullptr for an unknown name.
  QAction *Action(const QString &Name) const { return FActions.value(Name); }
  QList<QAction *> Actions() const { return FActions.values(); }
  // Adds an action made elsewhere to the list (the silence protection's items), replacing one of
  // the same name.
  void Add(QAction *Action);

  // The menu of a place of the table (apFile, apEdit, apFormat, apRecord, apPlay, apOptions,
  // apTools, apHelp); the Silence menu has no place of the table.
  QMenu *Menu(TActionPlace Place) const;
  QMenu *SilenceMenu() const { return FSilence; }
  // The recent files' items (01 .. 06 in the File menu, then 07 .. 16 in "Other Recent Files")
  // and the separator above them.
  const std::array<QAction *, 16> &RecentActions() const { return FRecent; }
  QAction *RecentSeparator() const { return FRecentSeparator; }

 private:
  QAction *Make(const QString &Name, const QString &Caption);
  void MakeMenus();
  void PlaceInMenu(const RActionRow &Row, QAction &Action);
  void Connect(const RActionRow &Row, QAction &Action);
  void DrawPictures();

  QMainWindow &FWindow;
  std::vector<RActionRow> FTable;
  QHash<QString, QAction *> FActions;
  std::array<QAction *, 16> FRecent{};
  QAction *FRecentSeparator = nullptr;
  bool FTabsSeparated = false;
  QMenu *FFile = nullptr, *FEdit = nullptr, *FFormat = nullptr, *FRecord = nullptr,
        *FPlay = nullptr, *FSilence = nullptr, *FOptions = nullptr, *FTools = nullptr,
        *FHelp = nullptr;
  QMenu *FRecentSubmenu = nullptr, *FColor = nullptr, *FHighlight = nullptr, *FSpeed = nullptr,
        *FMarkers = nullptr, *FVideos = nullptr;
};
