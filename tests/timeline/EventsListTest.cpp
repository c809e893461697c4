// The events list: de-duplication, order of transfers, the drag group's shifts (back to the start,
// across midnight) and snapshots that put back exactly what they covered.

#include "vl09_EventsList.h"
#include "vlTracksTestSupport.h"

#include <QPainter>

namespace {

// A track window as the list sees it: a bitmap and a record of what it was asked to draw.
class FakeHost : public TEventsListHost {
 public:
  TQuickBitmap Bitmap{300, 80};
  std::vector<std::pair<TEventID, int>> Offers;  // (event, column drawn at)
  int Withdrawn = 0;
  TQuickBitmap &EventsList_Bitmap() override { return Bitmap; }
  int EventsList_TrackBarMargin() const override { return 0; }
  int EventsList_HorizontalAllowance() const override { return 90; }
  int EventsList_LabelsBandBottom() const override { return 55; }
  void EventID_Offer(int DeltaPO, int PO, TColor clNew, TEventID ID) override {
    Offers.emplace_back(ID, PO + DeltaPO);
    // Something the snapshot must take away again: a block where the event is drawn.
    Bitmap.FillRect(QRect(PO + DeltaPO, 10, 12, 12), clNew);
  }
  void EventID_OfferNoMore(int, TEventID, bool, TColor) override { ++Withdrawn; }
};

class EventsListTest : public TrackRig {
 protected:
  TEventsList L{&M};
  FakeHost A, B;
};

TEST_F(EventsListTest, ContainerKeepsTriplesUnique_AndTransfersReverse) {
  EXPECT_TRUE(L.Push(&A, 5, tosMoving, 7));
  EXPECT_FALSE(L.Push(&A, 9, tosMoving, 7)) << "same window, event and type";
  EXPECT_TRUE(L.Push(&B, 5, tosMoving, 7)) << "another window is another entry";
  EXPECT_TRUE(L.Push(&A, 5, tosEditing, 7)) << "another type is another entry";
  EXPECT_EQ(L.Count(), 3);
  EXPECT_TRUE(L.IsEventIDListed(7));
  EXPECT_EQ(L.SampleVlTW(), &A);

  TEventsListHost *tw = &A;
  TTypeOfSelection tos = tosMoving;
  TEventID id = 0;
  int po = 9;
  EXPECT_FALSE(L.Peek(5, tw, tos, id, po));
  EXPECT_EQ(tw, nullptr);
  EXPECT_EQ(id, -1);
  EXPECT_EQ(po, 0);
  EXPECT_EQ(L.EventID(5), -1);

  TEventsList abc(&M), target(&M);
  abc.Push(&A, 1, tosMoving, 1);
  abc.Push(&A, 2, tosMoving, 2);
  abc.Push(&A, 3, tosMoving, 3);
  target.TransferFrom(abc);
  EXPECT_EQ(abc.Count(), 0);
  ASSERT_EQ(target.Count(), 3);
  EXPECT_EQ(target.EventID(0), 3);
  EXPECT_EQ(target.EventID(2), 1);
  target.CopyFrom(target);  // every triple is already there
  EXPECT_EQ(target.Count(), 3);
  EXPECT_EQ(target.FindEventIDOf(&A, 2, tosMoving), 1);
}

TEST_F(EventsListTest, ShiftsStartFromTheOriginalTime_AndZeroPutsEventsBack) {
  const TDateTime t0 = TrackAt(10, 0);
  const TEventID id = M.AddNumberedBookmark(3, t0);
  L.Push(&A, 0, tosMoving, id);
  L.All_PopulateOriginalWhen();
  for (const double s : {30.0, 60.0}) {
    L.All_SetWhenRelativeSeconds(s);
    EXPECT_NEAR((M.EventWhen_FromEventID(id) - t0) * SecsPerDay, s, 1e-3) << "no accumulation";
  }
  // A drag that comes back to its start must not leave the bookmark moved.
  L.All_SetWhenRelativeSeconds(0);
  EXPECT_EQ(M.EventWhen_FromEventID(id), t0);
}

TEST_F(EventsListTest, ShiftAcrossMidnight_TakesTheNewIdAndRebuildsOnce_BothWays) {
  const TDateTime t0 = TrackAt(23, 59, 50);
  const TEventID id = M.AddLabelBookmark(t0, u"late");
  int rebuilds = 0;
  L.OnEventsChangedDay = [&] { ++rebuilds; };
  L.Push(&A, 0, tosMoving, id);
  L.All_PopulateOriginalWhen();
  L.All2_MoveHighlighted_Place(0);

  L.All_SetWhenRelativeSeconds(20);
  const TEventID nextDay = L.EventID(0);
  EXPECT_NE(nextDay, id);
  EXPECT_EQ(vlEventIDs::DayFileOf(nextDay), M.Files_FindDayFileForDate(TrackDay + 1));
  EXPECT_EQ(M.EventText_FromEventID(nextDay), QStringLiteral("late"));
  EXPECT_EQ(rebuilds, 1);
  EXPECT_TRUE(L.Entry(0).Snapshot.IsEmpty()) << "pixels of the old rendering are dropped";

  L.All_SetWhenRelativeSeconds(0);
  EXPECT_NE(L.EventID(0), nextDay);
  EXPECT_EQ(vlEventIDs::DayFileOf(L.EventID(0)), M.Files_FindDayFileForDate(TrackDay));
  EXPECT_EQ(M.EventWhen_FromEventID(L.EventID(0)), t0);
  EXPECT_EQ(rebuilds, 2);
}

TEST_F(EventsListTest, OverlappingDrawingsAreUndoneExactly_EvenAtTheBitmapEdge) {
  // A patterned bitmap, so a misplaced restore shows.
  for (int y = 0; y < A.Bitmap.Height(); ++y)
    for (int x = 0; x < A.Bitmap.Width(); ++x) A.Bitmap.SetPixel(x, y, RGBColor(x, y, x ^ y));
  const QImage before = A.Bitmap.Image().copy();
  const TEventID e1 = M.AddNumberedBookmark(1, TrackAt(10, 0));
  const TEventID e2 = M.AddNumberedBookmark(2, TrackAt(10, 0, 4));
  L.Push(&A, 2, tosMoving, e1);  // its rectangle starts left of the bitmap
  L.Push(&A, 8, tosMoving, e2);  // overlaps the first
  for (const int delta : {0, 5, 240}) {
    SCOPED_TRACE(delta);
    L.All2_MoveHighlighted_ToNewRelativePO(delta);
    EXPECT_NE(A.Bitmap.Image(), before);
  }
  L.All2_MoveHighlighted_Remove(false);
  EXPECT_EQ(A.Bitmap.Image(), before);
}

TEST_F(EventsListTest, ClearingByKindLooksAtTheKindTheEventHasNow) {
  const TEventID marker = M.AddNumberedBookmark(1, TrackAt(10, 0));
  const TEventID turned = M.AddNumberedBookmark(2, TrackAt(10, 1));
  L.Push(&A, 0, tosMoving, marker);
  L.Push(&A, 1, tosMoving, turned);
  ASSERT_TRUE(M.EventKind_Override(turned, koeLabel));
  L.ClearMarkerEvents();
  ASSERT_EQ(L.Count(), 1);
  EXPECT_EQ(L.EventID(0), turned);
  L.ClearTiltedTextEvents();
  EXPECT_EQ(L.Count(), 0);
}

}  // namespace
