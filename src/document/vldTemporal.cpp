#include "vldTemporal.h"

#include "vlClock.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlNumberForms.h"
#include "vlPrompts.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// ---- Broker --------------------------------------------------------------------------------

class TStartupBroker final : public TEffectiveTimeBroker {
 public:
  TDateTime BrokeredEffectiveWhen(TDateTime) override { return Now(); }
};

TStartupBroker gStartupBroker;

// Below this many days a moment is taken to be no real moment (1900-04-09).
constexpr double NoRealMomentBelow = 100;

bool gReportsEnabled = true;

// ---- Number form ---------------------------------------------------------------------------

__extension__ typedef unsigned __int128 TUInt128;

constexpr std::uint64_t Pow10[20] = {1ULL,
                                     10ULL,
                                     100ULL,
                                     1000ULL,
                                     10000ULL,
                                     100000ULL,
                                     1000000ULL,
                                     10000000ULL,
                                     100000000ULL,
                                     1000000000ULL,
                                     10000000000ULL,
                                     100000000000ULL,
                                     1000000000000ULL,
                                     10000000000000ULL,
                                     100000000000000ULL,
                                     1000000000000000ULL,
                                     10000000000000000ULL,
                                     100000000000000000ULL,
                                     1000000000000000000ULL,
                                     10000000000000000000ULL};

// The 15 significant digits of V (1e-4 <= V < 1e15), correctly rounded (ties to even), found
// by exact integer arithmetic: V = M * 2^K, so V * 10^P = M * 10^P / 2^-K. Answers the digits and
// the decimal exponent of the first one; false when the value is outside the fast range.
bool FifteenDigits(double V, std::uint64_t &Digits, int &Exponent) {
  std::uint64_t bits;
  std::memcpy(&bits, &V, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0) return false;
  const std::uint64_t mantissa = (bits & ((1ULL << 52) - 1)) | (1ULL << 52);
  const int shift = 1075 - biased;  // V = mantissa / 2^shift
  if (shift < 1 || shift > 100) return false;
  // A first guess of the decimal exponent from the binary one (log10(2) ~ 78913 / 2^18), at most
  // one too low; corrected below when the digits disagree. Cheaper than log10 by far, and this
  // runs twice for every character saved.
  const int binary = biased - 1023;
  int e = binary >= 0 ? (binary * 78913) >> 18 : -((-binary * 78913 + (1 << 18) - 1) >> 18);
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int p = 14 - e;
    if (p < 0 || p > 19) return false;
    const TUInt128 n = static_cast<TUInt128>(mantissa) * Pow10[p];
    const TUInt128 truncated = n >> shift;
    if (truncated >= Pow10[15]) {
      ++e;
      continue;
    }
    if (truncated < Pow10[14]) {
      --e;
      continue;
    }
    std::uint64_t q = static_cast<std::uint64_t>(truncated);
    const TUInt128 rem = n - (truncated << shift);
    const TUInt128 half = static_cast<TUInt128>(1) << (shift - 1);
    if (rem > half || (rem == half && (q & 1))) ++q;
    if (q == Pow10[15]) {
      // Rounded up to the next power of ten: one digit, one higher exponent.
      Digits = Pow10[14];
      Exponent = e + 1;
      return Exponent <= 14;
    }
    Digits = q;
    Exponent = e;
    return true;
  }
  return false;
}

}  // namespace

// ---- Broker --------------------------------------------------------------------------------

TDateTime ApplyEffectiveTimeRule(const RBrokerState &State, TDateTime DocumentContextDT,
                                 TDateTime NowDT) {
  if (!State.StartupCompleted || State.Recording) return NowDT;
  if (DocumentContextDT == 0 && State.Playing) return State.PlayPosition;
  return DocumentContextDT;
}

TDateTime TRuleBroker::BrokeredEffectiveWhen(TDateTime DocumentContextDT) {
  return ApplyEffectiveTimeRule(State, DocumentContextDT, Now());
}

TSeam<TEffectiveTimeBroker> &EffectiveTimeBrokerSeam() {
  static TSeam<TEffectiveTimeBroker> seam(gStartupBroker);
  return seam;
}

TEffectiveTimeBroker &EffectiveTimeBroker() { return EffectiveTimeBrokerSeam().Get(); }

void SetEffectiveTimeBroker(TEffectiveTimeBroker *Broker) {
  EffectiveTimeBrokerSeam().Install(Broker);
}

TScopedEffectiveTimeBroker::TScopedEffectiveTimeBroker(TEffectiveTimeBroker &Installed)
    : FPrevious(EffectiveTimeBrokerSeam().Installed()) {
  EffectiveTimeBrokerSeam().Install(&Installed);
}

TScopedEffectiveTimeBroker::~TScopedEffectiveTimeBroker() {
  EffectiveTimeBrokerSeam().Install(FPrevious);
}

// ---- Timestamp routines --------------------------------------------------------------------

TDateTime TimestampNow() { return Now(); }

RvlTimestamp TimestampForNewText(TDateTime DocumentContextDT) {
  RvlTimestamp r;
  r.RealDT = TimestampNow();
  r.FEffectiveDT = EffectiveTimeBroker().BrokeredEffectiveWhen(DocumentContextDT);
  // "Not below 100" is false for NaN as well, so a broken answer falls back to now too.
  if (!(r.FEffectiveDT >= NoRealMomentBelow) || !IsValidDateTime(r.FEffectiveDT))
    r.FEffectiveDT = r.RealDT;
  // Stepping on from the text around (a step per character, about a second per word) must not
  // carry fast typing into the future, where no recording can hold it: never after the moment
  // of typing.
  if (r.FEffectiveDT > r.RealDT) r.FEffectiveDT = r.RealDT;
  return r;
}

RvlTimestamp TimestampFromDateTime(TDateTime X) { return RvlTimestamp{X, X}; }

bool TimestampIsSet(const RvlTimestamp &Timemark) {
  return Timemark.FEffectiveDT != 0 || Timemark.RealDT != 0;
}

void TimestampClear(RvlTimestamp &Timemark) { Timemark = NullTimestamp; }

int WriteTimestampNumber(double Value, char *Out) {
  if (Value == 0 || !std::isfinite(Value)) {
    Out[0] = '0';
    return 1;
  }
  char *p = Out;
  double v = Value;
  if (v < 0) {
    *p++ = '-';
    v = -v;
  }
  std::uint64_t digits = 0;
  int exponent = 0;
  if (v >= 1e-4 && v < 1e15 && FifteenDigits(v, digits, exponent)) {
    // Two digits per division.
    static constexpr char Pairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char d[16];
    for (int i = 14; i >= 1; i -= 2) {
      const auto pair = static_cast<unsigned>(digits % 100);
      digits /= 100;
      d[i - 1] = Pairs[2 * pair];
      d[i] = Pairs[2 * pair + 1];
    }
    d[0] = static_cast<char>('0' + digits);
    int last = 14;  // the last significant digit once trailing zeros are dropped
    while (last > 0 && d[last] == '0') --last;
    if (exponent >= 0) {
      for (int i = 0; i <= exponent; ++i) *p++ = d[i];
      if (last > exponent) {
        *p++ = '.';
        for (int i = exponent + 1; i <= last; ++i) *p++ = d[i];
      }
    } else {
      *p++ = '0';
      *p++ = '.';
      for (int i = -1; i > exponent; --i) *p++ = '0';
      for (int i = 0; i <= last; ++i) *p++ = d[i];
    }
    return static_cast<int>(p - Out);
  }
  // Tiny or huge values: the general form, with an exponent below 1e-4. Nothing a date can be.
  const auto r = std::to_chars(p, Out + 32, v, std::chars_format::general, 15);
  return static_cast<int>(r.ptr - Out);
}

void AppendTimestampText(std::string &Out, const RvlTimestamp &Timemark) {
  char buf[72];
  char *p = buf;
  *p++ = '(';
  p += WriteTimestampNumber(Timemark.RealDT, p);
  *p++ = ',';
  p += WriteTimestampNumber(Timemark.FEffectiveDT, p);
  *p++ = ')';
  Out.append(buf, static_cast<std::size_t>(p - buf));
}

QString TimestampToText(const RvlTimestamp &Timemark) {
  std::string s;
  AppendTimestampText(s, Timemark);
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

namespace {

inline char16_t Unit(QChar C) { return C.unicode(); }
inline char16_t Unit(char C) { return static_cast<unsigned char>(C); }

// The pair scanner over UTF-16 text (a list handed over as a string) or over the file's bytes
// (the list as the reader holds it); both are the same loop.
template <typename TView>
class TPairScanner {
 public:
  TPairScanner(TView Text, qsizetype Start) : FText(Text), FPos(Start) {}

  RvlTimestamp Next() {
    const qsizetype size = FText.size();
    if (FNextOpen == -2 || FNextOpen < FPos) {
      FNextOpen = -1;
      for (qsizetype i = FPos; i < size; ++i)
        if (Unit(FText[i]) == u'(') {
          FNextOpen = i;
          break;
        }
    }
    if (FNextOpen < 0) {
      FPos = size;
      return NullTimestamp;
    }
    const qsizetype open = FNextOpen;
    qsizetype comma = -1, close = -1, following = size;
    for (qsizetype i = open + 1; i < size; ++i) {
      const char16_t c = Unit(FText[i]);
      if (c == u'(') {
        following = i;
        break;
      }
      if (c == u',' && comma < 0) comma = i;
      if (c == u')' && close < 0) close = i;
    }
    FNextOpen = following < size ? following : -1;
    if (comma < 0 || close < 0 || close < comma) {
      // A damaged pair reads as null, and the next entry starts at the next "(".
      FPos = following;
      return NullTimestamp;
    }
    FPos = close + 1;
    RvlTimestamp r;
    if (!ParseDateTimeDays(FText.sliced(open + 1, comma - open - 1), r.RealDT))
      return NullTimestamp;
    if (!ParseDateTimeDays(FText.sliced(comma + 1, close - comma - 1), r.FEffectiveDT))
      r.FEffectiveDT = -1;
    return r;
  }

  qsizetype Position() const { return FPos; }
  bool AtEnd() const { return FPos >= FText.size(); }

 private:
  TView FText;
  qsizetype FPos;
  qsizetype FNextOpen = -2;  // index of the next "(" at or after FPos; -1 none; -2 not known
};

template <typename TView>
void ReadPairs(TView Text, std::vector<RvlTimestamp> &Entries) {
  TPairScanner<TView> scanner(Text, 0);
  for (std::size_t i = 0; i < Entries.size() && !scanner.AtEnd(); ++i) Entries[i] = scanner.Next();
}

}  // namespace

RvlTimestamp TTimestampScanner::Next() {
  TPairScanner<QStringView> scanner(FText, FPos);
  const RvlTimestamp r = scanner.Next();
  FPos = scanner.Position();
  return r;
}

RvlTimestamp TimestampFromText(QStringView Text, int &ScanPos) {
  TTimestampScanner scanner(Text, ScanPos > 1 ? ScanPos - 1 : 0);
  const RvlTimestamp r = scanner.Next();
  ScanPos = static_cast<int>(scanner.Position()) + 1;
  return r;
}

// ---- TTemporalString -----------------------------------------------------------------------

TTemporalString::TTemporalString() : Timestamps(1) {}

void TTemporalString::Clear() { Timestamps.resize(1); }

RvlTimestamp TTemporalString::GetOne(int At) const {
  if (!Validate(At)) {
    ReportError1(QStringLiteral("GetOne"), At);
    return TimestampFromDateTime(TimestampNow());
  }
  return Timestamps[static_cast<std::size_t>(At)];
}

void TTemporalString::SetOne(int At, const RvlTimestamp &Timemark) {
  if (!Validate(At)) {
    ReportError1(QStringLiteral("SetOne"), At);
    return;
  }
  Timestamps[static_cast<std::size_t>(At)] = Timemark;
}

void TTemporalString::SetOne(int At, TDateTime Timemark) {
  SetOne(At, TimestampFromDateTime(Timemark));
}

void TTemporalString::InsertEntries(int At, const RvlTimestamp *First, int N) {
  // Copy first: First may point into this list.
  const std::vector<RvlTimestamp> items(First, First + N);
  Timestamps.insert(Timestamps.begin() + At, items.begin(), items.end());
}

void TTemporalString::InsertOne(int At, const RvlTimestamp &Timemark) {
  if (At < 1 || At > Count() + 1) {
    ReportError1(QStringLiteral("InsertOne"), At);
    return;
  }
  Timestamps.insert(Timestamps.begin() + At, Timemark);
}

void TTemporalString::InsertOne(int At, TDateTime Timemark) {
  InsertOne(At, TimestampFromDateTime(Timemark));
}

void TTemporalString::InsertMany(int At, const TTemporalString &Source) {
  if (At < 1 || At > Count() + 1) {
    ReportError1(QStringLiteral("InsertMany"), At);
    return;
  }
  if (Source.Count() > 0) InsertEntries(At, Source.Timestamps.data() + 1, Source.Count());
}

void TTemporalString::InsertSubstr(int ToAt, int Start, int Stop, const TTemporalString &Source) {
  if (ToAt < 1 || ToAt > Count() + 1 || !Source.Validate(Start) || !Source.Validate(Stop)) {
    ReportError2(QStringLiteral("InsertSubstr"), Start, Stop);
    return;
  }
  if (Start > Stop) return;  // an empty range inserts nothing
  InsertEntries(ToAt, Source.Timestamps.data() + Start, Stop - Start + 1);
}

void TTemporalString::Delete(int Start, int Stop) {
  if (!ValidateRange(Start, Stop)) {
    ReportError2(QStringLiteral("Delete"), Start, Stop);
    return;
  }
  Timestamps.erase(Timestamps.begin() + Start, Timestamps.begin() + Stop + 1);
}

void TTemporalString::GetMany(int Start, int Stop, TTemporalString &Destination) const {
  if (&Destination == this) {
    TTemporalString copy;
    GetMany(Start, Stop, copy);
    Destination.Timestamps.swap(copy.Timestamps);
    return;
  }
  Destination.Clear();
  if (!ValidateRange(Start, Stop)) {
    ReportError2(QStringLiteral("GetMany"), Start, Stop);
    return;
  }
  Destination.Timestamps.assign(Timestamps.begin() + (Start - 1), Timestamps.begin() + Stop + 1);
}

QString TTemporalString::IO_GetAsLongStr() const {
  std::string s;
  IO_AppendLongStr(s);
  return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

void TTemporalString::IO_AppendLongStr(std::string &Out) const {
  Out.reserve(Out.size() + Timestamps.size() * 36);
  for (const RvlTimestamp &t : Timestamps) AppendTimestampText(Out, t);
}

QString TTemporalString::IO_SetFromLongStr(QStringView TimestampsStr, int Len) {
  // Entry 0 always exists, whatever length is asked for.
  Timestamps.assign(static_cast<std::size_t>(std::max(Len, 1)), NullTimestamp);
  ReadPairs(TimestampsStr, Timestamps);
  return {};
}

void TTemporalString::IO_SetFromLongBytes(QByteArrayView TimestampsStr, int Len) {
  Timestamps.assign(static_cast<std::size_t>(std::max(Len, 1)), NullTimestamp);
  ReadPairs(TimestampsStr, Timestamps);
}

QString TTemporalString::CheckLengthAndPadOrClipIfInError(int CorrectLength) {
  if (CorrectLength < 0) CorrectLength = 0;
  const int oldCount = Count();
  const int d = CorrectLength - oldCount;
  if (d > 0) {
    Timestamps.resize(static_cast<std::size_t>(CorrectLength) + 1, NullTimestamp);
    if (oldCount > 0)
      return QStringLiteral(
                 "Warning:  Had to pad %1 timestamps with %2 more. (Error code "
                 "TS.FMTLBPWN)")
          .arg(oldCount)
          .arg(d);
    return {};
  }
  if (d < 0) {
    Timestamps.resize(static_cast<std::size_t>(CorrectLength) + 1);
    return QStringLiteral(
               "Warning:  Had to clip %1 timestamps to get down to %2. (Error code "
               "TS.FMTLBPWN)")
        .arg(-d)
        .arg(CorrectLength);
  }
  return {};
}

void TTemporalString::ReportError(const QString &Msg) const {
  // Logged whether or not the dialog shows, so that an ignored problem still leaves a trace.
  ErrorReport(false, QStringLiteral("TTemporalString: ") + Msg);
  if (!gReportsEnabled) return;
  const QString text = QStringLiteral("An internal error occurred. It is described as \"") + Msg +
                       QStringLiteral(
                           "\"\n\nPress OK to continue\nPress Abort to exit the program "
                           "immediately.\nPress Ignore to continue and ignore future errors.");
  const TPromptButton answer =
      Prompts().Ask(text, {TPromptButton::pbOk, TPromptButton::pbAbort, TPromptButton::pbIgnore},
                    TPromptButton::pbOk, TPromptIcon::piInformation);
  if (answer == TPromptButton::pbIgnore)
    gReportsEnabled = false;
  else if (answer == TPromptButton::pbAbort)
    RunAbortHandler();
}

void TTemporalString::ReportError1(const QString &Msg, int X) const {
  ReportError(QStringLiteral("%1: 1 <= %2 <= %3").arg(Msg).arg(X).arg(Timestamps.size() - 1));
}

void TTemporalString::ReportError2(const QString &Msg, int Start, int Stop) const {
  ReportError(QStringLiteral("%1: 1 <= %2 <= %3 <= %4")
                  .arg(Msg)
                  .arg(Start)
                  .arg(Stop)
                  .arg(Timestamps.size() - 1));
}

bool TTemporalString::ReportsEnabled() { return gReportsEnabled; }

void TTemporalString::SetReportsEnabled(bool On) { gReportsEnabled = On; }
