// The time cursor's text, the slider's drawing and hit test, and the label tool.

#include "vl09_LabelTool.h"
#include "vl09_Slider.h"
#include "vl09_TimeCursor.h"
#include "vlTrackWindowTestSupport.h"

#include <QLineEdit>

namespace {

TEST(TimeCursorTextTest, CutsAtTheFirstSpace_AndLinesUpOneDigitHours) {
  struct Row {
    const char *Long;
    const char *Expected;
  };
  for (const Row r : {Row{"1:47:36 PM", " 1:47:36   "}, Row{"13:47:36", "13:47:36  "},
                      Row{"13:47:36 CEST", "13:47:36   "}, Row{"9", "9  "}}) {
    EXPECT_EQ(TimeCursorText(QString::fromLatin1(r.Long)), QString::fromLatin1(r.Expected))
        << r.Long;
  }
}

TEST(TimeCursorTest, BuildsOnePictureWithTheTimeAndRestoresTheControlsCursor) {
  QWidget a, b;
  a.setCursor(Qt::IBeamCursor);
  TTimeCursor tc;
  tc.Update_Time(&a, TrackAt(13, 47, 36));
  EXPECT_EQ(tc.LastText(), TimeCursorTextOf(TrackAt(13, 47, 36)));
  EXPECT_GT(tc.LastImage().height(), tc.FTimeLocationY);
  EXPECT_EQ(a.cursor().shape(), Qt::BitmapCursor);
  tc.Update_NoTime(&b, Qt::PointingHandCursor);  // another control: the first gets its own back
  EXPECT_EQ(a.cursor().shape(), Qt::IBeamCursor);
  EXPECT_EQ(b.cursor().shape(), Qt::PointingHandCursor);
}

TEST(SliderTest, HealsBitExactly_AndOnlyItsDrawnPixelsCanBeGrabbed) {
  TQuickBitmap bmp(200, 60);
  for (int x = 0; x < 200; ++x) bmp.FillRect(QRect(x, 0, 1, 60), RGBColor(x, 255 - x, 7));
  const QImage before = bmp.Image().copy();
  TvlSlider s(PlaySliderPicture(), 16, PlaySliderPicture());
  s.Bounds_InformOfSlotRect(QRect(0, 0, 200, 60));
  s.LateralPixelPos = 20;
  s.DrawOn(bmp, 190, true);  // partly beyond the right edge
  EXPECT_NE(bmp.Image(), before);
  s.HealOn(bmp);
  EXPECT_EQ(bmp.Image(), before);

  s.SetMarkPos(100);
  const QRect r = s.PictureRect(100);
  EXPECT_TRUE(s.IsHoveringOver(r.left() + 16, r.top() + 7)) << "the mark line";
  EXPECT_FALSE(s.IsHoveringOver(r.left() + 1, r.top() + 7)) << "a transparent corner";
  EXPECT_FALSE(s.IsHoveringOver(r.left() + 16, r.bottom() + 2)) << "below the picture";

  // Dragging keeps the offset at which it was grabbed.
  s.Mouse_SliderPickedUpAt(r.left() + 14, 0);
  EXPECT_EQ(s.Mouse_DraggedToDesiredPos(r.left() + 24, 0), 110);
  s.Mouse_SliderPutDownAt(r.left() + 24);
  EXPECT_EQ(s.Mouse_DraggedToDesiredPos(50, 0), 50);
}

TEST(SafeLabelTextTest, DropsControlCharactersAndCapsTheLength) {
  EXPECT_EQ(SafeLabelText(QStringLiteral("Call\r\nBob\t\"Q\"")), QStringLiteral("CallBob\"Q\""));
  EXPECT_EQ(SafeLabelText(QString(400, QLatin1Char('a'))).size(), MaxLabelChars);
  EXPECT_EQ(SafeLabelText(QString()), QString());
}

class LabelToolTest : public TrackWindowRig {
 protected:
  TEventID Label = M.AddLabelBookmark(ColumnTime(100), u"Old");
  TvlLabelTool &Tool() { return W.LabelTool(); }
  void Key(Qt::Key K, const QString &Text = QString()) {
    QKeyEvent press(QEvent::KeyPress, K, Qt::NoModifier, Text);
    QApplication::sendEvent(Tool().Memo(), &press);
    QKeyEvent release(QEvent::KeyRelease, K, Qt::NoModifier, Text);
    QApplication::sendEvent(Tool().Memo(), &release);
  }
};

TEST_F(LabelToolTest, EveryKeyStoresTheLabel_EscapeRestoresIt_EnterKeepsIt) {
  W.InvalidateRebuildAndRedrawWithoutFlicker();
  int stored = 0;
  Tool().OnTextStored = [&](TEventID) { ++stored; };
  Tool().MyShow(10, 10, QStringLiteral(""), mcHideOnDeparture, Label);
  ASSERT_TRUE(Tool().isVisible());
  QString typed;
  for (const QChar c : QStringLiteral("Call")) {
    typed += c;
    Key(Qt::Key(c.toUpper().unicode()), QString(c));
    EXPECT_EQ(M.EventText_FromEventID(Label), typed);
  }
  EXPECT_EQ(stored, 4);
  Key(Qt::Key_Escape);
  EXPECT_FALSE(Tool().isVisible());
  EXPECT_EQ(M.EventText_FromEventID(Label), QString()) << "the text it had on opening";

  Tool().MyShow(10, 10, QStringLiteral("Old"), mcHideOnDeparture, Label);
  Key(Qt::Key_Exclam, QStringLiteral("!"));
  Key(Qt::Key_Return);
  EXPECT_FALSE(Tool().isVisible());
  EXPECT_EQ(M.EventText_FromEventID(Label), QStringLiteral("Old!")) << "Enter keeps the text";
}

TEST_F(LabelToolTest, IsAsWideAsTheTrackUpTo300_AndStaysInside) {
  Tool().MyShow(380, 10, QStringLiteral("x"), mcNoEffect, Label);
  EXPECT_EQ(Tool().width(), 300);
  EXPECT_EQ(Tool().x(), 100);
  // The same event again is ignored; -1 too.
  Tool().MyShow(0, 10, QStringLiteral("y"), mcNoEffect, Label);
  EXPECT_EQ(Tool().x(), 100);
  Tool().MyHide();
  W.resize(250, W.height());
  Tool().MyShow(0, 10, QStringLiteral("x"), mcNoEffect, Label);
  EXPECT_EQ(Tool().width(), 250);
}

}  // namespace
