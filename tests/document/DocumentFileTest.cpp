// The notes block as a file: the isolated tab and the embedded form. Exact bytes where the form is
// fixed, random documents that must come back whole, damaged files that must load what they hold
// and never leave the document inconsistent.

#include "vl_Document.h"
#include "vldGraphic.h"

#include "vlClock.h"
#include "vlNumberForms.h"
#include "vlSaveTarget.h"
#include "vlTestSupport.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <jpeglib.h>

namespace {

constexpr TDateTime SavedAt = 40484.7717962963;  // 2010-11-02 18:31:23.2

QByteArray SaveToBytes(TDocument &Doc, const QString &Title = QStringLiteral("Tab"), int VSB = 0) {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  EXPECT_TRUE(Doc.IO_Save(out, QStringLiteral("memory.vlTab"), Title, VSB));
  return memory->Bytes();
}

QString LoadBytes(TDocument &Doc, const QByteArray &Bytes, QString *Title = nullptr,
                  int *VSB = nullptr) {
  QString title;
  int vsb = 0;
  const QString problems = Doc.IO_LoadFromBytes(Bytes, QStringLiteral("memory.vlTab"), title, vsb);
  if (Title) *Title = title;
  if (VSB) *VSB = vsb;
  return problems;
}

// What must hold after any load: sequences in step, fonts valid, the caret on a real place,
// anchors and anchored lists agreeing.
::testing::AssertionResult Consistent(const TDocument &Doc) {
  if (Doc.Section_High() < 0) return ::testing::AssertionFailure() << "no section";
  for (int sn = 0; sn <= Doc.Section_High(); ++sn) {
    const TParagraph *p = Doc.Paragraph_FromSectionNum(sn);
    if (!p) continue;
    if (auto r = InStep(*p); !r) return r << " in paragraph " << sn;
    for (TFontIndex f : p->Fonts())
      if (f < 0) return ::testing::AssertionFailure() << "font " << f << " in paragraph " << sn;
    for (int i = 1; i <= p->AnchoredInsets.Count(); ++i) {
      const TInset *inset = Doc.InsetsStorage.GetInset(p->AnchoredInsets.GetHandle(i));
      if (!inset || inset->FAnchor != p)
        return ::testing::AssertionFailure() << "stray listing in paragraph " << sn;
      for (int k = 1; k < i; ++k)
        if (p->AnchoredInsets.GetHandle(k) == p->AnchoredInsets.GetHandle(i))
          return ::testing::AssertionFailure() << "handle listed twice in paragraph " << sn;
    }
  }
  for (const auto &inset : Doc.InsetsStorage.Insets())
    if (inset && inset->FAnchor) {
      bool listed = false;
      for (int i = 1; i <= inset->FAnchor->AnchoredInsets.Count(); ++i)
        listed = listed || Doc.InsetsStorage.GetInset(
                               inset->FAnchor->AnchoredInsets.GetHandle(i)) == inset.get();
      if (!listed) return ::testing::AssertionFailure() << "anchor without listing";
    }
  if (!Doc.IsValidCaretPosition_Silent(Doc.FAtPos))
    return ::testing::AssertionFailure() << "caret at " << Doc.FAtPos.SN << "," << Doc.FAtPos.FGN;
  return ::testing::AssertionSuccess();
}

int SectionOf(const TDocument &Doc, const TInset &Inset) {
  return Inset.FAnchor ? Doc.Paragraph_GetSectionNumOf(Inset.FAnchor) : -2;
}

// Every character, font, timestamp (to the 15 digits a file keeps), font entry, inset and the
// caret, one line per item, so that two documents compare line by line.
QStringList Describe(const TDocument &Doc) {
  QStringList out;
  const auto moment = [](const RvlTimestamp &T) {
    return FormatTimestampNumber(T.RealDT) + QLatin1Char('/') +
           FormatTimestampNumber(T.FEffectiveDT);
  };
  for (int sn = 0; sn <= Doc.Section_High(); ++sn) {
    const TParagraph &p = *Doc.Paragraph_FromSectionNum(sn);
    QString line = QStringLiteral("P%1 ").arg(sn);
    for (int i = 1; i <= p.High(); ++i)
      line += QStringLiteral("[%1 f%2 %3]")
                  .arg(p.Char_GetChar(i).unicode())
                  .arg(p.Char_GetFont(i))
                  .arg(moment(p.Timestamp_Get(i)));
    line += QStringLiteral(" eol f%1 %2 entry0 %3 anchors")
                .arg(p.FNLFont)
                .arg(moment(p.FNLWhen), moment(p.Whens().Entries().front()));
    for (int i = 1; i <= p.AnchoredInsets.Count(); ++i)
      line += QLatin1Char(' ') + QString::number(p.AnchoredInsets.GetHandle(i));
    out << line;
  }
  for (int i = 0; i < Doc.FontsInUse.SlotCount(); ++i)
    if (const TFontInUse *f = Doc.FontsInUse.Entry(i))
      out << QStringLiteral("Font%1 %2 %3 %4 %5 %6 %7")
                 .arg(i)
                 .arg(f->Name)
                 .arg(f->Size)
                 .arg(f->Style.toInt())
                 .arg(f->Color)
                 .arg(f->Highlight)
                 .arg(f->Rotation);
  for (TInsetHandle h = 0; h <= Doc.InsetsStorage.High(); ++h) {
    const TInset *inset = Doc.InsetsStorage.GetInset(h);
    if (!inset) continue;
    const TInsetPositioning &d = inset->EditorsData;
    QString line = QStringLiteral("Inset%1 anchor %2 at %3,%4 size %5x%6")
                       .arg(h)
                       .arg(SectionOf(Doc, *inset))
                       .arg(d.FvLeft)
                       .arg(d.FvTop)
                       .arg(d.FPixelWidth)
                       .arg(d.FPixelHeight);
    if (const auto *g = dynamic_cast<const TvlGraphic *>(inset)) {
      line += QStringLiteral(" picture z%1 \"%2\"").arg(g->FZOrder).arg(g->JpegPathName);
      if (g->Sketch.PenStrokeCount() > 0)
        line += QStringLiteral(" sketch %1x%2")
                    .arg(g->Sketch.FSketchWidth)
                    .arg(g->Sketch.FSketchHeight);
      for (const auto &s : g->Sketch.PenStrokes) {
        line += QStringLiteral(" stroke %1 %2 %3 %4:")
                    .arg(s->Tool)
                    .arg(s->Color)
                    .arg(s->Fill)
                    .arg(s->Width);
        for (const TPenPoint &pt : s->Points)
          line += QStringLiteral(" %1,%2,%3").arg(pt.X).arg(pt.Y).arg(pt.Pressure);
      }
    }
    out << line;
  }
  out << QStringLiteral("Caret %1 %2 %3")
             .arg(Doc.FAtPos.SN)
             .arg(Doc.FAtPos.FGN)
             .arg(Doc.FAtPos.EOL);
  return out;
}

// ---- Random documents ----------------------------------------------------------------------

class TRandomDocs {
 public:
  explicit TRandomDocs(unsigned Seed) : R(Seed) {}

  int Int(int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(R); }
  bool Chance(int Percent) { return Int(1, 100) <= Percent; }
  template <typename T>
  const T &Pick(const std::vector<T> &Items) {
    return Items[static_cast<std::size_t>(Int(0, static_cast<int>(Items.size()) - 1))];
  }

  // Letters, the characters the line form must escape, control characters, the bytes above 127,
  // units outside Windows-1252, surrogate pairs and lone halves.
  QString Text(int MaxLength) {
    static const std::vector<char16_t> special = {
        u';', u'&', u'"', u'<', u'>', u'\t', 0,      13,     31,     0x7F, 0x80,
        0x81, 0xAE, 0xFF, u'€', u'Ж', u'→',  0xD83D, 0xDE00, 0xFFFD, u'f', u'#'};
    QString s;
    for (int n = Int(0, MaxLength); n > 0; --n) {
      if (Chance(60))
        s += QChar(static_cast<char16_t>(Int(32, 126)));
      else if (Chance(15))
        s += QStringLiteral("\U0001F600");
      else
        s += QChar(Pick(special));
    }
    return s;
  }

  RvlTimestamp Moment() {
    if (Chance(10)) return NullTimestamp;
    const TDateTime real = 45000 + Int(0, 99'999'999) / 1e5;
    return RvlTimestamp{real - Int(0, 3600) / 86400.0, real};
  }

  float Quarter(int Low, int High) { return static_cast<float>(Int(Low * 4, High * 4)) / 4.0f; }

  void Fill(TDocument &Doc) {
    Doc.ClearSections();
    Doc.ClearOther();
    std::vector<TFontIndex> fonts = {0, 1};
    const std::vector<QString> names = {QStringLiteral("Arial"), QStringLiteral("Face \"Q\" <&>"),
                                        QStringLiteral("Ελληνικά"), QStringLiteral("Comic Sans MS"),
                                        QStringLiteral("Face Style=")};
    for (int n = Int(0, 4); n > 0; --n)
      fonts.push_back(Doc.Font_GetIndex(
          Pick(names), Chance(20) ? 90 : 0, Int(6, 40), static_cast<TColor>(Int(0, 0xFFFFFF)),
          Chance(50) ? clWhite : static_cast<TColor>(Int(0, 0xFFFFFF)),
          TFontStyles::fromInt(Int(0, 15))));
    for (int sn = 0, count = Int(1, 6); sn < count; ++sn) {
      TParagraph &p = sn == 0 ? *Doc.Paragraph_FromSectionNum(0) : Doc.Paragraph_Append();
      const QString text = Text(40);
      TFontIndex font = Pick(fonts);
      for (QChar c : text) {
        if (Chance(20)) font = Pick(fonts);
        p.Char_Append(c, font, Moment());
      }
      p.FNLFont = Pick(fonts);
      p.FNLWhen = Moment();
    }
    for (int n = Int(0, 3); n > 0; --n) AddInset(Doc);
    const int sn = Int(0, Doc.Section_High());
    Doc.AtPos_NoSelectionSet(
        TCaretPos{sn, Int(1, Doc.Paragraph_FromSectionNum(sn)->After()), Chance(30)});
  }

  void AddInset(TDocument &Doc) {
    const bool picture = Chance(80);
    std::unique_ptr<TInset> inset;
    if (picture) {
      auto g = std::make_unique<TvlGraphic>();
      g->FZOrder = Int(1, 5);
      g->JpegPathName = Pick(std::vector<QString>{
          QString(), QStringLiteral("C:\\Pics\\none.jpg"), QStringLiteral("/no/such \"x\" <y>.jpg"),
          QStringLiteral("Ωμέγα.jpg"), QStringLiteral("x ZOrder=")});
      if (Chance(70)) {
        g->Sketch.FSketchWidth = Quarter(1, 500);
        g->Sketch.FSketchHeight = Quarter(1, 500);
        for (int s = Int(1, 3); s > 0; --s) {
          TPenStroke &stroke = g->Sketch.PenStroke_Append();
          stroke.Tool = static_cast<TKindOfTool>(Int(0, KindOfToolCount - 1));
          stroke.Color = static_cast<TColor>(Int(0, 0xFFFFFF));
          stroke.Fill = Chance(50) ? clNone : static_cast<TColor>(Int(0, 0xFFFFFF));
          stroke.Width = Quarter(0, 20);
          for (int k = Int(0, 6); k > 0; --k)
            stroke.PenPoint_Append(Quarter(-100, 900), Quarter(-100, 900),
                                   Pick(std::vector<float>{1, 1, 0.5f, 0.25f, 2}));
        }
      }
      inset = std::move(g);
    } else {
      inset = std::make_unique<TInset>();
    }
    inset->EditorsData.FvLeft = Int(-500, 5000);
    inset->EditorsData.FvTop = static_cast<std::int64_t>(Int(0, 1'000'000)) * 10'000;
    inset->EditorsData.FPixelWidth = Int(1, 2000);
    inset->EditorsData.FPixelHeight = Int(1, 2000);
    TParagraph *anchor =
        Chance(75) ? Doc.Paragraph_FromSectionNum(Int(0, Doc.Section_High())) : nullptr;
    Doc.InsetsStorage.PutInsetAt(Int(0, 12), std::move(inset), anchor);
  }

  std::mt19937 R;
};

class DocumentFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TTemporalString::SetReportsEnabled(true);
    TTestEnvironment::TestPrompts().Clear();
  }
  void TearDown() override { EXPECT_TRUE(TTestEnvironment::TestPrompts().AskedTexts().isEmpty()); }
  TManualClock Clock{SavedAt};
  TScopedClock ScopedClock{Clock};
};

}  // namespace

TEST_F(DocumentFileTest, EmptyDocumentIsWrittenInTheFixedForm) {
  TDocument doc;
  const QByteArray bytes = SaveToBytes(doc, QStringLiteral("Notes \"1\""), 17);
  // The end of line carries the moment the fresh paragraph was made: the clock's.
  const QByteArray expected =
      "<NotesDoc Version=\"2\" Generator=\"Vellomar\xAE Software for Taking Notes\" "
      "TabTitle=\"Notes &Q2;1&Q2;\" WhenSaved=\"2010-11-02 18:31 23.2\">\r\n"
      "<CaretPos SN=\"0\" GN=\"1\" EOL=\"F\">\r\n"
      "<ScrollPos VSB=\"17\">\r\n"
      "<Sections>\r\n"
      "<P ID=\"0\">\r\n"
      "<Text N=\"1\" T=\"&f1;&10;\">\r\n"
      "<When L=\"(0,0)(40484.7717962963,40484.7717962963)\">\r\n"
      "</P>\r\n"
      "</Sections>\r\n"
      "<Fonts>\r\n"
      "<Font Index=\"0\" Name=\"Veranda\" Style=\"\" Size=\"12\" Color=\"#000000\">\r\n"
      "<Font Index=\"1\" Name=\"Comic Sans MS\" Style=\"\" Size=\"10\" Color=\"#000080\">\r\n"
      "</Fonts>\r\n"
      "<Insets>\r\n"
      "</Insets>\r\n"
      "</NotesDoc>\r\n";
  EXPECT_EQ(bytes, expected);

  QString title;
  int vsb = 0;
  TDocument back;
  EXPECT_EQ(LoadBytes(back, bytes, &title, &vsb), QString());
  EXPECT_EQ(title, QStringLiteral("Notes \"1\""));
  EXPECT_EQ(vsb, 17);
  EXPECT_TRUE(back.IO_LastLoad().IsNotesDoc && back.IO_LastLoad().Complete);
}

TEST_F(DocumentFileTest, RandomDocumentsComeBackWholeAndSaveToTheSameBytes) {
  TRandomDocs random(20240611);
  const std::vector<QString> titles = {QStringLiteral("Plain"), QStringLiteral("Q&A \"3\" <x>"),
                                       QStringLiteral("Line\r\nbreak"), QStringLiteral("Ωmega 😀"),
                                       QStringLiteral("Ends TabTitle=")};
  for (int round = 0; round < 1000; ++round) {
    SCOPED_TRACE(round);
    TDocument doc;
    random.Fill(doc);
    const QString title = random.Pick(titles);
    const int vsb = random.Int(-1, 100000);
    const QByteArray first = SaveToBytes(doc, title, vsb);

    TDocument back;
    QString backTitle;
    int backVsb = 0;
    ASSERT_EQ(LoadBytes(back, first, &backTitle, &backVsb), QString());
    ASSERT_TRUE(Consistent(back));
    EXPECT_EQ(backTitle, title);
    EXPECT_EQ(backVsb, vsb);
    ASSERT_EQ(Describe(back), Describe(doc));
    ASSERT_EQ(SaveToBytes(back, title, vsb), first);
  }
}

TEST_F(DocumentFileTest, EmbeddedBlocksStayInsideTheirTab) {
  // The first tab lacks its caret line; it must not take the second tab's caret or paragraphs.
  TDocument a, b;
  BuildDocument(a, {"one"});
  BuildDocument(b, {"two", "three"});
  b.AtPos_NoSelectionSet(TCaretPos{1, 3, true});
  const QByteArray bytes = WriteToBytes([&](TvlXmlOut &Out) {
    for (TDocument *d : {&a, &b}) {
      Out.Insert_TagOpenForAttributes(xtDocTabBegin_);
      Out.Insert_AttributeE("TabTitle", QStringLiteral("t"));
      Out.Insert_TagClose_NoMoreAttributes();
      Out.Insert_TagOpenForAttributes(xtScrollPos_);
      Out.Insert_Attribute("VSB", 0);
      Out.Insert_TagClose_NoMoreAttributes();
      d->IO_SaveEmbedded(Out);
      Out.Insert_TagWithoutAttributes(xtDocTabEnd);
    }
  });
  QByteArray damaged = bytes;
  damaged.replace("<CaretPos SN=\"0\" GN=\"1\" EOL=\"F\">\r\n", "");

  auto in = ReaderOver(damaged);
  TDocument x, y;
  ASSERT_TRUE(in->Next_SearchFor(xtScrollPos_));
  in->NextRecognizedTag();
  // The missing line is reported, and costs only itself.
  EXPECT_EQ(x.IO_LoadEmbedded(*in), QStringLiteral("(1 structural problems, see Errors.txt)"));
  EXPECT_EQ(
      x.IO_LastLoad().StructuralTexts,
      QStringList{QStringLiteral("The CaretPos line is missing; the caret starts at the top")});
  ASSERT_EQ(in->CurrentTag(), xtDocTabEnd);
  EXPECT_EQ(ParagraphTexts(x), std::vector<std::string>{"one"});
  EXPECT_EQ(x.FAtPos.SN, 0);
  EXPECT_EQ(x.FAtPos.FGN, 1);

  ASSERT_TRUE(in->Next_SearchFor(xtScrollPos_));
  in->NextRecognizedTag();
  EXPECT_EQ(y.IO_LoadEmbedded(*in), QString());
  EXPECT_EQ(ParagraphTexts(y), (std::vector<std::string>{"two", "three"}));
  EXPECT_EQ(y.FAtPos.SN, 1);
  EXPECT_EQ(y.FAtPos.FGN, 3);
  EXPECT_TRUE(y.FAtPos.EOL);
  EXPECT_EQ(Describe(y), Describe(b));

  // Embedded, a caret line that lacks one attribute gives all three defaults.
  auto partial = ReaderOver(Lines({"<CaretPos SN=\"1\" EOL=\"T\">", "<Sections>", "<P ID=\"0\">",
                                   "<Text N=\"2\" T=\"&f1;a&10;\">", "<When L=\"(0,0)(1,1)(2,2)\">",
                                   "</P>", "<P ID=\"1\">", "<Text N=\"2\" T=\"&f1;b&10;\">",
                                   "<When L=\"(0,0)(1,1)(2,2)\">", "</P>", "</Sections>"}));
  TDocument z;
  z.IO_LoadEmbedded(*partial);
  EXPECT_EQ(z.FAtPos.SN, 0);
  EXPECT_FALSE(z.FAtPos.EOL);
}

TEST_F(DocumentFileTest, ACaretMovedOnLoad_LosesItsEndOfLineFlag) {
  // "ab cd" and "e": the end-of-line flag belongs to the place it was saved with; a caret the
  // loader has to move somewhere else must not carry it there.
  const struct {
    const char *CaretLine;
    int SN, GN;
    bool EOL;
  } rows[] = {{"<CaretPos SN=\"0\" GN=\"3\" EOL=\"T\">", 0, 3, true},
              {"<CaretPos SN=\"0\" GN=\"40\" EOL=\"T\">", 0, 6, false},
              {"<CaretPos SN=\"7\" GN=\"1\" EOL=\"T\">", 1, 2, false},
              {"<CaretPos SN=\"-3\" GN=\"2\" EOL=\"T\">", 0, 1, false}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.CaretLine);
    const QByteArray bytes = Lines({"<NotesDoc Version=\"2\" TabTitle=\"x\">",
                                    row.CaretLine,
                                    "<ScrollPos VSB=\"0\">",
                                    "<Sections>",
                                    "<P ID=\"0\">",
                                    "<Text N=\"6\" T=\"&f1;ab cd&10;\">",
                                    "<When L=\"(0,0)(6,6)\">",
                                    "</P>",
                                    "<P ID=\"1\">",
                                    "<Text N=\"2\" T=\"&f1;e&10;\">",
                                    "<When L=\"(0,0)(2,2)\">",
                                    "</P>",
                                    "</Sections>",
                                    "<Fonts>",
                                    "<Font Index=\"0\" Name=\"Veranda\">",
                                    "<Font Index=\"1\" Name=\"Arial\">",
                                    "</Fonts>",
                                    "<Insets>",
                                    "</Insets>",
                                    "</NotesDoc>"});
    TDocument doc;
    LoadBytes(doc, bytes);
    EXPECT_EQ(doc.FAtPos.SN, row.SN);
    EXPECT_EQ(doc.FAtPos.FGN, row.GN);
    EXPECT_EQ(doc.FAtPos.EOL, row.EOL);
  }
}

TEST_F(DocumentFileTest, PenWidthsAndPressuresBelowOne_KeepFourDecimals) {
  const struct {
    float Value, Back;
    const char *Written;
  } rows[] = {{0.1234f, 0.1234f, ".1234"},
              {0.0625f, 0.0625f, ".0625"},
              {0.00014f, 0.0001f, ".0001"},
              {0.33337f, 0.3334f, ".3334"},
              {0.5f, 0.5f, ".5"}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Written);
    TDocument doc;
    BuildDocument(doc, {"x"});
    auto g = std::make_unique<TvlGraphic>();
    TPenStroke &stroke = g->Sketch.PenStroke_Append();
    stroke.Width = row.Value;
    stroke.PenPoint_Append(1, 2, row.Value);
    ASSERT_TRUE(doc.InsetsStorage.PutInsetAt(0, std::move(g), doc.Paragraph_FromSectionNum(0)));
    const QByteArray bytes = SaveToBytes(doc, QStringLiteral("x"), 0);
    EXPECT_TRUE(bytes.contains(QByteArray("Width=\"") + row.Written + "\""));
    EXPECT_TRUE(bytes.contains(QByteArray("1,2,") + row.Written + ";"));

    TDocument back;
    ASSERT_EQ(LoadBytes(back, bytes), QString());
    const TvlGraphic *loaded = back.InsetsStorage.GetIfGraphic(0);
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->Sketch.PenStrokeCount(), 1);
    const TPenStroke &got = *loaded->Sketch.PenStrokes.front();
    EXPECT_FLOAT_EQ(got.Width, row.Back);
    float x = 0, y = 0, pressure = 0;
    ASSERT_TRUE(got.PenPoint_Get(0, x, y, pressure));
    EXPECT_FLOAT_EQ(pressure, row.Back);
  }
}

// Hand-written blocks around the inset and sketch rules.
TEST_F(DocumentFileTest, InsetsAndSketchesFromHandWrittenFiles) {
  const auto block = [](const std::vector<const char *> &Insets) {
    QByteArray bytes =
        Lines({"<NotesDoc Version=\"2\" TabTitle=\"x\">", "<CaretPos SN=\"2\" GN=\"2\" EOL=\"F\">",
               "<ScrollPos VSB=\"0\">", "<Sections>"});
    for (int i = 0; i < 3; ++i)
      bytes += QByteArray("<P ID=\"") + QByteArray::number(i) +
               "\">\r\n<Text N=\"2\" T=\"&f1;x&10;\">\r\n<When L=\"(0,0)(1,1)(2,2)\">\r\n</P>\r\n";
    bytes += Lines({"</Sections>", "<Fonts>", "<Font Index=\"0\" Name=\"Veranda\">",
                    "<Font Index=\"1\" Name=\"Arial\">", "</Fonts>", "<Insets>"});
    for (const char *line : Insets) bytes += QByteArray(line) + "\r\n";
    bytes += Lines({"</Insets>", "</NotesDoc>"});
    return bytes;
  };
  const std::vector<const char *> sketch2 = {
      "<Inset Handle=\"4\" Type=\"G\" Anchor=\"1\">",
      "<Dimensions vLeft=\"10\" vTop=\"20\" Width=\"30\" Height=\"40\">",
      "<Graphic ZOrder=\"2\">",
      "<Sketch Width=\"120\" Height=\"80.5\" Strokes=\"2\">",
      "<Stroke Tool=\"ktshapecircle\" Color=\"#FF0000\" N=\"3\" XYPData=\"1,2;3,4;5,6,.5;\">",
      "<Stroke Tool=\"ktNoSuchTool\" N=\"10000\" XYPData=\"\">",
      "</Sketch>",
      "</Graphic>",
      "</Inset>"};
  TDocument doc;
  QString problems = LoadBytes(doc, block(sketch2));
  ASSERT_TRUE(Consistent(doc));
  // The second stroke declares points it does not have: none are made up.
  EXPECT_EQ(problems, QStringLiteral("Stroke with 0 of its 10000 points: Line No. 28:  \"<Stroke "
                                     "Tool=\"ktNoSuchTool\" N=\"10000\" XYPData=\"\">\""));
  // Tools match without regard to case, unknown ones are freehand; a pressure left out is 1
  // (not 100); Fill, Width and Color take their defaults when missing.
  const QStringList described = Describe(doc);
  EXPECT_EQ(described[described.size() - 2],
            QStringLiteral("Inset4 anchor 1 at 10,20 size 30x40 picture z2 \"\" sketch 120x80.5 "
                           "stroke 17 255 16777215 3: 1,2,1 3,4,1 5,6,0.5 stroke 9 0 16777215 3:"));
  EXPECT_EQ(described.back(), QStringLiteral("Caret 2 2 0"));

  // Damage around the insets: each row must still load the good inset after it (handle 7).
  const char *good[] = {"<Inset Handle=\"7\" Type=\"G\" Anchor=\"0\">",
                        "<Dimensions vLeft=\"1\" vTop=\"2\" Width=\"3\" Height=\"4\">",
                        "<Graphic ZOrder=\"1\" Path=\"pic.jpg\">", "</Graphic>", "</Inset>"};
  struct {
    std::vector<const char *> Lines;
    const char *Problem;  // the start of the problem text
  } rows[] = {
      {{"<Inset Handle=\"-1\" Type=\"G\" Anchor=\"0\">", "<Dimensions vLeft=\"1\">", "</Inset>"},
       "Can't create Inset #-1"},
      {{"<Inset Handle=\"2000000000\" Type=\"G\" Anchor=\"0\">", "<Graphic ZOrder=\"1\">",
        "</Graphic>", "</Inset>"},
       "Can't create Inset #2000000000"},
      {{"<Inset Handle=\"7\" Type=\"\" Anchor=\"1\">", "<Dimensions vLeft=\"1\">", "</Inset>"},
       "Inset #7 is given twice"},
      {{"<Inset Handle=\"1\" Type=\"G\" Anchor=\"5\">", "<Dimensions vLeft=\"1\">",
        "<Graphic ZOrder=\"1\">", "</Graphic>", "</Inset>"},
       "Can't anchor inset: #1 to paragraph 5"},
      {{"<Inset Handle=\"1\" Type=\"G\" Anchor=\"0\">", "<Dimensions vLeft=\"1\">",
        "<Graphic ZOrder=\"1\">", "<Sketch Strokes=\"10000\">", "<Stroke N=\"1\" XYPData=\"1,1;\">",
        "<Stroke N=\"1\" XYPData=\"2,2;\">", "</Sketch>", "</Graphic>", "</Inset>"},
       "Sketch declares 10000 strokes and holds 2"},
      {{"<Inset Handle=\"1\" Type=\"G\" Anchor=\"0\">", "<Dimensions vLeft=\"1\">",
        "<Graphic ZOrder=\"1\">", "<Sketch Strokes=\"1\">", "<Stroke N=\"1\" XYPData=\"1,1;\">",
        "</Graphic>", "</Inset>"},
       ""},  // no "</Sketch>": only reported to the error log
      {{"<Inset Handle=\"1\" Type=\"G\" Anchor=\"0\">", "<Dimensions vLeft=\"1\">",
        "<Graphic ZOrder=\"1\">", "<Unknown thing=\"1\">", "<Text N=\"1\" T=\"x\">", "</Inset>"},
       ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Problem);
    std::vector<const char *> lines = row.Lines;
    lines.insert(lines.end(), std::begin(good), std::end(good));
    TDocument d;
    problems = LoadBytes(d, block(lines));
    EXPECT_TRUE(problems.startsWith(QString::fromLatin1(row.Problem))) << problems.toStdString();
    ASSERT_TRUE(Consistent(d));
    const TvlGraphic *kept = d.InsetsStorage.GetIfGraphic(7);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(SectionOf(d, *kept), 0);
    EXPECT_EQ(kept->JpegPathName, QStringLiteral("pic.jpg"));  // missing picture, path kept
    EXPECT_TRUE(d.IO_LastLoad().Complete);
  }

  // A line without its Type is still a picture when its Graphic element follows.
  TDocument untyped;
  LoadBytes(untyped, block({"<Inset Handle=\"2\" Anchor=\"0\">",
                            "<Dimensions vLeft=\"1\" vTop=\"2\" Width=\"3\" Height=\"4\">",
                            "<Graphic ZOrder=\"3\">", "</Graphic>", "</Inset>"}));
  const TvlGraphic *g = untyped.InsetsStorage.GetIfGraphic(2);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->FZOrder, 3);
  EXPECT_EQ(g->EditorsData.FPixelHeight, 4);
}

TEST_F(DocumentFileTest, DamagedFramesLoadWhatTheyHold) {
  struct {
    const char *Name;
    QByteArray Bytes;
    std::vector<std::string> Texts;
    const char *Problem;  // contained in the problem text
  } rows[] = {
      {"no caret line",
       Lines({"<NotesDoc TabTitle=\"t\">", "<ScrollPos VSB=\"5\">", "<Sections>", "<P ID=\"0\">",
              "<Text N=\"2\" T=\"&f1;a&10;\">", "<When L=\"(0,0)(1,1)(2,2)\">", "</P>",
              "</Sections>", "<Fonts>", "</Fonts>", "<Insets>", "</Insets>", "</NotesDoc>"}),
       {"a"},
       ""},
      {"group moment before the text",
       Lines({"<NotesDoc TabTitle=\"t\">", "<Sections>", "<P ID=\"0\">", "<PWhen L=\"(5,6)\">",
              "<Text N=\"3\" T=\"&f1;&9;;&10;\">", "<When L=\"(0,0)(1,1)(2,2)(3,3)\">", "</P>",
              "</Sections>", "<Fonts>", "</Fonts>", "<Insets>", "</Insets>", "</NotesDoc>"}),
       {"\t;"},
       ""},
      {"font beyond the table's range",
       Lines({"<NotesDoc TabTitle=\"t\">", "<Sections>", "<P ID=\"0\">",
              "<Text N=\"3\" T=\"&f99999;ab&10;\">", "<When L=\"(0,0)(1,1)(2,2)(3,3)\">", "</P>",
              "</Sections>", "<Fonts>", "</Fonts>", "<Insets>", "</Insets>", "</NotesDoc>"}),
       {"ab"},
       "FontIndex not found"},
      {"no closing line",
       Lines({"<NotesDoc TabTitle=\"t\">", "<Sections>", "<P ID=\"0\">",
              "<Text N=\"2\" T=\"&f1;a&10;\">", "<When L=\"(0,0)(1,1)(2,2)\">", "</P>"}),
       {"a"},
       "The file appears incomplete"},
      {"a binder imported as a tab",
       Lines({"<BoundNotes Version=\"2\" TabCount=\"1\" ActiveTab=\"0\">",
              "<DocTab TabTitle=\"t\">", "<ScrollPos VSB=\"0\">",
              "<CaretPos SN=\"0\" GN=\"1\" EOL=\"F\">", "<Sections>", "<P ID=\"0\">",
              "<Text N=\"2\" T=\"&f1;a&10;\">", "<When L=\"(0,0)(1,1)(2,2)\">", "</P>",
              "</Sections>", "</DocTab>", "</BoundNotes>"}),
       {""},
       "Not an isolated tab file"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    TDocument doc;
    QString title;
    int vsb = -1;
    const QString problems = LoadBytes(doc, row.Bytes, &title, &vsb);
    EXPECT_TRUE(problems.contains(QString::fromLatin1(row.Problem))) << problems.toStdString();
    EXPECT_TRUE(Consistent(doc));
    EXPECT_EQ(ParagraphTexts(doc), row.Texts);
  }
}

TEST_F(DocumentFileTest, EveryCutOfARealFileLoadsWhatPrecedesIt) {
  TRandomDocs random(7);
  TDocument doc;
  while (doc.Section_High() < 3 || doc.InsetsStorage.High() < 0) random.Fill(doc);
  const QByteArray file = SaveToBytes(doc);
  for (qsizetype cut = 0; cut <= file.size(); ++cut) {
    SCOPED_TRACE(cut);
    const QByteArray part = file.left(cut);
    TDocument back;
    LoadBytes(back, part);
    ASSERT_TRUE(Consistent(back));
    // Every paragraph whose closing line lies before the cut comes back as it was.
    const int whole = static_cast<int>(part.count("</P>\r\n"));
    ASSERT_GE(back.Section_High() + 1, whole);
    for (int sn = 0; sn < whole; ++sn) {
      ASSERT_EQ(back.Paragraph_FromSectionNum(sn)->Text(),
                doc.Paragraph_FromSectionNum(sn)->Text());
      ASSERT_EQ(back.Paragraph_FromSectionNum(sn)->Fonts(),
                doc.Paragraph_FromSectionNum(sn)->Fonts());
    }
    if (part.contains("</Fonts>\r\n")) {
      for (int i = 0; i < doc.FontsInUse.SlotCount(); ++i)
        ASSERT_EQ(back.FontsInUse.FontExists(i), doc.FontsInUse.FontExists(i));
    }
    EXPECT_EQ(back.IO_LastLoad().Complete, part.contains("</NotesDoc>"));
  }
}

TEST_F(DocumentFileTest, FilesOnDiskWithPicturesTypingEventsAndFailures) {
  TFreshFolder folder;
  WriteAllBytes(folder.File(QStringLiteral("pic.jpg")),
                MakeJpeg(8, 6, JCS_RGB, [](int, int) { return 0x336699u; }));
  TDocument doc;
  BuildDocument(doc, {"ab", "", "c"});
  TInsetHandle h = -1;
  ASSERT_TRUE(doc.InsetsStorage.MakeNewGraphicAndGetHandle(doc.Paragraph_FromSectionNum(2), h));
  // Stored as another machine wrote it: found beside the notes file, kept as written.
  doc.InsetsStorage.GetIfGraphic(h)->JpegPathName = QStringLiteral("D:\\Elsewhere\\pic.jpg");
  ASSERT_TRUE(doc.InsetsStorage.MakeNewGraphicAndGetHandle(nullptr, h));
  doc.InsetsStorage.GetIfGraphic(h)->JpegPathName = QStringLiteral("gone.jpg");
  doc.ChangeCount_Increment();

  const QString path = folder.File(QStringLiteral("notes.vlTab"));
  ASSERT_TRUE(doc.IO_Save(path, QStringLiteral("Disk"), 3));
  EXPECT_EQ(doc.ChangeCount(), 0);
  const QByteArray saved = ReadAllBytes(path);

  TRecordingSink sink;
  TScopedTypingEventSink scoped(sink);
  struct RNotified {
    int Count = 0;
    TCaretPos To;
  } notified;
  TDocument back;
  back.Notify_RegisterFormatter(
      [&](const TCaretPos &, const TCaretPos &, const TCaretPos &To) {
        ++notified.Count;
        notified.To = To;
      },
      nullptr);
  QString title;
  int vsb = 0;
  EXPECT_EQ(back.IO_Load(path, title, vsb), QString());
  EXPECT_EQ(title, QStringLiteral("Disk"));
  EXPECT_TRUE(back.InsetsStorage.GetIfGraphic(0)->JPeg_HasOne());
  EXPECT_FALSE(back.InsetsStorage.GetIfGraphic(1)->JPeg_HasOne());
  EXPECT_EQ(back.InsetsStorage.GetIfGraphic(0)->JpegPathName,
            QStringLiteral("D:\\Elsewhere\\pic.jpg"));
  EXPECT_EQ(sink.Added.size(), 3u);  // one typing event per character
  EXPECT_EQ(notified.Count, 1);      // one notification for the whole load
  EXPECT_EQ(notified.To.SN, 2);
  EXPECT_EQ(back.ChangeCount(), 0);
  EXPECT_TRUE(back.IO_LastLoad().OpeningLabelText().startsWith(QStringLiteral("   Opening ")));

  // A failed save leaves the old file and the change count as they were.
  class TFailingCommit final : public TvlSaveTarget {
   public:
    bool Open(const QString &) override { return true; }
    bool Write(const char *, qsizetype) override { return true; }
    bool Commit() override { return false; }
    void Cancel() override {}
    QString ErrorString() const override { return QStringLiteral("disk full"); }
  };
  back.ChangeCount_Increment();
  TvlXmlOut failing(std::make_unique<TFailingCommit>());
  EXPECT_FALSE(back.IO_Save(failing, path, QStringLiteral("Disk"), 3));
  EXPECT_EQ(back.ChangeCount(), 1);
  EXPECT_EQ(ReadAllBytes(path), saved);
  // Saved again for real, the file is the same, missing picture and foreign path included.
  ASSERT_TRUE(back.IO_Save(path, QStringLiteral("Disk"), 3));
  EXPECT_EQ(ReadAllBytes(path), saved);

  // A file that is not there: one message, a document with one empty paragraph.
  TDocument missing;
  BuildDocument(missing, {"old"});
  const QString problems = missing.IO_Load(folder.File(QStringLiteral("none.vlTab")), title, vsb);
  EXPECT_FALSE(problems.isEmpty());
  EXPECT_FALSE(missing.IO_LastLoad().Opened);
  EXPECT_EQ(ParagraphTexts(missing), std::vector<std::string>{""});
  EXPECT_EQ(TTestEnvironment::TestPrompts().Asked().size(), 1);
  EXPECT_EQ(title, QStringLiteral("(Untitled)"));
  TTestEnvironment::TestPrompts().Clear();
}
