// Timestamps: their text form, the tolerant list reader, the list operations and how new text
// gets its moment.

#include "vldTemporal.h"

#include "vlClock.h"
#include "vlGuard.h"
#include "vlNumberForms.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

namespace {

RvlTimestamp Pair(TDateTime Real, TDateTime Effective) { return RvlTimestamp{Effective, Real}; }

TTemporalString ListOf(std::initializer_list<RvlTimestamp> Items) {
  TTemporalString list;
  int at = 1;
  for (const RvlTimestamp &t : Items) list.InsertOne(at++, t);
  return list;
}

class TemporalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TTemporalString::SetReportsEnabled(true);
    TTestEnvironment::TestPrompts().Clear();
  }
  void TearDown() override { TTemporalString::SetReportsEnabled(true); }
  static QStringList Asked() { return TTestEnvironment::TestPrompts().AskedTexts(); }
};

}  // namespace

TEST_F(TemporalTest, TextForm_RealFirstFifteenDigitsAndNoLocale) {
  struct {
    RvlTimestamp Value;
    const char *Text;
  } rows[] = {
      {NullTimestamp, "(0,0)"},
      {Pair(40123.5678912037, 40123.5677), "(40123.5678912037,40123.5677)"},
      {Pair(45000, 45000.25), "(45000,45000.25)"},
      {Pair(-1, 0.5), "(-1,0.5)"},
      {Pair(45000.123456789012345, 1), "(45000.123456789,1)"},
      {Pair(1.0 / 864000, 2), "(1.15740740740741e-06,2)"},
      {Pair(std::nan(""), std::numeric_limits<double>::infinity()), "(0,0)"},
  };
  for (const auto &row : rows)
    EXPECT_EQ(TimestampToText(row.Value), QString::fromLatin1(row.Text)) << row.Text;
  EXPECT_EQ(TTemporalString().IO_GetAsLongStr(), QStringLiteral("(0,0)"));
}

// The fast writer must give exactly the text of the general number form, for dates and for
// anything else a damaged model might hold.
TEST_F(TemporalTest, FastNumberForm_MatchesTheGeneralForm) {
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> dates(36526, 73051), fractions(0, 1);
  std::uniform_int_distribution<int> exponents(-320, 308);
  char text[40];
  const auto check = [&](double v) {
    const int n = WriteTimestampNumber(v, text);
    ASSERT_EQ(QString::fromLatin1(text, n), FormatTimestampNumber(v)) << v;
  };
  for (int i = 0; i < 100000; ++i) {
    check(dates(random));
    check(-dates(random));
    check(fractions(random));
    check(std::ldexp(fractions(random) + 0.5, 0) * std::pow(10.0, exponents(random)));
    // Moments a millisecond clock produces: whole milliseconds of a day.
    check(45000 + static_cast<double>(random() % 86400000) / 86400000.0);
  }
  for (double v : {1e-4, 9.99999999999999e14, 1e15, 99999.99999999995, 0.1, 123456789012345.0,
                   5e-324, 1.7976931348623157e308})
    check(v);
  // Where the first guess of the decimal exponent is most likely off: at powers of ten and two.
  for (int k = -16; k <= 52; ++k)
    for (double v : {std::pow(10.0, k / 3), std::ldexp(1.0, k)})
      for (double w : {std::nextafter(v, 0.0), v, std::nextafter(v, 1e300)}) check(w);
}

TEST_F(TemporalTest, ReadingPairs_DamagedPairsCostOnlyThemselves) {
  const RvlTimestamp null = NullTimestamp;
  struct {
    const char16_t *Text;
    int Len;
    std::vector<RvlTimestamp> Expected;
  } rows[] = {
      {u"(1.5,2.5)(3,4)", 3, {Pair(1.5, 2.5), Pair(3, 4), null}},
      {u"(abc,2.5)", 1, {null}},
      {u"(1.5,abc)", 1, {Pair(1.5, -1)}},
      {u"(1)(2,3)(4,5)(6,7)", 4, {null, Pair(2, 3), Pair(4, 5), Pair(6, 7)}},
      {u"(abc)(1,2)(3,4)", 3, {null, Pair(1, 2), Pair(3, 4)}},
      {u"(1,2)(3 4)(5,6)(7,8)", 4, {Pair(1, 2), null, Pair(5, 6), Pair(7, 8)}},
      {u"(1)2,3)(4,5)", 2, {null, Pair(4, 5)}},
      {u"(nan,1)(1,inf)(1e400,2)(2,-1e9)", 4, {null, Pair(1, -1), null, Pair(2, -1)}},
      {u"( 1 , 2 )x(3,4)yy", 2, {Pair(1, 2), Pair(3, 4)}},
      {u"(1.15740740740741E-06,2)", 1, {Pair(1.15740740740741e-06, 2)}},
      {u"", 2, {null, null}},
      {u"((((", 2, {null, null}},
  };
  for (const auto &row : rows) {
    TTemporalString list;
    list.IO_SetFromLongStr(QStringView(row.Text), row.Len);
    EXPECT_EQ(list.Entries(), row.Expected) << QString::fromUtf16(row.Text).toStdString();
    TTemporalString fromBytes;
    const QByteArray bytes = QString::fromUtf16(row.Text).toLatin1();
    fromBytes.IO_SetFromLongBytes(bytes, row.Len);
    EXPECT_EQ(fromBytes.Entries(), row.Expected) << bytes.constData();
  }
  // The one-pair routine walks the same list with a 1-based scan position.
  const QString list = QStringLiteral("(1)(2,3)");
  int scan = 1;
  EXPECT_EQ(TimestampFromText(list, scan), null);
  EXPECT_EQ(TimestampFromText(list, scan), Pair(2, 3));
  EXPECT_EQ(TimestampFromText(list, scan), null);
}

TEST_F(TemporalTest, ReadingPairs_LengthBelowOneKeepsEntryZero) {
  for (int len : {0, -5}) {
    TTemporalString list = ListOf({Pair(1, 1)});
    EXPECT_TRUE(list.IO_SetFromLongStr(u"(1,2)(3,4)", len).isEmpty());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.IO_GetAsLongStr(), QStringLiteral("(1,2)"));  // entry 0, read as ever
  }
}

TEST_F(TemporalTest, LengthRepair_PadsOrClipsWithTheseWarnings) {
  struct {
    int Count, Correct;
    const char *Warning;
  } rows[] = {
      {0, 0, ""},
      {0, 4, ""},
      {3, 3, ""},
      {3, 5, "Warning:  Had to pad 3 timestamps with 2 more. (Error code TS.FMTLBPWN)"},
      {5, 2, "Warning:  Had to clip 3 timestamps to get down to 2. (Error code TS.FMTLBPWN)"},
  };
  for (const auto &row : rows) {
    TTemporalString list;
    for (int i = 1; i <= row.Count; ++i) list.InsertOne(i, Pair(i, i));
    EXPECT_EQ(list.CheckLengthAndPadOrClipIfInError(row.Correct), QString::fromLatin1(row.Warning));
    EXPECT_EQ(list.Count(), row.Correct);
    if (row.Correct > row.Count) {
      EXPECT_EQ(list.GetOne(row.Correct), NullTimestamp);
    }
  }
  EXPECT_TRUE(Asked().isEmpty());
}

TEST_F(TemporalTest, RangeOperations_MoveTheRightEntries) {
  const TTemporalString four = ListOf({Pair(1, 1), Pair(2, 2), Pair(3, 3), Pair(4, 4)});

  TTemporalString part;
  four.GetMany(2, 3, part);
  EXPECT_EQ(part.Entries(), (std::vector<RvlTimestamp>{Pair(1, 1), Pair(2, 2), Pair(3, 3)}));

  TTemporalString list = ListOf({Pair(1, 1), Pair(2, 2)});
  list.InsertSubstr(2, 2, 4, four);
  EXPECT_EQ(list.Entries(), (std::vector<RvlTimestamp>{NullTimestamp, Pair(1, 1), Pair(2, 2),
                                                       Pair(3, 3), Pair(4, 4), Pair(2, 2)}));
  // Start after Stop inserts nothing, and is no error.
  list.InsertSubstr(1, 3, 2, four);
  EXPECT_EQ(list.Count(), 5);

  // A list inserted into itself, and read into itself.
  TTemporalString self = ListOf({Pair(1, 1), Pair(2, 2)});
  self.InsertMany(2, self);
  EXPECT_EQ(self.Entries(), (std::vector<RvlTimestamp>{NullTimestamp, Pair(1, 1), Pair(1, 1),
                                                       Pair(2, 2), Pair(2, 2)}));
  self.InsertSubstr(1, 3, 4, self);
  EXPECT_EQ(self.GetOne(1), Pair(2, 2));
  self.GetMany(2, 3, self);
  EXPECT_EQ(self.Entries(), (std::vector<RvlTimestamp>{Pair(2, 2), Pair(2, 2), Pair(1, 1)}));

  list.Delete(2, 4);
  EXPECT_EQ(list.Entries(), (std::vector<RvlTimestamp>{NullTimestamp, Pair(1, 1), Pair(2, 2)}));
  EXPECT_TRUE(Asked().isEmpty());
}

TEST_F(TemporalTest, InvalidPositions_AreReportedAndChangeNothing) {
  TTestEnvironment::TestPrompts().Clear();
  TTemporalString list = ListOf({Pair(1, 1), Pair(2, 2)});
  const auto before = list.Entries();
  TTemporalString destination = ListOf({Pair(9, 9)});

  list.InsertOne(4, Pair(5, 5));
  list.SetOne(0, Pair(5, 5));
  list.Delete(2, 3);
  list.InsertSubstr(1, 0, 1, list);
  list.GetMany(3, 9, destination);
  const RvlTimestamp now = list.GetOne(3);

  EXPECT_EQ(list.Entries(), before);
  EXPECT_EQ(destination.Count(), 0);
  EXPECT_EQ(now.RealDT, now.FEffectiveDT);
  const QStringList asked = Asked();
  ASSERT_EQ(asked.size(), 6);
  const char *expected[] = {"InsertOne: 1 <= 4 <= 2",    "SetOne: 1 <= 0 <= 2",
                            "Delete: 1 <= 2 <= 3 <= 2",  "InsertSubstr: 1 <= 0 <= 1 <= 2",
                            "GetMany: 1 <= 3 <= 9 <= 2", "GetOne: 1 <= 3 <= 2"};
  for (int i = 0; i < 6; ++i)
    EXPECT_TRUE(
        asked[i].contains(QLatin1String("\"") + QLatin1String(expected[i]) + QLatin1String("\"")))
        << asked[i].toStdString();
}

TEST_F(TemporalTest, ErrorDialog_OkGoesOnIgnoreSilencesAbortAsksToEnd) {
  TScriptedPrompts &prompts = TTestEnvironment::TestPrompts();
  bool aborted = false;
  SetAbortHandler([&] { aborted = true; });
  TTemporalString list;

  prompts.ScriptAnswer(TPromptButton::pbOk);
  list.ReportError(QStringLiteral("first"));
  EXPECT_EQ(Asked().value(0),
            QStringLiteral("An internal error occurred. It is described as \"first\"\n\n"
                           "Press OK to continue\nPress Abort to exit the program immediately.\n"
                           "Press Ignore to continue and ignore future errors."));
  EXPECT_TRUE(TTemporalString::ReportsEnabled());

  prompts.ScriptAnswer(TPromptButton::pbAbort);
  list.ReportError(QStringLiteral("second"));
  EXPECT_TRUE(aborted);

  prompts.ScriptAnswer(TPromptButton::pbIgnore);
  list.ReportError(QStringLiteral("third"));
  list.ReportError(QStringLiteral("fourth"));
  EXPECT_EQ(Asked().size(), 3);
  EXPECT_FALSE(TTemporalString::ReportsEnabled());
  SetAbortHandler(nullptr);
}

TEST_F(TemporalTest, NewText_TakesTheBrokersMomentOrNow) {
  const TDateTime now = EncodeDateTime(2024, 6, 11, 10, 30);
  TManualClock clock(now);
  TScopedClock useClock(clock);
  TRuleBroker broker;
  TScopedEffectiveTimeBroker useBroker(broker);
  const TDateTime play = now - 3, context = now - 10;

  struct {
    RBrokerState State;
    TDateTime Context;
    TDateTime Effective;
  } rows[] = {
      {{false, false, true, play}, context, now},  // start-up not completed
      {{true, true, true, play}, context, now},    // recording
      {{true, false, true, play}, 0, play},        // listening, no text around the caret
      {{true, false, true, play}, context, context},
      {{true, false, false, play}, 0, now},   // idle, no moment: the broker's 0 is below 100
      {{true, false, false, play}, 50, now},  // 50 days is no real moment either
      {{true, false, false, play}, context, context},
      {{true, false, true, std::nan("")}, 0, now},  // a broken play position
      // Stepped on from fast typing into the future: never after now.
      {{true, false, false, play}, now + 1.0 / 24, now},
      {{true, false, true, now + 1.0 / 1440}, 0, now},
  };
  for (const auto &row : rows) {
    broker.State = row.State;
    const RvlTimestamp t = TimestampForNewText(row.Context);
    EXPECT_EQ(t.RealDT, now);
    EXPECT_EQ(t.FEffectiveDT, row.Effective) << row.Context;
  }
}
