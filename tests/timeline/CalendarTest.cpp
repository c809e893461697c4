// The calendar of recordings: arcs drawn into the month image, the probe reading that image,
// the nearest recording, stepping months and the double click.

#include "vl09_Calendar.h"
#include "vl09_MediaFoldersInfo.h"
#include "vlCalendarMonth.h"
#include "vlClock.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QListWidget>

#include <cmath>

using namespace vlCalendar;

namespace {

constexpr double Pi = 3.14159265358979323846;

TDateTime At(int Y, int Mo, int D, int H = 0, int Mi = 0) {
  return EncodeDateTime(Y, Mo, D, H, Mi);
}

// The pixel of a day cell at a clock moment on a ring: Outer is the middle of the morning ring,
// inner of the afternoon ring (both at the reduced size). The hour ticks and the numbers 3, 6, 9
// and 12 are drawn over the rings, so cases keep to half hours away from the numbers.
QPoint RingPoint(TCalendarMonth &M, int Day, double HourOfClock, bool Outer) {
  const QRect cell = M.CellRect(Day);
  const RDial big = DialOf(M.CellWidth() * Supersampling, M.CellHeight() * Supersampling);
  const double r = (big.P / 2.0 - (Outer ? MorningInset : AfternoonInset)) / Supersampling;
  const double theta = HourOfClock / 12.0 * 2 * Pi;
  const double cx = cell.left() + big.Centre.x() / double(Supersampling);
  const double cy = cell.top() + big.Centre.y() / double(Supersampling);
  return QPoint(int(std::lround(cx + std::sin(theta) * r)),
                int(std::lround(cy - std::cos(theta) * r)));
}

QRgb PixelAt(TCalendarMonth &M, QPoint P) { return M.Image().pixel(P); }

struct RArcCase {
  const char *Name;
  RRecordingSpan Span;
  int Day;
  double Hour;  // on the 12-hour dial
  bool Outer;
  bool Expected;  // the ring's colour there
};

}  // namespace

TEST(CalendarMonth, ArcsLieOnTheRingsOfTheirHalfDayAndDay) {
  TManualClock clock(At(2009, 12, 31));
  TScopedClock scoped(clock);
  const RRecordingSpan elevenToOne{At(2009, 9, 3, 11), At(2009, 9, 3, 13)};
  const RRecordingSpan overMidnight{At(2009, 9, 10, 23), At(2009, 9, 11, 1)};
  const RRecordingSpan wholeMorning{At(2009, 9, 15, 0), At(2009, 9, 15, 12)};
  const RRecordingSpan thirtyHours{At(2009, 9, 20, 6), At(2009, 9, 21, 12)};
  const RArcCase cases[] = {
      {"11-13 morning part", elevenToOne, 3, 11.5, true, true},
      {"11-13 afternoon part", elevenToOne, 3, 0.5, false, true},
      {"11-13 not afternoon before noon", elevenToOne, 3, 11.5, false, false},
      {"11-13 not morning after noon", elevenToOne, 3, 0.5, true, false},
      {"11-13 nothing at ten", elevenToOne, 3, 10.0, true, false},
      {"23-01 first day", overMidnight, 10, 11.5, false, true},
      {"23-01 second day", overMidnight, 11, 0.5, true, true},
      {"23-01 not on the second day's evening", overMidnight, 11, 11.5, false, false},
      {"00-12 whole ring", wholeMorning, 15, 2.5, true, true},
      {"00-12 whole ring too", wholeMorning, 15, 8.5, true, true},
      {"00-12 no afternoon", wholeMorning, 15, 2.5, false, false},
      {"30 h first day morning", thirtyHours, 20, 9.5, true, true},
      {"30 h first day evening", thirtyHours, 20, 7.0, false, true},
      {"30 h second day morning", thirtyHours, 21, 4.5, true, true},
      {"30 h second day afternoon free", thirtyHours, 21, 4.5, false, false},
  };
  TCalendarMonth month(DefaultCellPicture());
  month.SetMonth(2009, 9);
  month.SetToday(clock.Now());
  month.SetSpans({elevenToOne, overMidnight, wholeMorning, thirtyHours});
  for (const RArcCase &c : cases) {
    SCOPED_TRACE(c.Name);
    const QRgb want = c.Outer ? MorningRgb : AfternoonRgb;
    const bool found = PixelAt(month, RingPoint(month, c.Day, c.Hour, c.Outer)) == want;
    EXPECT_EQ(found, c.Expected);
  }
  // A recording under 30 seconds leaves no arc; an empty span neither.
  EXPECT_FALSE(ArcIsDrawn(
      ArcsOfPiece(At(2009, 9, 5), {At(2009, 9, 5, 9), At(2009, 9, 5, 9) + 25 / SecsPerDay})[0],
      192));
  RRecordingSpan piece;
  EXPECT_FALSE(DayPiece(At(2009, 9, 5), {At(2009, 9, 6, 1), At(2009, 9, 6, 2)}, piece));
}

TEST(CalendarMonth, ProbesFindTheArcsMomentFromAFewPixelsAway) {
  TCalendarMonth month(DefaultCellPicture());
  month.SetMonth(2009, 9);
  month.SetToday(At(2009, 9, 30));
  month.SetSpans({{At(2009, 9, 3, 14), At(2009, 9, 3, 16)}});
  // The inner edge of the afternoon ring at three o'clock (15:00), then a few pixels inwards.
  const QPoint onRing = RingPoint(month, 3, 3.0, false);
  TDateTime moment = 0;
  ASSERT_EQ(month.ProbePoint(onRing.x(), onRing.y(), moment), prbRecording);
  EXPECT_NEAR((moment - At(2009, 9, 3)) * 24, 15.0, 0.25);
  int edge = onRing.x();
  while (month.Image().pixel(edge - 1, onRing.y()) == AfternoonRgb) --edge;
  EXPECT_EQ(month.ProbeAround(3, edge - 3, onRing.y(), moment), prbRecording);
  EXPECT_EQ(month.ProbeAround(3, edge - 5, onRing.y(), moment), prbDay);
  EXPECT_EQ(month.ProbeAround(5, edge - 5, onRing.y(), moment), prbRecording);
  // Away from any arc: the day and its midnight; off the grid: nothing.
  const QRect cell = month.CellRect(3);
  EXPECT_EQ(month.ProbeAround(5, cell.left() + 3, cell.top() + 3, moment), prbDay);
  EXPECT_EQ(moment, At(2009, 9, 3));
  EXPECT_EQ(month.ProbePoint(month.Size().width() - 1, month.Size().height() - 1, moment),
            prbNothing);
  // The month is composed once for all these probes.
  EXPECT_EQ(month.ComposeCount(), 1);
}

TEST(CalendarMonth, DialFractionsAndGridRows) {
  TCalendarMonth month(DefaultCellPicture());
  month.SetMonth(2009, 8);  // begins on a Saturday, 31 days: six rows
  EXPECT_EQ(CellOfDay(2009, 8, 1).Column, 7);
  EXPECT_EQ(CellOfDay(2009, 8, 1).Row, 1);
  EXPECT_EQ(CellOfDay(2009, 8, 2).Row, 2);
  EXPECT_EQ(CellOfDay(2009, 8, 31).Row, 6);
  EXPECT_EQ(CellOfDay(2009, 8, 31).Column, 2);
  const QRect cell = month.CellRect(12);
  const int cx = cell.left() + 35, cy = cell.top() + 45;
  EXPECT_NEAR(month.DialFraction(cx + 20, cy, 12), 0.125, 1e-9);
  EXPECT_NEAR(month.DialFraction(cx, cy + 20, 12), 0.25, 1e-9);
  EXPECT_NEAR(month.DialFraction(cx - 20, cy, 12), 0.375, 1e-9);
  const double top = month.DialFraction(cx, cy - 20, 12);
  EXPECT_TRUE(top == 0.0 || top == 0.5);
}

TEST(CalendarMonth, RecordingNearTakesTheCloserNeighbourWithin1000Seconds) {
  const RRecordingSpan a{At(2009, 9, 3, 9), At(2009, 9, 3, 10)};
  const RRecordingSpan b{At(2009, 9, 3, 14), At(2009, 9, 3, 15)};
  struct {
    const char *Name;
    std::vector<RRecordingSpan> Spans;
    TDateTime Moment;
    bool Found;
    TDateTime Start;
  } cases[] = {
      {"inside", {a, b}, At(2009, 9, 3, 9, 30), true, a.Start},
      {"10 min after, no later one", {a}, At(2009, 9, 3, 10, 10), true, a.Start},
      {"20 min after, no later one", {a}, At(2009, 9, 3, 10, 20), false, 0},
      {"10 min before the later", {a, b}, At(2009, 9, 3, 13, 50), true, b.Start},
      {"nothing at all", {}, At(2009, 9, 3, 12), false, 0},
      {"far from both", {a, b}, At(2009, 9, 3, 12), false, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    RRecordingSpan found;
    ASSERT_EQ(RecordingNear(c.Spans, c.Moment, found), c.Found);
    if (c.Found) {
      EXPECT_EQ(found.Start, c.Start);
    }
  }
  EXPECT_EQ(RecordingHintText(a), QStringLiteral("Recording  9:00 AM  (60 minutes)"));
  EXPECT_EQ(RecordingHintText({At(2009, 9, 3, 0, 5), At(2009, 9, 3, 0, 5) + 89 / SecsPerDay}),
            QStringLiteral("Recording 12:05 AM  (1 minutes)"));
}

TEST(CalendarMonth, LoadSpanPlanZoomsToFitWithAQuarterOfTheSpareSecondsBefore) {
  static const double levels[] = {0.25, 0.5, 1, 2, 3, 4, 5, 6, 8, 10, 12, 15, 20, 30, 60};
  const auto pd = [](int Level) { return levels[Level - 1]; };
  const TDateTime start = At(2009, 9, 3, 13, 0);
  const RLoadSpanPlan tenMinutes = PlanLoadSpan(start, start + 600 / SecsPerDay, 1000, pd);
  EXPECT_EQ(tenMinutes.Level, 3);
  EXPECT_EQ(tenMinutes.PixelDuration, 1);
  EXPECT_NEAR((start - tenMinutes.LeftDT) * SecsPerDay, 100, 1e-6);
  // A day on 50 columns (held to 100): 864 s per column is beyond every level.
  EXPECT_EQ(PlanLoadSpan(start, start + 1, 50, pd).Level, 15);
}

// ---------------------------------------------------------------------------------------------
// The dialog

namespace {

class TFakeLinks final : public TCalendarLinks {
 public:
  void ShowSpanOnHistoricalTrack(TDateTime S, TDateTime E) override {
    ++Shown;
    ShownStart = S;
    ShownEnd = E;
  }
  void MoveHistoricalTrackTo(TDateTime When) override { MovedTo = When; }
  void OpenFolderInExplorer(const QString &Folder) override { Opened.append(Folder); }
  void ShowHint(const QString &Text, QPoint, int, TColor) override { Hint = Text; }
  void HideHint() override { Hint.clear(); }
  int Shown = 0;
  TDateTime ShownStart = 0, ShownEnd = 0, MovedTo = 0;
  QStringList Opened;
  QString Hint;
};

void MakeRecording(const QString &AudioFolder, TDateTime Start, int Secs) {
  const QString month = QDir(AudioFolder).filePath(RecordingMonthFolder(Start));
  QDir().mkpath(month);
  QFile f(QDir(month).filePath(RecordingStamp(Start) + QStringLiteral(" (%1).wav").arg(Secs)));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

struct RCalendarRig {
  TManualClock Clock{EncodeDateTime(2009, 12, 20, 10, 0)};
  TScopedClock Scoped{Clock};
  TFreshFolder Folder;
  TvlMediaFoldersInfo Catalogue;
  TFakeLinks Links;
  RCalendarRig() {
    QDir().mkpath(Folder.File(QStringLiteral("Audio")));
    Catalogue.Initialize(Folder.File(QStringLiteral("Audio")));
    MakeRecording(Folder.File(QStringLiteral("Audio")), EncodeDateTime(2009, 12, 3, 11, 0), 7200);
    Catalogue.Month_LoadMonthsOf(EncodeDate(2009, 12, 2), Clock.Now(), Clock.Now());
  }
};

}  // namespace

TEST(CalendarFm, StepsMonthsAcrossYearEndsAndReloadsTheCatalogue) {
  RCalendarRig rig;
  TCalendarFm fm(&rig.Catalogue, &rig.Links);
  fm.PrepareForMonth(EncodeDate(2009, 12, 5));
  EXPECT_EQ(fm.CaptionText(), QStringLiteral("12 / 2009"));
  EXPECT_EQ(fm.Month().Spans().size(), 1u);
  fm.MonthNextBtnClick();
  EXPECT_EQ(fm.CaptionText(), QStringLiteral("1 / 2010"));
  fm.MonthPreviousBtnClick();
  fm.MonthPreviousBtnClick();
  EXPECT_EQ(fm.CaptionText(), QStringLiteral("11 / 2009"));
  fm.YearNextBtnClick();
  EXPECT_EQ(fm.CaptionText(), QStringLiteral("11 / 2010"));
  fm.PrepareForMonth(EncodeDate(2010, 1, 15));
  fm.MonthPreviousBtnClick();
  EXPECT_EQ(fm.CaptionText(), QStringLiteral("12 / 2009"));
  // December's recording is listed again after stepping back to it.
  EXPECT_EQ(fm.Month().Spans().size(), 1u);
  // A seed from before 1911 opens the present month.
  fm.PrepareForMonth(EncodeDate(1905, 3, 1));
  EXPECT_EQ(fm.CaptionText(), QStringLiteral("12 / 2009"));
}

TEST(CalendarFm, HoverOffersAClickShowsADoubleClickMovesToNoon) {
  RCalendarRig rig;
  {
    TCalendarFm fm(&rig.Catalogue, &rig.Links);
    fm.PrepareForMonth(EncodeDate(2009, 12, 1));
    const QPoint arc = RingPoint(fm.Month(), 3, 11.5, true);
    fm.CalendarPBMouseMove(arc);
    EXPECT_EQ(rig.Links.Hint, QStringLiteral("Recording 11:00 AM  (120 minutes)"));
    EXPECT_TRUE(fm.CalendarPBMouseDown(arc));
    EXPECT_EQ(rig.Links.Shown, 1);
    EXPECT_EQ(rig.Links.ShownStart, EncodeDateTime(2009, 12, 3, 11, 0));
    EXPECT_EQ(fm.result(), QDialog::Accepted);
  }
  {
    // A bare day, long after any hint: the press keeps the dialog, the double click moves the
    // track to noon of that day and closes.
    TCalendarFm fm(&rig.Catalogue, &rig.Links);
    fm.PrepareForMonth(EncodeDate(2009, 12, 1));
    const QRect cell = fm.Month().CellRect(17);
    EXPECT_FALSE(fm.CalendarPBMouseDown(cell.topLeft() + QPoint(4, 4)));
    fm.CalendarPBDblClick();
    EXPECT_EQ(rig.Links.MovedTo, EncodeDateTime(2009, 12, 17, 12, 0));
    EXPECT_EQ(rig.Links.Shown, 1);
  }
}

TEST(CalendarFm, FolderLinkOpensTheOnlyFolderOrOffersAList) {
  RCalendarRig rig;
  TCalendarFm fm(&rig.Catalogue, &rig.Links);
  fm.PrepareForMonth(EncodeDate(2009, 11, 1));  // no month folder for November
  fm.OpenFolderLnkClick();
  ASSERT_EQ(rig.Links.Opened.size(), 1);
  EXPECT_TRUE(rig.Links.Opened.front().endsWith(QStringLiteral("/Audio")));
  fm.PrepareForMonth(EncodeDate(2009, 12, 1));
  fm.OpenFolderLnkClick();
  ASSERT_EQ(fm.FoldersLB()->count(), 4);
  fm.FoldersLBClick(0);  // the heading does nothing
  EXPECT_EQ(rig.Links.Opened.size(), 1);
  fm.FoldersLBClick(3);
  ASSERT_EQ(rig.Links.Opened.size(), 2);
  EXPECT_TRUE(rig.Links.Opened.back().endsWith(QStringLiteral("/Audio/2009-12")));
}
