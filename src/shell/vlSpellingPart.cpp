#include "vlSpellingPart.h"

#include "vl09_Options.h"
#include "vlAppPaths.h"
#include "vlPrompts.h"
#include "vlTextCommands.h"
#include "vlWindowView.h"

#include <QAction>
#include <QLocale>
#include <QWidget>

TvlSpellingPart::TvlSpellingPart(TvlOptions &Options, const QString &Folder,
                                 const QString &PersonalList, const QString &LocaleName)
    : FOptions(Options),
      FFolder(Folder),
      FLocaleName(LocaleName),
      FChecker(std::make_unique<TSpellChecker>(PersonalList)) {}

TvlSpellingPart::TvlSpellingPart(TvlOptions &Options)
    : TvlSpellingPart(Options, TSpellChecker::SystemFolder(),
                      AppPaths().DataFolder() + QStringLiteral("/Personal Dictionary.txt"),
                      QLocale::system().name()) {}

TvlSpellingPart::~TvlSpellingPart() = default;

QString TvlSpellingPart::WantedDictionary() const {
  return TSpellChecker::PickDictionary(FFolder, FOptions.FSpellDictionary, FLocaleName);
}

TSpellChecker *TvlSpellingPart::Checker() {
  if (!FLoaded || FLoadedFor != FOptions.FSpellDictionary) {
    FLoaded = true;
    FLoadedFor = FOptions.FSpellDictionary;
    FChecker->Load(FFolder, WantedDictionary());
  }
  return FChecker->IsLoaded() ? FChecker.get() : nullptr;
}

bool TvlSpellingPart::CheckWhileTyping() const { return FOptions.FSpellBackground; }

bool TvlSpellingPart::CorrectCommonMistakes() const { return FOptions.FSpellAutoFix; }

void TvlSpellingPart::OptionsApplied() {
  // Loaded again at the next question only when it was loaded and the choice changed.
  if (FLoaded && FLoadedFor != FOptions.FSpellDictionary) Checker();
}

QAction *TvlWindowTextMenuCommands::TextCommand(const QString &Name) {
  return FWindow ? FWindow->findChild<QAction *>(Name) : nullptr;
}

void CheckSpellingExecute(QWidget *ActiveView) {
  TWindowView *view = WindowViewOf(ActiveView);
  if (!view) return;
  if (!Spelling().Checker()) {
    Prompts().Message(QStringLiteral("No dictionary for spelling is installed (in %1).")
                          .arg(TSpellChecker::SystemFolder()));
    return;
  }
  if (!view->Spelling_CheckOnRequest())
    Prompts().Message(QStringLiteral("The spelling check is complete: no unknown words."));
}
