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
  W.OnBookmarksChanged = [&] { ++changed; };
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
