// Takes arbitrary bytes as the names of files in a month folder of recordings (one name a line),
// as a user's copies, syncs and renames leave them. A name whose stamp parses must give the same
// stamp back, its length must survive being written into a name, and the listing must hold
// exactly the recordings whose names parse, sorted by start, each with the start and length its
// name says. Any crash, leak, undefined behaviour or broken check is a finding.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vlClock.h"
#include "vlDateTime.h"
#include "vlFuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

void CheckName(const QString &Name) {
  const TDateTime start = RecordingStartFromName(Name);
  if (start != kInvalidRecordingStart) {
    Check(start >= 0);
    // Every field of the stamp is read where it stands: written again, the fields are the same
    // (the separators between them may differ in a name a user typed).
    const QString stamp = RecordingStamp(start);
    Check(stamp.size() == 21);
    const QString fileName = Name.mid(Name.lastIndexOf(QLatin1Char('/')) + 1);
    for (int i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18, 20})
      Check(stamp[i] == fileName[i]);
    Check(RecordingStartFromName(RecordingStamp(start)) == start);
    Check(RecordingMonthFolder(start) == fileName.left(7));
  }
  const int length = RecordingLengthFromName(Name);
  Check(length >= -1 && length <= kMaxRecordingLengthSecs);
  // A length goes into the names of recordings and their level files only.
  const QString suffix = QFileInfo(Name).suffix().toLower();
  if (!RecordingExtensions().contains(suffix) && suffix != QLatin1String("vu")) return;
  for (int seconds : {0, 108, kMaxRecordingLengthSecs}) {
    const QString named = RecordingNameWithLength(Name, seconds);
    Check(RecordingLengthFromName(named) == seconds);
    Check(RecordingStartFromName(named) == start);
  }
  (void)VuPathFor(Name);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InstallFuzzEnvironment();
  static TManualClock clock(EncodeDateTime(2009, 9, 4, 12, 0, 0, 0));
  SetClock(&clock);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char *>(Data), qsizetype(Size));
  QTemporaryDir scratch;
  if (!scratch.isValid()) return SkipInput("making a scratch folder");
  const QString month = scratch.path() + QStringLiteral("/2009-09");
  if (!QDir().mkpath(month)) return SkipInput("making a month folder");

  int made = 0;
  for (const QString &line : text.split(QLatin1Char('\n'))) {
    CheckName(line);
    if (made >= 12) continue;
    // Only names a file system takes become files.
    if (line.isEmpty() || line == QLatin1String(".") || line == QLatin1String("..") ||
        line.contains(QLatin1Char('/')) || line.contains(QChar(0)) || line.toUtf8().size() > 200)
      continue;
    QFile f(month + QLatin1Char('/') + line);
    if (f.exists() || !f.open(QIODevice::WriteOnly)) continue;
    f.write("RIFF");
    ++made;
  }

  const std::vector<RRecordingEntry> listed = ListRecordingsIn(month);
  int parsing = 0;
  for (const QString &name : QDir(month).entryList(QDir::Files | QDir::Hidden | QDir::System)) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (RecordingExtensions().contains(suffix) &&
        RecordingStartFromName(name) != kInvalidRecordingStart)
      ++parsing;
  }
  Check(int(listed.size()) == parsing);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const RRecordingEntry &e = listed[i];
    Check(e.Start == RecordingStartFromName(e.Path));
    Check(e.LengthSecs == RecordingLengthFromName(e.Path));
    Check(e.End() > e.Start);
    if (i > 0) Check(listed[i - 1].Start <= e.Start);
    const QString vu = FindVuFileFor(e.Path);
    Check(vu.isEmpty() || vu.endsWith(QLatin1String(".vu")));
  }

  // The catalogue over the folder: every listed recording is found by a moment inside it.
  TvlMediaFoldersInfo folders;
  folders.SetMeasureOnly(true);
  folders.AddAudioFolder(scratch.path());
  folders.LoadAllMonths();
  for (int i = 0; i < folders.Count(); ++i) {
    const RRecordingEntry &e = folders.Entries()[std::size_t(i)];
    const int covering = folders.IndexCovering(e.Start);
    Check(covering >= 0 && covering < folders.Count());
    const RRecordingEntry &c = folders.Entries()[std::size_t(covering)];
    Check(c.Start <= e.Start && e.Start <= c.End());
  }
  return 0;
}
