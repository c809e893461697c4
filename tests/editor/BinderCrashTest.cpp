// A process killed while it saves a binder, again and again: whatever moment the kill hits, the
// binder on disk is complete and is one of the versions that were saved.

#include "vl09_NotebookBinder.h"
#include "vlTestSupport.h"
#include "vl_Document.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <random>
#include <string>

namespace {

// Tab text of a version, long enough that a save takes a while and a kill often lands inside it.
std::vector<std::string> VersionText(int Version) {
  std::vector<std::string> lines;
  for (int i = 0; i < 150; ++i)
    lines.push_back("version " + std::to_string(Version) + " line " + std::to_string(i) +
                    " with some words to make the file longer");
  return lines;
}

// Saves version Version over and over; never returns.
[[noreturn]] void SaveForever(const QString &Path, int Version) {
  TvlTabList tabs;
  BuildDocument(*tabs.Add(QStringLiteral("Versions")).Doc, VersionText(Version));
  BuildDocument(*tabs.Add(QStringLiteral("Second")).Doc, VersionText(Version));
  TvlNotebookBinder binder(tabs);
  for (;;) {
    if (!binder.Binder_Save(Path).isEmpty()) _exit(3);
  }
}

TEST(BinderCrashTest, BinderKilledWhileSaving_IsAlwaysOneCompleteVersion) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("Killed.vl"));
  {
    TvlTabList tabs;
    BuildDocument(*tabs.Add(QStringLiteral("Versions")).Doc, VersionText(0));
    BuildDocument(*tabs.Add(QStringLiteral("Second")).Doc, VersionText(0));
    TvlNotebookBinder binder(tabs);
    ASSERT_EQ(binder.Binder_Save(path), QString());
  }
  std::mt19937 random(20091003);
  int latestPossible = 0;
  for (int round = 1; round <= 200; ++round) {
    SCOPED_TRACE(round);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) SaveForever(path, round);
    // Anywhere from before the first save has begun to several saves later.
    usleep(std::uniform_int_distribution<useconds_t>(0, 15000)(random));
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving child stopped on its own";
    latestPossible = round;

    ASSERT_TRUE(TvlNotebookBinder::IsCompleteBinderFile(path));
    TvlTabList loaded;
    TvlNotebookBinder reader(loaded);
    ASSERT_EQ(reader.Binder_Open(path), QString());
    ASSERT_EQ(loaded.Tabs.size(), 2u);
    const std::vector<std::string> text = ParagraphTexts(*loaded.Tabs[0].Doc);
    ASSERT_EQ(text.size(), 150u);
    const int version = std::stoi(text[0].substr(8));
    ASSERT_LE(version, latestPossible);
    ASSERT_EQ(text, VersionText(version));
    ASSERT_EQ(ParagraphTexts(*loaded.Tabs[1].Doc), VersionText(version));
  }
  // A killed save can leave its temporary file behind, never anything else.
  for (const QString &name : QDir(folder.Path()).entryList(QDir::Files))
    EXPECT_TRUE(name == QStringLiteral("Killed.vl") ||
                name.startsWith(QStringLiteral("Killed.vl.")))
        << name.toStdString();
}

}  // namespace
