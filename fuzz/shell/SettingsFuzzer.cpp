// Reads arbitrary bytes as the settings file into the settings store, as the program does at
// start, and writes the store back as it does at close. The first byte chooses the key read (the
// main values or a subkey). Every value read must come out of the typed reads in its range and
// finite, and the file written must read back into a new store as exactly the values the store
// held, with every other section of the file as it was. The INI text alone must also survive
// being written and read again. Any crash, leak, undefined behaviour or broken check is a finding.

#include "vl09_Registry.h"
#include "vlFuzzSupport.h"
#include "vlIniFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

void Write(const QString &Path, const QByteArray &Bytes) {
  QFile f(Path);
  Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  Check(f.write(Bytes) == Bytes.size());
}

bool SameValues(const QList<RIniValue> &A, const QList<RIniValue> &B) {
  if (A.size() != B.size()) return false;
  for (qsizetype i = 0; i < A.size(); ++i)
    if (A[i].Name != B[i].Name || A[i].Value != B[i].Value) return false;
  return true;
}

bool SameFile(const TIniFile &A, const TIniFile &B) {
  if (A.SectionNames() != B.SectionNames()) return false;
  for (const QString &s : A.SectionNames())
    if (!SameValues(A.Section(s), B.Section(s))) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InstallFuzzEnvironment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  if (Size < 1) return 0;
  const QString subKey = Data[0] % 2 == 0 ? QString() : QStringLiteral("\\RecentFiles");
  const QByteArray bytes(reinterpret_cast<const char *>(Data + 1), qsizetype(Size - 1));

  // The INI text: what is read, written and read again is the same.
  TIniFile ini;
  ini.Parse(bytes);
  TIniFile again;
  again.Parse(ini.Text());
  Check(again.Problems().isEmpty());
  Check(SameFile(ini, again));
  Check(again.Text() == ini.Text());

  QTemporaryDir scratch;
  if (!scratch.isValid()) return SkipInput("making a scratch folder");
  const QString path = scratch.path() + QStringLiteral("/2009.ini");
  Write(path, bytes);
  TRegistryData store(path);
  Check(store.OnApplicationOpen_ReadFromRegistry(subKey));
  const QStringList names = store.Names();
  Check(store.Count() == names.size());
  for (const QString &name : names) {
    Check(store.ValueExists(name));
    Check(std::isfinite(store.GetFloatDef(name, 0.5)));
    const int ranged = store.GetIntegerInRange(name, 5, -3, 70);
    Check(ranged >= -3 && ranged <= 70);
    const double f = store.Get(RFloatSetting{u"x", 1.0, -2.0, 2.0});
    Check(f >= -2.0 && f <= 2.0);
  }
  const QString section = IniSectionForRegistryKey(subKey);

  // Written back: the store's values, the other sections untouched.
  Check(store.OnApplicationClose_WriteToRegistry());
  TRegistryData back(path);
  Check(back.OnApplicationOpen_ReadFromRegistry(subKey));
  Check(back.Names() == names);
  for (const QString &name : names) Check(back.GetValue(name) == store.GetValue(name));
  TIniFile written;
  Check(written.Load(path));
  for (const QString &s : ini.SectionNames())
    if (s != section) Check(SameValues(written.Section(s), ini.Section(s)));
  // Written a second time, nothing changes.
  QFile first(path);
  Check(first.open(QIODevice::ReadOnly));
  const QByteArray firstBytes = first.readAll();
  first.close();
  Check(back.OnApplicationClose_WriteToRegistry());
  QFile second(path);
  Check(second.open(QIODevice::ReadOnly));
  Check(second.readAll() == firstBytes);
  return 0;
}
