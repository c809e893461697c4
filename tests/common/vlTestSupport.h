#pragma once
// Test helpers shared by all test executables.
//
// TTestEnvironment installs, for the whole run, application paths under the private temporary
// home, scripted prompts and an
// error log over those paths. The prompts count what was asked without a scripted answer
// (UnscriptedCount), so a test can assert that nothing unexpected was asked. TFreshFolder gives a
// test an empty folder of its own.

#include "vlAppPaths.h"
#include "vlGlobals.h"
#include "vlPrompts.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

class TTestEnvironment : public ::testing::Environment {
 public:
  explicit TTestEnvironment(QString HomeFolder);
  void SetUp() override;
  void TearDown() override;

  static QString HomeFolder();
  // The prompts installed for the run; a test scripts them or installs its own.
  static TScriptedPrompts &TestPrompts();
};

class TFreshFolder {
 public:
  TFreshFolder();
  QString Path() const { return FDir.path(); }
  QString File(const QString &Name) const { return FDir.filePath(Name); }

 private:
  QTemporaryDir FDir;
};

// A full disk, for the object's lifetime: no file of the process may grow past Bytes, even for the
// superuser, and writes beyond fail (SIGXFSZ is ignored meanwhile). The limit is lifted when the
// object goes, however the test ends, so it never reaches a later test.
class TFullDisk {
 public:
  explicit TFullDisk(qint64 Bytes);
  ~TFullDisk();
  TFullDisk(const TFullDisk &) = delete;
  TFullDisk &operator=(const TFullDisk &) = delete;
  // False when the limit could not be set (the test should not go on).
  bool Active() const { return FActive; }

 private:
  struct RSaved;
  std::unique_ptr<RSaved> FSaved;
  bool FActive = false;
};

// Reads a whole file as bytes; empty when it does not exist.
QByteArray ReadAllBytes(const QString &Path);
void WriteAllBytes(const QString &Path, const QByteArray &Bytes);

// A program run to its end: its exit code (-1 when it did not end in time and was killed, -2
// when it crashed) and what it wrote, read as UTF-8.
struct RRun {
  int Exit = -1;
  QString Out;
  QString Err;
};
RRun RunProgram(const QString &Program, const QStringList &Arguments, int TimeoutMs = 120'000);

// A notes file's or binder's bytes without the moments of their saving, so that two saves can be
// compared.
QByteArray WithoutWhenSaved(QByteArray Bytes);

// Lets the event loop run until Done holds or LimitMSecs pass (generous: the machine may be
// loaded); answers Done().
template <typename TDone>
bool WaitForEvents(TDone Done, int LimitMSecs = 10000) {
  QElapsedTimer waited;
  waited.start();
  while (!Done() && waited.elapsed() < LimitMSecs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return Done();
}
