#include "vl09_RecentFiles.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlIniFile.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QDir>

#include <memory>
#include <vector>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }
const QString Key = QStringLiteral("\\Software\\Vellomar\\2009\\RecentFiles");

struct RecentFilesTest : ::testing::Test {
  TFreshFolder folder;
  QString ini = folder.File(QStringLiteral("2009.ini"));
  std::vector<std::unique_ptr<QAction>> actions;

  // A settings file whose recent list holds Paths as "01", "02", ...
  void Store(const QStringList &Paths, const QByteArray &Extra = {}) {
    QByteArray text = "[General]\nDebugMode=0\n\n[RecentFiles]\n";
    for (int i = 0; i < Paths.size(); ++i)
      text += QStringLiteral("%1=%2\n").arg(i + 1, 2, 10, QLatin1Char('0')).arg(Paths[i]).toUtf8();
    WriteAllBytes(ini, text + Extra);
  }
  std::unique_ptr<TRecentFiles> Open(int Actions = 16, QAction *Separator = nullptr) {
    auto list = std::make_unique<TRecentFiles>(Key, Separator, ini);
    for (int i = 0; i < Actions; ++i) {
      actions.push_back(std::make_unique<QAction>());
      list->RegisterMenuItemForListOfRecentFiles(actions.back().get());
    }
    return list;
  }
  static QStringList Paths(const TRecentFiles &List) {
    QStringList paths;
    for (int slot = 1; slot <= TRecentFiles::MaxFiles; ++slot) paths.append(List.File(slot));
    while (!paths.isEmpty() && paths.last().isEmpty()) paths.removeLast();
    return paths;
  }
  QStringList Captions(int Count) const {
    QStringList captions;
    for (int i = 0; i < Count; ++i)
      captions.append(actions[i]->isVisible() ? actions[i]->text() : QStringLiteral("(hidden)"));
    return captions;
  }
  QList<RIniValue> OnDisk() const {
    TIniFile file;
    EXPECT_TRUE(file.Load(ini));
    return file.Section(QStringLiteral("RecentFiles"));
  }
};

QStringList Numbered(int Count, const char *Pattern = "/n/f%1.vl") {
  QStringList paths;
  for (int i = 1; i <= Count; ++i) paths.append(S(Pattern).arg(i));
  return paths;
}

}  // namespace

TEST_F(RecentFilesTest, LoadingSkipsGapsProgramFoldersAndRepeats) {
  WriteAllBytes(ini,
                "[RecentFiles]\n"
                "02=/home/u/b.vl\n"
                "01=/home/u/a.vl\n"
                "03=C:\\Program Files\\Vellomar\\Example.vl\n"
                "05=/home/u/./sub/../e.vl\n"
                "06=/home/u/a.vl\n"
                "07=\n"
                "31=/home/u/beyond.vl\n"
                "1=/home/u/not-two-digits.vl\n");
  {
    auto list = Open();
    EXPECT_EQ(Paths(*list), (QStringList{S("/home/u/a.vl"), S("/home/u/b.vl"), S("/home/u/e.vl")}));
    EXPECT_EQ(Captions(4), (QStringList{S("1 a.vl"), S("2 b.vl"), S("3 e.vl"), S("(hidden)")}));
  }
  // Saving writes only what was loaded: the skipped entries are gone from the file.
  QStringList disk;
  for (const RIniValue &v : OnDisk()) disk.append(v.Name + QLatin1Char('=') + v.Value);
  EXPECT_EQ(disk, (QStringList{S("01=/home/u/a.vl"), S("02=/home/u/b.vl"), S("03=/home/u/e.vl"),
                               S("31=/home/u/beyond.vl"), S("1=/home/u/not-two-digits.vl")}));
}

TEST_F(RecentFilesTest, OpeningAListedFileTakesItOffAndRenumbersTheMenu) {
  Store(Numbered(5));
  auto list = Open();
  list->AccessingFile(S("/n/f3.vl"));
  EXPECT_EQ(Paths(*list),
            (QStringList{S("/n/f1.vl"), S("/n/f2.vl"), S("/n/f4.vl"), S("/n/f5.vl")}));
  EXPECT_EQ(Captions(5),
            (QStringList{S("1 f1.vl"), S("2 f2.vl"), S("3 f4.vl"), S("4 f5.vl"), S("(hidden)")}));
  list->AccessingFile(S("/n/unlisted.vl"));
  list->UnlistFile(S("/n/f1.vl"));
  EXPECT_EQ(Paths(*list), (QStringList{S("/n/f2.vl"), S("/n/f4.vl"), S("/n/f5.vl")}));
}

TEST_F(RecentFilesTest, ClosingAListedFileMovesItToTheTopAndTheOnesAboveDown) {
  Store(Numbered(7));
  auto list = Open();
  list->ClosingFile(S("/n/f5.vl"));
  EXPECT_EQ(Paths(*list), (QStringList{S("/n/f5.vl"), S("/n/f1.vl"), S("/n/f2.vl"), S("/n/f3.vl"),
                                       S("/n/f4.vl"), S("/n/f6.vl"), S("/n/f7.vl")}));
  // On this file system a different letter case names a different file: both stay listed.
  list->ClosingFile(S("/n/F7.vl"));
  EXPECT_EQ(list->File(1), S("/n/F7.vl"));
  EXPECT_EQ(list->File(8), S("/n/f7.vl"));
  EXPECT_EQ(list->FileCount(), 8);
}

TEST_F(RecentFilesTest, PathsAreComparedInTheirAbsoluteCleanForm) {
  const QString cwd = QDir::currentPath();
  Store({cwd + S("/notes.vl")});
  auto list = Open();
  list->AccessingFile(S("./sub/../notes.vl"));
  EXPECT_EQ(list->FileCount(), 0);
  list->ClosingFile(S("notes.vl"));
  EXPECT_EQ(list->File(1), cwd + S("/notes.vl"));
}

TEST_F(RecentFilesTest, ClosingAnUnlistedFileOnAFullListDropsTheLastEntry) {
  Store(Numbered(30));
  auto list = Open();
  list->ClosingFile(S("/n/new.vl"));
  EXPECT_EQ(list->File(1), S("/n/new.vl"));
  EXPECT_EQ(list->File(2), S("/n/f1.vl"));
  EXPECT_EQ(list->File(30), S("/n/f29.vl"));
  EXPECT_EQ(list->FileCount(), 30);
}

TEST_F(RecentFilesTest, AnEmptyPathNeitherTakesASlotNorPushesARealEntryOut) {
  Store(Numbered(30));
  auto list = Open();
  list->ClosingFile(QString());
  list->ClosingFile(S("  "));
  list->AccessingFile(QString());
  EXPECT_EQ(Paths(*list), Numbered(30));
  EXPECT_EQ(actions[0]->text(), S("1 f1.vl"));
}

TEST_F(RecentFilesTest, SavingWritesTheListWithoutGapsAndDeletesTheRest) {
  Store(Numbered(5), "Other=kept\n[Later]\nX=1\n");
  {
    auto list = Open();
    list->AccessingFile(S("/n/f2.vl"));
    list->AccessingFile(S("/n/f4.vl"));
  }  // saved here
  QStringList disk;
  for (const RIniValue &v : OnDisk()) disk.append(v.Name + QLatin1Char('=') + v.Value);
  EXPECT_EQ(disk,
            (QStringList{S("01=/n/f1.vl"), S("02=/n/f3.vl"), S("03=/n/f5.vl"), S("Other=kept")}));
  TIniFile file;
  ASSERT_TRUE(file.Load(ini));
  EXPECT_EQ(file.Section(QStringLiteral("General")).size(), 1);
  EXPECT_EQ(file.Section(QStringLiteral("Later")).size(), 1);
}

TEST_F(RecentFilesTest, EntriesBeyondTheRegisteredActionsAreKeptButNotShown) {
  Store(Numbered(17));
  {
    auto list = Open(16);
    EXPECT_EQ(list->MenuItemCount(), 16);
    EXPECT_EQ(actions[15]->text(), S("16 f16.vl"));
    EXPECT_EQ(list->File(17), S("/n/f17.vl"));
  }
  EXPECT_EQ(OnDisk().size(), 17);
}

TEST_F(RecentFilesTest, MenuCaptionsShowFileNamesLiterallyAndActionsLeadToTheirPaths) {
  Store({S("/home/u/R&D notes.vl"), S("/home/u/b.vl")});
  auto list = Open(3);
  EXPECT_EQ(actions[0]->text(), S("1 R&&D notes.vl"));
  EXPECT_EQ(actions[0]->statusTip(), S("/home/u/R&D notes.vl"));
  EXPECT_EQ(list->GetFullPath(actions[1].get()), S("/home/u/b.vl"));
  EXPECT_FALSE(actions[2]->isVisible());
  EXPECT_EQ(actions[2]->text(), QString());
  EXPECT_EQ(list->GetFullPath(actions[2].get()), QString());
  QAction stranger;
  EXPECT_EQ(list->GetFullPath(&stranger), QString());
  EXPECT_EQ(list->GetFullPath(nullptr), QString());

  const std::pair<const char *, const char *> forms[] = {
      {"/home/u/Notes.vl", "Notes.vl"},
      {"C:\\Users\\u\\Notes.vl", "C:\\...\\Notes.vl"},
      {"Notes.vl", "Notes.vl"},
      {"/", "/"},
  };
  for (const auto &[path, form] : forms) EXPECT_EQ(TRecentFiles::ShortForm(S(path)), S(form));
}

TEST_F(RecentFilesTest, TheSeparatorIsShownOnlyWhilePathsAreListed) {
  Store({});
  QAction separator;
  separator.setSeparator(true);
  auto list = Open(16, &separator);
  EXPECT_FALSE(separator.isVisible());
  list->ClosingFile(S("/n/a.vl"));
  EXPECT_TRUE(separator.isVisible());
  EXPECT_TRUE(list->AddedSeparator());
  list->AccessingFile(S("/n/a.vl"));
  EXPECT_FALSE(separator.isVisible());
}

TEST_F(RecentFilesTest, AThirtyFirstMenuActionIsAProgrammingError) {
  Store({});
  auto list = Open(30);
  QAction extra;
  EXPECT_THROW(list->RegisterMenuItemForListOfRecentFiles(&extra), ReportedError);
  EXPECT_EQ(list->MenuItemCount(), 30);

  // After Ignore the report no longer interrupts; the extra actions are still left out.
  TErrorLog log(folder.Path());
  TScopedErrorLog use(log);
  log.IgnoreKey(TErrorLog::MessageKey(S("Too many recent-file menu items.")));
  QAction more[3];
  for (QAction &action : more) EXPECT_NO_THROW(list->RegisterMenuItemForListOfRecentFiles(&action));
  EXPECT_EQ(list->MenuItemCount(), 30);
  EXPECT_EQ(log.ReportCount(), 3);
}

TEST_F(RecentFilesTest, ASettingsFileThatCannotBeReadGivesAnEmptyListAndIsNotReplaced) {
  ASSERT_TRUE(QDir().mkpath(ini));
  {
    auto list = Open();
    EXPECT_EQ(list->FileCount(), 0);
    list->ClosingFile(S("/n/a.vl"));
    EXPECT_FALSE(list->SaveToRegistry());
  }
  EXPECT_TRUE(QFileInfo(ini).isDir());
}
