#pragma once
// The rig of the events tests: a manual clock, the manager (which is also the typing-event sink
// and clears its prompts' record), and the moments the tests use.

#include "FormatsTestSupport.h"
#include "vl09_DayFilesManager.h"
#include "vlClock.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

// 2009-09-03 10:00, a Thursday; Today is the clock's day.
inline const TDateTime Day0 = EncodeDate(2009, 9, 3);
inline constexpr double Sec = 1 / 86400.0;

class EventsRig : public ::testing::Test {
 protected:
  EventsRig() { TTestEnvironment::TestPrompts().Clear(); }

  TDateTime At(int Hour, int Minute, double Second = 0, TDateTime Day = Day0) const {
    return Day + (Hour * 3600 + Minute * 60 + Second) * Sec;
  }
  // The bytes of the OtherEvents block written by the manager.
  QByteArray SavedBlock() const;
  // Reads Bytes (a block, maybe with lines around it) into the manager; the reader's problems.
  QString LoadBlock(const QByteArray &Bytes);

  TManualClock Clock{EncodeDateTime(2009, 9, 3, 18, 0)};
  TScopedClock UseClock{Clock};
  TvlDayFilesManager M;
  // As the program installs it: the document's typing events go to the manager.
  TSeamInstall<TTypingEventSink> TypingInstalled{TypingEventSinkSeam(), M.TypingSink()};
};
