#pragma once
// The weekly silence schedule: one protection level for every minute of the week, painted by the
// user in the schedule window and consulted by silence protection before anything plays.
//
// Stored form. One settings value per day, "Silence_Sun" .. "Silence_Sat", each a list of entries
// separated by ", ", an entry being a minute M (0..1439), "-" and a level letter L (N, H, V, P).
// An entry paints L on every minute from the previous entry's M (0 for the first) through its own
// M, so each entry after the first also repaints the minute it shares with the one before. The
// writer gives the entry for minute 0, then for every minute i (1..1439) that starts a new run
// the entry "i" with the letter of the run before it, and last "1439" with the letter of the final
// run. Minute 1439 is part of the loop: a day whose last minute differs from minute 1438 would
// otherwise read back with that minute wrong. An all-off day is "0-N, 1439-N".
//
// Reading is lenient: an entry whose "-" is not its second-last character, whose number is not
// 0..1439, whose letter is not one of N, H, V, P, or whose minute lies before the previous
// entry's (minutes only go forwards in a written day) is skipped and described as a problem. A day
// that has a value starts all off before its entries are applied, so a damaged value gives "off"
// wherever its entries no longer reach, and never touches the other days. A day without a value
// keeps its minutes. At most 1441 entries are read: the most a day written here can need (one per
// minute, plus the entry for minute 0 and the closing one), so every schedule round-trips, while
// a damaged value of any length costs bounded work.
//
// Called on the user-interface thread only.

#include "vlColor.h"
#include "vlDateTime.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>

// Protection levels, one byte per minute.
enum TSilenceLevel : std::uint8_t {
  slOff = 0,       // play at once
  slHint = 1,      // refuse and show a hint
  slAsk = 2,       // ask for permission in the protection window
  slPassword = 3,  // ask for the non-secret password in the protection window
};
inline constexpr int SilenceLevelCount = 4;
inline constexpr int MinutesPerDay = 1440;
inline constexpr int DaysPerWeek = 7;

// One day's levels; index 0 is the minute from 00:00 to 00:01.
using TDaySchedule = std::array<std::uint8_t, MinutesPerDay>;

// The stored letter of a level ("N", "H", "V", "P"); '?' outside 0..3.
QChar SilenceLevelLetter(int Level);
// The level of a stored letter, or nothing for any other character.
std::optional<int> SilenceLevelOfLetter(QChar Letter);
// The level's colour in the schedule window, as 0xBBGGRR: white, yellow, orange, dark red.
TColor SilenceLevelColor(int Level);
// The caption of the level's colour key: "Protection Off", "Show Hint", "Ask Permission",
// "Require Password".
QString SilenceLevelCaption(int Level);
// The explanation under the level's colour key.
QString SilenceLevelExplanation(int Level);

// The part of the settings store the schedule uses. The store itself lives in the shell, above
// this library, so the shell hands it in through this interface (TSilenceSettingsOf below).
class TSilenceSettings {
 public:
  virtual ~TSilenceSettings() = default;
  // The value, or nothing when the store has none under Name.
  virtual std::optional<QString> Value(const QString &Name) const = 0;
  virtual void SetValue(const QString &Name, const QString &Value) = 0;
};

// Adapts any store that has ValueExists, GetValue and SetValue (the shell's TRegistryData).
template <typename TStore>
class TSilenceSettingsOf final : public TSilenceSettings {
 public:
  explicit TSilenceSettingsOf(TStore &Store) : FStore(Store) {}
  std::optional<QString> Value(const QString &Name) const override {
    if (!FStore.ValueExists(Name)) return std::nullopt;
    return FStore.GetValue(Name);
  }
  void SetValue(const QString &Name, const QString &Value) override {
    FStore.SetValue(Name, Value);
  }

 private:
  TStore &FStore;
};

class TvlSilenceConfigSchedule {
 public:
  // The entries read from one day's value at most; see the top of this file.
  static constexpr int MaxEntriesPerDay = MinutesPerDay + 1;

  // All minutes off, the password "Tawny".
  TvlSilenceConfigSchedule();

  // The level of When's weekday and minute of the day (limited to 0..1439). An unreadable moment
  // (NaN, infinite, outside years 1..9999) names no minute and gives off.
  int ProtectionLevel(TDateTime When) const;
  // The level of a day (0 = Sunday .. 6 = Saturday) and minute; 0 outside the week.
  int LevelAt(int Day, int Minute) const;

  // Copy one day's levels out or in; Day 0 = Sunday .. 6 = Saturday. Other days are refused
  // (false) and leave the schedule and DaySchedule as they were. Levels above 3 are stored as 3.
  bool GetSchedule(int Day, TDaySchedule &DaySchedule) const;
  bool SetSchedule(int Day, const TDaySchedule &DaySchedule);
  // Every minute of the week off.
  void Clear();

  // Read the seven day values from Store (a day without a value keeps its minutes), or write them.
  // Problems of damaged values are traced and answered, one line each, naming the value.
  QStringList Registry_LoadFrom(const TSilenceSettings &Store);
  void Registry_SaveTo(TSilenceSettings &Store) const;

  // One day as its stored text, and the other way. DecodeDay starts from all off.
  static QString EncodeDay(const TDaySchedule &DaySchedule);
  static TDaySchedule DecodeDay(QStringView Text, QStringList *Problems = nullptr);
  // "Silence_Sun" .. "Silence_Sat" for Day 0 .. 6; empty for any other.
  static QString DayValueName(int Day);
  // The day's text in the stored form; empty for a day outside 0..6.
  QString DayText(int Day) const;
  // Sets a day from its stored text; false for a day outside 0..6.
  bool SetDayText(int Day, QStringView Text, QStringList *Problems = nullptr);

  // The password level 3 asks for. It is shown to the user in the protection window, so it is not
  // a secret; it cannot be changed through the user interface.
  QString Password() const { return FPassword; }

 private:
  std::array<TDaySchedule, DaysPerWeek> WeeklySchedule;
  QString FPassword;
};
