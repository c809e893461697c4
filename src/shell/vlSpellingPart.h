#pragma once
// The program's spelling: the checker over the dictionary the options choose (or the system
// language's, from the system's dictionary folder) with the personal word list in the data
// folder, the two spelling options as the editor asks for them (ISpelling), the main window's
// text actions for the editor's right-click menu (ITextMenuCommands), and Edit > Check Spelling.
//
// The dictionary is loaded when first needed (a start with spelling off never reads it) and again
// when the options name another one.
//
// User-interface thread only.

#include "vlSpelling.h"
#include "vlTextContextMenu.h"

#include <QPointer>
#include <QString>

#include <memory>

class QAction;
class QWidget;
class TvlOptions;

class TvlSpellingPart final : public ISpelling {
 public:
  // Folder holds the dictionaries; PersonalList is the file of the user's own words; LocaleName
  // the system's language ("de_DE").
  TvlSpellingPart(TvlOptions &Options, const QString &Folder, const QString &PersonalList,
                  const QString &LocaleName);
  // The system's folder, the data folder's "Personal Dictionary.txt", the system's language.
  explicit TvlSpellingPart(TvlOptions &Options);
  ~TvlSpellingPart() override;

  // nullptr when no dictionary is installed.
  TSpellChecker *Checker() override;
  bool CheckWhileTyping() const override;
  bool CorrectCommonMistakes() const override;
  // The options were applied: another dictionary is loaded when they name one.
  void OptionsApplied();
  // The dictionary the options lead to (empty: none installed).
  QString WantedDictionary() const;

 private:
  TvlOptions &FOptions;
  QString FFolder;
  QString FLocaleName;
  std::unique_ptr<TSpellChecker> FChecker;
  QString FLoadedFor;  // the option's value the checker was loaded for
  bool FLoaded = false;
};

// The window's actions by name, for the editor's right-click menu.
class TvlWindowTextMenuCommands final : public ITextMenuCommands {
 public:
  explicit TvlWindowTextMenuCommands(QWidget &Window) : FWindow(&Window) {}
  QAction *TextCommand(const QString &Name) override;

 private:
  QPointer<QWidget> FWindow;
};

// Edit > Check Spelling on the active page's view (ActiveView: the notebook's page): the next
// unknown word is selected; the user is told when there is none, or no dictionary.
void CheckSpellingExecute(QWidget *ActiveView);
