#pragma once
// The player: numbered players ("slots"; the controller plays in slot 0 and measures lengths in
// slot 1), each with load, seek, play, play a range, pause, stop, close, position, length,
// status and tempo, plus the output device and two volumes shared by all slots.
//
// Positions and lengths are milliseconds of the source file at any speed. Tempo is a change from
// natural speed in percent, -50..+90 (50 % to 190 %), without changing the pitch. The volumes are
// the player's own gains: output = sample * wave * master / 10000; the system mixer is never
// touched.
//
// Status: 0 nothing loaded, 1 playing, 2 paused, 3 stopped or just loaded. Every change from
// playing to not playing is followed by OnSoundStopped; the end of the file or of a range by
// OnSoundDone and then OnSoundStopped. After the end the position stays there, or goes back to 0
// with SetRewindOnEOF(true).
//
// Threads: every method is called on the user-interface thread, and every signal is delivered
// there, queued: none is ever emitted from inside a call.

#include "vlAudioBackend.h"
#include "vlAudioErrors.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <vector>

class TActiveSoundRecorder;
class TPlayerSlot;

class TAmp3dj : public QObject {
  Q_OBJECT

 public:
  static constexpr int MaxPlayers = 8;

  explicit TAmp3dj(std::shared_ptr<TAudioBackend> Backend, QObject *Parent = nullptr);
  ~TAmp3dj() override;

  // Set-up values, stored. BufferLength is the audio held ahead of the speaker, in ms.
  void SetScaleUnits(int Units) { FScaleUnits = Units; }
  void SetBufferLength(int MSecs);
  void SetEnableAutoEqualiz(bool Enable) { FAutoEqualiz = Enable; }
  void SetEnableMixingFeatures(bool Enable) { FMixingFeatures = Enable; }
  void SetEnableSpeakers(bool Enable) { FSpeakers = Enable; }
  int BufferLength() const { return FBufferLength; }

  // Makes Players slots and connects to the sound server. ERROR_TOO_MANY_PLAYERS outside
  // 1..MaxPlayers. ERR_NOT_INITIALIZED when no server answers: the slots still load files and
  // measure their lengths, and playing tries the server again.
  TOleEnum InitDJSystem(int Players);
  TOleEnum SetRewindOnEOF(bool Rewind);

  // ERR_INVALID_FILE when the file cannot be opened, ERR_INVALID_FORMAT when it is not audio
  // this player decodes.
  TOleEnum LoadSound(int Slot, const QString &Path);
  // The recording in progress; its length grows while it records, and playing it reaches its
  // end when playback catches up with the recording or the recording has stopped.
  // ERR_RECORDER_EMPTY when Recorder is not recording.
  TOleEnum LoadSoundFromRecordingSession(int Slot, const TActiveSoundRecorder &Recorder);
  TOleEnum SeekSound(int Slot, int MSecs);
  TOleEnum PlaySound(int Slot = 0);
  TOleEnum PlaySoundRange(int Slot, int FromMSecs, int ToMSecs);
  TOleEnum PauseSound(int Slot = 0);
  TOleEnum StopSound(int Slot = 0);
  TOleEnum CloseSound(int Slot);

  // Negative results are error codes (ERR_SOUND_NOT_LOADED, ERR_INVALID_PLAYER).
  int GetCurrentPos(int Slot = 0) const;
  int GetSoundDuration(int Slot) const;
  int GetPlayerStatus(int Slot = 0) const;

  // Percent change from natural speed, -50..+90; ERR_VALUE_OUT_OF_RANGE otherwise. Kept across
  // loads; a change while playing goes on from the position heard.
  TOleEnum SetTempoPerc(int Slot, int Percent);
  int GetTempoPerc(int Slot = 0) const;

  // Output devices: index 0 is "Default" (whatever the server's default sink is), then the sinks
  // by description. Changing it while playing moves the sound without a gap.
  int GetOutputDevicesCount() const { return static_cast<int>(FOutputs.size()); }
  QString GetOutputDeviceDesc(int N) const;
  int GetPlayerOutputDevice(int Slot) const;
  TOleEnum SetPlayerOutputDevice(int Slot, int N);
  // Reads the output devices afresh.
  TOleEnum RefreshOutputDevices();

  // Percent, 0..100; ERR_VALUE_OUT_OF_RANGE otherwise.
  int MixerGetMasterVolume() const { return FMasterVolume; }
  TOleEnum MixerSetMasterVolume(int Percent);
  int MixerGetWaveVolume() const { return FWaveVolume; }
  TOleEnum MixerSetWaveVolume(int Percent);

  QString ControlVersion() const;
  QString EngineVersion() const;

 Q_SIGNALS:
  void OnSoundPlaying(int Player);
  void OnSoundStopped(int Player);
  void OnSoundDone(int Player);
  // Peaks 0..32767 of each 100 ms of output, after the volume, while playing.
  void OnVUMeterValueChange(int Player, int LeftPeak, int RightPeak);

 private:
  struct ROutput {
    QString SinkName;  // empty for "Default"
    QString Description;
  };

  TPlayerSlot *Slot(int N) const;
  void UpdateGain();

  std::shared_ptr<TAudioBackend> FBackend;
  std::vector<std::unique_ptr<TPlayerSlot>> FSlots;
  std::vector<int> FSlotOutputs;
  std::vector<ROutput> FOutputs;
  std::atomic<int> FGain{100 * 100};
  int FMasterVolume = 100;
  int FWaveVolume = 100;
  int FScaleUnits = 0;
  int FBufferLength = 500;
  bool FAutoEqualiz = false;
  bool FMixingFeatures = true;
  bool FSpeakers = false;
};
