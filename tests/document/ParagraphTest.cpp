// Paragraphs (layout records, the P element) and the iterator every multi-paragraph operation
// walks with.

#include "vl09_Iterator.h"
#include "vldInsetsStorage.h"
#include "vldParagraph.h"
#include "vldTable.h"

#include "vlTestSupport.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>

namespace {

struct RVisit {
  int SN, Start, Stop;
  bool operator==(const RVisit &) const = default;
};

std::vector<RVisit> Walk(TParagraphIterator &It) {
  std::vector<RVisit> visits;
  while (It.HaveParagraphThatNeedsWork() && visits.size() < 100) {
    visits.push_back({It.ParagraphNumber(), It.Start(), It.Stop()});
    It.Next();
  }
  return visits;
}

int Reports() { return ErrorLog().ReportCount(); }

}  // namespace

TEST(ParagraphIteratorTest, VisitsEachParagraphOfTheRangeOnce) {
  TTestSections doc;
  doc.AddParagraph(QStringLiteral("first"));
  doc.AddParagraph(QString());
  doc.Sections.push_back(std::make_unique<TOtherSection>());
  doc.AddParagraph(QStringLiteral("last one"));

  TParagraphIterator it(&doc);
  struct {
    TCharX From, To;
    std::vector<RVisit> Visits;
  } rows[] = {
      {{0, 2}, {0, 4}, {{0, 2, 4}}},
      {{0, 3}, {3, 4}, {{0, 3, 5}, {1, 1, 0}, {3, 1, 4}}},  // empty middle; graphic skipped
      {{2, 1}, {3, 2}, {{3, 1, 2}}},                        // starting on a graphic
      {{3, 1}, {9, 1}, {{3, 1, 8}}},                        // beyond the last section
      {{-1, 0}, {3, 1}, {}},                                // the "no position"
  };
  for (const auto &row : rows) {
    it.Setup(row.From, row.To);
    EXPECT_EQ(Walk(it), row.Visits) << row.From.SN << "," << row.From.CX;
    EXPECT_TRUE(it.Finished());
  }

  // Caret positions: up to the character before the end caret.
  it.Setup(TCaretPos{3, 1, false}, TCaretPos{3, 1, false});
  EXPECT_EQ(Walk(it), (std::vector<RVisit>{{3, 1, 0}}));
  it.Setup(TCaretPos{0, 2, false}, TCaretPos{3, 0, false});  // gap 0: end of the previous one
  EXPECT_EQ(Walk(it), (std::vector<RVisit>{{0, 2, 5}, {1, 1, 0}}));
}

TEST(ParagraphIteratorTest, NestedUseIsReportedIdleNextIsHarmless) {
  TTestSections doc;
  doc.AddParagraph(QStringLiteral("a"));
  doc.AddParagraph(QStringLiteral("b"));
  TParagraphIterator it(&doc);
  it.Next();  // idle: must not step past the largest integer
  EXPECT_TRUE(it.Finished());

  it.Setup(TCharX{0, 1}, TCharX{1, 1});
  const int before = Reports();
  it.Setup(TCharX{1, 1}, TCharX{1, 1});
  EXPECT_EQ(Reports(), before + 1);
  EXPECT_EQ(Walk(it), (std::vector<RVisit>{{1, 1, 1}}));

  it.Setup(TCharX{0, 1}, TCharX{1, 1});
  it.TakeDown();
  EXPECT_TRUE(it.Finished());
  it.Setup(TCharX{0, 1}, TCharX{0, 1});
  EXPECT_EQ(Reports(), before + 1);  // a walk ended early is no nested use
  EXPECT_THROW(TParagraphIterator(nullptr), std::invalid_argument);
}

TEST(ParagraphTest, LayoutRecords_FollowTheMonitorAndLeftoversAreReportedOnce) {
  TParagraph::ResetStorageReportForTests();
  TAuxInfoUsageMonitor monitor;
  monitor.SetAuxInfoType(2, NewParagraphInfo);
  TTestSections doc;
  auto p = std::make_unique<TParagraph>(&doc, 3, &monitor);
  EXPECT_EQ(p->FNLFont, 3);
  EXPECT_EQ(p->GetStorage(1), nullptr);
  ASSERT_NE(dynamic_cast<TParagraphInfo *>(p->GetStorage(2)), nullptr);
  EXPECT_EQ(static_cast<TParagraphInfo *>(p->GetStorage(2))->LineCount, 1);

  monitor.SetAuxInfoType(2, nullptr);
  monitor.SetAuxInfoType(3, NewParagraphInfo);
  p->UpdateAuxInfoAsSpecifiedBy(monitor);
  EXPECT_EQ(p->GetStorage(2), nullptr);
  EXPECT_NE(p->GetStorage(3), nullptr);
  EXPECT_THROW(p->GetStorage(4), std::out_of_range);
  EXPECT_THROW(monitor.SetAuxInfoType(0, nullptr), std::out_of_range);

  TAuxInfoType rect;
  rect.FPixelTop = 10;
  rect.FPixelHeight = 5;
  rect.FPixelLeft = 3;
  rect.FPixelWidth = 4;
  EXPECT_EQ(rect.PixelBottom(), 14);
  EXPECT_EQ(rect.VirtualRect().vRight, 6);

  const int before = Reports();
  p->Clear();
  p.reset();
  auto q = std::make_unique<TParagraph>(&doc, 0, &monitor);
  q.reset();
  EXPECT_EQ(Reports(), before + 1);
}

TEST(ParagraphTest, Element_AnchorsAndTextRoundTrip) {
  TTestSections doc;
  TParagraph &p = doc.AddParagraph(QStringLiteral("x<y"), 2);
  p.FNLFont = 1;
  TInsetsStorage::ListFromFile(p, 4);
  TInsetsStorage::ListFromFile(p, 0);
  const QByteArray bytes = WriteToBytes([&](TvlXmlOut &Out) { p.IO_Save(Out, 0); });
  EXPECT_TRUE(bytes.startsWith(Lines({"<P ID=\"0\">", "<Anchor x=\"4\">", "<Anchor x=\"0\">",
                                      "<Text N=\"4\" T=\"&f2;x&LT;y&f1;&10;\">"})));
  EXPECT_TRUE(bytes.endsWith(Lines({"</P>"})));

  TTestSections other;
  TParagraph &back = other.AddParagraph();
  auto in = ReaderOver(bytes);
  EXPECT_EQ(back.IO_Load(*in), QString());
  EXPECT_TRUE(in->EndOfFile());
  EXPECT_EQ(back.Text(), QStringLiteral("x<y"));
  ASSERT_EQ(back.AnchoredInsets.Count(), 2);
  EXPECT_EQ(back.AnchoredInsets.GetHandle(1), 4);
  EXPECT_EQ(back.AnchoredInsets.GetHandle(2), 0);
}

TEST(ParagraphTest, Element_DamagedLinesAreSkippedWithoutLosingText) {
  TTestSections doc;
  doc.AddParagraph();
  TParagraph &p = doc.AddParagraph();
  const int before = Reports();
  auto in =
      ReaderOver(Lines({"<P>", "<P ID=\"zz\">", "<Anchor x=\"q\">", "<I x=\"3\">",
                        "<Anchor x=\"3\">", "<Anchor x=\"-2\">", "<Text N=\"2\" T=\"&f0;a&10;\">",
                        "<When L=\"(0,0)(1,2)(3,4)\">", "</P>", "<P ID=\"7\">"}));
  const QString problems = p.IO_Load(*in);
  EXPECT_TRUE(
      problems.startsWith(QStringLiteral("Can't anchor inset: Line No. 3:  \"<Anchor x=\"q\">\"")))
      << problems.toStdString();
  EXPECT_TRUE(problems.contains(QStringLiteral("Line No. 6:")));
  EXPECT_EQ(p.Text(), QStringLiteral("a"));
  EXPECT_EQ(p.FNLWhen, (RvlTimestamp{4, 3}));
  ASSERT_EQ(p.AnchoredInsets.Count(), 1);  // the short form and the long form name one inset
  EXPECT_EQ(p.AnchoredInsets.GetHandle(1), 3);
  EXPECT_EQ(in->CurrentTag(), xtParagraphBegin_);

  // ID 7 for the paragraph at 1: noted, and the paragraph still loads.
  TParagraph &third = doc.AddParagraph();
  third.IO_Load(*in);
  EXPECT_GT(Reports(), before);
  EXPECT_TRUE(in->EndOfFile());
  EXPECT_TRUE(InStep(third));
}

TEST(TableTest, DeletingRowsMovesTheFollowingRowsUp) {
  TTable table;
  table.RowCount = 4;
  table.Cells.resize(2);
  for (auto &column : table.Cells)
    for (int row = 0; row < 4; ++row) {
      column.push_back(std::make_unique<TCell>());
      column.back()->Contents = QString::number(row);
    }
  table.Rows_Delete(1, 2);
  EXPECT_EQ(table.RowCount, 2);
  EXPECT_EQ(table.Cells[1][1]->Contents, QStringLiteral("3"));
  table.Rows_Delete(1, 5);  // beyond the last row: nothing
  EXPECT_EQ(table.RowCount, 2);
}
