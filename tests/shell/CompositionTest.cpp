// The program put together as main() puts it together, over the simulated sound server, brought
// up as a user starts it: every link between the window and the program's parts, every seam the
// lower libraries ask through and the callbacks of the parts are installed once start-up has
// finished. A connection forgotten in the composition fails here rather than silently for a user.
// Then the links a user depends on most, driven through the real menus and keys: silence
// protection before every play command, and Copy that copies.

#include "vl09_Main.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_OptionsFm.h"
#include "vl09_Registry.h"
#include "vl09_Silence.h"
#include "vl09_SilenceActions.h"
#include "vl09_TrackWindow.h"
#include "vl09_VuMeter.h"
#include "vlAudioTestSupport.h"
#include "vlEditorHost.h"
#include "vlEditorPage.h"
#include "vlOtherEventsIO.h"
#include "vlProgram.h"
#include "vlProgramRig.h"
#include "vlTestSupport.h"
#include "vlWindowView.h"
#include "vldGraphic.h"
#include "vldRichString.h"
#include "vldTemporal.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <memory>
#include <typeinfo>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// Silence protection's questions, answered No and counted.
struct TRefusingSilencePrompts final : TSilencePrompts {
  void ShowHint(const QString &, int) override { ++Hints; }
  bool AskToBreakSilence(int, const QString &) override {
    ++Asked;
    return false;
  }
  int Hints = 0;
  int Asked = 0;
};

// One run of the program as main() builds it, started and shown.
struct TStartedProgram : TProgramRig {
  // Example: the example binder of a first start; AutoOpen: the binder the settings name.
  explicit TStartedProgram(const QString &Example = QString(), const QString &AutoOpen = QString())
      : TProgramRig(RProgramStart{.Example = Example, .AutoOpen = AutoOpen}) {}
};

}  // namespace

TEST(Composition, EveryLinkSeamAndCallbackIsInstalledAfterStartUp) {
  TStartedProgram run;
  TVellomarFm &fm = *run.Window;
  ASSERT_TRUE(fm.AudioReady());

  // The window's links and parts.
  EXPECT_NE(fm.NotebookLink(), nullptr);
  EXPECT_NE(fm.EventsLink(), nullptr);
  EXPECT_NE(fm.ProgramLink(), nullptr);
  EXPECT_NE(fm.TrackPanelLink(), nullptr);
  EXPECT_NE(fm.TimelinePanelLink(), nullptr);
  const RProgramParts &parts = fm.Parts();
  for (const void *part :
       {static_cast<const void *>(parts.Notebook), static_cast<const void *>(parts.Audio),
        static_cast<const void *>(parts.Recordings), static_cast<const void *>(parts.DayFiles),
        static_cast<const void *>(parts.Silence), static_cast<const void *>(parts.SilenceActions)})
    EXPECT_NE(part, nullptr);
  // The window's commands, each built by the program over the window.
  const RWindowCommands &commands = fm.Commands();
  struct RCommands {
    const char *Name;
    const void *Built;
  };
  const RCommands built[] = {
      {"Files", commands.Files.get()},     {"Playback", commands.Playback.get()},
      {"Text", commands.Text.get()},       {"Print", commands.Print.get()},
      {"Options", commands.Options.get()},
  };
  for (const RCommands &command : built) EXPECT_NE(command.Built, nullptr) << command.Name;

  // The seams through which the document and the editor reach the program: every one is
  // installed, and none answers with its default.
  struct RInstalled {
    const char *Name;
    bool Installed;
  };
  const RInstalled installed[] = {
      {"EffectiveTimeBroker", EffectiveTimeBrokerSeam().IsInstalled()},
      {"TypingEventSink", TypingEventSinkSeam().IsInstalled()},
      {"EditorHost", EditorHostSeam().IsInstalled()},
      {"BookmarkSink", BookmarkSinkSeam().IsInstalled()},
      {"TimelineFollower", TimelineFollowerSeam().IsInstalled()},
      {"OtherEventsIO", OtherEventsIOSeam().IsInstalled()},
      {"InsetOptions", InsetOptionsSeam().IsInstalled()},
  };
  for (const RInstalled &seam : installed) EXPECT_TRUE(seam.Installed) << seam.Name;
  EXPECT_EQ(&EffectiveTimeBroker(), &fm.EventBroker());
  struct RSeam {
    const char *Name;
    const std::type_info &Installed;
    const std::type_info &Default;
  };
  const RSeam seams[] = {
      {"EditorHost", typeid(EditorHost()), typeid(IEditorHost)},
      {"BookmarkSink", typeid(BookmarkSink()), typeid(IBookmarkSink)},
      {"TimelineFollower", typeid(TimelineFollower()), typeid(ITimelineFollower)},
      {"OtherEventsIO", typeid(OtherEventsIO()), typeid(TvlOtherEventsIO)},
  };
  for (const RSeam &seam : seams) {
    SCOPED_TRACE(seam.Name);
    EXPECT_NE(seam.Installed, seam.Default);
  }
  EXPECT_EQ(&OtherEventsIO(), static_cast<TvlOtherEventsIO *>(run.Program.get()));
  // Typing goes to the day files.
  EXPECT_NE(typeid(TypingEventSink()), typeid(TTypingEventSink));

  // The tracks' callbacks.
  for (TvlTrackWindow *track :
       {run.Program->Tracks().Historical(), run.Program->Tracks().Current()}) {
    ASSERT_NE(track, nullptr);
    SCOPED_TRACE(qPrintable(track->objectName()));
    EXPECT_EQ(track->Links(), static_cast<TTrackWindowLinks *>(&run.Program->Tracks()));
    EXPECT_NE(track->OfferAndSelect(), nullptr);
    // A click on a track plays at the options' wanted tempo, not at a default of its own.
    EXPECT_EQ(track->WantedTempo, run.Options.FWantTempo);
    EXPECT_EQ(track->TempoBarPosition, fm.Speed());
  }
  // The vertical timeline, its level strip and its bookmarks.
  EXPECT_NE(run.Program->Timelines().VertTimeline(), nullptr);
  EXPECT_EQ(run.Program->Timelines().TracksLink(), &run.Program->Tracks());
  ASSERT_NE(run.Program->Timelines().LevelMeter(), nullptr);
  EXPECT_TRUE(run.Program->Timelines().LevelMeter()->isVisible());
  // The notebook's callbacks and the options' listeners.
  TvlNotebook &notebook = *run.Program->Notebook();
  EXPECT_TRUE(notebook.OnFileAccessed);
  EXPECT_TRUE(notebook.OnFileNotFound);
  EXPECT_TRUE(notebook.OnSettingsShouldBeWritten);
  EXPECT_TRUE(run.Options.OnWordsPerMinuteChanged);
  EXPECT_TRUE(run.Program->Audio().OnRecordingStarted);
  EXPECT_TRUE(run.Program->Audio().OnRecordingStopped);

  // The options window's links, once it is open.
  run.Options.FWantTempo = TvlOptions::WantTempoNoChange;
  fm.SetSpeed(80);
  for (TvlTrackWindow *track :
       {run.Program->Tracks().Historical(), run.Program->Tracks().Current()}) {
    EXPECT_EQ(track->TempoBarPosition, 80);
  }
  fm.ShowOptions(S("Recording"));
  TOptionsFm *options = fm.OptionsWindow();
  ASSERT_NE(options, nullptr);
  // Its link reaches the program: the recording state and the window's "start automatically".
  EXPECT_EQ(options->Link().IsRecording(), run.Program->Audio().IsRecording());
  const bool startAuto = fm.aRecordStartAuto->isChecked();
  options->Link().SetRecordStartAuto(!startAuto);
  EXPECT_EQ(fm.aRecordStartAuto->isChecked(), !startAuto);
  options->Link().SetRecordStartAuto(startAuto);
  options->accept();
  for (TvlTrackWindow *track :
       {run.Program->Tracks().Historical(), run.Program->Tracks().Current()})
    EXPECT_EQ(track->WantedTempo, TvlOptions::WantTempoNoChange);
}

TEST(Composition, EveryPlayCommandAsksSilenceProtectionFirst) {
  TStartedProgram run;
  ASSERT_TRUE(run.Window->AudioReady());
  TRefusingSilencePrompts prompts;
  run.Program->Silence().SetPrompts(&prompts);
  // The user chose "ask before playing" in the Silence menu.
  QAction *ask = run.Window->findChild<QAction *>(S("aSilenceOnAsk"));
  ASSERT_NE(ask, nullptr);
  ask->trigger();
  ASSERT_EQ(run.Program->Silence().Choice(), TSilenceChoice::scOnAsk);
  // Notes typed a minute ago, the caret in them: "play from the caret" has a moment to play.
  ASSERT_NE(run.ActivePage(), nullptr);
  run.ActivePage()->View().InsertCommittedText(S("notes"));
  run.Run(60000);
  TDocument &doc = *run.Program->Notebook()->GetActiveDocument();
  doc.AtPos_NoSelectionSet(TCaretPos{0, 2, false});

  for (const char *name : {"aPlayStart", "aPlayInstantReplay", "aPlaySegment", "aPlayFromCaret"}) {
    SCOPED_TRACE(name);
    QAction *command = run.Window->Action(S(name));
    ASSERT_NE(command, nullptr);
    ASSERT_TRUE(command->isEnabled());
    const int before = prompts.Asked;
    command->trigger();
    EXPECT_GT(prompts.Asked, before);
    EXPECT_FALSE(run.Program->Audio().IsPlaying());
  }
  run.Program->Silence().SetPrompts(nullptr);
}

TEST(Composition, EditCopyCopiesAndKeepsTheSelectedNotes) {
  TStartedProgram run;
  TvlEditorPage *page = run.ActivePage();
  ASSERT_NE(page, nullptr);
  page->View().InsertCommittedText(S("keep these words"));
  TDocument &doc = *run.Program->Notebook()->GetActiveDocument();
  const auto text = [&] {
    return doc.CaretSpan_Plain(TCaretPos{0, 1}, doc.Document_LastCaretPos()).trimmed();
  };
  const auto selectAll = [&] {
    doc.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
    doc.FAtPosSelect = doc.Document_LastCaretPos();
  };
  struct RRow {
    const char *How;
    std::function<void()> Copy;
  };
  const RRow rows[] = {
      {"Edit > Copy", [&] { run.MenuItem(S("&Edit"), S("C&opy"))->trigger(); }},
      {"Ctrl+C", [&] { QTest::keyClick(&page->View(), Qt::Key_C, Qt::ControlModifier); }},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.How);
    QGuiApplication::clipboard()->setText(S("before"));
    selectAll();
    row.Copy();
    EXPECT_EQ(text(), S("keep these words"));
    EXPECT_EQ(QGuiApplication::clipboard()->text().trimmed(), S("keep these words"));
  }
}

TEST(Composition, TheTitleNamesTheBinderAfterStartUpAndAfterEveryFileCommand) {
  TFreshFolder files;
  const QString lecture = files.File(S("Lecture.vl"));
  TScriptedPrompts &prompts = TTestEnvironment::TestPrompts();
  const auto titleNames = [](const TStartedProgram &Run, const char *File) {
    return Run.Window->windowTitle().contains(S(File));
  };
  {
    TStartedProgram run;
    EXPECT_FALSE(titleNames(run, ".vl"));
    run.ActivePage()->View().InsertCommittedText(S("first notes"));
    prompts.ScriptFileName(lecture);
    run.MenuItem(S("&File"), S("Save &As ..."))->trigger();
    EXPECT_TRUE(titleNames(run, "Lecture.vl"));
    run.ActivePage()->View().InsertCommittedText(S(" and more"));
    run.MenuItem(S("&File"), S("&Save"))->trigger();
    EXPECT_TRUE(titleNames(run, "Lecture.vl"));
    EXPECT_TRUE(run.Program->Notebook()->Binder_IsCompeletelySaved());

    // File > New: an empty unnamed binder, and a title without a binder's name.
    run.MenuItem(S("&File"), S("&New"))->trigger();
    EXPECT_FALSE(titleNames(run, "Lecture.vl"));
    EXPECT_TRUE(run.Program->Notebook()->BinderPathName().isEmpty());
    EXPECT_TRUE(run.Program->Notebook()->GetActiveDocument()->Document_IsBlank());
  }
  {
    // The binder the settings name opens at start-up, named in the title; opening it blocked
    // the mouse and showed the wait cursor.
    TStartedProgram run(QString(), lecture);
    EXPECT_EQ(run.Program->Notebook()->BinderPathName(), lecture);
    EXPECT_TRUE(titleNames(run, "Lecture.vl"));
    int blockedWhileLoading = -1;
    bool waitCursor = false;
    TvlNotebook &notebook = *run.Program->Notebook();
    const auto accessed = notebook.OnFileAccessed;
    notebook.OnFileAccessed = [&](const QString &PathName) {
      blockedWhileLoading = TMouseEventsBlock::Depth();
      waitCursor = QGuiApplication::overrideCursor() &&
                   QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
      accessed(PathName);
    };
    prompts.ScriptFileName(lecture);
    run.MenuItem(S("&File"), S("&Open ..."))->trigger();
    EXPECT_GT(blockedWhileLoading, 0);
    EXPECT_TRUE(waitCursor);
    EXPECT_EQ(TMouseEventsBlock::Depth(), 0);
    notebook.OnFileAccessed = accessed;
  }
  {
    // A tab the user named for notes to come is work: Close asks before it goes.
    TStartedProgram run;
    TvlNotebook &notebook = *run.Program->Notebook();
    notebook.SetCaption(notebook.ActivePageIndex(), S("Questions"));
    notebook.GetActiveDocument()->ChangeCount_Increment();
    prompts.ScriptAnswer(TPromptButton::pbCancel);
    run.MenuItem(S("&File"), S("&Close"))->trigger();
    EXPECT_EQ(prompts.Asked().size(), 1u);
    ASSERT_NE(notebook.GetActivePagePtr(), nullptr);
    EXPECT_EQ(notebook.GetActivePagePtr()->Caption, S("Questions"));
  }
  {
    // The example of a first start opens once; File > Close leaves an empty unnamed binder, not
    // the example again.
    TStartedProgram run(lecture);
    EXPECT_NE(run.Program->Notebook()->PageCount(), 0);
    EXPECT_FALSE(run.Program->Notebook()->GetActiveDocument()->Document_IsBlank());
    run.MenuItem(S("&File"), S("&Close"))->trigger();
    EXPECT_TRUE(run.Program->Notebook()->BinderPathName().isEmpty());
    EXPECT_TRUE(run.Program->Notebook()->GetActiveDocument()->Document_IsBlank());
    EXPECT_FALSE(titleNames(run, "Lecture.vl"));
  }
}

TEST(Composition, TheBinderOpenedAtStartUpIsRememberedOnDiskBeforeAnyExit) {
  // A program killed during its first session must find the binder it was typing into at the
  // next start, not an unnamed one: the settings file names it as soon as it is open.
  TFreshFolder files;
  const QString lecture = files.File(S("Lecture.vl"));
  {
    TStartedProgram first;
    first.ActivePage()->View().InsertCommittedText(S("notes"));
    TTestEnvironment::TestPrompts().ScriptFileName(lecture);
    first.MenuItem(S("&File"), S("Save &As ..."))->trigger();
  }
  for (const bool asExample : {true, false}) {
    SCOPED_TRACE(asExample ? "the example of a first start" : "the binder the settings name");
    TStartedProgram run(asExample ? lecture : QString(), asExample ? QString() : lecture);
    ASSERT_EQ(run.Program->Notebook()->BinderPathName(), lecture);
    TRegistryData onDisk{run.File(S("2009.ini"))};
    onDisk.OnApplicationOpen_ReadFromRegistry();
    EXPECT_EQ(onDisk.GetValue(S("AutoOpenBinder")), lecture);
  }
}

TEST(Composition, TheLevelStripAboveTheVerticalTimelineShowsTheInputLevelWhileRecording) {
  TStartedProgram run;
  ASSERT_TRUE(run.Window->AudioReady());
  TVuMeter *meter = run.Program->Timelines().LevelMeter();
  ASSERT_NE(meter, nullptr);
  EXPECT_TRUE(run.Window->HorizontalVuPnl()->isAncestorOf(meter));
  EXPECT_EQ(meter->LatestVolume(), 0);
  run.MenuItem(S("&Record"), S("&Start"))->trigger();
  run.Run(1000);
  ASSERT_TRUE(run.Program->Audio().IsRecording())
      << qPrintable(TTestEnvironment::TestPrompts().AskedTexts().join(S(" | ")));
  // The simulated microphone's tone.
  EXPECT_GT(meter->LatestVolume(), 1000);
  run.MenuItem(S("&Record"), S("S&top"))->trigger();
  run.Run(500);
  EXPECT_FALSE(run.Program->Audio().IsRecording());
  EXPECT_EQ(meter->LatestVolume(), 0);
}
