#pragma once
// The recorder: captures from an input device, applies the channel volume and the automatic-gain
// factor, reports level readings, and writes the file (WAV or Ogg Vorbis) on a worker thread,
// together with a spool of plain samples so that the recording can be played while it grows.
//
// Life of a recording: StartFromDirectSoundDevice opens the file and the capture and returns at
// once; OnRecordingStarted follows when the first block is in the file, then a level reading every
// 100 ms of audio. Stop closes the file (final header) before OnRecordingStopped(1) is queued. A
// recording that breaks off (device removed, disk full, write error) closes its file the same way
// and ends with OnRecordingStopped(0). The file never loses what was written before the fault.
//
// Timing: the file begins at a known wall-clock moment. When the caller gives one
// (SetFileStartMoment, a moment before the recording was asked for), the file begins exactly
// there: silence fills it from that moment to the moment its first frame was captured, which the
// stream's own timing tells (the device's and the server's delay before the first block). Each
// level reading then carries, beside its place in the file, the wall-clock moment its sound was
// heard, so that a device clock running a little fast or slow is seen and mapped, not carried
// into every moment late in a long recording.
//
// Threads: every method is called on the user-interface thread, and every signal is delivered
// there, queued: none is ever emitted from inside a call. Samples move on the backend's audio
// thread (into a ring) and on the worker (out of it).

#include "vlAudioBackend.h"
#include "vlAudioErrors.h"
#include "vlDateTime.h"
#include "vlEncodeFormats.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TSessionSpool;

// How a recording was aligned with the wall clock, for the trace.
struct RCaptureTiming {
  TDateTime FileStart = 0;      // the wall-clock moment of the file's first frame; 0: not yet
  TDateTime FirstCaptured = 0;  // the moment its first captured frame was heard
  double FirstDelayMSecs = -1;  // the stream's delay before that frame; -1: the stream had none
  double PaddingMSecs = 0;      // silence written before it
  double DriftMSecs = 0;        // latest wall-clock minus file time, smoothed
};

class TActiveSoundRecorder : public QObject {
  Q_OBJECT

 public:
  explicit TActiveSoundRecorder(std::shared_ptr<TAudioBackend> Backend, QObject *Parent = nullptr);
  // A recording still running is stopped and its file closed; no signal follows.
  ~TActiveSoundRecorder() override;

  // Set-up. Connects to the sound server and reads the devices: ERR_NOT_INITIALIZED when no
  // server answers. OnInputFormatsAvailable follows, and OnWarnNoInputDevice when the machine has
  // no source at all to record from (monitors of outputs count as sources). Calling it again reads
  // the devices afresh.
  TOleEnum InitRecordingSystem();
  // Stored; this recorder has a single mode.
  TOleEnum SetRecordingMode(int Mode);
  // 0 idle, 1 recording, 2 busy (started but nothing captured yet).
  int Status() const { return FStatus.load(); }

  // Input devices: index 0 is "Default" (whatever the server's default source is), then the
  // sources by description, monitors of outputs last.
  int GetInputDevicesCount() const { return static_cast<int>(FInputs.size()); }
  QString GetInputDeviceDesc(int N) const;
  int GetInputDevice() const { return FCurrentInput; }
  TOleEnum ChangeInputDevice(int N);

  // Channels are the device's inputs ("Microphone", "Line In"); a device without them has one
  // channel, "Default". The volume is the recorder's own gain for that channel, 0..100 with 100
  // unchanged: the system's input level is never touched.
  int GetInputDeviceChannelsCount(int Dev) const;
  QString GetInputDeviceChannelDesc(int Dev, int Ch) const;
  int GetInputDeviceChannelDefault(int Dev) const;
  TOleEnum SetInputDeviceChannelDefault(int Dev, int Ch);
  int GetInputDeviceChannelVolume(int Dev, int Ch) const;
  TOleEnum SetInputDeviceChannelVolume(int Dev, int Ch, int Volume);

  // The encode settings used by the next start.
  REncodeFormats &EncodeFormats() { return FFormats; }
  const REncodeFormats &EncodeFormats() const { return FFormats; }
  // The samplings a device offers, as "22050 Hz, 16 bit, Mono".
  int GetSupportedRecordFormatsCount(int Dev) const;
  QString GetSupportedRecordFormatDesc(int Dev, int N) const;

  // Starts recording into Path (with its extension), which must not exist yet.
  // ERR_NOT_INITIALIZED, ERR_RECORDER_BUSY while a recording runs, ERR_INVALID_INPUT_DEVICE,
  // ERR_INVALID_INPUT_CHANNEL, ERR_INVALID_FORMAT (WMA), ERR_INVALID_INPUT_FORMAT,
  // ERR_ENCODER_ERROR, ERR_CANNOT_CREATE_FILE. On failure nothing is left on disk.
  TOleEnum StartFromDirectSoundDevice(int Dev, int Ch, const QString &Path);
  // The moment the next recording's file is to begin at (its name's stamp): the file then begins
  // with silence up to its first captured frame (frames captured up to 300 ms before it are left
  // out). A moment more than kMaxPaddingMSecs before that frame, or after it by more than 300 ms:
  // the file begins at the tenth of a second at or before that frame. 0: it begins with that
  // frame. The moment used is in CaptureTiming() once the started event has come.
  static constexpr int kMaxPaddingMSecs = 5000;
  // Audio captured before the file's start is fixed and the started event comes: the first
  // blocks of a stream often arrive in a burst, late; a little more tells when it really began.
  static constexpr int kStartSettleMSecs = 300;
  void SetFileStartMoment(TDateTime Moment) { FRequestedFileStart = Moment; }
  RCaptureTiming CaptureTiming() const;

  // Ends the recording: the file is complete when this returns, OnRecordingStopped follows.
  // ERR_RECORDER_EMPTY when nothing records.
  TOleEnum Stop();
  // The recorded sound's release call that follows a stop; there is nothing to release here.
  TOleEnum RecordedSound_Release() { return NOERROR; }

  // Automatic gain: stored; while enabled, Gain / 100 multiplies the samples (100 = unchanged),
  // before the level readings and the file. The controller adapts Gain; the recorder does not.
  TOleEnum SetAutoGainControllerSettings(int TargetLevel, int QuietLevel, int Gain, int Rate);
  TOleEnum EnableAutoGainController(bool Enable);
  TOleEnum GetAutoGainControllerSettings(int &TargetLevel, int &QuietLevel, int &Gain,
                                         int &Rate) const;
  bool IsAutoGainControllerEnabled() const { return FAgcEnabled; }

  // The spool of the recording in progress, for the player; null when none.
  std::shared_ptr<TSessionSpool> SessionSpool() const;
  // Where spools go; the cache folder by default.
  void SetSpoolFolder(const QString &Folder) { FSpoolFolder = Folder; }

  // Diagnostics: frames in the file of the recording in progress (or the last one), its
  // sampling, and why the last recording broke off.
  std::int64_t RecordedFrames() const { return FRecordedFrames.load(); }
  int RecordingRate() const { return FRecordingRate; }
  int RecordingChannels() const { return FRecordingChannels; }
  QString LastError() const { return FLastError; }

  QString ControlVersion() const;
  QString EngineVersion() const;

 Q_SIGNALS:
  void OnInputFormatsAvailable();
  void OnWarnNoInputDevice();
  void OnRecordingStarted();
  // Result 1: stopped by Stop; 0: broke off.
  void OnRecordingStopped(int Result);
  // Peaks 0..32767 of the last 100 ms, after the gain, and the milliseconds of recording at the
  // end of that stretch: its place in the file, and when it was heard, in wall-clock milliseconds
  // after the file's start (the same when the stream tells no timing). Mono gives Left = Right.
  void OnVUMeterValueChange(int LeftPeak, int RightPeak, qint64 MSecIntoRecording,
                            qint64 HeardMSecs);
  // Declared for the controller's connections; never emitted by this recorder.
  void OnSoundPlaybackStopped();

 private:
  class TSession;
  struct RInput {
    QString SourceName;  // empty for "Default"
    QString Description;
    std::vector<RAudioPort> Ports;
    int ActivePort = -1;
  };

  const RInput *Input(int Dev) const;
  QString ChannelKey(int Dev, int Ch) const;
  int ChannelVolume(int Dev, int Ch) const;
  int GainPermyriad(int Dev, int Ch) const;
  void UpdateSessionGain();
  void SessionBroken(std::uint64_t Id);
  void EndSession(bool Broken);

  std::shared_ptr<TAudioBackend> FBackend;
  bool FInitialized = false;
  std::vector<RInput> FInputs;
  int FCurrentInput = 0;
  std::map<QString, int> FChannelVolumes;
  REncodeFormats FFormats;
  int FRecordingMode = 0;

  int FAgcTarget = 80;
  int FAgcQuiet = 20;
  int FAgcGain = 100;
  int FAgcRate = 5;
  bool FAgcEnabled = false;

  QString FSpoolFolder;
  TDateTime FRequestedFileStart = 0;
  // Written by the session on the audio thread once, at its first block; read here.
  std::atomic<double> FFileStart{0};
  std::atomic<double> FFirstCaptured{0};
  std::atomic<double> FFirstDelayMSecs{-1};
  std::atomic<double> FPaddingMSecs{0};
  std::atomic<double> FDriftMSecs{0};
  std::unique_ptr<TSession> FSession;
  std::uint64_t FNextSessionId = 1;
  std::atomic<int> FStatus{0};
  std::atomic<std::int64_t> FRecordedFrames{0};
  int FRecordingDevice = 0;
  int FRecordingChannel = 0;
  int FRecordingRate = 0;
  int FRecordingChannels = 0;
  QString FLastError;
};
