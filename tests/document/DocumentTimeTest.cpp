// The document's moments and search: the timestamp of a character, the text nearest to a moment,
// and search hits in document order with their result lines.

#include "vl_Document.h"

#include "vlAppPaths.h"
#include "vlTestSupport.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>

#include <QDir>

namespace {

constexpr double Sec = 1 / 86400.0;

TCaretPos P(int SN, int GN) { return TCaretPos{SN, GN, false}; }

}  // namespace

TEST(DocumentTimeTest, TimestampsOfCharactersAndParagraphs) {
  TDocument doc;
  BuildDocument(doc, {"abc", "de"});
  EXPECT_EQ(doc.Timestamp_GetForCharacter(P(0, 2)).FEffectiveDT, BuiltT0 + 1 * Sec);
  EXPECT_EQ(doc.Timestamp_GetForCharacter(P(1, 1)).FEffectiveDT, BuiltT0 + 1000 * Sec);
  EXPECT_EQ(doc.Timestamp_GetForCharacter(P(7, 1)), NullTimestamp);
  const RvlTimestamp stamp{45123.5, 45124.5};
  doc.Timestamp_SetForCharacter(P(1, 3), stamp);  // the end of line
  EXPECT_EQ(doc.Paragraph_FromSectionNum(1)->FNLWhen, stamp);
  EXPECT_EQ(doc.Timestamp_GetForCharacter(P(1, 3)), stamp);
  doc.Timestamp_SetForParagraph(0, stamp);
  EXPECT_EQ(doc.Timestamp_GetForParagraph(0), stamp);
  EXPECT_EQ(doc.Timestamp_GetForParagraph(5), NullTimestamp);
  EXPECT_EQ(doc.Debug_GetParagraphTextWithVisibleNL(P(5, 1)),
            QStringLiteral("<<Not a paragraph>>"));
}

TEST(DocumentTimeTest, NearestTextToAMomentAcrossParagraphs) {
  TDocument doc;
  BuildDocument(doc, {"abc", "", "xyz", "nomoment"});
  // Paragraph 3 has no moments (loaded without them, or tiny leftovers).
  TParagraph &p3 = *doc.Paragraph_FromSectionNum(3);
  for (int i = 1; i <= p3.High(); ++i) p3.Timestamp_Set(i, RvlTimestamp{i * 1e-6, 0});
  const struct {
    const char *Name;
    TDateTime When;
    TCaretPos Expected;
  } rows[] = {
      {"exact character", BuiltT0 + 1 * Sec, P(0, 2)},
      {"before everything", BuiltT0 - 1, P(0, 1)},
      {"between paragraphs, nearer the second", BuiltT0 + 1900 * Sec, P(2, 1)},
      {"after everything", BuiltT0 + 1, P(2, 3)},
      {"near zero: no moment there", 0.0, P(0, 1)},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    TCaretPos at = P(9, 9);
    EXPECT_TRUE(doc.Timestamp_SearchForNearestEffectiveTS(row.When, at));
    EXPECT_TRUE(TDocument::IsSamePos(at, row.Expected)) << at.SN << "," << at.FGN;
  }
  // Equal distances: the earlier character in the document wins.
  TDocument tie;
  BuildDocument(tie, {"ab", "c"});
  tie.Timestamp_SetForCharacter(P(0, 1), RvlTimestamp{45000.75, 0});
  tie.Timestamp_SetForCharacter(P(0, 2), RvlTimestamp{45000.25, 0});
  tie.Timestamp_SetForCharacter(P(1, 1), RvlTimestamp{45000.25, 0});
  TCaretPos tieAt;
  EXPECT_TRUE(tie.Timestamp_SearchForNearestEffectiveTS(45000.5, tieAt));
  EXPECT_TRUE(TDocument::IsSamePos(tieAt, P(0, 1)));

  TDocument blank;
  BuildDocument(blank, {"no", "moments"});
  for (int sn = 0; sn <= 1; ++sn) {
    TParagraph &p = *blank.Paragraph_FromSectionNum(sn);
    for (int i = 1; i <= p.High(); ++i) p.Timestamp_Set(i, NullTimestamp);
  }
  TCaretPos at = P(1, 3);
  EXPECT_FALSE(blank.Timestamp_SearchForNearestEffectiveTS(BuiltT0, at));
  EXPECT_TRUE(TDocument::IsSamePos(at, P(0, 1)));
}

TEST(DocumentTimeTest, SearchHitsInDocumentOrderWithResultLines) {
  TDocument doc;
  BuildDocument(
      doc, {"xxab", "AB and ab", "a", "b", std::string(100, 'p') + "ab" + std::string(100, 'q')});
  QStringList lines;
  EXPECT_EQ(doc.Search_AppendResults(0, QStringLiteral("Tab one"), u"ab", lines), 4);
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0], QStringLiteral("* H=Tab one"));
  EXPECT_EQ(lines[1], QStringLiteral("- T=0 S=0 C=3 D=xx<b>ab</b>"));
  EXPECT_EQ(lines[2], QStringLiteral("- T=0 S=1 C=1 D=<b>AB</b> and ab"));
  EXPECT_EQ(lines[3], QStringLiteral("- T=0 S=1 C=8 D=AB and <b>ab</b>"));
  // No hit spans a paragraph break ("a" / "b"); context is cut to 75 characters each side.
  EXPECT_EQ(lines[4], QStringLiteral("- T=0 S=4 C=101 D=") + QString(75, u'p') +
                          QStringLiteral("<b>ab</b>") + QString(74, u'q'));

  EXPECT_EQ(doc.Substr_Search(u"ab", P(1, 2), true).CX, 8);
  EXPECT_EQ(doc.Substr_Search(u"ab", P(1, 2), false).CX, 8);
  EXPECT_EQ(doc.Substr_Search(u"zz", P(0, 1), false).SN, -1);
  EXPECT_EQ(doc.Substr_SearchWithinParagraph(u"ab", TCharX{1, 1}).CX, 8);
  EXPECT_EQ(doc.Substr_SearchWithinParagraph(u"xx", TCharX{1, 1}).SN, -1);

  // Hits do not overlap, an empty query finds nothing, a document without hits adds no header.
  TDocument aaaa;
  BuildDocument(aaaa, {"aaaa"});
  EXPECT_EQ(aaaa.Search_Hits(u"aa").size(), 2u);
  QStringList none;
  EXPECT_EQ(aaaa.Search_AppendResults(1, QStringLiteral("H"), u"", none), 0);
  EXPECT_EQ(aaaa.Search_AppendResults(1, QStringLiteral("H"), u"b", none), 0);
  EXPECT_TRUE(none.isEmpty());
  // The step limit holds.
  TDocument many;
  BuildDocument(many, {std::string(3000, 'a')});
  EXPECT_EQ(many.Search_Hits(u"a").size(), 1000u);
}

TEST(DocumentTimeTest, DumpListsSectionsAndIsWrittenOnlyInDebugMode) {
  TDocument doc;
  BuildDocument(doc, {"a\tb", ""});
  QStringList lines;
  doc.Document_Dump(lines);
  const QString whens =
      QLatin1Char('"') + doc.Paragraph_FromSectionNum(0)->Dump_TimestampsStr() + QLatin1Char('"');
  EXPECT_EQ(lines.mid(0, 11),
            (QStringList{
                QStringLiteral("Sections_Low  = 0"),
                QStringLiteral("Sections_High = 1"),
                QStringLiteral("Document_FirstPos  = (0,1)"),
                QStringLiteral("Document_LastCharX   = (0,3)"),
                QStringLiteral("Document_LastCaretPos = (1,1)"),
                QString(),
                QStringLiteral("Section[0]:   Is a paragraph."),
                QStringLiteral("\"a#9b\""),
                QStringLiteral("     P.First=1   P.High=3   P.After=4   P.Length=3"),
                QStringLiteral("     Group Timestamp = 1899-12-30 00:00 00.0"),
                QStringLiteral("      Whens = ") + whens,
            }));

  TFreshFolder folder;
  TErrorLog log(folder.Path());
  TScopedErrorLog useLog(log);
  const QString dumps = AppPaths().DocumentsFolder();
  const auto dumpFiles = [&] {
    return QDir(dumps).entryList({QStringLiteral("Document Dump *")}, QDir::Files);
  };
  const int before = static_cast<int>(dumpFiles().size());
  EXPECT_FALSE(doc.Document_DumpToTimestampedFile(QStringLiteral("off")));
  log.SetDebugSwitch(true);
  EXPECT_TRUE(doc.Document_DumpToTimestampedFile(QStringLiteral("wrap/left")));
  const QStringList files = dumpFiles();
  ASSERT_EQ(files.size(), before + 1);
  EXPECT_TRUE(files.filter(QStringLiteral(" wrap_left.txt")).size() == 1)
      << files.join(u',').toStdString();
}
