// Spelling and the right-click menu in the text, through the program as main() puts it together
// (over the simulated sound server) and the system's dictionary (hunspell-en-us, which the setup
// script installs): the spelling options are stored and read back at the next start, common
// mistakes are corrected while typing, the menu offers the dictionary's suggestions and the
// window's text commands, enabled as the selection and the clipboard allow, and Edit > Check
// Spelling selects the next unknown word.

#include "vl09_Main.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vl09_OptionsFm.h"
#include "vl09_Registry.h"
#include "vlAudioTestSupport.h"
#include "vlEditorPage.h"
#include "vlProgram.h"
#include "vlProgramRig.h"
#include "vlSpelling.h"
#include "vlSpellingPart.h"
#include "vlTestSupport.h"
#include "vlTextBullets.h"
#include "vlTextContextMenu.h"
#include "vlTextFile.h"
#include "vlWindowView.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <typeinfo>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

bool HaveEnglish() {
  return TSpellChecker::AvailableDictionaries(TSpellChecker::SystemFolder()).contains(S("en_US"));
}

// One run of the program on the settings file Settings, started and shown.
struct TSpellingRun : TProgramRig {
  explicit TSpellingRun(const QString &Settings)
      : TProgramRig(RProgramStart{.Settings = Settings, .ReadSettings = true}) {}
  ~TSpellingRun() {
    // The notes typed are not kept: nothing is given back to the next test's start.
    TTestEnvironment::TestPrompts().ScriptAnswer(TPromptButton::pbNo);
  }
  TDocument &Doc() const { return *Program->Notebook()->GetActiveDocument(); }
  QString Text() const {
    return Doc().CaretSpan_Plain(TCaretPos{0, 1}, Doc().Document_LastCaretPos()).trimmed();
  }
  // A right click on the Char-th character (1-based) of the first line.
  QMenu *RightClick(int Char) const {
    TWindowView &view = View();
    TEditFormatter &f = *view.Formatter();
    const TVirtualPos left = f.Map_VirtualPosFromDocPos(TCaretPos{0, Char, false});
    const TVirtualPos right = f.Map_VirtualPosFromDocPos(TCaretPos{0, Char + 1, false});
    const QPoint at =
        view.VirtualPosToWindowPos(TVirtualPos{(left.vX + right.vX) / 2 - 1, left.vY + 5});
    QContextMenuEvent e(QContextMenuEvent::Mouse, at, view.mapToGlobal(at));
    QCoreApplication::sendEvent(&view, &e);
    return view.ContextMenu();
  }
};

QAction *Item(QMenu *Menu, const char *Name) {
  return Menu ? Menu->findChild<QAction *>(S(Name)) : nullptr;
}

TEST(CompositionSpelling, TheDictionaryIsReadWhenFirstNeededAndAgainWhenTheChoiceChanges) {
  TFreshFolder folder;
  for (const char *name : {"en_US", "xx_YY"}) {
    ASSERT_TRUE(WriteFileAtomically(folder.File(S(name) + S(".aff")), "SET UTF-8\n"));
    ASSERT_TRUE(WriteFileAtomically(folder.File(S(name) + S(".dic")), "1\nthe\n"));
  }
  TvlOptions options;
  TvlSpellingPart part(options, folder.Path(), folder.File(S("words.txt")), S("xx_YY.UTF-8"));
  EXPECT_EQ(part.WantedDictionary(), S("xx_YY"));  // the system's language
  ASSERT_NE(part.Checker(), nullptr);
  EXPECT_EQ(part.Checker()->DictionaryName(), S("xx_YY"));
  const auto generation = part.Checker()->Generation();
  options.FSpellDictionary = S("en_US");
  part.OptionsApplied();
  EXPECT_EQ(part.Checker()->DictionaryName(), S("en_US"));
  EXPECT_NE(part.Checker()->Generation(), generation);  // every mark is checked again
  options.FSpellBackground = true;
  options.FSpellAutoFix = true;
  EXPECT_TRUE(part.CheckWhileTyping());
  EXPECT_TRUE(part.CorrectCommonMistakes());

  // No dictionary installed: no checker, and Check Spelling says why.
  TvlSpellingPart none(options, folder.File(S("empty")), QString(), S("en_US"));
  EXPECT_EQ(none.Checker(), nullptr);
  const TSeamInstall<ISpelling> installed(SpellingSeam(), none);
  TDocument doc;
  TEditFormatter formatter(&doc);
  TWindowView view(nullptr, S("check"));
  view.SetFormatter(&formatter);
  TScriptedPrompts &prompts = TTestEnvironment::TestPrompts();
  prompts.Clear();
  CheckSpellingExecute(&view);
  ASSERT_EQ(prompts.Asked().size(), 1);
  EXPECT_TRUE(prompts.Asked().front().Text.contains(S("No dictionary")));
}

TEST(CompositionSpelling, OptionsAreStoredAndReadBackAtTheNextStart) {
  if (!HaveEnglish()) GTEST_SKIP() << "hunspell-en-us is not installed";
  TFreshFolder settings;
  const QString ini = settings.File(S("2009.ini"));
  {
    TSpellingRun run(ini);
    // The spelling and the text menu reach the program through their seams.
    ASSERT_TRUE(SpellingSeam().IsInstalled());
    ASSERT_TRUE(TextMenuCommandsSeam().IsInstalled());
    EXPECT_EQ(&Spelling(), static_cast<ISpelling *>(&run.Program->SpellingPart()));
    EXPECT_NE(typeid(TextMenuCommandsSeam().Get()), typeid(ITextMenuCommands));
    // The defaults: checked on request, nothing corrected.
    EXPECT_FALSE(Spelling().CheckWhileTyping());
    EXPECT_FALSE(Spelling().CorrectCommonMistakes());
    run.View().InsertCommittedText(S("x"));
    QTest::keyClicks(&run.View(), S(" teh "));
    EXPECT_EQ(run.Text(), S("x teh"));

    run.Window->ShowOptions(S("Word Processor"));
    TOptionsFm *options = run.Window->OptionsWindow();
    ASSERT_NE(options, nullptr);
    options->findChild<QRadioButton *>(S("SpellBackgroundRB"))->setChecked(true);
    options->findChild<QCheckBox *>(S("SpellAutoFixCB"))->setChecked(true);
    auto *dictionary = options->findChild<QComboBox *>(S("SpellDictionaryCmBx"));
    ASSERT_NE(dictionary, nullptr);
    dictionary->setCurrentIndex(dictionary->findData(S("en_US")));
    options->accept();
    EXPECT_TRUE(Spelling().CheckWhileTyping());
    EXPECT_TRUE(Spelling().CorrectCommonMistakes());
    ASSERT_NE(Spelling().Checker(), nullptr);
    EXPECT_EQ(Spelling().Checker()->DictionaryName(), S("en_US"));
    // Typing corrects at once.
    QTest::keyClicks(&run.View(), S("adn recieve."));
    EXPECT_EQ(run.Text(), S("x teh and receive."));
  }
  TSpellingRun again(ini);
  EXPECT_TRUE(again.Options.FSpellBackground);
  EXPECT_TRUE(again.Options.FSpellAutoFix);
  EXPECT_EQ(again.Options.FSpellDictionary, S("en_US"));
  again.Window->ShowOptions(S("Word Processor"));
  TOptionsFm *options = again.Window->OptionsWindow();
  ASSERT_NE(options, nullptr);
  EXPECT_TRUE(options->findChild<QRadioButton *>(S("SpellBackgroundRB"))->isChecked());
  EXPECT_TRUE(options->findChild<QCheckBox *>(S("SpellAutoFixCB"))->isChecked());
  EXPECT_EQ(options->findChild<QComboBox *>(S("SpellDictionaryCmBx"))->currentData().toString(),
            S("en_US"));
  options->reject();
}

TEST(CompositionSpelling, RightClickMenuRunsTheWindowsCommandsAsTheSelectionAllows) {
  if (!HaveEnglish()) GTEST_SKIP() << "hunspell-en-us is not installed";
  TFreshFolder settings;
  TSpellingRun run(settings.File(S("2009.ini")));
  run.View().InsertCommittedText(S("Notes abuot the lecture"));
  QGuiApplication::clipboard()->setText(S("pasted"));

  // Over an unknown word: the suggestions, then the commands. No selection: nothing to cut or
  // copy; the clipboard holds text: Paste.
  QMenu *menu = run.RightClick(8);
  ASSERT_NE(menu, nullptr);
  QStringList suggestions;
  for (QAction *a : menu->actions())
    if (a->objectName() == S("SpellingSuggestion")) suggestions << a->text();
  EXPECT_TRUE(suggestions.contains(S("about"))) << qPrintable(suggestions.join(u','));
  ASSERT_NE(Item(menu, "SpellingAddToDictionary"), nullptr);
  struct RRow {
    const char *Name;
    bool Enabled;
  };
  const RRow withoutSelection[] = {
      {"aFileCut", false},    {"aEditCopy", false},     {"aEditPaste", true},
      {"aFontBold", true},    {"aFontItalic", true},    {"aFontUnderline", true},
      {"aTextBullets", true}, {"aEditSelectAll", true},
  };
  for (const RRow &row : withoutSelection) {
    SCOPED_TRACE(row.Name);
    QAction *item = Item(menu, row.Name);
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->isEnabled(), row.Enabled);
    // The window's own caption and shortcut, where the window has the command.
    if (QAction *source = run.Window->findChild<QAction *>(S(row.Name))) {
      EXPECT_EQ(item->text(), source->text());
      EXPECT_EQ(item->shortcut(), source->shortcut());
    }
  }
  for (QAction *a : menu->actions())
    if (a->text() == S("about")) a->trigger();
  menu->close();
  EXPECT_EQ(run.Text(), S("Notes about the lecture"));

  // Select All from the menu; a right click inside the selection keeps it and offers Copy.
  menu = run.RightClick(2);
  EXPECT_EQ(Item(menu, "SpellingAddToDictionary"), nullptr);  // a known word
  Item(menu, "aEditSelectAll")->trigger();
  menu->close();
  // With the mouse, as a user right-clicks: the press keeps the selection too.
  {
    TWindowView &view = run.View();
    TEditFormatter &f = *view.Formatter();
    const QPoint at = view.VirtualPosToWindowPos(f.Map_VirtualPosFromDocPos(TCaretPos{0, 3}));
    QTest::mouseClick(&view, Qt::RightButton, Qt::NoModifier, at + QPoint(3, 5));
    if (QMenu *shown = view.ContextMenu()) shown->close();
  }
  menu = run.RightClick(3);
  ASSERT_TRUE(run.Doc().Select_IsAnyTextSelected());
  EXPECT_TRUE(Item(menu, "aEditCopy")->isEnabled());
  EXPECT_TRUE(Item(menu, "aFileCut")->isEnabled());
  EXPECT_FALSE(Item(menu, "aEditSelectAll")->isEnabled());  // all is selected already
  Item(menu, "aEditCopy")->trigger();
  menu->close();
  EXPECT_EQ(QGuiApplication::clipboard()->text().trimmed(), S("Notes about the lecture"));
  // Bold and the bulleted list act through the window's commands on the selection.
  menu = run.RightClick(3);
  Item(menu, "aFontBold")->trigger();
  menu->close();
  EXPECT_TRUE(run.Doc().FontStyleAt(TCharX{0, 3}).testFlag(fsBold));
  menu = run.RightClick(3);
  Item(menu, "aTextBullets")->trigger();
  menu->close();
  EXPECT_GT(Bullet_MarkerLength(run.Doc(), 0), 0);
}

TEST(CompositionSpelling, CheckSpellingSelectsTheNextUnknownWordOrSaysThereIsNone) {
  if (!HaveEnglish()) GTEST_SKIP() << "hunspell-en-us is not installed";
  TFreshFolder settings;
  TSpellingRun run(settings.File(S("2009.ini")));
  TScriptedPrompts &prompts = TTestEnvironment::TestPrompts();
  prompts.Clear();  // what start-up said (typing of an earlier test given back) is not ours
  run.View().InsertCommittedText(S("The lectuer spoke of recordnigs"));
  run.Doc().AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  QAction *check = run.MenuItem(S("&Edit"), S("Check &Spelling"));
  ASSERT_NE(check, nullptr);
  const auto selected = [&] {
    const TCaretSpan span = run.Doc().SelectionCaretSpan();
    return run.Doc().CaretSpan_Plain(span.Start, span.Stop);
  };
  check->trigger();
  EXPECT_EQ(selected(), S("lectuer"));
  check->trigger();
  EXPECT_EQ(selected(), S("recordnigs"));
  EXPECT_TRUE(prompts.Asked().isEmpty());
  // Every word known: the user is told so.
  run.Doc().AtPos_NoSelectionSet(TCaretPos{0, 1, false});
  Spelling().Checker()->AddToPersonal(S("lectuer"));
  Spelling().Checker()->AddToPersonal(S("recordnigs"));
  check->trigger();
  ASSERT_EQ(prompts.Asked().size(), 1);
  EXPECT_TRUE(prompts.Asked().front().Text.contains(S("no unknown words")));
}

}  // namespace
