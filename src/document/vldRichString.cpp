#include "vldRichString.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlEntities.h"
#include "vlGlobals.h"
#include "vlWin1252.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <string>

namespace {

class TNoTypingEvents final : public TTypingEventSink {
 public:
  void AddTypingEvent(TDateTime, QStringView) override {}
  void DeleteTypingEventAt(TDateTime, QStringView) override {}
};

TNoTypingEvents gNoTypingEvents;

// Effective times below this many days are no real moment for a typing event.
constexpr double EventMomentThreshold = 1000;
// Below this many days a moment is no real moment for new text (as TimestampForNewText).
constexpr double NewTextMomentThreshold = 100;
// Pasted plain text spreads over the recording at ten characters a second.
constexpr double PastedCharDays = 0.1 / SecsPerDay;

bool IsWordChar(QChar C) { return C.unicode() > 32; }

char16_t FoldAsciiLetter(char16_t C) { return C >= u'A' && C <= u'Z' ? C + (u'a' - u'A') : C; }

// "&f" + decimal digits + ";" at At. Font becomes the number, or -1 when it is no font index.
bool MatchFontSwitch(QStringView E, qsizetype At, int &Font, qsizetype &Length) {
  const qsizetype n = E.size();
  if (At + 3 >= n || E[At + 1] != u'f') return false;
  qsizetype i = At + 2;
  int value = 0;
  bool tooBig = false;
  while (i < n && E[i] >= u'0' && E[i] <= u'9') {
    if (!tooBig) {
      value = value * 10 + (E[i].unicode() - u'0');
      if (value > 32767) tooBig = true;
    }
    ++i;
  }
  if (i == At + 2 || i >= n || E[i] != u';') return false;
  Font = tooBig ? -1 : value;
  Length = i + 1 - At;
  return true;
}

// Writes the decimal digits of Value (0..65535) at Out; answers the end.
char16_t *WriteDecimal(char16_t *Out, unsigned Value) {
  char16_t digits[8];
  int d = 0;
  do {
    digits[d++] = static_cast<char16_t>(u'0' + Value % 10);
    Value /= 10;
  } while (Value);
  while (d) *Out++ = digits[--d];
  return Out;
}

// The file form of one UTF-16 unit: itself, or its entity. At most 8 units.
char16_t *WriteTextUnit(char16_t *Out, char16_t Unit) {
  if (Unit >= 32 && Unit < 127) {
    const char16_t *entity = nullptr;
    switch (Unit) {
      case u'&': entity = u"&AM;"; break;
      case u'"': entity = u"&Q2;"; break;
      case u'<': entity = u"&LT;"; break;
      case u'>': entity = u"&GT;"; break;
      default: *Out++ = Unit; return Out;
    }
    for (int i = 0; i < 4; ++i) *Out++ = entity[i];
    return Out;
  }
  if (Unit < 32) {
    *Out++ = u'&';
    Out = WriteDecimal(Out, Unit);
    *Out++ = u';';
    return Out;
  }
  if (UnicodeToWin1252(Unit) >= 0) {
    *Out++ = Unit;
    return Out;
  }
  // No byte in the file's code page: the numeric form, which every reader of ours decodes.
  *Out++ = u'&';
  *Out++ = u'#';
  Out = WriteDecimal(Out, Unit);
  *Out++ = u';';
  return Out;
}

// The next prefix of a numbered outline: the first run of digits in Prev plus one ("9) " gives
// "10) "); with no digits, "2" in front.
QString NextNumberPrefix(const QString &Prev) {
  qsizetype b = 0;
  while (b < Prev.size() && !(Prev[b] >= u'0' && Prev[b] <= u'9')) ++b;
  if (b == Prev.size()) return QStringLiteral("2") + Prev;
  qsizetype e = b;
  while (e < Prev.size() && Prev[e] >= u'0' && Prev[e] <= u'9') ++e;
  QString digits = Prev.mid(b, e - b);
  // Decimal increment on the digits themselves, so no number is too long.
  qsizetype i = digits.size() - 1;
  while (i >= 0 && digits[i] == u'9') digits[i--] = u'0';
  if (i < 0)
    digits.prepend(u'1');
  else
    digits[i] = QChar(digits[i].unicode() + 1);
  return Prev.left(b) + digits + Prev.mid(e);
}

}  // namespace

// ---- Typing events -------------------------------------------------------------------------

TDateTime TypingEventMoment(const RvlTimestamp &Timemark) {
  if (!(Timemark.FEffectiveDT >= EventMomentThreshold) && Timemark.RealDT > EventMomentThreshold)
    return Timemark.RealDT;
  return Timemark.FEffectiveDT;
}

TSeam<TTypingEventSink> &TypingEventSinkSeam() {
  static TSeam<TTypingEventSink> seam(gNoTypingEvents);
  return seam;
}

TTypingEventSink &TypingEventSink() { return TypingEventSinkSeam().Get(); }

void SetTypingEventSink(TTypingEventSink *Sink) { TypingEventSinkSeam().Install(Sink); }

TScopedTypingEventSink::TScopedTypingEventSink(TTypingEventSink &Installed)
    : FPrevious(TypingEventSinkSeam().Installed()) {
  TypingEventSinkSeam().Install(&Installed);
}

TScopedTypingEventSink::~TScopedTypingEventSink() { TypingEventSinkSeam().Install(FPrevious); }

// ---- Paragraph text in files ---------------------------------------------------------------

void AppendEncodedParagraphText(QString &Out, QStringView Text, const TFontIndex *Fonts,
                                bool WithEndOfLine, TFontIndex EndOfLineFont) {
  // Room for the worst case (a switch and an 8-unit entity per character), trimmed at the end:
  // one allocation, no per-character growth checks.
  constexpr qsizetype MaxPerChar = 8 + 8;
  const qsizetype start = Out.size();
  const qsizetype n = Text.size() + (WithEndOfLine ? 1 : 0);
  Out.resize(start + n * MaxPerChar);
  char16_t *out = reinterpret_cast<char16_t *>(Out.data()) + start;
  bool switched = false;  // a switch has been written
  int previous = INT_MIN;
  const auto put = [&](char16_t Unit, int Font) {
    if (Font != previous) {
      // Font -1 (text a damaged file had before its first switch) has no switch of its own: at
      // the start it needs none, since reading starts with -1; later it becomes font 0.
      if (Font >= 0 || switched) {
        *out++ = u'&';
        *out++ = u'f';
        out = WriteDecimal(out, static_cast<unsigned>(std::max(Font, 0)));
        *out++ = u';';
      }
      switched = switched || Font >= 0;
      previous = Font;
    }
    out = WriteTextUnit(out, Unit);
  };
  const QChar *text = Text.data();
  for (qsizetype i = 0; i < Text.size(); ++i) put(text[i].unicode(), Fonts[i]);
  if (WithEndOfLine) put(u'\n', EndOfLineFont);
  Out.truncate(out - reinterpret_cast<char16_t *>(Out.data()));
}

void DecodeParagraphText(QStringView Encoded, QString &Text, std::vector<TFontIndex> &Fonts) {
  const qsizetype n = Encoded.size();
  // Decoding only shortens: size the output once and trim it at the end.
  Text.resize(n);
  Fonts.resize(static_cast<std::size_t>(n));
  QChar *text = Text.data();
  TFontIndex *fonts = Fonts.data();
  qsizetype out = 0;
  int font = -1;
  qsizetype i = 0;
  while (i < n) {
    const QChar c = Encoded[i];
    if (c != u'&') {
      text[out] = c;
      fonts[out++] = static_cast<TFontIndex>(font);
      ++i;
      continue;
    }
    qsizetype length = 0;
    if (MatchFontSwitch(Encoded, i, font, length)) {
      i += length;
      continue;
    }
    char16_t unit = 0;
    if (DecodeEntityAt(Encoded, i, unit, length)) {
      text[out] = QChar(unit);
      i += length;
    } else {
      text[out] = c;  // an "&" that starts nothing known is an ordinary character
      ++i;
    }
    fonts[out++] = static_cast<TFontIndex>(font);
  }
  Text.truncate(out);
  Fonts.resize(static_cast<std::size_t>(out));
}

// ---- Layout generations --------------------------------------------------------------------

namespace {
std::atomic<std::uint64_t> LayoutCounter{0};
}  // namespace

std::uint64_t TRichString::LayoutGenerationOfAll() {
  return LayoutCounter.load(std::memory_order_relaxed);
}

void TRichString::TouchLayout(int ChangedFrom) {
  FLayoutGenBefore = FLayoutGen;
  FLayoutChangedFrom = std::max(ChangedFrom, 1);
  FLayoutGen = LayoutCounter.fetch_add(1, std::memory_order_relaxed) + 1;
  LayoutTouched();
}

// ---- Whole string --------------------------------------------------------------------------

void TRichString::MyAssign(const TSection &Source) {
  TouchLayout();
  TSection::MyAssign(Source);
  const auto *rs = dynamic_cast<const TRichString *>(&Source);
  if (!rs || rs == this) return;
  FGroupTimestamp = rs->FGroupTimestamp;
  Outline = rs->Outline;
  OutlineStr = rs->OutlineStr;
  FText = rs->FText;
  FFonts = rs->FFonts;
  FWhens.MyAssign(rs->FWhens);
  FNLFont = rs->FNLFont;
  FNLWhen = rs->FNLWhen;
}

void TRichString::Clear() {
  TouchLayout();
  FText.clear();
  FFonts.clear();
  FWhens.Clear();
}

void TRichString::Assign(const TRichString &Source) {
  TouchLayout();
  if (&Source == this) return;
  FText = Source.FText;
  FFonts = Source.FFonts;
  FWhens.Assign(Source.FWhens);
}

// ---- Checks --------------------------------------------------------------------------------

void TRichString::ReportInvalid(int LowValue, int Value, int HighValue) const {
  QString encoded;
  AppendEncodedParagraphText(encoded, FText, FFonts.data(), false, FNLFont);
  ErrorReportInDebug(QStringLiteral("TRichString.IsValid is False:  %1 <= %2 <= %3\n\n")
                         .arg(LowValue)
                         .arg(Value)
                         .arg(HighValue) +
                     Dump_TextWithVisibleNL() + QStringLiteral("\n\n") + encoded);
}

bool TRichString::IsValidCaretPosition(int At) const {
  if (IsValidCaretPosition_Silent(At)) return true;
  ReportInvalid(1, At, After());
  return false;
}

bool TRichString::IsValidCharIndex(int At) const {
  if (IsValidCharIndex_Silent(At)) return true;
  ReportInvalid(1, At, High());
  return false;
}

bool TRichString::IsValidCharRange(int FirstChar, int LastChar) const {
  if (1 <= FirstChar && FirstChar <= LastChar && LastChar <= High()) return true;
  ErrorReportInDebug(QStringLiteral("IsValidCharRange: 1 <= %1 <= %2 <= %3")
                         .arg(FirstChar)
                         .arg(LastChar)
                         .arg(High()));
  return false;
}

bool TRichString::IsValidCaretRange(int FirstChar, int AfterLastChar) const {
  if (1 <= FirstChar && FirstChar <= AfterLastChar && AfterLastChar <= After()) return true;
  ErrorReportInDebug(QStringLiteral("IsValidCaretRange: 1 <= %1 <= %2 <= %3")
                         .arg(FirstChar)
                         .arg(AfterLastChar)
                         .arg(After()));
  return false;
}

// ---- Characters ----------------------------------------------------------------------------

QChar TRichString::Char_GetChar(int CXorGN) const {
  if (IsValidCharIndex_Silent(CXorGN)) return FText[CXorGN - 1];
  if (CXorGN == After()) return QChar(u'\n');
  return QChar(u'#');
}

TFontIndex TRichString::Char_GetFont(int CXorGN) const {
  return IsValidCharIndex_Silent(CXorGN) ? FFonts[static_cast<std::size_t>(CXorGN - 1)] : FNLFont;
}

void TRichString::Char_SetFont(int CXorGN, TFontIndex Font) {
  TouchLayout(CXorGN);
  if (IsValidCharIndex_Silent(CXorGN))
    FFonts[static_cast<std::size_t>(CXorGN - 1)] = Font;
  else
    FNLFont = Font;
}

RvlTimestamp TRichString::Timestamp_Get(int CaretPos) const {
  return IsValidCharIndex_Silent(CaretPos) ? FWhens.Entries()[static_cast<std::size_t>(CaretPos)]
                                           : FNLWhen;
}

void TRichString::Timestamp_Set(int CaretPos, const RvlTimestamp &Timemark) {
  if (IsValidCharIndex_Silent(CaretPos))
    FWhens.SetOne(CaretPos, Timemark);
  else
    FNLWhen = Timemark;
}

void TRichString::Char_Insert(QChar Ch, TFontIndex Font, const RvlTimestamp &Timemark,
                              int CaretPos) {
  TouchLayout(CaretPos);
  if (!IsValidCaretPosition(CaretPos)) return;
  FText.insert(CaretPos - 1, Ch);
  FFonts.insert(FFonts.begin() + (CaretPos - 1), Font);
  FWhens.InsertOne(CaretPos, Timemark);
}

void TRichString::Char_Append(QChar Ch, TFontIndex Font, const RvlTimestamp &Timemark) {
  Char_Insert(Ch, Font, Timemark, After());
}

void TRichString::Char_Replace(QChar Ch, TFontIndex Font, const RvlTimestamp &Timemark,
                               int CharPos) {
  TouchLayout(CharPos);
  if (!IsValidCharIndex(CharPos)) return;
  FText[CharPos - 1] = Ch;
  FFonts[static_cast<std::size_t>(CharPos - 1)] = Font;
  FWhens.SetOne(CharPos, Timemark);
}

void TRichString::Char_Delete(int CharPos) {
  TouchLayout(CharPos);
  if (!IsValidCharIndex(CharPos)) return;
  FText.remove(CharPos - 1, 1);
  FFonts.erase(FFonts.begin() + (CharPos - 1));
  FWhens.Delete(CharPos, CharPos);
}

bool TRichString::Char_FirstOfWord(int At) const {
  if (!IsValidCharIndex_Silent(At)) return false;
  return IsWordChar(FText[At - 1]) && (At == 1 || !IsWordChar(FText[At - 2]));
}

bool TRichString::Char_LastOfWord(int At) const {
  if (!IsValidCharIndex(At)) return false;
  return IsWordChar(FText[At - 1]) && (At == High() || !IsWordChar(FText[At]));
}

// ---- Substrings ----------------------------------------------------------------------------

void TRichString::InsertRun(int At, QStringView Chars, const TFontIndex *Fonts,
                            const TTemporalString &Whens, int WhensFirst) {
  TouchLayout(At);
  const int n = static_cast<int>(Chars.size());
  if (n <= 0) return;
  FText.insert(At - 1, Chars);
  FFonts.insert(FFonts.begin() + (At - 1), Fonts, Fonts + n);
  FWhens.InsertSubstr(At, WhensFirst, WhensFirst + n - 1, Whens);
}

void TRichString::SubStr_Insert(const TRichString &RS, int At, int &NewAt) {
  if (&RS == this) {
    TRichString copy;
    copy.Assign(RS);
    SubStr_Insert(copy, At, NewAt);
    return;
  }
  NewAt = 0;
  if (!IsValidCaretPosition(At)) return;
  InsertRun(At, RS.FText, RS.FFonts.data(), RS.FWhens, 1);
  NewAt = At + RS.Length();
}

void TRichString::SubStr_Append(const TRichString &RS) {
  int newAt = 0;
  SubStr_Insert(RS, After(), newAt);
}

void TRichString::SubStr_InsertSubstr(const TRichString &RS, int First, int Last, int ToAt) {
  if (&RS == this) {
    TRichString copy;
    copy.Assign(RS);
    SubStr_InsertSubstr(copy, First, Last, ToAt);
    return;
  }
  if (!RS.IsValidCharRange(First, Last) || !IsValidCaretPosition(ToAt)) return;
  InsertRun(ToAt, QStringView(RS.FText).mid(First - 1, Last - First + 1),
            RS.FFonts.data() + (First - 1), RS.FWhens, First);
}

void TRichString::SubStr_InsertPlain(QStringView S, int At, int &NewAt) {
  NewAt = 0;
  if (!IsValidCaretPosition(At)) return;
  const int n = static_cast<int>(S.size());
  const TFontIndex font = Char_GetFont(At);
  TDateTime base = Timestamp_Get(At).FEffectiveDT;
  // A following character without a real moment (a fresh paragraph's end of line is often
  // null) would put the pasted text in 1899; take the moment new text gets instead.
  if (!(base >= NewTextMomentThreshold) || !IsValidDateTime(base))
    base = TimestampForNewText(0).FEffectiveDT;
  const TDateTime now = TimestampNow();
  TTemporalString whens;
  for (int i = 1; i <= n; ++i) whens.InsertOne(i, RvlTimestamp{base + i * PastedCharDays, now});
  const std::vector<TFontIndex> fonts(static_cast<std::size_t>(n), font);
  InsertRun(At, S, fonts.data(), whens, 1);
  NewAt = At + n;
}

void TRichString::SubStr_Delete(int First, int Last) {
  TouchLayout(First);
  if (!IsValidCharRange(First, Last)) return;
  FText.remove(First - 1, Last - First + 1);
  FFonts.erase(FFonts.begin() + (First - 1), FFonts.begin() + Last);
  FWhens.Delete(First, Last);
}

void TRichString::SubStr_Replace(int First, int Last, const TRichString &Str) {
  if (!IsValidCharRange(First, Last)) return;
  if (&Str == this) {
    TRichString copy;
    copy.Assign(Str);
    SubStr_Replace(First, Last, copy);
    return;
  }
  SubStr_Delete(First, Last);
  int newAt = 0;
  SubStr_Insert(Str, First, newAt);
}

void TRichString::Substr_Rich(int First, int Last, TRichString &Str) const {
  if (&Str == this) {
    TRichString copy;
    Substr_Rich(First, Last, copy);
    Str.Assign(copy);
    return;
  }
  Str.Clear();
  // Validated before anything is copied, so that Str never holds text without timestamps.
  if (Last < First) return;
  if (!FWhens.ValidateRange(First, Last)) {
    FWhens.ReportError2(QStringLiteral("GetMany"), First, Last);
    return;
  }
  Str.FText = FText.mid(First - 1, Last - First + 1);
  Str.FFonts.assign(FFonts.begin() + (First - 1), FFonts.begin() + Last);
  FWhens.GetMany(First, Last, Str.FWhens);
}

QString TRichString::Substr_Plain(int First, int Last) const {
  if (Last < First || !IsValidCharRange(First, Last)) return {};
  return FText.mid(First - 1, Last - First + 1);
}

std::vector<TFontIndex> TRichString::Substr_Fonts(int First, int Last) const {
  if (Last < First || !IsValidCharRange(First, Last)) return {};
  return std::vector<TFontIndex>(FFonts.begin() + (First - 1), FFonts.begin() + Last);
}

void TRichString::Substr_ChangeFont(TFontIndex NewFontIndex, int First, int Last) {
  TouchLayout(First);
  if (!IsValidCharRange(First, Last)) return;
  std::fill(FFonts.begin() + (First - 1), FFonts.begin() + Last, NewFontIndex);
}

int TRichString::Substr_ChangeFontOfSameFontGroup(TFontIndex NewFontIndex, int First, int Limit) {
  TouchLayout(First);
  if (!(1 <= First && First <= Limit && Limit <= High())) {
    ErrorReportInDebug(QStringLiteral("Substr_ChangeFontOfSameFontGroup has bad First"));
    return First;
  }
  const TFontIndex group = FFonts[static_cast<std::size_t>(First - 1)];
  int last = First;
  for (int i = First; i <= Limit; ++i) {
    TFontIndex &f = FFonts[static_cast<std::size_t>(i - 1)];
    if (f != group) break;
    f = NewFontIndex;
    last = i;
  }
  return last;
}

bool TRichString::Substr_Get_OfSameFont(int First, int &Last, QString &Str,
                                        TFontIndex &FontIndex) const {
  FontIndex = Char_GetFont(First);
  Str.clear();
  if (!IsValidCharIndex_Silent(First)) {
    Last = First;
    return false;
  }
  const int limit = std::min(Last, High());
  if (limit < First) {
    Last = First - 1;
    return false;
  }
  int i = First;
  while (i < limit && FFonts[static_cast<std::size_t>(i)] == FontIndex) ++i;
  Last = i;
  Str = FText.mid(First - 1, Last - First + 1);
  return true;
}

int TRichString::Substr_Search(QStringView Str, int StartAt, bool CaseSensitive) const {
  const qsizetype m = Str.size();
  if (m == 0) return 0;
  const qsizetype from = std::max(StartAt, 1) - 1;
  const qsizetype n = FText.size();
  if (from + m > n) return 0;
  if (CaseSensitive) {
    const qsizetype at = QStringView(FText).indexOf(Str, from, Qt::CaseSensitive);
    return at < 0 ? 0 : static_cast<int>(at + 1);
  }
  // Only A-Z fold: other letters compare exactly, as searches always have here.
  const char16_t first = FoldAsciiLetter(Str[0].unicode());
  for (qsizetype i = from; i + m <= n; ++i) {
    if (FoldAsciiLetter(FText[i].unicode()) != first) continue;
    qsizetype k = 1;
    while (k < m && FoldAsciiLetter(FText[i + k].unicode()) == FoldAsciiLetter(Str[k].unicode()))
      ++k;
    if (k == m) return static_cast<int>(i + 1);
  }
  return 0;
}

bool TRichString::Find_WordAt(int At, int &StartCaretPos, int &StopCaretPos) const {
  if (!IsValidCharIndex_Silent(At)) {
    StartCaretPos = At;
    StopCaretPos = At;
    return false;
  }
  StartCaretPos = At;
  while (StartCaretPos > 1 && !Char_FirstOfWord(StartCaretPos)) --StartCaretPos;
  StopCaretPos = At;
  while (StopCaretPos < High() && !Char_LastOfWord(StopCaretPos)) ++StopCaretPos;
  while (StopCaretPos < High() && FText[StopCaretPos] == u' ') ++StopCaretPos;
  ++StopCaretPos;
  return Char_FirstOfWord(StartCaretPos);
}

// ---- Outline -------------------------------------------------------------------------------

TOutline TRichString::Outline_Get(QString &InitStr) const {
  InitStr = OutlineStr;
  return Outline;
}

void TRichString::Outline_Set(TOutline OutlineType, const QString &InitStr) {
  if (Outline != oNone) {
    if (OutlineStr.size() >= 2 && FText.startsWith(OutlineStr))
      SubStr_Delete(1, static_cast<int>(OutlineStr.size()));
    Outline = oNone;
    OutlineStr.clear();
  }
  if (OutlineType != oNone) {
    int newAt = 0;
    SubStr_InsertPlain(InitStr, 1, newAt);
    Outline = OutlineType;
    OutlineStr = InitStr;
  }
}

bool TRichString::Outline_Increment(TOutline PrevOutline, const QString &PrevInitStr) {
  if (Outline != PrevOutline || OutlineStr.size() < 2 || !FText.startsWith(OutlineStr))
    return false;
  SubStr_Delete(1, static_cast<int>(OutlineStr.size()));
  QString next;
  switch (PrevOutline) {
    case oBullet: next = PrevInitStr; break;
    case oNumber: next = NextNumberPrefix(PrevInitStr); break;
    case oNone:
    case oCapital:
    case oLower:
    case oRoman: break;
  }
  int newAt = 0;
  if (!next.isEmpty()) SubStr_InsertPlain(next, 1, newAt);
  OutlineStr = next;
  return true;
}

// ---- Typing events -------------------------------------------------------------------------

void TRichString::DayFiles_RegisterSubstring(int First, int Last) const {
  const int first = std::max(First, 1), last = std::min(Last, High());
  TTypingEventSink &sink = TypingEventSink();
  for (int i = first; i <= last; ++i) {
    sink.AddTypingEvent(TypingEventMoment(FWhens.Entries()[static_cast<std::size_t>(i)]),
                        QStringView(FText).mid(i - 1, 1));
  }
}

void TRichString::DayFiles_UnlistSubstring(int First, int Last) const {
  const int first = std::max(First, 1), last = std::min(Last, High());
  TTypingEventSink &sink = TypingEventSink();
  for (int i = first; i <= last; ++i)
    sink.DeleteTypingEventAt(TypingEventMoment(FWhens.Entries()[static_cast<std::size_t>(i)]),
                             QStringView(FText).mid(i - 1, 1));
}

// ---- Diagnostics ---------------------------------------------------------------------------

QString TRichString::Dump_TextWithVisibleNL() const {
  QString out;
  out.reserve(FText.size());
  for (QChar c : FText) {
    if (c.unicode() < 32)
      out += QLatin1Char('#') + QString::number(c.unicode());
    else
      out += c;
  }
  return out;
}

QString TRichString::Dump_TimestampsStr() const {
  return QStringLiteral("N=%1  ").arg(FWhens.Count()) + FWhens.IO_GetAsLongStr();
}

bool TRichString::Debug_HasAnyNL() const { return FText.contains(u'\n'); }

void TRichString::Debug_DeleteNLs() {
  for (int i = High(); i >= 1; --i)
    if (FText[i - 1] == u'\n') Char_Delete(i);
}

// ---- Files ---------------------------------------------------------------------------------

void TRichString::IO_Save(TvlXmlOut &Out) const {
  if (TimestampIsSet(FGroupTimestamp)) {
    Out.Insert_TagOpenForAttributes(xtPWhen_);
    Out.Insert_Attribute("L", QStringView(TimestampToText(FGroupTimestamp)));
    Out.Insert_TagClose_NoMoreAttributes();
  }
  // The end of line is written as if it were the last character, from FNLFont and FNLWhen; the
  // string itself is never changed, so a failed write cannot leave a line feed in it.
  QString encoded;
  AppendEncodedParagraphText(encoded, FText, FFonts.data(), true, FNLFont);
  Out.Insert_TagOpenForAttributes(xtText_);
  Out.Insert_Attribute("N", High() + 1);
  Out.Insert_Attribute("T", QStringView(encoded));
  Out.Insert_TagClose_NoMoreAttributes();
  encoded = QString();

  std::string list;
  list.reserve((FWhens.Entries().size() + 1) * 36);
  FWhens.IO_AppendLongStr(list);
  AppendTimestampText(list, FNLWhen);
  Out.Insert_TagOpenForAttributes(xtWhen_);
  Out.Insert_Attribute(
      "L", QStringView(QString::fromLatin1(list.data(), static_cast<qsizetype>(list.size()))));
  Out.Insert_TagClose_NoMoreAttributes();
}

QString TRichString::IO_Load(TvlXmlIn &In) {
  TouchLayout();
  QString problems;
  if (In.EndOfFile()) return problems;
  if (In.CurrentTag() == xtPWhen_) IO_LoadPWhen(In);
  if (In.CurrentTagStrictlyIs(xtText_)) problems += IO_LoadText(In);
  const bool haveWhen = In.CurrentTagStrictlyIs(xtWhen_);
  if (haveWhen) problems += IO_LoadWhen(In);
  problems += IO_LoadFinish();
  return problems;
}

void TRichString::IO_LoadPWhen(TvlXmlIn &In) {
  // The paragraph's group moment, written before the text when it is set.
  FGroupTimestamp = NullTimestamp;
  QString pair;
  if (In.Get("L", pair)) {
    int scan = 1;
    FGroupTimestamp = TimestampFromText(pair, scan);
  }
  In.NextRecognizedTag();
}

QString TRichString::IO_LoadText(TvlXmlIn &In) {
  QString problems;
  QString encoded;
  if (In.Get("T", encoded)) {
    DecodeParagraphText(encoded, FText, FFonts);
  } else {
    FText.clear();
    FFonts.clear();
    problems += QStringLiteral("No Text");
  }
  // The timestamps of the old text mean nothing for the new one.
  FWhens.Clear();
  int n = 0;
  if (!In.Get("N", n))
    problems += QStringLiteral("RS.IO_L: No readable count of characters for \"") +
                FText.trimmed() + QStringLiteral("\" (trimmed).");
  else if (n != FText.size())
    problems += QStringLiteral("RS.IO_L: Expected %1 chars but found \"").arg(n) + FText.trimmed() +
                QStringLiteral("\" (trimmed).");
  In.NextRecognizedTag();
  return problems;
}

QString TRichString::IO_LoadWhen(TvlXmlIn &In) {
  // The list is read for the decoded text (plus entry 0), whatever N claims: N from a file is
  // not trusted to size anything.
  QString problems;
  QByteArrayView list;
  if (In.GetRaw("L", list))
    FWhens.IO_SetFromLongBytes(list, High() + 1);
  else
    problems += QStringLiteral("No When data for text at ") + In.TraceLine();
  In.NextRecognizedTag();
  return problems;
}

QString TRichString::IO_LoadFinish() {
  // Always, so that a missing When line cannot leave text without timestamps.
  const QString problems = FWhens.CheckLengthAndPadOrClipIfInError(High());
  if (High() > 0 && FText[High() - 1] == u'\n') {
    FNLFont = FFonts.back();
    FNLWhen = FWhens.Entries().back();
    Char_Delete(High());
  }
  return problems;
}
