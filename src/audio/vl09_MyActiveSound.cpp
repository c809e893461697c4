#include "vl09_MyActiveSound.h"

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vlClock.h"
#include "vlEncodeFormats.h"
#include "vlGlobals.h"
#include "vlPrompts.h"
#include "vlSessionSpool.h"
#include "vlSoundFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

const QString kHintGap = QStringLiteral("        ");

QString WithoutHint(const QString &Choice) {
  const qsizetype at = Choice.indexOf(kHintGap + QLatin1Char('('));
  return (at < 0 ? Choice : Choice.left(at)).trimmed();
}

QString WavHint(const QString &Mode) {
  QString hint;
  if (Mode.contains(QLatin1String("PCM"))) hint = QStringLiteral("(Fast. Uncompressed.)");
  if (Mode.contains(QLatin1String("PCM 16 bit")))
    hint = QStringLiteral("(Fast. Portable. Uncompressed.)");
  if (Mode.contains(QLatin1String("32 bits flo"))) hint = QStringLiteral("(Uncompressed.)");
  if (Mode == QLatin1String("GSM 6.10")) hint = QStringLiteral("(Slow. 90% savings.)");
  if (Mode == QLatin1String("IMA ADPCM") || Mode == QLatin1String("Microsoft ADPCM"))
    hint = QStringLiteral("(Fast. 75% savings.)");
  if (Mode.contains(QLatin1String("8 bits")) || Mode == QLatin1String("G721 ADPCM 32 kbps"))
    hint = QStringLiteral("(Not recommended.)");
  return hint;
}

QString OggHint(int Quality) {
  switch (Quality) {
    case 1: return QStringLiteral("(Okay audio. Small files.)");
    case 4: return QStringLiteral("(Recommended compromise)");
    case 10: return QStringLiteral("(Best audio. Large files.)");
    default: return {};
  }
}

QString WithHint(const QString &Choice, const QString &Hint) {
  return Hint.isEmpty() ? Choice : Choice + kHintGap + Hint;
}

// Half away from zero, as the gain arithmetic is written.
int RoundGain(double Value) { return static_cast<int>(std::lround(Value)); }

}  // namespace

TActiveSoundFm::TActiveSoundFm(std::shared_ptr<TAudioBackend> Backend, TvlMediaFoldersInfo &Folders,
                               QObject *Parent)
    : QObject(Parent),
      FBackend(std::move(Backend)),
      FFolders(Folders),
      FSpoolFolder(TSessionSpool::DefaultFolder()) {
  FPlayersSubstituteVUTimer.setInterval(50);
  connect(&FPlayersSubstituteVUTimer, &QTimer::timeout, this,
          [this] { RunGuarded([this] { SubstituteVuTick(); }); });
}

TActiveSoundFm::~TActiveSoundFm() {
  try {
    AudioComponents_Free();
  } catch (const ReportedError &) {
    // A report raised while closing has been logged; the files are closed either way.
  }
}

void TActiveSoundFm::SetEvents(TActiveSoundEvents *Events) {
  FEvents = Events ? Events : &FNoEvents;
}

// ---------------------------------------------------------------------------------------------
// Life cycle

bool TActiveSoundFm::AudioComponents_Initialize(TInitSteps InitStep) {
  switch (InitStep) {
    case isPlayer: {
      FPlayer = std::make_unique<TAmp3dj>(FBackend);
      FPlayer->SetScaleUnits(0);
      FPlayer->SetBufferLength(500);
      FPlayer->SetEnableAutoEqualiz(false);
      FPlayer->SetEnableMixingFeatures(true);
      FPlayer->SetEnableSpeakers(false);
      const TOleEnum rc = FPlayer->InitDJSystem(2);
      // Without a server the player still loads files and measures them; playing tries again.
      LogIfError(rc, QStringLiteral("InitDJSystem"));
      FPlayer->SetRewindOnEOF(false);
      TAmp3dj *p = FPlayer.get();
      connect(p, &TAmp3dj::OnSoundPlaying, this,
              [this](int n) { RunGuarded([&] { ASPlayerSoundPlaying(n); }); });
      connect(p, &TAmp3dj::OnSoundStopped, this,
              [this](int n) { RunGuarded([&] { ASPlayerSoundStopped(n); }); });
      connect(p, &TAmp3dj::OnSoundDone, this,
              [this](int n) { RunGuarded([&] { ASPlayerSoundDone(n); }); });
      connect(p, &TAmp3dj::OnVUMeterValueChange, this, [this](int n, int l, int r) {
        RunGuarded([&] { ASPlayerVUMeterValueChange(n, l, r); });
      });
      return true;
    }
    case isRecorder: {
      FRecorder = std::make_unique<TActiveSoundRecorder>(FBackend);
      FRecorder->SetSpoolFolder(FSpoolFolder);
      TActiveSoundRecorder *r = FRecorder.get();
      // Connected before the set-up so that its first events are not missed.
      connect(r, &TActiveSoundRecorder::OnRecordingStarted, this,
              [this] { RunGuarded([&] { ASRecorderRecordingStarted(); }); });
      connect(r, &TActiveSoundRecorder::OnRecordingStopped, this,
              [this](int Result) { RunGuarded([&] { ASRecorderRecordingStopped(Result); }); });
      connect(r, &TActiveSoundRecorder::OnVUMeterValueChange, this,
              [this](int l, int rr, qint64 ms, qint64 heard) {
                RunGuarded([&] { ASRecorderVUMeterValueChange(l, rr, ms, heard); });
              });
      connect(r, &TActiveSoundRecorder::OnInputFormatsAvailable, this,
              [this] { RunGuarded([&] { ASRecorderInputFormatsAvailable(); }); });
      connect(r, &TActiveSoundRecorder::OnWarnNoInputDevice, this,
              [this] { RunGuarded([&] { ASRecorderWarnNoInputDevice(); }); });
      TOleEnum rc = FRecorder->InitRecordingSystem();
      if (rc != NOERROR) {
        FLastErrorText = QStringLiteral("Audio Recorder Initialization: ") +
                         GetErrorStr(rc, dlLong) + QStringLiteral(" (") + FRecorder->LastError() +
                         QLatin1Char(')');
        // Logged without raising: the program goes on without recording, playback still works.
        ErrorReport(false, FLastErrorText);
        return false;
      }
      rc = FRecorder->SetRecordingMode(0);
      if (rc != NOERROR) {
        FLastErrorText = QStringLiteral("Audio Recorder Mode: ") + GetErrorStr(rc, dlLong);
        ErrorReport(false, FLastErrorText);
        return false;
      }
      FGainHelper = std::make_unique<TAudioGainHelper>();
      return true;
    }
    case isMisc:
      if (FCurrentFilePlayingBeganAt == 0) FCurrentFilePlayingBeganAt = Now() - 1.0 / 24;
      FComponentsExist = true;
      FEvents->AudioComponentsExist(true);
      return true;
  }
  return false;
}

void TActiveSoundFm::AudioComponents_Free() {
  FComponentsExist = false;
  FEvents->AudioComponentsExist(false);
  FPlayersSubstituteVUTimer.stop();
  if (FRecorder) {
    // The recorder queues its stopped event, which would be lost with it: finish here.
    if (FRecordingActive && FRecorder->Status() != 0) FRecorder->Stop();
    FRecorder->disconnect(this);
    if (FRecordingActive) FinishRecording(1);
  }
  FGainHelper.reset();
  FRecorder.reset();
  if (FPlayer) FPlayer->disconnect(this);
  FPlayer.reset();
  FLoadedPath.clear();
  FInputFormatsAvailable = false;
}

void TActiveSoundFm::AudioComponents_FreeAndReinitialize() {
  AudioComponents_Free();
  AudioComponents_Initialize(isPlayer);
  AudioComponents_Initialize(isRecorder);
  AudioComponents_Initialize(isMisc);
}

// ---------------------------------------------------------------------------------------------
// Recording

bool TActiveSoundFm::IsRecording() const {
  return FRecorder && (FRecorder->Status() != 0 || FRecordingActive);
}

TDateTime TActiveSoundFm::GetCurrentRecordingBeganAt_AfterSettingItToNow() {
  // A running recording's start never moves: its file is named by it at the stop.
  if (IsRecording()) return FCurrentRecordingBeganAt;
  FCurrentRecordingBeganAt = RecordingStartFromName(RecordingStamp(Now()));
  return FCurrentRecordingBeganAt;
}

int TActiveSoundFm::GetDurationOfRecordingInMSec() const {
  if (FCurrentRecordingBeganAt == 0) return 0;
  return static_cast<int>(
      std::clamp<std::int64_t>(MilliSecondsBetween(FCurrentRecordingBeganAt, Now()), 0, INT32_MAX));
}

TDateTime TActiveSoundFm::GetAbsolutePositionOfRecording() const { return Now(); }

TDateTime TActiveSoundFm::LastRecordingEndTimeOrNow() const {
  return FLastRecordingEndTimeOrZero == 0 || IsRecording() ? Now() : FLastRecordingEndTimeOrZero;
}

TOleEnum TActiveSoundFm::StartRecordingTo(const QString &PathNameNoExtension) {
  if (!FRecorder) {
    FLastErrorText = GetErrorStr(ERR_INVALID_RECORDER, dlLong);
    return ERR_INVALID_RECORDER;
  }
  // A recording already running is never disturbed: its file, its start and its name stay.
  if (IsRecording()) {
    FLastErrorText = GetErrorStr(ERR_RECORDER_BUSY, dlLong);
    return ERR_RECORDER_BUSY;
  }
  const int device = std::max(0, FSettings.InputDevice);
  int channel = FRecorder->GetInputDeviceChannelDefault(device);
  const TAudioFileFormats format = FSettings.FileFormat == affWMA ? affWAV : FSettings.FileFormat;
  const QString ext = AudioFileFormatExtension(format);
  if (!SetEncodingFormatTo(format)) {
    FLastErrorText =
        QString::asprintf("AS.SRT SetEncodingFormatTo(%s) failed when device=%s and channel=%s.",
                          qPrintable(ext), qPrintable(FRecorder->GetInputDeviceDesc(device)),
                          qPrintable(FRecorder->GetInputDeviceChannelDesc(device, channel)));
    ErrorReportInDebug(FLastErrorText);
    return ERR_UNDEFINED_PHR;
  }
  if (!FSettings.InputSourceStr.isEmpty()) {
    const int wanted = ChannelIndexByName(device, FSettings.InputSourceStr);
    if (wanted >= 0 && wanted != channel) {
      LogIfError(FRecorder->SetInputDeviceChannelDefault(device, wanted),
                 QStringLiteral("AS.SRT SetInputDeviceChannelDefault"));
      channel = wanted;
    }
  }
  REncodeFormats &ef = FRecorder->EncodeFormats();
  if (FSettings.SamplingUseOffer && FSettings.SamplingOffering >= 0 && ef.SamplingFixed != 1) {
    ef.SelectByOffering = true;
    ef.OfferingIndex = FSettings.SamplingOffering;
  } else {
    ef.SelectByOffering = false;
    ef.Channels = FSettings.SamplingChannels;
    ef.Rate = FSettings.SamplingRate;
  }
  const QString path = PathNameNoExtension + QLatin1Char('.') + ext;
  // The file begins on the stamp its name will carry; a path named otherwise (a caller that named
  // it itself) begins on that name's stamp, so that the name and the file agree in any case.
  if (FCurrentRecordingBeganAt == 0)
    FCurrentRecordingBeganAt = RecordingStartFromName(RecordingStamp(Now()));
  const TDateTime named = RecordingStartFromName(path);
  FRecorder->SetFileStartMoment(named > 0 ? named : FCurrentRecordingBeganAt);
  const TOleEnum rc = FRecorder->StartFromDirectSoundDevice(device, channel, path);
  if (rc != NOERROR) {
    FLastErrorText =
        GetErrorStr(rc, dlLong) + QStringLiteral(" (") + FRecorder->LastError() + QLatin1Char(')');
    ErrorReport(false, QStringLiteral("AS.SRT StartFromDirectSoundDevice: ") + FLastErrorText);
    return rc;
  }
  FAudioOutputPathName = path;
  FRecordingActive = true;
  if (named > 0) FCurrentRecordingBeganAt = named;
  FSessionClock.Clear();
  FFolders.SetRecordingInProgress(path, FCurrentRecordingBeganAt);
  FGain = kGainUnity;
  FGainEventCounter = 0;
  // The gain set-up cannot end the recording that now runs: a failure is only logged.
  TOleEnum agc = FRecorder->SetAutoGainControllerSettings(80, 20, 0, 5);
  if (agc == NOERROR) {
    ApplyGain();
    agc = FRecorder->EnableAutoGainController(true);
  }
  if (agc != NOERROR)
    ErrorReport(false, QStringLiteral("Setting initial Auto Gain Controller parameters: ") +
                           GetErrorStr(agc, dlLong));
  return NOERROR;
}

void TActiveSoundFm::StopRecording() {
  if (FRecorder && FRecorder->Status() != 0) FRecorder->Stop();
}

void TActiveSoundFm::ASRecorderRecordingStarted() {
  if (!FRecordingActive) return;
  // The file begins on the stamp asked for, silence filling it until the first captured frame:
  // this event comes only once the first block is in the file (up to two seconds later on some
  // servers), and neither its moment nor Record's may stand for the file's start. Only when the
  // device took longer than the recorder pads does the file begin later, on the tenth before
  // its first frame, and the name follows.
  const RCaptureTiming timing = FRecorder ? FRecorder->CaptureTiming() : RCaptureTiming();
  if (timing.FileStart > 0) FCurrentRecordingBeganAt = timing.FileStart;
  const auto at = [](TDateTime Moment) {
    return DateTimeToQDateTime(Moment).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
  };
  TraceWrite(QStringLiteral("Recording started: %1, file begins %2, first sound captured %3 "
                            "(stream delay %4 ms, %5 ms of silence before it)")
                 .arg(FAudioOutputPathName, at(FCurrentRecordingBeganAt), at(timing.FirstCaptured))
                 .arg(timing.FirstDelayMSecs < 0 ? QStringLiteral("unknown")
                                                 : QString::number(timing.FirstDelayMSecs, 'f', 1))
                 .arg(timing.PaddingMSecs, 0, 'f', 1));
  FFolders.SetRecordingInProgress(FAudioOutputPathName, FCurrentRecordingBeganAt);
  FIsRecording = true;
  FEvents->Recording_StartedEvent();
}

void TActiveSoundFm::ASRecorderRecordingStopped(int Result) {
  if (!FRecordingActive) return;
  if (Result == 0) {
    const bool playingJustStarted =
        IsPlaying() && MilliSecondsBetween(FPlaybackStartedAtRealDT, Now()) <= 3000;
    // Shown without ending anything: the bookkeeping below must still run for the file.
    Prompts().Message(
        playingJustStarted
            ? QStringLiteral(
                  "Recording terminated.  Your computer might have a problem recording and "
                  "playing at the same time.\n\n(You can make sure your computer does not try to "
                  "record and play at the same time.  That will block this error message.  Just "
                  "go to the \"Options\" menu, \"Recording\" tab to make the change.)")
            : QStringLiteral("Recording terminated due to Lame encoder error."),
        TPromptIcon::piError);
    ErrorReport(false, QStringLiteral("Recording broke off: ") +
                           (FRecorder ? FRecorder->LastError() : QString()));
  }
  FinishRecording(Result);
}

void TActiveSoundFm::FinishRecording(int Result) {
  Q_UNUSED(Result);
  FRecordingActive = false;
  FLastRecordingEndTimeOrZero = Now();
  FIsRecording = false;
  const QString oldPath = FAudioOutputPathName;
  QString newPath = oldPath;
  if (FRecorder) FRecorder->RecordedSound_Release();
  // Whole seconds of what the file holds; the clock only when nothing arrived (a stop in the
  // busy window). A recording that broke off, or whose events were delivered late, must not be
  // named longer than its sound.
  std::int64_t msecs = GetDurationOfRecordingInMSec();
  // The length in the name is wall-clock time (the span the timelines show): the file's own time
  // through the recording's clock, which differs when the device's clock runs fast or slow.
  if (FRecorder && FRecorder->RecordingRate() > 0 && FRecorder->RecordedFrames() > 0)
    msecs = static_cast<std::int64_t>(FSessionClock.WallMSecsAt(
        double(FRecorder->RecordedFrames()) * 1000 / FRecorder->RecordingRate()));
  const int seconds = static_cast<int>(msecs / 1000);
  const QFileInfo info(oldPath);
  if (seconds > 0 && info.isFile()) {
    // The extension of the file actually recorded; the folder of the audio folder it is in.
    QDir audioRoot = info.dir();
    audioRoot.cdUp();
    const QString monthFolder =
        audioRoot.path() + QLatin1Char('/') + RecordingMonthFolder(FCurrentRecordingBeganAt);
    QDir().mkpath(monthFolder);
    const QString finalName =
        audioRoot.path() + QLatin1Char('/') + RecordingRelativeName(FCurrentRecordingBeganAt) +
        QStringLiteral(" (") + QString::number(seconds) + QStringLiteral(").") + info.suffix();
    bool renamed = RenameNoReplace(oldPath, finalName);
    if (!renamed) {
      QCoreApplication::processEvents();
      renamed = RenameNoReplace(oldPath, finalName);
    }
    if (renamed) {
      newPath = finalName;
    } else {
      ErrorReportInDebug(QStringLiteral("Could not rename file from \"") + oldPath +
                         QStringLiteral("\" to \"") + finalName + QStringLiteral("\""));
    }
  }
  TraceWrite(QStringLiteral("Recording stopped: %1, began %2, %3 ms in the file, device clock "
                            "%4 ms off the system's at the end (%5)")
                 .arg(newPath, DateTimeToQDateTime(FCurrentRecordingBeganAt)
                                   .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")))
                 .arg(msecs)
                 .arg(FRecorder ? FRecorder->CaptureTiming().DriftMSecs : 0.0, 0, 'f', 1)
                 .arg(FSessionClock.IsDamaged() ? QStringLiteral("clock record not usable, linear")
                                                : QStringLiteral("mapped by the level readings")));
  FCurrentRecordingBeganAt = 0;
  FFolders.SetRecordingInProgress(QString(), 0);
  FEvents->Recording_StoppedEvent(oldPath, newPath);
}

void TActiveSoundFm::ASRecorderVUMeterValueChange(int PeakLeft, int PeakRight,
                                                  qint64 MSecIntoRecording, qint64 HeardMSecs) {
  ++FGainEventCounter;
  if (!FRecordingActive || FCurrentRecordingBeganAt == 0) return;
  FSessionClock.Add(static_cast<std::int32_t>(std::clamp<qint64>(HeardMSecs, 0, INT32_MAX)),
                    static_cast<std::int32_t>(std::clamp<qint64>(MSecIntoRecording, 0, INT32_MAX)));
  FEvents->OnVuChange_Recorder(
      PeakLeft, PeakRight, IncMilliSecond(FCurrentRecordingBeganAt, HeardMSecs), MSecIntoRecording);
  AdjustGain(PeakLeft, PeakRight);
}

void TActiveSoundFm::AdjustGain(int PeakLeft, int PeakRight) {
  if (!FGainHelper || !FRecorder) return;
  FGainHelper->AddNewSamples(PeakLeft, PeakRight, FGain);
  if (FGainEventCounter < kGainAdjustEvery) return;
  FGainEventCounter = 0;
  // The loop as designed: mid-level of the last 18 s scaled by the gain, aimed at 15000. The
  // peaks already carry the gain, so the loop is compressive: loud input settles at a lower
  // gain, quiet input at a higher one, and neither overshoots.
  int lo = 0, hi = 0;
  FGainHelper->MinMaxSamples(180, lo, hi);
  const std::int64_t scaledMin = std::int64_t{lo} * FGain / 100;
  const std::int64_t scaledMax = std::int64_t{hi} * FGain / 100;
  const double c = static_cast<double>((scaledMin + scaledMax) / 2 - 15000);
  const double d = 1 - c / 1000000;
  int gain = FGain;
  if (std::abs(d - 1) > 0.002) gain = RoundGain(FGain * d);
  if (FGainHelper->MaxSample(1200) < 1500) gain = RoundGain(FGain * 1.15);
  if (PeakLeft >= 32767 || PeakRight >= 32767) gain = RoundGain(FGain / 1.15);
  gain = std::clamp(gain, kGainMin, kGainMax);
  if (gain != FGain) {
    FGain = gain;
    ApplyGain();
  }
}

void TActiveSoundFm::ApplyGain() {
  if (!FRecorder) return;
  // The recorder multiplies by Gain / 100; the loop's unity is kGainUnity.
  int target = 80, quiet = 20, gain = 100, rate = 5;
  FRecorder->GetAutoGainControllerSettings(target, quiet, gain, rate);
  LogIfError(FRecorder->SetAutoGainControllerSettings(target, quiet,
                                                      RoundGain(FGain * 100.0 / kGainUnity), rate),
             QStringLiteral("AS.AGC"));
}

void TActiveSoundFm::ASRecorderInputFormatsAvailable() {
  if (FInputFormatsAvailable) {
    ErrorReportForDeveloper(QStringLiteral("Unexpected InputFormatsAvailable event"));
    return;
  }
  FInputFormatsAvailable = true;
}

void TActiveSoundFm::ASRecorderWarnNoInputDevice() {
  Prompts().Message(
      QStringLiteral(
          "Your computer does not appear to have an audio input device such as a sound card "
          "and microphone.\n\nWe strongly recommend getting a sound card or USB microphone, "
          "which can take the place of a sound card.  Until you get one, the program will not "
          "be able to record from a microphone."),
      TPromptIcon::piWarning);
}

// ---------------------------------------------------------------------------------------------
// Finding and loading

QString TActiveSoundFm::FindPathAndAudioFileHavingDateTime(TDateTime TargetDT, double SlushSec) {
  struct RCandidate {
    QString Path;
    TDateTime Start;
    int Named;
  };
  std::vector<RCandidate> candidates;
  for (const RRecordingEntry &e : FFolders.RecordingsOfDayAndDayBefore(TargetDT)) {
    if (TargetDT + SlushSec / SecsPerDay < e.Start) continue;
    QString path = e.Path;
    const int length = FFolders.LengthOf(path);
    if (TargetDT <= e.Start + length / SecsPerDay)
      candidates.push_back({path, e.Start, RecordingLengthFromName(path)});
  }
  if (candidates.empty()) return {};
  if (candidates.size() == 1) return candidates.front().Path;
  QStringList remaining;
  QString remembered;
  std::int64_t bestLeft = INT64_MIN;
  for (auto it = candidates.rbegin(); it != candidates.rend(); ++it) {
    const std::int64_t into = MilliSecondsBetween(it->Start, TargetDT) / 1000;
    if (it->Named < 0) TraceWrite(QStringLiteral("EF ") + it->Path);
    const std::int64_t left =
        MilliSecondsBetween(TargetDT, it->Start + std::max(it->Named, 0) / SecsPerDay) / 1000;
    if (left > bestLeft) {
      bestLeft = left;
      remembered = it->Path;
    }
    if (into >= 0 && left >= 2) remaining.append(it->Path);
  }
  if (remaining.isEmpty()) return remembered;
  if (remaining.size() == 1) return remaining.front();
  std::reverse(remaining.begin(), remaining.end());  // offered in time order
  return FChooser ? FChooser->Choose(remaining) : remembered;
}

bool TActiveSoundFm::LoadAudioFileAndGetParametersFor(TDateTime DateTime, double SlushSec,
                                                      QString &AudioFilePathName,
                                                      TDateTime &FileBeganAt, int &MSecIntoIt,
                                                      int &FileDurationMS) {
  if (!FPlayer) return false;
  bool ok = false;
  const bool recording = FRecordingActive && FRecorder && FCurrentRecordingBeganAt != 0;
  // The recording in progress plays from its session, never from its half-written file.
  auto loadSession = [&] {
    AudioFilePathName.clear();
    FileBeganAt = FCurrentFilePlayingBeganAt = FCurrentRecordingBeganAt;
    FPlayingSession = true;
    MSecIntoIt = ClockMSecsToInt(
        FSessionClock.FileMSecsAt((DateTime - FCurrentRecordingBeganAt) * MSecsPerDay));
    FileDurationMS = GetDurationOfRecordingInMSec();
    const TOleEnum rc = FPlayer->LoadSoundFromRecordingSession(0, *FRecorder);
    LogIfError(rc, QStringLiteral("AS.LAFAGPF LoadSoundFrom.."));
    ok = rc == NOERROR;
    FLoadedPath = ok ? FAudioOutputPathName : QString();
  };
  if (recording && DateTime >= FCurrentRecordingBeganAt) {
    loadSession();
  } else {
    AudioFilePathName = FindPathAndAudioFileHavingDateTime(DateTime, SlushSec);
    if (AudioFilePathName.isEmpty()) return false;
    // A moment just before the recording's start, within the slush.
    if (recording && FFolders.IsRecordingInProgressFile(AudioFilePathName)) {
      loadSession();
      FOnSoundLoaded_PlayMSecIntoIt = MSecIntoIt;
      return ok;
    }
    FileBeganAt = FCurrentFilePlayingBeganAt = RecordingStartFromName(AudioFilePathName);
    FPlayingSession = false;
    LoadClockOf(AudioFilePathName);
    MSecIntoIt = ClockMSecsToInt(FPlayingClock.FileMSecsAt((DateTime - FileBeganAt) * MSecsPerDay));
    FileDurationMS = std::max(0, RecordingLengthFromName(AudioFilePathName)) * 1000;
    // The name's length is wall-clock time, like the moment's distance from the start.
    if (FileDurationMS != 0 && MilliSecondsBetween(FileBeganAt, DateTime) >= FileDurationMS)
      return false;
    const TOleEnum rc = FPlayer->LoadSound(0, AudioFilePathName);
    LogIfError(rc, QStringLiteral("AS.LAFAGPF LoadSound"));
    ok = rc == NOERROR;
    FLoadedPath = ok ? AudioFilePathName : QString();
  }
  FOnSoundLoaded_PlayMSecIntoIt = MSecIntoIt;
  return ok;
}

bool TActiveSoundFm::PreparePlayPosition(TDateTime DateTime, double SlushSec) {
  if (!FPlayer) return false;
  if (IsPlaying()) FPlayer->StopSound(0);
  QString path;
  TDateTime began = 0;
  int into = 0, duration = 0;
  if (!LoadAudioFileAndGetParametersFor(DateTime, SlushSec, path, began, into, duration))
    return false;
  // Source milliseconds: the player keeps positions in the file's own time at every speed.
  const TOleEnum rc = FPlayer->SeekSound(0, into);
  LogIfError(rc, QStringLiteral("AS.PPP SeekSound"));
  return rc == NOERROR;
}

bool TActiveSoundFm::StartPlayingFrom(TDateTime DateTime, double Tempo) {
  if (!PreparePlayPosition(DateTime)) return false;
  FPlaySoundRangeEndsAtMS = -1;
  ChangeTempoTo(Tempo);
  const TOleEnum rc = FPlayer->PlaySound(0);
  LogIfError(rc, QStringLiteral("AS.SPF PlaySound"));
  if (rc != NOERROR) return false;
  FPlayersSubstituteVUTimer.start();
  return true;
}

bool TActiveSoundFm::PlaySegment(TDateTime DateTime, int DurationInMSec) {
  if (!FPlayer) return false;
  if (IsPlaying()) FPlayer->StopSound(0);
  QString path;
  TDateTime began = 0;
  int into = 0, duration = 0;
  if (!LoadAudioFileAndGetParametersFor(DateTime, 3, path, began, into, duration)) return false;
  FPlayer->SetRewindOnEOF(false);
  FPlaySoundRangeEndsAtMS = into + DurationInMSec;
  const TOleEnum rc = FPlayer->PlaySoundRange(0, into, into + DurationInMSec);
  LogIfError(rc, QStringLiteral("AS.PS PlaySoundRange"));
  if (rc != NOERROR) return false;
  FPlayersSubstituteVUTimer.start();
  return true;
}

bool TActiveSoundFm::PlaySegmentRecentlyEnded() const {
  return FPlaySoundRangeEndsAtMS != -1 && FPlaySoundRangeEndedAtRealDT != 0 &&
         MilliSecondsBetween(FPlaySoundRangeEndedAtRealDT, Now()) / 1000 < kSegmentMemorySecs;
}

void TActiveSoundFm::PausePlayback() {
  if (FPlayer) LogIfError(FPlayer->PauseSound(0), QStringLiteral("AS.PauseSound"));
}

void TActiveSoundFm::ResumePlayback() {
  if (!FPlayer) return;
  FPlaySoundRangeEndsAtMS = -1;
  LogIfError(FPlayer->PlaySound(0), QStringLiteral("AS.ResumePlayback"));
}

void TActiveSoundFm::StopPlayback() {
  if (FPlayer && IsPlaying()) LogIfError(FPlayer->StopSound(0), QStringLiteral("AS.StopSound"));
}

void TActiveSoundFm::ClosePlaybackFile() {
  if (!FPlayer) return;
  FPlayer->CloseSound(0);
  FLoadedPath.clear();
}

bool TActiveSoundFm::IsPlaying() const { return FPlayer && FPlayer->GetPlayerStatus(0) == 1; }

bool TActiveSoundFm::IsPlayerReady() const { return FPlayer && FPlayer->GetPlayerStatus(0) > 0; }

TDateTime TActiveSoundFm::GetAbsolutePositionOfPlaying() const {
  const int pos = FPlayer ? FPlayer->GetCurrentPos(0) : 0;
  return MomentOfPlayingFileMSecs(std::max(pos, 0));
}

TDateTime TActiveSoundFm::MomentOfPlayingFileMSecs(double FileMSecs) const {
  return FCurrentFilePlayingBeganAt + PlayingClock().WallMSecsAt(FileMSecs) / MSecsPerDay;
}

const TRecordingClock &TActiveSoundFm::PlayingClock() const {
  return FPlayingSession ? FSessionClock : FPlayingClock;
}

// The clock record of a finished recording is its ".vu" file: only its own (the exact name or one
// overlapping it almost wholly), never a neighbour's. Kept while the same file stays loaded.
void TActiveSoundFm::LoadClockOf(const QString &Path) {
  if (Path == FPlayingClockPath) return;
  FPlayingClockPath = Path;
  std::vector<TvuDatum> readings;
  const QString vu = FindVuFileFor(Path, true);
  if (vu.isEmpty() || !ReadVuFile(vu, readings)) readings.clear();
  FPlayingClock.Assign(readings);
  if (FPlayingClock.IsDamaged())
    TraceWrite(QStringLiteral("Clock record of ") + Path +
               QStringLiteral(" not usable: the recording maps linearly"));
}

void TActiveSoundFm::ChangeTempoTo(double NewTempo) {
  if (!FPlayer || !IsPlayerReady()) return;
  const int wanted = static_cast<int>(std::lround(NewTempo - 100));
  if (FPlayer->GetTempoPerc(0) == wanted) return;
  const TOleEnum rc = FPlayer->SetTempoPerc(0, wanted);
  if (rc != NOERROR)
    ErrorReportInDebug(QStringLiteral("CTT(") + QString::number(NewTempo) + QStringLiteral("): ") +
                       GetErrorStr(rc, dlBoth));
}

int TActiveSoundFm::GetFileDurationSec(const QString &PathName) const {
  const int named = RecordingLengthFromName(PathName);
  if (named >= 0) return named;
  const std::int64_t msecs = SoundFileDurationMSecs(PathName);
  return msecs > 0 ? static_cast<int>(msecs / 1000) : 0;
}

int TActiveSoundFm::GetFileDuration_RenamingIfPossible(QString &PathName) {
  return FFolders.LengthOf(PathName);
}

int TActiveSoundFm::GetFileDuration_RenamingIfPossible(QStringList &PathNamesSL, int FileIndex) {
  if (FileIndex < 0 || FileIndex >= PathNamesSL.size()) return 0;
  return FFolders.LengthOf(PathNamesSL[FileIndex]);
}

void TActiveSoundFm::ASPlayerSoundPlaying(int Player) {
  if (Player != 0) return;
  FPlaybackStartedAtRealDT = Now();
  FEvents->Play_StartedEvent();
  FPlayersSubstituteVUTimer.start();
}

void TActiveSoundFm::ASPlayerSoundStopped(int Player) {
  if (Player == 0) FEvents->Play_StoppedEvent();
}

void TActiveSoundFm::ASPlayerSoundDone(int Player) {
  if (Player == 0) FPlaySoundRangeEndedAtRealDT = Now();
}

void TActiveSoundFm::ASPlayerVUMeterValueChange(int Player, int PeakLeft, int PeakRight) {
  FEvents->OnVuChange_Player(Player, PeakLeft, PeakRight);
}

void TActiveSoundFm::SubstituteVuTick() {
  if (!IsPlaying()) FPlayersSubstituteVUTimer.stop();
  FEvents->OnVuChange_Player(-1, 255, -1);
}

// ---------------------------------------------------------------------------------------------
// Devices, sources, volume

int TActiveSoundFm::Input_Devices_GetCount() const {
  return FRecorder ? FRecorder->GetInputDevicesCount() : 0;
}

QString TActiveSoundFm::Input_Devices_GetFriendlyName(int N) const {
  return FRecorder ? FRecorder->GetInputDeviceDesc(N) : QString();
}

int TActiveSoundFm::Input_Devices_GetCurrent() const {
  return FRecorder ? FRecorder->GetInputDevice() : 0;
}

QString TActiveSoundFm::Input_Devices_SetCurrent(int DevX) {
  if (!FRecorder) return GetErrorStr(ERR_INVALID_RECORDER, dlBoth);
  const TOleEnum rc = FRecorder->ChangeInputDevice(DevX);
  return rc == NOERROR ? QString() : GetErrorStr(rc, dlBoth);
}

int TActiveSoundFm::InputDevice_Channels_GetCount(int nInputDevice) const {
  return FRecorder ? FRecorder->GetInputDeviceChannelsCount(nInputDevice) : 0;
}

QString TActiveSoundFm::InputDevice_Channels_GetFriendlyName(int nInputDevice, int N) const {
  return FRecorder ? FRecorder->GetInputDeviceChannelDesc(nInputDevice, N) : QString();
}

int TActiveSoundFm::InputDevice_Channels_GetDefault(int nInputDevice) const {
  return FRecorder ? FRecorder->GetInputDeviceChannelDefault(nInputDevice) : 0;
}

QString TActiveSoundFm::InputDevice_Channels_SetDefault(int nInputDevice, int nInputChannel) {
  if (!FRecorder) return GetErrorStr(ERR_INVALID_RECORDER, dlBoth);
  if (FRecorder->GetInputDeviceChannelDefault(nInputDevice) == nInputChannel) return {};
  const TOleEnum rc = FRecorder->SetInputDeviceChannelDefault(nInputDevice, nInputChannel);
  return rc == NOERROR ? QString() : GetErrorStr(rc, dlBoth);
}

int TActiveSoundFm::Output_Devices_GetCount() const {
  return FPlayer ? FPlayer->GetOutputDevicesCount() : 0;
}

QString TActiveSoundFm::Output_Devices_GetFriendlyName(int N) const {
  return FPlayer ? FPlayer->GetOutputDeviceDesc(N) : QString();
}

int TActiveSoundFm::Output_Devices_GetCurrent() const {
  return FPlayer ? FPlayer->GetPlayerOutputDevice(0) : 0;
}

QString TActiveSoundFm::Output_Devices_SetCurrent(int N) {
  if (!FPlayer) return GetErrorStr(ERR_INVALID_PLAYER, dlBoth);
  if (FPlayer->GetPlayerOutputDevice(0) == N) return {};
  const TOleEnum rc = FPlayer->SetPlayerOutputDevice(0, N);
  return rc == NOERROR ? QString() : GetErrorStr(rc, dlBoth);
}

bool TActiveSoundFm::ListAudioInputSourcesForDevice(int DevX, QStringList &SL) const {
  SL.clear();
  for (int n = 0; n < InputDevice_Channels_GetCount(DevX); ++n)
    SL.append(InputDevice_Channels_GetFriendlyName(DevX, n));
  return true;
}

bool TActiveSoundFm::ListSamplingOfferingsForDevice(int DevX, QStringList &SL) const {
  SL.clear();
  for (int n = 0; n < GetSupportedRecordFormatsCount(DevX); ++n)
    SL.append(GetSupportedRecordFormatDesc(DevX, n));
  return true;
}

bool TActiveSoundFm::ListEncodeModesForFormat(TAudioFileFormats AFF, QStringList &SL) const {
  SL.clear();
  if (!FInputFormatsAvailable) {
    TraceWrite(QStringLiteral("Premature SetEncodingFormatTo"));
    return false;
  }
  if (AFF == affWAV) SL = WavModeNames();
  if (AFF == affOGG)
    for (int q = 1; q <= 10; ++q) SL.append(OggModeName() + QLatin1Char(' ') + QString::number(q));
  return true;
}

int TActiveSoundFm::GetSupportedRecordFormatsCount(int Dev) const {
  return FRecorder ? FRecorder->GetSupportedRecordFormatsCount(Dev) : 0;
}

QString TActiveSoundFm::GetSupportedRecordFormatDesc(int Dev, int N) const {
  return FRecorder ? FRecorder->GetSupportedRecordFormatDesc(Dev, N) : QString();
}

int TActiveSoundFm::ChannelIndexByName(int DevX, const QString &ChannelStr) const {
  const QString wanted = ChannelStr.trimmed();
  for (int n = 0; n < InputDevice_Channels_GetCount(DevX); ++n)
    if (InputDevice_Channels_GetFriendlyName(DevX, n).trimmed() == wanted) return n;
  return -1;
}

int TActiveSoundFm::GetInputDeviceChannelVolume(int DevX, const QString &ChannelStr) const {
  const int ch = ChannelIndexByName(DevX, ChannelStr);
  return ch < 0 || !FRecorder ? -999 : FRecorder->GetInputDeviceChannelVolume(DevX, ch);
}

QString TActiveSoundFm::SetInputDeviceChannelVolume(int DevX, const QString &ChannelStr,
                                                    int Volume) {
  const int ch = ChannelIndexByName(DevX, ChannelStr);
  if (ch < 0 || !FRecorder)
    return QStringLiteral("SIDCV: Could not find channel index \"") + ChannelStr + QLatin1Char('"');
  // Out of range is swallowed, as a caller restoring a remembered level expects.
  FRecorder->SetInputDeviceChannelVolume(DevX, ch, Volume);
  return {};
}

int TActiveSoundFm::GetMasterVolume() const {
  return FPlayer ? FPlayer->MixerGetMasterVolume() : 100;
}

bool TActiveSoundFm::SetMasterVolume(int NewPercentage) {
  if (!FPlayer) return false;
  const TOleEnum rc = FPlayer->MixerSetMasterVolume(NewPercentage);
  if (rc != NOERROR)
    ErrorReport(false, QStringLiteral("MixerSetMasterVolume(") + QString::number(NewPercentage) +
                           QStringLiteral("): ") + GetErrorStr(rc, dlLong));
  return rc == NOERROR;
}

int TActiveSoundFm::GetWaveVolume() const { return FPlayer ? FPlayer->MixerGetWaveVolume() : 100; }

bool TActiveSoundFm::SetWaveVolume(int NewPercentage) {
  if (!FPlayer) return false;
  const TOleEnum rc = FPlayer->MixerSetWaveVolume(NewPercentage);
  if (rc != NOERROR)
    ErrorReport(false, QStringLiteral("SetMixerWaveVolume(") + QString::number(NewPercentage) +
                           QStringLiteral("): ") + GetErrorStr(rc, dlLong));
  return rc == NOERROR;
}

// ---------------------------------------------------------------------------------------------
// Encodings

bool TActiveSoundFm::SetEncodingFormatTo(TAudioFileFormats AFF) {
  if (!FInputFormatsAvailable || !FRecorder) {
    TraceWrite(QStringLiteral("Premature SetEncodingFormatTo"));
    return false;
  }
  const QString ext = AudioFileFormatExtension(AFF);
  const QString choice = FSettings.EncodingFor.value(ext);
  switch (AFF) {
    case affWAV:
      FRecorder->EncodeFormats().OutputFormat = kOutputFormatWAV;
      FileOptions_PopulateOrSet_WAV(0, FSettings.SamplingChannels, choice, nullptr);
      return true;
    case affOGG:
      FRecorder->EncodeFormats().OutputFormat = kOutputFormatOGG;
      FileOptions_PopulateOrSet_OGG(0, FSettings.SamplingChannels, choice, nullptr);
      return true;
    case affWMA:
      return FileOptions_PopulateOrSet_WMA(FSettings.SamplingRate, FSettings.SamplingChannels,
                                           choice, nullptr);
  }
  return false;
}

bool TActiveSoundFm::FileOptions_PopulateOrSet_WAV(int Rate, int Channels, const QString &ChoiceStr,
                                                   QStringList *SL) {
  Q_UNUSED(Rate);
  if (SL) SL->clear();
  const QStringList modes = WavModeNames();
  const QString wanted = WithoutHint(ChoiceStr);
  bool applied = false;
  for (int i = 0; i < modes.size(); ++i) {
    if (!IsWavModeUsable(i, std::max(1, Channels))) continue;
    if (SL) SL->append(WithHint(modes[i], WavHint(modes[i])));
    if (!wanted.isEmpty() && modes[i] == wanted && FRecorder) {
      FRecorder->EncodeFormats().OutputFormat = kOutputFormatWAV;
      FRecorder->EncodeFormats().WavModeIndex = i;
      applied = true;
    }
  }
  return applied;
}

bool TActiveSoundFm::FileOptions_PopulateOrSet_OGG(int Rate, int Channels, const QString &ChoiceStr,
                                                   QStringList *SL) {
  Q_UNUSED(Rate);
  Q_UNUSED(Channels);
  if (SL) SL->clear();
  const QString wanted = WithoutHint(ChoiceStr);
  bool applied = false;
  for (int q = 1; q <= 10; ++q) {
    const QString name = OggModeName() + QLatin1Char(' ') + QString::number(q);
    if (SL) SL->append(WithHint(name, OggHint(q)));
    if (!wanted.isEmpty() && name == wanted && FRecorder) {
      FRecorder->EncodeFormats().OutputFormat = kOutputFormatOGG;
      FRecorder->EncodeFormats().OggQuality = q;
      applied = true;
    }
  }
  return applied;
}

bool TActiveSoundFm::FileOptions_PopulateOrSet_WMA(int Rate, int Channels, const QString &ChoiceStr,
                                                   QStringList *SL) {
  // WMA cannot be written here: no choices, nothing applied.
  Q_UNUSED(Rate);
  Q_UNUSED(Channels);
  Q_UNUSED(ChoiceStr);
  if (SL) SL->clear();
  return false;
}

// ---------------------------------------------------------------------------------------------
// Errors and versions

QString TActiveSoundFm::GetErrorStr(int ErrNum, TDescLength DescLength) {
  const QString text = AudioErrorText(static_cast<std::int16_t>(ErrNum));
  const qsizetype bar = text.indexOf(QLatin1Char('|'));
  switch (DescLength) {
    case dlShort: return bar < 0 ? text : text.left(bar);
    case dlLong: return bar < 0 ? text : text.mid(bar + 1);
    case dlBoth: return text;
  }
  return text;
}

void TActiveSoundFm::ShowError(int ErrCode, const QString &ModuleStr) {
  if (ErrCode == 0) return;
  QString msg = QStringLiteral("An unexpected error occurred. Module ") + ModuleStr +
                QStringLiteral(" said \"") + GetErrorStr(ErrCode, dlLong) +
                QStringLiteral("\".\n\n");
  if (static_cast<std::int16_t>(ErrCode) == ERR_INVALID_RECORDER)
    msg += QStringLiteral(
        "This means the program could not find the recording device on your computer. On some "
        "computers this can happen if the microphone is not plugged in.  Please make sure your "
        "computer is able and ready to record sounds and try again.\n\n");
  msg += QStringLiteral(
      "If the problem persists, please report it via the \"Help/Contact Support\" menu item.");
  ErrorReport(true, msg);
}

void TActiveSoundFm::LogIfError(int ErrNum, const QString &CodeLocationStr) {
  if (ErrNum == 0) return;
  TraceWrite(QStringLiteral("Sound Error at \"") + CodeLocationStr +
             QStringLiteral("\" with message \"") + GetErrorStr(ErrNum, dlBoth) + QLatin1Char('"'));
}

QString TActiveSoundFm::VersionStr() const {
  return QStringLiteral("Rec  ") + (FRecorder ? FRecorder->ControlVersion() : QString()) +
         QStringLiteral(", engine ") + (FRecorder ? FRecorder->EngineVersion() : QString()) +
         QStringLiteral(";  Play ") + (FPlayer ? FPlayer->ControlVersion() : QString()) +
         QStringLiteral(", engine ") + (FPlayer ? FPlayer->EngineVersion() : QString());
}
