#include "vlFirstRun.h"

#include "vl09_Registry.h"
#include "vlGlobals.h"
#include "vlShellSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

struct RSample {
  const char16_t *Name;
  // The folder the sample goes to, from the program's paths.
  QString (*Folder)(const TAppPaths &);
};

QString SessionsMonth(const TAppPaths &Paths) {
  return SessionsFolder(Paths) + QStringLiteral("/2009-09");
}
QString AudioMonth(const TAppPaths &Paths) {
  return Paths.DataFolder() + QStringLiteral("/Audio/2009-09");
}
QString Documents(const TAppPaths &Paths) { return Paths.DocumentsFolder(); }

// The example recording with its levels, and the example binder, which is where the historical
// track and the notebook open on a first run. No day file is shipped: day files are never read or
// written (the binder holds the bookmarks), so only their month folder is made.
const RSample Samples[] = {
    {u"2009-09-03 13.47 36.5 (108).wav", &AudioMonth},
    {u"2009-09-03 13.47 36.5 (108).vu", &AudioMonth},
    {u"Example.vl", &Documents},
};

void CreateFolder(const QString &Path) {
  if (!QDir().mkpath(Path)) ErrorReport(true, QStringLiteral("Cannot create ") + Path);
}

void CopySample(const TAppPaths &Paths, const RSample &Sample, RFirstRunResult &Result) {
  const QString name = QString::fromUtf16(Sample.Name);
  const QString source = Paths.SamplesFolder() + QLatin1Char('/') + name;
  const QString folder = Sample.Folder(Paths);
  const QString target = folder + QLatin1Char('/') + name;
  if (QFileInfo::exists(target)) {
    Result.Kept << target;
    return;
  }
  if (!QFileInfo(source).isFile()) {
    Result.Missing << source;
    TraceWrite(QStringLiteral("First run: no sample %1").arg(source));
    return;
  }
  if (!QDir().mkpath(folder) || !QFile::copy(source, target)) {
    TraceWrite(QStringLiteral("First run: cannot copy %1 to %2").arg(source, target));
    return;
  }
  Result.Copied << target;
}

}  // namespace

QString SessionsFolder(const TAppPaths &Paths) {
  return Paths.DocumentsFolder() + QStringLiteral("/Sessions");
}

RFirstRunResult FirstRun_SetUpMaybe(const TAppPaths &Paths, TRegistryData &Store,
                                    const TProgressStep &Progress) {
  RFirstRunResult result;
  const QString install = QString::fromUtf16(vlSetting::Install);
  if (Store.GetStringDef(install, QString()) == QStringLiteral("Finished")) return result;
  result.Ran = true;

  const auto progress = [&](int At, int Next, const QString &Msg) {
    if (Progress) Progress(At, Next, Msg);
  };
  progress(10, 12, QStringLiteral("Creating Folders"));
  CreateFolder(Paths.DataFolder());
  CreateFolder(Paths.DataFolder() + QStringLiteral("/Audio"));
  CreateFolder(Paths.DataFolder() + QStringLiteral("/Document Backups"));
  progress(12, 14, QStringLiteral("Creating Folders"));
  CreateFolder(SessionsFolder(Paths));
  CreateFolder(SessionsMonth(Paths));

  for (const RSample &sample : Samples) CopySample(Paths, sample, result);
  const QString example = Paths.DocumentsFolder() + QStringLiteral("/Example.vl");
  if (QFileInfo(example).isFile()) result.ExampleBinderPath = example;

  // 2009-09-03 13:47:25.4, eleven seconds before the example recording starts, at a quarter
  // second per pixel, so the whole recording fits on the historical track.
  Store.SetValue(QString::fromUtf16(vlSetting::ReopenWhen), QStringLiteral("40059.5746"));
  Store.SetValue(QString::fromUtf16(vlSetting::ReopenZoom.Name), QStringLiteral("0.25"));
  Store.SetValue(install, QStringLiteral("Finished"));
  result.SettingsWritten = Store.OnApplicationClose_WriteToRegistry();
  TraceWrite(QStringLiteral("First run: %1 copied, %2 kept, %3 missing")
                 .arg(result.Copied.size())
                 .arg(result.Kept.size())
                 .arg(result.Missing.size()));
  return result;
}
