// The exporter on the shared test binder: golden files of the text formats, cue times against
// the moments the test typed, the HTML page's escaping and its recordings (and, when Chromium is
// there, a click in a real browser), and the notes tool's export with its exit codes.

#include "vlExportTestSupport.h"
#include "vlNotesToolRun.h"
#include "vlTestSupport.h"

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyActiveSound.h"
#include "vl09_XmlOut.h"
#include "vlAudioTestSupport.h"
#include "vl_Document.h"
#include "vldGraphic.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtEndian>

#include <sndfile.h>

namespace {

QString Golden(const QString &Name) { return QStringLiteral(VL_EXPORT_DATA_DIR "/") + Name; }

// Compares with the golden file; VL_UPDATE_GOLDEN=1 writes it instead (then look at the diff).
void ExpectGolden(const QString &Text, const QString &Name) {
  const QString path = Golden(Name);
  if (qEnvironmentVariableIsSet("VL_UPDATE_GOLDEN")) WriteAllBytes(path, Text.toUtf8());
  EXPECT_EQ(Text.toStdString(), QString::fromUtf8(ReadAllBytes(path)).toStdString())
      << Name.toStdString();
}

struct TExportRig {
  TFreshFolder Folder;
  RTestBinder Binder;
  TvlMediaFoldersInfo Folders;
  QString Recording;

  explicit TExportRig(bool Adpcm = false) {
    Recording = WriteTestRecording(Audio(), Adpcm);
    Folders.AddAudioFolder(Audio());
    Folders.SetMeasureOnly(true);
  }
  QString Audio() const { return Folder.File(QStringLiteral("Audio")); }
  QString Text(TExportFormat Format, int Tab = -1, QStringList *Notes = nullptr) {
    TvlExportRecordings recordings(&Folders);
    RExportRequest request;
    request.Format = Format;
    request.Title = QStringLiteral("Seminar");
    request.Tab = Tab;
    request.OutPath = Folder.File(QStringLiteral("out/notes.") + ExportFormatExtension(Format));
    return ExportText(ExportTabsOf(Binder.Tabs), ExportBookmarksOf(Binder.Events), recordings,
                      request, Notes);
  }
};

// Cue lines of WebVTT ("." before the milliseconds) or SRT (","): start and text.
struct RCueRead {
  std::int64_t Start = 0;
  std::int64_t End = 0;
  QString Text;
};

std::vector<RCueRead> ReadCues(const QString &Text) {
  static const QRegularExpression timing(QStringLiteral(
      "^(\\d\\d):(\\d\\d):(\\d\\d)[.,](\\d\\d\\d) --> (\\d\\d):(\\d\\d):(\\d\\d)[.,](\\d\\d\\d)$"));
  std::vector<RCueRead> cues;
  const QStringList lines = Text.split(u'\n');
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
    const QRegularExpressionMatch m = timing.match(lines[i]);
    if (!m.hasMatch()) continue;
    const auto ms = [&](int First) {
      return ((m.captured(First).toLongLong() * 60 + m.captured(First + 1).toLongLong()) * 60 +
              m.captured(First + 2).toLongLong()) *
                 1000 +
             m.captured(First + 3).toLongLong();
    };
    // The cue's lines, up to the blank line after them, joined again.
    QStringList text;
    for (qsizetype j = i + 1; j < lines.size() && !lines[j].isEmpty(); ++j) text.append(lines[j]);
    cues.push_back({ms(1), ms(5), text.join(u' ')});
  }
  return cues;
}

// The moment the test typed the first character of Piece, found in its paragraph.
std::int64_t TypedAt(const QString &Piece) {
  for (const RTestTab &tab : TestTabs())
    for (const RTestParagraph &p : tab.Paragraphs) {
      const QString text = p.Text().simplified();
      const qsizetype at = text.indexOf(Piece);
      if (!Piece.isEmpty() && at >= 0) return p.AtMSecs + at * kCharStepMSecs;
    }
  return -1;
}

}  // namespace

TEST(Export, TextFormats_MatchTheirGoldenFiles) {
  TExportRig rig;
  for (const auto &[format, name] :
       {std::pair{efMarkdown, "notes.md"}, std::pair{efWebVTT, "notes.vtt"},
        std::pair{efSrt, "notes.srt"}, std::pair{efTsv, "notes.tsv"}}) {
    SCOPED_TRACE(name);
    ExpectGolden(rig.Text(format), QString::fromLatin1(name));
  }
  // One tab: its own paragraphs and the bookmarks nearest to them.
  ExpectGolden(rig.Text(efMarkdown, 1), QStringLiteral("questions-tab.md"));
}

TEST(Export, CueStarts_AreTheMomentsTypedMinusTheRecordingsStart_ToTheMillisecond) {
  TExportRig rig;
  for (const TExportFormat format : {efWebVTT, efSrt}) {
    SCOPED_TRACE(ExportFormatExtension(format).toStdString());
    QStringList notes;
    const QString text = rig.Text(format, -1, &notes);
    // Cues over 42 characters are on two lines, broken at the space nearest the middle.
    EXPECT_TRUE(text.contains(
        QStringLiteral("\nThe first sentence is here, and\nit is long enough to matter.\n")));
    const std::vector<RCueRead> cues = ReadCues(text);
    // Six paragraphs inside the recording, the long one in two pieces (its second and third
    // sentences fit one cue); the paragraph typed before the recording began is left out, and
    // said so.
    ASSERT_EQ(cues.size(), 7u);
    EXPECT_EQ(notes.size(), 1);
    std::int64_t previous = -1;
    for (const RCueRead &cue : cues) {
      SCOPED_TRACE(cue.Text.toStdString());
      QString plain = cue.Text;
      plain.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
          .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
          .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
      EXPECT_EQ(cue.Start, TypedAt(plain));
      EXPECT_GT(cue.End, cue.Start);
      EXPECT_LE(cue.End - cue.Start, 7000);
      EXPECT_GE(cue.Start, previous);
      previous = cue.Start;
    }
    // A cue ends where the next begins when that comes before its reading time is up.
    EXPECT_EQ(cues[0].End, 1500 + 29 * 1000 / 15);  // the reading time of 29 characters
    EXPECT_EQ(cues[1].End, cues[1].Start + 1500);   // 20 characters, next cue far away
    EXPECT_EQ(cues[2].End, cues[3].Start);          // sentences follow each other closely
    EXPECT_EQ(cues[2].Text,
              QStringLiteral("The first sentence is here, and it is long enough to matter."));
    EXPECT_EQ(cues[3].Text,
              QStringLiteral("The second follows with a few more words. A third ends it!"));
  }
}

TEST(Export, LabelsForAudioEditors_HoldBookmarksLabelsAndParagraphStartsInSeconds) {
  TExportRig rig;
  const QStringList lines = rig.Text(efTsv).split(u'\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 9);  // 3 bookmarks, 6 paragraphs within the recording
  EXPECT_EQ(lines[0], QStringLiteral("1.500000\t1.500000\tOpening bold words and plain."));
  EXPECT_EQ(lines[1], QStringLiteral("4.000000\t4.000000\tBookmark 1"));
  EXPECT_TRUE(lines.contains(QStringLiteral("12.000000\t12.000000\tKey <point> & more")));
  for (const QString &line : lines) EXPECT_EQ(line.count(u'\t'), 2) << line.toStdString();
}

TEST(Export, Markdown_KeepsEmphasis_PutsBookmarksAtTheirMoments_EscapesItsOwnSigns) {
  TExportRig rig;
  const QString md = rig.Text(efMarkdown);
  EXPECT_TRUE(md.contains(QStringLiteral("[10:00:01] Opening **bold words** and plain.")));
  EXPECT_TRUE(md.contains(QStringLiteral("[10:00:20] *日本語のテキスト。*")));
  EXPECT_TRUE(md.contains(QStringLiteral("[10:00:30] <u>Underlined</u> question?")));
  EXPECT_TRUE(md.contains(QStringLiteral("Привет, мир &amp; \\<tags\\>")));
  // Bookmark 1 (10:00:04) between the first two paragraphs, the label after the long one starts.
  const qsizetype bookmark = md.indexOf(QStringLiteral("- [10:00:04] Bookmark 1"));
  EXPECT_GT(bookmark, md.indexOf(QStringLiteral("Opening")));
  EXPECT_LT(bookmark, md.indexOf(QStringLiteral("Привет")));
  EXPECT_GT(md.indexOf(QStringLiteral("- [10:00:12] Key \\<point\\> &amp; more")),
            md.indexOf(QStringLiteral("The first sentence")));
}

TEST(Export, HtmlPage_EscapesText_RefersToPlayableRecordings_ConvertsAdpcmBesideIt) {
  for (const bool adpcm : {false, true}) {
    SCOPED_TRACE(adpcm ? "ADPCM recording" : "PCM recording");
    TExportRig rig(adpcm);
    TvlExportRecordings recordings(&rig.Folders);
    RExportRequest request;
    request.Format = efHtml;
    request.Title = QStringLiteral("Seminar <1> & 2");
    request.OutPath = rig.Folder.File(QStringLiteral("page/notes.html"));
    QDir().mkpath(rig.Folder.File(QStringLiteral("page")));
    const RExportResult result = ExportNotes(
        ExportTabsOf(rig.Binder.Tabs), ExportBookmarksOf(rig.Binder.Events), recordings, request);
    ASSERT_TRUE(result.Written) << result.Error.toStdString();
    const QString page = QString::fromUtf8(ReadAllBytes(request.OutPath));
    EXPECT_TRUE(page.contains(QStringLiteral("<title>Seminar &lt;1&gt; &amp; 2</title>")));
    EXPECT_TRUE(page.contains(QStringLiteral("Привет, мир &amp; &lt;tags&gt;")));
    EXPECT_TRUE(page.contains(QStringLiteral("مرحبا بالعالم")));
    EXPECT_TRUE(page.contains(QStringLiteral("<b>bold words</b>")));
    EXPECT_TRUE(page.contains(QStringLiteral("Key &lt;point&gt; &amp; more")));
    EXPECT_FALSE(page.contains(QStringLiteral("<tags>")));
    // Nothing from elsewhere.
    EXPECT_FALSE(page.contains(QStringLiteral("src=\"http")));
    EXPECT_FALSE(page.contains(QStringLiteral("<link")));
    EXPECT_FALSE(page.contains(QStringLiteral("<script src")));
    // The third paragraph's time plays from 9 s; the paragraph before the recording has no link.
    EXPECT_TRUE(page.contains(QStringLiteral("data-r=\"0\" data-at=\"9.000\"")));
    EXPECT_TRUE(page.contains(QStringLiteral("<span class=\"t\">[09:59:55]</span>")));
    if (!adpcm) {
      EXPECT_EQ(result.Files, QStringList{request.OutPath});
      EXPECT_TRUE(page.contains(
          QStringLiteral("\"url\":\"../Audio/2024-03/2024-03-05%2010.00%2000.0%20%2840%29.wav\"")));
    } else {
      const QString copy = rig.Folder.File(QStringLiteral("page/notes 2024-03-05 10.00 00.0.wav"));
      EXPECT_EQ(result.Files, (QStringList{request.OutPath, copy}));
      EXPECT_TRUE(
          page.contains(QStringLiteral("\"url\":\"notes%202024-03-05%2010.00%2000.0.wav\"")));
      EXPECT_TRUE(BrowserPlaysAudioFile(copy));
      EXPECT_FALSE(BrowserPlaysAudioFile(rig.Recording));
      // Every sample frame is there, at the same rate: offsets into the copy are offsets into the
      // recording.
      SF_INFO a{}, b{};
      SNDFILE *fa = sf_open(QFile::encodeName(rig.Recording).constData(), SFM_READ, &a);
      SNDFILE *fb = sf_open(QFile::encodeName(copy).constData(), SFM_READ, &b);
      ASSERT_TRUE(fa && fb);
      EXPECT_EQ(a.frames, b.frames);
      EXPECT_EQ(a.samplerate, b.samplerate);
      sf_close(fa);
      sf_close(fb);
    }
  }
}

TEST(Export, SeveralRecordings_EachTimePlaysTheOneCoveringIt_SubtitlesTimedFromTheOneCoveringMost) {
  TExportRig rig;
  // A second recording from 10:00:28 to 10:00:48 overlaps the first one's end: at 10:00:30 and
  // 10:00:33 it has more left to play, so playback (and the page) takes it there.
  const QString second = rig.Audio() + QStringLiteral("/2024-03/2024-03-05 10.00 28.0 (20).wav");
  // Its sound lasts 40 s, but the catalogue (and playback) go by the 20 s of its name.
  ASSERT_TRUE(QFile::copy(rig.Recording, second));
  const QString page = rig.Text(efHtml);
  EXPECT_TRUE(page.contains(QStringLiteral("data-r=\"0\" data-at=\"9.000\"")));
  EXPECT_TRUE(page.contains(QStringLiteral("data-r=\"1\" data-at=\"2.000\"")));  // 10:00:30
  EXPECT_TRUE(page.contains(QStringLiteral("data-r=\"1\" data-at=\"5.000\"")));  // 10:00:33
  EXPECT_TRUE(page.contains(QStringLiteral("%2028.0%20%2820%29.wav")));
  // The first recording covers four paragraphs, the second two: cues are timed from the first.
  const std::vector<RCueRead> cues = ReadCues(rig.Text(efWebVTT));
  ASSERT_FALSE(cues.empty());
  EXPECT_EQ(cues.front().Start, 1500);
}

TEST(Export, ARecordingsClockRecord_MovesEveryTime_ExactlyAsPlaybackSeeks) {
  TSimMachine machine;
  TExportRig rig;
  // The sound card ran 0.1 % fast: a reading every second, its sound 1 ms further into the file
  // for each second of the wall clock.
  QByteArray vu;
  for (qint32 ms = 0; ms <= 40000; ms += 1000) {
    char record[8];
    qToLittleEndian<qint16>(1000, record);
    qToLittleEndian<qint16>(static_cast<qint16>(ms / 1000), record + 2);
    qToLittleEndian<qint32>(ms, record + 4);
    vu.append(record, 8);
  }
  WriteAllBytes(VuPathFor(rig.Recording), vu);

  const std::vector<RCueRead> cues = ReadCues(rig.Text(efWebVTT));
  ASSERT_EQ(cues.size(), 7u);
  EXPECT_EQ(cues[2].Start, 9009);
  EXPECT_EQ(cues[4].Start, 20020);
  EXPECT_TRUE(rig.Text(efHtml).contains(QStringLiteral("data-at=\"9.009\"")));
  EXPECT_TRUE(rig.Text(efTsv).startsWith(QStringLiteral("1.502000\t")));

  // The controller, finding and loading the same recording for the same moments, seeks to the
  // same milliseconds.
  TActiveSoundFm fm(machine.Sim, rig.Folders);
  ASSERT_TRUE(fm.AudioComponents_Initialize(isPlayer));
  DeliverEvents();
  TvlExportRecordings recordings(&rig.Folders);
  for (const std::int64_t ms : {1500, 5250, 9000, 12050, 20000, 33000, 39999}) {
    SCOPED_TRACE(ms);
    QString path;
    TDateTime began = 0;
    int into = 0, duration = 0;
    ASSERT_TRUE(
        fm.LoadAudioFileAndGetParametersFor(AtRecording(ms), 0, path, began, into, duration));
    std::int64_t offset = 0;
    ASSERT_EQ(recordings.Cover(AtRecording(ms), offset), 0);
    EXPECT_EQ(offset, into);
  }
}

TEST(Export, NoRecordingUnderTheNotes_SubtitlesRefused_PagesAndMarkdownStillWritten) {
  TFreshFolder folder;
  RTestBinder binder;
  TvlMediaFoldersInfo folders;
  folders.AddAudioFolder(folder.File(QStringLiteral("Audio")));
  TvlExportRecordings recordings(&folders);
  for (const TExportFormat format : {efMarkdown, efHtml, efWebVTT, efSrt, efTsv}) {
    SCOPED_TRACE(ExportFormatExtension(format).toStdString());
    RExportRequest request;
    request.Format = format;
    request.OutPath = folder.File(QStringLiteral("notes.") + ExportFormatExtension(format));
    const RExportResult result = ExportNotes(ExportTabsOf(binder.Tabs),
                                             ExportBookmarksOf(binder.Events), recordings, request);
    const bool timed = format == efWebVTT || format == efSrt || format == efTsv;
    EXPECT_EQ(result.Written, !timed);
    EXPECT_EQ(QFileInfo::exists(request.OutPath), !timed);
    if (timed) {
      EXPECT_EQ(result.Error, QStringLiteral("No recording covers the moments of these notes."));
    }
  }
}

TEST(Export, SmallTabWithoutMoments_KeepsItsParagraphsAndPictures) {
  // Typed without a recording, with text that looks like Markdown's own blocks, and a picture.
  TvlTabList tabs;
  TDocument &doc = *tabs.Add(QStringLiteral("Sketches")).Doc;
  const QStringList lines{QStringLiteral("- not a list"), QStringLiteral("3. not a count"),
                          QStringLiteral("# not a heading, *not* emphasis_")};
  for (int i = 0; i < lines.size(); ++i) {
    TParagraph &p = i == 0 ? *doc.Paragraph_FromSectionNum(0) : doc.Paragraph_Append();
    for (const QChar c : lines[i]) p.Char_Append(c, 0, RvlTimestamp{0.5, 0.5});  // no moment
  }
  TInsetHandle handle = -1;
  ASSERT_TRUE(
      doc.InsetsStorage.MakeNewGraphicAndGetHandle(doc.Paragraph_FromSectionNum(1), handle));
  doc.InsetsStorage.GetIfGraphic(handle)->JpegPathName = QStringLiteral("/pictures/board (1).jpg");
  TvlExportRecordings none(nullptr);
  RExportRequest request;
  request.Format = efMarkdown;
  ExpectGolden(ExportText(ExportTabsOf(tabs), {}, none, request), QStringLiteral("small.md"));
  request.Format = efHtml;
  const QString page = ExportText(ExportTabsOf(tabs), {}, none, request);
  EXPECT_TRUE(page.contains(
      QStringLiteral("<img alt=\"picture\" src=\"file:///pictures/board%20(1).jpg\">")));
  EXPECT_TRUE(page.contains(QStringLiteral("No recording covers these notes")));
}

TEST(Export, DialogFilterChoosesTheFormat) {
  const QStringList filters = ExportDialogFilters().split(QStringLiteral(";;"));
  ASSERT_EQ(filters.size(), 5);
  EXPECT_EQ(ExportFormatFromDialog(filters[1], QStringLiteral("x.md")), efHtml);
  EXPECT_EQ(ExportFormatFromDialog(filters[3], QString()), efSrt);
  EXPECT_EQ(ExportFormatFromDialog(QString(), QStringLiteral("/a/b.vtt")), efWebVTT);
  EXPECT_EQ(ExportFormatFromDialog(QString(), QStringLiteral("/a/b")), efMarkdown);
}

// ---------------------------------------------------------------------------------------------
// The notes tool

TEST(ExportTool, WritesEveryFormat_AndAnswersTheToolsExitCodes) {
  TExportRig rig;
  const QString binder = rig.Folder.File(QStringLiteral("Seminar.vl"));
  {
    TvlNotebookBinder writer(rig.Binder.Tabs, &rig.Binder.Events);
    ASSERT_TRUE(writer.Binder_Save(binder).isEmpty());
  }
  const QString audio = rig.Audio();
  const auto out = [&](const QString &Name) { return rig.Folder.File(Name); };
  for (const QString &format : {QStringLiteral("md"), QStringLiteral("vtt"), QStringLiteral("srt"),
                                QStringLiteral("tsv"), QStringLiteral("html")}) {
    SCOPED_TRACE(format.toStdString());
    const RRun run = RunTool({QStringLiteral("export"), binder, QStringLiteral("--format"), format,
                              QStringLiteral("--audio"), audio, QStringLiteral("-o"),
                              out(QStringLiteral("tool.") + format)});
    EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
    if (format != u"html") {
      EXPECT_EQ(QString::fromUtf8(ReadAllBytes(out(QStringLiteral("tool.") + format))),
                rig.Text(*ExportFormatFromName(format)));
    }
  }
  // A damaged binder: what could be read is written, and the problems are said.
  const QString damaged = rig.Folder.File(QStringLiteral("damaged.vl"));
  QByteArray bytes = ReadAllBytes(binder);
  bytes.truncate(bytes.indexOf("</BoundNotes>"));
  WriteAllBytes(damaged, bytes);
  const QString notNotes = rig.Folder.File(QStringLiteral("plain.txt"));
  WriteAllBytes(notNotes, "just some text\n");

  struct RRow {
    const char *What;
    QStringList Args;
    int Exit;
  };
  // An isolated tab exports as a binder of one tab.
  const QString isolated = rig.Folder.File(QStringLiteral("Questions.vlTab"));
  {
    TvlXmlOut writer;
    ASSERT_TRUE(
        rig.Binder.Tabs.Tabs_Document(1).IO_Save(writer, isolated, QStringLiteral("Questions"), 0));
  }
  const QString md = out(QStringLiteral("x.md"));
  const std::vector<RRow> rows{
      {"isolated tab",
       {isolated, QStringLiteral("--format"), QStringLiteral("md"), QStringLiteral("-o"), md},
       0},
      {"one tab",
       {binder, QStringLiteral("--format"), QStringLiteral("md"), QStringLiteral("--tab"),
        QStringLiteral("2"), QStringLiteral("-o"), md},
       0},
      {"damaged binder",
       {damaged, QStringLiteral("--format"), QStringLiteral("md"), QStringLiteral("-o"), md},
       1},
      {"no output named", {binder, QStringLiteral("--format"), QStringLiteral("md")}, 2},
      {"unknown format",
       {binder, QStringLiteral("--format"), QStringLiteral("doc"), QStringLiteral("-o"), md},
       2},
      {"no such tab",
       {binder, QStringLiteral("--format"), QStringLiteral("md"), QStringLiteral("--tab"),
        QStringLiteral("3"), QStringLiteral("-o"), md},
       2},
      {"missing binder",
       {out(QStringLiteral("none.vl")), QStringLiteral("--format"), QStringLiteral("md"),
        QStringLiteral("-o"), md},
       3},
      {"a folder",
       {rig.Folder.Path(), QStringLiteral("--format"), QStringLiteral("md"), QStringLiteral("-o"),
        md},
       3},
      {"not notes",
       {notNotes, QStringLiteral("--format"), QStringLiteral("md"), QStringLiteral("-o"), md},
       4},
      {"output folder missing",
       {binder, QStringLiteral("--format"), QStringLiteral("md"), QStringLiteral("-o"),
        out(QStringLiteral("no/such/x.md"))},
       5},
      {"no recording under the notes",
       {binder, QStringLiteral("--format"), QStringLiteral("vtt"), QStringLiteral("--audio"),
        out(QStringLiteral("empty")), QStringLiteral("-o"), out(QStringLiteral("x.vtt"))},
       5},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.What);
    QFile::remove(md);
    const RRun run = RunTool(QStringList{QStringLiteral("export")} + row.Args);
    EXPECT_EQ(run.Exit, row.Exit) << run.Err.toStdString();
    if (row.Exit == 0 || row.Exit == 1) {
      EXPECT_TRUE(QFileInfo::exists(md));
    }
    if (row.Exit == 1) {
      EXPECT_TRUE(run.Err.contains(QStringLiteral("damaged.vl: ")));
      EXPECT_TRUE(ReadAllBytes(md).contains("Привет"));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The page in a real browser

TEST(ExportInBrowser, ClickingTheThirdParagraphsTime_PlaysTheRecordingFromItsMoment) {
  const QString python = QStringLiteral("/usr/bin/python3");
  const bool ci = qEnvironmentVariable("CI") == u"true";
  const bool have = QFileInfo::exists(python) &&
                    !QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty() &&
                    !QStandardPaths::findExecutable(QStringLiteral("chromedriver")).isEmpty();
  if (!have && !ci) GTEST_SKIP() << "headless Chromium, chromedriver or python3-selenium missing";
  TExportRig rig(true);  // ADPCM: the page plays the copy beside it
  TvlExportRecordings recordings(&rig.Folders);
  RExportRequest request;
  request.Format = efHtml;
  request.Title = QStringLiteral("Seminar");
  request.OutPath = rig.Folder.File(QStringLiteral("notes.html"));
  const RExportResult result = ExportNotes(
      ExportTabsOf(rig.Binder.Tabs), ExportBookmarksOf(rig.Binder.Events), recordings, request);
  ASSERT_TRUE(result.Written);
  // The third paragraph with text, as typed here: 9 s into the recording.
  const double expected = TestTabs()[0].Paragraphs[2].AtMSecs / 1000.0;
  QStringList args{QStringLiteral(VL_EXPORT_DATA_DIR "/../html_click.py"), request.OutPath,
                   QString::number(expected, 'f', 3)};
  if (const QString shot = qEnvironmentVariable("VL_EXPORT_SCREENSHOT"); !shot.isEmpty())
    args += {QStringLiteral("--screenshot"), shot};
  const RRun run = RunProgram(python, args, 180'000);
  if (run.Exit == 77 && !ci) GTEST_SKIP() << run.Err.toStdString();
  EXPECT_EQ(run.Exit, 0) << run.Out.toStdString() << run.Err.toStdString();
  std::printf("%s", run.Out.toUtf8().constData());
}
