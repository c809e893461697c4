#pragma once
// The rig of the track tests: a manual clock, an event store of their own and the moments used.

#include "vl09_DayFilesManager.h"
#include "vlClock.h"

#include <gtest/gtest.h>

// 2009-09-03, a Thursday.
inline const TDateTime TrackDay = EncodeDate(2009, 9, 3);
inline constexpr double OneSec = 1 / 86400.0;

inline TDateTime TrackAt(int Hour, int Minute, double Second = 0, TDateTime Day = TrackDay) {
  return Day + (Hour * 3600 + Minute * 60 + Second) * OneSec;
}

class TrackRig : public ::testing::Test {
 protected:
  TManualClock Clock{EncodeDateTime(2009, 9, 3, 18, 0)};
  TScopedClock UseClock{Clock};
  TvlDayFilesManager M;
};
