#include "vlSaveTarget.h"

#include <QFileInfo>

TvlAtomicFileTarget::~TvlAtomicFileTarget() { Cancel(); }

bool TvlAtomicFileTarget::Open(const QString &PathName) {
  Cancel();
  FError.clear();
  // QSaveFile would write the temporary file and only fail at the rename; say so at once.
  if (QFileInfo(PathName).isDir()) {
    FError = QStringLiteral("A folder of that name is in the way");
    return false;
  }
  FFile = std::make_unique<QSaveFile>(PathName);
  // Writing straight into the target would lose the old file when the disk fills up.
  FFile->setDirectWriteFallback(false);
  if (!FFile->open(QIODevice::WriteOnly)) {
    FError = FFile->errorString();
    FFile.reset();
    return false;
  }
  return true;
}

bool TvlAtomicFileTarget::Write(const char *Data, qsizetype Size) {
  if (!FFile) return false;
  if (FFile->write(Data, Size) != Size) {
    FError = FFile->errorString();
    return false;
  }
  return true;
}

bool TvlAtomicFileTarget::Commit() {
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

void TvlAtomicFileTarget::Cancel() {
  if (!FFile) return;
  // Without a commit QSaveFile removes its temporary file and leaves the target alone.
  FFile->cancelWriting();
  FFile.reset();
}

QString TvlAtomicFileTarget::ErrorString() const { return FError; }

bool TvlMemoryTarget::Open(const QString &) {
  FPending.clear();
  FOpen = true;
  return true;
}

bool TvlMemoryTarget::Write(const char *Data, qsizetype Size) {
  if (!FOpen) return false;
  FPending.append(Data, Size);
  return true;
}

bool TvlMemoryTarget::Commit() {
  if (!FOpen) return false;
  FCommitted = std::move(FPending);
  FPending.clear();
  FOpen = false;
  return true;
}

void TvlMemoryTarget::Cancel() {
  FPending.clear();
  FOpen = false;
}
