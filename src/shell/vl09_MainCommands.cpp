// The main window's commands: the action list behind the menu bar and the two tool bars, the
// speed and volume bars, the search panel, and what each command does. Split from vl09_Main.cpp
// for size; that file keeps the window's panels, its start, its idle work and its closing.
//
// The commands act on the program's parts (Parts()); a part that is missing makes its commands
// do nothing, so the window also runs as a bare frame in tests and before the parts exist.

#include "vl09_Main.h"

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

namespace {

// The fifteen fixed speeds of the "Speed" submenu, by action name and caption.
struct RSpeedAction {
  const char *Name;
  const char16_t *Caption;
};
constexpr RSpeedAction SpeedActions[] = {
    {"aPlaySpeed050", u"&50 % Slower"}, {"aPlaySpeed060", u"&40 % Slower"},
    {"aPlaySpeed070", u"&30 % Slower"}, {"aPlaySpeed080", u"&20 % Slower"},
    {"aPlaySpeed090", u"&10 % Slower"}, {"aPlaySpeed100", u"&Natural"},
    {"aPlaySpeed110", u"1&0 % Faster"}, {"aPlaySpeed120", u"20 % &Faster"},
    {"aPlaySpeed130", u"30 % F&aster"}, {"aPlaySpeed140", u"40 % Fa&ster"},
    {"aPlaySpeed150", u"50 % Fas&ter"}, {"aPlaySpeed160", u"&60 % Faster"},
    {"aPlaySpeed170", u"&70 % Faster"}, {"aPlaySpeed180", u"&80 % Faster"},
    {"aPlaySpeed190", u"&90 % Faster"},
};

QString Text(const char16_t *Utf16) { return QString::fromUtf16(Utf16); }

// Tool-bar pictures drawn here, so that the program needs no image files: a glyph in a colour,
// or a swatch of a colour.
QIcon GlyphIcon(const QString &Glyph, const QColor &Color, TFontStyles Style = {}) {
  QPixmap picture(20, 20);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  QFont font = painter.font();
  font.setPixelSize(14);
  font.setBold(Style.testFlag(fsBold));
  font.setItalic(Style.testFlag(fsItalic));
  font.setUnderline(Style.testFlag(fsUnderline));
  painter.setFont(font);
  painter.setPen(Color);
  painter.drawText(picture.rect(), Qt::AlignCenter, Glyph);
  return QIcon(picture);
}

QIcon SwatchIcon(TColor Color, bool Highlight) {
  QPixmap picture(20, 20);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  const QColor color = TColorToQColor(Color);
  if (Highlight) {
    painter.fillRect(QRect(2, 4, 16, 12), color);
    painter.setPen(Qt::black);
    painter.drawText(picture.rect(), Qt::AlignCenter, QStringLiteral("ab"));
  } else {
    painter.setPen(color);
    QFont font = painter.font();
    font.setPixelSize(14);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(0, 0, 20, 16), Qt::AlignCenter, QStringLiteral("A"));
    painter.fillRect(QRect(3, 16, 14, 3), color);
  }
  return QIcon(picture);
}

QIcon RecordIcon() {
  QPixmap picture(20, 20);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setBrush(QColor(200, 0, 0));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QRect(4, 4, 12, 12));
  return QIcon(picture);
}

// The notebook link over the program's notebook, for a program that installs none of its own:
// the save question and closing go through the window's own file commands.
class TWindowNotebookLink final : public TNotebookLink {
 public:
  explicit TWindowNotebookLink(TVellomarFm &Fm) : FFm(Fm) {}

  bool HasUnsavedDocumentChanges() const override {
    const TvlNotebook *nb = FFm.Parts().Notebook;
    return nb && !nb->Binder_IsCompeletelySaved();
  }
  bool IsBinderNamed() const override {
    const QString path = BinderPathName();
    return !path.isEmpty() && !IsBackupPath(path);
  }
  QString BinderPathName() const override {
    const TvlNotebook *nb = FFm.Parts().Notebook;
    return nb ? nb->BinderPathName() : QString();
  }
  bool SaveBinder() override { return FFm.FileCommands().aFileSaveExecute(); }
  bool SaveBinderAs() override { return FFm.FileCommands().aFileSaveAsExecute(); }
  void CloseBinderAtExit() override {
    if (FFm.RecentlyUsedFiles()) FFm.RecentlyUsedFiles()->ClosingFile(BinderPathName());
  }
  void DiscardBackupAfterNo() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->Binder().Binder_DiscardBackup();
  }
  void SaveListOfOpenDocuments() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->SaveNotebook_SaveListOfOpenDocsToBinderFile();
  }
  void SaveNotebookAsBackupMaybe() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->SaveNotebook_AsBackup_Maybe(btOnIdle_AsNeeded);
  }
  void SaveNotebookAsBackupNow() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->SaveNotebook_AsBackup_Maybe(btASAP);
  }
  bool FocusActivePage() override {
    TvlNotebook *nb = FFm.Parts().Notebook;
    if (!nb || !nb->GetActivePagePtr()) return false;
    nb->FocusActivePage();
    return true;
  }

 private:
  TVellomarFm &FFm;
};

// What the editor asks of the window: the text commands its keys run and the font buttons.
class TWindowEditorHost final : public IEditorHost {
 public:
  explicit TWindowEditorHost(TVellomarFm &Fm) : FFm(Fm) {}
  void FontBold() override { FFm.TextCommands().FontStyleExecute(fsBold); }
  void FontItalic() override { FFm.TextCommands().FontStyleExecute(fsItalic); }
  void FontUnderline() override { FFm.TextCommands().FontStyleExecute(fsUnderline); }
  void FileSave() override { FFm.FileCommands().aFileSaveExecute(); }
  void TextBullets() override { FFm.TextCommands().aTextBulletsExecute(); }
  void SearchClose() override { FFm.SearchClose(); }
  void UpdateFontButtonState(TFontIndex Font) override {
    TvlNotebook *nb = FFm.Parts().Notebook;
    RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
    FFm.TextCommands().UpdateFontButtonState(page ? page->mtcDoc.get() : nullptr, Font);
  }
  void IncrementChangeCountOfActiveDoc() override {
    if (TvlNotebook *nb = FFm.Parts().Notebook) nb->IncrementChangeCountOfActiveDoc();
  }

 private:
  TVellomarFm &FFm;
};

}  // namespace

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

  const auto guarded = [this](QAction *Action, auto Body) {
    connect(Action, &QAction::triggered, this, [Body] { RunGuarded(Body); });
  };

  // File: the binder's commands go before the recent files.
  QAction *beforeRecent = FRecentSeparator;
  QAction *aFileNew = NewAction("aFileNew", QStringLiteral("&New"));
  QAction *aFileOpen = NewAction("aFileOpen", QStringLiteral("&Open ..."));
  QAction *aFileSave = NewAction("aFileSave", QStringLiteral("&Save"));
  QAction *aFileSaveAs = NewAction("aFileSaveAs", QStringLiteral("Save &As ..."));
  QAction *aFileClose = NewAction("aFileClose", QStringLiteral("&Close"));
  QAction *aFileTabNew = NewAction("aFileTabNew", QStringLiteral("&Tab New"));
  QAction *aFileTabImport = NewAction("aFileTabImport", QStringLiteral("Ta&b Import ..."));
  QAction *aFileTabExport = NewAction("aFileTabExport", QStringLiteral("Tab &Export ..."));
  for (QAction *a : {aFileNew, aFileOpen, aFileSave, aFileSaveAs, aFileClose})
    FFileMenu->insertAction(beforeRecent, a);
  FFileMenu->insertSeparator(beforeRecent);
  for (QAction *a : {aFileTabNew, aFileTabImport, aFileTabExport})
    FFileMenu->insertAction(beforeRecent, a);
  guarded(aFileNew, [this] { FFiles->aFileNewExecute(); });
  guarded(aFileOpen, [this] { FFiles->aFileOpenExecute(); });
  guarded(aFileSave, [this] { FFiles->aFileSaveExecute(); });
  guarded(aFileSaveAs, [this] { FFiles->aFileSaveAsExecute(); });
  guarded(aFileClose, [this] { FFiles->aFileCloseExecute(); });
  guarded(aFileTabNew, [this] { FFiles->aFileTabNewExecute(); });
  guarded(aFileTabImport, [this] { FFiles->aFileTabImportExecute(); });
  guarded(aFileTabExport, [this] { FFiles->aFileTabExportExecute(); });
  for (QAction *recent : aFileRecent)
    guarded(recent, [this, recent] { FFiles->aFileRecentAnyExecute(recent); });
  // "Other Recent Files" shows only while it holds a file.
  connect(FFileMenu, &QMenu::aboutToShow, this, [this] {
    FRecentSubmenu->menuAction()->setVisible(
        std::any_of(aFileRecent.begin() + 6, aFileRecent.end(),
                    [](const QAction *r) { return r->isVisible(); }));
  });

  // Edit, after File.
  FEditMenu = new QMenu(QStringLiteral("&Edit"), this);
  menuBar()->insertMenu(FRecordMenu->menuAction(), FEditMenu);
  QAction *aEditUndo =
      NewAction("aEditUndo", QStringLiteral("&Undo"), QKeySequence(QStringLiteral("Ctrl+Z")));
  QAction *aEditRedo =
      NewAction("aEditRedo", QStringLiteral("&Redo"), QKeySequence(QStringLiteral("Ctrl+Y")));
  aEditUndo->setVisible(false);
  aEditRedo->setVisible(false);
  QAction *aFileCut =
      NewAction("aFileCut", QStringLiteral("&Cut"), QKeySequence(QStringLiteral("Ctrl+X")));
  QAction *aEditCopy =
      NewAction("aEditCopy", QStringLiteral("C&opy"), QKeySequence(QStringLiteral("Ctrl+C")));
  QAction *aEditPaste =
      NewAction("aEditPaste", QStringLiteral("&Paste"), QKeySequence(QStringLiteral("Ctrl+V")));
  QAction *aEditFind =
      NewAction("aEditFind", QStringLiteral("&Find"), QKeySequence(QStringLiteral("Ctrl+F")));
  aEditFind->setIcon(GlyphIcon(QStringLiteral("\U0001F50D"), Qt::black));
  FEditMenu->addActions({aEditUndo, aEditRedo, aFileCut, aEditCopy, aEditPaste, aEditFind});
  guarded(aFileCut, [this] { FText->aEditCutExecute(); });
  guarded(aEditCopy, [this] { FText->aEditCopyExecute(); });
  guarded(aEditPaste, [this] { FText->aEditPasteExecute(); });
  guarded(aEditFind, [this] { aEditFindExecute(); });
  // The vertical timeline's pop-up menu carries these two; the timeline connects them.
  NewAction("aEditBookmarkRename", QStringLiteral("Rename Bookmark"));
  NewAction("aEditBookmarkDelete", QStringLiteral("Delete Bookmark"));

  // Record: Start, Stop, Configure, Start Automatically.
  QAction *aRecordStop = NewAction("aRecordStop", QStringLiteral("S&top"));
  QAction *aRecordConfigure = NewAction("aRecordConfigure", QStringLiteral("&Configure ..."));
  // The system mixer is never opened from here (nothing of the system's is changed).
  QAction *aRecordMicrophoneSensitivity =
      NewAction("aRecordMicrophoneSensitivity", QStringLiteral("&Microphone Sensitivity ..."));
  aRecordMicrophoneSensitivity->setVisible(false);
  FRecordMenu->insertAction(aRecordStartAuto, aRecordStop);
  FRecordMenu->insertAction(aRecordStartAuto, aRecordConfigure);
  FRecordMenu->addAction(aRecordMicrophoneSensitivity);
  aRecordStart->setIcon(RecordIcon());
  guarded(aRecordStop, [this] {
    if (FParts.Audio)
      FParts.Audio->Recording_Stop();
    else
      FAudio.StopRecording();
  });
  guarded(aRecordConfigure, [this] { ShowOptions(QStringLiteral("Record")); });

  // Play, in menu order.
  aPlayInstantReplay->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
  aPlayInstantReplay->setToolTip(QStringLiteral("Instant Replay"));
  aPlayInstantReplay->setStatusTip(
      QStringLiteral("Rewind a little and play again. Click several times to go back farther."));
  aPlaySegment->setShortcut(QKeySequence(QStringLiteral("Ctrl+T")));
  QAction *aPlayConfigure = NewAction("aPlayConfigure", QStringLiteral("&Configure ..."));
  QAction *aPlayOpenWindowsVolume =
      NewAction("aPlayOpenWindowsVolume", QStringLiteral("&Open Windows' Volume Control"));
  aPlayOpenWindowsVolume->setVisible(false);
  QAction *aPlayViewRecordings =
      NewAction("aPlayViewRecordings", QStringLiteral("&View Recordings ..."));
  QAction *aPlayStop = NewAction("aPlayStop", QStringLiteral("S&top / Pause"));
  QAction *aPlayFromCaret = NewAction("aPlayFromCaret", QStringLiteral("Play &from the Caret"));
  QAction *aPlaySpeedFaster =
      NewAction("aPlaySpeedFaster", QStringLiteral("Speed:  &Accelerate 5%"),
                QKeySequence(QStringLiteral("Ctrl+A")));
  QAction *aPlaySpeedSlower =
      NewAction("aPlaySpeedSlower", QStringLiteral("Speed:  Dece&lerate 5%"),
                QKeySequence(QStringLiteral("Ctrl+D")));
  QAction *aPlaySpeedNatural = NewAction("aPlaySpeedNatural", QStringLiteral("Spee&d:  Natural"),
                                         QKeySequence(QStringLiteral("Ctrl+N")));
  FPlayMenu->clear();
  FPlayMenu->addActions({aPlayInstantReplay, aPlaySegment, aPlayConfigure, aPlayOpenWindowsVolume,
                         aPlayViewRecordings, aPlayStart, aPlayStop, aPlayFromCaret,
                         aPlaySpeedFaster, aPlaySpeedSlower, aPlaySpeedNatural});
  QMenu *speedMenu = FPlayMenu->addMenu(QStringLiteral("Sp&eed"));
  for (const RSpeedAction &s : SpeedActions) {
    QAction *a = NewAction(s.Name, Text(s.Caption));
    speedMenu->addAction(a);
    const int speed = SpeedFromActionName(a->objectName());
    guarded(a, [this, speed] { SetSpeed(speed); });
  }
  aPlayStart->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
  aPlayInstantReplay->setIcon(style()->standardIcon(QStyle::SP_MediaSeekBackward));
  aPlaySegment->setIcon(style()->standardIcon(QStyle::SP_MediaSkipForward));
  aButtonStopBoth->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
  guarded(aPlayStart, [this] { FPlayback->aPlayStartExecute(); });
  guarded(aPlayStop, [this] { FPlayback->aPlayStopExecute(); });
  guarded(aPlayInstantReplay, [this] { FPlayback->aPlayInstantReplayExecute(); });
  guarded(aPlaySegment, [this] { FPlayback->aPlaySegmentExecute(); });
  guarded(aPlayFromCaret, [this] { FPlayback->PlayFromCaretExecute(); });
  guarded(aPlayConfigure, [this] { ShowOptions(QStringLiteral("Play")); });
  guarded(aPlayViewRecordings, [this] {
    if (FTimelines) FTimelines->ViewRecordings();
  });
  guarded(aPlaySpeedFaster, [this] { SetSpeed(Speed() + vlSpeed::LineStep); });
  guarded(aPlaySpeedSlower, [this] { SetSpeed(Speed() - vlSpeed::LineStep); });
  guarded(aPlaySpeedNatural, [this] { SetSpeed(vlSpeed::Natural); });

  // The audio tool bar's own buttons.
  QAction *aButtonTurtle = NewAction("aButtonTurtle", QStringLiteral("T&urtle"));
  QAction *aButtonsRabbit = NewAction("aButtonsRabbit", QStringLiteral("&Rabbit"));
  aButtonTurtle->setIcon(GlyphIcon(QStringLiteral("\u2212"), QColor(0, 100, 0)));
  aButtonsRabbit->setIcon(GlyphIcon(QStringLiteral("+"), QColor(0, 100, 0)));
  aButtonTurtle->setToolTip(QStringLiteral("Turtle: play 10 % slower"));
  aButtonsRabbit->setToolTip(QStringLiteral("Rabbit: play 10 % faster"));
  guarded(aButtonTurtle, [this] { SetSpeed(SpeedAfterTurtle(Speed())); });
  guarded(aButtonsRabbit, [this] { SetSpeed(SpeedAfterRabbit(Speed())); });

  // Options, before Tools.
  FOptionsMenu = new QMenu(QStringLiteral("&Options"), this);
  menuBar()->insertMenu(FToolsMenu->menuAction(), FOptionsMenu);
  QAction *aOptionsSketching = NewAction("aOptionsSketching", QStringLiteral("&Sketching ..."));
  aOptionsSketching->setVisible(false);
  QAction *aOptionsPlaying = NewAction("aOptionsPlaying", QStringLiteral("&Playing ..."));
  QAction *aOptionsRecording = NewAction("aOptionsRecording", QStringLiteral("&Recording ..."));
  QAction *aOptionsTimeline = NewAction("aOptionsTimeline", QStringLiteral("&Timeline ..."));
  FOptionsMenu->addActions(
      {aOptionsSketching, aOptionsPlaying, aOptionsRecording, aOptionsTimeline});
  guarded(aOptionsPlaying, [this] { ShowOptions(QStringLiteral("Play")); });
  guarded(aOptionsRecording, [this] { ShowOptions(QStringLiteral("Record")); });
  guarded(aOptionsTimeline, [this] { ShowOptions(QStringLiteral("Timeline")); });

  // Help, last.
  FHelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
  QAction *aHelpGettingStarted =
      NewAction("aHelpGettingStarted", QStringLiteral("&Getting Started ..."));
  QAction *aHelpMicrophoneTips =
      NewAction("aHelpMicrophoneTips", QStringLiteral("&Three Tips about Microphones"));
  QAction *aHelpMarkersRestoreAll =
      NewAction("aHelpMarkersRestoreAll", QStringLiteral("&Restore All"));
  QAction *aHelpMarkersHideAll = NewAction("aHelpMarkersHideAll", QStringLiteral("&Hide All"));
  QAction *aHelpContactSupport =
      NewAction("aHelpContactSupport", QStringLiteral("&Contact Support ..."));
  QAction *aHelpAbout = NewAction("aHelpAbout", QStringLiteral("&About ..."));
  FHelpMenu->addActions({aHelpGettingStarted, aHelpMicrophoneTips});
  QMenu *markers = FHelpMenu->addMenu(QStringLiteral("&Show or Hide Tip Markers"));
  markers->addActions({aHelpMarkersRestoreAll, aHelpMarkersHideAll});
  // The program shows no tip markers (the small marks that open a tip where a feature lives), so
  // an item that shows or hides them would change nothing a user can see: the submenu stays out
  // of the Help menu until the markers exist. The stored choice ("HotSpotsSupressed") is kept.
  markers->menuAction()->setVisible(false);
  aHelpMarkersRestoreAll->setVisible(false);
  aHelpMarkersHideAll->setVisible(false);
  FHelpMenu->addActions({aHelpContactSupport, aHelpAbout});
  QMenu *videos = FHelpMenu->addMenu(QStringLiteral("V&ideos"));
  videos->menuAction()->setVisible(false);
  for (int i = 1; i <= 3; ++i) {
    const QByteArray name = "aHelpVideo" + QByteArray::number(i);
    videos->addAction(NewAction(name.constData(), QStringLiteral("Video %1").arg(i)));
  }
  guarded(aHelpGettingStarted, [this] {
    const QString page = GettingStartedPagePath();
    const bool opened = !page.isEmpty() && OpenUrl && OpenUrl(QUrl::fromLocalFile(page));
    if (!opened)
      Prompts().Message(
          BrowserNotOpenedText(page.isEmpty() ? QStringLiteral("GettingStarted/index.html")
                                              : QUrl::fromLocalFile(page).toString()),
          TPromptIcon::piWarning);
  });
  guarded(aHelpMicrophoneTips, [] { Prompts().Message(MicrophoneTipsText()); });
  guarded(aHelpContactSupport, [] { Prompts().Message(ContactSupportText()); });
  guarded(aHelpAbout, [] { Prompts().Message(AboutText(QCoreApplication::applicationVersion())); });
  guarded(aHelpMarkersRestoreAll, [this] { FHotSpotsSupressed.clear(); });
  guarded(aHelpMarkersHideAll, [this] { FHotSpotsSupressed = QStringLiteral("All"); });
  OpenUrl = [](const QUrl &Url) { return QDesktopServices::openUrl(Url); };

  // Text actions (the text tool bar).
  QAction *aFontBold = NewAction("aFontBold", QStringLiteral("&Bold"), {}, true);
  QAction *aFontItalic = NewAction("aFontItalic", QStringLiteral("&Italic"), {}, true);
  QAction *aFontUnderline = NewAction("aFontUnderline", QStringLiteral("&Underline"), {}, true);
  aFontBold->setIcon(GlyphIcon(QStringLiteral("B"), Qt::black, fsBold));
  aFontItalic->setIcon(GlyphIcon(QStringLiteral("I"), Qt::black, fsItalic));
  aFontUnderline->setIcon(GlyphIcon(QStringLiteral("U"), Qt::black, fsUnderline));
  // A click has already flipped the check; the command decides the check itself (with a
  // selection it follows the selected text), so the flip is undone first.
  const auto styleCommand = [this](QAction *Action, TFontStyle Style) {
    connect(Action, &QAction::triggered, this, [this, Action, Style](bool Checked) {
      {
        const QSignalBlocker quiet(Action);
        Action->setChecked(!Checked);
      }
      RunGuarded([this, Style] { FText->FontStyleExecute(Style); });
    });
  };
  styleCommand(aFontBold, fsBold);
  styleCommand(aFontItalic, fsItalic);
  styleCommand(aFontUnderline, fsUnderline);
  QAction *aTextBullets = NewAction("aTextBullets", QStringLiteral("Bu&lleted List"));
  aTextBullets->setIcon(GlyphIcon(QStringLiteral("\u2022"), Qt::black, fsBold));
  guarded(aTextBullets, [this] { FText->aTextBulletsExecute(); });
  QAction *aTextNumbered = NewAction("aTextNumbered", QStringLiteral("&Numbered List"));
  aTextNumbered->setVisible(false);
  QAction *aTextFontIncrease = NewAction("aTextFontIncrease", QStringLiteral("F&ont Increase"));
  QAction *aTextFontDecrease = NewAction("aTextFontDecrease", QStringLiteral("&Font Decrease"));
  aTextFontIncrease->setIcon(GlyphIcon(QStringLiteral("A+"), Qt::black));
  aTextFontDecrease->setIcon(GlyphIcon(QStringLiteral("a\u2212"), Qt::black));
  guarded(aTextFontIncrease, [this] { FText->TextFontSizeExecute(25); });
  guarded(aTextFontDecrease, [this] { FText->TextFontSizeExecute(-20); });
  // One colour and one highlight checked at a time; none when the caret's font has another.
  auto *colors = new QActionGroup(this);
  colors->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const RColorAction &c : FontColorActions) {
    QAction *a = NewAction(c.Name, Text(c.Caption), {}, true);
    a->setData(static_cast<uint>(c.Value));
    a->setIcon(SwatchIcon(c.Value, false));
    colors->addAction(a);
    guarded(a, [this, value = c.Value] { FText->TextFontColorExecute(value); });
  }
  auto *highlights = new QActionGroup(this);
  highlights->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const RColorAction &c : HighlightColorActions) {
    QAction *a = NewAction(c.Name, Text(c.Caption), {}, true);
    a->setData(static_cast<uint>(c.Value));
    a->setIcon(SwatchIcon(c.Value, true));
    highlights->addAction(a);
    guarded(a, [this, value = c.Value] { FText->TextHighlightColorExecute(value); });
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
  FBrokerInstalled = std::make_unique<TScopedEffectiveTimeBroker>(*FBroker);
  FPreviousEditorHost = &EditorHost();
  FEditorHost = std::make_unique<TWindowEditorHost>(*this);
  SetEditorHost(FEditorHost.get());
  ApplyJumpBackKey();
}

void TVellomarFm::ReleaseCommandSeams() {
  if (&EditorHost() == FEditorHost.get()) SetEditorHost(FPreviousEditorHost);
  FBrokerInstalled.reset();
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

  // The speed bar with its scale, and the volume bar with its buttons, after the tool bars.
  auto *controls = static_cast<QBoxLayout *>(FAudioControlsPnl->layout());
  auto *tempo = new QWidget(FAudioControlsPnl);
  tempo->setObjectName(QStringLiteral("TempoPnl"));
  auto *tempoColumn = new QVBoxLayout(tempo);
  tempoColumn->setContentsMargins(4, 0, 4, 0);
  tempoColumn->setSpacing(0);
  FTempoTrackBar = new QSlider(Qt::Horizontal, tempo);
  FTempoTrackBar->setObjectName(QStringLiteral("TempoTrackBar"));
  FTempoTrackBar->setRange(vlSpeed::Min, vlSpeed::Max);
  FTempoTrackBar->setSingleStep(vlSpeed::LineStep);
  FTempoTrackBar->setPageStep(vlSpeed::PageStep);
  FTempoTrackBar->setValue(vlSpeed::Natural);
  FTempoTrackBar->setTickPosition(QSlider::TicksBelow);
  FTempoTrackBar->setTickInterval(25);
  FTempoTrackBar->setMinimumWidth(180);
  FTempoTrackBar->setToolTip(QStringLiteral("Playback speed"));
  auto *scale = new QHBoxLayout;
  scale->setContentsMargins(0, 0, 0, 0);
  // The labels sit under their positions: the bar runs 50..190, the first label at 75.
  scale->addStretch((vlSpeed::ScalePositions[0] - vlSpeed::Min) * 2 - 10);
  const QString scaleTexts[] = {QStringLiteral("- 25 %"), QStringLiteral("Normal"),
                                QStringLiteral("+ 25 %"), QStringLiteral("+ 50 %"),
                                QStringLiteral("+ 75 %")};
  for (int i = 0; i < 5; ++i) {
    auto *label = new QLabel(scaleTexts[i], tempo);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    label->setFont(small);
    scale->addWidget(label);
    if (i < 4) scale->addStretch(50 - 10);
  }
  scale->addStretch((vlSpeed::Max - vlSpeed::ScalePositions[4]) * 2 - 10);
  tempoColumn->addWidget(FTempoTrackBar);
  tempoColumn->addLayout(scale);
  FTempoDisplayLbl = new QLabel(TempoDisplayText(vlSpeed::Natural), FAudioControlsPnl);
  FTempoDisplayLbl->setObjectName(QStringLiteral("TempoDisplayLbl"));
  FTempoDisplayLbl->setMinimumWidth(32);
  FTempoDisplayLbl->setAlignment(Qt::AlignCenter);
  connect(FTempoTrackBar, &QSlider::valueChanged, this, [this](int Value) {
    RunGuarded([this, Value] {
      FTempoDisplayLbl->setText(TempoDisplayText(Value));
      if (FParts.Audio) FParts.Audio->NewTempo(Value);
    });
  });

  FVolumeTB = new QSlider(Qt::Horizontal, FAudioControlsPnl);
  FVolumeTB->setObjectName(QStringLiteral("VolumeTB"));
  FVolumeTB->setRange(0, 1000);
  FVolumeTB->setPageStep(50);
  FVolumeTB->setValue(500);
  FVolumeTB->setMaximumWidth(100);
  FVolumeTB->setToolTip(QStringLiteral("Volume"));
  connect(FVolumeTB, &QSlider::valueChanged, this, [this](int Value) {
    if (FVolumeRefreshing || !FParts.Audio) return;
    RunGuarded([this, Value] {
      const double range = FVolumeTB->maximum() - FVolumeTB->minimum();
      FParts.Audio->SetCombinedVolume(std::abs(Value - FVolumeTB->minimum()) / range);
    });
  });
  const int twentieth = (FVolumeTB->maximum() - FVolumeTB->minimum()) / 20;
  VolumeDownBtn->setText(QStringLiteral("\u2212"));
  VolumeUpBtn->setText(QStringLiteral("+"));
  connect(VolumeDownBtn, &QToolButton::clicked, this,
          [this, twentieth] { FVolumeTB->setValue(FVolumeTB->value() - twentieth); });
  connect(VolumeUpBtn, &QToolButton::clicked, this,
          [this, twentieth] { FVolumeTB->setValue(FVolumeTB->value() + twentieth); });
  // After the text tool bar (index 1), before the stretch and the recorder labels.
  controls->insertWidget(2, tempo);
  controls->insertWidget(3, FTempoDisplayLbl);
  controls->insertWidget(4, VolumeDownBtn);
  controls->insertWidget(5, FVolumeTB);
  controls->insertWidget(6, VolumeUpBtn);

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
      FOwnNotebookLink = std::make_unique<TWindowNotebookLink>(*this);
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

int TVellomarFm::Speed() const { return FTempoTrackBar->value(); }

void TVellomarFm::SetSpeed(int NewSpeed) { FTempoTrackBar->setValue(SpeedClamped(NewSpeed)); }

void TVellomarFm::RefreshVolumeBar() {
  if (!FParts.Audio || !FVolumeTB || FVolumeTB->isSliderDown()) return;
  const double range = FVolumeTB->maximum() - FVolumeTB->minimum();
  const int position = FVolumeTB->minimum() +
                       static_cast<int>(std::lround(FParts.Audio->GetCombinedVolume() * range));
  if (position == FVolumeTB->value()) return;
  FVolumeRefreshing = true;
  FVolumeTB->setValue(position);
  FVolumeRefreshing = false;
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
    FOptionsFm->Hooks.RecreateAudioComponents = [this] {
      if (FParts.Audio) FParts.Audio->AudioComponents_FreeAndReinitialize();
    };
    connect(FOptionsFm, &QDialog::accepted, this, [this] {
      RunGuarded([this] {
        ApplyJumpBackKey();
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

// ---------------------------------------------------------------------------------------------
// Keys and the wheel caught for the whole window

bool TVellomarFm::CommandKeyFilter(QObject *Watched, QEvent *Event) {
  // Every event of the program passes here: the cheap tests come first.
  const QEvent::Type type = Event->type();
  const bool isMouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                       type == QEvent::MouseButtonRelease;
  if (type != QEvent::KeyPress && type != QEvent::Wheel && !isMouse) return false;
  if (isMouse && Watched != FTrackBarsHeightFauxSplitterPnl) return false;
  if (!Watched->isWidgetType()) return false;
  auto *widget = static_cast<QWidget *>(Watched);
  if (widget->window() != this) return false;
  if (type == QEvent::KeyPress) {
    auto *key = static_cast<QKeyEvent *>(Event);
    if (key->key() == Qt::Key_Pause) {
      TvlAudio *audio = FParts.Audio;
      if (audio && audio->IsPlaying()) {
        audio->Play_Pause();
        FPlayback->ShowTranscriptionHint();
      } else if (FPlayback->TranscriptionHintActive()) {
        FPlayback->aPlaySegmentExecute();
      }
      return true;
    }
    // Another character than Ctrl+R as the instant replay key; never while searching.
    const int jumpBackKey = FOptions.FJumpBackKey;
    if (jumpBackKey != 0 && jumpBackKey != 18 && key->text().size() == 1 &&
        key->text().at(0).unicode() == jumpBackKey && !FSearchResultsPnl->isAncestorOf(widget)) {
      FPlayback->aPlayInstantReplayExecute();
      return true;
    }
    return false;
  }
  if (widget == FTrackBarsHeightFauxSplitterPnl) {
    // The strip under the tracks sets their label area's height by dragging.
    const auto *mouse = static_cast<QMouseEvent *>(Event);
    switch (Event->type()) {
      case QEvent::MouseButtonPress:
        FFauxSplitterDragging = mouse->button() == Qt::LeftButton;
        FFauxSplitterStartY = qRound(mouse->globalPosition().y());
        FFauxSplitterStartHeight = FOptions.FHeightOfLabelArea;
        return FFauxSplitterDragging;
      case QEvent::MouseMove: {
        if (!FFauxSplitterDragging) return false;
        const int height = std::clamp(
            FFauxSplitterStartHeight + qRound(mouse->globalPosition().y()) - FFauxSplitterStartY,
            10, 200);
        if (height != FOptions.FHeightOfLabelArea) {
          FOptions.FHeightOfLabelArea = height;
          if (FTracks) FTracks->RedrawTracks();
        }
        return true;
      }
      case QEvent::MouseButtonRelease: {
        const bool was = FFauxSplitterDragging;
        FFauxSplitterDragging = false;
        return was;
      }
      default: return false;
    }
  }
  if (Event->type() == QEvent::Wheel) {
    // Over the speed scale or either track, the wheel moves the speed bar a line per notch.
    if (widget != FPlayControlsPnl && !FPlayControlsPnl->isAncestorOf(widget) &&
        widget != FTrackBarOldPnl && !FTrackBarOldPnl->isAncestorOf(widget) &&
        widget != FRecordingPnl && !FRecordingPnl->isAncestorOf(widget))
      return false;
    FWheelAccumulated += static_cast<QWheelEvent *>(Event)->angleDelta().y();
    // Touchpads send small steps: a line per whole notch of 120.
    while (std::abs(FWheelAccumulated) >= 120) {
      const int notch = FWheelAccumulated > 0 ? 1 : -1;
      FWheelAccumulated -= notch * 120;
      SetSpeed(Speed() + notch * vlSpeed::LineStep);
    }
    return true;
  }
  return false;
}
