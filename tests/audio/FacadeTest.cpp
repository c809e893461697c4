// The audio facade over the simulated machine: the silence gate before every play, what a play
// request answers, stopping the recording for playback only when playback started, restarting it
// afterwards without ever starting a second one, transcription segments that continue, level
// readings routed to the catalogue and the listeners, and the combined volume.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyAudio.h"
#include "vlAudioTestSupport.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace {

struct TRefuse final : TSilenceGate {
  int Asked = 0;
  bool OkayToBreakSilence() override {
    ++Asked;
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
  // Refused by silence protection: nothing plays and the recording goes on.
  TRefuse refuse;
  rig.Audio.SetSilenceGate(&refuse);
  EXPECT_EQ(rig.Audio.Play_From(EncodeDateTime(2009, 9, 3, 10, 0, 5), 100), prSilenceProtection);
  EXPECT_EQ(rig.Audio.Play_Segment(2, 5), prSilenceProtection);
  rig.Audio.Play_Resume();
  EXPECT_EQ(refuse.Asked, 3);
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
  EXPECT_TRUE(rig.Stopped[0].endsWith(QLatin1String("13.47 36.5 (3).wav")));
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
