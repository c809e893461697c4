// The recorder on the simulated machine: files of the right length in every encoding, level
// readings at their times, gains, devices and channels, result codes, and recordings that break
// off because the device went away or the disk filled up.

#include "vlAudioTestSupport.h"
#include "vlSessionSpool.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <unistd.h>
#include <thread>

namespace {

struct TRecorderRig : TSimMachine {
  TRecorderRig() : Recorder(Sim) {
    Log.Watch(Recorder);
    Recorder.SetSpoolFolder(Folder.File(QStringLiteral("spool")));
  }
  // Initialises and delivers the set-up events.
  void Init() {
    EXPECT_EQ(Recorder.InitRecordingSystem(), NOERROR);
    DeliverEvents();
    Log.Clear();
  }
  // Records MSecs on the default device into Name and stops; answers the file's path.
  QString Record(const QString &Name, std::int64_t MSecs) {
    const QString path = Folder.File(Name);
    EXPECT_EQ(Log.Call([&] { return Recorder.StartFromDirectSoundDevice(0, 0, path); }), NOERROR);
    Run(MSecs);
    EXPECT_EQ(Log.Call([&] { return Recorder.Stop(); }), NOERROR);
    DeliverEvents();
    return path;
  }

  TFreshFolder Folder;
  TActiveSoundRecorder Recorder;
  TEventLog Log;
};

struct RFormatCase {
  const char *Name;
  int OutputFormat;
  int WavMode;
  int Channels;
  const char *Extension;
};

}  // namespace

TEST(Recorder, RecordingForASetTime_GivesAFileOfThatLengthWithReadingsAtTheirTimes) {
  const RFormatCase cases[] = {
      {"PCM 8 bits", kOutputFormatWAV, 0, 1, "wav"},
      {"PCM 16 bit stereo", kOutputFormatWAV, 1, 2, "wav"},
      {"PCM 32 bits float", kOutputFormatWAV, 2, 1, "wav"},
      {"IMA ADPCM", kOutputFormatWAV, 3, 1, "wav"},
      {"Microsoft ADPCM", kOutputFormatWAV, 4, 1, "wav"},
      {"Microsoft ADPCM stereo", kOutputFormatWAV, 4, 2, "wav"},
      {"GSM 6.10", kOutputFormatWAV, 5, 1, "wav"},
      {"G721 ADPCM 32 kbps", kOutputFormatWAV, 6, 1, "wav"},
      {"Quality 3", kOutputFormatOGG, 0, 1, "ogg"},
  };
  for (const RFormatCase &c : cases) {
    SCOPED_TRACE(c.Name);
    TRecorderRig rig;
    rig.Init();
    REncodeFormats &formats = rig.Recorder.EncodeFormats();
    formats.OutputFormat = c.OutputFormat;
    formats.WavModeIndex = c.WavMode;
    formats.Channels = c.Channels;
    formats.Rate = 22050;
    formats.OggQuality = 3;

    // The stopped event must find the file finished: read it from inside the handler.
    RSound atStop;
    QString path;
    rig.Log.OnEvent = [&](const REvent &e) {
      if (e.Name == QLatin1String("Stopped")) atStop = ReadSound(path);
    };
    path = rig.Folder.File(QStringLiteral("rec.") + QLatin1String(c.Extension));
    ASSERT_EQ(rig.Recorder.StartFromDirectSoundDevice(0, 0, path), NOERROR);
    rig.Run(5000);
    ASSERT_EQ(rig.Recorder.Stop(), NOERROR);
    DeliverEvents();

    ASSERT_TRUE(atStop.Opened);
    EXPECT_EQ(atStop.Rate, 22050);
    EXPECT_EQ(atStop.Channels, c.Channels);
    // Block codecs may keep back their last partial block: within one level block of 5 s.
    EXPECT_NEAR(static_cast<double>(atStop.Frames), 5 * 22050, 2205);

    const std::vector<REvent> readings = rig.Log.Named(QStringLiteral("RecVU"));
    ASSERT_EQ(readings.size(), 50u);
    for (std::size_t i = 0; i < readings.size(); ++i) {
      EXPECT_EQ(readings[i].C, static_cast<qint64>(i + 1) * 100);
      EXPECT_NEAR(readings[i].A, 10000, 5);  // the default input: a 440 Hz sine of 10000
      EXPECT_EQ(readings[i].A, readings[i].B);
    }
    EXPECT_EQ(rig.Log.AllNames().front(), QStringLiteral("Started"));
    EXPECT_EQ(rig.Log.AllNames().back(), QStringLiteral("Stopped"));
    EXPECT_EQ(rig.Log.Named(QStringLiteral("Stopped")).front().A, 1);
    EXPECT_EQ(rig.Recorder.Status(), 0);
  }
}

TEST(Recorder, GainSaturatesAtFullScale_AndChannelVolumeScalesDown) {
  TRecorderRig rig;
  rig.Sim->SetSourceGenerator(QStringLiteral("alsa_input.pci"), SquareGenerator(100, 32767));
  rig.Init();
  rig.Recorder.EncodeFormats().WavModeIndex = 1;
  ASSERT_EQ(rig.Recorder.SetAutoGainControllerSettings(80, 20, 500, 5), NOERROR);
  ASSERT_EQ(rig.Recorder.EnableAutoGainController(true), NOERROR);
  const RSound loud = ReadSound(rig.Record(QStringLiteral("loud.wav"), 1000));
  ASSERT_EQ(rig.Log.Count(QStringLiteral("RecVU")), 10);
  for (const REvent &e : rig.Log.Named(QStringLiteral("RecVU"))) EXPECT_EQ(e.A, 32767);
  // -32768 * 5 saturates to -32768, never wraps.
  EXPECT_EQ(*std::min_element(loud.Samples.begin(), loud.Samples.end()), -32768);
  EXPECT_EQ(*std::max_element(loud.Samples.begin(), loud.Samples.end()), 32767);

  int target = 0, quiet = 0, gain = 0, rate = 0;
  rig.Recorder.GetAutoGainControllerSettings(target, quiet, gain, rate);
  EXPECT_EQ(gain, 500);

  // Without the automatic gain, channel volume 50 halves the readings.
  rig.Log.Clear();
  rig.Sim->SetSourceGenerator(QStringLiteral("alsa_input.pci"), SineGenerator(440, 10000));
  rig.Recorder.EnableAutoGainController(false);
  ASSERT_EQ(rig.Recorder.SetInputDeviceChannelVolume(0, 0, 50), NOERROR);
  rig.Record(QStringLiteral("half.wav"), 500);
  for (const REvent &e : rig.Log.Named(QStringLiteral("RecVU"))) EXPECT_NEAR(e.A, 5000, 3);
}

TEST(Recorder, DevicesAndChannels_DefaultFirstThenSortedMonitorsLast) {
  TRecorderRig rig;
  rig.Init();
  ASSERT_EQ(rig.Recorder.GetInputDevicesCount(), 4);
  EXPECT_EQ(rig.Recorder.GetInputDeviceDesc(0), QStringLiteral("Default"));
  EXPECT_EQ(rig.Recorder.GetInputDeviceDesc(1), QStringLiteral("Built-in Audio"));
  EXPECT_EQ(rig.Recorder.GetInputDeviceDesc(2), QStringLiteral("USB Headset"));
  EXPECT_EQ(rig.Recorder.GetInputDeviceDesc(3), QStringLiteral("Monitor of Built-in Audio"));

  // "Default" is the built-in source here, with its two inputs; the headset has none.
  ASSERT_EQ(rig.Recorder.GetInputDeviceChannelsCount(0), 2);
  EXPECT_EQ(rig.Recorder.GetInputDeviceChannelDesc(1, 1), QStringLiteral("Line In"));
  EXPECT_EQ(rig.Recorder.GetInputDeviceChannelsCount(2), 1);
  EXPECT_EQ(rig.Recorder.GetInputDeviceChannelDesc(2, 0), QStringLiteral("Default"));

  EXPECT_EQ(rig.Recorder.GetInputDeviceChannelDefault(1), 0);
  ASSERT_EQ(rig.Recorder.SetInputDeviceChannelDefault(1, 1), NOERROR);
  EXPECT_EQ(rig.Recorder.GetInputDeviceChannelDefault(1), 1);
  EXPECT_EQ(rig.Recorder.GetInputDeviceChannelDefault(0), 1) << "the same source as Default";
  rig.Recorder.InitRecordingSystem();
  EXPECT_EQ(rig.Recorder.GetInputDeviceChannelDefault(1), 1) << "the server keeps the choice";

  EXPECT_EQ(rig.Recorder.GetInputDeviceChannelVolume(1, 0), 100);
  EXPECT_EQ(rig.Recorder.SetInputDeviceChannelVolume(1, 0, 101), ERR_VALUE_OUT_OF_RANGE);
  EXPECT_EQ(rig.Recorder.SetInputDeviceChannelVolume(1, 7, 50), ERR_INVALID_INPUT_CHANNEL);
  EXPECT_EQ(rig.Recorder.GetSupportedRecordFormatsCount(1), 14);
  EXPECT_EQ(rig.Recorder.GetSupportedRecordFormatDesc(1, 6),
            QStringLiteral("22050 Hz, 16 bit, Mono"));
}

TEST(Recorder, MachineWithoutAnySource_WarnsAfterFormatsAvailable) {
  TSimMachine machine;
  for (const char *name : {"alsa_input.usb", "alsa_input.pci", "alsa_output.pci.monitor"})
    machine.Sim->RemoveSource(QString::fromUtf8(name));
  TActiveSoundRecorder recorder(machine.Sim);
  TEventLog log;
  log.Watch(recorder);
  EXPECT_EQ(log.Call([&] { return recorder.InitRecordingSystem(); }), NOERROR);
  EXPECT_TRUE(log.Events().empty());
  DeliverEvents();
  EXPECT_EQ(log.Names(), (std::vector<QString>{QStringLiteral("FormatsAvailable"),
                                               QStringLiteral("NoInputDevice")}));
}

// A desktop recording what it plays (an online lecture): its only sources are monitors, and the
// server names no default source. "Default" records from the monitor, without the warning.
TEST(Recorder, MachineWithOnlyAMonitor_RecordsFromItThroughDefaultWithoutWarning) {
  TRecorderRig rig;
  rig.Sim->RemoveSource(QStringLiteral("alsa_input.usb"));
  rig.Sim->RemoveSource(QStringLiteral("alsa_input.pci"));
  EXPECT_EQ(rig.Log.Call([&] { return rig.Recorder.InitRecordingSystem(); }), NOERROR);
  DeliverEvents();
  EXPECT_EQ(rig.Log.Names(), (std::vector<QString>{QStringLiteral("FormatsAvailable")}));
  rig.Log.Clear();
  ASSERT_EQ(rig.Recorder.GetInputDevicesCount(), 2);
  EXPECT_EQ(rig.Recorder.GetInputDeviceDesc(0), QStringLiteral("Default"));
  EXPECT_EQ(rig.Recorder.GetInputDeviceDesc(1), QStringLiteral("Monitor of Built-in Audio"));
  const QString path = rig.Record(QStringLiteral("lecture.wav"), 1000);
  EXPECT_TRUE(QFileInfo(path).size() > 44) << "the monitor's sound was written";
}

TEST(Recorder, ResultCodes_AndNothingLeftOnDiskAfterAFailedStart) {
  TRecorderRig rig;
  const QString path = rig.Folder.File(QStringLiteral("a.wav"));
  EXPECT_EQ(rig.Recorder.StartFromDirectSoundDevice(0, 0, path), ERR_NOT_INITIALIZED);
  rig.Init();

  // A folder without write permission; root writes anywhere, so there the case shows nothing.
  const QString locked = rig.Folder.File(QStringLiteral("locked"));
  QDir().mkpath(locked);
  QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  const TOleEnum lockedExpected = geteuid() == 0 ? NOERROR : ERR_CANNOT_CREATE_FILE;

  const QString existing = rig.Folder.File(QStringLiteral("earlier recording.wav"));
  WriteAllBytes(existing, QByteArrayLiteral("keep me"));
  WriteAllBytes(rig.Folder.File(QStringLiteral("plainfile")), QByteArrayLiteral("x"));

  struct RCase {
    const char *Name;
    int Format, WavMode, Channels, Dev, Ch;
    QString Path;
    TOleEnum Expected;
  } cases[] = {
      {"WMA cannot be written", kOutputFormatWMA, 4, 1, 0, 0, path, ERR_INVALID_FORMAT},
      {"GSM holds one channel", kOutputFormatWAV, 5, 2, 0, 0, path, ERR_ENCODER_ERROR},
      {"three channels", kOutputFormatWAV, 1, 3, 0, 0, path, ERR_INVALID_INPUT_FORMAT},
      {"no such device", kOutputFormatWAV, 1, 1, 9, 0, path, ERR_INVALID_INPUT_DEVICE},
      {"no such channel", kOutputFormatWAV, 1, 1, 2, 1, path, ERR_INVALID_INPUT_CHANNEL},
      {"never over an existing file", kOutputFormatWAV, 1, 1, 0, 0, existing,
       ERR_CANNOT_CREATE_FILE},
      {"folder is a file", kOutputFormatWAV, 1, 1, 0, 0,
       rig.Folder.File(QStringLiteral("plainfile/a.wav")), ERR_CANNOT_CREATE_FILE},
      {"folder missing", kOutputFormatWAV, 1, 1, 0, 0,
       rig.Folder.File(QStringLiteral("missing/a.wav")), ERR_CANNOT_CREATE_FILE},
      {"folder not writable", kOutputFormatWAV, 1, 1, 0, 0, locked + QStringLiteral("/a.wav"),
       lockedExpected},
  };
  for (const RCase &c : cases) {
    SCOPED_TRACE(c.Name);
    rig.Recorder.EncodeFormats().OutputFormat = c.Format;
    rig.Recorder.EncodeFormats().WavModeIndex = c.WavMode;
    rig.Recorder.EncodeFormats().Channels = c.Channels;
    EXPECT_EQ(rig.Recorder.StartFromDirectSoundDevice(c.Dev, c.Ch, c.Path), c.Expected);
    if (c.Expected == NOERROR) rig.Recorder.Stop();
    EXPECT_EQ(rig.Recorder.Status(), 0);
  }
  QFile::setPermissions(locked,
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  EXPECT_EQ(ReadAllBytes(existing), QByteArrayLiteral("keep me"));
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_EQ(rig.Sim->OpenCaptureCount(), 0);

  rig.Recorder.EncodeFormats() = REncodeFormats{};
  EXPECT_EQ(rig.Recorder.Stop(), ERR_RECORDER_EMPTY);
  ASSERT_EQ(rig.Recorder.StartFromDirectSoundDevice(0, 0, path), NOERROR);
  EXPECT_EQ(rig.Recorder.StartFromDirectSoundDevice(0, 0, rig.Folder.File(QStringLiteral("b.wav"))),
            ERR_RECORDER_BUSY);
  rig.Recorder.Stop();

  rig.Sim->SetServerReachable(false);
  TActiveSoundRecorder unreachable(rig.Sim);
  EXPECT_EQ(unreachable.InitRecordingSystem(), ERR_NOT_INITIALIZED);
}

// Frame F of channel C is 1 + F % 20000, negated on the right: every frame is told apart from
// silence and its position can be read from it.
std::int16_t RampSample(std::int64_t Frame, int Channel) {
  const auto v = static_cast<std::int16_t>(1 + Frame % 20000);
  return Channel == 0 ? v : static_cast<std::int16_t>(-v);
}

TEST(Recorder, AudioTheRingCannotHold_BecomesSilenceWhereItWasLost_AndTheLengthKeepsStep) {
  for (int channels : {1, 2}) {
    SCOPED_TRACE(channels == 1 ? "mono" : "stereo");
    TRecorderRig rig;
    rig.Sim->SetSourceGenerator(
        QStringLiteral("alsa_input.pci"),
        [](std::int64_t First, std::int16_t *Out, std::size_t Frames, int, int Channels) {
          for (std::size_t f = 0; f < Frames; ++f)
            for (int c = 0; c < Channels; ++c)
              *Out++ = RampSample(First + static_cast<std::int64_t>(f), c);
        });
    rig.Init();
    rig.Recorder.EncodeFormats().WavModeIndex = 1;
    rig.Recorder.EncodeFormats().Channels = channels;
    const QString path = rig.Folder.File(QStringLiteral("overflow.wav"));
    const std::int64_t start = rig.Sim->NowMSecs();
    ASSERT_EQ(rig.Recorder.StartFromDirectSoundDevice(0, 0, path), NOERROR);
    rig.Run(500);
    // The disk holds the worker up for 15 s, longer than the ring lasts, and then a little
    // between the next blocks while it catches up: audio after the loss enters the ring before the
    // worker has emptied it.
    int stalls = 0;
    rig.Sim->SetWorkerStall([&stalls]() -> std::int64_t {
      ++stalls;
      return stalls == 1 ? 15000 : stalls <= 40 ? 10 : 0;
    });
    rig.Run(500);
    rig.Sim->SetWorkerStall({});
    rig.Run(1000);
    ASSERT_EQ(rig.Recorder.Stop(), NOERROR);
    DeliverEvents();
    const std::int64_t recordedMSecs = rig.Sim->NowMSecs() - start;

    const RSound sound = ReadSound(path);
    ASSERT_TRUE(sound.Opened);
    EXPECT_EQ(sound.Frames, recordedMSecs * 22050 / 1000);
    // Every frame is the one captured at its moment or silence, and the silence is one stretch.
    std::int64_t silentFrom = -1, silentTo = -1, misplaced = 0;
    for (std::int64_t f = 0; f < sound.Frames; ++f) {
      bool silent = true, inPlace = true;
      for (int c = 0; c < channels; ++c) {
        const std::int16_t v = sound.Samples[static_cast<std::size_t>(f * channels + c)];
        silent = silent && v == 0;
        inPlace = inPlace && v == RampSample(f, c);
      }
      if (silent) {
        if (silentFrom < 0) silentFrom = f;
        if (silentTo >= 0 && silentTo != f) ++misplaced;
        silentTo = f + 1;
      } else if (!inPlace) {
        ++misplaced;
      }
    }
    EXPECT_EQ(misplaced, 0);
    EXPECT_GT(silentTo - silentFrom, 22050) << "more than a second was lost";
  }
}

TEST(Recorder, DeviceLostMidRecording_ClosesTheFileThenReportsBrokenOff) {
  TRecorderRig rig;
  rig.Init();
  const QString path = rig.Folder.File(QStringLiteral("lost.wav"));
  RSound atStop;
  rig.Log.OnEvent = [&](const REvent &e) {
    if (e.Name == QLatin1String("Stopped")) atStop = ReadSound(path);
  };
  ASSERT_EQ(rig.Recorder.StartFromDirectSoundDevice(0, 0, path), NOERROR);
  rig.Run(2000);
  rig.Sim->RemoveSource(QStringLiteral("alsa_input.pci"));
  rig.Run(500);

  ASSERT_EQ(rig.Log.Count(QStringLiteral("Stopped")), 1);
  EXPECT_EQ(rig.Log.Named(QStringLiteral("Stopped")).front().A, 0);
  EXPECT_EQ(rig.Recorder.Status(), 0);
  EXPECT_EQ(rig.Sim->OpenCaptureCount(), 0);
  ASSERT_TRUE(atStop.Opened);
  EXPECT_NEAR(static_cast<double>(atStop.Frames), 2 * 22050, 2205);
  EXPECT_FALSE(rig.Recorder.LastError().isEmpty());

  // Stop after the break changes nothing, and the next recording starts normally.
  EXPECT_EQ(rig.Recorder.Stop(), ERR_RECORDER_EMPTY);
  rig.Sim->AddSource(QStringLiteral("alsa_input.pci"), QStringLiteral("Built-in Audio"),
                     SineGenerator(440, 10000));
  rig.Log.Clear();
  rig.Record(QStringLiteral("next.wav"), 300);
  EXPECT_EQ(rig.Log.Named(QStringLiteral("Stopped")).front().A, 1);
}

TEST(Recorder, DiskFullMidRecording_KeepsWhatWasWrittenAndReportsBrokenOff) {
  TRecorderRig rig;
  rig.Init();
  rig.Recorder.EncodeFormats().WavModeIndex = 1;  // 44100 bytes per second
  const QString path = rig.Folder.File(QStringLiteral("full.wav"));

  // The process may not grow any file beyond 100000 bytes: writes past it fail as on a full disk.
  {
    TFullDisk full(100000);
    ASSERT_TRUE(full.Active());
    ASSERT_EQ(rig.Recorder.StartFromDirectSoundDevice(0, 0, path), NOERROR);
    rig.Run(4000);
  }

  ASSERT_EQ(rig.Log.Count(QStringLiteral("Stopped")), 1);
  EXPECT_EQ(rig.Log.Named(QStringLiteral("Stopped")).front().A, 0);
  EXPECT_EQ(rig.Sim->OpenCaptureCount(), 0);
  const RSound sound = ReadSound(path);
  ASSERT_TRUE(sound.Opened);
  // About 2.2 s fit; everything that fit is there.
  EXPECT_GT(sound.Samples.size(), 40000u);
  EXPECT_LE(sound.Samples.size(), 50000u);
  EXPECT_TRUE(rig.Recorder.LastError().contains(QStringLiteral("written")));
}

TEST(Recorder, EventsArriveInOrder_OnlyOnTheUiThread_NeverInsideACall) {
  TRecorderRig rig;
  rig.Init();
  const QString path = rig.Folder.File(QStringLiteral("threads.wav"));
  EXPECT_EQ(rig.Log.Call([&] { return rig.Recorder.StartFromDirectSoundDevice(0, 0, path); }),
            NOERROR);
  // The audio moves on another thread, as it does with a sound server.
  std::thread audio([&] { rig.Sim->Advance(1000); });
  audio.join();
  EXPECT_TRUE(rig.Log.Events().empty()) << "nothing is delivered before the event loop runs";
  DeliverEvents();
  EXPECT_EQ(rig.Log.Call([&] { return rig.Recorder.Stop(); }), NOERROR);
  EXPECT_EQ(rig.Log.Count(QStringLiteral("Stopped")), 0) << "Stop returns before its event";
  DeliverEvents();

  const std::vector<QString> names = rig.Log.AllNames();
  ASSERT_EQ(names.size(), 12u);
  EXPECT_EQ(names.front(), QStringLiteral("Started"));
  EXPECT_EQ(names.back(), QStringLiteral("Stopped"));
  qint64 lastMSecs = 0;
  for (const REvent &e : rig.Log.Events()) {
    EXPECT_TRUE(e.OnUiThread) << e.Name.toStdString();
    EXPECT_FALSE(e.InsideCall) << e.Name.toStdString();
    if (e.Name == QLatin1String("RecVU")) {
      EXPECT_EQ(e.C, lastMSecs + 100);
      lastMSecs = e.C;
    }
  }
}

TEST(Recorder, StopBeforeAnythingWasCaptured_StillPairsStartedWithStopped) {
  TRecorderRig rig;
  rig.Init();
  const QString path = rig.Folder.File(QStringLiteral("empty.wav"));
  ASSERT_EQ(rig.Recorder.StartFromDirectSoundDevice(0, 0, path), NOERROR);
  EXPECT_EQ(rig.Recorder.Status(), 2);
  ASSERT_EQ(rig.Recorder.Stop(), NOERROR);
  DeliverEvents();
  EXPECT_EQ(rig.Log.Names(),
            (std::vector<QString>{QStringLiteral("Started"), QStringLiteral("Stopped")}));
  EXPECT_TRUE(ReadSound(path).Opened);
}

TEST(Recorder, SpoolOfASessionIsRemovedWithItsLastHolder_AndStaleOnesAtInit) {
  TRecorderRig rig;
  const QString spoolFolder = rig.Folder.File(QStringLiteral("spool"));
  QDir().mkpath(spoolFolder);
  // A spool left by a process that no longer runs (pid 1 runs, an absurd one does not).
  const QString stale = spoolFolder + QStringLiteral("/session-999999999-0.raw");
  WriteAllBytes(stale, QByteArrayLiteral("old"));
  rig.Init();
  EXPECT_FALSE(QFile::exists(stale));

  ASSERT_EQ(rig.Recorder.StartFromDirectSoundDevice(0, 0, rig.Folder.File(QStringLiteral("s.wav"))),
            NOERROR);
  rig.Run(300);
  std::shared_ptr<TSessionSpool> held = rig.Recorder.SessionSpool();
  ASSERT_TRUE(held);
  EXPECT_EQ(held->Frames(), 300 * 22050 / 1000);
  const QString spoolPath = held->Path();
  rig.Recorder.Stop();
  EXPECT_TRUE(QFile::exists(spoolPath)) << "a holder keeps it after the stop";
  EXPECT_TRUE(held->IsFinished());
  held.reset();
  EXPECT_FALSE(QFile::exists(spoolPath));
}
