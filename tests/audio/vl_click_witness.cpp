// A witness of what sounded when, for the end-to-end run against the private PulseAudio daemon.
//
//   vl_click_witness play OUT SECONDS
//     Opens a capture client of its own on the input sink's monitor, then plays a click track
//     with irregular gaps (250-420 ms) into the input sink for about SECONDS seconds. Touches
//     OUT.playing when the clicks are about to start. Writes to OUT the wall-clock moment of each
//     click as it sounded (seconds since the epoch, one a line), as the witness heard it.
//   vl_click_witness onsets FILE
//     Prints the milliseconds at which each click begins in a recorded sound file, one a line.
//
// PULSE_SERVER names the daemon. Exit code 0 on success, 1 on a failure (said on stderr).

#include "vlAudioTestSupport.h"
#include "vlPulseBackend.h"
#include "vlPulseTestSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <random>

namespace {

constexpr int kRate = 22050;
constexpr int kThreshold = 6000;

int Fail(const QString &Message) {
  std::fprintf(stderr, "vl_click_witness: %s\n", qPrintable(Message));
  return 1;
}

// Irregular gaps, so that a letter's phase to the last click does not repeat along the track; at
// least 250 ms, so that the burst finder (200 ms of quiet between bursts) tells every click apart.
std::vector<int> ClickMoments(int Seconds) {
  std::mt19937 random(static_cast<std::uint32_t>(SteadyMicros()));
  std::uniform_int_distribution<int> gap(250, 420);
  std::vector<int> clicks;
  for (int at = 200; at < Seconds * 1000; at += gap(random)) clicks.push_back(at);
  return clicks;
}

// The onsets heard that are the clicks played, one for each click in its order. A click sounds
// its gap after the one before it or later (the player may run dry on a busy machine and stall
// the track), never sooner: a burst heard sooner is not a click. Empty when clicks are missing.
std::vector<double> Matched(const std::vector<double> &Heard, const std::vector<int> &Clicks) {
  std::vector<double> matched;
  std::size_t j = 0;
  for (std::size_t i = 0; i < Clicks.size(); ++i) {
    const double earliest = i == 0 ? -1e18 : matched.back() + (Clicks[i] - Clicks[i - 1]) - 5;
    while (j < Heard.size() && Heard[j] < earliest) ++j;
    if (j == Heard.size()) return {};
    matched.push_back(Heard[j++]);
  }
  return matched;
}

int Play(const QString &Out, int Seconds) {
  const QString track = Out + QStringLiteral(".track.wav");
  const std::vector<int> clicks = ClickMoments(Seconds);
  if (!WriteSound(track, kRate, 1, BurstSamples(kRate, Seconds * 1000 + 300, clicks)))
    return Fail(QStringLiteral("cannot write ") + track);

  TPulseBackend backend;
  QString error;
  if (!backend.Connect(error)) return Fail(QStringLiteral("no sound server: ") + error);
  backend.SetCaptureFragmentMSecs(2);
  TCaptureLog witness(kRate);
  std::unique_ptr<TAudioCaptureStream> stream =
      backend.OpenCapture(QStringLiteral("vl_in.monitor"), kRate, 1, witness, error);
  if (!stream) return Fail(QStringLiteral("cannot capture vl_in.monitor: ") + error);
  // The steady clock against the wall clock, read together.
  const std::int64_t steady0 = SteadyMicros();
  const auto wall0 = std::chrono::system_clock::now();
  QThread::msleep(300);

  QFile::remove(Out);
  QFile playing(Out + QStringLiteral(".playing"));
  if (!playing.open(QIODevice::WriteOnly)) return Fail(QStringLiteral("cannot touch ") + Out);
  playing.close();
  QProcess paplay;
  // A short buffer: the null sink then plays (and its monitor hears) in small steps, as a sound
  // card would, rather than seconds ahead.
  paplay.start(QStringLiteral("paplay"), {QStringLiteral("--latency-msec=10"), QStringLiteral("-d"),
                                          QStringLiteral("vl_in"), track});
  if (!paplay.waitForFinished((Seconds + 30) * 1000) || paplay.exitCode() != 0)
    return Fail(QStringLiteral("paplay failed: ") + QString::fromLocal8Bit(paplay.readAll()));
  QThread::msleep(600);
  stream.reset();

  const std::vector<double> heard = FindBursts(witness.Samples(), kRate, kThreshold);
  const std::vector<double> matched = Matched(heard, clicks);
  if (matched.empty())
    return Fail(QStringLiteral("heard %1 bursts that are not the %2 clicks played")
                    .arg(heard.size())
                    .arg(clicks.size()));
  if (heard.size() != clicks.size())
    std::fprintf(stderr, "vl_click_witness: %zu bursts heard besides the %zu clicks\n",
                 heard.size() - clicks.size(), clicks.size());
  const double wall0Secs =
      std::chrono::duration<double>(wall0.time_since_epoch()).count() - double(steady0) / 1e6;
  QFile file(Out);
  if (!file.open(QIODevice::WriteOnly)) return Fail(QStringLiteral("cannot write ") + Out);
  for (const double ms : matched) {
    const double steady = double(witness.StartMicros()) / 1e6 + ms / 1000;
    file.write(QByteArray::number(wall0Secs + steady, 'f', 6) + '\n');
  }
  return 0;
}

int Onsets(const QString &Path) {
  const RSound sound = ReadSound(Path);
  if (!sound.Opened || sound.Rate <= 0 || sound.Channels <= 0)
    return Fail(QStringLiteral("cannot read ") + Path);
  std::vector<std::int16_t> first(sound.Samples.size() / std::size_t(sound.Channels));
  for (std::size_t i = 0; i < first.size(); ++i)
    first[i] = sound.Samples[i * std::size_t(sound.Channels)];
  for (const double ms : FindBursts(first, sound.Rate, kThreshold)) std::printf("%.2f\n", ms);
  return 0;
}

}  // namespace

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments().mid(1);
  if (args.size() == 3 && args[0] == QStringLiteral("play")) return Play(args[1], args[2].toInt());
  if (args.size() == 2 && args[0] == QStringLiteral("onsets")) return Onsets(args[1]);
  return Fail(QStringLiteral("usage: vl_click_witness play OUT SECONDS | onsets FILE"));
}
