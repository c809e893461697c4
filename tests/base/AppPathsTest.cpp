// Files shipped with the program are found beside it (the build tree), in the installed data
// folder seen from its folder, then in the desktop's data folders; never in the source tree.

#include "vlAppPaths.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>

TEST(AppPaths, ShippedFilesBesideTheProgramThenInstalledThenInTheDesktopsDataFolders) {
  const QString page = QStringLiteral("GettingStarted/index.html");
  const QString programFolder = QCoreApplication::applicationDirPath();
  TFreshFolder data;
  const QByteArray oldDirs = qgetenv("XDG_DATA_DIRS");
  qputenv("XDG_DATA_DIRS", data.Path().toLocal8Bit());

  const QStringList candidates = ProgramDataCandidates(page);
  ASSERT_GE(candidates.size(), 3);
  EXPECT_EQ(candidates[0], programFolder + QLatin1Char('/') + page);
  EXPECT_EQ(candidates[1],
            QDir::cleanPath(programFolder + QStringLiteral("/../share/vellomar/") + page));
  EXPECT_TRUE(candidates.contains(data.Path() + QStringLiteral("/vellomar/") + page));
  for (const QString &path : candidates)
    EXPECT_FALSE(path.contains(QStringLiteral("/assets/"))) << path.toStdString();

  // Only the desktop's data folder holds the page: found there.
  EXPECT_TRUE(ProgramDataPath(QStringLiteral("NoSuchThing")).isEmpty());
  WriteAllBytes(data.File(QStringLiteral("vellomar/") + page), "<html></html>");
  EXPECT_EQ(ProgramDataPath(page), data.File(QStringLiteral("vellomar/") + page));
  qputenv("XDG_DATA_DIRS", oldDirs);
}
