// Damaged notes blocks: cut short anywhere, lines missing, numbers that lie, bytes changed.
// Loading must end, never throw, keep every paragraph's three sequences in step, and never size
// anything by what the file claims.

#include "vldFontsInUse.h"
#include "vldParagraph.h"

#include "vlClock.h"
#include "vlTestSupport.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// The sections and fonts of a notes block, read the way the document reads them.
struct RLoaded {
  TTestSections Doc;
  TFontsInUse Fonts;
  QString Problems;
};

void Load(const QByteArray &Bytes, RLoaded &Into) {
  auto in = ReaderOver(Bytes);
  Into.Doc.Sections.clear();
  Into.Doc.AddParagraph();
  if (in->Next_SearchFor(xtSectionsBegin)) {
    in->NextRecognizedTag();
    bool first = true;
    while (in->CurrentTag() == xtParagraphBegin_) {
      TParagraph &p =
          first ? static_cast<TParagraph &>(*Into.Doc.Sections.front()) : Into.Doc.AddParagraph();
      first = false;
      Into.Problems += p.IO_Load(*in);
    }
    if (in->CurrentTagStrictlyIs(xtSectionsEnd)) in->NextRecognizedTag();
  }
  Into.Problems += Into.Fonts.IO_Load(*in);
}

::testing::AssertionResult Sound(const RLoaded &L, qsizetype InputSize) {
  for (const auto &section : L.Doc.Sections) {
    const auto *p = dynamic_cast<const TParagraph *>(section.get());
    if (!p) continue;
    if (auto r = InStep(*p); !r) return r;
    if (p->High() > InputSize) return ::testing::AssertionFailure() << "text longer than input";
    for (const RvlTimestamp &t : p->Whens().Entries())
      if (!std::isfinite(t.FEffectiveDT) || !std::isfinite(t.RealDT))
        return ::testing::AssertionFailure() << "a moment that is not a number";
  }
  if (!L.Fonts.FontExists(0) || L.Fonts.SlotCount() > TFontsInUse::MaxSlots)
    return ::testing::AssertionFailure() << "fonts table broken";
  return ::testing::AssertionSuccess();
}

QByteArray ValidBlock() {
  TTestSections doc;
  TParagraph &a = doc.AddParagraph(QStringLiteral("Hello \"world\" <&> ;"), 1);
  a.AnchoredInsets.AppendHandle(2);
  a.Char_SetFont(3, 0);
  doc.AddParagraph();
  doc.AddParagraph(QStringLiteral("Привет\t😀"), 1);
  TFontsInUse fonts;
  fonts.IO_Load_ForceFont(1, QStringLiteral("Comic Sans MS"), 0, 10, 0x800000, clWhite, {});
  return WriteToBytes([&](TvlXmlOut &Out) {
    Out.Insert_TagWithoutAttributes(xtSectionsBegin);
    for (int i = 0; i <= doc.Section_High(); ++i)
      static_cast<TParagraph *>(doc.Section_At(i))->IO_Save(Out, i);
    Out.Insert_TagWithoutAttributes(xtSectionsEnd);
    fonts.IO_Save(Out);
  });
}

class DamagedInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TTemporalString::SetReportsEnabled(true);
    TTestEnvironment::TestPrompts().Clear();
  }
  void TearDown() override {
    // Loading never reaches the timestamps' internal-error dialog.
    EXPECT_TRUE(TTestEnvironment::TestPrompts().AskedTexts().isEmpty());
  }
};

}  // namespace

TEST_F(DamagedInputTest, TheValidBlockLoadsCleanly) {
  RLoaded l;
  Load(ValidBlock(), l);
  EXPECT_EQ(l.Problems, QString());
  ASSERT_EQ(l.Doc.Section_High(), 2);
  EXPECT_EQ(static_cast<TParagraph *>(l.Doc.Section_At(2))->Text(), QStringLiteral("Привет\t😀"));
  EXPECT_EQ(l.Fonts.GetFontName(1), QStringLiteral("Comic Sans MS"));
}

TEST_F(DamagedInputTest, EveryTruncation) {
  const QByteArray valid = ValidBlock();
  for (qsizetype n = 0; n <= valid.size(); ++n) {
    RLoaded l;
    Load(valid.left(n), l);
    ASSERT_TRUE(Sound(l, n)) << "cut at " << n;
  }
}

TEST_F(DamagedInputTest, EveryLineMissingOnce) {
  const QList<QByteArray> lines = ValidBlock().split('\n');
  for (int skip = 0; skip < lines.size(); ++skip) {
    QByteArray bytes;
    for (int i = 0; i < lines.size(); ++i)
      if (i != skip) bytes += lines[i] + '\n';
    RLoaded l;
    Load(bytes, l);
    ASSERT_TRUE(Sound(l, bytes.size())) << "without line " << skip + 1;
  }
}

TEST_F(DamagedInputTest, NumbersThatLie) {
  struct {
    const char *Text;
    const char *When;
    const char *Expected;  // text of the paragraph after loading
  } rows[] = {
      {"<Text N=\"abc\" T=\"&f1;ab&10;\">", "<When L=\"(0,0)(1,1)(2,2)(3,3)\">", "ab"},
      {"<Text N=\"-5\" T=\"&f1;ab&10;\">", "<When L=\"(0,0)(1,1)(2,2)(3,3)\">", "ab"},
      {"<Text N=\"2000000000\" T=\"&f1;ab&10;\">", "<When L=\"(0,0)\">", "ab"},
      {"<Text N=\"1\" T=\"&f1;ab&10;\">", "<When L=\"(0,0)(1,1)\">", "ab"},
      {"<Text N=\"3\" T=\"&f99999;ab&10;\">", "<When L=\"(nan,1)(inf,inf)(1e400,2)(1,nan)\">",
       "ab"},
      {"<Text N=\"3\" T=\"&f1;ab\">", "<When>", "ab"},  // no end of line, no list
      {"<Text N=\"3\">", "<When L=\"(1,1)(1,1)(1,1)(1,1)\">", ""},
      {"<Text N=\"3\" T=\"&f1;a&10;b&10;\">", "<Sections>", "a\nb"},  // no When line at all
  };
  for (const auto &row : rows) {
    TTestSections doc;
    TParagraph &p = doc.AddParagraph();
    const RvlTimestamp eolBefore = p.FNLWhen;
    auto in = ReaderOver(Lines({"<P ID=\"0\">", row.Text, row.When, "</P>"}));
    p.IO_Load(*in);
    EXPECT_EQ(p.Text(), QString::fromLatin1(row.Expected)) << row.Text;
    EXPECT_TRUE(InStep(p)) << row.Text;
    if (QByteArray(row.Text).contains("ab\">")) {
      EXPECT_EQ(p.FNLWhen, eolBefore);  // no end of line in the file: the old one stays
    }
  }
}

TEST_F(DamagedInputTest, ChangedBytes) {
  const QByteArray valid = ValidBlock();
  const char nasty[] = "()<>&;\",fT0123456789-. \r\n#xPW";
  std::mt19937 random(99);
  for (int round = 0; round < 3000; ++round) {
    QByteArray bytes = valid;
    for (int k = std::uniform_int_distribution<int>(1, 4)(random); k > 0; --k) {
      const auto at = std::uniform_int_distribution<qsizetype>(0, bytes.size() - 1)(random);
      bytes[at] = nasty[std::uniform_int_distribution<int>(0, sizeof nasty - 2)(random)];
    }
    RLoaded l;
    Load(bytes, l);
    ASSERT_TRUE(Sound(l, bytes.size())) << "round " << round;
  }
}
