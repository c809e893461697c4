#pragma once
// Per-character timestamps: the moment on the recordings' timeline a character belongs to, the
// wall-clock moment it was typed, their text form inside notes files, and the parallel list a
// rich string keeps of them.
//
// Everything here runs on the user-interface thread.

#include "vlDateTime.h"
#include "vlSeam.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <string>
#include <vector>

// Two moments per character. Both 0 is the null timestamp ("not set").
struct RvlTimestamp {
  TDateTime FEffectiveDT = 0;  // on the recordings' timeline: what playback and search use
  TDateTime RealDT = 0;        // local wall clock when the character was typed or inserted

  friend bool operator==(const RvlTimestamp &, const RvlTimestamp &) = default;
};

inline constexpr RvlTimestamp NullTimestamp{};

// ---- The effective-time broker -------------------------------------------------------------
//
// New text needs a moment on the timeline. Which one depends on what the program is doing
// (recording, playing, idle), which only the main window knows; it installs a broker. Until then
// the default answers "now", the rule for a program that has not finished starting.
class TEffectiveTimeBroker {
 public:
  virtual ~TEffectiveTimeBroker() = default;
  // DocumentContextDT is the effective time of the text around the caret (0 when it has none).
  virtual TDateTime BrokeredEffectiveWhen(TDateTime DocumentContextDT) = 0;
};

// The states the rule reads. The main window keeps them current.
struct RBrokerState {
  bool StartupCompleted = false;
  bool Recording = false;
  bool Playing = false;
  TDateTime PlayPosition = 0;  // a moment on the recordings' timeline
};

// The rule: "now" before start-up completes or while recording; the playback position when the
// context has no moment and audio plays; else the context itself.
TDateTime ApplyEffectiveTimeRule(const RBrokerState &State, TDateTime DocumentContextDT,
                                 TDateTime NowDT);

// A broker that applies the rule to a state its owner updates.
class TRuleBroker final : public TEffectiveTimeBroker {
 public:
  RBrokerState State;
  TDateTime BrokeredEffectiveWhen(TDateTime DocumentContextDT) override;
};

TSeam<TEffectiveTimeBroker> &EffectiveTimeBrokerSeam();
TEffectiveTimeBroker &EffectiveTimeBroker();
// Installs a broker (not owned); nullptr restores the default.
void SetEffectiveTimeBroker(TEffectiveTimeBroker *Broker);

class TScopedEffectiveTimeBroker {
 public:
  explicit TScopedEffectiveTimeBroker(TEffectiveTimeBroker &Installed);
  ~TScopedEffectiveTimeBroker();
  TScopedEffectiveTimeBroker(const TScopedEffectiveTimeBroker &) = delete;
  TScopedEffectiveTimeBroker &operator=(const TScopedEffectiveTimeBroker &) = delete;

 private:
  TEffectiveTimeBroker *FPrevious;
};

// ---- Timestamp routines --------------------------------------------------------------------

TDateTime TimestampNow();
// RealDT := now; FEffectiveDT := the broker's answer, or now when that is below 100 days (that
// is, no real moment) or not a number, and never after now.
RvlTimestamp TimestampForNewText(TDateTime DocumentContextDT);
RvlTimestamp TimestampFromDateTime(TDateTime X);
bool TimestampIsSet(const RvlTimestamp &Timemark);
void TimestampClear(RvlTimestamp &Timemark);
// "(" real "," effective ")": note the order, real time first.
QString TimestampToText(const RvlTimestamp &Timemark);
// Reads the next pair of a list from ScanPos (1-based, as the list's callers count) and moves
// ScanPos past it. Malformed pairs read as null; see TTimestampScanner.
RvlTimestamp TimestampFromText(QStringView Text, int &ScanPos);

// The number form of the pair: 15 significant digits, trailing zeros dropped, "." as decimal
// separator, an exponent only far outside the range of dates ("%.15g" without the locale).
// Non-finite values are written "0" so that a file stays readable. This is the fast form of
// FormatTimestampNumber in vlNumberForms.h, with the same text: lists of timestamps are the bulk
// of a notes file. Writes at most 32 characters to Out; returns how many.
int WriteTimestampNumber(double Value, char *Out);
// Appends the text form of one pair.
void AppendTimestampText(std::string &Out, const RvlTimestamp &Timemark);

// Reads the pairs of a timestamp list one after the other, in one linear pass.
//
// A pair is "(" real "," effective ")". The scanner looks for "," and ")" only up to the next "(",
// so that a damaged pair costs only itself: the next entry starts at the next "(". A real time
// that does not read makes the entry null; an effective time that does not read becomes -1.
// Numbers that are not finite or lie outside the years 1..9999 do not read. When no "(" is left,
// every further entry is null.
class TTimestampScanner {
 public:
  explicit TTimestampScanner(QStringView Text, qsizetype Start = 0) : FText(Text), FPos(Start) {}
  RvlTimestamp Next();
  qsizetype Position() const { return FPos; }
  bool AtEnd() const { return FPos >= FText.size(); }

 private:
  QStringView FText;
  qsizetype FPos;
};

// ---- The list ------------------------------------------------------------------------------

// One timestamp per character of a rich string. Entry 0 is a leading entry that belongs to no
// character; it is kept, copied and stored, but no character reads it. Character i (1-based) has
// entry i, so Count is the array length minus one and never below 0.
//
// Invalid positions are reported through ReportError (a dialog with OK, Abort and Ignore, also
// logged) and then change nothing.
class TTemporalString {
 public:
  TTemporalString();

  void Clear();
  int Count() const { return static_cast<int>(Timestamps.size()) - 1; }
  bool Validate(int X) const { return X >= 1 && X <= Count(); }
  bool ValidateRange(int Start, int Stop) const {
    return Start >= 1 && Start <= Stop && Stop <= Count();
  }

  // Entry At; for an invalid At, a report and a timestamp whose two moments are now.
  RvlTimestamp GetOne(int At) const;
  void SetOne(int At, const RvlTimestamp &Timemark);
  void SetOne(int At, TDateTime Timemark);
  // Before entry At, or appended when At = Count + 1.
  void InsertOne(int At, const RvlTimestamp &Timemark);
  void InsertOne(int At, TDateTime Timemark);
  // Source's entries 1..Count (not its entry 0). Source may be this list.
  void InsertMany(int At, const TTemporalString &Source);
  // Source's entries Start..Stop; Start > Stop inserts nothing. Source may be this list.
  void InsertSubstr(int ToAt, int Start, int Stop, const TTemporalString &Source);
  void Delete(int Start, int Stop);
  // Destination := entries Start-1 .. Stop, so that its entry 0 is the entry before Start.
  // An invalid range leaves Destination cleared and is reported.
  void GetMany(int Start, int Stop, TTemporalString &Destination) const;
  void Assign(const TTemporalString &Source) { Timestamps = Source.Timestamps; }
  void MyAssign(const TTemporalString &Source) { Timestamps = Source.Timestamps; }
  // Puts TL in front as the first character's timestamp.
  void PrepWithInitialTL(const RvlTimestamp &TL) { InsertOne(1, TL); }

  // All entries, entry 0 first, as pairs without separators.
  QString IO_GetAsLongStr() const;
  // The same text appended to Out (the writer's fast path).
  void IO_AppendLongStr(std::string &Out) const;
  // Reads Len entries (entry 0 included) from the text; Len below 1 still keeps entry 0.
  // The text is read in one pass; entries the text lacks are null. Returns empty text.
  QString IO_SetFromLongStr(QStringView TimestampsStr, int Len);
  // The same over the file's bytes.
  void IO_SetFromLongBytes(QByteArrayView TimestampsStr, int Len);
  // Makes Count equal CorrectLength by appending null entries or dropping the last ones;
  // returns the warning text, or empty when nothing had to change (or the list was empty).
  QString CheckLengthAndPadOrClipIfInError(int CorrectLength);

  void ReportError(const QString &Msg) const;
  void ReportError1(const QString &Msg, int X) const;
  void ReportError2(const QString &Msg, int Start, int Stop) const;

  // The process-wide switch of the error dialog: on at start, off for the rest of the run once
  // the user answers Ignore. Tests turn it back on.
  static bool ReportsEnabled();
  static void SetReportsEnabled(bool On);

  // The entries, entry 0 included. Read access for savers and tests.
  const std::vector<RvlTimestamp> &Entries() const { return Timestamps; }

 private:
  void InsertEntries(int At, const RvlTimestamp *First, int N);

  std::vector<RvlTimestamp> Timestamps;
};
