// The vlnotes tool run as its users run it, on files written by the document code: what it
// prints, and the exit code and message for every kind of file it cannot fully read.

#include "vlNotesToolRun.h"
#include "vl_Document.h"

#include "vlTestSupport.h"
#include "vldTestDoc.h"

#include <gtest/gtest.h>
#include <QFile>

#include <sys/stat.h>

TEST(NotesToolTest, ReadsChecksAndResavesWhatTheDocumentWrites) {
  TFreshFolder folder;
  TDocument doc;
  BuildDocument(doc, {"first line", "second\tline\r"});
  const QString tab = folder.File(QStringLiteral("notes.vlTab"));
  ASSERT_TRUE(doc.IO_Save(tab, QStringLiteral("Tool"), 0));

  RRun run = RunTool({QStringLiteral("text"), tab});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  // Paragraph k starts k x 1000 seconds after 2023-03-15 12:00:00, local time.
  EXPECT_EQ(run.Out, QStringLiteral("2023-03-15 12:00:00  first line\n"
                                    "2023-03-15 12:16:40  second\tline^M\n"));

  run = RunTool({QStringLiteral("check"), tab});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_TRUE(run.Out.contains(QStringLiteral("no problems"))) << run.Out.toStdString();

  const QString again = folder.File(QStringLiteral("again.vlTab"));
  run = RunTool({QStringLiteral("resave"), tab, again});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_EQ(WithoutWhenSaved(ReadAllBytes(again)), WithoutWhenSaved(ReadAllBytes(tab)));

  // A binder's tabs are read one after the other.
  TDocument other;
  BuildDocument(other, {"tab two"});
  const QByteArray binder = WriteToBytes([&](TvlXmlOut &Out) {
    Out.Insert_TagOpenForAttributes(xtBoundNotesBegin_);
    Out.Insert_Attribute("TabCount", 2);
    Out.Insert_TagClose_NoMoreAttributes();
    for (const TDocument *d : {&doc, &other}) {
      Out.Insert_TagOpenForAttributes(xtDocTabBegin_);
      Out.Insert_AttributeE("TabTitle", d == &doc ? QStringLiteral("One") : QStringLiteral("Two"));
      Out.Insert_TagClose_NoMoreAttributes();
      d->IO_SaveEmbedded(Out);
      Out.Insert_TagWithoutAttributes(xtDocTabEnd);
    }
    Out.Insert_TagWithoutAttributes(xtOtherEventsBegin);
    Out.Insert_TagWithoutAttributes(xtOtherEventsEnd);
    Out.Insert_TagWithoutAttributes(xtBoundNotesEnd);
  });
  const QString binderPath = folder.File(QStringLiteral("notes.vl"));
  WriteAllBytes(binderPath, binder);
  run = RunTool({QStringLiteral("text"), binderPath});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_TRUE(run.Out.startsWith(QStringLiteral("# Tab 1: One\n2023-03-15 12:00:00  first line\n")))
      << run.Out.toStdString();
  EXPECT_TRUE(run.Out.endsWith(QStringLiteral("# Tab 2: Two\n2023-03-15 12:00:00  tab two\n")));
}

TEST(NotesToolTest, FilesItCannotFullyReadGiveAMessageAndTheirExitCode) {
  TFreshFolder folder;
  TDocument doc;
  BuildDocument(doc, {"kept", "lost"});
  const QString tab = folder.File(QStringLiteral("whole.vlTab"));
  ASSERT_TRUE(doc.IO_Save(tab, QStringLiteral("T"), 0));
  const QByteArray whole = ReadAllBytes(tab);
  const QString cut = folder.File(QStringLiteral("cut.vlTab"));
  WriteAllBytes(cut, whole.left(whole.indexOf("<P ID=\"1\">")));
  const QString binary = folder.File(QStringLiteral("old.vl"));
  WriteAllBytes(binary, QByteArray("\xDC\x05\x01\x00 binary", 11));
  const QString text = folder.File(QStringLiteral("shopping.txt"));
  WriteAllBytes(text, "milk\neggs\n");

  struct {
    QStringList Arguments;
    int Exit;
    const char *Message;  // in standard error, or in standard output for check
  } rows[] = {
      {{QStringLiteral("check"), cut}, 1, "appears incomplete"},
      {{QStringLiteral("text"), cut}, 1, "appears incomplete"},
      {{QStringLiteral("check"), folder.File(QStringLiteral("none.vlTab"))}, 3, "no such file"},
      {{QStringLiteral("text"), folder.Path()}, 3, "is not a regular file"},
      {{QStringLiteral("check"), binary}, 4, ""},
      {{QStringLiteral("check"), text}, 4, "not a notes file"},
      {{QStringLiteral("resave"), cut, cut}, 1, "not written over the damaged original"},
      {{QStringLiteral("resave"), tab, folder.File(QStringLiteral("no/such/folder.vlTab"))},
       5,
       "cannot be written"},
      {{QStringLiteral("text")}, 2, "usage"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Arguments.join(QLatin1Char(' ')).toStdString());
    const RRun run = RunTool(row.Arguments);
    EXPECT_EQ(run.Exit, row.Exit) << run.Err.toStdString();
    EXPECT_TRUE((run.Err + run.Out).contains(QString::fromLatin1(row.Message)))
        << run.Err.toStdString();
  }
  // Paths that are no regular file are refused at once: reading a FIFO would wait for a writer,
  // and a device may never end. A generous limit still tells a refusal from a hang.
  const QString fifo = folder.File(QStringLiteral("pipe.vlTab"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  for (const QString &path : {fifo, folder.Path(), QStringLiteral("/dev/zero")}) {
    for (const char *command : {"check", "text"}) {
      SCOPED_TRACE(path.toStdString() + " " + command);
      const RRun run = RunTool({QString::fromLatin1(command), path}, 60'000);
      EXPECT_EQ(run.Exit, 3) << run.Err.toStdString();
      EXPECT_TRUE(run.Err.contains(QStringLiteral("is not a regular file")));
    }
  }

  // What precedes the cut is still shown, and the damaged file was not touched.
  EXPECT_EQ(RunTool({QStringLiteral("text"), cut}).Out.left(30),
            QStringLiteral("2023-03-15 12:00:00  kept\n"));
  EXPECT_EQ(ReadAllBytes(cut), whole.left(whole.indexOf("<P ID=\"1\">")));
}

// A damaged file as users meet it: check lists every problem of the load (however many; the
// error log keeps only a few), and text still shows every paragraph the damage did not touch.
TEST(NotesToolTest, DamagedVariantsListTheirProblemsAndShowEveryUndamagedParagraph) {
  TFreshFolder folder;
  TDocument doc;
  BuildDocument(doc, {"alpha", "beta", "gamma"});
  const QString whole = folder.File(QStringLiteral("whole.vlTab"));
  ASSERT_TRUE(doc.IO_Save(whole, QStringLiteral("T"), 0));
  const QByteArray bytes = ReadAllBytes(whole);
  const QByteArray firstEnd = "</P>\r\n";
  const qsizetype afterFirst = bytes.indexOf(firstEnd) + firstEnd.size();
  const QByteArray textLine =
      bytes.mid(bytes.indexOf("<Text "),
                bytes.indexOf("\r\n", bytes.indexOf("<Text ")) + 2 - bytes.indexOf("<Text "));
  struct {
    const char *Name;
    QByteArray Bytes;
    const char *Problem;
  } rows[] = {
      {"doubled end of paragraph", QByteArray(bytes).insert(afterFirst, firstEnd), "skipped"},
      {"missing P line", QByteArray(bytes).replace("<P ID=\"1\">\r\n", ""),
       "A paragraph without its P line"},
      {"doubled Text line", QByteArray(bytes).replace(textLine, textLine + textLine),
       "A second Text line, skipped"},
      {"stray Anchor", QByteArray(bytes).insert(afterFirst, "<Anchor x=\"3\">\r\n"),
       "An Anchor line outside its paragraph"},
      {"no Sections header", QByteArray(bytes).replace("<Sections>\r\n", ""),
       "The <Sections> line is missing"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Name);
    const QString path = folder.File(QString::fromLatin1(row.Name) + QStringLiteral(".vlTab"));
    WriteAllBytes(path, row.Bytes);
    RRun run = RunTool({QStringLiteral("check"), path});
    EXPECT_EQ(run.Exit, 1);
    EXPECT_TRUE(run.Out.contains(QString::fromLatin1(row.Problem))) << run.Out.toStdString();
    run = RunTool({QStringLiteral("text"), path});
    EXPECT_EQ(run.Exit, 1);
    for (const char *paragraph : {"  alpha\n", "  beta\n", "  gamma\n"})
      EXPECT_TRUE(run.Out.contains(QString::fromLatin1(paragraph))) << run.Out.toStdString();
  }

  // Many damaged lines: each is listed, not only the first few the error log would keep.
  QByteArray many = bytes;
  for (int i = 0; i < 40; ++i) many.insert(afterFirst, "</P>\r\n");
  const QString manyPath = folder.File(QStringLiteral("many.vlTab"));
  WriteAllBytes(manyPath, many);
  const RRun run = RunTool({QStringLiteral("check"), manyPath});
  EXPECT_EQ(run.Out.count(QStringLiteral("skipped")), 40) << run.Out.toStdString();
}
