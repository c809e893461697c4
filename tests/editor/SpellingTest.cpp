// Spelling without widgets: the words of a text, the common mistakes, the checker over the tiny
// dictionary of the test tree (data/spell/tiny: "the cat sat on ..."), the personal word list
// shared by checkers, the choice of dictionary, the correction that keeps the characters'
// moments, and the marks cached per paragraph.

#include "vlSpelling.h"
#include "vlTestSupport.h"
#include "vlTextFile.h"
#include "vl_Document.h"
#include "vldTemporal.h"
#include "vldUndoHistory.h"
#include "vleTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }
const QString Dictionaries = S(VLE_DATA_DIR "/spell");

// New text stands at the moment of the text around it, as while listening to a recording.
class TContextBroker final : public TEffectiveTimeBroker {
 public:
  TDateTime BrokeredEffectiveWhen(TDateTime Context) override { return Context; }
};

std::vector<QString> WordsOf(const char *Text) {
  const QString text = S(Text);
  std::vector<QString> out;
  for (const RWordSpan &w : SpellWords(text)) out.push_back(text.mid(w.Start, w.Length));
  return out;
}

TEST(Spelling, WordsAreRunsOfLettersWithInnerApostrophesAndHyphens) {
  const struct {
    const char *Text;
    std::vector<QString> Words;
  } rows[] = {
      {"the cat sat", {S("the"), S("cat"), S("sat")}},
      {"cat's well-known", {S("cat's"), S("well-known")}},
      {"'quoted' -dash- end.", {S("quoted"), S("dash"), S("end")}},
      {"mp3 3rd-party x ok", {S("ok")}},  // touching digits, single letters: left out
      {"Stra\u00dfe caf\u00e9", {S("Stra\u00dfe"), S("caf\u00e9")}},
      {"", {}},
      {"   ,.;", {}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Text);
    EXPECT_EQ(WordsOf(row.Text), row.Words);
  }
}

TEST(Spelling, CommonMistakesAreCorrectedInTheirCapitalisation) {
  const struct {
    const char *Word, *Fix;
  } rows[] = {
      {"teh", "the"},    {"Teh", "The"},    {"TEH", "THE"}, {"adn", "and"}, {"recieve", "receive"},
      {"wich", "which"}, {"alot", "a lot"}, {"the", ""},    {"tehx", ""},   {"", ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Word);
    EXPECT_EQ(CommonMistakeCorrection(S(row.Word)), S(row.Fix));
  }
}

TEST(Spelling, CheckerKnowsTheDictionaryAndSuggests) {
  TSpellChecker c;
  // Without a dictionary nothing is marked.
  EXPECT_TRUE(c.IsCorrect(S("qwzx")));
  EXPECT_FALSE(c.Load(Dictionaries, S("missing")));
  EXPECT_FALSE(c.IsLoaded());
  ASSERT_TRUE(c.Load(Dictionaries, S("tiny")));
  EXPECT_EQ(c.DictionaryName(), S("tiny"));
  const struct {
    const char *Word;
    bool Known;
  } rows[] = {{"the", true},   {"The", true},    {"CAT", true},     {"teh", false},
              {"catt", false}, {"moment", true}, {"moments", false}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Word);
    EXPECT_EQ(c.IsCorrect(S(row.Word)), row.Known);
  }
  EXPECT_TRUE(c.Suggest(S("teh")).contains(S("the")));
  EXPECT_TRUE(c.Suggest(S("catt")).contains(S("cat")));
  EXPECT_LE(c.Suggest(S("tat"), 2).size(), 2);
}

TEST(Spelling, ADictionaryInAnotherEncodingChecksAndSuggestsInUnicode) {
  TFreshFolder folder;
  TSpellChecker c(folder.File(S("words.txt")));
  ASSERT_TRUE(c.Load(Dictionaries, S("latin1")));  // its .aff says SET ISO8859-1
  EXPECT_TRUE(c.IsCorrect(S("caf\u00e9")));
  EXPECT_TRUE(c.IsCorrect(S("Stra\u00dfe")));
  EXPECT_FALSE(c.IsCorrect(S("cafe")));
  EXPECT_TRUE(c.Suggest(S("cafe")).contains(S("caf\u00e9")));
  // A word the dictionary's encoding cannot hold is unknown, never a crash; added, it is known.
  EXPECT_FALSE(c.IsCorrect(S("\u0436\u0443\u043a")));
  EXPECT_TRUE(c.AddToPersonal(S("na\u00efve")));
  EXPECT_TRUE(c.IsCorrect(S("na\u00efve")));
}

TEST(Spelling, PersonalWordsAreKeptAcrossCheckersAndNoneIsLost) {
  TFreshFolder folder;
  // In a folder not made yet: it is made with the list.
  const QString list = folder.File(S("data/Vellomar/Personal Dictionary.txt"));
  TSpellChecker first(list), second(list);
  ASSERT_TRUE(first.Load(Dictionaries, S("tiny")));
  ASSERT_TRUE(second.Load(Dictionaries, S("tiny")));
  EXPECT_FALSE(first.IsCorrect(S("Vellomar")));
  const auto generation = first.Generation();
  EXPECT_TRUE(first.AddToPersonal(S("Vellomar")));
  EXPECT_TRUE(first.IsCorrect(S("Vellomar")));
  EXPECT_NE(first.Generation(), generation);
  // The second was loaded before: its own word joins the first's in the file.
  EXPECT_TRUE(second.AddToPersonal(S("timeline")));
  TSpellChecker later(list);
  ASSERT_TRUE(later.Load(Dictionaries, S("tiny")));
  EXPECT_TRUE(later.IsCorrect(S("Vellomar")));
  EXPECT_TRUE(later.IsCorrect(S("timeline")));
  EXPECT_EQ(later.PersonalWords(), (QStringList{S("Vellomar"), S("timeline")}));

  // A list that cannot be written: the word still counts for this session, the failure is said.
  const QString blocked = folder.File(S("blocker"));
  ASSERT_TRUE(WriteFileAtomically(blocked, "x"));
  TSpellChecker unwritable(blocked + S("/list.txt"));
  ASSERT_TRUE(unwritable.Load(Dictionaries, S("tiny")));
  EXPECT_FALSE(unwritable.AddToPersonal(S("Vellomar")));
  EXPECT_TRUE(unwritable.IsCorrect(S("Vellomar")));
}

TEST(Spelling, DictionaryFollowsTheChoiceThenTheSystemLanguage) {
  TFreshFolder folder;
  for (const char *name : {"de_AT", "de_DE", "en_GB", "en_US", "fr_FR"}) {
    ASSERT_TRUE(WriteFileAtomically(folder.File(S(name) + S(".aff")), "SET UTF-8\n"));
    ASSERT_TRUE(WriteFileAtomically(folder.File(S(name) + S(".dic")), "0\n"));
  }
  // An .aff without its .dic is no dictionary.
  ASSERT_TRUE(WriteFileAtomically(folder.File(S("it_IT.aff")), "SET UTF-8\n"));
  EXPECT_EQ(TSpellChecker::AvailableDictionaries(folder.Path()).size(), 5);
  const struct {
    const char *Chosen, *Locale, *Picked;
  } rows[] = {
      {"fr_FR", "de_DE.UTF-8", "fr_FR"},  // the choice wins
      {"", "de_DE.UTF-8", "de_DE"},       // the system's language
      {"", "de_CH", "de_AT"},             // the same language
      {"it_IT", "it_IT", "en_US"},        // neither there
      {"", "C", "en_US"},
      {"", "en_GB@euro", "en_GB"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Locale);
    EXPECT_EQ(TSpellChecker::PickDictionary(folder.Path(), S(row.Chosen), S(row.Locale)),
              S(row.Picked));
  }
  EXPECT_EQ(TSpellChecker::PickDictionary(folder.File(S("none")), QString(), S("en_US")),
            QString());
}

TEST(Spelling, CorrectionKeepsTheMomentsOfTheCharactersItOverwrites) {
  TContextBroker broker;
  TScopedEffectiveTimeBroker scoped(broker);
  const struct {
    const char *Text;
    int Gap;  // after the word
    const char *Result;
    int CaretAfter;
  } rows[] = {
      {"I saw teh cat", 10, "I saw the cat", 11},
      {"Teh, then", 4, "The, then", 5},
      {"wich one", 5, "which one", 7},
      {"alot more", 5, "a lot more", 7},
      {"cat teh", 8, "cat the", 8},  // at the paragraph's end (Enter)
      {"ateh x", 5, "ateh x", 6},    // not a mistake of the table
      {"3teh x", 5, "3teh x", 6},    // a word touching a digit is left alone
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Text);
    TDocument doc;
    BuildDoc(doc, {row.Text});
    doc.AtPos_NoSelectionSet(TCaretPos{0, std::min(row.Gap + 1, doc.Paragraph_Length(0) + 1)});
    const TParagraph &p = *doc.Paragraph_FromSectionNum(0);
    std::vector<double> before;
    for (int k = 1; k <= p.High(); ++k) before.push_back(p.Timestamp_Get(k).FEffectiveDT);
    const bool changed = AutoCorrectWordEndingAt(doc, 0, row.Gap);
    EXPECT_EQ(changed, S(row.Text) != S(row.Result));
    EXPECT_EQ(Texts(doc), (std::vector<std::string>{row.Result}));
    EXPECT_EQ(doc.FAtPos.FGN, row.CaretAfter);
    // The characters at their old places keep their moments; what a longer word adds stands
    // next to them.
    const int common = std::min<int>(static_cast<int>(before.size()), p.High());
    for (int k = 1; k <= common && k < row.Gap; ++k)
      EXPECT_DOUBLE_EQ(p.Timestamp_Get(k).FEffectiveDT, before[k - 1]) << "character " << k;
    for (int k = 1; k <= p.High(); ++k) {
      EXPECT_GE(p.Timestamp_Get(k).FEffectiveDT, before.front());
      EXPECT_LE(p.Timestamp_Get(k).FEffectiveDT, before.back());
    }
  }
}

TEST(Spelling, ACorrectionIsOneUndoStepThatGivesTheMistakeBackWithItsMoments) {
  TContextBroker broker;
  TScopedEffectiveTimeBroker scoped(broker);
  TDocument doc;
  BuildDoc(doc, {"alot more"});
  doc.Undo_Switch(true);
  const auto moments = [&doc] {
    std::vector<RvlTimestamp> out;
    const TParagraph &p = *doc.Paragraph_FromSectionNum(0);
    for (int k = 1; k <= p.High(); ++k) out.push_back(p.Timestamp_Get(k));
    return out;
  };
  const std::vector<RvlTimestamp> before = moments();
  ASSERT_TRUE(AutoCorrectWordEndingAt(doc, 0, 5));
  ASSERT_EQ(Texts(doc), (std::vector<std::string>{"a lot more"}));
  EXPECT_EQ(doc.Undo_History().UndoCount(), 1);
  ASSERT_TRUE(doc.Undo_History().Undo());
  EXPECT_EQ(Texts(doc), (std::vector<std::string>{"alot more"}));
  EXPECT_EQ(moments(), before);
}

// The typing events of the day, as the vertical timeline lists them.
class TTypingSink final : public TTypingEventSink {
 public:
  QStringList Added, Deleted;
  void AddTypingEvent(TDateTime, QStringView Text) override { Added << Text.toString(); }
  void DeleteTypingEventAt(TDateTime, QStringView Text) override { Deleted << Text.toString(); }
};

TEST(Spelling, CorrectionListsTheCorrectedLettersAsTheDaysTyping) {
  TContextBroker broker;
  TScopedEffectiveTimeBroker scoped(broker);
  TTypingSink typing;
  TScopedTypingEventSink sink(typing);
  TDocument doc;
  BuildDoc(doc, {"teh wich "});
  ASSERT_TRUE(AutoCorrectWordEndingAt(doc, 0, 4));
  EXPECT_EQ(typing.Deleted, (QStringList{S("e"), S("h")}));
  EXPECT_EQ(typing.Added, (QStringList{S("h"), S("e")}));
  typing.Added.clear();
  ASSERT_TRUE(
      AutoCorrectWordEndingAt(doc, 0, 9));  // "which": overwritten letter by letter, one more
  EXPECT_EQ(Texts(doc), (std::vector<std::string>{"the which "}));
  EXPECT_EQ(typing.Added, (QStringList{S("h"), S("i"), S("c"), S("h")}));
}

TEST(Spelling, MarksAreCachedPerParagraphUntilItOrTheDictionaryChanges) {
  TSpellChecker c;
  ASSERT_TRUE(c.Load(Dictionaries, S("tiny")));
  TDocument doc;
  BuildDoc(doc, {"the catt sat", "on the mat", "mat xyz"});
  TSpellMarks marks;
  const TParagraph &p0 = *doc.Paragraph_FromSectionNum(0);
  EXPECT_EQ(marks.Current(p0, c), nullptr);
  const auto &m0 = marks.Check(p0, c);
  ASSERT_EQ(m0.size(), 1u);
  EXPECT_EQ(m0[0].First, 5);
  EXPECT_EQ(m0[0].Length, 4);
  EXPECT_EQ(m0[0].Word, S("catt"));
  EXPECT_NE(marks.Current(p0, c), nullptr);
  EXPECT_TRUE(marks.Check(*doc.Paragraph_FromSectionNum(1), c).empty());

  // An edit makes the paragraph's marks old; the last ones are still there to look at.
  doc.Char_Delete(TCaretPos{0, 8, false});
  EXPECT_EQ(marks.Current(p0, c), nullptr);
  ASSERT_NE(marks.Last(p0), nullptr);
  EXPECT_TRUE(marks.Check(p0, c).empty());
  // A word added to the dictionary makes every paragraph's marks old.
  const TParagraph &p2 = *doc.Paragraph_FromSectionNum(2);
  ASSERT_EQ(marks.Check(p2, c).size(), 1u);
  c.AddToPersonal(S("xyz"));
  EXPECT_EQ(marks.Current(p2, c), nullptr);
  EXPECT_TRUE(marks.Check(p2, c).empty());
  // Deleted paragraphs are let go.
  EXPECT_EQ(marks.Size(), 3u);
  doc.CaretSpan_Delete(TCaretPos{1, 1, false}, TCaretPos{2, 1, false});
  marks.Prune(doc);
  EXPECT_EQ(marks.Size(), 2u);
}

TEST(Spelling, NextUnknownWordGoesOnFromTheCaretAndRoundToTheStart) {
  TSpellChecker c;
  ASSERT_TRUE(c.Load(Dictionaries, S("tiny")));
  TDocument doc;
  BuildDoc(doc, {"aaa the", "cat bbb", "ccc"});
  const struct {
    TCaretPos From;
    int SN, First;
  } rows[] = {
      {{0, 1, false}, 0, 1}, {{0, 2, false}, 0, 1},  // inside the word: that word
      {{0, 4, false}, 1, 5}, {{1, 8, false}, 2, 1}, {{2, 4, false}, 0, 1},  // round
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.From.SN * 100 + row.From.FGN);
    TCaretPos a, b;
    ASSERT_TRUE(FindNextUnknownWord(doc, c, row.From, a, b));
    EXPECT_EQ(a.SN, row.SN);
    EXPECT_EQ(a.FGN, row.First);
    EXPECT_EQ(b.FGN, row.First + 3);
  }
  TDocument clean;
  BuildDoc(clean, {"the cat", "", "sat"});
  TCaretPos a, b;
  EXPECT_FALSE(FindNextUnknownWord(clean, c, TCaretPos{1, 1, false}, a, b));
}

}  // namespace
