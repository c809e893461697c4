// TColor to and from QColor, as the document's drawing and the shell use it.

#include "vlColorConversion.h"

#include <gtest/gtest.h>

TEST(ColorConversion, RedIsTheLowByteAndSpecialValuesMapToNoColour) {
  EXPECT_EQ(TColorToQColor(0x563412), QColor(0x12, 0x34, 0x56));
  EXPECT_EQ(QColorToTColor(QColor(0x12, 0x34, 0x56)), 0x563412);
  EXPECT_EQ(TColorToQColor(clNone).alpha(), 0);
  EXPECT_FALSE(TColorToQColor(clDefault).isValid());
  EXPECT_EQ(QColorToTColor(QColor()), clDefault);
  EXPECT_EQ(QColorToTColor(QColor(Qt::transparent)), clNone);
  // Alpha is dropped.
  EXPECT_EQ(QColorToTColor(QColor(0x12, 0x34, 0x56, 0x80)), 0x563412);
}
