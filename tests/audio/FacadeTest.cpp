// The audio facade over the simulated machine: silence protection before every play, what a play
// request answers, stopping the recording for playback only when playback started, restarting it
// afterwards without ever starting a second one, transcription segments that continue, level
// readings routed to the catalogue and the listeners, the combined volume, and what a recording
// that breaks off during playback is blamed on.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyAudio.h"
#include "vl09_Silence.h"
#include "vl09_SilenceConfig.h"
#include "vlAudioTestSupport.h"
#include "vlPrompts.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace {

// The protection window, answered "No" every time.
struct TAnswerNo final : TSilencePrompts {
  int Windows = 0;
  void ShowHint(const QString &, int) override {}
  bool AskToBreakSilence(int, const QString &) override {
    ++Windows;
    return false;
  }
};

struct TLevels final : TAudioLevelListener {
  int Recorder = 0, Player = 0;
  void RecorderLevel(int, TDateTime) override { ++Recorder; }
  void PlayerLevel(int, int, int) override { ++Player; }
};

struct TFacadeRig : TSimMachine {
  TFreshFolder Folder;
  TvlMediaFoldersInfo Folders;
  TvlMediaInfo Media;
  TActiveSoundFm Fm{Sim, Folders};
  TvlAudio Audio{Fm, Folders};
  std::vector<QString> Stopped;

  TFacadeRig() {
    Folders.AddAudioFolder(Folder.File(QStringLiteral("Audio")));
    Fm.SetSpoolFolder(Folder.File(QStringLiteral("spool")));
    Audio.SetMediaInfo(&Media);
    Audio.SetMainLoopRunning(true);
    Audio.OnRecordingStopped = [this](const QString &, const QString &New) {
      Stopped.push_back(New);
    };
    Fm.AudioComponents_Initialize(isPlayer);
    Fm.AudioComponents_Initialize(isRecorder);
    Fm.AudioComponents_Initialize(isMisc);
    DeliverEvents();
  }
  void WriteRecording(const QString &Name, int Seconds) {
    const QString path = Folder.File(QStringLiteral("Audio/")) + Name;
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(WriteSound(path, 8000, 1, std::vector<std::int16_t>(Seconds * 8000, 100)));
  }
};

TEST(Facade, PlayPolicies_GateFirst_AvoidSecondRecording_RecordAfterPlay) {
  TFacadeRig rig;
  rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 10.00 00.0 (60).wav"), 60);
  RAudioSettings settings;
  settings.AvoidGen2Record = true;
  settings.RecordAfterPlay = true;
  rig.Audio.ApplyAudioSettings(settings);
  EXPECT_EQ(rig.Audio.LatestOperationStarted(), aoNoneYet);

  ASSERT_TRUE(rig.Audio.Recording_Start());
  rig.Run(3000);
  EXPECT_EQ(rig.Audio.LatestOperationStarted(), aoRecord);
  // The schedule asks for the password now (Thursday 13:00-14:00) and the user answers No:
  // nothing is loaded or played, and the recording goes on.
  TvlSilenceConfigSchedule schedule;
  TDaySchedule thursday{};
  for (int m = 780; m <= 840; ++m) thursday[m] = slPassword;
  schedule.SetSchedule(4, thursday);
  TSilenceProtection protection(schedule);
  TAnswerNo no;
  protection.SetPrompts(&no);
  rig.Audio.SetSilenceGate(&protection);
  EXPECT_EQ(rig.Audio.Play_From(EncodeDateTime(2009, 9, 3, 10, 0, 5), 100), prSilenceProtection);
  EXPECT_EQ(rig.Audio.Play_Segment(2, 5), prSilenceProtection);
  EXPECT_EQ(rig.Audio.Play_Resume(), prSilenceProtection);
  EXPECT_EQ(no.Windows, 3);
  rig.Run(1000);
  EXPECT_FALSE(rig.Audio.IsPlaying());
  EXPECT_TRUE(rig.Fm.LoadedPath().isEmpty());
  EXPECT_EQ(rig.Audio.LatestOperationStarted(), aoRecord);
  EXPECT_TRUE(rig.Audio.IsRecording());
  rig.Audio.SetSilenceGate(nullptr);
  // Nothing under the moment: no audio, and the recording still runs.
  EXPECT_EQ(rig.Audio.Play_From(EncodeDateTime(2009, 9, 3, 11, 0, 0), 100), prNoAudio);
  EXPECT_TRUE(rig.Audio.IsRecording());
  // Stop pressed while only recording: no second recording, the start moment unchanged.
  const TDateTime began = rig.Audio.GetCurrentRecordingBeganAt();
  rig.Audio.Play_Stop();
  EXPECT_EQ(rig.Audio.GetCurrentRecordingBeganAt(), began);
  // A play that starts stops the recording (its file named), and stopping playback records anew.
  EXPECT_EQ(rig.Audio.Play_From(EncodeDateTime(2009, 9, 3, 10, 0, 5), 100), prOkay);
  DeliverEvents();
  ASSERT_EQ(rig.Stopped.size(), 1u);
  EXPECT_TRUE(rig.Stopped[0].endsWith(QLatin1String("13.47 36.5 (4).wav")));
  EXPECT_FALSE(rig.Audio.IsRecording());
  rig.Run(1000);
  EXPECT_EQ(rig.Audio.LatestOperationStarted(), aoPlay);
  rig.Audio.Play_Stop();
  DeliverEvents();
  EXPECT_TRUE(rig.Audio.IsRecording());
  EXPECT_EQ(rig.Audio.LatestOperationStopped(), aoPlay);
  rig.Audio.Recording_Stop();
  DeliverEvents();
  EXPECT_EQ(rig.Stopped.size(), 2u);
  EXPECT_EQ(rig.Audio.LatestOperationStopped(), aoRecord);
}

// A recording that breaks off while playing runs (recording kept on for playback) is blamed on
// recording and playing at the same time only when the playback started at most 3 s before;
// the loaded recording itself is hours older than that.
TEST(Facade, ARecordingBrokenOffJustAfterPlaybackStarted_NamesPlayingAtTheSameTime) {
  for (const int breaksAfterPlayMSecs : {1000, 5000}) {
    SCOPED_TRACE(breaksAfterPlayMSecs);
    TFacadeRig rig;
    TScriptedPrompts prompts;
    TScopedPrompts installed(prompts);
    rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 10.00 00.0 (60).wav"), 60);
    RAudioSettings settings;
    settings.AvoidGen2Record = false;
    rig.Audio.ApplyAudioSettings(settings);
    rig.Sim->FailCaptureAtMSecs(2000 + breaksAfterPlayMSecs);
    ASSERT_TRUE(rig.Audio.Recording_Start());
    rig.Run(2000);
    ASSERT_EQ(rig.Audio.Play_From(EncodeDateTime(2009, 9, 3, 10, 0, 5), 100), prOkay);
    // In small steps, so that each event arrives near the moment it happened.
    for (int t = 0; t < breaksAfterPlayMSecs + 1000; t += 100) rig.Run(100);
    EXPECT_FALSE(rig.Audio.IsRecording());
    EXPECT_EQ(rig.Stopped.size(), 1u);
    ASSERT_EQ(prompts.Asked().size(), 1);
    EXPECT_EQ(prompts.Asked().front().Text.contains(QLatin1String("at the same time")),
              breaksAfterPlayMSecs < 3000)
        << prompts.Asked().front().Text.toStdString();
  }
}

TEST(Facade, SegmentsContinueWhereTheLastEnded_MinusTheOverlap) {
  TFacadeRig rig;
  rig.WriteRecording(QStringLiteral("2009-09/2009-09-03 10.00 00.0 (60).wav"), 60);
  const TDateTime fileStart = EncodeDateTime(2009, 9, 3, 10, 0, 0);
  ASSERT_TRUE(rig.Fm.PreparePlayPosition(fileStart));
  for (const int expectedStart : {0, 3000, 6000}) {
    SCOPED_TRACE(expectedStart);
    // The position has fallen back to the file's start: the segment goes on from the last one.
    rig.Fm.Player()->SeekSound(0, 0);
    ASSERT_EQ(rig.Audio.Play_Segment(2, 5), prOkay);
    EXPECT_EQ(rig.Fm.PlaySoundRangeEndsAtMS(), expectedStart + 5000);
    rig.Run(5500);
    EXPECT_FALSE(rig.Audio.IsPlaying());
  }
}

TEST(Facade, ReadingsGoToTheCatalogueAndListeners_VolumeCombinesTwoGains) {
  TFacadeRig rig;
  TLevels levels;
  rig.Audio.AddLevelListener(&levels);
  ASSERT_TRUE(rig.Audio.Recording_Start());
  rig.Run(2000);
  EXPECT_GE(levels.Recorder, 19);
  EXPECT_GE(rig.Media.File(0).VU.size(), 19u);
  EXPECT_TRUE(rig.Media.IsGrowingVu());
  rig.Audio.Recording_Stop();
  DeliverEvents();
  EXPECT_FALSE(rig.Media.IsGrowingVu());
  rig.Audio.RemoveLevelListener(&levels);

  struct RRow {
    int Wave;
    double Fraction;
    int ExpectedWave, ExpectedMaster;
  };
  for (const RRow &row : {RRow{60, 0.3, 60, 50}, RRow{20, 0.3, 30, 100}, RRow{0, 0.3, 30, 100}}) {
    SCOPED_TRACE(row.Wave);
    rig.Fm.SetWaveVolume(row.Wave);
    EXPECT_TRUE(rig.Audio.SetCombinedVolume(row.Fraction));
    EXPECT_EQ(rig.Fm.GetWaveVolume(), row.ExpectedWave);
    EXPECT_EQ(rig.Fm.GetMasterVolume(), row.ExpectedMaster);
  }
  EXPECT_EQ(rig.Audio.InputDeviceNames().size(), rig.Fm.Input_Devices_GetCount());
  int x = 0;
  const int builtIn =
      static_cast<int>(rig.Audio.InputDeviceNames().indexOf(QStringLiteral("Built-in Audio")));
  EXPECT_TRUE(rig.Audio.LookupIndexOfAudioInputSourceStr(builtIn, QStringLiteral(" Line In "), x));
  EXPECT_EQ(x, 1);
  EXPECT_FALSE(rig.Audio.LookupIndexOfAudioSamplingOfferingStr(builtIn, QStringLiteral("nope"), x));
  EXPECT_EQ(x, -1);
  QStringList ogg;
  EXPECT_TRUE(rig.Audio.FileOptions_PopulateList(affOGG, 0, 1, ogg));
  EXPECT_TRUE(rig.Audio.FileOption_Apply(affOGG, 0, 1, ogg.value(9)));
  EXPECT_EQ(rig.Fm.Recorder()->EncodeFormats().OggQuality, 10);
  EXPECT_TRUE(rig.Audio.UseOutputDevice(1).isEmpty());
  rig.Fm.AudioComponents_Free();
  EXPECT_EQ(rig.Audio.GetCombinedVolume(), 0.5);
  EXPECT_EQ(rig.Audio.GetPlay_Position(), 0);
}

TEST(Facade, RefreshingTheDevicesFindsAMicrophonePluggedInLater_ButNeverCutsARecording) {
  TFacadeRig rig;
  const QString usb = QStringLiteral("USB Microphone");
  rig.Fm.SetWaveVolume(40);
  rig.Sim->AddSource(QStringLiteral("usb_mic"), usb, SineGenerator(440, 3000));
  EXPECT_FALSE(rig.Audio.InputDeviceNames().contains(usb));  // the lists are read at start
  ASSERT_TRUE(rig.Audio.Recording_Start());
  rig.Run(1000);
  EXPECT_FALSE(rig.Audio.AudioComponents_FreeAndReinitialize());
  rig.Run(1000);
  EXPECT_TRUE(rig.Audio.IsRecording());
  EXPECT_TRUE(rig.Stopped.empty());
  rig.Audio.Recording_Stop();
  DeliverEvents();

  EXPECT_TRUE(rig.Audio.AudioComponents_FreeAndReinitialize());
  DeliverEvents();
  EXPECT_TRUE(rig.Audio.InputDeviceNames().contains(usb));
  EXPECT_EQ(rig.Fm.GetWaveVolume(), 40);
  // The new components record as the old ones did.
  ASSERT_TRUE(rig.Audio.Recording_Start());
  rig.Run(2000);
  rig.Audio.Recording_Stop();
  DeliverEvents();
  ASSERT_EQ(rig.Stopped.size(), 2u);
  EXPECT_TRUE(rig.Stopped[1].endsWith(QLatin1String(" (2).wav"))) << rig.Stopped[1].toStdString();
}

TEST(Facade, NoAudioFolder_RecordsNothing) {
  TSimMachine machine;
  TvlMediaFoldersInfo folders;  // no audio folder at all
  TActiveSoundFm fm(machine.Sim, folders);
  fm.AudioComponents_Initialize(isPlayer);
  fm.AudioComponents_Initialize(isRecorder);
  fm.AudioComponents_Initialize(isMisc);
  DeliverEvents();
  TvlAudio audio(fm, folders);
  EXPECT_FALSE(audio.Recording_Start());
  EXPECT_FALSE(audio.IsRecording());
  EXPECT_EQ(audio.Play_From(EncodeDateTime(2009, 9, 3, 10, 0, 0), 100), prNoAudio);
}

}  // namespace
