#pragma once
// TActiveSoundFm: the one object that owns and drives the recorder and the player. It starts
// recordings into files named by their start moment and renames them on stop so the name carries
// the length; finds the recording covering a moment and plays from there; runs the automatic gain
// loop; and answers the options' questions about devices, samplings and encodings.
//
// Positions are milliseconds of the source file at every speed: nothing here scales them by the
// tempo, so the play position, segments and timestamps typed while listening stay right at 150 %.
//
// The recorder reports "busy" until its first block is in the file; busy counts as recording
// here. Every recording that was started ends with exactly one run of the stop bookkeeping (the
// rename, the catalogue told), whether it was stopped, broke off, or the components were freed
// under it.
//
// Moments and the file: a recording's file begins exactly at the moment its name's stamp gives
// (the tenth of a second at or before Record was chosen; the recorder fills the time until its
// first captured frame with silence), and its level readings pair wall-clock time with file
// position, so that every moment maps to the place in the file where the sound of that moment
// lies, through one mapping (TRecordingClock): playing from a moment, the play position, the
// recording in progress and finished files alike.
//
// Start-up is staged (AudioComponents_Initialize with isPlayer, then isRecorder, then isMisc),
// so that the window can show before the sound server is asked anything.
//
// Threads: the user-interface thread only; the recorder's and player's events arrive there,
// queued.

#include "vl09_MyAudioGain.h"
#include "vlActiveSoundRecorder.h"
#include "vlAmp3dj.h"
#include "vlAudioFileFormats.h"
#include "vlDateTime.h"
#include "vlRecordingClock.h"

#include <QMap>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>

class TvlMediaFoldersInfo;

enum TInitSteps { isPlayer, isRecorder, isMisc };
enum TDescLength { dlShort, dlLong, dlBoth };

// The options the controller records with; the facade fills it from the program's options.
struct RAudioRecordSettings {
  int InputDevice = 0;
  // The input (channel) by name; empty: the device's active one.
  QString InputSourceStr;
  TAudioFileFormats FileFormat = affWAV;
  bool SamplingUseOffer = false;
  int SamplingOffering = -1;  // index into the device's offered samplings
  int SamplingRate = 22050;
  int SamplingChannels = 1;
  // Encoding choice per lower-case extension: "wav" -> "Microsoft ADPCM", "ogg" -> "Quality 3".
  QMap<QString, QString> EncodingFor;
};

// Where the controller's news goes (the audio facade). Defaults do nothing.
class TActiveSoundEvents {
 public:
  virtual ~TActiveSoundEvents() = default;
  virtual void Recording_StartedEvent() {}
  // Old: the path recorded into; New: its final name (the same when the rename failed).
  virtual void Recording_StoppedEvent(const QString &OldPathName, const QString &NewPathName) {
    Q_UNUSED(OldPathName);
    Q_UNUSED(NewPathName);
  }
  virtual void Play_StartedEvent() {}
  virtual void Play_StoppedEvent() {}
  // Peaks 0..32767, the moment the reading's sound was heard, and its place in the file in
  // milliseconds (-1: not known, the same as the moment's distance from the start).
  virtual void OnVuChange_Recorder(int PeakLeft, int PeakRight, TDateTime When,
                                   std::int64_t FileMSecs) {
    Q_UNUSED(PeakLeft);
    Q_UNUSED(PeakRight);
    Q_UNUSED(When);
    Q_UNUSED(FileMSecs);
  }
  // Player -1 is the 50 ms tick that moves the play position on the views.
  virtual void OnVuChange_Player(int Player, int PeakLeft, int PeakRight) {
    Q_UNUSED(Player);
    Q_UNUSED(PeakLeft);
    Q_UNUSED(PeakRight);
  }
  virtual void AudioComponentsExist(bool Exist) { Q_UNUSED(Exist); }
};

// Chooses among recordings that overlap at a moment ("Select Overlapping Audio File"). Empty:
// none chosen.
class TOverlapChooser {
 public:
  virtual ~TOverlapChooser() = default;
  virtual QString Choose(const QStringList &Paths) = 0;
};

class TActiveSoundFm : public QObject {
  Q_OBJECT

 public:
  // The automatic gain in the loop's units: 500 is unity (the samples unchanged), 100 a fifth and
  // 5000 ten times. Starting at unity, a loud voice is never amplified into clipping, and a quiet
  // one is raised by 15 % every 2 s until it is heard.
  static constexpr int kGainUnity = 500;
  static constexpr int kGainMin = 100;
  static constexpr int kGainMax = 5000;
  // Level readings between gain adjustments (2 s at ten readings a second).
  static constexpr int kGainAdjustEvery = 20;
  // Segments count as "recently ended" for this long.
  static constexpr int kSegmentMemorySecs = 600;

  TActiveSoundFm(std::shared_ptr<TAudioBackend> Backend, TvlMediaFoldersInfo &Folders,
                 QObject *Parent = nullptr);
  // A recording still running is stopped and its file named with its length.
  ~TActiveSoundFm() override;

  void SetEvents(TActiveSoundEvents *Events);
  // Not owned; nullptr picks the recording with most time left after the moment.
  void SetOverlapChooser(TOverlapChooser *Chooser) { FChooser = Chooser; }
  TOverlapChooser *OverlapChooser() const { return FChooser; }
  void SetSettings(const RAudioRecordSettings &Settings) { FSettings = Settings; }
  const RAudioRecordSettings &Settings() const { return FSettings; }
  // Where the recorder keeps the spool of the recording in progress (the cache folder).
  void SetSpoolFolder(const QString &Folder) { FSpoolFolder = Folder; }

  // Life cycle. False when the step failed (the reason is in LastErrorText()): with isRecorder
  // failing there is no recording, but playback still works.
  bool AudioComponents_Initialize(TInitSteps InitStep);
  void AudioComponents_Free();
  void AudioComponents_FreeAndReinitialize();
  bool AudioComponentsExist() const { return FComponentsExist; }
  bool InputFormatsAvailable() const { return FInputFormatsAvailable; }

  // Recording.
  // Starts recording into PathNameNoExtension + the format's extension. ERR_RECORDER_BUSY, with
  // nothing changed, while a recording runs; the recorder's code when it refuses.
  TOleEnum StartRecordingTo(const QString &PathNameNoExtension);
  void StopRecording();
  // Recording or about to (busy counts).
  bool IsRecording() const;
  // The start of the next recording: now, down to the tenth of a second its name keeps, so that
  // the name reads back exactly the moment of the file's first frame. While one runs, its start,
  // unchanged.
  TDateTime GetCurrentRecordingBeganAt_AfterSettingItToNow();
  TDateTime GetCurrentRecordingBeganAt() const { return FCurrentRecordingBeganAt; }
  int GetDurationOfRecordingInMSec() const;
  TDateTime GetAbsolutePositionOfRecording() const;
  TDateTime LastRecordingEndTimeOrNow() const;
  QString AudioOutputPathName() const { return FAudioOutputPathName; }

  // Playback.
  bool LoadAudioFileAndGetParametersFor(TDateTime DateTime, double SlushSec,
                                        QString &AudioFilePathName, TDateTime &FileBeganAt,
                                        int &MSecIntoIt, int &FileDurationMS);
  QString FindPathAndAudioFileHavingDateTime(TDateTime TargetDT, double SlushSec);
  bool PreparePlayPosition(TDateTime DateTime, double SlushSec = 3);
  // Tempo in percent of natural speed (100 natural). False when nothing could be played.
  bool StartPlayingFrom(TDateTime DateTime, double Tempo);
  bool PlaySegment(TDateTime DateTime, int DurationInMSec);
  bool PlaySegmentRecentlyEnded() const;
  int PlaySoundRangeEndsAtMS() const { return FPlaySoundRangeEndsAtMS; }
  void PausePlayback();
  void ResumePlayback();
  void StopPlayback();
  void ClosePlaybackFile();
  void CommandStopPlaybackClick() { StopPlayback(); }
  bool IsPlaying() const;
  bool IsPlayerReady() const;
  TDateTime GetAbsolutePositionOfPlaying() const;
  // The moment of a position (ms) in the file loaded in the player.
  TDateTime MomentOfPlayingFileMSecs(double FileMSecs) const;
  // The mapping of the recording in progress (or the last one).
  const TRecordingClock &SessionClock() const { return FSessionClock; }
  TDateTime GetCurrentFilePlayingBeganAt() const { return FCurrentFilePlayingBeganAt; }
  // The file loaded in the player (the recording's path when the session is loaded).
  QString LoadedPath() const { return FLoadedPath; }
  void ChangeTempoTo(double NewTempo);
  int GetFileDurationSec(const QString &PathName) const;
  int GetFileDuration_RenamingIfPossible(QString &PathName);
  int GetFileDuration_RenamingIfPossible(QStringList &PathNamesSL, int FileIndex);

  // Devices, sources and volume.
  int Input_Devices_GetCount() const;
  QString Input_Devices_GetFriendlyName(int N) const;
  int Input_Devices_GetCurrent() const;
  QString Input_Devices_SetCurrent(int DevX);
  int InputDevice_Channels_GetCount(int nInputDevice) const;
  QString InputDevice_Channels_GetFriendlyName(int nInputDevice, int N) const;
  int InputDevice_Channels_GetDefault(int nInputDevice) const;
  QString InputDevice_Channels_SetDefault(int nInputDevice, int nInputChannel);
  int Output_Devices_GetCount() const;
  QString Output_Devices_GetFriendlyName(int N) const;
  int Output_Devices_GetCurrent() const;
  QString Output_Devices_SetCurrent(int N);
  bool ListAudioInputSourcesForDevice(int DevX, QStringList &SL) const;
  bool ListSamplingOfferingsForDevice(int DevX, QStringList &SL) const;
  bool ListEncodeModesForFormat(TAudioFileFormats AFF, QStringList &SL) const;
  int GetSupportedRecordFormatsCount(int Dev) const;
  QString GetSupportedRecordFormatDesc(int Dev, int N) const;
  // -999 when no channel of that name exists.
  int GetInputDeviceChannelVolume(int DevX, const QString &ChannelStr) const;
  QString SetInputDeviceChannelVolume(int DevX, const QString &ChannelStr, int Volume);
  // The player's own gains, 0..100; the system mixer is never touched.
  int GetMasterVolume() const;
  bool SetMasterVolume(int NewPercentage);
  int GetWaveVolume() const;
  bool SetWaveVolume(int NewPercentage);

  // Encodings. The choice lists carry hints after eight blanks; a choice is matched without it.
  bool SetEncodingFormatTo(TAudioFileFormats AFF);
  bool FileOptions_PopulateOrSet_WAV(int Rate, int Channels, const QString &ChoiceStr,
                                     QStringList *SL);
  bool FileOptions_PopulateOrSet_OGG(int Rate, int Channels, const QString &ChoiceStr,
                                     QStringList *SL);
  bool FileOptions_PopulateOrSet_WMA(int Rate, int Channels, const QString &ChoiceStr,
                                     QStringList *SL);

  // Errors and versions.
  static QString GetErrorStr(int ErrNum, TDescLength DescLength);
  // Reports with a dialog (which ends the operation in progress); nothing for 0.
  static void ShowError(int ErrCode, const QString &ModuleStr);
  static void LogIfError(int ErrNum, const QString &CodeLocationStr);
  QString VersionStr() const;
  // Why the last start or initialisation failed.
  QString LastErrorText() const { return FLastErrorText; }

  // The automatic gain loop's present gain (kGainUnity = unchanged) and its history.
  int AutoGain() const { return FGain; }
  const TAudioGainHelper *AudioGainHelper() const { return FGainHelper.get(); }

  // The components, for tools and tests; null before their step ran.
  TActiveSoundRecorder *Recorder() const { return FRecorder.get(); }
  TAmp3dj *Player() const { return FPlayer.get(); }

 private:
  void ASRecorderRecordingStarted();
  void ASRecorderRecordingStopped(int Result);
  void ASRecorderVUMeterValueChange(int PeakLeft, int PeakRight, qint64 MSecIntoRecording,
                                    qint64 HeardMSecs);
  const TRecordingClock &PlayingClock() const;
  void LoadClockOf(const QString &Path);
  void ASRecorderInputFormatsAvailable();
  void ASRecorderWarnNoInputDevice();
  void ASPlayerSoundPlaying(int Player);
  void ASPlayerSoundStopped(int Player);
  void ASPlayerSoundDone(int Player);
  void ASPlayerVUMeterValueChange(int Player, int PeakLeft, int PeakRight);
  void SubstituteVuTick();
  void AdjustGain(int PeakLeft, int PeakRight);
  void ApplyGain();
  void FinishRecording(int Result);
  int ChannelIndexByName(int DevX, const QString &ChannelStr) const;

  std::shared_ptr<TAudioBackend> FBackend;
  TvlMediaFoldersInfo &FFolders;
  TActiveSoundEvents FNoEvents;
  TActiveSoundEvents *FEvents = &FNoEvents;
  TOverlapChooser *FChooser = nullptr;
  RAudioRecordSettings FSettings;
  QString FSpoolFolder;

  std::unique_ptr<TAmp3dj> FPlayer;
  std::unique_ptr<TActiveSoundRecorder> FRecorder;
  std::unique_ptr<TAudioGainHelper> FGainHelper;
  QTimer FPlayersSubstituteVUTimer;
  bool FComponentsExist = false;
  bool FInputFormatsAvailable = false;

  // A recording was started and its stop bookkeeping has not run yet.
  bool FRecordingActive = false;
  bool FIsRecording = false;
  TDateTime FLastRecordingEndTimeOrZero = 0;
  QString FAudioOutputPathName;
  TDateTime FCurrentRecordingBeganAt = 0;
  TRecordingClock FSessionClock;
  int FGain = kGainUnity;
  int FGainEventCounter = 0;

  QString FLoadedPath;
  // The mapping of the file in the player: the session's own while the session is loaded.
  bool FPlayingSession = false;
  TRecordingClock FPlayingClock;
  QString FPlayingClockPath;
  int FOnSoundLoaded_PlayMSecIntoIt = 0;
  TDateTime FCurrentFilePlayingBeganAt = 0;
  int FPlaySoundRangeEndsAtMS = -1;
  TDateTime FPlaySoundRangeEndedAtRealDT = 0;
  TDateTime FPlaybackStartedAtRealDT = 0;
  QString FLastErrorText;
};
