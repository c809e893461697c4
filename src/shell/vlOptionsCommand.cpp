#include "vlOptionsCommand.h"

#include "vl09_Main.h"
#include "vl09_MyAudio.h"
#include "vl09_Options.h"
#include "vlGuard.h"

#include <QAction>

TvlOptionsCommand::~TvlOptionsCommand() { delete FOptionsFm; }

void TvlOptionsCommand::Show(const QString &Page) {
  if (!FOptionsFm) {
    FOptionsFm = new TOptionsFm(FOptions, *this, &FWindow);
    QObject::connect(FOptionsFm, &QDialog::accepted, &FWindow,
                     [this] { RunGuarded([this] { Applied(); }); });
  }
  FOptionsFm->TurnToPage(Page);
  // Not exec(): the window stays modal to the user, while the event loop the program runs goes
  // on (and a test is never held by it).
  FOptionsFm->open();
}

void TvlOptionsCommand::Applied() {
  FWindow.ApplyJumpBackKey();
  if (TTrackPanelLink *tracks = FWindow.TrackPanelLink())
    tracks->TempoChanged(FOptions.FWantTempo, FWindow.Speed());
  if (TProgramLink *program = FWindow.ProgramLink()) program->OptionsApplied();
}

void TvlOptionsCommand::RebuildKeyCommands() {
  if (TBookmarkKeysLink *keys = FWindow.BookmarkKeysLink()) keys->RebuildKeyCommands();
}

void TvlOptionsCommand::RebuildBookmarkMenu() {
  if (TBookmarkKeysLink *keys = FWindow.BookmarkKeysLink()) keys->RebuildBookmarkMenu();
}

void TvlOptionsCommand::RedrawTracks() {
  if (TTrackPanelLink *tracks = FWindow.TrackPanelLink()) tracks->RedrawTracks();
}

void TvlOptionsCommand::RecreateAudioComponents() {
  if (TvlAudio *audio = FWindow.Parts().Audio) audio->AudioComponents_FreeAndReinitialize();
}

void TvlOptionsCommand::SetRecordStartAuto(bool On) { FWindow.aRecordStartAuto->setChecked(On); }

bool TvlOptionsCommand::IsRecording() {
  TvlAudio *audio = FWindow.Parts().Audio;
  return audio ? audio->IsRecording() : FWindow.AudioStartup().IsRecording();
}
