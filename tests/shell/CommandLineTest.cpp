// The command line and the request a later start hands to the running program: what is taken,
// what is dropped, and that the reader never needs more than what has arrived.

#include "vlCommandLine.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

}  // namespace

TEST(CommandLine, FilesAreMadeAbsoluteAndOptionsRecognised) {
  const RCommandLine line = ParseCommandLine(
      {S("notes/B.vl"), S("--quit-after-start"), S("/x/../y/T.vlTab"), S("--"), S("--odd.vl")},
      S("/home/u"));
  EXPECT_TRUE(line.Error.isEmpty());
  EXPECT_TRUE(line.QuitAfterStart);
  EXPECT_FALSE(line.Help);
  EXPECT_EQ(line.Files,
            (QStringList{S("/home/u/notes/B.vl"), S("/y/T.vlTab"), S("/home/u/--odd.vl")}));

  EXPECT_EQ(ParseCommandLine({S("--bogus"), S("a.vl")}, S("/")).Error,
            S("Unknown option: --bogus"));
  EXPECT_TRUE(ParseCommandLine({S("-h")}, S("/")).Help);
  EXPECT_TRUE(ParseCommandLine({S("--version")}, S("/")).Version);

  const char *help[] = {"vellomar", "a.vl", "--help"};
  const char *fileNamedHelp[] = {"vellomar", "--", "--help"};
  const char *none[] = {"vellomar", "a.vl"};
  EXPECT_TRUE(AsksForHelpOrVersion(3, help));
  EXPECT_FALSE(AsksForHelpOrVersion(3, fileNamedHelp));
  EXPECT_FALSE(AsksForHelpOrVersion(2, none));
}

TEST(CommandLine, GivenFileKindByExtensionThenFirstLine) {
  TFreshFolder folder;
  const auto file = [&](const char *Name, const QByteArray &Content) {
    WriteAllBytes(folder.File(S(Name)), Content);
    return folder.File(S(Name));
  };
  struct RCase {
    QString Path;
    TGivenFileKind Expected;
  } cases[] = {
      {file("a.vlTab", "<BoundNotes Version=\"2\">\r\n"), TGivenFileKind::gfTab},
      {file("b.VL", "<NotesDoc Version=\"2\">\r\n"), TGivenFileKind::gfBinder},
      {file("c.vlBackup2", ""), TGivenFileKind::gfBinder},
      {file("tab without extension", "<NotesDoc Version=\"2\">\r\n"), TGivenFileKind::gfTab},
      {file("binder without extension", "<BoundNotes Version=\"2\">\r\n"),
       TGivenFileKind::gfBinder},
      {file("something else", "hello"), TGivenFileKind::gfBinder},
      {folder.File(S("missing")), TGivenFileKind::gfBinder},
  };
  for (const RCase &c : cases) {
    SCOPED_TRACE(c.Path.toStdString());
    EXPECT_EQ(GivenFileKind(c.Path), c.Expected);
  }
}

TEST(OpenRequest, RoundTripsAnyPathByteByByte) {
  const QStringList files{S("/home/u/Notes 1.vl"), S("/tmp/per%25cent #1?.vlTab"),
                          QString::fromUtf16(u"/home/u/\u00E9t\u00E9/\u0416.vl")};
  const QByteArray message = EncodeOpenRequest(files);
  TOpenRequestReader reader;
  for (qsizetype i = 0; i + 1 < message.size(); ++i)
    ASSERT_EQ(reader.Feed(message.mid(i, 1)), TOpenRequestReader::rsIncomplete) << i;
  EXPECT_EQ(reader.Feed(message.right(1)), TOpenRequestReader::rsComplete);
  EXPECT_EQ(reader.Files(), files);
  EXPECT_TRUE(reader.Dropped().isEmpty());
}

TEST(OpenRequest, BadLinesAreDroppedAndBadRequestsRejected) {
  struct RCase {
    const char *Name;
    QByteArray Bytes;
    TOpenRequestReader::TState State;
    QStringList Files;
    int Dropped;
  } cases[] = {
      {"the earlier raise", "raise\n", TOpenRequestReader::rsComplete, {}, 0},
      {"no files", "open 1\nend\n", TOpenRequestReader::rsComplete, {}, 0},
      {"relative, empty, control and non-UTF-8 paths dropped",
       "open 1\nB.vl\n\n/a%01b\n/x%FF\n/ok.vl\nend\n",
       TOpenRequestReader::rsComplete,
       {S("/ok.vl")},
       4},
      {"garbage", "GET / HTTP/1.0\r\n", TOpenRequestReader::rsRejected, {}, 1},
      {"unfinished", "open 1\n/a.vl\n", TOpenRequestReader::rsIncomplete, {S("/a.vl")}, 0},
      {"an endless line",
       "open 1\n/" + QByteArray(3 * MaxRequestPathBytes + 1, 'a'),
       TOpenRequestReader::rsRejected,
       {},
       1},
      {"a path too long",
       "open 1\n/" + QByteArray(MaxRequestPathBytes, 'a') + "\nend\n",
       TOpenRequestReader::rsComplete,
       {},
       1},
  };
  for (const RCase &c : cases) {
    SCOPED_TRACE(c.Name);
    TOpenRequestReader reader;
    EXPECT_EQ(reader.Feed(c.Bytes), c.State);
    EXPECT_EQ(reader.Files(), c.Files);
    EXPECT_EQ(reader.Dropped().size(), c.Dropped) << reader.Dropped().join(S("; ")).toStdString();
  }

  // More files than the bound: the first ones are kept, the others dropped; more bytes than the
  // bound: all dropped.
  QByteArray many = "open 1\n";
  for (int i = 0; i < MaxRequestFiles + 3; ++i) many += "/f" + QByteArray::number(i) + ".vl\n";
  TOpenRequestReader bounded;
  EXPECT_EQ(bounded.Feed(many + "end\n"), TOpenRequestReader::rsComplete);
  EXPECT_EQ(bounded.Files().size(), MaxRequestFiles);
  EXPECT_EQ(bounded.Dropped().size(), 3);
  TOpenRequestReader flooded;
  const QByteArray line = "/" + QByteArray(MaxRequestPathBytes - 1, 'a') + "\n";
  TOpenRequestReader::TState state = flooded.Feed("open 1\n");
  while (state == TOpenRequestReader::rsIncomplete) state = flooded.Feed(line);
  EXPECT_EQ(state, TOpenRequestReader::rsRejected);
  EXPECT_TRUE(flooded.Files().isEmpty());
}
