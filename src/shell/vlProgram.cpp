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
#include "vlOptions.h"
#include "vlPrompts.h"
#include "vlShellSettings.h"
#include "vlWindowViewManager.h"
#include "vldGraphic.h"
#include "vldTemporal.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

namespace {

constexpr TKindOfEvent NonTypingKinds[] = {koeMarker,    koeLabel,      koeSketching, koeWebDings,
                                           koeWingDings, koeWingDings2, koeWingDings3};

}  // namespace

namespace {
// Of recordings that overlap at the moment asked for, the user chooses the one to play.
class TPromptsOverlapChooser final : public TOverlapChooser {
 public:
  QString Choose(const QStringList &Paths) override {
    return Prompts().ChooseItem(QStringLiteral("Select Overlapping Audio File"), Paths);
  }
};
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
  FTracks = std::make_unique<TvlTrackGlue>(FAudio, FFolders, FMedia, FOptions);
  FOverlapChooser = std::make_unique<TPromptsOverlapChooser>();
  FSound.SetOverlapChooser(FOverlapChooser.get());
  FBookmarkKeys = std::make_unique<TvlBookmarkKeys>(FOptions, FDays);
  FVertLevels = std::make_unique<TVisualizationVertLevelSource>(FTracks->Visualization());
  FSpelling = std::make_unique<TvlSpellingPart>(FOptions);
  // Pictures are fitted and padded as the sketching options say.
  const TOptions sketching;
  FInsetOptions.AutoEnlarge = sketching.AutoEnlarge;
  FInsetOptions.SketchPadding = sketching.SketchPadding;
}

TvlProgram::~TvlProgram() {
  FSeams.reset();
  FOptions.OnTrackSkinContrastChanged = nullptr;
  FSound.SetOverlapChooser(nullptr);
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

  // The window's commands, by responsibility, each over the window as its host.
  RWindowCommands commands;
  commands.Files = std::make_unique<TvlFileCommands>(Window, Window);
  commands.Playback = std::make_unique<TvlPlaybackCommands>(Window, Window, FOptions, *this);
  commands.Text = std::make_unique<TvlTextCommands>(Window);
  commands.Print = std::make_unique<TvlPrintCommands>(Window, FOptions);
  commands.Options = std::make_unique<TvlOptionsCommand>(Window, FOptions, *this);
  Window.SetCommands(std::move(commands));

  RProgramParts parts;
  parts.Notebook = FNotebook;
  parts.Audio = &FAudio;
  parts.Recordings = &FFolders;
  parts.DayFiles = &FDays;
  parts.Silence = &FSilence;
  parts.SilenceActions = FSilenceActions;
  Window.SetProgramParts(parts);
  Window.SetProgramLink(this);
  if (FSilenceActions)
    FSilenceActions->SetOnConfigureSchedule([this] {
      TSilenceSettingsOf<TRegistryData> store(FStore);
      TSilenceConfigFm window(FSchedule, &store, FWindow);
      window.exec();
    });
  FTimelines->Connect(Window, FNotebook);
  if (TVertTimeline *timeline = FTimelines->VertTimeline()) timeline->SetDayFiles(&FDays);
  FTracks->Connect(Window, FNotebook, *FTimelines);
  FTimelines->SetLevelSource(FVertLevels.get());
  FTimelines->SetTracksLink(FTracks.get());
  // The tracks' ruler follows the background contrast, after whoever listened before.
  FOptions.OnTrackSkinContrastChanged = [this,
                                         before = std::move(FOptions.OnTrackSkinContrastChanged)] {
    if (before) before();
    FTracks->RedrawTracks();
  };
  FBookmarkKeys->Connect(Window, FNotebook, *FTracks, *FTimelines);
  InstallSeams(Window);
}

// The parts the lower libraries reach through their seams, installed here and nowhere else. The
// window's two go with the window: the seams are put back when it is destroyed.
struct TvlProgram::RSeams {
  RSeams(TvlProgram &Program, TVellomarFm &Window)
      : Broker(EffectiveTimeBrokerSeam(), Window.EventBroker()),
        Host(EditorHostSeam(), Window.EditorHostPart()),
        Bookmarks(BookmarkSinkSeam(), Program.Timelines().BookmarkSinkPart()),
        Follower(TimelineFollowerSeam(), Program.Timelines().FollowerPart()),
        EventsIO(OtherEventsIOSeam(), Program),
        Typing(TypingEventSinkSeam(), Program.FDays.TypingSink()),
        Insets(InsetOptionsSeam(), Program.FInsetOptions),
        TextMenuPart(Window),
        SpellingPart(SpellingSeam(), *Program.FSpelling),
        TextMenu(TextMenuCommandsSeam(), TextMenuPart) {}
  TSeamInstall<TEffectiveTimeBroker> Broker;
  TSeamInstall<IEditorHost> Host;
  TSeamInstall<IBookmarkSink> Bookmarks;
  TSeamInstall<ITimelineFollower> Follower;
  TSeamInstall<TvlOtherEventsIO> EventsIO;
  TSeamInstall<TTypingEventSink> Typing;
  TSeamInstall<RInsetOptions> Insets;
  TvlWindowTextMenuCommands TextMenuPart;
  TSeamInstall<ISpelling> SpellingPart;
  TSeamInstall<ITextMenuCommands> TextMenu;
};

void TvlProgram::InstallSeams(TVellomarFm &Window) {
  FSeams.reset();
  FSeams = std::make_unique<RSeams>(*this, Window);
  QObject::connect(&Window, &QObject::destroyed, &Window, [this] { FSeams.reset(); });
}

void TvlProgram::LoadSilenceSchedule() {
  const TSilenceSettingsOf<TRegistryData> store(FStore);
  for (const QString &problem : FSchedule.Registry_LoadFrom(store)) TraceWrite(problem);
}

void TvlProgram::SaveSilenceSchedule() {
  TSilenceSettingsOf<TRegistryData> store(FStore);
  FSchedule.Registry_SaveTo(store);
}

int TvlProgram::SilenceProtectionLevelNow() { return FSilence.ScheduleLevelNow(); }

void TvlProgram::ReloadCurrentMediaMonth() { FFolders.Month_Reload(); }

void TvlProgram::OptionsApplied() {
  FAudio.ApplyAudioSettings(AudioSettingsFromOptions(FOptions));
  FTimelines->ApplyOptions();
  // Spelling switched on or off, or another dictionary: every view draws its marks again.
  FSpelling->OptionsApplied();
  ViewManager().InvalidateAll(nullptr);
}

void TvlProgram::BinderSavedOrOpened() {
  RememberSavedBookmarks();
  // The binder in use is the one the next start opens, even after a crash or a kill: its
  // journal is beside it (an unnamed binder's in the data folder) and is replayed there.
  if (!FNotebook) return;
  FStore.SetValue(QString::fromUtf16(vlSetting::AutoOpenBinder), FNotebook->BinderPathName());
  FStore.OnApplicationClose_WriteToRegistry();
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
  // The example is for the first opening only: a later Close or New must not bring it back.
  FNotebook->Binder().SetExampleBinderPathName(QString());
  if (!problems.trimmed().isEmpty()) {
    TraceWrite(QStringLiteral("Opening the binder ") + PathName + QStringLiteral(": ") + problems);
    Prompts().Message(problems.trimmed(), TPromptIcon::piWarning);
  }
  // Remembered at once, not at a normal exit: a start after a crash in this very session must
  // open this binder, where its journal is replayed.
  BinderSavedOrOpened();
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
    } else if (FWindow->FileCommands().SaveQuestion_MayLeaveBinder()) {
      if (FWindow->FileCommands().OpenBinderFile(binder))
        TraceWrite(QStringLiteral("Given binder opened; the window's title: ") +
                   FWindow->windowTitle());
    }
  }
  for (const QString &tab : tabs) {
    if (!FNotebook) return;
    TraceWrite(QStringLiteral("Importing the given tab ") + tab);
    if (FWindow->FileCommands().ImportTabFile(tab))
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
  FBookmarkKeys->EventsCleared();
  for (const TKindOfEvent kind : NonTypingKinds) {
    std::vector<TEventID> ids;
    FDays.ByKind_GetListOfEvents(kind, ids);
    for (const TEventID id : ids) FDays.Event_Delete(id);
  }
  return FDays.IO_LoadNonTypingEvents(In);
}

void TvlProgram::TypingEvents_Rebuild(const std::vector<const TDocument *> &Documents) {
  // Every ID changes: what the timelines hold of the events is let go first.
  FTimelines->EventsCleared();
  FTracks->EventsCleared();
  FBookmarkKeys->EventsCleared();
  FDays.Clear_KeepingNonTypingEvents();
  for (const TDocument *doc : Documents) {
    if (!doc) continue;
    for (int sn = doc->Section_Low(); sn <= doc->Section_High(); ++sn) {
      const TParagraph *p = doc->Paragraph_FromSectionNum(sn);
      if (!p) continue;
      for (int i = 1; i <= p->High(); ++i)
        FDays.AddTypingEvent(TypingEventMoment(p->Timestamp_Get(i)),
                             TypingEventText(p->Char_GetChar(i)));
    }
  }
  FTracks->BookmarksChanged();
}
