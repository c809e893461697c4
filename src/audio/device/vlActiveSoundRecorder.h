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
// Threads: every method is called on the user-interface thread, and every signal is delivered
// there, queued: none is ever emitted from inside a call. Samples move on the backend's audio
// thread (into a ring) and on the worker (out of it).

#include "vlAudioBackend.h"
#include "vlAudioErrors.h"
#include "vlEncodeFormats.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class TSessionSpool;

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
  // end of that stretch. Mono gives Left = Right.
  void OnVUMeterValueChange(int LeftPeak, int RightPeak, qint64 MSecIntoRecording);
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
