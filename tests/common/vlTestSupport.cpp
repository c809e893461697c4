#include "vlTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/resource.h>
#include <csignal>

namespace {

QString gHome;
std::unique_ptr<TScriptedPrompts> gPrompts;
std::unique_ptr<TErrorLog> gErrorLog;

}  // namespace

TTestEnvironment::TTestEnvironment(QString HomeFolder) { gHome = std::move(HomeFolder); }

void TTestEnvironment::SetUp() {
  SetAppPaths(TAppPaths::UnderRoot(gHome));
  gPrompts = std::make_unique<TScriptedPrompts>();
  SetPrompts(gPrompts.get());
  gErrorLog = std::make_unique<TErrorLog>(AppPaths().DocumentsFolder());
  SetErrorLog(gErrorLog.get());
}

void TTestEnvironment::TearDown() {
  SetErrorLog(nullptr);
  SetPrompts(nullptr);
  gErrorLog.reset();
  gPrompts.reset();
}

QString TTestEnvironment::HomeFolder() { return gHome; }

TScriptedPrompts &TTestEnvironment::TestPrompts() { return *gPrompts; }

TFreshFolder::TFreshFolder() : FDir(gHome + QStringLiteral("/folder-XXXXXX")) {}

QByteArray ReadAllBytes(const QString &Path) {
  QFile f(Path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

void WriteAllBytes(const QString &Path, const QByteArray &Bytes) {
  QDir().mkpath(QFileInfo(Path).absolutePath());
  QFile f(Path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(Bytes);
}

struct TFullDisk::RSaved {
  rlimit Limit{};
  void (*Handler)(int) = nullptr;
  bool Saved = false;
};

TFullDisk::TFullDisk(qint64 Bytes) : FSaved(std::make_unique<RSaved>()) {
  if (getrlimit(RLIMIT_FSIZE, &FSaved->Limit) != 0) return;
  FSaved->Saved = true;
  FSaved->Handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = FSaved->Limit;
  small.rlim_cur = static_cast<rlim_t>(Bytes);
  FActive = setrlimit(RLIMIT_FSIZE, &small) == 0;
}

TFullDisk::~TFullDisk() {
  if (!FSaved->Saved) return;
  setrlimit(RLIMIT_FSIZE, &FSaved->Limit);
  std::signal(SIGXFSZ, FSaved->Handler);
}

RRun RunProgram(const QString &Program, const QStringList &Arguments, int TimeoutMs) {
  QProcess process;
  process.start(Program, Arguments);
  RRun run;
  if (!process.waitForFinished(TimeoutMs)) {
    process.kill();
    process.waitForFinished(10'000);
    return run;
  }
  run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  run.Out = QString::fromUtf8(process.readAllStandardOutput());
  run.Err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

QByteArray WithoutWhenSaved(QByteArray Bytes) {
  // Every tab of a binder carries one.
  for (qsizetype at = Bytes.indexOf(" WhenSaved=\""); at >= 0;
       at = Bytes.indexOf(" WhenSaved=\"", at)) {
    const qsizetype end = Bytes.indexOf('"', at + 12);
    if (end < 0) break;
    Bytes.remove(at, end + 1 - at);
  }
  return Bytes;
}
