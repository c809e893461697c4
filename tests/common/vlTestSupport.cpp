#include "vlTestSupport.h"

#include <QDir>
#include <QFile>

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
