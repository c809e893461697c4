// vlnotes events as its users run it: the bookmarks of a binder-like file in time order, the
// lines it could not read, and files without a block.

#include "vlEventsTestSupport.h"
#include "vlNotesToolRun.h"

#include "vl09_XmlOut.h"

#include <gtest/gtest.h>

#include <QFile>

#include <sys/stat.h>

namespace {

class NotesEventsToolTest : public EventsRig {};

}  // namespace

TEST_F(NotesEventsToolTest, ListsBookmarksInTimeOrderAndSaysWhatItCouldNotRead) {
  M.AddLabelBookmark(At(14, 0, 1.5), QStringLiteral("Call \"Bob\"\nlater"));
  M.AddNumberedBookmark(2, At(9, 30));
  M.AddTypingEvent(At(9, 0), QStringLiteral("x"));
  M.AddEvent(koeWingDings3, QChar(u'J'), At(12, 0), {});
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("binder.vl"));
  WriteAllBytes(path, "<BoundNotes Version=\"1\">\r\n" + SavedBlock() + "</BoundNotes>\r\n");
  RRun run = RunTool({QStringLiteral("events"), path});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out,
            QStringLiteral("2009-09-03 09:30:00.000  Marker      2  \n"
                           "2009-09-03 12:00:00.000  WingDings3  J  \n"
                           "2009-09-03 14:00:01.500  Label          Call \"Bob\"^Jlater\n"));

  WriteAllBytes(path,
                "<OtherEvents>\r\n<Event K=\"Marker\" W=\"x\">\r\n"
                "<Event K=\"Label\" W=\"40059.5\" T=\"ok\">\r\n</OtherEvents>\r\n");
  run = RunTool({QStringLiteral("events"), path});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Out, QStringLiteral("2009-09-03 12:00:00.000  Label       1  ok\n"));
  EXPECT_TRUE(run.Err.contains(QStringLiteral("Line No. 2"))) << run.Err.toStdString();

  // A block that lost its header line: its events are listed, and the loss is said.
  WriteAllBytes(path,
                "<BoundNotes Version=\"1\">\r\n<Event K=\"Label\" W=\"40059.5\" T=\"ok\">\r\n"
                "</OtherEvents>\r\n</BoundNotes>\r\n");
  run = RunTool({QStringLiteral("events"), path});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_EQ(run.Out, QStringLiteral("2009-09-03 12:00:00.000  Label       1  ok\n"));
  EXPECT_TRUE(run.Err.contains(QStringLiteral("The <OtherEvents> line is missing")))
      << run.Err.toStdString();

  WriteAllBytes(path, "<BoundNotes Version=\"1\">\r\n</BoundNotes>\r\n");
  run = RunTool({QStringLiteral("events"), path});
  EXPECT_EQ(run.Exit, 0);
  EXPECT_TRUE(run.Out.isEmpty());
  EXPECT_TRUE(run.Err.contains(QStringLiteral("no OtherEvents block")));
  EXPECT_EQ(RunTool({QStringLiteral("events"), folder.File(QStringLiteral("missing.vl"))}).Exit, 3);

  // A folder or a pipe is refused at once, saying what it is rather than that it is missing.
  const QString pipe = folder.File(QStringLiteral("pipe.vl"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
  for (const QString &odd : {folder.Path(), pipe}) {
    SCOPED_TRACE(odd.toStdString());
    run = RunTool({QStringLiteral("events"), odd});
    EXPECT_EQ(run.Exit, 3);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("not a regular file"))) << run.Err.toStdString();
  }
}
