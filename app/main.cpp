// Vellomar's entry point: the order in which the program comes up.
//
//   the settings store, read once; the one-program guard; the trace;
//   the splash with its progress bar and launch log; the first-run set-up;
//   the main window, created behind the splash and then shown;
//   the event loop, during which audio comes up in stages.
//
// Command line (vlCommandLine.h): vellomar [--quit-after-start] [FILE...], --help, --version.
// The files (binders and isolated tabs) open once the window shows; when the program already
// runs, they are handed to it and this start ends quietly with status 0.
// --quit-after-start closes the window as soon as start-up has finished (audio ready or failed)
// and exits with status 0; it prints how long start-up took. Scripts and tests use it, as does
// the start-up benchmark. VELLOMAR_QUIT_AFTER_START=1 does the same.

#include "vl09_Main.h"
#include "vl09_Options.h"
#include "vl09_Registry.h"
#include "vlAppPaths.h"
#include "vlAudioStartup.h"
#include "vlClock.h"
#include "vlCommandLine.h"
#include "vlFirstRun.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlProgram.h"
#include "vlPulseBackend.h"
#include "vlQtPrompts.h"
#include "vlShellSettings.h"
#include "vlSingleInstance.h"
#include "vlSplash.h"
#include "vlTermination.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace {

// Without a screen the user could answer on (offscreen, minimal), or when a script runs the
// program, no message box may wait for an answer.
bool CanAskUser(bool QuitAfterStart) {
  const QString platform = QGuiApplication::platformName();
  return !QuitAfterStart && platform != QStringLiteral("offscreen") &&
         platform != QStringLiteral("minimal");
}

void Tell(const QString &Text, bool AskUser, TQtPrompts &Box) {
  std::fprintf(stderr, "%s\n", Text.toLocal8Bit().constData());
  if (AskUser) Box.Message(Text, TPromptIcon::piInformation);
}

void CenterOnPrimaryScreen(QWidget &Window) {
  if (const QScreen *screen = QGuiApplication::primaryScreen()) {
    QRect frame = Window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    Window.move(frame.topLeft());
  }
}

// The program's icon for the window, its dialogs and the splash: the PNG sizes built into the
// program, else the desktop theme's copy.
QIcon ProgramIcon() {
  QIcon icon;
  for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/icons/hicolor/%1x%1/apps/org.vellomar.Vellomar.png").arg(size),
                 QSize(size, size));
  return icon.isNull() ? QIcon::fromTheme(QStringLiteral("org.vellomar.Vellomar")) : icon;
}

void BringForward(QWidget *Window) {
  if (!Window) return;
  if (Window->isMinimized()) Window->showNormal();
  Window->raise();
  Window->activateWindow();
}

}  // namespace

int main(int argc, char *argv[]) {
  // Windows and hints are placed at screen points, which native Wayland does not allow; run on
  // X11 or XWayland unless the user chose a platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");

  // Help and version need no window system: answered before one is opened.
  if (AsksForHelpOrVersion(argc, argv)) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const RCommandLine line = ParseCommandLine(arguments, QDir::currentPath());
    const QString text = line.Help ? CommandLineHelpText()
                                   : CommandLineVersionText(QStringLiteral(VELLOMAR_VERSION));
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vellomar"));
  QApplication::setOrganizationName(QStringLiteral("Vellomar"));
  // The window title carries the name already, so the platform adds nothing to it.
  QApplication::setApplicationDisplayName(QStringLiteral("Vellomar"));
  QApplication::setApplicationVersion(QStringLiteral(VELLOMAR_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.vellomar.Vellomar"));
  QApplication::setWindowIcon(ProgramIcon());
  const RCommandLine commandLine =
      ParseCommandLine(QApplication::arguments().mid(1), QDir::currentPath());
  if (!commandLine.Error.isEmpty()) {
    std::fprintf(stderr, "%s\n%s", commandLine.Error.toLocal8Bit().constData(),
                 CommandLineHelpText().toLocal8Bit().constData());
    return 2;
  }
  const std::int64_t launchSteady = Clock().SteadyMSecs();
  const TDateTime launchMoment = Now();
  const bool quitAfterStart =
      commandLine.QuitAfterStart ||
      qEnvironmentVariable("VELLOMAR_QUIT_AFTER_START") == QStringLiteral("1");
  const bool askUser = CanAskUser(quitAfterStart);

  // Message boxes only where someone can answer them; otherwise the stand-in writes them to
  // standard error and answers with each question's default.
  TQtPrompts qtPrompts;
  if (askUser) SetPrompts(&qtPrompts);
  TErrorLog errorLog(AppPaths().DocumentsFolder());
  TScopedErrorLog useErrorLog(errorLog);

  // The process-wide parts, in the order in which later ones read earlier ones. The options learn
  // about the audio devices once the audio side exists, after the first-run set-up.
  TvlOptions options;
  TRegistryData store;
  const bool storeRead = store.OnApplicationOpen_ReadFromRegistry();
  errorLog.SetDebugSwitch(store.Get(vlSetting::DebugMode));

  // One program per user; a later start hands its files to the running one, which opens them
  // and comes forward, and ends without a word but a line for whoever started it.
  TSingleInstance instance(TSingleInstance::DefaultLockPath(AppPaths().DocumentsFolder()),
                           TSingleInstance::DefaultServerPath());
  switch (instance.Acquire(commandLine.Files)) {
    case TSingleInstance::soAlreadyRunning:
      std::fprintf(stderr, "%s\n", AlreadyRunningText.toLocal8Bit().constData());
      if (commandLine.Files.size() > MaxRequestFiles)
        std::fprintf(stderr, "Only the first %d files were handed to it.\n", MaxRequestFiles);
      return 0;
    case TSingleInstance::soInUse:
      Tell(AlreadyInUseText, askUser, qtPrompts);
      if (!commandLine.Files.isEmpty()) std::fprintf(stderr, "The files given were not opened.\n");
      return 0;
    case TSingleInstance::soFirst: break;
  }
  errorLog.OpenTrace();
  if (!storeRead)
    TraceWrite(QStringLiteral("The settings file %1 cannot be read; defaults apply and the file "
                              "is left as it is")
                   .arg(store.IniPath()));

  TLaunchLog launchLog;
  launchLog.Start(launchMoment, launchSteady);
  errorLog.SetDeveloperSwitch(store.Get(vlSetting::IsDeveloper));
  store.DeleteValue(QString::fromUtf16(vlSetting::IsDeveloper.Name));

  TSplashFm splash(launchLog);
  CenterOnPrimaryScreen(splash);
  SetWindowOpacityIfAny(&splash, 0);
  splash.show();
  FadeWindow(&splash, 0, 1, 200);
  QPointer<QWidget> raiseTarget = &splash;
  // Files handed over by later starts wait here until the program's parts exist, then in the
  // program until the window has opened its binder.
  QStringList handedOver = commandLine.Files;
  TvlProgram *opener = nullptr;
  QObject::connect(&instance, &TSingleInstance::OpenRequested, &app,
                   [&raiseTarget, &handedOver, &opener](const QStringList &Files) {
                     TraceWrite(QStringLiteral("A later start asked this window to come forward") +
                                (Files.isEmpty() ? QString()
                                                 : QStringLiteral(" and to open ") +
                                                       Files.join(QStringLiteral(", "))));
                     BringForward(raiseTarget);
                     if (!opener) {
                       handedOver += Files;
                       return;
                     }
                     RunGuarded([&] { opener->OpenGivenFiles(Files); });
                   });

  splash.Progress_MajorStep(5, 10, QStringLiteral("Initializing"));
  QApplication::processEvents();
  const bool displayWelcome = store.GetStringDef(QString::fromUtf16(vlSetting::DisplayWelcome),
                                                 QString()) != QStringLiteral("No");

  RFirstRunResult firstRun;
  try {
    firstRun = FirstRun_SetUpMaybe(AppPaths(), store, [&](int At, int Next, const QString &Msg) {
      splash.Progress_MajorStep(At, Next, Msg);
    });
  } catch (const ReportedError &e) {
    // A folder the program cannot create: nothing it would write could be kept.
    Tell(e.Msg(), askUser, qtPrompts);
    return 1;
  }

  // The recordings, the sound server, the day files and the notebook's glue; they outlive the
  // window, which frees the notebook itself when it closes.
  splash.Progress_MajorStep(20, 40, QStringLiteral("Creating main window"));
  TvlProgram program(store, options, std::make_shared<TPulseBackend>(QStringLiteral("Vellomar")),
                     AppPaths().DataFolder() + QStringLiteral("/Audio"));
  TVellomarFm fm(store, options, program, &splash);
  // The example binder opens when no binder is named, on the first start only.
  program.Connect(fm, firstRun.Ran ? firstRun.ExampleBinderPath : QString());
  raiseTarget = &fm;
  opener = &program;
  program.OpenGivenFiles(handedOver);
  // Abort in an error dialog ends the program at once, after a backup of the notes.
  SetAbortHandler([&fm] {
    fm.EmergencyBackup();
    QCoreApplication::exit(1);
  });
  TTerminationSignals termination;
  QObject::connect(&termination, &TTerminationSignals::TerminationRequested, &fm, [&fm] {
    fm.CloseForTermination();
    QCoreApplication::quit();
  });

  // The secondary windows (the small main window, the sketch tools, About, the calendar, the
  // time adjustment) and the two silence windows are created here, each with its progress step,
  // as they join the program.
  splash.Progress_MajorStep(40, 52, QStringLiteral("Creating main window"));
  // The recording controller with its recorder and player come up in stages once the window
  // shows; without a sound server the program runs on as a notes program.
  splash.Progress_MajorStep(60, 72, QStringLiteral("Initializing audio"));
  splash.Progress_MajorStep(70, 72, QStringLiteral("Preparing options"));
  splash.Progress_MajorStep(72, 80, QStringLiteral("Preparing to run application"));
  splash.Progress_MinorStep(10, QStringLiteral("About to finish Vert timeline"));
  splash.Progress_MinorStep(30, QStringLiteral("Finished Vert timeline"));
  splash.Progress_MinorStep(50, QStringLiteral("Implementing Options in effect"));
  splash.Progress_MinorStep(80, QStringLiteral("Listing DayFiles"));

  splash.Progress_MajorStep(80, 95, QStringLiteral("Drawing main window"));
  SetWindowOpacityIfAny(&fm, 0);
  fm.show();
  splash.Progress_MajorStep(95, 100, QStringLiteral("Unveiling main window"));
  QApplication::processEvents();
  FadeWindow(&fm, 0, 1, 200);
  const std::int64_t shownMSecs = Clock().SteadyMSecs() - launchSteady;
  splash.Progress_MajorStep(100, 100, QStringLiteral("Hiding this window"));
  FadeWindow(&splash, 1, 0, 200);
  // The welcome window is not part of the program yet; displayWelcome says whether to show it.
  static_cast<void>(displayWelcome);
  if (!firstRun.ExampleBinderPath.isEmpty())
    TraceWrite(QStringLiteral("Example binder: %1").arg(firstRun.ExampleBinderPath));

  TVellomarFm::SetMainLoopRunning(true);
  fm.RunIdleSoon();
  if (store.Get(vlSetting::LaunchLog)) {
    launchLog.Append(TimeStampFull(launchMoment) + QStringLiteral("  Applicaton.Run"));
    const double seconds = (Clock().SteadyMSecs() - launchSteady) / 1000.0;
    const QString name =
        QString::asprintf("%s (%5.3f) VL Launch Log.txt",
                          TimeStampMinute(launchMoment).toUtf8().constData(), seconds);
    if (!launchLog.SaveTo(AppPaths().DataFolder() + QLatin1Char('/') + name))
      TraceWrite(QStringLiteral("Cannot write the launch log ") + name);
  }
  QTimer::singleShot(250, &splash, &QWidget::hide);
  // The files given on the command line, once the window has opened its binder.
  QTimer::singleShot(0, &fm, [&program] { RunGuarded([&] { program.SetReadyForGivenFiles(); }); });

  if (quitAfterStart) {
    QObject::connect(&fm, &TVellomarFm::AudioStartFinished, &fm, [&](bool Ready) {
      const std::int64_t readyMSecs = Clock().SteadyMSecs() - launchSteady;
      std::printf("Start-up: window shown after %lld ms, audio %s after %lld ms\n",
                  static_cast<long long>(shownMSecs), Ready ? "ready" : "failed",
                  static_cast<long long>(readyMSecs));
      std::fflush(stdout);
      QTimer::singleShot(0, &fm, [&] {
        fm.close();
        if (!fm.FormCloseDone())
          // Nobody is there to answer the save question, and a script must not wait for ever:
          // the changes stay in the binder's journal, and the next start gives them back.
          std::fprintf(stderr, "The window did not close; unsaved changes stay in the journal.\n");
        QCoreApplication::quit();
      });
    });
  }

  const int status = app.exec();
  opener = nullptr;
  TVellomarFm::SetMainLoopRunning(false);
  SetAbortHandler({});
  TraceWrite(QStringLiteral("End ") + TimeStampFull(Now()));
  errorLog.CloseTrace();
  return status;
}
