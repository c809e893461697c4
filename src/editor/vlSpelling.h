#pragma once
// Spelling of the notes, without widgets: the checker over a Hunspell dictionary with the user's
// personal word list, the words of a text, the table of common mistakes corrected while typing,
// and the unknown words of a document's paragraphs, cached per paragraph so that checking runs
// when the editor is idle and never on the path of a key.
//
// Dictionaries are pairs NAME.aff + NAME.dic (NAME a language such as "en_US") in a folder, by
// default the system's /usr/share/hunspell. The personal word list is a UTF-8 text file, one word
// a line; words added are appended at once (the whole file is written again through one atomic
// replacement), so every checker made later, in this process or the next, knows them.
//
// User-interface thread only.

#include "vlSeam.h"
#include "vldSection.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class Hunspell;
class TDocument;
class TParagraph;

// ---- Words -----------------------------------------------------------------------------------

// A word of a text: letters, with apostrophes and hyphens inside it (not at its ends). Start is
// 0-based in the text it came from.
struct RWordSpan {
  int Start = 0;
  int Length = 0;
  friend bool operator==(const RWordSpan &, const RWordSpan &) = default;
};

// The words of Text worth checking: runs of letters (apostrophes and hyphens joining letters stay
// inside). Runs touching a digit ("mp3", "2nd") are left out, so are single letters.
std::vector<RWordSpan> SpellWords(QStringView Text);

// The correction of a common typing mistake ("teh" -> "the"), in the word's capitalisation
// ("Teh" -> "The", "TEH" -> "THE"); empty when Word is not in the table.
QString CommonMistakeCorrection(QStringView Word);

// The word of paragraph SN that ends just before the gap Gap (a separator the user typed, or the
// paragraph's end after Enter) corrected in place when it is a common mistake. Each character
// that stays at its place is overwritten as a typed replacement is (it keeps its moment and
// font; the day's typing events list the new letter), a longer correction types what it adds
// after them, a shorter one deletes the rest. The caret, when after the word, stays after it.
// Answers whether a correction was made.
bool AutoCorrectWordEndingAt(TDocument &Doc, int SN, int Gap);
// Characters First..First + Length - 1 of paragraph SN become NewText the same way (a chosen
// suggestion). The caret, when after the word, stays after it. False when the range is not there.
bool ReplaceWordKeepingMoments(TDocument &Doc, int SN, int First, int Length,
                               const QString &NewText);

// ---- The checker -----------------------------------------------------------------------------

class TSpellChecker {
 public:
  // The dictionaries of Folder: the names having both an .aff and a .dic file, sorted.
  static QStringList AvailableDictionaries(const QString &Folder);
  // The dictionary to use: Chosen when Folder has it; else the system language's (LocaleName,
  // such as "de_DE" or "pt_BR.UTF-8"); else one of the same language ("de_AT" for "de"); else
  // "en_US"; else the first there is; empty when Folder has none.
  static QString PickDictionary(const QString &Folder, const QString &Chosen,
                                const QString &LocaleName);
  static QString SystemFolder() { return QStringLiteral("/usr/share/hunspell"); }

  // PersonalList: the file of the user's own words (empty: none kept).
  explicit TSpellChecker(const QString &PersonalList = QString());
  ~TSpellChecker();
  TSpellChecker(const TSpellChecker &) = delete;
  TSpellChecker &operator=(const TSpellChecker &) = delete;

  // Loads Folder/Name.aff and .dic and then the personal words; false (no dictionary in use)
  // when either file is missing.
  bool Load(const QString &Folder, const QString &Name);
  bool IsLoaded() const { return FHunspell != nullptr; }
  QString DictionaryName() const { return FName; }

  // Without a dictionary every word is correct. Words the dictionary cannot encode are unknown.
  bool IsCorrect(QStringView Word) const;
  // At most Max suggestions, best first.
  QStringList Suggest(QStringView Word, int Max = 8) const;
  // The word is correct from now on, here and in every checker made later. False when the
  // personal list cannot be written (the word is still accepted for this session).
  bool AddToPersonal(const QString &Word);
  const QStringList &PersonalWords() const { return FPersonal; }

  // Moves whenever the answers may have changed (a dictionary loaded, a word added): cached
  // results of an older generation are checked again.
  std::uint64_t Generation() const { return FGeneration; }

 private:
  std::string Encode(QStringView Word, bool &Ok) const;
  QString Decode(const std::string &Bytes) const;
  void ReadPersonal();

  std::unique_ptr<Hunspell> FHunspell;
  QString FName;
  QString FEncoding;  // the dictionary's, as its .aff file names it
  QString FPersonalFile;
  QStringList FPersonal;
  std::uint64_t FGeneration = 1;
};

// ---- What the editor asks ----------------------------------------------------------------------

// The spelling part of the program: the checker in use and the two options. The default has no
// dictionary and checks nothing.
class ISpelling {
 public:
  virtual ~ISpelling() = default;
  // nullptr: no dictionary.
  virtual TSpellChecker *Checker() { return nullptr; }
  // "Check spelling while typing": unknown words are underlined as they are typed.
  virtual bool CheckWhileTyping() const { return false; }
  // "Correct common mistakes".
  virtual bool CorrectCommonMistakes() const { return false; }
};
TSeam<ISpelling> &SpellingSeam();
ISpelling &Spelling();

// ---- Unknown words of a document ---------------------------------------------------------------

// A misspelt word of a paragraph: its first character (1-based, as the paragraph counts) and its
// length, with its text as checked.
struct RSpellMark {
  int First = 0;
  int Length = 0;
  QString Word;
};

// The unknown words of a document's paragraphs, per paragraph as it was when checked. A paragraph
// is identified by its record and its text's generation (TRichString::LayoutGen), which changes
// with every edit and is never given twice, so an answer is never taken for a changed or a new
// paragraph that happens to sit where an old one was.
class TSpellMarks {
 public:
  // The marks of P when it was checked as it is now, with the checker's generation; nullptr when
  // it needs checking.
  const std::vector<RSpellMark> *Current(const TParagraph &P, const TSpellChecker &C) const;
  // Checks P now (when not current) and answers its marks.
  const std::vector<RSpellMark> &Check(const TParagraph &P, const TSpellChecker &C);
  // The marks P had when last checked, whatever changed since (empty when never checked); the
  // view draws those whose word is still where it was while a check is pending.
  const std::vector<RSpellMark> *Last(const TParagraph &P) const;
  // Forgets paragraphs that are no longer in Doc.
  void Prune(const TDocument &Doc);
  void Clear() { FEntries.clear(); }
  std::size_t Size() const { return FEntries.size(); }

 private:
  struct REntry {
    std::uint64_t Gen = 0;
    std::uint64_t CheckerGen = 0;
    std::vector<RSpellMark> Marks;
  };
  std::unordered_map<const TParagraph *, REntry> FEntries;
};

// The first unknown word at or after From (wrapping round to the document's start once), as a
// paragraph and mark; false when there is none.
bool FindNextUnknownWord(const TDocument &Doc, const TSpellChecker &C, const TCaretPos &From,
                         TCaretPos &Start, TCaretPos &Stop);
