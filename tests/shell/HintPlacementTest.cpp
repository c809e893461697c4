#include "vlHintPlacement.h"

#include <gtest/gtest.h>

TEST(HintPlacement, AHintHangsCentredBelowItsPoint) {
  EXPECT_EQ(HintRectAt(QSize(101, 20), QPoint(500, 300)), QRect(450, 300, 101, 20));
  EXPECT_EQ(HintRectAt(QSize(100, 20), QPoint(500, 300)), QRect(450, 300, 100, 20));
  EXPECT_EQ(HintRectAt(QSize(7, 5), QPoint(-10, -4)), QRect(-13, -4, 7, 5));
}

TEST(HintPlacement, TheWindowStaysEntirelyOnTheNearestScreen) {
  const QRect left(0, 0, 1920, 1080), right(1920, 0, 1280, 1024);
  const QList<QRect> two{left, right};
  struct Row {
    const char *Case;
    QRect Hint;
    QList<QRect> Screens;
    QRect Placed;
  };
  const Row rows[] = {
      {"inside: only 4 pixels taller", QRect(450, 300, 100, 20), two, QRect(450, 300, 100, 24)},
      {"bottom-right corner: moved up and left",
       QRect(1870, 1070, 100, 20),
       {left},
       QRect(1820, 1056, 100, 24)},
      {"past the right edge of the right screen", QRect(3150, 10, 100, 20), two,
       QRect(3100, 10, 100, 24)},
      {"bottom of the shorter right screen", QRect(2000, 1015, 100, 20), two,
       QRect(2000, 1000, 100, 24)},
      {"above and left of all screens", QRect(-50, -30, 100, 20), two, QRect(0, 0, 100, 24)},
      {"larger than the screen", QRect(100, 100, 3000, 2000), {left}, QRect(0, 0, 1920, 1080)},
      {"on the left screen near the border", QRect(1900, 10, 100, 20), two,
       QRect(1820, 10, 100, 24)},
      {"in the gap below both: the closer one", QRect(2500, 1050, 100, 20), two,
       QRect(2500, 1000, 100, 24)},
      {"no screens: as asked", QRect(5, 5, 10, 10), {}, QRect(5, 5, 10, 14)},
  };
  for (const Row &row : rows) {
    const QRect placed = PlaceHintOnScreens(row.Hint, row.Screens);
    EXPECT_EQ(placed, row.Placed) << row.Case;
    if (!row.Screens.isEmpty()) {
      bool onOne = false;
      for (const QRect &s : row.Screens) onOne = onOne || s.contains(placed);
      EXPECT_TRUE(onOne) << row.Case;
    }
  }
  EXPECT_EQ(NearestScreen(two, QPoint(2500, 1050)), 1);
  EXPECT_EQ(NearestScreen(two, QPoint(1919, 1079)), 0);
  EXPECT_EQ(NearestScreen({}, QPoint(0, 0)), -1);
}

TEST(HintPlacement, OnlyTheLeftAndTopEdgesBelongToTheHint) {
  const QRect r(10, 20, 30, 40);  // x 10..39, y 20..59
  const std::pair<QPoint, bool> rows[] = {
      {{10, 20}, true}, {{39, 59}, true},  {{40, 30}, false}, {{20, 60}, false},
      {{9, 30}, false}, {{20, 19}, false}, {{40, 60}, false}, {{25, 40}, true},
  };
  for (const auto &[p, on] : rows) EXPECT_EQ(IsOnHintRect(r, p), on) << p.x() << "," << p.y();
}

TEST(HintPlacement, QuickSuccessionsAndLongTextsAppearWithoutAnimation) {
  EXPECT_TRUE(HintShouldAnimate(true, 300, 10));
  EXPECT_FALSE(HintShouldAnimate(true, 250, 10));
  EXPECT_FALSE(HintShouldAnimate(true, 100, 10));
  EXPECT_FALSE(HintShouldAnimate(true, 300, 100));
  EXPECT_TRUE(HintShouldAnimate(true, 300, 99));
  EXPECT_FALSE(HintShouldAnimate(false, 300, 10));
}
