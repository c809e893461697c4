#pragma once
// TvlAudio: the single entry point through which the rest of the program records and plays. It
// forwards the mechanics to the controller (TActiveSoundFm) and adds the policy above them:
// silence protection asked before anything plays, the answer of a play request, stopping the
// recording while playing (AvoidGen2Record) and restarting it afterwards (RecordAfterPlay), how a
// transcription segment continues from the last, and where recording news and level readings go.
//
// It also answers the options' questions about the devices (TAudioDeviceQuery).
//
// Called on the user-interface thread only. Recording_Stop lets queued events run, so the
// recording's stopped event normally arrives inside it.

#include "vl09_MyActiveSound.h"
#include "vlAudioDeviceQuery.h"
#include "vlSilenceGate.h"

#include <QTimer>

#include <functional>
#include <vector>

class TvlMediaFoldersInfo;
class TvlMediaInfo;

enum TPlayResult { prNoAudio, prOkay, prSilenceProtection };
enum TAudioOperation { aoNoneYet, aoPlay, aoRecord };

// Receives level readings: the meter strip and the vertical timeline attach here.
class TAudioLevelListener {
 public:
  virtual ~TAudioLevelListener() = default;
  // A recorder reading: the mean of the peaks (0..32767) and its moment.
  virtual void RecorderLevel(int Level, TDateTime When) = 0;
  // A player reading, or Player -1 for the 50 ms tick that moves the play position.
  virtual void PlayerLevel(int Player, int PeakLeft, int PeakRight) = 0;
};

// The options' settings the facade applies (the shell fills it from its options).
struct RAudioSettings {
  RAudioRecordSettings Record;
  int OutputDevice = 0;
  bool AvoidGen2Record = true;   // stop recording while playing
  bool RecordAfterPlay = false;  // restart recording when playback stops
};

class TvlAudio final : public TActiveSoundEvents, public TAudioDeviceQuery {
 public:
  // How long Play_From waits after it stopped a recording, so that the file is closed and named
  // before the sound starts; only after a recording was actually stopped.
  static constexpr int kWaitAfterStopMSecs = 250;

  TvlAudio(TActiveSoundFm &Controller, TvlMediaFoldersInfo &Folders);
  ~TvlAudio() override;

  // Wiring. None of them is owned.
  void SetMediaInfo(TvlMediaInfo *MediaInfo) { FMediaInfo = MediaInfo; }
  void SetSilenceGate(TSilenceGate *Gate) { FGate = Gate ? Gate : &FNoProtection; }
  void AddLevelListener(TAudioLevelListener *Listener);
  void RemoveLevelListener(TAudioLevelListener *Listener);
  // True once the main loop runs (RecordAfterPlay waits for it); ShuttingDown drops readings.
  void SetMainLoopRunning(bool Running) { FMainLoopRunning = Running; }
  void SetShuttingDown(bool ShuttingDown) { FShuttingDown = ShuttingDown; }
  // The main window's callbacks (Callback_RecordingStarted, Callback_RecordingStopped).
  std::function<void()> OnRecordingStarted;
  std::function<void(const QString &OldPath, const QString &NewPath)> OnRecordingStopped;

  // Applies the options' audio settings: the recording's device, source, format, sampling and
  // encodings, the output device, and the two play policies.
  void ApplyAudioSettings(const RAudioSettings &Settings);
  // Reads the device lists afresh ("Refresh List" in the options): the components are made again
  // with the volume and the settings they had. Refused (false, nothing changed) while a recording
  // or a playback runs, which making them again would cut off.
  bool AudioComponents_FreeAndReinitialize();
  const RAudioSettings &Settings() const { return FSettings; }

  // Recording.
  QString Recording_PreparePathNameNoExtensionTimestampedNow();
  // False with nothing changed while a recording runs or when no audio folder can be used.
  bool Recording_Start();
  // True when a recording was running and has been stopped.
  bool Recording_Stop();
  int Recording_LengthInMS() const;
  TDateTime Recording_Position() const;
  TDateTime GetCurrentRecordingBeganAt() const;
  TDateTime LastRecordingEndTimeOrNow() const;
  bool IsRecording() const;
  bool IsPlaying() const;

  // Playback.
  TPlayResult Play_From(TDateTime DateTime, double Tempo);
  TPlayResult Play_Segment(int OverlapInSeconds, int DurationInSeconds);
  void Play_Pause();
  // Resumes the loaded file. prSilenceProtection when the gate refused (nothing was tried),
  // prNoAudio when nothing plays afterwards; a resumed playback stops a recording as Play_From
  // does.
  TPlayResult Play_Resume();
  void Play_Stop();
  TDateTime GetPlay_Position() const;
  void SetPlay_Position(TDateTime AudioDT);
  TDateTime Play_Position_AudioStartsAt() const;
  void NewTempo(double Tempo);
  void StopPlayingAndCloseCurrentFileIfItStartsAt(TDateTime DT);

  // Volume: wave x master of the player's own gains, 0..1.
  double GetCombinedVolume() const;
  bool SetCombinedVolume(double NewFraction);

  TAudioOperation LatestOperationStarted() const { return FLatestOperationStarted; }
  TAudioOperation LatestOperationStopped() const { return FLatestOperationStopped; }
  bool AudioComponentsExist() const { return FAudioComponentsExist; }
  QString VersionStr() const { return QStringLiteral("AS ") + FController.VersionStr(); }
  TActiveSoundFm &Controller() { return FController; }

  // Sources (the recorder's channels), samplings and encodings for the options window.
  int GetInputDeviceSourceVolume(int Dev, const QString &SourceStr) const;
  QString SetInputDeviceSourceVolume(int DevX, const QString &SourceStr, int Volume);
  // The trimmed name of the active source of the input device the options chose.
  QString InputDeviceCurrent_GetCurrentSourceStr() const;
  // Scanning from the last entry, the first whose trimmed text equals the string; -1 and false
  // when none.
  bool LookupIndexOfAudioInputSourceStr(int DevX, const QString &SourceStr, int &X) const;
  bool LookupIndexOfAudioSamplingOfferingStr(int DevX, const QString &OfferStr, int &X) const;
  // The format's choice list (with hints), applying nothing.
  bool FileOptions_PopulateList(TAudioFileFormats AFF, int Rate, int Channels, QStringList &SL);
  // Applies the choice (its hint cut off at the first eight blanks and "("); WAV and OGG take no
  // rate.
  bool FileOption_Apply(TAudioFileFormats AFF, int Rate, int Channels, const QString &ChoiceStr);
  bool SetEncodingFormatTo(TAudioFileFormats AFF) { return FController.SetEncodingFormatTo(AFF); }
  int GetFileDurationSec(const QString &PathName) const {
    return FController.GetFileDurationSec(PathName);
  }
  int GetFileDuration_RenamingIfPossible(QString &PathName) {
    return FController.GetFileDuration_RenamingIfPossible(PathName);
  }

  // The options' device questions.
  QStringList InputDeviceNames() const override;
  QStringList OutputDeviceNames() const override;
  QStringList InputSources(int InputDevice) const override;
  int DefaultInputSource(int InputDevice) const override;
  QStringList OfferedSamplings(int InputDevice) const override;
  QStringList RecordFormats(int InputDevice) const override;
  QString UseOutputDevice(int OutputDevice) override;

  // The controller's news.
  void Recording_StartedEvent() override;
  void Recording_StoppedEvent(const QString &OldPathName, const QString &NewPathName) override;
  void Play_StartedEvent() override;
  void Play_StoppedEvent() override;
  void OnVuChange_Recorder(int PeakLeft, int PeakRight, TDateTime When,
                           std::int64_t FileMSecs = -1) override;
  void OnVuChange_Player(int Player, int PeakLeft, int PeakRight) override;
  void AudioComponentsExist(bool Exist) override { FAudioComponentsExist = Exist; }

 private:
  TActiveSoundFm &FController;
  TvlMediaFoldersInfo &FFolders;
  TvlMediaInfo *FMediaInfo = nullptr;
  TNoSilenceProtection FNoProtection;
  TSilenceGate *FGate = &FNoProtection;
  std::vector<TAudioLevelListener *> FListeners;
  RAudioSettings FSettings;
  QString Kludge_SneakPathNameFromRecordingCommandToRecordingEvent;
  bool FAudioComponentsExist = false;
  bool FMainLoopRunning = false;
  bool FShuttingDown = false;
  TAudioOperation FLatestOperationStarted = aoNoneYet;
  TAudioOperation FLatestOperationStopped = aoNoneYet;
  // Writes the level file of the recording in progress every second, everything pending.
  QTimer FVuFlushTimer;
};
