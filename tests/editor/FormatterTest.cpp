// The formatter on fixed-pitch measures: 10 px per character, 20 px per line, a text area of
// 100 px (ten characters) whose left edge is at x = 32.

#include "vldGraphic.h"
#include "vleTestSupport.h"

#include <gtest/gtest.h>

namespace {

struct RWrapCase {
  const char *Name;
  std::string Text;
  int Area;
  std::vector<int> Wraps;
};

TEST(FormatterWrap, LinesEndAfterTheLastBreakThatFits) {
  const std::vector<RWrapCase> cases = {
      {"empty paragraph: one line, wrap point 0", "", 100, {0}},
      {"fits: the line ends with the paragraph", "abc", 100, {4}},
      {"breaks after the last space that fits", "aaaa bbbb cccc", 100, {10, 15}},
      {"the break moves back to the space before a long word", "aaaa bbbbbb cc", 100, {5, 15}},
      {"a long word is cut after its last fitting character", "abcdefghijklmno", 100, {10, 16}},
      {"a character wider than the area still makes a line", "abc", 5, {1, 2, 3}},
      {"a tab is a break opportunity", "aaaa\tbbbbbbb", 100, {5, 13}},
      {"a hyphen after a single letter does not break", "a-bcdefghijkl", 100, {10, 14}},
      {"hyphen inside a word breaks", "abcd-efghijk", 100, {5, 13}},
      {"double hyphen: no break before the second", "abcd--efghij", 100, {6, 13}},
      // The text fills the width exactly through its trailing space; the paragraph end must
      // still end this line rather than lose its own.
      {"paragraph end never starts a line of its own", "aaaa bbbb ", 100, {11}},
  };
  for (const RWrapCase &c : cases) {
    SCOPED_TRACE(c.Name);
    TDocument doc;
    BuildDoc(doc, {c.Text});
    auto f = FixedFormatter(doc, c.Area);
    EXPECT_EQ(WrapsOf(*f, 0), c.Wraps);
  }
}

TEST(FormatterWrap, ABulletIsTextOfItsParagraphsFirstLine) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc", "dd"});
  auto f = FixedFormatter(doc);
  EXPECT_EQ(WrapsOf(*f, 0), (std::vector<int>{10, 15}));
  // The bullet's text comes first and pushes the words along: "* aaaa " then "bbbb cccc".
  doc.Paragraph_Outline_Set(0, oBullet, QStringLiteral("* "));
  EXPECT_EQ(doc.Paragraph_FromSectionNum(0)->Text().left(2), QStringLiteral("* "));
  EXPECT_EQ(WrapsOf(*f, 0), (std::vector<int>{7, 17}));
  EXPECT_EQ(f->Lines_High(), 3);
  EXPECT_TRUE(f->Debug_VerifyAgainstFullLayout());
}

TEST(FormatterWrap, LineHeightsFollowEveryFontRunOnTheLine) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc"});
  const TFontIndex big =
      doc.Font_GetIndex(QStringLiteral("Arial"), 0, 15, 0, clWhite, TFontStyles());
  // "bbbb" in 15 pt: 15 px wide, 30 px high. Line 1 "aaaa " plus the first "b" that no longer
  // fits is 30 high: the run of the first character that does not fit counts.
  doc.Font_Change(TCharSpan{{0, 6}, {0, 9}}, big);
  auto f = FixedFormatter(doc);
  EXPECT_EQ(WrapsOf(*f, 0), (std::vector<int>{5, 10, 15}));
  EXPECT_EQ(HeightsOf(*f, 0), (std::vector<int>{30, 30, 20}));
  EXPECT_EQ(f->TotalPixelHeight(), 80);
  EXPECT_EQ(f->Lines_TopPixel(3), 60);
}

TEST(FormatterWrap, ParagraphCapsAtTenThousandAndOneLines) {
  TDocument doc;
  BuildDoc(doc, {std::string(10050, 'x')});
  auto f = FixedFormatter(doc, 1);  // one character per line
  EXPECT_EQ(f->Lines_High(), TEditFormatter::MaxLinesPerParagraph);
  // Positions past the last line map onto its end instead of failing.
  const TVirtualPos end = f->Map_VirtualPosFromDocPos(TCaretPos{0, 10051, false});
  EXPECT_EQ(end.vY, f->Lines_TopPixel(f->Lines_High()));
}

TEST(FormatterWrap, LinesBesideAPictureEndBeforeItAndResumeBelowIt) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc dddd eeee"});
  // A picture over the right half of the second and third lines.
  AddPicture(doc, 0, TextLeft + 60, 20, 40, 40);
  auto f = FixedFormatter(doc);
  // Line 1 (y 0..20): full width. Lines 2, 3 (y 20..60): 6 characters before the picture.
  // Line 4 below it: full width again.
  EXPECT_EQ(WrapsOf(*f, 0), (std::vector<int>{10, 15, 20, 25}));
}

TEST(FormatterWrap, GrowingAnEarlierParagraphMovesALaterOneIntoAPicture) {
  TDocument doc;
  BuildDoc(doc, {"x", "aaaa bbbb cccc"});
  AddPicture(doc, 1, TextLeft + 50, 40, 50, 20);
  auto f = FixedFormatter(doc);
  EXPECT_EQ(WrapsOf(*f, 1), (std::vector<int>{10, 15}));
  doc.Char_Insert(u'\n', DocFont, TCaretPos{0, 2, false});  // one more line above
  EXPECT_EQ(WrapsOf(*f, 2), (std::vector<int>{5, 15}));
  EXPECT_TRUE(f->Debug_VerifyAgainstFullLayout());
}

TEST(FormatterWrap, PicturesOfDeletedParagraphsStillShapeTheText) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc"});
  // What a picture whose paragraph was deleted looks like: in the storage, without an anchor.
  TvlGraphic &orphan = AddPicture(doc, -1, TextLeft + 50, 0, 50, 60);
  auto f = FixedFormatter(doc);
  EXPECT_EQ(WrapsOf(*f, 0), (std::vector<int>{5, 10, 15}));
  EXPECT_EQ(f->Graphic_FindTouched(TVirtualPos{TextLeft + 60, 10}), &orphan);
}

TEST(FormatterMap, CaretPixelsAndBackAgreeOnEveryPosition) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc", "", "dd", "eeeeeeeeeeeeeeeeeeeeee"});
  auto f = FixedFormatter(doc);
  for (int sn = 0; sn <= doc.Section_High(); ++sn)
    for (int g = 1; g <= doc.Paragraph_Length(sn) + 1; ++g)
      for (bool eol : {false, true}) {
        const TCaretPos pos = f->Normalized(TCaretPos{sn, g, eol});
        SCOPED_TRACE(testing::Message() << sn << "," << g << "," << eol);
        const TVirtualPos v = f->Map_VirtualPosFromDocPos(pos);
        const TCaretPos back = f->Map_DocPosFromVirtualPos(TVirtualPos{v.vX, v.vY + 1});
        EXPECT_EQ(back.SN, pos.SN);
        EXPECT_EQ(back.FGN, pos.FGN);
        EXPECT_EQ(back.EOL, pos.EOL);
        EXPECT_EQ(f->Lines_LineNumFromDocPos(pos), f->Lines_LineNumFromVirtualPos(v));
      }
}

TEST(FormatterMap, EdgesOfLinesParagraphsAndTheDocument) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc", "", "dd"});
  auto f = FixedFormatter(doc);
  ASSERT_EQ(f->Lines_High(), 4);
  // An empty paragraph's caret is on its own line (not the next one's).
  EXPECT_EQ(f->Map_VirtualPosFromDocPos(TCaretPos{1, 1, false}).vY, 40);
  EXPECT_EQ(f->Lines_LineNumFromDocPos(TCaretPos{1, 1, false}), 3);
  // Right of a non-final line: its end, EOL. Right of a last line: the paragraph's end.
  const TCaretPos r1 = f->Map_DocPosFromVirtualPos(TVirtualPos{500, 5});
  EXPECT_EQ(r1.FGN, 11);
  EXPECT_TRUE(r1.EOL);
  const TCaretPos r2 = f->Map_DocPosFromVirtualPos(TVirtualPos{500, 25});
  EXPECT_EQ(r2.FGN, 15);
  EXPECT_FALSE(r2.EOL);
  // The middle of a character puts the caret before it; just right of it, after it.
  EXPECT_EQ(f->Map_DocPosFromVirtualPos(TVirtualPos{TextLeft + 15, 5}).FGN, 2);
  EXPECT_EQ(f->Map_DocPosFromVirtualPos(TVirtualPos{TextLeft + 16, 5}).FGN, 3);
  // Above the document: line 1 (a drag above the window); below it: the last line.
  EXPECT_EQ(f->Lines_LineNumFromVirtualPos(TVirtualPos{40, -7}), 1);
  EXPECT_EQ(f->Map_DocPosFromVirtualPos(TVirtualPos{TextLeft, -7}).SN, 0);
  EXPECT_EQ(f->Lines_LineNumFromVirtualPos(TVirtualPos{40, 10'000}), 4);
  // A stale EOL (not at a line end) is ignored, so X stays on its own line.
  const TVirtualPos stale = f->Map_VirtualPosFromDocPos(TCaretPos{0, 3, true});
  EXPECT_EQ(stale.vY, 0);
  EXPECT_EQ(stale.vX, TextLeft + 20);
  // EOL on the first line's end stays there; without EOL the same gap starts line 2.
  EXPECT_EQ(f->Map_VirtualPosFromDocPos(TCaretPos{0, 11, true}).vX, TextLeft + 100);
  EXPECT_EQ(f->Map_VirtualPosFromDocPos(TCaretPos{0, 11, true}).vY, 0);
  EXPECT_EQ(f->Map_VirtualPosFromDocPos(TCaretPos{0, 11, false}).vY, 20);
  // Past the end, line tops are extrapolated with the last line's height.
  EXPECT_EQ(f->Lines_TopPixel(6), 80 + 2 * 20);
  // Lines above a lower line: its own height counts.
  EXPECT_EQ(f->Lines_GetLineNum_YPixelsAboveLowerLN(19, 4), 4);
  EXPECT_EQ(f->Lines_GetLineNum_YPixelsAboveLowerLN(20, 4), 3);
  EXPECT_EQ(f->Lines_GetLineNum_YPixelsAboveLowerLN(1000, 4), 1);
  EXPECT_EQ(f->Char_Height(TCaretPos{2, 1, false}), 20);
}

TEST(FormatterMap, SelectionCoversMiddleLinesToTheirEnds) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc dddd eeee", "ee"});
  auto f = FixedFormatter(doc);
  doc.AtPos_NoSelectionSet(TCaretPos{0, 3, false});
  doc.FAtPosSelect = TCaretPos{1, 2, false};
  struct RRow {
    int Line;
    bool Any;
    int X1, X2;
  };
  const std::vector<RRow> rows = {
      {1, true, TextLeft + 20, TextLeft + 100},  // from the start to the line's end
      {2, true, TextLeft, TextLeft + 100},       // the whole middle line
      {3, true, TextLeft, TextLeft + 40 + 10},   // the last line and the paragraph's end box
      {4, true, TextLeft, TextLeft + 10},        // up to the selection's end
  };
  for (const RRow &r : rows) {
    SCOPED_TRACE(r.Line);
    int x1 = 0, x2 = 0;
    ASSERT_EQ(f->Select_PixelSpan(r.Line, x1, x2), r.Any);
    EXPECT_EQ(x1, r.X1);
    EXPECT_EQ(x2, r.X2);
  }
}

TEST(FormatterMap, LastLineOfTheDocumentIsFoundFromItsLastPixelRow) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc", "dd"});
  auto f = FixedFormatter(doc);
  EXPECT_EQ(f->Lines_LineNumFromVirtualPos(TVirtualPos{0, 59}), 3);
  EXPECT_EQ(f->Lines_LineNumFromVirtualPos(TVirtualPos{0, 40}), 3);
  EXPECT_EQ(f->Lines_LineNumFromVirtualPos(TVirtualPos{0, 39}), 2);
  EXPECT_EQ(f->Lines_LineNumFromVirtualY(45), 3);
}

TEST(FormatterGraphics, FrontMostPictureWinsClicksAndOrdersBelowOneLoseThem) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc"});
  TvlGraphic &back = AddPicture(doc, 0, 0, 0, 100, 100, 2);
  TvlGraphic &front = AddPicture(doc, 0, 50, 50, 100, 100, 1);
  TvlGraphic &unordered = AddPicture(doc, 0, 0, 0, 300, 300, 0);
  auto f = FixedFormatter(doc);
  EXPECT_EQ(f->Graphic_FindTouched(TVirtualPos{60, 60}), &front);
  EXPECT_EQ(f->Graphic_FindTouched(TVirtualPos{10, 10}), &back);
  EXPECT_EQ(f->Graphic_FindTouched(TVirtualPos{250, 250}), &unordered);
  EXPECT_EQ(f->Graphic_FindTouched(TVirtualPos{350, 10}), nullptr);
  // Right and bottom edges are outside.
  EXPECT_EQ(f->Graphic_FindTouched(TVirtualPos{300, 10}), nullptr);
}

TEST(FormatterSettings, MarginBatchInvalidatesOnceAndViewsHearOfTheLayout) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc"});
  auto f = FixedFormatter(doc);
  f->EnsureLayout();
  const auto epoch = f->Epoch();
  f->MultipleWrappingChanges_Begin();
  f->SetTextMarginLeft(2);
  f->SetTextMarginRight(3);
  f->SetLinkColumnWidth(20);
  EXPECT_EQ(f->Epoch(), epoch);
  f->MultipleWrappingChanges_End();
  EXPECT_EQ(f->Epoch(), epoch + 1);
  EXPECT_EQ(f->TextAreaWidth(), 140 - 25);

  int queries = 0, sizes = 0, notes = 0, lastTotal = 0;
  const TViewHandle h = f->Notify_RegisterView(
      [&](std::int32_t &Top) {
        ++queries;
        Top = 1;
      },
      [&](std::int32_t, std::int32_t Total) {
        ++sizes;
        lastTotal = Total;
      },
      [&](const TCaretPos &, const TCaretPos &) { ++notes; });
  EXPECT_EQ(h, 1);
  EXPECT_EQ(f->Notify_RegisterView(
                nullptr, [](std::int32_t, std::int32_t) {}, nullptr),
            2);
  EXPECT_EQ(f->Notify_RegisterView([](std::int32_t &) {}, nullptr, nullptr), 0);
  f->WrapVisiblePartNowIfNecessary(1, 100);
  EXPECT_EQ(queries, 1);
  EXPECT_EQ(sizes, 1);
  EXPECT_EQ(notes, 1);
  EXPECT_EQ(lastTotal, f->Lines_High());
  f->Notify_UnregisterView(h);
  f->WrapVisiblePartNowIfNecessary(1, 100);
  EXPECT_EQ(queries, 1);
}

}  // namespace
