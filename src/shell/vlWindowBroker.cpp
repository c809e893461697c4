#include "vlWindowBroker.h"

#include "vl09_Main.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vl_Document.h"

#include <QWidget>

TvlWindowBroker::TvlWindowBroker(TVellomarFm &Window, QWidget &TrackBars)
    : FWindow(Window), FTrackBars(TrackBars) {
  FDocumentBroker.ReadState = [this](RBrokerState &State) { State = this->State(); };
}

RBrokerState TvlWindowBroker::State() const {
  RBrokerState state;
  state.StartupCompleted = FPrepared;
  if (TvlAudio *audio = FWindow.Parts().Audio) {
    state.Recording = audio->IsRecording();
    state.Playing = audio->IsPlaying();
    state.PlayPosition = state.Playing ? audio->GetPlay_Position() : 0;
  } else {
    state.Recording = FWindow.AudioStartup().IsRecording();
  }
  return state;
}

TDateTime TvlWindowBroker::BrokeredEffectiveWhen(TDateTime DocumentContextDT) const {
  return ApplyEffectiveTimeRule(State(), DocumentContextDT, Now());
}

TDateTime TvlWindowBroker::NewEventBroker_When(QChar Ch) const {
  const TDateTime now = Now();
  TDocument *doc = ActiveDocumentOf(FWindow.Parts());
  if (!doc) return now;
  return ::NewEventBroker_When(State(), doc->Timestamp_Effective_ContextAtPos(Ch), now);
}

TBrokerTrack TvlWindowBroker::NewEventBroker_Track() const {
  RTrackBrokerState state;
  const bool tracksShown = FTrackBars.isVisible();
  state.HistoricalVisible = tracksShown && FWindow.TrackBarOldPnl()->width() > MinVisibleTrackWidth;
  state.CurrentVisible = tracksShown && FWindow.RecordingPnl()->width() > MinVisibleTrackWidth;
  const RBrokerState audio = State();
  state.Recording = audio.Recording;
  state.Playing = audio.Playing;
  if (TTrackPanelLink *tracks = FWindow.TrackPanelLink()) {
    state.PlayPositionVisibleOnHistorical =
        audio.Playing && tracks->TrackShowsMoment(btkHistorical, audio.PlayPosition);
    state.NowVisibleOnCurrent = tracks->TrackShowsMoment(btkCurrent, Now());
  }
  TvlAudio *audioPart = FWindow.Parts().Audio;
  state.LatestStopped = audioPart ? audioPart->LatestOperationStopped() : aoNoneYet;
  const TBrokerTrack track = ::NewEventBroker_Track(state);
  if (track == btkNone) ErrorReportInDebug(QStringLiteral("VL.NETB nil!"));
  return track;
}
