#include "vlAppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <optional>

#ifndef VL_DATA_FROM_BIN
#define VL_DATA_FROM_BIN "../share/vellomar"
#endif

namespace {

std::optional<TAppPaths> &Installed() {
  static std::optional<TAppPaths> paths;
  return paths;
}

QString ProgramSamplesFolder() {
  const QString found = ProgramDataPath(QStringLiteral("Samples"));
  if (!found.isEmpty()) return found;
  // Nothing shipped: first-run copies nothing, and says so in the trace.
  return QCoreApplication::instance()
             ? QCoreApplication::applicationDirPath() + QStringLiteral("/Samples")
             : QStringLiteral("Samples");
}

}  // namespace

QStringList ProgramDataCandidates(const QString &Relative) {
  QStringList candidates;
  if (QCoreApplication::instance()) {
    const QString programFolder = QCoreApplication::applicationDirPath();
    candidates << programFolder + QLatin1Char('/') + Relative
               << QDir::cleanPath(programFolder + QStringLiteral("/" VL_DATA_FROM_BIN "/") +
                                  Relative);
  }
  // A program started through a link or moved away from its data: the data folders of the
  // desktop (XDG_DATA_DIRS, /usr/local/share and /usr/share by default).
  for (const QString &folder :
       QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
    const QString path = QDir::cleanPath(folder + QStringLiteral("/vellomar/") + Relative);
    if (!candidates.contains(path)) candidates << path;
  }
  return candidates;
}

QString ProgramDataPath(const QString &Relative) {
  for (const QString &path : ProgramDataCandidates(Relative))
    if (QFileInfo::exists(path)) return QFileInfo(path).absoluteFilePath();
  return QString();
}

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
