// The main window's commands over real parts: a notebook whose pages are editor views, and the
// audio facade over the simulated machine (whose clock starts 2009-09-03 13:47:36.5). The
// prompts are scripted; no dialog ever waits for a user.

#include "vl09_Hint.h"
#include "vl09_Main.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_OptionsFm.h"
#include "vl09_RecentFiles.h"
#include "vl09_Registry.h"
#include "vl09_Silence.h"
#include "vl09_SilenceActions.h"
#include "vl09_SilenceConfig.h"
#include "vlActionTable.h"
#include "vlAudioTestSupport.h"
#include "vlCommandMenus.h"
#include "vlEditorHost.h"
#include "vlEditorPage.h"
#include "vlFakeLinks.h"
#include "vlSearchPanel.h"
#include "vlTestSupport.h"
#include "vlWindowCommands.h"
#include "vlWindowView.h"
#include "vldTemporal.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QSlider>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QWheelEvent>

#include <map>
#include <memory>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// The window's start-up questions answered by the facade.
class TFacadeStartup final : public TAudioStartup {
 public:
  explicit TFacadeStartup(TvlAudio &Audio) : FAudio(Audio) {}
  QString InitializeRecorder() override { return {}; }
  QString InitializeMisc() override { return {}; }
  QString ApplyAudioOptions() override { return {}; }
  bool IsRecording() const override { return FAudio.IsRecording(); }
  QString CurrentSourceName() const override { return {}; }
  void StartRecording() override { FAudio.Recording_Start(); }
  void StopRecording() override { FAudio.Recording_Stop(); }
  void StopPlaying() override { FAudio.Play_Stop(); }

 private:
  TvlAudio &FAudio;
};

struct TRefusingGate final : TSilenceGate {
  int Asked = 0;
  bool OkayToBreakSilence() override {
    ++Asked;
    return false;
  }
};

// One paragraph per line; character k of line i typed at Start + (1000 i + k) seconds.
void FillDocument(TDocument &Doc, const QStringList &Lines, TDateTime Start) {
  Doc.ClearSections();
  const TFontIndex font = Doc.Font_GetFontsInUseObjectReference().CurrentFont_GetIndex();
  for (int i = 0; i < Lines.size(); ++i) {
    TParagraph &p = i == 0 ? *Doc.Paragraph_FromSectionNum(0) : Doc.Paragraph_Append();
    for (int k = 0; k < Lines[i].size(); ++k) {
      const TDateTime t = Start + (i * 1000 + k) / SecsPerDay;
      p.Char_Append(Lines[i][k], font, RvlTimestamp{t, t});
    }
    p.FNLFont = font;
  }
  Doc.AtPos_NoSelectionSet(TCaretPos{0, 1, false});
}

struct TRig : TSimMachine {
  TFreshFolder Folder;
  TRegistryData Store{Folder.File(S("2009.ini"))};
  TvlOptions Options;
  TvlMediaFoldersInfo Folders;
  TvlMediaInfo Media;
  TActiveSoundFm Sound{Sim, Folders};
  TvlAudio Audio{Sound, Folders};
  TFacadeStartup Startup{Audio};
  std::unique_ptr<TvlNotebook> Notebook;
  std::unique_ptr<TVellomarFm> Fm;
  std::unique_ptr<TSeamInstall<TEffectiveTimeBroker>> BrokerSeam;
  std::unique_ptr<TSeamInstall<IEditorHost>> HostSeam;
  TScriptedPrompts &Prompts = TTestEnvironment::TestPrompts();

  TRig() {
    Prompts.Clear();
    Folders.AddAudioFolder(Folder.File(S("Audio")));
    Sound.SetSpoolFolder(Folder.File(S("spool")));
    Audio.SetMediaInfo(&Media);
    Audio.SetMainLoopRunning(true);
    Sound.AudioComponents_Initialize(isPlayer);
    Sound.AudioComponents_Initialize(isRecorder);
    Sound.AudioComponents_Initialize(isMisc);
    DeliverEvents();

    Fm = std::make_unique<TVellomarFm>(Store, Options, Startup);
    InstallWindowCommands(*Fm, Options, Startup);
    // What the program installs at start-up: the window's broker and editor host.
    BrokerSeam = std::make_unique<TSeamInstall<TEffectiveTimeBroker>>(EffectiveTimeBrokerSeam(),
                                                                      Fm->EventBroker());
    HostSeam = std::make_unique<TSeamInstall<IEditorHost>>(EditorHostSeam(), Fm->EditorHostPart());
    Notebook = std::make_unique<TvlNotebook>(Fm->NotebookPnl(), MakeEditorPageFactory());
    Fm->AttachNotebook(Notebook->PageControl());
    RProgramParts parts;
    parts.Notebook = Notebook.get();
    parts.Audio = &Audio;
    parts.Recordings = &Folders;
    Fm->SetProgramParts(parts);
    Fm->SetPreparedForBroker(true);
    // As the stored settings have it after the first showing.
    Fm->aRecordStartAuto->setChecked(false);
    Notebook->Page_Create(S("First"), QString());
    Notebook->ActivatePage(0);
  }
  ~TRig() {
    Notebook.reset();
    HostSeam.reset();
    BrokerSeam.reset();
    Fm.reset();
    TVellomarFm::SetMainLoopRunning(false);
  }
  QAction *A(const char *Name) const {
    QAction *a = Fm->Action(S(Name));
    EXPECT_NE(a, nullptr) << Name;
    return a;
  }
  TDocument &Doc(int Tab = 0) { return *Notebook->GetPageFromIndex(Tab)->mtcDoc; }
  TWindowView *View(int Tab = 0) {
    return Notebook->GetPageFromIndex(Tab)->MyWindowView->findChild<TWindowView *>();
  }
  // Audio is ready as after the staged start.
  void AudioReady() {
    for (int stage = 1; stage <= 9; ++stage) Fm->AudioInitializationTimerTimer();
    ASSERT_TRUE(Fm->AudioReady());
  }
  void WriteRecording(const QString &Name, int Seconds) {
    const QString path = Folder.File(S("Audio/")) + Name;
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(WriteSound(path, 8000, 1, std::vector<std::int16_t>(Seconds * 8000, 100)));
  }
  int Asked(TScriptedPrompts::RAsked::TKind Kind) const {
    return static_cast<int>(std::count_if(Prompts.Asked().begin(), Prompts.Asked().end(),
                                          [Kind](const auto &A) { return A.Kind == Kind; }));
  }
};

TEST(Commands, EveryRowOfTheActionTableIsAnActionInItsMenu) {
  TRig rig;
  const auto menuTitled = [&](const char *Title) -> QMenu * {
    for (QAction *top : rig.Fm->menuBar()->actions())
      if (top->text() == S(Title)) return top->menu();
    return nullptr;
  };
  const auto subMenuTitled = [&](QMenu *Menu, const char *Title) -> QMenu * {
    for (QAction *item : Menu ? Menu->actions() : QList<QAction *>())
      if (item->text() == S(Title)) return item->menu();
    return nullptr;
  };
  QMenu *help = menuTitled("&Help");
  const std::map<TActionPlace, QMenu *> menus = {
      {TActionPlace::apFile, menuTitled("&File")},
      {TActionPlace::apFileTabs, menuTitled("&File")},
      {TActionPlace::apEdit, menuTitled("&Edit")},
      {TActionPlace::apFormat, menuTitled("For&mat")},
      {TActionPlace::apFormatColor, subMenuTitled(menuTitled("For&mat"), "Text &Colour")},
      {TActionPlace::apFormatHighlight, subMenuTitled(menuTitled("For&mat"), "&Highlight")},
      {TActionPlace::apRecord, menuTitled("&Record")},
      {TActionPlace::apPlay, menuTitled("&Play")},
      {TActionPlace::apSpeed, subMenuTitled(menuTitled("&Play"), "Sp&eed")},
      {TActionPlace::apOptions, menuTitled("&Options")},
      {TActionPlace::apHelp, help},
      {TActionPlace::apTipMarkers, subMenuTitled(help, "&Show or Hide Tip Markers")},
      {TActionPlace::apVideos, subMenuTitled(help, "V&ideos")},
  };
  const std::vector<RActionRow> table = CommandActionTable(*rig.Fm);
  EXPECT_GT(table.size(), 70u);
  for (const RActionRow &row : table) {
    SCOPED_TRACE(qPrintable(row.Name));
    QAction *a = rig.Fm->Action(row.Name);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(), row.Caption);
    EXPECT_EQ(a->shortcut(), row.Shortcut);
    EXPECT_EQ(a->isVisible(), !(row.Flags & afHidden));
    EXPECT_EQ(a->isCheckable(), bool(row.Flags & afCheckable));
    if (const auto menu = menus.find(row.Place); menu != menus.end()) {
      ASSERT_NE(menu->second, nullptr);
      EXPECT_TRUE(menu->second->actions().contains(a));
    }
  }
}

TEST(Commands, EveryActionHasItsCaptionAndShortcut_ToolBarsHoldTheirActionsInOrder) {
  TRig rig;
  struct RRow {
    const char *Name, *Caption, *Key;
  };
  const RRow rows[] = {
      {"aFileNew", "&New", "Ctrl+Shift+N"},
      {"aFileOpen", "&Open ...", "Ctrl+O"},
      {"aFileSave", "&Save", "Ctrl+S"},
      {"aFileSaveAs", "Save &As ...", "Ctrl+Shift+S"},
      {"aFileClose", "&Close", "Ctrl+W"},
      {"aFileTabNew", "&Tab New", ""},
      {"aFileTabImport", "Ta&b Import ...", ""},
      {"aFileTabExport", "Tab &Export ...", ""},
      {"aFilePrint", "&Print ...", "Ctrl+P"},
      {"aFilePrintPdf", "Print to P&DF ...", "Ctrl+Shift+P"},
      {"aFileExit", "E&xit", "Ctrl+Q"},
      {"aEditUndo", "&Undo", "Ctrl+Z"},
      {"aEditRedo", "&Redo", "Ctrl+Y"},
      {"aFileCut", "&Cut", "Ctrl+X"},
      {"aEditCopy", "C&opy", "Ctrl+C"},
      {"aEditPaste", "&Paste", "Ctrl+V"},
      {"aEditSelectAll", "Select &All", "Ctrl+Shift+A"},
      {"aEditFind", "&Find", "Ctrl+F"},
      {"aEditBookmarkRename", "Rename Bookmark", ""},
      {"aEditBookmarkDelete", "Delete Bookmark", ""},
      {"aRecordStart", "&Start", ""},
      {"aRecordStop", "S&top", ""},
      {"aRecordConfigure", "&Configure ...", ""},
      {"aRecordStartAuto", "St&art Automatically", ""},
      {"aRecordMicrophoneSensitivity", "&Microphone Sensitivity ...", ""},
      {"aPlayInstantReplay", "&Instant Replay", "Ctrl+R"},
      {"aPlaySegment", "&Play Segment", "Ctrl+T"},
      {"aPlayConfigure", "&Configure ...", ""},
      {"aPlayOpenWindowsVolume", "&Open Windows' Volume Control", ""},
      {"aPlayViewRecordings", "&View Recordings ...", ""},
      {"aPlayStart", "&Start", ""},
      {"aPlayStop", "S&top / Pause", ""},
      {"aPlaySpeedFaster", "Speed:  &Accelerate 5%", "Ctrl+A"},
      {"aPlaySpeedSlower", "Speed:  Dece&lerate 5%", "Ctrl+D"},
      {"aPlaySpeedNatural", "Spee&d:  Natural", "Ctrl+N"},
      {"aPlaySpeed050", "&50 % Slower", ""},
      {"aPlaySpeed060", "&40 % Slower", ""},
      {"aPlaySpeed070", "&30 % Slower", ""},
      {"aPlaySpeed080", "&20 % Slower", ""},
      {"aPlaySpeed090", "&10 % Slower", ""},
      {"aPlaySpeed100", "&Natural", ""},
      {"aPlaySpeed110", "1&0 % Faster", ""},
      {"aPlaySpeed120", "20 % &Faster", ""},
      {"aPlaySpeed130", "30 % F&aster", ""},
      {"aPlaySpeed140", "40 % Fa&ster", ""},
      {"aPlaySpeed150", "50 % Fas&ter", ""},
      {"aPlaySpeed160", "&60 % Faster", ""},
      {"aPlaySpeed170", "&70 % Faster", ""},
      {"aPlaySpeed180", "&80 % Faster", ""},
      {"aPlaySpeed190", "&90 % Faster", ""},
      {"aOptionsSketching", "&Sketching ...", ""},
      {"aOptionsPlaying", "&Playing ...", ""},
      {"aOptionsRecording", "&Recording ...", ""},
      {"aOptionsTimeline", "&Timeline ...", ""},
      {"aToolsTimeline", "&Timeline", ""},
      {"aToolsAudioControls", "&AudioControls", ""},
      {"aHelpGettingStarted", "&Getting Started ...", ""},
      {"aHelpMicrophoneTips", "&Three Tips about Microphones", ""},
      {"aHelpMarkersRestoreAll", "&Restore All", ""},
      {"aHelpMarkersHideAll", "&Hide All", ""},
      {"aHelpContactSupport", "&Contact Support ...", ""},
      {"aHelpAbout", "&About ...", ""},
      {"aFontBold", "&Bold", "Ctrl+B"},
      {"aFontItalic", "&Italic", "Ctrl+I"},
      {"aFontUnderline", "&Underline", "Ctrl+U"},
      {"aTextBullets", "Bu&lleted List", ""},
      {"aTextNumbered", "&Numbered List", ""},
      {"aTextFontIncrease", "F&ont Increase", "Ctrl+]"},
      {"aTextFontDecrease", "&Font Decrease", "Ctrl+["},
      {"aButtonStopBoth", "S&top Both", ""},
      {"aButtonTurtle", "T&urtle", ""},
      {"aButtonsRabbit", "&Rabbit", ""},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Name);
    const QAction *a = rig.A(row.Name);
    if (!a) continue;
    EXPECT_EQ(a->text(), S(row.Caption));
    EXPECT_EQ(a->shortcut().toString(), S(row.Key));
  }
  EXPECT_EQ(rig.A("aPlayInstantReplay")->statusTip(),
            S("Rewind a little and play again. Click several times to go back farther."));
  EXPECT_EQ(rig.A("aButtonStopBoth")->toolTip(), S("Stop both playing and recording.  "));
  // What Linux has no use for, or what has no handler, is not offered.
  for (const char *hidden :
       {"aHelpMarkersRestoreAll", "aHelpMarkersHideAll", "aRecordMicrophoneSensitivity",
        "aPlayOpenWindowsVolume", "aOptionsSketching", "aTextNumbered"})
    EXPECT_FALSE(rig.A(hidden)->isVisible()) << hidden;
  // Undo and Redo are offered; Redo also answers Ctrl+Shift+Z.
  EXPECT_TRUE(rig.A("aEditUndo")->isVisible());
  EXPECT_TRUE(rig.A("aEditRedo")->isVisible());
  EXPECT_EQ(rig.A("aEditRedo")->shortcuts().value(1).toString(), S("Ctrl+Shift+Z"));

  // The Silence menu holds the protection's own items once the parts are set.
  TvlSilenceConfigSchedule schedule;
  TSilenceProtection protection(schedule);
  TSilenceActions silence(protection);
  RProgramParts parts = rig.Fm->Parts();
  parts.Silence = &protection;
  parts.SilenceActions = &silence;
  rig.Fm->SetProgramParts(parts);
  EXPECT_EQ(rig.Fm->SilenceMenu()->actions(), silence.Actions());
  EXPECT_EQ(silence.aSilenceOnAsk->text(), S("S&ilence Protection ON - Ask Permission"));
  silence.aSilenceOnHint->trigger();
  EXPECT_EQ(protection.Choice(), TSilenceChoice::scOnHint);

  QStringList menus;
  for (const QAction *m : rig.Fm->menuBar()->actions()) menus << m->text();
  EXPECT_EQ(menus, (QStringList{S("&File"), S("&Edit"), S("For&mat"), S("&Record"), S("&Play"),
                                S("&Silence"), S("&Options"), S("&Tools"), S("&Help")}));
  const auto names = [](const QToolBar *Bar) {
    QStringList out;
    for (const QAction *a : Bar->actions()) out << (a->isSeparator() ? S("|") : a->objectName());
    return out;
  };
  EXPECT_EQ(names(rig.Fm->AudioActionToolBar()),
            (QStringList{S("aRecordStart"), S("aButtonStopBoth"), S("aPlayStart"),
                         S("aPlayInstantReplay"), S("aPlaySegment"), S("|"), S("aButtonTurtle")}));
  EXPECT_EQ(names(rig.Fm->TextActionToolBar()).mid(0, 4),
            (QStringList{S("aButtonsRabbit"), S("|"), S("aEditFind"), S("aFontBold")}));
}

// The tool-bar pictures drawn in code come at the pixel densities of ordinary and high-density
// screens: at a scale of 2 they are drawn with twice the pixels, not enlarged.
TEST(Commands, ToolBarPicturesHaveTheirOwnPixelsAtScaleTwo) {
  TRig rig;
  for (const char *name : {"aRecordStart", "aEditFind", "aFontBold", "aTextFontColorRed",
                           "aTextHighlightColorYellow"}) {
    SCOPED_TRACE(name);
    const QIcon icon = rig.A(name)->icon();
    ASSERT_FALSE(icon.isNull());
    for (const qreal ratio : {1.0, 2.0}) {
      const QPixmap picture = icon.pixmap(QSize(20, 20), ratio);
      EXPECT_EQ(picture.devicePixelRatio(), ratio);
      EXPECT_EQ(picture.size(), QSize(20, 20) * ratio);
    }
  }
}

// The speed bar's scale labels never run into each other, however narrow the window: a few
// pixels of space stay between them.
TEST(Commands, TheSpeedScaleLabelsKeepApart) {
  TRig rig;
  if (!rig.A("aToolsAudioControls")->isChecked()) rig.A("aToolsAudioControls")->trigger();
  rig.Fm->resize(300, 400);
  rig.Fm->show();
  QApplication::processEvents();
  const QWidget *tempo = rig.Fm->findChild<QWidget *>(S("TempoPnl"));
  ASSERT_NE(tempo, nullptr);
  ASSERT_TRUE(tempo->isVisible());
  const QList<QLabel *> labels = tempo->findChildren<QLabel *>();
  ASSERT_EQ(labels.size(), 5);
  for (qsizetype i = 0; i < labels.size(); ++i)
    for (qsizetype j = i + 1; j < labels.size(); ++j)
      EXPECT_FALSE(labels[i]->geometry().adjusted(-4, 0, 4, 0).intersects(labels[j]->geometry()))
          << labels[i]->text().toStdString() << " and " << labels[j]->text().toStdString();
  rig.Fm->hide();
}

// The main window with its audio controls, grabbed as a screenshot at the screen's pixel ratio
// (run again with QT_SCALE_FACTOR=2 as a test of its own): the picture has the screen's pixels,
// the window is laid out as at scale 1, and no two captions (labels, buttons) overlap.
TEST(Commands, MainWindowScreenshotHasNoOverlappingCaptions) {
  TRig rig;
  if (!rig.A("aToolsAudioControls")->isChecked()) rig.A("aToolsAudioControls")->trigger();
  rig.Fm->resize(1280, 760);
  rig.Fm->show();
  QApplication::processEvents();
  const qreal ratio = rig.Fm->devicePixelRatioF();
  if (qEnvironmentVariable("QT_SCALE_FACTOR") == S("2")) {
    EXPECT_EQ(ratio, 2.0);
  }
  const QPixmap shot = rig.Fm->grab();
  EXPECT_EQ(shot.devicePixelRatio(), ratio);
  EXPECT_EQ(shot.size(), rig.Fm->size() * ratio);

  struct RCaption {
    QString What;
    QRect Rect;
  };
  std::vector<RCaption> captions;
  for (QWidget *w : rig.Fm->findChildren<QWidget *>()) {
    if (!w->isVisibleTo(rig.Fm.get()) || w->window() != rig.Fm.get()) continue;
    QString what;
    if (const auto *label = qobject_cast<QLabel *>(w))
      what = label->text();
    else if (const auto *button = qobject_cast<QAbstractButton *>(w))
      what = button->text().isEmpty() ? button->objectName() : button->text();
    else
      continue;
    if (what.isEmpty() && !qobject_cast<QAbstractButton *>(w)) continue;
    captions.push_back({what, QRect(w->mapTo(rig.Fm.get(), QPoint(0, 0)), w->size())});
  }
  ASSERT_GE(captions.size(), 5u);
  for (std::size_t i = 0; i < captions.size(); ++i)
    for (std::size_t j = i + 1; j < captions.size(); ++j)
      EXPECT_FALSE(captions[i].Rect.intersects(captions[j].Rect))
          << captions[i].What.toStdString() << " and " << captions[j].What.toStdString();
  rig.Fm->hide();
}

TEST(Commands, SpeedCommandsStepWithinTheLimitsAndTheLabelFollows) {
  TRig rig;
  struct RRow {
    int From;
    const char *Action;
    int Expected;
    const char *Label;
  };
  const RRow rows[] = {
      {188, "aPlaySpeedFaster", 190, "+90"}, {190, "aPlaySpeedFaster", 190, "+90"},
      {52, "aPlaySpeedSlower", 50, "-50"},   {150, "aPlaySpeedNatural", 100, "0"},
      {100, "aPlaySpeed190", 190, "+90"},    {100, "aPlaySpeed070", 70, "-30"},
      {55, "aButtonTurtle", 50, "-50"},      {50, "aButtonTurtle", 50, "-50"},
      {185, "aButtonsRabbit", 190, "+90"},   {100, "aButtonsRabbit", 110, "+10"},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(testing::Message() << row.From << " " << row.Action);
    rig.Fm->TempoTrackBar()->setValue(row.From);
    rig.A(row.Action)->trigger();
    EXPECT_EQ(rig.Fm->Speed(), row.Expected);
    EXPECT_EQ(rig.Fm->TempoDisplayLbl()->text(), S(row.Label));
  }
  // A wheel notch over the speed scale or a track moves the speed by a line; a touchpad's small
  // steps add up to a notch first.
  rig.Fm->SetSpeed(100);
  TVellomarFm::SetMainLoopRunning(true);
  QWidget *track = rig.Fm->TrackBarOldPnl();
  for (const int delta : {120, 60, 60, -120}) {
    QWheelEvent wheel(QPointF(5, 5), track->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(track, &wheel);
  }
  EXPECT_EQ(rig.Fm->Speed(), 105);
  // Dragging the strip under the tracks sets the label area's height, within 10..200.
  auto *strip = rig.Fm->findChild<QWidget *>(S("TrackBarsHeightFauxSplitterPnl"));
  ASSERT_NE(strip, nullptr);
  rig.Options.FHeightOfLabelArea = 40;
  TFakeTrackPanel tracks;
  rig.Fm->SetTrackPanelLink(&tracks);
  const auto mouse = [&](QEvent::Type Type, int Y) {
    QMouseEvent event(Type, QPointF(1, Y), strip->mapToGlobal(QPointF(1, Y)), Qt::LeftButton,
                      Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(strip, &event);
  };
  mouse(QEvent::MouseButtonPress, 1);
  mouse(QEvent::MouseMove, 21);
  mouse(QEvent::MouseMove, -100);
  mouse(QEvent::MouseButtonRelease, -100);
  mouse(QEvent::MouseMove, 50);
  EXPECT_EQ(tracks.Redraws, 2);
  EXPECT_EQ(rig.Options.FHeightOfLabelArea, 10);
  rig.Fm->SetTrackPanelLink(nullptr);
  // The volume bar sets the player's own gain; the idle refresh shows it without setting it.
  rig.Fm->VolumeTB()->setValue(300);
  EXPECT_NEAR(rig.Audio.GetCombinedVolume(), 0.3, 0.01);
  rig.Audio.SetCombinedVolume(0.6);
  rig.Fm->ApplicationEvents1Idle();
  EXPECT_NEAR(rig.Fm->VolumeTB()->value(), 600, 10);
  EXPECT_NEAR(rig.Audio.GetCombinedVolume(), 0.6, 0.01);
}

TEST(Commands, SaveAsAndOpenKeepTheRecentListToTheBindersNotOpen) {
  TRig rig;
  FillDocument(rig.Doc(), {S("first binder")}, 40059.4);
  const QString one = rig.Folder.File(S("one.vl")), two = rig.Folder.File(S("two"));

  // Save As without an extension gets ".vl"; the dialog offers the binder filter.
  rig.Prompts.ScriptFileName(one);
  ASSERT_TRUE(rig.Fm->FileCommands().aFileSaveAsExecute());
  EXPECT_EQ(rig.Prompts.Asked().last().Text, S("Save as ..."));
  EXPECT_EQ(rig.Prompts.Asked().last().Filter, BinderSaveFilter);
  EXPECT_EQ(rig.Notebook->BinderPathName(), one);
  EXPECT_TRUE(rig.Fm->windowTitle().endsWith(S("  -  one.vl")));
  EXPECT_EQ(rig.Fm->RecentlyUsedFiles()->FileCount(), 0);
  rig.Prompts.ScriptFileName(two);
  ASSERT_TRUE(rig.Fm->FileCommands().aFileSaveAsExecute());
  EXPECT_EQ(rig.Notebook->BinderPathName(), two + S(".vl"));
  EXPECT_EQ(rig.Fm->RecentlyUsedFiles()->File(1), one);
  EXPECT_EQ(rig.Fm->RecentlyUsedFiles()->FileCount(), 1);

  // Opening the first binder again: it leaves the list and the one left takes the top.
  rig.Prompts.ScriptFileName(one);
  rig.Fm->FileCommands().aFileOpenExecute();
  EXPECT_EQ(rig.Prompts.Asked().last().Filter, BinderFilter);
  EXPECT_EQ(rig.Notebook->BinderPathName(), one);
  EXPECT_EQ(rig.Fm->RecentlyUsedFiles()->File(1), two + S(".vl"));
  EXPECT_EQ(rig.Fm->RecentlyUsedFiles()->FileCount(), 1);

  // A listed file that has gone is reported and taken off the list.
  ASSERT_TRUE(QFile::remove(two + S(".vl")));
  rig.Fm->aFileRecent[0]->trigger();
  EXPECT_TRUE(rig.Prompts.Asked().last().Text.startsWith(S("File not found:  two.vl")));
  EXPECT_EQ(rig.Fm->RecentlyUsedFiles()->FileCount(), 0);
  EXPECT_EQ(rig.Notebook->BinderPathName(), one);

  // A backup opened directly is saved under a name the user gives, never "saved" onto itself.
  const QString backup = rig.Folder.File(S("copy.vlBackup"));
  ASSERT_TRUE(QFile::copy(one, backup));
  ASSERT_TRUE(rig.Fm->FileCommands().OpenBinderFile(backup));
  rig.Prompts.Clear();
  rig.Prompts.ScriptFileName(rig.Folder.File(S("rescued.vl")));
  EXPECT_TRUE(rig.Fm->FileCommands().aFileSaveExecute());
  EXPECT_EQ(rig.Prompts.Asked().value(0).Kind, TScriptedPrompts::RAsked::akSaveFile);
  EXPECT_EQ(rig.Notebook->BinderPathName(), rig.Folder.File(S("rescued.vl")));
  EXPECT_EQ(rig.Prompts.UnscriptedCount(), 0);
}

TEST(Commands, TheSaveQuestionComesBeforeOpenCloseAndExit) {
  TRig rig;
  const QString named = rig.Folder.File(S("named.vl"));
  rig.Prompts.ScriptFileName(named);
  ASSERT_TRUE(rig.Fm->FileCommands().aFileSaveAsExecute());
  const auto change = [&] {
    FillDocument(rig.Doc(), {S("changed")}, 40059.4);
    rig.Doc().ChangeCount_Increment();
  };

  // Cancel: no file dialog, nothing changes.
  change();
  rig.Prompts.Clear();
  rig.Prompts.ScriptAnswer(TPromptButton::pbCancel);
  rig.Fm->FileCommands().aFileOpenExecute();
  EXPECT_EQ(rig.Prompts.AskedTexts(), QStringList{SaveQuestionNamedText});
  EXPECT_EQ(rig.Asked(TScriptedPrompts::RAsked::akOpenFile), 0);

  // Yes: saved under its name, then the dialog (cancelled here).
  rig.Prompts.Clear();
  rig.Prompts.ScriptAnswer(TPromptButton::pbYes);
  rig.Fm->FileCommands().aFileOpenExecute();
  EXPECT_EQ(rig.Asked(TScriptedPrompts::RAsked::akOpenFile), 1);
  EXPECT_TRUE(rig.Notebook->Binder_IsCompeletelySaved());

  // No at Close: the changes are dropped and an unnamed, empty binder takes the place.
  change();
  rig.Prompts.Clear();
  rig.Prompts.ScriptAnswer(TPromptButton::pbNo);
  rig.Fm->FileCommands().aFileCloseExecute();
  EXPECT_EQ(rig.Prompts.AskedTexts().value(0), SaveQuestionNamedText);
  EXPECT_TRUE(rig.Notebook->BinderPathName().isEmpty());
  EXPECT_EQ(rig.Fm->RecentlyUsedFiles()->File(1), named);

  // Exit with unsaved, unnamed work and Cancel: the window stays.
  change();
  rig.Prompts.Clear();
  rig.Prompts.ScriptAnswer(TPromptButton::pbCancel);
  rig.Fm->show();
  rig.AudioReady();
  rig.A("aFileExit")->trigger();
  EXPECT_EQ(rig.Prompts.AskedTexts(), QStringList{SaveQuestionUnnamedText});
  EXPECT_TRUE(rig.Fm->isVisible());
  EXPECT_FALSE(rig.Fm->FormCloseDone());
}

TEST(Commands, TextButtonsFollowTheCaretAndStyleTheSelectionOrTheTypingFont) {
  TRig rig;
  TDocument &doc = rig.Doc();
  FillDocument(doc, {S("plain bold"), S("second")}, 40059.4);
  doc.Font_ChangeBold(TCharSpan{{0, 7}, {0, 10}}, true);
  doc.Font_ChangeColor(TCharSpan{{0, 7}, {0, 10}}, 224);
  doc.Font_ChangeHighlight(TCharSpan{{0, 7}, {0, 10}}, 0x7FFFFF);

  // The view reports every caret move; the buttons take the font of the text there.
  rig.View()->Caret_MoveToPos(TCaretPos{0, 9, false});
  EXPECT_TRUE(rig.A("aFontBold")->isChecked());
  EXPECT_TRUE(rig.A("aTextFontColorRed")->isChecked());
  EXPECT_TRUE(rig.A("aTextHighlightColorYellow")->isChecked());
  EXPECT_TRUE(doc.Font_GetFontsInUseObjectReference().CurrentFont.Style.testFlag(fsBold));
  doc.AtPos_NoSelectionSet(TCaretPos{0, 3, false});
  rig.View()->Caret_MoveToPos(TCaretPos{0, 3, false});
  EXPECT_FALSE(rig.A("aFontBold")->isChecked());
  EXPECT_FALSE(rig.A("aTextFontColorRed")->isChecked());
  EXPECT_FALSE(rig.A("aTextHighlightColorYellow")->isChecked());
  rig.Fm->TextCommands().UpdateFontButtonState(nullptr, 0);  // no document: nothing changes
  EXPECT_FALSE(rig.A("aFontBold")->isChecked());

  // Without a selection the typing font changes and the button shows it.
  rig.A("aFontItalic")->trigger();
  EXPECT_TRUE(rig.A("aFontItalic")->isChecked());
  EXPECT_TRUE(doc.Font_GetFontsInUseObjectReference().CurrentFont.Style.testFlag(fsItalic));
  EXPECT_FALSE(doc.FontStyleAt(TCharX{0, 2}).testFlag(fsItalic));

  // With a selection starting in bold text, bold comes off all of it.
  doc.AtPos_NoSelectionSet(TCaretPos{0, 7, false});
  doc.FAtPosSelect = TCaretPos{1, 3, false};
  rig.A("aFontBold")->trigger();
  EXPECT_FALSE(doc.FontStyleAt(TCharX{0, 8}).testFlag(fsBold));
  EXPECT_FALSE(rig.A("aFontBold")->isChecked());
  rig.A("aTextFontColorGreen")->trigger();
  EXPECT_EQ(doc.FontColorAt(TCharX{1, 1}), TColor{0x9900});
  EXPECT_NE(doc.FontColorAt(TCharX{1, 3}), TColor{0x9900});

  // Bullets: added to every selected paragraph, then removed from all when the first has one.
  QString marker;
  rig.A("aTextBullets")->trigger();
  EXPECT_EQ(doc.Paragraph_Outline_Get(0, marker), oBullet);
  EXPECT_EQ(marker, S("  \u2022 "));
  EXPECT_EQ(doc.Paragraph_Outline_Get(1, marker), oBullet);
  rig.A("aTextBullets")->trigger();
  EXPECT_EQ(doc.Paragraph_Outline_Get(0, marker), oNone);
  EXPECT_EQ(doc.Paragraph_Outline_Get(1, marker), oNone);
}

TEST(Commands, SearchListsEveryTabActiveFirstAndAClickPutsTheCaretThere) {
  TRig rig;
  FillDocument(rig.Doc(0), {S("nothing here"), S("a needle and <b>a needle</b>")}, 40059.4);
  rig.Notebook->Page_Create(S("Second"), QString());
  FillDocument(rig.Doc(1), {S("Needle first")}, 40059.5);
  rig.Notebook->ActivatePage(1);

  rig.A("aEditFind")->trigger();
  EXPECT_FALSE(rig.Fm->SearchResultsPnl()->isHidden());
  TSearchPanel &panel = *rig.Fm->SearchPanel();
  panel.Search(S("needle"));
  QStringList lines;
  for (int i = 0; i < panel.ResultsLB->count(); ++i) lines << panel.ResultsLB->item(i)->text();
  // The tab, the hit's moment (character k of line i at 40059.5 + 1000 i + k seconds).
  EXPECT_EQ(lines, (QStringList{S("Second \u00B7 12:00 \u00B7 Needle first"),
                                S("First \u00B7 09:52 \u00B7 a needle and <b>a needle</b>"),
                                S("First \u00B7 09:52 \u00B7 a needle and <b>a needle</b>")}));
  // Note text that looks like markup stays text; the hit is kept as offsets for the bold.
  EXPECT_EQ(panel.ResultsLB->item(2)->data(TSearchPanel::HitStartRole).toInt(),
            static_cast<int>(lines[2].indexOf(S("needle</b>"))));

  EXPECT_TRUE(panel.OpenResult(panel.ResultsLB->item(2)));
  EXPECT_EQ(rig.Notebook->ActivePageIndex(), 0);
  // The hit selected, the caret at its end.
  EXPECT_EQ(rig.Doc(0).FAtPos.SN, 1);
  EXPECT_EQ(rig.Doc(0).FAtPos.FGN, 25);
  EXPECT_EQ(rig.Doc(0).FAtPosSelect.SN, 1);
  EXPECT_EQ(rig.Doc(0).FAtPosSelect.FGN, 19);

  // Not found; the history keeps one entry per text whatever its case.
  panel.Search(S("NEEDLE"));
  panel.Search(S("haystack"));
  EXPECT_EQ(panel.ResultsLB->count(), 1);
  EXPECT_EQ(panel.ResultsLB->item(0)->text(), S("Search string \"haystack\" not found."));
  EXPECT_EQ(panel.SearchCmBx->count(), 2);
  Q_EMIT panel.CloseRequested();
  EXPECT_TRUE(rig.Fm->SearchResultsPnl()->isHidden());
}

TEST(Commands, TheBrokerGivesNowWhileRecordingThePlayPositionWhilePlayingElseTheText) {
  TRig rig;
  rig.WriteRecording(S("2009-09/2009-09-03 10.00 00.0 (60).wav"), 60);
  rig.AudioReady();
  const TDateTime typed = EncodeDateTime(2009, 9, 3, 9, 0, 0);
  FillDocument(rig.Doc(), {S("typed earlier")}, typed);
  rig.Doc().AtPos_NoSelectionSet(TCaretPos{0, 5, false});
  const TDateTime now = Now();

  // Neither: the moment of the text at the caret.
  EXPECT_NEAR(rig.Fm->NewEventBroker_When(QLatin1Char('x')), typed, 10 / SecsPerDay);
  EXPECT_EQ(rig.Fm->NewEventBroker_Track(), btkCurrent);  // nothing shown, nothing done yet
  // Playing: text without a moment takes the play position; text with one keeps it.
  const TDateTime from = EncodeDateTime(2009, 9, 3, 10, 0, 20);
  ASSERT_EQ(rig.Audio.Play_From(from, 100), prOkay);
  rig.Run(200);
  ASSERT_TRUE(rig.Audio.IsPlaying());
  EXPECT_NEAR(rig.Fm->BrokeredEffectiveWhen(0), from, 2 / SecsPerDay);
  EXPECT_NEAR(rig.Fm->BrokeredEffectiveWhen(typed), typed, 1e-9);
  EXPECT_NEAR(EffectiveTimeBroker().BrokeredEffectiveWhen(0), from, 2 / SecsPerDay);
  EXPECT_EQ(rig.Fm->NewEventBroker_Track(), btkHistorical);
  rig.A("aButtonStopBoth")->trigger();
  DeliverEvents();
  EXPECT_FALSE(rig.Audio.IsPlaying());
  EXPECT_EQ(rig.Fm->NewEventBroker_Track(), btkHistorical);  // the latest stop was playback
  // Recording: now, whatever the text says.
  rig.A("aRecordStart")->trigger();
  ASSERT_TRUE(rig.Audio.IsRecording());
  EXPECT_NEAR(rig.Fm->NewEventBroker_When(QLatin1Char('x')), Now(), 1e-9);
  EXPECT_GE(Now(), now);
  EXPECT_EQ(rig.Fm->NewEventBroker_Track(), btkCurrent);
  // Pressing Start again stops it (the action toggles).
  rig.A("aRecordStart")->trigger();
  DeliverEvents();
  EXPECT_FALSE(rig.Audio.IsRecording());
}

TEST(Commands, InstantReplayGoesBackFromThePositionAndNoRetryFollowsARefusal) {
  TRig rig;
  rig.WriteRecording(S("2009-09/2009-09-03 10.00 00.0 (60).wav"), 60);
  rig.AudioReady();
  const TDateTime fileStart = EncodeDateTime(2009, 9, 3, 10, 0, 0);
  rig.Options.FJumpBack = 7;

  // Three seconds into the file: back to its start, at natural speed.
  rig.Fm->SetSpeed(150);
  ASSERT_EQ(rig.Audio.Play_From(fileStart + 3 / SecsPerDay, 150), prOkay);
  rig.A("aPlayInstantReplay")->trigger();
  EXPECT_NEAR(rig.Audio.GetPlay_Position(), fileStart, 0.3 / SecsPerDay);
  EXPECT_EQ(rig.Fm->Speed(), 150);  // the speed the user chose stays
  // Twenty seconds in, each press goes seven seconds farther back.
  ASSERT_EQ(rig.Audio.Play_From(fileStart + 20 / SecsPerDay, 100), prOkay);
  rig.A("aPlayInstantReplay")->trigger();
  EXPECT_NEAR(rig.Audio.GetPlay_Position(), fileStart + 13 / SecsPerDay, 0.3 / SecsPerDay);
  rig.A("aPlayInstantReplay")->trigger();
  EXPECT_NEAR(rig.Audio.GetPlay_Position(), fileStart + 6 / SecsPerDay, 0.3 / SecsPerDay);

  // Playing from the caret: the moment of the text there, at the bar's speed.
  FillDocument(rig.Doc(), {S("typed while recording")}, fileStart + 40 / SecsPerDay);
  rig.Doc().AtPos_NoSelectionSet(TCaretPos{0, 3, false});
  rig.A("aPlayFromCaret")->trigger();
  EXPECT_TRUE(rig.Audio.IsPlaying());
  EXPECT_NEAR(rig.Audio.GetPlay_Position(), fileStart + 41 / SecsPerDay, 1.5 / SecsPerDay);

  // Silence protection refuses: the user is asked once, and nothing else is tried.
  rig.Audio.Play_Pause();
  TRefusingGate gate;
  rig.Audio.SetSilenceGate(&gate);
  int featureAsked = 0;
  TFakeTimelinePanel timelines;
  timelines.Feature = [&] {
    ++featureAsked;
    return fileStart + 30 / SecsPerDay;
  };
  rig.Fm->SetTimelinePanelLink(&timelines);
  rig.A("aPlayStart")->trigger();
  EXPECT_EQ(gate.Asked, 1);
  rig.A("aPlayInstantReplay")->trigger();
  EXPECT_EQ(gate.Asked, 2);
  rig.A("aPlaySegment")->trigger();
  EXPECT_EQ(gate.Asked, 3);
  EXPECT_FALSE(rig.Audio.IsPlaying());
  rig.Audio.SetSilenceGate(nullptr);

  // A segment plays and shows the transcription hint; the Pause key then pauses.
  ASSERT_TRUE(rig.Fm->Hint());
  rig.A("aPlaySegment")->trigger();
  EXPECT_TRUE(rig.Audio.IsPlaying());
  EXPECT_EQ(rig.Fm->Hint()->HintText(), TranscriptionHintText);
  EXPECT_TRUE(rig.Fm->PlaybackCommands().TranscriptionHintActive());
  TVellomarFm::SetMainLoopRunning(true);
  QKeyEvent pause(QEvent::KeyPress, Qt::Key_Pause, Qt::NoModifier);
  QApplication::sendEvent(rig.Fm->TempoTrackBar(), &pause);
  EXPECT_FALSE(rig.Audio.IsPlaying());
  rig.Fm->SetTimelinePanelLink(nullptr);
}

TEST(Commands, ARecordingThatCannotStartOffersTheRecordingOptions) {
  TRig rig;
  rig.AudioReady();
  // Before audio is ready a start waits for it; here the folder for recordings is missing.
  TvlMediaFoldersInfo none;
  TActiveSoundFm sound(rig.Sim, none);
  sound.AudioComponents_Initialize(isRecorder);
  TvlAudio noFolder(sound, none);
  RProgramParts parts = rig.Fm->Parts();
  parts.Audio = &noFolder;
  rig.Fm->SetProgramParts(parts);
  // Notes for the recording start on a new line at the end, even when it did not start.
  FillDocument(rig.Doc(), {S("one"), S("two")}, 40059.4);
  rig.Fm->show();
  rig.Fm->activateWindow();
  rig.View()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.View()->hasFocus(); }, 5000));
  // In the notes, Ctrl+A is the speed's, not a selection of all the text.
  rig.Fm->SetSpeed(100);
  QTest::keyClick(rig.View(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(rig.Fm->Speed(), 105);
  EXPECT_FALSE(rig.Doc().Select_IsAnyTextSelected());
  rig.Prompts.ScriptAnswer(TPromptButton::pbYes);
  rig.A("aRecordStart")->trigger();
  EXPECT_EQ(rig.Doc().Section_High(), 2);
  EXPECT_EQ(rig.Doc().FAtPos.SN, 2);
  EXPECT_EQ(rig.Prompts.AskedTexts().value(0), RecordingFailedText);
  ASSERT_NE(rig.Fm->OptionsWindow(), nullptr);
  EXPECT_TRUE(rig.Fm->OptionsWindow()->isVisible());
  EXPECT_EQ(rig.Fm->OptionsWindow()->CurrentPageCaption(), S("Recording"));
  rig.Fm->OptionsWindow()->reject();
  parts.Audio = &rig.Audio;
  rig.Fm->SetProgramParts(parts);
}

TEST(Commands, TabsExportAndImportThroughTheirDialogs_HelpOpensItsPage) {
  TRig rig;
  FillDocument(rig.Doc(), {S("a tab of its own")}, 40059.4);
  const QString tab = rig.Folder.File(S("Own"));
  rig.Prompts.ScriptFileName(tab);
  rig.A("aFileTabExport")->trigger();
  EXPECT_EQ(rig.Prompts.Asked().last().Filter, TabFilter);
  ASSERT_TRUE(QFileInfo(tab + S(".vlTab")).isFile());
  EXPECT_EQ(rig.Notebook->GetPageFromIndex(0)->PathName, tab + S(".vlTab"));
  const int pages = rig.Notebook->PageCount();
  rig.Prompts.ScriptFileName(tab + S(".vlTab"));
  rig.A("aFileTabImport")->trigger();
  // The imported tab comes after the first (the notebook keeps a blank tab on offer as well).
  ASSERT_GT(rig.Notebook->PageCount(), pages);
  EXPECT_EQ(rig.Doc(1).Paragraph_FromSectionNum(0)->Text(), S("a tab of its own"));

  // No page at all: the export explains itself.
  rig.Notebook->Page_DestroyAll();
  rig.Prompts.Clear();
  rig.A("aFileTabExport")->trigger();
  EXPECT_EQ(rig.Prompts.AskedTexts(), QStringList{NoDocumentToExportText});

  // Getting Started opens our own page where the installed program keeps it (here one of the
  // desktop's data folders); a desktop that opens nothing gets the address told.
  TFreshFolder installed;
  const QString page = installed.File(S("vellomar/GettingStarted/index.html"));
  WriteAllBytes(page, "<html></html>");
  const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
  qputenv("XDG_DATA_DIRS", installed.Path().toLocal8Bit());
  QUrl opened;
  rig.Fm->OpenUrl = [&](const QUrl &Url) {
    opened = Url;
    return true;
  };
  rig.A("aHelpGettingStarted")->trigger();
  qputenv("XDG_DATA_DIRS", dataDirs);
  EXPECT_EQ(opened, QUrl::fromLocalFile(page));
  rig.Fm->OpenUrl = [](const QUrl &) { return false; };
  rig.Prompts.Clear();
  rig.A("aHelpGettingStarted")->trigger();
  EXPECT_TRUE(rig.Prompts.AskedTexts().value(0).startsWith(
      S("Your Internet browser could not be opened automatically.")));
  rig.A("aHelpAbout")->trigger();
  EXPECT_TRUE(rig.Prompts.AskedTexts().value(1).startsWith(S("Vellomar")));
}

TEST(Commands, BulletsAndTheClosedSearchPanelLeaveTheKeysInTheTextBehindTheMarker) {
  TRig rig;
  FillDocument(rig.Doc(), {S("item")}, 40059.4);
  rig.Fm->resize(800, 600);
  rig.Fm->show();
  rig.Fm->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(rig.Fm.get()));
  rig.Notebook->FocusActivePage();
  TWindowView *view = rig.View();
  ASSERT_EQ(QApplication::focusWidget(), view);
  const auto paragraphs = [&] {
    QStringList out;
    for (int sn = 0; sn <= rig.Doc().Section_High(); ++sn)
      out << rig.Doc().CaretSpan_Plain(TCaretPos{sn, 1}, rig.Doc().Paragraph_LastCaretPos(sn));
    return out;
  };

  // The button with the caret before the text: typing goes on behind the marker.
  rig.A("aTextBullets")->trigger();
  QTest::keyClicks(QApplication::focusWidget(), S("my "));
  // Enter in a bulleted line: the new line's bullet comes before the caret.
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QTest::keyClicks(QApplication::focusWidget(), S("next"));
  EXPECT_EQ(paragraphs(), (QStringList{S("  \u2022 my item"), S("  \u2022 next")}));
  // Backspace behind the marker takes the bullet away, the button brings it back.
  rig.Doc().AtPos_NoSelectionSet(TCaretPos{1, 5});
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
  EXPECT_EQ(paragraphs().value(1), S("next"));
  rig.A("aTextBullets")->trigger();
  EXPECT_EQ(paragraphs().value(1), S("  \u2022 next"));
  EXPECT_EQ(rig.Doc().FAtPos.FGN, 5);

  // The search panel takes the keyboard and gives it back to the text when it closes.
  rig.A("aEditFind")->trigger();
  EXPECT_NE(QApplication::focusWidget(), view);
  Q_EMIT rig.Fm->SearchPanel()->CloseRequested();
  EXPECT_EQ(QApplication::focusWidget(), view);
}

}  // namespace

// The menus and tool bars come from the table alone: each row in its menu in table order, on its
// tool bar in slot order with a separator where the hundreds change, and running its command; a
// command that decides the check itself finds the click's flip undone.
TEST(Commands, TheMenusAndToolBarsAreMadeFromTheTableAlone) {
  QMainWindow window;
  int ones = 0;
  std::vector<bool> checkedAtCommand;
  QAction *two = nullptr;
  const std::vector<RActionRow> table = {
      {S("aTwo"),
       S("&Two"),
       {},
       TActionPlace::apEdit,
       [&] { checkedAtCommand.push_back(two->isChecked()); },
       afCheckable | afCommandSetsCheck,
       TToolBar::tbText,
       0},
      {S("aOne"), S("&One"), QKeySequence(S("Ctrl+1")), TActionPlace::apFile, [&] { ++ones; }, 0,
       TToolBar::tbText, 101},
      {S("aFour"), S("&Four"), {}, TActionPlace::apNowhere, {}, afHidden, TToolBar::tbAudio, 100},
      {S("aThree"), S("T&hree"), {}, TActionPlace::apToolBar, {}, 0, TToolBar::tbAudio, 5},
      {S("aExit"), S("E&xit"), {}, TActionPlace::apFileExit, {}},
      {S("aSpeedy"), S("&Speedy"), {}, TActionPlace::apSpeed, {}},
  };
  TvlCommandMenus menus(window, table);
  QToolBar audio, text;
  menus.PlaceOnToolBars(audio, text);
  two = menus.Action(S("aTwo"));
  ASSERT_NE(two, nullptr);

  QStringList bar;
  for (const QAction *m : window.menuBar()->actions()) bar << m->text();
  EXPECT_EQ(bar, (QStringList{S("&File"), S("&Edit"), S("For&mat"), S("&Record"), S("&Play"),
                              S("&Silence"), S("&Options"), S("&Tools"), S("&Help")}));
  const auto names = [](const QList<QAction *> &Actions) {
    QStringList out;
    for (const QAction *a : Actions)
      out << (a->isSeparator() ? S("|") : a->menu() ? a->text() : a->objectName());
    return out;
  };
  const QStringList file = names(menus.Menu(TActionPlace::apFile)->actions());
  ASSERT_FALSE(file.isEmpty());
  EXPECT_EQ(file.first(), S("aOne"));
  EXPECT_EQ(file.value(1), S("|"));  // the recent files follow
  EXPECT_EQ(file.last(), S("aExit"));
  EXPECT_EQ(names(menus.Menu(TActionPlace::apEdit)->actions()), QStringList{S("aTwo")});
  EXPECT_EQ(names(menus.Menu(TActionPlace::apPlay)->actions()), QStringList{S("Sp&eed")});
  EXPECT_EQ(names(text.actions()), (QStringList{S("aTwo"), S("|"), S("aOne")}));
  EXPECT_EQ(names(audio.actions()), (QStringList{S("aThree"), S("|"), S("aFour")}));
  EXPECT_FALSE(menus.Action(S("aFour"))->isVisible());
  EXPECT_EQ(menus.Action(S("aOne"))->shortcut(), QKeySequence(S("Ctrl+1")));
  EXPECT_EQ(menus.RecentActions()[15]->objectName(), S("aFileRecentSubmenu16"));

  menus.Action(S("aOne"))->trigger();
  EXPECT_EQ(ones, 1);
  two->trigger();
  two->trigger();
  EXPECT_EQ(checkedAtCommand, (std::vector<bool>{false, false}));
  EXPECT_FALSE(two->isChecked());
}
