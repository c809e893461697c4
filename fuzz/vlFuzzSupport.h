#pragma once
// Shared by the fuzz targets: prompts that answer nothing and show nothing (what is loaded must
// not depend on what a user answers), and a check whose failure libFuzzer reports as a finding.

#include "vlPrompts.h"

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
