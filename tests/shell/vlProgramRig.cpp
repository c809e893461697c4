#include "vlProgramRig.h"

#include "vl09_Notebook.h"
#include "vlEditorHost.h"
#include "vlEditorPage.h"
#include "vlOtherEventsIO.h"
#include "vlSpelling.h"
#include "vlTextContextMenu.h"
#include "vlWindowView.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

TProgramRig::TProgramRig(const RProgramStart &Start)
    : FFresh(Start.Folder.isEmpty() ? std::make_unique<TFreshFolder>() : nullptr),
      FPreviousPaths(AppPaths()),
      FolderPath(FFresh ? FFresh->Path() : Start.Folder),
      Store(Start.Settings.isEmpty() ? File(QStringLiteral("2009.ini")) : Start.Settings) {
  SetAppPaths(TAppPaths::UnderRoot(FolderPath));
  if (Start.StartAt > 0) Clock.Set(Start.StartAt);
  TTestEnvironment::TestPrompts().Clear();
  if (Start.ReadSettings) Store.OnApplicationOpen_ReadFromRegistry();
  if (!Start.AutoOpen.isEmpty()) Store.SetValue(QStringLiteral("AutoOpenBinder"), Start.AutoOpen);
  // The data folder's "Audio", made by the first-run set-up.
  const QString audio = File(QStringLiteral("Audio"));
  QDir().mkpath(audio);
  for (const QString &name : Start.Recordings) {
    const QString month = audio + QLatin1Char('/') + name.left(7);
    QDir().mkpath(month);
    QFile file(month + QLatin1Char('/') + name);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  }
  Program = std::make_unique<TvlProgram>(Store, Options, Sim, audio);
  Window = std::make_unique<TVellomarFm>(Store, Options, *Program);
  Program->Connect(*Window, Start.Example);
  if (Start.Size.isValid()) Window->resize(Start.Size);
  Window->show();
  TVellomarFm::SetMainLoopRunning(true);
  Window->RunIdleSoon();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        Run(10);
        return Window->AudioReady() || Window->AudioFailed();
      },
      20000));
  if (Start.FocusNotes) {
    QApplication::setActiveWindow(Window.get());
    View().setFocus();
    QApplication::processEvents();
  }
}

TProgramRig::~TProgramRig() {
  Window->close();
  Window.reset();
  // The window's parts behind the seams went with it.
  EXPECT_FALSE(EffectiveTimeBrokerSeam().IsInstalled());
  EXPECT_FALSE(EditorHostSeam().IsInstalled());
  Program.reset();
  EXPECT_FALSE(OtherEventsIOSeam().IsInstalled());
  EXPECT_FALSE(SpellingSeam().IsInstalled());
  EXPECT_FALSE(TextMenuCommandsSeam().IsInstalled());
  TVellomarFm::SetMainLoopRunning(false);
  SetAppPaths(FPreviousPaths);
}

QAction *TProgramRig::MenuItem(const QString &Menu, const QString &Caption) const {
  for (QAction *top : Window->menuBar()->actions()) {
    if (top->text() != Menu || !top->menu()) continue;
    for (QAction *item : top->menu()->actions())
      if (item->text() == Caption) return item;
  }
  ADD_FAILURE() << qPrintable(Menu) << " > " << qPrintable(Caption) << " is not in the menus";
  return nullptr;
}

TvlEditorPage *TProgramRig::ActivePage() const {
  RvlPage *page = Program->Notebook()->GetActivePagePtr();
  return page ? dynamic_cast<TvlEditorPage *>(page->MyWindowView) : nullptr;
}

TWindowView &TProgramRig::View() const {
  TvlEditorPage *page = ActivePage();
  EXPECT_NE(page, nullptr);
  return page->View();
}
