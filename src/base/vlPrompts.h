#pragma once
// Every message box, question, password prompt and file dialog of the program goes through
// TPrompts. The program installs the widget implementation; tests install TScriptedPrompts,
// which answers from a script and records what was asked, so that no test ever blocks.

#include <QList>
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>

enum class TPromptButton { pbNone, pbOk, pbCancel, pbYes, pbNo, pbIgnore, pbAbort, pbRetry };
enum class TPromptIcon { piInformation, piWarning, piError, piQuestion };

class TPrompts {
 public:
  virtual ~TPrompts() = default;
  // A message with an OK button.
  virtual void Message(const QString &Text, TPromptIcon Icon = TPromptIcon::piInformation) = 0;
  // A question with the given buttons; answers the button chosen, DefaultButton for Escape when
  // it is among them, else pbCancel or pbNone.
  virtual TPromptButton Ask(const QString &Text, const QList<TPromptButton> &Buttons,
                            TPromptButton DefaultButton,
                            TPromptIcon Icon = TPromptIcon::piQuestion) = 0;
  // One of Items chosen from a list under Title; empty when the user cancelled or chose nothing.
  // Prompts that cannot show a list answer empty.
  virtual QString ChooseItem(const QString &Title, const QStringList &Items) {
    (void)Title;
    (void)Items;
    return {};
  }
  // A masked line of text; nothing when the user cancelled.
  virtual std::optional<QString> Password(const QString &Title, const QString &Prompt) = 0;
  // File dialogs with Qt filters ("Notes (*.vl);;All files (*)"); empty when cancelled.
  virtual QString OpenFileName(const QString &Caption, const QString &Folder,
                               const QString &Filter) = 0;
  virtual QString SaveFileName(const QString &Caption, const QString &SuggestedPath,
                               const QString &Filter) = 0;
  // A save dialog that also answers the filter chosen in it; ChosenFilter comes in as the one to
  // select first. Prompts that cannot tell answer it empty (the caller then goes by the name).
  virtual QString SaveFileNameAndFilter(const QString &Caption, const QString &SuggestedPath,
                                        const QString &Filter, QString &ChosenFilter) {
    ChosenFilter.clear();
    return SaveFileName(Caption, SuggestedPath, Filter);
  }
};

// The prompts in use. Until the program installs its own, a silent stand-in answers every
// question with its default and writes messages to standard error.
TPrompts &Prompts();
// Installs prompts (not owned); nullptr restores the silent stand-in.
void SetPrompts(TPrompts *NewPrompts);

class TScopedPrompts {
 public:
  explicit TScopedPrompts(TPrompts &Installed);
  ~TScopedPrompts();
  TScopedPrompts(const TScopedPrompts &) = delete;
  TScopedPrompts &operator=(const TScopedPrompts &) = delete;

 private:
  TPrompts *FPrevious;
};

// Answers from a script, in order, and keeps a record of everything asked. A prompt with no
// scripted answer left answers like Escape would (the default button, no password, no file) and
// counts as unscripted, so a test can assert that nothing unexpected was asked.
class TScriptedPrompts final : public TPrompts {
 public:
  struct RAsked {
    enum TKind { akMessage, akAsk, akPassword, akOpenFile, akSaveFile, akChoose } Kind;
    QString Text;
    TPromptIcon Icon = TPromptIcon::piInformation;
    QList<TPromptButton> Buttons;
    // File dialogs: the folder or suggested path they opened at, and their filter.
    QString Folder;
    QString Filter;
    // A list to choose from: its items.
    QStringList Items;
  };

  void ScriptAnswer(TPromptButton Answer) { FAnswers.push_back(Answer); }
  void ScriptPassword(std::optional<QString> Answer) { FPasswords.push_back(std::move(Answer)); }
  void ScriptFileName(const QString &Answer) { FFileNames.push_back(Answer); }
  // The item a list question answers (empty: cancelled).
  void ScriptChoice(const QString &Answer) { FChoices.push_back(Answer); }

  const QList<RAsked> &Asked() const { return FAsked; }
  QStringList AskedTexts() const;
  int UnscriptedCount() const { return FUnscripted; }
  void Clear();

  void Message(const QString &Text, TPromptIcon Icon) override;
  TPromptButton Ask(const QString &Text, const QList<TPromptButton> &Buttons,
                    TPromptButton DefaultButton, TPromptIcon Icon) override;
  std::optional<QString> Password(const QString &Title, const QString &Prompt) override;
  QString OpenFileName(const QString &Caption, const QString &Folder,
                       const QString &Filter) override;
  QString SaveFileName(const QString &Caption, const QString &SuggestedPath,
                       const QString &Filter) override;
  QString ChooseItem(const QString &Title, const QStringList &Items) override;

 private:
  QString NextFileName();

  std::deque<TPromptButton> FAnswers;
  std::deque<std::optional<QString>> FPasswords;
  std::deque<QString> FFileNames;
  std::deque<QString> FChoices;
  QList<RAsked> FAsked;
  int FUnscripted = 0;
};
