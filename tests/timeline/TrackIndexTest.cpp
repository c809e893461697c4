#include "vl09_TrackIndex.h"
#include "vlTracksTestSupport.h"

#include <QString>

// ---------------------------------------------------------------------------------------------
// Mapping

TEST(TrackMapping, EveryColumnMapsBackToItself_AtEveryLevel) {
  for (TZoomLevel level = MinZoomLevel; level <= MaxZoomLevel; ++level) {
    SCOPED_TRACE(level);
    TTrackMapping m;
    m.When = EncodeDateTime(2024, 5, 17, 9, 12, 33, 250);
    m.PixelDuration = PixelDurationFromZoomLevel(level);
    m.Columns = 1200;
    for (int PO = 0; PO < m.Columns; ++PO) {
      bool inRange = false;
      ASSERT_EQ(m.ColumnOf(m.TimeOfColumn(PO), inRange), PO);
      ASSERT_TRUE(inRange);
    }
  }
}

TEST(TrackMapping, TruncatesTowardsZero_AndRefusesNothingTimes) {
  TTrackMapping m;
  m.When = TrackAt(10, 0);
  m.PixelDuration = 1;
  m.Columns = 100;
  struct Row {
    double Seconds;
    int Column;
    bool InRange;
  } rows[] = {{59.9, 59, true},
              {-0.5, 0, true},
              {-1.5, -1, false},
              {99.99, 99, true},
              {100, 100, false},
              {1e12, 2147483647, false},
              {-1e12, -2147483647 - 1, false}};
  for (const Row &r : rows) {
    SCOPED_TRACE(r.Seconds);
    bool inRange = true;
    EXPECT_EQ(m.ColumnOf(m.When + r.Seconds * OneSec, inRange), r.Column);
    EXPECT_EQ(inRange, r.InRange);
  }
  bool inRange = true;
  EXPECT_EQ(m.ColumnOf(0, inRange), 0);
  EXPECT_FALSE(inRange);
  m.PixelDuration = 0;
  EXPECT_EQ(m.ColumnOf(m.When + 5 * OneSec, inRange), 0);
  EXPECT_FALSE(inRange);
  // Half a column before column 0 is column 0, yet not visible.
  m.PixelDuration = 1;
  EXPECT_FALSE(m.IsVisible(m.When - 0.5 * OneSec));
  EXPECT_TRUE(m.IsVisible(m.When));
}

TEST(TrackMapping, LevelsAndPixelDurations) {
  const double expected[15] = {0.25, 0.5, 1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 20, 30, 60};
  for (int l = 1; l <= 15; ++l) EXPECT_EQ(PixelDurationFromZoomLevel(l), expected[l - 1]) << l;
  EXPECT_EQ(ZoomLevelCaption(1), QStringLiteral("Quarter second per pixel"));
  EXPECT_EQ(ZoomLevelCaption(9), QStringLiteral("8 second per pixel"));
  const std::pair<double, int> reverse[] = {{0.1, 1}, {0.6, 3}, {7, 9}, {60, 15}, {100, 15}};
  for (auto [pd, level] : reverse) EXPECT_EQ(ZoomLevelFromPixelDuration(pd), level) << pd;
  EXPECT_EQ(PixelDurationFromCaption(QStringLiteral("x second"), 7), 7);
  EXPECT_EQ(PixelDurationFromCaption(QStringLiteral("0 second"), 7), 1);
}

// ---------------------------------------------------------------------------------------------
// Index

class TrackIndexTest : public TrackRig {
 protected:
  TrackIndexTest() {
    I.SetDataPixelsPlotted(600);
    // Level 3: one second per column, 10:00 at column 0, ten minutes wide.
    I.EntireIndex_Rebuild(0, 1, TrackAt(10, 0));
  }
  const TPixelData &Col(int PO) const { return *I.GetPixelDataFor(PO); }
  TvlTrackIndex I{arHistorical, &M};
};

TEST_F(TrackIndexTest, FilesEachKindIntoItsColumn) {
  const TEventID m1 = M.AddNumberedBookmark(1, TrackAt(10, 1, 5.2));
  const TEventID m2 = M.AddNumberedBookmark(2, TrackAt(10, 1, 5.7));
  M.AddTypingEvent(TrackAt(10, 2, 0.1), u"a");
  M.AddTypingEvent(TrackAt(10, 2, 0.2), u"b");
  M.AddTypingEvent(TrackAt(10, 2, 0.3), u"c");
  const TEventID label = M.AddLabelBookmark(TrackAt(10, 3), u"Call Bob");
  const TEventID ndf = M.AddEvent(koeNewDayFile, QChar(u'1'), TrackAt(10, 4), u"");
  M.AddEvent(koeSketching, QChar(u'1'), TrackAt(10, 4), u"");
  const TEventID gone = M.AddNumberedBookmark(3, TrackAt(10, 5));
  M.Event_Delete(gone);
  I.EntireIndex_Rebuild_SameEverything();

  EXPECT_EQ(Col(65).Markers, QStringLiteral("12"));
  EXPECT_EQ(Col(65).EventIDs, (std::vector<TEventID>{m1, m2}));
  EXPECT_EQ(Col(65).MarkerIDs, (std::vector<TEventID>{m1, m2}));
  EXPECT_EQ(Col(120).Typing, QStringLiteral("a b c"));
  EXPECT_EQ(I.GetPixelDataTypingStr(120), QStringLiteral("a b c "));
  ASSERT_EQ(Col(180).Labels.size(), 1u);
  EXPECT_EQ(Col(180).Labels[0].Text, QStringLiteral("Call Bob"));
  EXPECT_EQ(Col(180).Labels[0].EventID, label);
  EXPECT_EQ(Col(180).Labels[0].Tilted, I.TiltedTextFor(label));
  // A new-day-file event only lends its ID; a sketching event is counted.
  EXPECT_EQ(Col(240).EventIDs.front(), ndf);
  EXPECT_EQ(Col(240).Sketchings, 1);
  EXPECT_TRUE(Col(240).Markers.isEmpty());
  EXPECT_TRUE(Col(300).EventIDs.empty());  // deleted events are not filed
  TDateTime when = 0;
  EXPECT_TRUE(I.GetLeftmostKeyboardingWhen(when));
  bool inRange = false;
  EXPECT_EQ(I.PixelOffsetFromDateTime(when, inRange), 120);
}

TEST_F(TrackIndexTest, ColumnAndDayEdges) {
  // Level 15 from 23:30: the day edge falls at column 30; only two day files touch the span.
  M.AddNumberedBookmark(1, TrackAt(23, 30, 0));                    // column 0
  M.AddNumberedBookmark(2, TrackAt(23, 29, 59.999));               // before column 0 by 1 ms
  M.AddNumberedBookmark(3, TrackAt(23, 59, 59.999));               // column 29
  M.AddNumberedBookmark(4, TrackAt(0, 0, 0, TrackDay + 1));        // column 30
  M.AddNumberedBookmark(5, TrackAt(9, 59, 59.999, TrackDay + 1));  // column 629: last is 599
  M.AddNumberedBookmark(6, TrackAt(12, 0, 0, TrackDay + 5));       // another day altogether
  I.EntireIndex_Rebuild(0, 60, TrackAt(23, 30));
  // Truncation towards zero: 1 ms before column 0 still lands in column 0.
  EXPECT_EQ(Col(0).Markers, QStringLiteral("12"));
  EXPECT_EQ(Col(29).Markers, QStringLiteral("3"));
  EXPECT_EQ(Col(30).Markers, QStringLiteral("4"));
  for (int PO = 31; PO <= I.LastPO(); ++PO) ASSERT_TRUE(Col(PO).Markers.isEmpty()) << PO;
  EXPECT_EQ(I.LastPO(), 599);
  // Today's day file (18:00 clock) is 2009-09-03 itself, so exactly the two days of the span.
  EXPECT_EQ(I.LastRebuildDayFilesWalked(), 2);
  // Placing a time at another column moves column 0 accordingly.
  I.EntireIndex_Rebuild(30, 60, TrackAt(0, 0, 0, TrackDay + 1));
  EXPECT_DOUBLE_EQ(I.TrackIndexWhen(), TrackAt(23, 30));
  EXPECT_EQ(Col(30).Markers, QStringLiteral("4"));
}

TEST_F(TrackIndexTest, LabelUpdatesFindTheirOwnEntry_AndClearingForgetsEverything) {
  const TEventID call = M.AddLabelBookmark(TrackAt(10, 3, 0.1), u"Call");
  const TEventID callBob = M.AddLabelBookmark(TrackAt(10, 3, 0.2), u"Call Bob");
  I.EntireIndex_Rebuild_SameEverything();
  // Growing "Call" must not take "Call Bob"'s entry, though "Call Bob" contains the prefix.
  M.AddLabel(call, u"CallX");
  EXPECT_EQ(I.UpdateLabelOfEvent(call, QStringLiteral("CallX")), 180);
  ASSERT_EQ(Col(180).Labels.size(), 2u);
  EXPECT_EQ(Col(180).Labels[0].Text, QStringLiteral("CallX"));
  EXPECT_EQ(Col(180).Labels[1].Text, QStringLiteral("Call Bob"));
  EXPECT_EQ(I.TiltedTextFor(call)->CacheText(), QStringLiteral("CallX"));
  EXPECT_NE(I.TiltedTextFor(call), I.TiltedTextFor(callBob));

  // Out of sight: -1.
  const TEventID far = M.AddLabelBookmark(TrackAt(15, 0), u"later");
  EXPECT_EQ(I.UpdateLabelOfEvent(far, QStringLiteral("x")), -1);

  // After the store is cleared the old IDs mean nothing: columns and label objects go.
  M.Clear();
  I.OnEventsCleared();
  EXPECT_TRUE(Col(180).Labels.empty());
  EXPECT_TRUE(Col(180).EventIDs.empty());
  M.AddNumberedBookmark(1, TrackAt(10, 3, 0.1));
  I.EntireIndex_Rebuild_SameEverything();
  EXPECT_EQ(Col(180).Markers, QStringLiteral("1"));
  EXPECT_TRUE(Col(180).Labels.empty());
}

TEST_F(TrackIndexTest, RebuildResizesToTheWidth_AndSpareCPUSkipsIt) {
  I.SetDataPixelsPlotted(50);
  I.EntireIndex_Rebuild_SameEverything();
  EXPECT_EQ(I.LastPO(), 49);
  EXPECT_DOUBLE_EQ(I.TrackIndexDuration(), 50);
  int hooked = 0;
  I.SetSpanHook([&](TDateTime From, TDateTime Till, TAudioRole Role) {
    ++hooked;
    EXPECT_DOUBLE_EQ(From, TrackAt(10, 0));
    EXPECT_NEAR((Till - From) * 86400, 50, 1e-6);
    EXPECT_EQ(Role, arHistorical);
  });
  I.EntireIndex_Rebuild_SameEverything();
  I.SetSpareCPU(true);
  I.SetDataPixelsPlotted(80);
  I.EntireIndex_Rebuild_SameEverything();
  EXPECT_EQ(I.LastPO(), 49);
  EXPECT_EQ(hooked, 1);
}
