// Picking bookmarks on a track: hover distances, cycling through overlapping bookmarks, dragging
// one and several, clicks that must move nothing, and a drag across midnight.

#include "vl09_LabelTool.h"
#include "vlTrackWindowTestSupport.h"

#include <QLineEdit>

namespace {

class OfferAndSelectTest : public TrackWindowRig {
 protected:
  // A numbered marker at column PO of the track shown.
  TEventID MarkerAt(int PO, int Digit = 1) {
    const TEventID id = M.AddNumberedBookmark(Digit, ColumnTime(PO));
    W.InvalidateRebuildAndRedrawWithoutFlicker();
    return id;
  }
  TEventID Offered(int I = 0) { return OAS.FOfferedEvents.EventID(I); }
};

TEST_F(OfferAndSelectTest, MarkersAreOfferedUpToFourColumnsAway) {
  const TEventID id = MarkerAt(100);
  struct Row {
    int X;
    bool Offered;
  };
  for (const Row r :
       {Row{100, true}, Row{103, true}, Row{96, true}, Row{105, false}, Row{95, false}}) {
    SCOPED_TRACE(r.X);
    Clock.AdvanceMSecs(400);
    Hover(QPoint(r.X, MarkersY()));
    ASSERT_EQ(OAS.FOfferedEvents.Count(), r.Offered ? 1 : 0);
    if (r.Offered) {
      EXPECT_EQ(Offered(), id);
    }
    EXPECT_EQ(M.Event_IsSelected(id), r.Offered) << "an offer draws it red, a withdrawal not";
  }
}

TEST_F(OfferAndSelectTest, OverlappingMarkersTakeTurns_AndFewerCandidatesNeverOverrun) {
  const TEventID a = MarkerAt(100, 1), b = MarkerAt(100, 2);
  std::vector<TEventID> seen;
  for (int i = 0; i < 3; ++i) {
    Clock.AdvanceMSecs(400);  // apart enough that the last offer is not kept
    Hover(QPoint(100, MarkersY()));
    ASSERT_EQ(OAS.FOfferedEvents.Count(), 1);
    seen.push_back(Offered());
  }
  EXPECT_EQ(seen, (std::vector<TEventID>{a, b, a}));
  // A move right after an offer keeps it rather than flickering to the other one.
  Clock.AdvanceMSecs(100);
  Hover(QPoint(101, MarkersY()));
  EXPECT_EQ(Offered(), a);

  // Three candidates leave the tie breaker at 2; a spot with two still offers one of its own.
  const TEventID c1 = MarkerAt(200, 1), c2 = MarkerAt(200, 2);
  MarkerAt(200, 3);
  for (int i = 0; i < 2; ++i) {
    Clock.AdvanceMSecs(400);
    Hover(QPoint(200, MarkersY()));
  }
  M.Event_Delete(OAS.FOfferedEvents.EventID(0) == c1 ? c2 : c1);
  Clock.AdvanceMSecs(400);
  Hover(QPoint(300, MarkersY()));
  W.InvalidateRebuildAndRedrawWithoutFlicker();
  Clock.AdvanceMSecs(400);
  Hover(QPoint(200, MarkersY()));
  ASSERT_EQ(OAS.FOfferedEvents.Count(), 1);
  EXPECT_NE(M.EventKind_FromEventID(Offered()), koeNone);
}

TEST_F(OfferAndSelectTest, DraggingMovesByPixelsTimesPixelDuration_BackToStartMovesNothing) {
  const TEventID id = MarkerAt(100);
  const TDateTime t0 = M.EventWhen_FromEventID(id);
  const int y = MarkersY();

  Drag(QPoint(100, y), QPoint(110, y));
  EXPECT_NEAR(SecondsFrom(t0, id), 20, 1e-3) << "10 pixels at 2 s per pixel";
  EXPECT_FALSE(M.Event_IsSelected(id)) << "a dropped bookmark no longer draws as selected";

  // Out and back: the drawing ends where it started, and so does the time.
  const TDateTime t1 = M.EventWhen_FromEventID(id);
  Hover(QPoint(110, y));
  Press(QPoint(110, y));
  Clock.AdvanceMSecs(200);
  DragTo(QPoint(130, y));
  EXPECT_NEAR(SecondsFrom(t1, id), 40, 1e-3) << "the time follows while dragging";
  Clock.AdvanceMSecs(400);
  DragTo(QPoint(110, y));
  Release(QPoint(110, y));
  EXPECT_EQ(M.EventWhen_FromEventID(id), t1);

  // A click with a 2-pixel wobble: nothing moves.
  Hover(QPoint(110, y));
  Press(QPoint(110, y));
  Clock.AdvanceMSecs(100);
  DragTo(QPoint(112, y));
  Clock.AdvanceMSecs(100);
  Release(QPoint(112, y));
  EXPECT_EQ(M.EventWhen_FromEventID(id), t1);
}

TEST_F(OfferAndSelectTest, CtrlOffersSeveral_AndTheyMoveTogether) {
  const TEventID a = MarkerAt(100, 1), b = MarkerAt(150, 2);
  const TDateTime ta = M.EventWhen_FromEventID(a), tb = M.EventWhen_FromEventID(b);
  const int y = MarkersY();
  Hover(QPoint(100, y));
  Hover(QPoint(150, y), Qt::ControlModifier);
  ASSERT_EQ(OAS.FOfferedEvents.Count(), 2);
  Press(QPoint(150, y));
  for (int x = 155; x <= 170; x += 5) {
    Clock.AdvanceMSecs(150);
    DragTo(QPoint(x, y));
  }
  Release(QPoint(170, y));
  EXPECT_NEAR(SecondsFrom(ta, a), 40, 1e-3);
  EXPECT_NEAR(SecondsFrom(tb, b), 40, 1e-3);
}

// The binder counts bookmarks as unsaved work by comparing the day files' bookmarks with those
// it last saved, so a move made here only has to reach the day files manager.
TEST_F(OfferAndSelectTest, DragAcrossMidnight_FilesTheBookmarkOnTheNextDay) {
  ShowAt(TrackAt(23, 50));
  const TEventID id = M.AddNumberedBookmark(4, TrackAt(23, 59, 50));
  W.InvalidateRebuildAndRedrawWithoutFlicker();
  int rebuiltAll = 0, changed = 0;
  OAS.OnAllTracksChanged = [&] { ++rebuiltAll; };
  Links.OnBookmarksChanged = [&] { ++changed; };
  bool inRange = false;
  const int x = W.vlTrackIndex().PixelOffsetFromDateTime(TrackAt(23, 59, 50), inRange);
  ASSERT_TRUE(inRange);
  Drag(QPoint(x, MarkersY()), QPoint(x + 10, MarkersY()));

  std::vector<TEventID> markers;
  M.ByKind_GetListOfEvents(koeMarker, markers);
  std::erase_if(markers, [&](TEventID e) { return M.EventKind_FromEventID(e) == koeNone; });
  ASSERT_EQ(markers.size(), 1u);
  EXPECT_NE(markers[0], id);
  EXPECT_EQ(vlEventIDs::DayFileOf(markers[0]), M.Files_FindDayFileForDate(TrackDay + 1));
  EXPECT_NEAR((M.EventWhen_FromEventID(markers[0]) - (TrackDay + 1)) * SecsPerDay, 10, 1e-3);
  EXPECT_GE(rebuiltAll, 1) << "every track shows the bookmark's new place";
  EXPECT_EQ(changed, 1);
  // The track shows it in its new column.
  const TPixelData *pd = W.vlTrackIndex().GetPixelDataFor(x + 10);
  ASSERT_NE(pd, nullptr);
  EXPECT_EQ(pd->MarkerIDs, std::vector<TEventID>{markers[0]});
}

TEST_F(OfferAndSelectTest, ClickOnLabelOpensTheLabelTool_CtrlClickPlaysFromIt) {
  const TEventID id = M.AddLabelBookmark(ColumnTime(100), u"Call");
  W.InvalidateRebuildAndRedrawWithoutFlicker();
  const int labelsBottom = W.EventsList_LabelsBandBottom();
  const QPoint onTime(100, labelsBottom - 5);  // the label-time strip just above the stems
  Hover(onTime);
  ASSERT_EQ(OAS.FOfferedEvents.Count(), 1);
  Press(onTime);
  Clock.AdvanceMSecs(300);
  Release(onTime + QPoint(2, 0));
  EXPECT_TRUE(W.LabelTool().isVisible());
  EXPECT_EQ(W.LabelTool().EventHandleShowing(), id);
  EXPECT_EQ(W.LabelTool().Memo()->text(), QStringLiteral("Call"));
  EXPECT_EQ(M.EventWhen_FromEventID(id), ColumnTime(100));
  W.LabelTool().MyHide();

  Clock.AdvanceMSecs(400);
  Hover(onTime);
  Press(onTime, Qt::ControlModifier);
  Clock.AdvanceMSecs(300);
  Release(onTime, Qt::ControlModifier);
  ASSERT_FALSE(Audio.Plays.empty());
  EXPECT_EQ(Audio.Plays.back().first, ColumnTime(100));

  // Held for 600 ms, the same press is no click.
  W.LabelTool().MyHide();
  Clock.AdvanceMSecs(400);
  Hover(onTime);
  Press(onTime);
  Clock.AdvanceMSecs(600);
  Release(onTime);
  EXPECT_FALSE(W.LabelTool().isVisible());
}

}  // namespace

namespace {

class TrackPopupTest : public OfferAndSelectTest {
 protected:
  void RightPress(QPoint At) {
    Send(QEvent::MouseButtonPress, At, Qt::RightButton, Qt::RightButton);
    Send(QEvent::MouseButtonRelease, At, Qt::RightButton, Qt::NoButton);
  }
};

TEST_F(TrackPopupTest, ItemsFollowTheNumberOfOfferedBookmarks) {
  int popups = 0;
  Links.OnPopupRequested = [&](const QPoint &) { ++popups; };
  MarkerAt(100, 1);
  MarkerAt(150, 2);
  const int y = MarkersY();
  struct Row {
    std::vector<int> Hover;
    bool Add, Edit, Delete, Jump, Play;
  };
  const Row rows[] = {{{300}, true, false, false, true, false},
                      {{100}, true, true, true, true, true},
                      {{100, 150}, false, false, true, false, false}};
  for (const Row &r : rows) {
    SCOPED_TRACE(r.Hover.size());
    Clock.AdvanceMSecs(400);
    for (std::size_t i = 0; i < r.Hover.size(); ++i)
      Hover(QPoint(r.Hover[i], y), i > 0 ? Qt::ControlModifier : Qt::NoModifier);
    RightPress(QPoint(r.Hover.back(), y));
    const RTrackPopupState s = OAS.PopupState(false);
    EXPECT_EQ(s.AddBookmark, r.Add);
    EXPECT_EQ(s.EditBookmark, r.Edit);
    EXPECT_EQ(s.DeleteBookmark, r.Delete);
    EXPECT_EQ(s.JumpToText, r.Jump);
    EXPECT_EQ(s.Play, r.Play);
    EXPECT_FALSE(s.RecordingItems);
  }
  EXPECT_EQ(popups, 3);
  RightPress(QPoint(300, SlotY()));
  EXPECT_TRUE(OAS.PopupState(true).PlayFromBeginning);
}

TEST_F(TrackPopupTest, DeleteRemovesEveryOfferedBookmark_AddMakesALabelAtThePress) {
  int changed = 0;
  Links.OnBookmarksChanged = [&] { ++changed; };
  const TEventID a = MarkerAt(100, 1), b = MarkerAt(150, 2);
  Hover(QPoint(100, MarkersY()));
  Hover(QPoint(150, MarkersY()), Qt::ControlModifier);
  RightPress(QPoint(150, MarkersY()));
  EXPECT_EQ(OAS.PopupDeleteBookmarks(), 2);
  EXPECT_EQ(M.EventKind_FromEventID(a), koeNone);
  EXPECT_EQ(M.EventKind_FromEventID(b), koeNone);
  EXPECT_EQ(OAS.FOfferedEvents.Count(), 0);
  EXPECT_EQ(changed, 1);

  Clock.AdvanceMSecs(400);
  Hover(QPoint(250, SlotY()));
  RightPress(QPoint(250, SlotY()));
  const TEventID label = OAS.PopupAddBookmark();
  ASSERT_NE(label, NoEventID);
  EXPECT_EQ(M.EventKind_FromEventID(label), koeLabel);
  EXPECT_EQ(M.EventWhat_FromEventID(label), QChar(u'|'));
  EXPECT_EQ(M.EventWhen_FromEventID(label), ColumnTime(250));
  EXPECT_EQ(W.LabelTool().EventHandleShowing(), label);
  EXPECT_EQ(changed, 2);
}

TEST_F(TrackPopupTest, ClearingTheEventStoreForgetsOffersAndClosesTheLabelTool) {
  MarkerAt(100, 1);
  const TEventID label = M.AddLabelBookmark(ColumnTime(200), u"x");
  Hover(QPoint(100, MarkersY()));
  W.LabelTool().MyShow(0, 10, QStringLiteral("x"), mcNoEffect, label);
  M.Clear();
  W.OnEventsCleared();
  EXPECT_EQ(OAS.FOfferedEvents.Count(), 0);
  EXPECT_FALSE(W.LabelTool().isVisible());
  EXPECT_EQ(W.vlTrackIndex().GetPixelDataFor(100)->MarkerIDs.size(), 0u);
}

}  // namespace

namespace {

// What the binder compares with the bookmarks it last saved to tell unsaved work: every
// non-typing event's kind, character, moment and text, whatever its ID.
QStringList BookmarksAsTheBinderSeesThem(const TvlDayFilesManager &M) {
  QStringList lines;
  for (const TKindOfEvent kind : {koeMarker, koeLabel}) {
    std::vector<TEventID> ids;
    M.ByKind_GetListOfEvents(kind, ids);
    for (const TEventID id : ids) {
      TvlEvent e;
      if (M.Event_FromEventID(id, e) && e.Kind != koeNone)
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(int(e.Kind))
                     .arg(e.What)
                     .arg(e.When, 0, 'f', 10)
                     .arg(e.Text);
    }
  }
  lines.sort();
  return lines;
}

// A bookmark change made on a track needs no change counter of its own: the binder finds it by
// comparing the day files' bookmarks with the ones it saved, so each change must reach them.
TEST_F(TrackPopupTest, EveryBookmarkChangeOnATrackReachesTheDayFiles_AClickChangesNothing) {
  const TEventID marker = MarkerAt(100, 1);
  QStringList last = BookmarksAsTheBinderSeesThem(M);
  auto changed = [&] {
    const QStringList now = BookmarksAsTheBinderSeesThem(M);
    const bool differs = now != last;
    last = now;
    return differs;
  };
  const int y = MarkersY();

  Drag(QPoint(100, y), QPoint(101, y), 100);  // a click
  EXPECT_FALSE(changed());
  Drag(QPoint(100, y), QPoint(120, y));  // a move
  EXPECT_TRUE(changed());

  Clock.AdvanceMSecs(400);
  Hover(QPoint(300, SlotY()));
  RightPress(QPoint(300, SlotY()));
  const TEventID label = OAS.PopupAddBookmark();  // an added label
  EXPECT_TRUE(changed());
  QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
  W.LabelTool().Memo()->setText(QStringLiteral("a"));
  QApplication::sendEvent(W.LabelTool().Memo(), &release);  // its text typed
  EXPECT_EQ(M.EventText_FromEventID(label), QStringLiteral("a"));
  EXPECT_TRUE(changed());

  Clock.AdvanceMSecs(400);
  Hover(QPoint(120, y));
  ASSERT_EQ(OAS.FOfferedEvents.Count(), 1);
  EXPECT_EQ(OAS.PopupDeleteBookmarks(), 1);  // a deleted marker
  EXPECT_EQ(M.EventKind_FromEventID(marker), koeNone);
  EXPECT_TRUE(changed());
}

}  // namespace

namespace {

// Pixels of exactly this colour inside the markers band between two columns.
int CountColour(TvlTrackWindow &W, int FromX, int ToX, TColor Colour) {
  const QRect band = W.vlTrackRender().Band_Markers().Rect;
  const TQuickBitmap &b = W.EventsList_Bitmap();
  int n = 0;
  for (int y = band.top(); y < band.top() + band.height(); ++y)
    for (int x = std::max(0, FromX); x < std::min(b.Width(), ToX); ++x)
      n += b.PixelAt(x, y) == Colour ? 1 : 0;
  return n;
}

TEST_F(OfferAndSelectTest, WhileDraggingTheMarkerIsRedWhereItGoesAndGhostedWhereItCameFrom) {
  MarkerAt(100);
  const int y = MarkersY();
  Hover(QPoint(100, y));
  EXPECT_GT(CountColour(W, 94, 107, TOfferAndSelect::clOffered), 0) << "offered: red";
  Press(QPoint(100, y));
  Clock.AdvanceMSecs(200);
  DragTo(QPoint(140, y));
  EXPECT_GT(CountColour(W, 134, 147, TOfferAndSelect::clOffered), 0);
  EXPECT_EQ(CountColour(W, 94, 107, TOfferAndSelect::clOffered), 0);
  EXPECT_GT(CountColour(W, 94, 107, TEventsList::clGhost), 0);
  Clock.AdvanceMSecs(200);
  DragTo(QPoint(170, y));
  EXPECT_EQ(CountColour(W, 134, 147, TOfferAndSelect::clOffered), 0) << "the last place healed";
  EXPECT_GT(CountColour(W, 164, 177, TOfferAndSelect::clOffered), 0);
  Release(QPoint(170, y));
  EXPECT_EQ(CountColour(W, 0, 400, TEventsList::clGhost), 0) << "drawn again after the drop";
}

TEST_F(OfferAndSelectTest, AnOfferedLabelStaysOfferedWhileTheMouseWandersALittle) {
  const TEventID id = M.AddLabelBookmark(ColumnTime(100), u"Call Bob");
  W.InvalidateRebuildAndRedrawWithoutFlicker();
  TTiltedText *t = W.vlTrackIndex().TiltedTextFor(id);
  ASSERT_FALSE(t->TouchedPixels().empty());
  // A drawn pixel of the label below the markers band, and above the label-time strip.
  const QRect markers = W.vlTrackRender().Band_Markers().Rect;
  const int below = markers.top() + markers.height(), above = W.EventsList_LabelsBandBottom() - 9;
  QPoint ink;
  for (const TPixelTouch &p : t->TouchedPixels()) {
    const QPoint q(t->AtX() + p.dx, t->AtY() + p.dy);
    if (p.Alpha > 128 && q.y() > below + 6 && q.y() < above) ink = q;
  }
  ASSERT_FALSE(ink.isNull());
  const QRect box = t->Bounds().translated(t->AtX(), t->AtY());
  Hover(ink);
  ASSERT_EQ(OAS.FOfferedEvents.Count(), 1);
  EXPECT_EQ(Offered(), id);
  // A point between 3.9 and 5.9 pixels from the nearest ink, in the same band.
  QPoint near;
  for (int y = below + 1; y < above && near.isNull(); ++y)
    for (int x = box.left() - 6; x <= box.right() + 6 && near.isNull(); ++x)
      if (t->DoesMouseTouchText(x, y, 5.9) && !t->DoesMouseTouchText(x, y, 3.9))
        near = QPoint(x, y);
  ASSERT_FALSE(near.isNull());
  Clock.AdvanceMSecs(400);
  Hover(near);
  EXPECT_EQ(OAS.FOfferedEvents.Count(), 1) << "kept within 5.9 pixels once offered";
  Clock.AdvanceMSecs(400);
  Hover(QPoint(300, W.vlTrackRender().Band_Labels().Rect.top() + 2));
  EXPECT_EQ(OAS.FOfferedEvents.Count(), 0);
  Clock.AdvanceMSecs(400);
  Hover(near);
  EXPECT_EQ(OAS.FOfferedEvents.Count(), 0) << "not offered from that far";
}

}  // namespace
