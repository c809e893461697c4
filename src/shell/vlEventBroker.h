#pragma once
// Which track and which moment a new bookmark or typed character gets. The answers depend on
// what the program is doing (recording, playing, neither), on which tracks the user can see, and
// on what the program did last; the main window gathers that into the states below and asks.
// Both rules are plain functions so that every combination can be checked without windows.
//
// Called on the user-interface thread only.

#include "vl09_MyAudio.h"
#include "vldTemporal.h"

#include <functional>

// The track a new bookmark goes to; the same two roles the timelines call arHistorical and
// arCurrent.
enum TBrokerTrack { btkNone, btkHistorical, btkCurrent };

struct RTrackBrokerState {
  // A track counts as visible when the track panel shows and its own panel is wider than
  // MinVisibleTrackWidth pixels.
  bool HistoricalVisible = false;
  bool CurrentVisible = false;
  bool Recording = false;
  bool Playing = false;
  // The play position lies in the historical track's view; "now" lies in the current one's.
  bool PlayPositionVisibleOnHistorical = false;
  bool NowVisibleOnCurrent = false;
  TAudioOperation LatestStopped = aoNoneYet;
};

inline constexpr int MinVisibleTrackWidth = 15;

// The track for a new bookmark. btkNone only when no rule gives one; the caller logs it.
TBrokerTrack NewEventBroker_Track(const RTrackBrokerState &State);

// The moment for a new character Ch typed at a caret whose text context has the moment
// ContextDT (0: none), brokered by State: the brokered moment when it is a real one (100 days or
// more), else now.
TDateTime NewEventBroker_When(const RBrokerState &State, TDateTime ContextDT, TDateTime NowDT);

// The broker the main window installs for the document model. It reads the program's state at
// each question through ReadState, so that a playback that ended a moment ago, or the play
// position that moved on, is never answered from a stale copy.
class TMainWindowBroker final : public TEffectiveTimeBroker {
 public:
  std::function<void(RBrokerState &State)> ReadState;
  TDateTime BrokeredEffectiveWhen(TDateTime DocumentContextDT) override;
  const RBrokerState &LastState() const { return FRule.State; }

 private:
  TRuleBroker FRule;
};
