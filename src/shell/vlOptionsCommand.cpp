#include "vlOptionsCommand.h"

#include "vl09_MyAudio.h"
#include "vl09_Options.h"
#include "vlAudioStartup.h"
#include "vlCommandHost.h"
#include "vlGuard.h"

#include <QAction>

void ApplyJumpBackKey(QAction *InstantReplay, const TvlOptions &Options) {
  if (!InstantReplay) return;
  InstantReplay->setShortcut(Options.FJumpBackKey == 18 ? QKeySequence(QStringLiteral("Ctrl+R"))
                                                        : QKeySequence());
}

TvlOptionsCommand::~TvlOptionsCommand() { delete FOptionsFm; }

void TvlOptionsCommand::Show(const QString &Page) {
  if (!FOptionsFm) {
    FOptionsFm = new TOptionsFm(FOptions, *this, &FHost.DialogParent());
    QObject::connect(FOptionsFm, &QDialog::accepted, &FHost.DialogParent(),
                     [this] { RunGuarded([this] { Applied(); }); });
  }
  FOptionsFm->TurnToPage(Page);
  // Not exec(): the window stays modal to the user, while the event loop the program runs goes
  // on (and a test is never held by it).
  FOptionsFm->open();
}

void TvlOptionsCommand::Applied() {
  ApplyJumpBackKey(FHost.Action(QStringLiteral("aPlayInstantReplay")), FOptions);
  if (TTrackPanelLink *tracks = FHost.TrackPanelLink())
    tracks->TempoChanged(FOptions.FWantTempo, FHost.Speed());
  if (TProgramLink *program = FHost.ProgramLink()) program->OptionsApplied();
}

void TvlOptionsCommand::RebuildKeyCommands() {
  if (TBookmarkKeysLink *keys = FHost.BookmarkKeysLink()) keys->RebuildKeyCommands();
}

void TvlOptionsCommand::RebuildBookmarkMenu() {
  if (TBookmarkKeysLink *keys = FHost.BookmarkKeysLink()) keys->RebuildBookmarkMenu();
}

void TvlOptionsCommand::RedrawTracks() {
  if (TTrackPanelLink *tracks = FHost.TrackPanelLink()) tracks->RedrawTracks();
}

void TvlOptionsCommand::RecreateAudioComponents() {
  if (TvlAudio *audio = FHost.Parts().Audio) audio->AudioComponents_FreeAndReinitialize();
}

void TvlOptionsCommand::SetRecordStartAuto(bool On) {
  if (QAction *automatic = FHost.Action(QStringLiteral("aRecordStartAuto")))
    automatic->setChecked(On);
}

bool TvlOptionsCommand::IsRecording() {
  TvlAudio *audio = FHost.Parts().Audio;
  return audio ? audio->IsRecording() : FStartup.IsRecording();
}
