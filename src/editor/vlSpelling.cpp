#include "vlSpelling.h"

#include "vlTextFile.h"
#include "vl_Document.h"
#include "vldParagraph.h"

#include <hunspell/hunspell.hxx>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <iconv.h>

#include <algorithm>
#include <array>

// ---- Words -------------------------------------------------------------------------------------

namespace {

bool IsJoiner(QChar C) { return C == u'\'' || C == u'\u2019' || C == u'-'; }

}  // namespace

std::vector<RWordSpan> SpellWords(QStringView Text) {
  std::vector<RWordSpan> out;
  const int n = static_cast<int>(Text.size());
  int i = 0;
  while (i < n) {
    if (!Text[i].isLetter()) {
      ++i;
      continue;
    }
    const int start = i;
    bool digit = start > 0 && Text[start - 1].isDigit();
    while (i < n) {
      const QChar c = Text[i];
      if (c.isLetter() || c.isMark()) {
        ++i;
      } else if (IsJoiner(c) && i + 1 < n && Text[i + 1].isLetter()) {
        ++i;
      } else {
        digit = digit || c.isDigit();
        break;
      }
    }
    if (!digit && i - start > 1) out.push_back(RWordSpan{start, i - start});
    // The rest of a run touching a digit ("3rd-party") goes with it.
    while (digit && i < n && (Text[i].isLetterOrNumber() || IsJoiner(Text[i]))) ++i;
  }
  return out;
}

namespace {

// Mistakes typed often enough to correct without asking, each as its lower-case form. Only
// words that are never right as typed belong here.
constexpr std::array<std::pair<const char16_t *, const char16_t *>, 24> CommonMistakes{{
    {u"teh", u"the"},           {u"adn", u"and"},
    {u"recieve", u"receive"},   {u"recieved", u"received"},
    {u"beleive", u"believe"},   {u"wich", u"which"},
    {u"thier", u"their"},       {u"taht", u"that"},
    {u"waht", u"what"},         {u"definately", u"definitely"},
    {u"seperate", u"separate"}, {u"occured", u"occurred"},
    {u"untill", u"until"},      {u"acheive", u"achieve"},
    {u"becuase", u"because"},   {u"tommorow", u"tomorrow"},
    {u"wierd", u"weird"},       {u"alot", u"a lot"},
    {u"hte", u"the"},           {u"nad", u"and"},
    {u"yuo", u"you"},           {u"jsut", u"just"},
    {u"whcih", u"which"},       {u"accross", u"across"},
}};

}  // namespace

QString CommonMistakeCorrection(QStringView Word) {
  if (Word.isEmpty()) return QString();
  const QString lower = Word.toString().toLower();
  for (const auto &[wrong, right] : CommonMistakes) {
    if (lower != QStringView(wrong)) continue;
    QString fix = QString::fromUtf16(right);
    const bool allUpper = Word.size() > 1 && Word.toString() == Word.toString().toUpper();
    if (allUpper) return fix.toUpper();
    if (Word[0].isUpper()) fix[0] = fix[0].toUpper();
    return fix;
  }
  return QString();
}

bool AutoCorrectWordEndingAt(TDocument &Doc, int SN, int Gap) {
  const TParagraph *p = Doc.Paragraph_FromSectionNum(SN);
  if (!p || Gap < 2 || Gap > p->After()) return false;
  const QString &text = p->Text();
  // The word ends before Gap; the character at Gap (the separator typed) is none of it.
  const int end = Gap - 1;  // 0-based index after the word's last character
  if (end < text.size() && (text[end].isLetterOrNumber() || text[end].isMark())) return false;
  int start = end;
  while (start > 0 && (text[start - 1].isLetter() || text[start - 1].isMark() ||
                       (IsJoiner(text[start - 1]) && start - 1 > 0 && text[start - 2].isLetter())))
    --start;
  if (start == end || (start > 0 && text[start - 1].isDigit())) return false;
  const QString fix = CommonMistakeCorrection(QStringView(text).mid(start, end - start));
  if (fix.isEmpty()) return false;
  return ReplaceWordKeepingMoments(Doc, SN, start + 1, end - start, fix);
}

bool ReplaceWordKeepingMoments(TDocument &Doc, int SN, int First, int Length,
                               const QString &NewText) {
  const TParagraph *p = Doc.Paragraph_FromSectionNum(SN);
  if (!p || First < 1 || Length < 0 || First + Length - 1 > p->High()) return false;
  const int newLen = static_cast<int>(NewText.size());
  const int common = std::min(Length, newLen);
  const TCaretPos caret = Doc.FAtPos;
  const bool caretAfter = caret.SN == SN && caret.FGN >= First + Length;
  TDocument::TEditGroup oneStep(Doc);  // one step for undo
  // Overwritten in place, as a typed replacement is: each character keeps its moment.
  for (int k = 0; k < common; ++k) {
    const int cx = First + k;
    const QChar old = p->Char_GetChar(cx);
    if (old == NewText[k]) continue;
    const TDateTime was = TypingEventMoment(p->Timestamp_Get(cx));
    Doc.Char_Replace(NewText[k], p->Char_GetFont(cx), TCaretPos{SN, cx, false});
    // The day's typing events (which the vertical timeline shows) list the corrected letter,
    // not the mistake, as a binder opened later lists them.
    TypingEventSink().DeleteTypingEventAt(was, TypingEventText(old));
    TypingEventSink().AddTypingEvent(TypingEventMoment(p->Timestamp_Get(cx)),
                                     TypingEventText(NewText[k]));
  }
  // What a longer word adds is typed after the rest: the font of the word's last character, the
  // moment of the text beside it.
  for (int k = common; k < newLen; ++k) {
    const int cx = First + k;
    Doc.Char_Insert(NewText[k], p->Char_GetFont(cx - 1), TCaretPos{SN, cx, false});
  }
  for (int k = common; k < Length; ++k) Doc.Char_Delete(TCaretPos{SN, First + common, false});
  if (caretAfter) Doc.AtPos_NoSelectionSet(TCaretPos{caret.SN, caret.FGN + newLen - Length, false});
  return true;
}

// ---- The checker -------------------------------------------------------------------------------

QStringList TSpellChecker::AvailableDictionaries(const QString &Folder) {
  QStringList out;
  const QDir dir(Folder);
  for (const QFileInfo &aff : dir.entryInfoList({QStringLiteral("*.aff")}, QDir::Files)) {
    const QString name = aff.completeBaseName();
    if (QFileInfo::exists(dir.filePath(name + QStringLiteral(".dic")))) out << name;
  }
  out.sort();
  return out;
}

QString TSpellChecker::PickDictionary(const QString &Folder, const QString &Chosen,
                                      const QString &LocaleName) {
  const QStringList all = AvailableDictionaries(Folder);
  if (all.isEmpty()) return QString();
  if (!Chosen.isEmpty() && all.contains(Chosen)) return Chosen;
  // "pt_BR.UTF-8@euro" -> "pt_BR"; "de" alone names a language.
  QString locale = LocaleName.section(u'.', 0, 0).section(u'@', 0, 0);
  if (all.contains(locale)) return locale;
  const QString language = locale.section(u'_', 0, 0);
  if (!language.isEmpty() && language != QLatin1String("C")) {
    for (const QString &name : all)
      if (name == language || name.startsWith(language + u'_')) return name;
  }
  if (all.contains(QStringLiteral("en_US"))) return QStringLiteral("en_US");
  return all.first();
}

TSpellChecker::TSpellChecker(const QString &PersonalList) : FPersonalFile(PersonalList) {
  ReadPersonal();
}

TSpellChecker::~TSpellChecker() = default;

void TSpellChecker::ReadPersonal() {
  FPersonal.clear();
  if (FPersonalFile.isEmpty()) return;
  QFile f(FPersonalFile);
  if (!f.open(QIODevice::ReadOnly)) return;
  // A word a line; a damaged or hand-edited file gives what it can, blank lines are skipped.
  const QString all = QString::fromUtf8(f.read(4 * 1024 * 1024));
  for (const QString &line : all.split(u'\n')) {
    const QString word = line.trimmed();
    if (!word.isEmpty() && word.size() <= 100 && !FPersonal.contains(word)) FPersonal << word;
  }
}

bool TSpellChecker::Load(const QString &Folder, const QString &Name) {
  FHunspell.reset();
  FName.clear();
  ++FGeneration;
  const QString aff = QDir(Folder).filePath(Name + QStringLiteral(".aff"));
  const QString dic = QDir(Folder).filePath(Name + QStringLiteral(".dic"));
  if (Name.isEmpty() || !QFileInfo(aff).isFile() || !QFileInfo(dic).isFile()) return false;
  FHunspell = std::make_unique<Hunspell>(QFile::encodeName(aff).constData(),
                                         QFile::encodeName(dic).constData());
  FName = Name;
  FEncoding = QString::fromLatin1(FHunspell->get_dict_encoding().c_str()).trimmed();
  ReadPersonal();
  for (const QString &word : FPersonal) {
    bool ok = false;
    const std::string bytes = Encode(word, ok);
    if (ok) FHunspell->add(bytes);
  }
  return true;
}

namespace {

bool IsUtf8(const QString &Encoding) {
  return Encoding.isEmpty() || Encoding.compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0;
}

// Bytes from one encoding to another through iconv; false when a character has no place there.
bool Convert(const char *To, const char *From, const std::string &In, std::string &Out) {
  iconv_t cd = iconv_open(To, From);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  Out.assign(In.size() * 4 + 8, '\0');
  char *inPtr = const_cast<char *>(In.data());
  std::size_t inLeft = In.size();
  char *outPtr = Out.data();
  std::size_t outLeft = Out.size();
  const std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv_close(cd);
  if (r == static_cast<std::size_t>(-1) || inLeft != 0) return false;
  Out.resize(Out.size() - outLeft);
  return true;
}

}  // namespace

std::string TSpellChecker::Encode(QStringView Word, bool &Ok) const {
  const QByteArray utf8 = Word.toUtf8();
  Ok = true;
  if (IsUtf8(FEncoding)) return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
  std::string out;
  const QByteArray to = FEncoding.toLatin1();
  Ok = Convert(to.constData(), "UTF-8", std::string(utf8.constData(), utf8.size()), out);
  return out;
}

QString TSpellChecker::Decode(const std::string &Bytes) const {
  if (IsUtf8(FEncoding)) return QString::fromUtf8(Bytes.data(), static_cast<int>(Bytes.size()));
  std::string out;
  const QByteArray from = FEncoding.toLatin1();
  if (!Convert("UTF-8", from.constData(), Bytes, out)) return QString();
  return QString::fromUtf8(out.data(), static_cast<int>(out.size()));
}

bool TSpellChecker::IsCorrect(QStringView Word) const {
  if (!FHunspell || Word.isEmpty()) return true;
  bool ok = false;
  const std::string bytes = Encode(Word, ok);
  if (!ok) return false;
  if (FHunspell->spell(bytes)) return true;
  // A typographic apostrophe is checked as the dictionary spells it too.
  if (Word.contains(u'\u2019')) {
    QString plain = Word.toString();
    plain.replace(u'\u2019', u'\'');
    const std::string again = Encode(plain, ok);
    return ok && FHunspell->spell(again);
  }
  return false;
}

QStringList TSpellChecker::Suggest(QStringView Word, int Max) const {
  QStringList out;
  if (!FHunspell || Word.isEmpty()) return out;
  bool ok = false;
  const std::string bytes = Encode(Word, ok);
  if (!ok) return out;
  for (const std::string &s : FHunspell->suggest(bytes)) {
    const QString word = Decode(s);
    if (!word.isEmpty() && !out.contains(word)) out << word;
    if (out.size() >= Max) break;
  }
  return out;
}

bool TSpellChecker::AddToPersonal(const QString &Word) {
  const QString word = Word.trimmed();
  if (word.isEmpty()) return true;
  // A word a line: a line break inside would make two words of it in the file.
  if (word.contains(u'\n') || word.contains(u'\r') || word.size() > 100) return false;
  ++FGeneration;
  if (FHunspell) {
    bool ok = false;
    const std::string bytes = Encode(word, ok);
    if (ok) FHunspell->add(bytes);
  }
  if (FPersonalFile.isEmpty()) {
    if (!FPersonal.contains(word)) FPersonal << word;
    return true;
  }
  // Another instance may have added words since this one read the list: they stay.
  const QStringList mine = FPersonal;
  ReadPersonal();
  for (const QString &w : mine)
    if (!FPersonal.contains(w)) FPersonal << w;
  if (!FPersonal.contains(word)) FPersonal << word;
  const QByteArray bytes = (FPersonal.join(u'\n') + u'\n').toUtf8();
  return WriteFileAtomically(FPersonalFile, bytes);
}

// ---- The seam ----------------------------------------------------------------------------------

TSeam<ISpelling> &SpellingSeam() {
  static ISpelling none;
  static TSeam<ISpelling> seam(none);
  return seam;
}

ISpelling &Spelling() { return SpellingSeam().Get(); }

// ---- Unknown words of a document ---------------------------------------------------------------

const std::vector<RSpellMark> *TSpellMarks::Current(const TParagraph &P,
                                                    const TSpellChecker &C) const {
  const auto it = FEntries.find(&P);
  if (it == FEntries.end()) return nullptr;
  const REntry &e = it->second;
  if (e.Gen != P.LayoutGen() || e.CheckerGen != C.Generation()) return nullptr;
  return &e.Marks;
}

const std::vector<RSpellMark> *TSpellMarks::Last(const TParagraph &P) const {
  const auto it = FEntries.find(&P);
  return it == FEntries.end() ? nullptr : &it->second.Marks;
}

const std::vector<RSpellMark> &TSpellMarks::Check(const TParagraph &P, const TSpellChecker &C) {
  REntry &e = FEntries[&P];
  if (e.Gen == P.LayoutGen() && e.CheckerGen == C.Generation() && e.Gen != 0) return e.Marks;
  e.Gen = P.LayoutGen();
  e.CheckerGen = C.Generation();
  e.Marks.clear();
  const QString &text = P.Text();
  for (const RWordSpan &w : SpellWords(text)) {
    const QStringView word = QStringView(text).mid(w.Start, w.Length);
    if (!C.IsCorrect(word)) e.Marks.push_back(RSpellMark{w.Start + 1, w.Length, word.toString()});
  }
  return e.Marks;
}

void TSpellMarks::Prune(const TDocument &Doc) {
  QSet<const TParagraph *> present;
  for (int sn = 0; sn <= Doc.Section_High(); ++sn)
    if (const TParagraph *p = Doc.Paragraph_FromSectionNum(sn)) present.insert(p);
  for (auto it = FEntries.begin(); it != FEntries.end();) {
    if (present.contains(it->first))
      ++it;
    else
      it = FEntries.erase(it);
  }
}

bool FindNextUnknownWord(const TDocument &Doc, const TSpellChecker &C, const TCaretPos &From,
                         TCaretPos &Start, TCaretPos &Stop) {
  const int high = Doc.Section_High();
  if (high < 0) return false;
  const int from = std::clamp(From.SN, 0, high);
  // From's paragraph after From, the paragraphs after it, then round from the start, From's
  // paragraph last (whole: a word after From that is unknown was found in the first round).
  for (int round = 0; round <= high + 1; ++round) {
    const int sn = (from + round) % (high + 1);
    const TParagraph *p = Doc.Paragraph_FromSectionNum(sn);
    if (!p) continue;
    const QString &text = p->Text();
    for (const RWordSpan &w : SpellWords(text)) {
      const int first = w.Start + 1;
      if (round == 0 && first + w.Length <= From.FGN) continue;
      if (C.IsCorrect(QStringView(text).mid(w.Start, w.Length))) continue;
      Start = TCaretPos{sn, first, false};
      Stop = TCaretPos{sn, first + w.Length, false};
      return true;
    }
  }
  return false;
}
