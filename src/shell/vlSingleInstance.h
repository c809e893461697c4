#pragma once
// One running program per user. Two programs writing the same binder, backups, settings and logs
// would overwrite each other's work, so the first start takes a lock file in the documents
// folder and listens on a local socket in the user's runtime folder; a later start finds the
// lock taken, hands the files it was given to the running program through the socket (which
// opens them and brings its window forward), and ends.
//
// The socket is the user's own (in the runtime folder, owner-only access). What a peer sends is
// read as it arrives, never waited for: a request is a bounded list of absolute paths
// (vlCommandLine.h); anything else is dropped and traced, and a peer that sends nothing, or
// never finishes, is cut off after ConnectionMSecs.
//
// The lock file holds the owner's process ID: a lock left behind by a program that was killed
// or crashed is recognised as stale and taken over, so a crash never locks the user out.
//
// Called on the user-interface thread only.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

class TSingleInstance : public QObject {
  Q_OBJECT

 public:
  enum TOutcome {
    // This is the only program: the lock is held and the socket listens.
    soFirst,
    // Another program holds the lock and answered that it opens the files and comes forward.
    soAlreadyRunning,
    // Another program holds the lock but did not answer in time (still starting, or hung).
    soInUse
  };

  // LockPath: the lock file; ServerPath: the socket's path.
  TSingleInstance(const QString &LockPath, QString ServerPath, QObject *Parent = nullptr);
  ~TSingleInstance() override;

  // The lock in the documents folder and the socket in the user's runtime folder.
  static QString DefaultLockPath(const QString &DocumentsFolder);
  static QString DefaultServerPath();

  // Takes the lock, or hands Files (absolute paths) to the holder and asks it to come forward.
  // AnswerMSecs bounds the wait for the holder's answer. A lock file that cannot be created at all
  // (a read-only documents folder) does not keep the program from starting: that is traced and
  // answered as soFirst.
  TOutcome Acquire(const QStringList &Files = {}, int AnswerMSecs = 5000);
  bool HoldsLock() const { return FLock.isLocked(); }
  bool IsListening() const;
  // How long a connection may take to deliver its request (tests shorten it).
  void SetConnectionMSecs(int MSecs) { FConnectionMSecs = MSecs; }

 Q_SIGNALS:
  // A later start asked this program to open Files (none: only to come forward) and to bring
  // its window forward.
  void OpenRequested(const QStringList &Files);

 private:
  void Listen();
  TOutcome AskHolder(const QStringList &Files, int AnswerMSecs);
  void OnNewConnection();
  void Serve(QLocalSocket *Socket);

  QLockFile FLock;
  QString FServerPath;
  QLocalServer *FServer = nullptr;
  int FConnectionMSecs = 3000;
};

// The texts a refused start shows.
inline const QString AlreadyRunningText = QStringLiteral("This application is already running.");
inline const QString AlreadyInUseText = QStringLiteral("This application is already in use.");
