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
#include "vlExchangeCommands.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlHelpTexts.h"
#include "vlPlaybackSpeed.h"
#include "vlPrompts.h"
#include "vlSearchPanel.h"
#include "vlTextBullets.h"
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

// The text colours and highlights of the text tool bar, as TColor values (red in the low byte).
struct RColorAction {
  const char *Name;
  const char16_t *Caption;
  TColor Value;
};
constexpr RColorAction FontColorActions[] = {
    {"aTextFontColorAuto", u"&Automatic", 0x800000},
    {"aTextFontColorOrange", u"&Orange", 35051},
    {"aTextFontColorRed", u"&Red", 224},
    {"aTextFontColorGreen", u"&Green", 0x9900},
    {"aTextFontColorBlack", u"Blac&k", 0},
};
constexpr RColorAction HighlightColorActions[] = {
    {"aTextHighlightColorNone", u"&No Highlight", 0xFFFFFF},
    {"aTextHighlightColorYellow", u"&Yellow", 0x7FFFFF},
    {"aTextHighlightColorLime", u"&Lime", 1179460},
    {"aTextHighlightColorAqua", u"A&qua", 0xFFFF66},
    {"aTextHighlightColorPink", u"&Pink", 0xFFB4FF},
};

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
// or a swatch of a colour. Each is drawn in 20 by 20 logical pixels at the pixel ratios of
// ordinary and high-density screens (and the one in use), so it stays sharp when scaled.
constexpr QRect IconArea(0, 0, 20, 20);

template <typename TDraw>
QIcon DrawnIcon(TDraw Draw) {
  QList<qreal> ratios{1.0, 2.0};
  const qreal screen = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
  if (!ratios.contains(screen)) ratios << screen;
  QIcon icon;
  for (const qreal ratio : ratios) {
    QPixmap picture(IconArea.size() * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    {
      QPainter painter(&picture);
      Draw(painter);
    }
    icon.addPixmap(picture);
  }
  return icon;
}

QIcon GlyphIcon(const QString &Glyph, const QColor &Color, TFontStyles Style = {}) {
  return DrawnIcon([&](QPainter &painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(14);
    font.setBold(Style.testFlag(fsBold));
    font.setItalic(Style.testFlag(fsItalic));
    font.setUnderline(Style.testFlag(fsUnderline));
    painter.setFont(font);
    painter.setPen(Color);
    painter.drawText(IconArea, Qt::AlignCenter, Glyph);
  });
}

QIcon SwatchIcon(TColor Color, bool Highlight) {
  return DrawnIcon([&](QPainter &painter) {
    const QColor color = TColorToQColor(Color);
    if (Highlight) {
      painter.fillRect(QRect(2, 4, 16, 12), color);
      painter.setPen(Qt::black);
      painter.drawText(IconArea, Qt::AlignCenter, QStringLiteral("ab"));
    } else {
      painter.setPen(color);
      QFont font = painter.font();
      font.setPixelSize(14);
      font.setBold(true);
      painter.setFont(font);
      painter.drawText(QRect(0, 0, 20, 16), Qt::AlignCenter, QStringLiteral("A"));
      painter.fillRect(QRect(3, 16, 14, 3), color);
    }
  });
}

QIcon RecordIcon() {
  return DrawnIcon([](QPainter &painter) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(200, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(4, 4, 12, 12));
  });
}

// The editor view a notebook page shows: the page's view itself, or the view inside the page
// (the program's pages hold the view with its scroll bar).
TWindowView *WindowViewOf(QWidget *PageView) {
  if (auto *view = qobject_cast<TWindowView *>(PageView)) return view;
  return PageView ? PageView->findChild<TWindowView *>() : nullptr;
}

// A path the binder treats as a backup of another: saving to it would never count as saved.
bool IsBackupPath(const QString &PathName) {
  return QFileInfo(PathName).suffix().startsWith(QStringLiteral("vlBackup"), Qt::CaseInsensitive);
}

QString WithDefaultSuffix(const QString &PathName, const QString &Suffix) {
  return QFileInfo(PathName).suffix().isEmpty() ? PathName + QLatin1Char('.') + Suffix : PathName;
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
  bool SaveBinder() override { return FFm.aFileSaveExecute(); }
  bool SaveBinderAs() override { return FFm.aFileSaveAsExecute(); }
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
  void FontBold() override { FFm.FontStyleExecute(fsBold); }
  void FontItalic() override { FFm.FontStyleExecute(fsItalic); }
  void FontUnderline() override { FFm.FontStyleExecute(fsUnderline); }
  void FileSave() override { FFm.aFileSaveExecute(); }
  void TextBullets() override { FFm.aTextBulletsExecute(); }
  void SearchClose() override { FFm.SearchClose(); }
  void UpdateFontButtonState(TFontIndex Font) override {
    TvlNotebook *nb = FFm.Parts().Notebook;
    RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
    FFm.UpdateFontButtonState(page ? page->mtcDoc.get() : nullptr, Font);
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
  QAction *aFileNew = NewAction("aFileNew", QStringLiteral("New"));
  aFileNew->setVisible(false);
  aFileNew->setEnabled(false);
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
  AddExchangeCommands(*this, *FFileMenu, beforeRecent);  // Export Notes, Import Recording
  guarded(aFileOpen, [this] { aFileOpenExecute(); });
  guarded(aFileSave, [this] { aFileSaveExecute(); });
  guarded(aFileSaveAs, [this] { aFileSaveAsExecute(); });
  guarded(aFileClose, [this] { aFileCloseExecute(); });
  guarded(aFileTabNew, [this] { aFileTabNewExecute(); });
  guarded(aFileTabImport, [this] { aFileTabImportExecute(); });
  guarded(aFileTabExport, [this] { aFileTabExportExecute(); });
  for (QAction *recent : aFileRecent)
    guarded(recent, [this, recent] { aFileRecentAnyExecute(recent); });
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
  guarded(aFileCut, [this] { aEditCutExecute(); });
  guarded(aEditCopy, [this] { aEditCopyExecute(); });
  guarded(aEditPaste, [this] { aEditPasteExecute(); });
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
  guarded(aPlayStart, [this] { aPlayStartExecute(); });
  guarded(aPlayStop, [this] { aPlayStopExecute(); });
  guarded(aPlayInstantReplay, [this] { aPlayInstantReplayExecute(); });
  guarded(aPlaySegment, [this] { aPlaySegmentExecute(); });
  guarded(aPlayFromCaret, [this] { PlayFromCaretExecute(); });
  guarded(aPlayConfigure, [this] { ShowOptions(QStringLiteral("Play")); });
  guarded(aPlayViewRecordings, [this] {
    if (FHooks.ViewRecordings) FHooks.ViewRecordings();
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
  // The tip markers' own windows are not part of this program yet; the choice is kept for them.
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
      RunGuarded([this, Style] { FontStyleExecute(Style); });
    });
  };
  styleCommand(aFontBold, fsBold);
  styleCommand(aFontItalic, fsItalic);
  styleCommand(aFontUnderline, fsUnderline);
  QAction *aTextBullets = NewAction("aTextBullets", QStringLiteral("Bu&lleted List"));
  aTextBullets->setIcon(GlyphIcon(QStringLiteral("\u2022"), Qt::black, fsBold));
  guarded(aTextBullets, [this] { aTextBulletsExecute(); });
  QAction *aTextNumbered = NewAction("aTextNumbered", QStringLiteral("&Numbered List"));
  aTextNumbered->setVisible(false);
  QAction *aTextFontIncrease = NewAction("aTextFontIncrease", QStringLiteral("F&ont Increase"));
  QAction *aTextFontDecrease = NewAction("aTextFontDecrease", QStringLiteral("&Font Decrease"));
  aTextFontIncrease->setIcon(GlyphIcon(QStringLiteral("A+"), Qt::black));
  aTextFontDecrease->setIcon(GlyphIcon(QStringLiteral("a\u2212"), Qt::black));
  guarded(aTextFontIncrease, [this] { TextFontSizeExecute(25); });
  guarded(aTextFontDecrease, [this] { TextFontSizeExecute(-20); });
  // One colour and one highlight checked at a time; none when the caret's font has another.
  auto *colors = new QActionGroup(this);
  colors->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const RColorAction &c : FontColorActions) {
    QAction *a = NewAction(c.Name, Text(c.Caption), {}, true);
    a->setData(static_cast<uint>(c.Value));
    a->setIcon(SwatchIcon(c.Value, false));
    colors->addAction(a);
    guarded(a, [this, value = c.Value] { TextFontColorExecute(value); });
  }
  auto *highlights = new QActionGroup(this);
  highlights->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
  for (const RColorAction &c : HighlightColorActions) {
    QAction *a = NewAction(c.Name, Text(c.Caption), {}, true);
    a->setData(static_cast<uint>(c.Value));
    a->setIcon(SwatchIcon(c.Value, true));
    highlights->addAction(a);
    guarded(a, [this, value = c.Value] { TextHighlightColorExecute(value); });
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
  // Wide enough for the labels side by side with a gap between them: a narrower bar would push
  // them into each other.
  int labelsWidth = 0;
  for (int i = 0; i < 5; ++i) {
    auto *label = new QLabel(scaleTexts[i], tempo);
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    label->setFont(small);
    scale->addWidget(label);
    if (i < 4) scale->addStretch(50 - 10);
    labelsWidth += label->sizeHint().width() + 8;
  }
  FTempoTrackBar->setMinimumWidth(std::max(FTempoTrackBar->minimumWidth(), labelsWidth + 16));
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
        aFileTabExportExecute();
      };
    SetCaptionForBinder();
  }
  if (FParts.SilenceActions) {
    FSilenceMenu->clear();
    FSilenceMenu->addActions(FParts.SilenceActions->Actions());
    for (QAction *a : FParts.SilenceActions->Actions()) FActions.insert(a->objectName(), a);
  }
}

// ---------------------------------------------------------------------------------------------
// File

void TVellomarFm::SetCaptionForBinder() {
  const QString path = FParts.Notebook ? FParts.Notebook->BinderPathName() : QString();
  setWindowTitle(path.isEmpty() ? FProgramNameInCaptionStr
                                : FProgramNameInCaptionStr + QStringLiteral("  -  ") +
                                      QFileInfo(path).fileName());
}

namespace {

QString DialogFolderFor(const QString &PathName) {
  return PathName.isEmpty() ? AppPaths().DocumentsFolder() : QFileInfo(PathName).absolutePath();
}

}  // namespace

void TVellomarFm::aFileOpenExecute() {
  if (!FParts.Notebook || !SaveQuestion_MayLeaveBinder()) return;
  const QString path =
      Prompts().OpenFileName(QStringLiteral("Open file"),
                             DialogFolderFor(FParts.Notebook->BinderPathName()), BinderFilter);
  if (path.isEmpty()) return;
  OpenBinderFile(path);
}

bool TVellomarFm::OpenBinderFile(const QString &PathName) {
  TvlNotebook *nb = FParts.Notebook;
  if (!nb) return false;
  const QString old = nb->BinderPathName();
  const QString problems = nb->Binder_Open(PathName);
  const bool opened =
      TRecentFiles::NormalizedPath(nb->BinderPathName()) == TRecentFiles::NormalizedPath(PathName);
  if (opened && FHooks.BinderSavedOrOpened) FHooks.BinderSavedOrOpened();
  if (opened && FRecentlyUsedFiles) {
    // The list holds the binders that are not open: the one left comes back on top.
    if (TRecentFiles::NormalizedPath(old) != TRecentFiles::NormalizedPath(PathName))
      FRecentlyUsedFiles->ClosingFile(old);
    FRecentlyUsedFiles->AccessingFile(PathName);
  }
  if (!problems.isEmpty()) Prompts().Message(OpenErrorsText + problems, TPromptIcon::piWarning);
  if (FSearchPanel) FSearchPanel->ResultsLB->clear();
  SetCaptionForBinder();
  return opened;
}

bool TVellomarFm::aFileSaveExecute() {
  TvlNotebook *nb = FParts.Notebook;
  if (!nb) return false;
  const QString path = nb->BinderPathName();
  // A backup opened directly is no binder of its own: saving to it would report success while
  // the work stayed unsaved, so it is saved under a name the user gives.
  if (path.isEmpty() || IsBackupPath(path)) return aFileSaveAsExecute();
  const QString problem = nb->Binder_Save(path);
  if (!problem.isEmpty()) {
    Prompts().Message(SaveProblemText + problem, TPromptIcon::piWarning);
    return false;
  }
  if (FHooks.BinderSavedOrOpened) FHooks.BinderSavedOrOpened();
  if (vlHint) vlHint->ShowIt(QStringLiteral("Saved"), mapToGlobal(rect().center()), 2000);
  return true;
}

bool TVellomarFm::aFileSaveAsExecute() {
  TvlNotebook *nb = FParts.Notebook;
  if (!nb) return false;
  const QString old = nb->BinderPathName();
  const QString suggested = old.isEmpty() || IsBackupPath(old)
                                ? DialogFolderFor(IsBackupPath(old) ? old : QString())
                                : old;
  QString path = Prompts().SaveFileName(QStringLiteral("Save as ..."), suggested, BinderSaveFilter);
  if (path.isEmpty()) return false;
  path = WithDefaultSuffix(path, QStringLiteral("vl"));
  const QString problem = nb->Binder_Save(path);
  if (!problem.isEmpty()) {
    Prompts().Message(SaveProblemText + problem, TPromptIcon::piWarning);
    return false;
  }
  if (FHooks.BinderSavedOrOpened) FHooks.BinderSavedOrOpened();
  UpdateRecentAfterSaveAs(old, path);
  SetCaptionForBinder();
  if (vlHint) vlHint->ShowIt(QStringLiteral("Saved"), mapToGlobal(rect().center()), 2000);
  return true;
}

void TVellomarFm::UpdateRecentAfterSaveAs(const QString &OldPath, const QString &NewPath) {
  if (!FRecentlyUsedFiles) return;
  // The binder left under its old name is one the user may switch back to; the new name is
  // open and so not listed.
  if (TRecentFiles::NormalizedPath(OldPath) != TRecentFiles::NormalizedPath(NewPath))
    FRecentlyUsedFiles->ClosingFile(OldPath);
  FRecentlyUsedFiles->AccessingFile(NewPath);
}

void TVellomarFm::aFileCloseExecute() {
  TvlNotebook *nb = FParts.Notebook;
  if (!nb || !SaveQuestion_MayLeaveBinder()) return;
  if (FRecentlyUsedFiles) FRecentlyUsedFiles->ClosingFile(nb->BinderPathName());
  // The notebook is never left without pages: an unnamed, empty binder takes the closed one's
  // place.
  const QString problems = nb->Binder_Open(QString());
  if (FHooks.BinderSavedOrOpened) FHooks.BinderSavedOrOpened();
  if (!problems.isEmpty()) Prompts().Message(OpenErrorsText + problems, TPromptIcon::piWarning);
  if (FSearchPanel) FSearchPanel->ResultsLB->clear();
  SetCaptionForBinder();
}

void TVellomarFm::aFileTabNewExecute() {
  if (FParts.Notebook) FParts.Notebook->ForceCreationOfNewTab();
}

void TVellomarFm::aFileTabImportExecute() {
  TvlNotebook *nb = FParts.Notebook;
  if (!nb) return;
  const QString path = Prompts().OpenFileName(QStringLiteral("Open file"),
                                              DialogFolderFor(nb->BinderPathName()), TabFilter);
  if (path.isEmpty()) return;
  if (nb->OpenOneTabDocument(path) >= 0) nb->SaveNotebook_SaveListOfOpenDocsToBinderFile();
}

void TVellomarFm::aFileTabExportExecute() {
  TvlNotebook *nb = FParts.Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  if (!page || !page->mtcDoc) {
    Prompts().Message(NoDocumentToExportText);
    return;
  }
  const QString caption = page->Caption.trimmed().isEmpty() ? QStringLiteral("Tab") : page->Caption;
  const QString suggested = page->PathName.isEmpty()
                                ? DialogFolderFor(nb->BinderPathName()) + QLatin1Char('/') +
                                      caption + QStringLiteral(".vlTab")
                                : page->PathName;
  QString path = Prompts().SaveFileName(QStringLiteral("Save as ..."), suggested, TabFilter);
  if (path.isEmpty()) return;
  path = WithDefaultSuffix(path, QStringLiteral("vlTab"));
  const int index = nb->ActivePageIndex();
  if (!page->mtcDoc->IO_Save(path, page->Caption, nb->Tabs_ScrollPosForSaving(index))) {
    Prompts().Message(SaveProblemText + QStringLiteral("File ") + path, TPromptIcon::piWarning);
    return;
  }
  nb->UpdateDueToSaveAs(*page, path, page->Caption);
}

void TVellomarFm::aFileRecentAnyExecute(const QAction *Item) {
  if (!FRecentlyUsedFiles || !FParts.Notebook) return;
  const QString path = FRecentlyUsedFiles->GetFullPath(Item);
  if (path.isEmpty()) return;
  if (!QFileInfo(path).isFile()) {
    TvlNotebookBinder::MyFileNotFoundMessage(path);
    FRecentlyUsedFiles->UnlistFile(path);
    return;
  }
  if (!SaveQuestion_MayLeaveBinder()) return;
  if (!OpenBinderFile(path)) FRecentlyUsedFiles->UnlistFile(path);
}

// ---------------------------------------------------------------------------------------------
// Recording and playback

void TVellomarFm::RecordingStartBtnClick() {
  const bool recording = FParts.Audio ? FParts.Audio->IsRecording() : FAudio.IsRecording();
  // The check follows the recorder through the callbacks, not the click.
  aRecordStart->setChecked(recording);
  if (recording) {
    if (FParts.Audio)
      FParts.Audio->Recording_Stop();
    else
      FAudio.StopRecording();
    return;
  }
  // The notes as they are now are kept before anything may go wrong with the recording.
  if (FNotebook) FNotebook->SaveNotebookAsBackupNow();
  if (!FAudioReady) {
    FAudioReady_StartRecording = true;
  } else {
    TvlAudio *audio = FParts.Audio;
    // Playing through the speakers into a recording records the playback a second time.
    if (audio && FOptions.FAvoidGen2Record && audio->IsPlaying()) audio->Play_Pause();
    bool started = false;
    if (audio) {
      started = audio->Recording_Start();
    } else {
      FAudio.StartRecording();
      started = FAudio.IsRecording();
    }
    if (started) {
      // The protection window promised that permission to play ends with a new recording.
      if (FParts.Silence) FParts.Silence->NewRecordingStarted();
      QCoreApplication::processEvents();
      if (FHooks.RecordingStarted_MoveCurrentTrack) FHooks.RecordingStarted_MoveCurrentTrack();
    } else if (Prompts().Ask(RecordingFailedText, {TPromptButton::pbYes, TPromptButton::pbNo},
                             TPromptButton::pbNo) == TPromptButton::pbYes) {
      ShowOptions(QStringLiteral("Record"));
    }
  }
  // Notes for the new recording start on a new line at the end of the active document.
  TvlNotebook *nb = FParts.Notebook;
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

TDateTime FeatureMoment(const RMainWindowHooks &Hooks) {
  return Hooks.VertTimelineFeatureMoment ? Hooks.VertTimelineFeatureMoment() : 0;
}

}  // namespace

void TVellomarFm::aPlayStartExecute() {
  TvlAudio *audio = FParts.Audio;
  if (!audio) return;
  // A retry only when nothing could play; after silence protection refused, asking again would
  // override the user's answer.
  if (audio->Play_Resume() != prNoAudio) return;
  const TDateTime feature = FeatureMoment(FHooks);
  if (feature < 100) return;
  audio->SetPlay_Position(feature);
  audio->Play_Resume();
}

void TVellomarFm::aPlayStopExecute() {
  if (FParts.Audio) FParts.Audio->Play_Stop();
}

void TVellomarFm::aPlayInstantReplayExecute() {
  TvlAudio *audio = FParts.Audio;
  if (!audio) return;
  const double jumpBack = FOptions.FJumpBack / SecsPerDay;
  const TDateTime feature = FeatureMoment(FHooks);
  if (audio->GetPlay_Position() < 100 && feature >= 100) audio->SetPlay_Position(feature);
  // From where playback is now, so that pressing again while it plays goes farther back.
  TDateTime target = audio->GetPlay_Position() - jumpBack;
  const TDateTime fileStart = audio->Play_Position_AudioStartsAt();
  if (target <= fileStart) target = fileStart;
  const TPlayResult result = audio->Play_From(target, vlSpeed::Natural);
  if (result == prNoAudio && feature >= 100) {
    audio->SetPlay_Position(feature - jumpBack);
    audio->Play_Resume();
  }
  SetSpeed(vlSpeed::Natural);
}

void TVellomarFm::aPlaySegmentExecute() {
  TvlAudio *audio = FParts.Audio;
  if (!audio) return;
  if (audio->IsPlaying()) {
    audio->Play_Pause();
    ShowTranscriptionHint();
    return;
  }
  TPlayResult result = audio->Play_Segment(FOptions.FLockstepOverlap, FOptions.FLockstepLength);
  const TDateTime feature = FeatureMoment(FHooks);
  if (result == prNoAudio && feature >= 100) {
    audio->SetPlay_Position(feature);
    result = audio->Play_Segment(FOptions.FLockstepOverlap, FOptions.FLockstepLength);
  }
  if (result == prOkay) ShowTranscriptionHint();
}

void TVellomarFm::ShowTranscriptionHint() {
  if (vlHint) {
    const QPoint topCentre = mapToGlobal(QPoint(width() / 2, 40));
    vlHint->ShowIt(TranscriptionHintText, topCentre, 30000);
  }
  FTranscriptionPnl->hide();
}

bool TVellomarFm::TranscriptionHintActive() const { return vlHint && vlHint->TranscriptionMode(); }

void TVellomarFm::aButtonStopBothExecute() {
  if (TvlAudio *audio = FParts.Audio) {
    if (audio->IsPlaying()) audio->Play_Pause();
    if (audio->IsRecording()) audio->Recording_Stop();
    return;
  }
  FAudio.StopPlaying();
  FAudio.StopRecording();
}

void TVellomarFm::PlayFromCaretExecute() {
  TvlAudio *audio = FParts.Audio;
  TvlNotebook *nb = FParts.Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  if (!audio || !page || !page->mtcDoc) return;
  TDateTime when = 0;
  if (auto *view = WindowViewOf(page->MyWindowView))
    when = view->CaretMoment();
  else
    when = page->mtcDoc->Timestamp_GetForCharacter(page->mtcDoc->FAtPos).FEffectiveDT;
  if (when < 100) return;
  audio->Play_From(when, Speed());
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
    FOptionsFm->Hooks.RecreateAudioComponents = [this] {
      if (FParts.Audio) FParts.Audio->AudioComponents_FreeAndReinitialize();
    };
    connect(FOptionsFm, &QDialog::accepted, this, [this] {
      RunGuarded([this] {
        ApplyJumpBackKey();
        if (FHooks.OptionsApplied) FHooks.OptionsApplied();
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
  TDocument *doc = ActiveDocument();
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
  if (FHooks.TrackShowsMoment) {
    state.PlayPositionVisibleOnHistorical =
        audio.Playing && FHooks.TrackShowsMoment(btkHistorical, audio.PlayPosition);
    state.NowVisibleOnCurrent = FHooks.TrackShowsMoment(btkCurrent, Now());
  }
  state.LatestStopped = FParts.Audio ? FParts.Audio->LatestOperationStopped() : aoNoneYet;
  const TBrokerTrack track = ::NewEventBroker_Track(state);
  if (track == btkNone) ErrorReportInDebug(QStringLiteral("VL.NETB nil!"));
  return track;
}

// ---------------------------------------------------------------------------------------------
// Text

TDocument *TVellomarFm::ActiveDocument() const {
  TvlNotebook *nb = FParts.Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  return page ? page->mtcDoc.get() : nullptr;
}

QWidget *TVellomarFm::ActiveView() const {
  TvlNotebook *nb = FParts.Notebook;
  RvlPage *page = nb ? nb->GetActivePagePtr() : nullptr;
  return page ? page->MyWindowView : nullptr;
}

void TVellomarFm::RedrawActiveView() {
  if (auto *view = WindowViewOf(ActiveView()))
    view->InvalidateAllOfMe();
  else if (QWidget *plain = ActiveView())
    plain->update();
}

namespace {

QAction *StyleAction(const TVellomarFm &Fm, TFontStyle Style) {
  switch (Style) {
    case fsBold: return Fm.Action(QStringLiteral("aFontBold"));
    case fsItalic: return Fm.Action(QStringLiteral("aFontItalic"));
    case fsUnderline: return Fm.Action(QStringLiteral("aFontUnderline"));
    default: return nullptr;
  }
}

}  // namespace

void TVellomarFm::FontStyleExecute(TFontStyle Style) {
  TDocument *doc = ActiveDocument();
  QAction *action = StyleAction(*this, Style);
  if (!doc || !action) return;
  bool on = false;
  if (doc->Select_IsAnyTextSelected()) {
    const TCharSpan span = doc->SelectionCharSpan();
    on = !doc->FontStyleAt(span.First).testFlag(Style);
    switch (Style) {
      case fsBold: doc->Font_ChangeBold(span, on); break;
      case fsItalic: doc->Font_ChangeItalics(span, on); break;
      default: doc->Font_ChangeUnderline(span, on); break;
    }
  } else {
    on = !action->isChecked();
    TFontsInUse &fonts = doc->Font_GetFontsInUseObjectReference();
    TFontStyles styles = fonts.CurrentFont.Style;
    styles.setFlag(Style, on);
    fonts.CurrentFont_ChangeStyle(styles);
  }
  action->setChecked(on);
  RedrawActiveView();
}

void TVellomarFm::TextFontSizeExecute(double DeltaPercent) {
  TDocument *doc = ActiveDocument();
  if (!doc || !doc->Select_IsAnyTextSelected()) return;
  doc->Font_ChangeSizeRelative(doc->SelectionCharSpan(), DeltaPercent);
  RedrawActiveView();
}

void TVellomarFm::TextFontColorExecute(TColor Color) {
  TDocument *doc = ActiveDocument();
  if (!doc) return;
  if (doc->Select_IsAnyTextSelected())
    doc->Font_ChangeColor(doc->SelectionCharSpan(), Color);
  else
    doc->Font_GetFontsInUseObjectReference().CurrentFont_ChangeColor(Color);
  RedrawActiveView();
}

void TVellomarFm::TextHighlightColorExecute(TColor Highlight) {
  TDocument *doc = ActiveDocument();
  if (!doc) return;
  if (doc->Select_IsAnyTextSelected())
    doc->Font_ChangeHighlight(doc->SelectionCharSpan(), Highlight);
  else
    doc->Font_GetFontsInUseObjectReference().CurrentFont_ChangeHighlight(Highlight);
  RedrawActiveView();
}

void TVellomarFm::aTextBulletsExecute() {
  TDocument *doc = ActiveDocument();
  if (!doc) return;
  if (TWindowView *view = WindowViewOf(ActiveView()))
    Bullets_Toggle(*view);
  else if (Bullets_Toggle(*doc))
    RedrawActiveView();
}

void TVellomarFm::UpdateFontButtonState(TDocument *Doc, TFontIndex FontIndex) {
  if (!Doc) return;
  TFontsInUse &fonts = Doc->Font_GetFontsInUseObjectReference();
  const TFontStyles styles = fonts.GetFontStyle(FontIndex);
  // Only changes are set: each change repaints a tool-bar button, and this runs on every caret
  // move.
  const auto check = [](QAction *Action, bool On) {
    if (Action && Action->isChecked() != On) Action->setChecked(On);
  };
  check(Action(QStringLiteral("aFontBold")), styles.testFlag(fsBold));
  check(Action(QStringLiteral("aFontItalic")), styles.testFlag(fsItalic));
  check(Action(QStringLiteral("aFontUnderline")), styles.testFlag(fsUnderline));
  const TColor color = fonts.GetFontColor(FontIndex);
  for (const RColorAction &c : FontColorActions)
    check(Action(QLatin1String(c.Name)), c.Value == color);
  const TColor highlight = fonts.GetFontHighlight(FontIndex);
  for (const RColorAction &c : HighlightColorActions)
    check(Action(QLatin1String(c.Name)), c.Value == highlight);
  fonts.CurrentFont_SetFromIndex(FontIndex);
}

namespace {

// A line edit has the keyboard (the search box): the clipboard commands are its own.
QLineEdit *FocusedLineEdit() { return qobject_cast<QLineEdit *>(QApplication::focusWidget()); }

}  // namespace

void TVellomarFm::aEditCutExecute() {
  if (QLineEdit *edit = FocusedLineEdit()) {
    edit->cut();
    return;
  }
  TDocument *doc = ActiveDocument();
  if (!doc || !doc->Select_IsAnyTextSelected()) return;
  doc->Clipboard_Cut();
  if (auto *view = WindowViewOf(ActiveView())) {
    view->Caret_MoveToPos(doc->FAtPos);
    view->Caret_ScrollIntoView();
  }
  RedrawActiveView();
}

void TVellomarFm::aEditCopyExecute() {
  if (QLineEdit *edit = FocusedLineEdit()) {
    edit->copy();
    return;
  }
  TDocument *doc = ActiveDocument();
  if (doc && doc->Select_IsAnyTextSelected()) doc->Clipboard_Copy();
}

void TVellomarFm::aEditPasteExecute() {
  if (QLineEdit *edit = FocusedLineEdit()) {
    edit->paste();
    return;
  }
  TDocument *doc = ActiveDocument();
  if (!doc || !doc->Clipboard_CanPaste()) return;
  doc->Clipboard_Paste();
  auto *view = WindowViewOf(ActiveView());
  ViewManager().InvalidateAll(view);
  if (view) {
    view->Caret_MoveToPos(doc->FAtPos);
    view->Caret_ScrollIntoView();
  }
  RedrawActiveView();
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
        ShowTranscriptionHint();
      } else if (TranscriptionHintActive()) {
        aPlaySegmentExecute();
      }
      return true;
    }
    // Another character than Ctrl+R as the instant replay key; never while searching.
    const int jumpBackKey = FOptions.FJumpBackKey;
    if (jumpBackKey != 0 && jumpBackKey != 18 && key->text().size() == 1 &&
        key->text().at(0).unicode() == jumpBackKey && !FSearchResultsPnl->isAncestorOf(widget)) {
      aPlayInstantReplayExecute();
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
          if (FHooks.HeightOfLabelAreaChanged) FHooks.HeightOfLabelAreaChanged(height);
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
