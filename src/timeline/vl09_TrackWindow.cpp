#include "vl09_TrackWindow.h"

#include "vl09_DayFilesManager.h"
#include "vl09_LabelTool.h"
#include "vl09_OfferAndSelect.h"
#include "vl09_ZoomPanel.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlGuard.h"

#include <QCursor>
#include <QDateTime>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
constexpr int ZoomAnimationMs = 200;
constexpr int ZoomFrameMs = 16;
constexpr int PulseMs = 2500;
constexpr int PulseFrameMs = 40;
constexpr int HesitationMs = 500;
constexpr int HesitationTempo = 150;
// A play position on or before this day means none is set.
const TDateTime NoPositionBefore = EncodeDate(1901, 12, 31) + 1;
// Frames of an animated zoom use whole milliseconds per column, so that the column of the
// anchor moment maps back exactly (the mapping counts in whole milliseconds).
double WholeMs(double Seconds) { return std::max<double>(1, std::round(Seconds * 1000)) / 1000; }
}  // namespace

// ---------------------------------------------------------------------------------------------
// TConsolidatedNow

void TConsolidatedNow::SetConsolidatedNowToRealNow() {
  FConsolidatedNow = Now();
  FTakenAtMs = Clock().SteadyMSecs();
}

void TConsolidatedNow::GetConsolidatedNowAndStalenessInMS(TDateTime &MyNow,
                                                          std::int64_t &MS) const {
  MyNow = FConsolidatedNow;
  MS = Clock().SteadyMSecs() - FTakenAtMs;
}

// ---------------------------------------------------------------------------------------------
// TTimeMachine

TTimeMachine::TTimeMachine(TvlTrackWindow &Owner) : QWidget(&Owner), FOwner(Owner) {
  WarpPointer = [](const QPoint &Global) {
    QCursor::setPos(Global);
    return QCursor::pos() == Global;
  };
  setCursor(Qt::PointingHandCursor);
}

int TTimeMachine::TreadWidth() const {
  const double s = SlotWidth();
  if (s <= 0) return 1;
  const double r = std::clamp(s / 66.0, 1.5, 5.0);
  return std::clamp(static_cast<int>(RoundHalfEven(s / r)), 1, 500);
}

void TTimeMachine::resizeEvent(QResizeEvent *) { FTreadState = Home(); }

void TTimeMachine::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.fillRect(rect(), QColor(255, 251, 240));
  // Step buttons: a triangle pointing each way.
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(90, 90, 110));
  const int mid = height() / 2;
  const QRect l = LeftBtnRect(), r = RightBtnRect();
  p.drawPolygon(QPolygon(
      {QPoint(l.left() + 5, mid), QPoint(l.right() - 5, mid - 5), QPoint(l.right() - 5, mid + 5)}));
  p.drawPolygon(QPolygon(
      {QPoint(r.right() - 5, mid), QPoint(r.left() + 5, mid - 5), QPoint(r.left() + 5, mid + 5)}));
  // The tread and its twin one slot width away, ridged every 6 pixels.
  const int s = SlotWidth(), tw = TreadWidth();
  if (s <= 0) return;
  p.setClipRect(SlotRect());
  const int twin = FTreadState + (FTreadState > Home() ? -s : s);
  for (const int x : {FTreadState, twin}) {
    const QRect tread(ButtonWidth + x, 2, tw, height() - 4);
    p.fillRect(tread, QColor(200, 196, 184));
    for (int rx = tread.left() + 2; rx < tread.right(); rx += 6)
      p.fillRect(QRect(rx, tread.top() + 2, 2, tread.height() - 4), QColor(150, 146, 134));
  }
}

void TTimeMachine::mousePressEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    if (Event->button() != Qt::LeftButton) return;
    const QPoint at = Event->position().toPoint();
    if (LeftBtnRect().contains(at) || RightBtnRect().contains(at)) {
      FStepping = true;
      FOwner.StartStepping(LeftBtnRect().contains(at) ? -1 : +1);
      return;
    }
    if (!SlotRect().contains(at)) return;
    const int x = at.x() - ButtonWidth;
    if (x >= FTreadState && x < FTreadState + TreadWidth()) {
      FOwner.EnsureIndex();
      FMouseIsDown = true;
      FMouseDownAt = Event->globalPosition().toPoint();
      FMouseDownLeft = FTreadState;
      FMouseDownTrackIndexWhen = FOwner.TargetMapping().When;
      FWrapsX = 0;
      return;
    }
    // Outside the tread: a page back or forward.
    const std::int64_t page = SlotWidth();
    FOwner.MoveTrackByColumns(x < SlotWidth() / 2 ? -page : page);
  });
}

void TTimeMachine::mouseMoveEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    if (!FMouseIsDown) return;
    const QPoint g = Event->globalPosition().toPoint();
    const int d = g.x() + FWrapsX - FMouseDownAt.x();
    const TTrackMapping m = FOwner.TargetMapping();
    FOwner.FKeepSliderInView = false;
    FOwner.MoveTrackTo(FMouseDownTrackIndexWhen + d * 10.0 * m.PixelDuration / SecsPerDay);
    const int s = SlotWidth();
    if (s > 0) {
      FTreadState = ((FMouseDownLeft + d) % s + s) % s;
      // Wrap the pointer around the slot so the drag never runs out of room. Where the pointer
      // cannot be put back, the drag simply goes on linearly (moves keep arriving outside).
      const QPoint slotLeft = mapToGlobal(QPoint(ButtonWidth, 0));
      if (g.x() < slotLeft.x()) {
        if (WarpPointer && WarpPointer(QPoint(g.x() + s, g.y()))) FWrapsX -= s;
      } else if (g.x() >= slotLeft.x() + s) {
        if (WarpPointer && WarpPointer(QPoint(g.x() - s, g.y()))) FWrapsX += s;
      }
    }
    update();
  });
}

void TTimeMachine::mouseReleaseEvent(QMouseEvent *) {
  RunGuarded([&] {
    if (FStepping) {
      FStepping = false;
      FOwner.StopStepping();
    }
    FMouseIsDown = false;
  });
}

// ---------------------------------------------------------------------------------------------
// TvlTrackWindow: construction and layout

TvlTrackWindow::TvlTrackWindow(TvlTrack &Track, QWidget *Parent)
    : QWidget(Parent),
      FTrack(Track),
      FPlaySlider(PlaySliderPicture(), 16, PlaySliderPicture()),
      FNowSlider(NowSliderPicture(true), 7, NowSliderPicture(false)) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  FTimeMachine = new TTimeMachine(*this);
  FLabelTool = new TvlLabelTool(this, FTrack);
  FLabelTool->OnTextStored = [this](TEventID) { NotifyBookmarksChanged(); };
  FLabelTool->OnHidden = [this](TEventID Edited) {
    // The label just edited keeps its highlight while the hover moves on.
    if (FOfferAndSelect && FOfferAndSelect->FOfferedEvents.IsEventIDListed(Edited))
      FOfferAndSelect->FvlEventID_Blocked = Edited;
    if (FLinks) FLinks->LabelToolHidden();
  };
  FTrack.OnBitmapChanged = [this](const QRect &Changed) { update(Changed); };
  // The zoom slider and buttons of the track animate through this window.
  FTrack.OnZoomAnimationRequested = [this](TZoomLevel Level) { ZoomAnimatedToNewZoomLevel(Level); };
  FTrack.OnZoomLevelSetAtOnce = [this](TZoomLevel Level) { SetZoomLevelAtOnce(Level); };
  FTargetPD = FTrack.Render().Zoom_PixelDuration();
  FTargetWhen = FTrack.Index().TrackIndexWhen();
  FLastSliderTime = Now();
  FNow_ScrollingTo.SetConsolidatedNowToRealNow();
  if (TvlDayFilesManager *m = FTrack.Index().Manager()) FSeenGeneration = m->Generation();

  FZoomTimer.setInterval(ZoomFrameMs);
  connect(&FZoomTimer, &QTimer::timeout, this,
          [this] { RunGuarded([&] { ZoomAnimationFrame(); }); });
  FPulseTimer.setInterval(PulseFrameMs);
  connect(&FPulseTimer, &QTimer::timeout, this, [this] {
    if (Clock().SteadyMSecs() - FPulseStartMs >= PulseMs) FPulseTimer.stop();
    update();
  });
  FHesitateTimer.setSingleShot(true);
  FHesitateTimer.setInterval(HesitationMs);
  connect(&FHesitateTimer, &QTimer::timeout, this,
          [this] { RunGuarded([&] { SliderHesitated(); }); });
  Timer_EdgeScroller.setInterval(100);
  connect(&Timer_EdgeScroller, &QTimer::timeout, this,
          [this] { RunGuarded([&] { WrappingScroll(); }); });
  connect(&Timer_SliderUpdate, &QTimer::timeout, this,
          [this] { RunGuarded([&] { SliderUpdateTick(); }); });
  resize(600, TrackHeight() + TTimeMachine::StripHeight);
}

TvlTrackWindow::~TvlTrackWindow() {
  FTrack.OnBitmapChanged = nullptr;
  FTrack.OnZoomAnimationRequested = nullptr;
  FTrack.OnZoomLevelSetAtOnce = nullptr;
  if (FOfferAndSelect) FOfferAndSelect->WindowGoes(this);
}

int TvlTrackWindow::TrackHeight() const {
  return const_cast<TvlTrack &>(FTrack).Render().GetWidth_TotalLateral();
}

int TvlTrackWindow::Columns() const { return std::max(1, width() - 2 * Margin()); }

void TvlTrackWindow::resizeEvent(QResizeEvent *) {
  RunGuarded([&] { Relayout(); });
}

void TvlTrackWindow::Relayout() {
  FTrack.Render().FMaxScreenSize = std::max(1, width());
  FTimeMachine->setGeometry(0, TrackHeight(), width(), TTimeMachine::StripHeight);
  const QRect scrollable(Margin(), 0, Columns(), TrackHeight());
  FPlaySlider.Bounds_InformOfSlotRect(scrollable);
  FNowSlider.Bounds_InformOfSlotRect(scrollable);
  FTrack.Index().SetDataPixelsPlotted(Columns());
  FIndexDirty = true;
  FTrack.InvalidateRendering();
  update();
}

// ---------------------------------------------------------------------------------------------
// Moving and zooming

void TvlTrackWindow::MoveTrackTo(TDateTime NewDT) { MoveAndZoomTrackTo(0, FTargetPD, NewDT); }

void TvlTrackWindow::MoveTrackToSpecial(int PO, TDateTime NewDT) {
  MoveAndZoomTrackTo(PO, FTargetPD, NewDT);
}

void TvlTrackWindow::MoveAndZoomTrackTo(int PO, double NewZoomPD, TDateTime NewDT) {
  if (!(NewZoomPD > 0) || !std::isfinite(NewDT)) return;
  const bool scaleChanged = NewZoomPD != FTargetPD;
  FTargetPO = PO;
  FTargetPD = NewZoomPD;
  FTargetWhen = NewDT;
  FIndexDirty = true;
  // A move with a scale of its own (the calendar, the last frame of a zoom) ends any zoom
  // running and sets the level; a plain move during a zoom leaves the zoom to go on.
  if (!FInZoomFrame && (scaleChanged || !IsZoomAnimating())) {
    FZoomTimer.stop();
    SyncZoomLevel(NewZoomPD);
  }
  FTrack.InvalidateRendering();
  update();
}

TTrackMapping TvlTrackWindow::TargetMapping() const {
  if (!FIndexDirty) return FTrack.Index().Mapping();
  TTrackMapping m;
  m.PixelDuration = FTargetPD;
  m.When = FTargetWhen - FTargetPO * FTargetPD / SecsPerDay;
  m.Columns = FTrack.Index().DataPixelsPlotted();
  return m;
}

void TvlTrackWindow::EnsureIndex() {
  if (!FIndexDirty) return;
  FIndexDirty = false;
  FTrack.Index().EntireIndex_Rebuild(FTargetPO, FTargetPD, FTargetWhen);
  // Later moves that keep the span start from what the index now holds.
  FTargetPO = 0;
  FTargetWhen = FTrack.Index().TrackIndexWhen();
  FTrack.InvalidateRendering();
}

void TvlTrackWindow::InvalidateRebuildAndRedrawWithoutFlicker() {
  EnsureIndex();
  FTrack.Index().EntireIndex_Rebuild_SameEverything();
  FTrack.Render().RenderAll();
  if (TvlDayFilesManager *m = FTrack.Index().Manager()) FSeenGeneration = m->Generation();
  update();
}

void TvlTrackWindow::ZoomAnimatedToNewZoomLevel(TZoomLevel NewZoomLevel) {
  const TTrackMapping m = TargetMapping();
  // The anchor: the moment that stays under its column while the scale changes.
  const TDateTime now = Now();
  TDateTime a = PreferSlider == psPlay ? FLastSliderTime : now;
  if (!m.IsVisible(a)) a = PreferSlider == psPlay ? now : PlayPosition();
  bool inRange = false;
  int po = m.ColumnOf(a, inRange);
  if (!m.IsVisible(a) || !inRange) {
    po = static_cast<int>(m.Columns / 2);
    a = m.TimeOfColumn(po);
  }
  StartZoomAnimation(NewZoomLevel, po, a);
}

void TvlTrackWindow::ZoomAnimatedAbout(TZoomLevel NewZoomLevel, int AnchorPO) {
  const TTrackMapping m = TargetMapping();
  AnchorPO = std::clamp(AnchorPO, 0, static_cast<int>(std::max<std::int64_t>(m.Columns, 1)) - 1);
  StartZoomAnimation(NewZoomLevel, AnchorPO, m.TimeOfColumn(AnchorPO));
}

void TvlTrackWindow::StartZoomAnimation(TZoomLevel Level, int AnchorPO, TDateTime AnchorDT) {
  Level = std::clamp(Level, MinZoomLevel, MaxZoomLevel);
  FZoomAnchorPO = AnchorPO;
  FZoomAnchorDT = AnchorDT;
  FZoomFromPD = TargetMapping().PixelDuration;  // a zoom during a zoom starts from the frames
  FZoomToLevel = Level;
  FZoomToPD = PixelDurationFromZoomLevel(Level);
  FZoomStartMs = Clock().SteadyMSecs();
  FZoomTimer.start();
  // The slider shows where the zoom goes from its start, so that steps add up.
  ShowLevelOnPanel(Level);
  ZoomAnimationFrame();
}

// The level zoom commands step from: the one an animation is heading for, else the present one.
TZoomLevel TvlTrackWindow::ZoomLevelAimedAt() const {
  return IsZoomAnimating() ? FZoomToLevel : ZoomLevel();
}

double TvlTrackWindow::ShownPixelDuration() const {
  return IsZoomAnimating() ? FZoomToPD : TargetMapping().PixelDuration;
}

void TvlTrackWindow::SetZoomLevelAtOnce(TZoomLevel Level) {
  Level = std::clamp(Level, MinZoomLevel, MaxZoomLevel);
  FZoomTimer.stop();
  MoveAndZoomTrackTo(0, PixelDurationFromZoomLevel(Level), TargetMapping().When);
}

void TvlTrackWindow::SyncZoomLevel(double PixelDuration) {
  const TZoomLevel level = ZoomLevelFromPixelDuration(PixelDuration);
  if (level != ZoomLevel()) FTrack.Render().StoreZoomLevel(level);
  ShowLevelOnPanel(level);
  if (FUpdateInterval == 0 && Timer_SliderUpdate.isActive())
    Timer_SliderUpdate.setInterval(SliderUpdateInterval());
}

void TvlTrackWindow::SetZoomPanel(TvlZoomPanel *Panel) {
  FZoomPanel = Panel;
  ShowLevelOnPanel(ZoomLevelAimedAt());
}

void TvlTrackWindow::ShowLevelOnPanel(TZoomLevel Level) {
  if (FZoomPanel) FZoomPanel->ShowLevel(Level);
}

void TvlTrackWindow::ZoomInCommand() { ZoomAnimatedToNewZoomLevel(ZoomLevelAimedAt() - 1); }

void TvlTrackWindow::ZoomOutCommand() { ZoomAnimatedToNewZoomLevel(ZoomLevelAimedAt() + 1); }

void TvlTrackWindow::ZoomAnimationFrame() {
  const double f =
      std::min(1.0, double(Clock().SteadyMSecs() - FZoomStartMs) / double(ZoomAnimationMs));
  if (f < 1) {
    FInZoomFrame = true;
    MoveAndZoomTrackTo(FZoomAnchorPO, WholeMs(FZoomFromPD + (FZoomToPD - FZoomFromPD) * f),
                       FZoomAnchorDT);
    FInZoomFrame = false;
    return;
  }
  // The last frame: the exact scale of the level, the anchor put back; the renderer takes it.
  FZoomTimer.stop();
  MoveAndZoomTrackTo(FZoomAnchorPO, FZoomToPD, FZoomAnchorDT);
}

void TvlTrackWindow::wheelEvent(QWheelEvent *Event) {
  RunGuarded([&] {
    if (!(Event->modifiers() & Qt::ControlModifier)) {
      Event->ignore();
      return;
    }
    Event->accept();
    FWheelAccumulated += Event->angleDelta().y();
    // Touchpads send small steps: a level per whole notch of 120. Away from the user zooms in.
    while (std::abs(FWheelAccumulated) >= 120) {
      const int notch = FWheelAccumulated > 0 ? 1 : -1;
      FWheelAccumulated -= notch * 120;
      const TZoomLevel level = std::clamp(ZoomLevelAimedAt() - notch, MinZoomLevel, MaxZoomLevel);
      if (level == ZoomLevelAimedAt()) continue;
      ZoomAnimatedAbout(level, static_cast<int>(Event->position().x()) - Margin());
    }
  });
}

// ---------------------------------------------------------------------------------------------
// Sliders, moments, typing display

TDateTime TvlTrackWindow::PlayPosition() const {
  if (FAudio) {
    const TDateTime p = FAudio->GetPlay_Position();
    if (p >= NoPositionBefore) return p;
  }
  return FLastSliderTime;
}

bool TvlTrackWindow::PlaySliderShown() const {
  if (!FPlaySlider.Visible) return false;
  if (FPlaySlider.IsPickedUp()) return true;
  const TTrackMapping m = TargetMapping();
  const TDateTime at = PlayPosition();
  bool inRange = false;
  const int po = m.ColumnOf(at, inRange);
  // Where the paint puts it: at the play position's column, when that lies on the track.
  return inRange && m.IsVisible(at) && po == FPlaySlider.MarkPos();
}

TDateTime TvlTrackWindow::PlaySlider_DateTimeFromMarkPos() const {
  return TargetMapping().TimeOfColumn(FPlaySlider.MarkPos());
}

void TvlTrackWindow::PlaySlider_MoveToDesiredDateTime(TDateTime When) {
  FLastSliderTime = When;
  bool inRange = false;
  const int po = TargetMapping().ColumnOf(When, inRange);
  if (inRange) FPlaySlider.SetMarkPos(po);
  update();
}

double TvlTrackWindow::WantTempo() const {
  if (WantedTempo == 100) return 100;
  if (WantedTempo == 999) return TempoBarPosition;
  return WantedTempo;
}

bool TvlTrackWindow::PlayFrom(TDateTime When, const QPoint &Global) {
  return PlayFrom(When, Global, WantTempo());
}

bool TvlTrackWindow::PlayFrom(TDateTime When, const QPoint &Global, double Tempo) {
  const double tempo = Tempo;
  const TPlayResult r = FAudio ? FAudio->Play_From(When, tempo) : prNoAudio;
  if (r != prOkay) {
    if (r == prNoAudio) Hint(Global - QPoint(0, 20), QStringLiteral("NO AUDIO"), 500);
    return false;
  }
  PlaySlider_MoveToDesiredDateTime(When);
  if (FLinks) FLinks->ShowTempo(static_cast<int>(tempo));
  return true;
}

void TvlTrackWindow::NotifyBookmarksChanged() {
  if (FLinks) FLinks->BookmarksChanged();
}

void TvlTrackWindow::Hint(const QPoint &Global, const QString &Text, int MSecs) {
  if (FLinks)
    FLinks->ShowHint(Global, Text, MSecs);
  else
    QToolTip::showText(Global, Text, this, QRect(), MSecs);
}

bool TvlTrackWindow::PointOutSpecificTimeOnTrack(TDateTime When) {
  const TTrackMapping m = TargetMapping();
  bool inRange = false;
  const int po = m.ColumnOf(When, inRange);
  if (!inRange || !m.IsVisible(When)) return false;
  FHighlightingSpotPoint = QPoint(po + Margin(), FTrack.Render().Band_Keyboarding().Rect.top());
  FPulseStartMs = Clock().SteadyMSecs();
  FPulseTimer.start();
  update();
  return true;
}

TDateTime TvlTrackWindow::MiddleOfBiggestVisibleGapBetweenEvents() {
  const TTrackMapping m = TargetMapping();
  const TDateTime start = m.When, end = m.When + m.SpanSeconds() / SecsPerDay;
  std::vector<TDateTime> times;
  TvlDayFilesManager *dfm = FTrack.Index().Manager();
  if (dfm && m.SpanSeconds() < 3 * 3600) {
    std::vector<TEventID> ids;
    dfm->ByDateTime_GetListOfEvents(start, end, ids);
    for (const TEventID id : ids) {
      TDateTime w = 0;
      if (dfm->EventKind_FromEventID(id) != koeNone && dfm->WhenOf(id, w)) times.push_back(w);
    }
  }
  std::sort(times.begin(), times.end());
  times.push_back(end);
  TDateTime prev = start, bestMiddle = 0, bestGap = 0;
  for (const TDateTime t : times) {
    if (t - prev > bestGap) {
      bestGap = t - prev;
      bestMiddle = prev + (t - prev) / 2;
    }
    prev = std::max(prev, t);
  }
  if (bestGap <= 0) {
    ErrorReportInDebug(QStringLiteral("TW.CDPFNE"));
    return start + (end - start) / 20;
  }
  return bestMiddle;
}

void TvlTrackWindow::GetKeyboardingDisplayParam(int X_Offset, int &BoldStart, QString &Text,
                                                int &BoldLength) {
  BoldStart = 0;
  BoldLength = 0;
  Text.clear();
  TvlDayFilesManager *dfm = FTrack.Index().Manager();
  if (!dfm) return;
  const TTrackMapping m = TargetMapping();
  const TDateTime t = m.TimeOfColumn(X_Offset);
  const TDateTime w = m.PixelDuration / SecsPerDay;
  const TvlEventIndex &ix = dfm->EventIndex();
  const QString centre = ix.GetKeyboardingStr(t - w, t + w);
  if (centre.isEmpty()) return;
  QString before, after;
  constexpr int MaxChars = 150;
  for (int i = 2; i <= 50; ++i) {
    const QString b = ix.GetKeyboardingStr(t - i * w, t - (i - 1) * w);
    const QString a = ix.GetKeyboardingStr(t + (i - 1) * w, t + i * w);
    // Stop before the pair that would pass the limit.
    if (before.size() + b.size() + centre.size() + after.size() + a.size() > MaxChars) break;
    before = b + before;
    after += a;
  }
  Text = before + centre + after;
  BoldStart = static_cast<int>(before.size());
  BoldLength = static_cast<int>(centre.size());
}

// ---------------------------------------------------------------------------------------------
// Time machine steps

void TvlTrackWindow::MoveTrackByColumns(std::int64_t Cols) {
  const TTrackMapping m = TargetMapping();
  FKeepSliderInView = false;
  MoveTrackTo(m.When + double(Cols) * m.PixelDuration / SecsPerDay);
}

void TvlTrackWindow::StartStepping(int Direction) {
  FWrappingScrollBtnCount = Direction < 0 ? -1 : Direction > 0 ? 1 : 0;
  if (FWrappingScrollBtnCount == 0) {
    Timer_EdgeScroller.stop();
    return;
  }
  Timer_EdgeScroller.start();
  WrappingScroll();
}

void TvlTrackWindow::WrappingScroll() {
  const int c = FWrappingScrollBtnCount;
  if (c == 0) return;
  // Steps at the press, then a pause of four ticks (the auto-repeat delay), then every tick.
  const int magnitude = std::abs(c);
  if (magnitude < 2 || magnitude > 5) {
    const std::int64_t step = std::max(1, Columns() / 25);
    MoveTrackByColumns(c < 0 ? -step : step);
  }
  FWrappingScrollBtnCount += c < 0 ? -1 : 1;
}

// ---------------------------------------------------------------------------------------------
// The live timer

int TvlTrackWindow::SliderUpdateInterval() const {
  if (FUpdateInterval != 0) return FUpdateInterval;
  return std::clamp(static_cast<int>(RoundHalfEven(TargetMapping().PixelDuration * 1000)), 500,
                    1000);
}

void TvlTrackWindow::SetUpdateInterval(int MSecs) {
  FUpdateInterval = MSecs == 0 ? 0 : std::clamp(MSecs, 500, 1000);
  Timer_SliderUpdate.setInterval(SliderUpdateInterval());
}

void TvlTrackWindow::TimersEnable(bool NewState) {
  if (!NewState) {
    Timer_SliderUpdate.stop();
    return;
  }
  Timer_SliderUpdate.start(SliderUpdateInterval());
}

void TvlTrackWindow::SliderUpdateTick() {
  FNow_ScrollingTo.SetConsolidatedNowToRealNow();
  const TDateTime now = FNow_ScrollingTo.MyNow();
  const TTrackMapping m = TargetMapping();
  if (AudioRole() == arCurrent && FAudio && FAudio->IsRecording() && FKeepSliderInView &&
      now >= m.When + m.SpanSeconds() / SecsPerDay) {
    // Now passed the right edge: bring it back at (100 - jump) % of the width.
    const int po = static_cast<int>(
        std::lround(double(m.Columns) * (100 - FSliderStayInViewJumpPercentage) / 100.0));
    MoveTrackToSpecial(std::clamp(po, 0, static_cast<int>(m.Columns) - 1), now);
  } else if (TvlDayFilesManager *dfm = FTrack.Index().Manager();
             dfm && dfm->Generation() != FSeenGeneration) {
    // Events arrived (typing while recording): file them.
    FSeenGeneration = dfm->Generation();
    FIndexDirty = true;
    FTrack.InvalidateRendering();
  } else if (!FIndexDirty) {
    // The level band grows up to now.
    bool inRange = false;
    const int po = m.ColumnOf(now, inRange);
    if (inRange) {
      FTrack.Render().Band_Slot_Update(std::max(0, FSlotCurrentToPos), po);
      FSlotCurrentToPos = po;
    }
  }
  update();
}

// ---------------------------------------------------------------------------------------------
// Bookmarks drawn for the picking logic

int TvlTrackWindow::EventsList_HorizontalAllowance() const {
  return const_cast<TvlTrack &>(FTrack).Render().HorizontalAllowanceForTiltedText();
}

int TvlTrackWindow::EventsList_LabelsBandBottom() const {
  const QRect r = const_cast<TvlTrack &>(FTrack).Render().Band_Labels().Rect;
  return r.top() + r.height();
}

void TvlTrackWindow::EventID_Offer(int DeltaPO, int PO, TColor clNew, TEventID vlEventID) {
  TvlDayFilesManager *m = FTrack.Index().Manager();
  TvlEvent ev;
  if (!m || !m->Event_FromEventID(vlEventID, ev)) {
    ErrorReportInDebug(QStringLiteral("vlTW.E_O x%1").arg(vlEventID, 6, 16, QLatin1Char('0')));
    return;
  }
  m->Event_Select(vlEventID);
  TvlTrackRender &r = FTrack.Render();
  if (IsLabelLikeKind(ev.Kind))
    r.OneLabel_RedrawAt(PO + DeltaPO, clNew, FTrack.BitmapToShare(), vlEventID);
  else if (ev.Kind == koeMarker)
    r.DrawMarkerAt_One(PO + DeltaPO, 0, FTrack.BitmapToShare(), clNew, ev.What);
  Paint_LowLatencyUpdateAtPixelOffset(PO + DeltaPO);
}

void TvlTrackWindow::EventID_OfferNoMore(int PO, TEventID vlEventID, bool DoInstantUpdate,
                                         TColor clGone) {
  TvlDayFilesManager *m = FTrack.Index().Manager();
  TvlEvent ev;
  if (!m || !m->Event_FromEventID(vlEventID, ev)) {
    ErrorReportInDebug(QStringLiteral("vlTW.E_ONM x%1").arg(vlEventID, 6, 16, QLatin1Char('0')));
    return;
  }
  m->Event_Deselect(vlEventID);
  TvlTrackRender &r = FTrack.Render();
  const bool dragging = FOfferAndSelect && FOfferAndSelect->FMyIsMouseDown;
  if (IsLabelLikeKind(ev.Kind)) {
    // Back in the labels' own colour at its place (in the ghost colour while a drag runs).
    const TColor c = dragging ? clGone : r.Band_Labels().Font.Color;
    r.OneLabel_RedrawAt(PO, c, FTrack.BitmapToShare(), vlEventID);
  } else if (ev.Kind == koeMarker) {
    r.DrawMarkerAt_One(PO, 0, FTrack.BitmapToShare(), clGone, ev.What);
  }
  if (DoInstantUpdate) Paint_LowLatencyUpdateAtPixelOffset(PO);
}

void TvlTrackWindow::EventID_OfferLabelTool(int, TEventID vlEventID) {
  if (vlEventID == NoEventID) {
    FLabelTool->MyHide();
    return;
  }
  TvlDayFilesManager *m = FTrack.Index().Manager();
  TvlEvent ev;
  if (!m || !m->Event_FromEventID(vlEventID, ev)) {
    ErrorReportInDebug(QStringLiteral("vlTW.E_OLT x%1").arg(vlEventID, 6, 16, QLatin1Char('0')));
    return;
  }
  if (!IsLabelLikeKind(ev.Kind)) return;
  FLabelTool->MyShow(mapFromGlobal(QCursor::pos()).x(), 10, ev.Text, mcHideOnDeparture, vlEventID,
                     Margin());
}

void TvlTrackWindow::Paint_LowLatencyUpdateAtPixelOffset(int PO) {
  const int x = PO + Margin() - 50;
  update(QRect(x, 0, 50 + EventsList_HorizontalAllowance() + 1, TrackHeight()));
}

// ---------------------------------------------------------------------------------------------
// Painting

void TvlTrackWindow::PlaceSliders() {
  const QRect slot = FTrack.Render().TrackSlotRect();
  FPlaySlider.LateralPixelPos = slot.top() + slot.height() / 2 - FPlaySlider.Height() / 2;
  FNowSlider.LateralPixelPos = FPlaySlider.LateralPixelPos - 13;
}

void TvlTrackWindow::paintEvent(QPaintEvent *) {
  RunGuardedDeferred([&] {
    if (FRecursionDepth > 0) return;  // a paint inside a paint is refused
    ++FRecursionDepth;
    QPainter p(this);
    EnsureIndex();
    FTrack.Render().SetDeviceScale(TQuickBitmap::ScaleForRatio(devicePixelRatioF()));
    if (FTrack.Render().MyInvalidate()) {
      FTrack.Render().RenderAll();
      FSlotCurrentToPos = -1;
    }
    const QImage &img = FTrack.BitmapToShare().Image();
    p.fillRect(rect(), QColor(227, 227, 227));
    // The bitmap carries its device pixel ratio: the source rectangle is in device pixels.
    const qreal scale = img.devicePixelRatio();
    p.drawImage(QRectF(0, 0, width(), TrackHeight()), img,
                QRectF(0, 0, width() * scale, TrackHeight() * scale));
    PlaceSliders();
    const TTrackMapping m = FTrack.Index().Mapping();

    // The now slider: where now lies on the track (the recording picture while recording).
    const TDateTime now = FNow_ScrollingTo.MyNow();
    bool inRange = false;
    const int nowPO = m.ColumnOf(now, inRange);
    if (AudioRole() == arCurrent && inRange && m.IsVisible(now) && FNowSlider.Visible) {
      FNowSlider.SetMarkPos(nowPO);
      const bool recording = FAudio && FAudio->IsRecording();
      p.drawImage(FNowSlider.PictureRect(nowPO).topLeft(), FNowSlider.Picture(recording));
    }
    // The play slider: at its own mark while picked up, else at the play position.
    TDateTime playAt = PlayPosition();
    int playPO = FPlaySlider.MarkPos();
    bool playOn = FPlaySlider.IsPickedUp();
    if (!playOn) {
      playPO = m.ColumnOf(playAt, inRange);
      playOn = inRange && m.IsVisible(playAt);
      if (playOn) FPlaySlider.SetMarkPos(playPO);
    } else {
      playAt = m.TimeOfColumn(playPO);
    }
    if (playOn && FPlaySlider.Visible) {
      const QRect r = FPlaySlider.PictureRect(playPO);
      p.drawImage(r.topLeft(), FPlaySlider.Picture(true));
      // Its caption: the time at the mark, after a short line.
      QFont f(QStringLiteral("Arial"));
      f.setPixelSize(11);
      f.setBold(true);
      p.setFont(f);
      const QString text = QLatin1Char(' ') + TimeCursorTextOf(playAt).trimmed() + QLatin1Char(' ');
      const QFontMetrics fm(f);
      const QRect tr(r.left() + 32, r.top(), fm.horizontalAdvance(text), fm.height());
      // On a light ground: the slider lies on the black level band, where dark text is lost.
      p.fillRect(tr, FPlaySlider.IsPickedUp() ? QColor(255, 255, 230) : QColor(232, 236, 244));
      p.setPen(FPlaySlider.IsPickedUp() ? QColor(0, 0, 128) : QColor(20, 30, 60));
      p.drawLine(r.left() + 22, r.top() + 9, r.left() + 30, r.top() + 5);
      p.drawText(tr.left(), tr.top() + fm.ascent(), text);
    }
    PaintCaptionBlock(p);
    // The pulse that points out a moment: a filled aqua circle shrinking from 12 to 0.
    const std::int64_t elapsed = Clock().SteadyMSecs() - FPulseStartMs;
    if (FPulseTimer.isActive() && elapsed < PulseMs) {
      const int radius = static_cast<int>(RoundHalfEven((PulseMs - elapsed) * 12.0 / PulseMs));
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0, 255, 255));
      p.drawEllipse(FHighlightingSpotPoint, radius, radius);
    }
    ++FPaintCount;
    --FRecursionDepth;
  });
}

int CaptionCalendarGlyphX(const QFontMetrics &Metrics, int DateX, const QString &Date) {
  const int inkRight = DateX + Metrics.tightBoundingRect(Date).right();
  return std::max(DateX + Metrics.horizontalAdvance(Date), inkRight + 1) + 4;
}

RTrackCaptionLayout TrackCaptionLayout(const QFontMetrics &Metrics, TAudioRole Role,
                                       TDateTime When) {
  RTrackCaptionLayout l;
  const QDateTime at = DateTimeToQDateTime(When);
  l.Title = Role == arCurrent ? QStringLiteral("Record Timeline") : QStringLiteral("Play Timeline");
  static const char *const days[] = {"Su", "M ", "Tu", "W ", "Th", "F ", "Sa"};
  l.Day = QString::fromLatin1(days[(DayOfWeek(When) + 6) % 7]);
  // At 17 pixels unless the weekday is wider in the face drawn ("Th" in a wide Arial stand-in).
  const int dateX = std::max(17, 2 + Metrics.horizontalAdvance(l.Day.trimmed()) + 2);
  // The short date, with the century taken off a four-digit year.
  l.Date = QLocale::system().toString(at.date(), QLocale::ShortFormat);
  const QString year4 = QString::number(at.date().year());
  if (year4.size() == 4 && year4.startsWith(QStringLiteral("20")) && l.Date.contains(year4))
    l.Date.replace(year4, year4.mid(2));
  const int hour12 = at.time().hour() % 12 == 0 ? 12 : at.time().hour() % 12;
  l.Time = QStringLiteral("%1:%2%3")
               .arg(hour12)
               .arg(at.time().minute(), 2, 10, QLatin1Char('0'))
               .arg(at.time().hour() < 12 ? QStringLiteral("am") : QStringLiteral("pm"));
  // Lines 12 pixels apart, as the caption block has always been laid out; the rectangles are
  // those of the ink.
  const auto inkAt = [&](int X, int Y, const QString &Text) {
    return Metrics.tightBoundingRect(Text).translated(X, Y + Metrics.ascent());
  };
  l.TitleRect = inkAt(2, 0, l.Title);
  l.DayRect = inkAt(2, 12, l.Day.trimmed());
  l.DateRect = inkAt(dateX, 12, l.Date);
  l.TimeRect = inkAt(2, 24, l.Time);
  // The glyph stands on the date's line, its top level with the top of the date's figures.
  if (Role == arHistorical)
    l.GlyphRect = QRect(CaptionCalendarGlyphX(Metrics, dateX, l.Date), l.DateRect.top(), 11, 10);
  return l;
}

void TvlTrackWindow::PaintCaptionBlock(QPainter &P) {
  QFont f(QStringLiteral("Arial"));
  f.setPixelSize(12);
  P.save();
  P.setFont(f);
  P.setPen(QColor(11, 31, 46));
  const QFontMetrics fm(f);
  const RTrackCaptionLayout l = TrackCaptionLayout(fm, AudioRole(), FTrack.Index().Mapping().When);
  // Bookmark labels reaching into the corner go under the caption, not through its letters.
  const QRect ground = l.TitleRect.united(l.DayRect)
                           .united(l.DateRect)
                           .united(l.TimeRect)
                           .united(l.GlyphRect)
                           .united(FindSliderArea())
                           .adjusted(-2, -1, 2, 1);
  P.fillRect(ground, QColor::fromRgb(TQuickBitmap::ToRgb(FTrack.Render().Look().clPlain)));
  auto textAt = [&](int X, int Y, const QString &S) { P.drawText(X, Y + fm.ascent(), S); };
  textAt(2, 0, l.Title);
  textAt(2, 12, l.Day);
  textAt(l.DateRect.left() - fm.tightBoundingRect(l.Date).left(), 12, l.Date);
  textAt(2, 24, l.Time);
  if (!l.GlyphRect.isNull()) {
    // A small calendar glyph after the date.
    const int x = l.GlyphRect.left(), y = l.GlyphRect.top();
    P.setPen(QColor(11, 31, 46));
    P.setBrush(Qt::NoBrush);
    P.drawRect(x, y, 10, 9);
    P.fillRect(QRect(x, y, 11, 3), QColor(11, 31, 46));
  }
  // The find-slider button, hot while the mouse is over it.
  const QRect fa = FindSliderArea();
  P.setPen(FFindSliderHot ? QColor(200, 60, 0) : QColor(11, 31, 46));
  P.setBrush(FFindSliderHot ? QColor(255, 220, 160) : QColor(235, 235, 235));
  P.drawEllipse(fa.adjusted(2, 2, -2, -2));
  P.drawLine(fa.center().x(), fa.top() + 5, fa.center().x(), fa.bottom() - 5);
  P.restore();
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TvlTrackWindow::FindSliderPressed() {
  const TDateTime at = AudioRole() == arCurrent ? (FAudio ? FAudio->Recording_Position() : 0)
                                                : (FAudio ? FAudio->GetPlay_Position() : 0);
  if (at < NoPositionBefore) {
    Hint(mapToGlobal(FindSliderArea().bottomLeft()),
         QStringLiteral("A play position has not been set."), 1200);
    return;
  }
  FKeepSliderInView = true;
  MoveTrackToSpecial(Columns() / 2, at);
}

void TvlTrackWindow::mousePressEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    EnsureIndex();
    const QPoint at = Event->position().toPoint();
    const QPoint global = Event->globalPosition().toPoint();
    const int PO = at.x() - Margin();
    if (Event->button() == Qt::LeftButton) {
      if (AudioRole() == arHistorical && CalendarArea().contains(at)) {
        if (FLinks) FLinks->CalendarRequested(TargetMapping().When);
        return;
      }
      if (FindSliderArea().contains(at)) {
        FindSliderPressed();
        return;
      }
    }
    if (FOfferAndSelect)
      FOfferAndSelect->MouseDown(this, PO, Event->modifiers(), Event->button(), at.y(), at.x(),
                                 global);
    if (FPlaySlider.IsPickedUp()) return;
    if (Event->button() == Qt::LeftButton && PlaySliderShown() &&
        FPlaySlider.IsHoveringOver(at.x(), at.y())) {
      FPlaySlider.Mouse_SliderPickedUpAt(at.x(), 0);
      FHesitateTimer.start();
      FTimeCursor.Update_NoTime(this, Qt::PointingHandCursor);
      return;
    }
    // Offered bookmarks take the press; the slot plays only when none is under the mouse.
    const bool onBookmark = FOfferAndSelect && FOfferAndSelect->FOfferedEvents.Count() > 0;
    if (Event->button() == Qt::LeftButton && !onBookmark &&
        FTrack.Render().IsMouseOverTrack(at.x(), at.y()))
      PlayFrom(FTrack.Index().DateTimeFromPixelOffset(PO), global);
  });
}

void TvlTrackWindow::mouseMoveEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    EnsureIndex();
    const QPoint at = Event->position().toPoint();
    const int PO = at.x() - Margin();
    if (FOfferAndSelect)
      FOfferAndSelect->MouseMove(this, PO, Event->modifiers(), Event->buttons(), at.y(), at.x(),
                                 Event->globalPosition().toPoint());
    const bool findHot = FindSliderArea().contains(at);
    if (findHot != FFindSliderHot) {
      FFindSliderHot = findHot;
      update(FindSliderArea().adjusted(-1, -1, 1, 1));
    }
    if (FPlaySlider.IsPickedUp()) {
      const int mark =
          std::clamp(FPlaySlider.Mouse_DraggedToDesiredPos(at.x(), 0), 0, Columns() - 1);
      FPlaySlider.SetMarkPos(mark);
      FHesitateTimer.start();  // rests 500 ms: plays from there
      FTimeCursor.Update_NoTime(this, Qt::PointingHandCursor);
      update();
      return;
    }
    FPlaySliderHot = PlaySliderShown() && FPlaySlider.IsHoveringOver(at.x(), at.y());
    const bool bookmarkHot = FOfferAndSelect && FOfferAndSelect->FOfferedEvents.Count() > 0;
    if (FPlaySliderHot || bookmarkHot || findHot ||
        (AudioRole() == arHistorical && CalendarArea().contains(at))) {
      FTimeCursor.Update_NoTime(this, Qt::PointingHandCursor);
    } else if (FTrack.Render().IsMouseOverTrack(at.x(), at.y())) {
      if (!FLoudCursor) FTimeCursor.CustomImage(TimeCursorArrow(true));
      FLoudCursor = true;
      FTimeCursor.Update_Time(this, FTrack.Index().DateTimeFromPixelOffset(PO));
    } else {
      if (FLoudCursor) FTimeCursor.CustomImage(QImage());
      FLoudCursor = false;
      FTimeCursor.Update_NoTime(this, Qt::ArrowCursor);
    }
    ShowAreaHint(CalendarArea().contains(at) ? 1
                 : findHot                   ? 2
                                             : 0,
                 Event->globalPosition().toPoint());
  });
}

void TvlTrackWindow::mouseReleaseEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    const QPoint at = Event->position().toPoint();
    const QPoint global = Event->globalPosition().toPoint();
    if (FOfferAndSelect)
      FOfferAndSelect->MouseUp(this, at.x() - Margin(), Event->modifiers(), Event->button(), at.y(),
                               at.x(), global);
    if (FPlaySlider.IsPickedUp()) {
      FHesitateTimer.stop();
      const TDateTime t = PlaySlider_DateTimeFromMarkPos();
      FPlaySlider.Mouse_SliderPutDownAt(at.x());
      if (t < Now()) PlayFrom(t, global);
      update();
    }
    if (Event->button() == Qt::RightButton && FLinks) FLinks->PopupRequested(*this, global);
  });
}

// Hints show only over the hot areas, once on entering each.
void TvlTrackWindow::ShowAreaHint(int Area, const QPoint &Global) {
  if (Area == FHintArea) return;
  FHintArea = Area;
  if (Area == 1)
    Hint(Global,
         AudioRole() == arCurrent ? QStringLiteral("This timeline is for the current time.")
                                  : QStringLiteral("Open a calendar of recordings."),
         1500);
  else if (Area == 2)
    Hint(Global,
         AudioRole() == arCurrent ? QStringLiteral("Scroll the Now Slider in view.")
                                  : QStringLiteral("Scroll the Play Slider in view."),
         1500);
}

void TvlTrackWindow::OnEventsCleared() {
  FLabelTool->MyHide();
  if (FOfferAndSelect) FOfferAndSelect->ClearAll();
  FTrack.OnEventsCleared();
  InvalidateRebuildAndRedrawWithoutFlicker();
}

void TvlTrackWindow::leaveEvent(QEvent *) {
  FHintArea = 0;
  FTimeCursor.Update_RestoreOriginal();
  if (FFindSliderHot) {
    FFindSliderHot = false;
    update();
  }
}

void TvlTrackWindow::SliderHesitated() {
  if (!FPlaySlider.IsPickedUp()) return;
  const TDateTime t = PlaySlider_DateTimeFromMarkPos();
  if (t >= Now() || !FAudio) return;
  if (FAudio->Play_From(t, HesitationTempo) == prOkay) {
    FLastSliderTime = t;
    if (FLinks) FLinks->ShowTempo(HesitationTempo);
  }
}
