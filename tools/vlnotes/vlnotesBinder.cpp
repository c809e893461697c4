#include "vlnotesBinder.h"

#include "vl09_NotebookBinder.h"
#include "vl09_XmlIn.h"
#include "vlKeptEventsIO.h"
#include "vl_Document.h"

#include <QFileInfo>

#include <cstdio>

namespace {

// The same codes as main.cpp's.
enum TExit : int {
  exOk = 0,
  exDamaged = 1,
  exUsage = 2,
  exUnreadable = 3,
  exNotNotes = 4,
  exNotWritten = 5,
};

void Print(std::FILE *To, const QString &Text) {
  const QByteArray bytes = Text.toUtf8() + '\n';
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), To);
}

void Err(const QString &Text) { Print(stderr, QStringLiteral("vlnotes: ") + Text); }

// Loads a binder without ever looking for its backup (a tool renames nothing). Answers an exit
// code when the file cannot be used at all, else -1 with Problems filled.
int LoadBinder(const QString &Path, TvlTabList &Tabs, TvlKeptEventsIO &Events,
               QStringList &Problems) {
  const QFileInfo info(Path);
  if (!info.exists()) {
    Err(Path + QStringLiteral(": no such file"));
    return exUnreadable;
  }
  if (!info.isFile()) {
    Err(Path + QStringLiteral(": not a regular file"));
    return exUnreadable;
  }
  TvlNotebookBinder binder(Tabs, &Events);
  const QString problems = binder.Binder_OpenWithoutRecovery(Path);
  if (Tabs.Tabs.empty()) {
    Err(Path + QStringLiteral(": not a binder (") + problems.simplified() + QLatin1Char(')'));
    return exNotNotes;
  }
  for (const QString &line : problems.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
    Problems.append(line);
  return -1;
}

}  // namespace

bool IsBinderFile(const QString &Path) {
  if (!QFileInfo(Path).isFile()) return false;
  TvlXmlIn in;
  QString refusal;
  if (!in.File_OpenOrDoErrorDialogs(Path, refusal)) return false;
  return in.CurrentTag() == xtBoundNotesBegin_;
}

int CommandResaveBinder(const QString &In, const QString &Out) {
  TvlTabList tabs;
  TvlKeptEventsIO events;
  QStringList problems;
  if (const int code = LoadBinder(In, tabs, events, problems); code >= 0) return code;
  for (const QString &p : problems) Err(In + QStringLiteral(": ") + p);
  const bool damaged = !problems.isEmpty();
  // A damaged file is never written over: its unreadable parts may still be recovered by hand.
  if (damaged && QFileInfo(In).canonicalFilePath() == QFileInfo(Out).canonicalFilePath()) {
    Err(Out + QStringLiteral(": not written over the damaged original; give another output "
                             "file"));
    return exDamaged;
  }
  TvlNotebookBinder binder(tabs, &events);
  if (const QString failed = binder.Binder_Save(Out); !failed.isEmpty()) {
    Err(Out + QStringLiteral(": cannot be written (") + failed.simplified() + QLatin1Char(')'));
    return exNotWritten;
  }
  // A backup beside the output that this run never read is kept, and said so.
  if (!binder.LastSaveNote().isEmpty()) Err(Out + QStringLiteral(": ") + binder.LastSaveNote());
  if (damaged) {
    Err(Out + QStringLiteral(": written with what could be read"));
    return exDamaged;
  }
  return exOk;
}
