#include "vlPlaybackCommands.h"

#include "vl09_Hint.h"
#include "vl09_MyAudio.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_Silence.h"
#include "vlAudioStartup.h"
#include "vlCommandHost.h"
#include "vlPlaybackSpeed.h"
#include "vlPrompts.h"
#include "vlTextCommands.h"
#include "vlWindowView.h"
#include "vlWindowViewManager.h"

#include <QAction>
#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <algorithm>

void TvlPlaybackCommands::RecordingStartBtnClick() {
  const bool recording =
      FHost.Parts().Audio ? FHost.Parts().Audio->IsRecording() : FStartup.IsRecording();
  // The check follows the recorder through the callbacks, not the click.
  if (QAction *start = FHost.Action(QStringLiteral("aRecordStart"))) start->setChecked(recording);
  if (recording) {
    if (FHost.Parts().Audio)
      FHost.Parts().Audio->Recording_Stop();
    else
      FStartup.StopRecording();
    return;
  }
  // The notes as they are now are kept before anything may go wrong with the recording.
  if (FHost.NotebookLink()) FHost.NotebookLink()->SaveNotebookAsBackupNow();
  if (!FWindow.AudioReady()) {
    FWindow.RequestRecordingWhenReady();
  } else {
    TvlAudio *audio = FHost.Parts().Audio;
    // Playing through the speakers into a recording records the playback a second time.
    if (audio && FOptions.FAvoidGen2Record && audio->IsPlaying()) audio->Play_Pause();
    bool started = false;
    if (audio) {
      started = audio->Recording_Start();
    } else {
      FStartup.StartRecording();
      started = FStartup.IsRecording();
    }
    if (started) {
      // The protection window promised that permission to play ends with a new recording.
      if (FHost.Parts().Silence) FHost.Parts().Silence->NewRecordingStarted();
      QCoreApplication::processEvents();
      if (FHost.TrackPanelLink()) FHost.TrackPanelLink()->RecordingStarted_MoveCurrentTrack();
    } else if (Prompts().Ask(RecordingFailedText, {TPromptButton::pbYes, TPromptButton::pbNo},
                             TPromptButton::pbNo) == TPromptButton::pbYes) {
      FWindow.ShowOptions(QStringLiteral("Record"));
    }
  }
  // Notes for the new recording start on a new line at the end of the active document.
  TvlNotebook *nb = FHost.Parts().Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  auto *view = page ? WindowViewOf(page->MyWindowView) : nullptr;
  if (view && view->hasFocus() && page->mtcDoc) {
    const TCaretPos last = page->mtcDoc->Document_LastCaretPos();
    page->mtcDoc->AtPos_NoSelectionSet(last);
    view->Caret_MoveToPos(last);
    ViewManager().FeedKey(view, 14, Qt::NoModifier);
  }
}

namespace {

TDateTime FeatureMoment(const TTimelinePanelLink *Timelines) {
  return Timelines ? Timelines->FeatureMoment() : 0;
}

}  // namespace

void TvlPlaybackCommands::aPlayStartExecute() {
  TvlAudio *audio = FHost.Parts().Audio;
  if (!audio) return;
  // A retry only when nothing could play; after silence protection refused, asking again would
  // override the user's answer.
  if (audio->Play_Resume() != prNoAudio) return;
  const TDateTime feature = FeatureMoment(FHost.TimelinePanelLink());
  if (feature < 100) return;
  audio->SetPlay_Position(feature);
  audio->Play_Resume();
}

void TvlPlaybackCommands::aPlayStopExecute() {
  if (FHost.Parts().Audio) FHost.Parts().Audio->Play_Stop();
}

void TvlPlaybackCommands::aPlayInstantReplayExecute() {
  TvlAudio *audio = FHost.Parts().Audio;
  if (!audio) return;
  const double jumpBack = FOptions.FJumpBack / SecsPerDay;
  const TDateTime feature = FeatureMoment(FHost.TimelinePanelLink());
  if (audio->GetPlay_Position() < 100 && feature >= 100) audio->SetPlay_Position(feature);
  // From where playback is now, so that pressing again while it plays goes farther back.
  TDateTime target = audio->GetPlay_Position() - jumpBack;
  const TDateTime fileStart = audio->Play_Position_AudioStartsAt();
  if (target <= fileStart) target = fileStart;
  // At the speed the user chose: a passage replayed because it went by too fast must not come
  // back faster.
  const TPlayResult result = audio->Play_From(target, FHost.Speed());
  if (result == prNoAudio && feature >= 100) {
    audio->SetPlay_Position(feature - jumpBack);
    audio->Play_Resume();
  }
}

void TvlPlaybackCommands::aPlaySegmentExecute() {
  TvlAudio *audio = FHost.Parts().Audio;
  if (!audio) return;
  if (audio->IsPlaying()) {
    audio->Play_Pause();
    ShowTranscriptionHint();
    return;
  }
  // An overlap as long as the segment would play the same stretch for ever (or silence).
  const int overlap = std::clamp(FOptions.FLockstepOverlap, 0,
                                 TvlOptions::LockstepOverlapLimit(FOptions.FLockstepLength));
  TPlayResult result = audio->Play_Segment(overlap, FOptions.FLockstepLength);
  const TDateTime feature = FeatureMoment(FHost.TimelinePanelLink());
  if (result == prNoAudio && feature >= 100) {
    audio->SetPlay_Position(feature);
    result = audio->Play_Segment(overlap, FOptions.FLockstepLength);
  }
  if (result == prOkay) ShowTranscriptionHint();
}

void TvlPlaybackCommands::ShowTranscriptionHint() {
  if (FHost.Hint()) {
    const QWidget &window = FHost.DialogParent();
    const QPoint topCentre = window.mapToGlobal(QPoint(window.width() / 2, 40));
    FHost.Hint()->ShowIt(TranscriptionHintText, topCentre, TranscriptionHintMSecs);
  }
  if (!FTranscriptionMode) {
    FTranscriptionMode = new QTimer(&FHost.DialogParent());
    FTranscriptionMode->setSingleShot(true);
  }
  FTranscriptionMode->start(TranscriptionModeMSecs);
  if (QWidget *panel = FWindow.TranscriptionPnl()) panel->hide();
}

void TvlPlaybackCommands::HideTranscriptionHint() {
  TvlHint *hint = FHost.Hint();
  if (hint && hint->isVisible() && hint->HintText() == TranscriptionHintText) hint->HideEarly();
}

bool TvlPlaybackCommands::TranscriptionHintActive() const {
  return FTranscriptionMode && FTranscriptionMode->isActive();
}

void TvlPlaybackCommands::aButtonStopBothExecute() {
  if (TvlAudio *audio = FHost.Parts().Audio) {
    if (audio->IsPlaying()) audio->Play_Pause();
    if (audio->IsRecording()) audio->Recording_Stop();
    return;
  }
  FStartup.StopPlaying();
  FStartup.StopRecording();
}

void TvlPlaybackCommands::PlayFromCaretExecute() {
  TvlAudio *audio = FHost.Parts().Audio;
  TvlNotebook *nb = FHost.Parts().Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  if (!audio || !page || !page->mtcDoc) return;
  TDateTime when = 0;
  if (auto *view = WindowViewOf(page->MyWindowView))
    when = view->CaretMoment();
  else
    when = page->mtcDoc->Timestamp_GetForCharacter(page->mtcDoc->FAtPos).FEffectiveDT;
  if (when < 100) return;
  audio->Play_From(when, FHost.Speed());
}
