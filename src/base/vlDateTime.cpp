#include "vlDateTime.h"

#include <cfenv>
#include <cmath>

namespace {

const QDate &Epoch() {
  static const QDate epoch(1899, 12, 30);
  return epoch;
}

}  // namespace

std::int64_t RoundHalfEven(double Value) {
  if (!std::isfinite(Value) || Value >= 9.2e18 || Value <= -9.2e18) return 0;
  // nearbyint follows the current rounding mode; the default is to-nearest-even, but a library
  // could have changed it, so set it for the call.
  const int oldMode = std::fegetround();
  if (oldMode != FE_TONEAREST) std::fesetround(FE_TONEAREST);
  const double r = std::nearbyint(Value);
  if (oldMode != FE_TONEAREST) std::fesetround(oldMode);
  return static_cast<std::int64_t>(r);
}

bool IsValidDateTime(TDateTime DT) {
  // 0001-01-01 is day -693593, 9999-12-31 is day 2958465.
  return std::isfinite(DT) && DT > -693594.0 && DT < 2958466.0;
}

void SplitDateTime(TDateTime DT, std::int64_t &DayNumber, std::int64_t &MSecOfDay) {
  if (!IsValidDateTime(DT)) {
    DayNumber = 0;
    MSecOfDay = 0;
    return;
  }
  const double whole = std::trunc(DT);
  DayNumber = static_cast<std::int64_t>(whole);
  MSecOfDay = static_cast<std::int64_t>(std::llround(std::fabs(DT - whole) * MSecsPerDay));
  if (MSecOfDay >= MSecsPerDay) {
    MSecOfDay -= MSecsPerDay;
    ++DayNumber;
  }
}

TDateTime JoinDateTime(std::int64_t DayNumber, std::int64_t MSecOfDay) {
  const double fraction = static_cast<double>(MSecOfDay) / MSecsPerDay;
  return DayNumber >= 0 ? DayNumber + fraction : DayNumber - fraction;
}

RDecodedDateTime DecodeDateTime(TDateTime DT) {
  std::int64_t day = 0, ms = 0;
  SplitDateTime(DT, day, ms);
  const QDate date = Epoch().addDays(day);
  RDecodedDateTime r;
  r.Year = date.year();
  r.Month = date.month();
  r.Day = date.day();
  r.Hour = static_cast<int>(ms / 3600000);
  r.Minute = static_cast<int>(ms / 60000 % 60);
  r.Second = static_cast<int>(ms / 1000 % 60);
  r.MSec = static_cast<int>(ms % 1000);
  return r;
}

TDateTime EncodeDate(int Year, int Month, int Day) {
  const QDate date(Year, Month, Day);
  if (!date.isValid()) return 0;
  return static_cast<double>(Epoch().daysTo(date));
}

TDateTime EncodeTime(int Hour, int Minute, int Second, int MSec) {
  return (((Hour * 60.0 + Minute) * 60.0 + Second) * 1000.0 + MSec) / MSecsPerDay;
}

TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour, int Minute, int Second, int MSec) {
  const QDate date(Year, Month, Day);
  if (!date.isValid()) return 0;
  const std::int64_t ms = ((Hour * 60LL + Minute) * 60LL + Second) * 1000LL + MSec;
  return JoinDateTime(Epoch().daysTo(date), ms);
}

TDateTime DateOf(TDateTime DT) {
  std::int64_t day = 0, ms = 0;
  SplitDateTime(DT, day, ms);
  return static_cast<double>(day);
}

TDateTime TimeOf(TDateTime DT) {
  std::int64_t day = 0, ms = 0;
  SplitDateTime(DT, day, ms);
  return static_cast<double>(ms) / MSecsPerDay;
}

int DayOfWeek(TDateTime DT) {
  std::int64_t day = 0, ms = 0;
  SplitDateTime(DT, day, ms);
  // Day 0 (1899-12-30) was a Saturday, 7.
  const std::int64_t m = ((day + 6) % 7 + 7) % 7;
  return static_cast<int>(m) + 1;
}

QDateTime DateTimeToQDateTime(TDateTime DT) {
  std::int64_t day = 0, ms = 0;
  SplitDateTime(DT, day, ms);
  return QDateTime(Epoch().addDays(day), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)),
                   Qt::LocalTime);
}

TDateTime QDateTimeToDateTime(const QDateTime &Value) {
  if (!Value.isValid()) return 0;
  const QDateTime local = Value.toLocalTime();
  return JoinDateTime(Epoch().daysTo(local.date()), local.time().msecsSinceStartOfDay());
}

std::int64_t MilliSecondsBetween(TDateTime A, TDateTime B) {
  std::int64_t dayA = 0, msA = 0, dayB = 0, msB = 0;
  SplitDateTime(A, dayA, msA);
  SplitDateTime(B, dayB, msB);
  return (dayB - dayA) * MSecsPerDay + (msB - msA);
}

TDateTime IncMilliSecond(TDateTime DT, std::int64_t MSecs) {
  std::int64_t day = 0, ms = 0;
  SplitDateTime(DT, day, ms);
  std::int64_t total = day * MSecsPerDay + ms + MSecs;
  std::int64_t newDay = total / MSecsPerDay;
  std::int64_t newMs = total % MSecsPerDay;
  if (newMs < 0) {
    newMs += MSecsPerDay;
    --newDay;
  }
  return JoinDateTime(newDay, newMs);
}
