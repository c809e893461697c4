// The main window's life: the staged audio start with its deferred close, a stage that fails,
// the bounds it comes up with, the idle jobs, the recorder label, the save question and the
// teardown. Audio, notebook and day files are fakes that count what they were asked.

#include "vl09_Main.h"
#include "vl09_Options.h"
#include "vl09_Registry.h"
#include "vlClock.h"
#include "vlFakeLinks.h"
#include "vlGlobals.h"
#include "vlShellSettings.h"
#include "vlTestSupport.h"
#include "vlWindowCommands.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QTextEdit>

#include <functional>
#include <memory>

namespace {

template <typename TDone>
bool WaitForLong(TDone Done) {
  return WaitForEvents(Done, 30000);
}

QString S(const char *Text) { return QString::fromUtf8(Text); }

// Answers each stage as scripted: a reason, or a report with a dialog, at FailAtStage.
class TFakeAudio final : public TAudioStartup {
 public:
  int FailAtStage = 0;
  bool FailByReport = false;
  std::function<void(int Stage)> OnStage;
  QList<int> StagesRun;
  bool Recording = false;
  QString Source;
  int StartCount = 0;
  int StopRecordingCount = 0;
  bool StopRecordingReports = false;

  QString InitializeRecorder() override { return Stage(5); }
  QString InitializeMisc() override { return Stage(6); }
  QString ApplyAudioOptions() override { return Stage(7); }
  bool IsRecording() const override { return Recording; }
  QString CurrentSourceName() const override { return Source; }
  void StartRecording() override {
    ++StartCount;
    Recording = true;
  }
  void StopRecording() override {
    ++StopRecordingCount;
    Recording = false;
    if (StopRecordingReports) ErrorReport(true, S("Simulated recorder stop fault"));
  }
  void StopPlaying() override {}

 private:
  QString Stage(int N) {
    StagesRun << N;
    if (OnStage) OnStage(N);
    if (N != FailAtStage) return QString();
    if (FailByReport) ErrorReport(true, S("Simulated recorder fault"));
    return S("Simulated fault");
  }
};

class TFakeNotebook final : public TNotebookLink {
 public:
  bool Unsaved = false;
  bool Named = true;
  QString Path = S("/notes/Work.vl");
  bool SaveWorks = true;
  bool ListReports = false;
  int Saves = 0, SaveAses = 0, Closes = 0, Discards = 0, Lists = 0, Backups = 0, BackupsNow = 0;

  bool HasUnsavedDocumentChanges() const override { return Unsaved; }
  bool IsBinderNamed() const override { return Named; }
  QString BinderPathName() const override { return Named ? Path : QString(); }
  bool SaveBinder() override {
    ++Saves;
    return SaveWorks;
  }
  bool SaveBinderAs() override {
    ++SaveAses;
    return SaveWorks;
  }
  void CloseBinderAtExit() override { ++Closes; }
  void DiscardBackupAfterNo() override { ++Discards; }
  void SaveListOfOpenDocuments() override {
    ++Lists;
    if (ListReports) ErrorReport(true, S("Simulated list fault"));
  }
  void SaveNotebookAsBackupMaybe() override { ++Backups; }
  void SaveNotebookAsBackupNow() override { ++BackupsNow; }
  bool FocusActivePage() override {
    ++Focused;
    return true;
  }
  int Focused = 0;
};

class TFakeEvents final : public TEventsLink {
 public:
  bool Changed = false;
  int DayFileSaves = 0;
  bool BookmarksChangedSinceSave() const override { return Changed; }
  void SaveChangedDayFiles() override { ++DayFileSaves; }
};

struct TRig {
  TFreshFolder Folder;
  TRegistryData Store{Folder.File(S("2009.ini"))};
  TvlOptions Options;
  TFakeAudio Audio;
  TFakeNotebook Notebook;
  TFakeEvents Events;
  std::unique_ptr<TVellomarFm> Fm;

  TRig() { TTestEnvironment::TestPrompts().Clear(); }
  ~TRig() {
    Fm.reset();
    TVellomarFm::SetMainLoopRunning(false);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
  TVellomarFm &Make(bool WithNotebook = true, bool WithCommands = true) {
    Fm = std::make_unique<TVellomarFm>(Store, Options, Audio);
    if (WithCommands) InstallWindowCommands(*Fm, Options, Audio);
    if (WithNotebook) {
      Fm->SetNotebookLink(&Notebook);
      Fm->SetEventsLink(&Events);
    }
    TVellomarFm::SetMainLoopRunning(true);
    return *Fm;
  }
  bool AudioActionsEnabled() const {
    return Fm->aPlayStart->isEnabled() || Fm->aRecordStart->isEnabled() ||
           Fm->aButtonStopBoth->isEnabled() || Fm->aPlayInstantReplay->isEnabled() ||
           Fm->aPlaySegment->isEnabled();
  }
};

}  // namespace

TEST(MainWindow, ACloseDuringTheAudioStartIsCarriedOutWhenTheStartEnds) {
  // 0: right after the window appears, before the first tick; 5..7: while a stage works.
  for (const int closeAtStage : {0, 5, 6, 7}) {
    SCOPED_TRACE(closeAtStage);
    TRig rig;
    TVellomarFm &fm = rig.Make();
    int stageWhenAsked = -1;
    const auto askToClose = [&] {
      stageWhenAsked = fm.AudioInitializationStage();
      fm.close();
      EXPECT_TRUE(fm.isVisible());
      EXPECT_TRUE(fm.CloseApplicationWhenAudioIsInitialized());
      EXPECT_FALSE(fm.FormCloseDone());
    };
    rig.Audio.OnStage = [&](int Stage) {
      if (Stage == closeAtStage) askToClose();
    };
    fm.show();
    EXPECT_FALSE(rig.AudioActionsEnabled());
    EXPECT_EQ(fm.RecorderActivityLbl()->text(), S("Initializing"));
    if (closeAtStage == 0) askToClose();
    ASSERT_TRUE(WaitForLong([&] { return fm.FormCloseDone(); }));
    EXPECT_EQ(stageWhenAsked, closeAtStage);
    EXPECT_EQ(fm.AudioInitializationStage(), 9);
    EXPECT_TRUE(fm.AudioReady());
    EXPECT_FALSE(fm.isVisible());
    EXPECT_EQ(rig.Audio.StagesRun, (QList<int>{5, 6, 7}));
    EXPECT_EQ(rig.Notebook.Closes, 1);
  }
}

TEST(MainWindow, AFailingAudioStageLeavesAWindowThatCloses) {
  struct RRow {
    int FailAt;
    bool ByReport;
    bool CloseAskedBefore;
  };
  const RRow rows[] = {{5, false, false}, {6, true, false}, {7, false, true}, {7, true, true}};
  for (const RRow &row : rows) {
    SCOPED_TRACE(testing::Message() << row.FailAt << " report " << row.ByReport);
    TRig rig;
    rig.Audio.FailAtStage = row.FailAt;
    rig.Audio.FailByReport = row.ByReport;
    TVellomarFm &fm = rig.Make();
    bool finished = false;
    bool readyWhenFinished = true;
    QObject::connect(&fm, &TVellomarFm::AudioStartFinished, [&](bool Ready) {
      finished = true;
      readyWhenFinished = Ready;
    });
    if (row.CloseAskedBefore)
      rig.Audio.OnStage = [&](int Stage) {
        if (Stage == 5) fm.close();
      };
    fm.show();
    ASSERT_TRUE(WaitForLong([&] { return finished; }));
    EXPECT_FALSE(readyWhenFinished);
    EXPECT_TRUE(fm.AudioFailed());
    EXPECT_FALSE(fm.AudioReady());
    EXPECT_EQ(fm.AudioInitializationStage(), row.FailAt);
    EXPECT_FALSE(rig.AudioActionsEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const QString reason = row.ByReport ? S("Audio could not start") : S("Simulated fault");
    EXPECT_EQ(fm.RecorderActivityLbl()->text(), reason);
    EXPECT_EQ(fm.aRecordStart->toolTip(), S("Start: ") + reason);
    if (row.ByReport) {
      ASSERT_EQ(TTestEnvironment::TestPrompts().Asked().size(), 1);
      EXPECT_TRUE(TTestEnvironment::TestPrompts().Asked()[0].Text.startsWith(
          S("Simulated recorder fault")));
    }
    // No later stage runs, and the timer goes on the next idle pass.
    EXPECT_EQ(rig.Audio.StagesRun.last(), row.FailAt);
    if (!row.CloseAskedBefore) {
      EXPECT_TRUE(fm.isVisible());
      ASSERT_TRUE(WaitForLong([&] { return !fm.HasAudioInitializationTimer(); }));
      fm.close();
    }
    EXPECT_TRUE(fm.FormCloseDone());
    EXPECT_FALSE(fm.isVisible());
  }
}

TEST(MainWindow, AudioReadyEnablesTheActionsAndRecordsOnlyWhenStoredSo) {
  // The read when the options load decides: without a stored value nothing records by itself.
  struct RRow {
    const char *Stored;
    int Starts;
  };
  for (const RRow &row : {RRow{nullptr, 0}, RRow{"-1", 1}, RRow{"0", 0}}) {
    SCOPED_TRACE(row.Stored ? row.Stored : "absent");
    TRig rig;
    if (row.Stored) rig.Store.SetValue(S("RecordStartAuto"), S(row.Stored));
    TVellomarFm &fm = rig.Make();
    fm.show();
    ASSERT_TRUE(WaitForLong([&] { return fm.AudioInitializationStage() == 9; }));
    EXPECT_TRUE(fm.AudioReady());
    EXPECT_TRUE(rig.AudioActionsEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(rig.Audio.StartCount, row.Starts);
    EXPECT_EQ(fm.aRecordStartAuto->isChecked(), row.Starts == 1);
    fm.close();
    EXPECT_TRUE(fm.FormCloseDone());
  }
}

TEST(MainWindow, StoredBoundsAreKeptOnAScreenAndReplacedWhenTheirScreenIsGone) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect byDefault = area.adjusted(50, 50, -50, -50);
  const QRect onScreen(area.left() + 20, area.top() + 30, 500, 400);
  struct RRow {
    QRect Stored;
    QRect Expected;
  };
  const RRow rows[] = {{onScreen, onScreen},
                       {QRect(area.right() + 2000, 100, 500, 400), byDefault},
                       {QRect(-3000, -3000, 500, 400), byDefault}};
  for (const RRow &row : rows) {
    SCOPED_TRACE(testing::Message() << row.Stored.x() << "," << row.Stored.y());
    TRig rig;
    StoreMainWindowBounds(rig.Store, row.Stored);
    rig.Store.SetInteger(S("TimelineSidePnlWidth"), 900);
    TVellomarFm &fm = rig.Make(false);
    fm.show();
    EXPECT_EQ(fm.geometry(), row.Expected);
    // Limited to what the side panel may take, and written back at once.
    EXPECT_EQ(rig.Store.GetValue(S("TimelineSidePnlWidth")), S("740"));
    fm.hide();
  }
}

TEST(MainWindow, IdleJobsAlternateEveryFiveMinutesOfTheClock) {
  TManualClock clock(40000.5);
  TScopedClock useClock(clock);
  TRig rig;
  TVellomarFm &fm = rig.Make();
  // Minutes after the window was made, and what has run by then.
  struct RStep {
    int Minutes;
    int Backups;
    int DayFileSaves;
  };
  const RStep steps[] = {
      {4, 0, 0},  {5, 1, 0},  {6, 1, 0},  {10, 1, 1},
      {15, 2, 1}, {19, 2, 1}, {20, 2, 2}, {-100, 3, 2}};  // a clock set back does not stall them
  for (const RStep &step : steps) {
    SCOPED_TRACE(step.Minutes);
    clock.Set(40000.5 + step.Minutes / MinsPerDay);
    fm.ApplicationEvents1Idle();
    EXPECT_EQ(rig.Notebook.Backups, step.Backups);
    EXPECT_EQ(rig.Events.DayFileSaves, step.DayFileSaves);
  }
}

TEST(MainWindow, RecorderLabelFollowsTheRecordingCallbacks) {
  TManualClock clock(40000.25);
  TScopedClock useClock(clock);
  TRig rig;
  TVellomarFm &fm = rig.Make();
  TFakeProgramLink program;
  TFakeTimelinePanel timelines;
  fm.SetProgramLink(&program);
  fm.SetTimelinePanelLink(&timelines);
  struct RRow {
    bool Recording;
    const char *Source;
    const char *Label;
  };
  const RRow rows[] = {{true, "Microphone", "Recording from Microphone"},
                       {true, "", "Recording"},
                       {false, "", "Not Recording"}};
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Label);
    rig.Audio.Recording = row.Recording;
    rig.Audio.Source = S(row.Source);
    if (row.Recording)
      fm.Callback_RecordingStarted();
    else
      fm.Callback_RecordingStopped();
    EXPECT_EQ(fm.RecorderActivityLbl()->text(), S(row.Label));
    EXPECT_EQ(fm.aRecordStart->isChecked(), row.Recording);
  }
  EXPECT_EQ(program.Reloads, 1);
  EXPECT_EQ(timelines.Levels, QList<int>{0});
  EXPECT_EQ(fm.LastRecordingStoppedDT(), 40000.25);
}

TEST(MainWindow, SaveQuestionMatrix) {
  using B = TPromptButton;
  struct RRow {
    const char *Case;
    bool UnsavedText;
    bool BookmarksChanged;
    bool Named;
    B Answer;
    bool SaveWorks;
    bool Closes;
    int Saves, SaveAses, Discards;
    bool FailureShown;
  };
  const RRow rows[] = {
      {"saved: nothing asked", false, false, true, B::pbNone, true, true, 0, 0, 0, false},
      {"named, Yes", true, false, true, B::pbYes, true, true, 1, 0, 0, false},
      {"named, Yes, save fails", true, false, true, B::pbYes, false, false, 1, 0, 0, true},
      {"unnamed, Yes", true, false, false, B::pbYes, true, true, 0, 1, 0, false},
      {"unnamed, Yes, no name given", true, false, false, B::pbYes, false, false, 0, 1, 0, true},
      {"named, No", true, false, true, B::pbNo, true, true, 0, 0, 1, false},
      {"unnamed, No", true, false, false, B::pbNo, true, true, 0, 0, 1, false},
      {"named, Cancel", true, false, true, B::pbCancel, true, false, 0, 0, 0, false},
      {"only bookmarks changed, Yes", false, true, true, B::pbYes, true, true, 1, 0, 0, false},
      {"only bookmarks changed, Cancel", false, true, true, B::pbCancel, true, false, 0, 0, 0,
       false},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Case);
    TRig rig;
    rig.Notebook.Unsaved = row.UnsavedText;
    rig.Events.Changed = row.BookmarksChanged;
    rig.Notebook.Named = row.Named;
    rig.Notebook.SaveWorks = row.SaveWorks;
    TScriptedPrompts &prompts = TTestEnvironment::TestPrompts();
    if (row.Answer != B::pbNone) prompts.ScriptAnswer(row.Answer);
    TVellomarFm &fm = rig.Make();

    EXPECT_EQ(fm.FormCloseQuery(), row.Closes);
    QStringList expected;
    if (row.Answer != B::pbNone)
      expected << (row.Named ? SaveQuestionNamedText : SaveQuestionUnnamedText);
    if (row.FailureShown) expected << SaveFailedText;
    EXPECT_EQ(prompts.AskedTexts(), expected);
    EXPECT_EQ(prompts.UnscriptedCount(), 0);
    EXPECT_EQ(rig.Notebook.Saves, row.Saves);
    EXPECT_EQ(rig.Notebook.SaveAses, row.SaveAses);
    EXPECT_EQ(rig.Notebook.Discards, row.Discards);
    EXPECT_EQ(rig.Notebook.Closes, row.Closes ? 1 : 0);
    // The binder opens again at the next start, also after No.
    EXPECT_EQ(rig.Store.ValueExists(S("AutoOpenBinder")), row.Closes);
    if (row.Closes) {
      EXPECT_EQ(rig.Store.GetValue(S("AutoOpenBinder")), rig.Notebook.BinderPathName());
    }
  }
}

TEST(MainWindow, WithoutTheProgramsCommandsItsActionsDoNothing_AndClosingStillAsks) {
  TRig rig;
  rig.Notebook.Unsaved = true;
  TScriptedPrompts &prompts = TTestEnvironment::TestPrompts();
  TVellomarFm &fm = rig.Make(true, false);
  const RWindowCommands &commands = fm.Commands();
  EXPECT_FALSE(commands.Files || commands.Playback || commands.Text || commands.Print ||
               commands.Options);
  for (const char *name : {"aFileNew",
                           "aFileOpen",
                           "aFileSave",
                           "aFileSaveAs",
                           "aFileClose",
                           "aFileTabNew",
                           "aFileTabImport",
                           "aFileTabExport",
                           "aFilePrint",
                           "aFilePrintPdf",
                           "aEditUndo",
                           "aEditRedo",
                           "aFileCut",
                           "aEditCopy",
                           "aEditPaste",
                           "aEditSelectAll",
                           "aEditSpelling",
                           "aFontBold",
                           "aRecordStart",
                           "aPlayStart",
                           "aPlayInstantReplay",
                           "aPlaySegment",
                           "aButtonStopBoth",
                           "aTextFontColorRed",
                           "aTextHighlightColorYellow"}) {
    SCOPED_TRACE(name);
    QAction *action = fm.Action(S(name));
    ASSERT_NE(action, nullptr);
    action->setEnabled(true);
    action->trigger();
  }
  for (QAction *recent : fm.aFileRecent) recent->trigger();
  fm.ShowOptions(S("Record"));
  EXPECT_EQ(fm.OptionsWindow(), nullptr);
  EXPECT_TRUE(prompts.AskedTexts().isEmpty());
  EXPECT_EQ(rig.Notebook.Saves + rig.Notebook.SaveAses, 0);
  EXPECT_EQ(rig.Audio.StartCount + rig.Audio.StopRecordingCount, 0);

  // The save question at close is the window's own, over its links.
  prompts.ScriptAnswer(TPromptButton::pbCancel);
  EXPECT_FALSE(fm.FormCloseQuery());
  EXPECT_EQ(prompts.AskedTexts(), QStringList{SaveQuestionNamedText});
}

TEST(MainWindow, TeardownStepsThatReportStillLetTheSettingsBeWritten) {
  TRig rig;
  rig.Audio.StopRecordingReports = true;
  rig.Notebook.ListReports = true;
  TVellomarFm &fm = rig.Make();
  TFakeProgramLink program;
  TFakeTrackPanel tracks;
  tracks.Zoom = 0.5;
  fm.SetProgramLink(&program);
  fm.SetTrackPanelLink(&tracks);
  auto *notebook = new QTextEdit;
  fm.AttachNotebook(notebook);
  fm.show();

  fm.FormClose();
  EXPECT_EQ(TTestEnvironment::TestPrompts().Asked().size(), 2);
  EXPECT_EQ(rig.Notebook.Lists, 1);
  EXPECT_EQ(program.ScheduleSaves, 1);
  EXPECT_EQ(fm.NotebookPnl()->findChild<QTextEdit *>(), nullptr);
  EXPECT_EQ(fm.RecentlyUsedFiles(), nullptr);
  EXPECT_TRUE(TVellomarFm::ClosingDown());

  TRegistryData onDisk(rig.Store.IniPath());
  ASSERT_TRUE(onDisk.OnApplicationOpen_ReadFromRegistry());
  for (const char *name : {"Left", "Top", "Width", "Height", "TimelineSidePnlWidth", "ReopenWhen",
                           "SearchResultsWidth", "WordsPerMinute"})
    EXPECT_TRUE(onDisk.ValueExists(S(name))) << name;
  EXPECT_EQ(onDisk.GetValue(S("ReopenZoom")), S("0.5"));

  // Closing once more writes nothing again.
  rig.Store.SetValue(S("Left"), S("1"));
  fm.FormClose();
  TRegistryData again(rig.Store.IniPath());
  again.OnApplicationOpen_ReadFromRegistry();
  EXPECT_NE(again.GetValue(S("Left")), S("1"));
}

TEST(MainWindow, ATerminationBacksUpTheNotesAndClosesWithoutAsking) {
  TRig rig;
  rig.Notebook.Unsaved = true;
  TVellomarFm &fm = rig.Make();
  fm.show();  // the audio start has not ended: termination does not wait for it
  fm.CloseForTermination();
  EXPECT_TRUE(fm.FormCloseDone());
  EXPECT_FALSE(fm.isVisible());
  EXPECT_EQ(rig.Notebook.BackupsNow, 1);
  EXPECT_EQ(rig.Notebook.Closes, 0);  // left open, so its backup is offered at the next start
  EXPECT_TRUE(TTestEnvironment::TestPrompts().Asked().isEmpty());
  TRegistryData onDisk(rig.Store.IniPath());
  ASSERT_TRUE(onDisk.OnApplicationOpen_ReadFromRegistry());
  EXPECT_EQ(onDisk.GetValue(S("AutoOpenBinder")), rig.Notebook.Path);
}

TEST(MainWindow, AttachedPartsTakeThePlaceOfTheirPlaceholders) {
  TRig rig;
  TVellomarFm &fm = rig.Make(false);
  EXPECT_EQ(fm.windowTitle(), S("Vellomar \u00AE"));
  QWidget *panels[] = {fm.NotebookPnl(), fm.TrackBarOldPnl(), fm.RecordingPnl()};
  for (QWidget *panel : panels)
    EXPECT_NE(panel->findChild<QLabel *>(S("Placeholder")), nullptr)
        << panel->objectName().toStdString();
  auto *first = new QTextEdit;
  fm.AttachNotebook(first);
  QPointer<QTextEdit> gone(first);
  fm.AttachNotebook(new QTextEdit);
  fm.AttachHistoricalTrack(new QWidget);
  EXPECT_EQ(fm.NotebookPnl()->findChild<QLabel *>(S("Placeholder")), nullptr);
  EXPECT_EQ(fm.TrackBarOldPnl()->findChild<QLabel *>(S("Placeholder")), nullptr);
  EXPECT_TRUE(gone.isNull());
  EXPECT_EQ(fm.NotebookPnl()->findChildren<QTextEdit *>().size(), 1);
}

TEST(MainWindow, TheKeyboardGoesBackToTheNotesWhenTheWindowIsActiveAgainAfterADialog) {
  TRig rig;
  TVellomarFm &fm = rig.Make();
  fm.show();
  fm.activateWindow();
  ASSERT_TRUE(QTest::qWaitFor([&] { return fm.isActiveWindow(); }, 5000));
  // The start puts the keyboard into the notes once.
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.Notebook.Focused > 0; }, 5000));
  QTest::qWait(250);
  // A dialog of the window's (a message, the options, the protection window) comes and goes.
  QDialog dialog(&fm);
  auto *field = new QLineEdit(&dialog);
  dialog.show();
  dialog.activateWindow();
  field->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.isActiveWindow(); }, 5000));
  const int before = rig.Notebook.Focused;
  dialog.close();
  fm.activateWindow();
  EXPECT_TRUE(QTest::qWaitFor([&] { return rig.Notebook.Focused > before; }, 5000));
}

TEST(MainWindow, EveryKeyReachesTheTracksOnceWhateverHasTheKeyboard) {
  TRig rig;
  TVellomarFm &fm = rig.Make();
  TFakeTrackPanel tracks;
  fm.SetTrackPanelLink(&tracks);
  auto *notes = new QTextEdit;
  fm.AttachNotebook(notes);
  fm.show();
  fm.activateWindow();
  notes->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return notes->hasFocus(); }, 5000));
  // A key the text box does not take goes on to its parents: the tracks still hear it once.
  QTest::keyClick(notes, Qt::Key_F5);
  QTest::keyClick(notes, Qt::Key_A);
  EXPECT_EQ(tracks.Keys, (QList<int>{Qt::Key_F5, Qt::Key_A}));
  fm.SetTrackPanelLink(nullptr);
}
