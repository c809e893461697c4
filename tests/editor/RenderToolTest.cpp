// "vlnotes render" run as a process on the hand-made sample tab and on the example binder.

#include "vlNotesToolRun.h"

#include <gtest/gtest.h>
#include <QFile>
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

TEST(RenderTool, DrawsATabOfABinderAndRefusesATabItDoesNotHave) {
#ifndef VL_SAMPLES_DIR
  GTEST_SKIP() << "the example binder is not built";
#else
  QTemporaryDir dir;
  const QString png = dir.filePath(QStringLiteral("tab.png"));
  const QString binder = QStringLiteral(VL_SAMPLES_DIR "/Example.vl");
  int previousHeight = 0;
  for (const char *tab : {"1", "2"}) {
    SCOPED_TRACE(tab);
    const RRun run = RunTool(
        {QStringLiteral("render"), binder, png, QStringLiteral("--tab"), QLatin1String(tab)});
    EXPECT_EQ(run.Exit, 0) << run.Out.toStdString();
    const QImage img(png);
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.width(), 800);
    // Typed text: some rows hold ink in the text area, the link column stays blank.
    int inked = 0;
    for (int y = 0; y < img.height(); ++y) {
      bool ink = false;
      for (int x = 25; x < img.width() && !ink; ++x) ink = img.pixel(x, y) != qRgb(255, 255, 255);
      inked += ink ? 1 : 0;
      for (int x = 0; x < 20; ++x) ASSERT_EQ(img.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
    }
    EXPECT_GT(inked, 10);
    EXPECT_NE(img.height(), previousHeight);  // two different tabs
    previousHeight = img.height();
  }
  EXPECT_EQ(RunTool({QStringLiteral("render"), binder, png}).Exit, 0);
  EXPECT_EQ(
      RunTool({QStringLiteral("render"), binder, png, QStringLiteral("--tab"), QStringLiteral("3")})
          .Exit,
      2);
  EXPECT_EQ(
      RunTool({QStringLiteral("render"), binder, png, QStringLiteral("--tab"), QStringLiteral("0")})
          .Exit,
      2);
#endif
}

TEST(RenderTool, DrawsAnUnderlineUnderItsOwnWord) {
  QTemporaryDir dir;
  const QString tab = dir.filePath(QStringLiteral("under.vlTab"));
  QByteArray whens = "(0,0)";  // the moments of the 24 characters and the line end
  for (int i = 0; i < 25; ++i) whens += "(45000.500000,45000.500000)";
  QFile file(tab);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(
      "<NotesDoc Version=\"2\" TabTitle=\"Underline\">\r\n"
      "<CaretPos SN=\"0\" GN=\"1\" EOL=\"F\">\r\n<ScrollPos VSB=\"0\">\r\n<Sections>\r\n<P "
      "ID=\"0\">\r\n"
      "<Text N=\"25\" T=\"&f0;Word before &f1;UNDER&f0; after.&10;\">\r\n<When L=\"" +
      whens +
      "\">\r\n</P>\r\n"
      "</Sections>\r\n<Fonts>\r\n"
      "<Font Index=\"0\" Name=\"Arial\" Style=\"\" Size=\"12\" Color=\"#000000\">\r\n"
      "<Font Index=\"1\" Name=\"Arial\" Style=\"U\" Size=\"12\" Color=\"#000000\">\r\n"
      "</Fonts>\r\n<Insets>\r\n</Insets>\r\n</NotesDoc>\r\n");
  file.close();
  const QString png = dir.filePath(QStringLiteral("under.png"));
  const RRun run = RunTool(
      {QStringLiteral("render"), tab, png, QStringLiteral("--width"), QStringLiteral("400")});
  ASSERT_EQ(run.Exit, 0) << run.Out.toStdString();
  const QImage img(png);
  ASSERT_FALSE(img.isNull());
  // The longest unbroken run of ink on a row is the line under "UNDER": right of "Word before"
  // (about 80 px of text from x = 22), never from the left edge.
  int bestStart = -1, bestLength = 0;
  for (int y = 0; y < img.height(); ++y) {
    int start = -1;
    for (int x = 0; x <= img.width(); ++x) {
      const bool ink = x < img.width() && img.pixel(x, y) != qRgb(255, 255, 255);
      if (ink && start < 0) start = x;
      if (!ink && start >= 0) {
        if (x - start > bestLength) {
          bestLength = x - start;
          bestStart = start;
        }
        start = -1;
      }
    }
  }
  EXPECT_GE(bestLength, 30);
  EXPECT_GT(bestStart, 80);
}

}  // namespace
