// Reads arbitrary bytes as the settings file into the recent-files list, then plays the file's
// own paths through opening and closing. The list must always hold at most 30 paths, each
// absolute and clean, none twice, without gaps; and what it saves must load back as the same
// list. Any crash, leak, undefined behaviour or broken check is a finding.

#include "vl09_RecentFiles.h"
#include "vlFuzzSupport.h"
#include "vlIniFile.h"

#include <QFile>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

const QString RegPath = QStringLiteral("\\Software\\Vellomar\\2009\\RecentFiles");

QStringList Listed(const TRecentFiles &Recent) {
  QStringList out;
  for (int slot = 1; slot <= TRecentFiles::MaxFiles; ++slot) out.append(Recent.File(slot));
  return out;
}

void CheckList(const TRecentFiles &Recent) {
  const QStringList all = Listed(Recent);
  QSet<QString> seen;
  bool gap = false;
  for (const QString &path : all) {
    if (path.isEmpty()) {
      gap = true;
      continue;
    }
    Check(!gap);
    Check(TRecentFiles::NormalizedPath(path) == path);
    Check(!seen.contains(path));
    seen.insert(path);
  }
  Check(Recent.FileCount() == seen.size());
  Check(Recent.File(0).isEmpty() && Recent.File(TRecentFiles::MaxFiles + 1).isEmpty());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InstallFuzzEnvironment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  const QByteArray bytes(reinterpret_cast<const char *>(Data), qsizetype(Size));
  QTemporaryDir scratch;
  if (!scratch.isValid()) return SkipInput("making a scratch folder");
  const QString path = scratch.path() + QStringLiteral("/2009.ini");
  {
    QFile f(path);
    Check(f.open(QIODevice::WriteOnly));
    Check(f.write(bytes) == bytes.size());
  }
  TIniFile ini;
  ini.Parse(bytes);

  TRecentFiles recent(RegPath, nullptr, path);
  CheckList(recent);
  Check(recent.SaveToRegistry());
  {
    TRecentFiles loaded(RegPath, nullptr, path);
    Check(Listed(loaded) == Listed(recent));
  }

  // The values of the file, as paths the program opens and closes.
  int step = 0;
  for (const QString &section : ini.SectionNames()) {
    for (const RIniValue &v : ini.Section(section)) {
      if (++step > 64) break;
      // A path under a program folder is dropped when the list is loaded, by design.
      if (v.Value.contains(QLatin1String("Program Files")) ||
          v.Name.contains(QLatin1String("Program Files")))
        continue;
      switch (step % 3) {
        case 0: recent.AccessingFile(v.Value); break;
        case 1: recent.ClosingFile(v.Value); break;
        default: recent.ClosingFile(v.Name); break;
      }
      CheckList(recent);
      const QString normal = TRecentFiles::NormalizedPath(v.Value);
      if (step % 3 == 1 && !normal.isEmpty()) Check(recent.File(1) == normal);
      (void)TRecentFiles::ShortForm(v.Value);
    }
  }
  Check(recent.SaveToRegistry());
  TRecentFiles reloaded(RegPath, nullptr, path);
  Check(Listed(reloaded) == Listed(recent));
  return 0;
}
