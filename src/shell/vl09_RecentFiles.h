#pragma once
// The recently used binder files behind the File menu. The list holds files that are not open:
// a file leaves the list while it is open and comes back on top when it is closed, so the menu
// offers the binders the user could switch to. Up to 30 paths are remembered in the settings
// file's [RecentFiles] section as "01" .. "30" without gaps; the menu shows as many as it
// registered actions for.
//
// Paths are compared as this file system compares them: exactly, after making them absolute and
// clean, so "Notes.vl" and "notes.vl" are two files and "./a.vl" is the same as "/home/u/a.vl".
// An empty path (an unnamed binder) is never listed.
//
// Called on the user-interface thread only.

#include <QPointer>
#include <QString>

#include <array>

class QAction;

class TRecentFiles {
 public:
  static constexpr int MaxFiles = 30;

  // Loads the list from RegPath ("\Software\Vellomar\2009\RecentFiles") in the settings file at
  // IniPath; a file or key that cannot be read gives an empty list. ForSeparator, when given,
  // is a separator action shown only while some path is listed.
  TRecentFiles(const QString &RegPath, QAction *ForSeparator, QString IniPath);
  // The same over the program's settings file.
  TRecentFiles(const QString &RegPath, QAction *ForSeparator);
  // Saves the list.
  ~TRecentFiles();
  TRecentFiles(const TRecentFiles &) = delete;
  TRecentFiles &operator=(const TRecentFiles &) = delete;

  // Appends an action for the next slot (not owned); the 31st is a programming error, reported
  // with a dialog as "Too many recent-file menu items.".
  void RegisterMenuItemForListOfRecentFiles(QAction *MenuItem);
  // The file was just opened or saved under this name: take it off the list.
  void AccessingFile(const QString &PathName);
  // The file was just closed or left: put it on top.
  void ClosingFile(const QString &PathName);
  // A listed file that could not be opened: take it off the list.
  void UnlistFile(const QString &PathName);
  // The path behind a registered, shown action; empty for any other.
  QString GetFullPath(const QAction *RecentlyUsedFileMenuItem) const;

  // Writes the list now; the destructor does the same. False, with the old file untouched and
  // the failure in the error log, when it cannot be written.
  bool SaveToRegistry() const;

  // Slot 1 .. 30; empty for an empty or invalid slot.
  QString File(int Slot) const;
  int FileCount() const;
  int MenuItemCount() const { return FMenuItemCount; }
  bool AddedSeparator() const { return FAddedSeparator; }
  QString SavedRegPath() const { return FSavedRegPath; }

  // The form paths are kept and compared in: absolute and clean; empty stays empty.
  static QString NormalizedPath(const QString &PathName);
  // The menu's form of a path: "C:\...\name.vl" for a path with a drive letter, else the file
  // name alone.
  static QString ShortForm(const QString &PathName);

 private:
  void LoadFromRegistry();
  void RemoveSlot(int Index);
  void Refresh();

  bool FAddedSeparator = false;
  QString FSavedRegPath;
  QString FIniPath;
  std::array<QString, MaxFiles> FFiles;  // most recent first; an empty string is an empty slot
  std::array<QPointer<QAction>, MaxFiles> FMenuItems;
  QPointer<QAction> FExitAction;
  int FMenuItemCount = 0;
};
