#include "FormatsTestSupport.h"
#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"

#include <gtest/gtest.h>
#include <QDir>

#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

// Runs Body over a writer whose file is built in memory and answers the bytes written.
QByteArray Written(const std::function<void(TvlXmlOut &)> &Body) {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  EXPECT_TRUE(out.File_OpenForRewritingOrDoErrorDialogs(u"memory.vl"_s));
  Body(out);
  EXPECT_TRUE(out.File_Close());
  return memory->Bytes();
}

void WriteFontsBlock(TvlXmlOut &out) {
  out.Insert_TagWithoutAttributes(xtFontsBegin);
  for (int index = 0; index < 3; ++index) {
    out.Insert_TagOpenForAttributes(xtFont_);
    out.Insert_Attribute("Index", index);
    out.Insert_AttributeE("Name", u"Veranda"_s);
    out.Insert_TagClose_NoMoreAttributes();
  }
  out.Insert_TagWithoutAttributes(xtFontsEnd);
}

class XmlOut : public ::testing::Test {
 protected:
  void SetUp() override { TTestEnvironment::TestPrompts().Clear(); }
  QStringList Prompted() const { return TTestEnvironment::TestPrompts().AskedTexts(); }
};

}  // namespace

TEST_F(XmlOut, WritesTheFontElementAsOneCrLfLineWithoutByteOrderMark) {
  const QByteArray bytes = Written([](TvlXmlOut &out) {
    out.Insert_TagOpenForAttributes(xtFont_);
    out.Insert_Attribute("Index", 0);
    out.Insert_Attribute("Name", u"Veranda"_s);
    out.Insert_Attribute("Style", TFontStyles());
    out.Insert_Attribute("Size", 12);
    out.Insert_AttributeC("Color", clBlack);
    out.Insert_TagClose_NoMoreAttributes();
    out.Insert_TagWithoutAttributes(xtFontsEnd);
  });
  EXPECT_EQ(bytes,
            "<Font Index=\"0\" Name=\"Veranda\" Style=\"\" Size=\"12\" Color=\"#000000\">\r\n"
            "</Fonts>\r\n");
  EXPECT_TRUE(Prompted().isEmpty());
}

TEST_F(XmlOut, WritesEachValueTypeInItsFixedForm) {
  const QByteArray bytes = Written([](TvlXmlOut &o) {
    o.Insert_TagOpenForAttributes(xtEvent_);
    o.Insert_AttributeC("Navy", 0x800000);
    o.Insert_AttributeC("Red", clRed);
    o.Insert_AttributeC("Mixed", 0x00123456);
    o.Insert_AttributeC("None", clNone);
    o.Insert_Attribute("No", false);
    o.Insert_Attribute("Yes", true);
    o.Insert_Attribute("BU", TFontStyles(fsUnderline | fsBold));
    o.Insert_Attribute("All", TFontStyles(fsStrikeOut | fsUnderline | fsItalic | fsBold));
    o.Insert_Attribute("Half", 12.5f);
    o.Insert_Attribute("Eighth", 0.125f);
    o.Insert_Attribute("Minus", -3.f);
    o.Insert_Attribute("Round", 1234.6f);
    o.Insert_Attribute("D", 1.5);
    o.Insert_Attribute("I", -42);
    o.Insert_Attribute("I64", 5000000000LL);
    o.Insert_Attribute("Side", sRight);
    o.Insert_Attribute("Kind", koeWingDings2);  // always named K
    o.Insert_Attribute("Kind", koeNone);        // never written
    o.Insert_Attribute("C", QChar(u'"'));
    o.Insert_Attribute("Amp", QChar(u'&'));
    o.Insert_Attribute("T", u"Vellomar\u00AE &f1;&10; \u0395"_s);
    o.Insert_Attribute("Guard", u"a\"b<\r\n"_s);  // never breaks its line or ends early
    o.Insert_AttributeE("E", u"Q&A \"Q3\" </DocTab>"_s);
    o.Insert_TagClose_NoMoreAttributes();
  });
  EXPECT_EQ(bytes,
            "<Event Navy=\"#000080\" Red=\"#FF0000\" Mixed=\"#563412\" None=\"#FFFF1FFF\" "
            "No=\"F\" Yes=\"T\" BU=\"BU\" All=\"BIUS\" Half=\"12.5\" Eighth=\".125\" "
            "Minus=\"-3\" Round=\"1235\" D=\"    1.5000000000\" I=\"-42\" I64=\"5000000000\" "
            "Side=\"R\" K=\"2\" C=\"&Q2;\" Amp=\"&\" T=\"Vellomar\xAE &f1;&10; &#917;\" "
            "Guard=\"a&Q2;b&LT;&13;&10;\" E=\"Q&A &Q2;Q3&Q2; &LT;/DocTab&GT;\">\r\n");
  EXPECT_TRUE(Prompted().isEmpty());
}

TEST_F(XmlOut, FirstStructuralWarningIsShownOnceAndItsCommentHidesNoElement) {
  int errors = 0;
  const QByteArray bytes = Written([&](TvlXmlOut &out) {
    out.Insert_Attribute("A", 1);
    out.Insert_Attribute("B", 2);
    WriteFontsBlock(out);
    errors = out.ErrorCount();
  });
  EXPECT_EQ(errors, 2);
  EXPECT_EQ(Prompted(), QStringList{u"Warning: Floating attribute: A"_s});
  EXPECT_EQ(bytes.count("<!--"), 1);
  EXPECT_TRUE(bytes.startsWith("<!--Warning: Floating attribute: A-->\r\n")) << bytes.data();

  TvlXmlIn in;
  QString problem;
  ASSERT_TRUE(in.Bytes_Open(bytes, u"memory.vl"_s, problem));
  int fonts = 0;
  for (; !in.EndOfFile(); in.NextRecognizedTag()) {
    if (in.CurrentTag() != xtFont_) continue;
    int index = -1;
    EXPECT_TRUE(in.Get("Index", index));
    EXPECT_EQ(index, fonts++);
  }
  EXPECT_EQ(fonts, 3);
}

TEST_F(XmlOut, EachMisuseOfTheCallingOrderIsCountedAsAWarning) {
  using TWrite = std::function<void(TvlXmlOut &)>;
  const struct {
    TWrite Write;
    const char *FirstWarning;
    int Count;
  } rows[] = {
      {[](TvlXmlOut &o) {
         o.Insert_TagOpenForAttributes(xtFontsBegin);
         o.Insert_TagClose_NoMoreAttributes();
       },
       "Warning: Unexpected close bracket without NL.", 1},
      {[](TvlXmlOut &o) { o.Insert_TagClose_NoMoreAttributes(); }, "Warning: Unexpected close tag.",
       1},
      {[](TvlXmlOut &o) {
         o.Insert_TagOpenForAttributes(xtFont_);
         o.Insert_TagWithoutAttributes(xtFontsEnd);
         o.Insert_TagClose_NoMoreAttributes();
       },
       "Warning: Improperly nested tag", 1},
      {[](TvlXmlOut &o) { o.Insert_TagWithoutAttributes(xtFont_); },
       "Warning: Tag should be closed", 1},
      {[](TvlXmlOut &o) {
         o.Insert_TagOpenForAttributes(xtFont_);
         o.Insert_TagOpenForAttributes(xtText_);
         o.Insert_Attribute("N", 1);
         o.Insert_TagClose_NoMoreAttributes();
         o.Insert_TagClose_NoMoreAttributes();
       },
       "Warning: Floating attribute: N", 2},
  };
  for (const auto &row : rows) {
    TTestEnvironment::TestPrompts().Clear();
    int count = 0;
    const QByteArray bytes = Written([&](TvlXmlOut &out) {
      row.Write(out);
      count = out.ErrorCount();
    });
    EXPECT_EQ(count, row.Count) << row.FirstWarning;
    EXPECT_EQ(Prompted(), QStringList{QString::fromLatin1(row.FirstWarning)});
    // The comment always stands on a line of its own.
    const qsizetype comment = bytes.indexOf("<!--");
    ASSERT_GE(comment, 0) << row.FirstWarning;
    EXPECT_TRUE(comment == 0 || bytes.at(comment - 1) == '\n') << bytes.data();
  }

  TTestEnvironment::TestPrompts().Clear();
  EXPECT_EQ(TvlXmlOut::TagToStr(xtFlag_Done), QString());
  EXPECT_EQ(Prompted(), QStringList{u"Warning: Unimplemented XML Tag"_s});
  EXPECT_EQ(TvlXmlOut::TagToStr(xtInsetAnchor_), u"<Anchor"_s);
}

TEST_F(XmlOut, OpeningFailsQuietlyForAnEmptyPathAndWithAReportWhenTheFileCannotBeMade) {
  TCapturedErrorLog log;
  TFreshFolder folder;
  TvlXmlOut out;
  EXPECT_FALSE(out.File_OpenForRewritingOrDoErrorDialogs(QString()));
  EXPECT_TRUE(log.Text().isEmpty());

  const QString missingFolder = folder.File(u"missing/x.vl"_s);
  for (const QString &path : {folder.Path(), missingFolder}) {
    EXPECT_FALSE(out.File_OpenForRewritingOrDoErrorDialogs(path));
    EXPECT_FALSE(out.ErrorString().isEmpty());
    EXPECT_TRUE(log.Text().contains(u"This file can not be opened for writing:\n\n"_s + path))
        << log.Text().toStdString();
  }
  EXPECT_FALSE(QFileInfo::exists(missingFolder));
  EXPECT_TRUE(Prompted().isEmpty());
}

TEST_F(XmlOut, AFailedWriteOrCommitLeavesTheOldFileAsItWas) {
  const struct {
    TFailingTarget::TFailAt At;
    qsizetype FailAfter;
    qsizetype ChunkSize;
  } rows[] = {{TFailingTarget::faWrite, 0, 1 << 20},
              {TFailingTarget::faWrite, 100, 16},
              {TFailingTarget::faCommit, 0, 1 << 20},
              {TFailingTarget::faCommit, 0, 7}};
  for (const auto &row : rows) {
    TFreshFolder folder;
    const QString path = folder.File(u"Notes.vl"_s);
    WriteAllBytes(path, "<BoundNotes old>\r\n");
    TvlXmlOut out(std::make_unique<TFailingTarget>(row.At, row.FailAfter));
    out.SetChunkSize(row.ChunkSize);
    ASSERT_TRUE(out.File_OpenForRewritingOrDoErrorDialogs(path));
    for (int i = 0; i < 20; ++i) WriteFontsBlock(out);
    EXPECT_FALSE(out.File_Close());
    EXPECT_FALSE(out.ErrorString().isEmpty());
    EXPECT_EQ(ReadAllBytes(path), "<BoundNotes old>\r\n");
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{u"Notes.vl"_s});
  }
}

TEST_F(XmlOut, AFileTooLargeForTheDiskLeavesTheOldFileAsItWas) {
  // A real write error from the system: a file size limit, as a full disk would give.
  TFreshFolder folder;
  const QString path = folder.File(u"Notes.vl"_s);
  WriteAllBytes(path, "<BoundNotes old>\r\n");
  auto full = std::make_unique<TFullDisk>(4096);
  ASSERT_TRUE(full->Active());
  bool closed = true;
  {
    TvlXmlOut out;
    out.SetChunkSize(1000);
    if (out.File_OpenForRewritingOrDoErrorDialogs(path)) {
      for (int i = 0; i < 200; ++i) WriteFontsBlock(out);
      closed = out.File_Close();
    }
  }
  // Only slightly too large: every byte still sits in the file's buffer when the writer closes.
  bool closedSmall = true;
  {
    TvlXmlOut out;
    if (out.File_OpenForRewritingOrDoErrorDialogs(path)) {
      for (int i = 0; i < 60; ++i) WriteFontsBlock(out);  // about 7 kB
      closedSmall = out.File_Close();
    }
  }
  full.reset();
  EXPECT_FALSE(closed);
  EXPECT_FALSE(closedSmall);
  EXPECT_EQ(ReadAllBytes(path), "<BoundNotes old>\r\n");
}

TEST_F(XmlOut, OnlyASuccessfulCloseReplacesTheFile) {
  TFreshFolder folder;
  const QString path = folder.File(u"Notes.vl"_s);
  WriteAllBytes(path, "old\r\n");
  {
    TvlXmlOut abandoned;
    ASSERT_TRUE(abandoned.File_OpenForRewritingOrDoErrorDialogs(path));
    WriteFontsBlock(abandoned);
  }
  EXPECT_EQ(ReadAllBytes(path), "old\r\n");

  const QByteArray expected = Written([](TvlXmlOut &out) { WriteFontsBlock(out); });
  for (qsizetype chunk : {qsizetype(1), qsizetype(5), qsizetype(1) << 20}) {
    TvlXmlOut out;
    out.SetChunkSize(chunk);
    ASSERT_TRUE(out.File_OpenForRewritingOrDoErrorDialogs(path));
    WriteFontsBlock(out);
    EXPECT_EQ(ReadAllBytes(path), "old\r\n");  // nothing shows before the close
    EXPECT_TRUE(out.File_Close());
    EXPECT_FALSE(out.IsOpen());
    EXPECT_EQ(ReadAllBytes(path), expected);
    WriteAllBytes(path, "old\r\n");
  }
}
