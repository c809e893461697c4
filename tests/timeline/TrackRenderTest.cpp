#include "vl09_Track.h"
#include "vl09_Visualization.h"
#include "vlTracksTestSupport.h"

#include <QString>

namespace {
constexpr TColor clLabels = RGBColor(34, 52, 136);
constexpr TColor clTickLine = RGBColor(221, 221, 221);
}  // namespace

class TrackRenderTest : public TrackRig {
 protected:
  TrackRenderTest() {
    T.SetWidth(600);
    Show(3, TrackAt(10, 0));
  }
  void Show(TZoomLevel Level, TDateTime When) {
    T.InitializeAtFirstShow_AndSetZoomLevelTo(Level);
    T.MoveTo(When, 0);
    T.Render().RenderAll();
  }
  void Rerender() {
    T.Index().EntireIndex_Rebuild_SameEverything();
    T.Render().RenderAll();
  }
  TQuickBitmap &B() { return T.BitmapToShare(); }
  TColor Px(int X, int Y) { return B().PixelAt(X, Y); }
  int SlotTop() { return T.Render().TrackSlotRect().top(); }
  // Pixels of exactly Colour inside Rect.
  int Count(const QRect &Rect, TColor Colour) {
    int n = 0;
    for (int y = Rect.top(); y <= Rect.bottom(); ++y)
      for (int x = Rect.left(); x <= Rect.right(); ++x) n += Px(x, y) == Colour;
    return n;
  }
  // Columns of Rect holding a pixel different from Background (and from Also).
  std::pair<int, int> InkColumns(const QRect &Rect, TColor Background, TColor Also = clNone) {
    int lo = 1 << 30, hi = -1;
    for (int y = Rect.top(); y <= Rect.bottom(); ++y)
      for (int x = Rect.left(); x <= Rect.right(); ++x)
        if (Px(x, y) != Background && Px(x, y) != Also) lo = std::min(lo, x), hi = std::max(hi, x);
    return {lo, hi};
  }

  TVisualization V;
  TvlTrack T{arHistorical, &V, &M};
};

TEST_F(TrackRenderTest, BandsStackInTheirOrder_AndTheBitmapIsAtLeast2000Wide) {
  TvlTrackRender &r = T.Render();
  EXPECT_EQ(r.GetWidth_TotalLateral(), 117);  // sketching band hidden by the track
  EXPECT_EQ(B().Height(), 117);
  EXPECT_EQ(B().Width(), 2000);
  EXPECT_EQ(r.Band_Markers().Rect, QRect(0, 0, 2000, 25));
  EXPECT_EQ(r.Band_Labels().Rect.top(), 25);
  EXPECT_EQ(r.Band_SlotArea().Rect.top(), 60);
  EXPECT_EQ(SlotTop(), 62);
  EXPECT_EQ(r.Band_Keyboarding().Rect.top(), 79);
  EXPECT_EQ(r.Band_TimeTics().Rect.top(), 89);
  EXPECT_TRUE(r.IsMouseOverTrack(0, 62));
  EXPECT_TRUE(r.IsMouseOverTrack(2000, 77));
  EXPECT_FALSE(r.IsMouseOverTrack(5, 78));
  T.SetWidth(2500);
  T.Render().RenderAll();
  EXPECT_EQ(B().Width(), 2500);
  // How far right a label can reach: labels band bottom (60) / tan(angle) + 50, the angle held
  // to 9..85 degrees.
  const std::pair<int, int> allowances[] = {{0, 429}, {30, 154}, {90, 55}};
  for (auto [angle, allowance] : allowances) {
    RTrackLook look = r.Look();
    look.LabelAngleDegrees = angle;
    r.SetLook(look);
    EXPECT_EQ(r.HorizontalAllowanceForTiltedText(), allowance) << angle;
  }
}

TEST_F(TrackRenderTest, MarkersAndLabelsSitAtTheirColumns) {
  const TEventID marker = M.AddNumberedBookmark(1, TrackAt(10, 1, 40));    // column 100
  const TEventID label = M.AddLabelBookmark(TrackAt(10, 5), u"Call Bob");  // column 300
  Rerender();
  const TColor plain = T.Render().Look().clPlain;
  const auto [mLo, mHi] = InkColumns(QRect(0, 0, 250, 25), plain);
  EXPECT_LE(std::abs((mLo + mHi) / 2 - 100), 2);
  // The stem: one pixel wide for three rows above the slot, three wide above that.
  const int s = SlotTop();
  for (int y = s - 4; y <= s - 2; ++y) {
    EXPECT_EQ(Px(300, y), clLabels) << y;
    EXPECT_EQ(Px(299, y), plain) << y;
  }
  for (int x = 299; x <= 301; ++x) EXPECT_EQ(Px(x, s - 6), clLabels) << x;
  // The label's ink lies right of its stem, up in the labels and markers bands.
  const auto [lLo, lHi] = InkColumns(QRect(302, 0, 298, s - 8), plain);
  EXPECT_GE(lLo, 302);
  EXPECT_GT(lHi, lLo + 30);
  // Typing draws an aqua stroke from just above the keyboarding band, longer for more text:
  // "a b c" gives (2 spaces + 1) + 5 / 2 = 5 pixels.
  for (const char16_t *ch : {u"a", u"b", u"c"}) M.AddTypingEvent(TrackAt(10, 8, 20), ch);
  Rerender();
  const int kb = T.Render().Band_Keyboarding().Rect.top();
  EXPECT_EQ(T.Index().GetPixelDataFor(500)->Typing, QStringLiteral("a b c"));
  for (int y = kb - 1; y < kb + 4; ++y) EXPECT_EQ(Px(500, y), RGBColor(0, 255, 255)) << y;
  EXPECT_NE(Px(500, kb + 4), RGBColor(0, 255, 255));
  // The function keys' marker characters read "F1".."F12": wider than a digit.
  M.AddEvent(koeMarker, QChar(char16_t(131)), TrackAt(10, 3, 20), u"");  // column 200
  Rerender();
  const auto [f3Lo, f3Hi] = InkColumns(QRect(150, 0, 100, 25), plain);
  EXPECT_GT(f3Hi - f3Lo, mHi - mLo + 3);
  EXPECT_LE(std::abs((f3Lo + f3Hi) / 2 - 200), 2);
  // A selected marker is drawn red.
  M.Event_Select(marker);
  Rerender();
  EXPECT_GT(Count(QRect(90, 0, 20, 25), RGBColor(255, 0, 0)), 0);
  (void)label;
}

// Which tick labels show depends on the zoom. Minute and hour labels are told apart by their
// colours (fully inked pixels of the normal and the white major font); the small 15/30/45
// labels by ink in their own rows at the tick.
TEST_F(TrackRenderTest, TicksAndTheirLabels_AtLevels1_3And15) {
  const TColor normal = 13421772;
  struct Row {
    TZoomLevel Level;
    int Column;  // a tick's column and its length
    int Length;
    bool Minor, Normal, Hour;  // label classes present
  } rows[] = {
      {1, 60, 2, true, true, true},      // 10:00:15
      {3, 60, 6, false, true, true},     // 10:01
      {3, 15, 2, false, true, true},     // 10:00:15
      {15, 30, 11, false, false, true},  // 10:30
      {15, 60, 12, false, false, true},  // 11:00
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.Level);
    SCOPED_TRACE(r.Column);
    Show(r.Level, TrackAt(10, 0));
    const QRect band = T.Render().Band_TimeTics().Rect;
    EXPECT_EQ(Px(r.Column, band.top() + r.Length - 1), clTickLine);
    EXPECT_NE(Px(r.Column, band.top() + r.Length), clTickLine);
    // One line per column: the neighbour's tick (if any) is shorter.
    EXPECT_NE(Px(r.Column - 1, band.top() + r.Length - 1), clTickLine);
    const QRect minorRows(r.Column - 3, band.top() + 9, 7, 5);
    const TColor ruler = T.Render().Look().clRulerPlain;
    EXPECT_EQ(InkColumns(minorRows, ruler, clTickLine).second >= 0, r.Minor);
    const QRect labels(0, band.top() + 9, 600, band.height() - 9);
    EXPECT_EQ(Count(labels, normal) > 0, r.Normal);
    EXPECT_EQ(Count(labels, clWhite) > 0, r.Hour);
  }
  EXPECT_EQ(TickLabelText(0, 0, 0, false), QStringLiteral("12:00"));
  EXPECT_EQ(TickLabelText(15, 5, 0, false), QStringLiteral("3:05"));
  EXPECT_EQ(TickLabelText(15, 5, 0, true), QStringLiteral("15:05"));
  EXPECT_EQ(TickLabelText(9, 0, 45, false), QStringLiteral("45"));
}

TEST_F(TrackRenderTest, RulerLabelsAcrossNoonAndMidnightOnBothClocks) {
  struct Row {
    int Hour, Minute;
    const char *TwelveHour, *TwentyFourHour, *AmPm;
  } rows[] = {
      {23, 59, "11:59", "23:59", "pm"}, {0, 0, "12:00", "0:00", "am"},
      {0, 5, "12:05", "0:05", "am"},    {1, 0, "1:00", "1:00", "am"},
      {11, 59, "11:59", "11:59", "am"}, {12, 0, "12:00", "12:00", "pm"},
      {12, 30, "12:30", "12:30", "pm"}, {13, 0, "1:00", "13:00", "pm"},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.TwentyFourHour);
    EXPECT_EQ(TickLabelText(r.Hour, r.Minute, 0, false), QString::fromLatin1(r.TwelveHour));
    EXPECT_EQ(TickLabelText(r.Hour, r.Minute, 0, true), QString::fromLatin1(r.TwentyFourHour));
    EXPECT_EQ(TickAmPmText(r.Hour), QString::fromLatin1(r.AmPm));
  }
  // Drawn at a minute per column from 23:00, midnight at column 60: the 12-hour clock writes
  // "12:00" and a grey "am" there, the 24-hour clock the narrower "0:00" and no "am" or "pm".
  std::pair<int, int> midnightInk[2];
  int afterLabel[2] = {0, 0};
  for (const bool twentyFour : {false, true}) {
    RTrackLook look = T.Render().Look();
    look.TwentyFourHourTime = twentyFour;
    T.Render().SetLook(look);
    Show(15, TrackAt(23, 0));
    const QRect band = T.Render().Band_TimeTics().Rect;
    const QRect labels(0, band.top() + 14, 600, band.height() - 14);
    // The white hour label around the midnight tick, and any ink just after it ("am").
    int lo = 1 << 30, hi = -1;
    for (int y = labels.top(); y <= labels.bottom(); ++y)
      for (int x = 30; x <= 90; ++x)
        if (Px(x, y) == clWhite) lo = std::min(lo, x), hi = std::max(hi, x);
    midnightInk[twentyFour] = {lo, hi};
    const TColor ruler = T.Render().Look().clRulerPlain;
    for (int y = labels.top(); y <= labels.bottom(); ++y)
      for (int x = hi + 2; x <= hi + 16; ++x) afterLabel[twentyFour] += Px(x, y) != ruler;
  }
  EXPECT_GT(afterLabel[0], 5);
  EXPECT_EQ(afterLabel[1], 0);
  ASSERT_GE(midnightInk[1].second, 0);
  EXPECT_LT(midnightInk[1].second - midnightInk[1].first,
            midnightInk[0].second - midnightInk[0].first);
  // Both centred on the tick.
  EXPECT_NEAR((midnightInk[1].first + midnightInk[1].second) / 2.0, 60, 3);
}

TEST_F(TrackRenderTest, TheSlotShowsAKnownLevelPattern) {
  // A minute at a steady level, one second four times louder, then steady again.
  auto feed = [this](double From, double Till, int Level) {
    for (double t = From; t < Till - 1e-9; t += 0.1)
      V.CurrentFile_NewVuLevel(Level, TrackAt(10, 0, t));
  };
  feed(0, 60, 1000);
  feed(60, 61, 30000);
  feed(61, 90, 1000);
  Show(1, TrackAt(10, 0));
  const int top = SlotTop() + 1;  // image row 0
  EXPECT_EQ(Px(100, SlotTop()), clBlack);
  EXPECT_EQ(Px(100, SlotTop() + 14), clBlack);
  // Steady: the balancer's typical level makes these readings bucket 2, rows 6 +- 2 lit.
  for (int row = 0; row < 13; ++row)
    EXPECT_EQ(Px(100, top + row), std::abs(row - 6) <= 2 ? clLime : clBlack) << row;
  // Loud: every row lit.
  for (int row = 0; row < 13; ++row) EXPECT_EQ(Px(241, top + row), clLime) << row;
  // Nothing recorded: black.
  EXPECT_EQ(Px(500, top + 6), clBlack);
}

TEST_F(TrackRenderTest, RemovingALabel_LeavesExactlyTheTrackWithoutIt) {
  M.AddNumberedBookmark(1, TrackAt(10, 1, 40));
  M.AddTypingEvent(TrackAt(10, 4, 58), u"x");
  const TEventID label = M.AddLabelBookmark(TrackAt(10, 5), u"Call Bob");
  Rerender();
  const int PO = T.Render().OneLabel_Remove(label, B(), T.Render().Look().clPlain);
  EXPECT_EQ(PO, 300);
  const QImage removed = B().Image().copy();
  M.Event_Delete(label);
  Rerender();
  EXPECT_EQ(removed, B().Image());
}

TEST_F(TrackRenderTest, ALabelUpdate_DrawsWhatAFullRenderWould_AndSaysWhere) {
  M.AddNumberedBookmark(1, TrackAt(10, 1, 40));
  const TEventID label = M.AddLabelBookmark(TrackAt(10, 5), u"Call");
  Rerender();
  const QImage before = B().Image().copy();
  QRect changed;
  T.OnBitmapChanged = [&](const QRect &R) { changed = R; };
  T.UpdateEventTextAndDoLowLatencyDraw(label, QStringLiteral("Call Bob back"));
  const QImage updated = B().Image().copy();
  Rerender();
  EXPECT_EQ(updated, B().Image());
  for (int y = 0; y < before.height(); ++y)
    for (int x = 0; x < before.width(); ++x)
      if (before.pixel(x, y) != updated.pixel(x, y)) {
        ASSERT_TRUE(changed.contains(x, y)) << x << "," << y;
      }
  // A typing event takes no label text.
  const TEventID typed = M.AddTypingEvent(TrackAt(10, 2), u"a");
  T.UpdateEventTextAndDoLowLatencyDraw(typed, QStringLiteral("oops"));
  EXPECT_EQ(M.EventText_FromEventID(typed), QStringLiteral("a"));
}

TEST_F(TrackRenderTest, EventsMadeOnATrack_AreFiledOnce_AndEachTrackKeepsItsOwnLabelDrawing) {
  const TEventID a =
      T.NewEventWithLabel(koeLabel, QChar(u' '), TrackAt(10, 5), QStringLiteral("Call"));
  const TEventID b = T.NewEventWithLabel(koeLabel, QChar(u' '), TrackAt(10, 5), QString());
  ASSERT_GE(a, 0);
  // The same moment and kind again is the same event, never another one's ID.
  const TEventID first = T.NewEvent(koeMarker, QChar(u'1'), TrackAt(10, 0));
  EXPECT_EQ(T.NewEvent(koeMarker, QChar(u'1'), TrackAt(10, 0)), first);
  EXPECT_EQ(T.Index().GetPixelDataFor(0)->MarkerIDs.size(), 1u);
  EXPECT_NE(b, NoEventID);

  // A second track shows the same label elsewhere; hovering each finds its own drawing.
  TvlTrack other(arCurrent, &V, &M);
  other.SetWidth(600);
  other.InitializeAtFirstShow_AndSetZoomLevelTo(3);
  other.MoveTo(TrackAt(10, 3), 0);  // the label at column 120 there
  T.Render().RenderAll();
  other.Render().RenderAll();
  TTiltedText *mine = T.Index().TiltedTextFor(a);
  TTiltedText *theirs = other.Index().TiltedTextFor(a);
  ASSERT_NE(mine, theirs);
  const QPoint atMine = T.Render().LabelAnchor(300), atTheirs = other.Render().LabelAnchor(120);
  EXPECT_EQ(mine->AtX(), atMine.x());
  EXPECT_EQ(theirs->AtX(), atTheirs.x());
  const QPoint p = mine->Bounds().center();
  EXPECT_TRUE(theirs->DoesMouseTouchText(atTheirs.x() + p.x(), atTheirs.y() + p.y(), 4));
  EXPECT_FALSE(theirs->DoesMouseTouchText(atMine.x() + p.x(), atMine.y() + p.y(), 4));
}

TEST_F(TrackRenderTest, ZoomControlsAndGatherers) {
  T.InitializeAtFirstShow_AndSetZoomLevelTo(1);
  EXPECT_FALSE(T.ZoomIn());
  EXPECT_TRUE(T.ZoomOut());
  EXPECT_EQ(T.Render().ZoomLevel(), 2);
  T.InitializeAtFirstShow_AndSetZoomLevelTo(15);
  EXPECT_FALSE(T.ZoomOut());
  TZoomLevel asked = 0;
  T.OnZoomAnimationRequested = [&](TZoomLevel L) { asked = L; };
  T.ZoomIn();
  EXPECT_EQ(asked, 14);
  EXPECT_EQ(T.Render().ZoomLevel(), 15);  // the animation applies it
  T.BlockZoomAnimationAndRespectStartingWhen = true;
  T.ZoomIn();
  EXPECT_EQ(T.Render().ZoomLevel(), 14);
  // 600 columns at level 14 span hours: the day-file rule keeps the level; 100 at level 1 not.
  T.RebuildDayFile();
  EXPECT_EQ(T.Render().ZoomLevel(), 14);

  TGatherLabel g;
  g.StartGatheringFor(-1);
  EXPECT_FALSE(g.IsGathering());
  g.StartGatheringFor(7);
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(g.MaybeGather(QChar(u'a')));
  EXPECT_FALSE(g.MaybeGather(QChar(u'b')));  // the 41st is refused and gathering stops
  EXPECT_FALSE(g.IsGathering());

  // Backspace through the key hook shortens the label being gathered, on the track too.
  T.MoveTo(TrackAt(10, 0), 0);
  const TEventID label =
      T.NewEventWithLabel(koeLabel, QChar(u' '), TrackAt(10, 0, 30), QStringLiteral("Hi!"));
  T.Render().RenderAll();
  T.Gather4Symbol.StartGatheringFor_InitText(label, QStringLiteral("Hi!"));
  EXPECT_TRUE(T.IsGatheringForBookmark());
  T.Process_OtherWaysToCatchKeystrokesAndMaybeStopGathering(8);
  EXPECT_EQ(M.EventText_FromEventID(label), QStringLiteral("Hi"));
  T.Process_OtherWaysToCatchKeystrokesAndMaybeStopGathering(27);  // Escape stops
  EXPECT_FALSE(T.IsGatheringForBookmark());
  // After the store is cleared nothing gathers and the index is empty.
  T.Gather4Pair.StartGatheringFor(label);
  M.Clear();
  T.OnEventsCleared();
  EXPECT_FALSE(T.IsGatheringForBookmark());
  EXPECT_TRUE(T.Index().GetPixelDataFor(30)->Labels.empty());
}

namespace {
// A scale-2 image averaged over 2 x 2 blocks: what the scale-1 screen would show of it.
QImage Downsampled(const QImage &Image) {
  QImage out(Image.width() / 2, Image.height() / 2, QImage::Format_RGB32);
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) {
      int r = 0, g = 0, b = 0;
      for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
        const QRgb c = Image.pixel(2 * x + d.x(), 2 * y + d.y());
        r += qRed(c), g += qGreen(c), b += qBlue(c);
      }
      out.setPixel(x, y, qRgb(r / 4, g / 4, b / 4));
    }
  return out;
}
// Pixels of Rect where A and B differ by more than Tolerance in some channel.
int Differing(const QImage &A, const QImage &B, const QRect &Rect, int Tolerance) {
  int n = 0;
  for (int y = Rect.top(); y <= Rect.bottom(); ++y)
    for (int x = Rect.left(); x <= Rect.right(); ++x) {
      const QRgb a = A.pixel(x, y), b = B.pixel(x, y);
      n += std::abs(qRed(a) - qRed(b)) > Tolerance || std::abs(qGreen(a) - qGreen(b)) > Tolerance ||
           std::abs(qBlue(a) - qBlue(b)) > Tolerance;
    }
  return n;
}
// Of the pixels of Rect that are not Background, the share that is not fully Ink: the
// anti-aliased fringe, which shrinks as text gets sharper.
double FringeShare(const QImage &Image, const QRect &Rect, TColor Background, TColor Ink) {
  int inked = 0, fringe = 0;
  for (int y = Rect.top(); y <= Rect.bottom(); ++y)
    for (int x = Rect.left(); x <= Rect.right(); ++x) {
      const TColor c = TQuickBitmap::FromRgb(Image.pixel(x, y));
      if (c == Background) continue;
      ++inked;
      fringe += c != Ink;
    }
  return inked ? double(fringe) / inked : 1.0;
}
}  // namespace

// On a screen of twice the pixel density the bitmap holds 2 x 2 device pixels per pixel of the
// same layout: averaged back it looks like the scale-1 render, its fills cover whole blocks, its
// texts have a thinner fringe, and single-label draws still match a full render exactly.
TEST_F(TrackRenderTest, AtScale2_TheLayoutStays_TextsAreSharper_AndLabelDrawsStayExact) {
  for (double t = 0; t < 240; t += 0.1)
    V.CurrentFile_NewVuLevel(t > 60 && t < 62 ? 30000 : 1000, TrackAt(10, 0, t));
  M.AddNumberedBookmark(1, TrackAt(10, 1, 40));  // column 100
  M.AddTypingEvent(TrackAt(10, 4, 58), u"a b c");
  const TEventID label = M.AddLabelBookmark(TrackAt(10, 5), u"Call Bob");  // column 300
  Rerender();
  const QImage one = B().Image().copy();
  const QRect slot = T.Render().TrackSlotRect();
  const QRect labels = T.Render().Band_Labels().Rect;
  const TColor plain = T.Render().Look().clPlain;

  T.Render().SetDeviceScale(2);
  EXPECT_TRUE(T.Render().MyInvalidate());
  Rerender();
  EXPECT_EQ(B().Width(), 2000);
  EXPECT_EQ(B().Height(), 117);
  EXPECT_EQ(B().Image().size(), QSize(4000, 234));
  EXPECT_EQ(B().Image().devicePixelRatio(), 2.0);
  EXPECT_EQ(T.Render().TrackSlotRect(), slot);
  EXPECT_EQ(T.Render().Band_Labels().Rect, labels);
  const QImage two = B().Image().copy();
  const QImage down = Downsampled(two);

  // Fills are whole blocks: the stem, the typing stroke and the tick lines come out exactly.
  const int s = slot.top();
  const int kb = T.Render().Band_Keyboarding().Rect.top();
  const int ticks = T.Render().Band_TimeTics().Rect.top();
  for (const QRect r :
       {QRect(298, s - 7, 5, 6), QRect(499, kb - 1, 3, 6), QRect(0, ticks, 600, 6)}) {
    SCOPED_TRACE(r.topLeft().x());
    EXPECT_EQ(Differing(one, down, r, 0), 0);
  }
  // Texts and the level band are drawn afresh at the finer resolution: averaged back they differ
  // from the scale-1 drawing only at the edges of their strokes.
  struct RBand {
    const char *Name;
    QRect Rect;
  } bands[] = {{"markers and labels", QRect(0, 0, 600, s - 8)},
               {"slot", QRect(0, s, 600, slot.height())},
               {"ruler", QRect(0, ticks, 600, T.Render().Band_TimeTics().Rect.height())}};
  for (const RBand &b : bands) {
    SCOPED_TRACE(b.Name);
    const int area = b.Rect.width() * b.Rect.height();
    EXPECT_LT(Differing(one, down, b.Rect, 24), area / 50);
    EXPECT_EQ(Differing(one, down, b.Rect, 160), 0);
  }
  // The label's ink: a thinner anti-aliased fringe than at scale 1.
  const QRect labelInk(302, 0, 200, s - 8);
  const double fringe1 = FringeShare(one, labelInk, plain, clLabels);
  const double fringe2 =
      FringeShare(two, QRect(labelInk.topLeft() * 2, labelInk.size() * 2), plain, clLabels);
  EXPECT_LT(fringe2, fringe1 * 0.8) << fringe1 << " " << fringe2;

  // Single-label draws at device resolution: an update draws what a full render would, and
  // removing leaves exactly the track without the label.
  T.UpdateEventTextAndDoLowLatencyDraw(label, QStringLiteral("Call Bob back"));
  const QImage updated = B().Image().copy();
  Rerender();
  EXPECT_EQ(updated, B().Image());
  EXPECT_EQ(T.Render().OneLabel_Remove(label, B(), plain), 300);
  const QImage removed = B().Image().copy();
  TTiltedText *tilted = T.Index().TiltedTextFor(label);
  const QPoint centre = tilted->Bounds().center() + QPoint(tilted->AtX(), tilted->AtY());
  EXPECT_TRUE(tilted->DoesMouseTouchText(centre.x(), centre.y(), 4));
  EXPECT_FALSE(tilted->DoesMouseTouchText(centre.x() + 200, centre.y(), 4));
  M.Event_Delete(label);
  Rerender();
  EXPECT_EQ(removed, B().Image());
}

TEST(QuickBitmap, AtScale2_LogicalPixelsCoverTheirBlocks_AndCopiesKeepTheirScale) {
  TQuickBitmap b(10, 4, 2);
  EXPECT_EQ(b.Image().size(), QSize(20, 8));
  b.Fill(clBlack);
  b.FillRect(QRect(8, 2, 5, 5), clRed);  // clipped to the bitmap
  b.SetPixel(1, 1, clLime);
  b.SetPixel(10, 0, clLime);  // outside: nothing
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 20; ++x) {
      const TColor want = x >= 16 && y >= 4 ? clRed : x / 2 == 1 && y / 2 == 1 ? clLime : clBlack;
      ASSERT_EQ(TQuickBitmap::FromRgb(b.Image().pixel(x, y)), want) << x << "," << y;
    }
  EXPECT_EQ(b.PixelAt(9, 3), clRed);
  // A copy of a logical rectangle comes back where it was taken.
  const QImage saved = b.Copy(QRect(0, 0, 3, 3));
  EXPECT_EQ(saved.size(), QSize(6, 6));
  b.Fill(clWhite);
  b.Paste(QRect(0, 0, 3, 3), saved);
  EXPECT_EQ(b.PixelAt(1, 1), clLime);
  EXPECT_EQ(b.PixelAt(3, 1), clWhite);
  // A scale-1 bitmap drawn into it covers blocks.
  TQuickBitmap small(2, 1);
  small.SetPixel(0, 0, clBlue);
  small.SetPixel(1, 0, clYellow);
  b.Draw(4, 0, small);
  EXPECT_EQ(TQuickBitmap::FromRgb(b.Image().pixel(9, 1)), clBlue);
  EXPECT_EQ(TQuickBitmap::FromRgb(b.Image().pixel(10, 0)), clYellow);
  // Stretching a 4-column source over 2 logical columns runs at device resolution; over 8 it
  // works per logical column, as at scale 1.
  TQuickBitmap src(4, 1);
  for (int x = 0; x < 4; ++x) src.SetPixel(x, 0, RGBColor(0, 40 * (x + 1), 0));
  b.Fill(clBlack);
  b.MyStretchDrawLime(0, 0, 2, src);
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 2; ++y)
      EXPECT_EQ(TQuickBitmap::FromRgb(b.Image().pixel(x, y)), RGBColor(0, 40 * (x + 1), 0)) << x;
  TQuickBitmap one(10, 4), two(10, 4, 2);
  one.Fill(clBlack);
  two.Fill(clBlack);
  one.MyStretchDrawLime(1, 1, 9, src);
  two.MyStretchDrawLime(1, 1, 9, src);
  for (int x = 0; x < 10; ++x) EXPECT_EQ(one.PixelAt(x, 1), two.PixelAt(x, 1)) << x;
  EXPECT_EQ(TQuickBitmap::ScaleForRatio(1.0), 1);
  EXPECT_EQ(TQuickBitmap::ScaleForRatio(1.5), 2);
  EXPECT_EQ(TQuickBitmap::ScaleForRatio(2.0), 2);
  EXPECT_EQ(TQuickBitmap::ScaleForRatio(9.0), TQuickBitmap::MaxScale);
}

TEST(GatherLabel, QtKeysMapToTheKeysThatEndOrShortenALabel) {
  // Printable keys never end a label: Qt's codes of "!" .. "(" are 33..40, the codes of the page
  // and cursor keys, and "p" .. would be function keys.
  const struct {
    int QtKey;
    int Virtual;
    bool Stops;
  } rows[] = {
      {Qt::Key_Backspace, 8, false}, {Qt::Key_Tab, 9, true},           {Qt::Key_Return, 13, true},
      {Qt::Key_Enter, 13, true},     {Qt::Key_Escape, 27, true},       {Qt::Key_PageUp, 33, true},
      {Qt::Key_Down, 40, true},      {Qt::Key_F1, 112, true},          {Qt::Key_F12, 123, true},
      {Qt::Key_ParenLeft, 0, false}, {Qt::Key_Exclam, 0, false},       {Qt::Key_P, 0, false},
      {Qt::Key_Space, 0, false},     {Qt::Key_BracketRight, 0, false},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.QtKey);
    EXPECT_EQ(VirtualKeyFromQtKey(row.QtKey), row.Virtual);
    TGatherLabel g;
    g.StartGatheringFor(3);
    g.MaybeGather(QChar(u'x'));
    g.ProcessSpecialKeys(VirtualKeyFromQtKey(row.QtKey));
    EXPECT_EQ(g.IsGathering(), !row.Stops);
  }
}
