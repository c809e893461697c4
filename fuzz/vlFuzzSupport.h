#pragma once
// Shared by the fuzz targets: prompts that answer nothing and show nothing (what is loaded must
// not depend on what a user answers), and a check whose failure libFuzzer reports as a finding.

#include "vlAppPaths.h"
#include "vlGlobals.h"
#include "vlPrompts.h"

#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>

class TSilentFuzzPrompts final : public TPrompts {
 public:
  void Message(const QString &, TPromptIcon) override {}
  TPromptButton Ask(const QString &, const QList<TPromptButton> &, TPromptButton Default,
                    TPromptIcon) override {
    return Default;
  }
  std::optional<QString> Password(const QString &, const QString &) override { return {}; }
  QString OpenFileName(const QString &, const QString &, const QString &) override { return {}; }
  QString SaveFileName(const QString &, const QString &, const QString &) override { return {}; }
};

// A failed check is a finding: it says where before libFuzzer reports the input.
inline void Check(bool Condition, const char *File = __builtin_FILE(),
                  int Line = __builtin_LINE()) {
  if (Condition) return;
  std::fprintf(stderr, "fuzz check failed at %s:%d\n", File, Line);
  __builtin_trap();
}

// The machine, not the code under test, failed (a scratch folder that cannot be made on a full
// or failing disk): the input is skipped with a line on stderr rather than reported as a finding.
inline int SkipInput(const char *What) {
  std::fprintf(stderr, "fuzz environment: %s failed (%s); input skipped\n", What,
               std::strerror(errno));
  return 0;
}

// Files, prompts and the error log of a fuzz run live in a temporary folder, and nothing asks a
// user anything. Called once from LLVMFuzzerInitialize.
inline void InstallFuzzEnvironment() {
  static QTemporaryDir home;
  SetAppPaths(TAppPaths::UnderRoot(home.path()));
  static TSilentFuzzPrompts prompts;
  SetPrompts(&prompts);
  static TErrorLog log(AppPaths().DocumentsFolder());
  SetErrorLog(&log);
}
