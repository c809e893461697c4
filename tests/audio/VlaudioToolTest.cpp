// vlaudio's catalogue commands run as a process over a folder of real files: list prints every
// recording in time order, at finds the one under a moment (exit 1 when none), foreign files are
// never touched and nothing is renamed (the program may be recording into a name without length).

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vlAudioTestSupport.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace {

RRun Vlaudio(const QStringList &Args) {
  return RunProgram(QStringLiteral(VL_VLAUDIO_PATH), Args, 60'000);
}

TEST(VlaudioTool, ListsRecordingsInTimeOrder_FindsTheOneUnderAMoment_LeavesForeignFiles) {
  TFreshFolder folder;
  const QString audio = folder.File(QStringLiteral("Audio"));
  QDir().mkpath(audio + QStringLiteral("/2009-09"));
  QDir().mkpath(audio + QStringLiteral("/2009-10"));
  const std::vector<std::int16_t> fiveSeconds(5 * 8000, 100);
  ASSERT_TRUE(WriteSound(audio + QStringLiteral("/2009-10/2009-10-01 08.00 00.0 (5).wav"), 8000, 1,
                         fiveSeconds));
  ASSERT_TRUE(WriteSound(audio + QStringLiteral("/2009-09/2009-09-03 13.47 36.5.wav"), 8000, 1,
                         fiveSeconds));
  ASSERT_TRUE(WriteSound(audio + QStringLiteral("/2009-09/lecture.wav"), 8000, 1, fiveSeconds));
  ASSERT_TRUE(
      WriteSound(audio + QStringLiteral("/2009-09/2009-09-03 15.00 00.0.wav"), 8000, 1, {}));

  RRun r = Vlaudio({QStringLiteral("list"), QStringLiteral("--folder"), audio});
  ASSERT_EQ(r.Exit, 0);
  const QStringList lines = r.Out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << r.Out.toStdString();
  EXPECT_TRUE(lines[0].startsWith(QLatin1String("2009-09-03 13:47:36.5\t5\t")));
  EXPECT_TRUE(lines[1].startsWith(QLatin1String("2009-09-03 15:00:00.0\t0\t")));
  EXPECT_TRUE(lines[2].startsWith(QLatin1String("2009-10-01 08:00:00.0\t5\t")));
  r = Vlaudio(
      {QStringLiteral("list"), QStringLiteral("--folder"), audio, QStringLiteral("2009-10")});
  EXPECT_EQ(r.Out.count(QLatin1Char('\n')), 1);

  r = Vlaudio({QStringLiteral("at"), QStringLiteral("--folder"), audio,
               QStringLiteral("2009-09-03 13:47:39.2")});
  ASSERT_EQ(r.Exit, 0);
  EXPECT_EQ(r.Out.trimmed(), audio + QStringLiteral("/2009-09/2009-09-03 13.47 36.5.wav\t2700"));
  EXPECT_TRUE(QFile::exists(audio + QStringLiteral("/2009-09/2009-09-03 13.47 36.5.wav")));
  r = Vlaudio({QStringLiteral("at"), QStringLiteral("--folder"), audio,
               QStringLiteral("2009-09-03 14:00:00")});
  EXPECT_EQ(r.Exit, 1);
  // A header without sound covers no moment, not even its own start.
  r = Vlaudio({QStringLiteral("at"), QStringLiteral("--folder"), audio,
               QStringLiteral("2009-09-03 15:00:00")});
  EXPECT_EQ(r.Exit, 1) << r.Out.toStdString();
  EXPECT_EQ(Vlaudio({QStringLiteral("at"), QStringLiteral("--folder"), audio,
                     QStringLiteral("2009-13-03 14:00:00")})
                .Exit,
            2);
  EXPECT_TRUE(QFile::exists(audio + QStringLiteral("/2009-09/lecture.wav")));

  // A recording whose level file says its device ran 0.1 % fast: the place is the file's own.
  const QString fast = audio + QStringLiteral("/2009-10/2009-10-01 09.00 00.0 (5).wav");
  ASSERT_TRUE(WriteSound(fast, 8000, 1, fiveSeconds));
  QFile vu(VuPathFor(fast));
  ASSERT_TRUE(vu.open(QIODevice::WriteOnly));
  TvlMediaInfo_PerFile readings;
  readings.StartDT = RecordingStartFromName(fast);
  for (int ms = 100; ms <= 5000; ms += 100)
    readings.NewVUReading(IncMilliSecond(readings.StartDT, ms), 100, ms + ms / 1000);
  ASSERT_TRUE(readings.OnIdleOrClose_FlushToFile(vu));
  vu.close();
  r = Vlaudio({QStringLiteral("at"), QStringLiteral("--folder"), audio,
               QStringLiteral("2009-10-01 09:00:04.0")});
  ASSERT_EQ(r.Exit, 0);
  EXPECT_EQ(r.Out.trimmed(), fast + QStringLiteral("\t4004"));
}

}  // namespace
