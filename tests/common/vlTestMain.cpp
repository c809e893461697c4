// Every test executable starts here. Before Qt or any test runs, HOME and the XDG folders are
// pointed at a fresh temporary folder so that nothing a test does reaches the real home folder,
// and the offscreen platform is selected so that no window opens.
//
// The folder is removed however the run ends: on return, on exit() from inside a test, and on a
// crash (a fatal signal removes it and then lets the signal take its course, so sanitizers and
// core dumps still see it). Its name holds the process id, so a folder a killed run left behind
// is removed by the next run.

#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

// The application object matches what the executable links: widgets, Gui, or Qt Core alone.
#if defined(VL_TEST_WIDGETS)
#include <QApplication>
using TTestApplication = QApplication;
#elif defined(VL_TEST_GUI)
#include <QGuiApplication>
using TTestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TTestApplication = QCoreApplication;
#endif

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

const QString FolderPrefix = QStringLiteral("vellomar-test-");

// The private home, as a C string a signal handler may use.
char HomeFolder[4096];
// Only the process that made it removes it: a forked child (a death test, say) leaves it alone.
pid_t HomeOwner = 0;
const int FatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
struct sigaction PreviousActions[sizeof FatalSignals / sizeof FatalSignals[0]];

// Async-signal-safe: fork, execv and waitpid only.
void RemoveHomeFolder() {
  if (HomeFolder[0] == 0 || getpid() != HomeOwner) return;
  const pid_t child = fork();
  if (child == 0) {
    char rm[] = "/bin/rm", flags[] = "-rf";
    char *const args[] = {rm, flags, HomeFolder, nullptr};
    execv(rm, args);
    _exit(127);
  }
  if (child > 0) waitpid(child, nullptr, 0);
  HomeFolder[0] = 0;
}

void OnFatalSignal(int Signal, siginfo_t *Info, void *) {
  RemoveHomeFolder();
  for (std::size_t i = 0; i < std::size(FatalSignals); ++i)
    if (FatalSignals[i] == Signal) sigaction(Signal, &PreviousActions[i], nullptr);
  // A fault raised by the processor recurs when the handler returns, now reaching the previous
  // handler with its true context; a signal sent by a call is sent again.
  if (Info->si_code <= 0) raise(Signal);
}

void RemoveHomeFolderOnEveryEnd(const QString &Path) {
  const QByteArray path = Path.toLocal8Bit();
  if (path.size() >= static_cast<qsizetype>(sizeof HomeFolder)) return;
  std::memcpy(HomeFolder, path.constData(), static_cast<std::size_t>(path.size()) + 1);
  HomeOwner = getpid();
  std::atexit(RemoveHomeFolder);
  struct sigaction action {};
  action.sa_sigaction = OnFatalSignal;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(FatalSignals); ++i)
    sigaction(FatalSignals[i], &action, &PreviousActions[i]);
}

// Folders of earlier runs whose process is gone (killed with SIGKILL, say).
void RemoveFoldersOfEndedRuns() {
  QDir temp(QDir::tempPath());
  const QStringList names =
      temp.entryList({FolderPrefix + QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString &name : names) {
    bool isNumber = false;
    const qint64 pid =
        name.mid(FolderPrefix.size()).section(QLatin1Char('-'), 0, 0).toLongLong(&isNumber);
    if (!isNumber || pid <= 0 || pid == getpid()) continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    QDir(temp.filePath(name)).removeRecursively();
  }
}

}  // namespace

int main(int argc, char **argv) {
  RemoveFoldersOfEndedRuns();
  // A test that starts this executable again (to kill it mid-recording, say) gets the child's
  // folder inside its own, so that the child's is removed with it even when the child is killed.
  const QString parentHome = qEnvironmentVariable("HOME");
  const bool nested =
      QFileInfo(parentHome).fileName().startsWith(FolderPrefix) && QFileInfo(parentHome).isDir();
  QTemporaryDir home((nested ? parentHome : QDir::tempPath()) + QLatin1Char('/') + FolderPrefix +
                     QString::number(getpid()) + QStringLiteral("-XXXXXX"));
  if (!home.isValid()) return 2;
  RemoveHomeFolderOnEveryEnd(home.path());
  const QByteArray root = home.path().toUtf8();
  setenv("HOME", root.constData(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
  setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
  setenv("XDG_CACHE_HOME", (root + "/cache").constData(), 1);
  setenv("XDG_DOCUMENTS_DIR", (root + "/Documents").constData(), 1);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QDir(home.path()).mkpath(QStringLiteral("runtime"));
  QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  setenv("XDG_RUNTIME_DIR", (root + "/runtime").constData(), 1);

  TTestApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new TTestEnvironment(home.path()));
  return RUN_ALL_TESTS();
}
