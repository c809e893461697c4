#include "vl09_MediaFoldersInfo.h"

#include "vl09_MediaInfo.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlSoundFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <cmath>

#include <fcntl.h>
#include <stdio.h>

namespace {

constexpr int kMaxNamesPerPattern = 10000;
constexpr qint64 kEnoughFreeBytes = 100000000;
constexpr double kFiveSecondsDays = 5.0 / SecsPerDay;

QString FileNameOf(const QString &PathOrName) {
  const qsizetype slash = PathOrName.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? PathOrName : PathOrName.mid(slash + 1);
}

// Digits only, at most Width of them; -1 otherwise.
int Digits(QStringView Text) {
  if (Text.isEmpty()) return -1;
  int value = 0;
  for (const QChar c : Text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
    value = value * 10 + (c.unicode() - '0');
  }
  return value;
}

QString Two(int Value) { return QString::number(Value).rightJustified(2, QLatin1Char('0')); }

TDateTime MonthStart(TDateTime DT) {
  const RDecodedDateTime d = DecodeDateTime(DT);
  return EncodeDate(d.Year, d.Month, 1);
}

TDateTime NextMonth(TDateTime MonthStartDT) {
  const RDecodedDateTime d = DecodeDateTime(MonthStartDT);
  return d.Month == 12 ? EncodeDate(d.Year + 1, 1, 1) : EncodeDate(d.Year, d.Month + 1, 1);
}

TDateTime PreviousMonth(TDateTime MonthStartDT) {
  const RDecodedDateTime d = DecodeDateTime(MonthStartDT);
  return d.Month == 1 ? EncodeDate(d.Year - 1, 12, 1) : EncodeDate(d.Year, d.Month - 1, 1);
}

QString WithSlash(const QString &Folder) {
  return Folder.endsWith(QLatin1Char('/')) ? Folder : Folder + QLatin1Char('/');
}

}  // namespace

QString RecordingStamp(TDateTime Start) {
  const RDecodedDateTime d = DecodeDateTime(Start);
  return QString::number(d.Year).rightJustified(4, QLatin1Char('0')) + QLatin1Char('-') +
         Two(d.Month) + QLatin1Char('-') + Two(d.Day) + QLatin1Char(' ') + Two(d.Hour) +
         QLatin1Char('.') + Two(d.Minute) + QLatin1Char(' ') + Two(d.Second) + QLatin1Char('.') +
         QString::number(d.MSec / 100);
}

QString RecordingMonthFolder(TDateTime Start) { return RecordingStamp(Start).left(7); }

QString RecordingRelativeName(TDateTime Start) {
  const QString stamp = RecordingStamp(Start);
  return stamp.left(7) + QLatin1Char('/') + stamp;
}

TDateTime RecordingStartFromName(const QString &PathOrName) {
  const QString name = FileNameOf(PathOrName);
  if (name.size() <= 20) return kInvalidRecordingStart;
  if (name[4] != QLatin1Char('-') || name[7] != QLatin1Char('-') || name[10] != QLatin1Char(' '))
    return kInvalidRecordingStart;
  // A digit where a separator belongs shifts the fields: "13.47 3636.5" is not 13:47:36.6. Such
  // a name would be listed at a moment its stamp does not say, and re-dating (which replaces the
  // stamp written for that moment) could never find the stamp in it.
  if (name[13].isDigit() || name[16].isDigit() || name[19].isDigit()) return kInvalidRecordingStart;
  const QStringView v(name);
  const int year = Digits(v.mid(0, 4)), month = Digits(v.mid(5, 2)), day = Digits(v.mid(8, 2));
  const int hour = Digits(v.mid(11, 2)), minute = Digits(v.mid(14, 2));
  const int second = Digits(v.mid(17, 2)), tenths = Digits(v.mid(20, 1));
  // Every field in range and the day real: an impossible stamp is not a recording's.
  if (year < 1900 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59 || tenths < 0)
    return kInvalidRecordingStart;
  if (!QDate::isValid(year, month, day)) return kInvalidRecordingStart;
  return EncodeDateTime(year, month, day, hour, minute, second, tenths * 100);
}

int RecordingLengthFromName(const QString &PathOrName) {
  const QString name = FileNameOf(PathOrName);
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QStringView base = QStringView(name).left(dot < 0 ? name.size() : dot);
  // The last group of digits in parentheses: a copy named "... (copy) (108).wav" still reads 108,
  // and the names this program writes have only one group.
  qsizetype close = base.lastIndexOf(QLatin1Char(')'));
  while (close > 0) {
    const qsizetype open = base.lastIndexOf(QLatin1Char('('), close);
    if (open < 0) return -1;
    const QStringView inner = base.mid(open + 1, close - open - 1);
    if (inner.size() <= 8) {
      const int value = Digits(inner);
      if (value >= 0 && value <= kMaxRecordingLengthSecs) return value;
    }
    close = open > 0 ? base.lastIndexOf(QLatin1Char(')'), open - 1) : -1;
  }
  return -1;
}

QString RecordingNameWithLength(const QString &Path, int Seconds) {
  const QFileInfo info(Path);
  const QString suffix = info.suffix();
  const QString base = suffix.isEmpty() ? Path : Path.left(Path.size() - suffix.size() - 1);
  return base + QStringLiteral(" (") + QString::number(Seconds) + QLatin1Char(')') +
         (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
}

bool RenameNoReplace(const QString &From, const QString &To) {
  if (From == To) return false;
    // renameat2 with RENAME_NOREPLACE refuses an existing target atomically; a file system that
    // cannot do that gets the check-then-rename of QFile::rename, which also refuses one.
#ifdef RENAME_NOREPLACE
  const QByteArray from = QFile::encodeName(From), to = QFile::encodeName(To);
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  return QFile::rename(From, To);
}

const QStringList &RecordingExtensions() {
  static const QStringList extensions{QStringLiteral("wav"), QStringLiteral("ogg"),
                                      QStringLiteral("wma")};
  return extensions;
}

std::vector<RRecordingEntry> ListRecordingsIn(const QString &Folder, const QString &DatePrefix) {
  std::vector<RRecordingEntry> result;
  QDir dir(Folder);
  if (!dir.exists()) return result;
  // One listing of the folder, filtered in memory; the name filter ignores case, so ".WAV" from
  // another system is found too.
  const QStringList names =
      dir.entryList({QStringLiteral("*.wav"), QStringLiteral("*.ogg"), QStringLiteral("*.wma")},
                    QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
  int perExtension[3] = {0, 0, 0};
  const QString folder = WithSlash(dir.path());
  for (const QString &name : names) {
    if (!DatePrefix.isEmpty() && !name.startsWith(DatePrefix)) continue;
    const QString ext = name.mid(name.lastIndexOf(QLatin1Char('.')) + 1).toLower();
    const qsizetype kind = RecordingExtensions().indexOf(ext);
    if (kind < 0 || ++perExtension[kind] > kMaxNamesPerPattern) continue;
    const TDateTime start = RecordingStartFromName(name);
    if (start == kInvalidRecordingStart) continue;
    result.push_back({folder + name, start, RecordingLengthFromName(name)});
  }
  std::sort(result.begin(), result.end(), [](const RRecordingEntry &a, const RRecordingEntry &b) {
    return a.Start != b.Start ? a.Start < b.Start : a.Path < b.Path;
  });
  return result;
}

int MeasureAndNameRecording(QString &Path) {
  const int named = RecordingLengthFromName(Path);
  if (named >= 0) return named;
  const std::int64_t msecs = SoundFileDurationMSecs(Path);
  // A file that cannot be read, a header with no samples, or less than a second of sound has no
  // length worth writing down ("(0)" would say the recording covers no moment at all).
  const int seconds = static_cast<int>(
      std::min<std::int64_t>(std::max<std::int64_t>(msecs, 0) / 1000, kMaxRecordingLengthSecs));
  if (seconds <= 0) return 0;
  const QString renamed = RecordingNameWithLength(Path, seconds);
  if (RenameNoReplace(Path, renamed)) {
    Path = renamed;
  } else {
    ErrorReportInDebug(
        QStringLiteral("Can't rename ") + Path +
        (QFile::exists(Path) ? QStringLiteral(" (exists)") : QStringLiteral(" ( doesn't exist)")) +
        QStringLiteral(" to ") + renamed +
        (QFile::exists(renamed) ? QStringLiteral(" (exists)")
                                : QStringLiteral(" ( doesn't exist)")));
  }
  return seconds;
}

// ---------------------------------------------------------------------------------------------
// Folders

void TvlMediaFoldersInfo::Initialize(const QString &DefaultFolder) {
  if (QDir(DefaultFolder).exists()) AddAudioFolder(DefaultFolder);
  FCurrentAudioFolderIndex = FindIndexOfBestOutputFolder();
}

void TvlMediaFoldersInfo::AddAudioFolder(const QString &Folder) {
  const QString withSlash = WithSlash(QDir::cleanPath(Folder));
  if (!FAudioFolders.contains(withSlash)) FAudioFolders.append(withSlash);
  if (FCurrentAudioFolderIndex < 0) FCurrentAudioFolderIndex = FindIndexOfBestOutputFolder();
}

QString TvlMediaFoldersInfo::AudioFolder() const {
  if (FCurrentAudioFolderIndex < 0 || FCurrentAudioFolderIndex >= FAudioFolders.size()) return {};
  return FAudioFolders[FCurrentAudioFolderIndex];
}

int TvlMediaFoldersInfo::FindIndexOfBestOutputFolder() const {
  int remembered = -1;
  for (int i = 0; i < FAudioFolders.size(); ++i) {
    const QString &folder = FAudioFolders[i];
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) continue;
    if (QStorageInfo(folder).bytesAvailable() > kEnoughFreeBytes) return i;
    remembered = i;
  }
  return remembered;
}

void TvlMediaFoldersInfo::SetRecordingInProgress(const QString &Path, TDateTime BeganAt) {
  FInProgressPath = Path.isEmpty() ? QString() : QFileInfo(Path).absoluteFilePath();
  FInProgressBeganAt = BeganAt;
}

bool TvlMediaFoldersInfo::IsRecordingInProgressFile(const QString &Path) const {
  return !FInProgressPath.isEmpty() && QFileInfo(Path).absoluteFilePath() == FInProgressPath;
}

// ---------------------------------------------------------------------------------------------
// Months

TDateTime TvlMediaFoldersInfo::FirstMonthWithDataDT() { return EncodeDate(2008, 12, 1); }

bool TvlMediaFoldersInfo::Month_LoadMonthsOf(TDateTime PlayDT, TDateTime RecDT, TDateTime VertDT) {
  FEntries.clear();
  FLoadedMonths.clear();
  FMaxSpanDays = 0;
  const TDateTime play = MonthStart(PlayDT), rec = MonthStart(RecDT), vert = MonthStart(VertDT);
  const TDateTime today = MonthStart(Now());
  FCurrentMonthDT = play;
  for (const TDateTime month : {std::min(play, rec), std::max(play, rec), vert, today})
    AddMonthFolder(month);
  SortEntries();
  return !FEntries.empty();
}

bool TvlMediaFoldersInfo::Month_AddMonthOf(TDateTime AnyDT) {
  // A month listed already costs a look-up only: views ask on every rebuild.
  if (AddMonthFolder(MonthStart(AnyDT))) SortEntries();
  return !FEntries.empty();
}

bool TvlMediaFoldersInfo::AddMonthFolder(TDateTime Month) {
  if (std::find(FLoadedMonths.begin(), FLoadedMonths.end(), Month) != FLoadedMonths.end())
    return false;
  FLoadedMonths.push_back(Month);
  const QString monthFolder = RecordingMonthFolder(Month);
  for (const QString &folder : FAudioFolders) {
    std::vector<RRecordingEntry> found = ListRecordingsIn(folder + monthFolder);
    for (RRecordingEntry &e : found) {
      FMaxSpanDays = std::max(FMaxSpanDays, e.SpanSecs() / SecsPerDay);
      FEntries.push_back(std::move(e));
    }
  }
  return true;
}

void TvlMediaFoldersInfo::SortEntries() {
  std::sort(FEntries.begin(), FEntries.end(),
            [](const RRecordingEntry &a, const RRecordingEntry &b) {
              return a.Start != b.Start ? a.Start < b.Start : a.Path < b.Path;
            });
}

void TvlMediaFoldersInfo::Month_Reload() {
  const std::vector<TDateTime> months = FLoadedMonths;
  const TDateTime current = FCurrentMonthDT;
  FEntries.clear();
  FLoadedMonths.clear();
  FMaxSpanDays = 0;
  for (const TDateTime m : months) AddMonthFolder(m);
  if (std::find(months.begin(), months.end(), current) == months.end()) AddMonthFolder(current);
  FCurrentMonthDT = current;
  SortEntries();
}

bool TvlMediaFoldersInfo::Month_LoadNext() {
  const TDateTime next = NextMonth(FCurrentMonthDT);
  // Only once that month has begun: nothing is recorded in the future.
  if (Now() < next) return false;
  FCurrentMonthDT = next;
  Month_LoadMonthsOf(next, next, next);
  return true;
}

bool TvlMediaFoldersInfo::Month_LoadPrevious() {
  if (FCurrentMonthDT <= FirstMonthWithDataDT()) return false;
  const TDateTime previous = PreviousMonth(FCurrentMonthDT);
  Month_LoadMonthsOf(previous, previous, previous);
  return true;
}

void TvlMediaFoldersInfo::LoadAllMonths() {
  FEntries.clear();
  FLoadedMonths.clear();
  FMaxSpanDays = 0;
  for (const QString &folder : FAudioFolders) {
    const QStringList months = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &m : months) {
      const TDateTime start = RecordingStartFromName(m + QStringLiteral("-01 00.00 00.0"));
      if (start == kInvalidRecordingStart || m.size() != 7) continue;
      AddMonthFolder(start);
    }
  }
  SortEntries();
}

// ---------------------------------------------------------------------------------------------
// The listing

TDateTime TvlMediaFoldersInfo::StartDateTime(int Index) const {
  if (Index < 0 || Index >= Count()) {
    ErrorReportInDebug(QString::asprintf("vlMFI.SDT(%d) High=%d", Index, Count() - 1));
    return 0;
  }
  return FEntries[Index].Start;
}

int TvlMediaFoldersInfo::DurationInSeconds(int Index) const {
  if (Index < 0 || Index >= Count()) {
    ErrorReportInDebug(QString::asprintf("vlMFI.DIS(%d) High=%d", Index, Count() - 1));
    return 0;
  }
  return FEntries[Index].SpanSecs();
}

TDateTime TvlMediaFoldersInfo::EndDateTime(int Index) const {
  if (Index < 0 || Index >= Count()) {
    ErrorReportInDebug(QString::asprintf("vlMFI.EDT(%d) High=%d", Index, Count() - 1));
    return 0;
  }
  return FEntries[Index].End();
}

bool TvlMediaFoldersInfo::FindClosestDateTimeAfter(TDateTime &InputAndOutputDT) const {
  const auto it =
      std::upper_bound(FEntries.begin(), FEntries.end(), InputAndOutputDT,
                       [](TDateTime t, const RRecordingEntry &e) { return t < e.Start; });
  if (it == FEntries.end()) return false;
  InputAndOutputDT = it->Start;
  return true;
}

bool TvlMediaFoldersInfo::FindClosestDateTimeBefore(TDateTime &InputAndOutputDT) const {
  const auto it =
      std::lower_bound(FEntries.begin(), FEntries.end(), InputAndOutputDT,
                       [](const RRecordingEntry &e, TDateTime t) { return e.Start < t; });
  if (it == FEntries.begin()) return false;
  InputAndOutputDT = std::prev(it)->Start;
  return true;
}

bool TvlMediaFoldersInfo::IterateMonth_GetAnotherTime(TDateTime &StartDT, TDateTime &EndDT) {
  if (FIteratorX < 0 || FIteratorX >= Count()) return false;
  StartDT = FEntries[FIteratorX].Start;
  EndDT = FEntries[FIteratorX].End();
  ++FIteratorX;
  return true;
}

int TvlMediaFoldersInfo::IndexCovering(TDateTime When) const {
  // The entries starting at or before When, latest first, back to where no span can reach.
  auto it = std::upper_bound(FEntries.begin(), FEntries.end(), When,
                             [](TDateTime t, const RRecordingEntry &e) { return t < e.Start; });
  while (it != FEntries.begin()) {
    --it;
    if (it->Start < When - FMaxSpanDays) break;
    if (When <= it->End()) return static_cast<int>(it - FEntries.begin());
  }
  return -1;
}

bool TvlMediaFoldersInfo::DeleteOneFileFromListing(TDateTime FromDT, int Duration) {
  int best = -1;
  double bestDistance = kFiveSecondsDays;
  for (int i = 0; i < Count(); ++i) {
    const RRecordingEntry &e = FEntries[i];
    if (std::abs(e.SpanSecs() - Duration) >= 2) continue;
    const double distance = std::abs(e.Start - FromDT);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
    }
  }
  if (best < 0) return false;
  FEntries.erase(FEntries.begin() + best);
  return true;
}

void TvlMediaFoldersInfo::ListFilesTouchedByTimePeriod(TDateTime Start, TDateTime Stop,
                                                       TvlMediaInfo &MediaInfo) {
  for (const RRecordingEntry &e : FEntries) {
    if (e.Start > Stop) break;
    if (e.End() < Start || IsRecordingInProgressFile(e.Path)) continue;
    if (MediaInfo.IsListed(e.Start, e.End())) continue;
    const int index = MediaInfo.CreateNewFileRecord(e.Start, e.End(), e.SpanSecs());
    MediaInfo.File(index).FetchVuReadingsFromFile(e.Path);
  }
}

// ---------------------------------------------------------------------------------------------
// Files touching a moment

std::vector<RRecordingEntry> TvlMediaFoldersInfo::RecordingsOfDayAndDayBefore(
    TDateTime When) const {
  std::vector<RRecordingEntry> result;
  const TDateTime day = DateOf(When);
  for (const TDateTime d : {day, day - 1}) {
    const QString stamp = RecordingStamp(d);
    for (const QString &folder : FAudioFolders) {
      std::vector<RRecordingEntry> found = ListRecordingsIn(folder + stamp.left(7), stamp.left(10));
      result.insert(result.end(), found.begin(), found.end());
    }
  }
  std::sort(result.begin(), result.end(), [](const RRecordingEntry &a, const RRecordingEntry &b) {
    return a.Start != b.Start ? a.Start < b.Start : a.Path < b.Path;
  });
  return result;
}

int TvlMediaFoldersInfo::LengthOf(QString &Path) {
  if (IsRecordingInProgressFile(Path))
    return static_cast<int>(
        std::max<std::int64_t>(0, MilliSecondsBetween(FInProgressBeganAt, Now())) / 1000);
  if (FMeasureOnly) {
    const int named = RecordingLengthFromName(Path);
    if (named >= 0) return named;
    const std::int64_t msecs = SoundFileDurationMSecs(Path);
    return msecs > 0
               ? static_cast<int>(std::min<std::int64_t>(msecs / 1000, kMaxRecordingLengthSecs))
               : 0;
  }
  return MeasureAndNameRecording(Path);
}

bool TvlMediaFoldersInfo::DoesDateTimeTouchFile(TDateTime When, double WithinSlushSec,
                                                const QString &Path) const {
  const TDateTime start = RecordingStartFromName(Path);
  if (start == kInvalidRecordingStart) return false;
  int length = RecordingLengthFromName(Path);
  if (IsRecordingInProgressFile(Path))
    length = static_cast<int>(MilliSecondsBetween(FInProgressBeganAt, Now()) / 1000);
  const double slush = WithinSlushSec / SecsPerDay;
  return start - slush <= When && When <= start + std::max(length, 0) / SecsPerDay + slush;
}

QStringList TvlMediaFoldersInfo::ListFilesTouchingTime(TDateTime When, double WithinSlushSec) {
  QStringList result;
  for (RRecordingEntry &e : RecordingsOfDayAndDayBefore(When)) {
    QString path = e.Path;
    LengthOf(path);
    if (DoesDateTimeTouchFile(When, WithinSlushSec, path)) result.append(path);
  }
  return result;
}

QStringList TvlMediaFoldersInfo::ListFilesTouchingTimeBest(TDateTime When, double WithinSlushSec) {
  const QStringList all = ListFilesTouchingTime(When, WithinSlushSec);
  QStringList exact;
  for (const QString &path : all)
    if (DoesDateTimeTouchFile(When, 0, path)) exact.append(path);
  return exact.isEmpty() ? all : exact;
}
