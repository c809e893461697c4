// The program's parts put together as main() does, over a simulated sound server: what is typed
// into a page and the bookmarks set while typing reach the binder and come back with it, the
// window's save question sees bookmark-only changes, and opening another binder brings that
// binder's bookmarks alone.

#include "vl09_Main.h"
#include "vl09_Options.h"
#include "vl09_Registry.h"
#include "vlClock.h"
#include "vlEditorPage.h"
#include "vlProgram.h"
#include "vlPrompts.h"
#include "vlSimBackend.h"
#include "vlTestSupport.h"
#include "vlWindowView.h"

#include <gtest/gtest.h>
#include <QApplication>

#include <memory>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// One run of the program: the settings, the options, the parts and the window.
struct TRun {
  explicit TRun(const TFreshFolder &Folder)
      : Store(Folder.File(S("2009.ini"))),
        Program(Store, Options, std::make_shared<TSimBackend>(), Folder.File(S("Audio"))),
        Window(Store, Options, Program) {
    Program.Connect(Window, QString());
  }

  TDocument &ActiveDocument() { return *Program.Notebook()->GetActiveDocument(); }
  TvlEditorPage &ActivePage() {
    auto *page =
        dynamic_cast<TvlEditorPage *>(Program.Notebook()->GetActivePagePtr()->MyWindowView);
    EXPECT_NE(page, nullptr);
    return *page;
  }
  QString Text() {
    TDocument &doc = ActiveDocument();
    return doc.CaretSpan_Plain(TCaretPos{0, 1}, doc.Document_LastCaretPos()).trimmed();
  }
  bool Unsaved() { return !Program.Notebook()->Binder_IsCompeletelySaved(); }
  QString BinderPathName() { return Program.Notebook()->BinderPathName(); }
  // File > Save As, answering the file dialog with PathName.
  bool SaveAs(const QString &PathName) {
    TScriptedPrompts prompts;
    TScopedPrompts use(prompts);
    prompts.ScriptFileName(PathName);
    return Window.FileCommands().aFileSaveAsExecute();
  }
  int Markers() {
    std::vector<TEventID> ids;
    Program.DayFiles().ByKind_GetListOfEvents(koeMarker, ids);
    return static_cast<int>(ids.size());
  }

  TRegistryData Store;
  TvlOptions Options;
  TvlProgram Program;
  TVellomarFm Window;
};

}  // namespace

TEST(Program, TypedTextAndBookmarksGoIntoTheBinderAndComeBackWithIt) {
  TFreshFolder folder;
  const QString binder = folder.File(S("Lecture.vl"));
  const QString other = folder.File(S("Other.vl"));
  const TDateTime when = EncodeDateTime(2026, 12, 9, 10, 30, 0, 0);
  {
    TRun run(folder);
    run.Program.OpenBinder(QString());
    ASSERT_EQ(run.Program.Notebook()->PageCount(), 1);
    run.ActivePage().View().InsertCommittedText(S("Rivers and mountains"));
    EXPECT_EQ(run.Text(), S("Rivers and mountains"));
    EXPECT_TRUE(run.Unsaved());
    ASSERT_NE(BookmarkSink().AddMarker('1', when), NoEventID);
    EXPECT_TRUE(run.Program.BookmarksChangedSinceSave());

    ASSERT_TRUE(run.SaveAs(binder));
    EXPECT_FALSE(run.Unsaved());
    EXPECT_FALSE(run.Program.BookmarksChangedSinceSave());
    EXPECT_EQ(run.BinderPathName(), binder);

    // A bookmark alone is unsaved work; selecting one is not.
    std::vector<TEventID> ids;
    run.Program.DayFiles().ByKind_GetListOfEvents(koeMarker, ids);
    run.Program.DayFiles().Event_Select(ids.at(0));
    EXPECT_FALSE(run.Program.BookmarksChangedSinceSave());
    BookmarkSink().AddLabel(S("Question"), when + 5.0 / 1440);
    EXPECT_TRUE(run.Program.BookmarksChangedSinceSave());
    EXPECT_FALSE(run.Unsaved());

    // A binder of its own with no bookmarks, to open later.
    run.Program.DayFiles().Event_Delete(ids.at(0));
    std::vector<TEventID> labels;
    run.Program.DayFiles().ByKind_GetListOfEvents(koeLabel, labels);
    for (const TEventID id : labels) run.Program.DayFiles().Event_Delete(id);
    ASSERT_TRUE(run.SaveAs(other));
  }
  TRun run(folder);
  run.Program.OpenBinder(binder);
  run.Program.Notebook()->ActivatePage(0);
  EXPECT_EQ(run.Text(), S("Rivers and mountains"));
  EXPECT_EQ(run.Markers(), 1);
  EXPECT_FALSE(run.Program.BookmarksChangedSinceSave());
  EXPECT_FALSE(run.Unsaved());

  // The other binder's bookmarks replace these: none are left over.
  run.Program.OpenBinder(other);
  EXPECT_EQ(run.Markers(), 0);
  EXPECT_FALSE(run.Program.BookmarksChangedSinceSave());
}

TEST(Program, ASaveThatFailsKeepsTheChangesUnsaved) {
  TFreshFolder folder;
  TRun run(folder);
  run.Program.OpenBinder(QString());
  run.ActivePage().View().InsertCommittedText(S("Kept"));
  // A folder where the binder should be: the save cannot replace it.
  const QString blocked = folder.File(S("Blocked.vl"));
  QDir().mkpath(blocked);
  EXPECT_FALSE(run.SaveAs(blocked));
  EXPECT_TRUE(run.Unsaved());
  EXPECT_TRUE(run.BinderPathName().isEmpty());
}

TEST(Program, APageKeepsItsScrollPositionAtALineTop) {
  TFreshFolder folder;
  TRun run(folder);
  run.Program.OpenBinder(QString());
  // Shown and painted at its real size: a position read from a binder waits for that.
  run.Window.resize(600, 400);
  run.Window.show();
  for (int i = 0; i < 100 && run.ActivePage().View().PaintCount() == 0; ++i)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  TvlEditorPage &page = run.ActivePage();
  ASSERT_GT(page.View().PaintCount(), 0);
  QString lines;
  for (int i = 1; i <= 2000; ++i) lines += S("Line %1\n").arg(i);
  page.View().InsertCommittedText(lines);
  page.PageView_LayOutCompletely();
  // The caret at the end took the view along.
  EXPECT_GT(page.PageView_ScrollPos(), 1000);
  ASSERT_TRUE(page.PageView_SetScrollPos(1000));
  const int at = page.PageView_ScrollPos();
  // Positions snap to the top of the line that holds them.
  EXPECT_LE(at, 1000);
  EXPECT_GT(at, 900);
  ASSERT_TRUE(page.PageView_SetScrollPos(at));
  EXPECT_EQ(page.PageView_ScrollPos(), at);
  EXPECT_FALSE(page.PageView_SetScrollPos(-1));
}

TEST(Program, LevelReadingsAfterTheWindowClosedReachNoFreedView) {
  TFreshFolder folder;
  TRun run(folder);
  run.Program.OpenBinder(QString());
  ASSERT_NE(run.Program.Timelines().VertTimeline(), nullptr);
  // Closing frees the vertical timeline while the player's level tick may still be due.
  run.Window.FormClose();
  EXPECT_EQ(run.Program.Timelines().VertTimeline(), nullptr);
  run.Program.Audio().OnVuChange_Player(-1, 1000, 1000);
  run.Program.Audio().OnVuChange_Recorder(1000, 1000, Now());
}

// Files from the command line or a later start: they wait until the window is ready; of several
// binders the last is opened, after the save question; tabs are imported; a missing binder is
// reported and the open one stays.
TEST(Program, GivenFilesWaitThenOpenTheLastBinderImportTabsAndReportWhatIsMissing) {
  TFreshFolder folder;
  const QString a = folder.File(S("A.vl")), b = folder.File(S("B.vl"));
  const QString tab = folder.File(S("Questions.vlTab")), missing = folder.File(S("Gone.vl"));
  {
    TRun run(folder);
    run.Program.OpenBinder(QString());
    run.ActivePage().View().InsertCommittedText(S("binder text"));
    ASSERT_TRUE(run.SaveAs(a));
    ASSERT_TRUE(run.SaveAs(b));
    ASSERT_TRUE(run.ActiveDocument().IO_Save(tab, S("Questions"), 0));
  }
  TRun run(folder);
  run.Program.OpenBinder(QString());
  TScriptedPrompts prompts;
  TScopedPrompts use(prompts);
  const int pages = run.Program.Notebook()->PageCount();

  run.Program.OpenGivenFiles({a, tab, b});
  EXPECT_TRUE(run.BinderPathName().isEmpty()) << "nothing opens before the window is ready";
  run.Program.SetReadyForGivenFiles();
  EXPECT_EQ(run.BinderPathName(), b);
  EXPECT_GT(run.Program.Notebook()->PageCount(), pages);
  EXPECT_TRUE(prompts.AskedTexts().isEmpty()) << prompts.AskedTexts().join(S("|")).toStdString();

  // The imported tab is unsaved work: the save question comes first, and Cancel keeps B.
  prompts.ScriptAnswer(TPromptButton::pbCancel);
  run.Program.OpenGivenFiles({a});
  EXPECT_EQ(prompts.AskedTexts().value(0), SaveQuestionNamedText);
  EXPECT_EQ(run.BinderPathName(), b);

  prompts.Clear();
  run.Program.OpenGivenFiles({missing});
  EXPECT_TRUE(prompts.AskedTexts().value(0).startsWith(S("File not found:  Gone.vl")))
      << prompts.AskedTexts().join(S("|")).toStdString();
  EXPECT_EQ(run.BinderPathName(), b);
}
