#include "vlPulseTestSupport.h"

#include <QFile>

#include <algorithm>
#include <chrono>

std::int64_t SteadyMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void FailOrSkip(const QString &Reason) {
  if (qEnvironmentVariable("CI") == QLatin1String("true")) {
    FAIL() << Reason.toStdString();
  } else {
    GTEST_SKIP() << Reason.toStdString();
  }
}

void PulseDaemon::SetUp() {
  const QString dir = qEnvironmentVariable("VL_PULSE_FIXTURE");
  if (dir.isEmpty()) {
    return FailOrSkip(
        QStringLiteral("no PulseAudio fixture: run these tests through ctest (ctest -L "
                       "audio-pulse), which starts a private daemon"));
  }
  if (QFile::exists(dir + QStringLiteral("/unavailable"))) {
    return FailOrSkip(
        QStringLiteral("the private PulseAudio daemon could not start: ") +
        QString::fromLocal8Bit(ReadAllBytes(dir + QStringLiteral("/unavailable"))).trimmed());
  }
  const QByteArray server = ReadAllBytes(dir + QStringLiteral("/ready")).trimmed();
  if (server.isEmpty()) return FailOrSkip(QStringLiteral("the PulseAudio fixture did not run"));
  qputenv("PULSE_SERVER", server);
  QString error;
  if (!Backend->Connect(error))
    return FailOrSkip(QStringLiteral("the private PulseAudio daemon does not answer: ") + error);
}

void SamplePosition(std::vector<std::pair<std::int64_t, int>> &Positions,
                    const std::function<int()> &Read, std::int64_t MaxMicros) {
  const std::int64_t before = SteadyMicros();
  const int position = Read();
  const std::int64_t after = SteadyMicros();
  if (after - before <= MaxMicros) Positions.emplace_back((before + after) / 2, position);
}

void TCaptureLog::Captured(const std::int16_t *Frames, std::size_t Count) {
  const std::int64_t now = SteadyMicros();
  std::lock_guard<std::mutex> lock(FMutex);
  if (Frames) {
    FSamples.insert(FSamples.end(), Frames, Frames + Count);
  } else {
    FSamples.insert(FSamples.end(), Count, 0);
  }
  const std::int64_t start = now - static_cast<std::int64_t>(FSamples.size()) * 1000000 / FRate;
  FStartMicros = std::min(FStartMicros, start);
  FDeliveries.push_back({now, static_cast<std::int64_t>(FSamples.size())});
}

std::int64_t TCaptureLog::MicrosAt(double MSecs) {
  std::lock_guard<std::mutex> lock(FMutex);
  const double frame = MSecs * FRate / 1000.0;
  std::int64_t best = INT64_MAX, firstArrival = -1;
  for (const RDelivery &d : FDeliveries) {
    if (double(d.FramesSoFar) <= frame) continue;
    if (firstArrival < 0) firstArrival = d.ArrivedMicros;
    if (d.ArrivedMicros > firstArrival + 500000) break;
    const double after = (double(d.FramesSoFar) - frame) * 1e6 / FRate;
    best = std::min(best, d.ArrivedMicros - static_cast<std::int64_t>(after));
  }
  return best == INT64_MAX ? -1 : best;
}

std::vector<std::int16_t> TCaptureLog::Samples() {
  std::lock_guard<std::mutex> lock(FMutex);
  return FSamples;
}

std::int64_t TCaptureLog::StartMicros() {
  std::lock_guard<std::mutex> lock(FMutex);
  return FStartMicros;
}
