#include "vl09_MyAudio.h"

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlGuard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cmath>

TvlAudio::TvlAudio(TActiveSoundFm &Controller, TvlMediaFoldersInfo &Folders)
    : FController(Controller), FFolders(Folders) {
  FController.SetEvents(this);
  FAudioComponentsExist = FController.AudioComponentsExist();
  FVuFlushTimer.setInterval(1000);
  FVuFlushTimer.callOnTimeout([this] {
    RunGuarded([this] {
      if (FMediaInfo) FMediaInfo->OnIdle_WriteVuToFileIfRecording();
    });
  });
}

TvlAudio::~TvlAudio() { FController.SetEvents(nullptr); }

void TvlAudio::AddLevelListener(TAudioLevelListener *Listener) {
  if (Listener && std::find(FListeners.begin(), FListeners.end(), Listener) == FListeners.end())
    FListeners.push_back(Listener);
}

void TvlAudio::RemoveLevelListener(TAudioLevelListener *Listener) {
  FListeners.erase(std::remove(FListeners.begin(), FListeners.end(), Listener), FListeners.end());
}

void TvlAudio::ApplyAudioSettings(const RAudioSettings &Settings) {
  FSettings = Settings;
  FController.SetSettings(Settings.Record);
  if (FAudioComponentsExist && FController.Output_Devices_GetCount() > 0) {
    const QString problem = FController.Output_Devices_SetCurrent(
        std::clamp(Settings.OutputDevice, 0, FController.Output_Devices_GetCount() - 1));
    if (!problem.isEmpty()) ErrorReportInDebug(QStringLiteral("O.UAO failed for ") + problem);
  }
}

bool TvlAudio::AudioComponents_FreeAndReinitialize() {
  if (FController.IsRecording() || FController.IsPlaying()) return false;
  const bool hadComponents = FAudioComponentsExist;
  const int wave = FController.GetWaveVolume();
  const int master = FController.GetMasterVolume();
  FController.AudioComponents_FreeAndReinitialize();
  if (hadComponents && FAudioComponentsExist) {
    FController.SetWaveVolume(wave);
    FController.SetMasterVolume(master);
  }
  ApplyAudioSettings(FSettings);
  return FAudioComponentsExist;
}

// ---------------------------------------------------------------------------------------------
// Recording

QString TvlAudio::Recording_PreparePathNameNoExtensionTimestampedNow() {
  return FFolders.AudioFolder() +
         RecordingRelativeName(FController.GetCurrentRecordingBeganAt_AfterSettingItToNow());
}

bool TvlAudio::Recording_Start() {
  // A running recording keeps its file, its start and its name.
  if (FController.IsRecording()) return false;
  // Without an audio folder the file would land in the working folder where no listing finds it.
  if (FFolders.AudioFolder().isEmpty()) {
    ErrorReport(false, QStringLiteral("Recording not started: no usable audio folder"));
    return false;
  }
  const QString path = Recording_PreparePathNameNoExtensionTimestampedNow();
  if (!QDir().mkpath(QFileInfo(path).path())) {
    ErrorReport(false,
                QStringLiteral("Recording not started: cannot create ") + QFileInfo(path).path());
    return false;
  }
  // Stored before the start: its started event may arrive while the start still runs.
  Kludge_SneakPathNameFromRecordingCommandToRecordingEvent = path;
  return FController.StartRecordingTo(path) == NOERROR;
}

bool TvlAudio::Recording_Stop() {
  if (!FController.IsRecording()) return false;
  FLatestOperationStopped = aoRecord;
  FController.StopRecording();
  QCoreApplication::processEvents();
  return true;
}

int TvlAudio::Recording_LengthInMS() const {
  return FController.IsRecording() ? FController.GetDurationOfRecordingInMSec() : 0;
}

TDateTime TvlAudio::Recording_Position() const { return Now(); }

TDateTime TvlAudio::GetCurrentRecordingBeganAt() const {
  return FController.GetCurrentRecordingBeganAt();
}

TDateTime TvlAudio::LastRecordingEndTimeOrNow() const {
  return FController.LastRecordingEndTimeOrNow();
}

bool TvlAudio::IsRecording() const { return FController.IsRecording(); }

bool TvlAudio::IsPlaying() const { return FController.IsPlaying(); }

void TvlAudio::Recording_StartedEvent() {
  FLatestOperationStarted = aoRecord;
  if (FMediaInfo) {
    FMediaInfo->RecordingJustStarted_CreateNewCurrentFile(
        Kludge_SneakPathNameFromRecordingCommandToRecordingEvent,
        FController.GetCurrentRecordingBeganAt());
    FVuFlushTimer.start();
  } else {
    ErrorReportInDebug(QStringLiteral("vlMFL_C is nil!"));
  }
  if (OnRecordingStarted) OnRecordingStarted();
}

void TvlAudio::Recording_StoppedEvent(const QString &OldPathName, const QString &NewPathName) {
  FVuFlushTimer.stop();
  // The catalogue first: the level file is complete and renamed before the views reload.
  if (FMediaInfo) {
    FMediaInfo->RecordingJustTerminated_CloseCurrentFile(OldPathName, NewPathName);
  } else {
    ErrorReportInDebug(QStringLiteral("vlMFL_C is nil!"));
  }
  if (OnRecordingStopped) OnRecordingStopped(OldPathName, NewPathName);
}

// ---------------------------------------------------------------------------------------------
// Playback

TPlayResult TvlAudio::Play_From(TDateTime DateTime, double Tempo) {
  if (!FGate->OkayToBreakSilence()) return prSilenceProtection;
  if (!FController.StartPlayingFrom(DateTime, Tempo)) return prNoAudio;
  // Where a play from the notes or a track really starts, for whoever follows the trace.
  TraceWrite(
      QStringLiteral("Play from %1 at %2 %: %3 at %4")
          .arg(DateTimeToQDateTime(DateTime).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
          .arg(Tempo)
          .arg(FController.LoadedPath())
          .arg(DateTimeToQDateTime(FController.GetAbsolutePositionOfPlaying())
                   .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))));
  if (FSettings.AvoidGen2Record && Recording_Stop()) QThread::msleep(kWaitAfterStopMSecs);
  return prOkay;
}

TPlayResult TvlAudio::Play_Segment(int OverlapInSeconds, int DurationInSeconds) {
  const TDateTime fileStart = FController.GetCurrentFilePlayingBeganAt();
  TDateTime start = FController.GetAbsolutePositionOfPlaying() - OverlapInSeconds / SecsPerDay;
  if (start <= fileStart) {
    start = FController.PlaySegmentRecentlyEnded()
                ? FController.MomentOfPlayingFileMSecs(FController.PlaySoundRangeEndsAtMS()) -
                      OverlapInSeconds / SecsPerDay
                : fileStart;
  }
  if (!FGate->OkayToBreakSilence()) return prSilenceProtection;
  if (!FController.PlaySegment(start, DurationInSeconds * 1000)) return prNoAudio;
  if (FSettings.AvoidGen2Record) Recording_Stop();
  return prOkay;
}

void TvlAudio::Play_Pause() { FController.PausePlayback(); }

TPlayResult TvlAudio::Play_Resume() {
  if (!FGate->OkayToBreakSilence()) return prSilenceProtection;
  FController.ResumePlayback();
  if (!FController.IsPlaying()) return prNoAudio;
  if (FSettings.AvoidGen2Record) Recording_Stop();
  return prOkay;
}

void TvlAudio::Play_Stop() {
  FController.CommandStopPlaybackClick();
  // Only when nothing records: a second start would disturb the recording that runs.
  if (FSettings.RecordAfterPlay && FMainLoopRunning && !FController.IsRecording())
    Recording_Start();
}

TDateTime TvlAudio::GetPlay_Position() const {
  return FAudioComponentsExist ? FController.GetAbsolutePositionOfPlaying() : 0;
}

void TvlAudio::SetPlay_Position(TDateTime AudioDT) { FController.PreparePlayPosition(AudioDT); }

TDateTime TvlAudio::Play_Position_AudioStartsAt() const {
  return FController.GetCurrentFilePlayingBeganAt();
}

void TvlAudio::NewTempo(double Tempo) { FController.ChangeTempoTo(Tempo); }

void TvlAudio::StopPlayingAndCloseCurrentFileIfItStartsAt(TDateTime DT) {
  if (FController.LoadedPath().isEmpty() ||
      MilliSecondsBetween(FController.GetCurrentFilePlayingBeganAt(), DT) != 0)
    return;
  FController.StopPlayback();
  FController.ClosePlaybackFile();
}

void TvlAudio::Play_StartedEvent() { FLatestOperationStarted = aoPlay; }

void TvlAudio::Play_StoppedEvent() { FLatestOperationStopped = aoPlay; }

// ---------------------------------------------------------------------------------------------
// Levels and volume

void TvlAudio::OnVuChange_Recorder(int PeakLeft, int PeakRight, TDateTime When,
                                   std::int64_t FileMSecs) {
  if (FShuttingDown) return;
  const int level = (PeakLeft + PeakRight) / 2;
  if (FMediaInfo) {
    if (FController.IsRecording())
      FMediaInfo->Recording_AddNewVisualizationDatum(When, level, FileMSecs);
  } else {
    ErrorReportInDebug(QStringLiteral("vlMFL_C is nil!"));
  }
  for (TAudioLevelListener *l : FListeners) l->RecorderLevel(level, When);
}

void TvlAudio::OnVuChange_Player(int Player, int PeakLeft, int PeakRight) {
  if (FShuttingDown) return;
  for (TAudioLevelListener *l : FListeners) l->PlayerLevel(Player, PeakLeft, PeakRight);
}

double TvlAudio::GetCombinedVolume() const {
  if (!FAudioComponentsExist) return 0.5;
  return FController.GetWaveVolume() * FController.GetMasterVolume() / 10000.0;
}

bool TvlAudio::SetCombinedVolume(double NewFraction) {
  const double fraction = std::clamp(NewFraction, 0.0, 1.0);
  auto percent = [](double v) { return std::clamp(static_cast<int>(std::lround(v)), 0, 100); };
  const int w = FController.GetWaveVolume();
  const double m = w == 0 ? 101 : fraction * 10000 / w;
  if (m > 100) {
    if (!FController.SetWaveVolume(percent(fraction * 100))) return false;
    return FController.SetMasterVolume(100);
  }
  return FController.SetMasterVolume(percent(m));
}

// ---------------------------------------------------------------------------------------------
// The options' device questions

QStringList TvlAudio::InputDeviceNames() const {
  QStringList names;
  for (int i = 0; i < FController.Input_Devices_GetCount(); ++i)
    names.append(FController.Input_Devices_GetFriendlyName(i));
  return names;
}

QStringList TvlAudio::OutputDeviceNames() const {
  QStringList names;
  for (int i = 0; i < FController.Output_Devices_GetCount(); ++i)
    names.append(FController.Output_Devices_GetFriendlyName(i));
  return names;
}

QStringList TvlAudio::InputSources(int InputDevice) const {
  QStringList sources;
  FController.ListAudioInputSourcesForDevice(InputDevice, sources);
  return sources;
}

int TvlAudio::DefaultInputSource(int InputDevice) const {
  return FController.InputDevice_Channels_GetDefault(InputDevice);
}

QStringList TvlAudio::OfferedSamplings(int InputDevice) const {
  QStringList offers;
  FController.ListSamplingOfferingsForDevice(InputDevice, offers);
  return offers;
}

QStringList TvlAudio::RecordFormats(int InputDevice) const {
  QStringList formats;
  for (int n = 0; n < FController.GetSupportedRecordFormatsCount(InputDevice); ++n)
    formats.append(FController.GetSupportedRecordFormatDesc(InputDevice, n));
  return formats;
}

QString TvlAudio::UseOutputDevice(int OutputDevice) {
  return FController.Output_Devices_SetCurrent(OutputDevice);
}

// ---------------------------------------------------------------------------------------------
// Sources, samplings and encodings

namespace {

bool LookupFromLast(const QStringList &Entries, const QString &Wanted, int &X) {
  const QString wanted = Wanted.trimmed();
  for (qsizetype i = Entries.size() - 1; i >= 0; --i) {
    if (Entries[i].trimmed() == wanted) {
      X = static_cast<int>(i);
      return true;
    }
  }
  X = -1;
  return false;
}

}  // namespace

int TvlAudio::GetInputDeviceSourceVolume(int Dev, const QString &SourceStr) const {
  return FController.GetInputDeviceChannelVolume(Dev, SourceStr);
}

QString TvlAudio::SetInputDeviceSourceVolume(int DevX, const QString &SourceStr, int Volume) {
  return FController.SetInputDeviceChannelVolume(DevX, SourceStr, Volume);
}

QString TvlAudio::InputDeviceCurrent_GetCurrentSourceStr() const {
  const int dev = FSettings.Record.InputDevice;
  return FController
      .InputDevice_Channels_GetFriendlyName(dev, FController.InputDevice_Channels_GetDefault(dev))
      .trimmed();
}

bool TvlAudio::LookupIndexOfAudioInputSourceStr(int DevX, const QString &SourceStr, int &X) const {
  return LookupFromLast(InputSources(DevX), SourceStr, X);
}

bool TvlAudio::LookupIndexOfAudioSamplingOfferingStr(int DevX, const QString &OfferStr,
                                                     int &X) const {
  return LookupFromLast(OfferedSamplings(DevX), OfferStr, X);
}

bool TvlAudio::FileOptions_PopulateList(TAudioFileFormats AFF, int Rate, int Channels,
                                        QStringList &SL) {
  switch (AFF) {
    case affWAV: FController.FileOptions_PopulateOrSet_WAV(Rate, Channels, QString(), &SL); break;
    case affOGG: FController.FileOptions_PopulateOrSet_OGG(Rate, Channels, QString(), &SL); break;
    case affWMA: FController.FileOptions_PopulateOrSet_WMA(Rate, Channels, QString(), &SL); break;
  }
  return !SL.isEmpty();
}

bool TvlAudio::FileOption_Apply(TAudioFileFormats AFF, int Rate, int Channels,
                                const QString &ChoiceStr) {
  const qsizetype hint = ChoiceStr.indexOf(QStringLiteral("        ("));
  const QString choice = hint < 0 ? ChoiceStr : ChoiceStr.left(hint);
  switch (AFF) {
    case affWAV: return FController.FileOptions_PopulateOrSet_WAV(0, Channels, choice, nullptr);
    case affOGG: return FController.FileOptions_PopulateOrSet_OGG(0, Channels, choice, nullptr);
    case affWMA: return FController.FileOptions_PopulateOrSet_WMA(Rate, Channels, choice, nullptr);
  }
  return false;
}
