#include "vl09_Main.h"
#include "vlColorConversion.h"

#include "vl09_Hint.h"
#include "vl09_Options.h"
#include "vl09_RecentFiles.h"
#include "vl09_Registry.h"
#include "vlClock.h"
#include "vlColor.h"
#include "vlCommandMenus.h"
#include "vlEditorHost.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlKeyFilter.h"
#include "vlOptionsCommand.h"
#include "vlPrompts.h"
#include "vlRecordingIndicator.h"
#include "vlSearchArea.h"
#include "vlShellSettings.h"
#include "vlSplash.h"
#include "vlTextBullets.h"
#include "vlWindowAdapters.h"
#include "vlWindowBroker.h"
#include "vlWindowView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

bool GMainLoopRunning = false;
bool GClosingDown = false;

// The window's grey.
constexpr TColor MainWindowColor = 15724527;
// Stages of the audio start; the timer is restarted after each but the last.
constexpr int AudioStageMSecs = 25;
constexpr int LastAudioStage = 9;
// Idle work runs on a tick rather than on every empty event queue, which would spin a core.
constexpr int IdleTickMSecs = 100;
// The backup check and the day files' save alternate, one every five minutes.
constexpr std::int64_t IdleJobIntervalMSecs = 5 * 60 * 1000;
// The track panels' height until the tracks say what they need.
// Until the tracks are attached and say how high they are.
constexpr int PlaceholderTrackHeight = 110;

QString Name(const char16_t *Text) { return QString::fromUtf16(Text); }

// A panel's stand-in until its part is attached: a framed, labelled area.
QLabel *MakePlaceholder(const QString &Text, QWidget *Parent) {
  auto *label = new QLabel(Text, Parent);
  label->setObjectName(QStringLiteral("Placeholder"));
  label->setAlignment(Qt::AlignCenter);
  label->setWordWrap(true);
  label->setFrameShape(QFrame::StyledPanel);
  label->setStyleSheet(QStringLiteral(
      "QLabel#Placeholder { color: #707070; background: #F8F8F8; border: 1px dashed #A0A0A0; }"));
  return label;
}

QWidget *MakePanel(const QString &ObjectName, QWidget *Parent, bool Vertical = true) {
  auto *panel = new QWidget(Parent);
  panel->setObjectName(ObjectName);
  QBoxLayout *layout = Vertical ? static_cast<QBoxLayout *>(new QVBoxLayout(panel))
                                : static_cast<QBoxLayout *>(new QHBoxLayout(panel));
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  return panel;
}

// Runs one step of the teardown; a step that reports, or throws anything, is shown and the
// next step runs.
template <typename TBody>
void CloseStep(TBody &&Body) {
  RunGuarded(std::forward<TBody>(Body));
}

}  // namespace

bool TVellomarFm::MainLoopRunning() { return GMainLoopRunning; }
void TVellomarFm::SetMainLoopRunning(bool Running) { GMainLoopRunning = Running; }
bool TVellomarFm::ClosingDown() { return GClosingDown; }

TVellomarFm::TVellomarFm(TRegistryData &Store, TvlOptions &Options, TAudioStartup &Audio,
                         TSplashFm *Splash, QWidget *Parent)
    : QMainWindow(Parent), FStore(Store), FOptions(Options), FAudio(Audio), FSplash(Splash) {
  GClosingDown = false;
  FormCreate();
}

TVellomarFm::~TVellomarFm() {
  if (FKeyFilter) qApp->removeEventFilter(FKeyFilter.get());
  FKeyFilter.reset();
  SetWaitCursor(false);
}

void TVellomarFm::Progress(int Minor0To100, const QString &Msg) {
  if (FSplash) FSplash->Progress_MinorStep(Minor0To100, Msg);
}

// ---------------------------------------------------------------------------------------------
// Creating and showing

void TVellomarFm::FormCreate() {
  setObjectName(QStringLiteral("VellomarFm"));
  QPalette look = palette();
  look.setColor(QPalette::Window, TColorToQColor(MainWindowColor));
  setPalette(look);
  FProgramNameInCaptionStr = QStringLiteral("Vellomar \u00AE");
  setWindowTitle(FProgramNameInCaptionStr);

  Progress(40, QStringLiteral("Customizing main window"));
  vlHint = new TvlHint(this);
  TvlHint::StyleApplicationToolTips();
  setMinimumSize(vlSetting::Width.Min, vlSetting::Height.Min);
  setMaximumSize(vlSetting::Width.Max, vlSetting::Height.Max);
  CreateActions();
  // What the editor's keys ask of the window.
  FEditorHost = MakeWindowEditorHost(*this);
  FRecentlyUsedFiles =
      std::make_unique<TRecentFiles>(RegistryRootKey + QStringLiteral("\\RecentFiles"),
                                     FMenus->RecentSeparator(), FStore.IniPath());
  for (QAction *recent : aFileRecent)
    FRecentlyUsedFiles->RegisterMenuItemForListOfRecentFiles(recent);

  Progress(45, QStringLiteral("Initializing visual elements"));
  CreatePanels();
  // The moment new text and bookmarks get.
  FBroker = std::make_unique<TvlWindowBroker>(*this, *FTrackBarsPnl);

  // The tracks and the day file they show come with the timeline; their panels wait for them.
  Progress(50, QStringLiteral("Creating current DayFile"));
  Progress(55, QStringLiteral("Starting current DayFile"));
  Progress(60, QStringLiteral("Creating current track"));
  Progress(65, QStringLiteral("Creating historical DayFile"));
  Progress(70, QStringLiteral("Creating historical track"));
  Progress(75, QStringLiteral("Creating notebook"));
  FSearch->SetWidthWhenVisible(FStore.Get(vlSetting::SearchResultsWidth));

  Progress(80, QStringLiteral("Implementing saved states of view menu"));
  aToolsTimeline->setChecked(FStore.Get(vlSetting::ViewTimelineVertical));
  aToolsAudioControls->setChecked(FStore.Get(vlSetting::ViewAudioControls));
  aRecordStartAuto->setChecked(FStore.Get(vlSetting::RecordStartAutoAtCreate));
  FRecordingPnlWidth = FStore.Get(vlSetting::RecordingPnlWidth);
  FTimelineSidePnl->setVisible(aToolsTimeline->isChecked());
  FAudioControlsPnl->setVisible(aToolsAudioControls->isChecked());
  FTrackSplitter->setSizes({1000, FRecordingPnlWidth});

  Progress(85, QStringLiteral("Implementing state of View menu"));
  Progress(90, QStringLiteral("Pointing dialogs to initial folders"));

  // Audio actions wait for the staged audio start.
  SetAudioActionsEnabled(false);
  FRecorderActivityLbl->setText(QStringLiteral("Initializing"));

  FHotSpotsSupressed = FStore.GetStringDef(Name(vlSetting::HotSpotsSupressed), QString());
  FBackupTestLastDT = Now();

  FRecordingIndicator = std::make_unique<TvlRecordingIndicator>(*this, [this]() -> std::int64_t {
    TvlAudio *audio = FParts.Audio;
    if (FAudioFailed || !(audio ? audio->IsRecording() : FAudio.IsRecording())) return -1;
    return audio ? audio->Recording_LengthInMS() : MilliSecondsBetween(Now(), FRecordingSince);
  });

  FIdleTimer = new QTimer(this);
  FIdleTimer->setInterval(IdleTickMSecs);
  connect(FIdleTimer, &QTimer::timeout, this,
          [this] { RunGuarded([this] { ApplicationEvents1Idle(); }); });
  FKeyFilter = std::make_unique<TvlKeyFilter>(
      *this, FOptions, *FSpeedVolume,
      RKeyFilterAreas{FTrackBarsHeightFauxSplitterPnl, FSearchResultsPnl, FPlayControlsPnl,
                      FTrackBarOldPnl, FRecordingPnl});
  qApp->installEventFilter(FKeyFilter.get());
  Progress(95, QStringLiteral("Finished creating main window"));
}

void TVellomarFm::CreatePanels() {
  auto *body = new QWidget(this);
  body->setObjectName(QStringLiteral("BodyPnl"));
  auto *column = new QVBoxLayout(body);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // Audio controls: the two tool bars and the recorder's labels.
  FAudioControlsPnl = MakePanel(QStringLiteral("AudioControlsPnl"), body, false);
  FAudioActionToolBar = new QToolBar(FAudioControlsPnl);
  FAudioActionToolBar->setObjectName(QStringLiteral("AudioActionToolBar"));
  FTextActionToolBar = new QToolBar(FAudioControlsPnl);
  FTextActionToolBar->setObjectName(QStringLiteral("TextActionToolBar"));
  FRecorderActivityLbl = new QLabel(FAudioControlsPnl);
  FRecorderActivityLbl->setObjectName(QStringLiteral("RecorderActivityLbl"));
  FRecordingSourceLbl = new QLabel(FAudioControlsPnl);
  FRecordingSourceLbl->setObjectName(QStringLiteral("RecordingSourceLbl"));
  // The system mixer is never changed: the volume bar and its buttons set the player's own gain
  // (they are placed beside the speed bar with the commands).
  VolumeDownBtn = new QToolButton(FAudioControlsPnl);
  VolumeDownBtn->setToolTip(QStringLiteral("Softer"));
  VolumeUpBtn = new QToolButton(FAudioControlsPnl);
  VolumeUpBtn->setToolTip(QStringLiteral("Louder"));
  auto *controls = static_cast<QBoxLayout *>(FAudioControlsPnl->layout());
  controls->addWidget(FAudioActionToolBar);
  controls->addWidget(FTextActionToolBar);
  controls->addStretch(1);
  controls->addWidget(FRecorderActivityLbl);
  controls->addSpacing(12);
  controls->addWidget(FRecordingSourceLbl);
  controls->addSpacing(8);
  column->addWidget(FAudioControlsPnl);

  // The tracks: speed scale, historical track, divider, current-day track.
  FTrackBarsPnl = MakePanel(QStringLiteral("TrackBarsPnl"), body, false);
  FTrackBarsPnl->setFixedHeight(PlaceholderTrackHeight);
  FPlayControlsPnl = MakePanel(QStringLiteral("PlayControlsPnl"), FTrackBarsPnl);
  FPlayControlsPnl->setFixedWidth(70);
  FPlayControlsPnl->layout()->addWidget(MakePlaceholder(QStringLiteral("Speed"), FPlayControlsPnl));
  FTrackSplitter = new QSplitter(Qt::Horizontal, FTrackBarsPnl);
  FTrackSplitter->setObjectName(QStringLiteral("Splitter"));
  FTrackSplitter->setHandleWidth(4);
  FTrackSplitter->setToolTip(QStringLiteral("Movable divider between timelines."));
  FTrackBarOldPnl = MakePanel(QStringLiteral("TrackBarOldPnl"), FTrackSplitter);
  FTrackBarOldPnl->layout()->addWidget(
      MakePlaceholder(QStringLiteral("Historical track"), FTrackBarOldPnl));
  FRecordingPnl = MakePanel(QStringLiteral("RecordingPnl"), FTrackSplitter);
  FRecordingPnl->layout()->addWidget(
      MakePlaceholder(QStringLiteral("Current-day track"), FRecordingPnl));
  FTrackSplitter->addWidget(FTrackBarOldPnl);
  FTrackSplitter->addWidget(FRecordingPnl);
  FTrackSplitter->setStretchFactor(0, 1);
  FTrackSplitter->setStretchFactor(1, 0);
  connect(FTrackSplitter, &QSplitter::splitterMoved, this, [this] {
    FRecordingPnlWidth = std::max(1, FRecordingPnl->width());
    FStore.Set(vlSetting::RecordingPnlWidth, FRecordingPnlWidth);
  });
  FTrackBarsPnl->layout()->addWidget(FPlayControlsPnl);
  FTrackBarsPnl->layout()->addWidget(FTrackSplitter);
  column->addWidget(FTrackBarsPnl);

  FTrackBarsHeightFauxSplitterPnl = new QWidget(body);
  FTrackBarsHeightFauxSplitterPnl->setObjectName(QStringLiteral("TrackBarsHeightFauxSplitterPnl"));
  FTrackBarsHeightFauxSplitterPnl->setFixedHeight(3);
  FTrackBarsHeightFauxSplitterPnl->setCursor(Qt::SizeVerCursor);
  column->addWidget(FTrackBarsHeightFauxSplitterPnl);
  FToolsPnl = new QWidget(body);
  FToolsPnl->setObjectName(QStringLiteral("ToolsPnl"));
  FToolsPnl->setFixedHeight(1);
  FToolsPnl->hide();
  column->addWidget(FToolsPnl);

  // The body: vertical timeline, notebook, search results.
  FBodySplitter = new QSplitter(Qt::Horizontal, body);
  FBodySplitter->setObjectName(QStringLiteral("BodySplitter"));
  FBodySplitter->setChildrenCollapsible(false);
  FTimelineSidePnl = MakePanel(QStringLiteral("TimelineSidePnl"), FBodySplitter);
  FTimelineSidePnl->setMinimumWidth(1);
  // The input level strip; the level meter goes in with the vertical timeline.
  FHorizontalVuPnl = MakePanel(QStringLiteral("HorizontalVuPnl"), FTimelineSidePnl);
  FHorizontalVuPnl->setFixedHeight(5);
  FTranscriptionPnl = new QWidget(FTimelineSidePnl);
  FTranscriptionPnl->setObjectName(QStringLiteral("TranscriptionPnl"));
  FTranscriptionPnl->hide();
  FVertTimelinePnl = MakePanel(QStringLiteral("VertTimelinePnl"), FTimelineSidePnl, false);
  FVertTimelinePnl->layout()->addWidget(
      MakePlaceholder(QStringLiteral("Vertical timeline"), FVertTimelinePnl));
  FVertTimelineScrollBar = new QScrollBar(Qt::Vertical, FVertTimelinePnl);
  FVertTimelineScrollBar->setObjectName(QStringLiteral("VertTimelineScrollBar"));
  FVertTimelinePnl->layout()->addWidget(FVertTimelineScrollBar);
  FTimelineSidePnl->layout()->addWidget(FHorizontalVuPnl);
  FTimelineSidePnl->layout()->addWidget(FTranscriptionPnl);
  FTimelineSidePnl->layout()->addWidget(FVertTimelinePnl);

  FNotebookPnl = MakePanel(QStringLiteral("NotebookPnl"), FBodySplitter);
  FNotebookPnl->setMinimumWidth(95);
  FNotebookPnl->layout()->addWidget(MakePlaceholder(QStringLiteral("Notebook"), FNotebookPnl));

  FSearchResultsPnl = MakePanel(QStringLiteral("SearchResultsPnl"), FBodySplitter);
  FSearchResultsPnl->setMinimumWidth(150);
  // Shown by the search command; the search panel goes in with the commands.
  FSearchResultsPnl->hide();

  FBodySplitter->addWidget(FTimelineSidePnl);
  FBodySplitter->addWidget(FNotebookPnl);
  FBodySplitter->addWidget(FSearchResultsPnl);
  FBodySplitter->setStretchFactor(0, 0);
  FBodySplitter->setStretchFactor(1, 1);
  FBodySplitter->setStretchFactor(2, 0);
  column->addWidget(FBodySplitter, 1);
  setCentralWidget(body);
  CreateCommandPanels();
}

void TVellomarFm::ShowTimelineSide(bool On) {
  FTimelineSidePnl->setVisible(On);
  FStore.Set(vlSetting::ViewTimelineVertical, On);
}

void TVellomarFm::ShowAudioControls(bool On) {
  FAudioControlsPnl->setVisible(On);
  FStore.Set(vlSetting::ViewAudioControls, On);
}

void TVellomarFm::Attach(QWidget *Panel, QWidget *&Slot, QWidget *Part) {
  if (!Part) return;
  auto *layout = qobject_cast<QBoxLayout *>(Panel->layout());
  int at = layout->count();
  const auto placeholders =
      Panel->findChildren<QLabel *>(QStringLiteral("Placeholder"), Qt::FindDirectChildrenOnly);
  for (QLabel *placeholder : placeholders) {
    at = std::min(at, layout->indexOf(placeholder));
    delete placeholder;
  }
  if (Slot) {
    at = std::min(at, layout->indexOf(Slot));
    delete Slot;
  }
  Part->setParent(Panel);
  layout->insertWidget(std::max(0, at), Part, 1);
  Slot = Part;
}

void TVellomarFm::AttachNotebook(QWidget *Notebook) {
  Attach(FNotebookPnl, vlRootNotebook, Notebook);
}
void TVellomarFm::AttachHistoricalTrack(QWidget *Track) {
  Attach(FTrackBarOldPnl, vlTrackOld, Track);
}
void TVellomarFm::SetTrackBarsHeight(int Height) {
  FTrackBarsPnl->setFixedHeight(std::max(PlaceholderTrackHeight / 2, Height));
}
int TVellomarFm::TrackBarsHeight() const { return FTrackBarsPnl->maximumHeight(); }
void TVellomarFm::AttachCurrentTrack(QWidget *Track) { Attach(FRecordingPnl, vlTrackNow, Track); }
void TVellomarFm::AttachVertTimeline(QWidget *Timeline) {
  Attach(FVertTimelinePnl, VertTimeline, Timeline);
}
void TVellomarFm::AttachSearchResults(QWidget *Results) {
  Attach(FSearchResultsPnl, FSearchResults, Results);
}

void TVellomarFm::showEvent(QShowEvent *Event) {
  QMainWindow::showEvent(Event);
  if (FShownOnce) return;
  FShownOnce = true;
  RunGuarded([this] { FormShow(); });
  FIdleTimer->start();
  RunIdleSoon();
}

void TVellomarFm::RunIdleSoon() {
  QTimer::singleShot(0, this, [this] { RunGuarded([this] { ApplicationEvents1Idle(); }); });
}

void TVellomarFm::FormShow() {
  Progress(10, QStringLiteral("FormShow"));
  QList<QRect> workAreas;
  for (const QScreen *screen : QGuiApplication::screens()) workAreas << screen->availableGeometry();
  const QScreen *primary = QGuiApplication::primaryScreen();
  const QRect primaryArea = primary ? primary->availableGeometry() : QRect(0, 0, 800, 600);
  setGeometry(MainWindowBounds(FStore, primaryArea, workAreas));
  const int sideWidth = FStore.Get(vlSetting::TimelineSidePnlWidth);
  FStore.Set(vlSetting::TimelineSidePnlWidth, sideWidth);
  FBodySplitter->setSizes({sideWidth, std::max(1, width() - sideWidth), 0});

  Progress(20, QStringLiteral("Reading Registry"));
  if (FProgram) FProgram->LoadSilenceSchedule();
  FOptions.Registry_LoadFrom(FStore);
  SetAutoBullets(FOptions.FAutoBullets);
  if (FBookmarkKeys) FBookmarkKeys->RebuildKeyCommands();
  aRecordStartAuto->setChecked(FOptions.RecordStartAuto);
  ApplyJumpBackKey();

  Progress(40, QStringLiteral("Load Notebook"));
  if (FProgram) {
    const TMouseEventsBlock block;
    FProgram->OpenBinder(FStore.GetStringDef(Name(vlSetting::AutoOpenBinder), QString()));
  }
  if (FCommands.Files) FCommands.Files->SetCaptionForBinder();
  FReopenWhen = ReopenWhen(FStore, Now());
  FReopenZoom = FStore.Get(vlSetting::ReopenZoom);

  Progress(60, QStringLiteral("Loading audio visualizations"));
  Progress(70, QStringLiteral("Setup timeline"));
  if (FTracks) {
    FTracks->SetupHistoricalTrack(FReopenWhen, FReopenZoom);
    FTracks->TempoChanged(FOptions.FWantTempo, Speed());
  }
  FBroker->SetPrepared(true);
}

void TVellomarFm::resizeEvent(QResizeEvent *Event) {
  QMainWindow::resizeEvent(Event);
  // The side panel never takes all but 200 pixels of the window.
  if (FTimelineSidePnl->width() > width() - 200 && width() > 201) {
    QList<int> sizes = FBodySplitter->sizes();
    if (sizes.size() == 3) {
      const int total = sizes[0] + sizes[1] + sizes[2];
      sizes[0] = width() - 200;
      sizes[1] = std::max(1, total - sizes[0] - sizes[2]);
      FBodySplitter->setSizes(sizes);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Staged audio start

void TVellomarFm::SetWaitCursor(bool On) {
  if (On == FWaitCursorOn) return;
  FWaitCursorOn = On;
  if (On)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void TVellomarFm::SetAudioActionsEnabled(bool Enabled) {
  for (QAction *action :
       {aPlayStart, aButtonStopBoth, aPlayInstantReplay, aPlaySegment, aRecordStart})
    action->setEnabled(Enabled);
}

void TVellomarFm::BarelyDidApplicationRun_ScheduleAudioInitialization() {
  if (AudioInitializationTimer || FAudioInitializationStage > 0) return;
  AudioInitializationTimer = new QTimer(this);
  AudioInitializationTimer->setSingleShot(true);
  AudioInitializationTimer->setInterval(AudioStageMSecs);
  connect(AudioInitializationTimer, &QTimer::timeout, this,
          [this] { RunGuarded([this] { AudioInitializationTimerTimer(); }); });
  SetWaitCursor(true);
  AudioInitializationTimer->start();
}

void TVellomarFm::AudioInitializationTimerTimer() {
  if (FAudioFailed || FAudioInitializationStage >= LastAudioStage) return;
  if (AudioInitializationTimer) AudioInitializationTimer->stop();
  // The stages that only count run back to back; the timer's pause follows the two that bring
  // up audio components, so that the window can draw in between (stages 1-5, 6, then 7-9).
  for (;;) {
    ++FAudioInitializationStage;
    const int stage = FAudioInitializationStage;
    const QString failure = RunAudioStage(stage);
    if (!failure.isEmpty()) {
      AudioInitializationFailed(failure);
      return;
    }
    if (stage >= LastAudioStage) break;
    if (stage == 5 || stage == 6) {
      if (AudioInitializationTimer) AudioInitializationTimer->start();
      return;
    }
  }
  AudioStartEnded();
}

QString TVellomarFm::RunAudioStage(int Stage) {
  QString failure;
  bool completed = false;
  RunGuarded([&] {
    switch (Stage) {
      case 5: failure = FAudio.InitializeRecorder(); break;
      case 6: failure = FAudio.InitializeMisc(); break;
      case 7: failure = FAudio.ApplyAudioOptions(); break;
      default: break;
    }
    if (failure.isEmpty() && Stage == 7) DoScheduledAudioInitialization();
    if (failure.isEmpty() && Stage == 8) {
      SetAudioActionsEnabled(true);
      SetWaitCursor(false);
    }
    completed = true;
  });
  if (!completed && failure.isEmpty()) failure = QStringLiteral("Audio could not start");
  return failure;
}

void TVellomarFm::DoScheduledAudioInitialization() {
  UpdateTrackBarNowRecordingState();
  SetWindowOpacityIfAny(this, 1.0);
  if (FNotebook) FNotebook->FocusActivePage();
  // The system's microphone level is left as the user set it: the recorder's gain is its own.
  FAudioReady = true;
  if (aRecordStartAuto->isChecked() && !FAudio.IsRecording()) FAudio.StartRecording();
  if (FTracks) FTracks->SetTrackTimersEnabled(true);
}

void TVellomarFm::AudioInitializationFailed(const QString &Reason) {
  // The program runs on as a notes program: the audio actions stay off, the cursor comes back,
  // and a close that waited for audio happens now.
  FAudioFailed = true;
  FAudioReady = false;
  FAudioFailure = Reason;
  if (AudioInitializationTimer) AudioInitializationTimer->stop();
  SetAudioActionsEnabled(false);
  // The disabled buttons say why, also while the audio controls and their label are hidden.
  for (QAction *action :
       {aPlayStart, aButtonStopBoth, aPlayInstantReplay, aPlaySegment, aRecordStart})
    action->setToolTip(action->text().remove(QLatin1Char('&')) + QStringLiteral(": ") + Reason);
  SetWaitCursor(false);
  TraceWrite(QStringLiteral("Audio start failed at stage %1: %2")
                 .arg(FAudioInitializationStage)
                 .arg(Reason));
  UpdateTrackBarNowRecordingState();
  AudioStartEnded();
}

void TVellomarFm::AudioStartEnded() {
  if (FAudioReady) TraceWrite(QStringLiteral("Audio ready"));
  Q_EMIT AudioStartFinished(FAudioReady);
  if (FCloseApplicationWhenAudioIsInitialized) {
    FCloseApplicationWhenAudioIsInitialized = false;
    close();
  }
}

// ---------------------------------------------------------------------------------------------
// Idle work

void TVellomarFm::ApplicationEvents1Idle() {
  if (!GMainLoopRunning || GClosingDown) return;
  if (FTracks) FTracks->RepaintInvalidatedTracks();
  RefreshVolumeBar();

  // A clock set back must not hold the jobs off until it catches up again.
  const TDateTime now = Now();
  if (std::llround(std::fabs(now - FBackupTestLastDT) * MSecsPerDay) >= IdleJobIntervalMSecs) {
    if (FBackupTestTurn == 1) {
      if (FNotebook) FNotebook->SaveNotebookAsBackupMaybe();
    } else {
      if (FEvents) FEvents->SaveChangedDayFiles();
    }
    FBackupTestTurn = FBackupTestTurn == 1 ? 2 : 1;
    FBackupTestLastDT = now;
  }

  if (isVisible() && !FDidInitialSetFocus) {
    BarelyDidApplicationRun_ScheduleAudioInitialization();
    FDidInitialSetFocus = !FNotebook || FNotebook->FocusActivePage();
  }

  if (AudioInitializationTimer && !AudioInitializationTimer->isActive() &&
      (FAudioReady || FAudioFailed)) {
    AudioInitializationTimer->deleteLater();
    AudioInitializationTimer = nullptr;
  }

  if (FTimelines) FTimelines->DoPendingTimelineChange();

  if (FAudioReady_StartRecording) {
    if (FAudioReady) {
      if (!FAudio.IsRecording()) FAudio.StartRecording();
      FAudioReady_StartRecording = false;
    } else if (FAudioFailed) {
      FAudioReady_StartRecording = false;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Recording callbacks

void TVellomarFm::Callback_RecordingStarted() {
  FRecordingSince = Now();
  aRecordStart->setChecked(true);
  UpdateTrackBarNowRecordingState();
}

void TVellomarFm::Callback_RecordingStopped() {
  if (FProgram) FProgram->ReloadCurrentMediaMonth();
  if (FTimelines) FTimelines->ShowInputLevel(0);
  FLastRecordingStoppedDT = Now();
  aRecordStart->setChecked(false);
  UpdateTrackBarNowRecordingState();
}

void TVellomarFm::UpdateTrackBarNowRecordingState() {
  QPalette look = FRecorderActivityLbl->palette();
  if (FAudioFailed) {
    FRecorderActivityLbl->setText(FAudioFailure);
    FRecordingSourceLbl->setText(QStringLiteral("Recording and playback are off"));
    look.setColor(QPalette::WindowText, Qt::black);
  } else if (FAudio.IsRecording()) {
    const QString source = FAudio.CurrentSourceName();
    FRecorderActivityLbl->setText(source.isEmpty() ? QStringLiteral("Recording")
                                                   : QStringLiteral("Recording from ") + source);
    look.setColor(QPalette::WindowText, TColorToQColor(RecordingColor));
  } else {
    FRecorderActivityLbl->setText(QStringLiteral("Not Recording"));
    FRecordingSourceLbl->clear();
    look.setColor(QPalette::WindowText, Qt::black);
  }
  FRecorderActivityLbl->setPalette(look);
  RefreshRecordingIndicator();
}

void TVellomarFm::RefreshRecordingIndicator() {
  if (FRecordingIndicator) FRecordingIndicator->Refresh();
}

QLabel *TVellomarFm::RecordingIndicatorLbl() const { return FRecordingIndicator->Label(); }

// ---------------------------------------------------------------------------------------------
// Closing

void TVellomarFm::closeEvent(QCloseEvent *Event) {
  if (FFormCloseDone) {
    Event->accept();
    return;
  }
  bool canClose = false;
  RunGuarded([&] { canClose = FormCloseQuery(); });
  if (!canClose) {
    Event->ignore();
    return;
  }
  FormClose();
  Event->accept();
}

bool TVellomarFm::FormCloseQuery() {
  // Audio components must not be torn down halfway through their start: the close is carried
  // out when the start ends, whether audio came up or failed.
  if (FShownOnce && !FAudioFailed && FAudioInitializationStage < LastAudioStage) {
    FCloseApplicationWhenAudioIsInitialized = true;
    return false;
  }
  if (!FNotebook) return true;
  if (!AskSaveBeforeLeavingBinder(FNotebook, FEvents)) return false;
  FStore.SetValue(Name(vlSetting::AutoOpenBinder), FNotebook->BinderPathName());
  FNotebook->CloseBinderAtExit();
  return true;
}

void TVellomarFm::EmergencyBackup() {
  RunGuarded([this] {
    if (FNotebook) FNotebook->SaveNotebookAsBackupNow();
  });
}

void TVellomarFm::CloseForTermination() {
  if (FFormCloseDone) return;
  TraceWrite(QStringLiteral("Ending on a termination signal"));
  EmergencyBackup();
  // The binder stays open, so its backup is found and offered at the next start.
  RunGuarded([this] {
    if (FNotebook) FStore.SetValue(Name(vlSetting::AutoOpenBinder), FNotebook->BinderPathName());
  });
  FormClose();
}

void TVellomarFm::DebugCaption(const QString &Text) {
  if (ErrorLog().DebugSwitch()) setWindowTitle(Text);
}

void TVellomarFm::FormClose() {
  if (FFormCloseDone) return;
  FFormCloseDone = true;
  // Each step runs on its own: one that fails is shown and the rest still run, so the
  // settings and the recent files are always written.
  CloseStep([this] { DebugCaption(QStringLiteral("Entered FormClose")); });
  GMainLoopRunning = false;
  CloseStep([this] { FAudio.StopRecording(); });
  CloseStep([this] { FAudio.StopPlaying(); });
  CloseStep([this] { DebugCaption(QStringLiteral("Stopped Play")); });
  GClosingDown = true;
  FIdleTimer->stop();
  if (AudioInitializationTimer) AudioInitializationTimer->stop();
  SetWaitCursor(false);
  CloseStep([this] {
    if (FTracks) FTracks->SetTrackTimersEnabled(false);
  });
  CloseStep([this] { DebugCaption(QStringLiteral("About to call vlDayFilesManager")); });
  CloseStep([this] {
    if (FNotebook) FNotebook->SaveListOfOpenDocuments();
  });
  CloseStep([this] { DebugCaption(QStringLiteral("About to call SaveNotebook_")); });
  CloseStep([this] { DebugCaption(QStringLiteral("About to call Registry_SaveTo")); });
  CloseStep([this] { FOptions.Registry_SaveTo(FStore); });
  CloseStep([this] {
    if (FProgram) FProgram->SaveSilenceSchedule();
  });
  // A window that was never shown has no bounds of the user's to keep.
  if (FShownOnce)
    CloseStep([this] {
      StoreMainWindowBounds(FStore, normalGeometry());
      FStore.Set(vlSetting::TimelineSidePnlWidth,
                 std::clamp(FTimelineSidePnl->width(), vlSetting::TimelineSidePnlWidth.Min,
                            vlSetting::TimelineSidePnlWidth.Max));
    });
  CloseStep([this] {
    StoreReopenWhen(FStore, FTracks ? FTracks->HistoricalTrackWhen() : FReopenWhen);
    FStore.Set(vlSetting::ReopenZoom, FTracks ? FTracks->HistoricalTrackZoom() : FReopenZoom);
  });
  CloseStep([this] {
    FStore.Set(vlSetting::SearchResultsWidth, FSearch->WidthWhenVisible());
    FStore.SetValue(Name(vlSetting::HotSpotsSupressed), FHotSpotsSupressed);
  });
  CloseStep([this] { DebugCaption(QStringLiteral("About to call _WriteToRegistry")); });
  CloseStep([this] { FStore.OnApplicationClose_WriteToRegistry(); });
  CloseStep([this] { DebugCaption(QStringLiteral("About to Hide")); });
  CloseStep([this] { hide(); });
  // The parts go in a fixed order: the views that show the day's events before the notebook and
  // the tracks they refer to, the recent files (which save their list) last but the hint.
  CloseStep([this] {
    delete VertTimeline;
    VertTimeline = nullptr;
  });
  CloseStep([this] {
    delete VolumeDownBtn;
    delete VolumeUpBtn;
    VolumeDownBtn = VolumeUpBtn = nullptr;
  });
  CloseStep([this] {
    delete FHorizontalVuPnl;
    FHorizontalVuPnl = nullptr;
  });
  CloseStep([this] {
    delete vlRootNotebook;
    vlRootNotebook = nullptr;
    FNotebook = nullptr;
  });
  CloseStep([this] {
    delete vlTrackOld;
    vlTrackOld = nullptr;
  });
  CloseStep([this] {
    delete vlTrackNow;
    vlTrackNow = nullptr;
  });
  CloseStep([this] { FRecentlyUsedFiles.reset(); });
  CloseStep([this] {
    delete vlHint;
    vlHint = nullptr;
  });
}
