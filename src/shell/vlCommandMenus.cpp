#include "vlCommandMenus.h"

#include "vlGuard.h"
#include "vlTextCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolBar>

#include <algorithm>
#include <span>

QString SilenceScheduledCaption(int ProtectionLevel) {
  switch (ProtectionLevel) {
    case 1: return QStringLiteral("Follow Schedule  (Currently: ON - Hint)");
    case 2: return QStringLiteral("Follow Schedule  (Currently: ON - Ask)");
    case 3: return QStringLiteral("Follow Schedule  (Currently: ON - Password)");
    default: return QStringLiteral("Follow Schedule  (Currently: OFF)");
  }
}

TvlCommandMenus::TvlCommandMenus(QMainWindow &Window, const std::vector<RActionRow> &Table)
    : FWindow(Window), FTable(Table) {
  MakeMenus();
  for (const RActionRow &row : FTable) {
    QAction *a = Make(row.Name, row.Caption);
    a->setCheckable(row.Flags & afCheckable);
    if (!row.Shortcut.isEmpty()) a->setShortcut(row.Shortcut);
    if (row.Flags & afHidden) a->setVisible(false);
    PlaceInMenu(row, *a);
    Connect(row, *a);
  }
  if (QAction *redo = Action(QStringLiteral("aEditRedo")))
    redo->setShortcuts(
        {QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
  // The shortcuts show in pop-up menus too (the text's own menu holds some of these actions).
  for (QAction *a : std::as_const(FActions)) a->setShortcutVisibleInContextMenu(true);
  DrawPictures();
}

QAction *TvlCommandMenus::Make(const QString &Name, const QString &Caption) {
  auto *action = new QAction(Caption, &FWindow);
  action->setObjectName(Name);
  FActions.insert(Name, action);
  return action;
}

void TvlCommandMenus::Add(QAction *Action) { FActions.insert(Action->objectName(), Action); }

void TvlCommandMenus::MakeMenus() {
  QMenuBar &bar = *FWindow.menuBar();
  FFile = bar.addMenu(QStringLiteral("&File"));
  FEdit = bar.addMenu(QStringLiteral("&Edit"));
  FFormat = bar.addMenu(QStringLiteral("For&mat"));
  FRecord = bar.addMenu(QStringLiteral("&Record"));
  FPlay = bar.addMenu(QStringLiteral("&Play"));
  FSilence = bar.addMenu(QStringLiteral("&Silence"));
  FOptions = bar.addMenu(QStringLiteral("&Options"));
  FTools = bar.addMenu(QStringLiteral("&Tools"));
  FHelp = bar.addMenu(QStringLiteral("&Help"));

  // The recent files: six in the File menu, ten more in a submenu, each hidden until it holds a
  // file. The table's File rows go above them, Exit below.
  FRecentSeparator = FFile->addSeparator();
  FRecentSubmenu = new QMenu(QStringLiteral("Ot&her Recent Files"), FFile);
  for (int i = 0; i < 16; ++i) {
    const QString name =
        i < 6 ? QStringLiteral("aFileRecent%1") : QStringLiteral("aFileRecentSubmenu%1");
    FRecent[i] = Make(name.arg(i + 1, 2, 10, QLatin1Char('0')), QString());
    if (i < 6)
      FFile->addAction(FRecent[i]);
    else
      FRecentSubmenu->addAction(FRecent[i]);
    if (i == 5) FFile->addMenu(FRecentSubmenu);
  }
  FFile->addSeparator();
  // "Other Recent Files" shows only while it holds a file.
  QObject::connect(FFile, &QMenu::aboutToShow, &FWindow, [this] {
    FRecentSubmenu->menuAction()->setVisible(std::any_of(
        FRecent.begin() + 6, FRecent.end(), [](const QAction *r) { return r->isVisible(); }));
  });

  // The Silence menu's item until the silence protection's own replace it.
  QAction *scheduled = Make(QStringLiteral("aSilenceScheduled"), QStringLiteral("S&cheduled:"));
  scheduled->setCheckable(true);
  scheduled->setChecked(true);
  FSilence->addAction(scheduled);
}

QMenu *TvlCommandMenus::Menu(TActionPlace Place) const {
  switch (Place) {
    case TActionPlace::apFile:
    case TActionPlace::apFileTabs:
    case TActionPlace::apFileExit: return FFile;
    case TActionPlace::apEdit: return FEdit;
    case TActionPlace::apFormat: return FFormat;
    case TActionPlace::apRecord: return FRecord;
    case TActionPlace::apPlay: return FPlay;
    case TActionPlace::apOptions: return FOptions;
    case TActionPlace::apTools: return FTools;
    case TActionPlace::apHelp: return FHelp;
    default: return nullptr;
  }
}

void TvlCommandMenus::PlaceInMenu(const RActionRow &Row, QAction &Action) {
  // A submenu is made with its first item; the tip markers and the videos stay out of sight.
  const auto submenu = [](QMenu *&Sub, QMenu *In, const QString &Title, bool Shown) {
    if (!Sub) {
      Sub = In->addMenu(Title);
      Sub->menuAction()->setVisible(Shown);
    }
    return Sub;
  };
  switch (Row.Place) {
    case TActionPlace::apFile: FFile->insertAction(FRecentSeparator, &Action); break;
    case TActionPlace::apFileTabs:
      if (!FTabsSeparated) FFile->insertSeparator(FRecentSeparator);
      FTabsSeparated = true;
      FFile->insertAction(FRecentSeparator, &Action);
      break;
    case TActionPlace::apFormatColor:
      if (!FColor) FFormat->addSeparator();
      submenu(FColor, FFormat, QStringLiteral("Text &Colour"), true)->addAction(&Action);
      break;
    case TActionPlace::apFormatHighlight:
      submenu(FHighlight, FFormat, QStringLiteral("&Highlight"), true)->addAction(&Action);
      break;
    case TActionPlace::apSpeed:
      submenu(FSpeed, FPlay, QStringLiteral("Sp&eed"), true)->addAction(&Action);
      break;
    case TActionPlace::apTipMarkers:
      submenu(FMarkers, FHelp, QStringLiteral("&Show or Hide Tip Markers"), false)
          ->addAction(&Action);
      break;
    case TActionPlace::apVideos:
      submenu(FVideos, FHelp, QStringLiteral("V&ideos"), false)->addAction(&Action);
      break;
    case TActionPlace::apToolBar:
    case TActionPlace::apNowhere: break;
    default: Menu(Row.Place)->addAction(&Action); break;
  }
}

void TvlCommandMenus::Connect(const RActionRow &Row, QAction &Action) {
  if (!Row.Handler) return;
  if (Row.Flags & afCommandSetsCheck) {
    QAction *a = &Action;
    QObject::connect(a, &QAction::triggered, &FWindow, [a, Handler = Row.Handler](bool Checked) {
      {
        const QSignalBlocker quiet(a);
        a->setChecked(!Checked);
      }
      RunGuarded(Handler);
    });
  } else {
    QObject::connect(&Action, &QAction::triggered, &FWindow,
                     [Handler = Row.Handler] { RunGuarded(Handler); });
  }
}

void TvlCommandMenus::PlaceOnToolBars(QToolBar &Audio, QToolBar &Text) {
  std::vector<const RActionRow *> placed;
  for (const RActionRow &row : FTable)
    if (row.Bar != TToolBar::tbNone) placed.push_back(&row);
  std::stable_sort(placed.begin(), placed.end(), [](const RActionRow *A, const RActionRow *B) {
    return A->BarSlot < B->BarSlot;
  });
  for (QToolBar *bar : {&Audio, &Text}) {
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    const TToolBar which = bar == &Audio ? TToolBar::tbAudio : TToolBar::tbText;
    int group = -1;
    for (const RActionRow *row : placed) {
      if (row->Bar != which) continue;
      if (group >= 0 && row->BarSlot / 100 != group) bar->addSeparator();
      group = row->BarSlot / 100;
      bar->addAction(Action(row->Name));
    }
  }
}

void TvlCommandMenus::DrawPictures() {
  // A table without one of these actions leaves it out.
  const auto set = [this](const char *Name, const QIcon &Icon, const QString &Tip = {}) {
    QAction *a = Action(QLatin1String(Name));
    if (!a) return;
    a->setIcon(Icon);
    if (!Tip.isEmpty()) a->setToolTip(Tip);
  };
  QStyle &style = *FWindow.style();
  set("aEditFind", FindIcon());
  set("aRecordStart", RecordIcon());
  set("aPlayStart", style.standardIcon(QStyle::SP_MediaPlay));
  set("aPlayInstantReplay", style.standardIcon(QStyle::SP_MediaSeekBackward),
      QStringLiteral("Instant Replay"));
  if (QAction *replay = Action(QStringLiteral("aPlayInstantReplay")))
    replay->setStatusTip(
        QStringLiteral("Rewind a little and play again. Click several times to go back farther."));
  set("aPlaySegment", style.standardIcon(QStyle::SP_MediaSkipForward));
  set("aButtonStopBoth", style.standardIcon(QStyle::SP_MediaStop),
      QStringLiteral("Stop both playing and recording.  "));
  set("aButtonTurtle", GlyphIcon(QStringLiteral("\u2212"), QColor(0, 100, 0)),
      QStringLiteral("Turtle: play 10 % slower"));
  set("aButtonsRabbit", GlyphIcon(QStringLiteral("+"), QColor(0, 100, 0)),
      QStringLiteral("Rabbit: play 10 % faster"));
  set("aFontBold", GlyphIcon(QStringLiteral("B"), Qt::black, fsBold));
  set("aFontItalic", GlyphIcon(QStringLiteral("I"), Qt::black, fsItalic));
  set("aFontUnderline", GlyphIcon(QStringLiteral("U"), Qt::black, fsUnderline));
  set("aTextBullets", GlyphIcon(QStringLiteral("\u2022"), Qt::black, fsBold));
  set("aTextFontIncrease", GlyphIcon(QStringLiteral("A+"), Qt::black));
  set("aTextFontDecrease", GlyphIcon(QStringLiteral("a\u2212"), Qt::black));
  // One colour and one highlight checked at a time; none when the caret's font has another.
  const auto group = [this](std::span<const RColorAction> Colors, bool Highlight) {
    auto *actions = new QActionGroup(&FWindow);
    actions->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const RColorAction &c : Colors) {
      QAction *a = Action(QLatin1String(c.Name));
      if (!a) continue;
      a->setData(static_cast<uint>(c.Value));
      a->setIcon(SwatchIcon(c.Value, Highlight));
      actions->addAction(a);
    }
  };
  group(FontColorActions, false);
  group(HighlightColorActions, true);
}
