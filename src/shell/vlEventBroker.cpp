#include "vlEventBroker.h"

#include <cmath>

namespace {

// Neither track decides by being the only one visible: what the program did last decides.
TBrokerTrack ByLatestStopped(TAudioOperation LatestStopped) {
  return LatestStopped == aoPlay ? btkHistorical : btkCurrent;
}

}  // namespace

TBrokerTrack NewEventBroker_Track(const RTrackBrokerState &State) {
  if (State.HistoricalVisible != State.CurrentVisible)
    return State.HistoricalVisible ? btkHistorical : btkCurrent;
  if (!State.HistoricalVisible) {
    if (State.Recording) return btkCurrent;
    if (State.Playing) return btkHistorical;
    return ByLatestStopped(State.LatestStopped);
  }
  // Both visible.
  if (State.Recording) {
    // Listening back to a passage while recording: the bookmark belongs where the user looks.
    if (State.Playing && State.PlayPositionVisibleOnHistorical && !State.NowVisibleOnCurrent)
      return btkHistorical;
    return btkCurrent;
  }
  if (State.Playing) return btkHistorical;
  return ByLatestStopped(State.LatestStopped);
}

TDateTime NewEventBroker_When(const RBrokerState &State, TDateTime ContextDT, TDateTime NowDT) {
  const TDateTime brokered = ApplyEffectiveTimeRule(State, ContextDT, NowDT);
  return std::isfinite(brokered) && brokered >= 100 ? brokered : NowDT;
}

TDateTime TMainWindowBroker::BrokeredEffectiveWhen(TDateTime DocumentContextDT) {
  if (ReadState) ReadState(FRule.State);
  return FRule.BrokeredEffectiveWhen(DocumentContextDT);
}
