#include "vlPrompts.h"

#include <cstdio>

namespace {

TPromptButton EscapeAnswer(const QList<TPromptButton> &Buttons, TPromptButton DefaultButton) {
  if (Buttons.contains(TPromptButton::pbCancel)) return TPromptButton::pbCancel;
  if (Buttons.contains(DefaultButton)) return DefaultButton;
  return TPromptButton::pbNone;
}

// Used before the program installs its widget prompts (and by command-line tools): never blocks.
class TSilentPrompts final : public TPrompts {
 public:
  void Message(const QString &Text, TPromptIcon) override {
    std::fprintf(stderr, "%s\n", Text.toLocal8Bit().constData());
  }
  TPromptButton Ask(const QString &Text, const QList<TPromptButton> &Buttons,
                    TPromptButton DefaultButton, TPromptIcon) override {
    std::fprintf(stderr, "%s\n", Text.toLocal8Bit().constData());
    return EscapeAnswer(Buttons, DefaultButton);
  }
  std::optional<QString> Password(const QString &, const QString &) override {
    return std::nullopt;
  }
  QString OpenFileName(const QString &, const QString &, const QString &) override { return {}; }
  QString SaveFileName(const QString &, const QString &, const QString &) override { return {}; }
};

TPrompts *gInstalled = nullptr;

}  // namespace

TPrompts &Prompts() {
  if (gInstalled) return *gInstalled;
  static TSilentPrompts silent;
  return silent;
}

void SetPrompts(TPrompts *NewPrompts) { gInstalled = NewPrompts; }

TScopedPrompts::TScopedPrompts(TPrompts &Installed) : FPrevious(gInstalled) {
  gInstalled = &Installed;
}

TScopedPrompts::~TScopedPrompts() { gInstalled = FPrevious; }

QStringList TScriptedPrompts::AskedTexts() const {
  QStringList texts;
  for (const RAsked &a : FAsked) texts << a.Text;
  return texts;
}

void TScriptedPrompts::Clear() {
  FAnswers.clear();
  FPasswords.clear();
  FFileNames.clear();
  FChoices.clear();
  FAsked.clear();
  FUnscripted = 0;
}

void TScriptedPrompts::Message(const QString &Text, TPromptIcon Icon) {
  FAsked.append({RAsked::akMessage, Text, Icon, {TPromptButton::pbOk}, {}, {}, {}});
}

TPromptButton TScriptedPrompts::Ask(const QString &Text, const QList<TPromptButton> &Buttons,
                                    TPromptButton DefaultButton, TPromptIcon Icon) {
  FAsked.append({RAsked::akAsk, Text, Icon, Buttons, {}, {}, {}});
  if (FAnswers.empty()) {
    ++FUnscripted;
    return EscapeAnswer(Buttons, DefaultButton);
  }
  const TPromptButton answer = FAnswers.front();
  FAnswers.pop_front();
  return answer;
}

std::optional<QString> TScriptedPrompts::Password(const QString &Title, const QString &Prompt) {
  FAsked.append({RAsked::akPassword,
                 Title + QLatin1Char('\n') + Prompt,
                 TPromptIcon::piQuestion,
                 {},
                 {},
                 {},
                 {}});
  if (FPasswords.empty()) {
    ++FUnscripted;
    return std::nullopt;
  }
  std::optional<QString> answer;
  answer.swap(FPasswords.front());
  FPasswords.pop_front();
  return answer;
}

QString TScriptedPrompts::NextFileName() {
  if (FFileNames.empty()) {
    ++FUnscripted;
    return {};
  }
  QString answer = FFileNames.front();
  FFileNames.pop_front();
  return answer;
}

QString TScriptedPrompts::OpenFileName(const QString &Caption, const QString &Folder,
                                       const QString &Filter) {
  FAsked.append({RAsked::akOpenFile, Caption, TPromptIcon::piQuestion, {}, Folder, Filter, {}});
  return NextFileName();
}

QString TScriptedPrompts::SaveFileName(const QString &Caption, const QString &SuggestedPath,
                                       const QString &Filter) {
  FAsked.append(
      {RAsked::akSaveFile, Caption, TPromptIcon::piQuestion, {}, SuggestedPath, Filter, {}});
  return NextFileName();
}

QString TScriptedPrompts::ChooseItem(const QString &Title, const QStringList &Items) {
  FAsked.append({RAsked::akChoose, Title, TPromptIcon::piQuestion, {}, {}, {}, Items});
  if (FChoices.empty()) {
    ++FUnscripted;
    return {};
  }
  QString answer = FChoices.front();
  FChoices.pop_front();
  return answer;
}
