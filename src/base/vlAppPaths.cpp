#include "vlAppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

namespace {

std::optional<TAppPaths> &Installed() {
  static std::optional<TAppPaths> paths;
  return paths;
}

QString ProgramSamplesFolder() {
  // Next to the executable in the build tree; under share/vellomar when installed.
  if (QCoreApplication::instance()) {
    const QString besideProgram =
        QCoreApplication::applicationDirPath() + QStringLiteral("/Samples");
    if (QFileInfo(besideProgram).isDir()) return besideProgram;
    const QString installed = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                              QStringLiteral("/../share/vellomar/Samples"));
    if (QFileInfo(installed).isDir()) return installed;
    return besideProgram;
  }
  return QStringLiteral("Samples");
}

}  // namespace

TAppPaths TAppPaths::FromSystem() {
  TAppPaths p;
  p.FDocuments = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) +
                 QStringLiteral("/Vellomar");
  p.FData = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
            QStringLiteral("/Vellomar");
  p.FSettings = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/Vellomar/2009.ini");
  p.FSamples = ProgramSamplesFolder();
  return p;
}

TAppPaths TAppPaths::UnderRoot(const QString &Root) {
  TAppPaths p;
  p.FDocuments = Root + QStringLiteral("/Documents/Vellomar");
  p.FData = Root + QStringLiteral("/data/Vellomar");
  p.FSettings = Root + QStringLiteral("/config/Vellomar/2009.ini");
  p.FSamples = Root + QStringLiteral("/Samples");
  return p;
}

const TAppPaths &AppPaths() {
  auto &installed = Installed();
  if (!installed) installed = TAppPaths::FromSystem();
  return *installed;
}

void SetAppPaths(const TAppPaths &Paths) { Installed() = Paths; }
