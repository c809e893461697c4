#include "vlPulseBackend.h"

#include <pulse/pulseaudio.h>
#include <pulse/rtclock.h>

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

constexpr int kConnectTimeoutMSecs = 5000;
constexpr int kStreamTimeoutMSecs = 5000;
// How often a playback stream checks for room in the server's buffer besides the server's own
// requests: a request answered short would otherwise not come again until the buffer drains.
constexpr pa_usec_t kFillPeriodUSecs = 10000;
constexpr int kWorkerPeriodMSecs = 10;

// With the main loop locked: waits until Done() or the timeout, letting the main loop run.
bool WaitLocked(pa_threaded_mainloop *Loop, const std::function<bool()> &Done, int TimeoutMSecs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMSecs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    pa_threaded_mainloop_unlock(Loop);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pa_threaded_mainloop_lock(Loop);
  }
  return true;
}

// With the main loop locked: waits for an operation to finish. False when it could not start or
// was cancelled (the server went away).
bool RunOperation(pa_threaded_mainloop *Loop, pa_operation *Operation) {
  if (!Operation) return false;
  WaitLocked(
      Loop, [&] { return pa_operation_get_state(Operation) != PA_OPERATION_RUNNING; },
      kStreamTimeoutMSecs);
  const bool done = pa_operation_get_state(Operation) == PA_OPERATION_DONE;
  if (!done) pa_operation_cancel(Operation);
  pa_operation_unref(Operation);
  return done;
}

class TLoopLock {
 public:
  explicit TLoopLock(pa_threaded_mainloop *Loop) : FLoop(Loop) { pa_threaded_mainloop_lock(FLoop); }
  ~TLoopLock() { pa_threaded_mainloop_unlock(FLoop); }
  TLoopLock(const TLoopLock &) = delete;
  TLoopLock &operator=(const TLoopLock &) = delete;

 private:
  pa_threaded_mainloop *FLoop;
};

pa_sample_spec SampleSpec(int Rate, int Channels) {
  pa_sample_spec sampleFormat{};
  sampleFormat.format = PA_SAMPLE_S16LE;
  sampleFormat.rate = static_cast<std::uint32_t>(Rate);
  sampleFormat.channels = static_cast<std::uint8_t>(Channels);
  return sampleFormat;
}

QString FromUtf8(const char *Text) { return Text ? QString::fromUtf8(Text) : QString(); }

// With the main loop locked: waits until a stream just connected has settled; true when ready.
bool WaitUntilReady(pa_threaded_mainloop *Loop, pa_stream *Stream) {
  WaitLocked(
      Loop,
      [&] {
        const pa_stream_state_t state = pa_stream_get_state(Stream);
        return state != PA_STREAM_CREATING && state != PA_STREAM_UNCONNECTED;
      },
      kStreamTimeoutMSecs);
  return pa_stream_get_state(Stream) == PA_STREAM_READY;
}

// With the main loop locked: no callback reaches the stream's owner any more, and the stream goes.
void ReleaseStream(pa_stream *Stream) {
  pa_stream_set_read_callback(Stream, nullptr, nullptr);
  pa_stream_set_write_callback(Stream, nullptr, nullptr);
  pa_stream_set_state_callback(Stream, nullptr, nullptr);
  pa_stream_disconnect(Stream);
  pa_stream_unref(Stream);
}

}  // namespace

// ---------------------------------------------------------------------------------------------

class TPulseBackend::TCapture final : public TAudioCaptureStream {
 public:
  TCapture(TPulseBackend &Backend, TAudioCaptureClient &Client, int Channels)
      : FBackend(Backend), FClient(Client), FFrameBytes(static_cast<std::size_t>(Channels) * 2) {}

  ~TCapture() override {
    if (!FStream) return;
    TLoopLock lock(FBackend.FLoop);
    ReleaseStream(FStream);
  }

  // With the main loop locked.
  bool Open(const QString &Source, int Rate, int Channels, QString &Error) {
    const pa_sample_spec sampleFormat = SampleSpec(Rate, Channels);
    FStream = pa_stream_new(FBackend.FContext, "Recording", &sampleFormat, nullptr);
    if (!FStream) {
      Error = FBackend.ContextError();
      return false;
    }
    pa_stream_set_state_callback(FStream, &TCapture::StateChanged, this);
    pa_stream_set_read_callback(FStream, &TCapture::Readable, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(
        static_cast<pa_usec_t>(FBackend.FCaptureFragmentMSecs) * PA_USEC_PER_MSEC, &sampleFormat));
    const QByteArray name = Source.toUtf8();
    // Timing updates tell the transport delay of a block (Readable).
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE |
                                       PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_record(FStream, Source.isEmpty() ? nullptr : name.constData(), &attr,
                                 flags) < 0) {
      Error = FBackend.ContextError();
      return false;
    }
    if (!WaitUntilReady(FBackend.FLoop, FStream)) {
      Error = FBackend.ContextError();
      return false;
    }
    return true;
  }

 private:
  static void StateChanged(pa_stream *Stream, void *User) {
    auto *self = static_cast<TCapture *>(User);
    const pa_stream_state_t state = pa_stream_get_state(Stream);
    if ((state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) && !self->FFailed) {
      self->FFailed = true;
      self->FClient.CaptureFailed();
    }
  }

  static void Readable(pa_stream *Stream, std::size_t, void *User) {
    auto *self = static_cast<TCapture *>(User);
    while (pa_stream_readable_size(Stream) > 0) {
      const void *data = nullptr;
      std::size_t bytes = 0;
      if (pa_stream_peek(Stream, &data, &bytes) < 0 || bytes == 0) break;
      // A block leaves the server as soon as the server has read it from the device, so its last
      // frame was captured just before: its age on arrival is the transport. The device's own
      // latency (source_usec) is data captured after that frame, not a delay of it; the
      // interpolated stream latency is not used either: on sources that keep a history for
      // rewinds (a remapped monitor) it counts that history as delay, hundreds of milliseconds
      // that never were.
      if (const pa_timing_info *timing = pa_stream_get_timing_info(Stream))
        self->FClient.CaptureDelay(static_cast<std::int64_t>(timing->transport_usec));
      // No data but a length is a hole the server could not fill: silence of that length.
      self->FClient.Captured(static_cast<const std::int16_t *>(data), bytes / self->FFrameBytes);
      pa_stream_drop(Stream);
    }
  }

  TPulseBackend &FBackend;
  TAudioCaptureClient &FClient;
  std::size_t FFrameBytes;
  pa_stream *FStream = nullptr;
  bool FFailed = false;  // main-loop thread only
};

// ---------------------------------------------------------------------------------------------

class TPulseBackend::TPlayback final : public TAudioPlaybackStream {
 public:
  TPlayback(TPulseBackend &Backend, TAudioPlaybackClient &Client, int Rate, int Channels)
      : FBackend(Backend),
        FClient(Client),
        FRate(Rate),
        FFrameBytes(static_cast<std::size_t>(Channels) * 2) {}

  ~TPlayback() override {
    TLoopLock lock(FBackend.FLoop);
    if (FTimer) pa_threaded_mainloop_get_api(FBackend.FLoop)->time_free(FTimer);
    if (FTimingRequest) {
      pa_operation_cancel(FTimingRequest);
      pa_operation_unref(FTimingRequest);
    }
    if (FStream) ReleaseStream(FStream);
  }

  // With the main loop locked.
  bool Open(const QString &Sink, int BufferMSecs, int Channels, QString &Error) {
    const pa_sample_spec sampleFormat = SampleSpec(FRate, Channels);
    FStream = pa_stream_new(FBackend.FContext, "Playback", &sampleFormat, nullptr);
    if (!FStream) {
      Error = FBackend.ContextError();
      return false;
    }
    pa_stream_set_state_callback(FStream, &TPlayback::StateChanged, this);
    pa_stream_set_write_callback(FStream, &TPlayback::Writable, this);
    pa_stream_set_underflow_callback(FStream, &TPlayback::Underflowed, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(BufferMSecs) * PA_USEC_PER_MSEC, &sampleFormat));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const QByteArray name = Sink.toUtf8();
    // No PA_STREAM_INTERPOLATE_TIMING: the position is worked out from the server's readings
    // (PlayedFrames), not from libpulse's smoothed clock.
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(FStream, Sink.isEmpty() ? nullptr : name.constData(), &attr,
                                   flags, nullptr, nullptr) < 0) {
      Error = FBackend.ContextError();
      return false;
    }
    if (!WaitUntilReady(FBackend.FLoop, FStream)) {
      Error = FBackend.ContextError();
      return false;
    }
    Fill();
    RequestTiming();
    FTimer = pa_context_rttime_new(FBackend.FContext, pa_rtclock_now() + kFillPeriodUSecs,
                                   &TPlayback::TimerFired, this);
    return true;
  }

  void SetPaused(bool Paused) override {
    TLoopLock lock(FBackend.FLoop);
    FPaused = Paused;
    DistrustReadings();
    if (pa_operation *op = pa_stream_cork(FStream, Paused ? 1 : 0, nullptr, nullptr))
      pa_operation_unref(op);
  }

  // What the server last measured (its read index less the sink's latency, at the moment it
  // answered), carried on at the stream's rate since then while it was playing. libpulse's own
  // interpolated clock is not used: it extrapolates with a rate fitted to sparse updates, and
  // on a loaded machine, where the updates come late and irregularly, it ran several per cent
  // fast and then stood still well ahead of the sound (and ran on through underruns). Here the
  // readings come every few milliseconds (TimerFired), each is exact for its own moment, and
  // the estimate never passes the frames written: at an underrun the position waits with the
  // sound.
  std::int64_t PlayedFrames() const override {
    TLoopLock lock(FBackend.FLoop);
    const pa_timing_info *timing = pa_stream_get_timing_info(FStream);
    if (!timing || timing->read_index_corrupt) return FPlayed;
    const std::int64_t rate = FRate;
    std::int64_t heard =
        std::max<std::int64_t>(0, timing->read_index) / static_cast<std::int64_t>(FFrameBytes) -
        static_cast<std::int64_t>(timing->sink_usec) * rate /
            static_cast<std::int64_t>(PA_USEC_PER_SEC);
    if (timing->playing && !FPaused && FAnswered >= FTrustedFrom) {
      timeval now{};
      pa_gettimeofday(&now);
      const std::int64_t elapsed = static_cast<std::int64_t>(pa_timeval_load(&now)) -
                                   static_cast<std::int64_t>(pa_timeval_load(&timing->timestamp));
      if (elapsed > 0) heard += elapsed * rate / static_cast<std::int64_t>(PA_USEC_PER_SEC);
    }
    FPlayed = std::max(FPlayed, std::min(heard, FWritten));
    return FPlayed;
  }

  bool IsDrained() const override { return FDrained.load(); }

  bool MoveTo(const QString &Sink) override {
    QString target = Sink;
    if (target.isEmpty()) {
      RAudioDeviceList list;
      QString error;
      if (!FBackend.ListDevices(list, error)) return false;
      target = list.DefaultSink;
    }
    TLoopLock lock(FBackend.FLoop);
    const QByteArray name = target.toUtf8();
    return RunOperation(FBackend.FLoop, pa_context_move_sink_input_by_name(
                                            FBackend.FContext, pa_stream_get_index(FStream),
                                            name.constData(), nullptr, nullptr));
  }

 private:
  // Main-loop thread: hands the server as much as it takes and the client has.
  void Fill() {
    if (FDrainRequested || pa_stream_get_state(FStream) != PA_STREAM_READY) return;
    std::size_t writable = pa_stream_writable_size(FStream);
    bool empty = false;
    while (writable >= FFrameBytes) {
      void *buffer = nullptr;
      std::size_t bytes = writable;
      if (pa_stream_begin_write(FStream, &buffer, &bytes) < 0 || !buffer) break;
      const std::size_t frames = bytes / FFrameBytes;
      const std::size_t got = FClient.Render(static_cast<std::int16_t *>(buffer), frames);
      if (got == 0) {
        pa_stream_cancel_write(FStream);
        empty = true;
        break;
      }
      pa_stream_write(FStream, buffer, got * FFrameBytes, nullptr, 0, PA_SEEK_RELATIVE);
      FWritten += static_cast<std::int64_t>(got);
      writable -= got * FFrameBytes;
      if (got < frames) {
        empty = true;
        break;
      }
    }
    if (empty && FClient.Ended()) {
      // Plays out what the server holds, even less than its start threshold.
      FDrainRequested = true;
      if (pa_operation *op = pa_stream_drain(FStream, &TPlayback::Drained, this))
        pa_operation_unref(op);
    }
  }

  static void Writable(pa_stream *, std::size_t, void *User) {
    static_cast<TPlayback *>(User)->Fill();
  }

  // Main-loop thread: asks the server for a fresh reading unless one is on its way.
  void RequestTiming() {
    if (FTimingRequest) {
      if (pa_operation_get_state(FTimingRequest) == PA_OPERATION_RUNNING) return;
      pa_operation_unref(FTimingRequest);
      FTimingRequest = nullptr;
    }
    if (pa_stream_get_state(FStream) != PA_STREAM_READY) return;
    FTimingRequest = pa_stream_update_timing_info(FStream, &TPlayback::TimingAnswered, this);
    if (FTimingRequest) ++FRequested;
  }

  // Under the main loop's lock: the stream stopped or started since the readings at hand were
  // taken, so they are not carried on until the answer to a request made from now on. The
  // server answers in order.
  void DistrustReadings() { FTrustedFrom = FRequested + 1; }

  static void TimingAnswered(pa_stream *, int, void *User) {
    ++static_cast<TPlayback *>(User)->FAnswered;
  }

  static void Underflowed(pa_stream *, void *User) {
    static_cast<TPlayback *>(User)->DistrustReadings();
  }

  static void TimerFired(pa_mainloop_api *, pa_time_event *, const struct timeval *, void *User) {
    auto *self = static_cast<TPlayback *>(User);
    self->Fill();
    self->RequestTiming();
    pa_context_rttime_restart(self->FBackend.FContext, self->FTimer,
                              pa_rtclock_now() + kFillPeriodUSecs);
  }

  static void Drained(pa_stream *, int Success, void *User) {
    if (Success) static_cast<TPlayback *>(User)->FDrained.store(true);
  }

  static void StateChanged(pa_stream *Stream, void *User) {
    auto *self = static_cast<TPlayback *>(User);
    const pa_stream_state_t state = pa_stream_get_state(Stream);
    if ((state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) && !self->FFailed) {
      self->FFailed = true;
      self->FClient.PlaybackFailed();
    }
  }

  TPulseBackend &FBackend;
  TAudioPlaybackClient &FClient;
  int FRate;
  std::size_t FFrameBytes;
  pa_stream *FStream = nullptr;
  pa_time_event *FTimer = nullptr;
  bool FDrainRequested = false;  // main-loop thread only
  bool FFailed = false;          // main-loop thread only
  std::atomic<bool> FDrained{false};
  // Under the main loop's lock:
  mutable std::int64_t FPlayed = 0;
  std::int64_t FWritten = 0;  // frames handed to the server
  bool FPaused = false;
  pa_operation *FTimingRequest = nullptr;
  std::uint64_t FRequested = 0;    // timing requests made
  std::uint64_t FAnswered = 0;     // of those, answered
  std::uint64_t FTrustedFrom = 0;  // the first request whose answer may be carried on
};

// ---------------------------------------------------------------------------------------------

TPulseBackend::TPulseBackend(QString ApplicationName)
    : FApplicationName(std::move(ApplicationName)) {}

TPulseBackend::~TPulseBackend() {
  Disconnect();
  if (FLoop) {
    pa_threaded_mainloop_stop(FLoop);
    pa_threaded_mainloop_free(FLoop);
  }
}

void TPulseBackend::Disconnect() {
  if (!FContext) return;
  TLoopLock lock(FLoop);
  pa_context_set_state_callback(FContext, nullptr, nullptr);
  pa_context_disconnect(FContext);
  pa_context_unref(FContext);
  FContext = nullptr;
}

bool TPulseBackend::IsConnected() const {
  if (!FContext) return false;
  TLoopLock lock(FLoop);
  return pa_context_get_state(FContext) == PA_CONTEXT_READY;
}

QString TPulseBackend::ContextError() const {
  return FContext ? FromUtf8(pa_strerror(pa_context_errno(FContext)))
                  : QStringLiteral("not connected");
}

bool TPulseBackend::Connect(QString &Error) {
  if (IsConnected()) return true;
  Disconnect();  // a context that failed cannot be revived
  if (!FLoop) {
    FLoop = pa_threaded_mainloop_new();
    if (!FLoop || pa_threaded_mainloop_start(FLoop) < 0) {
      Error = QStringLiteral("the sound server's main loop could not start");
      return false;
    }
  }
  TLoopLock lock(FLoop);
  FContext =
      pa_context_new(pa_threaded_mainloop_get_api(FLoop), FApplicationName.toUtf8().constData());
  if (!FContext) {
    Error = QStringLiteral("no sound server context");
    return false;
  }
  if (pa_context_connect(FContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    Error = ContextError();
    return false;
  }
  WaitLocked(
      FLoop,
      [&] {
        const pa_context_state_t state = pa_context_get_state(FContext);
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
      },
      kConnectTimeoutMSecs);
  if (pa_context_get_state(FContext) != PA_CONTEXT_READY) {
    Error = ContextError();
    return false;
  }
  return true;
}

bool TPulseBackend::ListDevices(RAudioDeviceList &List, QString &Error) {
  if (!IsConnected()) {
    Error = QStringLiteral("not connected");
    return false;
  }
  RAudioDeviceList list;
  TLoopLock lock(FLoop);
  const bool ok =
      RunOperation(FLoop, pa_context_get_server_info(
                              FContext,
                              [](pa_context *, const pa_server_info *Info, void *User) {
                                auto *l = static_cast<RAudioDeviceList *>(User);
                                if (!Info) return;
                                l->DefaultSource = FromUtf8(Info->default_source_name);
                                l->DefaultSink = FromUtf8(Info->default_sink_name);
                              },
                              &list)) &&
      RunOperation(FLoop, pa_context_get_source_info_list(
                              FContext,
                              [](pa_context *, const pa_source_info *Info, int Eol, void *User) {
                                if (Eol || !Info) return;
                                RAudioDevice device;
                                device.Name = FromUtf8(Info->name);
                                device.Description = FromUtf8(Info->description);
                                device.IsMonitor = Info->monitor_of_sink != PA_INVALID_INDEX;
                                for (std::uint32_t i = 0; i < Info->n_ports; ++i) {
                                  device.Ports.push_back({FromUtf8(Info->ports[i]->name),
                                                          FromUtf8(Info->ports[i]->description)});
                                  if (Info->ports[i] == Info->active_port)
                                    device.ActivePort = static_cast<int>(i);
                                }
                                static_cast<RAudioDeviceList *>(User)->Sources.push_back(device);
                              },
                              &list)) &&
      RunOperation(FLoop, pa_context_get_sink_info_list(
                              FContext,
                              [](pa_context *, const pa_sink_info *Info, int Eol, void *User) {
                                if (Eol || !Info) return;
                                RAudioDevice device;
                                device.Name = FromUtf8(Info->name);
                                device.Description = FromUtf8(Info->description);
                                static_cast<RAudioDeviceList *>(User)->Sinks.push_back(device);
                              },
                              &list));
  if (!ok) {
    Error = ContextError();
    return false;
  }
  List = std::move(list);
  return true;
}

bool TPulseBackend::SetSourcePort(const QString &Source, const QString &Port, QString &Error) {
  if (!IsConnected()) {
    Error = QStringLiteral("not connected");
    return false;
  }
  TLoopLock lock(FLoop);
  int success = 0;
  const QByteArray source = Source.toUtf8();
  const QByteArray port = Port.toUtf8();
  const bool done = RunOperation(
      FLoop, pa_context_set_source_port_by_name(
                 FContext, source.constData(), port.constData(),
                 [](pa_context *, int Success, void *User) { *static_cast<int *>(User) = Success; },
                 &success));
  if (!done || !success) {
    Error = ContextError();
    return false;
  }
  return true;
}

std::unique_ptr<TAudioCaptureStream> TPulseBackend::OpenCapture(const QString &Source, int Rate,
                                                                int Channels,
                                                                TAudioCaptureClient &Client,
                                                                QString &Error) {
  if (!IsConnected()) {
    Error = QStringLiteral("not connected");
    return nullptr;
  }
  auto capture = std::make_unique<TCapture>(*this, Client, Channels);
  bool opened = false;
  {
    TLoopLock lock(FLoop);
    opened = capture->Open(Source, Rate, Channels, Error);
  }
  if (!opened) return nullptr;  // the destructor disconnects what was begun
  return capture;
}

std::unique_ptr<TAudioPlaybackStream> TPulseBackend::OpenPlayback(const QString &Sink, int Rate,
                                                                  int Channels, int BufferMSecs,
                                                                  TAudioPlaybackClient &Client,
                                                                  QString &Error) {
  if (!IsConnected()) {
    Error = QStringLiteral("not connected");
    return nullptr;
  }
  auto playback = std::make_unique<TPlayback>(*this, Client, Rate, Channels);
  bool opened = false;
  {
    TLoopLock lock(FLoop);
    opened = playback->Open(Sink, BufferMSecs, Channels, Error);
  }
  if (!opened) return nullptr;
  return playback;
}

std::unique_ptr<TAudioWorker> TPulseBackend::StartWorker(std::function<void()> Pump) {
  return StartThreadWorker(std::move(Pump), kWorkerPeriodMSecs);
}

QString TPulseBackend::EngineVersion() const {
  return QStringLiteral("libpulse ") + FromUtf8(pa_get_library_version());
}
