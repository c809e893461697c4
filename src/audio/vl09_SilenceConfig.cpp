#include "vl09_SilenceConfig.h"

#include "vlGlobals.h"

#include <algorithm>

namespace {

constexpr char16_t Letters[SilenceLevelCount] = {u'N', u'H', u'V', u'P'};

int LimitedLevel(int Level) { return std::clamp(Level, 0, SilenceLevelCount - 1); }

// Parses "M-L"; nothing when the entry is not of that form.
std::optional<std::pair<int, int>> ParseEntry(QStringView Entry) {
  const qsizetype n = Entry.size();
  if (n < 3 || Entry[n - 2] != u'-') return std::nullopt;
  const std::optional<int> level = SilenceLevelOfLetter(Entry[n - 1]);
  if (!level) return std::nullopt;
  const QStringView digits = Entry.first(n - 2);
  // At most four digits: anything longer is out of range however it reads.
  if (digits.size() > 4) return std::nullopt;
  int minute = 0;
  for (QChar c : digits) {
    if (c < u'0' || c > u'9') return std::nullopt;
    minute = minute * 10 + (c.unicode() - u'0');
  }
  if (minute > MinutesPerDay - 1) return std::nullopt;
  return std::make_pair(minute, *level);
}

}  // namespace

QChar SilenceLevelLetter(int Level) {
  if (Level < 0 || Level >= SilenceLevelCount) return u'?';
  return Letters[Level];
}

std::optional<int> SilenceLevelOfLetter(QChar Letter) {
  for (int level = 0; level < SilenceLevelCount; ++level)
    if (Letter == Letters[level]) return level;
  return std::nullopt;
}

TColor SilenceLevelColor(int Level) {
  // As the schedule window has always shown them, in the 0xBBGGRR form of TColor.
  static constexpr TColor colors[SilenceLevelCount] = {0xFFFFFF, 0xFFFF, 0x7FFF, 789644};
  return colors[LimitedLevel(Level)];
}

QString SilenceLevelCaption(int Level) {
  switch (LimitedLevel(Level)) {
    case slOff: return QStringLiteral("Protection Off");
    case slHint: return QStringLiteral("Show Hint");
    case slAsk: return QStringLiteral("Ask Permission");
    default: return QStringLiteral("Require Password");
  }
}

QString SilenceLevelExplanation(int Level) {
  switch (LimitedLevel(Level)) {
    case slOff: return QStringLiteral("Play immediately. Useful at home or after meetings.");
    case slHint:
      return QStringLiteral("Protect the silence and display a hint about using the menu.");
    case slAsk: return QStringLiteral("A window will pop up asking you to make a choice.");
    default: return QStringLiteral("A window will ask you to type a non-secret password.");
  }
}

TvlSilenceConfigSchedule::TvlSilenceConfigSchedule() : FPassword(QStringLiteral("Tawny")) {
  Clear();
}

void TvlSilenceConfigSchedule::Clear() {
  for (TDaySchedule &day : WeeklySchedule) day.fill(slOff);
}

int TvlSilenceConfigSchedule::ProtectionLevel(TDateTime When) const {
  if (!IsValidDateTime(When)) return slOff;
  std::int64_t dayNumber = 0, msecOfDay = 0;
  SplitDateTime(When, dayNumber, msecOfDay);
  const int minute = static_cast<int>(std::clamp<std::int64_t>(msecOfDay / 60000, 0, 1439));
  return LevelAt(DayOfWeek(When) - 1, minute);
}

int TvlSilenceConfigSchedule::LevelAt(int Day, int Minute) const {
  if (Day < 0 || Day >= DaysPerWeek || Minute < 0 || Minute >= MinutesPerDay) return slOff;
  return WeeklySchedule[Day][Minute];
}

bool TvlSilenceConfigSchedule::GetSchedule(int Day, TDaySchedule &DaySchedule) const {
  if (Day < 0 || Day >= DaysPerWeek) return false;
  DaySchedule = WeeklySchedule[Day];
  return true;
}

bool TvlSilenceConfigSchedule::SetSchedule(int Day, const TDaySchedule &DaySchedule) {
  if (Day < 0 || Day >= DaysPerWeek) return false;
  for (int m = 0; m < MinutesPerDay; ++m)
    WeeklySchedule[Day][m] = static_cast<std::uint8_t>(std::min<int>(DaySchedule[m], slPassword));
  return true;
}

QString TvlSilenceConfigSchedule::DayValueName(int Day) {
  static const char *const days[DaysPerWeek] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  if (Day < 0 || Day >= DaysPerWeek) return QString();
  return QStringLiteral("Silence_") + QLatin1String(days[Day]);
}

QString TvlSilenceConfigSchedule::EncodeDay(const TDaySchedule &DaySchedule) {
  const auto letter = [&](int Minute) {
    return SilenceLevelLetter(LimitedLevel(DaySchedule[Minute]));
  };
  QString text;
  text.reserve(64);
  text += QStringLiteral("0-");
  text += letter(0);
  for (int i = 1; i < MinutesPerDay; ++i) {
    if (DaySchedule[i] == DaySchedule[i - 1]) continue;
    text += QStringLiteral(", ") + QString::number(i) + u'-' + letter(i - 1);
  }
  text += QStringLiteral(", 1439-");
  text += letter(MinutesPerDay - 1);
  return text;
}

TDaySchedule TvlSilenceConfigSchedule::DecodeDay(QStringView Text, QStringList *Problems) {
  TDaySchedule day;
  day.fill(slOff);
  int previous = 0;
  int entries = 0;
  qsizetype from = 0;
  while (from <= Text.size() && entries < MaxEntriesPerDay) {
    qsizetype comma = Text.indexOf(u',', from);
    if (comma < 0) comma = Text.size();
    const QStringView entry = Text.mid(from, comma - from).trimmed();
    from = comma + 1;
    if (entry.isEmpty() && comma == Text.size()) break;  // nothing after the last separator
    ++entries;
    const auto parsed = ParseEntry(entry);
    if (!parsed) {
      if (Problems)
        *Problems << QStringLiteral("Entry \"%1\" skipped").arg(entry.left(40).toString());
      continue;
    }
    const auto [minute, level] = *parsed;
    if (minute < previous) {
      // Minutes only go forwards in a written day; an entry that goes back would repaint
      // minutes its predecessors already set.
      if (Problems) *Problems << QStringLiteral("Entry \"%1\" out of order, skipped").arg(minute);
      continue;
    }
    for (int m = previous; m <= minute; ++m) day[m] = static_cast<std::uint8_t>(level);
    previous = minute;
  }
  if (entries >= MaxEntriesPerDay && from <= Text.size() && Problems)
    *Problems << QStringLiteral("Entries after the %1th ignored").arg(MaxEntriesPerDay);
  return day;
}

QString TvlSilenceConfigSchedule::DayText(int Day) const {
  if (Day < 0 || Day >= DaysPerWeek) return QString();
  return EncodeDay(WeeklySchedule[Day]);
}

bool TvlSilenceConfigSchedule::SetDayText(int Day, QStringView Text, QStringList *Problems) {
  if (Day < 0 || Day >= DaysPerWeek) return false;
  WeeklySchedule[Day] = DecodeDay(Text, Problems);
  return true;
}

QStringList TvlSilenceConfigSchedule::Registry_LoadFrom(const TSilenceSettings &Store) {
  QStringList problems;
  for (int day = 0; day < DaysPerWeek; ++day) {
    const QString name = DayValueName(day);
    const std::optional<QString> text = Store.Value(name);
    if (!text) continue;
    QStringList dayProblems;
    SetDayText(day, *text, &dayProblems);
    for (const QString &problem : std::as_const(dayProblems)) {
      const QString line = name + QStringLiteral(": ") + problem;
      TraceWrite(line);
      problems << line;
    }
  }
  return problems;
}

void TvlSilenceConfigSchedule::Registry_SaveTo(TSilenceSettings &Store) const {
  for (int day = 0; day < DaysPerWeek; ++day) Store.SetValue(DayValueName(day), DayText(day));
}
