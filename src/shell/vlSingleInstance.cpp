#include "vlSingleInstance.h"

#include "vlGlobals.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {

// One line each way: the later start asks, the holder answers once it has scheduled the raise.
constexpr char RaiseRequest[] = "raise\n";
constexpr char RaiseAnswer[] = "ok\n";

}  // namespace

TSingleInstance::TSingleInstance(const QString &LockPath, QString ServerPath, QObject *Parent)
    : QObject(Parent), FLock(LockPath), FServerPath(std::move(ServerPath)) {
  // Only a dead owner makes the lock stale, never its age: a program may run for weeks.
  FLock.setStaleLockTime(0);
}

TSingleInstance::~TSingleInstance() {
  if (FServer) FServer->close();
  if (FLock.isLocked()) FLock.unlock();
}

QString TSingleInstance::DefaultLockPath(const QString &DocumentsFolder) {
  return DocumentsFolder + QStringLiteral("/Vellomar.lock");
}

QString TSingleInstance::DefaultServerPath() {
  // A bare name would land in the shared temporary folder; the runtime folder is the user's own.
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder + QStringLiteral("/vellomar.sock");
}

bool TSingleInstance::IsListening() const { return FServer && FServer->isListening(); }

TSingleInstance::TOutcome TSingleInstance::Acquire(int AnswerMSecs) {
  QDir().mkpath(QFileInfo(FLock.fileName()).absolutePath());
  if (FLock.tryLock(0)) {
    Listen();
    return soFirst;
  }
  if (FLock.error() != QLockFile::LockFailedError) {
    TraceWrite(QStringLiteral("Cannot create the lock file %1; starting without the one-program "
                              "guard")
                   .arg(FLock.fileName()));
    Listen();
    return soFirst;
  }
  return AskHolderToRaise(AnswerMSecs);
}

void TSingleInstance::Listen() {
  FServer = new QLocalServer(this);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  // We hold the lock, so a socket file left at the path belongs to a program that is gone.
  QLocalServer::removeServer(FServerPath);
  if (!FServer->listen(FServerPath)) {
    TraceWrite(QStringLiteral("Cannot listen on %1 (%2): a later start cannot bring this window "
                              "forward")
                   .arg(FServerPath, FServer->errorString()));
    return;
  }
  connect(FServer, &QLocalServer::newConnection, this, &TSingleInstance::OnNewConnection);
}

void TSingleInstance::OnNewConnection() {
  while (QLocalSocket *socket = FServer->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    const auto answer = [this, socket] {
      if (!socket->canReadLine()) return;
      const QByteArray line = socket->readLine();
      if (line == RaiseRequest) {
        socket->write(RaiseAnswer);
        socket->flush();
        Q_EMIT RaiseRequested();
      }
      socket->disconnectFromServer();
    };
    connect(socket, &QLocalSocket::readyRead, this, answer);
    answer();
  }
}

TSingleInstance::TOutcome TSingleInstance::AskHolderToRaise(int AnswerMSecs) {
  // The holder listens right after taking the lock; a start in that moment retries briefly.
  QDeadlineTimer deadline(AnswerMSecs);
  QLocalSocket socket;
  for (;;) {
    socket.connectToServer(FServerPath);
    if (socket.waitForConnected(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) break;
    if (deadline.hasExpired()) return soInUse;
    QThread::msleep(50);
  }
  socket.write(RaiseRequest);
  if (!socket.waitForBytesWritten(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
    return soInUse;
  while (!socket.canReadLine()) {
    if (deadline.hasExpired() ||
        !socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
      return soInUse;
  }
  return socket.readLine() == RaiseAnswer ? soAlreadyRunning : soInUse;
}
