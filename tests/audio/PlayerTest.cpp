// The player on the simulated machine: positions in source milliseconds at every speed, seek,
// ranges, pause and resume, volumes, output devices, playing the recording in progress, and the
// result codes of what cannot be done.

#include "vlAudioTestSupport.h"
#include "vlSessionSpool.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QFile>

#include <cmath>

namespace {

constexpr int kRate = 22050;
constexpr int kLatencyMSecs = 40;  // the simulated output's default

struct TPlayerRig : TSimMachine {
  TPlayerRig() : Player(Sim) {
    Log.Watch(Player);
    EXPECT_EQ(Player.InitDJSystem(2), NOERROR);
    Player.SetRewindOnEOF(false);
  }
  // A mono file of noise, so that comparing samples means something.
  QString NoiseFile(int Seconds) {
    Noise =
        NoiseSamples(static_cast<std::size_t>(kRate) * static_cast<std::size_t>(Seconds), 12000);
    const QString path = Folder.File(QStringLiteral("noise.wav"));
    EXPECT_TRUE(WriteSound(path, kRate, 1, Noise));
    return path;
  }
  std::vector<std::int16_t> Heard() const {
    return Sim->SinkOutput(QStringLiteral("alsa_output.pci"));
  }

  TFreshFolder Folder;
  TAmp3dj Player;
  TEventLog Log;
  std::vector<std::int16_t> Noise;
};

}  // namespace

TEST(Player, SeekThenPlayAtNaturalSpeed_IsBitExact_AndPositionFollowsTheClock) {
  TPlayerRig rig;
  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(12)), NOERROR);
  EXPECT_EQ(rig.Player.GetPlayerStatus(), 3);
  ASSERT_EQ(rig.Player.SeekSound(0, 10000), NOERROR);
  EXPECT_EQ(rig.Player.GetCurrentPos(), 10000);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  EXPECT_EQ(rig.Player.GetPlayerStatus(), 1);
  rig.Run(1000);

  EXPECT_NEAR(rig.Player.GetCurrentPos(), 10000 + 1000 - kLatencyMSecs, 10);
  const std::vector<std::int16_t> heard = rig.Heard();
  ASSERT_GE(heard.size(), 20000u);
  EXPECT_TRUE(std::equal(heard.begin(), heard.begin() + 20000, rig.Noise.begin() + 10 * kRate));
  EXPECT_EQ(rig.Log.Names().front(), QStringLiteral("Playing"));
}

TEST(Player, SeekingPastTheEnd_StopsAtTheLength_AndPlayingFromThereEndsAtOnce) {
  TPlayerRig rig;
  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(2)), NOERROR);
  for (int past : {2000, 2001, 2500, 60000}) {
    ASSERT_EQ(rig.Player.SeekSound(0, past), NOERROR);
    EXPECT_EQ(rig.Player.GetCurrentPos(), 2000) << past;
  }
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(500);
  EXPECT_EQ(rig.Player.GetCurrentPos(), 2000);
  EXPECT_TRUE(rig.Heard().empty());
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Done")), 1);
}

TEST(Player, PositionsAreSourceMilliseconds_AtEverySpeed) {
  const int tempos[] = {-50, 0, 50, 90};
  for (int tempo : tempos) {
    SCOPED_TRACE(tempo);
    TPlayerRig rig;
    ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(12)), NOERROR);
    ASSERT_EQ(rig.Player.SetTempoPerc(0, tempo), NOERROR);
    ASSERT_EQ(rig.Player.SeekSound(0, 1000), NOERROR);
    ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
    rig.Run(2000);
    const double ratio = 1 + tempo / 100.0;
    EXPECT_NEAR(rig.Player.GetCurrentPos(), 1000 + (2000 - kLatencyMSecs) * ratio, 15);
    // What was heard is the source stretched: 2 s of output less the latency.
    EXPECT_NEAR(static_cast<double>(rig.Heard().size()), (2000 - kLatencyMSecs) * kRate / 1000.0,
                kRate / 100.0);
  }
}

TEST(Player, TempoChangeDuringPlay_KeepsThePositionContinuous_AndIsKeptAcrossLoads) {
  TPlayerRig rig;
  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(12)), NOERROR);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(2000);
  const int before = rig.Player.GetCurrentPos();
  ASSERT_EQ(rig.Player.SetTempoPerc(0, 50), NOERROR);
  EXPECT_NEAR(rig.Player.GetCurrentPos(), before, 1);
  rig.Run(2000);
  // The new output needs its latency again before it is heard.
  EXPECT_NEAR(rig.Player.GetCurrentPos(), before + (2000 - kLatencyMSecs) * 1.5, 20);
  EXPECT_EQ(rig.Player.GetPlayerStatus(), 1);
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Playing")), 1);

  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(12)), NOERROR);
  EXPECT_EQ(rig.Player.GetTempoPerc(0), 50);
}

TEST(Player, WholeFileAtOneAndAHalf_PlaysTwoThirdsAsLong_AndEndsAtItsLength) {
  TPlayerRig rig;
  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(6)), NOERROR);
  ASSERT_EQ(rig.Player.SetTempoPerc(0, 50), NOERROR);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(3500);
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Done")), 0);
  rig.Run(1000);
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Done")), 1);
  EXPECT_EQ(static_cast<double>(rig.Heard().size()), 4 * kRate);
  EXPECT_EQ(rig.Player.GetCurrentPos(), 6000);
  EXPECT_EQ(rig.Player.GetPlayerStatus(), 3);
  const std::vector<QString> names = rig.Log.Names();
  const auto done = std::find(names.begin(), names.end(), QStringLiteral("Done"));
  ASSERT_NE(done, names.end());
  ASSERT_NE(done + 1, names.end());
  EXPECT_EQ(*(done + 1), QStringLiteral("SoundStopped"));
}

TEST(Player, RangePlaysItsStretch_StopsAtItsEnd_ThenPlayGoesOnToTheEnd) {
  TPlayerRig rig;
  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(8)), NOERROR);
  ASSERT_EQ(rig.Player.PlaySoundRange(0, 2000, 5000), NOERROR);
  rig.Run(4000);
  EXPECT_EQ(rig.Log.Names(),
            (std::vector<QString>{QStringLiteral("Playing"), QStringLiteral("Done"),
                                  QStringLiteral("SoundStopped")}));
  EXPECT_EQ(rig.Player.GetCurrentPos(), 5000);
  const std::vector<std::int16_t> heard = rig.Heard();
  ASSERT_EQ(heard.size(), 3u * kRate);
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), rig.Noise.begin() + 2 * kRate));

  rig.Log.Clear();
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(1000);
  EXPECT_NEAR(rig.Player.GetCurrentPos(), 6000 - kLatencyMSecs, 10);
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Done")), 0);
}

TEST(Player, PauseAndStopKeepThePosition_AndPlayResumesFromIt) {
  TPlayerRig rig;
  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(12)), NOERROR);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(1500);
  ASSERT_EQ(rig.Player.PauseSound(0), NOERROR);
  const int paused = rig.Player.GetCurrentPos();
  rig.Run(1000);
  EXPECT_EQ(rig.Player.GetCurrentPos(), paused);
  EXPECT_EQ(rig.Player.GetPlayerStatus(), 2);

  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(1000);
  ASSERT_EQ(rig.Player.StopSound(0), NOERROR);
  const int stopped = rig.Player.GetCurrentPos();
  EXPECT_NEAR(stopped, paused + 1000, 5);
  EXPECT_EQ(rig.Player.GetPlayerStatus(), 3);
  rig.Run(500);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(500);
  EXPECT_NEAR(rig.Player.GetCurrentPos(), stopped + 500, 5);
  // The heard audio runs on without a gap or a repeat across both halts.
  const std::vector<std::int16_t> heard = rig.Heard();
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), rig.Noise.begin()));
  EXPECT_EQ(rig.Log.Names(),
            (std::vector<QString>{QStringLiteral("Playing"), QStringLiteral("SoundStopped"),
                                  QStringLiteral("Playing"), QStringLiteral("SoundStopped"),
                                  QStringLiteral("Playing")}));
}

TEST(Player, RewindOnEndGoesBackToTheStart) {
  TPlayerRig rig;
  rig.Player.SetRewindOnEOF(true);
  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(1)), NOERROR);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(1500);
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Done")), 1);
  EXPECT_EQ(rig.Player.GetCurrentPos(), 0);
}

TEST(Player, VolumesScaleTheOutputAndItsReadings) {
  TPlayerRig rig;
  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(3)), NOERROR);
  ASSERT_EQ(rig.Player.MixerSetWaveVolume(50), NOERROR);
  ASSERT_EQ(rig.Player.MixerSetMasterVolume(50), NOERROR);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(1000);
  const std::vector<std::int16_t> heard = rig.Heard();
  ASSERT_FALSE(heard.empty());
  for (std::size_t i = 0; i < heard.size(); ++i)
    ASSERT_EQ(heard[i], static_cast<std::int16_t>(rig.Noise[i] * 2500 / 10000)) << i;
  const std::vector<REvent> readings = rig.Log.Named(QStringLiteral("PlayVU"));
  ASSERT_FALSE(readings.empty());
  // Noise of 12000 peaks a little below it in each 100 ms; a quarter of that.
  for (const REvent &e : readings) EXPECT_NEAR(e.A, 3000, 15);
}

TEST(Player, AFileWithMoreThanTwoChannels_PlaysEachSideFromItsOwnChannel) {
  // Four channels, each with noise of its own: the output is stereo, the left side the file's
  // first channel and the right side its second, unmixed.
  TPlayerRig rig;
  constexpr std::size_t kWide = 4, kFrames = 2 * kRate;
  std::vector<std::vector<std::int16_t>> channels;
  for (std::uint32_t c = 0; c < kWide; ++c) channels.push_back(NoiseSamples(kFrames, 9000, 7 + c));
  std::vector<std::int16_t> interleaved(kFrames * kWide);
  for (std::size_t f = 0; f < kFrames; ++f)
    for (std::size_t c = 0; c < kWide; ++c) interleaved[f * kWide + c] = channels[c][f];
  const QString path = rig.Folder.File(QStringLiteral("four.wav"));
  ASSERT_TRUE(WriteSound(path, kRate, static_cast<int>(kWide), interleaved));

  ASSERT_EQ(rig.Player.LoadSound(0, path), NOERROR);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(1000);
  const std::vector<std::int16_t> heard = rig.Heard();
  ASSERT_GE(heard.size(), 2u * kRate / 2);
  for (std::size_t f = 0; f < heard.size() / 2; ++f) {
    ASSERT_EQ(heard[2 * f], channels[0][f]) << "left, frame " << f;
    ASSERT_EQ(heard[2 * f + 1], channels[1][f]) << "right, frame " << f;
  }
}

TEST(Player, OutputDevices_DefaultFirstThenSorted_AndMovingWhilePlaying) {
  TPlayerRig rig;
  ASSERT_EQ(rig.Player.GetOutputDevicesCount(), 3);
  EXPECT_EQ(rig.Player.GetOutputDeviceDesc(0), QStringLiteral("Default"));
  EXPECT_EQ(rig.Player.GetOutputDeviceDesc(1), QStringLiteral("Built-in Audio"));
  EXPECT_EQ(rig.Player.GetOutputDeviceDesc(2), QStringLiteral("HDMI Output"));

  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(4)), NOERROR);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(1000);
  ASSERT_EQ(rig.Player.SetPlayerOutputDevice(0, 2), NOERROR);
  EXPECT_EQ(rig.Player.GetPlayerOutputDevice(0), 2);
  rig.Run(1000);
  const std::vector<std::int16_t> first = rig.Heard();
  const std::vector<std::int16_t> second = rig.Sim->SinkOutput(QStringLiteral("alsa_output.hdmi"));
  EXPECT_FALSE(second.empty());
  std::vector<std::int16_t> both = first;
  both.insert(both.end(), second.begin(), second.end());
  EXPECT_TRUE(std::equal(both.begin(), both.end(), rig.Noise.begin())) << "no gap, no repeat";
}

TEST(Player, AChosenDeviceThatDisappears_GivesWayToTheDefaultOne) {
  const QString hdmi = QStringLiteral("alsa_output.hdmi");
  for (bool refreshed : {false, true}) {
    SCOPED_TRACE(refreshed ? "after the list was refreshed" : "before the list was refreshed");
    TPlayerRig rig;
    ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(2)), NOERROR);
    ASSERT_EQ(rig.Player.SetPlayerOutputDevice(0, 2), NOERROR);
    rig.Sim->RemoveSink(hdmi);
    if (refreshed) {
      ASSERT_EQ(rig.Player.RefreshOutputDevices(), NOERROR);
      EXPECT_EQ(rig.Player.GetPlayerOutputDevice(0), 0);
    }
    ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
    rig.Run(500);
    EXPECT_FALSE(rig.Heard().empty()) << "the default device plays";
    // Choosing "Default" explicitly works as well.
    ASSERT_EQ(rig.Player.StopSound(0), NOERROR);
    ASSERT_EQ(rig.Player.SetPlayerOutputDevice(0, 0), NOERROR);
    EXPECT_EQ(rig.Player.PlaySound(0), NOERROR);
  }
}

TEST(Player, TheRecordingInProgress_PlaysWhileItGrows_AndItsSpoolGoesWithTheLastHolder) {
  TPlayerRig rig;
  TActiveSoundRecorder recorder(rig.Sim);
  recorder.SetSpoolFolder(rig.Folder.File(QStringLiteral("spool")));
  ASSERT_EQ(recorder.InitRecordingSystem(), NOERROR);
  EXPECT_EQ(rig.Player.LoadSoundFromRecordingSession(0, recorder), ERR_RECORDER_EMPTY);
  recorder.EncodeFormats().WavModeIndex = 1;
  const QString path = rig.Folder.File(QStringLiteral("live.wav"));
  ASSERT_EQ(recorder.StartFromDirectSoundDevice(0, 0, path), NOERROR);
  rig.Run(3000);

  ASSERT_EQ(rig.Player.LoadSoundFromRecordingSession(0, recorder), NOERROR);
  EXPECT_EQ(rig.Player.GetSoundDuration(0), 3000);
  const QString spool = recorder.SessionSpool()->Path();
  ASSERT_EQ(rig.Player.SeekSound(0, 1000), NOERROR);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  rig.Run(1000);
  EXPECT_NEAR(rig.Player.GetCurrentPos(), 2000 - kLatencyMSecs, 10);
  EXPECT_EQ(rig.Player.GetSoundDuration(0), 4000);

  // The recording stops while its session plays: playback goes on to the end of it.
  ASSERT_EQ(recorder.Stop(), NOERROR);
  rig.Run(4000);
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Done")), 1);
  EXPECT_EQ(rig.Player.GetCurrentPos(), 4000);
  const std::vector<std::int16_t> heard = rig.Heard();
  const RSound recorded = ReadSound(path);
  ASSERT_EQ(heard.size(), 3u * kRate);
  EXPECT_TRUE(std::equal(heard.begin(), heard.end(), recorded.Samples.begin() + kRate));

  EXPECT_TRUE(QFile::exists(spool));
  ASSERT_EQ(rig.Player.CloseSound(0), NOERROR);
  EXPECT_FALSE(QFile::exists(spool));
  EXPECT_EQ(rig.Player.GetPlayerStatus(), 0);
}

TEST(Player, PlaybackCatchingUpWithTheRecording_EndsAtTheLiveEdge) {
  TPlayerRig rig;
  TActiveSoundRecorder recorder(rig.Sim);
  recorder.SetSpoolFolder(rig.Folder.File(QStringLiteral("spool")));
  ASSERT_EQ(recorder.InitRecordingSystem(), NOERROR);
  ASSERT_EQ(recorder.StartFromDirectSoundDevice(0, 0, rig.Folder.File(QStringLiteral("r.wav"))),
            NOERROR);
  rig.Run(2000);
  ASSERT_EQ(rig.Player.LoadSoundFromRecordingSession(0, recorder), NOERROR);
  ASSERT_EQ(rig.Player.SetTempoPerc(0, 90), NOERROR);
  ASSERT_EQ(rig.Player.PlaySound(0), NOERROR);
  // At 190 % it gains 0.9 s per second on the recording: caught up after a little over 2 s.
  rig.Run(1500);
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Done")), 0);
  rig.Run(1500);
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Done")), 1);
  EXPECT_EQ(recorder.Status(), 1) << "the recording goes on";
  recorder.Stop();
}

TEST(Player, WhatCannotBeDone_AnswersItsCode_AndChangesNothing) {
  TPlayerRig rig;
  const QString noise = rig.NoiseFile(3);
  const QString empty = rig.Folder.File(QStringLiteral("empty.wav"));
  const QString wma = rig.Folder.File(QStringLiteral("lecture.wma"));
  const QString text = rig.Folder.File(QStringLiteral("notes.wav"));
  WriteAllBytes(empty, {});
  WriteAllBytes(wma, QByteArray(4000, '\x30'));
  WriteAllBytes(text, QByteArrayLiteral("RIFF....WAVEfmt this is not audio"));

  // Nothing loaded: playing must fail, not report success.
  EXPECT_EQ(rig.Player.PlaySound(0), ERR_SOUND_NOT_LOADED);
  EXPECT_EQ(rig.Player.GetCurrentPos(0), ERR_SOUND_NOT_LOADED);
  EXPECT_EQ(rig.Player.GetSoundDuration(1), ERR_SOUND_NOT_LOADED);

  // A failed load leaves no length to be written into a file name.
  struct RLoad {
    QString Path;
    TOleEnum Expected;
  } loads[] = {{rig.Folder.File(QStringLiteral("missing.wav")), ERR_INVALID_FILE},
               {empty, ERR_INVALID_FORMAT},
               {wma, ERR_INVALID_FORMAT},
               {text, ERR_INVALID_FORMAT}};
  for (const RLoad &l : loads) {
    SCOPED_TRACE(l.Path.toStdString());
    EXPECT_EQ(rig.Player.LoadSound(1, l.Path), l.Expected);
    EXPECT_LT(rig.Player.GetSoundDuration(1), 0);
    EXPECT_EQ(rig.Player.GetPlayerStatus(1), 0);
  }
  ASSERT_EQ(rig.Player.LoadSound(1, noise), NOERROR);
  EXPECT_EQ(rig.Player.GetSoundDuration(1), 3000);

  ASSERT_EQ(rig.Player.LoadSound(0, noise), NOERROR);
  EXPECT_EQ(rig.Player.SetTempoPerc(0, 95), ERR_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(rig.Player.SetTempoPerc(0, -51), ERR_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(rig.Player.GetTempoPerc(0), 0);
  EXPECT_EQ(rig.Player.MixerSetWaveVolume(101), ERR_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(rig.Player.MixerSetMasterVolume(-1), ERR_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(rig.Player.SeekSound(0, -5), ERR_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(rig.Player.PlaySoundRange(0, 2000, 2000), ERR_INVALID_DEST_POS);
  EXPECT_EQ(rig.Player.PlaySoundRange(0, 3000, 4000), ERR_INVALID_SOURCE_POS);
  EXPECT_EQ(rig.Player.PlaySound(2), ERR_INVALID_PLAYER);
  EXPECT_EQ(rig.Player.SetPlayerOutputDevice(0, 3), ERR_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(rig.Player.InitDJSystem(9), ERROR_TOO_MANY_PLAYERS);

  // Without an output device playing fails and nothing claims it started.
  rig.Sim->RemoveSink(QStringLiteral("alsa_output.pci"));
  rig.Sim->RemoveSink(QStringLiteral("alsa_output.hdmi"));
  EXPECT_EQ(rig.Player.PlaySound(0), ERR_INVALID_DS_CARD);
  EXPECT_EQ(rig.Player.GetPlayerStatus(0), 3);
  DeliverEvents();
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Playing")), 0);
}

TEST(Player, EventsComeOnlyFromTheEventLoop_OnTheUiThread) {
  TPlayerRig rig;
  ASSERT_EQ(rig.Player.LoadSound(0, rig.NoiseFile(2)), NOERROR);
  EXPECT_EQ(rig.Log.Call([&] { return rig.Player.PlaySound(0); }), NOERROR);
  EXPECT_EQ(rig.Log.Call([&] { return rig.Player.PauseSound(0); }), NOERROR);
  EXPECT_EQ(rig.Log.Call([&] { return rig.Player.PlaySound(0); }), NOERROR);
  EXPECT_TRUE(rig.Log.Events().empty());
  std::thread audio([&] { rig.Sim->Advance(2500); });
  audio.join();
  DeliverEvents();
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Done")), 1);
  for (const REvent &e : rig.Log.Events()) {
    EXPECT_TRUE(e.OnUiThread) << e.Name.toStdString();
    EXPECT_FALSE(e.InsideCall) << e.Name.toStdString();
  }
}
