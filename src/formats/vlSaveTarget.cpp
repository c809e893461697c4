#include "vlSaveTarget.h"

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
