#include "vlTextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

bool WriteFileAtomically(const QString &Path, const QByteArray &Bytes, QString *ErrorText) {
  auto fail = [&](const QString &Why) {
    if (ErrorText) *ErrorText = Why;
    return false;
  };
  const QString folder = QFileInfo(Path).absolutePath();
  if (!QDir().mkpath(folder)) return fail(QStringLiteral("cannot create the folder ") + folder);
  QSaveFile file(Path);
  // Unbuffered, so that a full disk shows in write() itself: Qt 6.4's QSaveFile::commit() does
  // not fail when flushing its own buffer fails, and would put a cut file in place of the old one.
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(file.errorString());
  if (file.write(Bytes) != Bytes.size() || !file.flush()) {
    const QString why = file.errorString();
    file.cancelWriting();
    return fail(why);
  }
  if (!file.commit()) return fail(file.errorString());
  return true;
}

bool WriteTextFileAtomically(const QString &Path, const QStringList &Lines) {
  QByteArray bytes;
  for (const QString &line : Lines) bytes += line.toUtf8() + "\r\n";
  return WriteFileAtomically(Path, bytes);
}
