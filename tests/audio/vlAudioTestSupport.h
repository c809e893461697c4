#pragma once
// Helpers for the audio tests: a log of every signal the recorder and the player emit (with the
// thread it arrived on and whether it came from inside a call), delivery of queued events, a
// simulated machine with a few devices and a manual clock, and sound files in and out.

#include "vlActiveSoundRecorder.h"
#include "vlAmp3dj.h"
#include "vlClock.h"
#include "vlSimBackend.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct REvent {
  QString Name;
  qint64 A = 0;
  qint64 B = 0;
  qint64 C = 0;
  bool OnUiThread = true;
  bool InsideCall = false;
};

class TEventLog : public QObject {
 public:
  void Watch(TActiveSoundRecorder &Recorder);
  void Watch(TAmp3dj &Player);

  // Runs a component call marked as such, so that an event emitted from inside it shows.
  template <typename TFn>
  auto Call(TFn &&Fn) {
    FInCall = true;
    auto result = Fn();
    FInCall = false;
    return result;
  }

  const std::vector<REvent> &Events() const { return FEvents; }
  std::vector<REvent> Named(const QString &Name) const;
  int Count(const QString &Name) const;
  // Index of the first event with that name, or -1.
  int IndexOf(const QString &Name) const;
  // Event names in order, without the level readings; AllNames with them.
  std::vector<QString> Names() const;
  std::vector<QString> AllNames() const;
  void Clear() { FEvents.clear(); }
  // Called on each event as it arrives, after it was logged.
  std::function<void(const REvent &)> OnEvent;

 private:
  void Add(const QString &Name, qint64 A = 0, qint64 B = 0, qint64 C = 0);

  std::vector<REvent> FEvents;
  bool FInCall = false;
};

// Delivers every queued event, including those queued while delivering.
void DeliverEvents();
// Delivers events until Done() or the time is up (real time; for the sound-server tests).
bool WaitFor(const std::function<bool()> &Done, int TimeoutMSecs);

// A simulated machine: a microphone with two inputs, a headset without any, the monitor of the
// speakers, and two outputs. The clock starts at 2009-09-03 13:47:36.5 and moves with Advance.
struct TSimMachine {
  TSimMachine();
  // Moves simulated time on and delivers the events that became due.
  void Run(std::int64_t MSecs);

  TManualClock Clock;
  TScopedClock ClockInstalled{Clock};
  std::shared_ptr<TSimBackend> Sim;
};

struct RSound {
  int Rate = 0;
  int Channels = 0;
  std::int64_t Frames = 0;  // from the header
  std::vector<std::int16_t> Samples;
  bool Opened = false;
};

RSound ReadSound(const QString &Path);
// Writes 16-bit PCM WAV.
bool WriteSound(const QString &Path, int Rate, int Channels,
                const std::vector<std::int16_t> &Samples);
// Deterministic noise, so that bit-exact comparisons mean something.
std::vector<std::int16_t> NoiseSamples(std::size_t Count, int Amplitude, std::uint32_t Seed = 1);
// Mono silence with 30 ms bursts of a 2 kHz tone at the given milliseconds: long enough that
// no speed up to 190 % can skip one entirely.
std::vector<std::int16_t> BurstSamples(int Rate, int LengthMSecs, const std::vector<int> &AtMSecs);
// Milliseconds at which a burst begins in Samples (mono).
std::vector<double> FindBursts(const std::vector<std::int16_t> &Samples, int Rate, int Threshold);
int PeakOf(const std::vector<std::int16_t> &Samples);
