// A recording's moments on the simulated machine, whose capture streams start late, deliver with a
// latency and may run on a clock a little fast or slow: the file begins exactly on its name's
// stamp, every click lies in the file where the catalogue maps the moment it was captured (while
// recording, after the stop, and after three hours of a drifting clock), and the mapping of moment
// to file position falls back to linear where a recording carries no usable clock record.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyActiveSound.h"
#include "vlAudioTestSupport.h"
#include "vlRecordingClock.h"
#include "vlSoundFile.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace {

constexpr int kRate = 8000;

struct TMediaEvents final : TActiveSoundEvents {
  TvlMediaInfo Media;
  TActiveSoundFm *Fm = nullptr;
  QString PathNoExtension;
  QString Final;
  void Recording_StartedEvent() override {
    Media.RecordingJustStarted_CreateNewCurrentFile(PathNoExtension,
                                                    Fm->GetCurrentRecordingBeganAt());
  }
  void Recording_StoppedEvent(const QString &Old, const QString &New) override {
    Media.RecordingJustTerminated_CloseCurrentFile(Old, New);
    Final = New;
  }
  void OnVuChange_Recorder(int L, int R, TDateTime When, std::int64_t FileMSecs) override {
    Media.Recording_AddNewVisualizationDatum(When, (L + R) / 2, FileMSecs);
    Media.OnIdle_WriteVuToFileIfRecording();
  }
};

// 30 ms clicks at the given device frames, silence elsewhere.
TSimGenerator ClickGenerator(std::vector<std::int64_t> AtFrames) {
  return [AtFrames = std::move(AtFrames)](std::int64_t First, std::int16_t *Out, std::size_t Frames,
                                          int Rate, int Channels) {
    for (std::size_t i = 0; i < Frames; ++i) {
      const std::int64_t frame = First + std::int64_t(i);
      std::int16_t s = 0;
      for (const std::int64_t at : AtFrames)
        if (frame >= at && frame < at + Rate * 3 / 100) s = (frame - at) % 8 < 4 ? 20000 : -20000;
      for (int c = 0; c < Channels; ++c) Out[i * std::size_t(Channels) + std::size_t(c)] = s;
    }
  };
}

struct TMomentsRig : TSimMachine {
  TFreshFolder Folder;
  TvlMediaFoldersInfo Folders;
  TMediaEvents Events;
  std::unique_ptr<TActiveSoundFm> Fm;
  TDateTime Opened = 0;

  explicit TMomentsRig(const QString &WavMode = QStringLiteral("PCM 16 bit"), bool Spool = true) {
    Folders.AddAudioFolder(Folder.File(QStringLiteral("Audio/")));
    Fm = std::make_unique<TActiveSoundFm>(Sim, Folders);
    // Without a spool (its folder cannot be made under a file) the recording in progress cannot
    // be played, and three hours of it do not fill the disk.
    if (!Spool) {
      QFile blocker(Folder.File(QStringLiteral("blocker")));
      EXPECT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    Fm->SetSpoolFolder(Spool ? Folder.File(QStringLiteral("spool"))
                             : Folder.File(QStringLiteral("blocker/spool")));
    Events.Fm = Fm.get();
    Fm->SetEvents(&Events);
    EXPECT_TRUE(Fm->AudioComponents_Initialize(isPlayer));
    EXPECT_TRUE(Fm->AudioComponents_Initialize(isRecorder));
    EXPECT_TRUE(Fm->AudioComponents_Initialize(isMisc));
    DeliverEvents();
    RAudioRecordSettings settings;
    settings.SamplingRate = kRate;
    settings.EncodingFor.insert(QStringLiteral("wav"), WavMode);
    Fm->SetSettings(settings);
  }
  // Frame of the stream whose sound was captured WallMSecs after the stream opened.
  static std::int64_t FrameAt(double WallMSecs, int StartMSecs, int PartsPerMillion) {
    return std::llround((WallMSecs - StartMSecs) * kRate * (1 + PartsPerMillion / 1e6) / 1000);
  }
  TOleEnum Start() {
    Events.PathNoExtension =
        Folders.AudioFolder() +
        RecordingRelativeName(Fm->GetCurrentRecordingBeganAt_AfterSettingItToNow());
    QDir().mkpath(QFileInfo(Events.PathNoExtension).path());
    Opened = Clock.Now();
    return Fm->StartRecordingTo(Events.PathNoExtension);
  }
  // The place the controller plays from for Moment.
  int PlaceOf(TDateTime Moment) {
    QString path;
    TDateTime began = 0;
    int into = -1, duration = 0;
    EXPECT_TRUE(Fm->LoadAudioFileAndGetParametersFor(Moment, 0, path, began, into, duration));
    return into;
  }
};

// Milliseconds of the clicks in the file from FromMSecs on, read from there only.
std::vector<double> ClicksInFile(const QString &Path, double FromMSecs) {
  std::unique_ptr<TFileSource> file;
  if (TFileSource::Open(Path, file) != NOERROR) return {};
  const auto from = static_cast<std::int64_t>(FromMSecs * kRate / 1000);
  file->Seek(from);
  std::vector<std::int16_t> samples(static_cast<std::size_t>(file->Frames() - from));
  samples.resize(file->Read(samples.data(), samples.size()));
  std::vector<double> clicks = FindBursts(samples, kRate, 10000);
  for (double &c : clicks) c += FromMSecs;
  return clicks;
}

TEST(RecordingMoments, TheFileBeginsOnItsStamp_AndEveryClickMapsToTheMomentItWasCaptured) {
  struct RRow {
    int StartMSec;         // of the second Record is chosen in
    int DeviceStartMSecs;  // the device's first frame after the stream opens
    int LatencyMSecs;
    int ExpectedStampMSec;  // the name's tenths, as milliseconds
  };
  const RRow rows[] = {
      {399, 0, 0, 300},      // 99 ms of silence and nothing else
      {399, 1650, 30, 300},  // a device that wakes slowly: its time is silence in the file
      {0, 40, 200, 0},       // a long capture latency
      {950, 6000, 20, 900},  // too slow to pad: the file begins at the tenth before its sound
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(testing::Message() << "start ." << row.StartMSec << " device start "
                                    << row.DeviceStartMSecs << " latency " << row.LatencyMSecs);
    TMomentsRig rig;
    rig.Clock.Set(EncodeDateTime(2009, 9, 3, 13, 47, 36, row.StartMSec));
    rig.Sim->SetCaptureTiming(row.DeviceStartMSecs, row.LatencyMSecs, 0);
    // Clicks captured 2.5 s, 4 s and 5.3 s after Record, as the wall clock tells.
    const std::vector<int> clickMSecs = {row.DeviceStartMSecs + 2500, row.DeviceStartMSecs + 4000,
                                         row.DeviceStartMSecs + 5300};
    std::vector<std::int64_t> frames;
    for (const int ms : clickMSecs)
      frames.push_back(TMomentsRig::FrameAt(ms, row.DeviceStartMSecs, 0));
    rig.Sim->SetSourceGenerator(QStringLiteral("alsa_input.pci"), ClickGenerator(frames));
    ASSERT_EQ(rig.Start(), NOERROR);
    rig.Run(row.DeviceStartMSecs + 7000);
    const TDateTime begins = rig.Fm->GetCurrentRecordingBeganAt();
    EXPECT_EQ(MilliSecondsBetween(
                  EncodeDateTime(2009, 9, 3, 13, 47, row.DeviceStartMSecs > 5000 ? 42 : 36,
                                 row.ExpectedStampMSec),
                  begins),
              0);
    // Text typed 200 ms after Record maps into the recording, unless the device took so long
    // that the file begins later.
    if (row.DeviceStartMSecs <= 5000) {
      EXPECT_EQ(rig.PlaceOf(IncMilliSecond(rig.Opened, 200)), 200 + row.StartMSec % 100);
    }
    std::vector<int> whileRecording;
    for (const int ms : clickMSecs)
      whileRecording.push_back(rig.PlaceOf(IncMilliSecond(rig.Opened, ms)));
    rig.Fm->ClosePlaybackFile();
    rig.Fm->StopRecording();
    DeliverEvents();
    ASSERT_FALSE(rig.Events.Final.isEmpty());
    // The name reads back the file's first frame exactly.
    EXPECT_EQ(MilliSecondsBetween(RecordingStartFromName(rig.Events.Final), begins), 0);
    const std::vector<double> clicks = ClicksInFile(rig.Events.Final, 0);
    ASSERT_EQ(clicks.size(), clickMSecs.size());
    for (std::size_t k = 0; k < clicks.size(); ++k) {
      SCOPED_TRACE(k);
      const TDateTime moment = IncMilliSecond(rig.Opened, clickMSecs[k]);
      // Where the click lies: from the file's stamp, to the millisecond.
      EXPECT_NEAR(clicks[k], (moment - begins) * MSecsPerDay, 1.5);
      EXPECT_NEAR(whileRecording[k], clicks[k], 1.5);
      EXPECT_NEAR(rig.PlaceOf(moment), clicks[k], 1.5);
    }
  }
}

TEST(RecordingMoments, ThreeHoursOnADeviceClock01PercentOff_AClickNearTheEndMapsWithin20ms) {
  constexpr std::int64_t kLength = 3LL * 3600 * 1000;
  for (const int ppm : {1000, -1000}) {
    SCOPED_TRACE(ppm);
    TMomentsRig rig(QStringLiteral("IMA ADPCM"), false);
    rig.Sim->SetCaptureTiming(120, 25, ppm);
    const std::vector<double> clickMSecs = {kLength - 20000.0, kLength - 6500.0};
    std::vector<std::int64_t> frames;
    for (const double ms : clickMSecs) frames.push_back(TMomentsRig::FrameAt(ms, 120, ppm));
    rig.Sim->SetSourceGenerator(QStringLiteral("alsa_input.pci"), ClickGenerator(frames));
    ASSERT_EQ(rig.Start(), NOERROR);
    for (std::int64_t done = 0; done < kLength; done += 60000) rig.Run(60000);
    rig.Fm->StopRecording();
    DeliverEvents();
    ASSERT_FALSE(rig.Events.Final.isEmpty());
    const std::vector<double> clicks = ClicksInFile(rig.Events.Final, kLength - 40000.0 - 12000);
    ASSERT_EQ(clicks.size(), clickMSecs.size());
    for (std::size_t k = 0; k < clicks.size(); ++k) {
      SCOPED_TRACE(k);
      const TDateTime moment = rig.Opened + clickMSecs[k] / MSecsPerDay;
      // A linear mapping would be 10.8 s off here.
      EXPECT_NEAR(rig.PlaceOf(moment), clicks[k], 20);
      EXPECT_NEAR((rig.Fm->MomentOfPlayingFileMSecs(clicks[k]) - moment) * MSecsPerDay, 0, 20);
    }
  }
}

TEST(RecordingMoments, AClockRecordThatCannotBeRight_MapsLinearly) {
  const auto readings = [](std::vector<std::pair<int, int>> WallAndDrift) {
    std::vector<TvuDatum> out;
    for (const auto &[wall, drift] : WallAndDrift)
      out.push_back({100, static_cast<std::int16_t>(drift), wall});
    return out;
  };
  struct RRow {
    const char *Name;
    std::vector<TvuDatum> Readings;
    bool Pairs;         // the pairs are used
    double FileAt5000;  // file ms of wall 5000 ms
  };
  const RRow rows[] = {
      {"none", {}, false, 5000},
      {"no drift (an older file)", readings({{0, 0}, {100, 0}, {10000, 0}}), false, 5000},
      {"a fast device clock", readings({{0, 0}, {4000, 4}, {6000, 6}, {8000, 8}}), true, 5005},
      {"a jump", readings({{0, 0}, {4000, 4}, {4100, 900}, {8000, 904}}), false, 5000},
      {"time running back", readings({{0, 0}, {4000, 4}, {3900, 4}, {8000, 8}}), false, 5000},
      {"a saturated drift", readings({{0, 0}, {4000, 32767}}), false, 5000},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Name);
    const TRecordingClock clock(row.Readings);
    EXPECT_EQ(clock.UsesPairs(), row.Pairs);
    EXPECT_NEAR(clock.FileMSecsAt(5000), row.FileAt5000, 1e-9);
    EXPECT_NEAR(clock.WallMSecsAt(clock.FileMSecsAt(5000)), 5000, 1e-9);
    // Beyond the last reading the last drift holds; before the start there is nothing.
    EXPECT_NEAR(clock.FileMSecsAt(20000) - 20000, row.Pairs ? 8 : 0, 1e-9);
    EXPECT_EQ(clock.FileMSecsAt(-50), 0);
  }

  // A finished recording whose ".vu" carries a damaged record plays linearly from its name.
  TMomentsRig rig;
  const QString path =
      rig.Folder.File(QStringLiteral("Audio/2009-09/2009-09-03 13.47 36.5 (20).wav"));
  QDir().mkpath(QFileInfo(path).path());
  ASSERT_TRUE(WriteSound(path, kRate, 1, std::vector<std::int16_t>(20 * kRate)));
  QFile vu(VuPathFor(path));
  ASSERT_TRUE(vu.open(QIODevice::WriteOnly));
  TvlMediaInfo_PerFile record;
  record.StartDT = RecordingStartFromName(path);
  record.NewVUReading(IncMilliSecond(record.StartDT, 4000), 100, 4004);
  record.NewVUReading(IncMilliSecond(record.StartDT, 4100), 100, 5000);
  ASSERT_TRUE(record.OnIdleOrClose_FlushToFile(vu));
  vu.close();
  EXPECT_EQ(rig.PlaceOf(IncMilliSecond(record.StartDT, 6000)), 6000);
}

}  // namespace
