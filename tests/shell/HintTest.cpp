#include "vl09_Hint.h"
#include "vlClock.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

QRect ScreenRect() { return QGuiApplication::primaryScreen()->geometry(); }

void SendMouse(QWidget &W, QEvent::Type Type, QPoint At, Qt::MouseButton Button) {
  const Qt::MouseButtons held =
      Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button);
  QMouseEvent event(Type, QPointF(At), W.mapToGlobal(QPointF(At)), Button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(&W, &event);
}

}  // namespace

TEST(Hint, ShowsCentredBelowItsPointAndAnswersForItsOwnRectangle) {
  ASSERT_TRUE(ScreenRect().contains(QRect(300, 250, 400, 200)));
  TvlHint hint;
  hint.ShowIt(S("Saved"), QPoint(500, 300), 60000);
  ASSERT_TRUE(hint.isVisible());
  const QRect g = hint.geometry();
  const QSize text = hint.CalcHintSize(S("Saved"));
  EXPECT_EQ(g.top(), 300);
  EXPECT_EQ(g.left(), 500 - text.width() / 2);
  EXPECT_EQ(g.size(), text + QSize(0, 4));
  EXPECT_EQ(hint.ActivatedRect(), g);
  EXPECT_EQ(hint.HintText(), S("Saved"));
  EXPECT_TRUE(hint.IsOnHint(g.topLeft()));
  EXPECT_FALSE(hint.IsOnHint(QPoint(g.left() + g.width(), g.top())));
  EXPECT_FALSE(hint.IsOnHint(QPoint(g.left(), g.top() + g.height())));
  EXPECT_TRUE(hint.HideTimerActive());
  EXPECT_EQ(hint.HideTimerInterval(), 60000);
  hint.HideEarly();
  EXPECT_FALSE(hint.isVisible());
  EXPECT_FALSE(hint.IsOnHint(g.topLeft()));
}

TEST(Hint, AHintAtTheScreensCornerIsMovedOntoIt) {
  const QRect screen = ScreenRect();
  TvlHint hint;
  hint.ShowItAdjusted(S("A rather long hint text that wraps onto several lines in its window"),
                      screen.bottomRight(), -2, -2, 60000);
  EXPECT_TRUE(screen.contains(hint.geometry()));
  EXPECT_EQ(hint.geometry().bottom(), screen.bottom());
  EXPECT_EQ(hint.geometry().right(), screen.right());
  EXPECT_TRUE(hint.IsOnHint(hint.geometry().center()));
  EXPECT_LE(hint.width(), 200 + 6 + 1);
}

TEST(Hint, HidesByItselfAfterItsTime) {
  TvlHint hint;
  hint.ShowIt(S("Going"), QPoint(100, 100), 30);
  EXPECT_TRUE(WaitForEvents([&] { return !hint.isVisible(); }));
  EXPECT_FALSE(hint.IsOnHint(hint.ActivatedRect().topLeft()));

  // Without a time it stays until hidden or replaced.
  hint.ShowIt(S("Stays"), QPoint(100, 100), 0);
  EXPECT_FALSE(hint.HideTimerActive());
  hint.ShowIt(S("Replaced"), QPoint(200, 150), 40000);
  EXPECT_EQ(hint.HintText(), S("Replaced"));
  EXPECT_EQ(hint.HideTimerInterval(), 40000);
  EXPECT_EQ(hint.geometry().top(), 150);
}

TEST(Hint, APauseKeyTextHoldsTranscriptionModeUntilTheHintHides) {
  TvlHint hint;
  hint.ShowIt(S("Press the Pause key to go on"), QPoint(100, 100), 40000);
  EXPECT_TRUE(hint.TranscriptionMode());
  EXPECT_TRUE(hint.HideTimerActive());  // it still hides after its time
  hint.ShowIt(S("Other text"), QPoint(100, 100), 40000);
  EXPECT_TRUE(hint.TranscriptionMode());
  hint.HideEarly();
  EXPECT_FALSE(hint.TranscriptionMode());
  hint.ShowIt(S("Pause key"), QPoint(100, 100), 20);
  EXPECT_TRUE(WaitForEvents([&] { return !hint.TranscriptionMode(); }));
}

TEST(Hint, OnlyHintsLongEnoughAfterThePreviousOneAreAnimated) {
  TManualClock clock(0);
  TScopedClock useClock(clock);
  TvlHint hint;
  hint.SetToolTipAnimation(true);
  hint.ShowIt(S("first"), QPoint(100, 100), 40000);
  EXPECT_TRUE(hint.LastShowAnimated());
  clock.AdvanceMSecs(100);
  hint.ShowIt(S("second"), QPoint(100, 100), 40000);
  EXPECT_FALSE(hint.LastShowAnimated());
  clock.AdvanceMSecs(300);
  hint.ShowIt(QString(100, QLatin1Char('x')), QPoint(100, 100), 40000);
  EXPECT_FALSE(hint.LastShowAnimated());
  clock.AdvanceMSecs(300);
  hint.ShowIt(S("third"), QPoint(100, 100), 40000);
  EXPECT_TRUE(hint.LastShowAnimated());
  hint.SetToolTipAnimation(false);
  clock.AdvanceMSecs(300);
  hint.ShowIt(S("fourth"), QPoint(100, 100), 40000);
  EXPECT_FALSE(hint.LastShowAnimated());
}

TEST(Hint, MouseEventsArePassedOnAndAPressAndReleaseOnItIsAClick) {
  TvlHint hint;
  int clicks = 0;
  QList<QPoint> downs, ups, moves;
  hint.SetMyOnClick([&] { ++clicks; });
  hint.SetMyOnMouseDown([&](Qt::MouseButton, Qt::KeyboardModifiers, QPoint P) { downs.append(P); });
  hint.SetMyOnMouseUp([&](Qt::MouseButton, Qt::KeyboardModifiers, QPoint P) { ups.append(P); });
  hint.SetMyOnMouseMove([&](Qt::KeyboardModifiers, QPoint P) { moves.append(P); });
  hint.ShowIt(S("Click me"), QPoint(300, 300), 40000);
  SendMouse(hint, QEvent::MouseButtonPress, QPoint(3, 4), Qt::LeftButton);
  SendMouse(hint, QEvent::MouseButtonRelease, QPoint(5, 6), Qt::LeftButton);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(downs, (QList<QPoint>{QPoint(3, 4)}));
  EXPECT_EQ(ups, (QList<QPoint>{QPoint(5, 6)}));
  SendMouse(hint, QEvent::MouseMove, QPoint(7, 8), Qt::NoButton);
  EXPECT_EQ(moves, (QList<QPoint>{QPoint(7, 8)}));
  // Released away from the hint, or with another button: no click.
  SendMouse(hint, QEvent::MouseButtonPress, QPoint(3, 4), Qt::LeftButton);
  SendMouse(hint, QEvent::MouseButtonRelease, QPoint(-20, 4), Qt::LeftButton);
  SendMouse(hint, QEvent::MouseButtonPress, QPoint(3, 4), Qt::RightButton);
  SendMouse(hint, QEvent::MouseButtonRelease, QPoint(3, 4), Qt::RightButton);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(downs.size(), 3);
}
