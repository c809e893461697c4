#include "vlProgram.h"

#include "vlCommandLine.h"

#include "vl09_Main.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_RecentFiles.h"
#include "vl09_Registry.h"
#include "vl09_SilenceActions.h"
#include "vl09_SilenceConfigFm.h"
#include "vl09_SilenceFm.h"
#include "vlAppPaths.h"
#include "vlClock.h"
#include "vlEditorPage.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlHintAsPointHints.h"
#include "vlPrompts.h"
#include "vlShellSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

namespace {

constexpr TKindOfEvent NonTypingKinds[] = {koeMarker,    koeLabel,      koeSketching, koeWebDings,
                                           koeWingDings, koeWingDings2, koeWingDings3};

}  // namespace

RAudioSettings AudioSettingsFromOptions(TvlOptions &Options) {
  RAudioSettings settings;
  settings.Record.InputDevice = Options.AudioInputDevice();
  settings.Record.InputSourceStr = Options.FAudioInputSourceStr;
  settings.Record.FileFormat = Options.RecordingFileFormat();
  settings.Record.SamplingUseOffer = Options.FAudioSamplingUseOffer;
  settings.Record.SamplingOffering = Options.AudioSamplingOffering();
  settings.Record.SamplingRate = Options.AudioSamplingRate();
  settings.Record.SamplingChannels = Options.AudioSamplingChannels();
  for (const QString &format : {QStringLiteral("wav"), QStringLiteral("ogg")})
    settings.Record.EncodingFor.insert(format, Options.AudioFileEncodingFor(format));
  settings.OutputDevice = Options.AudioOutputDevice();
  settings.AvoidGen2Record = Options.FAvoidGen2Record;
  settings.RecordAfterPlay = Options.FRecordAfterPlay;
  return settings;
}

QString NonTypingEventsFingerprint(const TvlDayFilesManager &Events) {
  QString print;
  for (const TKindOfEvent kind : NonTypingKinds) {
    std::vector<TEventID> ids;
    Events.ByKind_GetListOfEvents(kind, ids);
    std::vector<QString> lines;
    lines.reserve(ids.size());
    for (const TEventID id : ids) {
      TvlEvent event;
      if (!Events.Event_FromEventID(id, event)) continue;
      lines.push_back(QString::number(int(kind)) + QLatin1Char(' ') + event.What +
                      QLatin1Char(' ') + QString::number(event.When, 'f', 10) + QLatin1Char(' ') +
                      event.Text);
    }
    // IDs change when events move between days; the set of events is what counts.
    std::sort(lines.begin(), lines.end());
    for (const QString &line : lines) print += line + QLatin1Char('\n');
  }
  return print;
}

TvlProgram::TvlProgram(TRegistryData &Store, TvlOptions &Options,
                       std::shared_ptr<TAudioBackend> Backend, const QString &AudioFolder)
    : FStore(Store),
      FOptions(Options),
      FBackend(Backend),
      FSound(std::move(Backend), FFolders),
      FAudio(FSound, FFolders),
      FSilence(FSchedule) {
  FFolders.Initialize(AudioFolder);
  const TDateTime now = Now();
  FFolders.Month_LoadMonthsOf(now, now, now);
  FAudio.SetMediaInfo(&FMedia);
  FAudio.SetSilenceGate(&FSilence);
  FOptions.SetAudioDeviceQuery(&FAudio);
  FDays.Clear();
  FTimelines = std::make_unique<TvlTimelineGlue>(FAudio, FFolders, FMedia, FOptions);
  FTracks = std::make_unique<TvlTrackGlue>(FAudio, FFolders, FMedia);
  FVertLevels = std::make_unique<TVisualizationVertLevelSource>(FTracks->Visualization());
  SetOtherEventsIO(this);
}

TvlProgram::~TvlProgram() {
  SetOtherEventsIO(nullptr);
  FOptions.SetAudioDeviceQuery(nullptr);
  FAudio.SetShuttingDown(true);
  FAudio.OnRecordingStarted = nullptr;
  FAudio.OnRecordingStopped = nullptr;
  FSilence.SetPrompts(nullptr);
}

void TvlProgram::Connect(TVellomarFm &Window, const QString &ExampleBinder) {
  FWindow = &Window;
  auto *panel = new QWidget;
  panel->setObjectName(QStringLiteral("vlRootNotebook"));
  FNotebook = new TvlNotebook(panel, MakeEditorPageFactory(), this);
  FNotebook->Binder().SetExampleBinderPathName(ExampleBinder);
  TRecentFiles *recent = Window.RecentlyUsedFiles();
  FNotebook->OnFileAccessed = [recent](const QString &PathName) {
    if (recent) recent->AccessingFile(PathName);
  };
  FNotebook->OnFileNotFound = [recent](const QString &PathName) {
    if (recent) recent->UnlistFile(PathName);
  };
  FNotebook->OnSettingsShouldBeWritten = [this] { FStore.OnApplicationClose_WriteToRegistry(); };
  Window.AttachNotebook(panel);
  Window.SetEventsLink(this);

  if (TvlHint *hint = Window.Hint()) FHints = std::make_unique<TvlHintAsPointHints>(*hint);
  FSilencePrompts = std::make_unique<TSilenceWindowPrompts>(&Window, FHints.get());
  FSilence.SetPrompts(FSilencePrompts.get());
  FSilenceActions = new TSilenceActions(FSilence, &Window);

  FAudio.OnRecordingStarted = [this] {
    if (FWindow) FWindow->Callback_RecordingStarted();
  };
  FAudio.OnRecordingStopped = [this](const QString &, const QString &) {
    if (FWindow) FWindow->Callback_RecordingStopped();
  };

  RProgramParts parts;
  parts.Notebook = FNotebook;
  parts.Audio = &FAudio;
  parts.Recordings = &FFolders;
  parts.DayFiles = &FDays;
  parts.Silence = &FSilence;
  parts.SilenceActions = FSilenceActions;
  Window.SetProgramParts(parts);
  InstallHooks(Window);
  FTimelines->Connect(Window, FNotebook);
  FTracks->Connect(Window, FNotebook, *FTimelines);
  FTimelines->SetLevelSource(FVertLevels.get());
  FTimelines->SetAlsoFollow([this](TDateTime Moment) { FTracks->Follow(Moment); });
}

void TvlProgram::InstallHooks(TVellomarFm &Window) {
  RMainWindowHooks &hooks = Window.Hooks();
  hooks.OpenBinder = [this](const QString &AutoOpenBinder) { OpenBinder(AutoOpenBinder); };
  hooks.LoadSilenceSchedule = [this] {
    const TSilenceSettingsOf<TRegistryData> store(FStore);
    for (const QString &problem : FSchedule.Registry_LoadFrom(store)) TraceWrite(problem);
  };
  hooks.SaveSilenceSchedule = [this] {
    TSilenceSettingsOf<TRegistryData> store(FStore);
    FSchedule.Registry_SaveTo(store);
  };
  hooks.SilenceProtectionLevelNow = [this] { return FSilence.ScheduleLevelNow(); };
  hooks.ReloadCurrentMediaMonth = [this] { FFolders.Month_Reload(); };
  hooks.BinderSavedOrOpened = [this] {
    RememberSavedBookmarks();
    // The binder in use is the one the next start opens, even after a crash or a kill: its
    // journal is beside it (an unnamed binder's in the data folder) and is replayed there.
    if (!FNotebook) return;
    FStore.SetValue(QString::fromUtf16(vlSetting::AutoOpenBinder), FNotebook->BinderPathName());
    FStore.OnApplicationClose_WriteToRegistry();
  };
  hooks.OptionsApplied = [this] { FAudio.ApplyAudioSettings(AudioSettingsFromOptions(FOptions)); };
  hooks.ViewRecordings = [this] {
    const TVertTimeline *timeline = FTimelines->VertTimeline();
    FTimelines->ViewRecordings(timeline && timeline->FeatureDT() > 100 ? timeline->FeatureDT()
                                                                       : Now());
  };
  hooks.VertTimelineFeatureMoment = [this] {
    const TVertTimeline *timeline = FTimelines->VertTimeline();
    return timeline ? timeline->FeatureDT() : TDateTime(0);
  };
  if (FSilenceActions)
    FSilenceActions->SetOnConfigureSchedule([this] {
      TSilenceSettingsOf<TRegistryData> store(FStore);
      TSilenceConfigFm window(FSchedule, &store, FWindow);
      window.exec();
    });
}

// ---------------------------------------------------------------------------------------------
// The staged audio start

QString TvlProgram::InitializeRecorder() {
  if (!FPlayerReady) FPlayerReady = FSound.AudioComponents_Initialize(isPlayer);
  if (!FSound.AudioComponents_Initialize(isRecorder)) {
    // The label has room for a few words; the whole reason is in the trace already.
    if (!FBackend->IsConnected()) return TNoAudioServer::Reason();
    return QStringLiteral("No recorder");
  }
  return QString();
}

QString TvlProgram::InitializeMisc() {
  if (!FSound.AudioComponents_Initialize(isMisc)) return QStringLiteral("Audio could not start");
  return QString();
}

QString TvlProgram::ApplyAudioOptions() {
  FAudio.ApplyAudioSettings(AudioSettingsFromOptions(FOptions));
  FAudio.SetMainLoopRunning(true);
  return QString();
}

bool TvlProgram::IsRecording() const { return FAudio.IsRecording(); }

QString TvlProgram::CurrentSourceName() const {
  return FAudio.InputDeviceCurrent_GetCurrentSourceStr();
}

void TvlProgram::StartRecording() { FAudio.Recording_Start(); }

void TvlProgram::StopRecording() { FAudio.Recording_Stop(); }

void TvlProgram::StopPlaying() { FAudio.Play_Stop(); }

// ---------------------------------------------------------------------------------------------
// Opening a binder

void TvlProgram::OpenBinder(const QString &PathName) {
  if (!FNotebook) return;
  const QString problems = FNotebook->Binder_Open(PathName);
  if (!problems.trimmed().isEmpty()) {
    TraceWrite(QStringLiteral("Opening the binder ") + PathName + QStringLiteral(": ") + problems);
    Prompts().Message(problems.trimmed(), TPromptIcon::piWarning);
  }
  RememberSavedBookmarks();
}

// ---------------------------------------------------------------------------------------------
// Files given on the command line

void TvlProgram::OpenGivenFiles(const QStringList &Files) {
  FGivenFiles += Files;
  if (!FReadyForGivenFiles || FOpeningGivenFiles || !FWindow || !FNotebook) return;
  FOpeningGivenFiles = true;
  // Reset even when an opening reports an error by throwing: the next request must be served.
  const auto done = qScopeGuard([this] { FOpeningGivenFiles = false; });
  while (!FGivenFiles.isEmpty()) {
    const QStringList files = std::exchange(FGivenFiles, {});
    OpenGivenFilesNow(files);
  }
}

void TvlProgram::SetReadyForGivenFiles() {
  FReadyForGivenFiles = true;
  OpenGivenFiles({});
}

void TvlProgram::OpenGivenFilesNow(const QStringList &Files) {
  QStringList binders;
  QStringList tabs;
  for (const QString &file : Files)
    (GivenFileKind(file) == TGivenFileKind::gfTab ? tabs : binders) << file;
  // One binder is open at a time: the last one given is the one the user is left with.
  for (qsizetype i = 0; i + 1 < binders.size(); ++i)
    TraceWrite(QStringLiteral("Given binder not opened, a later one was given too: ") + binders[i]);
  if (!binders.isEmpty()) {
    const QString binder = binders.last();
    TraceWrite(QStringLiteral("Opening the given binder ") + binder);
    const QFileInfo info(binder);
    if (!info.exists()) {
      // The binder open stays open rather than being replaced by an empty one.
      TvlNotebookBinder::MyFileNotFoundMessage(binder);
    } else if (!info.isFile()) {
      Prompts().Message(QStringLiteral("This is not a file:  ") + binder, TPromptIcon::piWarning);
    } else if (FWindow->SaveQuestion_MayLeaveBinder()) {
      if (FWindow->OpenBinderFile(binder))
        TraceWrite(QStringLiteral("Given binder opened; the window's title: ") +
                   FWindow->windowTitle());
    }
  }
  for (const QString &tab : tabs) {
    if (!FNotebook) return;
    TraceWrite(QStringLiteral("Importing the given tab ") + tab);
    if (FNotebook->OpenOneTabDocument(tab) >= 0)
      TraceWrite(QStringLiteral("Given tab imported: ") + tab);
  }
}

// ---------------------------------------------------------------------------------------------
// Bookmarks

void TvlProgram::RememberSavedBookmarks() { FSavedBookmarks = NonTypingEventsFingerprint(FDays); }

bool TvlProgram::BookmarksChangedSinceSave() const {
  return NonTypingEventsFingerprint(FDays) != FSavedBookmarks;
}

void TvlProgram::SaveChangedDayFiles() { FDays.Files_OnIdle_SaveDayFilesThatChanged(); }

void TvlProgram::IO_SaveNonTypingEvents(TvlXmlOut &Out) { FDays.IO_SaveNonTypingEvents(Out); }

QString TvlProgram::IO_LoadNonTypingEvents(TvlXmlIn &In) {
  // The bookmarks of the binder read before belong to it alone.
  FTimelines->EventsCleared();
  FTracks->EventsCleared();
  for (const TKindOfEvent kind : NonTypingKinds) {
    std::vector<TEventID> ids;
    FDays.ByKind_GetListOfEvents(kind, ids);
    for (const TEventID id : ids) FDays.Event_Delete(id);
  }
  return FDays.IO_LoadNonTypingEvents(In);
}
