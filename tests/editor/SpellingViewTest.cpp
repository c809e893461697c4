// Spelling in the editor view, offscreen, on the fixed-pitch measures (10 px a character, 20 px a
// line, text from x = 22) and the tiny dictionary of the test tree: the wavy line under unknown
// words only, drawn after an idle check and never under the word being typed; the correction of
// common mistakes while typing; the right-click menu's suggestions and "Add to dictionary".

#include "vlSpelling.h"
#include "vlTestSupport.h"
#include "vlTextContextMenu.h"
#include "vlWindowView.h"
#include "vldTemporal.h"
#include "vleTestSupport.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

#include <memory>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }
constexpr int ViewLeft = 22;

class TTestSpelling final : public ISpelling {
 public:
  explicit TTestSpelling(const QString &PersonalList) : Checker_(PersonalList) {
    Checker_.Load(S(VLE_DATA_DIR "/spell"), S("tiny"));
  }
  TSpellChecker *Checker() override { return &Checker_; }
  bool CheckWhileTyping() const override { return WhileTyping; }
  bool CorrectCommonMistakes() const override { return AutoFix; }
  TSpellChecker Checker_;
  bool WhileTyping = true;
  bool AutoFix = false;
};

class TContextBroker final : public TEffectiveTimeBroker {
 public:
  TDateTime BrokeredEffectiveWhen(TDateTime Context) override {
    return Context >= 100 ? Context : 45100.25;
  }
};

struct TSpellRig {
  explicit TSpellRig(const std::vector<std::string> &Paragraphs) {
    BuildDoc(Doc, Paragraphs);
    Formatter = std::make_unique<TEditFormatter>(&Doc, std::make_unique<TFixedPitchMetrics>());
    View.setFixedSize(225, 100);
    View.SetFormatter(Formatter.get());
    Doc.FontsInUse.CurrentFont_SetFromIndex(DocFont);
    View.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&View));
    View.activateWindow();
    View.setFocus();
    QCoreApplication::processEvents();
  }
  // The view as drawn once the idle check has run.
  QImage Shot() {
    View.Spelling_CheckVisibleNow();
    return View.grab().toImage();
  }

  TFreshFolder Folder;
  TTestSpelling Part{Folder.File(S("Personal Dictionary.txt"))};
  TSeamInstall<ISpelling> Installed{SpellingSeam(), Part};
  TContextBroker Broker;
  TScopedEffectiveTimeBroker ScopedBroker{Broker};
  TDocument Doc;
  std::unique_ptr<TEditFormatter> Formatter;
  TWindowView View{nullptr, QStringLiteral("spelling")};
};

bool IsRed(QRgb C) { return qRed(C) > 150 && qGreen(C) < 90 && qBlue(C) < 90; }

// Red pixels in the band of line Line (1-based, 20 px high) between the X of characters First
// and Last (1-based, 10 px each).
int RedUnder(const QImage &Img, int Line, int First, int Last) {
  int n = 0;
  for (int y = (Line - 1) * 20; y < Line * 20; ++y)
    for (int x = ViewLeft + (First - 1) * 10; x < ViewLeft + Last * 10; ++x)
      if (IsRed(Img.pixel(x, y))) ++n;
  return n;
}

TEST(SpellingView, WavyLineOnlyUnderUnknownWordsWhileTheOptionIsOn) {
  // "catt" is characters 5..8 of line 1; "xqz" 1..3 of line 2 (a paragraph of its own).
  TSpellRig rig({"the catt sat", "xqz on mat"});
  rig.Doc.AtPos_NoSelectionSet(TCaretPos{1, 11, false});
  const QImage img = rig.Shot();
  EXPECT_GT(RedUnder(img, 1, 5, 8), 8);
  EXPECT_EQ(RedUnder(img, 1, 1, 4), 0);   // "the "
  EXPECT_EQ(RedUnder(img, 1, 9, 12), 0);  // " sat"
  EXPECT_GT(RedUnder(img, 2, 1, 3), 4);
  EXPECT_EQ(RedUnder(img, 2, 4, 10), 0);
  // The line sits at the bottom of the line, below the letters.
  int top = 20;
  for (int y = 0; y < 20; ++y)
    for (int x = ViewLeft + 40; x < ViewLeft + 80; ++x)
      if (IsRed(img.pixel(x, y))) top = std::min(top, y);
  EXPECT_GE(top, 15);

  // Off: nothing is marked.
  rig.Part.WhileTyping = false;
  rig.View.InvalidateAllOfMe();
  EXPECT_EQ(RedUnder(rig.Shot(), 1, 1, 12), 0);
  // A check on request shows the marks in this view and selects the first unknown word.
  rig.Doc.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  EXPECT_TRUE(rig.View.Spelling_CheckOnRequest());
  EXPECT_EQ(rig.Doc.SelectPos_Start().FGN, 5);
  EXPECT_EQ(rig.Doc.SelectPos_End().FGN, 9);
  EXPECT_GT(RedUnder(rig.Shot(), 1, 5, 8), 8);
  EXPECT_TRUE(rig.View.Spelling_CheckOnRequest());  // on to the next one
  EXPECT_EQ(rig.Doc.SelectPos_Start().SN, 1);
}

TEST(SpellingView, TheWordBeingTypedIsMarkedOnlyOnceItEnds) {
  TSpellRig rig({"the"});
  rig.Doc.AtPos_NoSelectionSet(TCaretPos{0, 4, false});
  QTest::keyClicks(&rig.View, S(" catt"));
  EXPECT_EQ(RedUnder(rig.Shot(), 1, 5, 8), 0);
  QTest::keyClicks(&rig.View, S(" "));
  // The idle check runs by itself after typing.
  EXPECT_TRUE(QTest::qWaitFor([&] { return RedUnder(rig.View.grab().toImage(), 1, 5, 8) > 8; }));
  // An edit elsewhere in the paragraph keeps the mark of the word still in its place.
  rig.Doc.AtPos_NoSelectionSet(TCaretPos{0, 10, false});
  QTest::keyClicks(&rig.View, S("on"));
  EXPECT_GT(RedUnder(rig.View.grab().toImage(), 1, 5, 8), 8);
}

TEST(SpellingView, CommonMistakesAreCorrectedAsTheWordEnds) {
  TSpellRig rig({""});
  QTest::keyClicks(&rig.View, S("teh cat"));
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"teh cat"}));  // the option is off
  rig.Part.AutoFix = true;
  QTest::keyClicks(&rig.View, S(" adn teh."));
  QTest::keyClick(&rig.View, Qt::Key_Return);
  QTest::keyClicks(&rig.View, S("Recieve"));
  QTest::keyClick(&rig.View, Qt::Key_Return);
  rig.View.InsertCommittedText(S("wich "));  // an input method's commit
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"teh cat and the.", "Receive", "which "}));
  EXPECT_EQ(rig.Doc.FAtPos.SN, 2);
  EXPECT_EQ(rig.Doc.FAtPos.FGN, 7);
}

TEST(SpellingView, RightClickOffersSuggestionsAndAddToDictionary) {
  TSpellRig rig({"the catt sat"});
  const auto rightClick = [&](int Char) {
    const QPoint at(ViewLeft + (Char - 1) * 10 + 3, 10);
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, rig.View.mapToGlobal(at));
    QCoreApplication::sendEvent(&rig.View, &e);
    return rig.View.ContextMenu();
  };
  QMenu *menu = rightClick(6);
  ASSERT_NE(menu, nullptr);
  QStringList suggestions;
  for (QAction *a : menu->actions())
    if (a->objectName() == S("SpellingSuggestion")) suggestions << a->text();
  ASSERT_TRUE(suggestions.contains(S("cat")));
  // The caret went where the click was: no selection, so nothing to cut or copy.
  EXPECT_EQ(rig.Doc.FAtPos.FGN, 6);
  const auto item = [&](QMenu *M, const char *Name) { return M->findChild<QAction *>(S(Name)); };
  ASSERT_NE(item(menu, "aEditCopy"), nullptr);
  EXPECT_FALSE(item(menu, "aEditCopy")->isEnabled());
  EXPECT_FALSE(item(menu, "aFileCut")->isEnabled());
  EXPECT_TRUE(item(menu, "aEditSelectAll")->isEnabled());
  for (QAction *a : menu->actions())
    if (a->text() == S("cat")) a->trigger();
  menu->close();
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"the cat sat"}));
  // The word replaced kept the moments of its characters where they were.
  EXPECT_DOUBLE_EQ(rig.Doc.Paragraph_FromSectionNum(0)->Timestamp_Get(5).FEffectiveDT,
                   45000.5 + 4 / 86400.0);

  // A known word offers no spelling; Select All then selects everything.
  menu = rightClick(2);
  EXPECT_EQ(item(menu, "SpellingAddToDictionary"), nullptr);
  item(menu, "aEditSelectAll")->trigger();
  menu->close();
  EXPECT_EQ(rig.Doc.SelectPos_End().FGN, 12);
  menu = rightClick(2);  // inside the selection: it stays, Copy is offered
  EXPECT_TRUE(item(menu, "aEditCopy")->isEnabled());
  menu->close();

  // "Add to dictionary": the word is known from then on, in this list and the next checker.
  rig.Doc.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  rig.Doc.Char_Insert(u'q', DocFont, TCaretPos{0, 1, false});  // "qthe"
  menu = rightClick(2);
  ASSERT_NE(item(menu, "SpellingAddToDictionary"), nullptr);
  item(menu, "SpellingAddToDictionary")->trigger();
  menu->close();
  EXPECT_TRUE(rig.Part.Checker_.IsCorrect(S("qthe")));
  EXPECT_EQ(RedUnder(rig.Shot(), 1, 1, 12), 0);
  TSpellChecker next(rig.Folder.File(S("Personal Dictionary.txt")));
  ASSERT_TRUE(next.Load(S(VLE_DATA_DIR "/spell"), S("tiny")));
  EXPECT_TRUE(next.IsCorrect(S("qthe")));
}

}  // namespace
