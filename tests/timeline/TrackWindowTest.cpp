// The track window: playing from the slot, the animated zoom, the time machine, the typing
// display and the live advance of the current track.

#include "vlTrackWindowTestSupport.h"

#include "vl09_ZoomPanel.h"

#include <QFontMetrics>
#include <QPixmap>
#include <QSlider>
#include <QToolButton>
#include <QWheelEvent>

#include <iterator>
#include <utility>

namespace {

class TrackWindowTest : public TrackWindowRig {};

TEST_F(TrackWindowTest, SlotClickPlaysFromItsMoment_WithoutAudioNothingPlaysAndTheHintSaysWhy) {
  W.WantedTempo = 120;
  Press(QPoint(150, SlotY()));
  Release(QPoint(150, SlotY()));
  ASSERT_EQ(Audio.Plays.size(), 1u);
  EXPECT_EQ(Audio.Plays[0].first, ColumnTime(150));
  EXPECT_EQ(Audio.Plays[0].second, 120);
  EXPECT_EQ(W.LastSliderTime(), ColumnTime(150));
  EXPECT_TRUE(Hints.empty());

  // No recording there: the slider stays.
  Audio.Result = prNoAudio;
  Press(QPoint(250, SlotY()));
  Release(QPoint(250, SlotY()));
  EXPECT_EQ(W.LastSliderTime(), ColumnTime(150));
  ASSERT_EQ(Hints.size(), 1u);
  EXPECT_EQ(Hints[0], QStringLiteral("NO AUDIO"));

  // No audio at all: the same.
  W.SetAudio(nullptr);
  Press(QPoint(260, SlotY()));
  EXPECT_EQ(Hints.size(), 2u);
  EXPECT_EQ(W.LastSliderTime(), ColumnTime(150));
  EXPECT_EQ(Audio.Plays.size(), 2u);
}

TEST_F(TrackWindowTest, WantTempoFollowsTheOptions) {
  W.TempoBarPosition = 80;
  for (const auto &[wanted, expected] : {std::pair{100, 100.0}, {999, 80.0}, {120, 120.0}}) {
    W.WantedTempo = wanted;
    EXPECT_EQ(W.WantTempo(), expected) << wanted;
  }
}

TEST_F(TrackWindowTest, AnimatedZoomKeepsTheAnchorUnderItsColumnInEveryFrame) {
  Clock.Set(ColumnTime(150));  // now, the anchor with psNow
  TDateTime anchor = Now();
  const TZoomLevel level = ZoomLevelFromPixelDuration(PD);
  ASSERT_EQ(PixelDurationFromZoomLevel(level), PD);
  int frames = 0;
  ASSERT_TRUE(Track.ZoomOut());  // the track's own zoom control animates through the window
  ASSERT_TRUE(W.IsZoomAnimating());
  while (W.IsZoomAnimating()) {
    bool inRange = false;
    ASSERT_EQ(W.TargetMapping().ColumnOf(anchor, inRange), 150)
        << "frame " << frames << " pd " << W.TargetMapping().PixelDuration << " when "
        << (anchor - W.TargetMapping().When) * SecsPerDay;
    EXPECT_TRUE(inRange);
    Clock.AdvanceMSecs(16);
    W.ZoomAnimationFrame();
    // Half way, a second zoom out retargets from where the frames are.
    if (++frames == 6) {
      anchor = Now();  // the clock moved on: the new anchor is now again
      W.ZoomOutCommand();
    }
    ASSERT_LT(frames, 100);
  }
  EXPECT_GE(frames, 15) << "about 16 ms frames over 200 ms, restarted once";
  W.EnsureIndex();
  EXPECT_EQ(W.vlTrackIndex().Zoom_PixelDuration(), PixelDurationFromZoomLevel(level + 2));
  EXPECT_EQ(W.vlTrackRender().ZoomLevel(), level + 2);
  EXPECT_EQ(W.vlTrackIndex().Mapping().ColumnOf(anchor), 150);
}

TEST_F(TrackWindowTest, OneZoomLevel_TheSpanShownTheRendererAndTheZoomPanelAgree) {
  TvlZoomPanel panel(W);
  W.EnsureIndex();
  const auto agree = [&](TZoomLevel Level, const char *How) {
    SCOPED_TRACE(How);
    W.EnsureIndex();
    EXPECT_EQ(W.ZoomLevel(), Level);
    EXPECT_EQ(panel.ShownLevel(), Level);
    EXPECT_EQ(W.vlTrackIndex().Zoom_PixelDuration(), PixelDurationFromZoomLevel(Level));
    EXPECT_EQ(W.vlTrackRender().Zoom_PixelDuration(), PixelDurationFromZoomLevel(Level));
    EXPECT_EQ(W.ShownPixelDuration(), PixelDurationFromZoomLevel(Level));
  };
  agree(4, "the rig's 2 seconds per column");
  // The level set at once through the track (the first show), then a move: the move keeps it.
  Track.InitializeAtFirstShow_AndSetZoomLevelTo(9);
  W.MoveTrackTo(ColumnTime(10));
  agree(9, "first show, then a move");
  EXPECT_EQ(W.TargetMapping().When, ColumnTime(10));
  // A move with a scale of its own (the calendar) takes that scale's level.
  W.MoveAndZoomTrackTo(0, 0.5, ColumnTime(0));
  agree(2, "a span shown at half a second per column");
  // The panel's buttons and slider animate; the panel shows where the zoom goes at once.
  panel.ZoomOutBtn()->click();
  panel.ZoomOutBtn()->click();
  EXPECT_EQ(panel.ShownLevel(), 4);
  EXPECT_EQ(W.ShownPixelDuration(), 2);
  Clock.AdvanceMSecs(250);
  W.ZoomAnimationFrame();
  agree(4, "two clicks on Zoom Out");
  panel.ZoomSlider()->setValue(1);
  Clock.AdvanceMSecs(250);
  W.ZoomAnimationFrame();
  agree(1, "the slider at the top");
  EXPECT_FALSE(panel.ZoomInBtn()->isEnabled());
  panel.ZoomInBtn()->click();
  EXPECT_FALSE(W.IsZoomAnimating());
  agree(1, "Zoom In at level 1 does nothing");
}

TEST_F(TrackWindowTest, CtrlWheelZoomsAboutThePointer_ThePlainWheelIsLeftToTheProgram) {
  const TDateTime under = ColumnTime(300);
  const auto wheel = [&](int Notches, Qt::KeyboardModifiers Mods) {
    QWheelEvent e(QPointF(W.Margin() + 300, SlotY()), W.mapToGlobal(QPointF(300, SlotY())),
                  QPoint(), QPoint(0, 120 * Notches), Qt::NoButton, Mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&W, &e);
    return e.isAccepted();
  };
  EXPECT_FALSE(wheel(1, Qt::NoModifier));
  EXPECT_FALSE(W.IsZoomAnimating());
  EXPECT_TRUE(wheel(-1, Qt::ControlModifier));  // towards the user: out
  EXPECT_TRUE(W.IsZoomAnimating());
  for (int frame = 0; W.IsZoomAnimating() && frame < 30; ++frame) {
    Clock.AdvanceMSecs(16);
    W.ZoomAnimationFrame();
    bool inRange = false;
    EXPECT_EQ(W.TargetMapping().ColumnOf(under, inRange), 300) << frame;
  }
  W.EnsureIndex();
  EXPECT_EQ(W.ZoomLevel(), 5);
  // Half a notch (a touchpad) does nothing until the other half comes.
  EXPECT_TRUE(wheel(0, Qt::ControlModifier));
  QWheelEvent half(QPointF(300, SlotY()), W.mapToGlobal(QPointF(300, SlotY())), QPoint(),
                   QPoint(0, 60), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(&W, &half);
  EXPECT_FALSE(W.IsZoomAnimating());
  QApplication::sendEvent(&W, &half);
  EXPECT_TRUE(W.IsZoomAnimating());
  EXPECT_EQ(W.ZoomLevelAimedAt(), 4);
}

TEST_F(TrackWindowTest, AnUndrawnPlaySliderCannotBeGrabbed) {
  // No play position on the track: the slider is not drawn, and a press where it would lie
  // (the left 16 pixels) plays from the slot instead of picking it up.
  Audio.Position = 0;
  W.repaint();
  ASSERT_FALSE(W.PlaySliderShown());
  const QPoint left(W.Margin() + 5, SlotY());
  Hover(left);
  EXPECT_FALSE(W.PlaySliderHot());
  Press(left);
  EXPECT_FALSE(W.PlaySlider().IsPickedUp());
  Release(left);
  ASSERT_EQ(Audio.Plays.size(), 1u);
  EXPECT_EQ(Audio.Plays[0].first, ColumnTime(5));
}

TEST_F(TrackWindowTest, TimeMachineButtonStepsAtOnceThenAfterAPauseThenEveryTick) {
  const TDateTime start = W.TargetMapping().When;
  const int step = W.Columns() / 25;
  W.StartStepping(+1);                                        // the press steps at once
  for (int tick = 1; tick <= 10; ++tick) W.WrappingScroll();  // one second of 100 ms ticks
  W.StopStepping();
  EXPECT_NEAR((W.TargetMapping().When - start) * SecsPerDay, (1 + 6) * step * PD, 1e-3);
  W.WrappingScroll();
  EXPECT_NEAR((W.TargetMapping().When - start) * SecsPerDay, (1 + 6) * step * PD, 1e-3)
      << "released: no more steps";

  const TDateTime before = W.TargetMapping().When;
  W.StartStepping(-1);
  W.StopStepping();
  EXPECT_NEAR((W.TargetMapping().When - before) * SecsPerDay, -step * PD, 1e-3);
}

TEST_F(TrackWindowTest, TreadDragsTenColumnsPerPixel_AndGoesOnLinearlyWhereThePointerCannotWarp) {
  TTimeMachine &tm = W.TimeMachine();
  int warps = 0;
  tm.WarpPointer = [&](const QPoint &) {
    ++warps;
    return false;  // as on Wayland
  };
  const TDateTime start = W.TargetMapping().When;
  auto send = [&](QEvent::Type t, int x, Qt::MouseButtons b) {
    const QPoint at(x, 9);
    QMouseEvent e(t, QPointF(at), QPointF(tm.mapToGlobal(at)), Qt::LeftButton, b, Qt::NoModifier);
    QApplication::sendEvent(&tm, &e);
  };
  const int x0 = TTimeMachine::ButtonWidth + tm.TreadState() + 2;
  send(QEvent::MouseButtonPress, x0, Qt::LeftButton);
  ASSERT_TRUE(tm.MouseIsDown());
  send(QEvent::MouseMove, x0 + 7, Qt::LeftButton);
  EXPECT_NEAR((W.TargetMapping().When - start) * SecsPerDay, 7 * 10 * PD, 1e-3);
  // Past the slot's right end: the warp fails, so no wrap is counted and the drag stays linear.
  const int far = tm.width() + 30;
  send(QEvent::MouseMove, far, Qt::LeftButton);
  EXPECT_GE(warps, 1);
  EXPECT_EQ(tm.WrapsX(), 0);
  send(QEvent::MouseMove, far + 1, Qt::LeftButton);
  EXPECT_NEAR((W.TargetMapping().When - start) * SecsPerDay, (far + 1 - x0) * 10 * PD, 1e-3);
  send(QEvent::MouseButtonRelease, far + 1, Qt::NoButton);
  EXPECT_FALSE(tm.MouseIsDown());
  EXPECT_FALSE(W.FKeepSliderInView);

  // A click beside the tread pages by one slot width: back on the left half, on on the right.
  const TDateTime before = W.TargetMapping().When;
  send(QEvent::MouseButtonPress, TTimeMachine::ButtonWidth + 1, Qt::LeftButton);
  send(QEvent::MouseButtonRelease, TTimeMachine::ButtonWidth + 1, Qt::NoButton);
  EXPECT_NEAR((W.TargetMapping().When - before) * SecsPerDay, -tm.SlotWidth() * PD, 1e-3);
}

TEST_F(TrackWindowTest, TypingDisplayStopsBefore150Characters_AndIsEmptyWithoutNearbyTyping) {
  // Ten characters in each column from 100 to 199.
  for (int po = 100; po < 200; ++po)
    for (int c = 0; c < 10; ++c) M.AddTypingEvent(ColumnTime(po) + c * 0.1 * OneSec, u"x");
  W.InvalidateRebuildAndRedrawWithoutFlicker();
  int boldStart = 0, boldLength = 0;
  QString text;
  W.GetKeyboardingDisplayParam(150, boldStart, text, boldLength);
  EXPECT_FALSE(text.isEmpty());
  EXPECT_LE(text.size(), 150);
  EXPECT_GT(boldLength, 0);
  EXPECT_EQ(boldStart + boldLength <= text.size(), true);
  W.GetKeyboardingDisplayParam(300, boldStart, text, boldLength);
  EXPECT_TRUE(text.isEmpty());
}

TEST_F(TrackWindowTest, CurrentTrackFollowsNowWhileRecording) {
  TvlTrack current{arCurrent, nullptr, &M};
  TvlTrackWindow cw{current};
  cw.SetAudio(&Audio);
  cw.resize(400, cw.TrackHeight() + TTimeMachine::StripHeight);
  cw.show();
  Clock.Set(ColumnTime(390));
  cw.MoveAndZoomTrackTo(0, PD, ColumnTime(0));
  Audio.Recording = true;
  cw.SliderUpdateTick();
  EXPECT_EQ(cw.TargetMapping().When, ColumnTime(0)) << "now still on the track";
  Clock.Set(ColumnTime(405));
  cw.SliderUpdateTick();
  bool inRange = false;
  EXPECT_EQ(cw.TargetMapping().ColumnOf(Now(), inRange), 0) << "jump 100 %: now at the left";
  EXPECT_EQ(cw.Now_ScrollingTo().MyNow(), Now());

  Audio.Recording = false;
  Clock.Set(ColumnTime(900));
  cw.SliderUpdateTick();
  EXPECT_EQ(cw.TargetMapping().ColumnOf(Now(), inRange) > 400, true) << "not recording: stays";
}

TEST_F(TrackWindowTest, PointingOutAMomentOnlyWorksOnTheTrack) {
  EXPECT_TRUE(W.PointOutSpecificTimeOnTrack(ColumnTime(20)));
  EXPECT_TRUE(W.IsPointingOut());
  EXPECT_FALSE(W.PointOutSpecificTimeOnTrack(ColumnTime(-20)));
  EXPECT_EQ(W.SliderUpdateInterval(), 1000);  // 2 s per column, clamped
}

}  // namespace

namespace {

TEST_F(TrackWindowTest, DraggingThePlaySliderScrubs_RestingPlaysAt150_ReleasePlaysAtTheTempo) {
  int tempoBar = 0;
  Links.OnTempoBarSet = [&](int T) { tempoBar = T; };
  W.PlaySlider_MoveToDesiredDateTime(ColumnTime(100));
  Audio.Position = ColumnTime(100);
  W.repaint();
  const QRect r = W.PlaySlider().PictureRect(100);
  const QPoint grab(r.left() + W.PlaySlider().HotSpot(), r.top() + 7);
  ASSERT_TRUE(W.PlaySlider().IsHoveringOver(grab.x(), grab.y()));
  Press(grab);
  ASSERT_TRUE(W.PlaySlider().IsPickedUp());
  DragTo(grab + QPoint(30, 0));
  EXPECT_EQ(W.PlaySlider().MarkPos(), 130);
  EXPECT_TRUE(Audio.Plays.empty()) << "moving alone plays nothing";
  W.SliderHesitated();
  ASSERT_EQ(Audio.Plays.size(), 1u);
  EXPECT_EQ(Audio.Plays[0], std::make_pair(ColumnTime(130), 150.0));
  EXPECT_EQ(tempoBar, 150);
  DragTo(grab + QPoint(40, 0));
  Release(grab + QPoint(40, 0));
  EXPECT_FALSE(W.PlaySlider().IsPickedUp());
  ASSERT_EQ(Audio.Plays.size(), 2u);
  EXPECT_EQ(Audio.Plays[1], std::make_pair(ColumnTime(140), 100.0));
}

}  // namespace

namespace {

TEST_F(TrackWindowTest, BiggestGapLiesBetweenTheEventsShown) {
  M.AddNumberedBookmark(1, ColumnTime(20));
  M.AddNumberedBookmark(2, ColumnTime(100));
  M.AddNumberedBookmark(3, ColumnTime(300));
  EXPECT_NEAR((W.MiddleOfBiggestVisibleGapBetweenEvents() - ColumnTime(200)) * SecsPerDay, 0, 1e-3);
  EXPECT_EQ(W.ScrollableRegion_Test(-3), -3);
  EXPECT_EQ(W.ScrollableRegion_Test(200), 0);
  EXPECT_EQ(W.ScrollableRegion_Test(402), 3);
}

}  // namespace

// The caption block's texts, the calendar glyph and the find-slider button never overlap, on an
// ordinary screen and on one of twice the pixel density, for short and long dates and weekdays.
TEST(TrackCaption, NoCaptionRectanglesOverlapAtScaleOneAndTwo) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  const TDateTime dates[] = {
      EncodeDateTime(2009, 9, 3, 13, 47, 36, 500), EncodeDateTime(2026, 12, 31, 23, 59, 0, 0),
      EncodeDateTime(2025, 11, 26, 0, 5, 0, 0), EncodeDateTime(2024, 2, 28, 12, 0, 0, 0)};
  for (const qreal ratio : {1.0, 2.0}) {
    QPixmap screen(QSize(400, 100) * ratio);
    screen.setDevicePixelRatio(ratio);
    const QFontMetrics metrics(font, &screen);
    for (const TAudioRole role : {arHistorical, arCurrent}) {
      for (const TDateTime when : dates) {
        const RTrackCaptionLayout l = TrackCaptionLayout(metrics, role, when);
        SCOPED_TRACE(
            (QStringLiteral("scale %1, %2 %3 %4").arg(ratio).arg(l.Title, l.Day + l.Date, l.Time))
                .toStdString());
        const QRect slider = TvlTrackWindow::FindSliderArea().adjusted(2, 2, -2, -2);
        const std::pair<const char *, QRect> rects[] = {
            {"title", l.TitleRect}, {"day", l.DayRect},     {"date", l.DateRect},
            {"time", l.TimeRect},   {"glyph", l.GlyphRect}, {"find slider", slider}};
        EXPECT_EQ(l.GlyphRect.isNull(), role == arCurrent);
        for (std::size_t i = 0; i < std::size(rects); ++i)
          for (std::size_t j = i + 1; j < std::size(rects); ++j)
            EXPECT_FALSE(rects[i].second.intersects(rects[j].second))
                << rects[i].first << " and " << rects[j].first;
      }
    }
  }
}

namespace {

class TrackWindowPixelsTest : public TrackWindowRig {};

// The track is drawn at the screen's pixel density and shown one to one: the window's pixels
// over the markers and labels (right of the caption) are the track bitmap's device pixels (run
// again at scale 2).
TEST_F(TrackWindowPixelsTest, TheTrackIsShownAtTheScreensPixelDensity) {
  M.AddNumberedBookmark(1, ColumnTime(100));
  M.AddLabelBookmark(ColumnTime(150), u"Call Bob");
  ShowAt(TrackAt(10, 0));
  const QImage shown = W.grab().toImage().convertToFormat(QImage::Format_RGB32);
  const int scale = TQuickBitmap::ScaleForRatio(W.devicePixelRatioF());
  EXPECT_EQ(W.vlTrackRender().DeviceScale(), scale);
  const QImage bitmap = Track.BitmapToShare().Image();
  ASSERT_EQ(bitmap.devicePixelRatio(), scale);
  ASSERT_EQ(shown.devicePixelRatio(), W.devicePixelRatioF());
  const int slotTop = W.vlTrackRender().TrackSlotRect().top();
  const QRect area = QRect(QPoint(90, 0), QPoint(360, slotTop - 1));  // right of the caption
  int inked = 0;
  for (int y = area.top() * scale; y < (area.bottom() + 1) * scale; ++y)
    for (int x = area.left() * scale; x < (area.right() + 1) * scale; ++x) {
      ASSERT_EQ(shown.pixel(x, y), bitmap.pixel(x, y)) << x << "," << y;
      inked += bitmap.pixel(x, y) != bitmap.pixel(0, slotTop - 10);
    }
  EXPECT_GT(inked, 100 * scale * scale);  // the marker and the label are there
}

}  // namespace
