#pragma once
// Where a writer's bytes go. A file of the user's data is never written in place: the bytes go
// to a temporary file beside the target, and only a successful Commit replaces the target, in one
// step. Until then, and whenever anything fails, the old file stays exactly as it was.
//
// The seam exists so that tests can make writing or committing fail, and so that a file can be
// built in memory.

#include "vlTextFile.h"

#include <QByteArray>
#include <QString>

class TvlSaveTarget {
 public:
  virtual ~TvlSaveTarget() = default;
  // False when the target cannot be written at all (missing folder, a folder in the way, no
  // temporary file can be made); ErrorString says why.
  virtual bool Open(const QString &PathName) = 0;
  // False when not every byte was taken; nothing later can make the file good again.
  virtual bool Write(const char *Data, qsizetype Size) = 0;
  // Makes the written bytes the target's content in one step. False leaves the target as it was.
  virtual bool Commit() = 0;
  // Drops whatever was written; the target stays as it was. Safe to call at any time.
  virtual void Cancel() = 0;
  virtual QString ErrorString() const = 0;
};

// The real thing: the program's one atomic writer (TAtomicFile), which writes a temporary file in
// the target's folder and renames it over the target. Writing straight to the target is never
// used as a fallback.
class TvlAtomicFileTarget : public TvlSaveTarget {
 public:
  bool Open(const QString &PathName) override { return FFile.Open(PathName); }
  bool Write(const char *Data, qsizetype Size) override { return FFile.Write(Data, Size); }
  bool Commit() override { return FFile.Commit(); }
  void Cancel() override { FFile.Cancel(); }
  QString ErrorString() const override { return FFile.ErrorString(); }

 private:
  TAtomicFile FFile;
};

// Collects the bytes in memory; Commit makes them available as Bytes().
class TvlMemoryTarget final : public TvlSaveTarget {
 public:
  bool Open(const QString &PathName) override;
  bool Write(const char *Data, qsizetype Size) override;
  bool Commit() override;
  void Cancel() override;
  QString ErrorString() const override { return QString(); }
  const QByteArray &Bytes() const { return FCommitted; }

 private:
  QByteArray FPending;
  QByteArray FCommitted;
  bool FOpen = false;
};
