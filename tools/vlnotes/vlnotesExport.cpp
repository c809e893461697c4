#include "vlnotesExport.h"

#include "vl09_MediaFoldersInfo.h"
#include "vl09_NotebookBinder.h"
#include "vlAppPaths.h"
#include "vlKeptEventsIO.h"
#include "vlNotesExport.h"
#include "vl_Document.h"

#include <QFileInfo>

#include <cstdio>

namespace {

enum TExit : int {
  exOk = 0,
  exDamaged = 1,
  exUsage = 2,
  exUnreadable = 3,
  exNotNotes = 4,
  exNotWritten = 5,
};

void Err(const QString &Text) {
  const QByteArray bytes = (QStringLiteral("vlnotes: ") + Text).toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stderr);
}

int Usage(const QString &Why) {
  if (!Why.isEmpty()) Err(Why);
  Err(
      QStringLiteral("usage: vlnotes export BINDER --format md|html|vtt|srt|tsv [--tab N] "
                     "[--audio DIR] [--recording FILE] -o OUT"));
  return exUsage;
}

}  // namespace

int CommandExport(const QStringList &Args) {
  QString binder, out, formatName, audio, recording;
  int tab = -1;
  for (qsizetype i = 1; i < Args.size(); ++i) {
    const QString &a = Args[i];
    const bool hasValue = i + 1 < Args.size();
    if (a == u"--format" && hasValue) {
      formatName = Args[++i];
    } else if ((a == u"-o" || a == u"--output") && hasValue) {
      out = Args[++i];
    } else if (a == u"--audio" && hasValue) {
      audio = Args[++i];
    } else if (a == u"--recording" && hasValue) {
      recording = Args[++i];
    } else if (a == u"--tab" && hasValue) {
      bool ok = false;
      tab = Args[++i].toInt(&ok) - 1;
      if (!ok || tab < 0) return Usage(QStringLiteral("--tab takes the number of a tab, from 1"));
    } else if (!a.startsWith(u'-') && binder.isEmpty()) {
      binder = a;
    } else {
      return Usage(QStringLiteral("unexpected argument: ") + a);
    }
  }
  const std::optional<TExportFormat> format = ExportFormatFromName(formatName);
  if (binder.isEmpty() || out.isEmpty() || !format)
    return Usage(formatName.isEmpty() || format ? QString()
                                                : QStringLiteral("unknown format: ") + formatName);

  const QFileInfo info(binder);
  if (!info.exists()) {
    Err(binder + QStringLiteral(": no such file"));
    return exUnreadable;
  }
  if (!info.isFile() || !info.isReadable()) {
    Err(binder + QStringLiteral(": cannot be read"));
    return exUnreadable;
  }
  TvlTabList tabs;
  TvlKeptEventsIO events;
  // Never the recovery of a backup: a tool renames none of the user's files.
  TvlNotebookBinder reader(tabs, &events);
  QString problems = reader.Binder_OpenWithoutRecovery(binder);
  if (tabs.Tabs.empty()) {
    // An isolated tab (".vlTab") exports as a binder of one tab.
    TvlTabList::RTab &only = tabs.Add(QString());
    int scroll = 0;
    const QString tabProblems = only.Doc->IO_Load(binder, only.Title, scroll);
    if (!only.Doc->IO_LastLoad().IsNotesDoc) {
      Err(binder + QStringLiteral(": not a notes file (") + problems.simplified() + u')');
      return exNotNotes;
    }
    problems = tabProblems;
  }
  if (tab >= tabs.Tabs_Count()) {
    Err(QStringLiteral("there is no tab %1: the binder has %2")
            .arg(tab + 1)
            .arg(tabs.Tabs_Count()));
    return exUsage;
  }

  TvlMediaFoldersInfo folders;
  folders.AddAudioFolder(audio.isEmpty() ? AppPaths().DataFolder() + QStringLiteral("/Audio")
                                         : audio);
  // The program may be recording into one of these files: measure, never rename.
  folders.SetMeasureOnly(true);
  TvlExportRecordings recordings(&folders);

  RExportRequest request;
  request.Format = *format;
  request.OutPath = out;
  request.Title = info.completeBaseName();
  request.Tab = tab;
  request.RecordingPath = recording;
  const RExportResult result =
      ExportNotes(ExportTabsOf(tabs), ExportBookmarksOf(events), recordings, request);
  for (const QString &note : result.Notes) Err(note);
  if (!result.Written) {
    Err(result.Error);
    return exNotWritten;
  }
  const QStringList lines = problems.split(u'\n', Qt::SkipEmptyParts);
  if (lines.isEmpty()) return exOk;
  for (const QString &line : lines) Err(binder + QStringLiteral(": ") + line);
  return exDamaged;
}
