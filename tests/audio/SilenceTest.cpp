// Silence protection without widgets: the gate over every level, moment, permission and answer
// with the clock injected; the schedule's stored form through the real settings file, with
// random schedules, the day's first and last minute, and damaged values.

#include "vl09_Registry.h"
#include "vl09_Silence.h"
#include "vl09_SilenceConfig.h"
#include "vlClock.h"
#include "vlColorConversion.h"
#include "vlGlobals.h"
#include "vlPrompts.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// 2009-09-07 was a Monday.
TDateTime Monday(int Hour, int Minute, int Second = 0, int MSec = 0) {
  return EncodeDateTime(2009, 9, 7, Hour, Minute, Second, MSec);
}
TDateTime Tuesday(int Hour, int Minute) { return EncodeDateTime(2009, 9, 8, Hour, Minute); }
constexpr int MondayIndex = 1;

TDaySchedule Filled(int Level) {
  TDaySchedule day;
  day.fill(static_cast<std::uint8_t>(Level));
  return day;
}

TDaySchedule WithBand(TDaySchedule Day, int From, int Through, int Level) {
  for (int m = From; m <= Through; ++m) Day[m] = static_cast<std::uint8_t>(Level);
  return Day;
}

// "P" on Monday 09:00 through 10:00, as the painter leaves a drag over those hours.
TvlSilenceConfigSchedule MondayMorningPassword() {
  TvlSilenceConfigSchedule schedule;
  schedule.SetSchedule(MondayIndex, WithBand(Filled(slOff), 540, 600, slPassword));
  return schedule;
}

// Prompts that answer the protection window directly and count what was shown.
struct TFakeSilencePrompts final : TSilencePrompts {
  bool Answer = false;
  int Hints = 0;
  int Windows = 0;
  int LastLevel = -1;
  QString LastPassword;
  void ShowHint(const QString &, int) override { ++Hints; }
  bool AskToBreakSilence(int Level, const QString &Password) override {
    ++Windows;
    LastLevel = Level;
    LastPassword = Password;
    return Answer;
  }
};

}  // namespace

// ---- The gate ----

TEST(SilenceGate, AnswersByLevelMomentPermissionAndAnswer) {
  struct RRow {
    const char *Name;
    TSilenceChoice Choice;
    TDateTime When;
    bool Answer;     // what the user answers in the window
    bool Plays;      // first request
    int Hints;       // after the first request
    int Windows;     // after the first request
    int AskedLevel;  // the level the window was shown for, -1 for none
    bool Granted;    // permission holds afterwards
  };
  const RRow rows[] = {
      {"schedule off before the band", TSilenceChoice::scScheduled, Monday(8, 59, 59, 999), false,
       true, 0, 0, -1, false},
      {"schedule P at the band's start", TSilenceChoice::scScheduled, Monday(9, 0), false, false, 0,
       1, slPassword, false},
      {"schedule P at 09:30, accepted", TSilenceChoice::scScheduled, Monday(9, 30), true, true, 0,
       1, slPassword, true},
      {"schedule P through minute 600", TSilenceChoice::scScheduled, Monday(10, 0, 59), false,
       false, 0, 1, slPassword, false},
      {"schedule off from 10:01", TSilenceChoice::scScheduled, Monday(10, 1), false, true, 0, 0, -1,
       false},
      {"schedule off on Tuesday 09:30", TSilenceChoice::scScheduled, Tuesday(9, 30), false, true, 0,
       0, -1, false},
      {"hint refuses whatever the hour", TSilenceChoice::scOnHint, Tuesday(3, 0), true, false, 1, 0,
       -1, false},
      {"ask, answered Play", TSilenceChoice::scOnAsk, Tuesday(3, 0), true, true, 0, 1, slAsk, true},
      {"ask, answered No", TSilenceChoice::scOnAsk, Monday(9, 30), false, false, 0, 1, slAsk,
       false},
      {"password, answered", TSilenceChoice::scOnPassword, Tuesday(23, 59), true, true, 0, 1,
       slPassword, true},
      {"granted plays inside the band", TSilenceChoice::scGrantPermission, Monday(9, 30), false,
       true, 0, 0, -1, true},
      {"nothing checked follows the schedule", TSilenceChoice::scNone, Monday(9, 30), true, true, 0,
       1, slPassword, true},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Name);
    const TvlSilenceConfigSchedule schedule = MondayMorningPassword();
    TManualClock clock(row.When);
    TSilenceProtection protection(schedule, &clock);
    TFakeSilencePrompts prompts;
    prompts.Answer = row.Answer;
    protection.SetPrompts(&prompts);
    protection.SetChoice(row.Choice);
    TSilenceGate &gate = protection;  // as the audio facade holds it

    EXPECT_EQ(gate.OkayToBreakSilence(), row.Plays);
    EXPECT_EQ(prompts.Hints, row.Hints);
    EXPECT_EQ(prompts.Windows, row.Windows);
    EXPECT_EQ(prompts.LastLevel, row.AskedLevel);
    if (row.Windows > 0) {
      EXPECT_EQ(prompts.LastPassword, S("Tawny"));
    }
    EXPECT_EQ(protection.GetGavePermission(), row.Granted);

    // A second request a minute later: a granted permission plays without asking again; a
    // refusal asks (or hints) again, since nothing was decided for the session.
    clock.Set(row.When + 1.0 / MinsPerDay);
    prompts.Answer = false;
    const int windowsBefore = prompts.Windows;
    const bool second = gate.OkayToBreakSilence();
    if (row.Granted) {
      EXPECT_TRUE(second);
      EXPECT_EQ(prompts.Windows, windowsBefore);
    }
  }
}

TEST(SilenceGate, PermissionHoldsUntilAnotherChoiceAndTheChoiceIsReported) {
  const TvlSilenceConfigSchedule schedule = MondayMorningPassword();
  TManualClock clock(Monday(9, 30));
  TSilenceProtection protection(schedule, &clock);
  TFakeSilencePrompts prompts;
  protection.SetPrompts(&prompts);
  QList<TSilenceChoice> reported;
  protection.SetOnChoiceChanged([&](TSilenceChoice Choice) { reported << Choice; });

  EXPECT_EQ(protection.Choice(), TSilenceChoice::scScheduled);
  prompts.Answer = true;
  EXPECT_TRUE(protection.OkayToBreakSilence());
  for (int hour = 0; hour < 24; ++hour) {
    clock.Set(Monday(hour, 30));
    EXPECT_TRUE(protection.OkayToBreakSilence());
  }
  EXPECT_EQ(prompts.Windows, 1);
  EXPECT_EQ(reported, QList<TSilenceChoice>{TSilenceChoice::scGrantPermission});

  // Choosing "follow the schedule" again takes the permission back.
  protection.SetChoice(TSilenceChoice::scScheduled);
  clock.Set(Monday(9, 30));
  prompts.Answer = false;
  EXPECT_FALSE(protection.OkayToBreakSilence());
  EXPECT_EQ(prompts.Windows, 2);
  EXPECT_EQ(reported.size(), 2);

  // A new recording ends a permission, as the window says, and the choice before it is back: a
  // fixed "Ask" stays "Ask"; without a permission nothing changes.
  protection.NewRecordingStarted();
  EXPECT_EQ(reported.size(), 2);
  protection.SetChoice(TSilenceChoice::scOnAsk);
  prompts.Answer = true;
  EXPECT_TRUE(protection.OkayToBreakSilence());
  EXPECT_TRUE(protection.GetGavePermission());
  protection.NewRecordingStarted();
  EXPECT_EQ(protection.Choice(), TSilenceChoice::scOnAsk);
  prompts.Answer = false;
  EXPECT_FALSE(protection.OkayToBreakSilence());
  EXPECT_EQ(prompts.Windows, 4);
}

TEST(SilenceGate, WithoutWidgetsTheProgramsPromptsAskAndAcceptThePasswordInCapitals) {
  const TvlSilenceConfigSchedule schedule = MondayMorningPassword();
  TManualClock clock(Monday(9, 30));
  TSilenceProtection protection(schedule, &clock);
  TScriptedPrompts scripted;
  TScopedPrompts installed(scripted);

  // A wrong password is answered with the "Try again" hint and asked again; capitals match.
  scripted.ScriptPassword(S("tabby"));
  scripted.ScriptPassword(S("TAWNY"));
  EXPECT_TRUE(protection.OkayToBreakSilence());
  ASSERT_EQ(scripted.Asked().size(), 3);
  EXPECT_EQ(scripted.Asked()[0].Kind, TScriptedPrompts::RAsked::akPassword);
  EXPECT_TRUE(scripted.Asked()[0].Text.contains(S("Password is \"Tawny\"")));
  EXPECT_EQ(scripted.Asked()[1].Text, S("Try again or choose \"NO\""));
  EXPECT_TRUE(protection.GetGavePermission());

  // Cancelling the password prompt refuses.
  scripted.Clear();
  protection.SetChoice(TSilenceChoice::scOnPassword);
  scripted.ScriptPassword(std::nullopt);
  EXPECT_FALSE(protection.OkayToBreakSilence());

  // Level 2 is a Yes/No question; the hint of level 1 a message.
  scripted.Clear();
  protection.SetChoice(TSilenceChoice::scOnAsk);
  scripted.ScriptAnswer(TPromptButton::pbNo);
  EXPECT_FALSE(protection.OkayToBreakSilence());
  scripted.ScriptAnswer(TPromptButton::pbYes);
  EXPECT_TRUE(protection.OkayToBreakSilence());
  protection.SetChoice(TSilenceChoice::scOnHint);
  scripted.Clear();
  EXPECT_FALSE(protection.OkayToBreakSilence());
  EXPECT_EQ(
      scripted.AskedTexts(),
      QStringList{S("Silence Protection is ON.  Pull down \"Silence\" menu to enable sounds.")});
  EXPECT_EQ(scripted.UnscriptedCount(), 0);
}

TEST(SilenceGate, CaptionsAndLevelsOfTheFixedChoices) {
  const TvlSilenceConfigSchedule schedule = MondayMorningPassword();
  TManualClock clock(Monday(9, 30));
  TSilenceProtection protection(schedule, &clock);
  const std::pair<TSilenceChoice, int> levels[] = {{TSilenceChoice::scOnHint, slHint},
                                                   {TSilenceChoice::scOnAsk, slAsk},
                                                   {TSilenceChoice::scOnPassword, slPassword},
                                                   {TSilenceChoice::scScheduled, slPassword}};
  for (const auto &[choice, level] : levels) {
    protection.SetChoice(choice);
    EXPECT_EQ(protection.CurrentLevelOfProtection(), level);
  }
  clock.Set(Tuesday(9, 30));
  EXPECT_EQ(protection.CurrentLevelOfProtection(), slOff);
  EXPECT_EQ(TSilenceProtection::ScheduledCaption(slOff), S("Follow Schedule  (Currently: OFF)"));
  EXPECT_EQ(TSilenceProtection::ScheduledCaption(slHint),
            S("Follow Schedule  (Currently: ON - Hint)"));
  EXPECT_EQ(TSilenceProtection::ScheduledCaption(slAsk),
            S("Follow Schedule  (Currently: ON - Ask)"));
  EXPECT_EQ(TSilenceProtection::ScheduledCaption(slPassword),
            S("Follow Schedule  (Currently: ON - Password)"));
}

// ---- The schedule ----

TEST(SilenceSchedule, LevelOfAMomentByWeekdayAndMinute) {
  TvlSilenceConfigSchedule schedule;
  TDaySchedule sunday = Filled(slOff);
  sunday[0] = slHint;
  sunday[1439] = slAsk;
  schedule.SetSchedule(0, sunday);
  schedule.SetSchedule(6, WithBand(Filled(slOff), 1439, 1439, slPassword));
  const TDateTime sundayMidnight = EncodeDate(2009, 9, 6);
  EXPECT_EQ(schedule.ProtectionLevel(sundayMidnight), slHint);
  EXPECT_EQ(schedule.ProtectionLevel(sundayMidnight + 59.999 / SecsPerDay), slHint);
  EXPECT_EQ(schedule.ProtectionLevel(sundayMidnight + 60.0 / SecsPerDay), slOff);
  EXPECT_EQ(schedule.ProtectionLevel(EncodeDateTime(2009, 9, 6, 23, 59, 59, 999)), slAsk);
  EXPECT_EQ(schedule.ProtectionLevel(EncodeDateTime(2009, 9, 12, 23, 59, 30)), slPassword);
  EXPECT_EQ(schedule.ProtectionLevel(EncodeDateTime(2009, 9, 13, 0, 0, 30)), slHint);
  EXPECT_EQ(schedule.ProtectionLevel(std::numeric_limits<double>::quiet_NaN()), slOff);
  // Days outside the week are refused and change nothing.
  EXPECT_FALSE(schedule.SetSchedule(7, Filled(slPassword)));
  EXPECT_FALSE(schedule.SetSchedule(-1, Filled(slPassword)));
  TDaySchedule out = Filled(slAsk);
  EXPECT_FALSE(schedule.GetSchedule(7, out));
  EXPECT_EQ(out, Filled(slAsk));
}

TEST(SilenceSchedule, StoredFormOfKnownDays) {
  EXPECT_EQ(TvlSilenceConfigSchedule::EncodeDay(Filled(slOff)), S("0-N, 1439-N"));
  EXPECT_EQ(TvlSilenceConfigSchedule::EncodeDay(WithBand(Filled(slOff), 540, 600, slPassword)),
            S("0-N, 540-N, 601-P, 1439-N"));
  // A change at the last minute is written, not lost.
  EXPECT_EQ(TvlSilenceConfigSchedule::EncodeDay(WithBand(Filled(slOff), 1439, 1439, slHint)),
            S("0-N, 1439-N, 1439-H"));
  EXPECT_EQ(TvlSilenceConfigSchedule::EncodeDay(WithBand(Filled(slAsk), 0, 0, slOff)),
            S("0-N, 1-N, 1439-V"));
  EXPECT_EQ(TvlSilenceConfigSchedule::DayValueName(0), S("Silence_Sun"));
  EXPECT_EQ(TvlSilenceConfigSchedule::DayValueName(6), S("Silence_Sat"));
  EXPECT_EQ(TvlSilenceConfigSchedule::DayValueName(7), QString());
  // The colours as the window shows them: the stored 0xBBGGRR values read as red-green-blue.
  const QColor expected[] = {QColor(255, 255, 255), QColor(255, 255, 0), QColor(255, 127, 0),
                             QColor(140, 12, 12)};
  for (int level = 0; level < SilenceLevelCount; ++level)
    EXPECT_EQ(TColorToQColor(SilenceLevelColor(level)), expected[level]) << level;
}

TEST(SilenceSchedule, RandomSchedulesRoundTripThroughTheSettingsFile) {
  std::mt19937 random(20091);
  TFreshFolder folder;
  const QString ini = folder.File(S("2009.ini"));
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE(round);
    TvlSilenceConfigSchedule written;
    for (int day = 0; day < DaysPerWeek; ++day) {
      TDaySchedule levels;
      const int kind = static_cast<int>(random() % 4);
      if (kind == 0) {
        // Every minute drawn on its own: about 1080 changes, beyond what any painter makes.
        for (std::uint8_t &level : levels) level = static_cast<std::uint8_t>(random() % 4);
      } else {
        // Bands of random lengths, some a single minute, often touching minute 0 or 1439.
        int minute = 0;
        while (minute < MinutesPerDay) {
          const int length = 1 + static_cast<int>(random() % (kind == 1 ? 3 : 200));
          const auto level = static_cast<std::uint8_t>(random() % 4);
          for (int m = minute; m < std::min(minute + length, MinutesPerDay); ++m) levels[m] = level;
          minute += length;
        }
        if (random() % 2) levels[1439] = static_cast<std::uint8_t>((levels[1438] + 1) % 4);
        if (random() % 2) levels[0] = static_cast<std::uint8_t>((levels[1] + 1) % 4);
      }
      written.SetSchedule(day, levels);
    }
    {
      TRegistryData store(ini);
      TSilenceSettingsOf<TRegistryData> settings(store);
      written.Registry_SaveTo(settings);
      ASSERT_TRUE(store.OnApplicationClose_WriteToRegistry());
    }
    TRegistryData store(ini);
    ASSERT_TRUE(store.OnApplicationOpen_ReadFromRegistry());
    TvlSilenceConfigSchedule read;
    EXPECT_TRUE(read.Registry_LoadFrom(TSilenceSettingsOf<TRegistryData>(store)).isEmpty());
    for (int day = 0; day < DaysPerWeek; ++day) {
      TDaySchedule a, b;
      written.GetSchedule(day, a);
      read.GetSchedule(day, b);
      ASSERT_EQ(a, b) << "day " << day << ": " << written.DayText(day).toStdString();
    }
  }
}

TEST(SilenceSchedule, DamagedValuesLoadWhatTheyCanForTheirDayOnly) {
  struct RRow {
    const char *Name;
    const char *Text;
    // Minutes and the level each must have afterwards.
    std::vector<std::pair<int, int>> Expect;
    int Problems;
  };
  const RRow rows[] = {
      {"garbage", "not a schedule", {{0, slOff}, {720, slOff}, {1439, slOff}}, 1},
      {"empty", "", {{0, slOff}, {1439, slOff}}, 0},
      {"one entry damaged",
       "0-N, 540-N, 6x1-P, 601-P, 1439-N",
       {{539, slOff}, {540, slPassword}, {600, slPassword}, {601, slOff}},
       1},
      {"cut short", "0-N, 540-N, 601-P", {{540, slPassword}, {601, slPassword}, {602, slOff}}, 0},
      {"minute beyond the day", "0-N, 1440-P, 99999999999-P", {{1439, slOff}}, 2},
      {"letters other than N, H, V, P",
       "0-N, 600-p, 700-X, 800--",
       {{600, slOff}, {800, slOff}},
       3},
      {"signs and blanks",
       "+5-P, -5-P,  7 -P, 9-P ",
       {{0, slPassword}, {9, slPassword}, {10, slOff}},
       3},
      {"separators without entries", ",,, 3-H,", {{3, slHint}, {4, slOff}}, 3},
      {"minutes going backwards",
       "0-N, 900-V, 100-P, 1439-H",
       {{99, slAsk}, {100, slAsk}, {899, slAsk}, {901, slHint}, {1439, slHint}},
       1},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Name);
    TvlSilenceConfigSchedule schedule;
    for (int day = 0; day < DaysPerWeek; ++day) schedule.SetSchedule(day, Filled(slHint));
    TRegistryData store(QString{});
    store.SetValue(S("Silence_Wed"), S(row.Text));
    const QStringList problems =
        schedule.Registry_LoadFrom(TSilenceSettingsOf<TRegistryData>(store));
    EXPECT_EQ(problems.size(), row.Problems) << problems.join(u'|').toStdString();
    for (const auto &[minute, level] : row.Expect)
      EXPECT_EQ(schedule.LevelAt(3, minute), level) << "minute " << minute;
    // Days without a value keep their minutes.
    for (int day : {0, 1, 2, 4, 5, 6}) {
      TDaySchedule levels;
      schedule.GetSchedule(day, levels);
      EXPECT_EQ(levels, Filled(slHint)) << "day " << day;
    }
  }
}

TEST(SilenceSchedule, EntriesBeyondTheMostADayCanNeedAreIgnored) {
  // 1441 entries are read; a 1442nd, which no writer produces, is not.
  QString text;
  for (int i = 0; i < TvlSilenceConfigSchedule::MaxEntriesPerDay; ++i)
    text += QString::number(std::min(i, 1439)) + S("-V, ");
  text += S("1439-P");
  QStringList problems;
  const TDaySchedule day = TvlSilenceConfigSchedule::DecodeDay(text, &problems);
  EXPECT_EQ(day[1439], slAsk);
  EXPECT_EQ(problems.size(), 1);

  // A long damaged entry is skipped as one.
  const QString huge = QString(200000, u'x') + S(", 5-P");
  const TDaySchedule damaged = TvlSilenceConfigSchedule::DecodeDay(huge);
  EXPECT_EQ(damaged[5], slPassword);
}
