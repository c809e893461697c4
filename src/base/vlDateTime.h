#pragma once
// Moments as the notes files and the timelines count them.
//
// A TDateTime is a double: whole days since 1899-12-30 00:00 local time, the fraction being the
// time of day. Before that day the fraction still counts forwards from midnight of the day named
// by the whole part (-1.25 is 1899-12-29 06:00), the form older files use.

#include <QDateTime>
#include <QString>

#include <cstdint>

using TDateTime = double;

inline constexpr double HoursPerDay = 24;
inline constexpr double MinsPerDay = 24 * 60;
inline constexpr double SecsPerDay = 24 * 60 * 60;
inline constexpr std::int64_t MSecsPerDay = 24LL * 60 * 60 * 1000;

// A moment split into its calendar and clock fields, the milliseconds rounded to the nearest.
struct RDecodedDateTime {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;
  int MSec = 0;
};

// Rounds halves to the even neighbour, as the stored arithmetic expects. Non-finite values and
// values beyond the 64-bit range give 0.
std::int64_t RoundHalfEven(double Value);

// False for NaN, infinities and moments outside years 1..9999: such values are unreadable.
bool IsValidDateTime(TDateTime DT);

// The calendar day (the whole part) and the milliseconds into it, rounded to the millisecond,
// carrying into the next day at midnight.
void SplitDateTime(TDateTime DT, std::int64_t &DayNumber, std::int64_t &MSecOfDay);
TDateTime JoinDateTime(std::int64_t DayNumber, std::int64_t MSecOfDay);

RDecodedDateTime DecodeDateTime(TDateTime DT);
TDateTime EncodeDateTime(int Year, int Month, int Day, int Hour = 0, int Minute = 0, int Second = 0,
                         int MSec = 0);
TDateTime EncodeDate(int Year, int Month, int Day);
TDateTime EncodeTime(int Hour, int Minute, int Second, int MSec);

TDateTime DateOf(TDateTime DT);  // midnight of DT's day
TDateTime TimeOf(TDateTime DT);  // the time of day as a fraction

// 1 = Sunday .. 7 = Saturday.
int DayOfWeek(TDateTime DT);

// Conversions to and from Qt's local time. Invalid QDateTimes convert to 0.
QDateTime DateTimeToQDateTime(TDateTime DT);
TDateTime QDateTimeToDateTime(const QDateTime &Value);

// Milliseconds from A to B, rounded (negative when B is earlier).
std::int64_t MilliSecondsBetween(TDateTime A, TDateTime B);
TDateTime IncMilliSecond(TDateTime DT, std::int64_t MSecs);
