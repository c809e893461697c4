// The layout cache against layouts made from scratch: random edits of every kind, and after each
// the cached lines, tops and mappings equal those of a fresh formatter.

#include "vlGlobals.h"
#include "vldGraphic.h"
#include "vleTestSupport.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <random>

namespace {

void ExpectSameAsFresh(TEditFormatter &Cached, TDocument &Doc, int Area, double Scale) {
  auto fresh = FixedFormatter(Doc, Area);
  fresh->SetFontScale(Scale);
  const RDocumentLayout a = Cached.Layout_Cached();
  const RDocumentLayout b = fresh->Layout_Cached();
  ASSERT_EQ(a.Paragraphs.size(), b.Paragraphs.size());
  for (std::size_t k = 0; k < a.Paragraphs.size(); ++k) {
    SCOPED_TRACE(testing::Message() << "paragraph " << k);
    EXPECT_EQ(a.Paragraphs[k].WrapPoints, b.Paragraphs[k].WrapPoints);
    EXPECT_EQ(a.Paragraphs[k].LineHeights, b.Paragraphs[k].LineHeights);
    EXPECT_EQ(a.Paragraphs[k].FirstLineNum, b.Paragraphs[k].FirstLineNum);
    EXPECT_EQ(a.Paragraphs[k].PixelTop, b.Paragraphs[k].PixelTop);
  }
  EXPECT_EQ(a.TotalLineCount, b.TotalLineCount);
  EXPECT_EQ(a.TotalPixelHeight, b.TotalPixelHeight);
  EXPECT_TRUE(Cached.Debug_VerifyAgainstFullLayout());
  // Mappings of the caret and of a few points agree too.
  const TCaretPos at = Doc.FAtPos;
  const TVirtualPos va = Cached.Map_VirtualPosFromDocPos(at);
  const TVirtualPos vb = fresh->Map_VirtualPosFromDocPos(at);
  EXPECT_EQ(va.vX, vb.vX);
  EXPECT_EQ(va.vY, vb.vY);
  for (std::int64_t y :
       {std::int64_t{-5}, std::int64_t{0}, b.TotalPixelHeight / 2, b.TotalPixelHeight - 1}) {
    const TCaretPos pa = Cached.Map_DocPosFromVirtualPos(TVirtualPos{TextLeft + 37, y});
    const TCaretPos pb = fresh->Map_DocPosFromVirtualPos(TVirtualPos{TextLeft + 37, y});
    EXPECT_EQ(pa.SN, pb.SN);
    EXPECT_EQ(pa.FGN, pb.FGN);
  }
}

TCaretPos RandomPos(const TDocument &Doc, std::mt19937 &Rng) {
  const int sn = std::uniform_int_distribution<int>(0, Doc.Section_High())(Rng);
  const int g = std::uniform_int_distribution<int>(1, Doc.Paragraph_Length(sn) + 1)(Rng);
  return TCaretPos{sn, g, false};
}

TEST(FormatterCache, RandomEditsKeepTheCachedLayoutEqualToAFullOne) {
  std::mt19937 rng(20091203);
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc dddd", "", "the quick brown fox", "x-y-z a-b", "last one"});
  AddPicture(doc, 2, TextLeft + 60, 30, 40, 50);
  int area = 100;
  double scale = 1;
  auto f = FixedFormatter(doc, area);
  const QString words[] = {QStringLiteral("word "), QStringLiteral("a\nb"),
                           QStringLiteral("long-hyphen-ated "), QStringLiteral("\n\n"),
                           QStringLiteral("xxxxxxxxxxxxxxxxxxxxxxxx")};
  for (int step = 0; step < 400; ++step) {
    const int op = std::uniform_int_distribution<int>(0, 12)(rng);
    SCOPED_TRACE(testing::Message() << "step " << step << " op " << op);
    const TCaretPos at = RandomPos(doc, rng);
    switch (op) {
      case 0:
      case 1: doc.Char_Insert(QChar(u'a' + step % 26), DocFont, at); break;
      case 2: doc.Char_Insert(u' ', DocFont, at); break;
      case 3:
        doc.Char_Insert(u'\n', DocFont, at);  // split
        break;
      case 4:
        doc.Char_Delete(at);  // at a paragraph's end this joins
        break;
      case 5: {
        const TCaretPos to = RandomPos(doc, rng);
        if (TDocument::IsInSequence(at, to)) doc.CaretSpan_Delete(at, to);
        break;
      }
      case 6: {
        TCaretPos newAt;
        doc.SubStr_InsertPlain(words[step % 5], at, newAt);
        break;
      }
      case 7: {
        const int len = doc.Paragraph_Length(at.SN);
        if (len > 0) {
          const int a = std::uniform_int_distribution<int>(1, len)(rng);
          const int b = std::uniform_int_distribution<int>(a, len)(rng);
          doc.Font_ChangeSizeTo(TCharSpan{{at.SN, a}, {at.SN, b}}, 8 + step % 12);
        }
        break;
      }
      case 8:
        doc.Paragraph_Outline_Set(at.SN, step % 2 ? oBullet : oNone, QStringLiteral("* "));
        break;
      case 9:
        area = 60 + step % 90;
        f->SetCanvasWidth(area + 40);
        break;
      case 10:
        // The picture moves (its rectangle is part of every paragraph's surroundings).
        // An assignment replaced the pictures: one is made again.
        if (!doc.InsetsStorage.GetIfGraphic(0)) AddPicture(doc, -1, 0, 0, 40, 50);
        doc.InsetsStorage.GetIfGraphic(0)->EditorsData.FvTop = (step * 7) % 200;
        doc.InsetsStorage.GetIfGraphic(0)->EditorsData.FvLeft = TextLeft + (step * 13) % 80;
        break;
      case 11:
        scale = step % 3 ? 1.0 : 1.5;
        f->SetFontScale(scale);
        break;
      case 12: {
        // Replaced wholesale (as a load or an assignment does).
        if (step % 4 == 0) {
          TDocument other;
          BuildDoc(other, {"from elsewhere", "two lines of text here"});
          doc.MyAssign(other);
        } else {
          // The end of line takes another font (an empty paragraph's height follows it).
          TParagraph &p = *doc.Paragraph_FromSectionNum(at.SN);
          p.Char_SetFont(p.After(), step % 2 ? DocFont : 0);
        }
        break;
      }
    }
    doc.AtPos_NoSelectionSet(RandomPos(doc, rng));
    ExpectSameAsFresh(*f, doc, area, scale);
    if (HasFailure()) return;
  }
}

TEST(FormatterCache, TypingRewrapsOneParagraphAndNothingMovesWithoutPictures) {
  TDocument doc;
  std::vector<std::string> paragraphs(200, "some words to wrap over lines");
  BuildDoc(doc, paragraphs);
  auto f = FixedFormatter(doc);
  f->EnsureLayout();
  const auto before = f->WrapCount();
  doc.Char_Insert(u'q', DocFont, TCaretPos{100, 3, false});
  f->EnsureLayout();
  EXPECT_EQ(f->WrapCount() - before, 1);
  // A line break shifts every later paragraph, which still need no new wrap.
  doc.Char_Insert(u'\n', DocFont, TCaretPos{50, 3, false});
  f->EnsureLayout();
  EXPECT_LE(f->WrapCount() - before, 3);
  // Nothing changed: no work at all.
  const auto settled = f->WrapCount();
  f->EnsureLayout();
  f->Lines_High();
  EXPECT_EQ(f->WrapCount(), settled);
  EXPECT_TRUE(f->Debug_VerifyAgainstFullLayout());
}

TEST(FormatterCache, LinesAddedAboveRewrapOnlyTheParagraphsBesidePictures) {
  // Forty paragraphs of two lines (40 px each) and pictures over the right half at three heights.
  // Lines typed or taken away above them move the text past the pictures: the paragraphs that
  // come to lie beside one (or leave it) wrap again, those far from any keep their lines.
  std::mt19937 rng(77);
  TDocument doc;
  BuildDoc(doc, std::vector<std::string>(40, "aaaa bbbb cccc"));
  AddPicture(doc, 5, TextLeft + 50, 210, 50, 30);
  AddPicture(doc, 20, TextLeft + 70, 800, 30, 90);
  AddPicture(doc, -1, TextLeft + 40, 815, 20, 10);
  auto f = FixedFormatter(doc);
  f->EnsureLayout();
  for (int step = 0; step < 300; ++step) {
    SCOPED_TRACE(testing::Message() << "step " << step);
    const int sn = std::uniform_int_distribution<int>(0, 3)(rng);
    switch (step % 4) {
      case 0: doc.Char_Insert(u'\n', DocFont, TCaretPos{sn, 1, false}); break;
      case 1: {
        TCaretPos newAt;
        doc.SubStr_InsertPlain(QStringLiteral("xxxx yyyy "), TCaretPos{sn, 1, false}, newAt);
        break;
      }
      case 2:
        if (doc.Paragraph_Length(sn) > 0) doc.Char_Delete(TCaretPos{sn, 1, false});
        break;
      case 3:
        if (doc.Section_High() > 40)
          doc.Char_Delete(TCaretPos{sn, doc.Paragraph_Length(sn) + 1, false});
        break;
    }
    const auto before = f->WrapCount();
    f->EnsureLayout();
    // The edited paragraphs and those beside the pictures, never the whole document.
    EXPECT_LE(f->WrapCount() - before, 12);
    ExpectSameAsFresh(*f, doc, 100, 1);
    if (HasFailure()) return;
  }
}

TEST(FormatterCache, SafetyNetFindsAFaultyCacheReportsItAndLaysOutAfresh) {
  QTemporaryDir dir;
  TErrorLog log(dir.path());
  TScopedErrorLog useLog(log);
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc", "dd", "eeee ffff gggg hhhh"});
  auto f = FixedFormatter(doc);
  const RDocumentLayout good = f->Layout_Full();
  // Cache faults: the first paragraph's record breaks its lines in the wrong place, or claims one
  // line where its text needs two (the line numbers after it then disagree with it too).
  const auto spoil = [&](bool LineLost) {
    f->EnsureLayout();
    TEditParagraphInfo &i = *f->Info(0);
    i.WrapPoints.Clear();
    i.WrapPoints.AppendDatum(LineLost ? 15 : 5);
    if (!LineLost) i.WrapPoints.AppendDatum(15);
    if (LineLost) {
      i.LineHeights.Clear();
      i.LineHeights.AppendDatum(20);
      i.LineCount = 1;
    }
    ASSERT_NE(f->Layout_Cached(), good);
  };
  spoil(false);
  EXPECT_FALSE(f->Debug_VerifyAgainstFullLayout());
  EXPECT_EQ(log.ReportCount(), 1);
  EXPECT_EQ(f->Layout_Cached(), good);
  EXPECT_TRUE(f->Debug_VerifyAgainstFullLayout());

  // With DebugMode on, every paint checks before it draws: the report interrupts that paint, and
  // the next one draws the right layout.
  log.SetDebugSwitch(true);
  spoil(true);
  QImage img(200, 120, QImage::Format_RGB32);
  const auto paint = [&] {
    QPainter p(&img);
    std::int32_t last = 0;
    std::int64_t top = 0;
    f->DrawWindow(p, img.rect(), 1, last, top);
  };
  EXPECT_THROW(paint(), ReportedError);
  EXPECT_EQ(f->Layout_Cached(), good);
  EXPECT_NO_THROW(paint());
  EXPECT_EQ(log.ReportCount(), 2);
}

TEST(FormatterCache, ReplacingAFontEntryRewrapsTheTextThatUsesIt) {
  TDocument doc;
  BuildDoc(doc, {"aaaa bbbb cccc"});
  auto f = FixedFormatter(doc);
  EXPECT_EQ(f->Lines_High(), 2);
  // Same index, new attributes behind it: nothing in the text changed, the layout must.
  doc.FontsInUse.IO_Load_ForceFont(DocFont, QStringLiteral("Arial"), 0, 20, 0, clWhite,
                                   TFontStyles());
  EXPECT_EQ(f->Lines_High(), 3);
  EXPECT_TRUE(f->Debug_VerifyAgainstFullLayout());
}

}  // namespace
