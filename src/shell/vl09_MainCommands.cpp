// The main window's commands: the action list behind the menu bar and the two tool bars, the
// speed and volume bars, the search panel, and what each command does. Split from vl09_Main.cpp
// for size; that file keeps the window's panels, its start, its idle work and its closing.
//
// The commands act on the program's parts (Parts()); a part that is missing makes its commands
// do nothing, so the window also runs as a bare frame in tests and before the parts exist.

#include "vl09_Main.h"
#include "vlActionTable.h"

#include "vl09_Hint.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_OptionsFm.h"
#include "vl09_RecentFiles.h"
#include "vl09_Registry.h"
#include "vl09_SilenceActions.h"
#include "vlAppPaths.h"
#include "vlClock.h"
#include "vlColorConversion.h"
#include "vlEditorHost.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlHelpTexts.h"
#include "vlPlaybackSpeed.h"
#include "vlPrompts.h"
#include "vlSearchPanel.h"
#include "vlSpeedVolumeBars.h"
#include "vlWindowView.h"
#include "vlWindowViewManager.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QSlider>
#include <QSplitter>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

// ---------------------------------------------------------------------------------------------
// The action list, the menus and the tool bars

QAction *TVellomarFm::NewAction(const char *Name, const QString &Caption, const QKeySequence &Key,
                                bool Checkable) {
  auto *action = new QAction(Caption, this);
  action->setObjectName(QLatin1String(Name));
  action->setCheckable(Checkable);
  if (!Key.isEmpty()) action->setShortcut(Key);
  FActions.insert(action->objectName(), action);
  return action;
}

void TVellomarFm::CreateCommandActions() {
  // The actions vl09_Main.cpp made for start-up and closing join the list.
  for (QAction *made :
       {aFileExit, aRecordStart, aRecordStartAuto, aPlayStart, aPlayInstantReplay, aPlaySegment,
        aButtonStopBoth, aSilenceScheduled, aToolsTimeline, aToolsAudioControls})
    FActions.insert(made->objectName(), made);
  for (QAction *recent : aFileRecent) FActions.insert(recent->objectName(), recent);
  for (QAction *recent : aFileRecent)
    connect(recent, &QAction::triggered, this, [this, recent] {
      RunGuarded([this, recent] { FFiles->aFileRecentAnyExecute(recent); });
    });
  // "Other Recent Files" shows only while it holds a file.
  connect(FFileMenu, &QMenu::aboutToShow, this, [this] {
    FRecentSubmenu->menuAction()->setVisible(
        std::any_of(aFileRecent.begin() + 6, aFileRecent.end(),
                    [](const QAction *r) { return r->isVisible(); }));
  });

  // The menus the table fills, in the menu bar's order: Edit after File, Options before Tools,
  // Help last. Record and Play are filled again in the table's order.
  FEditMenu = new QMenu(QStringLiteral("&Edit"), this);
  menuBar()->insertMenu(FRecordMenu->menuAction(), FEditMenu);
  // Undo and Redo show in the menu whether the active tab's history allows them; their keys stay
  // live otherwise (a disabled action's shortcut never fires) and then do nothing.
  connect(FEditMenu, &QMenu::aboutToShow, this, [this] {
    if (QAction *undo = Action(QStringLiteral("aEditUndo"))) undo->setEnabled(FText->CanUndo());
    if (QAction *redo = Action(QStringLiteral("aEditRedo"))) redo->setEnabled(FText->CanRedo());
  });
  connect(FEditMenu, &QMenu::aboutToHide, this, [this] {
    for (const char *name : {"aEditUndo", "aEditRedo"})
      if (QAction *a = Action(QLatin1String(name))) a->setEnabled(true);
  });
  FFormatMenu = new QMenu(QStringLiteral("For&mat"), this);
  menuBar()->insertMenu(FRecordMenu->menuAction(), FFormatMenu);
  QMenu *colorMenu = nullptr;
  QMenu *highlightMenu = nullptr;
  FOptionsMenu = new QMenu(QStringLiteral("&Options"), this);
  menuBar()->insertMenu(FToolsMenu->menuAction(), FOptionsMenu);
  FHelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
  FRecordMenu->clear();
  FPlayMenu->clear();
  QMenu *speedMenu = nullptr;
  QMenu *markersMenu = nullptr;
  QMenu *videosMenu = nullptr;
  QAction *beforeRecent = FRecentSeparator;
  bool tabsSeparated = false;
  for (const RActionRow &row : CommandActionTable(*this)) {
    QAction *a = FActions.value(row.Name);
    if (!a) a = NewAction(row.Name.toLatin1().constData(), row.Caption);
    a->setText(row.Caption);
    a->setCheckable(a->isCheckable() || (row.Flags & afCheckable));
    if (!row.Shortcut.isEmpty()) a->setShortcut(row.Shortcut);
    if (row.Flags & afHidden) a->setVisible(false);
    switch (row.Place) {
      case TActionPlace::apFile: FFileMenu->insertAction(beforeRecent, a); break;
      case TActionPlace::apFileTabs:
        if (!tabsSeparated) FFileMenu->insertSeparator(beforeRecent);
        tabsSeparated = true;
        FFileMenu->insertAction(beforeRecent, a);
        break;
      case TActionPlace::apEdit: FEditMenu->addAction(a); break;
      case TActionPlace::apFormat: FFormatMenu->addAction(a); break;
      case TActionPlace::apFormatColor:
        if (!colorMenu) {
          FFormatMenu->addSeparator();
          colorMenu = FFormatMenu->addMenu(QStringLiteral("Text &Colour"));
        }
        colorMenu->addAction(a);
        break;
      case TActionPlace::apFormatHighlight:
        if (!highlightMenu) highlightMenu = FFormatMenu->addMenu(QStringLiteral("&Highlight"));
        highlightMenu->addAction(a);
        break;
      case TActionPlace::apRecord: FRecordMenu->addAction(a); break;
      case TActionPlace::apPlay: FPlayMenu->addAction(a); break;
      case TActionPlace::apSpeed:
        if (!speedMenu) speedMenu = FPlayMenu->addMenu(QStringLiteral("Sp&eed"));
        speedMenu->addAction(a);
        break;
      case TActionPlace::apOptions: FOptionsMenu->addAction(a); break;
      case TActionPlace::apHelp: FHelpMenu->addAction(a); break;
      case TActionPlace::apTipMarkers:
        if (!markersMenu) {
          markersMenu = FHelpMenu->addMenu(QStringLiteral("&Show or Hide Tip Markers"));
          markersMenu->menuAction()->setVisible(false);
        }
        markersMenu->addAction(a);
        break;
      case TActionPlace::apVideos:
        if (!videosMenu) {
          videosMenu = FHelpMenu->addMenu(QStringLiteral("V&ideos"));
          videosMenu->menuAction()->setVisible(false);
        }
        videosMenu->addAction(a);
        break;
      case TActionPlace::apToolBar:
      case TActionPlace::apNowhere: break;
    }
    if (!row.Handler) continue;
    if (row.Flags & afCommandSetsCheck) {
      connect(a, &QAction::triggered, this, [a, Handler = row.Handler](bool Checked) {
        {
          const QSignalBlocker quiet(a);
          a->setChecked(!Checked);
        }
        RunGuarded(Handler);
      });
    } else {
      connect(a, &QAction::triggered, this, [Handler = row.Handler] { RunGuarded(Handler); });
    }
  }
  if (QAction *redo = FActions.value(QStringLiteral("aEditRedo")))
    redo->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
  OpenUrl = [](const QUrl &Url) { return QDesktopServices::openUrl(Url); };

  aFileExit->setShortcut(QKeySequence(QStringLiteral("Ctrl+Q")));
  // The shortcuts show in pop-up menus too (the text's own menu holds some of these actions).
  for (QAction *a : std::as_const(FActions)) a->setShortcutVisibleInContextMenu(true);

  // Pictures and tips.
  Action(QStringLiteral("aEditFind"))->setIcon(FindIcon());
  aRecordStart->setIcon(RecordIcon());
  aPlayInstantReplay->setToolTip(QStringLiteral("Instant Replay"));
  aPlayInstantReplay->setStatusTip(
      QStringLiteral("Rewind a little and play again. Click several times to go back farther."));
  aPlayStart->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  aPlayInstantReplay->setIcon(style()->standardIcon(QStyle::SP_MediaSeekBackward));
  aPlaySegment->setIcon(style()->standardIcon(QStyle::SP_MediaSkipForward));
  aButtonStopBoth->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
  QAction *turtle = Action(QStringLiteral("aButtonTurtle"));
  QAction *rabbit = Action(QStringLiteral("aButtonsRabbit"));
  turtle->setIcon(GlyphIcon(QStringLiteral("\u2212"), QColor(0, 100, 0)));
  rabbit->setIcon(GlyphIcon(QStringLiteral("+"), QColor(0, 100, 0)));
  turtle->setToolTip(QStringLiteral("Turtle: play 10 % slower"));
  rabbit->setToolTip(QStringLiteral("Rabbit: play 10 % faster"));
  Action(QStringLiteral("aFontBold"))->setIcon(GlyphIcon(QStringLiteral("B"), Qt::black, fsBold));
  Action(QStringLiteral("aFontItalic"))
      ->setIcon(GlyphIcon(QStringLiteral("I"), Qt::black, fsItalic));
  Action(QStringLiteral("aFontUnderline"))
      ->setIcon(GlyphIcon(QStringLiteral("U"), Qt::black, fsUnderline));
  Action(QStringLiteral("aTextBullets"))
      ->setIcon(GlyphIcon(QStringLiteral("\u2022"), Qt::black, fsBold));
  Action(QStringLiteral("aTextFontIncrease"))->setIcon(GlyphIcon(QStringLiteral("A+"), Qt::black));
  Action(QStringLiteral("aTextFontDecrease"))
      ->setIcon(GlyphIcon(QStringLiteral("a\u2212"), Qt::black));
  // One colour and one highlight checked at a time; none when the caret's font has another.
  auto *colors = new QActionGroup(this);
  colors->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const RColorAction &c : FontColorActions) {
    QAction *a = Action(QLatin1String(c.Name));
    a->setData(static_cast<uint>(c.Value));
    a->setIcon(SwatchIcon(c.Value, false));
    colors->addAction(a);
  }
  auto *highlights = new QActionGroup(this);
  highlights->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const RColorAction &c : HighlightColorActions) {
    QAction *a = Action(QLatin1String(c.Name));
    a->setData(static_cast<uint>(c.Value));
    a->setIcon(SwatchIcon(c.Value, true));
    highlights->addAction(a);
  }

  // Silence: the protection's own actions replace the window's "Scheduled" once the parts are
  // set; until then the caption of the window's item follows the schedule.
  connect(FSilenceMenu, &QMenu::aboutToShow, this, [this] {
    RunGuarded([this] {
      if (FParts.SilenceActions) FParts.SilenceActions->RefreshScheduledCaption();
    });
  });

  // The moment new text and bookmarks get, and what the editor's keys ask of the window.
  FBroker = std::make_unique<TMainWindowBroker>();
  FBroker->ReadState = [this](RBrokerState &State) { State = BrokerState(); };
  FEditorHost = MakeWindowEditorHost(*this);
  ApplyJumpBackKey();
}

void TVellomarFm::CreateCommandPanels() {
  FAudioActionToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  FAudioActionToolBar->addSeparator();
  FAudioActionToolBar->addAction(Action(QStringLiteral("aButtonTurtle")));
  FTextActionToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  FTextActionToolBar->addAction(Action(QStringLiteral("aButtonsRabbit")));
  FTextActionToolBar->addSeparator();
  FTextActionToolBar->addAction(Action(QStringLiteral("aEditFind")));
  for (const char *name : {"aFontBold", "aFontItalic", "aFontUnderline", "aTextBullets",
                           "aTextNumbered", "aTextFontIncrease", "aTextFontDecrease"})
    FTextActionToolBar->addAction(Action(QLatin1String(name)));
  FTextActionToolBar->addSeparator();
  for (const RColorAction &c : FontColorActions)
    FTextActionToolBar->addAction(Action(QLatin1String(c.Name)));
  FTextActionToolBar->addSeparator();
  for (const RColorAction &c : HighlightColorActions)
    FTextActionToolBar->addAction(Action(QLatin1String(c.Name)));

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
  FSearchPanel = new TSearchPanel(FSearchResultsPnl);
  FSearchResultsPnl->layout()->addWidget(FSearchPanel);
  connect(FSearchPanel, &TSearchPanel::CloseRequested, this,
          [this] { RunGuarded([this] { SearchClose(); }); });
  // The right divider keeps the results' share of the space it shares with the notebook.
  connect(FBodySplitter, &QSplitter::splitterMoved, this, [this] {
    if (FSearchResultsPnl->isHidden()) return;
    const QList<int> sizes = FBodySplitter->sizes();
    const int shared = sizes.value(1) + sizes.value(2);
    FSearchResultsWidthWhenVisible =
        shared > 0 ? static_cast<double>(sizes.value(2)) / shared : 1.625;
  });
}

void TVellomarFm::SetProgramParts(const RProgramParts &Parts) {
  FParts = Parts;
  if (TvlNotebook *nb = FParts.Notebook) {
    if (!FNotebook) {
      FOwnNotebookLink = MakeWindowNotebookLink(*this);
      FNotebook = FOwnNotebookLink.get();
    }
    FSearchPanel->SetNotebook(nb);
    if (!nb->OnFileAccessed)
      nb->OnFileAccessed = [this](const QString &PathName) {
        if (FRecentlyUsedFiles) FRecentlyUsedFiles->AccessingFile(PathName);
      };
    if (!nb->OnFileNotFound)
      nb->OnFileNotFound = [this](const QString &PathName) {
        if (FRecentlyUsedFiles) FRecentlyUsedFiles->UnlistFile(PathName);
      };
    if (!nb->OnExportRequested)
      nb->OnExportRequested = [this](int TabIndex) {
        if (FParts.Notebook) FParts.Notebook->ActivatePage(TabIndex);
        FFiles->aFileTabExportExecute();
      };
    FFiles->SetCaptionForBinder();
  }
  if (FParts.SilenceActions) {
    FSilenceMenu->clear();
    FSilenceMenu->addActions(FParts.SilenceActions->Actions());
    for (QAction *a : FParts.SilenceActions->Actions()) FActions.insert(a->objectName(), a);
  }
}

int TVellomarFm::Speed() const { return FSpeedVolume->Speed(); }

void TVellomarFm::SetSpeed(int NewSpeed) { FSpeedVolume->SetSpeed(NewSpeed); }

void TVellomarFm::RefreshVolumeBar() {
  if (FParts.Audio && FSpeedVolume) FSpeedVolume->ShowVolume(FParts.Audio->GetCombinedVolume());
}

TOptionsFm *TVellomarFm::OptionsWindow() const { return FOptionsFm; }

void TVellomarFm::ShowOptions(const QString &Page) {
  if (!FOptionsFm) {
    FOptionsFm = new TOptionsFm(FOptions, this);
    FOptionsFm->Hooks.SetRecordStartAuto = [this](bool On) { aRecordStartAuto->setChecked(On); };
    FOptionsFm->Hooks.IsRecording = [this] {
      return FParts.Audio ? FParts.Audio->IsRecording() : FAudio.IsRecording();
    };
    FOptionsFm->Hooks.RedrawTracks = [this] {
      if (FTracks) FTracks->RedrawTracks();
    };
    FOptionsFm->Hooks.RebuildKeyCommands = [this] {
      if (FBookmarkKeys) FBookmarkKeys->RebuildKeyCommands();
    };
    FOptionsFm->Hooks.RebuildBookmarkMenu = [this] {
      if (FBookmarkKeys) FBookmarkKeys->RebuildBookmarkMenu();
    };
    FOptionsFm->Hooks.RecreateAudioComponents = [this] {
      if (FParts.Audio) FParts.Audio->AudioComponents_FreeAndReinitialize();
    };
    connect(FOptionsFm, &QDialog::accepted, this, [this] {
      RunGuarded([this] {
        ApplyJumpBackKey();
        if (FTracks) FTracks->TempoChanged(FOptions.FWantTempo, Speed());
        if (FProgram) FProgram->OptionsApplied();
      });
    });
  }
  FOptionsFm->TurnToPage(Page);
  // Not exec(): the window stays modal to the user, while the event loop the program runs goes
  // on (and a test is never held by it).
  FOptionsFm->open();
}

void TVellomarFm::ApplyJumpBackKey() {
  // Ctrl+R (character 18) is the instant replay's shortcut; another character is caught by the
  // key filter; 0 is no key at all.
  aPlayInstantReplay->setShortcut(
      FOptions.FJumpBackKey == 18 ? QKeySequence(QStringLiteral("Ctrl+R")) : QKeySequence());
}

// ---------------------------------------------------------------------------------------------
// The event broker

RBrokerState TVellomarFm::BrokerState() const {
  RBrokerState state;
  state.StartupCompleted = FPreparedForBroker;
  if (TvlAudio *audio = FParts.Audio) {
    state.Recording = audio->IsRecording();
    state.Playing = audio->IsPlaying();
    state.PlayPosition = state.Playing ? audio->GetPlay_Position() : 0;
  } else {
    state.Recording = FAudio.IsRecording();
  }
  return state;
}

TDateTime TVellomarFm::BrokeredEffectiveWhen(TDateTime DocumentContextDT) const {
  return ApplyEffectiveTimeRule(BrokerState(), DocumentContextDT, Now());
}

TDateTime TVellomarFm::NewEventBroker_When(QChar Ch) const {
  const TDateTime now = Now();
  TDocument *doc = FText->ActiveDocument();
  if (!doc) return now;
  return ::NewEventBroker_When(BrokerState(), doc->Timestamp_Effective_ContextAtPos(Ch), now);
}

TBrokerTrack TVellomarFm::NewEventBroker_Track() const {
  RTrackBrokerState state;
  const bool tracksShown = FTrackBarsPnl->isVisible();
  state.HistoricalVisible = tracksShown && FTrackBarOldPnl->width() > MinVisibleTrackWidth;
  state.CurrentVisible = tracksShown && FRecordingPnl->width() > MinVisibleTrackWidth;
  const RBrokerState audio = BrokerState();
  state.Recording = audio.Recording;
  state.Playing = audio.Playing;
  if (FTracks) {
    state.PlayPositionVisibleOnHistorical =
        audio.Playing && FTracks->TrackShowsMoment(btkHistorical, audio.PlayPosition);
    state.NowVisibleOnCurrent = FTracks->TrackShowsMoment(btkCurrent, Now());
  }
  state.LatestStopped = FParts.Audio ? FParts.Audio->LatestOperationStopped() : aoNoneYet;
  const TBrokerTrack track = ::NewEventBroker_Track(state);
  if (track == btkNone) ErrorReportInDebug(QStringLiteral("VL.NETB nil!"));
  return track;
}

// ---------------------------------------------------------------------------------------------
// Search

void TVellomarFm::aEditFindExecute() {
  QList<int> sizes = FBodySplitter->sizes();
  if (FSearchResultsPnl->isHidden() && sizes.size() == 3) {
    FSearchResultsPnl->show();
    // A stored share that is no fraction (a divider once pushed to the edge) is kept as it is
    // stored, but the panel is given a sensible share.
    const double share = std::clamp(FSearchResultsWidthWhenVisible, 0.05, 0.9);
    const int shared = std::max(2, sizes[1] + sizes[2]);
    sizes[2] = std::max(FSearchResultsPnl->minimumWidth(), static_cast<int>(shared * share));
    sizes[1] = std::max(1, shared - sizes[2]);
    FBodySplitter->setSizes(sizes);
  }
  FSearchPanel->SearchCmBx->setFocus();
  FSearchPanel->SearchCmBx->lineEdit()->selectAll();
}

void TVellomarFm::SearchClose() {
  if (FSearchResultsPnl->isHidden()) return;
  FSearchResultsPnl->hide();
  if (FNotebook) FNotebook->FocusActivePage();
}
