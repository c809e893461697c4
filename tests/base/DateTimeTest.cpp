#include "vlClock.h"
#include "vlColor.h"
#include "vlDateTime.h"
#include "vlGlobals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(DateTime, RoundHalfEvenGoesToTheEvenNeighbour) {
  struct Row {
    double value;
    std::int64_t expected;
  } rows[] = {{0.5, 0},  {1.5, 2},      {2.5, 2},
              {-0.5, 0}, {-1.5, -2},    {2.4, 2},
              {2.6, 3},  {-2.6, -3},    {1e15 + 0.5, 1000000000000000},
              {NAN, 0},  {HUGE_VAL, 0}, {1e300, 0}};
  for (const Row &r : rows) EXPECT_EQ(RoundHalfEven(r.value), r.expected) << r.value;
}

TEST(DateTime, EncodeAndDecodeAgreeWithTheEpochAndTheKnownDays) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(EncodeDate(2009, 9, 3), 40059.0);
  const RDecodedDateTime d = DecodeDateTime(40059.5746);
  EXPECT_EQ(d.Year, 2009);
  EXPECT_EQ(d.Month, 9);
  EXPECT_EQ(d.Day, 3);
  EXPECT_EQ(d.Hour, 13);
  EXPECT_EQ(d.Minute, 47);
  EXPECT_EQ(d.Second, 25);
  EXPECT_EQ(d.MSec, 440);
}

TEST(DateTime, DaysBeforeTheEpochKeepTheirTimeOfDayForwards) {
  // -1.25 is 1899-12-29 06:00, not 18:00.
  const RDecodedDateTime d = DecodeDateTime(-1.25);
  EXPECT_EQ(d.Day, 29);
  EXPECT_EQ(d.Hour, 6);
  EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 29, 6), -1.25);
}

TEST(DateTime, DecodingRoundsToTheMillisecondAndCarriesAtMidnight) {
  const TDateTime almostMidnight = EncodeDate(2020, 2, 28) + (MSecsPerDay - 0.4) / MSecsPerDay;
  const RDecodedDateTime d = DecodeDateTime(almostMidnight);
  EXPECT_EQ(d.Month, 2);
  EXPECT_EQ(d.Day, 29);  // leap year
  EXPECT_EQ(d.Hour, 0);
  EXPECT_EQ(d.MSec, 0);
  EXPECT_EQ(TimeStampFull(almostMidnight), QStringLiteral("2020-02-29 00:00 00.0"));
}

TEST(DateTime, DayOfWeekCountsFromSunday) {
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);        // a Saturday
  EXPECT_EQ(DayOfWeek(EncodeDate(2009, 9, 6)), 1);          // a Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 9) + 0.99), 4);  // a Wednesday, late
  EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 24)), 1);        // before the epoch
}

TEST(DateTime, QDateTimeRoundTripKeepsMilliseconds) {
  const QDateTime q(QDate(2024, 3, 15), QTime(9, 41, 7, 123), Qt::LocalTime);
  const TDateTime dt = QDateTimeToDateTime(q);
  EXPECT_EQ(DateTimeToQDateTime(dt), q);
  EXPECT_EQ(MilliSecondsBetween(dt, IncMilliSecond(dt, 86'400'123)), 86'400'123);
  EXPECT_EQ(QDateTimeToDateTime(QDateTime()), 0.0);
}

TEST(DateTime, InvalidMomentsDecodeAsTheEpoch) {
  for (double bad : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), 1e12, -1e12}) {
    EXPECT_FALSE(IsValidDateTime(bad));
    EXPECT_EQ(TimeStampFull(bad), QStringLiteral("1899-12-30 00:00 00.0"));
  }
}

TEST(TimeStamps, FullAndMinuteForms) {
  EXPECT_EQ(TimeStampFull(40059.5746), QStringLiteral("2009-09-03 13:47 25.4"));
  EXPECT_EQ(TimeStampFull(EncodeDateTime(2009, 9, 3, 13, 47, 36, 599)),
            QStringLiteral("2009-09-03 13:47 36.5"));
  EXPECT_EQ(TimeStampMinute(40059.5746), QStringLiteral("2009-09-03 13;47"));
  EXPECT_EQ(TimeStampFull(EncodeDateTime(812, 1, 2, 3, 4, 5, 600)),
            QStringLiteral("0812-01-02 03:04 05.6"));
}

TEST(Clock, ManualClockReplacesTheSystemClockForItsScope) {
  const TDateTime before = Now();
  {
    TManualClock manual(EncodeDate(2001, 1, 1));
    TScopedClock scope(manual);
    EXPECT_EQ(Now(), EncodeDate(2001, 1, 1));
    manual.AdvanceMSecs(1500);
    EXPECT_EQ(MilliSecondsBetween(EncodeDate(2001, 1, 1), Now()), 1500);
    EXPECT_EQ(Clock().SteadyMSecs(), 1500);
  }
  EXPECT_GE(Now(), before);
  EXPECT_GT(Now(), EncodeDate(2020, 1, 1));
}

TEST(Color, RedIsTheLowByte) {
  EXPECT_EQ(RGBColor(0x12, 0x34, 0x56), 0x563412);
  EXPECT_EQ(ColorRed(0x563412), 0x12);
  EXPECT_EQ(ColorBlue(0x563412), 0x56);
  EXPECT_TRUE(IsRGBColor(clWhite));
  EXPECT_FALSE(IsRGBColor(clNone));
  EXPECT_FALSE(IsRGBColor(clDefault));
}

TEST(Clock, SystemClockAgreesWithQtsLocalTime) {
  TSystemClock clock;
  const TDateTime before = QDateTimeToDateTime(QDateTime::currentDateTime());
  const TDateTime now = clock.Now();
  const TDateTime after = QDateTimeToDateTime(QDateTime::currentDateTime());
  EXPECT_LE(MilliSecondsBetween(before, now), 1000);
  EXPECT_GE(MilliSecondsBetween(before, now), -1);
  EXPECT_GE(MilliSecondsBetween(now, after), -1);
}

TEST(Clock, SystemClockAddsTheLocalZonesOffset) {
  const QByteArray oldTz = qgetenv("TZ");
  qputenv("TZ", "UTC0");
  TSystemClock clock;
  const TDateTime utc = clock.Now();
  qputenv("TZ", "IST-5:30");  // UTC+5:30 in POSIX form: needs no zone database
  // A fresh clock looks the offset up again.
  TSystemClock other;
  const std::int64_t shift = MilliSecondsBetween(utc, other.Now());
  EXPECT_NEAR(static_cast<double>(shift), 5.5 * 3600 * 1000, 2000);
  if (oldTz.isNull())
    qunsetenv("TZ");
  else
    qputenv("TZ", oldTz);
}
