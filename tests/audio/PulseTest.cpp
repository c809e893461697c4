// The recorder and the player against a real sound server: a private PulseAudio daemon with null
// sinks, started by the CTest fixture (pulse_fixture.sh). Speech played into one sink is recorded
// from its monitor; bursts played from a position at 100 % and 150 % are captured back from the
// other sink's monitor and must arrive where the player's reported position says. Where the
// daemon could not start these tests fail under CI and are skipped elsewhere.

#include "vlAudioTestSupport.h"
#include "vlPulseTestSupport.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <chrono>
#include <cmath>
#include <mutex>

namespace {

// Runs a program of the sound server's tools; its standard output, or empty on failure.
QString RunTool(const QString &Program, const QStringList &Arguments, bool *Ok = nullptr) {
  QProcess process;
  process.start(Program, Arguments);
  const bool finished = process.waitForFinished(30000);
  const bool ok =
      finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
  if (Ok) *Ok = ok;
  return ok ? QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed() : QString();
}

int InputNamed(const TActiveSoundRecorder &Recorder, const QString &Description) {
  for (int i = 0; i < Recorder.GetInputDevicesCount(); ++i)
    if (Recorder.GetInputDeviceDesc(i) == Description) return i;
  return -1;
}

int OutputNamed(const TAmp3dj &Player, const QString &Description) {
  for (int i = 0; i < Player.GetOutputDevicesCount(); ++i)
    if (Player.GetOutputDeviceDesc(i) == Description) return i;
  return -1;
}

// 10 ms loudness steps.
std::vector<double> Envelope(const std::vector<std::int16_t> &Samples, int Rate) {
  const std::size_t step = static_cast<std::size_t>(Rate / 100);
  std::vector<double> envelope;
  for (std::size_t at = 0; at + step <= Samples.size(); at += step) {
    double sum = 0;
    for (std::size_t i = at; i < at + step; ++i) sum += double(Samples[i]) * Samples[i];
    envelope.push_back(std::sqrt(sum / step));
  }
  return envelope;
}

// The best normalised correlation of Pattern laid anywhere over Signal.
double BestCorrelation(const std::vector<double> &Signal, const std::vector<double> &Pattern) {
  double best = 0;
  for (std::size_t lag = 0; lag + Pattern.size() <= Signal.size(); ++lag) {
    double dot = 0, a = 0, b = 0;
    for (std::size_t i = 0; i < Pattern.size(); ++i) {
      dot += Signal[lag + i] * Pattern[i];
      a += Signal[lag + i] * Signal[lag + i];
      b += Pattern[i] * Pattern[i];
    }
    if (a > 0 && b > 0) best = std::max(best, dot / std::sqrt(a * b));
  }
  return best;
}

// Each burst found in what was heard must have sounded where the positions sampled around that
// moment put it, within Tolerance milliseconds; returns how many were checked.
int CheckBurstsAgainstPositions(TCaptureLog &Heard, int Rate,
                                const std::vector<std::pair<std::int64_t, int>> &Positions,
                                const std::vector<int> &Bursts, double Tolerance) {
  int matched = 0;
  for (double at : FindBursts(Heard.Samples(), Rate, 8000)) {
    const std::int64_t moment = Heard.MicrosAt(at);
    const auto after =
        std::lower_bound(Positions.begin(), Positions.end(), std::make_pair(moment, INT_MIN));
    if (after == Positions.begin() || after == Positions.end()) continue;
    const auto before = after - 1;
    const double share = double(moment - before->first) / double(after->first - before->first);
    const double reported = before->second + share * (after->second - before->second);
    const int expected = *std::min_element(Bursts.begin(), Bursts.end(), [&](int a, int b) {
      return std::abs(a - reported) < std::abs(b - reported);
    });
    EXPECT_NEAR(reported, expected, Tolerance) << "burst heard " << at << " ms into the capture";
    ++matched;
  }
  return matched;
}

// A null sink that has been idle plays its next step only when its idle step (up to 2 s) has run
// out, while the server's clock for a new stream already runs: a short silence wakes it. Sound
// cards rewind instead and need nothing of the kind.
void WakeSink(TAmp3dj &Player, TEventLog &Log, const QString &Silence) {
  ASSERT_EQ(Player.LoadSound(0, Silence), NOERROR);
  ASSERT_EQ(Player.PlaySound(0), NOERROR);
  ASSERT_TRUE(WaitFor([&] { return Log.Count(QStringLiteral("Done")) == 1; }, 5000));
  Log.Clear();
}

}  // namespace

TEST_F(PulseDaemon, SpeechPlayedIntoASink_IsRecordedFromItsMonitor) {
  const QString speechPath = Folder.File(QStringLiteral("speech.wav"));
  bool spoke = false;
  RunTool(QStringLiteral("espeak-ng"),
          {QStringLiteral("-w"), speechPath,
           QStringLiteral("One two three. This is a recording test.")},
          &spoke);
  if (!spoke) return FailOrSkip(QStringLiteral("espeak-ng could not make the speech sample"));
  const RSound speech = ReadSound(speechPath);
  ASSERT_TRUE(speech.Opened);

  TActiveSoundRecorder recorder(Backend);
  TEventLog log;
  log.Watch(recorder);
  ASSERT_EQ(recorder.InitRecordingSystem(), NOERROR);
  const int input = InputNamed(recorder, QStringLiteral("Monitor of VellomarIn"));
  ASSERT_GT(input, 0);
  EXPECT_EQ(recorder.GetInputDeviceDesc(0), QStringLiteral("Default"));
  recorder.EncodeFormats().WavModeIndex = 1;  // PCM 16 bit, 22050 Hz mono
  const QString path = Folder.File(QStringLiteral("speech-recorded.wav"));
  ASSERT_EQ(log.Call([&] { return recorder.StartFromDirectSoundDevice(input, 0, path); }), NOERROR);
  ASSERT_TRUE(WaitFor([&] { return log.Count(QStringLiteral("Started")) == 1; }, 5000));
  QElapsedTimer wall;
  wall.start();

  bool played = false;
  RunTool(QStringLiteral("paplay"), {QStringLiteral("-d"), QStringLiteral("vl_in"), speechPath},
          &played);
  ASSERT_TRUE(played);
  WaitFor([] { return false; }, 300);
  ASSERT_EQ(log.Call([&] { return recorder.Stop(); }), NOERROR);
  const double seconds = wall.elapsed() / 1000.0;
  ASSERT_TRUE(WaitFor([&] { return log.Count(QStringLiteral("Stopped")) == 1; }, 5000));
  EXPECT_EQ(log.Named(QStringLiteral("Stopped")).front().A, 1);

  const RSound recorded = ReadSound(path);
  ASSERT_TRUE(recorded.Opened);
  // The started event comes once the recorder has heard enough to know when its sound began.
  const double held = TActiveSoundRecorder::kStartSettleMSecs / 1000.0;
  EXPECT_NEAR(static_cast<double>(recorded.Frames), (seconds + held) * 22050,
              seconds * 22050 * 0.1);
  EXPECT_GT(PeakOf(recorded.Samples), 1000);
  const double correlation =
      BestCorrelation(Envelope(recorded.Samples, 22050), Envelope(speech.Samples, 22050));
  EXPECT_GT(correlation, 0.9) << "the recording holds the speech";

  // A reading per 100 ms, all delivered on the user-interface thread, none inside a call.
  EXPECT_NEAR(log.Count(QStringLiteral("RecVU")), recorded.Frames / 2205.0, 2);
  for (const REvent &e : log.Events()) {
    EXPECT_TRUE(e.OnUiThread) << e.Name.toStdString();
    EXPECT_FALSE(e.InsideCall) << e.Name.toStdString();
  }
}

TEST_F(PulseDaemon, BurstsArriveWhereTheReportedPositionSays_AtNaturalAndOneAndAHalfSpeed) {
  VL_SKIP_TIMING_WHEN_INSTRUMENTED();
  const int rate = 44100;
  const std::vector<int> bursts = {3000, 4000, 5000, 6000};
  const QString path = Folder.File(QStringLiteral("bursts.wav"));
  ASSERT_TRUE(WriteSound(path, rate, 1, BurstSamples(rate, 6300, bursts)));
  const QString silence = Folder.File(QStringLiteral("silence.wav"));
  ASSERT_TRUE(WriteSound(silence, rate, 1, std::vector<std::int16_t>(rate / 5)));

  for (int tempo : {0, 50}) {
    SCOPED_TRACE(tempo);
    TAmp3dj player(Backend);
    TEventLog log;
    log.Watch(player);
    ASSERT_EQ(player.InitDJSystem(2), NOERROR);
    const int output = OutputNamed(player, QStringLiteral("VellomarOut"));
    ASSERT_GT(output, 0);
    EXPECT_EQ(player.GetOutputDeviceDesc(0), QStringLiteral("Default"));
    ASSERT_EQ(player.SetPlayerOutputDevice(0, output), NOERROR);

    // The monitor hears each step of the null sink as soon as the sink plays it, which is up to
    // one capture fragment early: fine fragments keep that error small.
    TCaptureLog heard(rate);
    QString error;
    Backend->SetCaptureFragmentMSecs(2);
    std::unique_ptr<TAudioCaptureStream> monitor =
        Backend->OpenCapture(QStringLiteral("vl_out.monitor"), rate, 1, heard, error);
    ASSERT_TRUE(monitor) << error.toStdString();
    WakeSink(player, log, silence);

    ASSERT_EQ(player.LoadSound(0, path), NOERROR);
    ASSERT_EQ(player.SetTempoPerc(0, tempo), NOERROR);
    ASSERT_EQ(player.SeekSound(0, 2500), NOERROR);
    ASSERT_EQ(player.PlaySound(0), NOERROR);
    std::vector<std::pair<std::int64_t, int>> positions;  // (moment, reported position)
    WaitFor(
        [&] {
          SamplePosition(positions, [&] { return player.GetCurrentPos(); });
          return log.Count(QStringLiteral("Done")) == 1;
        },
        15000);
    ASSERT_EQ(log.Count(QStringLiteral("Done")), 1);
    EXPECT_EQ(player.GetCurrentPos(), 6300);
    WaitFor([] { return false; }, 200);
    monitor.reset();

    EXPECT_EQ(CheckBurstsAgainstPositions(heard, rate, positions, bursts, 30),
              static_cast<int>(bursts.size()));
  }
}

TEST_F(PulseDaemon, APausedPlayerHoldsItsPosition_AndGoesOnFromItAfterTheResume) {
  VL_SKIP_TIMING_WHEN_INSTRUMENTED();
  const int rate = 44100;
  const QString path = Folder.File(QStringLiteral("bursts.wav"));
  ASSERT_TRUE(WriteSound(path, rate, 1, BurstSamples(rate, 6300, {3000, 4000, 5000, 6000})));
  const QString silence = Folder.File(QStringLiteral("silence.wav"));
  ASSERT_TRUE(WriteSound(silence, rate, 1, std::vector<std::int16_t>(rate / 5)));

  TAmp3dj player(Backend);
  TEventLog log;
  log.Watch(player);
  ASSERT_EQ(player.InitDJSystem(2), NOERROR);
  const int output = OutputNamed(player, QStringLiteral("VellomarOut"));
  ASSERT_GT(output, 0);
  ASSERT_EQ(player.SetPlayerOutputDevice(0, output), NOERROR);
  WakeSink(player, log, silence);

  ASSERT_EQ(player.LoadSound(0, path), NOERROR);
  ASSERT_EQ(player.SeekSound(0, 2500), NOERROR);
  ASSERT_EQ(player.PlaySound(0), NOERROR);
  ASSERT_TRUE(WaitFor([&] { return player.GetCurrentPos() >= 3400; }, 10000));
  const int atPause = player.GetCurrentPos();
  ASSERT_EQ(player.PauseSound(0), NOERROR);
  // The server plays on until it takes the pause, and says where it stopped a moment later
  // (hundreds of milliseconds on a loaded machine); a second of pause is not a second on.
  WaitFor([] { return false; }, 1000);
  const int held = player.GetCurrentPos();
  EXPECT_LT(held - atPause, 500);
  EXPECT_LT(held, 4000);

  // From the resume on the position runs no faster than the clock, give or take what the server
  // renders ahead at the restart: the readings taken before the pause are not carried on across
  // it (that would put the position up to the whole buffer, half a second, ahead).
  const std::int64_t resumed = SteadyMicros();
  ASSERT_EQ(player.PlaySound(0), NOERROR);
  std::vector<std::pair<std::int64_t, int>> positions;  // (moment, reported position)
  WaitFor(
      [&] {
        SamplePosition(positions, [&] { return player.GetCurrentPos(); });
        return log.Count(QStringLiteral("Done")) == 1;
      },
      15000);
  ASSERT_EQ(log.Count(QStringLiteral("Done")), 1);
  for (const auto &[moment, position] : positions)
    EXPECT_LE(position - held, (moment - resumed) / 1000 + 250) << (moment - resumed) / 1000;
  EXPECT_EQ(player.GetCurrentPos(), 6300);
}

TEST_F(PulseDaemon, DeviceRemovedWhileRecording_EndsTheRecordingWithItsFileIntact) {
  bool loaded = false;
  const QString module =
      RunTool(QStringLiteral("pactl"),
              {QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
               QStringLiteral("sink_name=vl_gone"),
               QStringLiteral("sink_properties=device.description=VellomarGone")},
              &loaded);
  ASSERT_TRUE(loaded);
  TActiveSoundRecorder recorder(Backend);
  TEventLog log;
  log.Watch(recorder);
  ASSERT_EQ(recorder.InitRecordingSystem(), NOERROR);
  const int input = InputNamed(recorder, QStringLiteral("Monitor of VellomarGone"));
  ASSERT_GT(input, 0);
  const QString path = Folder.File(QStringLiteral("gone.wav"));
  ASSERT_EQ(recorder.StartFromDirectSoundDevice(input, 0, path), NOERROR);
  ASSERT_TRUE(WaitFor([&] { return log.Count(QStringLiteral("Started")) == 1; }, 5000));
  WaitFor([] { return false; }, 1000);
  RunTool(QStringLiteral("pactl"), {QStringLiteral("unload-module"), module}, &loaded);
  ASSERT_TRUE(loaded);
  ASSERT_TRUE(WaitFor([&] { return log.Count(QStringLiteral("Stopped")) == 1; }, 5000));
  EXPECT_EQ(log.Named(QStringLiteral("Stopped")).front().A, 0);
  EXPECT_EQ(recorder.Status(), 0);
  const RSound sound = ReadSound(path);
  ASSERT_TRUE(sound.Opened);
  EXPECT_GT(sound.Frames, 22050 * 8 / 10);
}
