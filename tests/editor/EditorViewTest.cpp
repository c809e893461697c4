// The editor view, its keys, its mouse and the view manager, offscreen with QTest, on the
// fixed-pitch measures: 10 px per character, 20 px per line, text from x = 22 (link column 20,
// margin 2), a text area of 200 px (20 characters) in a view 225 px wide and 100 px high.

#include "vlEditorHost.h"
#include "vlGuard.h"
#include "vlKeyBehavior.h"
#include "vlTestSupport.h"
#include "vlTextBullets.h"
#include "vlWindowView.h"
#include "vlWindowViewManager.h"
#include "vldGraphic.h"
#include "vleTestSupport.h"
#include "vlwAtData.h"

#include <gtest/gtest.h>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QTest>
#include <QWindow>

#include <memory>

namespace {

constexpr int ViewLeft = 22;
constexpr TDateTime BrokerMoment = 45100.25;

class TFakeHost final : public IEditorHost {
 public:
  int Bold = 0, Italic = 0, Underline = 0, Save = 0, Bullets = 0, SearchClosed = 0, Changes = 0;
  void FontBold() override { ++Bold; }
  void FontItalic() override { ++Italic; }
  void FontUnderline() override { ++Underline; }
  void FileSave() override { ++Save; }
  void TextBullets() override { ++Bullets; }
  void SearchClose() override { ++SearchClosed; }
  void IncrementChangeCountOfActiveDoc() override { ++Changes; }
};

class TFakeSink final : public IBookmarkSink {
 public:
  struct REvent {
    int Code;
    QString Text;
    TDateTime When;
  };
  std::vector<REvent> Events;
  std::vector<std::int32_t> Edited;
  bool Refuse = false;
  std::int32_t AddMarker(int Code, TDateTime When) override {
    Events.push_back({Code, {}, When});
    return static_cast<std::int32_t>(Events.size()) - 1;
  }
  std::int32_t AddLabel(const QString &Text, TDateTime When) override {
    if (Refuse) return -1;
    // An existing label answers its own ID, as the day files do.
    for (std::size_t i = 0; i < Events.size(); ++i)
      if (Events[i].Code == 32 && Events[i].Text == Text && Events[i].When == When)
        return static_cast<std::int32_t>(i);
    Events.push_back({32, Text, When});
    return static_cast<std::int32_t>(Events.size()) - 1;
  }
  void BookmarkEdit(std::int32_t ID) override { Edited.push_back(ID); }
};

// The moment of the surrounding text, or a fixed one where there is none.
class TFakeBroker final : public TEffectiveTimeBroker {
 public:
  TDateTime BrokeredEffectiveWhen(TDateTime Context) override {
    return Context >= 100 ? Context : BrokerMoment;
  }
};

class TTypingSink final : public TTypingEventSink {
 public:
  std::vector<std::pair<TDateTime, QString>> Added;
  std::vector<TDateTime> Deleted;
  void AddTypingEvent(TDateTime When, QStringView Text) override {
    Added.emplace_back(When, Text.toString());
  }
  void DeleteTypingEventAt(TDateTime When, QStringView) override { Deleted.push_back(When); }
};

struct TRig {
  explicit TRig(const std::vector<std::string> &Paragraphs, int Height = 100, int Width = 225) {
    BuildDoc(Doc, Paragraphs);
    Formatter = std::make_unique<TEditFormatter>(&Doc, std::make_unique<TFixedPitchMetrics>());
    auto *layout = new QHBoxLayout(&Window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    View = new TWindowView(&Window, QStringLiteral("test"));
    Bar = new QScrollBar(Qt::Vertical, &Window);
    layout->addWidget(View);
    layout->addWidget(Bar);
    View->setFixedSize(Width, Height);
    View->SetScrollbar(Bar);
    View->SetFormatter(Formatter.get());
    Doc.FontsInUse.CurrentFont_SetFromIndex(DocFont);
    Window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&Window));
    Window.activateWindow();
    View->setFocus();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
    QCoreApplication::processEvents();
  }
  ~TRig() {
    SetEditorHost(nullptr);
    SetBookmarkSink(nullptr);
  }
  void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) { QTest::keyClick(View, K, M); }
  void Type(const char *Text) { QTest::keyClicks(View, QString::fromUtf8(Text)); }
  void Caret(int SN, int GN) {
    Doc.AtPos_NoSelectionSet(TCaretPos{SN, GN, false});
    View->SetDesiredXFromCaret();
  }
  TCaretPos At() const { return Doc.FAtPos; }

  TDocument Doc;
  std::unique_ptr<TEditFormatter> Formatter;
  QWidget Window;
  TWindowView *View = nullptr;
  QScrollBar *Bar = nullptr;
  TFakeHost Host;
  TFakeSink Sink;
  TFakeBroker Broker;
  TScopedEffectiveTimeBroker ScopedBroker{Broker};
};

TEST(EditorView, TypedSequenceEditsTheDocumentAndFilesTypingEvents) {
  TRig rig({"hello"});
  TTypingSink typing;
  TScopedTypingEventSink scoped(typing);
  SetEditorHost(&rig.Host);
  rig.Caret(0, 6);
  rig.Type(" wor~ld");
  rig.Key(Qt::Key_Return);
  rig.Type("x");
  rig.Key(Qt::Key_Backspace);  // deletes x
  rig.Key(Qt::Key_Backspace);  // joins the paragraphs
  rig.Key(Qt::Key_Left);
  rig.Key(Qt::Key_Left);
  rig.Key(Qt::Key_Delete);  // the "l" of "ld"
  // An accented letter from the keyboard layout is typed; nothing is typed by Alt+letter or by
  // Ctrl+letter (its command).
  QTest::keyClick(rig.View, Qt::Key_E, Qt::NoModifier);
  rig.Key(Qt::Key_Backspace);
  QKeyEvent accented(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("\u00e9"));
  QCoreApplication::sendEvent(rig.View, &accented);
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"hello wor~\u00e9d"}));
  rig.Key(Qt::Key_Backspace);
  rig.Key(Qt::Key_A, Qt::AltModifier);
  rig.Key(Qt::Key_B, Qt::ControlModifier);
  rig.Key(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"hello wor~d"}));
  EXPECT_EQ(rig.At().FGN, 11);
  EXPECT_EQ(rig.Host.Bold, 1);
  EXPECT_EQ(rig.Host.Save, 1);
  // Every typed character became a typing event at its moment, the deleted ones were unlisted.
  ASSERT_GE(typing.Added.size(), 9u);
  EXPECT_EQ(typing.Added[0].second, QStringLiteral(" "));
  EXPECT_GE(typing.Deleted.size(), 2u);
  // Typed text sits next to the moment of the text it was typed into.
  const RvlTimestamp w = rig.Doc.Paragraph_FromSectionNum(0)->Timestamp_Get(7);
  EXPECT_GT(w.FEffectiveDT, 45000.0);
  EXPECT_LT(w.FEffectiveDT, 45000.6);

  // Overwriting: the character after the caret is replaced and keeps its place on the
  // recording; nothing new is listed. At the paragraph's end there is nothing to overwrite, so
  // the character is typed as usual.
  const std::size_t added = typing.Added.size(), deleted = typing.Deleted.size();
  const RvlTimestamp h = rig.Doc.Paragraph_FromSectionNum(0)->Timestamp_Get(1);
  rig.View->TypingMode = tmOverstrike;
  rig.Caret(0, 1);
  rig.Type("J");
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"Jello wor~d"}));
  EXPECT_EQ(rig.At().FGN, 2);
  EXPECT_DOUBLE_EQ(rig.Doc.Paragraph_FromSectionNum(0)->Timestamp_Get(1).FEffectiveDT,
                   h.FEffectiveDT);
  EXPECT_EQ(typing.Added.size(), added);
  EXPECT_EQ(typing.Deleted.size(), deleted);
  rig.Key(Qt::Key_End);
  rig.Type("!");
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"Jello wor~d!"}));
  ASSERT_EQ(typing.Added.size(), added + 1);
  EXPECT_EQ(typing.Added.back().second, QStringLiteral("!"));
}

TEST(EditorView, UpAndDownKeepTheColumnThroughShortLines) {
  TRig rig({"aaaaaaaaaaaa", "bb", "cccccccccccc"});
  rig.Caret(0, 9);
  rig.Key(Qt::Key_Down);
  EXPECT_EQ(rig.At().SN, 1);
  EXPECT_EQ(rig.At().FGN, 3);
  rig.Key(Qt::Key_Down);
  EXPECT_EQ(rig.At().SN, 2);
  EXPECT_EQ(rig.At().FGN, 9);
  rig.Key(Qt::Key_Down);  // the last line: stays
  EXPECT_EQ(rig.At().FGN, 9);
  rig.Key(Qt::Key_Up);
  rig.Key(Qt::Key_Up);
  EXPECT_EQ(rig.At().SN, 0);
  EXPECT_EQ(rig.At().FGN, 9);
  rig.Key(Qt::Key_Up);  // line 1: stays
  EXPECT_EQ(rig.At().FGN, 9);
  // Home and End of the line; Ctrl+Home and Ctrl+End of the document.
  rig.Key(Qt::Key_End);
  EXPECT_EQ(rig.At().FGN, 13);
  rig.Key(Qt::Key_Home);
  EXPECT_EQ(rig.At().FGN, 1);
  rig.Key(Qt::Key_End, Qt::ControlModifier);
  EXPECT_EQ(rig.At().SN, 2);
  EXPECT_EQ(rig.At().FGN, 13);
  rig.Key(Qt::Key_Right);  // the last position: stays
  EXPECT_EQ(rig.At().FGN, 13);
}

TEST(EditorView, ShiftSelectsAndTypingReplacesTheSelection) {
  TRig rig({"one two three"});
  rig.Caret(0, 5);
  rig.Key(Qt::Key_Right, Qt::ShiftModifier);
  rig.Key(Qt::Key_Right, Qt::ShiftModifier);
  rig.Key(Qt::Key_Right, Qt::ShiftModifier);
  ASSERT_TRUE(rig.Doc.Select_IsAnyTextSelected());
  rig.Type("2");
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"one 2 three"}));
  // Left without Shift with a selection lands one before its start.
  rig.Caret(0, 3);
  rig.Key(Qt::Key_Right, Qt::ShiftModifier | Qt::ControlModifier);
  rig.Key(Qt::Key_Left);
  EXPECT_FALSE(rig.Doc.Select_IsAnyTextSelected());
  EXPECT_EQ(rig.At().FGN, 2);
  // Tab types nothing and keeps the focus.
  rig.Key(Qt::Key_Tab);
  EXPECT_TRUE(rig.View->hasFocus());
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"one 2 three"}));
}

TEST(EditorView, FunctionKeysSetBookmarksAtTheCaretsMoment) {
  TRig rig({"timed text", ""});
  SetBookmarkSink(&rig.Sink);
  SetEditorHost(&rig.Host);
  rig.Caret(0, 6);
  rig.Key(Qt::Key_F1);
  rig.Key(Qt::Key_F9);
  ASSERT_EQ(rig.Sink.Events.size(), 2u);
  EXPECT_EQ(rig.Sink.Events[0].Code, 49);
  EXPECT_EQ(rig.Sink.Events[1].Code, 57);
  EXPECT_GT(rig.Sink.Events[0].When, 45000.0);  // the text's own moment
  EXPECT_LT(rig.Sink.Events[0].When, 45000.6);
  // In an empty paragraph there is no text moment: the broker's, never 0.
  rig.Caret(1, 1);
  rig.Key(Qt::Key_F2);
  EXPECT_DOUBLE_EQ(rig.Sink.Events.back().When, BrokerMoment);
  // F10 twice at one moment edits the same label both times; a refused label edits nothing.
  rig.Key(Qt::Key_F10);
  rig.Key(Qt::Key_F10);
  ASSERT_EQ(rig.Sink.Edited.size(), 2u);
  EXPECT_EQ(rig.Sink.Edited[0], rig.Sink.Edited[1]);
  EXPECT_EQ(rig.Sink.Events[static_cast<std::size_t>(rig.Sink.Edited[0])].Text,
            QStringLiteral("F10"));
  rig.Sink.Refuse = true;
  rig.Key(Qt::Key_F12);
  EXPECT_EQ(rig.Sink.Edited.size(), 2u);
  EXPECT_EQ(rig.Host.Changes, 6);
}

TEST(EditorView, EnterContinuesBulletsAndEscapeClosesSearch) {
  TRig rig({"item"});
  SetEditorHost(&rig.Host);
  rig.Doc.Paragraph_Outline_Set(0, oBullet, QStringLiteral("* "));
  rig.Caret(0, rig.Doc.Paragraph_Length(0) + 1);
  rig.Key(Qt::Key_Return);
  EXPECT_EQ(rig.At().SN, 1);
  EXPECT_EQ(rig.At().FGN, 1);
  EXPECT_EQ(rig.Host.Bullets, 1);
  rig.Key(Qt::Key_Escape);
  EXPECT_EQ(rig.Host.SearchClosed, 1);
}

TEST(EditorView, ScrollingKeepsTheCaretVisibleAndOnlyVerticalWheelsScroll) {
  std::vector<std::string> lines;
  for (int i = 0; i < 30; ++i) lines.push_back("line " + std::to_string(i));
  TRig rig(lines);  // 5 lines fit
  rig.Key(Qt::Key_End, Qt::ControlModifier);
  const std::int32_t L = rig.Formatter->Lines_LineNumFromDocPos(rig.At());
  EXPECT_EQ(L, 30);
  EXPECT_GE(L, rig.View->FirstVisibleLine());
  EXPECT_LE(rig.Formatter->Lines_TopPixel(L) + 20,
            rig.Formatter->Lines_TopPixel(rig.View->FirstVisibleLine()) + 100);
  rig.Key(Qt::Key_Home, Qt::ControlModifier);
  EXPECT_EQ(rig.View->FirstVisibleLine(), 1);

  const auto wheel = [&](QPoint Delta) {
    QWheelEvent e(QPointF(50, 50), rig.View->mapToGlobal(QPointF(50, 50)), QPoint(), Delta,
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(rig.View, &e);
  };
  wheel(QPoint(120, 0));  // sideways
  EXPECT_EQ(rig.View->FirstVisibleLine(), 1);
  EXPECT_EQ(rig.Bar->value(), 0);
  wheel(QPoint(0, -120));
  EXPECT_EQ(rig.View->FirstVisibleLine(), 2);
  EXPECT_EQ(rig.Bar->value(), 20);  // the scroll bar counts pixels of line tops
  EXPECT_EQ(rig.Bar->maximum(), 28 * 20);
  for (int i = 0; i < 7; ++i) wheel(QPoint(0, -15));
  EXPECT_EQ(rig.View->FirstVisibleLine(), 2);
  wheel(QPoint(0, -15));
  EXPECT_EQ(rig.View->FirstVisibleLine(), 3);
  // The last line never becomes the first; an arrow click moves one line.
  for (int i = 0; i < 100; ++i) wheel(QPoint(0, -120));
  EXPECT_EQ(rig.View->FirstVisibleLine(), 29);
  rig.Bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(rig.View->FirstVisibleLine(), 28);
  // Page Down scrolls without moving the caret.
  rig.Key(Qt::Key_Home, Qt::ControlModifier);
  rig.Key(Qt::Key_PageDown);
  EXPECT_GT(rig.View->FirstVisibleLine(), 1);
  EXPECT_EQ(rig.At().SN, 0);
}

TEST(EditorView, ALineTallerThanTheWindowStaysInViewWithItsCaret) {
  TRig rig({"a", "b", "c"}, 30);
  const TFontIndex huge =
      rig.Doc.Font_GetIndex(QStringLiteral("Arial"), 0, 40, 0, clWhite, TFontStyles());
  rig.Doc.Font_Change(TCharSpan{{2, 1}, {2, 1}}, huge);  // 80 px high line 3
  rig.Caret(2, 2);
  rig.View->Caret_ScrollIntoView();
  EXPECT_EQ(rig.View->FirstVisibleLine(), 2);  // the last line may not be first: its top is in view
  rig.Caret(1, 1);
  rig.View->Caret_ScrollIntoView();
  EXPECT_LE(rig.View->FirstVisibleLine(), 2);
}

TEST(EditorView, ALineBelowTheCaretTallerThanTheWindowLeavesTheCaretsLineInView) {
  // Line 4 is 80 px high in a 30 px window: the caret's line 3 must not end above the window.
  TRig rig({"a", "b", "c", "d", "e", "f"}, 30);
  const TFontIndex huge =
      rig.Doc.Font_GetIndex(QStringLiteral("Arial"), 0, 40, 0, clWhite, TFontStyles());
  rig.Doc.Font_Change(TCharSpan{{3, 1}, {3, 1}}, huge);
  rig.Caret(2, 2);
  rig.View->Caret_ScrollIntoView();
  EXPECT_EQ(rig.View->FirstVisibleLine(), 3);
  const QRect caret = rig.View->ezCaret().Rect();
  EXPECT_GE(caret.top(), 0);
  EXPECT_LT(caret.top(), 30);
}

TEST(EditorView, EndReachesTheLineEndInAVeryWideWindow) {
  // 1,100 characters of 10 px: the line ends near x = 11,000, far right of any fixed aim.
  TRig rig({std::string(1100, 'a'), "b"}, 60, 11500);
  ASSERT_EQ(rig.Formatter->Lines_High(), 2);
  rig.Caret(0, 1);
  rig.Key(Qt::Key_End);
  EXPECT_EQ(rig.At().SN, 0);
  EXPECT_EQ(rig.At().FGN, 1101);
  rig.Key(Qt::Key_Home);
  EXPECT_EQ(rig.At().FGN, 1);
}

TEST(EditorView, InputMethodCommitsInsertTheirTextWithOneMoment) {
  TRig rig({""});
  TTypingSink typing;
  TScopedTypingEventSink scoped(typing);
  QInputMethodEvent e;
  e.setCommitString(QStringLiteral("h\u00e9llo \u4e2d"));
  QCoreApplication::sendEvent(rig.View, &e);
  const TParagraph &p = *rig.Doc.Paragraph_FromSectionNum(0);
  ASSERT_EQ(p.Text(), QStringLiteral("h\u00e9llo \u4e2d"));
  for (int i = 2; i <= p.High(); ++i) EXPECT_EQ(p.Timestamp_Get(i), p.Timestamp_Get(1));
  EXPECT_DOUBLE_EQ(p.Timestamp_Get(1).FEffectiveDT, BrokerMoment);
  EXPECT_EQ(rig.At().FGN, p.High() + 1);
  // Committed text is typed text: every character is a typing event at the commit's moment.
  ASSERT_EQ(typing.Added.size(), 7u);
  QString listed;
  for (const auto &[when, text] : typing.Added) {
    EXPECT_DOUBLE_EQ(when, typing.Added[0].first);
    listed += text;
  }
  EXPECT_EQ(listed, p.Text());
  // A commit of nothing typeable changes nothing and lists nothing.
  QInputMethodEvent empty;
  empty.setCommitString(QStringLiteral("\n"));
  QCoreApplication::sendEvent(rig.View, &empty);
  EXPECT_EQ(typing.Added.size(), 7u);
  EXPECT_EQ(p.Text(), QStringLiteral("h\u00e9llo \u4e2d"));
}

TEST(EditorView, MouseClicksPlaceTheCaretAndDragsSelectEvenAboveTheWindow) {
  TRig rig({"first line here", "second line"});
  QTest::mouseClick(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 31, 25));
  EXPECT_EQ(rig.At().SN, 1);
  EXPECT_EQ(rig.At().FGN, 4);
  // The link column is a click at the line's start.
  QTest::mouseClick(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(rig.At().SN, 0);
  EXPECT_EQ(rig.At().FGN, 1);
  // From the second line up past the window's top: selected to the document's start.
  QTest::mousePress(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 50, 25));
  QMouseEvent move(QEvent::MouseMove, QPointF(ViewLeft + 50, -30),
                   rig.View->mapToGlobal(QPointF(ViewLeft + 50, -30)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(rig.View, &move);
  QTest::mouseRelease(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 50, -30));
  EXPECT_EQ(rig.Doc.FAtPosSelect.SN, 1);
  EXPECT_EQ(rig.At().SN, 0);
  EXPECT_EQ(rig.At().FGN, 6);
  // A drag that starts on a picture moves no caret, even when it ends over text.
  AddPicture(rig.Doc, 0, ViewLeft + 150, 0, 40, 40);
  rig.View->InvalidateAllOfMe();
  rig.Caret(1, 2);
  QTest::mousePress(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 160, 10));
  QMouseEvent over(QEvent::MouseMove, QPointF(ViewLeft + 10, 25),
                   rig.View->mapToGlobal(QPointF(ViewLeft + 10, 25)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(rig.View, &over);
  QTest::mouseRelease(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 10, 25));
  EXPECT_EQ(rig.At().SN, 1);
  EXPECT_EQ(rig.At().FGN, 2);
  EXPECT_FALSE(rig.Doc.Select_IsAnyTextSelected());
}

TEST(EditorView, ADragLockNeverReachesAPictureThatWentAway) {
  TRig rig({"first line here", "second line"});
  TvlGraphic &picture = AddPicture(rig.Doc, 0, ViewLeft + 150, 0, 40, 40);
  const TInsetHandle handle = rig.Doc.InsetsStorage.HandleOfInset(&picture);
  rig.View->InvalidateAllOfMe();
  // Pressed on the picture, and the picture is deleted before the release (a lost mouse-up).
  QTest::mousePress(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 160, 10));
  ASSERT_TRUE(AtDataLock().Valid());
  EXPECT_EQ(AtDataLock().GetGraphic(), &picture);
  EXPECT_EQ(rig.View->cursor().shape(), Qt::ArrowCursor);
  rig.Doc.InsetsStorage.Delete(handle);
  EXPECT_EQ(AtDataLock().GetGraphic(), nullptr);
  QMouseEvent move(QEvent::MouseMove, QPointF(ViewLeft + 160, 12),
                   rig.View->mapToGlobal(QPointF(ViewLeft + 160, 12)), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QCoreApplication::sendEvent(rig.View, &move);
  QTest::mouseRelease(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 160, 12));
  EXPECT_FALSE(AtDataLock().Valid());
  // A lock on a picture of a document that a view lets go of is forgotten with it.
  TvlGraphic &again = AddPicture(rig.Doc, 0, ViewLeft + 150, 0, 40, 40);
  rig.View->InvalidateAllOfMe();
  QTest::mousePress(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 160, 10));
  ASSERT_EQ(AtDataLock().GetGraphic(), &again);
  rig.View->SetFormatter(nullptr);
  EXPECT_FALSE(AtDataLock().Valid());
  EXPECT_EQ(AtDataLock().GetGraphic(), nullptr);
  QTest::mouseRelease(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 160, 10));
}

TEST(EditorView, AReportRaisedInAHandlerIsShownAndTheViewGoesOn) {
  class TFailingHost final : public IEditorHost {
   public:
    void FileSave() override { throw ReportedError(QStringLiteral("The disk is full.")); }
  } host;
  TRig rig({"text"});
  SetEditorHost(&host);
  TTestEnvironment::TestPrompts().Clear();
  rig.Caret(0, 5);
  EXPECT_NO_THROW(rig.Key(Qt::Key_S, Qt::ControlModifier));
  QCoreApplication::processEvents();  // the report is shown from the event loop
  const QStringList asked = TTestEnvironment::TestPrompts().AskedTexts();
  ASSERT_EQ(asked.size(), 1);
  EXPECT_TRUE(asked[0].startsWith(QStringLiteral("The disk is full.")));
  rig.Type("s");
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"texts"}));
  TTestEnvironment::TestPrompts().Clear();
}

TEST(ViewManager, ManyViewsOnOneDocumentRepaintTogether) {
  TRig rig({"shared text"});
  std::vector<std::unique_ptr<TWindowView>> more;
  std::vector<std::unique_ptr<TEditFormatter>> formatters;
  for (int i = 0; i < 25; ++i) {
    more.push_back(std::make_unique<TWindowView>(nullptr, QStringLiteral("more")));
    more.back()->resize(200, 60);
  }
  EXPECT_GE(ViewManager().Count(), 26);  // no fixed limit
  // A second view of the same document (through its own formatter) repaints on edits.
  auto second = std::make_unique<TEditFormatter>(&rig.Doc, std::make_unique<TFixedPitchMetrics>());
  TWindowView &other = *more[0];
  other.SetFormatter(second.get());
  other.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
  QCoreApplication::processEvents();
  const int before = other.PaintCount();
  rig.Window.activateWindow();
  rig.View->setFocus();
  rig.Type("x");
  QCoreApplication::processEvents();
  EXPECT_GT(other.PaintCount(), before);
  EXPECT_EQ(ViewManager().GetLatestFocusedWindowView(), rig.View);
  other.SetFormatter(nullptr);
  more.clear();
  EXPECT_EQ(ViewManager().Count(), 1);
}

TEST(ViewManager, FocusMovesBetweenViewsOfOneDocumentAndTheCaretGoesWithIt) {
  TRig rig({"shared text"});
  auto second = std::make_unique<TEditFormatter>(&rig.Doc, std::make_unique<TFixedPitchMetrics>());
  auto *other = new TWindowView(&rig.Window, QStringLiteral("other"));
  rig.Window.layout()->addWidget(other);
  other->setFixedSize(225, 100);
  other->SetFormatter(second.get());
  other->show();
  QCoreApplication::processEvents();
  rig.View->setFocus();
  QCoreApplication::processEvents();
  ASSERT_EQ(ViewManager().GetFocusedWindowView(), rig.View);
  EXPECT_TRUE(rig.View->ezCaret().Visible());

  // A click in the other view takes the focus there, with the caret.
  QTest::mouseClick(other, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 21, 5));
  QCoreApplication::processEvents();
  EXPECT_TRUE(other->hasFocus());
  EXPECT_EQ(ViewManager().GetFocusedWindowView(), other);
  EXPECT_EQ(ViewManager().GetLatestFocusedWindowView(), other);
  EXPECT_TRUE(other->ezCaret().Visible());
  EXPECT_FALSE(rig.View->ezCaret().Visible());
  EXPECT_EQ(rig.At().FGN, 3);

  // Typing there edits the shared document and repaints the first view.
  QCoreApplication::processEvents();
  const int before = rig.View->PaintCount();
  QTest::keyClicks(other, QStringLiteral("x"));
  QCoreApplication::processEvents();
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"shxared text"}));
  EXPECT_GT(rig.View->PaintCount(), before);

  // The view that goes away leaves the first one as the latest focused fallback.
  other->SetFormatter(nullptr);
  delete other;
  EXPECT_EQ(ViewManager().GetLatestFocusedWindowView(), rig.View);
}

TEST(KeyCodes, EveryKeyOfTheTableMapsToItsCode) {
  const std::vector<std::pair<Qt::Key, int>> rows = {
      {Qt::Key_Left, 5},      {Qt::Key_Right, 6},     {Qt::Key_Up, 7},      {Qt::Key_Down, 10},
      {Qt::Key_Tab, 11},      {Qt::Key_Backtab, 11},  {Qt::Key_Return, 14}, {Qt::Key_Enter, 14},
      {Qt::Key_Backspace, 8}, {Qt::Key_Delete, 46},   {Qt::Key_Home, 36},   {Qt::Key_End, 35},
      {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34}, {Qt::Key_Escape, 27}, {Qt::Key_B, 66},
      {Qt::Key_F1, 112},      {Qt::Key_F12, 123},     {Qt::Key_Control, 0}, {Qt::Key_Shift, 0}};
  for (const auto &[key, code] : rows) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    EXPECT_EQ(BehaviorKeyCode(e), code) << key;
  }
  QKeyEvent ctrlA(QEvent::ShortcutOverride, Qt::Key_A, Qt::ControlModifier, QStringLiteral("a"));
  EXPECT_FALSE(EditorKeepsShortcut(ctrlA));  // the speed command keeps Ctrl+A
  QKeyEvent ctrlB(QEvent::ShortcutOverride, Qt::Key_B, Qt::ControlModifier, QStringLiteral("b"));
  EXPECT_TRUE(EditorKeepsShortcut(ctrlB));
  EXPECT_TRUE(TypedCharacter(ctrlB).isNull());
  // A layout with accents types them without an input method; control characters type nothing.
  for (const char16_t c : {u'\u00e9', u'\u00df', u'\u0436', u'\u20ac'}) {
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(c)));
    EXPECT_EQ(TypedCharacter(typed), QChar(c)) << int(c);
  }
  for (const char16_t c : {char16_t(0x7f), char16_t(0x85), char16_t(0xd83d)}) {
    QKeyEvent control(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(QChar(c)));
    EXPECT_TRUE(TypedCharacter(control).isNull()) << int(c);
  }
  // Alt with a letter is a menu's underlined letter; typed letters and Alt+Home stay the editor's.
  QKeyEvent altR(QEvent::ShortcutOverride, Qt::Key_R, Qt::AltModifier, QStringLiteral("r"));
  EXPECT_FALSE(EditorKeepsShortcut(altR));
  QKeyEvent r(QEvent::ShortcutOverride, Qt::Key_R, Qt::NoModifier, QStringLiteral("r"));
  EXPECT_TRUE(EditorKeepsShortcut(r));
  QKeyEvent altHome(QEvent::ShortcutOverride, Qt::Key_Home, Qt::AltModifier);
  EXPECT_TRUE(EditorKeepsShortcut(altHome));
}

class TFakeFollower final : public ITimelineFollower {
 public:
  std::vector<TDateTime> Moments;
  int Releases = 0;
  void FollowMoment(TDateTime Moment) override { Moments.push_back(Moment); }
  void KeyReleased() override { ++Releases; }
};

TEST(EditorView, TimelinesFollowTheCaretsMomentAndBlockedMiceAreIgnored) {
  TRig rig({"timed", ""});
  TFakeFollower follower;
  SetTimelineFollower(&follower);
  rig.Caret(0, 3);
  rig.Key(Qt::Key_Right);
  QCoreApplication::processEvents();  // moves are coalesced: the last caret position wins
  ASSERT_FALSE(follower.Moments.empty());
  // The character before the caret (gap 4): the third, stamped 2 seconds after the first.
  EXPECT_NEAR(follower.Moments.back(), 45000.5 + 2 / 86400.0, 1e-9);
  EXPECT_EQ(follower.Releases, 1);
  rig.Key(Qt::Key_Down);  // the empty paragraph: no moment, the timelines stay
  QCoreApplication::processEvents();
  EXPECT_LT(follower.Moments.back(), 100);
  SetTimelineFollower(nullptr);

  // A long operation that ends by a report leaves no block behind.
  try {
    TMouseEventsBlock block;
    QTest::mouseClick(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 21, 5));
    EXPECT_EQ(rig.At().SN, 1);  // ignored while blocked
    throw std::runtime_error("loader report");
  } catch (const std::runtime_error &) {
  }
  EXPECT_EQ(TMouseEventsBlock::Depth(), 0);
  QTest::mouseClick(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 21, 5));
  EXPECT_EQ(rig.At().SN, 0);
  EXPECT_EQ(rig.At().FGN, 3);
}

TEST(EditorView, WordAndParagraphKeys) {
  struct RRow {
    const char *Name;
    int SN, GN;
    Qt::Key Key;
    std::vector<std::string> Texts;
    int AtSN, AtGN;
  };
  const std::vector<RRow> rows = {
      {"Ctrl+Backspace mid-word deletes to the word's start",
       0,
       7,
       Qt::Key_Backspace,
       {"one o three", "", "", "four"},
       0,
       5},
      {"Ctrl+Backspace at a paragraph's start joins",
       3,
       1,
       Qt::Key_Backspace,
       {"one two three", "", "four"},
       2,
       1},
      {"Ctrl+Delete deletes to the next word's start",
       0,
       5,
       Qt::Key_Delete,
       {"one three", "", "", "four"},
       0,
       5},
      {"Ctrl+Delete crosses paragraph ends up to the next word",
       0,
       14,
       Qt::Key_Delete,
       {"one two threefour"},
       0,
       14},
      {"Ctrl+Left goes to the previous word's start",
       0,
       7,
       Qt::Key_Left,
       {"one two three", "", "", "four"},
       0,
       5},
      {"Ctrl+Right goes to the next word's start",
       0,
       2,
       Qt::Key_Right,
       {"one two three", "", "", "four"},
       0,
       5},
      {"Ctrl+Down skips empty paragraphs",
       0,
       3,
       Qt::Key_Down,
       {"one two three", "", "", "four"},
       3,
       1},
      {"Ctrl+Up goes to its paragraph's start, then over empty ones",
       3,
       3,
       Qt::Key_Up,
       {"one two three", "", "", "four"},
       3,
       1},
  };
  for (const RRow &r : rows) {
    SCOPED_TRACE(r.Name);
    TRig rig({"one two three", "", "", "four"});
    rig.Caret(r.SN, r.GN);
    rig.Key(r.Key, Qt::ControlModifier);
    EXPECT_EQ(Texts(rig.Doc), r.Texts);
    EXPECT_EQ(rig.At().SN, r.AtSN);
    EXPECT_EQ(rig.At().FGN, r.AtGN);
  }
}

}  // namespace

// ---- Double clicks, the wheel over the scroll bar, bullets
// ---------------------------------------

// A double click as the window system gives it: press, release, press, release through the
// window, from which Qt makes the view's press, release, double click and release.
void DoubleClick(TRig &Rig, QPoint At) {
  QTest::mouseDClick(Rig.Window.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                     Rig.View->mapTo(&Rig.Window, At));
}

TEST(EditorView, ADoubleClickSelectsTheWordWithoutAReportInEveryMode) {
  for (const bool debugMode : {false, true}) {
    SCOPED_TRACE(debugMode ? "DebugMode" : "ordinary");
    TFreshFolder folder;
    TErrorLog log(folder.Path());
    log.SetDebugSwitch(debugMode);
    TScopedErrorLog scoped(log);
    TTestEnvironment::TestPrompts().Clear();
    TRig rig({"alpha beta gamma", "second"});
    for (int round = 0; round < 3; ++round) {
      rig.Caret(1, 1);
      DoubleClick(rig, QPoint(ViewLeft + 75, 10));  // in "beta" (characters 7..10)
      QCoreApplication::processEvents();
      // The document's word: the word with the blank that follows it.
      EXPECT_EQ(rig.Doc.CaretSpan_Plain(rig.Doc.SelectPos_Start(), rig.Doc.SelectPos_End()),
                QStringLiteral("beta "));
    }
    EXPECT_EQ(log.ReportCount(), 0);
    EXPECT_TRUE(TTestEnvironment::TestPrompts().AskedTexts().isEmpty());
    // A click after the double click is an ordinary click again.
    QTest::mouseClick(rig.View, Qt::LeftButton, Qt::NoModifier, QPoint(ViewLeft + 21, 30));
    EXPECT_FALSE(rig.Doc.Select_IsAnyTextSelected());
    EXPECT_EQ(rig.At().SN, 1);
    EXPECT_EQ(rig.At().FGN, 3);
  }
}

TEST(EditorView, TheWheelOverTheScrollBarScrollsALineANotchBothWays) {
  std::vector<std::string> lines;
  for (int i = 0; i < 30; ++i) lines.push_back("line " + std::to_string(i));
  TRig rig(lines);  // 5 lines fit
  const auto wheelOverBar = [&](int Notches) {
    const QPointF at(rig.Bar->width() / 2.0, 50);
    QWheelEvent e(at, rig.Bar->mapToGlobal(at), QPoint(), QPoint(0, -120 * Notches), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(rig.Bar, &e);
  };
  wheelOverBar(1);
  EXPECT_EQ(rig.View->FirstVisibleLine(), 2);
  EXPECT_EQ(rig.Bar->value(), 20);
  wheelOverBar(3);
  EXPECT_EQ(rig.View->FirstVisibleLine(), 5);
  wheelOverBar(-1);
  EXPECT_EQ(rig.View->FirstVisibleLine(), 4);
  EXPECT_EQ(rig.Bar->value(), 60);
  EXPECT_EQ(rig.At().SN, 0);  // the caret stays where it was
}

// The editor's host as the main window is: its bullets command is the editor's.
class TBulletsHost final : public IEditorHost {
 public:
  TWindowView *View = nullptr;
  void TextBullets() override { Bullets_Toggle(*View); }
};

const char *const Bullet = "  \xE2\x80\xA2 ";  // the marker, 4 characters
std::string B(const char *Text) { return std::string(Bullet) + Text; }

TEST(EditorView, BulletsKeepTheCaretBehindTheMarkerAndGoAsAWhole) {
  TRig rig({"one", "plain"});
  TBulletsHost host;
  host.View = rig.View;
  SetEditorHost(&host);
  QString marker;

  // The command with the caret at the start: the caret stays on its text, behind the marker.
  rig.Caret(0, 1);
  host.TextBullets();
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{B("one"), "plain"}));
  EXPECT_EQ(rig.At().FGN, 5);
  rig.Type("x");
  rig.Key(Qt::Key_End);
  // Enter continues the list; typing lands behind the new marker.
  rig.Key(Qt::Key_Return);
  EXPECT_EQ(rig.At().SN, 1);
  EXPECT_EQ(rig.At().FGN, 5);
  rig.Type("two");
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{B("xone"), B("two"), "plain"}));
  EXPECT_EQ(rig.Doc.Paragraph_Outline_Get(1, marker), oBullet);

  // Enter before the marker: the text and its bullet move down, an empty item stays above.
  rig.Caret(1, 1);
  rig.Key(Qt::Key_Return);
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{B("xone"), B(""), B("two"), "plain"}));
  EXPECT_EQ(rig.At().SN, 2);
  EXPECT_EQ(rig.At().FGN, 5);
  // Enter in an empty item ends the list there.
  rig.Caret(1, 5);
  rig.Key(Qt::Key_Return);
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{B("xone"), "", B("two"), "plain"}));
  EXPECT_EQ(rig.Doc.Paragraph_Outline_Get(1, marker), oNone);
  EXPECT_EQ(rig.At().SN, 1);
  EXPECT_EQ(rig.At().FGN, 1);

  // Typing with the caret in front of a marker (Home, a click in the margin) goes behind it.
  rig.Caret(2, 1);
  rig.Type("a");
  EXPECT_EQ(Texts(rig.Doc)[2], B("atwo"));
  // Backspace just behind the marker takes the bullet away, not a blank of it; Delete in front
  // of it too; the caret stays on its text.
  rig.Caret(2, 5);
  rig.Key(Qt::Key_Backspace);
  EXPECT_EQ(Texts(rig.Doc)[2], "atwo");
  EXPECT_EQ(rig.Doc.Paragraph_Outline_Get(2, marker), oNone);
  EXPECT_EQ(rig.At().FGN, 1);
  rig.Caret(0, 1);
  rig.Key(Qt::Key_Delete);
  EXPECT_EQ(Texts(rig.Doc)[0], "xone");
  // The command on a bulleted paragraph removes its bullet and keeps the caret on the text.
  rig.Caret(2, 3);
  host.TextBullets();
  rig.Caret(2, 7);  // between "at" and "wo"
  host.TextBullets();
  EXPECT_EQ(Texts(rig.Doc)[2], "atwo");
  EXPECT_EQ(rig.At().FGN, 3);

  // Several paragraphs at once; the selection stays on the same text.
  rig.Doc.AtPos_NoSelectionSet(TCaretPos{2, 2, false});
  rig.Doc.FAtPos = TCaretPos{3, 3, false};
  host.TextBullets();
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{"xone", "", B("atwo"), B("plain")}));
  EXPECT_EQ(rig.Doc.FAtPosSelect.FGN, 6);
  EXPECT_EQ(rig.At().FGN, 7);
  EXPECT_EQ(rig.Doc.ChangeCount() > 0, true);
}

TEST(EditorView, AMarkerReadBackFromAFileIsABulletAgain) {
  // Outlines are not stored: what comes back is the marker as text.
  TRig rig({B("read back"), "next"});
  TBulletsHost host;
  host.View = rig.View;
  SetEditorHost(&host);
  rig.Caret(0, rig.Doc.Paragraph_Length(0) + 1);
  rig.Key(Qt::Key_Return);
  rig.Type("more");
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{B("read back"), B("more"), "next"}));
  rig.Caret(0, 6);
  host.TextBullets();
  EXPECT_EQ(Texts(rig.Doc)[0], "read back");
  EXPECT_EQ(rig.At().FGN, 2);
}

TEST(EditorView, StarOrDashAndABlankStartingAParagraphStartABulletedList) {
  const struct {
    const char *Name;
    bool Option;
    const char *Before;  // the paragraph, the caret at its start
    const char *Typed;
    std::string After;
  } rows[] = {
      {"star", true, "", "* item", B("item")},
      {"dash", true, "", "- item", B("item")},
      {"before text already there", true, "text", "* ", B("text")},
      {"option off", false, "", "* item", "* item"},
      {"not at the start", true, "", "a * b", "a * b"},
      {"no blank after the dash", true, "", "-x - y", "-x - y"},
      {"another sign", true, "", "+ item", "+ item"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    TRig rig({row.Before, "next"});
    TBulletsHost host;
    host.View = rig.View;
    SetEditorHost(&host);
    SetAutoBullets(row.Option);
    rig.Caret(0, 1);
    rig.Type(row.Typed);
    EXPECT_EQ(Texts(rig.Doc)[0], row.After);
    SetAutoBullets(true);
  }
  // The list goes on with Enter, and Backspace behind the new marker ends it.
  TRig rig({""});
  TBulletsHost host;
  host.View = rig.View;
  SetEditorHost(&host);
  rig.Type("- one");
  rig.Key(Qt::Key_Return);
  rig.Type("two");
  EXPECT_EQ(Texts(rig.Doc), (std::vector<std::string>{B("one"), B("two")}));
  rig.Caret(1, 5);
  rig.Key(Qt::Key_Backspace);
  EXPECT_EQ(Texts(rig.Doc)[1], "two");
}
