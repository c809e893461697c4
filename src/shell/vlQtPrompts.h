#pragma once
// The prompts as the user sees them: Qt message boxes, an input dialog for passwords and the
// platform's file dialogs. Called on the user-interface thread only.

#include "vlPrompts.h"

class QWidget;

class TQtPrompts final : public TPrompts {
 public:
  // Dialogs are centred on Parent when it is given.
  explicit TQtPrompts(QWidget *Parent = nullptr) : FParent(Parent) {}
  void SetParent(QWidget *Parent) { FParent = Parent; }

  void Message(const QString &Text, TPromptIcon Icon) override;
  TPromptButton Ask(const QString &Text, const QList<TPromptButton> &Buttons,
                    TPromptButton DefaultButton, TPromptIcon Icon) override;
  std::optional<QString> Password(const QString &Title, const QString &Prompt) override;
  QString OpenFileName(const QString &Caption, const QString &Folder,
                       const QString &Filter) override;
  QString SaveFileName(const QString &Caption, const QString &SuggestedPath,
                       const QString &Filter) override;
  QString SaveFileNameAndFilter(const QString &Caption, const QString &SuggestedPath,
                                const QString &Filter, QString &ChosenFilter) override;
  // A modal list; a double click or OK chooses.
  QString ChooseItem(const QString &Title, const QStringList &Items) override;

 private:
  QWidget *FParent;
};
