#include "vlExchangeCommands.h"

#include "vl09_DayFilesManager.h"
#include "vl09_Main.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_Notebook.h"
#include "vlAppPaths.h"
#include "vlGuard.h"
#include "vlImportRecording.h"
#include "vlMainWindowLinks.h"
#include "vlNotesExport.h"
#include "vlPrompts.h"
#include "vl_Document.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

namespace {

const QString kAudioFilter = QStringLiteral(
    "Audio files (*.wav *.ogg *.oga *.opus *.flac *.aif *.aiff *.aifc *.au *.snd *.caf *.w64 "
    "*.rf64 *.mp3);;All files (*)");

// The name with the format's extension: added when missing, in place of another format's.
QString WithExtension(const QString &Path, TExportFormat Format) {
  const QFileInfo info(Path);
  const QString wanted = ExportFormatExtension(Format);
  if (info.suffix().compare(wanted, Qt::CaseInsensitive) == 0) return Path;
  if (ExportFormatFromName(info.suffix()))
    return Path.left(Path.size() - info.suffix().size()) + wanted;
  return Path + u'.' + wanted;
}

}  // namespace

bool ExportNotesCommand(const RProgramParts &Parts) {
  if (!Parts.Notebook) return false;
  const QString binder = Parts.Notebook->BinderPathName();
  const QString title =
      binder.isEmpty() ? QStringLiteral("Notes") : QFileInfo(binder).completeBaseName();
  const QString folder =
      binder.isEmpty() ? AppPaths().DocumentsFolder() : QFileInfo(binder).absolutePath();
  QString filter;
  QString path = Prompts().SaveFileNameAndFilter(QStringLiteral("Export Notes"),
                                                 folder + u'/' + title + QStringLiteral(".md"),
                                                 ExportDialogFilters(), filter);
  if (path.isEmpty()) return false;
  const TExportFormat format = ExportFormatFromDialog(filter, path);
  path = WithExtension(path, format);

  // The blank tab on offer holds nothing to export.
  std::vector<RExportTab> tabs;
  for (const RExportTab &tab : ExportTabsOf(*Parts.Notebook))
    if (tab.Doc && !tab.Doc->Document_IsBlank()) tabs.push_back(tab);
  const std::vector<RExportBookmark> bookmarks =
      Parts.DayFiles ? ExportBookmarksOf(*Parts.DayFiles) : std::vector<RExportBookmark>{};
  TvlExportRecordings recordings(Parts.Recordings);
  RExportRequest request;
  request.Format = format;
  request.OutPath = path;
  request.Title = title;
  const RExportResult result = ExportNotes(tabs, bookmarks, recordings, request);
  if (!result.Written) {
    Prompts().Message(QStringLiteral("The notes were not exported.\n\n") + result.Error,
                      TPromptIcon::piWarning);
    return false;
  }
  QString text = QStringLiteral("The notes were exported to:\n\n") + result.Files.join(u'\n');
  if (!result.Notes.isEmpty()) text += QStringLiteral("\n\n") + result.Notes.join(u'\n');
  Prompts().Message(text);
  return true;
}

std::optional<TDateTime> ImportRecordingCommand(const RProgramParts &Parts) {
  if (!Parts.Recordings) return std::nullopt;
  const QString folder = Parts.Recordings->AudioFolder();
  if (folder.isEmpty()) {
    Prompts().Message(QStringLiteral("There is no audio folder to import the recording into."),
                      TPromptIcon::piWarning);
    return std::nullopt;
  }
  const QString source = Prompts().OpenFileName(QStringLiteral("Import Recording"),
                                                AppPaths().DocumentsFolder(), kAudioFilter);
  if (source.isEmpty()) return std::nullopt;
  const RImportPlan plan = PlanRecordingImport(source, folder);
  if (!plan.Problem.isEmpty()) {
    Prompts().Message(plan.Problem, TPromptIcon::piWarning);
    return std::nullopt;
  }
  const QString question =
      QStringLiteral("Import \"") + QFileInfo(source).fileName() +
      QStringLiteral("\" as a recording that started at\n\n    ") + ImportStartText(plan) +
      QStringLiteral("\n\nIt will be copied to:\n") + plan.Target +
      (plan.Converted ? QStringLiteral("\n(written as WAV, a format the recordings list keeps)")
                      : QString()) +
      QStringLiteral(
          "\n\nThe original file stays as it is. Another start can be given afterwards "
          "on the track (Adjust Audio Recording's Starting Time or Date).");
  if (Prompts().Ask(question, {TPromptButton::pbYes, TPromptButton::pbNo}, TPromptButton::pbNo) !=
      TPromptButton::pbYes)
    return std::nullopt;
  if (const QString problem = ImportRecording(plan); !problem.isEmpty()) {
    Prompts().Message(problem, TPromptIcon::piWarning);
    return std::nullopt;
  }
  Parts.Recordings->Month_Reload();
  return plan.Start;
}
