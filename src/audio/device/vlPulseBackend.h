#pragma once
// The backend for real devices: the sound server (PulseAudio, or PipeWire's Pulse server) through
// libpulse's asynchronous API on its threaded main loop.
//
// Capture streams are pinned to their device: when the device disappears the stream fails and the
// recording ends cleanly, rather than going on silently from another microphone. Playback streams
// may move between sinks. The position of a playback stream is the server's own account of what
// has been heard: its latest reading of the stream (read index less the sink's latency), carried
// on at the stream's rate since the moment it was taken, and never past the frames written.
//
// Threads: the public methods run on the user-interface thread or a component's worker and take
// the main loop's lock for short moments; the main loop's thread runs the stream callbacks, which
// only move samples in and out of the components' rings.

#include "vlAudioBackend.h"

#include <QString>

#include <memory>

struct pa_threaded_mainloop;
struct pa_context;

class TPulseBackend final : public TAudioBackend {
 public:
  explicit TPulseBackend(QString ApplicationName = QStringLiteral("Vellomar"));
  ~TPulseBackend() override;
  TPulseBackend(const TPulseBackend &) = delete;
  TPulseBackend &operator=(const TPulseBackend &) = delete;

  bool Connect(QString &Error) override;
  bool IsConnected() const override;
  bool ListDevices(RAudioDeviceList &List, QString &Error) override;
  bool SetSourcePort(const QString &Source, const QString &Port, QString &Error) override;
  std::unique_ptr<TAudioCaptureStream> OpenCapture(const QString &Source, int Rate, int Channels,
                                                   TAudioCaptureClient &Client,
                                                   QString &Error) override;
  std::unique_ptr<TAudioPlaybackStream> OpenPlayback(const QString &Sink, int Rate, int Channels,
                                                     int BufferMSecs, TAudioPlaybackClient &Client,
                                                     QString &Error) override;
  std::unique_ptr<TAudioWorker> StartWorker(std::function<void()> Pump) override;
  QString EngineVersion() const override;

  // How finely captured audio is handed over, for capture streams opened afterwards. 20 ms by
  // default; finer costs more wake-ups. A monitor asks its sink to play in steps this long.
  void SetCaptureFragmentMSecs(int MSecs) { FCaptureFragmentMSecs = MSecs; }

 private:
  class TCapture;
  class TPlayback;
  friend class TCapture;
  friend class TPlayback;

  void Disconnect();
  QString ContextError() const;

  QString FApplicationName;
  pa_threaded_mainloop *FLoop = nullptr;
  pa_context *FContext = nullptr;
  int FCaptureFragmentMSecs = 20;
};
