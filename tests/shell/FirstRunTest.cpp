// The first-run set-up: folders, example files copied only where nothing is, settings on disk at
// once.

#include "vl09_Registry.h"
#include "vlFirstRun.h"
#include "vlGlobals.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

const char *const SampleNames[] = {"2009-09-03 13.47 36.5 (108).wav",
                                   "2009-09-03 13.47 36.5 (108).vu", "Example.vl"};

void MakeSamples(const TAppPaths &Paths) {
  for (const char *name : SampleNames)
    WriteAllBytes(Paths.SamplesFolder() + QLatin1Char('/') + S(name), QByteArray("sample ") + name);
}

QStringList Targets(const TAppPaths &Paths) {
  return {Paths.DataFolder() + S("/Audio/2009-09/2009-09-03 13.47 36.5 (108).wav"),
          Paths.DataFolder() + S("/Audio/2009-09/2009-09-03 13.47 36.5 (108).vu"),
          Paths.DocumentsFolder() + S("/Example.vl")};
}

TRegistryData OnDisk(const TAppPaths &Paths) {
  TRegistryData store(Paths.SettingsFile());
  store.OnApplicationOpen_ReadFromRegistry();
  return store;
}

}  // namespace

TEST(FirstRun, CopiesTheSamplesOnceAndNeverOverTheUsersFiles) {
  TFreshFolder root;
  const TAppPaths paths = TAppPaths::UnderRoot(root.Path());
  MakeSamples(paths);

  TRegistryData store(paths.SettingsFile());
  RFirstRunResult first = FirstRun_SetUpMaybe(paths, store);
  EXPECT_TRUE(first.Ran);
  EXPECT_EQ(first.Copied, Targets(paths));
  EXPECT_EQ(first.ExampleBinderPath, paths.DocumentsFolder() + S("/Example.vl"));
  for (const QString &folder :
       {paths.DataFolder() + S("/Audio"), paths.DataFolder() + S("/Document Backups"),
        paths.DocumentsFolder() + S("/Sessions/2009-09")})
    EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
  // On disk at once, not only at close.
  EXPECT_TRUE(first.SettingsWritten);
  TRegistryData written = OnDisk(paths);
  EXPECT_EQ(written.GetValue(S("Install")), S("Finished"));
  EXPECT_EQ(written.GetValue(S("ReopenWhen")), S("40059.5746"));
  EXPECT_EQ(written.GetValue(S("ReopenZoom")), S("0.25"));

  // The next start copies nothing.
  WriteAllBytes(Targets(paths).last(), "the user's notes");
  TRegistryData next = OnDisk(paths);
  EXPECT_FALSE(FirstRun_SetUpMaybe(paths, next).Ran);

  // A first run again (the settings were lost) keeps what is there and fills in what is not.
  QFile::remove(Targets(paths).first());
  QFile::remove(paths.SettingsFile());
  TRegistryData lost(paths.SettingsFile());
  RFirstRunResult again = FirstRun_SetUpMaybe(paths, lost);
  EXPECT_TRUE(again.Ran);
  EXPECT_EQ(again.Copied, QStringList{Targets(paths).first()});
  EXPECT_EQ(again.Kept.size(), 2);
  EXPECT_EQ(ReadAllBytes(Targets(paths).last()), QByteArray("the user's notes"));
}

TEST(FirstRun, MissingSamplesAreTracedAndTheSetUpGoesOn) {
  TFreshFolder root;
  const TAppPaths paths = TAppPaths::UnderRoot(root.Path());
  TRegistryData store(paths.SettingsFile());
  QStringList steps;
  const RFirstRunResult result =
      FirstRun_SetUpMaybe(paths, store, [&](int At, int Next, const QString &Msg) {
        steps << QStringLiteral("%1-%2 %3").arg(At).arg(Next).arg(Msg);
      });
  EXPECT_TRUE(result.Ran);
  EXPECT_EQ(result.Missing.size(), 3);
  EXPECT_TRUE(result.Copied.isEmpty());
  EXPECT_TRUE(result.ExampleBinderPath.isEmpty());
  EXPECT_EQ(steps, (QStringList{S("10-12 Creating Folders"), S("12-14 Creating Folders")}));
  EXPECT_EQ(OnDisk(paths).GetValue(S("Install")), S("Finished"));
}

TEST(FirstRun, AFolderThatCannotBeCreatedEndsStartUpWithItsPath) {
  TFreshFolder root;
  const TAppPaths paths = TAppPaths::UnderRoot(root.Path());
  // A file where the data folder should be.
  WriteAllBytes(paths.DataFolder(), "not a folder");
  TRegistryData store(paths.SettingsFile());
  try {
    FirstRun_SetUpMaybe(paths, store);
    ADD_FAILURE() << "no report";
  } catch (const ReportedError &e) {
    EXPECT_EQ(e.Msg(), S("Cannot create ") + paths.DataFolder());
  }
  EXPECT_FALSE(store.ValueExists(S("Install")));
}
