#include "vlActiveSoundRecorder.h"

#include "vlAudioRing.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlLevelMeter.h"
#include "vlSessionSpool.h"
#include "vlSoundFile.h"

#include <QCollator>
#include <QFile>
#include <QMetaObject>

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

namespace {

// Seconds of audio the ring holds between the audio thread and the worker: room for a worker
// held up by a slow disk. Whatever still does not fit is recorded as silence of the same length
// where it was lost, so the file keeps step with the clock.
constexpr int kRingSeconds = 8;
// Frames the worker takes from the ring at a time.
constexpr std::size_t kBlockFrames = 4096;
constexpr int kUnityPermyriad = 100 * 100;

QString DefaultChannelName() { return QStringLiteral("Default"); }

// The tenth of a second at or before Moment: recording names keep tenths.
TDateTime FloorToTenth(TDateTime Moment) {
  constexpr double tenthsPerDay = SecsPerDay * 10;
  return std::floor(Moment * tenthsPerDay + 1e-6) / tenthsPerDay;
}

// Drift readings are smoothed over about two seconds: the estimate moves in steps of a few
// milliseconds, a device clock's drift by 2 ms in two seconds at 0.1 %.
constexpr double kDriftSmoothingMSecs = 2000;
// Seconds of arrivals over which the first frame's moment is estimated.
constexpr int kBoundSeconds = 8;
constexpr int kSettleMSecs = TActiveSoundRecorder::kStartSettleMSecs;

}  // namespace

// One recording: the file, the spool, and the ring the audio thread fills. Created and destroyed
// on the user-interface thread; Captured and CaptureFailed run on the audio thread; Pump runs on
// the worker, or on the user-interface thread once the worker is gone (at Stop).
class TActiveSoundRecorder::TSession final : public TAudioCaptureClient {
 public:
  TSession(TActiveSoundRecorder &Owner, std::uint64_t Id, int Rate, int Channels,
           TDateTime RequestedStart)
      : FOwner(Owner),
        FId(Id),
        FRate(Rate),
        FChannels(Channels),
        FRing(static_cast<std::size_t>(Rate) * static_cast<std::size_t>(Channels) * kRingSeconds),
        FRequestedStart(RequestedStart) {
    FPeaks.Configure(Rate, Channels);
    FBlock.resize(kBlockFrames * static_cast<std::size_t>(Channels));
  }

  std::uint64_t Id() const { return FId; }
  TSoundWriter &Writer() { return FWriter; }
  void SetSpool(std::shared_ptr<TSessionSpool> Spool) { FSpool = std::move(Spool); }
  std::shared_ptr<TSessionSpool> Spool() const { return FSpool; }
  void SetGain(int Permyriad) { FGain.store(Permyriad); }
  bool WasBroken() const { return FBroken; }
  QString Error() const { return FError; }

  std::unique_ptr<TAudioCaptureStream> Stream;
  std::unique_ptr<TAudioWorker> Worker;

  void CaptureDelay(std::int64_t DelayUSecs) override {
    FBlockDelayUSecs = std::max<std::int64_t>(0, DelayUSecs);
  }

  // Audio the ring cannot take is lost; it is recorded as silence of the same length in its own
  // place: the silence goes into the ring before any later audio, once there is room again, and
  // everything captured until then is owed as well. Only whole frames go into the ring.
  void Captured(const std::int16_t *Frames, std::size_t Count) override {
    Measure(Count);
    const std::size_t width = static_cast<std::size_t>(FChannels);
    std::size_t room = FRing.Free() / width;
    std::int64_t owed = FSilenceOwed.load(std::memory_order_relaxed);
    if (owed > 0) {
      const std::size_t silence = std::min(static_cast<std::size_t>(owed), room);
      FRing.Push(nullptr, silence * width);
      owed -= static_cast<std::int64_t>(silence);
      room -= silence;
    }
    const std::size_t taken = owed > 0 ? 0 : std::min(Count, room);
    FRing.Push(Frames, taken * width);
    owed += static_cast<std::int64_t>(Count - taken);
    FSilenceOwed.store(owed, std::memory_order_release);
  }

  void CaptureFailed() override { FCaptureFailed.store(true); }

  // Audio thread: when the stream's first frame was captured, as this block tells it. Its last
  // frame was captured no later than now less the stream's delay: the block's end, counted back
  // by the frames before it, bounds the first frame's moment from above. The smallest bound over a
  // stretch is the best estimate: a block that arrived late raises its own bound only. Bounds are
  // kept per second for the last kBoundSeconds, so that a device clock running fast or slow moves
  // the estimate with it.
  void Measure(std::size_t Count) {
    const TDateTime now = Clock().Now();
    const std::int64_t delay = FBlockDelayUSecs;
    FBlockDelayUSecs = 0;
    FDeviceFrames += static_cast<std::int64_t>(Count);
    const double bound = now - (double(delay) / 1e6 + double(FDeviceFrames) / FRate) / SecsPerDay;
    if (FFirstArrival == 0) FFirstArrival = now;
    const std::int64_t second = FDeviceFrames / FRate;
    if (second != FBoundSecond) {
      FBoundSecond = second;
      FBounds[static_cast<std::size_t>(second % kBoundSeconds)] = bound;
    } else {
      double &slot = FBounds[static_cast<std::size_t>(second % kBoundSeconds)];
      slot = std::min(slot, bound);
    }
    double best = bound;
    for (const double b : FBounds)
      if (b != 0) best = std::min(best, b);
    FFirstFrameAt.store(best, std::memory_order_release);
    FMeasuredFrames.store(FDeviceFrames, std::memory_order_release);
  }

  // Worker: once enough has been captured to know when it began, fixes the file's start (the
  // moment asked for, or the tenth before the first frame) and writes the silence from there to
  // the first frame. False while it waits; what was captured waits in the ring meanwhile.
  bool Align(bool CaptureEnded) {
    if (FAligned) return true;
    const std::int64_t measured = FMeasuredFrames.load(std::memory_order_acquire);
    if (measured == 0 && !CaptureEnded) return false;
    if (measured < std::int64_t{FRate} * kSettleMSecs / 1000 && !CaptureEnded) return false;
    FAligned = true;
    const TDateTime first =
        measured > 0 ? FFirstFrameAt.load(std::memory_order_acquire) : Clock().Now();
    // A first frame a little before the moment asked for (the stream's own history, or the
    // estimate's rounding) is left out of the file rather than moving its start.
    TDateTime start = FRequestedStart;
    const double ahead = (first - start) * SecsPerDay * 1000;
    if (start == 0) {
      start = first;  // no name to agree with: the file begins with its first frame
    } else if (ahead < -kSettleMSecs || ahead > kMaxPaddingMSecs) {
      start = FloorToTenth(first);
    }
    FFileStart = start;
    FFirstFrame = first;
    const auto padding =
        static_cast<std::int64_t>(std::llround((first - start) * SecsPerDay * FRate));
    FOwner.FFileStart.store(start);
    FOwner.FFirstCaptured.store(first);
    FOwner.FFirstDelayMSecs.store(FFirstArrival == 0 ? -1.0
                                                     : (FFirstArrival - first) * SecsPerDay * 1000);
    FOwner.FPaddingMSecs.store(double(padding) * 1000 / FRate);
    FOwner.FDriftMSecs.store(0);
    const std::size_t width = static_cast<std::size_t>(FChannels);
    for (std::int64_t skip = -padding; skip > 0;) {
      const auto frames = static_cast<std::size_t>(std::min<std::int64_t>(skip, kBlockFrames));
      const std::size_t got = FRing.Pop(FBlock.data(), frames * width) / width;
      if (got == 0) break;
      skip -= static_cast<std::int64_t>(got);
    }
    for (std::int64_t left = padding; left > 0;) {
      const auto frames = static_cast<std::size_t>(std::min<std::int64_t>(left, kBlockFrames));
      std::fill_n(FBlock.begin(), frames * width, std::int16_t{0});
      if (!Process(frames)) return true;
      left -= static_cast<std::int64_t>(frames);
    }
    return true;
  }

  // Worker: how far the estimate of the first frame's moment has moved since the start was fixed
  // (a device clock running fast moves it earlier), smoothed; wall-clock minus file time.
  void FollowDrift(std::size_t Frames) {
    if (FFirstFrame == 0) return;
    const double drift =
        (FFirstFrameAt.load(std::memory_order_acquire) - FFirstFrame) * SecsPerDay * 1000;
    const double weight = std::min(1.0, double(Frames) * 1000 / FRate / kDriftSmoothingMSecs);
    FDrift += (drift - FDrift) * weight;
    FOwner.FDriftMSecs.store(FDrift);
  }

  // Moves everything captured so far into the file. Ends the recording as broken off when the
  // file cannot take more or the device is gone.
  void Pump() {
    std::lock_guard<std::mutex> lock(FPumpMutex);
    if (FFinalized) return;
    if (!Align(FOnUiThread || FCaptureFailed.load())) return;
    if (FFinalized) return;
    const std::size_t width = static_cast<std::size_t>(FChannels);
    for (;;) {
      const std::size_t frames = FRing.Pop(FBlock.data(), FBlock.size()) / width;
      if (frames == 0) break;
      if (!Process(frames)) return;
      if (!FOnUiThread) FOwner.FBackend->WorkerBetweenBlocks();
    }
    const bool captureEnded = FOnUiThread || FCaptureFailed.load();
    if (!captureEnded) return;
    // No more audio follows: silence still owed ends the file.
    for (std::int64_t lost = FSilenceOwed.exchange(0); lost > 0;) {
      const auto frames = static_cast<std::size_t>(std::min<std::int64_t>(lost, kBlockFrames));
      std::fill_n(FBlock.begin(), frames * width, std::int16_t{0});
      if (!Process(frames)) return;
      lost -= static_cast<std::int64_t>(frames);
    }
    if (FCaptureFailed.load() && FRing.Available() == 0) {
      Finalize(true, QStringLiteral("the recording device stopped delivering sound"));
    }
  }

  // Closes the file. Called once capture has ended for good.
  void Finalize(bool Broken, const QString &Reason) {
    if (FFinalized) return;
    FFinalized = true;
    const bool closed = FWriter.Close();
    if (FSpool) FSpool->Finish();
    FBroken = Broken || !closed;
    if (Broken) {
      FError = Reason;
    } else if (!closed) {
      FError = QStringLiteral("the file could not be finished: ") + FWriter.LastError();
    }
    if (FBroken && !FOnUiThread) {
      TActiveSoundRecorder *owner = &FOwner;
      const std::uint64_t id = FId;
      QMetaObject::invokeMethod(
          owner, [owner, id] { owner->SessionBroken(id); }, Qt::QueuedConnection);
    }
  }

  // The final drain at Stop runs on the user-interface thread once the worker is gone.
  void DrainOnUiThread() {
    FOnUiThread = true;
    Pump();
  }

  void PostStartedIfNotYet() {
    if (FStartedPosted) return;
    FStartedPosted = true;
    TActiveSoundRecorder *owner = &FOwner;
    QMetaObject::invokeMethod(
        owner, [owner] { Q_EMIT owner->OnRecordingStarted(); }, Qt::QueuedConnection);
  }

 private:
  struct RReading {
    int Left;
    int Right;
    std::int64_t MSecs;
    std::int64_t HeardMSecs;
  };

  bool Process(std::size_t Frames) {
    const std::size_t samples = Frames * static_cast<std::size_t>(FChannels);
    const int gain = FGain.load();
    if (gain != kUnityPermyriad) {
      for (std::size_t i = 0; i < samples; ++i) {
        const std::int64_t scaled = std::int64_t{FBlock[i]} * gain / kUnityPermyriad;
        FBlock[i] = static_cast<std::int16_t>(std::clamp<std::int64_t>(scaled, -32768, 32767));
      }
    }
    FReadings.clear();
    FollowDrift(Frames);
    const std::int64_t drift = std::llround(FDrift * 1000);
    FPeaks.Feed(FBlock.data(), Frames, [this, drift](int Left, int Right, std::int64_t MSecs) {
      FReadings.push_back(
          {Left, Right, MSecs, MSecs + (drift >= 0 ? drift + 500 : drift - 500) / 1000});
    });

    if (!FWriter.Write(FBlock.data(), Frames)) {
      Finalize(true, QStringLiteral("the file could not be written: ") + FWriter.LastError());
      return false;
    }
    if (FSpool && !FSpoolFailed && !FSpool->Append(FBlock.data(), Frames)) {
      // Playing the session ends early; the recording itself goes on.
      FSpoolFailed = true;
      FSpool->Finish();
    }
    FOwner.FRecordedFrames.store(FWriter.Frames());
    if (!FStartedPosted) {
      int starting = 2;
      FOwner.FStatus.compare_exchange_strong(starting, 1);
      PostStartedIfNotYet();
    }
    TActiveSoundRecorder *owner = &FOwner;
    for (const RReading &r : FReadings) {
      QMetaObject::invokeMethod(
          owner,
          [owner, r] {
            Q_EMIT owner->OnVUMeterValueChange(r.Left, r.Right, r.MSecs, r.HeardMSecs);
          },
          Qt::QueuedConnection);
    }
    FFramesSinceHeader += static_cast<std::int64_t>(Frames);
    if (FFramesSinceHeader >= FRate) {
      FWriter.UpdateHeader();
      FFramesSinceHeader = 0;
    }
    return true;
  }

  TActiveSoundRecorder &FOwner;
  const std::uint64_t FId;
  const int FRate;
  const int FChannels;
  TSpscRing<std::int16_t> FRing;
  std::atomic<std::int64_t> FSilenceOwed{0};  // frames lost and not yet in the ring
  std::atomic<bool> FCaptureFailed{false};
  std::atomic<int> FGain{kUnityPermyriad};
  const TDateTime FRequestedStart;
  // Audio thread only.
  std::int64_t FBlockDelayUSecs = 0;
  std::int64_t FDeviceFrames = 0;  // frames the stream delivered, holes included
  TDateTime FFirstArrival = 0;
  std::array<double, kBoundSeconds> FBounds{};  // per second of frames; 0: none yet
  std::int64_t FBoundSecond = -1;
  // Written on the audio thread, read by the worker.
  std::atomic<double> FFirstFrameAt{0};
  std::atomic<std::int64_t> FMeasuredFrames{0};
  // The worker's (under FPumpMutex).
  bool FAligned = false;
  TDateTime FFileStart = 0;
  TDateTime FFirstFrame = 0;
  double FDrift = 0;

  // Used by whoever pumps, under FPumpMutex.
  std::mutex FPumpMutex;
  TSoundWriter FWriter;
  std::shared_ptr<TSessionSpool> FSpool;
  bool FSpoolFailed = false;
  TBlockPeaks FPeaks;
  std::vector<std::int16_t> FBlock;
  std::vector<RReading> FReadings;
  std::int64_t FFramesSinceHeader = 0;
  bool FStartedPosted = false;
  bool FFinalized = false;
  bool FBroken = false;
  bool FOnUiThread = false;
  QString FError;
};

// ---------------------------------------------------------------------------------------------

TActiveSoundRecorder::TActiveSoundRecorder(std::shared_ptr<TAudioBackend> Backend, QObject *Parent)
    : QObject(Parent), FBackend(std::move(Backend)), FSpoolFolder(TSessionSpool::DefaultFolder()) {}

TActiveSoundRecorder::~TActiveSoundRecorder() {
  if (!FSession) return;
  FSession->Stream.reset();
  FSession->Worker.reset();
  FSession->DrainOnUiThread();
  FSession->Finalize(false, {});
  FSession.reset();
}

TOleEnum TActiveSoundRecorder::InitRecordingSystem() {
  QString error;
  RAudioDeviceList list;
  if (!FBackend->Connect(error) || !FBackend->ListDevices(list, error)) {
    FLastError = error;
    FInitialized = false;
    return ERR_NOT_INITIALIZED;
  }
  TSessionSpool::RemoveStale(FSpoolFolder);

  std::vector<RAudioDevice> sources = list.Sources;
  QCollator collator;
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  std::stable_sort(sources.begin(), sources.end(),
                   [&](const RAudioDevice &a, const RAudioDevice &b) {
                     if (a.IsMonitor != b.IsMonitor) return !a.IsMonitor;
                     return collator.compare(a.Description, b.Description) < 0;
                   });

  FInputs.clear();
  RInput standard;
  standard.Description = QStringLiteral("Default");
  bool defaultListed = false;
  for (const RAudioDevice &source : list.Sources) {
    if (source.Name == list.DefaultSource) {
      standard.Ports = source.Ports;
      standard.ActivePort = source.ActivePort;
      defaultListed = true;
    }
  }
  // A server that names no default source it has (a machine whose only sources are monitors of
  // its outputs) still records: "Default" is then the first source listed.
  if (!defaultListed && !sources.empty()) {
    standard.SourceName = sources.front().Name;
    standard.Ports = sources.front().Ports;
    standard.ActivePort = sources.front().ActivePort;
  }
  FInputs.push_back(standard);
  for (const RAudioDevice &source : sources)
    FInputs.push_back({source.Name, source.Description, source.Ports, source.ActivePort});
  // Recording what the computer plays (a monitor) is recording too: the warning is for a
  // machine with nothing at all to record from.
  const bool anyInput = !sources.empty();
  if (FCurrentInput >= static_cast<int>(FInputs.size())) FCurrentInput = 0;
  FInitialized = true;

  QMetaObject::invokeMethod(
      this, [this] { Q_EMIT OnInputFormatsAvailable(); }, Qt::QueuedConnection);
  if (!anyInput) {
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT OnWarnNoInputDevice(); }, Qt::QueuedConnection);
  }
  return NOERROR;
}

TOleEnum TActiveSoundRecorder::SetRecordingMode(int Mode) {
  FRecordingMode = Mode;
  return NOERROR;
}

const TActiveSoundRecorder::RInput *TActiveSoundRecorder::Input(int Dev) const {
  if (Dev < 0 || Dev >= static_cast<int>(FInputs.size())) return nullptr;
  return &FInputs[static_cast<std::size_t>(Dev)];
}

QString TActiveSoundRecorder::GetInputDeviceDesc(int N) const {
  const RInput *input = Input(N);
  return input ? input->Description : QString();
}

TOleEnum TActiveSoundRecorder::ChangeInputDevice(int N) {
  if (!FInitialized) return ERR_NOT_INITIALIZED;
  if (!Input(N)) return ERR_INVALID_INPUT_DEVICE;
  FCurrentInput = N;
  return NOERROR;
}

int TActiveSoundRecorder::GetInputDeviceChannelsCount(int Dev) const {
  const RInput *input = Input(Dev);
  if (!input) return 0;
  return input->Ports.empty() ? 1 : static_cast<int>(input->Ports.size());
}

QString TActiveSoundRecorder::GetInputDeviceChannelDesc(int Dev, int Ch) const {
  const RInput *input = Input(Dev);
  if (!input || Ch < 0 || Ch >= GetInputDeviceChannelsCount(Dev)) return {};
  return input->Ports.empty() ? DefaultChannelName()
                              : input->Ports[static_cast<std::size_t>(Ch)].Description;
}

int TActiveSoundRecorder::GetInputDeviceChannelDefault(int Dev) const {
  const RInput *input = Input(Dev);
  if (!input) return ERR_INVALID_INPUT_DEVICE;
  return input->Ports.empty() ? 0 : std::max(0, input->ActivePort);
}

TOleEnum TActiveSoundRecorder::SetInputDeviceChannelDefault(int Dev, int Ch) {
  if (!FInitialized) return ERR_NOT_INITIALIZED;
  const RInput *input = Input(Dev);
  if (!input) return ERR_INVALID_INPUT_DEVICE;
  if (Ch < 0 || Ch >= GetInputDeviceChannelsCount(Dev)) return ERR_INVALID_INPUT_CHANNEL;
  if (input->Ports.empty() || input->ActivePort == Ch) return NOERROR;

  RAudioDeviceList list;
  QString error;
  if (!FBackend->ListDevices(list, error)) return ERR_INVALID_INPUT_DEVICE;
  const QString source = input->SourceName.isEmpty() ? list.DefaultSource : input->SourceName;
  if (!FBackend->SetSourcePort(source, input->Ports[static_cast<std::size_t>(Ch)].Name, error)) {
    FLastError = error;
    return ERR_INVALID_INPUT_CHANNEL;
  }
  // The source may be listed twice (as itself and as "Default"): both show the new port.
  for (RInput &each : FInputs) {
    const QString name = each.SourceName.isEmpty() ? list.DefaultSource : each.SourceName;
    if (name == source) each.ActivePort = Ch;
  }
  return NOERROR;
}

QString TActiveSoundRecorder::ChannelKey(int Dev, int Ch) const {
  const RInput *input = Input(Dev);
  if (!input) return {};
  const QString port =
      input->Ports.empty() ? DefaultChannelName() : input->Ports[static_cast<std::size_t>(Ch)].Name;
  return input->SourceName + QLatin1Char('\n') + port;
}

int TActiveSoundRecorder::ChannelVolume(int Dev, int Ch) const {
  const auto it = FChannelVolumes.find(ChannelKey(Dev, Ch));
  return it == FChannelVolumes.end() ? 100 : it->second;
}

int TActiveSoundRecorder::GetInputDeviceChannelVolume(int Dev, int Ch) const {
  if (!Input(Dev)) return ERR_INVALID_INPUT_DEVICE;
  if (Ch < 0 || Ch >= GetInputDeviceChannelsCount(Dev)) return ERR_INVALID_INPUT_CHANNEL;
  return ChannelVolume(Dev, Ch);
}

TOleEnum TActiveSoundRecorder::SetInputDeviceChannelVolume(int Dev, int Ch, int Volume) {
  if (!Input(Dev)) return ERR_INVALID_INPUT_DEVICE;
  if (Ch < 0 || Ch >= GetInputDeviceChannelsCount(Dev)) return ERR_INVALID_INPUT_CHANNEL;
  if (Volume < 0 || Volume > 100) return ERR_VALUE_OUT_OF_RANGE;
  FChannelVolumes[ChannelKey(Dev, Ch)] = Volume;
  UpdateSessionGain();
  return NOERROR;
}

int TActiveSoundRecorder::GetSupportedRecordFormatsCount(int Dev) const {
  return Input(Dev) ? static_cast<int>(SamplingOfferings().size()) : 0;
}

QString TActiveSoundRecorder::GetSupportedRecordFormatDesc(int Dev, int N) const {
  const std::vector<RSampling> offerings = SamplingOfferings();
  if (!Input(Dev) || N < 0 || N >= static_cast<int>(offerings.size())) return {};
  return SamplingText(offerings[static_cast<std::size_t>(N)]);
}

TOleEnum TActiveSoundRecorder::SetAutoGainControllerSettings(int TargetLevel, int QuietLevel,
                                                             int Gain, int Rate) {
  if (Gain < 0 || Gain > 32767) return ERR_VALUE_OUT_OF_RANGE;
  FAgcTarget = TargetLevel;
  FAgcQuiet = QuietLevel;
  FAgcGain = Gain;
  FAgcRate = Rate;
  UpdateSessionGain();
  return NOERROR;
}

TOleEnum TActiveSoundRecorder::EnableAutoGainController(bool Enable) {
  FAgcEnabled = Enable;
  UpdateSessionGain();
  return NOERROR;
}

TOleEnum TActiveSoundRecorder::GetAutoGainControllerSettings(int &TargetLevel, int &QuietLevel,
                                                             int &Gain, int &Rate) const {
  TargetLevel = FAgcTarget;
  QuietLevel = FAgcQuiet;
  Gain = FAgcGain;
  Rate = FAgcRate;
  return NOERROR;
}

int TActiveSoundRecorder::GainPermyriad(int Dev, int Ch) const {
  return ChannelVolume(Dev, Ch) * (FAgcEnabled ? FAgcGain : 100);
}

void TActiveSoundRecorder::UpdateSessionGain() {
  if (FSession) FSession->SetGain(GainPermyriad(FRecordingDevice, FRecordingChannel));
}

std::shared_ptr<TSessionSpool> TActiveSoundRecorder::SessionSpool() const {
  return FSession ? FSession->Spool() : nullptr;
}

TOleEnum TActiveSoundRecorder::StartFromDirectSoundDevice(int Dev, int Ch, const QString &Path) {
  if (!FInitialized) return ERR_NOT_INITIALIZED;
  if (FSession) return ERR_RECORDER_BUSY;
  const RInput *input = Input(Dev);
  if (!input) return ERR_INVALID_INPUT_DEVICE;
  if (Ch < 0 || Ch >= GetInputDeviceChannelsCount(Dev)) return ERR_INVALID_INPUT_CHANNEL;

  RResolvedFormat format;
  const TOleEnum resolved = ResolveEncodeFormats(FFormats, format);
  if (resolved != NOERROR) return resolved;

  auto session = std::make_unique<TSession>(*this, FNextSessionId++, format.Rate, format.Channels,
                                            FRequestedFileStart);
  FRequestedFileStart = 0;
  FFileStart.store(0);
  FFirstCaptured.store(0);
  FFirstDelayMSecs.store(-1);
  FPaddingMSecs.store(0);
  FDriftMSecs.store(0);
  QString error;
  const TOleEnum created = session->Writer().Create(Path, format, error);
  if (created != NOERROR) {
    FLastError = error;
    return created;
  }
  session->SetSpool(TSessionSpool::Create(FSpoolFolder, format.Rate, format.Channels));
  if (!session->Spool())
    TraceWrite(QStringLiteral("Recorder: no spool, the session cannot be played"));

  FCurrentInput = Dev;
  FRecordingDevice = Dev;
  FRecordingChannel = Ch;
  session->SetGain(GainPermyriad(Dev, Ch));
  session->Stream =
      FBackend->OpenCapture(input->SourceName, format.Rate, format.Channels, *session, error);
  if (!session->Stream) {
    FLastError = error;
    session->Writer().Close();
    QFile::remove(Path);
    return ERR_INVALID_INPUT_DEVICE;
  }
  FRecordingRate = format.Rate;
  FRecordingChannels = format.Channels;
  FRecordedFrames.store(0);
  FStatus.store(2);
  TSession *raw = session.get();
  FSession = std::move(session);
  FSession->Worker = FBackend->StartWorker([raw] { raw->Pump(); });
  return NOERROR;
}

TOleEnum TActiveSoundRecorder::Stop() {
  if (!FSession) return ERR_RECORDER_EMPTY;
  EndSession(false);
  return NOERROR;
}

void TActiveSoundRecorder::SessionBroken(std::uint64_t Id) {
  if (!FSession || FSession->Id() != Id) return;  // Stop got there first
  EndSession(true);
}

// Stops capture and the worker, moves what is left into the file, closes it, and only then
// queues the stopped event. Every recording that started gets its started event first.
void TActiveSoundRecorder::EndSession(bool Broken) {
  std::unique_ptr<TSession> session = std::move(FSession);
  session->Stream.reset();
  session->Worker.reset();
  session->DrainOnUiThread();
  session->Finalize(
      Broken, Broken ? QStringLiteral("the recording device stopped delivering sound") : QString());
  const bool broken = session->WasBroken();
  if (broken) {
    FLastError = session->Error();
    TraceWrite(QStringLiteral("Recorder: recording broke off: ") + FLastError);
  }
  FRecordedFrames.store(session->Writer().Frames());
  session->PostStartedIfNotYet();
  session.reset();  // releases the spool; players that loaded it keep it
  FStatus.store(0);
  const int result = broken ? 0 : 1;
  QMetaObject::invokeMethod(
      this, [this, result] { Q_EMIT OnRecordingStopped(result); }, Qt::QueuedConnection);
}

RCaptureTiming TActiveSoundRecorder::CaptureTiming() const {
  RCaptureTiming timing;
  timing.FileStart = FFileStart.load();
  timing.FirstCaptured = FFirstCaptured.load();
  timing.FirstDelayMSecs = FFirstDelayMSecs.load();
  timing.PaddingMSecs = FPaddingMSecs.load();
  timing.DriftMSecs = FDriftMSecs.load();
  return timing;
}

QString TActiveSoundRecorder::ControlVersion() const { return QStringLiteral("Vellomar 1.0"); }

QString TActiveSoundRecorder::EngineVersion() const {
  char version[64] = {};
  sf_command(nullptr, SFC_GET_LIB_VERSION, version, sizeof version);
  return FBackend->EngineVersion() + QStringLiteral(", ") + QString::fromLatin1(version);
}
