#include "FormatsTestSupport.h"
#include "vlEntities.h"
#include "vlNumberForms.h"
#include "vlWin1252.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

std::string Show(const QString &Text) { return Text.toStdString(); }

}  // namespace

TEST(Win1252, EveryByteDecodesToOneUnitThatEncodesBackToTheSameByte) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString decoded = DecodeWin1252(all);
  ASSERT_EQ(decoded.size(), 256);
  EXPECT_EQ(EncodeWin1252(decoded), all);

  const struct {
    unsigned char Byte;
    char16_t Unit;
  } rows[] = {{0x41, u'A'},   {0x80, 0x20AC}, {0x81, 0x0081}, {0x8D, 0x008D}, {0x8F, 0x008F},
              {0x90, 0x0090}, {0x9D, 0x009D}, {0x92, 0x2019}, {0x9F, 0x0178}, {0xA0, 0x00A0},
              {0xAE, 0x00AE}, {0xE9, 0x00E9}, {0xFF, 0x00FF}, {0x00, 0x0000}};
  for (const auto &row : rows) {
    EXPECT_EQ(Win1252ToUnicode(row.Byte), row.Unit) << int(row.Byte);
    EXPECT_EQ(UnicodeToWin1252(row.Unit), int(row.Byte)) << int(row.Byte);
  }
}

TEST(Win1252, UnitsWithoutAByteAreWrittenAsNumericEntities) {
  const struct {
    QString Text;
    QByteArray Bytes;
  } rows[] = {
      {u"plain ASCII"_s, "plain ASCII"},
      {u"caf\u00E9 \u20AC5"_s,
       "caf\xE9 \x80"
       "5"},
      {u"\u0395\u03BB"_s, "&#917;&#955;"},                          // Greek
      {u"\u65E5\u672C"_s, "&#26085;&#26412;"},                      // Japanese
      {QString::fromUtf8("\xF0\x9F\x98\x80"), "&#55357;&#56832;"},  // a surrogate pair
      {u"\u0080"_s, "&#128;"},  // a C1 control whose byte means the euro sign
      {u"a\u0151b"_s, "a&#337;b"},
  };
  for (const auto &row : rows) EXPECT_EQ(EncodeWin1252(row.Text), row.Bytes) << Show(row.Text);
}

TEST(Entities, AttributeTextIsEscapedOnlyWhereItWouldBreakOrBeMisread) {
  const struct {
    QString Text;
    QString Escaped;
  } rows[] = {
      {u"Q&A"_s, u"Q&A"_s},  // an "&" that starts no entity stays as older files have it
      {u"Meeting \"Q3\""_s, u"Meeting &Q2;Q3&Q2;"_s},
      {u"a<b> </DocTab>"_s, u"a&LT;b&GT; &LT;/DocTab&GT;"_s},
      {u"&AM;"_s, u"&AM;AM;"_s},
      {u"&#123;"_s, u"&AM;#123;"_s},
      {u"x&1;"_s, u"x&AM;1;"_s},
      {u"x&12;"_s, u"x&AM;12;"_s},
      {u"&f1;"_s, u"&f1;"_s},  // font switches mean nothing in attributes
      {u"line\r\nbreak"_s, u"line&13;&10;break"_s},
      {u"tab\t;"_s, u"tab&9;;"_s},
      {u"\u03A9 \u00E9"_s, u"&#937; \u00E9"_s},
      {u""_s, u""_s},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(EscapeAttributeText(row.Text), row.Escaped) << Show(row.Text);
    EXPECT_EQ(DecodeEntities(row.Escaped), row.Text) << Show(row.Escaped);
  }
}

TEST(Entities, DecodingKeepsEveryCharacterAfterAnAmpersandThatStartsNoEntity) {
  const struct {
    QString Encoded;
    QString Decoded;
  } rows[] = {
      {u"&9;;"_s, u"\t;"_s},  // a tab followed by ";"
      {u"&AB;x"_s, u"&AB;x"_s},
      {u"&"_s, u"&"_s},
      {u"a&"_s, u"a&"_s},
      {u"&Q2"_s, u"&Q2"_s},
      {u"&12;"_s, u"\x0C"_s},
      {u"&99;"_s, u"c"_s},
      {u"&#8364;&#65;"_s,
       u"\u20AC"
       "A"_s},
      {u"&#65536;"_s, u"&#65536;"_s},
      {u"&#123456;"_s, u"&#123456;"_s},
      {u"&#;"_s, u"&#;"_s},
      {u"&f12;"_s, u"&f12;"_s},
      {u"&LT;&GT;&AM;&Q2;"_s, u"<>&\""_s},
      {u"&lt;"_s, u"&lt;"_s},
  };
  for (const auto &row : rows)
    EXPECT_EQ(DecodeEntities(row.Encoded), row.Decoded) << Show(row.Encoded);
}

TEST(Entities, ParagraphFormEscapesEveryAmpersand) {
  QString text;
  for (QChar c : u"a<b & \"c\"\n\u0100\t"_s) AppendTextEntity(text, c.unicode());
  EXPECT_EQ(text, u"a&LT;b &AM; &Q2;c&Q2;&10;&#256;&9;"_s);
}

TEST(Entities, AnyTextSurvivesEscapingAndTheFileCodePage) {
  // Fixed seed: a failure names a reproducible case.
  std::mt19937 random(20240611);
  const std::u16string alphabet =
      u"aZ09;&#fQ2LTGAM\"<> \t\r\n\x01\x1F\u00E9\u00FF\u20AC\u0081\u0080\u0100\u03A9\u65E5";
  for (int round = 0; round < 2000; ++round) {
    QString text;
    const int length = int(random() % 24);
    for (int i = 0; i < length; ++i) {
      if (random() % 16 == 0) {
        text.append(QChar(char16_t(0xD800 + random() % 0x400)));  // lone or paired surrogates
      } else {
        text.append(QChar(alphabet[random() % alphabet.size()]));
      }
    }
    const QString escaped = EscapeAttributeText(text);
    for (QChar c : escaped) {
      ASSERT_FALSE(c == u'"' || c == u'<' || c == u'>' || c.unicode() < 32) << Show(escaped);
      ASSERT_GE(UnicodeToWin1252(c.unicode()), 0) << Show(escaped);
    }
    const QString read = DecodeEntities(DecodeWin1252(EncodeWin1252(escaped)));
    ASSERT_EQ(read, text) << Show(escaped);
  }
}

namespace {

void ExpectTheWrittenNumberForms() {
  const struct {
    float Value;
    const char *Text;
  } singles[] = {{0.f, "0"},
                 {0.5f, ".5"},
                 {0.125f, ".125"},
                 {0.1f, ".1"},
                 {0.99996f, "1"},
                 {0.00004f, "0"},
                 {2.f, "2"},
                 {3.14159f, "3.14"},
                 {9.999f, "10"},
                 {12.5f, "12.5"},
                 {100.f, "100"},
                 {999.996f, "1000"},
                 {1234.6f, "1235"},
                 {1e6f, "1000000"},
                 {-0.25f, "-.25"},
                 {-3.f, "-3"},
                 {-12.75f, "-12.75"},
                 {std::numeric_limits<float>::quiet_NaN(), "0"},
                 {std::numeric_limits<float>::infinity(), "0"}};
  for (const auto &row : singles)
    EXPECT_EQ(FormatCompactSingle(row.Value), QLatin1StringView(row.Text)) << row.Value;

  const struct {
    double Value;
    const char *Text;
  } doubles[] = {{1.5, "    1.5000000000"},
                 {45000.5, "45000.5000000000"},
                 {-1.5, "   -1.5000000000"},
                 {0, "    0.0000000000"},
                 {-1e-12, "    0.0000000000"},
                 {40123.5678912037, "40123.5678912037"},
                 {123456789.25, "123456789.2500000000"},
                 {std::numeric_limits<double>::quiet_NaN(), "    0.0000000000"}};
  for (const auto &row : doubles)
    EXPECT_EQ(FormatDouble16(row.Value), QLatin1StringView(row.Text)) << row.Value;

  const struct {
    double Value;
    const char *Text;
  } stamps[] = {{0, "0"},
                {1.5, "1.5"},
                {-0.25, "-0.25"},
                {40123.5677, "40123.5677"},
                {40123.567891203703, "40123.5678912037"},
                {45000.000011574074, "45000.0000115741"},
                {1e-5, "1e-05"},
                {1e20, "1e+20"},
                {-0.0, "0"},
                {std::numeric_limits<double>::infinity(), "0"}};
  for (const auto &row : stamps)
    EXPECT_EQ(FormatTimestampNumber(row.Value), QLatin1StringView(row.Text)) << row.Value;

  EXPECT_EQ(FormatInteger(-5), u"-5"_s);
  EXPECT_EQ(FormatInteger(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808"_s);

  double value = 0;
  EXPECT_TRUE(ParseDouble(QByteArrayView("    1.5000000000"), value));
  EXPECT_EQ(value, 1.5);
  EXPECT_FALSE(ParseDouble(QByteArrayView("1,5"), value));
}

}  // namespace

TEST(NumberForms, WriteTheFixedTextForms) { ExpectTheWrittenNumberForms(); }

TEST(NumberForms, WriteTheSameTextFormsUnderAGermanLocale) {
  TGermanLocale german;
  if (!german.Active()) GTEST_SKIP() << "no German locale can be made on this system";
  ExpectTheWrittenNumberForms();
}

TEST(NumberForms, ReadOnlyWholeFiniteNumbersInRange) {
  const struct {
    const char *Text;
    bool Ok;
    double Value;
  } doubles[] = {{"    1.5000000000", true, 1.5},
                 {"1.5", true, 1.5},
                 {".25", true, 0.25},
                 {"-.25", true, -0.25},
                 {"+2", true, 2},
                 {"1E3", true, 1000},
                 {"1e-05", true, 1e-5},
                 {" 7 ", true, 7},
                 {"", false, 0},
                 {"   ", false, 0},
                 {"abc", false, 0},
                 {"1,5", false, 0},
                 {"nan", false, 0},
                 {"inf", false, 0},
                 {"-inf", false, 0},
                 {"1e400", false, 0},
                 {"1.5x", false, 0},
                 {"0x10", false, 0},
                 {"--1", false, 0},
                 {"+-1", false, 0},
                 {"1 2", false, 0}};
  for (const auto &row : doubles) {
    double value = -7;
    EXPECT_EQ(ParseDouble(QByteArrayView(row.Text), value), row.Ok) << row.Text;
    EXPECT_EQ(value, row.Ok ? row.Value : -7) << row.Text;
    double fromUtf16 = -7;
    EXPECT_EQ(ParseDouble(QString::fromLatin1(row.Text), fromUtf16), row.Ok) << row.Text;
  }

  const struct {
    const char *Text;
    bool Ok;
    std::int32_t Value;
  } integers[] = {{"12", true, 12},         {" 12 ", true, 12},
                  {"+5", true, 5},          {"-2147483648", true, INT32_MIN},
                  {"2147483648", false, 0}, {"99999999999", false, 0},
                  {"1.0", false, 0},        {"", false, 0},
                  {"abc", false, 0},        {"12a", false, 0},
                  {"- 1", false, 0}};
  for (const auto &row : integers) {
    std::int32_t value = -7;
    EXPECT_EQ(ParseInt32(QByteArrayView(row.Text), value), row.Ok) << row.Text;
    EXPECT_EQ(value, row.Ok ? row.Value : -7) << row.Text;
  }
  std::int64_t big = 0;
  EXPECT_TRUE(ParseInt64(QByteArrayView("-9223372036854775808"), big));
  EXPECT_FALSE(ParseInt64(QByteArrayView("9223372036854775808"), big));
  std::int32_t wide = 0;
  EXPECT_FALSE(ParseInt32(u"\uFF11\uFF12"_s, wide));  // full-width digits are not digits here

  const struct {
    const char *Text;
    bool Ok;
  } moments[] = {{"-693593", true},  {"2958465.99", true}, {"45000.5", true},
                 {"2958466", false}, {"-693594", false},   {"1e308", false}};
  for (const auto &row : moments) {
    double value = 0;
    EXPECT_EQ(ParseDateTimeDays(QByteArrayView(row.Text), value), row.Ok) << row.Text;
  }
  float single = 0;
  EXPECT_FALSE(ParseSingle(QByteArrayView("3.5e38"), single));
  EXPECT_TRUE(ParseSingle(QByteArrayView("-.125"), single));
  EXPECT_EQ(single, -0.125f);
}

TEST(NumberForms, TimestampsAreStableAfterTheFirstSaveAndReadBackClosely) {
  std::mt19937_64 random(77);
  std::uniform_real_distribution<double> moments(30000, 60000);
  for (int i = 0; i < 2000; ++i) {
    const double moment = moments(random);
    const QString once = FormatTimestampNumber(moment);
    double read = 0;
    ASSERT_TRUE(ParseDouble(once, read)) << Show(once);
    EXPECT_NEAR(read, moment, 1e-9) << Show(once);
    EXPECT_EQ(FormatTimestampNumber(read), once);
    const QString fixed = FormatDouble16(moment);
    ASSERT_TRUE(ParseDouble(fixed, read)) << Show(fixed);
    EXPECT_NEAR(read, moment, 0.6e-10);
  }
}

TEST(Win1252, LongTextEncodesAsItsUnitsOneByOne) {
  // The encoder copies plain runs in blocks: put every kind of unit at every block position.
  std::mt19937 random(5);
  const std::u16string special = u"\"<>\t\r\n\u00E9\u20AC\u0100\u0080&";
  for (int round = 0; round < 500; ++round) {
    QString text;
    const int length = int(random() % 70);
    for (int i = 0; i < length; ++i)
      text.append(QChar(random() % 5 ? char16_t(u'a' + random() % 26)
                                     : special[random() % special.size()]));
    QByteArray plain;
    QByteArray guarded;
    for (QChar c : text) {
      plain += EncodeWin1252(QStringView(&c, 1));
      QString entity;
      if (c.unicode() < 32 || c == u'"' || c == u'<' || c == u'>') {
        AppendTextEntity(entity, c.unicode());
      } else {
        entity = c;
      }
      guarded += EncodeWin1252(entity);
    }
    ASSERT_EQ(EncodeWin1252(text), plain) << Show(text);
    QByteArray blockGuarded = "x";
    AppendEncodedWin1252Guarded(blockGuarded, text);
    ASSERT_EQ(blockGuarded, "x" + guarded) << Show(text);
  }
}
