#include "vl09_Visualization.h"
#include "vlTrackAudioBinding.h"
#include "vlTracksTestSupport.h"

#include <QCoreApplication>

#include <thread>

namespace {
int Green(const TVisSection &S, int X, int Row) { return ColorGreen(S.Image().PixelAt(X, Row)); }
// Readings every 100 ms (as the recorder sends them) from Start for Seconds, all at Level.
void Feed(TVisualization &V, TDateTime Start, double Seconds, int Level) {
  for (int i = 0; i < Seconds * 10; ++i) V.CurrentFile_NewVuLevel(Level, Start + i * 0.1 * OneSec);
}
}  // namespace

TEST(Balancer, HoldsTheLast3000Readings_AndTheirMedian) {
  TLimitedFifoQueue q(3);
  int popped = -1;
  EXPECT_FALSE(q.AddValueAndMaybePopOverflowValue(1, popped));
  EXPECT_FALSE(q.AddValueAndMaybePopOverflowValue(2, popped));
  EXPECT_FALSE(q.AddValueAndMaybePopOverflowValue(3, popped));
  EXPECT_TRUE(q.AddValueAndMaybePopOverflowValue(4, popped));
  EXPECT_EQ(popped, 1);

  TBalancer b;
  EXPECT_EQ(b.TypicalLevel(), 0);
  for (int i = 0; i < 3000; ++i) b.AddVuValue(1000);
  const int bar1000 = static_cast<int>(RoundHalfEven(std::sqrt(1000.0) * TBalancer::ScaleToBars));
  EXPECT_EQ(b.BarCounter(bar1000), 3000);
  EXPECT_NEAR(b.TypicalLevel(), 1000, 40);  // the bar's level, within one bar's width
  b.AddVuValue(32767);                      // the 3001st pushes the oldest out
  EXPECT_EQ(b.BarCounter(bar1000), 2999);
  EXPECT_EQ(b.BarCounter(256), 1);
  EXPECT_EQ(b.Held(), 3000);
  b.AddVuValue(0);  // silence still counts, in bar 1
  EXPECT_EQ(b.BarCounter(1), 1);

  TPixelVisualization pv;
  b.UpdateEighthBoundaries(pv);
  const double m = b.TypicalLevel();
  EXPECT_DOUBLE_EQ(pv.Avg_1Eighth, 0.7 * m);
  EXPECT_DOUBLE_EQ(pv.Avg_7Eighth, 2.5 * m);
}

TEST(Visualization, ReadingsGoToTheSectionOfTheirHalfHour) {
  TManualClock clock(TrackAt(18, 0));
  TScopedClock use(clock);
  TVisualization V;
  V.CurrentFile_NewVuLevel(500, TrackAt(10, 29, 59.9));
  ASSERT_EQ(V.SectionCount(), 1);
  EXPECT_DOUBLE_EQ(V.Section(0).StartDT(), TrackAt(10, 0));
  V.CurrentFile_NewVuLevel(500, TrackAt(10, 30, 0));
  ASSERT_EQ(V.SectionCount(), 2);
  EXPECT_DOUBLE_EQ(V.Section(1).StartDT(), TrackAt(10, 30));
  // 23:59:59.9996 rounds to the next midnight and so belongs to the next day's first section.
  V.CurrentFile_NewVuLevel(500, TrackAt(23, 59, 59.9996));
  EXPECT_DOUBLE_EQ(V.Section(V.CurrentFileIndex()).StartDT(), TrackDay + 1);
}

TEST(Visualization, RecordingsAcrossHalfHoursAndMidnight_DrawEveryColumnTheyCover) {
  TVisualization V;
  struct Row {
    TDateTime Start;
    double Seconds;
  } rows[] = {{TrackAt(10, 29, 50), 20}, {TrackAt(23, 59, 50), 20}};
  for (const Row &r : rows) {
    Feed(V, r.Start, r.Seconds, 2000);
  }
  ASSERT_EQ(V.SectionCount(), 4);
  for (int i = 0; i < V.SectionCount(); ++i) {
    const TVisSection &s = V.Section(i);
    SCOPED_TRACE(i);
    // The columns lit are those the readings covered, except the very last one (its successor
    // never came): 10 s before the boundary give columns 7160..7199 (the last drawn by the
    // reading that rounds to column 7200), 10 s after give 0..39 (readings reach column 40).
    const bool before = i % 2 == 0;
    const int from = before ? 7160 : 0, till = before ? 7199 : 39;
    for (int x = from; x <= till; ++x) ASSERT_GT(Green(s, x, TVisSection::MiddleRow), 0) << x;
    EXPECT_EQ(Green(s, before ? from - 1 : till + 1, TVisSection::MiddleRow), 0);
  }
  EXPECT_DOUBLE_EQ(V.Section(3).StartDT(), TrackDay + 1);
}

TEST(Visualization, ColumnColours_FollowTheBuckets_AndStayInsideThe13Rows) {
  TVisSection s(TrackAt(10, 0));
  TVuSelection sel;
  sel.Select(TrackAt(10, 0, 1.0), 10);
  // Column k holds the readings of [k - 1/8 s, k + 1/8 s); a column is drawn when the reading
  // of the next one arrives, with the boundaries the balancer gave at the previous column and
  // the selection state of that arriving reading.
  s.LoadData_NewVuLevel(10, TrackAt(10, 0, 0.0), nullptr);      // column 0: quiet
  s.LoadData_NewVuLevel(30000, TrackAt(10, 0, 0.25), nullptr);  // column 1: loud
  s.LoadData_NewVuLevel(30000, TrackAt(10, 0, 0.5), nullptr);   // column 2: half loud ...
  s.LoadData_NewVuLevel(10, TrackAt(10, 0, 0.55), nullptr);     // ... half typical
  s.LoadData_NewVuLevel(10, TrackAt(10, 0, 0.75), &sel);        // column 3: selected
  s.LoadData_NewVuLevel(10, TrackAt(10, 0, 1.0), &sel);         // column 4
  s.LoadData_NewVuLevel(10, TrackAt(10, 0, 3.0), nullptr);      // column 12: a jump

  // Quiet: bucket 0 only, the middle row in full lime, the others black.
  EXPECT_EQ(s.Image().PixelAt(0, 6), clLime);
  EXPECT_EQ(s.Image().PixelAt(0, 5), clBlack);
  // Loud (bucket 7): every row lit; bucket 7's own pair (rows -1 and 13) does not exist.
  for (int row = 0; row < TVisSection::Rows; ++row)
    EXPECT_EQ(s.Image().PixelAt(1, row), clLime) << row;
  // Half in bucket 7: the outer rows at half brightness, the middle in full.
  EXPECT_EQ(s.Image().PixelAt(2, 0), RGBColor(0, 128, 0));
  EXPECT_EQ(s.Image().PixelAt(2, 12), RGBColor(0, 128, 0));
  EXPECT_EQ(s.Image().PixelAt(2, 6), clLime);
  // Selected: olive where the share is full, yellow where it is none.
  EXPECT_EQ(s.Image().PixelAt(3, 6), RGBColor(128, 128, 0));
  EXPECT_EQ(s.Image().PixelAt(3, 0), clYellow);
  // The column before a jump is never drawn, nor those skipped.
  for (int x = 4; x <= 12; ++x) EXPECT_EQ(s.Image().PixelAt(x, 6), clBlack) << x;
}

TEST(Visualization, EraseIsClampedToEachSection_AndClearingStartsAfresh) {
  TVisualization V;
  std::vector<std::pair<TDateTime, TDateTime>> dropped;
  V.SetDropHook([&](TDateTime From, TDateTime Till) { dropped.emplace_back(From, Till); });
  Feed(V, TrackAt(10, 0), 1800 * 2, 2000);  // 10:00 to 11:00, two full sections
  ASSERT_EQ(V.SectionCount(), 2);
  // 10:20 .. 10:50 reaches beyond both sections' images.
  V.EraseVisualization(TrackAt(10, 20), 30 * 60);
  EXPECT_GT(Green(V.Section(0), 4799, 6), 0);
  EXPECT_EQ(Green(V.Section(0), 4800, 6), 0);
  EXPECT_EQ(Green(V.Section(0), 7199, 6), 0);
  EXPECT_EQ(Green(V.Section(1), 0, 6), 0);
  EXPECT_EQ(Green(V.Section(1), 4804, 6), 0);  // 10:50:01
  EXPECT_GT(Green(V.Section(1), 4805, 6), 0);

  // Clearing while a recording runs: the next reading makes its section anew.
  V.ClearAllVu();
  EXPECT_EQ(V.SectionCount(), 0);
  EXPECT_EQ(V.CurrentFileIndex(), -1);
  EXPECT_EQ(dropped.size(), 2u);
  V.CurrentFile_NewVuLevel(100, TrackAt(11, 0, 1));
  EXPECT_EQ(V.SectionCount(), 1);

  // The cap drops the least recently used section and says which span it covered.
  V.SetMaxSections(2);
  V.CurrentFile_NewVuLevel(100, TrackAt(12, 0));
  V.CurrentFile_NewVuLevel(100, TrackAt(11, 0, 2));  // 11:00 used again
  V.CurrentFile_NewVuLevel(100, TrackAt(13, 0));     // drops 12:00
  EXPECT_EQ(V.SectionCount(), 2);
  EXPECT_DOUBLE_EQ(dropped.back().first, TrackAt(12, 0));
}

TEST(Visualization, PostedReadingsArriveOnTheUserInterfaceThread_InOrder) {
  TVisualization V;
  std::thread capture([&] {
    for (int i = 0; i < 400; ++i) V.PostReading(TrackAt(10, 0) + i * 0.1 * OneSec, 2000);
  });
  capture.join();
  EXPECT_EQ(V.VUSampleCount(), 0);  // nothing folded on the capture thread
  QCoreApplication::processEvents();
  EXPECT_EQ(V.VUSampleCount(), 400);
  // A stall delays the readings but leaves no gap: every covered column is lit.
  for (int x = 0; x < 159; ++x) ASSERT_GT(Green(V.Section(0), x, 6), 0) << x;
}

TEST(Visualization, DrawAllHorz_StretchesIntoTheSlotAtAnyLevel) {
  TVisualization V;
  Feed(V, TrackAt(10, 0), 60, 2000);  // one lit minute
  TQuickBitmap b(300, 20);
  b.Fill(clWhite);
  const QRect slot(0, 2, 300, 15);
  // Level 1: a quarter second per column, the section copied as it is (10:00 at column 40).
  V.DrawAllHorz(b, slot, 0.25, TrackAt(9, 59, 50));
  EXPECT_EQ(b.PixelAt(39, 9), clBlack);
  EXPECT_GT(ColorGreen(b.PixelAt(40, 9)), 0);
  EXPECT_EQ(b.PixelAt(40, 2), clBlack);            // the slot's edge rows stay black
  EXPECT_EQ(b.PixelAt(40, 3), b.PixelAt(40, 15));  // symmetric about the middle row
  EXPECT_EQ(b.PixelAt(40, 1), clWhite);            // nothing above the slot
  // Level 15: a minute per column; the lit minute is column 10.
  V.DrawAllHorz(b, slot, 60, TrackAt(9, 50));
  EXPECT_GT(ColorGreen(b.PixelAt(10, 9)), 0);
  EXPECT_EQ(ColorRed(b.PixelAt(10, 9)), 0);
  EXPECT_EQ(b.PixelAt(12, 9), clBlack);

  // Turned a quarter for the vertical timeline: one second per row, 10:00 at row 60; the image's
  // rows become the columns from the strip's left + 1. Nothing while a selection exists.
  TQuickBitmap v(20, 300);
  v.Fill(clWhite);
  const QRect strip(2, 0, 15, 300);
  V.DrawAllVert(v, strip, 1, TrackAt(9, 59));
  EXPECT_GT(ColorGreen(v.PixelAt(3 + 6, 90)), 0);
  EXPECT_EQ(v.PixelAt(3 + 6, 30), clBlack);
  EXPECT_EQ(v.PixelAt(0, 90), clWhite);
  TVuSelection sel;
  sel.Select(TrackAt(10, 0), 10);
  V.SetSelection(&sel);
  V.DrawAllVert(v, strip, 1, TrackAt(9, 59));
  EXPECT_EQ(v.PixelAt(3 + 6, 90), clBlack);
}

TEST(Visualization, DroppedSectionsAreSentAgainByTheCatalogue) {
  TManualClock clock(TrackAt(18, 0));
  TScopedClock use(clock);
  TVisualization V;
  TvlMediaInfo media;
  BindVisualizationToCatalogue(V, media);
  const int f = media.CreateNewFileRecord(TrackAt(10, 0), TrackAt(10, 1), 60);
  media.File(f).VU = PlaceholderReadings(60);
  media.SendHistoricalVisualizationData(TrackAt(9, 0), TrackAt(11, 0));
  EXPECT_TRUE(media.File(f).Visualized);
  EXPECT_EQ(V.SectionCount(), 1);
  // The binder closes: the sections go, and the recording will be sent again when shown.
  V.ClearAllVu();
  EXPECT_FALSE(media.File(f).Visualized);
  media.SendHistoricalVisualizationData(TrackAt(9, 0), TrackAt(11, 0));
  EXPECT_EQ(V.SectionCount(), 1);
}
