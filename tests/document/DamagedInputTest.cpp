// Damaged notes files, loaded by the document's own loader: cut short anywhere, each line missing
// or doubled in turn, headers missing, numbers that lie, bytes changed. Loading must end, never
// throw, keep the document consistent, never size anything by what the file claims, and load
// every element that is itself intact.

#include "vl_Document.h"
#include "vldConsistency.h"
#include "vldGraphic.h"

#include "vlClock.h"
#include "vlTestSupport.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>
#include <QFile>

#include <chrono>
#include <future>
#include <random>

#include <sys/stat.h>

namespace {

// A realistic isolated tab: paragraphs with font runs, moments, a group moment and anchors;
// fonts with gaps and optional attributes; two pictures with sketches and a plain inset.
QByteArray RichFile() {
  return Lines({
      "<NotesDoc Version=\"2\" Generator=\"Vellomar Software for Taking Notes\" "
      "TabTitle=\"Damage &Q2;test&Q2;\" WhenSaved=\"2026-12-09 07:56 09.4\">",
      "<CaretPos SN=\"2\" GN=\"3\" EOL=\"F\">",
      "<ScrollPos VSB=\"40\">",
      "<Sections>",
      "<P ID=\"0\">",
      "<Anchor x=\"0\">",
      "<Text N=\"6\" T=\"&f1;Ab&f2;cd&f1;;&10;\">",
      "<When L=\"(0,0)(45000.5,45000.49)(45000.51,45000.5)(45000.52,45000.51)(45000.53,45000.52)"
      "(45000.54,45000.53)(45000.55,45000.54)\">",
      "</P>",
      "<P ID=\"1\">",
      "<Text N=\"4\" T=\"&f3;x&9;y&10;\">",
      "<When L=\"(0,0)(45001.5,45001.5)(45001.6,45001.6)(45001.7,45001.7)(45001.8,45001.8)\">",
      "</P>",
      "<P ID=\"2\">",
      "<Anchor x=\"2\">",
      "<Anchor x=\"5\">",
      "<PWhen L=\"(45002.1,45002.2)\">",
      "<Text N=\"5\" T=\"&f1;&Q2;&LT;&AM;&f5;z&10;\">",
      "<When L=\"(0,0)(45002.5,45002.5)(45002.6,45002.6)(45002.7,45002.7)(45002.8,45002.8)"
      "(45002.9,45002.9)\">",
      "</P>",
      "<P ID=\"3\">",
      "<Text N=\"1\" T=\"&f2;&10;\">",
      "<When L=\"(0,0)(45003,45003.25)\">",
      "</P>",
      "<P ID=\"4\">",
      "<Text N=\"3\" T=\"&f1;ok&10;\">",
      "<When L=\"(0,0)(45004.5,45004.5)(45004.6,45004.6)(45004.7,45004.7)\">",
      "</P>",
      "</Sections>",
      "<Fonts>",
      "<Font Index=\"0\" Name=\"Veranda\" Style=\"\" Size=\"12\" Color=\"#000000\">",
      "<Font Index=\"1\" Name=\"Comic Sans MS\" Style=\"B\" Size=\"10\" Color=\"#000080\">",
      "<Font Index=\"2\" Name=\"Arial &Q2;x&Q2;\" Style=\"BIUS\" Size=\"14\" Color=\"#FF0000\" "
      "Highlight=\"#FFFF00\" Rotation=\"90\">",
      "<Font Index=\"3\" Name=\"Courier New\" Style=\"I\" Size=\"8\" Color=\"#00FF00\">",
      "<Font Index=\"5\" Name=\"Times New Roman\" Style=\"U\" Size=\"20\" Color=\"#123456\">",
      "</Fonts>",
      "<Insets>",
      "<Inset Handle=\"0\" Type=\"G\" Anchor=\"0\">",
      "<Dimensions vLeft=\"10\" vTop=\"20\" Width=\"300\" Height=\"200\">",
      "<Graphic ZOrder=\"1\" Path=\"board.jpg\">",
      "<Sketch Width=\"300\" Height=\"200\" Strokes=\"2\">",
      "<Stroke Tool=\"ktLineFreehand\" Color=\"#FF0000\" Fill=\"#FFFFFF\" Width=\"3\" N=\"3\" "
      "XYPData=\"1,2;3,4;5,6,.5;\">",
      "<Stroke Tool=\"ktShapeRectangle\" Color=\"#0000FF\" Fill=\"#FFFFFF\" Width=\"1.5\" N=\"2\" "
      "XYPData=\"-10,20.25;30,40;\">",
      "</Sketch>",
      "</Graphic>",
      "</Inset>",
      "<Inset Handle=\"2\" Type=\"G\" Anchor=\"2\">",
      "<Dimensions vLeft=\"0\" vTop=\"900\" Width=\"40\" Height=\"30\">",
      "<Graphic ZOrder=\"2\" Path=\"C:\\Pictures\\face.jpg\">",
      "<Sketch Width=\"40\" Height=\"30\" Strokes=\"1\">",
      "<Stroke Tool=\"ktFloodFill\" Color=\"#00FF00\" Fill=\"#FFFFFF\" Width=\"1\" N=\"1\" "
      "XYPData=\"7,8;\">",
      "</Sketch>",
      "</Graphic>",
      "</Inset>",
      "<Inset Handle=\"5\" Type=\"\" Anchor=\"2\">",
      "<Dimensions vLeft=\"5\" vTop=\"5000000000\" Width=\"50\" Height=\"60\">",
      "</Inset>",
      "</Insets>",
      "</NotesDoc>",
  });
}

// One line per element, with everything the element carries.
QString DescribeParagraph(const TParagraph &P) {
  QString out = P.Text() + QStringLiteral(" |");
  for (int i = 1; i <= P.High(); ++i) {
    const RvlTimestamp t = P.Timestamp_Get(i);
    out += QStringLiteral(" %1:%2/%3")
               .arg(P.Char_GetFont(i))
               .arg(t.RealDT, 0, 'g', 15)
               .arg(t.FEffectiveDT, 0, 'g', 15);
  }
  return out + QStringLiteral(" | eol %1:%2/%3 group %4/%5")
                   .arg(P.FNLFont)
                   .arg(P.FNLWhen.RealDT, 0, 'g', 15)
                   .arg(P.FNLWhen.FEffectiveDT, 0, 'g', 15)
                   .arg(P.FGroupTimestamp.RealDT, 0, 'g', 15)
                   .arg(P.FGroupTimestamp.FEffectiveDT, 0, 'g', 15);
}

QString DescribeFont(const TFontInUse &F) {
  return QStringLiteral("%1 %2 %3 %4 %5 %6")
      .arg(F.Name)
      .arg(F.Size)
      .arg(F.Style.toInt())
      .arg(F.Color)
      .arg(F.Highlight)
      .arg(F.Rotation);
}

QString DescribeInset(const TDocument &Doc, const TInset &Inset) {
  const TInsetPositioning &d = Inset.EditorsData;
  QString out = QStringLiteral("anchor %1 at %2,%3 size %4x%5")
                    .arg(Inset.FAnchor ? Doc.Paragraph_GetSectionNumOf(Inset.FAnchor) : -2)
                    .arg(d.FvLeft)
                    .arg(d.FvTop)
                    .arg(d.FPixelWidth)
                    .arg(d.FPixelHeight);
  if (const auto *g = dynamic_cast<const TvlGraphic *>(&Inset)) {
    out += QStringLiteral(" picture z%1 %2 sketch %3x%4")
               .arg(g->FZOrder)
               .arg(g->JpegPathName)
               .arg(g->Sketch.FSketchWidth)
               .arg(g->Sketch.FSketchHeight);
    for (const auto &s : g->Sketch.PenStrokes) {
      out += QStringLiteral(" stroke %1 %2 %3 %4:")
                 .arg(static_cast<int>(s->Tool))
                 .arg(s->Color)
                 .arg(s->Fill)
                 .arg(s->Width);
      for (const TPenPoint &p : s->Points)
        out += QStringLiteral(" %1,%2,%3").arg(p.X).arg(p.Y).arg(p.Pressure);
    }
  }
  return out;
}

// Which element each line of a file belongs to: paragraph k, font k or inset k (by order), or
// none (the frame's lines).
struct RElementOfLine {
  enum TKind { ekNone, ekParagraph, ekFont, ekInset } Kind = ekNone;
  int Index = -1;
};

std::vector<RElementOfLine> ElementsOfLines(const QList<QByteArray> &FileLines) {
  std::vector<RElementOfLine> out(static_cast<std::size_t>(FileLines.size()));
  int paragraphs = -1, fonts = -1, insets = -1;
  RElementOfLine open;
  for (qsizetype i = 0; i < FileLines.size(); ++i) {
    const QByteArray &line = FileLines[i];
    if (line.startsWith("<P ")) open = {RElementOfLine::ekParagraph, ++paragraphs};
    if (line.startsWith("<Inset ")) open = {RElementOfLine::ekInset, ++insets};
    if (line.startsWith("<Font ")) {
      out[static_cast<std::size_t>(i)] = {RElementOfLine::ekFont, ++fonts};
      continue;
    }
    out[static_cast<std::size_t>(i)] = open;
    if (line.startsWith("</P>") || line.startsWith("</Inset>")) open = {};
  }
  return out;
}

// Everything the valid file holds, element by element.
struct RElements {
  std::vector<QString> Paragraphs;
  std::vector<std::pair<int, QString>> Fonts;   // slot, description
  std::vector<std::pair<int, QString>> Insets;  // handle, description
};

RElements ElementsOf(const TDocument &Doc) {
  RElements e;
  for (int sn = 0; sn <= Doc.Section_High(); ++sn)
    e.Paragraphs.push_back(DescribeParagraph(*Doc.Paragraph_FromSectionNum(sn)));
  for (int i = 0; i < Doc.FontsInUse.SlotCount(); ++i)
    if (const TFontInUse *f = Doc.FontsInUse.Entry(i)) e.Fonts.emplace_back(i, DescribeFont(*f));
  for (TInsetHandle h = 0; h <= Doc.InsetsStorage.High(); ++h)
    if (const TInset *inset = Doc.InsetsStorage.GetInset(h))
      e.Insets.emplace_back(h, DescribeInset(Doc, *inset));
  return e;
}

::testing::AssertionResult Consistent(const TDocument &Doc) {
  const QString fault = DocumentConsistencyFault(Doc);
  if (fault.isEmpty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << fault.toStdString();
}

struct RLoad {
  TDocument Doc;
  QString Title;
  int VertScrollbar = 0;
  QString Answered;
  // What was answered and every structural problem, as vlnotes lists them.
  QStringList AllProblems() const {
    return Answered.split(QLatin1Char('\n'), Qt::SkipEmptyParts) +
           Doc.IO_LastLoad().StructuralTexts;
  }
};

void Load(const QByteArray &Bytes, RLoad &Into) {
  Into.Answered = Into.Doc.IO_LoadFromBytes(Bytes, QStringLiteral("damaged.vlTab"), Into.Title,
                                            Into.VertScrollbar);
}

// Every element of Valid whose lines were not damaged is in Loaded as it was: paragraphs at
// their own position (no paragraph appears or goes), fonts in their slots, insets at their
// handles.
::testing::AssertionResult IntactElementsKept(const RElements &Valid, const RElements &Loaded,
                                              const std::vector<bool> &DamagedParagraph,
                                              const std::vector<bool> &DamagedFont,
                                              const std::vector<bool> &DamagedInset) {
  if (Loaded.Paragraphs.size() != Valid.Paragraphs.size())
    return ::testing::AssertionFailure()
           << Loaded.Paragraphs.size() << " paragraphs instead of " << Valid.Paragraphs.size();
  for (std::size_t i = 0; i < Valid.Paragraphs.size(); ++i)
    if (!DamagedParagraph[i] && Loaded.Paragraphs[i] != Valid.Paragraphs[i])
      return ::testing::AssertionFailure()
             << "paragraph " << i << " became " << Loaded.Paragraphs[i].toStdString();
  for (std::size_t i = 0; i < Valid.Fonts.size(); ++i)
    if (!DamagedFont[i] &&
        std::find(Loaded.Fonts.begin(), Loaded.Fonts.end(), Valid.Fonts[i]) == Loaded.Fonts.end())
      return ::testing::AssertionFailure() << "font " << Valid.Fonts[i].first << " lost";
  for (std::size_t i = 0; i < Valid.Insets.size(); ++i)
    if (!DamagedInset[i] && std::find(Loaded.Insets.begin(), Loaded.Insets.end(),
                                      Valid.Insets[i]) == Loaded.Insets.end())
      return ::testing::AssertionFailure() << "inset " << Valid.Insets[i].first << " lost";
  return ::testing::AssertionSuccess();
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

  // The valid file's elements, after checking that it loads cleanly.
  static RElements ValidElements() {
    RLoad valid;
    Load(RichFile(), valid);
    EXPECT_EQ(valid.AllProblems(), QStringList());
    const RElements e = ElementsOf(valid.Doc);
    EXPECT_EQ(e.Paragraphs.size(), 5u);
    EXPECT_EQ(e.Fonts.size(), 5u);
    EXPECT_EQ(e.Insets.size(), 3u);
    return e;
  }
};

}  // namespace

TEST_F(DamagedInputTest, TheRichFileLoadsCleanlyWithEveryElement) {
  RLoad l;
  Load(RichFile(), l);
  EXPECT_EQ(l.AllProblems(), QStringList());
  EXPECT_EQ(l.Title, QStringLiteral("Damage \"test\""));
  EXPECT_EQ(l.VertScrollbar, 40);
  EXPECT_EQ(ParagraphTexts(l.Doc), (std::vector<std::string>{"Abcd;", "x\ty", "\"<&z", "", "ok"}));
  const RElements e = ElementsOf(l.Doc);
  EXPECT_EQ(e.Insets[1].second,
            QStringLiteral("anchor 2 at 0,900 size 40x30 picture z2 C:\\Pictures\\face.jpg sketch "
                           "40x30 stroke 7 65280 16777215 1: 7,8,1"));
  EXPECT_TRUE(Consistent(l.Doc));
}

// Each line removed once, and each line doubled once: every element not on that line loads as
// it was, the document stays consistent, and the damage is reported unless it changed nothing.
TEST_F(DamagedInputTest, EveryLineMissingOrDoubledCostsOnlyItsOwnElement) {
  const RElements valid = ValidElements();
  const QList<QByteArray> lines = RichFile().split('\n');
  const std::vector<RElementOfLine> owner = ElementsOfLines(lines);
  for (const bool doubled : {false, true}) {
    for (qsizetype damaged = 0; damaged < lines.size(); ++damaged) {
      if (lines[damaged].isEmpty()) continue;  // after the last line end
      SCOPED_TRACE((doubled ? "doubled line " : "without line ") + std::to_string(damaged + 1) +
                   ": " + lines[damaged].trimmed().toStdString());
      QByteArray bytes;
      for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == damaged && !doubled) continue;
        if (i == damaged) bytes += lines[i] + '\n';
        bytes += lines[i] + (i + 1 < lines.size() ? "\n" : "");
      }
      RLoad l;
      Load(bytes, l);
      ASSERT_TRUE(Consistent(l.Doc));
      std::vector<bool> p(valid.Paragraphs.size()), f(valid.Fonts.size()), n(valid.Insets.size());
      const RElementOfLine &hit = owner[static_cast<std::size_t>(damaged)];
      if (hit.Kind == RElementOfLine::ekParagraph) p[static_cast<std::size_t>(hit.Index)] = true;
      if (hit.Kind == RElementOfLine::ekFont) f[static_cast<std::size_t>(hit.Index)] = true;
      if (hit.Kind == RElementOfLine::ekInset) n[static_cast<std::size_t>(hit.Index)] = true;
      const RElements loaded = ElementsOf(l.Doc);
      EXPECT_TRUE(IntactElementsKept(valid, loaded, p, f, n));
      const bool same = loaded.Paragraphs == valid.Paragraphs && loaded.Fonts == valid.Fonts &&
                        loaded.Insets == valid.Insets;
      // A PWhen line is optional: without it the file is as valid as before.
      const bool optional = lines[damaged].startsWith("<PWhen ") && !doubled;
      EXPECT_TRUE(same || optional || !l.AllProblems().isEmpty()) << "a change nobody is told of";
    }
  }
}

// A stray Anchor line between paragraphs, or a stray line of another block, costs nothing.
TEST_F(DamagedInputTest, StrayLinesAreSkippedAndReported) {
  const RElements valid = ValidElements();
  const QByteArray file = RichFile();
  const struct {
    const char *Before;  // the stray line goes before the first line starting so
    const char *Stray;
  } rows[] = {
      {"<P ID=\"1\">", "<Anchor x=\"0\">"},
      {"<P ID=\"2\">", "</P>"},
      {"<When L=\"(0,0)(45001.5", "<Font Index=\"9\" Name=\"Stray\">"},
      {"<Font Index=\"3\"", "<Text N=\"2\" T=\"&f1;q&10;\">"},
      {"<Dimensions vLeft=\"0\"", "<Stroke Tool=\"ktZoom\" N=\"0\">"},
      {"</Insets>", "<Dimensions vLeft=\"1\" vTop=\"2\" Width=\"3\" Height=\"4\">"},
  };
  const std::vector<bool> none3(3), none5(5);
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Stray);
    QByteArray bytes = file;
    bytes.insert(bytes.indexOf(row.Before), QByteArray(row.Stray) + "\r\n");
    RLoad l;
    Load(bytes, l);
    ASSERT_TRUE(Consistent(l.Doc));
    EXPECT_TRUE(IntactElementsKept(valid, ElementsOf(l.Doc), none5, none5, none3));
    EXPECT_FALSE(l.AllProblems().isEmpty());
  }
}

// Each block's header line removed in turn: the block starts at its first element, and the
// problem is named.
TEST_F(DamagedInputTest, ABlockWithoutItsHeaderStartsAtItsFirstElement) {
  const RElements valid = ValidElements();
  for (const char *header : {"<Sections>\r\n", "<Fonts>\r\n", "<Insets>\r\n"}) {
    SCOPED_TRACE(header);
    QByteArray bytes = RichFile();
    bytes.replace(header, "");
    RLoad l;
    Load(bytes, l);
    EXPECT_EQ(ElementsOf(l.Doc).Paragraphs, valid.Paragraphs);
    EXPECT_EQ(ElementsOf(l.Doc).Fonts, valid.Fonts);
    EXPECT_EQ(ElementsOf(l.Doc).Insets, valid.Insets);
    const QString expected = QStringLiteral("The ") + QString::fromLatin1(header).trimmed() +
                             QStringLiteral(" line is missing; the block starts at Line No.");
    EXPECT_TRUE(l.Doc.IO_LastLoad().StructuralTexts.join(QLatin1Char('\n')).contains(expected))
        << l.Doc.IO_LastLoad().StructuralTexts.join(QLatin1Char('\n')).toStdString();
  }
}

// Inside a binder, damage in one tab never reaches the next tab.
TEST_F(DamagedInputTest, DamageInOneEmbeddedTabLeavesTheNextTabWhole) {
  RLoad valid;
  Load(RichFile(), valid);
  const QByteArray tab = WriteToBytes([&](TvlXmlOut &Out) { valid.Doc.IO_SaveEmbedded(Out); });
  const QList<QByteArray> lines = tab.split('\n');
  const RElements whole = ElementsOf(valid.Doc);
  for (const bool doubled : {false, true}) {
    for (qsizetype damaged = 0; damaged + 1 < lines.size(); ++damaged) {
      SCOPED_TRACE((doubled ? "doubled line " : "without line ") + std::to_string(damaged + 1));
      QByteArray first;
      for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (i == damaged && !doubled) continue;
        if (i == damaged) first += lines[i] + '\n';
        first += lines[i] + '\n';
      }
      const QByteArray binder = "<BoundNotes Version=\"2\">\r\n<DocTab TabTitle=\"a\">\r\n" +
                                first + "</DocTab>\r\n<DocTab TabTitle=\"b\">\r\n" + tab +
                                "</DocTab>\r\n</BoundNotes>\r\n";
      auto in = ReaderOver(binder);
      TDocument a, b;
      ASSERT_TRUE(in->Next_SearchFor(xtDocTabBegin_));
      in->NextRecognizedTag();
      a.IO_LoadEmbedded(*in);
      ASSERT_TRUE(Consistent(a));
      ASSERT_EQ(in->CurrentTag(), xtDocTabEnd);
      ASSERT_TRUE(in->Next_SearchFor(xtDocTabBegin_));
      in->NextRecognizedTag();
      b.IO_LoadEmbedded(*in);
      const RElements second = ElementsOf(b);
      EXPECT_EQ(second.Paragraphs, whole.Paragraphs);
      EXPECT_EQ(second.Fonts, whole.Fonts);
      EXPECT_EQ(second.Insets, whole.Insets);
      EXPECT_EQ(b.IO_LastLoad().StructuralTexts, QStringList());
    }
  }
}

TEST_F(DamagedInputTest, EveryTruncationLoadsAPrefixOfTheParagraphs) {
  const RElements valid = ValidElements();
  const QByteArray file = RichFile();
  for (qsizetype n = 0; n <= file.size(); ++n) {
    RLoad l;
    Load(file.left(n), l);
    ASSERT_TRUE(Consistent(l.Doc)) << "cut at " << n;
    // Paragraphs before the one cut are whole.
    const RElements loaded = ElementsOf(l.Doc);
    for (std::size_t i = 0; i + 1 < loaded.Paragraphs.size(); ++i)
      ASSERT_EQ(loaded.Paragraphs[i], valid.Paragraphs[i]) << "cut at " << n;
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
    SCOPED_TRACE(row.Text);
    RLoad l;
    Load(Lines({"<NotesDoc Version=\"2\">", "<CaretPos SN=\"0\" GN=\"1\" EOL=\"F\">",
                "<ScrollPos VSB=\"0\">", "<Sections>", "<P ID=\"0\">", row.Text, row.When, "</P>",
                "</Sections>", "<Fonts>", "<Font Index=\"1\" Name=\"Arial\">", "</Fonts>",
                "<Insets>", "</Insets>", "</NotesDoc>"}),
         l);
    ASSERT_TRUE(Consistent(l.Doc));
    EXPECT_EQ(l.Doc.Paragraph_FromSectionNum(0)->Text(), QString::fromLatin1(row.Expected));
    EXPECT_FALSE(l.AllProblems().isEmpty());
  }
}

TEST_F(DamagedInputTest, ChangedBytes) {
  const QByteArray valid = RichFile();
  const char nasty[] = "()<>&;\",fT0123456789-. \r\n#xPW/";
  std::mt19937 random(99);
  for (int round = 0; round < 1500; ++round) {
    QByteArray bytes = valid;
    for (int k = std::uniform_int_distribution<int>(1, 4)(random); k > 0; --k) {
      const auto at = std::uniform_int_distribution<qsizetype>(0, bytes.size() - 1)(random);
      bytes[at] = nasty[std::uniform_int_distribution<int>(0, sizeof nasty - 2)(random)];
    }
    RLoad l;
    Load(bytes, l);
    ASSERT_TRUE(Consistent(l.Doc)) << "round " << round;
    ASSERT_LE(l.Doc.Section_High(), 5 + 4) << "round " << round;
  }
}

// A copy of a loaded document holds every inset, whatever its kind, anchored in the copy.
TEST_F(DamagedInputTest, ACopyHoldsEveryInsetKindItsParagraphsList) {
  RLoad l;
  Load(RichFile(), l);
  TDocument copy;
  copy.MyAssign(l.Doc);
  ASSERT_TRUE(Consistent(copy));
  const RElements original = ElementsOf(l.Doc), copied = ElementsOf(copy);
  EXPECT_EQ(copied.Paragraphs, original.Paragraphs);
  EXPECT_EQ(copied.Insets, original.Insets);
  const TInset *plain = copy.InsetsStorage.GetInset(5);
  ASSERT_NE(plain, nullptr);
  EXPECT_NE(plain, l.Doc.InsetsStorage.GetInset(5));
  EXPECT_EQ(plain->FAnchor, copy.Paragraph_FromSectionNum(2));
}

// Paths that name no regular file are refused at once with the reason; the document is left
// with one empty paragraph. Opening a FIFO for reading would wait for a writer: should the
// refusal ever fail, the test opens the writing end itself so that it ends, and fails.
TEST_F(DamagedInputTest, AFifoAFolderOrADeviceIsRefusedAtOnce) {
  TFreshFolder folder;
  const QString fifo = folder.File(QStringLiteral("pipe.vlTab"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const QString &path : {fifo, folder.Path(), QStringLiteral("/dev/zero")}) {
    SCOPED_TRACE(path.toStdString());
    TTestEnvironment::TestPrompts().Clear();
    auto loading = std::async(std::launch::async, [&path] {
      TDocument doc;
      QString title;
      int vsb = 0;
      const QString problems = doc.IO_Load(path, title, vsb);
      return std::make_pair(problems, doc.Section_High() == 0 && doc.Document_IsBlank());
    });
    if (loading.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      ADD_FAILURE() << "the load waits on the path";
      if (path == fifo) QFile(fifo).open(QIODevice::WriteOnly);  // lets the reading end
    }
    const auto [problems, blank] = loading.get();
    EXPECT_TRUE(problems.contains(QStringLiteral("is not a regular file")))
        << problems.toStdString();
    EXPECT_TRUE(blank);
  }
  TTestEnvironment::TestPrompts().Clear();
}
