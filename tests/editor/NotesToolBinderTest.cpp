// The vlnotes tool on binders, run as a process: every tab under its title, a fresh save that
// keeps tabs and bookmarks, the events list, and a damaged binder never written over itself.

#include "vl09_NotebookBinder.h"
#include "vlKeptEventsIO.h"
#include "vlNotesToolRun.h"
#include "vlTestSupport.h"
#include "vl_Document.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>
#include <QFile>

namespace {

TEST(NotesToolBinderTest, TextResaveEventsAndCheckOnABinderTheProgramWrites) {
  TFreshFolder folder;
  TvlTabList tabs;
  BuildDocument(*tabs.Add(QStringLiteral("Lecture")).Doc, {"first line"});
  BuildDocument(*tabs.Add(QStringLiteral("Questions")).Doc, {"why?", "how?"});
  tabs.ActiveTab = 1;
  TvlKeptEventsIO events;
  events.Add(QStringLiteral("Marker"), QChar(u'1'), BuiltT0 + 0.5 / 24);
  events.Add(QStringLiteral("Label"), QChar(u'1'), BuiltT0 + 1.0 / 24, QStringLiteral("Point"));
  TvlNotebookBinder binder(tabs, &events);
  const QString path = folder.File(QStringLiteral("notes.vl"));
  ASSERT_EQ(binder.Binder_Save(path), QString());

  RRun run = RunTool({QStringLiteral("text"), path});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out, QStringLiteral("# Tab 1: Lecture\n2023-03-15 12:00:00  first line\n"
                                    "# Tab 2: Questions\n2023-03-15 12:00:00  why?\n"
                                    "2023-03-15 12:16:40  how?\n"));

  run = RunTool({QStringLiteral("events"), path});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out, QStringLiteral("2023-03-15 12:30:00.000  Marker      1  \n"
                                    "2023-03-15 13:00:00.000  Label       1  Point\n"));

  const QString again = folder.File(QStringLiteral("again.vl"));
  run = RunTool({QStringLiteral("resave"), path, again});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_EQ(WithoutWhenSaved(ReadAllBytes(again)), WithoutWhenSaved(ReadAllBytes(path)));

  // Resaving a binder over itself keeps a backup beside it that the tool never read, and says so.
  const QString unread = folder.File(QStringLiteral("notes.vlBackup"));
  WriteAllBytes(unread, "a newer backup the tool never read");
  run = RunTool({QStringLiteral("resave"), path, path});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_EQ(ReadAllBytes(unread), QByteArray("a newer backup the tool never read"));
  EXPECT_TRUE(run.Err.contains(QStringLiteral("was kept"))) << run.Err.toStdString();
  QFile::remove(unread);

  // A binder cut short: text still prints what is there, check names the problem, and resave
  // will not write over it.
  QByteArray cut = ReadAllBytes(path);
  cut.truncate(cut.indexOf("<OtherEvents>"));
  const QString damaged = folder.File(QStringLiteral("cut.vl"));
  WriteAllBytes(damaged, cut);
  run = RunTool({QStringLiteral("check"), damaged});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_TRUE(run.Out.contains(QStringLiteral("incomplete"))) << run.Out.toStdString();
  run = RunTool({QStringLiteral("resave"), damaged, damaged});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(ReadAllBytes(damaged), cut);
  const QString rescued = folder.File(QStringLiteral("rescued.vl"));
  run = RunTool({QStringLiteral("resave"), damaged, rescued});
  EXPECT_EQ(run.Exit, 1);
  TvlTabList back;
  TvlNotebookBinder reader(back);
  EXPECT_EQ(reader.Binder_Open(rescued), QString());
  EXPECT_EQ(back.Tabs.size(), 2u);

  // No backup is ever recovered or renamed by the tool.
  const QString backup = folder.File(QStringLiteral("notes.vlBackup"));
  WriteAllBytes(backup, ReadAllBytes(path));
  run = RunTool({QStringLiteral("events"), path});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_EQ(ReadAllBytes(backup), ReadAllBytes(path));
}

// A binder whose tab lost or doubled its DocTab line, or that announces a wrong count: check says
// so, and text still shows every tab's paragraphs, each once.
TEST(NotesToolBinderTest, DamagedTabFramesAreListedAndEveryParagraphShown) {
  TFreshFolder folder;
  TvlTabList tabs;
  BuildDocument(*tabs.Add(QStringLiteral("Lecture")).Doc, {"first line", "second line"});
  BuildDocument(*tabs.Add(QStringLiteral("Questions")).Doc, {"why?", "how?"});
  const QString path = folder.File(QStringLiteral("notes.vl"));
  ASSERT_EQ(TvlNotebookBinder(tabs).Binder_Save(path), QString());
  const QByteArray bytes = ReadAllBytes(path);
  const auto lineOf = [&bytes](const char *Start) {
    const qsizetype at = bytes.indexOf(Start);
    return bytes.mid(at, bytes.indexOf('\n', at) + 1 - at);
  };
  const QByteArray first = lineOf("<DocTab TabTitle=\"Lecture\""),
                   second = lineOf("<DocTab TabTitle=\"Questions\"");
  struct {
    const char *Name;
    QByteArray Bytes;
    const char *Problem;
  } rows[] = {
      {"first DocTab missing", QByteArray(bytes).replace(first, ""),
       "(tab 1 \"???\"): The DocTab line is missing; the tab starts at Line No."},
      {"second DocTab missing", QByteArray(bytes).replace(second, ""),
       "(tab 2 \"???\"): The DocTab line is missing"},
      {"first DocTab doubled", QByteArray(bytes).replace(first, first + first),
       "(tab 1 \"Lecture\"): A second DocTab line, skipped"},
      {"first line missing", bytes.mid(bytes.indexOf('\n') + 1),
       "The BoundNotes line is missing (the program will not open the file); the tabs start at "
       "Line No."},
      {"three tabs announced", QByteArray(bytes).replace("TabCount=\"2\"", "TabCount=\"3\""),
       "The binder announces 3 tabs and holds 2"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    const QString damaged = folder.File(QString::fromLatin1(row.Name) + QStringLiteral(".vl"));
    WriteAllBytes(damaged, row.Bytes);
    RRun run = RunTool({QStringLiteral("check"), damaged});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_TRUE(run.Out.contains(QString::fromLatin1(row.Problem))) << run.Out.toStdString();
    run = RunTool({QStringLiteral("text"), damaged});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_EQ(run.Out.count(QStringLiteral("# Tab ")), 2) << run.Out.toStdString();
    for (const char *paragraph : {"  first line\n", "  second line\n", "  why?\n", "  how?\n"})
      EXPECT_EQ(run.Out.count(QString::fromLatin1(paragraph)), 1) << run.Out.toStdString();
  }
}

}  // namespace
