// Vellomar's entry point.

#include "vlAppPaths.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlQtPrompts.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[]) {
  // Windows and hints are placed at screen points, which native Wayland does not allow; run on
  // X11 or XWayland unless the user chose a platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vellomar"));
  QApplication::setApplicationDisplayName(QStringLiteral("Vellomar"));
  QApplication::setOrganizationName(QStringLiteral("Vellomar"));

  TQtPrompts prompts;
  TScopedPrompts usePrompts(prompts);
  TErrorLog errorLog(AppPaths().DocumentsFolder());
  TScopedErrorLog useErrorLog(errorLog);
  errorLog.OpenTrace();

  // The main window is not built yet: the program sets up its diagnostics, notes its start
  // and end in the trace, and ends.
  std::printf("Vellomar %s: diagnostics in %s\n", VELLOMAR_VERSION,
              AppPaths().DocumentsFolder().toLocal8Bit().constData());
  TraceWrite(QStringLiteral("End ") + TimeStampFull(Now()));
  errorLog.CloseTrace();
  return EXIT_SUCCESS;
}
