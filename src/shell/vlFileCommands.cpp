#include "vlFileCommands.h"

#include "vl09_Hint.h"
#include "vl09_Notebook.h"
#include "vl09_RecentFiles.h"
#include "vlAppPaths.h"
#include "vlCommandHost.h"
#include "vlPrompts.h"
#include "vlSearchPanel.h"
#include "vlWindowView.h"

#include <QFileInfo>
#include <QListWidget>

bool IsBackupPath(const QString &PathName) {
  return QFileInfo(PathName).suffix().startsWith(QStringLiteral("vlBackup"), Qt::CaseInsensitive);
}

QString WithDefaultSuffix(const QString &PathName, const QString &Suffix) {
  return QFileInfo(PathName).suffix().isEmpty() ? PathName + QLatin1Char('.') + Suffix : PathName;
}

bool TvlFileCommands::SaveQuestion_MayLeaveBinder() {
  return AskSaveBeforeLeavingBinder(FHost.NotebookLink(), FHost.EventsLink());
}

bool AskSaveBeforeLeavingBinder(TNotebookLink *Notebook, TEventsLink *Events) {
  if (!Notebook) return true;
  // Bookmarks live only in the binder, so changed bookmarks are unsaved work like changed text.
  const bool unsaved =
      Notebook->HasUnsavedDocumentChanges() || (Events && Events->BookmarksChangedSinceSave());
  if (unsaved) {
    const bool named = Notebook->IsBinderNamed();
    const TPromptButton answer =
        Prompts().Ask(named ? SaveQuestionNamedText : SaveQuestionUnnamedText,
                      {TPromptButton::pbYes, TPromptButton::pbNo, TPromptButton::pbCancel},
                      TPromptButton::pbCancel);
    if (answer == TPromptButton::pbYes) {
      const bool saved = named ? Notebook->SaveBinder() : Notebook->SaveBinderAs();
      if (!saved) {
        Prompts().Message(SaveFailedText, TPromptIcon::piWarning);
        return false;
      }
    } else if (answer == TPromptButton::pbNo) {
      Notebook->DiscardBackupAfterNo();
    } else {
      return false;
    }
  }
  return true;
}

void TvlFileCommands::ConnectNotebook(TvlNotebook &Notebook) {
  if (!Notebook.OnFileAccessed)
    Notebook.OnFileAccessed = [this](const QString &PathName) {
      if (TRecentFiles *recent = FWindow.RecentlyUsedFiles()) recent->AccessingFile(PathName);
    };
  if (!Notebook.OnFileNotFound)
    Notebook.OnFileNotFound = [this](const QString &PathName) {
      if (TRecentFiles *recent = FWindow.RecentlyUsedFiles()) recent->UnlistFile(PathName);
    };
  if (!Notebook.OnExportRequested)
    Notebook.OnExportRequested = [this](int TabIndex) {
      if (TvlNotebook *notebook = FHost.Parts().Notebook) notebook->ActivatePage(TabIndex);
      aFileTabExportExecute();
    };
}

void TvlFileCommands::SetCaptionForBinder() {
  const QString path =
      FHost.Parts().Notebook ? FHost.Parts().Notebook->BinderPathName() : QString();
  FWindow.ShowBinderInTitle(path.isEmpty() ? QString() : QFileInfo(path).fileName());
}

namespace {

QString DialogFolderFor(const QString &PathName) {
  return PathName.isEmpty() ? AppPaths().DocumentsFolder() : QFileInfo(PathName).absolutePath();
}

}  // namespace

void TvlFileCommands::aFileOpenExecute() {
  if (!FHost.Parts().Notebook || !SaveQuestion_MayLeaveBinder()) return;
  const QString path = Prompts().OpenFileName(
      QStringLiteral("Open file"), DialogFolderFor(FHost.Parts().Notebook->BinderPathName()),
      BinderFilter);
  if (path.isEmpty()) return;
  OpenBinderFile(path);
}

bool TvlFileCommands::OpenBinderFile(const QString &PathName) {
  TvlNotebook *nb = FHost.Parts().Notebook;
  if (!nb) return false;
  const QString old = nb->BinderPathName();
  QString problems;
  {
    // No click may reach a half-loaded tab; the wait cursor shows meanwhile.
    const TMouseEventsBlock block;
    problems = nb->Binder_Open(PathName);
  }
  const bool opened =
      TRecentFiles::NormalizedPath(nb->BinderPathName()) == TRecentFiles::NormalizedPath(PathName);
  if (opened) nb->Binder().SetExampleBinderPathName(QString());
  if (opened && FHost.ProgramLink()) FHost.ProgramLink()->BinderSavedOrOpened();
  if (opened && FWindow.RecentlyUsedFiles()) {
    // The list holds the binders that are not open: the one left comes back on top.
    if (TRecentFiles::NormalizedPath(old) != TRecentFiles::NormalizedPath(PathName))
      FWindow.RecentlyUsedFiles()->ClosingFile(old);
    FWindow.RecentlyUsedFiles()->AccessingFile(PathName);
  }
  if (!problems.isEmpty()) Prompts().Message(OpenErrorsText + problems, TPromptIcon::piWarning);
  FWindow.ClearSearchResults();
  SetCaptionForBinder();
  return opened;
}

bool TvlFileCommands::aFileSaveExecute() {
  TvlNotebook *nb = FHost.Parts().Notebook;
  if (!nb) return false;
  const QString path = nb->BinderPathName();
  // A backup opened directly is no binder of its own: saving to it would report success while
  // the work stayed unsaved, so it is saved under a name the user gives.
  if (path.isEmpty() || IsBackupPath(path)) return aFileSaveAsExecute();
  const QString problem = nb->Binder_Save(path);
  if (!problem.isEmpty()) {
    Prompts().Message(SaveProblemText + problem, TPromptIcon::piWarning);
    return false;
  }
  if (FHost.ProgramLink()) FHost.ProgramLink()->BinderSavedOrOpened();
  SetCaptionForBinder();
  ShowSaved();
  return true;
}

bool TvlFileCommands::aFileSaveAsExecute() {
  TvlNotebook *nb = FHost.Parts().Notebook;
  if (!nb) return false;
  const QString old = nb->BinderPathName();
  const QString suggested = old.isEmpty() || IsBackupPath(old)
                                ? DialogFolderFor(IsBackupPath(old) ? old : QString())
                                : old;
  QString path = Prompts().SaveFileName(QStringLiteral("Save as ..."), suggested, BinderSaveFilter);
  if (path.isEmpty()) return false;
  path = WithDefaultSuffix(path, QStringLiteral("vl"));
  const QString problem = nb->Binder_Save(path);
  if (!problem.isEmpty()) {
    Prompts().Message(SaveProblemText + problem, TPromptIcon::piWarning);
    return false;
  }
  if (FHost.ProgramLink()) FHost.ProgramLink()->BinderSavedOrOpened();
  UpdateRecentAfterSaveAs(old, path);
  SetCaptionForBinder();
  ShowSaved();
  return true;
}

void TvlFileCommands::ShowSaved() {
  if (TvlHint *hint = FHost.Hint()) {
    const QWidget &window = FHost.DialogParent();
    hint->ShowIt(QStringLiteral("Saved"), window.mapToGlobal(window.rect().center()), 2000);
  }
}

void TvlFileCommands::UpdateRecentAfterSaveAs(const QString &OldPath, const QString &NewPath) {
  if (!FWindow.RecentlyUsedFiles()) return;
  // The binder left under its old name is one the user may switch back to; the new name is
  // open and so not listed.
  if (TRecentFiles::NormalizedPath(OldPath) != TRecentFiles::NormalizedPath(NewPath))
    FWindow.RecentlyUsedFiles()->ClosingFile(OldPath);
  FWindow.RecentlyUsedFiles()->AccessingFile(NewPath);
}

void TvlFileCommands::aFileNewExecute() {
  TvlNotebook *nb = FHost.Parts().Notebook;
  if (!nb || !SaveQuestion_MayLeaveBinder()) return;
  OpenEmptyBinder();
}

void TvlFileCommands::aFileCloseExecute() {
  TvlNotebook *nb = FHost.Parts().Notebook;
  if (!nb || !SaveQuestion_MayLeaveBinder()) return;
  OpenEmptyBinder();
}

void TvlFileCommands::OpenEmptyBinder() {
  TvlNotebook *nb = FHost.Parts().Notebook;
  if (FWindow.RecentlyUsedFiles()) FWindow.RecentlyUsedFiles()->ClosingFile(nb->BinderPathName());
  // The notebook is never left without pages: an unnamed, empty binder takes the closed one's
  // place. The example binder opens on the first start only, never in place of the user's.
  nb->Binder().SetExampleBinderPathName(QString());
  QString problems;
  {
    const TMouseEventsBlock block;
    problems = nb->Binder_Open(QString());
  }
  if (FHost.ProgramLink()) FHost.ProgramLink()->BinderSavedOrOpened();
  if (!problems.isEmpty()) Prompts().Message(OpenErrorsText + problems, TPromptIcon::piWarning);
  FWindow.ClearSearchResults();
  SetCaptionForBinder();
}

void TvlFileCommands::aFileTabNewExecute() {
  if (FHost.Parts().Notebook) FHost.Parts().Notebook->ForceCreationOfNewTab();
}

void TvlFileCommands::aFileTabImportExecute() {
  TvlNotebook *nb = FHost.Parts().Notebook;
  if (!nb) return;
  const QString path = Prompts().OpenFileName(QStringLiteral("Open file"),
                                              DialogFolderFor(nb->BinderPathName()), TabFilter);
  if (path.isEmpty()) return;
  if (ImportTabFile(path)) nb->SaveNotebook_SaveListOfOpenDocsToBinderFile();
}

bool TvlFileCommands::ImportTabFile(const QString &PathName) {
  TvlNotebook *nb = FHost.Parts().Notebook;
  return nb && nb->OpenOneTabDocument(PathName) >= 0;
}

void TvlFileCommands::aFileTabExportExecute() {
  TvlNotebook *nb = FHost.Parts().Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  if (!page || !page->mtcDoc) {
    Prompts().Message(NoDocumentToExportText);
    return;
  }
  const QString caption = page->Caption.trimmed().isEmpty() ? QStringLiteral("Tab") : page->Caption;
  const QString suggested = page->PathName.isEmpty()
                                ? DialogFolderFor(nb->BinderPathName()) + QLatin1Char('/') +
                                      caption + QStringLiteral(".vlTab")
                                : page->PathName;
  QString path = Prompts().SaveFileName(QStringLiteral("Save as ..."), suggested, TabFilter);
  if (path.isEmpty()) return;
  path = WithDefaultSuffix(path, QStringLiteral("vlTab"));
  const int index = nb->ActivePageIndex();
  if (!page->mtcDoc->IO_Save(path, page->Caption, nb->Tabs_ScrollPosForSaving(index))) {
    Prompts().Message(SaveProblemText + QStringLiteral("File ") + path, TPromptIcon::piWarning);
    return;
  }
  nb->UpdateDueToSaveAs(*page, path, page->Caption);
}

void TvlFileCommands::aFileRecentAnyExecute(const QAction *Item) {
  if (!FWindow.RecentlyUsedFiles() || !FHost.Parts().Notebook) return;
  const QString path = FWindow.RecentlyUsedFiles()->GetFullPath(Item);
  if (path.isEmpty()) return;
  if (!QFileInfo(path).isFile()) {
    TvlNotebookBinder::MyFileNotFoundMessage(path);
    FWindow.RecentlyUsedFiles()->UnlistFile(path);
    return;
  }
  if (!SaveQuestion_MayLeaveBinder()) return;
  if (!OpenBinderFile(path)) FWindow.RecentlyUsedFiles()->UnlistFile(path);
}
