// The notebook with its real pages (editor view, scroll bar, formatter on the real fonts),
// offscreen: where the keyboard goes when the notebook focuses a page, and the scroll position a
// reopened binder shows.

#include "vl09_Notebook.h"
#include "vlEditorPage.h"
#include "vlTestSupport.h"
#include "vlWindowView.h"
#include "vleTestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

namespace {

// A main window of 500 x 300 whose notebook has editor pages, and a line edit that stands for
// the rest of the window (search box, rename box, label editor).
struct TWindowRig {
  QWidget Window;
  QWidget *NotebookPanel = nullptr;
  QLineEdit *Elsewhere = nullptr;
  std::unique_ptr<TvlNotebook> Notebook;
  TWindowRig() {
    auto *layout = new QVBoxLayout(&Window);
    Elsewhere = new QLineEdit(&Window);
    NotebookPanel = new QWidget(&Window);
    layout->addWidget(Elsewhere);
    layout->addWidget(NotebookPanel, 1);
    Notebook = std::make_unique<TvlNotebook>(NotebookPanel, MakeEditorPageFactory());
    Window.resize(500, 300);
  }
  ~TWindowRig() { Notebook.reset(); }
  void Show() {
    Window.show();
    Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    QCoreApplication::processEvents();
  }
  TvlEditorPage &Page(int Index) {
    return *static_cast<TvlEditorPage *>(Notebook->GetPageFromIndex(Index)->MyWindowView);
  }
  TvlEditorPage &ActivePage() { return Page(Notebook->ActivePageIndex()); }
};

std::vector<std::string> Numbered(int Count) {
  std::vector<std::string> lines;
  for (int i = 1; i <= Count; ++i) lines.push_back("Line " + std::to_string(i));
  return lines;
}

TEST(EditorPage, TheNotebookPutsTheKeyboardIntoTheText) {
  TWindowRig rig;
  rig.Notebook->Binder_Open(QString());
  RvlPage &page = rig.Notebook->Page_Create(QStringLiteral("Notes"), QString());
  BuildDoc(*page.mtcDoc, {"first", "second"});
  rig.Notebook->ActivatePage(1);
  rig.Show();
  TWindowView &view = rig.ActivePage().View();

  // What the program does after start-up, a closed search panel or an ended label, after a
  // rename, and for "Jump to Corresponding Point in Notes".
  const struct {
    const char *Name;
    std::function<void()> Act;
  } cases[] = {
      {"focusing the active page", [&] { rig.Notebook->FocusActivePage(); }},
      {"renaming",
       [&] {
         rig.Notebook->Rename_Start(1);
         rig.Notebook->RenameEdit()->setText(QStringLiteral("Renamed"));
         rig.Notebook->Rename_Finish();
       }},
      {"jumping to a moment", [&] { rig.Notebook->Timestamp_FindDocAndJumpTextTo(40000); }},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    rig.Elsewhere->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), rig.Elsewhere);
    c.Act();
    ASSERT_EQ(QApplication::focusWidget(), &view);
    // The user types at once, without a click into the text.
    page.mtcDoc->AtPos_NoSelectionSet(TCaretPos{0, 1, false});
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ok "));
    EXPECT_EQ(Texts(*page.mtcDoc)[0].substr(0, 3), "ok ");
    page.mtcDoc->Char_Delete(TCaretPos{0, 1, false});
    page.mtcDoc->Char_Delete(TCaretPos{0, 1, false});
    page.mtcDoc->Char_Delete(TCaretPos{0, 1, false});
  }
}

TEST(EditorPage, AReopenedBinderShowsTheSavedScrollPositionWithTheCaretInView) {
  TFreshFolder folder;
  const struct {
    const char *Name;
    int CaretParagraph;  // 0-based; one line each
    int SavedFirstLine;
    bool ShownBeforeOpening;
  } rows[] = {
      {"caret inside the saved view", 59, 50, false},
      {"caret inside the saved view, window already shown", 59, 50, true},
      {"caret below the saved view", 95, 50, false},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    const QString path = folder.File(QStringLiteral("Notes.vl"));
    {
      TWindowRig saver;
      saver.Notebook->Binder_Open(QString());
      RvlPage &page = saver.Notebook->Page_Create(QStringLiteral("Long"), QString());
      BuildDoc(*page.mtcDoc, Numbered(100));
      saver.Notebook->ActivatePage(1);
      saver.Show();
      page.mtcDoc->AtPos_NoSelectionSet(TCaretPos{row.CaretParagraph, 3, false});
      saver.Page(1).View().SetFirstVisibleLine(row.SavedFirstLine);
      QCoreApplication::processEvents();
      ASSERT_EQ(saver.Notebook->Binder_Save(path), QString());
    }

    TWindowRig rig;
    if (row.ShownBeforeOpening) rig.Show();
    ASSERT_EQ(rig.Notebook->Binder_Open(path), QString());
    if (!row.ShownBeforeOpening) {
      // Saved again before the tab was ever shown: the position read is the one written.
      ASSERT_EQ(rig.Notebook->Binder_Save(path), QString());
      rig.Show();
    }
    QCoreApplication::processEvents();
    TvlEditorPage &page = rig.ActivePage();
    TWindowView &view = page.View();
    TEditFormatter &f = *view.Formatter();
    ASSERT_GT(view.height(), 150);
    const std::int32_t caretLine = f.Lines_LineNumFromDocPos(page.Document().FAtPos);
    const std::int32_t first = view.FirstVisibleLine();
    EXPECT_EQ(page.Document().FAtPos.SN, row.CaretParagraph);
    // The caret's line is in view, and so is text above it.
    EXPECT_GE(f.Lines_TopPixel(caretLine), f.Lines_TopPixel(first));
    EXPECT_LE(f.Lines_TopPixel(caretLine) + f.Lines_Height(caretLine),
              f.Lines_TopPixel(first) + view.height());
    EXPECT_LT(first, caretLine - 3);
    if (row.CaretParagraph + 1 < row.SavedFirstLine + 10) {
      EXPECT_EQ(first, row.SavedFirstLine);
    }
    EXPECT_EQ(QApplication::focusWidget(), &view);
  }
}

}  // namespace
