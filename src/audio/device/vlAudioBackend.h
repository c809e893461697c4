#pragma once
// The seam between the recorder and player and whatever moves the samples: the sound server for
// real devices (TPulseBackend), or a simulation whose clock a test advances (TSimBackend).
//
// Samples are signed 16-bit, interleaved, at the rate and channel count the stream was opened
// with; the server converts to and from the device. Device names are the server's own stable
// names; an empty name means the server's default device.
//
// Threads: the backend, the devices and the streams are created, used and destroyed on the
// user-interface thread. Client callbacks run on the backend's audio thread (the sound server's
// main loop, or the thread that advances the simulation); they must not block or allocate.
// Workers run the components' encoding and decoding off that audio thread.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct RAudioPort {
  QString Name;
  QString Description;
};

struct RAudioDevice {
  QString Name;
  QString Description;
  // A source that records what a sink plays.
  bool IsMonitor = false;
  // The source's inputs ("Microphone", "Line In"); empty for a device without ports.
  std::vector<RAudioPort> Ports;
  int ActivePort = -1;
};

struct RAudioDeviceList {
  std::vector<RAudioDevice> Sources;
  std::vector<RAudioDevice> Sinks;
  QString DefaultSource;
  QString DefaultSink;
};

class TAudioCaptureClient {
 public:
  virtual ~TAudioCaptureClient() = default;
  // Called on the audio thread; must not block. Frames is nullptr for a stretch the device lost,
  // which counts as silence of that length.
  virtual void Captured(const std::int16_t *Frames, std::size_t Count) = 0;
  // Called on the audio thread once, when the stream broke (device removed, server gone).
  virtual void CaptureFailed() = 0;
  // Called on the audio thread just before Captured, by streams that know their timing: the last
  // frame of the block that follows was captured at least DelayUSecs before this call (the
  // transport from the server, a device's latency). Without it a block's last frame counts as
  // captured no later than the block arrives, which is what arrivals alone tell.
  virtual void CaptureDelay(std::int64_t DelayUSecs) { static_cast<void>(DelayUSecs); }
};

class TAudioPlaybackClient {
 public:
  virtual ~TAudioPlaybackClient() = default;
  // Called on the audio thread; must not block. Fills up to Count frames and answers how many.
  virtual std::size_t Render(std::int16_t *Out, std::size_t Count) = 0;
  // Called on the audio thread: true once Render will never give more, so that the stream plays
  // out what it holds.
  virtual bool Ended() const = 0;
  // Called on the audio thread once, when the stream broke.
  virtual void PlaybackFailed() = 0;
};

// Capture runs from creation until destruction; after the destructor returns no callback runs.
class TAudioCaptureStream {
 public:
  virtual ~TAudioCaptureStream() = default;
};

// Playback runs from creation until destruction; after the destructor returns no callback runs.
class TAudioPlaybackStream {
 public:
  virtual ~TAudioPlaybackStream() = default;
  // Holds or releases the output; what is buffered stays buffered.
  virtual void SetPaused(bool Paused) = 0;
  // Frames of this stream that have been heard so far. Never decreases.
  virtual std::int64_t PlayedFrames() const = 0;
  // True once the client has Ended() and everything it rendered has been played.
  virtual bool IsDrained() const = 0;
  // Sends the output to another sink (empty: the server's default) without a gap.
  virtual bool MoveTo(const QString &Sink) = 0;
};

// Runs a component's pump repeatedly until destroyed. After the destructor returns the pump no
// longer runs.
class TAudioWorker {
 public:
  virtual ~TAudioWorker() = default;
  // Asks for the next pump soon instead of at the next period.
  virtual void Wake() = 0;
};

class TAudioBackend {
 public:
  virtual ~TAudioBackend() = default;

  // Connects to the sound server when not connected. False with a reason when none answers.
  virtual bool Connect(QString &Error) = 0;
  virtual bool IsConnected() const = 0;
  virtual bool ListDevices(RAudioDeviceList &List, QString &Error) = 0;
  // Makes Port the source's active input.
  virtual bool SetSourcePort(const QString &Source, const QString &Port, QString &Error) = 0;

  // Null with a reason when the stream cannot be opened. The stream keeps a reference to Client.
  virtual std::unique_ptr<TAudioCaptureStream> OpenCapture(const QString &Source, int Rate,
                                                           int Channels,
                                                           TAudioCaptureClient &Client,
                                                           QString &Error) = 0;
  // BufferMSecs is the target of audio held ahead of the speaker.
  virtual std::unique_ptr<TAudioPlaybackStream> OpenPlayback(const QString &Sink, int Rate,
                                                             int Channels, int BufferMSecs,
                                                             TAudioPlaybackClient &Client,
                                                             QString &Error) = 0;

  // Runs Pump every few milliseconds until the worker is destroyed: on a thread of its own for
  // real devices; inside Advance for the simulation.
  virtual std::unique_ptr<TAudioWorker> StartWorker(std::function<void()> Pump) = 0;
  // Called by a pump between the blocks it moves. Nothing happens with real devices; the
  // simulation may hold the worker up there (a slow disk) while its devices run on.
  virtual void WorkerBetweenBlocks() {}

  // For version texts: the library or server behind the backend.
  virtual QString EngineVersion() const = 0;
};

// A worker on a thread of its own that pumps every PeriodMSecs or when woken.
std::unique_ptr<TAudioWorker> StartThreadWorker(std::function<void()> Pump, int PeriodMSecs);
