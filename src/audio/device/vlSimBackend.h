#pragma once
// A sound server in memory, for tests: sources are generators, sinks collect what is played, and
// time moves only when the test calls Advance. Within Advance the components' workers run
// inline, so every test sees the same samples, the same events and the same order, with no
// threads and no timing of its own.
//
// Advance may be called from a thread other than the user-interface thread (to check that events
// still reach that thread), but never while that thread uses the recorder, the player or this
// backend.

#include "vlAudioBackend.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

class TManualClock;

// Fills Frames interleaved frames starting at FirstFrame of the stream.
using TSimGenerator = std::function<void(std::int64_t FirstFrame, std::int16_t *Out,
                                         std::size_t Frames, int Rate, int Channels)>;

TSimGenerator SineGenerator(double Hz, int Amplitude);
// Alternates +Amplitude and -Amplitude - 1 every half period: with 32767 the samples are the full
// scale 32767 and -32768.
TSimGenerator SquareGenerator(double Hz, int Amplitude);
TSimGenerator SilenceGenerator();
// Plays Samples (mono) once and then silence, the same on every channel.
TSimGenerator SamplesGenerator(std::vector<std::int16_t> Samples);

class TSimBackend final : public TAudioBackend {
 public:
  static constexpr int TickMSecs = 10;

  // With a clock, Advance moves it along so that "now" matches the simulated audio.
  explicit TSimBackend(TManualClock *Clock = nullptr);
  ~TSimBackend() override;

  void AddSource(const QString &Name, const QString &Description, TSimGenerator Generator,
                 std::vector<RAudioPort> Ports = {}, bool IsMonitor = false);
  void AddSink(const QString &Name, const QString &Description);
  // Open streams on a removed device fail at the next tick.
  void RemoveSource(const QString &Name);
  void RemoveSink(const QString &Name);
  void SetDefaultSource(const QString &Name);
  void SetDefaultSink(const QString &Name);
  void SetSourceGenerator(const QString &Name, TSimGenerator Generator);
  // False makes Connect fail, as with no sound server.
  void SetServerReachable(bool Reachable) { FReachable = Reachable; }
  // How long rendered audio takes to be heard, for streams opened afterwards.
  void SetOutputLatencyMSecs(int MSecs) { FOutputLatencyMSecs = MSecs; }
  // Timing of capture streams opened afterwards: the device delivers its first frame StartMSecs
  // after the stream opens (a device waking up), every frame LatencyMSecs after it was captured,
  // and its clock runs ClockPartsPerMillion fast (negative: slow) against the simulated clock, so
  // that frame k of the stream was captured StartMSecs + k / (rate * (1 + ppm / 10^6)) seconds
  // after the stream opened. Each block reports its delay (TAudioCaptureClient::CaptureDelay).
  void SetCaptureTiming(int StartMSecs, int LatencyMSecs, int ClockPartsPerMillion) {
    FCaptureStartMSecs = StartMSecs;
    FCaptureLatencyMSecs = LatencyMSecs;
    FCapturePartsPerMillion = ClockPartsPerMillion;
  }
  // Every capture stream fails once the simulated time reaches MSecs.
  void FailCaptureAtMSecs(std::int64_t MSecs) { FFailCaptureAt = MSecs; }
  // A worker held up between two blocks (a slow disk): Stall answers, at each such moment, how
  // many milliseconds the worker waits there. Meanwhile time moves on and the capture streams
  // deliver as usual; nothing else runs. Empty: workers are never held up.
  void SetWorkerStall(std::function<std::int64_t()> Stall) { FWorkerStall = std::move(Stall); }

  // Moves time on in ticks of TickMSecs (MSecs is rounded up to whole ticks).
  void Advance(std::int64_t MSecs);
  std::int64_t NowMSecs() const { return FNowMSecs; }

  // Everything played to Sink, interleaved as the streams played it.
  std::vector<std::int16_t> SinkOutput(const QString &Sink) const;
  void ClearSinkOutput(const QString &Sink);
  int OpenCaptureCount() const;
  int OpenPlaybackCount() const;

  bool Connect(QString &Error) override;
  bool IsConnected() const override { return FConnected; }
  bool ListDevices(RAudioDeviceList &List, QString &Error) override;
  bool SetSourcePort(const QString &Source, const QString &Port, QString &Error) override;
  std::unique_ptr<TAudioCaptureStream> OpenCapture(const QString &Source, int Rate, int Channels,
                                                   TAudioCaptureClient &Client,
                                                   QString &Error) override;
  std::unique_ptr<TAudioPlaybackStream> OpenPlayback(const QString &Sink, int Rate, int Channels,
                                                     int BufferMSecs, TAudioPlaybackClient &Client,
                                                     QString &Error) override;
  std::unique_ptr<TAudioWorker> StartWorker(std::function<void()> Pump) override;
  void WorkerBetweenBlocks() override;
  QString EngineVersion() const override { return QStringLiteral("simulation"); }

 private:
  class TCapture;
  class TPlayback;
  class TWorker;
  friend class TCapture;
  friend class TPlayback;
  friend class TWorker;

  struct RSimSource {
    RAudioDevice Device;
    TSimGenerator Generator;
  };

  void Tick();
  const RSimSource *FindSource(const QString &Name) const;
  bool HasSink(const QString &Name) const;

  mutable std::recursive_mutex FMutex;
  TManualClock *FClock;
  std::atomic<bool> FReachable{true};
  bool FConnected = false;
  int FOutputLatencyMSecs = 40;
  int FCaptureStartMSecs = 0;
  int FCaptureLatencyMSecs = 0;
  int FCapturePartsPerMillion = 0;
  std::int64_t FFailCaptureAt = -1;
  std::int64_t FNowMSecs = 0;
  std::vector<RSimSource> FSources;
  std::vector<RAudioDevice> FSinks;
  QString FDefaultSource;
  QString FDefaultSink;
  std::map<QString, std::vector<std::int16_t>> FSinkOutput;
  std::vector<TCapture *> FCaptures;
  std::vector<TPlayback *> FPlaybacks;
  std::vector<TWorker *> FWorkers;
  std::function<std::int64_t()> FWorkerStall;
  bool FInStall = false;
};
