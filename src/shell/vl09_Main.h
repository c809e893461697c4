#pragma once
// The main window: its panels and splitters, how it comes up (created behind the splash, shown,
// then audio brought up in stages on a 25 ms timer so the window appears quickly), what it does
// while the program is idle, and how it closes (the save question, then a teardown in a fixed
// order that always ends with the settings written).
//
// The notebook, the two tracks and the vertical timeline are labelled placeholders in the panels
// where they belong until each is put in with its Attach call; the parts whose logic the window
// consults are links the program installs (vlMainWindowLinks.h): the notebook, the bookmarks,
// the program itself, the track panel and the timeline panel.
//
// The rest is done by classes of their own that the window holds: the menus, tool bars and
// actions made from the action table (vlCommandMenus.h, vlActionTable.h), whose commands live in
// classes by responsibility (vlFileCommands.h, vlPlaybackCommands.h, vlTextCommands.h,
// vlPrintCommands.h, vlOptionsCommand.h), built by the program over the window as their host
// (vlCommandHost.h), handed over with SetCommands and acting on the parts set with
// SetProgramParts; the keys caught for the whole program (vlKeyFilter.h); the event broker that
// gives new text and bookmarks their moment and track (vlWindowBroker.h); the search area
// (vlSearchArea.h) and the recording indicator (vlRecordingIndicator.h). vl09_MainCommands.cpp
// connects them to the window. The broker and the editor host (vlWindowAdapters.h) are the
// window's; the program installs them behind their seams (vlSeam.h).
//
// Called on the user-interface thread only. Every entry point Qt calls runs guarded: a report
// with a dialog ends the operation in progress, never the program.

#include "vlAudioStartup.h"
#include "vlCommandHost.h"
#include "vlDateTime.h"
#include "vlEventBroker.h"
#include "vlFileCommands.h"
#include "vlMainWindowLinks.h"
#include "vlOptionsCommand.h"
#include "vlPlaybackCommands.h"
#include "vlPrintCommands.h"
#include "vlRecordingIndicator.h"
#include "vlSpeedVolumeBars.h"
#include "vlTextCommands.h"
#include "vldFontsInUse.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QScrollBar;
class QSlider;
class QSplitter;
class QTimer;
class QToolBar;
class QToolButton;
class IEditorHost;
class TDocument;
class TOptionsFm;
class TRecentFiles;
class TRegistryData;
class TSearchPanel;
class TEffectiveTimeBroker;
class TSplashFm;
class TvlHint;
class TvlKeyFilter;
class TvlSearchArea;
class TvlWindowBroker;
class TvlCommandMenus;
class TvlOptions;

// The commands, by responsibility, that the window's actions run. The program builds them over
// the window (their host) and hands them over with SetCommands; a window without one of them
// does nothing on its actions.
struct RWindowCommands {
  std::unique_ptr<TvlFileCommands> Files;
  std::unique_ptr<TvlPlaybackCommands> Playback;
  std::unique_ptr<TvlTextCommands> Text;
  std::unique_ptr<TvlPrintCommands> Print;
  std::unique_ptr<TvlOptionsCommand> Options;
};

class TVellomarFm : public QMainWindow,
                    public TCommandHost,
                    public TFileCommandsHost,
                    public TPlaybackCommandsHost {
  Q_OBJECT

 public:
  // Creates the window and its panels (FormCreate), drawing its steps on Splash when given.
  // Store, Options and Audio are not owned and must outlive the window.
  TVellomarFm(TRegistryData &Store, TvlOptions &Options, TAudioStartup &Audio,
              TSplashFm *Splash = nullptr, QWidget *Parent = nullptr);
  ~TVellomarFm() override;

  // --- Attach points. Each replaces its placeholder; the window owns the part from then on.
  void AttachNotebook(QWidget *Notebook);
  void AttachHistoricalTrack(QWidget *Track);
  // The tracks' height (their bands and time machines), as they lay themselves out: the panel
  // holding them takes it, so that nothing of them is cut at the lower edge.
  void SetTrackBarsHeight(int Height);
  // The height the tracks' panel is given (its layout follows at the next event loop pass).
  int TrackBarsHeight() const;
  void AttachCurrentTrack(QWidget *Track);
  void AttachVertTimeline(QWidget *Timeline);
  void AttachSearchResults(QWidget *Results);
  // Not owned; nullptr detaches.
  void SetNotebookLink(TNotebookLink *Link) { FNotebook = Link; }
  void SetEventsLink(TEventsLink *Link) { FEvents = Link; }
  void SetProgramLink(TProgramLink *Link) { FProgram = Link; }
  void SetTrackPanelLink(TTrackPanelLink *Link) { FTracks = Link; }
  void SetTimelinePanelLink(TTimelinePanelLink *Link) { FTimelines = Link; }
  void SetBookmarkKeysLink(TBookmarkKeysLink *Link) { FBookmarkKeys = Link; }
  // The installed links (the composition test checks that none is left out).
  TNotebookLink *NotebookLink() const override { return FNotebook; }
  TEventsLink *EventsLink() const override { return FEvents; }
  TProgramLink *ProgramLink() const override { return FProgram; }
  TTrackPanelLink *TrackPanelLink() const override { return FTracks; }
  TTimelinePanelLink *TimelinePanelLink() const override { return FTimelines; }
  TBookmarkKeysLink *BookmarkKeysLink() const override { return FBookmarkKeys; }
  // The parts the commands act on; set once, before the window is shown. A notebook given here
  // also serves as the notebook link when none was set, and fills the search panel.
  void SetProgramParts(const RProgramParts &Parts);
  const RProgramParts &Parts() const override { return FParts; }
  // The command classes the program built over this window (the window builds none itself);
  // each one given replaces the one held before.
  void SetCommands(RWindowCommands Commands);
  const RWindowCommands &Commands() const { return FCommands; }
  // TCommandHost: the window is the parent of the commands' dialogs.
  QWidget &DialogParent() override { return *this; }

  // --- The process-wide flags. The main loop flag is set by the program just before its event
  // loop runs; nothing idles until then. The closing-down flag is set while the window closes:
  // level events and repaint requests are ignored from then on.
  static bool MainLoopRunning();
  static void SetMainLoopRunning(bool Running);
  static bool ClosingDown();

  // --- Staged audio start.
  void BarelyDidApplicationRun_ScheduleAudioInitialization();
  // One tick of AudioInitializationTimer: runs the next stage.
  void AudioInitializationTimerTimer();
  bool AudioReady() const override { return FAudioReady; }
  // A stage failed: audio stays off for the run, the window can close.
  bool AudioFailed() const { return FAudioFailed; }
  int AudioInitializationStage() const { return FAudioInitializationStage; }
  bool CloseApplicationWhenAudioIsInitialized() const {
    return FCloseApplicationWhenAudioIsInitialized;
  }
  bool HasAudioInitializationTimer() const { return AudioInitializationTimer != nullptr; }
  // Start recording at the next idle pass (or once audio is ready).
  void RequestRecordingWhenReady() override { FAudioReady_StartRecording = true; }

  // --- Idle work, run by a 100 ms tick while the main loop runs.
  void ApplicationEvents1Idle();
  // An idle pass as soon as the event loop gets to it rather than a tick later: the program
  // asks for one when its loop starts, so the audio start begins without waiting.
  void RunIdleSoon();

  // --- Called by the audio facade.
  void Callback_RecordingStarted();
  void Callback_RecordingStopped();
  void UpdateTrackBarNowRecordingState();
  // While recording: a red dot and the time recorded so far in front of the window's title and
  // in the status bar, refreshed every second; nothing when not recording. Called whenever the
  // title is set anew, so the indicator stays in front of it.
  void RefreshRecordingIndicator();
  QLabel *RecordingIndicatorLbl() const;
  TDateTime LastRecordingStoppedDT() const { return FLastRecordingStoppedDT; }

  // --- Closing. FormCloseQuery answers whether the window may close now; FormClose tears down.
  bool FormCloseQuery();
  void FormClose();
  bool FormCloseDone() const { return FFormCloseDone; }
  // The program must end now, without a question (a termination signal): the notebook is
  // backed up so the next start offers the work again, then the window closes in order.
  void CloseForTermination();
  // Writes the notebook's backup at once; never throws.
  void EmergencyBackup();

  // --- Panels and actions that start-up and the commands share.
  QString ProgramNameInCaptionStr() const { return FProgramNameInCaptionStr; }
  int RecordingPnlWidth() const { return FRecordingPnlWidth; }
  TvlHint *Hint() const override { return vlHint; }
  TRecentFiles *RecentlyUsedFiles() const override { return FRecentlyUsedFiles.get(); }
  // The title: the program's name, and the binder's file name when it has one; the recording
  // indicator stays in front.
  void ShowBinderInTitle(const QString &FileName) override;
  void ClearSearchResults() override;
  QLabel *RecorderActivityLbl() const { return FRecorderActivityLbl; }
  QScrollBar *VertTimelineScrollBar() const { return FVertTimelineScrollBar; }
  // The strip above the vertical timeline where the input level shows.
  QWidget *HorizontalVuPnl() const { return FHorizontalVuPnl; }
  QWidget *NotebookPnl() const { return FNotebookPnl; }
  QWidget *TranscriptionPnl() const override { return FTranscriptionPnl; }
  QWidget *SearchResultsPnl() const { return FSearchResultsPnl; }
  QWidget *AudioControlsPnl() const { return FAudioControlsPnl; }
  QWidget *TrackBarOldPnl() const { return FTrackBarOldPnl; }
  QWidget *RecordingPnl() const { return FRecordingPnl; }
  QMenu *FileMenu() const;
  QMenu *SilenceMenu() const;
  QToolBar *AudioActionToolBar() const { return FAudioActionToolBar; }
  QToolBar *TextActionToolBar() const { return FTextActionToolBar; }

  QAction *aFileExit;
  QAction *aRecordStart;
  QAction *aRecordStartAuto;
  QAction *aPlayStart;
  QAction *aPlayInstantReplay;
  QAction *aPlaySegment;
  QAction *aButtonStopBoth;
  QAction *aSilenceScheduled;
  QAction *aToolsTimeline;
  QAction *aToolsAudioControls;
  // aFileRecent01 .. 06, then aFileRecentSubmenu07 .. 16.
  std::array<QAction *, 16> aFileRecent;

  // --- Commands (vl09_MainCommands.cpp). Each acts on the program's parts; a part that is
  // missing makes its commands do nothing.
  // Every action by its name ("aPlaySpeedFaster"); nullptr for an unknown name.
  QAction *Action(const QString &Name) const override;

  // The commands, by responsibility; the window's actions run them. Only once SetCommands has
  // handed them over.
  TvlFileCommands &FileCommands() { return *FCommands.Files; }
  TvlPlaybackCommands &PlaybackCommands() { return *FCommands.Playback; }
  TvlTextCommands &TextCommands() { return *FCommands.Text; }
  TvlPrintCommands &PrintCommands() { return *FCommands.Print; }
  // What the staged audio start and the recording commands ask of the audio side.
  TAudioStartup &AudioStartup() { return FAudio; }

  // The speed bar (percent) and the volume bar.
  int Speed() const override;
  void SetSpeed(int Speed);
  QSlider *TempoTrackBar() const { return FSpeedVolume->TempoBar(); }
  QLabel *TempoDisplayLbl() const { return FSpeedVolume->TempoDisplay(); }
  QSlider *VolumeTB() const { return FSpeedVolume->VolumeBar(); }
  // Shows the options window on the page whose caption contains Page (nothing without the
  // options command).
  void ShowOptions(const QString &Page) override;
  // nullptr until first shown.
  TOptionsFm *OptionsWindow() const;
  // The options' instant replay key: Ctrl+R (character 18) is the action's shortcut; another
  // character is caught by the key filter; 0 is no key at all.
  void ApplyJumpBackKey();

  // The event broker: the track a new bookmark goes to, the moment a character typed at the
  // active page's caret gets, and the rule the document model asks through its broker seam.
  TBrokerTrack NewEventBroker_Track() const;
  TDateTime NewEventBroker_When(QChar Ch) const;
  TDateTime BrokeredEffectiveWhen(TDateTime DocumentContextDT) const;
  // The window's parts behind the document's and the editor's seams (vlSeam.h); the program
  // installs them at start-up.
  TEffectiveTimeBroker &EventBroker();
  IEditorHost &EditorHostPart() { return *FEditorHost; }
  // Start-up has finished preparing the window (the broker answers "now" until then).
  void SetPreparedForBroker(bool Prepared);

  // Tools: the vertical timeline's side panel and the audio controls shown or hidden (stored).
  void ShowTimelineSide(bool On);
  void ShowAudioControls(bool On);

  // Help > Show or Hide Tip Markers: the markers the user hid ("All": every one).
  void SetHotSpotsSupressed(const QString &Which) { FHotSpotsSupressed = Which; }

  // Search.
  void aEditFindExecute();
  void SearchClose();
  TSearchPanel *SearchPanel() const;

  // How Help opens a page or address; tests replace it. The default asks the desktop.
  std::function<bool(const QUrl &Url)> OpenUrl;

 Q_SIGNALS:
  // The staged audio start has ended, with audio ready or failed.
  void AudioStartFinished(bool Ready);

 protected:
  void showEvent(QShowEvent *Event) override;
  void closeEvent(QCloseEvent *Event) override;
  void resizeEvent(QResizeEvent *Event) override;

 private:
  void FormCreate();
  void FormShow();
  // The menus, the tool bars and the actions from the action table (vlCommandMenus.h), and
  // what the window itself connects to them.
  void CreateActions();
  // The speed and volume bars and the search panel.
  void CreateCommandPanels();
  void RefreshVolumeBar();
  void CreatePanels();
  void DoScheduledAudioInitialization();
  // Runs one stage's work guarded; the reason it failed, empty when it worked.
  QString RunAudioStage(int Stage);
  void AudioInitializationFailed(const QString &Reason);
  void AudioStartEnded();
  void SetAudioActionsEnabled(bool Enabled);
  void SetWaitCursor(bool On);
  // Puts Part into Panel in place of its placeholder (or of the part attached before).
  void Attach(QWidget *Panel, QWidget *&Slot, QWidget *Part);
  void Progress(int Minor0To100, const QString &Msg);
  void DebugCaption(const QString &Text);

  TRegistryData &FStore;
  TvlOptions &FOptions;
  TAudioStartup &FAudio;
  QPointer<TSplashFm> FSplash;
  TNotebookLink *FNotebook = nullptr;
  TEventsLink *FEvents = nullptr;
  TProgramLink *FProgram = nullptr;
  TTrackPanelLink *FTracks = nullptr;
  TTimelinePanelLink *FTimelines = nullptr;
  TBookmarkKeysLink *FBookmarkKeys = nullptr;
  RProgramParts FParts;

  QString FProgramNameInCaptionStr;
  bool FAudioReady = false;
  bool FAudioReady_StartRecording = false;
  bool FAudioFailed = false;
  QString FAudioFailure;
  int FAudioInitializationStage = 0;
  QTimer *AudioInitializationTimer = nullptr;
  bool FCloseApplicationWhenAudioIsInitialized = false;
  bool FDidInitialSetFocus = false;
  bool FWaitCursorOn = false;
  bool FShownOnce = false;
  bool FFormCloseDone = false;
  TDateTime FBackupTestLastDT = 0;
  int FBackupTestTurn = 1;
  TDateTime FLastRecordingStoppedDT = 0;
  int FRecordingPnlWidth = 300;
  TDateTime FReopenWhen = 0;
  double FReopenZoom = 2;
  QString FHotSpotsSupressed;
  QTimer *FIdleTimer = nullptr;
  std::unique_ptr<TvlRecordingIndicator> FRecordingIndicator;  // vlRecordingIndicator.h
  TDateTime FRecordingSince = 0;  // without the audio facade, when recording began

  TvlHint *vlHint = nullptr;
  std::unique_ptr<TRecentFiles> FRecentlyUsedFiles;
  std::unique_ptr<TvlCommandMenus> FMenus;
  QToolBar *FAudioActionToolBar = nullptr;
  QToolBar *FTextActionToolBar = nullptr;
  QWidget *FAudioControlsPnl = nullptr;
  QLabel *FRecorderActivityLbl = nullptr;
  QLabel *FRecordingSourceLbl = nullptr;
  QWidget *FTrackBarsPnl = nullptr;
  QWidget *FPlayControlsPnl = nullptr;
  QSplitter *FTrackSplitter = nullptr;
  QWidget *FTrackBarOldPnl = nullptr;
  QWidget *FRecordingPnl = nullptr;
  QWidget *FTrackBarsHeightFauxSplitterPnl = nullptr;
  QWidget *FToolsPnl = nullptr;
  QSplitter *FBodySplitter = nullptr;
  QWidget *FTimelineSidePnl = nullptr;
  QWidget *FHorizontalVuPnl = nullptr;
  QWidget *FTranscriptionPnl = nullptr;
  QWidget *FVertTimelinePnl = nullptr;
  QScrollBar *FVertTimelineScrollBar = nullptr;
  QWidget *FNotebookPnl = nullptr;
  QWidget *FSearchResultsPnl = nullptr;
  QToolButton *VolumeDownBtn = nullptr;
  QToolButton *VolumeUpBtn = nullptr;
  // The parts put in through the Attach calls, freed in a fixed order at close.
  QWidget *vlRootNotebook = nullptr;
  QWidget *vlTrackOld = nullptr;
  QWidget *vlTrackNow = nullptr;
  QWidget *VertTimeline = nullptr;
  QWidget *FSearchResults = nullptr;

  // The commands' state.
  RWindowCommands FCommands;
  TSpeedVolumeBars *FSpeedVolume = nullptr;  // owned by the audio controls panel
  std::unique_ptr<TvlSearchArea> FSearch;    // vlSearchArea.h
  std::unique_ptr<TNotebookLink> FOwnNotebookLink;
  std::unique_ptr<TvlWindowBroker> FBroker;  // vlWindowBroker.h
  std::unique_ptr<IEditorHost> FEditorHost;
  // The keys, the wheel and the drags caught for the whole program (vlKeyFilter.h).
  std::unique_ptr<TvlKeyFilter> FKeyFilter;
};
