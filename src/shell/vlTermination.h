#pragma once
// Termination signals (SIGTERM from a shutdown or a logout, SIGHUP, SIGINT from a terminal) as a
// Qt signal on the user-interface thread, so the program can back up the notes and write its
// settings instead of ending where it stands.
//
// The handler only writes the signal's number into a socket pair, the one thing a signal handler
// may safely do; a socket notifier reads it on the user-interface thread. One object per
// process; the destructor puts the default handlers back.

#include <QObject>

class QSocketNotifier;

class TTerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit TTerminationSignals(QObject *Parent = nullptr);
  ~TTerminationSignals() override;

 Q_SIGNALS:
  void TerminationRequested(int Signal);

 private:
  QSocketNotifier *FNotifier = nullptr;
};
