#include "vlAudioTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <sndfile.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

void TEventLog::Add(const QString &Name, qint64 A, qint64 B, qint64 C) {
  REvent event{Name,   A, B, C, QThread::currentThread() == QCoreApplication::instance()->thread(),
               FInCall};
  FEvents.push_back(event);
  if (OnEvent) OnEvent(event);
}

void TEventLog::Watch(TActiveSoundRecorder &Recorder) {
  connect(&Recorder, &TActiveSoundRecorder::OnInputFormatsAvailable, this,
          [this] { Add(QStringLiteral("FormatsAvailable")); });
  connect(&Recorder, &TActiveSoundRecorder::OnWarnNoInputDevice, this,
          [this] { Add(QStringLiteral("NoInputDevice")); });
  connect(&Recorder, &TActiveSoundRecorder::OnRecordingStarted, this,
          [this] { Add(QStringLiteral("Started")); });
  connect(&Recorder, &TActiveSoundRecorder::OnRecordingStopped, this,
          [this](int Result) { Add(QStringLiteral("Stopped"), Result); });
  connect(&Recorder, &TActiveSoundRecorder::OnVUMeterValueChange, this,
          [this](int L, int R, qint64 MSecs) { Add(QStringLiteral("RecVU"), L, R, MSecs); });
}

void TEventLog::Watch(TAmp3dj &Player) {
  connect(&Player, &TAmp3dj::OnSoundPlaying, this,
          [this](int Slot) { Add(QStringLiteral("Playing"), Slot); });
  connect(&Player, &TAmp3dj::OnSoundStopped, this,
          [this](int Slot) { Add(QStringLiteral("SoundStopped"), Slot); });
  connect(&Player, &TAmp3dj::OnSoundDone, this,
          [this](int Slot) { Add(QStringLiteral("Done"), Slot); });
  connect(&Player, &TAmp3dj::OnVUMeterValueChange, this,
          [this](int Slot, int L, int R) { Add(QStringLiteral("PlayVU"), L, R, Slot); });
}

std::vector<REvent> TEventLog::Named(const QString &Name) const {
  std::vector<REvent> result;
  for (const REvent &e : FEvents)
    if (e.Name == Name) result.push_back(e);
  return result;
}

int TEventLog::Count(const QString &Name) const { return static_cast<int>(Named(Name).size()); }

int TEventLog::IndexOf(const QString &Name) const {
  for (std::size_t i = 0; i < FEvents.size(); ++i)
    if (FEvents[i].Name == Name) return static_cast<int>(i);
  return -1;
}

std::vector<QString> TEventLog::Names() const {
  std::vector<QString> names;
  for (const REvent &e : FEvents)
    if (!e.Name.endsWith(QLatin1String("VU"))) names.push_back(e.Name);
  return names;
}

std::vector<QString> TEventLog::AllNames() const {
  std::vector<QString> names;
  for (const REvent &e : FEvents) names.push_back(e.Name);
  return names;
}

void DeliverEvents() {
  for (int i = 0; i < 100; ++i) {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }
}

bool WaitFor(const std::function<bool()> &Done, int TimeoutMSecs) {
  QElapsedTimer timer;
  timer.start();
  while (!Done()) {
    if (timer.elapsed() > TimeoutMSecs) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(2);
  }
  return true;
}

TSimMachine::TSimMachine()
    : Clock(EncodeDateTime(2009, 9, 3, 13, 47, 36, 500)),
      Sim(std::make_shared<TSimBackend>(&Clock)) {
  Sim->AddSource(QStringLiteral("alsa_input.usb"), QStringLiteral("USB Headset"),
                 SineGenerator(440, 8000));
  Sim->AddSource(QStringLiteral("alsa_input.pci"), QStringLiteral("Built-in Audio"),
                 SineGenerator(440, 10000),
                 {{QStringLiteral("analog-input-mic"), QStringLiteral("Microphone")},
                  {QStringLiteral("analog-input-linein"), QStringLiteral("Line In")}});
  Sim->AddSource(QStringLiteral("alsa_output.pci.monitor"),
                 QStringLiteral("Monitor of Built-in Audio"), SilenceGenerator(), {}, true);
  Sim->SetDefaultSource(QStringLiteral("alsa_input.pci"));
  Sim->AddSink(QStringLiteral("alsa_output.pci"), QStringLiteral("Built-in Audio"));
  Sim->AddSink(QStringLiteral("alsa_output.hdmi"), QStringLiteral("HDMI Output"));
}

void TSimMachine::Run(std::int64_t MSecs) {
  Sim->Advance(MSecs);
  DeliverEvents();
}

RSound ReadSound(const QString &Path) {
  RSound sound;
  SF_INFO info{};
  SNDFILE *file = sf_open(QFile::encodeName(Path).constData(), SFM_READ, &info);
  if (!file) return sound;
  sound.Opened = true;
  sound.Rate = info.samplerate;
  sound.Channels = info.channels;
  sound.Frames = info.frames;
  if (info.frames > 0 && info.frames < (sf_count_t{1} << 28)) {
    sound.Samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_short(file, sound.Samples.data(), info.frames);
    sound.Samples.resize(static_cast<std::size_t>(std::max<sf_count_t>(0, got) * info.channels));
  }
  sf_close(file);
  return sound;
}

bool WriteSound(const QString &Path, int Rate, int Channels,
                const std::vector<std::int16_t> &Samples) {
  SF_INFO info{};
  info.samplerate = Rate;
  info.channels = Channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE *file = sf_open(QFile::encodeName(Path).constData(), SFM_WRITE, &info);
  if (!file) return false;
  const sf_count_t frames = static_cast<sf_count_t>(Samples.size()) / Channels;
  const bool ok = sf_writef_short(file, Samples.data(), frames) == frames;
  return sf_close(file) == 0 && ok;
}

std::vector<std::int16_t> NoiseSamples(std::size_t Count, int Amplitude, std::uint32_t Seed) {
  std::vector<std::int16_t> samples(Count);
  std::uint32_t state = Seed;
  for (std::int16_t &s : samples) {
    state = state * 1664525u + 1013904223u;
    s = static_cast<std::int16_t>(static_cast<int>(state >> 16) % (2 * Amplitude + 1) - Amplitude);
  }
  return samples;
}

std::vector<std::int16_t> BurstSamples(int Rate, int LengthMSecs, const std::vector<int> &AtMSecs) {
  std::vector<std::int16_t> samples(
      static_cast<std::size_t>(std::int64_t{LengthMSecs} * Rate / 1000));
  for (int at : AtMSecs) {
    const std::size_t first = static_cast<std::size_t>(std::int64_t{at} * Rate / 1000);
    for (std::size_t i = 0;
         i < static_cast<std::size_t>(Rate * 3 / 100) && first + i < samples.size(); ++i) {
      samples[first + i] = static_cast<std::int16_t>(std::lround(
          20000 * std::sin(2 * std::numbers::pi * 2000 * static_cast<double>(i) / Rate)));
    }
  }
  return samples;
}

std::vector<double> FindBursts(const std::vector<std::int16_t> &Samples, int Rate, int Threshold) {
  std::vector<double> onsets;
  std::int64_t last = -static_cast<std::int64_t>(Rate);
  for (std::size_t i = 0; i < Samples.size(); ++i) {
    if (std::abs(static_cast<int>(Samples[i])) < Threshold) continue;
    // A new burst only after 200 ms without one.
    if (static_cast<std::int64_t>(i) - last > Rate / 5) onsets.push_back(i * 1000.0 / Rate);
    last = static_cast<std::int64_t>(i);
  }
  return onsets;
}

int PeakOf(const std::vector<std::int16_t> &Samples) {
  int peak = 0;
  for (std::int16_t s : Samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak;
}
