#include "vl09_MediaInfo.h"

#include "vl09_MediaFoldersInfo.h"
#include "vlClock.h"
#include "vlGlobals.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr std::size_t kGrowthRecords = 128000;

QString WithoutExtension(const QString &Path) {
  const QFileInfo info(Path);
  const QString suffix = info.suffix();
  // A stamp contains dots; only a known extension is cut.
  if (suffix.compare(QLatin1String("vu"), Qt::CaseInsensitive) == 0 ||
      RecordingExtensions().contains(suffix.toLower()))
    return Path.left(Path.size() - suffix.size() - 1);
  return Path;
}

// Length of a ".vu" without a length in its name: its last record's time.
int VuLengthSecs(const QString &VuPath) {
  const int named = RecordingLengthFromName(VuPath);
  if (named >= 0) return named;
  QFile f(VuPath);
  if (!f.open(QIODevice::ReadOnly) || f.size() < 8) return 0;
  f.seek((f.size() / 8 - 1) * 8);
  const QByteArray last = f.read(8);
  if (last.size() != 8) return 0;
  return std::max(0, qFromLittleEndian<qint32>(last.constData() + 4) / 1000);
}

}  // namespace

QString VuPathFor(const QString &RecordingPath) {
  return WithoutExtension(RecordingPath) + QStringLiteral(".vu");
}

bool ReadVuFile(const QString &Path, std::vector<TvuDatum> &Out) {
  Out.clear();
  QFile f(Path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  // Whole records only: a file cut off mid-write keeps everything before the cut.
  const qint64 records = f.size() / 8;
  Out.reserve(static_cast<std::size_t>(std::min<qint64>(records, 24LL * 3600 * 20)));
  char buffer[8 * 4096];
  for (;;) {
    const qint64 got = f.read(buffer, sizeof buffer);
    if (got <= 0) break;
    for (qint64 at = 0; at + 8 <= got; at += 8) {
      const std::int16_t peak = qFromLittleEndian<qint16>(buffer + at);
      const std::int16_t drift = qFromLittleEndian<qint16>(buffer + at + 2);
      const std::int32_t ms = qFromLittleEndian<qint32>(buffer + at + 4);
      if (ms < 0) continue;
      Out.push_back({static_cast<std::int16_t>(std::clamp<int>(peak, 0, 32767)), drift, ms});
    }
    if (got % 8 != 0) break;
  }
  return true;
}

std::vector<TvuDatum> PlaceholderReadings(int Seconds) {
  std::vector<TvuDatum> out;
  const int seconds = std::clamp(Seconds, 0, 86400);
  out.reserve(static_cast<std::size_t>(seconds + 1) * 8);
  for (int a = 0; a <= seconds; ++a)
    for (int i = 0; i < 8; ++i)
      out.push_back({static_cast<std::int16_t>(std::abs((a * 8 + i) % 32 - 16) * 30 + 300), 0,
                     a * 1000 + i * 125});
  return out;
}

QString FindVuFileFor(const QString &RecordingPath, bool ExactOrClose) {
  const QString exact = VuPathFor(RecordingPath);
  if (QFile::exists(exact)) return exact;
  const TDateTime T = RecordingStartFromName(RecordingPath);
  if (T == kInvalidRecordingStart) return {};
  const int D = std::max(0, RecordingLengthFromName(RecordingPath));
  const QFileInfo info(RecordingPath);
  const QString datePrefix = info.fileName().left(10);
  const QStringList names =
      QDir(info.path()).entryList({datePrefix + QStringLiteral("*.vu")}, QDir::Files, QDir::Name);
  const double tEnd = T + D / SecsPerDay;
  QString a, b;
  double bestRatio = 0, nearest = 1e9;
  for (const QString &name : names) {
    const QString path = info.path() + QLatin1Char('/') + name;
    const TDateTime S = RecordingStartFromName(name);
    if (S == kInvalidRecordingStart) continue;
    const double sEnd = S + VuLengthSecs(path) / SecsPerDay;
    const double overlap = std::min(tEnd, sEnd) - std::max(T, S);
    const double span = std::max(tEnd, sEnd) - std::min(T, S);
    const double ratio = span <= 0 ? 1.0 : std::max(0.0, overlap) / span;
    if (ratio > bestRatio) {
      bestRatio = ratio;
      a = path;
    }
    if (std::abs(S - T) < nearest) {
      nearest = std::abs(S - T);
      b = path;
    }
  }
  if (ExactOrClose) return bestRatio >= 0.9 ? a : QString();
  const double s = std::floor(nearest * SecsPerDay + 1e-6);
  if (!a.isEmpty() && a == b) return a;
  if (a.isEmpty()) return !b.isEmpty() && s <= 9 ? b : QString();
  if (b.isEmpty()) return a;
  if (D == 0) return s <= 9 ? b : QString();
  if (D <= 5) return a;
  if (D <= 9) return a;
  if (D <= 29) return bestRatio > 0.4 ? a : (s <= 9 ? b : QString());
  return bestRatio > 0.6 ? a : (s <= 10 ? b : QString());
}

// ---------------------------------------------------------------------------------------------

void TvlMediaInfo_PerFile::NewVUReading(TDateTime NewWhen, int NewPeak, std::int64_t FileMSecs) {
  const std::int64_t ms = std::max<std::int64_t>(0, MilliSecondsBetween(StartDT, NewWhen));
  NumSeconds = static_cast<int>(ms / 1000);
  EndDT = NewWhen;
  // Beyond what the record holds the drift saturates, which the mapping reads as "not known".
  const std::int64_t drift =
      FileMSecs < 0 ? 0 : std::clamp<std::int64_t>(FileMSecs - ms, -32768, 32767);
  if (VU.size() == VU.capacity()) VU.reserve(VU.size() + kGrowthRecords);
  VU.push_back({static_cast<std::int16_t>(std::clamp(NewPeak, 0, 32767)),
                static_cast<std::int16_t>(drift),
                static_cast<std::int32_t>(std::min<std::int64_t>(ms, INT32_MAX))});
}

void TvlMediaInfo_PerFile::FetchVuReadingsFromFile(const QString &RecordingPath) {
  const QString vu = FindVuFileFor(RecordingPath);
  if (vu.isEmpty() || !ReadVuFile(vu, VU)) VU = PlaceholderReadings(NumSeconds);
  VUToWrite = VU.size();
}

bool TvlMediaInfo_PerFile::OnIdleOrClose_FlushToFile(QFile &File) {
  if (VUToWrite >= VU.size() || !File.isOpen()) return true;
  QByteArray bytes;
  bytes.resize(static_cast<qsizetype>((VU.size() - VUToWrite) * 8));
  char *out = bytes.data();
  for (std::size_t i = VUToWrite; i < VU.size(); ++i, out += 8) {
    qToLittleEndian<qint16>(VU[i].Peak, out);
    qToLittleEndian<qint16>(VU[i].Drift, out + 2);
    qToLittleEndian<qint32>(VU[i].MS, out + 4);
  }
  if (File.write(bytes) != bytes.size() || !File.flush()) return false;
  VUToWrite = VU.size();
  return true;
}

void TvlMediaInfo_PerFile::SendVuReadingsToVisualizationObject(TvlVisualizationTarget &Target,
                                                               TDateTime TillDT) {
  for (const TvuDatum &d : VU) {
    const TDateTime when = IncMilliSecond(StartDT, d.MS);
    if (when > TillDT) break;
    Target.NewVisualizationDatum(when, d.Peak);
  }
  Visualized = true;
}

void TvlMediaInfo_PerFile::ClearVU() {
  VU.clear();
  VU.shrink_to_fit();
  VUToWrite = 0;
  Visualized = false;
}

// ---------------------------------------------------------------------------------------------

TvlMediaInfo::TvlMediaInfo() { FFiles.resize(1); }

void TvlMediaInfo::RecordingJustStarted_CreateNewCurrentFile(const QString &PathNameNoExtension,
                                                             TDateTime StartedAt) {
  // A ".vu" still open belongs to a recording whose end never arrived: keep its readings.
  if (FVuFile.isOpen()) RecordingJustTerminated_CloseCurrentFile(QString(), QString());
  FCurrentX = 0;
  FFiles[0] = TvlMediaInfo_PerFile();
  FFiles[0].StartDT = StartedAt;
  FOutOfMemory = false;
  FVuFile.setFileName(PathNameNoExtension + QStringLiteral(".vu"));
  if (!FVuFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
    ErrorReportInDebug(QStringLiteral("Cannot create level file ") + FVuFile.fileName() +
                       QStringLiteral(": ") + FVuFile.errorString());
}

void TvlMediaInfo::Recording_AddNewVisualizationDatum(TDateTime When, int Value,
                                                      std::int64_t FileMSecs) {
  if (FCurrentX != 0 || FOutOfMemory) return;
  try {
    FFiles[0].NewVUReading(When, Value, FileMSecs);
  } catch (const std::bad_alloc &) {
    FOutOfMemory = true;
    ErrorReportInDebug(QStringLiteral("NewVuR OOM"));
    return;
  }
  if (FTarget) FTarget->NewVisualizationDatum(When, std::clamp(Value, 0, 32767));
}

void TvlMediaInfo::OnIdle_WriteVuToFileIfRecording() {
  if (FCurrentX == 0 && FVuFile.isOpen() && !FFiles[0].OnIdleOrClose_FlushToFile(FVuFile))
    TraceWrite(QStringLiteral("Level file write failed: ") + FVuFile.fileName());
}

void TvlMediaInfo::RecordingJustTerminated_CloseCurrentFile(const QString &OldPathName,
                                                            const QString &NewPathName) {
  Q_UNUSED(OldPathName);
  const QString vuPath = FVuFile.fileName();
  if (FVuFile.isOpen()) {
    if (FCurrentX == 0) FFiles[0].OnIdleOrClose_FlushToFile(FVuFile);
    FVuFile.close();
  }
  if (FCurrentX == 0) {
    TvlMediaInfo_PerFile moved = std::move(FFiles[0]);
    FFiles[0] = TvlMediaInfo_PerFile();
    moved.EndDT = Now();
    moved.NumSeconds = static_cast<int>(
        std::max<std::int64_t>(0, MilliSecondsBetween(moved.StartDT, moved.EndDT)) / 1000);
    moved.Visualized = false;
    FFiles.push_back(std::move(moved));
  }
  FCurrentX = -1;
  if (!NewPathName.isEmpty() && !vuPath.isEmpty()) {
    const QString target = VuPathFor(NewPathName);
    if (target != vuPath && !RenameNoReplace(vuPath, target))
      ErrorReportInDebug(QStringLiteral("Could not rename file from \"") + vuPath +
                         QStringLiteral("\" to \"") + target + QStringLiteral("\""));
  }
}

int TvlMediaInfo::CreateNewFileRecord(TDateTime FromDT, TDateTime ToDT, int Duration) {
  TvlMediaInfo_PerFile f;
  f.StartDT = FromDT;
  f.EndDT = ToDT;
  f.NumSeconds = Duration;
  FFiles.push_back(std::move(f));
  return FilesCount() - 1;
}

bool TvlMediaInfo::IsListed(TDateTime FromDT, TDateTime ToDT) const {
  for (int i = 1; i < FilesCount(); ++i)
    if (std::abs(FFiles[i].StartDT - FromDT) * SecsPerDay <= 1 &&
        std::abs(FFiles[i].EndDT - ToDT) * SecsPerDay <= 2)
      return true;
  return false;
}

void TvlMediaInfo::Clear() {
  if (FVuFile.isOpen()) FVuFile.close();
  FFiles.clear();
  FFiles.resize(1);
  FCurrentX = -1;
}

void TvlMediaInfo::ClearExceptCurrentX() { FFiles.resize(1); }

bool TvlMediaInfo::DeleteOneFileFromListing(TDateTime FromDT, int Duration) {
  bool any = false;
  for (int i = 1; i < FilesCount(); ++i) {
    TvlMediaInfo_PerFile &f = FFiles[i];
    if (std::abs(f.StartDT - FromDT) * SecsPerDay < 5 && std::abs(f.NumSeconds - Duration) < 3) {
      f.ClearVU();
      any = true;
    }
  }
  return any;
}

void TvlMediaInfo::InvalidateVisualization(TDateTime InvalidateFromDT, TDateTime InvalidateToDT) {
  for (TvlMediaInfo_PerFile &f : FFiles)
    if (f.StartDT <= InvalidateToDT && f.EndDT >= InvalidateFromDT) f.InvalidateVisualization();
}

void TvlMediaInfo::SendHistoricalVisualizationData(TDateTime FromDT, TDateTime TillDT) {
  if (!FTarget) return;
  const TDateTime till = std::min(TillDT, Now());
  for (int i = 1; i < FilesCount(); ++i) {
    TvlMediaInfo_PerFile &f = FFiles[i];
    if (f.Visualized || f.EndDT < FromDT || f.StartDT > till) continue;
    f.SendVuReadingsToVisualizationObject(*FTarget, till);
  }
}

// ---------------------------------------------------------------------------------------------

RRedateResult RedateRecording(
    const QString &Path, TDateTime NewStart, bool IsInProgress,
    const std::function<void(TDateTime From, TDateTime To, double Shift)> &MoveEvents,
    const TRenameFunction &Rename) {
  const TRenameFunction rename = Rename ? Rename : TRenameFunction(RenameNoReplace);
  RRedateResult r;
  const QFileInfo info(Path);
  const TDateTime oldStart = RecordingStartFromName(Path);
  if (IsInProgress) {
    r.Message = QStringLiteral("The recording in progress cannot be re-dated.");
    return r;
  }
  if (oldStart == kInvalidRecordingStart || !info.isFile()) {
    r.Message = QStringLiteral("The recording does not exist: ") + Path;
    return r;
  }
  const QString oldStamp = RecordingStamp(oldStart), newStamp = RecordingStamp(NewStart);
  if (oldStamp == newStamp) {
    r.Message = QStringLiteral("The recording already starts then.");
    return r;
  }
  const QString vu = FindVuFileFor(Path, true);
  // The month folder of the new start, beside the old month folder, made before any rename so
  // that each file moves once, straight to its final place.
  QDir monthDir(info.path());
  monthDir.cdUp();
  const QString newFolder = monthDir.path() + QLatin1Char('/') + RecordingMonthFolder(NewStart);
  if (!QDir().mkpath(newFolder)) {
    r.Message = QStringLiteral("Cannot create the folder ") + newFolder;
    return r;
  }
  auto newNameOf = [&](const QString &File) {
    QString name = QFileInfo(File).fileName();
    name.replace(oldStamp, newStamp, Qt::CaseInsensitive);
    return newFolder + QLatin1Char('/') + name;
  };
  r.NewPath = newNameOf(Path);
  r.NewVuPath = vu.isEmpty() ? QString() : newNameOf(vu);
  if (QFile::exists(r.NewPath) || (!vu.isEmpty() && QFile::exists(r.NewVuPath))) {
    r.Message = QStringLiteral("A recording of that name exists already: ") + r.NewPath;
    return r;
  }
  if (!rename(Path, r.NewPath)) {
    r.Message = QStringLiteral("Could not rename ") + Path;
    return r;
  }
  if (!vu.isEmpty() && !rename(vu, r.NewVuPath)) {
    // Put the recording back where its listing finds it, with its level file.
    if (!RenameNoReplace(r.NewPath, Path))
      ErrorReport(false, QStringLiteral("Re-dating failed and could not be undone: \"") +
                             r.NewPath + QStringLiteral("\" keeps its new name"));
    r.Message = QStringLiteral("Could not rename the level file ") + vu;
    return r;
  }
  if (MoveEvents) {
    const int length = std::max(0, RecordingLengthFromName(Path));
    MoveEvents(oldStart - 1 / SecsPerDay, oldStart + (length + 1) / SecsPerDay,
               NewStart - oldStart);
  }
  r.Done = true;
  return r;
}

namespace {

// QFile::moveToTrash (Qt 6.4) cannot tell a missing home trash from the working folder: when it
// cannot set up "$XDG_DATA_HOME/Trash" it moves the file into "files/" under the working folder
// and answers success. So the home trash is made first (a trash on another file system falls back
// to it), and a file that still lands outside a trash is put back where it was.
bool MoveFileToTrash(const QString &Path, QString &Error) {
  const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  const QString trash = dataHome + QStringLiteral("/Trash");
  if (dataHome.isEmpty() || !QDir().mkpath(trash) || !QFileInfo(trash).isDir()) {
    Error = QStringLiteral("no usable trash folder ") + trash;
    return false;
  }
  QFile file(Path);
  if (!file.moveToTrash()) {
    Error = file.errorString();
    return false;
  }
  const QFileInfo landed(file.fileName());
  if (landed.isAbsolute()) return true;
  const QString strayInfo = landed.absoluteDir().absoluteFilePath(
      QStringLiteral("../info/") + landed.fileName() + QStringLiteral(".trashinfo"));
  if (RenameNoReplace(landed.absoluteFilePath(), Path)) {
    QFile::remove(strayInfo);
  } else {
    ErrorReport(false, QStringLiteral("A file meant for the trash could not be put back: \"") +
                           Path + QStringLiteral("\" is now \"") + landed.absoluteFilePath() +
                           QLatin1Char('"'));
  }
  Error = QStringLiteral("the trash could not be used");
  return false;
}

}  // namespace

bool TrashRecording(const QString &Path, bool IsInProgress, QString &Message) {
  if (IsInProgress) {
    Message = QStringLiteral("The recording in progress cannot be deleted.");
    return false;
  }
  const QString vu = FindVuFileFor(Path, true);
  QString error;
  if (!MoveFileToTrash(Path, error)) {
    Message = QStringLiteral("Can't delete audio file \"") + Path + QStringLiteral("\"");
    ErrorReportInDebug(QStringLiteral("Trash failed: ") + error + QStringLiteral(". ") + Message);
    return false;
  }
  if (!vu.isEmpty() && !MoveFileToTrash(vu, error)) {
    Message = QStringLiteral("Can't delete audio VU file \"") + vu + QStringLiteral("\"");
    ErrorReportInDebug(QStringLiteral("Trash failed: ") + error + QStringLiteral(". ") + Message);
  }
  return true;
}

QString DeleteRecordingQuestion(TDateTime Start, int LengthSecs) {
  static const char *const kWeekdays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  const RDecodedDateTime d = DecodeDateTime(Start);
  const QDate date(d.Year, d.Month, d.Day);
  const int hour12 = d.Hour % 12 == 0 ? 12 : d.Hour % 12;
  const QString minute = QString::number(d.Minute).rightJustified(2, QLatin1Char('0'));
  const int length = std::max(0, LengthSecs);
  return QStringLiteral("Selected Recording:\n\n    Date:  \t") +
         QLocale::system().toString(date, QLocale::ShortFormat) + QStringLiteral("     ( ") +
         QString::fromLatin1(kWeekdays[DayOfWeek(Start) - 1]) + QStringLiteral(" )\n") +
         QStringLiteral("    Start: \t") +
         QString::asprintf("%2d:%2s %s", hour12, qPrintable(minute), d.Hour < 12 ? "AM" : "PM")
             .trimmed() +
         QStringLiteral("\n    Length:\t") +
         QString::asprintf("%d hours, %d minutes and %d seconds.", length / 3600, length / 60 % 60,
                           length % 60) +
         QStringLiteral("\n\nAre you sure you want to delete this audio recording?");
}
