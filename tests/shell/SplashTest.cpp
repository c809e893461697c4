// The splash's progress and the launch log it feeds.

#include "vlClock.h"
#include "vlGlobals.h"
#include "vlSplash.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

}  // namespace

TEST(Splash, StepsDrawTheirPercentAndGoToTheLaunchLog) {
  struct RRow {
    int At, Next, Minor, Percent;
  };
  for (const RRow &row : {RRow{20, 40, 0, 20}, RRow{20, 40, 50, 30}, RRow{20, 40, 95, 39},
                          RRow{20, 40, 100, 40}, RRow{80, 95, 10, 81}})
    EXPECT_EQ(MinorStepPercent(row.At, row.Next, row.Minor), row.Percent)
        << row.At << " " << row.Next << " " << row.Minor;

  TManualClock clock(40059.5);
  TScopedClock useClock(clock);
  TLaunchLog log;
  log.Start(Now(), clock.SteadyMSecs());
  TSplashFm splash(log);
  splash.Progress_MajorStep(20, 40, S("Creating main window"));
  clock.AdvanceMSecs(250);
  splash.Progress_MinorStep(50, S("Customizing main window"));
  EXPECT_EQ(splash.Percent(), 30);
  EXPECT_EQ(splash.Message(), S("Customizing main window"));
  ASSERT_EQ(log.Lines().size(), 4);
  EXPECT_EQ(log.Lines()[2], S("  0.000  0.250  20%  Creating main window"));
  EXPECT_TRUE(log.Lines()[3].endsWith(S("30%  Customizing main window")));
}

TEST(Splash, ShowsTheProgramsIcon) {
  QPixmap picture(64, 64);
  picture.fill(Qt::red);
  const QIcon before = QApplication::windowIcon();
  QApplication::setWindowIcon(QIcon(picture));
  TLaunchLog log;
  TSplashFm splash(log);
  const auto *icon = splash.findChild<QLabel *>(QStringLiteral("SplashIcon"));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->pixmap().toImage().pixelColor(32, 32), QColor(Qt::red));
  QApplication::setWindowIcon(before);
}
