// Bookmarks made from the keyboard in the program as main() puts it together, over the simulated
// sound server and the manual clock: the typed triggers of the "Bookmark Hot Keys" page while
// recording, the function keys as the page's key table says (changed live from the page), and
// each numbered bookmark reaching the day files, both tracks and the vertical timeline.

#include "vl09_Calendar.h"
#include "vl09_DayFilesManager.h"
#include "vl09_LabelTool.h"
#include "vl09_Main.h"
#include "vl09_Notebook.h"
#include "vl09_OfferAndSelect.h"
#include "vl09_Options.h"
#include "vl09_OptionsFm.h"
#include "vl09_Registry.h"
#include "vl09_Track.h"
#include "vl09_TrackWindow.h"
#include "vlAudioTestSupport.h"
#include "vlEditorPage.h"
#include "vlProgram.h"
#include "vlProgramRig.h"
#include "vlTestSupport.h"
#include "vlWindowView.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// The program started and shown, its notes editor focused.
// Each test starts at a moment of its own: the day files of the tests before it in the same
// data folder are loaded too, and an event identical to one there would not be added again.
struct TBookmarkProgram : TProgramRig {
  // StartAt: the clock's moment at the start (0: the simulated machine's own); Recordings: the
  // names of recordings already in the audio folder ("2009-09-03 13.47 36.5 (108).wav").
  explicit TBookmarkProgram(TDateTime StartAt = 0, const QStringList &Recordings = {})
      : TProgramRig(RProgramStart{.StartAt = StartAt,
                                  .Recordings = Recordings,
                                  .Size = QSize(1200, 800),
                                  .FocusNotes = true}) {}
  void StartRecording() {
    MenuItem(S("&Record"), S("&Start"))->trigger();
    Run(1000);
    ASSERT_TRUE(Program->Audio().IsRecording());
    View().setFocus();
  }
  // The events of a kind, with their texts or What characters.
  std::vector<TvlEvent> Events(TKindOfEvent Kind) const {
    std::vector<TEventID> ids;
    Program->DayFiles().ByKind_GetListOfEvents(Kind, ids);
    std::vector<TvlEvent> events;
    for (TEventID id : ids) {
      TvlEvent e;
      if (Program->DayFiles().Event_FromEventID(id, e)) events.push_back(e);
    }
    return events;
  }
  QStringList LabelTexts() const {
    QStringList texts;
    for (const TvlEvent &e : Events(koeLabel)) texts << e.Text;
    return texts;
  }
  void Type(const QString &Text) {
    for (const QChar c : Text) {
      if (c == u'\n') {
        QTest::keyClick(&View(), Qt::Key_Return);
      } else {
        QTest::keyClicks(&View(), QString(c));
      }
      Run(40);
    }
  }
};

}  // namespace

TEST(CompositionBookmarks, TheWindowsBookmarkKeysLinkIsInstalled) {
  TBookmarkProgram run;
  EXPECT_EQ(run.Window->BookmarkKeysLink(), &run.Program->BookmarkKeys());
}

TEST(CompositionBookmarks, TypedTriggersWhileRecordingMakeTheirBookmarks) {
  TBookmarkProgram run(EncodeDateTime(2026, 12, 13, 10, 0));
  run.StartRecording();
  struct RRow {
    const char *Name;
    std::function<void(TvlOptions &)> Set;  // the page's choices for this row
    std::function<void(TBookmarkProgram &)> Typing;
    QStringList Labels;  // the labels made
  };
  const auto type = [](const char *Text) {
    return [Text](TBookmarkProgram &R) { R.Type(S(Text)); };
  };
  const RRow rows[] = {
      {"[[ ]] as a bookmark (the default)", nullptr, type("[[ call Ann ]] "), {S("[[")}},
      {"[[ ]] as a label from its text",
       [](TvlOptions &O) { O.FTriggerNestSquare = toGatherLabelBody; },
       type("see [[ call Ann ]] later"),
       {S("call Ann")}},
      {"{{ }} as a label from its text, with a Backspace",
       [](TvlOptions &O) { O.FTriggerNestCurly = toGatherLabelBody; },
       [](TBookmarkProgram &R) {
         R.Type(S("{{budgef"));
         QTest::keyClick(&R.View(), Qt::Key_Backspace);
         R.Type(S("t}}"));
       },
       {S("budget")}},
      {"an empty (( )) leaves no label",
       [](TvlOptions &O) { O.FTriggerNestRound = toGatherLabelBody; },
       type("x (( )) y"),
       {}},
      {"two question marks (the default)", nullptr, type("why?? "), {S("??")}},
      {"three question marks trigger once", nullptr, type("really??? "), {S("??")}},
      {"question marks gathering the next words up to Enter",
       [](TvlOptions &O) { O.FTriggerQuestions = toGatherLabelBody; },
       type("so??? ask Bob\nmore"),
       {S("ask Bob")}},
      {"three repeated letters (the default)", nullptr, type("ooops "), {S("ooo")}},
      {"text made bold with Ctrl+B before and after",
       nullptr,
       [](TBookmarkProgram &R) {
         R.Type(S("the "));
         QTest::keyClick(&R.View(), Qt::Key_B, Qt::ControlModifier);
         R.Type(S("key point"));
         QTest::keyClick(&R.View(), Qt::Key_B, Qt::ControlModifier);
         R.Type(S(" here"));
       },
       {S("key point")}},
      {"Ctrl+B twice with nothing between",
       nullptr,
       [](TBookmarkProgram &R) {
         QTest::keyClick(&R.View(), Qt::Key_B, Qt::ControlModifier);
         QTest::keyClick(&R.View(), Qt::Key_B, Qt::ControlModifier);
       },
       {}},
      {"switched off on the page",
       [](TvlOptions &O) {
         O.FTriggerNestSquare = toNoTrigger;
         O.FTriggerQuestions = toNoTrigger;
         O.FTriggerCtrlBBold = false;
       },
       [](TBookmarkProgram &R) {
         R.Type(S("[[ a ]] b?? "));
         QTest::keyClick(&R.View(), Qt::Key_B, Qt::ControlModifier);
         R.Type(S("c"));
         QTest::keyClick(&R.View(), Qt::Key_B, Qt::ControlModifier);
       },
       {}},
      {"plain text makes none", nullptr, type("a (b) [c] <d> a?b aab\n"), {}},
      {"text typed with the space bar held down",
       [](TvlOptions &O) { O.FTriggerSpaceDown = true; },
       [](TBookmarkProgram &R) {
         R.Type(S("so"));
         QTest::keyPress(&R.View(), Qt::Key_Space);
         R.Run(500);
         // (While the bar is held no other space can be typed.)
         R.Type(S("Ann"));
         QTest::keyRelease(&R.View(), Qt::Key_Space);
         R.Type(S(" then"));
       },
       {S("Ann")}},
      {"a space overlapping the next letter",
       [](TvlOptions &O) { O.FTriggerSpaceDown = true; },
       [](TBookmarkProgram &R) {
         QTest::keyPress(&R.View(), Qt::Key_Space);
         QTest::keyClicks(&R.View(), S("b"));
         QTest::keyRelease(&R.View(), Qt::Key_Space);
         R.Type(S("c"));
       },
       {}},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Name);
    run.Options.SetDefaults_HotKeys();
    if (row.Set) row.Set(run.Options);
    const QStringList before = run.LabelTexts();
    const TDateTime typedFrom = Now();
    row.Typing(run);
    QTest::keyClick(&run.View(), Qt::Key_Return);  // ends whatever is still gathered
    QStringList made = run.LabelTexts();
    for (const QString &old : before) made.removeOne(old);
    EXPECT_EQ(made, row.Labels);
    // While recording a bookmark belongs to the moment it was typed.
    for (const TvlEvent &e : run.Events(koeLabel))
      if (row.Labels.contains(e.Text) && !before.contains(e.Text)) {
        EXPECT_GE(e.When, typedFrom - 0.5 / SecsPerDay);
        EXPECT_LE(e.When, Now());
      }
    run.Run(3000);
  }
  // Every bookmark made is a change the binder has to save.
  EXPECT_TRUE(run.Window->EventsLink()->BookmarksChangedSinceSave());
  // The gathered labels are drawn with their whole text on the track that records.
  TvlTrackIndex &index = run.Program->Tracks().Current()->vlTrack().Index();
  for (const QString &text : {S("call Ann"), S("key point"), S("budget")}) {
    SCOPED_TRACE(text.toStdString());
    bool drawn = false;
    for (int c = index.FirstPO(); c <= index.LastPO() && !drawn; ++c)
      if (const TPixelData *d = index.GetPixelDataFor(c))
        for (const RLabelEntry &l : d->Labels) drawn = drawn || (l.Text == text && l.Tilted);
    EXPECT_TRUE(drawn);
  }
}

TEST(CompositionBookmarks, EachNumberedBookmarkKeyReachesTheDayFilesBothTracksAndTheTimeline) {
  TBookmarkProgram run(EncodeDateTime(2026, 12, 11, 10, 0));
  run.StartRecording();
  TvlTrackWindow *old = run.Program->Tracks().Historical();
  TvlTrackWindow *now = run.Program->Tracks().Current();
  ASSERT_TRUE(old && now);
  const TDateTime start = Now();
  old->MoveTrackTo(start - 10 / SecsPerDay);
  const std::size_t markersBefore = run.Events(koeMarker).size();
  for (int n = 1; n <= 9; ++n) {
    SCOPED_TRACE(n);
    run.Run(4000);
    const TDateTime when = Now();
    QTest::keyClick(&run.View(), Qt::Key(Qt::Key_F1 + n - 1));
    run.Run(100);
    const QChar digit(u'0' + n);
    TEventID id = NoEventID;
    std::vector<TEventID> ids;
    run.Program->DayFiles().ByKind_GetListOfEvents(koeMarker, ids);
    for (TEventID candidate : ids) {
      TvlEvent c;
      if (run.Program->DayFiles().Event_FromEventID(candidate, c) && c.What == digit &&
          std::abs(c.When - when) < 1.5 / SecsPerDay)
        id = candidate;
    }
    ASSERT_NE(id, NoEventID) << "no marker " << n << " in the day files";
    for (TvlTrackWindow *w : {old, now}) {
      SCOPED_TRACE(w == old ? "historical track" : "current track");
      TvlTrackIndex &index = w->vlTrack().Index();
      bool inRange = false;
      const int po = index.PixelOffsetFromDateTime(when, inRange);
      ASSERT_TRUE(inRange);
      bool found = false;
      for (int c = std::max(0, po - 2); c <= po + 2; ++c)
        if (const TPixelData *d = index.GetPixelDataFor(c))
          found = found ||
                  std::find(d->MarkerIDs.begin(), d->MarkerIDs.end(), id) != d->MarkerIDs.end();
      EXPECT_TRUE(found);
    }
    TVertTimeline *vertical = run.Program->Timelines().VertTimeline();
    ASSERT_NE(vertical, nullptr);
    vertical->SetFeatureDT(when);
    vertical->RenderAnew();
    const auto &drawn = vertical->DrawnBookmarks();
    EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(), [&](const RDrawnBookmark &b) {
      return b.ID == id && b.Text == QStringLiteral("F") + digit;
    })) << "not drawn on the vertical timeline";
  }
  // Nine markers, one of each digit.
  EXPECT_EQ(run.Events(koeMarker).size(), markersBefore + 9);
}

TEST(CompositionBookmarks, TheHotKeyPageSaysWhatTheFunctionKeysDoAndChangesThemLive) {
  TBookmarkProgram run(EncodeDateTime(2026, 12, 12, 10, 0));
  run.StartRecording();
  run.Window->ShowOptions(S("Bookmark Hot Keys"));
  TOptionsFm *page = run.Window->OptionsWindow();
  ASSERT_NE(page, nullptr);
  // The page shows what the keys do: F1 to F9 set numbered bookmarks, F10 to F12 open a label.
  EXPECT_EQ(page->FunctionKeyCmBx[0][0]->currentText(), S("Bookmark"));
  EXPECT_EQ(page->FunctionKeyCmBx[1][0]->currentText(), S("Bookmark"));
  EXPECT_EQ(page->FunctionKeyCmBx[9][0]->currentText(), S("Label window"));
  EXPECT_EQ(page->FunctionKeyCmBx[0][2]->currentText(), S("None"));

  // F2 is made "Label from text" and Ctrl+F3 "Bookmark" on the page, while it is open.
  const auto choose = [](QComboBox *Box, int Index) {
    Box->setCurrentIndex(Index);
    Q_EMIT Box->activated(Index);
  };
  choose(page->FunctionKeyCmBx[1][0], toGatherLabelBody);
  choose(page->FunctionKeyCmBx[2][2], toMarkerOnly);
  page->OkBtn->click();
  run.View().setFocus();

  // The day files of earlier tests are in the same data folder: only what is new counts.
  const QStringList labelsBefore = run.LabelTexts();
  const std::size_t markersBefore = run.Events(koeMarker).size();
  QTest::keyClick(&run.View(), Qt::Key_F2);
  run.Type(S("call Ann\n"));
  QStringList labels = run.LabelTexts();
  for (const QString &old : labelsBefore) labels.removeOne(old);
  EXPECT_EQ(labels, QStringList{S("call Ann")});
  EXPECT_EQ(run.Events(koeMarker).size(), markersBefore);

  // Pause, neither playing nor transcribing, opens a label for typing (the page's default);
  // Shift+Pause made "Bookmark" on the page sets a label "Pause".
  run.Run(2000);
  QTest::keyClick(&run.View(), Qt::Key_Pause);
  TVertTimeline *vertical = run.Program->Timelines().VertTimeline();
  ASSERT_NE(vertical, nullptr);
  EXPECT_NE(vertical->EditingEventID(), NoEventID);
  EXPECT_EQ(run.Program->DayFiles().EventKind_FromEventID(vertical->EditingEventID()), koeLabel);
  run.View().setFocus();
  choose(page->TriggerPauseShiftCmBx, toMarkerOnly);
  run.Run(2000);
  QTest::keyClick(&run.View(), Qt::Key_Pause, Qt::ShiftModifier);
  EXPECT_TRUE(run.LabelTexts().contains(S("Pause")));

  // With the vertical timeline hidden, F10's label opens in the recording track's label tool.
  vertical->LabelEd()->clearFocus();
  run.Window->aToolsTimeline->trigger();
  ASSERT_FALSE(vertical->isVisible());
  run.View().setFocus();
  run.Run(2000);
  QTest::keyClick(&run.View(), Qt::Key_F10);
  TvlLabelTool &tool = run.Program->Tracks().Current()->LabelTool();
  EXPECT_TRUE(tool.isVisible());
  EXPECT_EQ(run.Program->DayFiles().EventText_FromEventID(tool.EventHandleShowing()), S("F10"));
  tool.MyHide();
  run.View().setFocus();

  run.Run(2000);
  QTest::keyClick(&run.View(), Qt::Key_F3, Qt::ControlModifier);
  // Ctrl+F1 stays "None": nothing, and the editor does not set bookmark 1 either.
  run.Run(2000);
  QTest::keyClick(&run.View(), Qt::Key_F1, Qt::ControlModifier);
  const std::vector<TvlEvent> markers = run.Events(koeMarker);
  ASSERT_EQ(markers.size(), markersBefore + 1);
  EXPECT_TRUE(std::any_of(markers.begin(), markers.end(), [&](const TvlEvent &e) {
    return e.What == QChar(u'3') && e.When > Now() - 3 / SecsPerDay;
  }));
}

namespace {

// The historical track of a started program, moved to an hour ago, drawn.
struct TLabelToolRig : TBookmarkProgram {
  TvlTrackWindow *Old = nullptr;
  TLabelToolRig() {
    Old = Program->Tracks().Historical();
    Old->MoveTrackTo(Now() - 1.0 / 24);
    FullRender();
  }
  // A point of the labels band at a third of the track's width, in the window's coordinates.
  QPoint LabelsBandPoint() {
    const QRect band = Old->vlTrack().Render().Band_Labels().Rect;
    return QPoint(Old->width() / 3, band.center().y());
  }
  // The track's picture drawn entirely anew, for comparing with what the quick updates drew.
  // Its index is built again first, as the window builds it.
  QImage FullRender() {
    Old->InvalidateRebuildAndRedrawWithoutFlicker();
    Old->vlTrack().InvalidateRendering();
    Old->vlTrack().PaintIfInvalid();
    return Old->vlTrack().BitmapToShare().Image().copy();
  }
  // "&Add Bookmark ..." from the track's pop-up menu, opened by a right click on the labels band.
  TEventID AddBookmarkFromThePopup() {
    QTest::mouseClick(Old, Qt::RightButton, Qt::NoModifier, LabelsBandPoint());
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu) {
      ADD_FAILURE() << "no pop-up menu";
      return NoEventID;
    }
    QAction *add = nullptr;
    for (QAction *a : menu->actions())
      if (a->text() == S("&Add Bookmark ...")) add = a;
    if (!add || !add->isEnabled()) {
      ADD_FAILURE() << "no Add Bookmark";
      return NoEventID;
    }
    // As a click on the item does: the menu closes, then the item acts.
    menu->hide();
    add->trigger();
    QApplication::processEvents();
    return Old->LabelTool().EventHandleShowing();
  }
};

}  // namespace

TEST(CompositionBookmarks, TypingStraightAfterAddBookmarkGoesIntoTheLabel) {
  TLabelToolRig run;
  const TEventID id = run.AddBookmarkFromThePopup();
  ASSERT_NE(id, NoEventID);
  ASSERT_TRUE(run.Old->LabelTool().isVisible());
  // The user types at once, wherever the keyboard went once the window is active again.
  QApplication::setActiveWindow(run.Window.get());
  run.Run(50);
  QWidget *focus = QApplication::focusWidget();
  ASSERT_NE(focus, nullptr);
  EXPECT_EQ(focus, run.Old->LabelTool().Memo()) << focus->metaObject()->className();
  QTest::keyClicks(focus, S("Call"));
  TvlEvent e;
  ASSERT_TRUE(run.Program->DayFiles().Event_FromEventID(id, e));
  EXPECT_EQ(e.Text, S("Call"));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_FALSE(run.Old->LabelTool().isVisible());
  // The notes get the keyboard back, untouched.
  EXPECT_EQ(QApplication::focusWidget(), &run.View());
  EXPECT_EQ(run.Program->Notebook()->GetActiveDocument()->Document_LastCaretPos().FGN, 1);
}

TEST(CompositionBookmarks, TheLabelToolHidesWhenTheMouseGoesAway) {
  TLabelToolRig run;
  const TEventID id = run.Old->vlTrack().NewEventWithLabel(
      koeLabel, QChar(u'|'), run.Old->vlTrack().Index().DateTimeFromPixelOffset(100), S("Call"));
  ASSERT_NE(id, NoEventID);
  TvlLabelTool &tool = run.Old->LabelTool();
  const auto toolCentre = [&] { return tool.mapToGlobal(tool.rect().center()); };
  // The mouse moves over whatever widget is there, which tells the window.
  const auto moveTo = [&](QPoint Global) {
    QCursor::setPos(Global);
    QWidget *under = QApplication::widgetAt(Global);
    if (!under) under = run.Window.get();
    QMouseEvent move(QEvent::MouseMove, QPointF(under->mapFromGlobal(Global)), QPointF(Global),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(under, &move);
  };
  struct RRow {
    const char *Name;
    std::function<QPoint()> To;
    bool Hides;
  };
  const RRow rows[] = {
      {"over the tool", [&] { return toolCentre(); }, false},
      {"along the track, near the tool", [&] { return toolCentre() + QPoint(40, 10); }, false},
      {"into the notes", [&] { return run.View().mapToGlobal(run.View().rect().center()); }, true},
      {"far along the track", [&] { return toolCentre() + QPoint(tool.width() + 20, 0); }, true},
      {"above the tracks", [&] { return run.Old->mapToGlobal(QPoint(run.Old->width() / 3, -30)); },
       true},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Name);
    tool.MyHide();
    run.Old->EventID_OfferLabelTool(0, id);
    ASSERT_TRUE(tool.isVisible());
    moveTo(toolCentre());
    moveTo(row.To());
    EXPECT_EQ(tool.isVisible(), !row.Hides);
  }

  // Where no widget reports the move (a tool bar, another program), the tool sees it by itself.
  tool.MyHide();
  run.Old->EventID_OfferLabelTool(0, id);
  moveTo(toolCentre());
  QCursor::setPos(run.Old->mapToGlobal(QPoint(run.Old->width() / 3, -30)));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !tool.isVisible(); }, 2000));

  // A tool opened where the mouse is far (a pop-up menu's item below the tracks) waits for the
  // mouse to come near before it hides on departure.
  QCursor::setPos(run.View().mapToGlobal(run.View().rect().center()));
  run.Old->EventID_OfferLabelTool(0, id);
  QTest::qWait(3 * TvlLabelTool::DepartureCheckMSecs);
  EXPECT_TRUE(tool.isVisible());
  moveTo(toolCentre());
  moveTo(run.View().mapToGlobal(run.View().rect().center()));
  EXPECT_FALSE(tool.isVisible());
}

TEST(CompositionBookmarks, EditingALabelRedrawsTheTrackAtOnce) {
  TLabelToolRig run;
  TvlTrack &track = run.Old->vlTrack();
  const TEventID id = track.NewEventWithLabel(
      koeLabel, QChar(u'|'), track.Index().DateTimeFromPixelOffset(100), S("Mountain"));
  ASSERT_NE(id, NoEventID);
  run.FullRender();
  // The mouse over the label's time, just above its stem, offers it (drawn highlighted); a
  // right click there offers "Edit Bookmark ...", which opens the tool on it; the user
  // replaces its text.
  bool inRange = false;
  const int column = track.Index().PixelOffsetFromDateTime(
      run.Program->DayFiles().EventWhen_FromEventID(id), inRange);
  ASSERT_TRUE(inRange);
  const QPoint over(column, run.Old->EventsList_LabelsBandBottom() - 5);
  QMouseEvent hover(QEvent::MouseMove, QPointF(over), QPointF(run.Old->mapToGlobal(over)),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(run.Old, &hover);
  ASSERT_EQ(run.Old->OfferAndSelect()->FOfferedEvents.Count(), 1);
  QTest::mouseClick(run.Old, Qt::RightButton, Qt::NoModifier, over);
  auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
  ASSERT_NE(menu, nullptr);
  QAction *edit = nullptr;
  for (QAction *a : menu->actions())
    if (a->text() == S("Edit Bookmark ...")) edit = a;
  ASSERT_TRUE(edit && edit->isEnabled()) << "the label was not offered";
  menu->hide();
  edit->trigger();
  QLineEdit *memo = run.Old->LabelTool().Memo();
  ASSERT_TRUE(run.Old->LabelTool().isVisible());
  ASSERT_EQ(run.Old->LabelTool().EventHandleShowing(), id);
  memo->setFocus();
  memo->selectAll();
  QTest::keyClicks(memo, S("Sea"));
  run.Run(50);
  const QImage shown = track.BitmapToShare().Image().copy();
  const QImage fresh = run.FullRender();
  ASSERT_EQ(shown.size(), fresh.size());
  const QRect band = track.Render().Band_Labels().Rect;
  int differing = 0;
  for (int y = band.top(); y <= band.bottom(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      if (shown.pixel(x, y) != fresh.pixel(x, y)) ++differing;
  EXPECT_EQ(differing, 0) << "pixels of the old text are still drawn";
}

namespace {

// What the calendar showed when the program opened it, read while it was open.
struct RCalendarSeen {
  bool Opened = false;
  QString Caption;
  int Days = 0;
  std::vector<RRecordingSpan> Spans;
  // Per day of the shown month: pixels in the dial colours of days before tomorrow and of
  // later days, and in the afternoon arcs' colour.
  std::vector<int> PastDial, FutureDial, Afternoon, Morning;
  bool ClickOpenedARecording = false;
};

int CountInCell(vlCalendar::TCalendarMonth &Month, int Day, QRgb Colour) {
  const QImage &img = Month.Image();
  const QRect cell = Month.CellRect(Day) & img.rect();
  int n = 0;
  for (int y = cell.top(); y <= cell.bottom(); ++y)
    for (int x = cell.left(); x <= cell.right(); ++x)
      if (img.pixel(x, y) == Colour) ++n;
  return n;
}

// Opens the calendar the way "View Recordings ..." does, at Seed, reads it, and, with ClickDay,
// clicks on the first arc pixel of that day.
RCalendarSeen OpenCalendar(TBookmarkProgram &Run, TDateTime Seed, int ClickDay = 0) {
  RCalendarSeen seen;
  QTimer::singleShot(0, [&] {
    auto *fm = qobject_cast<TCalendarFm *>(QApplication::activeModalWidget());
    if (!fm) return;
    seen.Opened = true;
    seen.Caption = fm->CaptionText();
    vlCalendar::TCalendarMonth &month = fm->Month();
    seen.Days = month.DaysInMonth();
    seen.Spans = month.Spans();
    seen.PastDial.push_back(0);
    seen.FutureDial.push_back(0);
    seen.Afternoon.push_back(0);
    seen.Morning.push_back(0);
    for (int day = 1; day <= seen.Days; ++day) {
      seen.PastDial.push_back(CountInCell(month, day, vlCalendar::DialRgb));
      seen.FutureDial.push_back(CountInCell(month, day, vlCalendar::DialFutureRgb));
      seen.Afternoon.push_back(CountInCell(month, day, vlCalendar::AfternoonRgb));
      seen.Morning.push_back(CountInCell(month, day, vlCalendar::MorningRgb));
    }
    if (ClickDay > 0) {
      const QImage &img = month.Image();
      const QRect cell = month.CellRect(ClickDay);
      for (int y = cell.top(); y <= cell.bottom() && !seen.ClickOpenedARecording; ++y)
        for (int x = cell.left(); x <= cell.right(); ++x) {
          const QRgb c = img.pixel(x, y);
          if (c == vlCalendar::AfternoonRgb || c == vlCalendar::MorningRgb) {
            seen.ClickOpenedARecording = fm->CalendarPBMouseDown(QPoint(x, y));
            break;
          }
        }
    }
    if (fm->isVisible()) fm->reject();
  });
  Run.Program->Timelines().ViewRecordings(Seed);
  return seen;
}

const QString SampleRecording = QStringLiteral("2009-09-03 13.47 36.5 (108).wav");

}  // namespace

TEST(CompositionBookmarks, TheCalendarShowsAPastMonthWithItsRecordings) {
  // Long after the sample recording was made.
  TBookmarkProgram run(EncodeDateTime(2026, 12, 10, 9, 30), {SampleRecording});
  const RCalendarSeen seen = OpenCalendar(run, EncodeDate(2009, 9, 3), 3);
  ASSERT_TRUE(seen.Opened);
  EXPECT_EQ(seen.Caption, S("9 / 2009"));
  EXPECT_EQ(seen.Days, 30);
  // Every day of September 2009 lies before tomorrow: none is drawn as a day to come.
  for (int day = 1; day <= 30; ++day) {
    SCOPED_TRACE(day);
    EXPECT_GT(seen.PastDial[day], 0);
    EXPECT_EQ(seen.FutureDial[day], 0);
  }
  // The sample recording of 3 September, 1:47 pm, is listed and marked on that day only.
  ASSERT_EQ(seen.Spans.size(), 1u);
  EXPECT_NEAR(seen.Spans[0].Start, EncodeDateTime(2009, 9, 3, 13, 47, 36, 500), 1e-6);
  EXPECT_GT(seen.Afternoon[3], 0);
  for (int day = 1; day <= 30; ++day)
    if (day != 3) {
      EXPECT_EQ(seen.Afternoon[day] + seen.Morning[day], 0) << day;
    }
  // A click on the mark shows the recording on the historical track, zoomed to fit, at one
  // zoom in the window, its drawing and what is saved at close.
  EXPECT_TRUE(seen.ClickOpenedARecording);
  TvlTrackWindow *old = run.Program->Tracks().Historical();
  old->repaint();
  const double zoom = run.Program->Tracks().HistoricalTrackZoom();
  EXPECT_NEAR(old->vlTrack().Index().Zoom_PixelDuration(), zoom, 1e-9);
  EXPECT_NEAR(old->vlTrack().Render().Zoom_PixelDuration(), zoom, 1e-9);
  EXPECT_TRUE(old->vlTrack().Index().IsVisibleOnTrack(EncodeDateTime(2009, 9, 3, 13, 48)));
}

TEST(CompositionBookmarks, TheCalendarShowsTheRecordingInProgress) {
  TBookmarkProgram run(EncodeDateTime(2026, 12, 10, 15, 0));
  run.StartRecording();
  run.Run(90000);
  ASSERT_TRUE(run.Program->Audio().IsRecording());
  const RCalendarSeen seen = OpenCalendar(run, Now());
  ASSERT_TRUE(seen.Opened);
  EXPECT_EQ(seen.Caption, S("12 / 2026"));
  ASSERT_EQ(seen.Spans.size(), 1u);
  EXPECT_NEAR(seen.Spans[0].Start, EncodeDateTime(2026, 12, 10, 15, 0), 5 / SecsPerDay);
  EXPECT_NEAR(seen.Spans[0].End, Now(), 2 / SecsPerDay);
  EXPECT_GT(seen.Afternoon[10], 0);
  // Today is a day of the past; tomorrow is the first to come.
  EXPECT_EQ(seen.FutureDial[10], 0);
  EXPECT_GT(seen.FutureDial[11], 0);
  EXPECT_EQ(seen.PastDial[11], 0);
}
