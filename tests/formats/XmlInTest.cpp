#include "FormatsTestSupport.h"
#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlAppPaths.h"
#include "vlNumberForms.h"

#include <gtest/gtest.h>
#include <QFile>

#include <chrono>
#include <functional>
#include <future>
#include <random>
#include <vector>

#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;

namespace {

class XmlIn : public ::testing::Test {
 protected:
  void SetUp() override { TTestEnvironment::TestPrompts().Clear(); }
  QStringList Prompted() const { return TTestEnvironment::TestPrompts().AskedTexts(); }
};

// Opens bytes and positions the reader on the first recognised line.
void OpenBytes(TvlXmlIn &In, const QByteArray &Bytes) {
  QString problem;
  ASSERT_TRUE(In.Bytes_Open(Bytes, u"test.vl"_s, problem));
}

// The recognised tags of a file, with the value of one attribute where it has it.
QStringList Walk(TvlXmlIn &In) {
  QStringList seen;
  for (; !In.EndOfFile(); In.NextRecognizedTag()) {
    QString value;
    In.Get("v", value);
    seen.append(QString::number(In.CurrentTag()) + u':' + value);
  }
  return seen;
}

}  // namespace

TEST_F(XmlIn, RecognisesLinesByTheirTagTextAsTheFormatFixes) {
  const struct {
    const char *Line;
    TvlXmlTags Tag;
  } rows[] = {
      {"<P ID=\"0\">", xtParagraphBegin_},
      {"</P>", xtParagraphEnd},
      {"<PWhen L=\"(0,0)\">", xtPWhen_},
      {"<p ID=\"0\">", xtFlag_None},  // the letter group ignores case, the tag text does not
      {"<Fonts>", xtFontsBegin},
      {"<Font>", xtFlag_None},  // a start tag needs an attribute
      {"<Font Index=\"0\">", xtFont_},
      {"<I x=\"1\">", xtInsetAnchor_},
      {"<Insets>", xtInsetsBegin},
      {"</Inset>", xtInsetEnd},
      {"</Insets>", xtInsetsEnd},
      {"   <Sections>", xtSectionsBegin},
      {"<!--Warning: x--><Font Index=\"0\">", xtFlag_None},
      {"<EarlyNotice TabIndex=\"0\" TabTitle=\"\">", xtFlag_None},
      {"<P>", xtFlag_None},
      {"<?xml version=\"1.0\"?>", xtFlag_None},
      {"<Text N=\"1\" T=\"&f1;&10;\">", xtText_},
      // An unescaped title holding a block tag takes its line over: the last hit wins.
      {"<DocTab TabTitle=\"a</DocTab>\" TabIndex=\"0\">", xtDocTabEnd},
      {"<DocTab TabTitle=\"a&LT;/DocTab&GT;\" TabIndex=\"0\">", xtDocTabBegin_},
      {"<Sketch Width=\"1\"></Sketch>", xtSketchEnd},
  };
  for (const auto &row : rows)
    EXPECT_EQ(TvlXmlIn::ClassifyLine(QByteArrayView(row.Line)), row.Tag) << row.Line;

  // Every element the writer can write is recognised as itself, except EarlyNotice, which
  // readers skip by design.
  for (int value = 1; value < xtFlag_Done; ++value) {
    const auto tag = static_cast<TvlXmlTags>(value);
    if (!IsRealTag(tag) || tag == xtEarlyNotice_) continue;
    QByteArray line(TagText(tag).data(), qsizetype(TagText(tag).size()));
    if (IsTagWithAttributes(tag)) line += " a=\"1\">";
    EXPECT_EQ(TvlXmlIn::ClassifyLine(line), tag) << line.data();
  }
}

// What a getter answers: found or not, and the value it leaves, starting from Start.
template <typename TValue, typename TGet>
std::pair<bool, TValue> Got(TGet &&Get, const char *Name, TValue Start) {
  TValue value = Start;
  const bool found = Get(Name, value);
  return {found, value};
}

TEST_F(XmlIn, AttributesAreFoundByNameAnywhereOnTheLineAndParsedByType) {
  TvlXmlIn in;
  OpenBytes(in,
            "<Event N=\"12\" Bad=\"abc\" Sentinel=\"-123456789\" Huge=\"99999999999\" "
            "D=\"    1.5000000000\" Nan=\"nan\" Big=\"1e400\" DT=\"45000.5\" FarDT=\"1e300\" "
            "Yes=\"yes\" True=\"true\" F=\"F\" Empty=\"\" X=\"x\" AB=\"ab\" Quote=\"&Q2;\" "
            "Red=\"#FF0000\" Named=\"red\" Gg=\"#GG0000\" None=\"#FFFF1FFF\" Styles=\"BxU\" "
            "R=\"R\" Q=\"Q\" M=\"Marker\" One=\"1\" Unk=\"Z\" S1=\".125\" I64=\"12345678901\" "
            "Esc=\"Q&A &Q2;Q3&Q2; &#937;\" Open=\"never closed>");
  ASSERT_EQ(in.CurrentTag(), xtEvent_);
  auto get = [&in](const char *Name, auto &Value) { return in.Get(Name, Value); };
  using TIntResult = std::pair<bool, int>;
  EXPECT_EQ(Got(get, "N", 77), TIntResult(true, 12));
  EXPECT_EQ(Got(get, "Missing", 77), TIntResult(false, 77));
  EXPECT_EQ(Got(get, "n", 77), TIntResult(false, 77));     // names are case-sensitive
  EXPECT_EQ(Got(get, "Open", 77), TIntResult(false, 77));  // no closing quote: maybe cut short
  EXPECT_EQ(Got(get, "Bad", 77), TIntResult(false, -123456789));
  EXPECT_EQ(Got(get, "Sentinel", 77), TIntResult(false, -123456789));
  EXPECT_EQ(Got(get, "Huge", 77), TIntResult(false, -123456789));
  EXPECT_EQ(Got(get, "I64", 0LL), std::pair(true, 12345678901LL));
  EXPECT_EQ(Got(get, "Bad", 0LL), std::pair(false, -12345678987654321LL));
  EXPECT_EQ(Got(get, "D", 3.0), std::pair(true, 1.5));
  EXPECT_EQ(Got(get, "Nan", 3.0), std::pair(false, -1234567.89));
  EXPECT_EQ(Got(get, "Big", 3.0), std::pair(false, -1234567.89));
  auto getDT = [&in](const char *Name, TDateTime &Value) { return in.GetDT(Name, Value); };
  EXPECT_EQ(Got(getDT, "DT", 3.0), std::pair(true, 45000.5));
  EXPECT_EQ(Got(getDT, "FarDT", 3.0), std::pair(false, -0.5));
  EXPECT_EQ(Got(get, "S1", 0.f), std::pair(true, 0.125f));
  EXPECT_EQ(Got(get, "Bad", 0.f), std::pair(false, -123456789.123f));
  EXPECT_EQ(Got(get, "True", false), std::pair(true, true));
  EXPECT_EQ(Got(get, "F", true), std::pair(true, false));
  EXPECT_EQ(Got(get, "Yes", true), std::pair(false, false));
  EXPECT_EQ(Got(get, "Empty", true), std::pair(false, false));
  EXPECT_EQ(Got(get, "X", QChar(u'?')), std::pair(true, QChar(u'x')));
  EXPECT_EQ(Got(get, "Quote", QChar(u'?')), std::pair(true, QChar(u'"')));
  EXPECT_EQ(Got(get, "AB", QChar(u'?')), std::pair(false, QChar(u'?')));
  EXPECT_EQ(Got(get, "Empty", QChar(u'?')), std::pair(false, QChar(u'?')));
  auto getC = [&in](const char *Name, TColor &Value) { return in.GetC(Name, Value); };
  EXPECT_EQ(Got(getC, "Red", 0x123), std::pair(true, clRed));
  EXPECT_EQ(Got(getC, "Named", 0x123), std::pair(true, clYellow));
  EXPECT_EQ(Got(getC, "Gg", 0x123), std::pair(false, 0x123));
  EXPECT_EQ(Got(getC, "None", 0x123), std::pair(true, clNone));
  EXPECT_EQ(Got(get, "Styles", TFontStyles()), std::pair(true, TFontStyles(fsBold | fsUnderline)));
  EXPECT_EQ(Got(get, "Missing", TFontStyles(fsBold)), std::pair(false, TFontStyles()));
  EXPECT_EQ(Got(get, "R", sUnknown), std::pair(true, sRight));
  EXPECT_EQ(Got(get, "Q", sUnknown), std::pair(true, sLeft));
  EXPECT_EQ(Got(get, "Empty", sUnknown), std::pair(false, sLeft));
  EXPECT_EQ(Got(get, "M", koeLabel), std::pair(true, koeMarker));
  EXPECT_EQ(Got(get, "One", koeLabel), std::pair(true, koeWingDings));
  EXPECT_EQ(Got(get, "Unk", koeLabel), std::pair(false, koeNone));
  EXPECT_EQ(Got(get, "Quote", QString()), std::pair(true, u"&Q2;"_s));  // plain: not unescaped
  EXPECT_EQ(Got(get, "Open", u"old"_s), std::pair(false, QString()));
  auto getE = [&in](const char *Name, QString &Value) { return in.GetE(Name, Value); };
  EXPECT_EQ(Got(getE, "Esc", QString()), std::pair(true, u"Q&A \"Q3\" \u03A9"_s));
}

TEST_F(XmlIn, OpeningRefusesMissingFoldersAndOldBinaryFilesAndWarnsOnOtherFirstLines) {
  TFreshFolder folder;
  TvlXmlIn in;
  QString problem = u"stale"_s;
  EXPECT_FALSE(in.File_OpenOrDoErrorDialogs(QString(), problem));
  EXPECT_TRUE(problem.isEmpty());
  EXPECT_TRUE(Prompted().isEmpty());

  const QString missing = folder.File(u"missing.vl"_s);
  EXPECT_FALSE(in.File_OpenOrDoErrorDialogs(missing, problem));
  EXPECT_EQ(Prompted(), QStringList{u"This file can not be found:\n\n"_s + missing});
  TTestEnvironment::TestPrompts().Clear();
  EXPECT_FALSE(in.File_OpenOrDoErrorDialogs(folder.Path(), problem));
  EXPECT_EQ(Prompted(), QStringList{u"This file can not be opened for reading:\n\n"_s +
                                    folder.Path() + u"\n\n"_s + folder.Path() +
                                    u" is not a regular file (a folder, a device or a pipe); only "
                                    u"files can be read as notes"_s});
  TTestEnvironment::TestPrompts().Clear();

  const struct {
    QByteArray Bytes;
    bool Opens;
    const char *Problem;
    TvlXmlTags First;
  } rows[] = {
      {"<BoundNotes Version=\"2\">\r\n</BoundNotes>\r\n", true, "", xtBoundNotesBegin_},
      {"<NotesDoc Version=\"2\">\n", true, "", xtNotesDocBegin_},
      {"<?xml version=\"1.0\"?>\r\n<NotesDoc Version=\"2\">\r\n", true,
       "Unexpected first line in file.  ", xtNotesDocBegin_},
      {"", true, "Unexpected first line in file.  ", xtFlag_Done},
      {QByteArray("\xDC\x05\x01\x00\x10\x00<Sections>\r\n", 18), false, nullptr, xtFlag_Done},
  };
  const QString path = folder.File(u"file.vl"_s);
  for (const auto &row : rows) {
    WriteAllBytes(path, row.Bytes);
    EXPECT_EQ(in.File_OpenOrDoErrorDialogs(path, problem), row.Opens) << row.Bytes.data();
    EXPECT_EQ(in.OpenedFile(), row.Opens);
    if (row.Problem) {
      EXPECT_EQ(problem, QString::fromLatin1(row.Problem));
    } else {
      EXPECT_EQ(problem,
                u"The following file was created with an older version of Vellomar. \n\n"_s + path +
                    u"\n\nIt needs to be opened in an intermediate version that can update the "
                    "file format to the current version."_s);
    }
    EXPECT_EQ(in.CurrentTag(), row.First);
    in.File_Close();
  }
  EXPECT_TRUE(Prompted().isEmpty());
}

TEST_F(XmlIn, LineEndsChunkBoundariesAndStrayBytesDoNotChangeWhatIsRead) {
  const QByteArray lf =
      "<NotesDoc v=\"doc\">\n\n<Fonts>\ngarbage with a NUL\n<Font v=\"a\rb\">\n</Fonts>\n"
      "<Text v=\"last\">";
  QByteArray withNul = lf;
  withNul.insert(lf.indexOf("garbage") + 8, '\0');
  QByteArray crlf = withNul;
  crlf.replace("\n", "\r\n");
  QStringList expected;
  {
    TvlXmlIn in;
    OpenBytes(in, withNul);
    expected = Walk(in);
    EXPECT_TRUE(in.LastLineUnterminated());
    EXPECT_EQ(in.LineNum(), 7);
  }
  EXPECT_EQ(expected, (QStringList{u"11:doc"_s, u"22:"_s, u"7:a\rb"_s, u"23:"_s, u"17:last"_s}));
  for (const QByteArray &bytes : {crlf, crlf + "\r\n", withNul + "\n"}) {
    for (qsizetype chunk : {1, 2, 3, 7, 1 << 20}) {
      TvlXmlIn in;
      in.SetChunkSize(chunk);
      OpenBytes(in, bytes);
      EXPECT_EQ(Walk(in), expected) << chunk;
      EXPECT_TRUE(in.ReadProblem().isEmpty());
    }
  }
}

TEST_F(XmlIn, LongLinesAreReadWholeUpToTheCapWhichEndsReadingWithAProblem) {
  const QByteArray value(5 << 20, 'x');
  const QByteArray bytes = "<NotesDoc v=\"1\">\r\n<Text v=\"" + value + "\">\r\n</NotesDoc>\r\n";
  {
    TvlXmlIn in;
    in.SetChunkSize(4096);
    OpenBytes(in, bytes);
    ASSERT_TRUE(in.Next_SearchFor(xtText_));
    QByteArrayView raw;
    ASSERT_TRUE(in.GetRaw("v", raw));
    EXPECT_EQ(raw.size(), value.size());
    EXPECT_TRUE(in.TraceLine().endsWith(u"xxx...\""_s));
    EXPECT_LT(in.TraceLine().size(), 250);
    in.NextRecognizedTag();
    EXPECT_EQ(in.CurrentTag(), xtNotesDocEnd);
  }
  TCapturedErrorLog log;
  TvlXmlIn in;
  in.SetMaxLineLength(1000);
  OpenBytes(in, bytes);
  EXPECT_EQ(in.CurrentTag(), xtNotesDocBegin_);
  in.NextRecognizedTag();
  EXPECT_TRUE(in.EndOfFile());
  EXPECT_TRUE(in.ReadProblem().contains(u"Line 2 is longer than 1000 bytes"_s))
      << in.ReadProblem().toStdString();
  EXPECT_TRUE(log.Text().contains(u"Line 2 is longer"_s));
}

TEST_F(XmlIn, SearchesStopAtTheEndAndBoundedSearchesStopBeforeTheNextBlock) {
  TvlXmlIn in;
  OpenBytes(in,
            "<NotesDoc v=\"1\">\r\n<Sections>\r\n<P ID=\"0\">\r\n</P>\r\n</Sections>\r\n"
            "<Fonts>\r\n<Font Index=\"0\">\r\n</Fonts>\r\n");
  EXPECT_TRUE(in.Next_SearchFor(xtNotesDocBegin_));  // already there: no move
  EXPECT_EQ(in.LineNum(), 1);
  // A missing caret must not swallow the paragraphs.
  EXPECT_FALSE(in.Next_SearchForBefore(xtCaretPos_, {xtSectionsBegin, xtNotesDocEnd}));
  EXPECT_EQ(in.CurrentTag(), xtSectionsBegin);
  EXPECT_TRUE(in.Next_SearchForBefore(xtParagraphBegin_, {xtSectionsEnd}));
  EXPECT_EQ(in.LineNum(), 3);

  TCapturedErrorLog log;
  ASSERT_TRUE(in.Next_SearchFor(xtFont_));
  EXPECT_FALSE(in.CurrentTagStrictlyIs(xtFontsEnd));
  EXPECT_TRUE(log.Text().contains(
      u"Expecting CurrentTag to be \"</Fonts>\" but was at Line No. 7:  \"<Font Index=\"0\">\""_s))
      << log.Text().toStdString();
  log.Log().SetDebugSwitch(true);
  EXPECT_THROW(in.WarnIfCurrentTagIsNot(xtFontsEnd), ReportedError);
  EXPECT_TRUE(in.CurrentTagStrictlyIs(xtFont_));

  EXPECT_FALSE(in.Next_SearchFor(xtCaretPos_));
  EXPECT_TRUE(in.EndOfFile());
  EXPECT_EQ(in.LineNum(), 8);
  EXPECT_FALSE(in.Next_SearchFor(xtText_));
  EXPECT_FALSE(in.Next_SearchForBefore(xtText_, {}));
  int index = 5;
  EXPECT_FALSE(in.Get("Index", index));  // nothing is current at the end
  EXPECT_EQ(index, 5);
}

// A block is entered past its header, past a doubled header, or at its first element when the
// header is missing; each repair is kept as a problem. Anything else is no start of the block.
TEST_F(XmlIn, ABlockBeginsAtItsHeaderOrAtItsFirstElement) {
  const struct {
    const char *Bytes;
    bool Begins;
    int Line;  // current after BeginBlock
    const char *Problem;
  } rows[] = {
      {"<Fonts>\r\n<Font v=\"1\">\r\n", true, 2, ""},
      {"<Fonts>\r\n<Fonts>\r\n<Font v=\"1\">\r\n", true, 3,
       "A second <Fonts> line, skipped: Line No. 2:  \"<Fonts>\""},
      {"<Font v=\"1\">\r\n</Fonts>\r\n", true, 1,
       "The <Fonts> line is missing; the block starts at Line No. 1:  \"<Font v=\"1\">\""},
      {"<Insets>\r\n<Font v=\"1\">\r\n", false, 1, ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Bytes);
    TvlXmlIn in;
    OpenBytes(in, row.Bytes);
    EXPECT_EQ(in.BeginBlock(xtFontsBegin, xtFont_), row.Begins);
    EXPECT_EQ(in.LineNum(), row.Line);
    EXPECT_EQ(in.ProblemsSince(0).join(u'\n'), QString::fromLatin1(row.Problem));
  }
}

TEST_F(XmlIn, TheEmptyBinderIsWrittenByteForByteAndReadsAsOneEmptyTab) {
  const QByteArray expected =
      "<BoundNotes Version=\"2\" Generator=\"Vellomar\xAE Software for Taking Notes\" "
      "WhenSaved=\"2010-11-02 18:31 31.2\" TabCount=\"1\" ActiveTab=\"0\">\r\n"
      "<EarlyNotice TabIndex=\"0\" TabTitle=\"\">\r\n"
      "<DocTab TabTitle=\"\" TabIndex=\"0\">\r\n"
      "<ScrollPos VSB=\"1\">\r\n"
      "<CaretPos SN=\"0\" CN=\"1\">\r\n"
      "<Sections>\r\n"
      "<P ID=\"0\">\r\n"
      "<Text N=\"1\" T=\"&f1;&10;\">\r\n"
      "<When L=\"(0,0)(0,0)\">\r\n"
      "</P>\r\n"
      "</Sections>\r\n"
      "<Fonts>\r\n"
      "<Font Index=\"0\" Name=\"Veranda\" Style=\"\" Size=\"12\" Color=\"#000000\">\r\n"
      "<Font Index=\"1\" Name=\"Comic Sans MS\" Style=\"\" Size=\"10\" Color=\"#000080\">\r\n"
      "</Fonts>\r\n"
      "<Insets>\r\n"
      "</Insets>\r\n"
      "</DocTab>\r\n"
      "</BoundNotes>\r\n";
  EXPECT_EQ(TvlXmlIn::EmptyBinderBytes(), expected);
  const QString path = TvlXmlIn::File_CreateEmptyBinderFile();
  EXPECT_EQ(path, AppPaths().DocumentsFolder() + u"/Empty Binder.vl"_s);
  EXPECT_EQ(ReadAllBytes(path), expected);

  TvlXmlIn in;
  QString problem;
  ASSERT_TRUE(in.File_OpenOrDoErrorDialogs(path, problem));
  EXPECT_TRUE(problem.isEmpty());
  QString generator;
  EXPECT_TRUE(in.Get("Generator", generator));
  EXPECT_EQ(generator, u"Vellomar\u00AE Software for Taking Notes"_s);
  std::vector<TvlXmlTags> tags;
  for (; !in.EndOfFile(); in.NextRecognizedTag()) {
    tags.push_back(in.CurrentTag());
    if (in.CurrentTag() == xtText_) {
      QString text;
      EXPECT_TRUE(in.Get("T", text));
      EXPECT_EQ(text, u"&f1;&10;"_s);
    }
    int index = -1;
    TColor colour = 0;
    if (in.CurrentTag() == xtFont_ && in.Get("Index", index) && index == 1) {
      EXPECT_TRUE(in.GetC("Color", colour));
      EXPECT_EQ(colour, 0x800000);
    }
  }
  EXPECT_EQ(tags, (std::vector<TvlXmlTags>{xtBoundNotesBegin_, xtDocTabBegin_, xtScrollPos_,
                                           xtCaretPos_, xtSectionsBegin, xtParagraphBegin_, xtText_,
                                           xtWhen_, xtParagraphEnd, xtSectionsEnd, xtFontsBegin,
                                           xtFont_, xtFont_, xtFontsEnd, xtInsetsBegin, xtInsetsEnd,
                                           xtDocTabEnd, xtBoundNotesEnd}));
}

namespace {

// One element of the cut files: an integer, an escaped string, a colour and a moment.
struct RElement {
  int Index = 0;
  QString Title;
  TColor Colour = 0;
  double Moment = 0;
};

std::vector<RElement> SampleElements() {
  const QString titles[] = {u"Veranda"_s, u"Meeting \"Q3\" </DocTab>"_s, u"\u0395\u03BB"_s,
                            u"Q&A &AM; \t tab"_s};
  const TColor colours[] = {clBlack, clNone, 0x800000, clDefault};
  std::vector<RElement> elements;
  for (int i = 0; i < 8; ++i)
    elements.push_back({i * 37 - 5, titles[i % 4], colours[i % 4], 40000 + i * 1234.5678912});
  return elements;
}

QByteArray WriteElements(const std::vector<RElement> &Elements) {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  EXPECT_TRUE(out.File_OpenForRewritingOrDoErrorDialogs(u"memory.vl"_s));
  out.Insert_TagWithoutAttributes(xtFontsBegin);
  for (const RElement &e : Elements) {
    out.Insert_TagOpenForAttributes(xtFont_);
    out.Insert_Attribute("Index", e.Index);
    out.Insert_AttributeE("Name", e.Title);
    out.Insert_AttributeC("Color", e.Colour);
    out.Insert_Attribute("W", e.Moment);
    out.Insert_TagClose_NoMoreAttributes();
  }
  out.Insert_TagWithoutAttributes(xtFontsEnd);
  EXPECT_TRUE(out.File_Close());
  return memory->Bytes();
}

// Reads every Font element; each attribute that is found must hold the value written.
int ReadAndCompare(const QByteArray &Bytes, const std::vector<RElement> &Elements) {
  TvlXmlIn in;
  QString problem;
  in.Bytes_Open(Bytes, u"memory.vl"_s, problem);
  int count = 0;
  for (; !in.EndOfFile(); in.NextRecognizedTag()) {
    if (in.CurrentTag() != xtFont_) continue;
    const RElement &e = Elements.at(std::size_t(count++));
    RElement r;
    EXPECT_TRUE(!in.Get("Index", r.Index) || r.Index == e.Index);
    EXPECT_TRUE(!in.GetE("Name", r.Title) || r.Title == e.Title);
    EXPECT_TRUE(!in.GetC("Color", r.Colour) || r.Colour == e.Colour);
    EXPECT_TRUE(!in.Get("W", r.Moment) || std::abs(r.Moment - e.Moment) < 1e-10);
  }
  return count;
}

}  // namespace

TEST_F(XmlIn, AFileCutAtAnyByteReadsAPrefixOfItsElementsWithNoWrongValue) {
  const std::vector<RElement> elements = SampleElements();
  const QByteArray bytes = WriteElements(elements);
  EXPECT_EQ(ReadAndCompare(bytes, elements), 8);
  for (qsizetype cut = 0; cut <= bytes.size() && !HasFailure(); ++cut) {
    const QByteArray part = bytes.first(cut);
    // Every complete Font line is read; a cut one may or may not be recognised.
    const int complete = std::clamp(int(part.count("\">\r\n")), 0, 8);
    EXPECT_GE(ReadAndCompare(part, elements), complete) << cut;
  }
}

// Only regular files are read: a FIFO would make opening wait for a writer and a device may never
// end. Both are refused at once, with the reason; a link to a regular file is a regular file.
TEST_F(XmlIn, PathsThatAreNoRegularFileAreRefusedWithoutWaiting) {
  TFreshFolder folder;
  const QString fifo = folder.File(u"pipe.vl"_s);
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const QString &path : {fifo, u"/dev/zero"_s, u"/dev/null"_s, folder.Path()}) {
    SCOPED_TRACE(path.toStdString());
    TTestEnvironment::TestPrompts().Clear();
    EXPECT_TRUE(
        TvlXmlIn::RegularFileProblem(path).endsWith(u"is not a regular file (a folder, a "
                                                    u"device or a pipe); only files can "
                                                    u"be read as notes"_s));
    // Should the refusal ever fail, the writing end is opened so that the test ends, and fails.
    auto opening = std::async(std::launch::async, [&path] {
      TvlXmlIn in;
      QString problem;
      const bool opened = in.File_OpenOrDoErrorDialogs(path, problem);
      return std::make_pair(opened, in.ReadProblem());
    });
    if (opening.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
      ADD_FAILURE() << "opening waits on the path";
      if (path == fifo) QFile(fifo).open(QIODevice::WriteOnly);
    }
    const auto [opened, why] = opening.get();
    EXPECT_FALSE(opened);
    EXPECT_TRUE(why.contains(u"is not a regular file"_s));
    EXPECT_EQ(Prompted().size(), 1);
  }
  TTestEnvironment::TestPrompts().Clear();
  const QString file = folder.File(u"notes.vl"_s);
  WriteAllBytes(file, "<BoundNotes Version=\"2\">\r\n</BoundNotes>\r\n");
  const QString link = folder.File(u"link.vl"_s);
  ASSERT_TRUE(QFile::link(file, link));
  EXPECT_EQ(TvlXmlIn::RegularFileProblem(link), QString());
  TvlXmlIn in;
  QString problem;
  EXPECT_TRUE(in.File_OpenOrDoErrorDialogs(link, problem));
  EXPECT_EQ(in.CurrentTag(), xtBoundNotesBegin_);
}
