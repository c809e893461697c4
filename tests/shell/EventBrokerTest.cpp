// The rules behind the commands that need no window: which track a new bookmark goes to, which
// moment new text gets, and the speed bar's steps and limits.

#include "vlEventBroker.h"
#include "vlPlaybackSpeed.h"

#include <gtest/gtest.h>

namespace {

TEST(EventBroker, TheTrackFollowsVisibilityThenActivityThenTheLatestStop) {
  struct RRow {
    bool Historical, Current, Recording, Playing, PlayVisible, NowVisible;
    TAudioOperation Stopped;
    TBrokerTrack Expected;
  };
  const RRow rows[] = {
      // Only one visible: that one, whatever runs.
      {true, false, true, false, false, true, aoRecord, btkHistorical},
      {false, true, false, true, true, false, aoPlay, btkCurrent},
      // Neither visible: recording, then playing, then the latest stop decides.
      {false, false, true, true, true, false, aoPlay, btkCurrent},
      {false, false, false, true, false, false, aoRecord, btkHistorical},
      {false, false, false, false, false, false, aoPlay, btkHistorical},
      {false, false, false, false, false, false, aoRecord, btkCurrent},
      {false, false, false, false, false, false, aoNoneYet, btkCurrent},
      // Both visible and recording: current, unless the user listens back to a passage that the
      // historical track shows while the current one does not show now.
      {true, true, true, false, false, false, aoNoneYet, btkCurrent},
      {true, true, true, true, true, false, aoNoneYet, btkHistorical},
      {true, true, true, true, true, true, aoNoneYet, btkCurrent},
      {true, true, true, true, false, false, aoNoneYet, btkCurrent},
      // Both visible, not recording.
      {true, true, false, true, false, false, aoRecord, btkHistorical},
      {true, true, false, false, false, false, aoPlay, btkHistorical},
      {true, true, false, false, false, false, aoRecord, btkCurrent},
      {true, true, false, false, false, false, aoNoneYet, btkCurrent},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(testing::Message() << row.Historical << row.Current << row.Recording << row.Playing
                                    << row.PlayVisible << row.NowVisible << row.Stopped);
    RTrackBrokerState state;
    state.HistoricalVisible = row.Historical;
    state.CurrentVisible = row.Current;
    state.Recording = row.Recording;
    state.Playing = row.Playing;
    state.PlayPositionVisibleOnHistorical = row.PlayVisible;
    state.NowVisibleOnCurrent = row.NowVisible;
    state.LatestStopped = row.Stopped;
    EXPECT_EQ(NewEventBroker_Track(state), row.Expected);
  }
}

TEST(EventBroker, NewTextGetsNowUnlessAContextOrPlaybackGivesARealMoment) {
  const TDateTime now = 40100.5, context = 40000.25, playing = 40050.75;
  struct RRow {
    bool Prepared, Recording, Playing;
    TDateTime Context;
    TDateTime Expected;
  };
  const RRow rows[] = {
      {false, false, true, context, now},     // not yet prepared
      {true, true, true, context, now},       // recording
      {true, false, true, 0, playing},        // no context while playing
      {true, false, true, context, context},  // the context wins over playback
      {true, false, false, context, context}, {true, false, false, 0, now},  // nothing at all
      {true, false, false, 12, now},  // a context that is no real moment
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(testing::Message()
                 << row.Prepared << row.Recording << row.Playing << " " << row.Context);
    RBrokerState state;
    state.StartupCompleted = row.Prepared;
    state.Recording = row.Recording;
    state.Playing = row.Playing;
    state.PlayPosition = row.Playing ? playing : 0;
    EXPECT_EQ(NewEventBroker_When(state, row.Context, now), row.Expected);
  }
  // The installed broker reads the state at every question.
  TMainWindowBroker broker;
  bool recording = false;
  broker.ReadState = [&](RBrokerState &State) {
    State.StartupCompleted = true;
    State.Recording = recording;
  };
  EXPECT_EQ(broker.BrokeredEffectiveWhen(context), context);
  recording = true;
  EXPECT_NE(broker.BrokeredEffectiveWhen(context), context);
  EXPECT_TRUE(broker.LastState().Recording);
}

TEST(PlaybackSpeed, StepsStayWithinTheBarAndTheLabelShowsTheDifference) {
  EXPECT_EQ(SpeedClamped(188 + 5), 190);
  EXPECT_EQ(SpeedClamped(52 - 5), 50);
  EXPECT_EQ(SpeedAfterTurtle(55), 50);
  EXPECT_EQ(SpeedAfterTurtle(50), 50);
  EXPECT_EQ(SpeedAfterRabbit(185), 190);
  EXPECT_EQ(SpeedAfterRabbit(190), 190);
  EXPECT_EQ(SpeedAfterRabbit(100), 110);
  EXPECT_EQ(TempoDisplayText(125), QStringLiteral("+25"));
  EXPECT_EQ(TempoDisplayText(90), QStringLiteral("-10"));
  EXPECT_EQ(TempoDisplayText(100), QStringLiteral("0"));
  EXPECT_EQ(SpeedFromActionName(QStringLiteral("aPlaySpeed050")), 50);
  EXPECT_EQ(SpeedFromActionName(QStringLiteral("aPlaySpeed190")), 190);
  EXPECT_EQ(SpeedFromActionName(QStringLiteral("aPlaySpeed999")), 190);
  EXPECT_EQ(SpeedFromActionName(QStringLiteral("aPlaySpeedFaster")), 0);
}

}  // namespace
