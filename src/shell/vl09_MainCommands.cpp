// The main window's commands: the menus and actions made from the action table and what the
// window connects to them, the speed and volume bars and the search area, and the window's
// entry points into its command classes and event broker. vl09_Main.cpp keeps the window's
// panels, its start, its idle work and its closing.
//
// The commands act on the program's parts (Parts()); a part that is missing makes its commands
// do nothing, and so does a command class the program has not handed over (SetCommands), so the
// window also runs as a bare frame in tests and before the parts exist.

#include "vl09_Main.h"
#include "vlCommandMenus.h"

#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_SilenceActions.h"
#include "vlEditorHost.h"
#include "vlGuard.h"
#include "vlOptionsCommand.h"
#include "vlSearchArea.h"
#include "vlSearchPanel.h"
#include "vlSpeedVolumeBars.h"
#include "vlWindowAdapters.h"
#include "vlWindowBroker.h"

#include <QAction>
#include <QBoxLayout>
#include <QDesktopServices>
#include <QListWidget>
#include <QMenu>

void TVellomarFm::CreateActions() {
  FMenus = std::make_unique<TvlCommandMenus>(*this, CommandActionTable(*this));
  const auto named = [this](const char *Name) { return Action(QLatin1String(Name)); };
  aFileExit = named("aFileExit");
  aRecordStart = named("aRecordStart");
  aRecordStartAuto = named("aRecordStartAuto");
  aPlayStart = named("aPlayStart");
  aPlayInstantReplay = named("aPlayInstantReplay");
  aPlaySegment = named("aPlaySegment");
  aButtonStopBoth = named("aButtonStopBoth");
  aSilenceScheduled = named("aSilenceScheduled");
  aToolsTimeline = named("aToolsTimeline");
  aToolsAudioControls = named("aToolsAudioControls");
  aFileRecent = FMenus->RecentActions();
  for (QAction *recent : aFileRecent)
    connect(recent, &QAction::triggered, this, [this, recent] {
      RunGuarded([this, recent] {
        if (FCommands.Files) FCommands.Files->aFileRecentAnyExecute(recent);
      });
    });
  // The options follow the check however it changes: a click, the stored choice, the options.
  connect(aRecordStartAuto, &QAction::toggled, this,
          [this](bool On) { FOptions.RecordStartAuto = On; });
  // Undo and Redo show in the menu whether the active tab's history allows them; their keys stay
  // live otherwise (a disabled action's shortcut never fires) and then do nothing.
  QMenu *edit = FMenus->Menu(TActionPlace::apEdit);
  connect(edit, &QMenu::aboutToShow, this, [this] {
    const TvlTextCommands *text = FCommands.Text.get();
    if (QAction *undo = Action(QStringLiteral("aEditUndo")))
      undo->setEnabled(text && text->CanUndo());
    if (QAction *redo = Action(QStringLiteral("aEditRedo")))
      redo->setEnabled(text && text->CanRedo());
  });
  connect(edit, &QMenu::aboutToHide, this, [this] {
    for (const char *name : {"aEditUndo", "aEditRedo"})
      if (QAction *a = Action(QLatin1String(name))) a->setEnabled(true);
  });
  // The caption of "Scheduled" tells the schedule's level now; it is refreshed when the menu
  // opens rather than on every click anywhere in the program. The protection's own actions
  // replace the window's item once the parts are set.
  connect(SilenceMenu(), &QMenu::aboutToShow, this, [this] {
    RunGuarded([this] {
      aSilenceScheduled->setText(
          SilenceScheduledCaption(FProgram ? FProgram->SilenceProtectionLevelNow() : 0));
      if (FParts.SilenceActions) FParts.SilenceActions->RefreshScheduledCaption();
    });
  });
  OpenUrl = [](const QUrl &Url) { return QDesktopServices::openUrl(Url); };
  ApplyJumpBackKey();
}

QMenu *TVellomarFm::FileMenu() const { return FMenus->Menu(TActionPlace::apFile); }
QMenu *TVellomarFm::SilenceMenu() const { return FMenus->SilenceMenu(); }
QAction *TVellomarFm::Action(const QString &Name) const { return FMenus->Action(Name); }

void TVellomarFm::CreateCommandPanels() {
  FMenus->PlaceOnToolBars(*FAudioActionToolBar, *FTextActionToolBar);

  // The speed bar with its scale, and the volume bar with its buttons, after the text tool bar
  // (index 1), before the stretch and the recorder labels.
  FSpeedVolume = new TSpeedVolumeBars(*FAudioControlsPnl,
                                      *static_cast<QBoxLayout *>(FAudioControlsPnl->layout()), 2,
                                      *VolumeDownBtn, *VolumeUpBtn);
  connect(FSpeedVolume, &TSpeedVolumeBars::SpeedChanged, this, [this](int Value) {
    RunGuarded([this, Value] {
      if (FParts.Audio) FParts.Audio->NewTempo(Value);
      if (FTracks) FTracks->TempoChanged(FOptions.FWantTempo, Value);
    });
  });
  connect(FSpeedVolume, &TSpeedVolumeBars::VolumeChosen, this, [this](double Combined) {
    if (!FParts.Audio) return;
    RunGuarded([this, Combined] { FParts.Audio->SetCombinedVolume(Combined); });
  });

  // The search panel in its place at the right of the notebook.
  FSearch = std::make_unique<TvlSearchArea>(*FSearchResultsPnl, *FBodySplitter);
  connect(FSearch->SearchPanel(), &TSearchPanel::CloseRequested, this,
          [this] { RunGuarded([this] { SearchClose(); }); });
}

void TVellomarFm::SetCommands(RWindowCommands Commands) {
  if (Commands.Files) FCommands.Files = std::move(Commands.Files);
  if (Commands.Playback) FCommands.Playback = std::move(Commands.Playback);
  if (Commands.Text) FCommands.Text = std::move(Commands.Text);
  if (Commands.Print) FCommands.Print = std::move(Commands.Print);
  if (Commands.Options) FCommands.Options = std::move(Commands.Options);
}

void TVellomarFm::SetProgramParts(const RProgramParts &Parts) {
  FParts = Parts;
  if (TvlNotebook *nb = FParts.Notebook) {
    if (!FNotebook) {
      FOwnNotebookLink = MakeWindowNotebookLink(*this);
      FNotebook = FOwnNotebookLink.get();
    }
    SearchPanel()->SetNotebook(nb);
    if (TvlFileCommands *files = FCommands.Files.get()) {
      files->ConnectNotebook(*nb);
      files->SetCaptionForBinder();
    }
  }
  if (FParts.SilenceActions) {
    SilenceMenu()->clear();
    SilenceMenu()->addActions(FParts.SilenceActions->Actions());
    for (QAction *a : FParts.SilenceActions->Actions()) FMenus->Add(a);
  }
}

int TVellomarFm::Speed() const { return FSpeedVolume->Speed(); }

void TVellomarFm::SetSpeed(int NewSpeed) { FSpeedVolume->SetSpeed(NewSpeed); }

void TVellomarFm::RefreshVolumeBar() {
  if (FParts.Audio && FSpeedVolume) FSpeedVolume->ShowVolume(FParts.Audio->GetCombinedVolume());
}

void TVellomarFm::ShowBinderInTitle(const QString &FileName) {
  setWindowTitle(FileName.isEmpty()
                     ? FProgramNameInCaptionStr
                     : FProgramNameInCaptionStr + QStringLiteral("  -  ") + FileName);
  RefreshRecordingIndicator();
}

void TVellomarFm::ClearSearchResults() {
  if (TSearchPanel *panel = SearchPanel()) panel->ResultsLB->clear();
}

TOptionsFm *TVellomarFm::OptionsWindow() const {
  return FCommands.Options ? FCommands.Options->Window() : nullptr;
}

void TVellomarFm::ShowOptions(const QString &Page) {
  if (FCommands.Options) FCommands.Options->Show(Page);
}

void TVellomarFm::ApplyJumpBackKey() { ::ApplyJumpBackKey(aPlayInstantReplay, FOptions); }

// ---------------------------------------------------------------------------------------------
// The event broker (vlWindowBroker.h)

TDateTime TVellomarFm::BrokeredEffectiveWhen(TDateTime DocumentContextDT) const {
  return FBroker->BrokeredEffectiveWhen(DocumentContextDT);
}
TDateTime TVellomarFm::NewEventBroker_When(QChar Ch) const {
  return FBroker->NewEventBroker_When(Ch);
}
TBrokerTrack TVellomarFm::NewEventBroker_Track() const { return FBroker->NewEventBroker_Track(); }
TEffectiveTimeBroker &TVellomarFm::EventBroker() { return FBroker->DocumentBroker(); }
void TVellomarFm::SetPreparedForBroker(bool Prepared) { FBroker->SetPrepared(Prepared); }

// ---------------------------------------------------------------------------------------------
// Search

TSearchPanel *TVellomarFm::SearchPanel() const { return FSearch->SearchPanel(); }

void TVellomarFm::aEditFindExecute() { FSearch->Show(); }

void TVellomarFm::SearchClose() {
  if (FSearch->Hide() && FNotebook) FNotebook->FocusActivePage();
}
