// "vlnotes render" run as a process on the hand-made sample tab.

#include "vlNotesToolRun.h"

#include <gtest/gtest.h>
#include <QImage>
#include <QTemporaryDir>

namespace {

TEST(RenderTool, DrawsTheSampleTabAtTheGivenWidthAndRefusesBadUse) {
  QTemporaryDir dir;
  const QString png = dir.filePath(QStringLiteral("out.png"));
  const QString sample = QStringLiteral(VLE_DATA_DIR "/sample.vlTab");
  const RRun ok = RunTool(
      {QStringLiteral("render"), sample, png, QStringLiteral("--width"), QStringLiteral("640")});
  EXPECT_EQ(ok.Exit, 0) << ok.Out.toStdString();
  const QImage img(png);
  ASSERT_FALSE(img.isNull());
  EXPECT_EQ(img.width(), 640);
  EXPECT_GE(img.height(), 78 + 90);  // down to the picture's bottom at least
  // The picture's own background inside its rectangle.
  EXPECT_NE(img.pixel(600, 120), qRgb(255, 255, 255));

  EXPECT_EQ(RunTool({QStringLiteral("render"), sample}).Exit, 2);
  EXPECT_EQ(RunTool({QStringLiteral("render"), sample, png, QStringLiteral("--width"),
                     QStringLiteral("x")})
                .Exit,
            2);
  EXPECT_EQ(
      RunTool({QStringLiteral("render"), dir.filePath(QStringLiteral("none.vlTab")), png}).Exit, 3);
}

}  // namespace
