// The recordings catalogue on real files in temporary folders: names written and read back, the
// listing of months and the look-up under a moment, level files damaged in every way, the choice
// of a recording's level file, re-dating (with its rollback) and deleting to the trash.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyAudioGain.h"
#include "vlAudioTestSupport.h"
#include "vlClock.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStandardPaths>
#include <QtEndian>

namespace {

const TDateTime kStart = EncodeDateTime(2009, 9, 3, 13, 47, 36, 500);

void Touch(const QString &Path, const QByteArray &Bytes = QByteArray()) {
  QDir().mkpath(QFileInfo(Path).path());
  WriteAllBytes(Path, Bytes);
}

QByteArray VuBytes(const std::vector<std::pair<int, int>> &Records) {
  QByteArray bytes(static_cast<qsizetype>(Records.size() * 8), '\0');
  for (std::size_t i = 0; i < Records.size(); ++i) {
    qToLittleEndian<qint16>(static_cast<qint16>(Records[i].first), bytes.data() + i * 8);
    qToLittleEndian<qint32>(Records[i].second, bytes.data() + i * 8 + 4);
  }
  return bytes;
}

TEST(RecordingNames, StampsAndLengthsReadBackOrAreRefused) {
  EXPECT_EQ(RecordingRelativeName(kStart), QStringLiteral("2009-09/2009-09-03 13.47 36.5"));
  EXPECT_EQ(RecordingNameWithLength(QStringLiteral("/a/2009-09-03 13.47 36.5.wav"), 108),
            QStringLiteral("/a/2009-09-03 13.47 36.5 (108).wav"));
  struct RRow {
    const char *Name;
    bool Valid;
    int Length;
  };
  const RRow rows[] = {
      {"2009-09-03 13.47 36.5 (108).wav", true, 108},
      {"2009-09-03 13.47 36.5.wav", true, -1},
      {"2009-09-03 13.47 36.5 (?).wav", true, -1},
      {"2009-09-03 13.47 36.5 (copy) (108).wav", true, 108},
      {"2009-09-03 13.47 36.5 (0).ogg", true, 0},
      {"2009-09-03 13.47 36.5 (99999999).wav", true, -1},
      {"2009/09/03 13.47 36.5 (108).wav", false, 108},
      {"2009-09-03_13.47 36.5 (108).wav", false, 108},
      {"2009-13-03 13.47 36.5 (108).wav", false, 108},
      {"2009-02-30 13.47 36.5 (108).wav", false, 108},
      {"2009-09-03 25.47 36.5 (108).wav", false, 108},
      {"2009-09-03 13.4x 36.5.wav", false, -1},
      // Fields shifted by a digit where a separator belongs.
      {"2009-09-03 13.47 3636.5 (108).wav", false, 108},
      {"2009-09-03 1313.47 36.5.wav", false, -1},
      {"2009-09-03 13.4736.5 (108).wav", false, 108},
      {"lecture.wav", false, -1},
      {"2009-09-03 13.47", false, -1},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Name);
    const QString name = QString::fromUtf8(row.Name);
    const TDateTime start = RecordingStartFromName(name);
    EXPECT_EQ(start != kInvalidRecordingStart, row.Valid);
    if (row.Valid) {
      EXPECT_EQ(MilliSecondsBetween(kStart, start), 0);
    }
    EXPECT_EQ(RecordingLengthFromName(name), row.Length);
  }
}

TEST(RecordingNames, RenamesNeverReplaceAFile_AndFailedMeasurementsStayOutOfNames) {
  TFreshFolder folder;
  const QString a = folder.File(QStringLiteral("a")), b = folder.File(QStringLiteral("b"));
  Touch(a, "first");
  Touch(b, "second");
  EXPECT_FALSE(RenameNoReplace(a, b));
  EXPECT_EQ(ReadAllBytes(b), QByteArray("second"));

  // A header-only WAV (length 0), a damaged file, half a second and a real one.
  QString empty = folder.File(QStringLiteral("2009-09-03 13.47 36.5.wav"));
  ASSERT_TRUE(WriteSound(empty, 22050, 1, {}));
  QString junk = folder.File(QStringLiteral("2009-09-03 14.00 00.0.wav"));
  Touch(junk, "not audio at all");
  QString real = folder.File(QStringLiteral("2009-09-03 15.00 00.0.wav"));
  ASSERT_TRUE(WriteSound(real, 8000, 1, std::vector<std::int16_t>(8000 * 3 + 100, 5)));
  QString blip = folder.File(QStringLiteral("2009-09-03 14.30 00.0.wav"));
  ASSERT_TRUE(WriteSound(blip, 8000, 1, std::vector<std::int16_t>(4000, 5)));
  EXPECT_EQ(MeasureAndNameRecording(empty), 0);
  EXPECT_EQ(MeasureAndNameRecording(junk), 0);
  EXPECT_EQ(MeasureAndNameRecording(blip), 0);
  EXPECT_TRUE(empty.endsWith(QLatin1String("36.5.wav")));
  EXPECT_TRUE(junk.endsWith(QLatin1String("00.0.wav")));
  EXPECT_TRUE(QFile::exists(folder.File(QStringLiteral("2009-09-03 14.30 00.0.wav"))));
  EXPECT_EQ(MeasureAndNameRecording(real), 3);
  EXPECT_TRUE(real.endsWith(QLatin1String("(3).wav")));
  EXPECT_TRUE(QFile::exists(real));
}

TEST(MediaFolders, ListingSkipsForeignNames_FindsNeighboursAndTheRecordingUnderAMoment) {
  TFreshFolder folder;
  TManualClock clock(EncodeDate(2009, 10, 15));
  TScopedClock installed(clock);
  const QString audio = folder.File(QStringLiteral("Audio/"));
  Touch(audio + QStringLiteral("2009-09/2009-09-03 13.47 36.5 (108).wav"));
  Touch(audio + QStringLiteral("2009-09/2009-09-03 13.47 36.5 (108).vu"));
  Touch(audio + QStringLiteral("2009-09/2009-09-03 15.00 00.0 (60).OGG"));
  Touch(audio + QStringLiteral("2009-09/2009-09-02 23.59 00.0 (120).wav"));
  Touch(audio + QStringLiteral("2009-09/lecture.wav"));
  Touch(audio + QStringLiteral("2009-09/2009-13-01 10.00 00.0 (5).wav"));
  Touch(audio + QStringLiteral("2009-10/2009-10-01 08.00 00.0 (10).wav"));

  TvlMediaFoldersInfo info;
  info.Initialize(audio);
  EXPECT_EQ(info.AudioFolder(), audio);
  EXPECT_TRUE(info.Month_LoadMonthsOf(kStart, kStart, kStart));
  ASSERT_EQ(info.Count(), 4);  // September and today's October; foreign names left out
  EXPECT_EQ(info.DurationInSeconds(1), 108);
  EXPECT_EQ(info.DurationInSeconds(99), 0);

  TDateTime t = kStart;
  EXPECT_TRUE(info.FindClosestDateTimeBefore(t));
  EXPECT_EQ(RecordingStamp(t), QStringLiteral("2009-09-02 23.59 00.0"));
  t = kStart;
  EXPECT_TRUE(info.FindClosestDateTimeAfter(t));
  EXPECT_EQ(RecordingStamp(t), QStringLiteral("2009-09-03 15.00 00.0"));
  EXPECT_EQ(info.IndexCovering(EncodeDateTime(2009, 9, 3, 0, 0, 30)), 0);  // past midnight
  EXPECT_EQ(info.IndexCovering(EncodeDateTime(2009, 9, 3, 13, 48, 0)), 1);
  EXPECT_EQ(info.IndexCovering(EncodeDateTime(2009, 9, 3, 14, 0, 0)), -1);

  // Touching within a slush: 13:47:30 is 6.5 s before the start.
  const TDateTime early = EncodeDateTime(2009, 9, 3, 13, 47, 30);
  EXPECT_EQ(info.ListFilesTouchingTime(early, 7).size(), 1);
  EXPECT_EQ(info.ListFilesTouchingTime(early, 6).size(), 0);

  // Months: no further than now, no earlier than December 2008.
  EXPECT_TRUE(info.Month_LoadNext());  // October has begun
  EXPECT_FALSE(info.Month_LoadNext());
  EXPECT_TRUE(info.Month_LoadPrevious());

  // Removing from the listing takes the one meant only.
  info.LoadAllMonths();
  EXPECT_EQ(info.Count(), 4);
  EXPECT_FALSE(info.DeleteOneFileFromListing(kStart + 10 / SecsPerDay, 108));
  EXPECT_TRUE(info.DeleteOneFileFromListing(kStart + 1 / SecsPerDay, 107));
  EXPECT_EQ(info.Count(), 3);
}

TEST(LevelFiles, DamagedFilesLoadWhatIsSound) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("x.vu"));
  struct RRow {
    const char *What;
    QByteArray Bytes;
    std::vector<std::pair<int, int>> Expected;
  };
  const QByteArray three = VuBytes({{100, 0}, {200, 100}, {300, 200}});
  const RRow rows[] = {
      {"empty", QByteArray(), {}},
      {"cut mid-record", three.left(21), {{100, 0}, {200, 100}}},
      {"negative time", VuBytes({{100, 0}, {200, -5}, {300, 200}}), {{100, 0}, {300, 200}}},
      {"peaks out of range", VuBytes({{-7, 0}, {-32768, 100}}), {{0, 0}, {0, 100}}},
      {"odd size of one byte", QByteArray(1, '\x7f'), {}},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.What);
    WriteAllBytes(path, row.Bytes);
    std::vector<TvuDatum> got;
    ASSERT_TRUE(ReadVuFile(path, got));
    ASSERT_EQ(got.size(), row.Expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].Peak, row.Expected[i].first);
      EXPECT_EQ(got[i].MS, row.Expected[i].second);
    }
  }
  const std::vector<TvuDatum> placeholder = PlaceholderReadings(2);
  ASSERT_EQ(placeholder.size(), 24u);
  EXPECT_EQ(placeholder[0].Peak, 780);
  EXPECT_EQ(placeholder[16].Peak, 300);
  EXPECT_EQ(placeholder[9].MS, 1125);
}

TEST(LevelFiles, TheRecordingsOwnFileWins_ElseTheBestNeighbourByOverlapOrNearness) {
  TFreshFolder folder;
  const QString m = folder.File(QStringLiteral("2009-09/"));
  const QString rec = m + QStringLiteral("2009-09-03 13.47 36.5 (108).wav");
  Touch(rec);
  Touch(m + QStringLiteral("2009-09-03 13.47 40.0 (100).vu"));
  EXPECT_EQ(FindVuFileFor(rec), m + QStringLiteral("2009-09-03 13.47 40.0 (100).vu"));
  // For renaming or deleting only a close match counts.
  EXPECT_TRUE(FindVuFileFor(rec, true).isEmpty() == false);
  Touch(m + QStringLiteral("2009-09-03 13.47 36.5 (108).vu"));
  EXPECT_EQ(FindVuFileFor(rec), m + QStringLiteral("2009-09-03 13.47 36.5 (108).vu"));
  // A short recording with a far neighbour only: none.
  const QString shortRec = m + QStringLiteral("2009-09-03 16.00 00.0 (0).wav");
  EXPECT_TRUE(FindVuFileFor(shortRec).isEmpty());
}

TEST(MediaInfo, RecordingInProgressWritesEveryReading_AndRemovalSparesNeighbours) {
  TFreshFolder folder;
  TManualClock clock(kStart);
  TScopedClock installed(clock);
  const QString base = folder.File(QStringLiteral("2009-09/2009-09-03 13.47 36.5"));
  QDir().mkpath(folder.File(QStringLiteral("2009-09")));
  TvlMediaInfo info;
  info.RecordingJustStarted_CreateNewCurrentFile(base, kStart);
  // Far more readings than any flush limit, with no flush between them.
  for (int i = 0; i < 5000; ++i)
    info.Recording_AddNewVisualizationDatum(IncMilliSecond(kStart, i * 100), i % 40000);
  info.OnIdle_WriteVuToFileIfRecording();
  for (int i = 5000; i < 5005; ++i)
    info.Recording_AddNewVisualizationDatum(IncMilliSecond(kStart, i * 100), 10);
  clock.AdvanceMSecs(500500);
  const QString final = base + QStringLiteral(" (500).wav");
  info.RecordingJustTerminated_CloseCurrentFile(base + QStringLiteral(".wav"), final);
  std::vector<TvuDatum> got;
  ASSERT_TRUE(ReadVuFile(base + QStringLiteral(" (500).vu"), got));
  ASSERT_EQ(got.size(), 5005u);
  EXPECT_EQ(got[4999].MS, 499900);
  EXPECT_FALSE(QFile::exists(base + QStringLiteral(".vu")));
  ASSERT_EQ(info.FilesCount(), 2);
  EXPECT_EQ(info.File(1).NumSeconds, 500);

  // A neighbour of the same length a day earlier keeps its readings.
  const int neighbour = info.CreateNewFileRecord(kStart - 1, kStart - 1 + 500 / SecsPerDay, 500);
  info.File(neighbour).VU = PlaceholderReadings(3);
  EXPECT_TRUE(info.DeleteOneFileFromListing(kStart, 500));
  EXPECT_TRUE(info.File(1).VU.empty());
  EXPECT_FALSE(info.File(neighbour).VU.empty());
}

TEST(Redating, MovesBothFilesAcrossMonths_RollsBackWhenTheLevelFileCannotMove) {
  TFreshFolder folder;
  const QString audio = folder.File(QStringLiteral("Audio/"));
  const QString rec = audio + QStringLiteral("2009-08/2009-08-31 23.59 50.0 (20).wav");
  const QString vu = audio + QStringLiteral("2009-08/2009-08-31 23.59 50.0 (20).vu");
  Touch(rec, "audio");
  Touch(vu, VuBytes({{5, 0}}));
  const TDateTime newStart = EncodeDateTime(2009, 9, 1, 0, 0, 10);
  TDateTime movedFrom = 0, movedTo = 0;
  double shift = 0;
  RRedateResult r = RedateRecording(rec, newStart, false, [&](TDateTime f, TDateTime t, double s) {
    movedFrom = f;
    movedTo = t;
    shift = s;
  });
  ASSERT_TRUE(r.Done) << r.Message.toStdString();
  EXPECT_EQ(r.NewPath, audio + QStringLiteral("2009-09/2009-09-01 00.00 10.0 (20).wav"));
  EXPECT_TRUE(QFile::exists(r.NewPath));
  EXPECT_TRUE(QFile::exists(audio + QStringLiteral("2009-09/2009-09-01 00.00 10.0 (20).vu")));
  EXPECT_FALSE(QFile::exists(rec));
  EXPECT_EQ(MilliSecondsBetween(movedFrom, EncodeDateTime(2009, 8, 31, 23, 59, 49)), 0);
  EXPECT_EQ(MilliSecondsBetween(movedTo, EncodeDateTime(2009, 9, 1, 0, 0, 11)), 0);
  EXPECT_EQ(RoundHalfEven(shift * SecsPerDay), 20);

  // The level file's rename fails: the recording's rename is undone, both stay findable.
  const QString back = r.NewPath;
  const QString backVu = audio + QStringLiteral("2009-09/2009-09-01 00.00 10.0 (20).vu");
  const TDateTime again = EncodeDateTime(2009, 9, 2, 9, 0, 0);
  bool moved = false;
  r = RedateRecording(back, again, false, {}, [&](const QString &From, const QString &To) {
    if (From.endsWith(QLatin1String(".vu")) && !moved) return false;
    moved = From.endsWith(QLatin1String(".wav")) ? moved : true;
    return RenameNoReplace(From, To);
  });
  EXPECT_FALSE(r.Done);
  EXPECT_EQ(ReadAllBytes(back), QByteArray("audio"));
  EXPECT_TRUE(QFile::exists(backVu));
  // An existing target refuses before anything moves.
  Touch(audio + QStringLiteral("2009-09/2009-09-02 09.00 00.0 (20).wav"), "other");
  EXPECT_FALSE(RedateRecording(back, again, false).Done);
  EXPECT_EQ(ReadAllBytes(back), QByteArray("audio"));

  // The recording in progress is never re-dated or deleted.
  EXPECT_FALSE(RedateRecording(back, again, true).Done);
  QString message;
  EXPECT_FALSE(TrashRecording(back, true, message));
  EXPECT_TRUE(QFile::exists(back));
}

TEST(Deleting, BothFilesGoToTheTrash_AndAFailedTrashKeepsTheFile) {
  TFreshFolder folder;
  QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
  const QString m = folder.File(QStringLiteral("Audio/2009-09/"));
  const QString rec = m + QStringLiteral("2009-09-03 13.47 36.5 (108).wav");
  Touch(rec, "audio");
  Touch(m + QStringLiteral("2009-09-03 13.47 36.5 (108).vu"), VuBytes({{1, 0}}));
  QString message;
  ASSERT_TRUE(TrashRecording(rec, false, message)) << message.toStdString();
  EXPECT_FALSE(QFile::exists(rec));
  EXPECT_FALSE(QFile::exists(m + QStringLiteral("2009-09-03 13.47 36.5 (108).vu")));
  // Both sit in the trash under the test's own home.
  QStringList trashed;
  QDirIterator it(TTestEnvironment::HomeFolder(), QDir::Files | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString found = it.next();
    if (found.contains(QLatin1String("Trash/files/2009-09-03 13.47 36.5 (108)"))) trashed << found;
  }
  EXPECT_EQ(trashed.size(), 2) << trashed.join(QLatin1Char(',')).toStdString();

  // A file that does not exist cannot be trashed; nothing else happens.
  EXPECT_FALSE(TrashRecording(rec, false, message));
  EXPECT_FALSE(message.isEmpty());

  // A trash that cannot be used (here "Trash" is a plain file): the recording and its level file
  // stay where they are, nothing is deleted for good.
  const QString other = m + QStringLiteral("2009-09-04 09.00 00.0 (60).wav");
  const QString otherVu = m + QStringLiteral("2009-09-04 09.00 00.0 (60).vu");
  Touch(other, "kept");
  Touch(otherVu, VuBytes({{1, 0}}));
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  const QString brokenHome = folder.File(QStringLiteral("broken-data"));
  Touch(brokenHome + QStringLiteral("/Trash"), "not a folder");
  qputenv("XDG_DATA_HOME", QFile::encodeName(brokenHome));
  message.clear();
  const bool trashed2 = TrashRecording(other, false, message);
  qputenv("XDG_DATA_HOME", dataHome);
  EXPECT_FALSE(trashed2);
  EXPECT_FALSE(message.isEmpty());
  EXPECT_EQ(ReadAllBytes(other), QByteArray("kept"));
  EXPECT_TRUE(QFile::exists(otherVu));
}

TEST(GainHistory, EmptyValues_WrapAtSlot3600_AndWalksStopAtTheWrap) {
  TAudioGainHelper h;
  int lo = 0, hi = 0;
  h.MinMaxSamples(100, lo, hi);
  EXPECT_EQ(lo, TAudioGainHelper::EmptyMin);
  EXPECT_EQ(hi, 0);
  EXPECT_EQ(h.MaxSample(10), 0);
  for (int i = 1; i <= 3600; ++i) h.AddNewSamples(i % 1000, i % 1000, 500);
  h.AddNewSamples(7, 9, 480);
  EXPECT_EQ(h.LastX(), 1);
  EXPECT_EQ(h.History(1), 8);
  EXPECT_EQ(h.MaxSample(1200), 8);  // the walk stops at slot 1 after the wrap
  EXPECT_DOUBLE_EQ(h.LatestGain(), 4.8);
  h.MinMaxSamples(0, lo, hi);
  EXPECT_EQ(lo, TAudioGainHelper::EmptyMin);
  EXPECT_EQ(hi, 0);
  h.AddNewSamples(100, 300, 500);
  EXPECT_EQ(h.MinSample(5), 8);
  EXPECT_EQ(h.MaxSample(5), 200);
}

}  // namespace

namespace {

TEST(MediaFolders, PeriodListingFeedsTheCatalogueOnce_WithoutTheRecordingInProgress) {
  TFreshFolder folder;
  TManualClock clock(EncodeDate(2009, 9, 30));
  TScopedClock installed(clock);
  const QString m = folder.File(QStringLiteral("Audio/2009-09/"));
  Touch(m + QStringLiteral("2009-09-03 13.47 36.5 (108).wav"));
  Touch(m + QStringLiteral("2009-09-03 13.47 36.5 (108).vu"), VuBytes({{10, 0}, {20, 100}}));
  Touch(m + QStringLiteral("2009-09-03 15.00 00.0 (2).wav"));
  Touch(m + QStringLiteral("2009-09-03 16.00 00.0.wav"));
  TvlMediaFoldersInfo info;
  info.AddAudioFolder(folder.File(QStringLiteral("Audio")));
  info.SetRecordingInProgress(m + QStringLiteral("2009-09-03 16.00 00.0.wav"),
                              EncodeDateTime(2009, 9, 3, 16, 0, 0));
  info.Month_AddMonthOf(kStart);
  TvlMediaInfo media;
  for (int pass = 0; pass < 2; ++pass)
    info.ListFilesTouchedByTimePeriod(EncodeDate(2009, 9, 3), EncodeDate(2009, 9, 4), media);
  ASSERT_EQ(media.FilesCount(), 3);  // slot 0 and the two finished recordings
  EXPECT_EQ(media.File(1).VU.size(), 2u);
  EXPECT_EQ(media.File(2).VU.size(), 24u);  // placeholder for 2 s

  const QString question = DeleteRecordingQuestion(kStart, 108);
  EXPECT_TRUE(question.startsWith(QLatin1String("Selected Recording:\n\n    Date:  \t")));
  EXPECT_TRUE(question.contains(QLatin1String("     ( Thursday )\n    Start: \t1:47 PM\n")));
  EXPECT_TRUE(question.endsWith(
      QLatin1String("    Length:\t0 hours, 1 minutes and 48 seconds.\n\nAre you sure you want to "
                    "delete this audio recording?")));
}

}  // namespace
