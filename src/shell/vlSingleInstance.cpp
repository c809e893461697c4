#include "vlSingleInstance.h"

#include "vlCommandLine.h"
#include "vlGlobals.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

// The holder answers a complete request with one line once it has taken the files.
constexpr char RequestAnswer[] = "ok\n";

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

TSingleInstance::TOutcome TSingleInstance::Acquire(const QStringList &Files, int AnswerMSecs) {
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
  return AskHolder(Files, AnswerMSecs);
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
  while (QLocalSocket *socket = FServer->nextPendingConnection()) Serve(socket);
}

void TSingleInstance::Serve(QLocalSocket *Socket) {
  // Everything about this connection lives with the socket: its reader and its deadline.
  connect(Socket, &QLocalSocket::disconnected, Socket, &QObject::deleteLater);
  auto reader = std::make_shared<TOpenRequestReader>();
  auto *deadline = new QTimer(Socket);
  deadline->setSingleShot(true);
  const auto finish = [Socket, deadline] {
    deadline->stop();
    Socket->disconnectFromServer();
    if (Socket->state() == QLocalSocket::UnconnectedState) Socket->deleteLater();
  };
  connect(deadline, &QTimer::timeout, Socket, [Socket, finish] {
    TraceWrite(QStringLiteral("A later start sent no complete request in time; dropped"));
    Socket->abort();
    finish();
  });
  const auto take = [this, Socket, reader, finish] {
    if (reader->State() != TOpenRequestReader::rsIncomplete) {
      Socket->readAll();  // nothing more is wanted from this peer
      return;
    }
    // Only what has arrived: never a wait on the peer.
    const TOpenRequestReader::TState state =
        reader->Feed(Socket->read(qMin<qint64>(Socket->bytesAvailable(), MaxRequestBytes + 1)));
    for (const QString &dropped : reader->Dropped())
      TraceWrite(QStringLiteral("A later start's request: ") + dropped);
    if (state == TOpenRequestReader::rsIncomplete) return;
    if (state == TOpenRequestReader::rsComplete) {
      Socket->write(RequestAnswer);
      Socket->flush();
      const QStringList files = reader->Files();
      finish();
      Q_EMIT OpenRequested(files);
      return;
    }
    Socket->abort();
    finish();
  };
  connect(Socket, &QLocalSocket::readyRead, this, take);
  deadline->start(FConnectionMSecs);
  if (Socket->bytesAvailable() > 0) take();
}

TSingleInstance::TOutcome TSingleInstance::AskHolder(const QStringList &Files, int AnswerMSecs) {
  // The holder listens right after taking the lock; a start in that moment retries briefly.
  QDeadlineTimer deadline(AnswerMSecs);
  QLocalSocket socket;
  for (;;) {
    socket.connectToServer(FServerPath);
    if (socket.waitForConnected(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) break;
    if (deadline.hasExpired()) return soInUse;
    QThread::msleep(50);
  }
  socket.write(EncodeOpenRequest(Files));
  while (socket.bytesToWrite() > 0) {
    if (!socket.waitForBytesWritten(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
      return soInUse;
  }
  while (!socket.canReadLine()) {
    if (deadline.hasExpired() ||
        !socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
      return soInUse;
  }
  return socket.readLine() == RequestAnswer ? soAlreadyRunning : soInUse;
}
