#pragma once
// Shared by the fuzz targets: prompts that answer nothing and show nothing (what is loaded must
// not depend on what a user answers), and a check whose failure libFuzzer reports as a finding.

#include "vlAppPaths.h"
#include "vlGlobals.h"
#include "vlPrompts.h"

#include <QTemporaryDir>

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

inline void Check(bool Condition) {
  if (!Condition) __builtin_trap();
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
