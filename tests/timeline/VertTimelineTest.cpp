// The vertical timeline: rows, lines of typed text, the 3-hour rule, the red split, the lock
// handle, following the caret, and bookmarks dragged, renamed and deleted through the day files.

#include "vl09_DayFilesManager.h"
#include "vl09_VertTimeline.h"
#include "vlClock.h"
#include "vlTestSupport.h"
#include "vlVertTimelineEditorLinks.h"
#include "vlVertTimelineLayout.h"
#include "vl_Document.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>

namespace {

constexpr double Sec = 1 / SecsPerDay;
const TDateTime Day = EncodeDate(2009, 9, 3);

RTypedEvent Ch(TDateTime When, const char *Text) {
  return RTypedEvent{0, When, QLatin1Char('1'), QString::fromUtf8(Text)};
}

RTypedEvent Para(RTypedEvent E) {
  E.StartsParagraph = true;
  return E;
}

int SevenEach(const QString &S) { return int(S.size()) * 7; }

RParagraphStart Start(TDateTime When, const char *Text) {
  RParagraphStart start;
  start.When = When;
  start.Text = QString::fromUtf8(Text);
  return start;
}

void SendMouse(QWidget &W, QEvent::Type Type, QPoint At, Qt::MouseButton Button,
               Qt::MouseButtons Held) {
  QMouseEvent event(Type, QPointF(At), W.mapToGlobal(QPointF(At)), Button, Held, Qt::NoModifier);
  QCoreApplication::sendEvent(&W, &event);
}
void Press(QWidget &W, QPoint At, Qt::MouseButton B = Qt::LeftButton) {
  SendMouse(W, QEvent::MouseButtonPress, At, B, B);
}
void Drag(QWidget &W, QPoint At) {
  SendMouse(W, QEvent::MouseMove, At, Qt::NoButton, Qt::LeftButton);
}
void Hover(QWidget &W, QPoint At) { SendMouse(W, QEvent::MouseMove, At, Qt::NoButton, {}); }
void Release(QWidget &W, QPoint At) {
  SendMouse(W, QEvent::MouseButtonRelease, At, Qt::LeftButton, {});
}

// Links over one document, counting what the timeline asked.
class TDocLinks final : public TVertTimelineLinks {
 public:
  TDocument *ActiveDocument() override { return &Doc; }
  void MoveCaretTo(const TCaretPos &Pos) override {
    Doc.AtPos_NoSelectionSet(Pos);
    ++CaretMoves;
  }
  void BookmarksChanged() override { ++Changed; }
  void FocusActiveEditor() override { ++Focused; }
  TDocument Doc;
  int CaretMoves = 0;
  int Focused = 0;
  int Changed = 0;
};

// A day files manager, a manual clock and a 300 x 400 timeline at one second per row.
struct RRig {
  TManualClock Clock{Day + 10 / HoursPerDay};
  TScopedClock Scoped{Clock};
  TvlDayFilesManager Events;
  // As the program installs it: what is typed becomes typing events.
  TSeamInstall<TTypingEventSink> Typing{TypingEventSinkSeam(), Events.TypingSink()};
  TDocLinks Links;
  TVertTimeline Timeline;
  RRig() {
    Timeline.SetLinks(&Links);
    Timeline.resize(300, 400);
    Timeline.show();
    Timeline.SetZoom_PixelDuration(1);
  }
  // Types Text at the end of the document, Gap milliseconds apart.
  void Type(const QString &Text, int GapMs) {
    for (const QChar c : Text) {
      Clock.AdvanceMSecs(GapMs);
      Links.Doc.Char_Insert(c, 0, Links.Doc.Document_LastCaretPos());
    }
  }
};

}  // namespace

TEST(VertTimelineLayout, RowsStayStableWhileTheViewMovesByFractionsOfARow) {
  const TDateTime a = Day + 0.4 + 0.3 * Sec, b = Day + 0.4 + 37.6 * Sec;
  for (const double span : {0.25 * Sec, 1 * Sec, 7.5 * Sec}) {
    SCOPED_TRACE(span * SecsPerDay);
    const int apart =
        TVertRowMap(Day + 0.39, span).RowOf(b) - TVertRowMap(Day + 0.39, span).RowOf(a);
    for (int step = 0; step < 40; ++step) {
      // The feature time following the caret slides the view a few hundredths of a row a time.
      const TVertRowMap map(Day + 0.39 + step * 0.037 * span, span);
      EXPECT_EQ(map.RowOf(b) - map.RowOf(a), apart);
      EXPECT_EQ(map.RowOf(map.FromDT), 0);
      for (const int y : {-99, 0, 123, 419}) EXPECT_EQ(map.RowOf(map.TimeOfRow(y)), y);
    }
  }
  // A zero span counts as one second per row; a far moment stays a finite row.
  EXPECT_EQ(TVertRowMap(Day, 0).RowOf(Day + 10 * Sec), 10);
  EXPECT_LT(TVertRowMap(Day, Sec).RowOf(Day + 3e5), 1000000001);
}

TEST(VertTimelineLayout, LinesGatherWordsMergeWhenTheyFitAndSplitRed) {
  const TVertRowMap map(Day, Sec);
  const int h = 400, lineH = 12;
  struct RCase {
    const char *Name;
    std::vector<RTypedEvent> Events;
    int Width;
    std::vector<QString> Texts;
    std::vector<int> Rows;
  } cases[] = {
      {"two words one row apart share a line",
       {Ch(Day + 10 * Sec, "a"), Ch(Day + 10.2 * Sec, "b"), Ch(Day + 10.4 * Sec, " "),
        Ch(Day + 11 * Sec, "c"), Ch(Day + 11.3 * Sec, "d")},
       200,
       {QStringLiteral("ab cd")},
       {10}},
      {"a word that does not fit starts its own line, below the one above",
       {Ch(Day + 10 * Sec, "a"), Ch(Day + 10.2 * Sec, "b"), Ch(Day + 10.4 * Sec, " "),
        Ch(Day + 11 * Sec, "c"), Ch(Day + 11.3 * Sec, "d")},
       25,
       {QStringLiteral("ab "), QStringLiteral("cd")},
       {10, 22}},
      {"rows 18 apart are separate lines; characters follow the word's row",
       {Ch(Day + 10 * Sec, "a"), Ch(Day + 40 * Sec, "b"), Ch(Day + 41 * Sec, " "),
        Ch(Day + 60 * Sec, "c")},
       200,
       {QStringLiteral("ab "), QStringLiteral("c")},
       {10, 60}},
      {"a word event anchors itself and gets a space",
       {Ch(Day + 10 * Sec, "a"),
        RTypedEvent{0, Day + 50 * Sec, QLatin1Char('w'), QStringLiteral("word")}},
       200,
       {QStringLiteral("a"), QStringLiteral("word ")},
       {10, 50}},
      {"a paragraph's first word is set apart from the last one, in a merged line or its own row",
       {Ch(Day + 10 * Sec, "a"), Ch(Day + 10.2 * Sec, "b"), Para(Ch(Day + 11 * Sec, "c")),
        Ch(Day + 11.3 * Sec, "d"), Para(Ch(Day + 11.4 * Sec, "e"))},
       200,
       {QStringLiteral("ab cd e")},
       {10}},
      {"rows outside the listing window are left out",
       {Ch(Day - 100 * Sec, "x"), Ch(Day - 99 * Sec, " "), Ch(Day + 5 * Sec, "z"),
        Ch(Day + 6 * Sec, " "), Ch(Day + (h + 20) * Sec, "y")},
       200,
       {QStringLiteral("z ")},
       {5}},
  };
  for (const RCase &c : cases) {
    SCOPED_TRACE(c.Name);
    const auto lines = BuildTextLines(c.Events, map, h, lineH, c.Width, SevenEach);
    ASSERT_EQ(lines.size(), c.Texts.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_EQ(lines[i].Text, c.Texts[i]);
      EXPECT_EQ(lines[i].Row, c.Rows[i]);
    }
  }
  // Red from the first event after the feature time, inside a merged line.
  const auto lines = BuildTextLines(cases[0].Events, map, h, lineH, 200, SevenEach);
  EXPECT_EQ(lines[0].RedFrom(Day + 10.5 * Sec), 3);
  EXPECT_EQ(lines[0].RedFrom(Day), 0);
  EXPECT_EQ(lines[0].RedFrom(Day + 20 * Sec), 5);
}

TEST(VertTimelineLayout, ParagraphStartsMarkOneEventEachByMomentAndText) {
  // Pasted text shares one moment: only one "x" of that moment starts the paragraph.
  std::vector<RTypedEvent> events{Ch(Day, "x"), Ch(Day, "y"), Ch(Day, "x"), Ch(Day + Sec, "z")};
  MarkParagraphStarts(events, {Start(Day + Sec, "z"), Start(Day, "x"), Start(Day + 2 * Sec, "q")});
  std::vector<bool> marked;
  for (const RTypedEvent &e : events) marked.push_back(e.StartsParagraph);
  EXPECT_EQ(marked, (std::vector<bool>{true, false, false, true}));

  // A bullet put in later is stamped just after the paragraph's first letter: its characters
  // go in front of that letter, not between the letters.
  const double step = 1e-9;
  std::vector<RTypedEvent> bulleted{
      Ch(Day, "P"),       Ch(Day + step, "\u2022"), Ch(Day + 2 * step, " "),
      Ch(Day + Sec, "l"), Ch(Day + 2 * Sec, "a"),   Ch(Day + 3 * Sec, "n")};
  RParagraphStart bullet = Start(Day, "P");
  bullet.Prefix = QStringLiteral("\u2022 ");
  bullet.PrefixWhens = {Day + step, Day + 2 * step};
  MarkParagraphStarts(bulleted, {bullet});
  const std::vector<RTextLine> lines =
      BuildTextLines(bulleted, TVertRowMap(Day - 10 * Sec, Sec), 400, 12, 1000, SevenEach);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Text, QStringLiteral("\u2022 Plan"));
}

TEST(VertTimelineLayout, ZoomLockAndRulerRules) {
  const TBands bands;
  EXPECT_EQ(bands.FKeyboardingBand.Left, 76);
  EXPECT_NEAR(VertPixelDuration(180, bands.FKeyboardingBand.Left, 5 * 50), 0.416, 1e-9);
  EXPECT_EQ(VertPixelDuration(80, bands.FKeyboardingBand.Left, 250), 0.25);
  EXPECT_EQ(VertPixelDuration(20000, bands.FKeyboardingBand.Left, 50), 60);
  // The lock handle keeps 10 pixels from the edges, half the height in a small panel.
  EXPECT_EQ(LockFractionForMouse(-40, 400), 10.0 / 400);
  EXPECT_EQ(LockFractionForMouse(900, 400), 390.0 / 400);
  EXPECT_EQ(LockFractionForMouse(0, 16), 0.5);
  // Ticks and labels: minutes at 1 s per row, only hours at 60.
  EXPECT_EQ(VertTickClass(13 * 3600), 7);
  EXPECT_EQ(VertTickClass(13 * 3600 + 45 * 60), 5);
  EXPECT_EQ(VertTickClass(13 * 3600 + 61), 0);
  EXPECT_GT(VertTickLabelStrength(3, 1), 0);
  EXPECT_EQ(VertTickLabelStrength(3, 60), 0);
  EXPECT_EQ(VertTickLabelStrength(7, 60), 1);
  EXPECT_EQ(VertTickLabel(13 * 3600 + 5 * 60, false), QStringLiteral("1:05"));
  EXPECT_EQ(VertTickLabel(5 * 60, false), QStringLiteral("12:05"));
  EXPECT_EQ(VertTickLabel(13 * 3600 + 5 * 60, true), QStringLiteral("13:05"));
  EXPECT_EQ(VertTickLabel(30, false), QStringLiteral("30"));
  // Across midnight and noon, in both clocks.
  struct RRow {
    int Hour, Minute;
    const char *Twelve, *TwentyFour;
  };
  const RRow rows[] = {{23, 59, "11:59", "23:59"}, {0, 0, "12:00", "0:00"},
                       {0, 1, "12:01", "0:01"},    {11, 59, "11:59", "11:59"},
                       {12, 0, "12:00", "12:00"},  {12, 59, "12:59", "12:59"},
                       {13, 0, "1:00", "13:00"}};
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Twelve);
    const int second = row.Hour * 3600 + row.Minute * 60;
    EXPECT_EQ(VertTickLabel(second, false), QString::fromLatin1(row.Twelve));
    EXPECT_EQ(VertTickLabel(second, true), QString::fromLatin1(row.TwentyFour));
  }
}

TEST(VertTimeline, ShowsTypedWordsAndBookmarksButNothingForAThreeHourWindow) {
  RRig rig;
  rig.Type(QStringLiteral("hello world"), 400);
  const TEventID marker = rig.Events.AddNumberedBookmark(3, rig.Clock.Now() - 2 * Sec);
  ASSERT_GE(marker, 0);
  rig.Timeline.SetFeatureDT(rig.Clock.Now());
  rig.Timeline.RenderAnew();
  ASSERT_EQ(rig.Timeline.Lines().size(), 1u);
  EXPECT_EQ(rig.Timeline.Lines()[0].Text, QStringLiteral("hello world"));
  ASSERT_EQ(rig.Timeline.DrawnBookmarks().size(), 1u);
  EXPECT_EQ(rig.Timeline.DrawnBookmarks()[0].Text, QStringLiteral("F3"));
  // At 60 seconds per row the 400 rows span more than 3 hours: nothing is listed.
  rig.Timeline.SetZoom_PixelDuration(60);
  rig.Timeline.RenderAnew();
  EXPECT_TRUE(rig.Timeline.Lines().empty());
  EXPECT_TRUE(rig.Timeline.DrawnBookmarks().empty());
  // Hovering does not render again.
  rig.Timeline.SetZoom_PixelDuration(1);
  rig.Timeline.RenderAnew();
  const int renders = rig.Timeline.RenderCount();
  const QRect line = rig.Timeline.LineRects()[0];
  Hover(rig.Timeline, line.center());
  EXPECT_EQ(rig.Timeline.HotLine(), 0);
  Hover(rig.Timeline, line.center() + QPoint(3, 0));
  EXPECT_EQ(rig.Timeline.RenderCount(), renders);
}

TEST(VertTimeline, FollowsOnIdleOrAnimatedAfterAClickOnALine) {
  RRig rig;
  rig.Type(QStringLiteral("one two"), 1000);
  const TDateTime typedAt = rig.Clock.Now();
  rig.Timeline.SetFeatureDT(typedAt);
  rig.Timeline.RenderAnew();
  const TDateTime before = rig.Timeline.FeatureDT();
  rig.Timeline.MaybeCauseTimelineToFollowDT(5000);  // no moment
  EXPECT_FALSE(rig.Timeline.HasPendingChange());
  rig.Timeline.MaybeCauseTimelineToFollowDT(typedAt - 60 * Sec);
  EXPECT_EQ(rig.Timeline.FeatureDT(), before);
  ASSERT_TRUE(WaitForEvents([&] { return !rig.Timeline.HasPendingChange(); }));
  EXPECT_EQ(rig.Timeline.FeatureDT(), typedAt - 60 * Sec);

  // A click on the line puts the caret at the clicked character; the follow that the caret's
  // move causes is animated.
  rig.Timeline.SetFeatureDT(typedAt);
  rig.Timeline.RenderAnew();
  ASSERT_EQ(rig.Timeline.Lines().size(), 1u);
  const QRect line = rig.Timeline.LineRects()[0];
  Hover(rig.Timeline, QPoint(line.left() + 1, line.center().y()));
  Press(rig.Timeline, QPoint(line.left() + 1, line.center().y()));
  Release(rig.Timeline, QPoint(line.left() + 1, line.center().y()));
  EXPECT_EQ(rig.Links.CaretMoves, 1);
  EXPECT_EQ(rig.Links.Doc.FAtPos.GN(), 1);
  EXPECT_EQ(rig.Links.Focused, 1);  // the keyboard goes to the text with the caret
  rig.Timeline.MaybeCauseTimelineToFollowDT(typedAt - 6 * Sec);
  EXPECT_TRUE(rig.Timeline.IsAnimating());
  rig.Clock.AdvanceMSecs(450);
  ASSERT_TRUE(WaitForEvents([&] { return !rig.Timeline.IsAnimating(); }));
  EXPECT_EQ(rig.Timeline.FeatureDT(), typedAt - 6 * Sec);
}

TEST(VertTimeline, LockHandleDraggedToTheTopStopsTenPixelsBelowIt) {
  RRig rig;
  rig.Timeline.RenderAnew();
  const QPoint handle = rig.Timeline.LockHandleRect().center();
  Press(rig.Timeline, handle);
  Drag(rig.Timeline, QPoint(handle.x(), -30));
  Release(rig.Timeline, QPoint(handle.x(), -30));
  EXPECT_EQ(rig.Timeline.WhereToLockWhen(), 10.0 / 400);
}

TEST(VertTimeline, BookmarkDraggedAcrossMidnightKeepsFollowingTheMouse) {
  RRig rig;
  const TDateTime lateEvening = Day + 1 - 60 * Sec;
  const TEventID first = rig.Events.AddNumberedBookmark(5, lateEvening);
  // Away from the lock handle's row, which a press would take first.
  rig.Timeline.SetFeatureDT(lateEvening + 30 * Sec);
  rig.Timeline.RenderAnew();
  ASSERT_EQ(rig.Timeline.DrawnBookmarks().size(), 1u);
  const QPoint at = rig.Timeline.DrawnBookmarks()[0].Rect.center();
  Hover(rig.Timeline, at);
  Press(rig.Timeline, at);
  Drag(rig.Timeline, at + QPoint(0, 90));   // 00:00:30 of the next day
  Drag(rig.Timeline, at + QPoint(0, 150));  // 00:01:30
  Release(rig.Timeline, at + QPoint(0, 150));
  EXPECT_EQ(rig.Events.EventKind_FromEventID(first), koeNone);
  const TEventID now = rig.Timeline.MouseMarkerEID();
  ASSERT_NE(now, first);
  EXPECT_EQ(rig.Events.EventKind_FromEventID(now), koeMarker);
  EXPECT_NEAR((rig.Events.EventWhen_FromEventID(now) - (Day + 1)) * SecsPerDay, 90, 0.01);
  // No junk events on the way: one live marker in all.
  std::vector<TEventID> markers;
  rig.Events.ByKind_GetListOfEvents(koeMarker, markers);
  EXPECT_EQ(markers.size(), 1u);
  EXPECT_EQ(rig.Links.Doc.ChangeCount(), 1);
  EXPECT_EQ(rig.Links.Changed, 1);
  // The view finds it at its new place, under its new ID.
  rig.Timeline.SetFeatureDT(Day + 1);
  rig.Timeline.RenderAnew();
  ASSERT_EQ(rig.Timeline.DrawnBookmarks().size(), 1u);
  EXPECT_EQ(rig.Timeline.DrawnBookmarks()[0].ID, now);
}

TEST(VertTimeline, RenameAndDeleteReachTheDayFilesAndTheBinderState) {
  RRig rig;
  const TDateTime when = rig.Clock.Now();
  const TEventID id = rig.Events.AddNumberedBookmark(2, when);
  rig.Timeline.SetFeatureDT(when);
  rig.Timeline.RenderAnew();
  const QPoint at = rig.Timeline.DrawnBookmarks().at(0).Rect.center();
  Hover(rig.Timeline, at);
  rig.Timeline.aEditBookmarkRename()->trigger();
  ASSERT_TRUE(rig.Timeline.LabelEd()->isVisible());
  EXPECT_EQ(rig.Timeline.EditingEventID(), id);
  rig.Timeline.LabelEd()->setText(QStringLiteral("Call \"Bob\"\t"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QCoreApplication::sendEvent(rig.Timeline.LabelEd(), &enter);
  EXPECT_FALSE(rig.Timeline.LabelEd()->isVisible());
  EXPECT_EQ(rig.Events.EventKind_FromEventID(id), koeLabel);
  EXPECT_EQ(rig.Events.EventText_FromEventID(id), QStringLiteral("Call \"Bob\""));
  EXPECT_EQ(rig.Links.Doc.ChangeCount(), 1);
  // Leaving the box without a change changes nothing.
  rig.Timeline.BookmarkEdit(id);
  QCoreApplication::sendEvent(rig.Timeline.LabelEd(), &enter);
  EXPECT_EQ(rig.Links.Doc.ChangeCount(), 1);

  rig.Timeline.RenderAnew();
  Hover(rig.Timeline, rig.Timeline.DrawnBookmarks().at(0).Rect.center());
  rig.Timeline.aEditBookmarkDelete()->trigger();
  EXPECT_EQ(rig.Events.EventKind_FromEventID(id), koeNone);
  EXPECT_EQ(rig.Links.Doc.ChangeCount(), 2);
  EXPECT_EQ(rig.Links.Changed, 2);
  rig.Timeline.RenderAnew();
  EXPECT_TRUE(rig.Timeline.DrawnBookmarks().empty());
}

TEST(VertTimeline, FunctionKeyLabelsOpenInTheEditBoxOrTheLabelTool) {
  RRig rig;
  TVertBookmarkSink sink(&rig.Timeline);
  const TDateTime when = rig.Clock.Now() + 3600 * Sec;  // outside the view until edited
  const TEventID id = sink.AddLabel(QStringLiteral("F10"), when);
  ASSERT_GE(id, 0);
  sink.BookmarkEdit(id);
  EXPECT_EQ(rig.Timeline.EditingEventID(), id);
  EXPECT_TRUE(rig.Timeline.rect().contains(rig.Timeline.LabelEd()->geometry().topLeft()));
  EXPECT_EQ(rig.Timeline.LabelEd()->text(), QStringLiteral("F10"));
  // Once the tracks' label tool is wired, it takes the label instead.
  TEventID toolGot = NoEventID;
  sink.OpenLabelTool = [&](TEventID E, TDateTime) {
    toolGot = E;
    return true;
  };
  const TEventID second = sink.AddLabel(QString(), when + 5 * Sec);
  sink.BookmarkEdit(second);
  EXPECT_EQ(toolGot, second);
  EXPECT_EQ(sink.AddMarker('7', when), rig.Events.AddNumberedBookmark(7, when));
}

TEST(VertTimeline, ScrollBarSpansTheDaysAroundTheViewInSeconds) {
  RRig rig;
  QScrollBar bar(Qt::Vertical);
  rig.Timeline.SetExternalScrollbar(&bar);
  rig.Timeline.SetFeatureDT(Day + 0.5);
  EXPECT_EQ(rig.Timeline.StartOfDay1DT(), Day - 1);
  EXPECT_EQ(bar.pageStep(), 400);
  EXPECT_EQ(bar.singleStep(), 400 / 12);
  EXPECT_EQ(bar.value(), int(std::lround((rig.Timeline.FromDT() - (Day - 1)) * SecsPerDay)));
  EXPECT_EQ(bar.maximum(), 3 * 86400 - 400);
  // Moving the bar moves the view and the feature time by as much (the bar counts whole seconds,
  // so the top row lands on one).
  const TDateTime feature = rig.Timeline.FeatureDT();
  bar.setValue(bar.value() + 600);
  EXPECT_NEAR((rig.Timeline.FeatureDT() - feature) * SecsPerDay, 600, 1.0);
}

namespace {

class TFakeAudio final : public TVertTimelineAudio {
 public:
  bool IsPlaying() const override { return Playing; }
  TDateTime PlayPosition() const override { return Position; }
  TPlayResult PlayFrom(TDateTime When, double) override {
    PlayedFrom = When;
    return Answer;
  }
  bool Playing = false;
  TDateTime Position = 0;
  TDateTime PlayedFrom = 0;
  TPlayResult Answer = prNoAudio;
};

class TCountingLinks final : public TVertTimelineLinks {
 public:
  void OpenCalendar(TDateTime Seed) override { CalendarSeed = Seed; }
  void ShowHint(const QString &Text, QPoint, int) override { Hint = Text; }
  void ShowTempo(double Tempo) override { Shown = Tempo; }
  TDateTime CalendarSeed = 0;
  QString Hint;
  double Shown = 0;
};

}  // namespace

TEST(VertTimeline, LevelBandPlaysDateHeaderOpensCalendarPopupLeavesNoDrag) {
  RRig rig;
  TFakeAudio audio;
  TCountingLinks links;
  rig.Timeline.SetAudio(&audio);
  rig.Timeline.SetLinks(&links);
  rig.Timeline.RenderAnew();
  const int x = rig.Timeline.Bands().FAudioTrackBand.Left + 3;
  Press(rig.Timeline, QPoint(x, 100));
  Release(rig.Timeline, QPoint(x, 100));
  EXPECT_EQ(audio.PlayedFrom, rig.Timeline.TimeOfRow(100));
  EXPECT_EQ(links.Hint, QStringLiteral("NO AUDIO"));
  audio.Answer = prOkay;
  Press(rig.Timeline, QPoint(x, 120));
  Release(rig.Timeline, QPoint(x, 120));
  EXPECT_EQ(links.Shown, 100);

  // The play mark's row changes: a repaint, not a render.
  audio.Playing = true;
  audio.Position = rig.Timeline.TimeOfRow(50);
  const int renders = rig.Timeline.RenderCount();
  rig.Timeline.OnVuEvent_MaybeInvalidate();
  rig.Timeline.repaint();
  EXPECT_EQ(rig.Timeline.RenderCount(), renders);

  const QPoint header = rig.Timeline.DateHeaderRect().center();
  Press(rig.Timeline, header);
  Release(rig.Timeline, header);
  EXPECT_EQ(links.CalendarSeed, rig.Timeline.FromDT());

  // A right press on a bookmark opens the pop-up; the drag it began does not outlive it.
  const TDateTime when = rig.Timeline.TimeOfRow(150);
  const TEventID id = rig.Events.AddNumberedBookmark(4, when);
  rig.Timeline.RenderAnew();
  const QPoint mark = rig.Timeline.DrawnBookmarks().at(0).Rect.center();
  Hover(rig.Timeline, mark);
  Press(rig.Timeline, mark, Qt::RightButton);
  EXPECT_TRUE(rig.Timeline.VertTLPopupActionBar()->isVisible());
  rig.Timeline.VertTLPopupActionBar()->hide();
  Drag(rig.Timeline, mark + QPoint(0, 40));
  EXPECT_EQ(rig.Events.EventWhen_FromEventID(id), when);
  // Clearing the events forgets the bookmark held for the pop-up.
  rig.Timeline.OnEventsCleared();
  EXPECT_EQ(rig.Timeline.MouseMarkerEID(), NoEventID);
  EXPECT_FALSE(rig.Timeline.BookmarkDelete());
}

// Run at scale 1 and again with QT_SCALE_FACTOR=2 (a ctest of its own): the render has the
// screen's pixel density, the layout is the same in the widget's coordinates, and no two lines
// of text overlap.
TEST(VertTimeline, RendersAtTheScreensPixelRatioWithTheLayoutOfScaleOne) {
  RRig rig;
  for (int i = 0; i < 6; ++i) rig.Type(QStringLiteral("words typed at line %1 ").arg(i), 400);
  rig.Timeline.SetFeatureDT(rig.Clock.Now());
  rig.Timeline.RenderAnew();
  const qreal ratio = rig.Timeline.devicePixelRatioF();
  if (qEnvironmentVariable("QT_SCALE_FACTOR") == QStringLiteral("2")) {
    EXPECT_EQ(ratio, 2.0);
  }
  EXPECT_EQ(rig.Timeline.Rendered().devicePixelRatio(), ratio);
  EXPECT_EQ(rig.Timeline.Rendered().size(), rig.Timeline.size() * ratio);
  EXPECT_EQ(rig.Timeline.RenderedSize(), rig.Timeline.size());
  const std::vector<QRect> &lines = rig.Timeline.LineRects();
  ASSERT_GE(lines.size(), 2u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    for (std::size_t j = i + 1; j < lines.size(); ++j)
      EXPECT_FALSE(lines[i].intersects(lines[j])) << i << " and " << j;
  }
}
