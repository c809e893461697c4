#include "vlTermination.h"

#include "vlGlobals.h"

#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace {

// [0] is written by the handler, [1] read by the notifier.
int GPipe[2] = {-1, -1};
constexpr int Signals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void OnTerminationSignal(int Signal) {
  const unsigned char number = static_cast<unsigned char>(Signal);
  [[maybe_unused]] const ssize_t written = ::write(GPipe[0], &number, 1);
}

}  // namespace

TTerminationSignals::TTerminationSignals(QObject *Parent) : QObject(Parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, GPipe) != 0) {
    TraceWrite(QStringLiteral("Termination signals are not caught: no socket pair"));
    GPipe[0] = GPipe[1] = -1;
    return;
  }
  FNotifier = new QSocketNotifier(GPipe[1], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, [this] {
    unsigned char number = 0;
    if (::read(GPipe[1], &number, 1) == 1) Q_EMIT TerminationRequested(number);
  });
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : Signals) sigaction(signal, &action, nullptr);
}

TTerminationSignals::~TTerminationSignals() {
  for (const int signal : Signals) std::signal(signal, SIG_DFL);
  delete FNotifier;
  FNotifier = nullptr;
  for (int &fd : GPipe) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}
