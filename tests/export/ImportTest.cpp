// Recordings made elsewhere coming into the audio folder: names from the start given, from the
// file's recording date or from its modification time; the source never changes; taken names and
// files that are not audio are refused; the imported recording plays from a moment like any.

#include "vlImportRecording.h"
#include "vlTestSupport.h"

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyActiveSound.h"
#include "vlAudioTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sndfile.h>
#include <sys/time.h>

#include <cmath>

namespace {

// Three seconds of a tone at 8000 Hz in Format, with Date as its recording date when not empty.
QString WriteSource(const QString &Path, int Format, const char *Date) {
  SF_INFO info{};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = Format;
  SNDFILE *file = sf_open(QFile::encodeName(Path).constData(), SFM_WRITE, &info);
  if (!file) return {};
  if (Date && *Date) sf_set_string(file, SF_STR_DATE, Date);
  std::vector<short> samples(24000);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<short>(3000 * std::sin(static_cast<double>(i) * 0.05));
  sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
  return Path;
}

void SetModified(const QString &Path, TDateTime When) {
  const qint64 secs = DateTimeToQDateTime(When).toSecsSinceEpoch();
  const timeval times[2] = {{static_cast<time_t>(secs), 0}, {static_cast<time_t>(secs), 0}};
  ASSERT_EQ(::utimes(QFile::encodeName(Path).constData(), times), 0);
}

std::vector<short> Samples(const QString &Path) {
  SF_INFO info{};
  SNDFILE *file = sf_open(QFile::encodeName(Path).constData(), SFM_READ, &info);
  std::vector<short> out(file ? static_cast<std::size_t>(info.frames * info.channels) : 0);
  if (file) {
    sf_read_short(file, out.data(), static_cast<sf_count_t>(out.size()));
    sf_close(file);
  }
  return out;
}

}  // namespace

TEST(ImportRecording, FlacAndOggWithAndWithoutDates_LandUnderTheCataloguesNames_SourceUntouched) {
  TFreshFolder folder;
  const QString audio = folder.File(QStringLiteral("Audio"));
  struct RRow {
    const char *What;
    const char *Name;
    int Format;
    const char *Date;
    std::optional<TDateTime> Given;
    const char *Expected;  // relative to the audio folder
    TImportStartFrom From;
  };
  const TDateTime modified = EncodeDateTime(2023, 11, 15, 12, 0, 10, 0);
  const std::vector<RRow> rows{
      {"FLAC with a date", "a.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "2023-11-14T09:30:15",
       std::nullopt, "2023-11/2023-11-14 09.30 15.0 (3).wav", isfFileDate},
      {"Ogg with a date", "b.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, "2023-11-14 16:05:02",
       std::nullopt, "2023-11/2023-11-14 16.05 02.0 (3).ogg", isfFileDate},
      // Without a date: the modification time minus the three seconds.
      {"FLAC without a date", "c.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "", std::nullopt,
       "2023-11/2023-11-15 12.00 07.0 (3).wav", isfModified},
      {"Ogg with only a day", "d.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, "2023-11-14", std::nullopt,
       "2023-11/2023-11-15 12.00 07.0 (3).ogg", isfModified},
      // A given start wins over the file's date; tenths are kept, milliseconds rounded to them.
      {"given start", "e.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "2023-11-14T09:30:15",
       EncodeDateTime(2023, 12, 1, 8, 0, 0, 460), "2023-12/2023-12-01 08.00 00.5 (3).wav",
       isfGiven},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.What);
    const QString source =
        WriteSource(folder.File(QString::fromLatin1(row.Name)), row.Format, row.Date);
    ASSERT_FALSE(source.isEmpty());
    SetModified(source, modified);
    const QByteArray before = ReadAllBytes(source);

    const RImportPlan plan = PlanRecordingImport(source, audio, row.Given);
    ASSERT_TRUE(plan.Problem.isEmpty()) << plan.Problem.toStdString();
    EXPECT_EQ(plan.StartFrom, row.From);
    EXPECT_EQ(plan.Target, audio + u'/' + QString::fromUtf8(row.Expected));
    ASSERT_EQ(ImportRecording(plan), QString());
    EXPECT_TRUE(QFileInfo::exists(plan.Target));
    EXPECT_FALSE(QFileInfo::exists(plan.Target + QStringLiteral(".importing")));
    // Its level readings, ten a second, at the tone's level (3000 of 32767).
    std::vector<TvuDatum> levels;
    ASSERT_TRUE(ReadVuFile(VuPathFor(plan.Target), levels));
    ASSERT_EQ(levels.size(), 30u);
    EXPECT_EQ(levels[10].MS, 1000);
    EXPECT_NEAR(levels[10].Peak, 3000, 150);
    // The catalogue reads the name back as the start planned.
    EXPECT_EQ(RecordingStartFromName(plan.Target), plan.Start);
    EXPECT_EQ(RecordingLengthFromName(plan.Target), 3);
    // The source stays where it was, as it was.
    EXPECT_EQ(ReadAllBytes(source), before);
    EXPECT_EQ(QFileInfo(source).lastModified(), DateTimeToQDateTime(modified));
    // Ogg is copied byte for byte; FLAC becomes WAV with the same samples.
    if ((row.Format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG)
      EXPECT_EQ(ReadAllBytes(plan.Target), before);
    else
      EXPECT_EQ(Samples(plan.Target), Samples(source));

    // A second import of the same file would take the same name: refused, nothing replaced.
    const QByteArray imported = ReadAllBytes(plan.Target);
    const RImportPlan again = PlanRecordingImport(source, audio, row.Given);
    EXPECT_TRUE(again.Target.isEmpty());
    EXPECT_TRUE(again.Problem.contains(QStringLiteral("is already in the audio folder")));
    EXPECT_EQ(ImportRecording(again), again.Problem);
    EXPECT_EQ(ReadAllBytes(plan.Target), imported);
  }
}

TEST(ImportRecording, FilesThatAreNotAudio_AreRefusedWithTheirReason) {
  TFreshFolder folder;
  const QString text = folder.File(QStringLiteral("notes.wav"));
  WriteAllBytes(text, "these are not samples\n");
  const QString empty = folder.File(QStringLiteral("empty.ogg"));
  WriteAllBytes(empty, QByteArray());
  for (const QString &path :
       {text, empty, folder.File(QStringLiteral("missing.flac")), folder.Path()}) {
    SCOPED_TRACE(path.toStdString());
    const RImportPlan plan = PlanRecordingImport(path, folder.File(QStringLiteral("Audio")));
    EXPECT_FALSE(plan.Problem.isEmpty());
    EXPECT_TRUE(plan.Target.isEmpty());
    EXPECT_EQ(ImportRecording(plan), plan.Problem);
  }
  EXPECT_TRUE(PlanRecordingImport(text, folder.Path())
                  .Problem.startsWith(text + QStringLiteral(": cannot be read as audio (")));
  EXPECT_FALSE(QDir(folder.File(QStringLiteral("Audio"))).exists());
}

TEST(ImportRecording, RecordingDates_AreReadInTheFormsFilesCarry) {
  const TDateTime local = EncodeDateTime(2024, 5, 1, 10, 20, 30, 0);
  EXPECT_EQ(ParseRecordingDate(QStringLiteral("2024-05-01T10:20:30")), local);
  EXPECT_EQ(ParseRecordingDate(QStringLiteral("2024-05-01 10:20:30")), local);
  EXPECT_EQ(ParseRecordingDate(QStringLiteral(" 2024-05-01T10:20:30 ")), local);
  const std::optional<TDateTime> utc = ParseRecordingDate(QStringLiteral("2024-05-01T10:20:30Z"));
  ASSERT_TRUE(utc);
  EXPECT_EQ(DateTimeToQDateTime(*utc).toUTC().toString(Qt::ISODate),
            QStringLiteral("2024-05-01T10:20:30Z"));
  for (const char *no : {"2024-05-01", "2024", "yesterday", "", "2024-13-01T10:20:30"})
    EXPECT_FALSE(ParseRecordingDate(QString::fromLatin1(no))) << no;
  EXPECT_EQ(ParseMomentText(QStringLiteral("2024-05-01 10:20:30.5")),
            EncodeDateTime(2024, 5, 1, 10, 20, 30, 500));
  EXPECT_FALSE(ParseMomentText(QStringLiteral("2024-05-01 25:20:30")));
}

TEST(ImportRecording, PlayingFromAMomentInsideIt_PlaysTheImportedRecording) {
  TSimMachine machine;
  TFreshFolder folder;
  const QString audio = folder.File(QStringLiteral("Audio/"));
  const QString source =
      WriteSource(folder.File(QStringLiteral("phone.flac")), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, "");
  const TDateTime start = EncodeDateTime(2023, 11, 14, 9, 30, 15, 0);
  const RImportPlan plan = PlanRecordingImport(source, audio, start);
  ASSERT_EQ(ImportRecording(plan), QString());

  TvlMediaFoldersInfo folders;
  folders.AddAudioFolder(audio);
  TActiveSoundFm fm(machine.Sim, folders);
  ASSERT_TRUE(fm.AudioComponents_Initialize(isPlayer));
  ASSERT_TRUE(fm.AudioComponents_Initialize(isMisc));
  DeliverEvents();
  ASSERT_TRUE(fm.StartPlayingFrom(IncMilliSecond(start, 1500), 100));
  EXPECT_EQ(QFileInfo(fm.LoadedPath()), QFileInfo(plan.Target));
  EXPECT_EQ(fm.GetCurrentFilePlayingBeganAt(), start);
  machine.Run(500);
  EXPECT_NEAR(static_cast<double>(MilliSecondsBetween(start, fm.GetAbsolutePositionOfPlaying())),
              2000, 100);
  // The month listing the tracks and the calendar draw from holds it too.
  folders.Month_AddMonthOf(start);
  ASSERT_EQ(folders.Count(), 1);
  EXPECT_EQ(folders.StartDateTime(0), start);
  EXPECT_EQ(folders.DurationInSeconds(0), 3);
}

TEST(ImportTool, ImportsRefusesAndSaysWhy) {
  TFreshFolder folder;
  const QString audio = folder.File(QStringLiteral("Audio"));
  const QString source = WriteSource(folder.File(QStringLiteral("call.ogg")),
                                     SF_FORMAT_OGG | SF_FORMAT_VORBIS, "2023-11-14T09:30:15");
  const QString tool = QStringLiteral(VL_VLAUDIO_PATH);
  RRun run =
      RunProgram(tool, {QStringLiteral("import"), source, QStringLiteral("--folder"), audio});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_EQ(run.Out, audio + QStringLiteral("/2023-11/2023-11-14 09.30 15.0 (3).ogg\n"
                                            "start 2023-11-14 09:30:15.0 (from the file's "
                                            "recording date)\n"));
  run = RunProgram(tool, {QStringLiteral("import"), source, QStringLiteral("--folder"), audio});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_TRUE(run.Err.contains(QStringLiteral("is already in the audio folder")));
  run = RunProgram(tool,
                   {QStringLiteral("import"), source, QStringLiteral("--start"),
                    QStringLiteral("2023-11-14 09:31:00.2"), QStringLiteral("--folder"), audio});
  EXPECT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_TRUE(QFileInfo::exists(audio + QStringLiteral("/2023-11/2023-11-14 09.31 00.2 (3).ogg")));
  const QString text = folder.File(QStringLiteral("text.wav"));
  WriteAllBytes(text, "no sound\n");
  run = RunProgram(tool, {QStringLiteral("import"), text, QStringLiteral("--folder"), audio});
  EXPECT_EQ(run.Exit, 1);
  EXPECT_TRUE(run.Err.contains(QStringLiteral("cannot be read as audio (")));
  run = RunProgram(
      tool, {QStringLiteral("import"), source, QStringLiteral("--start"), QStringLiteral("soon")});
  EXPECT_EQ(run.Exit, 2);
}
