// Undo as a user meets it in the program put together as main() puts it together, over the
// simulated sound server: notes typed while recording, a paragraph deleted by mistake, Ctrl+Z,
// and the paragraph is back with the moments it was typed at, so that playing from the caret
// there plays the recording from where it was said. Redo and the Edit menu follow.

#include "vl09_Main.h"
#include "vl09_Notebook.h"
#include "vlEditorPage.h"
#include "vlProgramRig.h"
#include "vlWindowView.h"
#include "vldUndoHistory.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <vector>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// A paragraph's text with both moments of every character.
struct RParagraphSeen {
  QString Text;
  std::vector<RvlTimestamp> Moments;
  bool operator==(const RParagraphSeen &) const = default;
};

RParagraphSeen Seen(const TDocument &Doc, int SN) {
  RParagraphSeen out;
  if (const TParagraph *p = Doc.Paragraph_FromSectionNum(SN)) {
    out.Text = p->Text();
    for (int i = 1; i <= p->High(); ++i) out.Moments.push_back(p->Timestamp_Get(i));
  }
  return out;
}

bool EditMenuOffers(const TProgramRig &Run, const char *Caption) {
  QAction *item = Run.MenuItem(S("&Edit"), S(Caption));
  QMenu *edit = nullptr;
  for (QAction *top : Run.Window->menuBar()->actions())
    if (top->text() == S("&Edit")) edit = top->menu();
  if (!item || !edit) return false;
  Q_EMIT edit->aboutToShow();
  const bool enabled = item->isEnabled();
  Q_EMIT edit->aboutToHide();
  return enabled;
}

}  // namespace

TEST(CompositionUndo, CtrlZGivesADeletedParagraphBackWithTheMomentsPlayingStartsFrom) {
  TProgramRig run;
  ASSERT_TRUE(run.Window->AudioReady());
  TvlEditorPage *page = run.ActivePage();
  ASSERT_NE(page, nullptr);
  TWindowView &view = page->View();
  TDocument &doc = *run.Program->Notebook()->GetActiveDocument();
  EXPECT_FALSE(EditMenuOffers(run, "&Undo"));

  run.MenuItem(S("&Record"), S("&Start"))->trigger();
  run.Run(1000);
  ASSERT_TRUE(run.Program->Audio().IsRecording());
  QTest::keyClicks(&view, S("first line"));
  QTest::keyClick(&view, Qt::Key_Return);
  run.Run(1500);
  QTest::keyClicks(&view, S("the paragraph said later"));
  QTest::keyClick(&view, Qt::Key_Return);
  run.Run(500);
  QTest::keyClicks(&view, S("last"));
  run.Run(500);
  run.MenuItem(S("&Record"), S("S&top"))->trigger();
  run.Run(500);
  ASSERT_FALSE(run.Program->Audio().IsRecording());
  // The paragraph before the last one typed.
  const int sn = doc.Section_High() - 1;
  const RParagraphSeen typed = Seen(doc, sn);
  ASSERT_EQ(typed.Text, S("the paragraph said later"));
  EXPECT_TRUE(EditMenuOffers(run, "&Undo"));

  // The whole paragraph with its line break selected and deleted.
  doc.FAtPosSelect = TCaretPos{sn, 1, false};
  doc.FAtPos = TCaretPos{sn + 1, 1, false};
  view.Caret_MoveToPos(doc.FAtPos);
  QTest::keyClick(&view, Qt::Key_Delete);
  ASSERT_EQ(Seen(doc, sn).Text, S("last"));

  QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Seen(doc, sn), typed);
  EXPECT_EQ(Seen(doc, sn + 1).Text, S("last"));
  EXPECT_TRUE(EditMenuOffers(run, "&Redo"));

  // Playing from the caret there starts where the paragraph was said.
  doc.AtPos_NoSelectionSet(TCaretPos{sn, 1, false});
  view.Caret_MoveToPos(doc.FAtPos);
  const TDateTime said = typed.Moments.front().FEffectiveDT;
  EXPECT_NEAR(view.CaretMoment(), said, 1e-9);
  run.MenuItem(S("&Play"), S("Play &from the Caret"))->trigger();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        run.Run(20);
        return run.Program->Audio().IsPlaying();
      },
      5000));
  EXPECT_NEAR((run.Program->Audio().GetPlay_Position() - said) * 86400, 0, 1.0);
  run.MenuItem(S("&Play"), S("S&top / Pause"))->trigger();

  // Ctrl+Y and Ctrl+Shift+Z do it again; Edit > Undo takes it back once more.
  view.setFocus();
  QTest::keyClick(&view, Qt::Key_Y, Qt::ControlModifier);
  EXPECT_EQ(Seen(doc, sn).Text, S("last"));
  QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(&view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Seen(doc, sn).Text, S("last"));
  run.MenuItem(S("&Edit"), S("&Undo"))->trigger();
  EXPECT_EQ(Seen(doc, sn), typed);
  EXPECT_FALSE(run.Program->Notebook()->Binder_IsCompeletelySaved());
}
