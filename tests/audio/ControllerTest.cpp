// The recording and playback controller on the simulated machine with its clock: recordings named
// by their start and length, stops in the "busy" window and under a freed recorder, playback from
// a moment at 150 % in source time, the look-up of the recording under a moment, and the gain loop
// on loud, quiet and clipping input.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyActiveSound.h"
#include "vlAudioTestSupport.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace {

const TDateTime kStart = EncodeDateTime(2009, 9, 3, 13, 47, 36, 500);

// Stands where the facade will: counts the controller's news and keeps the level file.
struct TEventsLog final : TActiveSoundEvents {
  TvlMediaInfo *Media = nullptr;
  TActiveSoundFm *Fm = nullptr;
  QString PathNoExtension;
  int Started = 0;
  int Stopped = 0;
  QString OldPath, NewPath;
  std::vector<int> RecorderPeaks;
  void Recording_StartedEvent() override {
    ++Started;
    if (Media)
      Media->RecordingJustStarted_CreateNewCurrentFile(PathNoExtension,
                                                       Fm->GetCurrentRecordingBeganAt());
  }
  void Recording_StoppedEvent(const QString &Old, const QString &New) override {
    ++Stopped;
    OldPath = Old;
    NewPath = New;
    if (Media) Media->RecordingJustTerminated_CloseCurrentFile(Old, New);
  }
  void OnVuChange_Recorder(int L, int R, TDateTime When, std::int64_t FileMSecs) override {
    RecorderPeaks.push_back(std::max(L, R));
    if (Media) Media->Recording_AddNewVisualizationDatum(When, (L + R) / 2, FileMSecs);
  }
};

struct TPickLast final : TOverlapChooser {
  QStringList Offered;
  QString Choose(const QStringList &Paths) override {
    Offered = Paths;
    return Paths.back();
  }
};

struct TControllerRig : TSimMachine {
  TFreshFolder Folder;
  TvlMediaFoldersInfo Folders;
  TvlMediaInfo Media;
  TEventsLog Events;
  std::unique_ptr<TActiveSoundFm> Fm;

  TControllerRig() {
    Folders.Initialize(Audio());
    Folders.AddAudioFolder(Audio());
    Fm = std::make_unique<TActiveSoundFm>(Sim, Folders);
    Fm->SetSpoolFolder(Folder.File(QStringLiteral("spool")));
    Events.Media = &Media;
    Events.Fm = Fm.get();
    Fm->SetEvents(&Events);
    EXPECT_TRUE(Fm->AudioComponents_Initialize(isPlayer));
    EXPECT_TRUE(Fm->AudioComponents_Initialize(isRecorder));
    EXPECT_TRUE(Fm->AudioComponents_Initialize(isMisc));
    DeliverEvents();
  }
  QString Audio() const { return Folder.File(QStringLiteral("Audio/")); }
  // What the facade does to start: a path named by now, its folder made.
  TOleEnum Start() {
    Events.PathNoExtension =
        Folders.AudioFolder() +
        RecordingRelativeName(Fm->GetCurrentRecordingBeganAt_AfterSettingItToNow());
    QDir().mkpath(QFileInfo(Events.PathNoExtension).path());
    return Fm->StartRecordingTo(Events.PathNoExtension);
  }
  QString Relative(const QString &Path) const { return Path.mid(Audio().size()); }
  QString WriteRecording(const QString &Name, int Seconds, int Rate = 8000) {
    const QString path = Audio() + Name;
    QDir().mkpath(QFileInfo(path).path());
    std::vector<std::int16_t> samples(static_cast<std::size_t>(Seconds) * Rate);
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<std::int16_t>((i / Rate) * 100);  // the second it belongs to
    EXPECT_TRUE(WriteSound(path, Rate, 1, samples));
    return path;
  }
};

TEST(Controller, Recording108Seconds_IsNamedByItsStartAndLength_WithItsLevelFileBeside) {
  TControllerRig rig;
  ASSERT_EQ(rig.Start(), NOERROR);
  EXPECT_TRUE(rig.Fm->IsRecording());  // busy counts
  rig.Run(108000);
  EXPECT_EQ(rig.Events.Started, 1);
  // Another start while recording changes nothing.
  const TDateTime began = rig.Fm->GetCurrentRecordingBeganAt();
  EXPECT_EQ(rig.Fm->StartRecordingTo(rig.Audio() + QStringLiteral("other")), ERR_RECORDER_BUSY);
  EXPECT_EQ(rig.Fm->GetCurrentRecordingBeganAt(), began);
  // The format changed in the options meanwhile applies to the next recording only.
  RAudioRecordSettings s = rig.Fm->Settings();
  s.FileFormat = affOGG;
  rig.Fm->SetSettings(s);
  rig.Fm->StopRecording();
  DeliverEvents();
  ASSERT_EQ(rig.Events.Stopped, 1);
  EXPECT_EQ(rig.Relative(rig.Events.NewPath),
            QStringLiteral("2009-09/2009-09-03 13.47 36.5 (108).wav"));
  EXPECT_TRUE(QFile::exists(rig.Events.NewPath));
  EXPECT_FALSE(QFile::exists(rig.Events.OldPath));
  std::vector<TvuDatum> vu;
  ASSERT_TRUE(
      ReadVuFile(rig.Audio() + QStringLiteral("2009-09/2009-09-03 13.47 36.5 (108).vu"), vu));
  EXPECT_NEAR(static_cast<double>(vu.size()), 1080, 2);
  EXPECT_NEAR(vu.back().MS, 108000, 100);
  EXPECT_FALSE(rig.Fm->IsRecording());
  EXPECT_EQ(rig.Fm->GetCurrentRecordingBeganAt(), 0);
}

TEST(Controller, StopInTheBusyWindowOrFreeingTheRecorder_EndsWithExactlyOneRename) {
  {
    TControllerRig rig;
    ASSERT_EQ(rig.Start(), NOERROR);
    rig.Clock.AdvanceMSecs(1700);  // the server has delivered nothing yet
    ASSERT_EQ(rig.Fm->Recorder()->Status(), 2);
    EXPECT_TRUE(rig.Fm->IsRecording());
    rig.Fm->StopRecording();
    DeliverEvents();
    rig.Run(1000);
    EXPECT_EQ(rig.Events.Stopped, 1);
    EXPECT_TRUE(rig.Events.NewPath.endsWith(QLatin1String("36.5 (1).wav")));
    EXPECT_TRUE(QFile::exists(rig.Events.NewPath));
  }
  {
    TControllerRig rig;
    ASSERT_EQ(rig.Start(), NOERROR);
    rig.Run(5000);
    rig.Fm.reset();  // closing the program while recording
    DeliverEvents();
    EXPECT_EQ(rig.Events.Stopped, 1);
    EXPECT_TRUE(rig.Events.NewPath.endsWith(QLatin1String("36.5 (5).wav")));
    EXPECT_TRUE(QFile::exists(rig.Events.NewPath));
  }
}

TEST(Controller, ARecordingThatBreaksOff_IsStillNamedAndReported_AfterAPlainMessage) {
  TControllerRig rig;
  TScriptedPrompts prompts;
  TScopedPrompts installed(prompts);
  rig.Sim->FailCaptureAtMSecs(5000);
  ASSERT_EQ(rig.Start(), NOERROR);
  rig.Run(7000);
  ASSERT_EQ(rig.Events.Stopped, 1);
  // Named by what the file holds (just under 5 s), not by when the news was delivered (7 s).
  EXPECT_TRUE(rig.Events.NewPath.endsWith(QLatin1String("36.5 (4).wav")))
      << rig.Events.NewPath.toStdString();
  EXPECT_TRUE(QFile::exists(rig.Events.NewPath));
  ASSERT_EQ(prompts.Asked().size(), 1);
  EXPECT_EQ(prompts.Asked().front().Text,
            QStringLiteral("Recording terminated due to Lame encoder error."));
  EXPECT_FALSE(rig.Fm->IsRecording());
  EXPECT_FALSE(rig.Media.IsGrowingVu());
  // The next recording starts cleanly.
  EXPECT_EQ(rig.Start(), NOERROR);
  rig.Fm->StopRecording();
  DeliverEvents();
  EXPECT_EQ(rig.Events.Stopped, 2);
}

TEST(Controller, PlayingFrom1348At150Percent_ReportsSourcePositions) {
  TControllerRig rig;
  rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 13.47 36.5 (108).wav"), 108);
  const TDateTime from = EncodeDateTime(2009, 9, 3, 13, 48, 0);
  ASSERT_TRUE(rig.Fm->StartPlayingFrom(from, 150));
  EXPECT_EQ(rig.Fm->Player()->GetTempoPerc(0), 50);
  rig.Run(4000);
  // 4 s at 150 % is 6 s of the recording; the output latency (40 ms) counts at the same speed.
  const std::int64_t moved = MilliSecondsBetween(from, rig.Fm->GetAbsolutePositionOfPlaying());
  EXPECT_NEAR(static_cast<double>(moved), 6000, 150);
  EXPECT_EQ(rig.Fm->GetCurrentFilePlayingBeganAt(), kStart);
  // A segment plays exactly its stretch of the source, at any speed.
  ASSERT_TRUE(rig.Fm->PlaySegment(from, 3000));
  rig.Run(3000);
  EXPECT_FALSE(rig.Fm->IsPlaying());
  EXPECT_NEAR(
      static_cast<double>(MilliSecondsBetween(from, rig.Fm->GetAbsolutePositionOfPlaying())), 3000,
      30);
  EXPECT_TRUE(rig.Fm->PlaySegmentRecentlyEnded());
  rig.Clock.AdvanceMSecs(601000);
  EXPECT_FALSE(rig.Fm->PlaySegmentRecentlyEnded());
}

TEST(Controller, FindingTheRecordingUnderAMoment) {
  TControllerRig rig;
  TPickLast chooser;
  rig.Fm->SetOverlapChooser(&chooser);
  const QString a =
      rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 10.00 00.0 (60).wav"), 60);
  const QString b =
      rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 10.00 30.0 (60).wav"), 60);
  const QString c =
      rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 10.01 29.0 (60).wav"), 60);
  const QString night =
      rig.WriteRecording(QStringLiteral("2009-09/2009-09-02 23.59 30.0 (60).wav"), 60);
  QString unnamed = rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 12.00 00.0.wav"), 7);
  rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 lecture.wav"), 3);

  struct RRow {
    const char *What;
    TDateTime When;
    QString Expected;
    int Offered;
  };
  const RRow rows[] = {
      {"2 s before a start plays from its beginning", EncodeDateTime(2009, 9, 2, 23, 59, 28), night,
       0},
      {"past midnight, from the day before", EncodeDateTime(2009, 9, 3, 0, 0, 10), night, 0},
      {"two with time left: the chooser", EncodeDateTime(2009, 9, 3, 10, 0, 40), b, 2},
      {"one with 1 s left is not offered", EncodeDateTime(2009, 9, 3, 10, 1, 29), c, 0},
      {"after every end: none", EncodeDateTime(2009, 9, 3, 10, 5, 0), QString(), 0},
      {"measured once and renamed", EncodeDateTime(2009, 9, 3, 12, 0, 5),
       rig.Audio() + QStringLiteral("2009-09/2009-09-03 12.00 00.0 (7).wav"), 0},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.What);
    chooser.Offered.clear();
    EXPECT_EQ(rig.Fm->FindPathAndAudioFileHavingDateTime(row.When, 3).toStdString(),
              row.Expected.toStdString());
    EXPECT_EQ(chooser.Offered.size(), row.Offered);
  }
  EXPECT_FALSE(QFile::exists(unnamed));
  EXPECT_TRUE(QFile::exists(rig.Audio() + QStringLiteral("2009-09/2009-09-03 lecture.wav")));
  Q_UNUSED(a);

  // The recording in progress: never measured or renamed, played from its session.
  rig.Clock.Set(EncodeDateTime(2009, 9, 3, 14, 0, 0));
  ASSERT_EQ(rig.Start(), NOERROR);
  rig.Run(10000);
  const QString growing = rig.Fm->AudioOutputPathName();
  EXPECT_EQ(rig.Fm->FindPathAndAudioFileHavingDateTime(EncodeDateTime(2009, 9, 3, 13, 59, 58), 3),
            growing);
  EXPECT_TRUE(QFile::exists(growing));
  ASSERT_TRUE(rig.Fm->StartPlayingFrom(EncodeDateTime(2009, 9, 3, 14, 0, 5), 100));
  EXPECT_EQ(rig.Fm->LoadedPath(), growing);
  // 2 s before its start, within the slush: from its beginning, out of the session that grows
  // with it, not out of the half-written file.
  ASSERT_TRUE(rig.Fm->StartPlayingFrom(EncodeDateTime(2009, 9, 3, 13, 59, 58), 100));
  EXPECT_EQ(rig.Fm->LoadedPath(), growing);
  EXPECT_EQ(rig.Fm->GetCurrentFilePlayingBeganAt(), EncodeDateTime(2009, 9, 3, 14, 0, 0));
  const int loadedLength = rig.Fm->Player()->GetSoundDuration(0);
  rig.Run(2000);
  EXPECT_GE(rig.Fm->Player()->GetSoundDuration(0), loadedLength + 1900);
  // Asking for a new start moment while recording leaves the running one alone.
  EXPECT_EQ(rig.Fm->GetCurrentRecordingBeganAt_AfterSettingItToNow(),
            EncodeDateTime(2009, 9, 3, 14, 0, 0));
  rig.Fm->StopRecording();
  DeliverEvents();
  EXPECT_TRUE(rig.Events.NewPath.endsWith(QLatin1String("14.00 00.0 (12).wav")))
      << rig.Events.NewPath.toStdString();
}

TEST(Controller, APlayThatCannotStart_AnswersFalse) {
  TControllerRig rig;
  rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 13.47 36.5 (108).wav"), 108);
  const TDateTime from = EncodeDateTime(2009, 9, 3, 13, 48, 0);
  // No output device: the file loads, the sound cannot start, and nothing claims it did.
  rig.Sim->RemoveSink(QStringLiteral("alsa_output.pci"));
  rig.Sim->RemoveSink(QStringLiteral("alsa_output.hdmi"));
  EXPECT_FALSE(rig.Fm->StartPlayingFrom(from, 100));
  EXPECT_FALSE(rig.Fm->PlaySegment(from, 3000));
  EXPECT_FALSE(rig.Fm->IsPlaying());
}

TEST(Controller, GainLoop_LoudUnclippedAndSettled_QuietRaised_ClippingGoneWithin2Seconds) {
  struct RRow {
    const char *What;
    TSimGenerator Input;
    int RunSecs;
  };
  const RRow rows[] = {
      {"loud voice", SineGenerator(440, 20000), 240},
      {"quiet voice", SineGenerator(440, 300), 30},
      {"clipping input", SquareGenerator(440, 32767), 10},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.What);
    TControllerRig rig;
    rig.Sim->SetSourceGenerator(QStringLiteral("alsa_input.pci"), row.Input);
    ASSERT_EQ(rig.Start(), NOERROR);
    std::vector<int> gains;
    for (int s = 0; s < row.RunSecs; s += 2) {
      rig.Run(2000);
      gains.push_back(rig.Fm->AutoGain());
    }
    const std::vector<int> &peaks = rig.Events.RecorderPeaks;
    ASSERT_GT(peaks.size(), 50u);
    for (const int g : gains) {
      EXPECT_GE(g, TActiveSoundFm::kGainMin);
      EXPECT_LE(g, TActiveSoundFm::kGainMax);
    }
    if (row.RunSecs == 240) {
      for (const int p : peaks) ASSERT_LT(p, 32767);
      // Settled: the last minute moves the gain by under 3 %, the level sits in its band.
      const int last = gains.back(), minuteAgo = gains[gains.size() - 30];
      EXPECT_LT(std::abs(last - minuteAgo), minuteAgo * 3 / 100) << last << " " << minuteAgo;
      EXPECT_GT(peaks.back(), 5000);
      EXPECT_LT(peaks.back(), 16000);
    } else if (row.RunSecs == 30) {
      EXPECT_GT(gains.back(), TActiveSoundFm::kGainUnity * 2);
      EXPECT_GT(peaks.back(), 600);
    } else {
      // The first adjustment comes with the 20th reading: after 2 s nothing clips any more.
      for (std::size_t i = 21; i < peaks.size(); ++i) ASSERT_LT(peaks[i], 32767) << i;
    }
    rig.Fm->StopRecording();
    DeliverEvents();
  }
}

TEST(Controller, ErrorTextsAndEncodingChoices) {
  EXPECT_EQ(TActiveSoundFm::GetErrorStr(-84, dlShort), QStringLiteral("ERR_ENCODER_ERROR "));
  EXPECT_TRUE(
      TActiveSoundFm::GetErrorStr(-84, dlLong).startsWith(QLatin1String(" Encoder error.")));
  EXPECT_EQ(TActiveSoundFm::GetErrorStr(-101, dlBoth),
            QStringLiteral("ERR_ELSE | Error code undefined (FFFFFF9B)"));
  TControllerRig rig;
  QStringList wav, ogg;
  ASSERT_TRUE(rig.Fm->FileOptions_PopulateOrSet_WAV(0, 1, QString(), &wav) == false);
  rig.Fm->FileOptions_PopulateOrSet_OGG(0, 1, QString(), &ogg);
  EXPECT_TRUE(wav.contains(QStringLiteral("Microsoft ADPCM        (Fast. 75% savings.)")));
  EXPECT_TRUE(wav.contains(QStringLiteral("PCM 16 bit        (Fast. Portable. Uncompressed.)")));
  EXPECT_EQ(ogg.value(3), QStringLiteral("Quality 4        (Recommended compromise)"));
  EXPECT_TRUE(rig.Fm->FileOptions_PopulateOrSet_OGG(0, 1, ogg.value(3), nullptr));
  EXPECT_EQ(rig.Fm->Recorder()->EncodeFormats().OggQuality, 4);
  EXPECT_EQ(rig.Fm->GetInputDeviceChannelVolume(0, QStringLiteral("Nothing")), -999);
  EXPECT_TRUE(rig.Fm->SetInputDeviceChannelVolume(0, QStringLiteral("Nothing"), 5)
                  .startsWith(QLatin1String("SIDCV: Could not find channel index \"Nothing\"")));
}

}  // namespace
