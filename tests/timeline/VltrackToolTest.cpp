// vltrack render as its users run it, on the first-run sample recording and binder.

#include "vlTestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>

namespace {

struct RRun {
  int Exit = -1;
  QString Out;
  QString Err;
};

RRun RunTool(const QStringList &Arguments) {
  QProcess process;
  process.start(QStringLiteral(VLTRACK_EXE), Arguments);
  RRun run;
  if (!process.waitForFinished(120'000)) return run;
  run.Exit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  run.Out = QString::fromUtf8(process.readAllStandardOutput());
  run.Err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

const QString Samples = QStringLiteral(VL_SAMPLES_DIR);

}  // namespace

TEST(VltrackTool, DrawsTheRecordingAndTheBinderAtTheMoment_AndSaysHowLongItTook) {
  TFreshFolder folder;
  // The recording in its month folder, as an audio folder keeps it.
  QDir(folder.Path()).mkpath(QStringLiteral("Audio/2009-09"));
  for (const QString &ext : {QStringLiteral(".wav"), QStringLiteral(".vu")})
    ASSERT_TRUE(QFile::copy(
        Samples + QStringLiteral("/2009-09-03 13.47 36.5 (108)") + ext,
        folder.File(QStringLiteral("Audio/2009-09/2009-09-03 13.47 36.5 (108)") + ext)));
  const QString png = folder.File(QStringLiteral("track.png"));
  const RRun run = RunTool(
      {QStringLiteral("render"), QStringLiteral("--audio"), folder.File(QStringLiteral("Audio")),
       QStringLiteral("--notes"), Samples + QStringLiteral("/Example.vl"), QStringLiteral("--at"),
       QStringLiteral("2009-09-03 13:48"), QStringLiteral("--level"), QStringLiteral("3"),
       QStringLiteral("--width"), QStringLiteral("400"), QStringLiteral("--out"), png});
  ASSERT_EQ(run.Exit, 0) << run.Err.toStdString();
  EXPECT_TRUE(run.Out.contains(QStringLiteral("1 recordings"))) << run.Out.toStdString();
  EXPECT_TRUE(run.Out.contains(QStringLiteral("rebuild")));
  EXPECT_TRUE(run.Out.contains(QStringLiteral("render")));
  const QImage image(png);
  ASSERT_EQ(image.size(), QSize(400, 117));
  // The recording (13:47:36.5 for 108 s) lights the slot around the middle column, not the edges.
  auto lit = [&](int X) {
    return qGreen(image.pixel(X, 62 + 7)) > 0 && qRed(image.pixel(X, 62 + 7)) == 0;
  };
  EXPECT_TRUE(lit(200));
  EXPECT_FALSE(lit(20));
  EXPECT_FALSE(lit(380));
}

TEST(VltrackTool, RefusesWhatItCannotUse) {
  TFreshFolder folder;
  const QString png = folder.File(QStringLiteral("t.png"));
  const QStringList base = {QStringLiteral("render"),
                            QStringLiteral("--audio"),
                            folder.Path(),
                            QStringLiteral("--out"),
                            png,
                            QStringLiteral("--at")};
  EXPECT_EQ(RunTool(base + QStringList{QStringLiteral("yesterday")}).Exit, 2);
  EXPECT_EQ(RunTool(base + QStringList{QStringLiteral("2009-09-03 13:48"),
                                       QStringLiteral("--level"), QStringLiteral("16")})
                .Exit,
            2);
  EXPECT_EQ(
      RunTool(base + QStringList{QStringLiteral("2009-09-03 13:48"), QStringLiteral("--notes"),
                                 folder.File(QStringLiteral("none.vl"))})
          .Exit,
      3);
  // No recordings and no binder: an empty track is still drawn.
  EXPECT_EQ(RunTool(base + QStringList{QStringLiteral("2009-09-03 13:48")}).Exit, 0);
  EXPECT_TRUE(QImage(png).width() == 1200);
}
