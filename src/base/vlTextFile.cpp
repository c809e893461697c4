#include "vlTextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

bool WriteTextFileAtomically(const QString &Path, const QStringList &Lines) {
  QDir().mkpath(QFileInfo(Path).absolutePath());
  QSaveFile file(Path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  for (const QString &line : Lines) {
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (file.write(bytes) != bytes.size()) {
      file.cancelWriting();
      return false;
    }
  }
  return file.commit();
}
