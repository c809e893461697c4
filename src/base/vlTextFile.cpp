#include "vlTextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

TAtomicFile::TAtomicFile() = default;

TAtomicFile::~TAtomicFile() { Cancel(); }

bool TAtomicFile::Open(const QString &Path) {
  Cancel();
  FError.clear();
  // QSaveFile would write the temporary file and only fail at the rename; say so at once.
  if (QFileInfo(Path).isDir()) {
    FError = QStringLiteral("A folder of that name is in the way");
    return false;
  }
  FFile = std::make_unique<QSaveFile>(Path);
  // Writing straight into the target would lose the old file when the disk fills up.
  FFile->setDirectWriteFallback(false);
  if (!FFile->open(QIODevice::WriteOnly)) {
    FError = FFile->errorString();
    FFile.reset();
    return false;
  }
  return true;
}

bool TAtomicFile::Write(const char *Data, qsizetype Size) {
  if (!FFile) return false;
  if (FFile->write(Data, Size) != Size) {
    FError = FFile->errorString();
    return false;
  }
  return true;
}

bool TAtomicFile::Commit() {
  if (!FFile) return false;
  // Qt 6.4's commit() ignores a failing flush of the last buffered bytes and would put a cut
  // file in place of the old one; flush first and give up on failure.
  if (!FFile->flush()) {
    FError = FFile->errorString();
    Cancel();
    return false;
  }
  const bool committed = FFile->commit();
  if (!committed) FError = FFile->errorString();
  FFile.reset();
  return committed;
}

void TAtomicFile::Cancel() {
  if (!FFile) return;
  // Without a commit QSaveFile removes its temporary file and leaves the target alone.
  FFile->cancelWriting();
  FFile.reset();
}

bool WriteFileAtomically(const QString &Path, const QByteArray &Bytes, QString *ErrorText) {
  auto fail = [&](const QString &Why) {
    if (ErrorText) *ErrorText = Why;
    return false;
  };
  const QString folder = QFileInfo(Path).absolutePath();
  if (!QDir().mkpath(folder)) return fail(QStringLiteral("cannot create the folder ") + folder);
  TAtomicFile file;
  if (!file.Open(Path) || !file.Write(Bytes.constData(), Bytes.size()) || !file.Commit())
    return fail(file.ErrorString());
  return true;
}

bool WriteTextFileAtomically(const QString &Path, const QStringList &Lines) {
  QByteArray bytes;
  for (const QString &line : Lines) bytes += line.toUtf8() + "\r\n";
  return WriteFileAtomically(Path, bytes);
}
