#pragma once
// One player of TAmp3dj, as a chain of small stages: a source (file or live spool), the tempo
// stage, the volume, and the output stream, with a ring between the worker that produces and the
// audio thread that plays.
//
// Positions are milliseconds of the source, whatever the speed, so they never drift when the tempo
// is not 100 % or changes during playback. Each start of the output (play, seek, tempo change)
// begins a fresh stream whose first frame is a known source frame; the position is that frame
// plus the frames heard since, times the tempo. The tempo stage keeps output frame k aligned with
// source frame k * tempo, which makes this exact.
//
// Threads: the public methods run on the user-interface thread; Render and Ended on the audio
// thread (lock-free: the ring and atomics only); Pump on the worker. The worker and the
// user-interface thread share the pipeline under FMutex. Streams are closed outside FMutex
// because the simulation calls the pump with its own lock held.

#include "vlAudioBackend.h"
#include "vlAudioErrors.h"
#include "vlAudioRing.h"
#include "vlLevelMeter.h"
#include "vlSoundFile.h"
#include "vlTempoStage.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class TAmp3dj;

class TPlayerSlot final : public TAudioPlaybackClient {
 public:
  enum TStatus { psEmpty = 0, psPlaying = 1, psPaused = 2, psStopped = 3 };

  // Events go to Owner's signals, queued. GainPermyriad is the player's output gain, 10000 being
  // unchanged; it is read on the audio thread.
  TPlayerSlot(TAmp3dj &Owner, int Index, TAudioBackend &Backend,
              const std::atomic<int> &GainPermyriad);
  ~TPlayerSlot() override;
  TPlayerSlot(const TPlayerSlot &) = delete;
  TPlayerSlot &operator=(const TPlayerSlot &) = delete;

  TOleEnum Load(std::unique_ptr<TSampleSource> Source);
  TOleEnum Close();
  TOleEnum Seek(std::int64_t MSecs);
  TOleEnum Play();
  TOleEnum PlayRange(std::int64_t FromMSecs, std::int64_t ToMSecs);
  TOleEnum Pause() { return Halt(psPaused); }
  TOleEnum Stop() { return Halt(psStopped); }
  TOleEnum SetTempoPercent(int Percent);
  int TempoPercent() const { return FTempoPercent; }
  TOleEnum SetSink(const QString &Sink);
  void SetRewindOnEnd(bool Rewind) { FRewindOnEnd = Rewind; }
  void SetBufferMSecs(int MSecs) { FBufferMSecs = MSecs; }

  int Status() const { return FStatus; }
  // ERR_SOUND_NOT_LOADED when nothing is loaded.
  std::int64_t PositionMSecs() const;
  std::int64_t DurationMSecs() const;

  // Audio thread.
  std::size_t Render(std::int16_t *Out, std::size_t Count) override;
  bool Ended() const override;
  void PlaybackFailed() override;

 private:
  TOleEnum Halt(TStatus NewStatus);
  // Starts a fresh output at FStartFrame; ERR_INVALID_DS_CARD when no output opens.
  TOleEnum StartOutput();
  // Closes the output, keeping the position it had reached.
  void EndOutput();
  // Output again from the held position after a seek or a change of speed while playing; when
  // no output opens the slot stops and says so.
  TOleEnum RestartOutput();
  std::int64_t PositionFramesLocked() const;
  std::int64_t EndFrameLocked() const;
  void ResetPipelineLocked(std::int64_t SourceFrame);
  // Fills the ring up to its target; false at the end of what there is to play.
  void ProduceLocked();
  void Pump();
  void OutputDone(std::uint64_t Generation);
  void OutputFailed(std::uint64_t Generation);
  template <typename TFn>
  void Post(TFn &&Fn);
  std::int64_t FramesOf(std::int64_t MSecs) const;
  std::int64_t MSecsOf(std::int64_t Frames) const;

  TAmp3dj &FOwner;
  const int FIndex;
  TAudioBackend &FBackend;
  const std::atomic<int> &FGain;

  // User-interface thread only.
  TStatus FStatus = psEmpty;
  int FTempoPercent = 100;
  bool FRewindOnEnd = false;
  int FBufferMSecs = 500;
  QString FSink;
  std::unique_ptr<TAudioPlaybackStream> FStream;
  std::unique_ptr<TAudioWorker> FWorker;

  // Shared with the worker under FMutex.
  mutable std::mutex FMutex;
  std::unique_ptr<TSampleSource> FSource;
  TTempoStage FTempo;
  TBlockPeaks FPeaks;
  TAudioPlaybackStream *FLiveStream = nullptr;  // FStream while the worker may use it
  std::uint64_t FGeneration = 0;
  std::int64_t FStartFrame = 0;      // source frame of the output's first frame
  std::int64_t FHeldFrame = 0;       // the position while no output runs
  std::int64_t FRangeEndFrame = -1;  // end of a range, -1 to the end of the source
  std::int64_t FReadFrame = 0;       // next source frame to read
  std::int64_t FProducedFrames = 0;  // output frames produced since the output started
  bool FProducing = false;
  bool FInputDone = false;  // the source gave its last frame to the tempo stage
  bool FDonePosted = false;
  std::vector<std::int16_t> FReadBuffer;
  std::vector<std::int16_t> FOutBuffer;
  std::vector<std::int16_t> FPending;  // produced, not yet in the ring

  // Shared with the audio thread; set before an output opens, constant while it runs.
  std::unique_ptr<TSpscRing<std::int16_t>> FRing;
  std::size_t FOutputChannels = 1;
  std::atomic<bool> FProducedAll{false};  // everything is in the ring
  std::atomic<bool> FFailed{false};
};
