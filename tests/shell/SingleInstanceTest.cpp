// The running program's side of the socket: a request's files arrive whole; garbage, silence and
// floods are dropped without holding up the program, and a later good request is still served.

#include "vlCommandLine.h"
#include "vlSingleInstance.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

template <typename TDone>
bool SpinUntil(TDone Done, int MSecs = 5000) {
  QElapsedTimer waited;
  waited.start();
  while (!Done() && waited.elapsed() < MSecs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return Done();
}

struct TRunningProgram {
  TFreshFolder Folder;
  TSingleInstance Instance{Folder.File(S("Vellomar.lock")), Folder.File(S("vellomar.sock"))};
  QList<QStringList> Requests;

  TRunningProgram() {
    Instance.SetConnectionMSecs(300);
    QObject::connect(&Instance, &TSingleInstance::OpenRequested,
                     [this](const QStringList &Files) { Requests << Files; });
    EXPECT_EQ(Instance.Acquire(), TSingleInstance::soFirst);
    EXPECT_TRUE(Instance.IsListening());
  }
  QString Socket() const { return Folder.File(S("vellomar.sock")); }
};

// Sends Bytes (in one write) and answers what came back before the program hung up.
QByteArray Send(const QString &Socket, const QByteArray &Bytes, bool *HungUp = nullptr) {
  QLocalSocket peer;
  peer.connectToServer(Socket);
  EXPECT_TRUE(peer.waitForConnected(2000));
  peer.write(Bytes);
  peer.flush();
  QByteArray answer;
  const bool gone = SpinUntil([&] {
    answer += peer.readAll();
    return peer.state() == QLocalSocket::UnconnectedState;
  });
  if (HungUp) *HungUp = gone;
  return answer;
}

}  // namespace

TEST(SingleInstance, TheSocketIsTheUsersOwn) {
  TRunningProgram program;
  const QFileInfo socket(program.Socket());
  ASSERT_TRUE(socket.exists());
  EXPECT_FALSE(socket.permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                       QFileDevice::ReadOther | QFileDevice::WriteOther));
}

TEST(SingleInstance, ARequestsFilesArriveAndBadPeersAreCutOff) {
  TRunningProgram program;
  const QStringList files{S("/home/u/B.vl"), S("/home/u/T.vlTab")};
  EXPECT_EQ(Send(program.Socket(), EncodeOpenRequest(files)), QByteArray("ok\n"));
  ASSERT_TRUE(SpinUntil([&] { return program.Requests.size() == 1; }));
  EXPECT_EQ(program.Requests[0], files);

  struct RCase {
    const char *Name;
    QByteArray Bytes;
  } bad[] = {
      {"garbage", "GET / HTTP/1.0\r\n\r\n"},
      {"nothing", ""},
      {"never finished", "open 1\n/home/u/C.vl\n"},
      {"flood", "open 1\n" + QByteArray(MaxRequestBytes + 10, '/')},
  };
  for (const RCase &c : bad) {
    SCOPED_TRACE(c.Name);
    QElapsedTimer took;
    took.start();
    bool hungUp = false;
    EXPECT_EQ(Send(program.Socket(), c.Bytes, &hungUp), QByteArray());
    EXPECT_TRUE(hungUp) << "the program hangs up on the peer";
    EXPECT_LT(took.elapsed(), 4000);
  }
  EXPECT_EQ(program.Requests.size(), 1) << "nothing of the bad peers was taken";

  // A silent peer that stays connected does not keep the next start from being served.
  QLocalSocket silent;
  silent.connectToServer(program.Socket());
  ASSERT_TRUE(silent.waitForConnected(2000));
  EXPECT_EQ(Send(program.Socket(), EncodeOpenRequest({S("/home/u/D.vl")})), QByteArray("ok\n"));
  ASSERT_TRUE(SpinUntil([&] { return program.Requests.size() == 2; }));
  EXPECT_EQ(program.Requests[1], QStringList{S("/home/u/D.vl")});
}
