#include "FormatsTestSupport.h"
#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlEntities.h"
#include "vlNumberForms.h"
#include "vlWin1252.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

TEST(Win1252, EveryByteDecodesToOneUnitAndUnitsWithoutAByteBecomeNumericEntities) {
  QByteArray all;
  for (int b = 0; b < 256; ++b) all.append(static_cast<char>(b));
  const QString decoded = DecodeWin1252(all);
  ASSERT_EQ(decoded.size(), 256);
  EXPECT_EQ(EncodeWin1252(decoded), all);
  EXPECT_EQ(decoded.mid(0x80, 2), u"\u20AC\u0081"_s);
  EXPECT_EQ(decoded.mid(0x9D, 3), u"\u009D\u017E\u0178"_s);
  EXPECT_EQ(decoded.mid(0xAE, 1), u"\u00AE"_s);
  EXPECT_EQ(decoded.mid(0xFF, 1), u"\u00FF"_s);

  const struct {
    QString Text;
    QByteArray Bytes;
  } rows[] = {
      {u"caf\u00E9 \u20AC5"_s,
       "caf\xE9 \x80"
       "5"},
      {u"\u0395\u03BB"_s, "&#917;&#955;"},
      {QString::fromUtf8("\xF0\x9F\x98\x80"), "&#55357;&#56832;"},  // a surrogate pair
      {u"\u0080"_s, "&#128;"},  // a C1 control whose byte means the euro sign here
  };
  for (const auto &row : rows) EXPECT_EQ(EncodeWin1252(row.Text), row.Bytes) << row.Bytes.data();
}

TEST(Entities, AttributeTextIsEscapedOnlyWhereItWouldBreakOrBeMisread) {
  const struct {
    QString Text;
    QString Escaped;
  } rows[] = {
      {u"Q&A"_s, u"Q&A"_s},  // an "&" that starts no entity stays as older files have it
      {u"Meeting \"Q3\""_s, u"Meeting &Q2;Q3&Q2;"_s},
      {u"a<b> </DocTab>"_s, u"a&LT;b&GT; &LT;/DocTab&GT;"_s},
      {u"&AM; &#123; x&1; x&12; &f1;"_s, u"&AM;AM; &AM;#123; x&AM;1; x&AM;12; &f1;"_s},
      {u"line\r\nbreak\t;"_s, u"line&13;&10;break&9;;"_s},
      {u"\u03A9 \u00E9"_s, u"&#937; \u00E9"_s},
      // A final "=" before the closing quote would let a reader take the value's end for the
      // next attribute.
      {u"x\" Style=a=b="_s, u"x&Q2; Style=a=b&#61;"_s},
  };
  for (const auto &row : rows) {
    EXPECT_EQ(EscapeAttributeText(row.Text), row.Escaped);
    EXPECT_EQ(DecodeEntities(row.Escaped), row.Text);
  }
  QString paragraph;
  for (QChar c : u"a<b & \"c\"\n\u0100"_s) AppendTextEntity(paragraph, c.unicode());
  EXPECT_EQ(paragraph, u"a&LT;b &AM; &Q2;c&Q2;&10;&#256;"_s);
}

TEST(Entities, DecodingKeepsEveryCharacterAfterAnAmpersandThatStartsNoEntity) {
  const struct {
    QString Encoded;
    QString Decoded;
  } rows[] = {
      {u"&9;;"_s, u"\t;"_s},  // a tab followed by ";"
      {u"&AB;x & a& &Q2 &lt; &f12;"_s, u"&AB;x & a& &Q2 &lt; &f12;"_s},
      {u"&12;&99;"_s,
       u"\x0C"
       "c"_s},
      {u"&#8364;&#65;"_s,
       u"\u20AC"
       "A"_s},
      {u"&#65536; &#123456; &#;"_s, u"&#65536; &#123456; &#;"_s},
      {u"&LT;&GT;&AM;&Q2;"_s, u"<>&\""_s},
  };
  for (const auto &row : rows) EXPECT_EQ(DecodeEntities(row.Encoded), row.Decoded);
}

TEST(Entities, AnyTextSurvivesEscapingAndTheCodePageInBlocksAndUnitByUnit) {
  // Fixed seed: a failure names a reproducible case. Lengths cross the encoder's 16-unit blocks.
  std::mt19937 random(20240611);
  const std::u16string alphabet =
      u"aZ09;&#fQ2LTGAM\"<> \t\r\n\x01\x1F\u00E9\u00FF\u20AC\u0081\u0080\u0100\u03A9\u65E5";
  for (int round = 0; round < 2000; ++round) {
    QString text;
    const int length = int(random() % 40);
    for (int i = 0; i < length; ++i) {
      text.append(QChar(random() % 16 == 0 ? char16_t(0xD800 + random() % 0x400)
                                           : alphabet[random() % alphabet.size()]));
    }
    const QString escaped = EscapeAttributeText(text);
    QByteArray unitByUnit;
    for (QChar c : text) {
      QString entity = c;
      if (c.unicode() < 32 || c == u'"' || c == u'<' || c == u'>') {
        entity.clear();
        AppendTextEntity(entity, c.unicode());
      }
      unitByUnit += EncodeWin1252(entity);
    }
    QByteArray guarded;
    AppendEncodedWin1252Guarded(guarded, text);
    ASSERT_EQ(guarded, unitByUnit) << escaped.toStdString();
    const QByteArray bytes = EncodeWin1252(escaped);
    ASSERT_FALSE(bytes.contains('"') || bytes.contains('<') || bytes.contains('\n'));
    ASSERT_EQ(DecodeEntities(DecodeWin1252(bytes)), text) << escaped.toStdString();
  }
}

namespace {

void ExpectTheWrittenNumberForms() {
  const struct {
    float Value;
    const char *Text;
  } singles[] = {{0.f, "0"},       {0.5f, ".5"},    {0.125f, ".125"},   {0.99996f, "1"},
                 {9.999f, "10"},   {12.5f, "12.5"}, {999.996f, "1000"}, {1234.6f, "1235"},
                 {-0.25f, "-.25"}, {-3.f, "-3"},    {float(kNaN), "0"}};
  for (const auto &row : singles)
    EXPECT_EQ(FormatCompactSingle(row.Value), QLatin1StringView(row.Text)) << row.Value;
  const struct {
    double Value;
    const char *Double16;
    const char *Timestamp;
  } doubles[] = {{1.5, "    1.5000000000", "1.5"},
                 {45000.5, "45000.5000000000", "45000.5"},
                 {-1.5, "   -1.5000000000", "-1.5"},
                 {-1e-12, "    0.0000000000", "-1e-12"},
                 {40123.567891203703, "40123.5678912037", "40123.5678912037"},
                 {123456789.25, "123456789.2500000000", "123456789.25"},
                 {1e-5, "    0.0000100000", "1e-05"},
                 {0, "    0.0000000000", "0"},
                 {kNaN, "    0.0000000000", "0"}};
  for (const auto &row : doubles) {
    EXPECT_EQ(FormatDouble16(row.Value), QLatin1StringView(row.Double16)) << row.Value;
    EXPECT_EQ(FormatTimestampNumber(row.Value), QLatin1StringView(row.Timestamp)) << row.Value;
  }
  EXPECT_EQ(FormatInteger(std::numeric_limits<std::int64_t>::min()), u"-9223372036854775808"_s);

  // The same through the writer and the reader.
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  ASSERT_TRUE(out.File_OpenForRewritingOrDoErrorDialogs(u"memory"_s));
  out.Insert_TagOpenForAttributes(xtSketchBegin_);
  out.Insert_Attribute("Width", 12.5f);
  out.Insert_Attribute("W", 45000.5);
  out.Insert_TagClose_NoMoreAttributes();
  ASSERT_TRUE(out.File_Close());
  EXPECT_EQ(memory->Bytes(), "<Sketch Width=\"12.5\" W=\"45000.5000000000\">\r\n");
  TvlXmlIn in;
  QString problem;
  ASSERT_TRUE(in.Bytes_Open(memory->Bytes(), u"memory"_s, problem));
  float width = 0;
  TDateTime moment = 0;
  EXPECT_TRUE(in.Get("Width", width) && in.GetDT("W", moment));
  EXPECT_EQ(width, 12.5f);
  EXPECT_EQ(moment, 45000.5);
}

}  // namespace

TEST(NumberForms, WriteTheFixedTextForms) { ExpectTheWrittenNumberForms(); }

TEST(NumberForms, WriteAndReadTheSameTextFormsUnderAGermanLocale) {
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
                 {"-.25", true, -0.25},
                 {"+2", true, 2},
                 {"1E3", true, 1000},
                 {"1e-05", true, 1e-5},
                 {" 7 ", true, 7},
                 {"", false, 0},
                 {"1,5", false, 0},
                 {"nan", false, 0},
                 {"-inf", false, 0},
                 {"1e400", false, 0},
                 {"1.5x", false, 0},
                 {"0x10", false, 0},
                 {"+-1", false, 0},
                 {"1 2", false, 0}};
  for (const auto &row : doubles) {
    double value = -7;
    double fromUtf16 = -7;
    EXPECT_EQ(ParseDouble(QByteArrayView(row.Text), value), row.Ok) << row.Text;
    EXPECT_EQ(ParseDouble(QString::fromLatin1(row.Text), fromUtf16), row.Ok) << row.Text;
    EXPECT_EQ(value, row.Ok ? row.Value : -7) << row.Text;
  }
  const struct {
    const char *Text;
    bool Ok;
  } integers[] = {{" 12 ", true}, {"+5", true},   {"-2147483648", true}, {"2147483648", false},
                  {"1.0", false}, {"12a", false}, {"- 1", false},        {"", false}};
  for (const auto &row : integers) {
    std::int32_t value = 0;
    EXPECT_EQ(ParseInt32(QByteArrayView(row.Text), value), row.Ok) << row.Text;
  }
  std::int32_t wide = 0;
  EXPECT_FALSE(ParseInt32(u"\uFF11\uFF12"_s, wide));  // full-width digits are not digits here
  double moment = 0;
  EXPECT_TRUE(ParseDateTimeDays(QByteArrayView("-693593"), moment));
  EXPECT_TRUE(ParseDateTimeDays(QByteArrayView("2958465.99"), moment));
  EXPECT_FALSE(ParseDateTimeDays(QByteArrayView("2958466"), moment));
  EXPECT_FALSE(ParseDateTimeDays(QByteArrayView("-693594"), moment));
  float single = 0;
  EXPECT_FALSE(ParseSingle(QByteArrayView("3.5e38"), single));
}

TEST(NumberForms, TimestampsAreStableAfterTheFirstSaveAndReadBackClosely) {
  std::mt19937_64 random(77);
  std::uniform_real_distribution<double> moments(30000, 60000);
  for (int i = 0; i < 2000; ++i) {
    const double moment = moments(random);
    const QString once = FormatTimestampNumber(moment);
    double read = 0;
    ASSERT_TRUE(ParseDouble(once, read)) << once.toStdString();
    EXPECT_NEAR(read, moment, 1e-9);
    EXPECT_EQ(FormatTimestampNumber(read), once);
    ASSERT_TRUE(ParseDouble(FormatDouble16(moment), read));
    EXPECT_NEAR(read, moment, 0.6e-10);
  }
}
