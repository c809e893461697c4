// Reads arbitrary bytes as a recording's ".vu" level file into the catalogue, as the tracks ask
// for a recording's readings. The first byte chooses whether the file has the recording's exact
// name or only a neighbour's of the same day (then it is found by its overlap or nearness).
// Every reading taken must be a whole record with a peak of 0..32767 and a time from 0 on, the
// readings must be exactly the file's usable records, the visualisation must get each reading at
// a moment within the span asked for, and readings written out again must read back the same.
// The same readings are then recorded as the recording in progress would be: its level file
// must read back as exactly what the catalogue holds. Any crash, leak, undefined behaviour or
// broken check is a finding.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vlClock.h"
#include "vlDateTime.h"
#include "vlFuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

TManualClock *TheClock = nullptr;

class TCheckingTarget final : public TvlVisualizationTarget {
 public:
  TDateTime From = 0, Till = 0;
  std::size_t Count = 0;
  void NewVisualizationDatum(TDateTime When, int Peak) override {
    Check(Peak >= 0 && Peak <= 32767);
    Check(When >= From && When <= Till);
    ++Count;
  }
};

void Write(const QString &Path, const QByteArray &Bytes) {
  QFile f(Path);
  Check(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  Check(f.write(Bytes) == Bytes.size());
}

bool Same(const std::vector<TvuDatum> &A, const std::vector<TvuDatum> &B) {
  if (A.size() != B.size()) return false;
  for (std::size_t i = 0; i < A.size(); ++i)
    if (A[i].Peak != B[i].Peak || A[i].Drift != B[i].Drift || A[i].MS != B[i].MS) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InstallFuzzEnvironment();
  static TManualClock clock(EncodeDateTime(2009, 9, 4, 12, 0, 0, 0));
  TheClock = &clock;
  SetClock(&clock);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  if (Size < 1) return 0;
  const bool exactName = Data[0] % 2 == 0;
  const QByteArray bytes(reinterpret_cast<const char *>(Data + 1), qsizetype(Size - 1));
  QTemporaryDir scratch;
  if (!scratch.isValid()) return SkipInput("making a scratch folder");
  const QString month = scratch.path() + QStringLiteral("/2009-09");
  if (!QDir().mkpath(month)) return SkipInput("making a month folder");
  const QString recording = month + QStringLiteral("/2009-09-03 13.47 36.5 (108).wav");
  const QString vuName = exactName ? QStringLiteral("2009-09-03 13.47 36.5 (108).vu")
                                   : QStringLiteral("2009-09-03 13.47 38.0.vu");
  Write(month + QLatin1Char('/') + vuName, bytes);

  // What the file holds, read independently of the catalogue.
  std::vector<TvuDatum> expected;
  for (qsizetype at = 0; at + 8 <= bytes.size(); at += 8) {
    const std::int16_t peak = qFromLittleEndian<qint16>(bytes.constData() + at);
    const std::int16_t drift = qFromLittleEndian<qint16>(bytes.constData() + at + 2);
    const std::int32_t ms = qFromLittleEndian<qint32>(bytes.constData() + at + 4);
    if (ms >= 0) expected.push_back({std::int16_t(peak < 0 ? 0 : peak), drift, ms});
  }

  const TDateTime start = RecordingStartFromName(recording);
  Check(start != kInvalidRecordingStart);
  TvlMediaInfo catalogue;
  TCheckingTarget target;
  catalogue.SetVisualizationTarget(&target);
  const int index = catalogue.CreateNewFileRecord(start, IncMilliSecond(start, 108000), 108);
  TvlMediaInfo_PerFile &file = catalogue.File(index);
  file.FetchVuReadingsFromFile(recording);
  const QString found = FindVuFileFor(recording);
  if (exactName || !found.isEmpty()) {
    // The file was taken: exactly its usable records.
    Check(found.endsWith(vuName));
    Check(Same(file.VU, expected));
  } else {
    Check(Same(file.VU, PlaceholderReadings(108)));
  }

  target.From = start;
  target.Till = TheClock->Now();
  catalogue.SendHistoricalVisualizationData(start, target.Till);
  Check(file.Visualized);

  // Written out and read back unchanged.
  const QString copy = scratch.path() + QStringLiteral("/copy.vu");
  {
    QFile out(copy);
    Check(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.VUToWrite = 0;
    Check(file.OnIdleOrClose_FlushToFile(out));
  }
  std::vector<TvuDatum> back;
  Check(ReadVuFile(copy, back));
  Check(Same(back, file.VU));

  // The same readings arriving while recording, with a flush now and then.
  TvlMediaInfo recorder;
  recorder.SetVisualizationTarget(&target);
  const QString growing = month + QStringLiteral("/2009-09-04 11.00 00.0");
  const TDateTime began = RecordingStartFromName(growing);
  target.From = began;
  target.Till = 1e9;
  recorder.RecordingJustStarted_CreateNewCurrentFile(growing, began);
  Check(recorder.IsGrowingVu());
  std::size_t n = 0;
  for (const TvuDatum &d : expected) {
    recorder.Recording_AddNewVisualizationDatum(IncMilliSecond(began, d.MS), d.Peak);
    if (++n % 97 == 0) recorder.OnIdle_WriteVuToFileIfRecording();
  }
  TheClock->Set(IncMilliSecond(began, 5000));
  recorder.RecordingJustTerminated_CloseCurrentFile(growing, growing + QStringLiteral(" (5).wav"));
  TheClock->Set(EncodeDateTime(2009, 9, 4, 12, 0, 0, 0));
  const TvlMediaInfo_PerFile &recorded = recorder.File(recorder.FilesCount() - 1);
  Check(recorded.VU.size() == expected.size());
  std::vector<TvuDatum> written;
  Check(ReadVuFile(growing + QStringLiteral(" (5).vu"), written));
  Check(Same(written, recorded.VU));
  return 0;
}
