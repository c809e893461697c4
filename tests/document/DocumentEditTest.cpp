// The document: selections deleted and copied as the user made them, insertions of text with line
// breaks, the clipboard inside one document and across documents, font commands, change counts,
// formatter notifications, pictures when paragraphs join or go, navigation and the moment new
// text belongs next to.

#include "vl_Document.h"

#include "vlClock.h"
#include "vlTestSupport.h"
#include "vldGraphic.h"
#include "vldStorage.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

constexpr TDateTime Now0 = 45100.25;
constexpr double Sec = 1 / 86400.0;

using TLines = std::vector<std::string>;

TCaretPos P(int SN, int GN) { return TCaretPos{SN, GN, false}; }

int Reports() { return ErrorLog().ReportCount(); }

TCaretPos Earlier(const TCaretPos &A, const TCaretPos &B) {
  return TDocument::IsInSequence(B, A) ? B : A;
}

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { InternalClipboard().Clear(); }

  // Selects from Anchor to Caret.
  void Select(const TCaretPos &Anchor, const TCaretPos &Caret) {
    Doc.FAtPosSelect = Anchor;
    Doc.FAtPos = Caret;
  }

  TManualClock Clock{Now0};
  TScopedClock UseClock{Clock};
  TMemoryTextClipboard Clipboard;
  TScopedTextClipboard UseClipboard{Clipboard};
  TRecordingSink Sink;
  TScopedTypingEventSink UseSink{Sink};
  TDocument Doc;
};

}  // namespace

TEST_F(DocumentTest, SelectionsAreDeletedAndCopiedExactlyAsSelected) {
  struct {
    const char *Name;
    TLines Lines;
    TCaretPos Anchor, Caret;
    TLines After;
    const char *Copied;
  } rows[] = {
      {"a line's text without its break",
       {"one", "word", "three"},
       P(1, 1),
       P(1, 5),
       {"one", "", "three"},
       "word"},
      {"the same, selected backwards",
       {"one", "word", "three"},
       P(1, 5),
       P(1, 1),
       {"one", "", "three"},
       "word"},
      {"the last line's text", {"one", "last"}, P(1, 1), P(1, 5), {"one", ""}, "last"},
      {"a line break alone", {"abc", "def"}, P(0, 4), P(1, 1), {"abcdef"}, "\n"},
      {"an empty paragraph before the end", {"", "xyz"}, P(0, 1), P(1, 1), {"xyz"}, "\n"},
      {"between empty paragraphs",
       {"abc", "", "", "def"},
       P(2, 1),
       P(3, 1),
       {"abc", "", "def"},
       "\n"},
      {"two whole paragraphs", {"a", "b", "c", "d"}, P(1, 1), P(3, 1), {"a", "d"}, "b\nc\n"},
      {"everything", {"ab", "cd"}, P(0, 1), P(1, 3), {""}, "ab\ncd"},
      {"up to a line's last character", {"abc", "def"}, P(0, 1), P(1, 3), {"f"}, "abc\nde"},
      {"from a line end", {"abc", "def"}, P(0, 4), P(1, 2), {"abcef"}, "\nd"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    for (const bool cut : {false, true}) {
      BuildDocument(Doc, row.Lines);
      Select(row.Anchor, row.Caret);
      if (cut) {
        Doc.Clipboard_Cut();
      } else {
        Doc.Clipboard_Copy();
        EXPECT_EQ(Clipboard.Text().toStdString(), row.Copied);
        Doc.Select_DeleteSelectedText();
      }
      EXPECT_EQ(ParagraphTexts(Doc), row.After);
      const TCaretPos start = Earlier(row.Anchor, row.Caret);
      EXPECT_TRUE(TDocument::IsSamePos(Doc.FAtPos, start));
      EXPECT_FALSE(Doc.Select_IsAnyTextSelected());
      // Typing goes on where the selection was.
      Doc.Char_Insert(u'x', 1, Doc.FAtPos);
      const TParagraph *typedInto = Doc.Paragraph_FromSectionNum(start.SN);
      ASSERT_NE(typedInto, nullptr);
      EXPECT_EQ(typedInto->Char_GetChar(start.FGN), QChar(u'x'));
    }
  }
}

TEST_F(DocumentTest, CharacterRangesDeleteWholeParagraphsWithTheirBreaks) {
  struct {
    TLines Lines;
    TCharX First, Last;
    TLines After;
  } rows[] = {
      {{"ab", "cd", "ef"}, {0, 1}, {1, 2}, {"ef"}},
      {{"ab", "cd"}, {0, 1}, {1, 2}, {""}},
      {{"abc", "def"}, {0, 1}, {1, 2}, {"f"}},
      {{"abc", "def"}, {0, 2}, {1, 1}, {"aef"}},
      {{"abcd"}, {0, 2}, {0, 3}, {"ad"}},
      {{"abcd", "x"}, {0, 1}, {0, 4}, {"x"}},
      {{"abc", "def"}, {1, 2}, {1, 1}, {"abc", "def"}},  // empty: nothing
      {{"abc", "def"}, {0, 4}, {1, 1}, {"abcef"}},       // never a character before First
  };
  for (const auto &row : rows) {
    BuildDocument(Doc, row.Lines);
    Doc.SubStr_Delete(row.First, row.Last);
    EXPECT_EQ(ParagraphTexts(Doc), row.After) << row.Lines.front();
    EXPECT_TRUE(Doc.IsValidCaretPosition_Silent(Doc.FAtPos));
  }
  // An emptied document keeps one fresh paragraph whose end of line has the document's font.
  BuildDocument(Doc, {"ab", "cd"}, 7);
  Doc.SubStr_Delete(TCharX{0, 1}, TCharX{1, 2});
  EXPECT_EQ(Doc.Paragraph_FromSectionNum(0)->FNLFont, Doc.FCurrentFontX);
}

TEST_F(DocumentTest, TextWithLineBreaksIsInsertedLineByLine) {
  struct {
    const char *Pasted;
    TLines After;
    TCaretPos NewAt;
  } rows[] = {
      {"one\ntwo", {"Xone", "twoY"}, P(1, 4)},
      {"ab\n", {"Xab", "Y"}, P(1, 1)},
      {"\n\n", {"X", "", "Y"}, P(2, 1)},
      {"l1\r\nl2", {"Xl1\r", "l2Y"}, P(1, 3)},  // only line feeds break lines
      {"plain", {"XplainY"}, P(0, 7)},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Pasted);
    BuildDocument(Doc, {"XY"});
    Doc.AtPos_NoSelectionSet(P(0, 2));
    Clipboard.SetText(QString::fromUtf8(row.Pasted));
    Doc.Clipboard_Paste();
    EXPECT_EQ(ParagraphTexts(Doc), row.After);
    EXPECT_TRUE(TDocument::IsSamePos(Doc.FAtPos, row.NewAt));
    for (int i = 0; i <= Doc.Section_High(); ++i)
      EXPECT_TRUE(InStep(*Doc.Paragraph_FromSectionNum(i)));
  }
}

TEST_F(DocumentTest, EnterSplitsAndStampsTheFirstHalfsLineEndNow) {
  BuildDocument(Doc, {"abcd"}, 3);
  const RvlTimestamp c = Doc.Paragraph_FromSectionNum(0)->Timestamp_Get(3);
  Clock.Set(Now0 + 1);
  Doc.Char_Insert(u'\n', 3, P(0, 3));
  ASSERT_EQ(ParagraphTexts(Doc), (TLines{"ab", "cd"}));
  const TParagraph &first = *Doc.Paragraph_FromSectionNum(0);
  const TParagraph &second = *Doc.Paragraph_FromSectionNum(1);
  EXPECT_EQ(first.FNLWhen, (RvlTimestamp{Now0 + 1, Now0 + 1}));
  EXPECT_EQ(second.Timestamp_Get(1), c);  // characters move with their moments
  EXPECT_EQ(second.Char_GetFont(1), 3);
  EXPECT_EQ(second.FNLFont, Doc.FCurrentFontX);
  ASSERT_EQ(Sink.Added.size(), 1u);
  EXPECT_EQ(Sink.Added[0].Text, QStringLiteral(" "));  // a line feed is entered as a space
}

TEST_F(DocumentTest, CopyAndPasteInsideTheProgramKeepsFontsAndMoments) {
  BuildDocument(Doc, {"abc", "def"});
  const TFontIndex arial =
      Doc.Font_GetIndex(QStringLiteral("Arial"), 0, 14, clRed, clWhite, TFontStyles(fsBold));
  Doc.Font_Change(TCharSpan{{0, 2}, {0, 3}}, arial);
  Select(P(0, 2), P(1, 2));
  Doc.Clipboard_Copy();
  ASSERT_EQ(Clipboard.Text(), QStringLiteral("bc\nd"));

  const RvlTimestamp b = Doc.Paragraph_FromSectionNum(0)->Timestamp_Get(2);
  Doc.AtPos_NoSelectionSet(P(1, 4));
  Sink.Added.clear();
  Doc.Clipboard_Paste();
  ASSERT_EQ(ParagraphTexts(Doc), (TLines{"abc", "defbc", "d"}));
  EXPECT_TRUE(TDocument::IsSamePos(Doc.FAtPos, P(2, 2)));
  const TParagraph &src0 = *Doc.Paragraph_FromSectionNum(0);
  const TParagraph &src1 = *Doc.Paragraph_FromSectionNum(1);
  const TParagraph &dst2 = *Doc.Paragraph_FromSectionNum(2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(src1.Char_GetFont(4 + i), arial);
    EXPECT_EQ(src1.Timestamp_Get(4 + i), src0.Timestamp_Get(2 + i));
  }
  EXPECT_EQ(dst2.Timestamp_Get(1), src1.Timestamp_Get(1));
  EXPECT_EQ(Sink.Added.size(), 4u);  // b, c, the line break, d

  // Text changed in another program comes in as plain text with new moments.
  Clipboard.SetText(QStringLiteral("bc\nD"));
  Doc.AtPos_NoSelectionSet(P(0, 1));
  Sink.Added.clear();
  Doc.Clipboard_Paste();
  EXPECT_EQ(ParagraphTexts(Doc).front(), "bc");
  EXPECT_NE(Doc.Paragraph_FromSectionNum(0)->Timestamp_Get(1), b);
  EXPECT_TRUE(Sink.Added.empty());
}

TEST_F(DocumentTest, PastingIntoAnotherDocumentKeepsTheLookOfTheFonts) {
  BuildDocument(Doc, {"abc"});
  const TFontIndex arial =
      Doc.Font_GetIndex(QStringLiteral("Arial"), 0, 14, clRed, clWhite, TFontStyles(fsBold));
  Doc.Font_Change(TCharSpan{{0, 1}, {0, 3}}, arial);
  Select(P(0, 1), P(0, 4));
  Doc.Clipboard_Copy();

  TDocument other;
  // The same slot names another font there.
  const TFontIndex courier =
      other.Font_GetIndex(QStringLiteral("Courier New"), 0, 9, clBlack, clWhite, TFontStyles());
  ASSERT_EQ(courier, arial);
  other.Clipboard_Paste();
  ASSERT_EQ(ParagraphTexts(other), (TLines{"abc"}));
  const TFontIndex pasted = other.Paragraph_FromSectionNum(0)->Char_GetFont(1);
  EXPECT_NE(pasted, courier);
  const TFontInUse want = Doc.FontsInUse.BaseOrDefault(arial);
  EXPECT_TRUE(other.FontsInUse.Matches(other.FontsInUse.BaseOrDefault(pasted), want.Name,
                                       want.Rotation, want.Size, want.Color, want.Highlight,
                                       want.Style));

  // Inside one document the indices stay as they are.
  Doc.AtPos_NoSelectionSet(P(0, 4));
  Doc.Clipboard_Paste();
  EXPECT_EQ(Doc.Paragraph_FromSectionNum(0)->Char_GetFont(6), arial);
}

TEST_F(DocumentTest, FontCommandsWorkRunByRunAndKeepOtherAttributes) {
  BuildDocument(Doc, {"xyz"});
  const TFontIndex arial =
      Doc.Font_GetIndex(QStringLiteral("Arial"), 0, 12, clBlack, clWhite, TFontStyles());
  const TFontIndex verdana =
      Doc.Font_GetIndex(QStringLiteral("Verdana"), 0, 20, clBlue, clWhite, TFontStyles());
  Doc.Font_Change(TCharSpan{{0, 1}, {0, 2}}, arial);
  Doc.Font_Change(TCharSpan{{0, 3}, {0, 3}}, verdana);
  const TCharSpan all{{0, 1}, {0, 3}};
  Doc.Font_ChangeBold(all, true);
  const TParagraph &p = *Doc.Paragraph_FromSectionNum(0);
  EXPECT_EQ(p.Char_GetFont(1), p.Char_GetFont(2));
  for (int i = 1; i <= 3; ++i) EXPECT_TRUE(Doc.FontStyleIsBold(p.Char_GetFont(i)));
  EXPECT_EQ(Doc.FontsInUse.GetFontName(p.Char_GetFont(1)), QStringLiteral("Arial"));
  EXPECT_EQ(Doc.FontsInUse.GetFontName(p.Char_GetFont(3)), QStringLiteral("Verdana"));
  EXPECT_EQ(Doc.FontsInUse.GetFontSize(p.Char_GetFont(3)), 20);
  Doc.Font_ChangeBold(all, false);
  EXPECT_EQ(p.Fonts(), (std::vector<TFontIndex>{arial, arial, verdana}));

  struct {
    int Size;
    double Delta;
    int Expected;
  } sizes[] = {{10, 25, 12}, {14, 25, 18}, {200, 50, 288}, {10, -90, 4}, {12, -20, 10}};
  for (const auto &row : sizes) {
    Doc.Font_ChangeSizeTo(all, row.Size);
    Doc.Font_ChangeSizeRelative(all, row.Delta);
    EXPECT_EQ(Doc.FontsInUse.GetFontSize(p.Char_GetFont(1)), row.Expected)
        << row.Size << " " << row.Delta;
  }

  // A selection that holds no character of a paragraph changes nothing there.
  BuildDocument(Doc, {"", "xyz"}, 2);
  Select(P(0, 1), P(1, 1));
  Doc.Font_ChangeBold(Doc.SelectionCharSpan(), true);
  EXPECT_FALSE(Doc.FontStyleIsBold(Doc.Paragraph_FromSectionNum(1)->Char_GetFont(1)));
  // An index below 0 is never stored: files could not read it back.
  Doc.Font_Change(TCharSpan{{1, 1}, {1, 3}}, -4);
  EXPECT_EQ(Doc.Paragraph_FromSectionNum(1)->Char_GetFont(2), 0);
}

TEST_F(DocumentTest, EveryEditCountsItsPrimitives) {
  struct {
    const char *Name;
    std::function<void(TDocument &)> Edit;
    int Delta;
  } rows[] = {
      {"ordinary character", [](TDocument &D) { D.Char_Insert(u'a', 1, P(0, 2)); }, 2},
      {"line feed", [](TDocument &D) { D.Char_Insert(u'\n', 1, P(0, 2)); }, 5},
      {"delete a character", [](TDocument &D) { D.Char_Delete(P(0, 1)); }, 2},
      {"delete at a line end", [](TDocument &D) { D.Char_Delete(P(0, 3)); }, 3},
      {"delete at the very end", [](TDocument &D) { D.Char_Delete(P(1, 3)); }, 2},
      {"bold",
       [](TDocument &D) {
         D.Font_ChangeBold(TCharSpan{{0, 1}, {0, 2}}, true);
       },
       1},
      {"delete a selection",
       [](TDocument &D) {
         D.FAtPosSelect = P(0, 2);
         D.FAtPos = P(1, 2);
         D.Select_DeleteSelectedText();
       },
       2},
      {"cut",
       [](TDocument &D) {
         D.FAtPosSelect = P(0, 2);
         D.FAtPos = P(1, 2);
         D.Clipboard_Cut();
       },
       3},
      {"paste one line",
       [](TDocument &D) {
         TextClipboard().SetText(QStringLiteral("zz"));
         D.Clipboard_Paste();
       },
       3},
      {"paste two lines",
       [](TDocument &D) {
         TextClipboard().SetText(QStringLiteral("z\nz"));
         D.Clipboard_Paste();
       },
       6},
  };
  for (const auto &row : rows) {
    BuildDocument(Doc, {"ab", "cd"});
    row.Edit(Doc);
    EXPECT_EQ(Doc.ChangeCount(), row.Delta) << row.Name;
    EXPECT_EQ(Doc.ChangeCountSinceBackup(), row.Delta) << row.Name;
  }

  // The undo snapshot is asked for inside the notification, whenever it reaches an even count.
  BuildDocument(Doc, {"ab"});
  std::vector<int> snapshots;
  Doc.UndoSnapshotRequest = [&snapshots](TDocument &D) { snapshots.push_back(D.ChangeCount()); };
  const TCharSpan span{{0, 1}, {0, 2}};
  Doc.Font_ChangeBold(span, true);    // 1
  Doc.Font_ChangeBold(span, false);   // 2: snapshot
  Doc.Char_Insert(u'a', 1, P(0, 1));  // 3, 4
  Doc.Font_ChangeBold(span, true);    // 5
  Doc.Font_ChangeBold(span, false);   // 6: snapshot
  EXPECT_EQ(snapshots, (std::vector<int>{2, 6}));
}

TEST_F(DocumentTest, FormattersHearOnlyOfSectionsThatExist) {
  BuildDocument(Doc, {"a", "b", "c", "d", "e"});
  int heard = 0, invalid = 0;
  Doc.Notify_RegisterFormatter(
      [&](const TCaretPos &From, const TCaretPos &OldTo, const TCaretPos &NewTo) {
        ++heard;
        for (const TCaretPos &pos : {From, OldTo, NewTo})
          invalid += Doc.IsValidCaretPosition_Silent(pos) ? 0 : 1;
      },
      nullptr);
  Doc.SubStr_Delete(TCharX{3, 1}, TCharX{4, 1});  // the last two, whole
  Select(P(1, 1), P(2, 2));
  Doc.Clipboard_Cut();
  Doc.Char_Delete(P(1, 1));
  EXPECT_GE(heard, 3);
  EXPECT_EQ(invalid, 0);
}

TEST_F(DocumentTest, AFourthFormatterIsRefusedAndTheOthersKeepTheirSlots) {
  BuildDocument(Doc, {"ab", "cd"});
  int calls[4] = {};
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(Doc.Notify_RegisterFormatter([&calls, i](const TCaretPos &, const TCaretPos &,
                                                       const TCaretPos &) { ++calls[i]; },
                                           NewParagraphInfo),
              i);
  const int before = Reports();
  EXPECT_THROW(Doc.Notify_RegisterFormatter(nullptr, NewParagraphInfo), std::out_of_range);
  EXPECT_EQ(Reports(), before + 1);
  Doc.Char_Insert(u'x', 1, P(0, 1));
  EXPECT_EQ(calls[1] + calls[2] + calls[3], 3);
  for (int h = 1; h <= 3; ++h) EXPECT_NE(Doc.Paragraph_FromSectionNum(1)->GetStorage(h), nullptr);

  Doc.Notify_UnregisterFormatter(2);
  EXPECT_EQ(Doc.Paragraph_FromSectionNum(1)->GetStorage(2), nullptr);
  Doc.Char_Insert(u'\n', 1, P(0, 1));  // a new paragraph gets the records still wanted
  EXPECT_NE(Doc.Paragraph_FromSectionNum(1)->GetStorage(3), nullptr);
  EXPECT_EQ(Doc.Paragraph_FromSectionNum(1)->GetStorage(2), nullptr);
  EXPECT_EQ(Doc.Notify_RegisterFormatter(nullptr, nullptr), 2);
}

TEST_F(DocumentTest, PicturesFollowTheTextWhenParagraphsJoin) {
  struct {
    const char *Name;
    std::function<void(TDocument &)> Edit;
    int AnchorSN;  // -1: left without an anchor
  } rows[] = {
      {"backspace at the start", [](TDocument &D) { D.Char_Delete(P(0, 3)); }, 0},
      {"selection over the break",
       [](TDocument &D) {
         D.FAtPosSelect = P(0, 2);
         D.FAtPos = P(1, 1);
         D.Select_DeleteSelectedText();
       },
       0},
      {"selection of the whole line with its break",
       [](TDocument &D) {
         D.FAtPosSelect = P(1, 1);
         D.FAtPos = P(2, 1);
         D.Select_DeleteSelectedText();
       },
       1},
      {"character range over the paragraph's end",
       [](TDocument &D) {
         D.SubStr_Delete(TCharX{0, 2}, TCharX{1, 1});
       },
       0},
      {"the whole paragraph as characters",
       [](TDocument &D) {
         D.SubStr_Delete(TCharX{1, 1}, TCharX{1, 2});
       },
       -1},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    BuildDocument(Doc, {"ab", "cd", "ef"});
    TInsetHandle h = -1;
    ASSERT_TRUE(Doc.InsetsStorage.MakeNewGraphicAndGetHandle(Doc.Paragraph_FromSectionNum(1), h));
    row.Edit(Doc);
    const TInset *inset = Doc.InsetsStorage.GetInset(h);
    ASSERT_NE(inset, nullptr);  // a picture is never destroyed by editing text
    if (row.AnchorSN < 0) {
      EXPECT_EQ(inset->FAnchor, nullptr);
      continue;
    }
    const TParagraph *anchor = Doc.Paragraph_FromSectionNum(row.AnchorSN);
    EXPECT_EQ(inset->FAnchor, anchor);
    ASSERT_EQ(anchor->AnchoredInsets.Count(), 1);
    EXPECT_EQ(anchor->AnchoredInsets.GetHandle(1), h);
  }
  // Emptying the document for a load leaves none of the old pictures.
  Doc.ClearSections();
  EXPECT_EQ(Doc.InsetsStorage.High(), -1);
}

TEST_F(DocumentTest, CaretStepsAcrossParagraphsAndStopsAtTheEnds) {
  BuildDocument(Doc, {"ab", "", "cd"});
  struct {
    TCaretPos From;
    bool Forward;
    TCaretPos To;
    bool Moved;
  } rows[] = {
      {P(0, 2), true, P(0, 3), true},   {P(0, 3), true, P(1, 1), true},
      {P(1, 1), true, P(2, 1), true},   {P(2, 3), true, P(2, 3), false},
      {P(2, 1), false, P(1, 1), true},  {P(1, 1), false, P(0, 3), true},
      {P(0, 1), false, P(0, 1), false}, {P(0, 9), false, P(0, 3), true},
  };
  for (const auto &row : rows) {
    TCaretPos pos = row.From;
    const bool moved =
        row.Forward ? Doc.CaretPosition_TryNext(pos) : Doc.CaretPosition_TryPrevious(pos);
    EXPECT_EQ(moved, row.Moved) << row.From.SN << "," << row.From.FGN;
    EXPECT_TRUE(TDocument::IsSamePos(pos, row.To)) << row.From.SN << "," << row.From.FGN;
  }
  TCharX c{2, 1};
  EXPECT_TRUE(Doc.CharPosition_TryPrevious(c));  // past the empty paragraph
  EXPECT_TRUE(TDocument::IsSameCharX(c, TCharX{0, 2}));
  c = TCharX{0, 1};
  EXPECT_FALSE(Doc.CharPosition_TryPrevious(c));

  EXPECT_EQ(Doc.DescribePos_At(P(0, 1)), dpBeforeWord);  // the document start counts as a space
  EXPECT_EQ(Doc.DescribePos_At(P(0, 2)), dpInWord);
  EXPECT_EQ(Doc.DescribePos_At(P(0, 3)), dpAfterWord);
  EXPECT_EQ(Doc.DescribePos_At(P(1, 1)), dpInSpaces);
}

TEST_F(DocumentTest, NewTextIsPlacedNextToTheMomentOfItsNeighbours) {
  BuildDocument(Doc, {"", "xy", "x ", "q"});
  Doc.Paragraph_FromSectionNum(3)->Timestamp_Set(1, NullTimestamp);
  const TDateTime x = BuiltT0 + 1000 * Sec, space = BuiltT0 + 2001 * Sec;
  struct {
    TCaretPos At;
    QChar Next;
    TDateTime Expected;
  } rows[] = {
      {P(0, 1), u'a', 0},                            // nothing around
      {P(1, 1), u'a', x},                            // at the start: the character after
      {P(1, 2), u'a', x + 1e-6},                     // inside a word
      {P(2, 2), u'a', BuiltT0 + 2000 * Sec + 1e-6},  // just after a word
      {P(2, 3), u'a', space + 1.01 * Sec},           // a new word after a space
      {P(2, 3), u' ', space + 1e-6},                 // another space
      {P(3, 2), u'a', 0},                            // a neighbour without a moment
  };
  for (const auto &row : rows)
    EXPECT_DOUBLE_EQ(Doc.Timestamp_Effective_ContextAt(row.Next, row.At), row.Expected)
        << row.At.SN << "," << row.At.FGN;
  Doc.AtPos_NoSelectionSet(P(1, 2));
  EXPECT_DOUBLE_EQ(Doc.Timestamp_Effective_ContextAtPos(u'a'), x + 1e-6);
}

TEST_F(DocumentTest, TypedAndDeletedCharactersComeAndGoAsTypingEvents) {
  BuildDocument(Doc, {"ab"});
  Doc.Char_Insert(u'z', 1, P(0, 3));
  ASSERT_EQ(Sink.Added.size(), 1u);
  EXPECT_EQ(Sink.Added[0].Text, QStringLiteral("z"));
  EXPECT_EQ(Sink.Added[0].When, Doc.Paragraph_FromSectionNum(0)->Timestamp_Get(3).FEffectiveDT);
  Doc.Char_Delete(P(0, 3));
  EXPECT_EQ(Sink.Deleted, std::vector<TDateTime>{Sink.Added[0].When});

  // A character without an effective moment was filed at its real moment; it goes from there.
  Doc.Paragraph_FromSectionNum(0)->Timestamp_Set(1, RvlTimestamp{500, 45000});
  Sink.Deleted.clear();
  Select(P(0, 1), P(0, 3));
  Doc.Select_DeleteSelectedText();
  EXPECT_EQ(Sink.Deleted, (std::vector<TDateTime>{45000, BuiltT0 + Sec}));

  // An insertion that cannot happen leaves no event.
  Sink.Added.clear();
  Doc.Char_Insert(u'q', 1, P(0, 9));
  EXPECT_TRUE(Sink.Added.empty());
}

TEST_F(DocumentTest, ACopiedDocumentStandsOnItsOwn) {
  BuildDocument(Doc, {"ab", "cd", "ef"});
  TInsetHandle h = -1;
  ASSERT_TRUE(Doc.InsetsStorage.MakeNewGraphicAndGetHandle(Doc.Paragraph_FromSectionNum(2), h));
  TvlGraphic &g = *Doc.InsetsStorage.GetIfGraphic(h);
  g.Sketch.PenStroke_Append().PenPoint_Append(3, 4);
  Select(P(0, 2), P(1, 1));
  Doc.Char_Insert(u'x', 1, P(0, 1));

  TDocument copy;
  copy.Char_Insert(u'q', 1, P(0, 1));
  copy.MyAssign(Doc);
  EXPECT_EQ(ParagraphTexts(copy), ParagraphTexts(Doc));
  EXPECT_EQ(copy.ChangeCount(), Doc.ChangeCount());
  EXPECT_TRUE(TDocument::IsSamePos(copy.FAtPosSelect, Doc.FAtPosSelect));
  for (int i = 0; i <= 2; ++i)
    EXPECT_EQ(copy.Paragraph_FromSectionNum(i)->Whens().Entries(),
              Doc.Paragraph_FromSectionNum(i)->Whens().Entries());
  const TvlGraphic *cg = copy.InsetsStorage.GetIfGraphic(h);
  ASSERT_NE(cg, nullptr);
  EXPECT_NE(cg, &g);
  EXPECT_EQ(cg->FAnchor, copy.Paragraph_FromSectionNum(2));
  EXPECT_EQ(copy.Paragraph_FromSectionNum(2)->AnchoredInsets.Count(), 1);
  EXPECT_EQ(cg->Sketch.PenStrokeCount(), 1);

  Doc.Char_Delete(P(2, 1));
  Doc.InsetsStorage.Delete(h);
  EXPECT_EQ(copy.Paragraph_FromSectionNum(2)->Text(), QStringLiteral("ef"));
  EXPECT_NE(copy.InsetsStorage.GetIfGraphic(h), nullptr);
}

TEST_F(DocumentTest, CopyingOverADocumentWithPictures_KeepsTheAnchoringOrder) {
  // The source anchored its pictures against the order of their handles; the copy's own picture
  // must leave no trace in the reused paragraph.
  BuildDocument(Doc, {"ab"});
  for (const TInsetHandle h : {1, 0})
    ASSERT_TRUE(Doc.InsetsStorage.PutInsetAt(h, std::make_unique<TvlGraphic>(),
                                             Doc.Paragraph_FromSectionNum(0)));
  TDocument copy;
  ASSERT_TRUE(copy.InsetsStorage.PutInsetAt(2, std::make_unique<TvlGraphic>(),
                                            copy.Paragraph_FromSectionNum(0)));
  copy.MyAssign(Doc);
  const THandleList &listed = copy.Paragraph_FromSectionNum(0)->AnchoredInsets;
  ASSERT_EQ(listed.Count(), 2);
  EXPECT_EQ(listed.GetHandle(1), 1);
  EXPECT_EQ(listed.GetHandle(2), 0);
}
