#include "vlPlayerSlot.h"

#include "vlAmp3dj.h"
#include "vlGlobals.h"

#include <QMetaObject>

#include <algorithm>
#include <cmath>

namespace {

// Source frames read per step of the pipeline.
constexpr std::size_t kChunkFrames = 2048;
// Audio the ring holds beyond the output's own buffer.
constexpr int kRingExtraMSecs = 500;
// Playing the recording in progress: at the edge of what exists, wait for more while this much is
// still queued for the speaker; with less, playback has caught up with the recording and ends.
constexpr int kLiveEdgeMSecs = 200;
constexpr int kUnityPermyriad = 100 * 100;

}  // namespace

TPlayerSlot::TPlayerSlot(TAmp3dj &Owner, int Index, TAudioBackend &Backend,
                         const std::atomic<int> &GainPermyriad)
    : FOwner(Owner), FIndex(Index), FBackend(Backend), FGain(GainPermyriad) {}

TPlayerSlot::~TPlayerSlot() { EndOutput(); }

template <typename TFn>
void TPlayerSlot::Post(TFn &&Fn) {
  QMetaObject::invokeMethod(&FOwner, std::forward<TFn>(Fn), Qt::QueuedConnection);
}

std::int64_t TPlayerSlot::FramesOf(std::int64_t MSecs) const {
  return FSource ? MSecs * FSource->Rate() / 1000 : 0;
}

std::int64_t TPlayerSlot::MSecsOf(std::int64_t Frames) const {
  return FSource ? Frames * 1000 / FSource->Rate() : 0;
}

TOleEnum TPlayerSlot::Load(std::unique_ptr<TSampleSource> Source) {
  if (FStatus == psPlaying) Halt(psStopped);
  EndOutput();
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FSource = std::move(Source);
    FTempo.Configure(FSource->Rate(), FSource->Channels());
    FTempo.SetTempoPercent(FTempoPercent);
    FPeaks.Configure(FSource->Rate(), FSource->Channels());
    FHeldFrame = 0;
    FRangeEndFrame = -1;
  }
  FStatus = psStopped;
  return NOERROR;
}

TOleEnum TPlayerSlot::Close() {
  if (FStatus == psPlaying) Halt(psStopped);
  EndOutput();
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FSource.reset();  // lets go of a spool; the last holder deletes it
    FHeldFrame = 0;
    FRangeEndFrame = -1;
  }
  FStatus = psEmpty;
  return NOERROR;
}

TOleEnum TPlayerSlot::Seek(std::int64_t MSecs) {
  if (!FSource) return ERR_SOUND_NOT_LOADED;
  if (MSecs < 0) return ERR_VALUE_OUT_OF_RANGE;
  const bool playing = FStatus == psPlaying;
  EndOutput();
  {
    std::lock_guard<std::mutex> lock(FMutex);
    // Past the end is the end: a length written in a name may exceed the audio by a fraction.
    FHeldFrame = std::min(FramesOf(MSecs), FSource->Frames());
    FRangeEndFrame = -1;
  }
  return playing ? RestartOutput() : NOERROR;
}

TOleEnum TPlayerSlot::Play() {
  if (!FSource) return ERR_SOUND_NOT_LOADED;
  if (FStatus == psPlaying) return NOERROR;
  bool resumable = false;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    resumable = FStream && FRangeEndFrame < 0;
  }
  if (resumable) {
    FStream->SetPaused(false);
  } else {
    // A range that was interrupted is not resumed as a range: playing goes on to the end.
    EndOutput();
    {
      std::lock_guard<std::mutex> lock(FMutex);
      FRangeEndFrame = -1;
    }
    const TOleEnum rc = StartOutput();
    if (rc != NOERROR) return rc;
  }
  FStatus = psPlaying;
  Post([this] { Q_EMIT FOwner.OnSoundPlaying(FIndex); });
  return NOERROR;
}

TOleEnum TPlayerSlot::PlayRange(std::int64_t FromMSecs, std::int64_t ToMSecs) {
  if (!FSource) return ERR_SOUND_NOT_LOADED;
  if (FromMSecs < 0 || ToMSecs < 0) return ERR_VALUE_OUT_OF_RANGE;
  if (ToMSecs <= FromMSecs) return ERR_INVALID_DEST_POS;
  const std::int64_t from = FramesOf(FromMSecs);
  if (!FSource->IsGrowing() && from >= FSource->Frames()) return ERR_INVALID_SOURCE_POS;
  const bool wasPlaying = FStatus == psPlaying;
  EndOutput();
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FHeldFrame = from;
    FRangeEndFrame = FramesOf(ToMSecs);
  }
  const TOleEnum rc = StartOutput();
  if (rc != NOERROR) {
    if (wasPlaying) {
      FStatus = psStopped;
      Post([this] { Q_EMIT FOwner.OnSoundStopped(FIndex); });
    }
    return rc;
  }
  FStatus = psPlaying;
  if (!wasPlaying) Post([this] { Q_EMIT FOwner.OnSoundPlaying(FIndex); });
  return NOERROR;
}

TOleEnum TPlayerSlot::RestartOutput() {
  const TOleEnum rc = StartOutput();
  if (rc != NOERROR) {
    FStatus = psStopped;
    Post([this] { Q_EMIT FOwner.OnSoundStopped(FIndex); });
  }
  return rc;
}

TOleEnum TPlayerSlot::Halt(TStatus NewStatus) {
  if (!FSource) return ERR_SOUND_NOT_LOADED;
  if (FStatus == psPlaying) {
    if (FStream) FStream->SetPaused(true);
    Post([this] { Q_EMIT FOwner.OnSoundStopped(FIndex); });
  }
  if (FStatus == psPlaying || FStatus == psPaused) FStatus = NewStatus;
  return NOERROR;
}

TOleEnum TPlayerSlot::SetTempoPercent(int Percent) {
  if (Percent == FTempoPercent) return NOERROR;
  FTempoPercent = Percent;
  if (!FSource) return NOERROR;
  // The new speed starts from the position heard now: positions stay continuous, and the change
  // is heard at once rather than after the buffered audio.
  const bool playing = FStatus == psPlaying;
  EndOutput();
  return playing ? RestartOutput() : NOERROR;
}

TOleEnum TPlayerSlot::SetSink(const QString &Sink) {
  FSink = Sink;
  if (FStream && !FStream->MoveTo(Sink)) return ERR_INVALID_DS_CARD;
  return NOERROR;
}

std::int64_t TPlayerSlot::PositionMSecs() const {
  if (!FSource) return ERR_SOUND_NOT_LOADED;
  std::lock_guard<std::mutex> lock(FMutex);
  return MSecsOf(PositionFramesLocked());
}

std::int64_t TPlayerSlot::DurationMSecs() const {
  if (!FSource) return ERR_SOUND_NOT_LOADED;
  return MSecsOf(FSource->Frames());
}

std::int64_t TPlayerSlot::PositionFramesLocked() const {
  if (!FLiveStream) return FHeldFrame;
  const double heard = static_cast<double>(FLiveStream->PlayedFrames());
  const auto position =
      FStartFrame + static_cast<std::int64_t>(std::llround(heard * FTempo.Ratio()));
  return std::min(position, FReadFrame);
}

std::int64_t TPlayerSlot::EndFrameLocked() const {
  const std::int64_t length = FSource->Frames();
  if (FRangeEndFrame < 0) return length;
  return FSource->IsGrowing() ? FRangeEndFrame : std::min(FRangeEndFrame, length);
}

void TPlayerSlot::ResetPipelineLocked(std::int64_t SourceFrame) {
  FStartFrame = SourceFrame;
  FReadFrame = SourceFrame;
  FSource->Seek(SourceFrame);
  FTempo.SetTempoPercent(FTempoPercent);
  FPeaks.Reset();
  FProducedFrames = 0;
  FPending.clear();
  FProducedAll.store(false);
  FInputDone = false;
  FDonePosted = false;
  FFailed.store(false);
  const auto frames = static_cast<std::size_t>(FSource->Rate()) *
                      static_cast<std::size_t>(FBufferMSecs + kRingExtraMSecs) / 1000;
  FOutputChannels = static_cast<std::size_t>(FSource->Channels());
  FRing = std::make_unique<TSpscRing<std::int16_t>>(frames * FOutputChannels);
  FProducing = true;
}

void TPlayerSlot::ProduceLocked() {
  if (!FProducing) return;
  TSpscRing<std::int16_t> &ring = *FRing;
  const std::size_t width = static_cast<std::size_t>(FSource->Channels());
  if (!FPending.empty()) {
    const std::size_t pushed = ring.Push(FPending.data(), FPending.size());
    FPending.erase(FPending.begin(), FPending.begin() + static_cast<std::ptrdiff_t>(pushed));
    if (!FPending.empty()) return;
  }
  const std::size_t target = ring.Capacity() * 3 / 4;
  while (!FInputDone && ring.Capacity() - ring.Free() < target) {
    const std::int64_t want =
        std::clamp<std::int64_t>(EndFrameLocked() - FReadFrame, 0, kChunkFrames);
    FReadBuffer.resize(kChunkFrames * width);
    const std::size_t got =
        want > 0 ? FSource->Read(FReadBuffer.data(), static_cast<std::size_t>(want)) : 0;
    FOutBuffer.clear();
    if (got == 0) {
      const bool rangeLeft = FRangeEndFrame < 0 || FReadFrame < FRangeEndFrame;
      if (FSource->IsGrowing() && rangeLeft) {
        const std::int64_t heard = FLiveStream ? FLiveStream->PlayedFrames() : 0;
        if (FProducedFrames - heard > FramesOf(kLiveEdgeMSecs)) break;
      }
      FTempo.Finish(FOutBuffer);
      FInputDone = true;
    } else {
      FReadFrame += static_cast<std::int64_t>(got);
      FTempo.Process(FReadBuffer.data(), got, FOutBuffer);
    }
    const std::size_t outFrames = FOutBuffer.size() / width;
    if (outFrames == 0) continue;
    FProducedFrames += static_cast<std::int64_t>(outFrames);
    const int gain = FGain.load();
    TAmp3dj *owner = &FOwner;
    const int index = FIndex;
    FPeaks.Feed(FOutBuffer.data(), outFrames, [&](int Left, int Right, std::int64_t) {
      const int left = static_cast<int>(
          std::min<std::int64_t>(32767, std::int64_t{Left} * gain / kUnityPermyriad));
      const int right = static_cast<int>(
          std::min<std::int64_t>(32767, std::int64_t{Right} * gain / kUnityPermyriad));
      QMetaObject::invokeMethod(
          owner,
          [owner, index, left, right] { Q_EMIT owner->OnVUMeterValueChange(index, left, right); },
          Qt::QueuedConnection);
    });
    const std::size_t pushed = ring.Push(FOutBuffer.data(), FOutBuffer.size());
    if (pushed < FOutBuffer.size()) {
      FPending.assign(FOutBuffer.begin() + static_cast<std::ptrdiff_t>(pushed), FOutBuffer.end());
      break;
    }
  }
  if (FInputDone && FPending.empty()) FProducedAll.store(true);
}

TOleEnum TPlayerSlot::StartOutput() {
  QString error;
  if (!FBackend.IsConnected() && !FBackend.Connect(error)) {
    TraceWrite(QStringLiteral("Player: no sound server: ") + error);
    return ERR_INVALID_DS_CARD;
  }
  int rate = 0;
  int channels = 0;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    ResetPipelineLocked(FHeldFrame);
    ProduceLocked();  // the output starts with its buffer full
    rate = FSource->Rate();
    channels = FSource->Channels();
  }
  std::unique_ptr<TAudioPlaybackStream> stream =
      FBackend.OpenPlayback(FSink, rate, channels, FBufferMSecs, *this, error);
  if (!stream && !FSink.isEmpty()) {
    // The chosen device is gone (unplugged, say): play on the server's default one rather than
    // not at all.
    TraceWrite(QStringLiteral("Player: output device ") + FSink +
               QStringLiteral(" could not be opened (") + error +
               QStringLiteral("); playing on the default device"));
    stream = FBackend.OpenPlayback(QString(), rate, channels, FBufferMSecs, *this, error);
  }
  if (!stream) {
    std::lock_guard<std::mutex> lock(FMutex);
    FProducing = false;
    TraceWrite(QStringLiteral("Player: output could not be opened: ") + error);
    return ERR_INVALID_DS_CARD;
  }
  FStream = std::move(stream);
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FLiveStream = FStream.get();
    ++FGeneration;
  }
  FWorker = FBackend.StartWorker([this] { Pump(); });
  return NOERROR;
}

void TPlayerSlot::EndOutput() {
  std::unique_ptr<TAudioWorker> worker = std::move(FWorker);
  std::unique_ptr<TAudioPlaybackStream> stream = std::move(FStream);
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (FLiveStream) FHeldFrame = PositionFramesLocked();
    FLiveStream = nullptr;
    FProducing = false;
    ++FGeneration;
  }
  worker.reset();
  stream.reset();
}

void TPlayerSlot::Pump() {
  std::uint64_t generation = 0;
  bool done = false;
  bool failed = false;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (!FLiveStream || FDonePosted) return;
    ProduceLocked();
    failed = FFailed.load();
    // Only the server's own notice that it played everything out counts: its clock may run
    // ahead of the sound (a sink waking from idle), so "heard every frame" is no proof.
    done = !failed && FProducedAll.load() && FLiveStream->IsDrained();
    if (done || failed) FDonePosted = true;
    generation = FGeneration;
  }
  if (done) Post([this, generation] { OutputDone(generation); });
  if (failed) Post([this, generation] { OutputFailed(generation); });
}

void TPlayerSlot::OutputDone(std::uint64_t Generation) {
  std::int64_t end = 0;
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (Generation != FGeneration) return;  // the output was replaced meanwhile
    end = FReadFrame;
  }
  EndOutput();
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FHeldFrame = FRewindOnEnd ? 0 : end;
    FRangeEndFrame = -1;
  }
  FStatus = psStopped;
  Q_EMIT FOwner.OnSoundDone(FIndex);
  Q_EMIT FOwner.OnSoundStopped(FIndex);
}

void TPlayerSlot::OutputFailed(std::uint64_t Generation) {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    if (Generation != FGeneration) return;
  }
  TraceWrite(QStringLiteral("Player: the output device stopped"));
  EndOutput();
  const bool wasPlaying = FStatus == psPlaying;
  FStatus = psStopped;
  if (wasPlaying) Q_EMIT FOwner.OnSoundStopped(FIndex);
}

std::size_t TPlayerSlot::Render(std::int16_t *Out, std::size_t Count) {
  const std::size_t width = FOutputChannels;
  const std::size_t samples = FRing->Pop(Out, Count * width);
  const int gain = FGain.load(std::memory_order_relaxed);
  if (gain != kUnityPermyriad) {
    for (std::size_t i = 0; i < samples; ++i) {
      const std::int64_t scaled = std::int64_t{Out[i]} * gain / kUnityPermyriad;
      Out[i] = static_cast<std::int16_t>(std::clamp<std::int64_t>(scaled, -32768, 32767));
    }
  }
  return samples / width;
}

bool TPlayerSlot::Ended() const { return FProducedAll.load() && FRing->Available() == 0; }

void TPlayerSlot::PlaybackFailed() { FFailed.store(true); }
