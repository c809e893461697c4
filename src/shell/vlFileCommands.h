#pragma once
// TvlFileCommands: the File menu's commands on the binder and its tabs (New, Open, Save, Save As,
// Close, the recent files, Tab New, Tab Import, Tab Export), the save question before a binder
// is left, and the window title that names the binder. They act on the window's notebook and
// links (vlMainWindowLinks.h); a part that is missing makes its commands do nothing.
//
// Built by the program over the window that hosts it (vlCommandHost.h), which owns it from then on.
// User-interface thread only.

#include <QString>

#include <memory>

class QAction;
class TCommandHost;
class TEventsLink;
class TNotebookLink;
class TRecentFiles;
class TvlNotebook;

// The texts of the save question and of a failed save.
inline const QString SaveQuestionNamedText = QStringLiteral(
    "Your work is not yet saved.\n\nBefore you close everything and move on, do you want to save "
    "your current set of tabs and documents?");
inline const QString SaveQuestionUnnamedText = QStringLiteral(
    "The current tabs and documents are not named or saved.  \n\nBefore you close them and move "
    "on, do you want to give this set of tabs a file name and save them?");
inline const QString SaveFailedText = QStringLiteral(
    "Because there was a problem saving your work, your current tabs will not be closed right "
    "now.  You may wish to try saving your work to a different file name, folder or even storage "
    "device.");

// The texts of the file commands.
inline const QString BinderFilter = QString::fromUtf16(
    u"Vellomar\u00AE Docs (*.vl *.vlBackup*);;Vellomar\u00AE backups (*.vlBackup*);;All files (*)");
inline const QString BinderSaveFilter =
    QString::fromUtf16(u"Vellomar\u00AE Document (*.vl);;All files (*)");
inline const QString TabFilter =
    QString::fromUtf16(u"Isolated Tab of a Vellomar\u00AE document (*.vlTab);;All files (*)");
inline const QString OpenErrorsText =
    QStringLiteral("Error(s) occurred while trying to open your notes binder file:\n\n");
inline const QString SaveProblemText = QStringLiteral(
    "A problem was encountered when attempting to save your notes. The problem might be in the "
    "following file name or tab names:\n\n");
inline const QString NoDocumentToExportText = QStringLiteral(
    "\"Save As\" will save a single notes document with a name you choose.  However, you have no "
    "document that it is available to save.  Please open or create a document first.");
// A path the binder treats as a backup of another: saving to it would never count as saved.
bool IsBackupPath(const QString &PathName);
// The save question before the binder is left, over the notebook's and the bookmarks' links:
// true when the work is saved or the user chose not to save (or there is no notebook); false
// when the user cancelled or the save failed.
bool AskSaveBeforeLeavingBinder(TNotebookLink *Notebook, TEventsLink *Events);
// PathName with ".Suffix" when it has no suffix of its own.
QString WithDefaultSuffix(const QString &PathName, const QString &Suffix);

// What the file commands ask of their window besides what every command asks (vlCommandHost.h).
class TFileCommandsHost {
 public:
  virtual ~TFileCommandsHost() = default;
  // nullptr in a window without them.
  virtual TRecentFiles *RecentlyUsedFiles() const = 0;
  // The window's title names the binder's file, FileName (empty: an unnamed binder).
  virtual void ShowBinderInTitle(const QString &FileName) = 0;
  // The search results, of a binder that was left, are cleared.
  virtual void ClearSearchResults() = 0;
};

class TvlFileCommands {
 public:
  TvlFileCommands(TCommandHost &Host, TFileCommandsHost &Window) : FHost(Host), FWindow(Window) {}
  TvlFileCommands(const TvlFileCommands &) = delete;
  TvlFileCommands &operator=(const TvlFileCommands &) = delete;

  // The save question before the binder is left: true when the work is saved or the user chose
  // not to save; false when the user cancelled or the save failed.
  bool SaveQuestion_MayLeaveBinder();
  // File > New: an empty unnamed binder, after the save question.
  void aFileNewExecute();
  void aFileOpenExecute();
  // Opens PathName in place of the current binder (the caller asked the save question); false
  // when the file did not become the binder.
  bool OpenBinderFile(const QString &PathName);
  bool aFileSaveExecute();
  bool aFileSaveAsExecute();
  // File > Close: the binder goes; an empty unnamed one takes its place.
  void aFileCloseExecute();
  void aFileTabNewExecute();
  void aFileTabImportExecute();
  // Imports the isolated tab PathName as a tab of the binder (Tab Import, a file given on the
  // command line); false when it could not be read.
  bool ImportTabFile(const QString &PathName);
  void aFileTabExportExecute();
  void aFileRecentAnyExecute(const QAction *Item);
  // The window's title: the program's name and the binder's file name.
  void SetCaptionForBinder();
  // The notebook's file events: the recent files follow the binders opened and those found
  // missing, and a tab's own "Export" runs Tab Export. Callbacks set already are kept.
  void ConnectNotebook(TvlNotebook &Notebook);

 private:
  void OpenEmptyBinder();
  void UpdateRecentAfterSaveAs(const QString &OldPath, const QString &NewPath);

  // Shows "Saved" over the middle of the window for a moment.
  void ShowSaved();

  TCommandHost &FHost;
  TFileCommandsHost &FWindow;
};
