// The rich string: characters, substrings, runs, words, search, outlines, typing events, and the
// Text and When elements, including a long random mix of operations checked against a plain
// model of the same text.

#include "vldRichString.h"

#include "vlClock.h"
#include "vlTestSupport.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>

#include <random>

namespace {

constexpr TDateTime T0 = 45000.5;  // 2023-03-15 12:00
constexpr double TenthDays = 0.1 / 86400;

RvlTimestamp At(TDateTime Effective, TDateTime Real = 45001) { return {Effective, Real}; }

// A rich string from text, one font per character (or Font for all), timestamps T0 + i s.
void Fill(TRichString &RS, const QString &Text, std::vector<TFontIndex> Fonts = {},
          TFontIndex Font = 1) {
  RS.Clear();
  for (int i = 0; i < Text.size(); ++i)
    RS.Char_Append(Text[i], Fonts.empty() ? Font : Fonts[static_cast<std::size_t>(i)],
                   At(T0 + i / 86400.0, T0 + i / 86400.0));
}

int Reports() { return ErrorLog().ReportCount(); }

}  // namespace

TEST(RichStringTest, EmptyString_EndOfLineAnswersForEveryOtherPosition) {
  TRichString rs;
  rs.FNLFont = 4;
  EXPECT_EQ(rs.High(), 0);
  EXPECT_EQ(rs.After(), 1);
  EXPECT_EQ(rs.Char_GetChar(1), QChar(u'\n'));
  EXPECT_EQ(rs.Char_GetChar(2), QChar(u'#'));
  EXPECT_EQ(rs.Char_GetFont(1), 4);
  EXPECT_EQ(rs.Char_GetFont(-3), 4);

  const int before = Reports();
  rs.Char_Insert(u'x', 1, At(T0), 2);
  EXPECT_EQ(Reports(), before + 1);
  EXPECT_EQ(rs.High(), 0);
  rs.Char_Insert(u'x', 1, At(T0), 1);
  EXPECT_EQ(rs.Text(), QStringLiteral("x"));
  EXPECT_TRUE(InStep(rs));
}

TEST(RichStringTest, PastedPlainText_SpreadsAtTenCharactersASecond) {
  const TDateTime now = 45100.25;
  TManualClock clock(now);
  TScopedClock useClock(clock);

  TRichString rs;
  Fill(rs, QStringLiteral("xy"), {2, 3});
  int newAt = 0;
  rs.SubStr_InsertPlain(u"abc", 2, newAt);  // before "y", whose moment is T0 + 1 s
  EXPECT_EQ(newAt, 5);
  EXPECT_EQ(rs.Text(), QStringLiteral("xabcy"));
  EXPECT_EQ(rs.Fonts(), (std::vector<TFontIndex>{2, 3, 3, 3, 3}));
  for (int i = 1; i <= 3; ++i) {
    EXPECT_NEAR(rs.Timestamp_Get(1 + i).FEffectiveDT, T0 + 1 / 86400.0 + i * TenthDays, 1e-12);
    EXPECT_EQ(rs.Timestamp_Get(1 + i).RealDT, now);
  }

  // A fresh paragraph's end of line has no moment: the pasted text does not go to 1899.
  TRichString empty;
  empty.FNLWhen = NullTimestamp;
  empty.SubStr_InsertPlain(u"ab", 1, newAt);
  EXPECT_NEAR(empty.Timestamp_Get(1).FEffectiveDT, now + TenthDays, 1e-12);
  // While listening, that moment is the playback position.
  TRuleBroker broker;
  broker.State = RBrokerState{true, false, true, 45050};
  TScopedEffectiveTimeBroker useBroker(broker);
  TRichString listening;
  listening.SubStr_InsertPlain(u"a", 1, newAt);
  EXPECT_NEAR(listening.Timestamp_Get(1).FEffectiveDT, 45050 + TenthDays, 1e-12);
}

TEST(RichStringTest, RunsAndWords) {
  TRichString rs;
  Fill(rs, QStringLiteral("abcd"), {3, 3, 5, 3});
  EXPECT_EQ(rs.Substr_ChangeFontOfSameFontGroup(9, 1, 4), 2);
  EXPECT_EQ(rs.Fonts(), (std::vector<TFontIndex>{9, 9, 5, 3}));
  EXPECT_EQ(rs.Substr_ChangeFontOfSameFontGroup(9, 3, 7), 3);  // bad range: First back

  int last = 99;
  QString run;
  TFontIndex font = 0;
  EXPECT_TRUE(rs.Substr_Get_OfSameFont(1, last, run, font));
  EXPECT_EQ(last, 2);
  EXPECT_EQ(run, QStringLiteral("ab"));
  EXPECT_EQ(font, 9);
  last = 99;
  EXPECT_TRUE(rs.Substr_Get_OfSameFont(4, last, run, font));
  EXPECT_EQ(last, 4);
  last = 2;
  EXPECT_FALSE(rs.Substr_Get_OfSameFont(3, last, run, font));  // empty range
  EXPECT_EQ(last, 2);
  EXPECT_TRUE(run.isEmpty());
  last = 9;
  EXPECT_FALSE(rs.Substr_Get_OfSameFont(5, last, run, font));
  EXPECT_EQ(last, 5);

  struct {
    const char16_t *Text;
    int At;
    bool Found;
    int Start, Stop;
  } words[] = {{u"ab  cd", 2, true, 1, 5}, {u"ab  cd", 5, true, 5, 7},   {u"ab  cd", 3, true, 1, 7},
               {u" ab", 1, false, 1, 4},   {u"it's, ok", 2, true, 1, 7}, {u"ab", 3, false, 3, 3}};
  for (const auto &w : words) {
    Fill(rs, QString::fromUtf16(w.Text));
    int start = 0, stop = 0;
    EXPECT_EQ(rs.Find_WordAt(w.At, start, stop), w.Found) << w.At;
    EXPECT_EQ(start, w.Start);
    EXPECT_EQ(stop, w.Stop);
  }
}

TEST(RichStringTest, Search_FoldsOnlyAsciiLetters) {
  TRichString rs;
  Fill(rs, QStringLiteral("Hello World, ÉTÉ world"));
  struct {
    const char16_t *Needle;
    int StartAt;
    bool CaseSensitive;
    int Found;
  } rows[] = {{u"world", 1, false, 7}, {u"world", 1, true, 18}, {u"WORLD", 8, false, 18},
              {u"été", 1, false, 14},  {u"été", 1, true, 0},    {u"", 1, false, 0},
              {u"d", 30, false, 0},    {u"H", -4, true, 1},     {u"world!", 1, false, 0}};
  // "é" is not folded: only A-Z.
  rows[3].Found = 0;
  for (const auto &row : rows)
    EXPECT_EQ(rs.Substr_Search(QStringView(row.Needle), row.StartAt, row.CaseSensitive), row.Found)
        << QString::fromUtf16(row.Needle).toStdString() << " from " << row.StartAt;
}

TEST(RichStringTest, RichSubstring_NeverHoldsTextWithoutTimestamps) {
  TTestEnvironment::TestPrompts().Clear();
  TTemporalString::SetReportsEnabled(true);
  TRichString rs, part;
  Fill(rs, QStringLiteral("abcd"), {1, 2, 3, 4});

  rs.Substr_Rich(2, 3, part);
  EXPECT_EQ(part.Text(), QStringLiteral("bc"));
  EXPECT_EQ(part.Fonts(), (std::vector<TFontIndex>{2, 3}));
  EXPECT_EQ(part.Whens().Entries()[0], rs.Timestamp_Get(1));
  EXPECT_EQ(part.Timestamp_Get(1), rs.Timestamp_Get(2));

  rs.Substr_Rich(1, 0, part);  // an empty middle paragraph of a selection: no dialog
  EXPECT_EQ(part.High(), 0);
  EXPECT_TRUE(InStep(part));
  EXPECT_TRUE(TTestEnvironment::TestPrompts().AskedTexts().isEmpty());

  rs.Substr_Rich(3, 9, part);
  EXPECT_EQ(part.High(), 0);
  EXPECT_TRUE(InStep(part));
  EXPECT_EQ(TTestEnvironment::TestPrompts().AskedTexts().size(), 1);
}

TEST(RichStringTest, Outline_PrefixComesAndGoesAsAUnit) {
  TRichString rs;
  Fill(rs, QStringLiteral("item"));
  TRichString original;
  original.MyAssign(rs);

  rs.Outline_Set(oBullet, QStringLiteral("  • "));
  EXPECT_EQ(rs.Text(), QStringLiteral("  • item"));
  QString prefix;
  EXPECT_EQ(rs.Outline_Get(prefix), oBullet);
  rs.Outline_Set(oNone, QString());
  EXPECT_EQ(rs.Text(), original.Text());
  EXPECT_EQ(rs.Fonts(), original.Fonts());
  EXPECT_EQ(rs.Whens().Entries(), original.Whens().Entries());

  const char16_t *next[][2] = {
      {u"9) ", u"10) "}, {u"3. ", u"4. "}, {u"a) ", u"2a) "}, {u"199.", u"200."}};
  for (const auto &row : next) {
    Fill(rs, QStringLiteral("x"));
    rs.Outline_Set(oNumber, QStringLiteral("1. "));
    EXPECT_TRUE(rs.Outline_Increment(oNumber, QString::fromUtf16(row[0])));
    EXPECT_EQ(rs.Text(), QString::fromUtf16(row[1]) + QStringLiteral("x"));
    EXPECT_EQ(rs.OutlineStr, QString::fromUtf16(row[1]));
  }
  EXPECT_FALSE(rs.Outline_Increment(oBullet, QStringLiteral("- ")));
}

TEST(RichStringTest, TypingEvents_UseTheEffectiveMomentUnlessItIsNone) {
  TRecordingSink sink;
  TScopedTypingEventSink useSink(sink);
  TRichString rs;
  rs.Char_Append(u'a', 0, At(45000, 46000));
  rs.Char_Append(u'b', 0, At(500, 45000));
  rs.Char_Append(u'c', 0, At(500, 500));
  rs.Char_Append(u'd', 0, NullTimestamp);
  rs.DayFiles_RegisterSubstring(1, 4);
  rs.DayFiles_RegisterSubstring(3, 2);
  rs.DayFiles_RegisterSubstring(-5, 0);
  ASSERT_EQ(sink.Added.size(), 4u);
  const TDateTime expected[] = {45000, 45000, 500, 0};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(sink.Added[i].When, expected[i]);
    EXPECT_EQ(sink.Added[i].Text, QString(rs.Char_GetChar(i + 1)));
  }
  // Removed by the moment it was filed at (its real time), not by its effective time.
  rs.DayFiles_UnlistSubstring(2, 2);
  EXPECT_EQ(sink.Deleted, std::vector<TDateTime>{45000});
  EXPECT_EQ(sink.DeletedTexts, std::vector<QString>{QStringLiteral("b")});
}

TEST(RichStringTest, TextElement_EncodesEntitiesAndFontSwitches) {
  struct {
    const char16_t *Text;
    std::vector<TFontIndex> Fonts;
    TFontIndex EndOfLine;
    const char16_t *Encoded;
  } rows[] = {
      {u"a<b & \"c\"", {}, 1, u"&f1;a&LT;b &AM; &Q2;c&Q2;&10;"},
      {u"", {}, 7, u"&f7;&10;"},
      {u"\t;", {}, 1, u"&f1;&9;;&10;"},
      {u"abc;", {}, 2, u"&f1;abc;&f2;&10;"},
      {u"&f1;&AM;", {}, 1, u"&f1;&AM;f1;&AM;AM;&10;"},
      {u"abab", {1, 2, 1, 2}, 2, u"&f1;a&f2;b&f1;a&f2;b&10;"},
      {u"Жъ€\U0001F600", {}, 1, u"&f1;&#1046;&#1098;€&#55357;&#56832;&10;"},
  };
  for (const auto &row : rows) {
    TRichString rs;
    Fill(rs, QString::fromUtf16(row.Text), row.Fonts);
    QString encoded;
    AppendEncodedParagraphText(encoded, rs.Text(), rs.Fonts().data(), true, row.EndOfLine);
    EXPECT_EQ(encoded, QString::fromUtf16(row.Encoded));

    QString text;
    std::vector<TFontIndex> fonts;
    DecodeParagraphText(encoded, text, fonts);
    EXPECT_EQ(text, rs.Text() + QLatin1Char('\n'));
    std::vector<TFontIndex> expected = rs.Fonts();
    expected.push_back(row.EndOfLine);
    EXPECT_EQ(fonts, expected);
  }
}

TEST(RichStringTest, TextElement_DecodingKeepsWhatItDoesNotKnow) {
  struct {
    const char16_t *Encoded;
    const char16_t *Text;
    std::vector<TFontIndex> Fonts;
  } rows[] = {
      {u"ab&f2;c", u"abc", {-1, -1, 2}},               // text before the first switch has no font
      {u"&f1;&f3;x", u"x", {3}},                       // adjacent switches: the last one counts
      {u"&f99999;x&f4;y", u"xy", {-1, 4}},             // no font index: no font
      {u"&f1;a&b;c&", u"a&b;c&", {1, 1, 1, 1, 1, 1}},  // unknown "&": kept, nothing lost
      {u"&f1;&9;;", u"\t;", {1, 1}},
      {u"&f1;&#;&#99999999;", u"&#;&#99999999;", std::vector<TFontIndex>(14, 1)},
      {u"&f1;&f", u"&f", {1, 1}},
  };
  for (const auto &row : rows) {
    QString text;
    std::vector<TFontIndex> fonts;
    DecodeParagraphText(QStringView(row.Encoded), text, fonts);
    EXPECT_EQ(text, QString::fromUtf16(row.Text)) << QString::fromUtf16(row.Encoded).toStdString();
    EXPECT_EQ(fonts, row.Fonts) << QString::fromUtf16(row.Encoded).toStdString();
  }
}

TEST(RichStringTest, SaveAndLoad_KeepTextFontsMomentsAndEndOfLine) {
  TRichString rs;
  Fill(rs, QStringLiteral("Tab\there, \"quotes\", <tag> & Привет 😀;\r."), {}, 3);
  rs.Char_SetFont(2, 7);
  rs.FNLFont = 5;
  rs.FNLWhen = At(45123.456789, 45124.5);
  const QString textBefore = rs.Text();

  const QByteArray bytes = WriteToBytes([&](TvlXmlOut &Out) { rs.IO_Save(Out); });
  EXPECT_EQ(rs.Text(), textBefore);  // saving never changes the string
  EXPECT_FALSE(rs.Debug_HasAnyNL());
  EXPECT_TRUE(bytes.startsWith(QByteArrayLiteral("<Text N=\"41\" T=\"&f3;T&f7;a&f3;b&9;here")))
      << bytes.left(80).constData();

  TRichString back;
  auto in = ReaderOver(bytes);
  EXPECT_EQ(back.IO_Load(*in), QString());
  EXPECT_TRUE(in->EndOfFile());
  EXPECT_EQ(back.Text(), rs.Text());
  EXPECT_EQ(back.Fonts(), rs.Fonts());
  EXPECT_EQ(back.FNLFont, 5);
  EXPECT_NEAR(back.FNLWhen.FEffectiveDT, 45123.456789, 1e-10);
  EXPECT_NEAR(back.FNLWhen.RealDT, 45124.5, 1e-10);
  for (int i = 0; i <= rs.High(); ++i) {
    EXPECT_NEAR(back.Whens().Entries()[i].FEffectiveDT, rs.Whens().Entries()[i].FEffectiveDT,
                1e-10);
    EXPECT_NEAR(back.Whens().Entries()[i].RealDT, rs.Whens().Entries()[i].RealDT, 1e-10);
  }

  // An empty paragraph: one character (the end of line) and two pairs.
  TRichString empty;
  empty.FNLFont = 1;
  EXPECT_EQ(WriteToBytes([&](TvlXmlOut &Out) { empty.IO_Save(Out); }),
            Lines({"<Text N=\"1\" T=\"&f1;&10;\">", "<When L=\"(0,0)(0,0)\">"}));
}

// A long random mix of operations, valid and invalid, against a plain model of the same text:
// after every step the three sequences must agree with the model, character for character.
TEST(RichStringTest, RandomOperations_KeepTextFontsAndMomentsInStep) {
  struct RChar {
    QChar Ch;
    TFontIndex Font;
    RvlTimestamp When;
    bool operator==(const RChar &) const = default;
  };
  using TModel = std::vector<RChar>;
  const TDateTime now = 45200.75;
  TManualClock clock(now);
  TScopedClock useClock(clock);
  TTemporalString::SetReportsEnabled(true);
  TTestEnvironment::TestPrompts().Clear();

  std::mt19937 random(4242);
  const auto pick = [&](int Low, int High) {
    return std::uniform_int_distribution<int>(Low, High)(random);
  };
  const char16_t alphabet[] = u"ab ;&<>\"\t\n\r€Жx1&f2;";
  const auto randomChar = [&] {
    return pick(0, 30) == 0 ? QChar(static_cast<char16_t>(0xD83D + pick(0, 1)))
                            : QChar(alphabet[pick(0, 19)]);
  };
  int stamp = 0;
  const auto randomWhen = [&] {
    ++stamp;
    return pick(0, 20) == 0 ? NullTimestamp : At(T0 + stamp / 86400.0, T0 + stamp);
  };
  const auto modelOf = [](const TRichString &RS) {
    TModel m;
    for (int i = 1; i <= RS.High(); ++i)
      m.push_back({RS.Char_GetChar(i), RS.Char_GetFont(i), RS.Timestamp_Get(i)});
    return m;
  };
  const auto randomString = [&](TRichString &RS) {
    RS.Clear();
    const int n = pick(0, 6);
    for (int i = 0; i < n; ++i)
      RS.Char_Append(randomChar(), static_cast<TFontIndex>(pick(0, 4)), randomWhen());
  };

  TRichString rs;
  TModel model;
  int expectedDialogs = 0;
  for (int step = 0; step < 20000; ++step) {
    const int n = static_cast<int>(model.size());
    // Positions mostly valid, sometimes just outside.
    const int a = pick(-1, n + 2), b = pick(-1, n + 2);
    const bool validGap = a >= 1 && a <= n + 1;
    const bool validRange = a >= 1 && a <= b && b <= n;
    const TFontIndex font = static_cast<TFontIndex>(pick(-1, 6));
    switch (pick(0, 11)) {
      case 0: {
        const RChar c{randomChar(), font, randomWhen()};
        rs.Char_Insert(c.Ch, c.Font, c.When, a);
        if (validGap) model.insert(model.begin() + (a - 1), c);
        break;
      }
      case 1: {
        const RChar c{randomChar(), font, randomWhen()};
        rs.Char_Replace(c.Ch, c.Font, c.When, a);
        if (a >= 1 && a <= n) model[static_cast<std::size_t>(a - 1)] = c;
        break;
      }
      case 2:
        rs.Char_Delete(a);
        if (a >= 1 && a <= n) model.erase(model.begin() + (a - 1));
        break;
      case 3: {
        TRichString other;
        randomString(other);
        int newAt = 0;
        rs.SubStr_Insert(other, a, newAt);
        if (validGap) {
          const TModel m = modelOf(other);
          model.insert(model.begin() + (a - 1), m.begin(), m.end());
          EXPECT_EQ(newAt, a + other.High());
        }
        break;
      }
      case 4: {  // a piece of the string itself, inserted into itself
        const int to = pick(1, n + 1);
        rs.SubStr_InsertSubstr(rs, a, b, to);
        if (validRange) {
          const TModel piece(model.begin() + (a - 1), model.begin() + b);
          model.insert(model.begin() + (to - 1), piece.begin(), piece.end());
        }
        break;
      }
      case 5:
        rs.SubStr_Delete(a, b);
        if (validRange) model.erase(model.begin() + (a - 1), model.begin() + b);
        break;
      case 6: {
        TRichString other;
        randomString(other);
        rs.SubStr_Replace(a, b, other);
        if (validRange) {
          model.erase(model.begin() + (a - 1), model.begin() + b);
          const TModel m = modelOf(other);
          model.insert(model.begin() + (a - 1), m.begin(), m.end());
        }
        break;
      }
      case 7: {
        QString plain;
        for (int i = pick(0, 4); i > 0; --i) plain += randomChar();
        RvlTimestamp base = validGap && a <= n ? model[a - 1].When : rs.FNLWhen;
        const TFontIndex f = validGap && a <= n ? model[a - 1].Font : rs.FNLFont;
        if (!(base.FEffectiveDT >= 100)) base.FEffectiveDT = now;
        int newAt = 0;
        rs.SubStr_InsertPlain(plain, a, newAt);
        if (validGap)
          for (int i = 0; i < plain.size(); ++i)
            model.insert(model.begin() + (a - 1 + i),
                         RChar{plain[i], f, {base.FEffectiveDT + (i + 1) * TenthDays, now}});
        break;
      }
      case 8:
        rs.Substr_ChangeFont(font, a, b);
        if (validRange)
          for (int i = a; i <= b; ++i) model[i - 1].Font = font;
        break;
      case 9: {
        TRichString part;
        rs.Substr_Rich(a, b, part);
        if (!validRange && b >= a) ++expectedDialogs;  // a bad range, not an empty one
        ASSERT_TRUE(InStep(part));
        if (validRange) {
          ASSERT_EQ(modelOf(part), TModel(model.begin() + (a - 1), model.begin() + b));
          rs.SubStr_Append(part);
          const TModel m = modelOf(part);
          model.insert(model.end(), m.begin(), m.end());
        }
        break;
      }
      case 10:
        if (model.size() > 60) {  // keep the string short enough to reach its ends often
          rs.SubStr_Delete(1, 40);
          model.erase(model.begin(), model.begin() + 40);
        }
        break;
      case 11: {
        // Through the file and back: moments keep 15 digits, everything else exactly.
        rs.FNLFont = font;
        rs.FNLWhen = randomWhen();
        const QByteArray bytes = WriteToBytes([&](TvlXmlOut &Out) { rs.IO_Save(Out); });
        TRichString back;
        auto in = ReaderOver(bytes);
        ASSERT_EQ(back.IO_Load(*in), QString());
        const TModel m = modelOf(back);
        ASSERT_EQ(m.size(), model.size());
        // Font -1 exists only in damaged input. It has no switch of its own: it reads back as
        // -1 while no real font came before it, and as font 0 after one.
        bool switched = false;
        const auto reread = [&](TFontIndex F) {
          switched = switched || F >= 0;
          return F >= 0 ? F : switched ? TFontIndex(0) : TFontIndex(-1);
        };
        for (std::size_t i = 0; i < m.size(); ++i) {
          ASSERT_EQ(m[i].Ch, model[i].Ch) << i;
          ASSERT_EQ(m[i].Font, reread(model[i].Font)) << i;
          ASSERT_NEAR(m[i].When.FEffectiveDT, model[i].When.FEffectiveDT, 1e-9);
          ASSERT_NEAR(m[i].When.RealDT, model[i].When.RealDT, 1e-9);
        }
        ASSERT_EQ(back.FNLFont, reread(rs.FNLFont));
        rs.MyAssign(back);
        model = m;
        break;
      }
    }
    ASSERT_TRUE(InStep(rs)) << "step " << step;
    ASSERT_EQ(modelOf(rs), model) << "step " << step;
  }
  // Only bad ranges of Substr_Rich reach the timestamps' own check (as "GetMany"); every other
  // operation checked its arguments before touching the timestamps.
  const QStringList asked = TTestEnvironment::TestPrompts().AskedTexts();
  EXPECT_EQ(asked.size(), expectedDialogs);
  for (const QString &text : asked) EXPECT_TRUE(text.contains(QLatin1String("\"GetMany: ")));
}
