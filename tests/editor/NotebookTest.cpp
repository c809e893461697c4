// The notebook of tabs with a stand-in view: pages and their destruction, the blank tab, renaming
// and its numbering, clicks within 500 ms, moved tabs, importing, search order, jumping to a
// moment, and the binder read and written through the notebook.

#include "vl09_Notebook.h"
#include "vlClock.h"
#include "vlTestSupport.h"
#include "vl_Document.h"
#include "vldGraphic.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

namespace {

// Stands in for the editor page: remembers its scroll position and what it was asked. Built as
// the editor page is: a container that keeps Qt's NoFocus and hands the keyboard to its text
// part, its focus proxy.
class TStandInView final : public QWidget, public TvlPageView {
 public:
  TStandInView(TDocument &Doc, QWidget *Parent, QStringList &Log)
      : QWidget(Parent), Text(new QWidget(this)), FDoc(Doc), FLog(Log) {
    Text->setFocusPolicy(Qt::StrongFocus);
    Text->resize(50, 50);
    setFocusProxy(Text);
  }
  ~TStandInView() override { FLog.append(QStringLiteral("view freed")); }
  int PageView_ScrollPos() const override { return FScroll; }
  bool PageView_SetScrollPos(int Position) override {
    if (Position < 0) return false;
    FScroll = Position;
    return true;
  }
  void PageView_LayOutCompletely() override { ++Layouts; }
  void PageView_ScrollCaretIntoView(bool) override { ++CaretScrolls; }
  void PageView_BeginDestruction() override {
    // The document is still there to be let go of.
    FLog.append(QStringLiteral("begin destruction, %1 paragraphs").arg(FDoc.Section_High() + 1));
  }
  int Layouts = 0;
  int CaretScrolls = 0;
  QWidget *Text;  // takes the keyboard

 private:
  TDocument &FDoc;
  QStringList &FLog;
  int FScroll = 0;
};

class NotebookTest : public ::testing::Test {
 protected:
  void SetUp() override { TTestEnvironment::TestPrompts().Clear(); }
  void TearDown() override {
    EXPECT_TRUE(TTestEnvironment::TestPrompts()
                    .AskedTexts()
                    .filter(QStringLiteral("ActivePageX"))
                    .isEmpty());
  }

  QStringList Captions() {
    QStringList out;
    for (int i = 0; i < Notebook.PageCount(); ++i)
      out.append(Notebook.GetPageFromIndex(i)->Caption);
    return out;
  }
  TStandInView *View(int Index) {
    return static_cast<TStandInView *>(Notebook.GetPageFromIndex(Index)->MyWindowView);
  }

  TManualClock Clock{45000};
  TScopedClock ScopedClock{Clock};
  QStringList Log;
  QWidget Window;
  TvlNotebook Notebook{&Window, [this](TDocument &Doc, QWidget *Parent) -> QWidget * {
                         return new TStandInView(Doc, Parent, Log);
                       }};
};

TEST_F(NotebookTest, PagesAreMadeAndDestroyedViewFirstAndTheLastDeletedTabLeavesABlankOne) {
  Notebook.Page_Create(QStringLiteral("One"), QString());
  BuildDocument(*Notebook.GetPageFromIndex(0)->mtcDoc, {"a", "b"});
  Notebook.Page_Create(QStringLiteral("R&D"), QString());
  EXPECT_EQ(Notebook.PageControl()->tabText(1), QStringLiteral("R&&D"));
  EXPECT_EQ(Notebook.GetPageFromTabCaption(QStringLiteral("R&D")), Notebook.GetPageFromIndex(1));
  EXPECT_TRUE(
      Notebook.GetPageFromIndex(0)->TabSheet->objectName().startsWith(QStringLiteral("TS")));

  Notebook.Page_Destroy(5);  // out of range: nothing
  Notebook.Page_Destroy(0);
  EXPECT_EQ(Log, (QStringList{QStringLiteral("begin destruction, 2 paragraphs"),
                              QStringLiteral("view freed")}));
  Notebook.TabIndexSelected = 0;
  Notebook.DeleteSelectedPage();
  EXPECT_EQ(Captions(), QStringList{QStringLiteral(" ")});
}

TEST_F(NotebookTest, BlankTabRule) {
  struct {
    const char *Name;
    std::vector<std::pair<QString, int>> Tabs;  // caption, 0 empty / 1 text / 2 picture only
    QStringList Kept;
  } const rows[] = {
      {"none offered", {{QStringLiteral("A"), 1}}, {QStringLiteral("A"), QStringLiteral(" ")}},
      {"two empty blank tabs",
       {{QStringLiteral(" "), 0}, {QStringLiteral(" "), 0}},
       {QStringLiteral(" ")}},
      // The empty one goes; the one with text, or with only a picture, stays.
      {"a blank-titled tab with text is kept",
       {{QStringLiteral(" "), 1}, {QStringLiteral(" "), 0}},
       {QStringLiteral(" ")}},
      {"a blank-titled tab with only a picture is kept",
       {{QStringLiteral(" "), 2}, {QStringLiteral(""), 0}},
       {QStringLiteral(" ")}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    Notebook.Page_DestroyAll();
    for (const auto &[caption, content] : row.Tabs) {
      TDocument &doc = *Notebook.Page_Create(caption, QString()).mtcDoc;
      if (content == 1) BuildDocument(doc, {"text"});
      if (content == 2) {
        ASSERT_TRUE(doc.InsetsStorage.PutInsetAt(0, std::make_unique<TvlGraphic>()));
      }
    }
    Notebook.MakeSureABlankTabIsOffered();
    EXPECT_EQ(Captions(), row.Kept);
    const bool holdsSomething = row.Tabs.front().second != 0;
    EXPECT_EQ(Notebook.GetPageFromIndex(0)->mtcDoc->Document_IsBlank() &&
                  Notebook.GetPageFromIndex(0)->mtcDoc->InsetsStorage.High() < 0,
              !holdsSomething);
  }
}

TEST_F(NotebookTest, RenamingNumbersTitlesForgetsTheFileAndCapitalisesTheFirstLetter) {
  struct {
    const char *Title;
    const char *Next;
  } const numbering[] = {{"Notes", "Notes 2"},
                         {"Notes 2", "Notes 3"},
                         {"Notes 9", "Notes 10"},
                         {"Minutes 20240101093000", "Minutes 20240101093001"},
                         {"Minutes 99999999999999999999", "Minutes 100000000000000000000"},
                         {"Notes 2b", "Notes 2b 2"},
                         {"2", "2 2"}};
  for (const auto &row : numbering)
    EXPECT_EQ(TvlNotebook::NumberingRule(QString::fromLatin1(row.Title)),
              QString::fromLatin1(row.Next));

  Notebook.Page_Create(QStringLiteral("notes"), QString());
  Notebook.Page_Create(QStringLiteral("Notes 2"), QString());
  RvlPage &third = Notebook.Page_Create(QStringLiteral("Other"), QStringLiteral("/x/Other.vlTab"));
  BuildDocument(*third.mtcDoc, {"text"});
  const auto rename = [this](int Index, const QString &To) {
    Notebook.Rename_Start(Index);
    Notebook.RenameEdit()->setText(To);
    Notebook.Rename_Finish();
  };
  rename(2, QStringLiteral("  Notes "));
  EXPECT_EQ(Notebook.GetPageFromIndex(2)->Caption, QStringLiteral("Notes 3"));
  EXPECT_EQ(Notebook.GetPageFromIndex(2)->PathName, QString());
  EXPECT_EQ(Notebook.GetPageFromIndex(2)->mtcDoc->ChangeCount(), 1);
  EXPECT_EQ(Captions().last(), QStringLiteral(" "));  // a blank tab is on offer again

  rename(2, QString());  // empty, and the document holds text: nothing changes
  EXPECT_EQ(Notebook.GetPageFromIndex(2)->Caption, QStringLiteral("Notes 3"));

  // With the whole title selected, a lowercase letter starts the new title as a capital.
  Notebook.Rename_Start(0);
  QKeyEvent press(QEvent::KeyPress, Qt::Key_M, Qt::NoModifier, QStringLiteral("m"));
  QApplication::sendEvent(Notebook.RenameEdit(), &press);
  EXPECT_EQ(Notebook.RenameEdit()->text(), QStringLiteral("M"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(Notebook.RenameEdit(), &enter);
  EXPECT_TRUE(Notebook.RenameEdit()->isHidden());
  EXPECT_EQ(Notebook.GetPageFromIndex(0)->Caption, QStringLiteral("M"));
}

TEST_F(NotebookTest, NamedTabNeedsTwoClicksWithin500MsAndAnUnnamedOneOnlyOne) {
  Notebook.Page_Create(QStringLiteral("Named"), QString());
  Notebook.Page_Create(QStringLiteral("Click To Name (Created 13:47)"), QString());
  struct {
    const char *Name;
    int Tab;
    std::int64_t AfterMSecs;
    bool Renames;
  } const clicks[] = {{"first click on a named tab", 0, 0, false},
                      {"second click 499 ms later", 0, 499, true},
                      {"third click 500 ms later", 0, 500, false},
                      {"click on another tab soon after", 1, 10, true},
                      {"named tab right after the other tab", 0, 10, false}};
  for (const auto &click : clicks) {
    SCOPED_TRACE(click.Name);
    Notebook.RenameEdit()->hide();
    Clock.AdvanceMSecs(click.AfterMSecs);
    Notebook.Tabs_LeftMouseDown(click.Tab);
    QCoreApplication::processEvents();
    EXPECT_EQ(!Notebook.RenameEdit()->isHidden(), click.Renames);
    if (click.Renames) {
      EXPECT_EQ(Notebook.TabIndexSelected, click.Tab);
    }
  }
  Notebook.RenameEdit()->hide();

  Notebook.Tabs_RightMouseDown(0, QPoint(10, 10));
  EXPECT_EQ(Notebook.mTabClose->text(), QStringLiteral("Delete \"Named\""));
  EXPECT_EQ(Notebook.ActivePageIndex(), 0);
  int exported = -1;
  Notebook.OnExportRequested = [&](int Index) { exported = Index; };
  Notebook.mTabExport->trigger();
  EXPECT_EQ(exported, 0);
  Notebook.TabsPopupMenu()->hide();
}

TEST_F(NotebookTest, MovedTabsKeepTheirDocuments) {
  for (const char *title : {"A", "B", "C", "D"}) {
    RvlPage &page = Notebook.Page_Create(QString::fromLatin1(title), QString());
    BuildDocument(*page.mtcDoc, {title});
  }
  Notebook.PageControl()->tabBar()->moveTab(0, 2);
  Notebook.PageControl()->tabBar()->moveTab(3, 1);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const RvlPage *page = Notebook.GetPageFromIndex(i);
    EXPECT_EQ(Notebook.PageControl()->widget(i), page->TabSheet);
    EXPECT_EQ(Notebook.PageControl()->tabText(i), page->Caption);
    EXPECT_EQ(ParagraphTexts(*page->mtcDoc), std::vector<std::string>{page->Caption.toStdString()});
  }
  EXPECT_EQ(Captions(), (QStringList{QStringLiteral("B"), QStringLiteral("D"), QStringLiteral("C"),
                                     QStringLiteral("A")}));
}

TEST_F(NotebookTest, ImportGoesIntoTheEmptyBlankTabAndAFailureLeavesNoTab) {
  TFreshFolder folder;
  TDocument source;
  BuildDocument(source, {"imported text"});
  const QString file = folder.File(QStringLiteral("Lecture 3.vlTab"));
  ASSERT_TRUE(source.IO_Save(file, QStringLiteral("Saved Title"), 0));

  Notebook.MakeSureABlankTabIsOffered();  // one blank tab
  ASSERT_EQ(Captions(), QStringList{QStringLiteral(" ")});
  QStringList accessed;
  Notebook.OnFileAccessed = [&](const QString &P) { accessed.append(P); };
  EXPECT_EQ(Notebook.OpenOneTabDocument(file), 0);
  EXPECT_EQ(Captions(), (QStringList{QStringLiteral("Saved Title"), QStringLiteral(" ")}));
  const RvlPage *page = Notebook.GetPageFromIndex(0);
  EXPECT_TRUE(page->IsOnDisk);
  EXPECT_EQ(page->PathName, file);
  EXPECT_EQ(page->mtcDoc->ChangeCount(), 1);
  EXPECT_EQ(page->mtcDoc->FAtPos.FGN, 1);
  EXPECT_EQ(accessed, QStringList{file});
  EXPECT_FALSE(Notebook.Binder_IsCompeletelySaved());

  QStringList forgotten;
  Notebook.OnFileNotFound = [&](const QString &P) { forgotten.append(P); };
  const QString missing = folder.File(QStringLiteral("gone.vlTab"));
  EXPECT_EQ(Notebook.OpenOneTabDocument(missing), -1);
  EXPECT_EQ(Captions(), (QStringList{QStringLiteral("Saved Title"), QStringLiteral("")}));
  EXPECT_EQ(forgotten, QStringList{missing});
  EXPECT_TRUE(TTestEnvironment::TestPrompts().AskedTexts().last().startsWith(
      QStringLiteral("File not found:  gone.vlTab\n\nExpected in folder: \n")));

  // A file that is no isolated tab gives no tab either.
  const QString other = folder.File(QStringLiteral("other.vlTab"));
  WriteAllBytes(other, "not notes\r\n");
  EXPECT_EQ(Notebook.OpenOneTabDocument(other), -1);
  EXPECT_EQ(Notebook.PageCount(), 2);
  TTestEnvironment::TestPrompts().Clear();
}

TEST_F(NotebookTest, SearchListsTheActiveTabFirstAndJumpGoesToTheNearestMoment) {
  RvlPage &a = Notebook.Page_Create(QStringLiteral("A"), QString());
  BuildDocument(*a.mtcDoc, {"apple one", "pear"});
  RvlPage &b = Notebook.Page_Create(QStringLiteral("B"), QString());
  BuildDocument(*b.mtcDoc, {"apple two"});
  Notebook.Page_Create(QStringLiteral("C"), QString());
  Notebook.ActivatePage(1);
  QListWidget results;
  EXPECT_EQ(Notebook.Search_AppendResults(QStringLiteral("APPLE"), &results), 2);
  ASSERT_EQ(results.count(), 2);
  EXPECT_EQ(results.item(0)->text(), QStringLiteral("B: apple two"));
  EXPECT_EQ(results.item(1)->text(), QStringLiteral("A: apple one"));

  // Character k of paragraph n was typed BuiltT0 + n x 1000 + k seconds.
  Notebook.ActivatePage(0);
  Notebook.Timestamp_FindDocAndJumpTextTo(BuiltT0 + 1002.4 / 86400);
  EXPECT_EQ(a.mtcDoc->FAtPos.SN, 1);
  EXPECT_EQ(a.mtcDoc->FAtPos.FGN, 3);
  Notebook.ActivatePage(2);  // no moments at all: the caret stays
  Notebook.GetPageFromIndex(2)->mtcDoc->AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  Notebook.Timestamp_FindDocAndJumpTextTo(BuiltT0);
  EXPECT_EQ(Notebook.GetPageFromIndex(2)->mtcDoc->FAtPos.FGN, 1);
}

TEST_F(NotebookTest, TheKeyboardGoesToTheActivePagesTextWheneverTheNotebookFocusesIt) {
  RvlPage &a = Notebook.Page_Create(QStringLiteral("A"), QString());
  BuildDocument(*a.mtcDoc, {"apple one", "pear"});
  Notebook.Page_Create(QStringLiteral("B"), QString());
  auto *elsewhere = new QLineEdit(&Window);  // the search box, a rename box, a label editor
  Window.resize(400, 300);
  Window.show();
  Window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
  const auto focusElsewhere = [&] {
    elsewhere->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), elsewhere);
  };
  const auto textOf = [&](int Index) { return View(Index)->Text; };

  focusElsewhere();
  Notebook.ActivatePage(0);
  Notebook.FocusActivePage();
  EXPECT_EQ(QApplication::focusWidget(), textOf(0));
  EXPECT_GE(View(0)->CaretScrolls, 1);

  // Renaming.
  Notebook.Rename_Start(1);
  EXPECT_EQ(QApplication::focusWidget(), Notebook.RenameEdit());
  Notebook.RenameEdit()->setText(QStringLiteral("Named"));
  Notebook.Rename_Finish();
  EXPECT_EQ(QApplication::focusWidget(), textOf(Notebook.ActivePageIndex()));

  // Jumping to a moment.
  focusElsewhere();
  Notebook.ActivatePage(0);
  Notebook.Timestamp_FindDocAndJumpTextTo(BuiltT0 + 1002.4 / 86400);
  EXPECT_EQ(QApplication::focusWidget(), textOf(0));

  // A view that cannot take the keyboard is left alone.
  focusElsewhere();
  textOf(0)->setFocusPolicy(Qt::NoFocus);
  Notebook.FocusActivePage();
  EXPECT_EQ(QApplication::focusWidget(), elsewhere);
}

TEST_F(NotebookTest, BinderSavedAndOpenedThroughTheNotebookKeepsActiveTabAndScrollPositions) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("Notes.vl"));
  Notebook.Binder_Open(QString());
  RvlPage &first = Notebook.Page_Create(QStringLiteral("First"), QString());
  BuildDocument(*first.mtcDoc, {"one"});
  View(1)->PageView_SetScrollPos(240);
  Notebook.ActivatePage(1);
  first.mtcDoc->ChangeCount_Increment();
  Notebook.ForceCreationOfNewTab();
  Notebook.ActivatePage(1);
  ASSERT_EQ(Notebook.GetPageFromIndex(Notebook.PageCount() - 1)->Caption, QStringLiteral(" "));
  EXPECT_FALSE(Notebook.Binder_IsCompeletelySaved());
  ASSERT_EQ(Notebook.Binder_Save(path), QString());
  EXPECT_TRUE(Notebook.Binder_IsCompeletelySaved());
  EXPECT_EQ(Notebook.BinderPathName(), path);

  QWidget otherWindow;
  QStringList otherLog;
  TvlNotebook other(&otherWindow, [&](TDocument &Doc, QWidget *Parent) -> QWidget * {
    return new TStandInView(Doc, Parent, otherLog);
  });
  // The blank tab on offer (" ") is not written as a tab of the user's.
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  EXPECT_TRUE(bytes.contains("TabCount=\"2\""));
  EXPECT_FALSE(bytes.contains("TabTitle=\" \""));
  EXPECT_EQ(other.Binder_Open(path), QString());
  ASSERT_GE(other.PageCount(), 2);
  EXPECT_EQ(other.GetPageFromIndex(1)->Caption, QStringLiteral("First"));
  EXPECT_EQ(other.ActivePageIndex(), 1);
  auto *view = static_cast<TStandInView *>(other.GetPageFromIndex(1)->MyWindowView);
  EXPECT_EQ(view->PageView_ScrollPos(), 240);
  EXPECT_GE(view->Layouts, 1);
  EXPECT_TRUE(other.Binder_IsCompeletelySaved());
}

}  // namespace

TEST_F(NotebookTest, EveryTabChangeIsJournalledAndDeletingOrMovingATabIsAChange) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("Tabs.vl"));
  {
    TvlTabList tabs;
    for (const char *title : {"A", "B", "C"})
      BuildDocument(*tabs.Add(QString::fromLatin1(title)).Doc, {title});
    TvlNotebookBinder writer(tabs);
    ASSERT_TRUE(writer.Binder_Save(path).isEmpty());
  }
  ASSERT_TRUE(Notebook.Binder_Open(path).isEmpty());
  EXPECT_TRUE(Notebook.Binder_IsCompeletelySaved());

  Notebook.PageControl()->tabBar()->moveTab(0, 2);  // B C A
  EXPECT_FALSE(Notebook.Binder_IsCompeletelySaved());
  ASSERT_TRUE(Notebook.Binder_Save(path).isEmpty());
  EXPECT_TRUE(Notebook.Binder_IsCompeletelySaved());

  Notebook.TabIndexSelected = 0;
  Notebook.DeleteSelectedPage();  // C A
  EXPECT_FALSE(Notebook.Binder_IsCompeletelySaved());
  Notebook.SetCaption(1, QStringLiteral("A renamed"));
  TDocument &c = *Notebook.GetPageFromIndex(0)->mtcDoc;
  c.AtPos_NoSelectionSet(c.Document_LastCaretPos());
  c.Text_Type(u" typed", 0, false);
  RvlPage &added = Notebook.Page_Create(QStringLiteral("New"), QString());
  added.mtcDoc->Text_Type(u"fresh", 0, false);
  Notebook.Binder().Journal().Flush();

  // What the next start finds: the saved binder and this journal.
  TvlTabList back;
  TvlNotebookBinder reader(back);
  ASSERT_TRUE(reader.Binder_Open(path).isEmpty());
  EXPECT_FALSE(reader.LastRecoveryMessage().isEmpty());
  ASSERT_EQ(back.Tabs_Count(), Notebook.PageCount());
  for (int i = 0; i < back.Tabs_Count(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(back.Tabs_Title(i), Notebook.GetPageFromIndex(i)->Caption);
    EXPECT_EQ(ParagraphTexts(back.Tabs_Document(i)),
              ParagraphTexts(*Notebook.GetPageFromIndex(i)->mtcDoc));
  }
}
