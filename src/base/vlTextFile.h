#pragma once
// Files the program writes whole: the bytes go to a temporary file beside the target, which
// replaces the old file in one step once everything is on disk. A failure at any point leaves
// the old file as it was and no temporary file behind. TAtomicFile is the one writer every user
// file goes through; WriteFileAtomically is its form for bytes already in memory.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QSaveFile;

class TAtomicFile {
 public:
  TAtomicFile();
  // Without a successful Commit, the target stays as it was.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile &) = delete;
  TAtomicFile &operator=(const TAtomicFile &) = delete;

  // False when the target cannot be written at all (a folder in the way, no temporary file can
  // be made); ErrorString says why. The target's folder must exist.
  bool Open(const QString &Path);
  // False when not every byte was taken (a full disk, say); nothing later makes the file good.
  bool Write(const char *Data, qsizetype Size);
  // Makes the written bytes the target's content in one step. False leaves the target as it was.
  bool Commit();
  // Drops whatever was written. Safe at any time.
  void Cancel();
  QString ErrorString() const { return FError; }

 private:
  std::unique_ptr<QSaveFile> FFile;
  QString FError;
};

// Creates the folder when needed. False, with the reason in ErrorText when given, when anything
// fails.
bool WriteFileAtomically(const QString &Path, const QByteArray &Bytes,
                         QString *ErrorText = nullptr);
// The program's own small text files (diagnostics, lists of paths): UTF-8 with CR LF line ends.
bool WriteTextFileAtomically(const QString &Path, const QStringList &Lines);
