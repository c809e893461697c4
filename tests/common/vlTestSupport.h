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
#include <QString>
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

// Reads a whole file as bytes; empty when it does not exist.
QByteArray ReadAllBytes(const QString &Path);
void WriteAllBytes(const QString &Path, const QByteArray &Bytes);
