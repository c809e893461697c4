#include "vlSimBackend.h"

#include "vlClock.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>

namespace {

// Frames of a stream at Rate between its start and MSecs later, rounded down, so that ticks add
// up exactly over any length of time.
std::int64_t FramesAt(std::int64_t MSecs, int Rate) { return MSecs * Rate / 1000; }

}  // namespace

TSimGenerator SineGenerator(double Hz, int Amplitude) {
  return [Hz, Amplitude](std::int64_t First, std::int16_t *Out, std::size_t Frames, int Rate,
                         int Channels) {
    for (std::size_t i = 0; i < Frames; ++i) {
      const double t = static_cast<double>(First + static_cast<std::int64_t>(i)) / Rate;
      const auto s = static_cast<std::int16_t>(
          std::lround(Amplitude * std::sin(2 * std::numbers::pi * Hz * t)));
      for (int c = 0; c < Channels; ++c)
        Out[i * static_cast<std::size_t>(Channels) + static_cast<std::size_t>(c)] = s;
    }
  };
}

TSimGenerator SquareGenerator(double Hz, int Amplitude) {
  return [Hz, Amplitude](std::int64_t First, std::int16_t *Out, std::size_t Frames, int Rate,
                         int Channels) {
    const double half = Rate / Hz / 2;
    for (std::size_t i = 0; i < Frames; ++i) {
      const auto phase = static_cast<std::int64_t>(
          std::floor(static_cast<double>(First + static_cast<std::int64_t>(i)) / half));
      const auto s = static_cast<std::int16_t>(phase % 2 == 0 ? Amplitude : -Amplitude - 1);
      for (int c = 0; c < Channels; ++c)
        Out[i * static_cast<std::size_t>(Channels) + static_cast<std::size_t>(c)] = s;
    }
  };
}

TSimGenerator SilenceGenerator() {
  return [](std::int64_t, std::int16_t *Out, std::size_t Frames, int, int Channels) {
    std::fill_n(Out, Frames * static_cast<std::size_t>(Channels), std::int16_t{0});
  };
}

TSimGenerator SamplesGenerator(std::vector<std::int16_t> Samples) {
  return [Samples = std::move(Samples)](std::int64_t First, std::int16_t *Out, std::size_t Frames,
                                        int, int Channels) {
    for (std::size_t i = 0; i < Frames; ++i) {
      const auto at = static_cast<std::size_t>(First) + i;
      const std::int16_t s = at < Samples.size() ? Samples[at] : std::int16_t{0};
      for (int c = 0; c < Channels; ++c)
        Out[i * static_cast<std::size_t>(Channels) + static_cast<std::size_t>(c)] = s;
    }
  };
}

// ---------------------------------------------------------------------------------------------

class TSimBackend::TCapture final : public TAudioCaptureStream {
 public:
  TCapture(TSimBackend &Sim, QString Source, int Rate, int Channels, TAudioCaptureClient &Client)
      : FSim(Sim),
        FSource(std::move(Source)),
        FRate(Rate),
        FChannels(Channels),
        FClient(Client),
        FStartMSecs(Sim.FCaptureStartMSecs),
        FLatencyMSecs(Sim.FCaptureLatencyMSecs),
        FPartsPerMillion(Sim.FCapturePartsPerMillion) {}

  ~TCapture() override {
    std::lock_guard<std::recursive_mutex> lock(FSim.FMutex);
    std::erase(FSim.FCaptures, this);
  }

  void Tick() {
    if (FFailed) return;
    const RSimSource *source = FSim.FindSource(FSource);
    const bool failing = FSim.FFailCaptureAt >= 0 && FSim.FNowMSecs >= FSim.FFailCaptureAt;
    if (!source || failing) {
      FFailed = true;
      FClient.CaptureFailed();
      return;
    }
    FMSecs += TickMSecs;
    // Frames captured on the device's clock since it started, delivered a latency later.
    const std::int64_t running = FMSecs - FStartMSecs - FLatencyMSecs;
    if (running <= 0) return;
    const std::int64_t upTo =
        running * FRate * (1000000 + FPartsPerMillion) / (std::int64_t{1000} * 1000000);
    const auto count = static_cast<std::size_t>(upTo - FFrames);
    if (count == 0) return;
    FBuffer.resize(count * static_cast<std::size_t>(FChannels));
    source->Generator(FFrames, FBuffer.data(), count, FRate, FChannels);
    // The block's last frame ends where frame upTo would begin.
    const double endUSecs = double(FStartMSecs) * 1000 +
                            double(upTo) * 1e12 / (double(FRate) * (1e6 + FPartsPerMillion));
    FClient.CaptureDelay(std::llround(double(FMSecs) * 1000 - endUSecs));
    FFrames = upTo;
    FClient.Captured(FBuffer.data(), count);
  }

 private:
  TSimBackend &FSim;
  QString FSource;
  int FRate;
  int FChannels;
  TAudioCaptureClient &FClient;
  const int FStartMSecs;
  const int FLatencyMSecs;
  const int FPartsPerMillion;
  std::int64_t FMSecs = 0;
  std::int64_t FFrames = 0;
  bool FFailed = false;
  std::vector<std::int16_t> FBuffer;
};

// A sink as a queue: what the client renders waits in the queue and is heard in order. The first
// frame is heard the output latency after the stream starts running.
class TSimBackend::TPlayback final : public TAudioPlaybackStream {
 public:
  TPlayback(TSimBackend &Sim, QString Sink, int Rate, int Channels, TAudioPlaybackClient &Client)
      : FSim(Sim),
        FSink(std::move(Sink)),
        FRate(Rate),
        FChannels(Channels),
        FLatencyFrames(FramesAt(Sim.FOutputLatencyMSecs, Rate)),
        FClient(Client) {}

  ~TPlayback() override {
    std::lock_guard<std::recursive_mutex> lock(FSim.FMutex);
    std::erase(FSim.FPlaybacks, this);
  }

  void SetPaused(bool Paused) override { FPaused.store(Paused); }
  std::int64_t PlayedFrames() const override { return FPlayed.load(); }
  bool IsDrained() const override { return FDrained.load(); }
  bool MoveTo(const QString &Sink) override {
    std::lock_guard<std::recursive_mutex> lock(FSim.FMutex);
    const QString target = Sink.isEmpty() ? FSim.FDefaultSink : Sink;
    if (!FSim.HasSink(target)) return false;
    FSink = target;
    return true;
  }

  void Tick() {
    if (FFailed || FPaused.load() || FDrained.load()) return;
    if (!FSim.HasSink(FSink)) {
      FFailed = true;
      FClient.PlaybackFailed();
      return;
    }
    FMSecs += TickMSecs;
    const std::int64_t upTo = FramesAt(FMSecs, FRate);
    const auto tickFrames = static_cast<std::size_t>(upTo - FDeviceFrames);
    FDeviceFrames = upTo;

    const std::size_t width = static_cast<std::size_t>(FChannels);
    const std::size_t queued = FQueue.size() / width;
    const std::size_t target = static_cast<std::size_t>(FLatencyFrames) + tickFrames;
    if (!FDraining && queued < target) {
      FBuffer.resize((target - queued) * width);
      const std::size_t got = FClient.Render(FBuffer.data(), target - queued);
      FQueue.insert(FQueue.end(), FBuffer.begin(),
                    FBuffer.begin() + static_cast<std::ptrdiff_t>(got * width));
      if (got < target - queued && FClient.Ended()) FDraining = true;
    }
    if (FDeviceFrames <= FLatencyFrames) return;  // the first frame is not heard yet

    const std::size_t heard = std::min(tickFrames, FQueue.size() / width);
    std::vector<std::int16_t> &out = FSim.FSinkOutput[FSink];
    out.insert(out.end(), FQueue.begin(),
               FQueue.begin() + static_cast<std::ptrdiff_t>(heard * width));
    FQueue.erase(FQueue.begin(), FQueue.begin() + static_cast<std::ptrdiff_t>(heard * width));
    FPlayed.fetch_add(static_cast<std::int64_t>(heard));
    if (FDraining && FQueue.empty()) FDrained.store(true);
  }

 private:
  TSimBackend &FSim;
  QString FSink;
  int FRate;
  int FChannels;
  std::int64_t FLatencyFrames;
  TAudioPlaybackClient &FClient;
  std::int64_t FMSecs = 0;
  std::int64_t FDeviceFrames = 0;
  std::deque<std::int16_t> FQueue;
  std::vector<std::int16_t> FBuffer;
  bool FDraining = false;
  bool FFailed = false;
  std::atomic<bool> FPaused{false};
  std::atomic<bool> FDrained{false};
  std::atomic<std::int64_t> FPlayed{0};
};

class TSimBackend::TWorker final : public TAudioWorker {
 public:
  TWorker(TSimBackend &Sim, std::function<void()> Pump) : FSim(Sim), FPump(std::move(Pump)) {}
  ~TWorker() override {
    std::lock_guard<std::recursive_mutex> lock(FSim.FMutex);
    std::erase(FSim.FWorkers, this);
  }
  void Wake() override {}
  void Pump() { FPump(); }

 private:
  TSimBackend &FSim;
  std::function<void()> FPump;
};

// ---------------------------------------------------------------------------------------------

TSimBackend::TSimBackend(TManualClock *Clock) : FClock(Clock) {}

TSimBackend::~TSimBackend() = default;

void TSimBackend::AddSource(const QString &Name, const QString &Description,
                            TSimGenerator Generator, std::vector<RAudioPort> Ports,
                            bool IsMonitor) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  RSimSource source;
  source.Device.Name = Name;
  source.Device.Description = Description;
  source.Device.IsMonitor = IsMonitor;
  source.Device.Ports = std::move(Ports);
  source.Device.ActivePort = source.Device.Ports.empty() ? -1 : 0;
  source.Generator = std::move(Generator);
  FSources.push_back(std::move(source));
  if (FDefaultSource.isEmpty() && !IsMonitor) FDefaultSource = Name;
}

void TSimBackend::AddSink(const QString &Name, const QString &Description) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  RAudioDevice sink;
  sink.Name = Name;
  sink.Description = Description;
  FSinks.push_back(sink);
  if (FDefaultSink.isEmpty()) FDefaultSink = Name;
}

void TSimBackend::RemoveSource(const QString &Name) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  std::erase_if(FSources, [&](const RSimSource &s) { return s.Device.Name == Name; });
}

void TSimBackend::RemoveSink(const QString &Name) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  std::erase_if(FSinks, [&](const RAudioDevice &s) { return s.Name == Name; });
}

void TSimBackend::SetDefaultSource(const QString &Name) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  FDefaultSource = Name;
}

void TSimBackend::SetDefaultSink(const QString &Name) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  FDefaultSink = Name;
}

void TSimBackend::SetSourceGenerator(const QString &Name, TSimGenerator Generator) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  for (RSimSource &source : FSources) {
    if (source.Device.Name == Name) source.Generator = Generator;
  }
}

void TSimBackend::Advance(std::int64_t MSecs) {
  for (std::int64_t done = 0; done < MSecs; done += TickMSecs) Tick();
}

void TSimBackend::Tick() {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  FNowMSecs += TickMSecs;
  if (FClock) FClock->AdvanceMSecs(TickMSecs);
  // Workers before and after the streams: players fill their rings before the sinks pull, and
  // recorders take what the sources gave in the same tick. The lists are copied so that a
  // callback adding or removing a stream cannot invalidate the walk.
  for (TWorker *worker : std::vector<TWorker *>(FWorkers)) worker->Pump();
  for (TCapture *capture : std::vector<TCapture *>(FCaptures)) capture->Tick();
  for (TPlayback *playback : std::vector<TPlayback *>(FPlaybacks)) playback->Tick();
  for (TWorker *worker : std::vector<TWorker *>(FWorkers)) worker->Pump();
}

void TSimBackend::WorkerBetweenBlocks() {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  if (!FWorkerStall || FInStall) return;
  FInStall = true;
  const std::int64_t stall = FWorkerStall();
  for (std::int64_t done = 0; done < stall; done += TickMSecs) {
    FNowMSecs += TickMSecs;
    if (FClock) FClock->AdvanceMSecs(TickMSecs);
    for (TCapture *capture : std::vector<TCapture *>(FCaptures)) capture->Tick();
  }
  FInStall = false;
}

std::vector<std::int16_t> TSimBackend::SinkOutput(const QString &Sink) const {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  const auto it = FSinkOutput.find(Sink);
  return it == FSinkOutput.end() ? std::vector<std::int16_t>{} : it->second;
}

void TSimBackend::ClearSinkOutput(const QString &Sink) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  FSinkOutput.erase(Sink);
}

int TSimBackend::OpenCaptureCount() const {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  return static_cast<int>(FCaptures.size());
}

int TSimBackend::OpenPlaybackCount() const {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  return static_cast<int>(FPlaybacks.size());
}

bool TSimBackend::Connect(QString &Error) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  FConnected = FReachable.load();
  if (!FConnected) Error = QStringLiteral("Connection refused");
  return FConnected;
}

bool TSimBackend::ListDevices(RAudioDeviceList &List, QString &Error) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  if (!FConnected) {
    Error = QStringLiteral("not connected");
    return false;
  }
  List = {};
  for (const RSimSource &source : FSources) List.Sources.push_back(source.Device);
  List.Sinks = FSinks;
  List.DefaultSource = FDefaultSource;
  List.DefaultSink = FDefaultSink;
  return true;
}

bool TSimBackend::SetSourcePort(const QString &Source, const QString &Port, QString &Error) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  for (RSimSource &source : FSources) {
    if (source.Device.Name != Source) continue;
    for (std::size_t i = 0; i < source.Device.Ports.size(); ++i) {
      if (source.Device.Ports[i].Name == Port) {
        source.Device.ActivePort = static_cast<int>(i);
        return true;
      }
    }
  }
  Error = QStringLiteral("No such entity");
  return false;
}

const TSimBackend::RSimSource *TSimBackend::FindSource(const QString &Name) const {
  for (const RSimSource &source : FSources) {
    if (source.Device.Name == Name) return &source;
  }
  return nullptr;
}

bool TSimBackend::HasSink(const QString &Name) const {
  return std::any_of(FSinks.begin(), FSinks.end(),
                     [&](const RAudioDevice &s) { return s.Name == Name; });
}

std::unique_ptr<TAudioCaptureStream> TSimBackend::OpenCapture(const QString &Source, int Rate,
                                                              int Channels,
                                                              TAudioCaptureClient &Client,
                                                              QString &Error) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  const QString name = Source.isEmpty() ? FDefaultSource : Source;
  if (!FConnected || !FindSource(name) || Rate <= 0 || Channels < 1) {
    Error = QStringLiteral("No such entity");
    return nullptr;
  }
  auto capture = std::make_unique<TCapture>(*this, name, Rate, Channels, Client);
  FCaptures.push_back(capture.get());
  return capture;
}

std::unique_ptr<TAudioPlaybackStream> TSimBackend::OpenPlayback(const QString &Sink, int Rate,
                                                                int Channels, int /*BufferMSecs*/,
                                                                TAudioPlaybackClient &Client,
                                                                QString &Error) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  const QString name = Sink.isEmpty() ? FDefaultSink : Sink;
  if (!FConnected || !HasSink(name) || Rate <= 0 || Channels < 1) {
    Error = QStringLiteral("No such entity");
    return nullptr;
  }
  auto playback = std::make_unique<TPlayback>(*this, name, Rate, Channels, Client);
  FPlaybacks.push_back(playback.get());
  return playback;
}

std::unique_ptr<TAudioWorker> TSimBackend::StartWorker(std::function<void()> Pump) {
  std::lock_guard<std::recursive_mutex> lock(FMutex);
  auto worker = std::make_unique<TWorker>(*this, std::move(Pump));
  FWorkers.push_back(worker.get());
  return worker;
}
