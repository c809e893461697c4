#pragma once
// The on-screen control of a track: the rendered track with the play and now sliders drawn over
// it, the caption block in the upper-left corner (with the calendar and find-slider hot areas),
// and at the bottom the time machine, a treadmill-like scroller for moving through time.
//
// A click on the slot plays from that moment; hovering over bookmarks offers them and dragging
// moves them (TOfferAndSelect); dragging the play slider scrubs, and resting on it for 500 ms
// plays from there at 150 %. The right button asks the owner for the track pop-up menu.
//
// Repainting is coalesced: moves and zooms only record the wanted span and call update(); the
// next paintEvent rebuilds the index once and renders once. The animated zoom runs as timer
// frames of about 16 ms for 200 ms, keeping the anchor moment under the same column in every
// frame. On the current track a timer keeps the now slider live while recording and scrolls the
// track when now leaves it.
//
// The owner wires: an audio facade (TTrackAudio; TvlAudioForTrack over the program's TvlAudio),
// the picking logic shared by both windows (TOfferAndSelect), hints, the tempo bar, the calendar
// and the pop-up menu (callbacks below), and calls TimersEnable(true) once the main loop runs so
// the current track follows now; after the event store is cleared it calls OnEventsCleared.
//
// User-interface thread only.

#include "vl09_EventsList.h"
#include "vl09_MyAudio.h"
#include "vl09_Slider.h"
#include "vl09_TimeCursor.h"
#include "vl09_Track.h"
#include "vl09_ZoomPanel.h"

#include <QFontMetrics>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

class TOfferAndSelect;
class TvlLabelTool;
class TvlTrackWindow;

// What a track window asks of the program around it.
class TTrackWindowLinks {
 public:
  virtual ~TTrackWindowLinks() = default;
  // The track pop-up menu at a screen point, for Window.
  virtual void PopupRequested(TvlTrackWindow &Window, const QPoint &Global) = 0;
  // A hint near a screen point for some milliseconds ("NO AUDIO", ...).
  virtual void ShowHint(const QPoint &Global, const QString &Text, int MSecs) = 0;
  // Playback started on the track at this speed (percent): the speed bar shows it.
  virtual void ShowTempo(int Tempo) = 0;
  // The historical track's calendar area was pressed: the calendar opens at this moment.
  virtual void CalendarRequested(TDateTime At) = 0;
  // The label tool closed: the keyboard goes back to the notes.
  virtual void LabelToolHidden() = 0;
  // Bookmarks were added, changed, moved or deleted on a track.
  virtual void BookmarksChanged() = 0;
};

// Where the caption's calendar glyph begins: a few pixels after the date drawn at DateX, past
// both its advance and its ink (an italic or wide stand-in face can reach beyond the advance).
int CaptionCalendarGlyphX(const QFontMetrics &Metrics, int DateX, const QString &Date);

// The caption block at a track's top left: its texts and where their ink lies, in the window's
// logical pixels (the same at every screen scale). The glyph is the historical track's only.
struct RTrackCaptionLayout {
  QString Title, Day, Date, Time;
  QRect TitleRect, DayRect, DateRect, TimeRect, GlyphRect;
};
RTrackCaptionLayout TrackCaptionLayout(const QFontMetrics &Metrics, TAudioRole Role,
                                       TDateTime When);

// What a track window asks of the audio facade.
class TTrackAudio {
 public:
  virtual ~TTrackAudio() = default;
  virtual TPlayResult Play_From(TDateTime When, double Tempo) = 0;
  // A moment on or before 31 December 1901 means no play position is set.
  virtual TDateTime GetPlay_Position() const = 0;
  virtual bool IsRecording() const = 0;
  virtual TDateTime Recording_Position() const = 0;
};

// The facade of the program as a track window's audio.
class TvlAudioForTrack final : public TTrackAudio {
 public:
  explicit TvlAudioForTrack(TvlAudio &Audio) : FAudio(Audio) {}
  TPlayResult Play_From(TDateTime When, double Tempo) override {
    return FAudio.Play_From(When, Tempo);
  }
  TDateTime GetPlay_Position() const override { return FAudio.GetPlay_Position(); }
  bool IsRecording() const override { return FAudio.IsRecording(); }
  TDateTime Recording_Position() const override { return FAudio.Recording_Position(); }

 private:
  TvlAudio &FAudio;
};

// "Now" as last taken by the live timer, with how stale it is.
class TConsolidatedNow {
 public:
  TDateTime MyNow() const { return FConsolidatedNow; }
  void SetConsolidatedNowToRealNow();
  void GetConsolidatedNowAndStalenessInMS(TDateTime &MyNow, std::int64_t &MS) const;

 private:
  TDateTime FConsolidatedNow = 0;
  std::int64_t FTakenAtMs = 0;
};

enum TPreferSlider { psNow = 0, psPlay = 1 };

// An 18-pixel strip at the bottom of the track window: step buttons at both ends (a press steps
// at once, again after 500 ms, then every 100 ms), and between them a tread that drags the track
// ten columns per pixel and wraps around so the drag never runs out of room.
class TTimeMachine : public QWidget {
 public:
  static constexpr int StripHeight = 18;
  static constexpr int ButtonWidth = 18;
  explicit TTimeMachine(TvlTrackWindow &Owner);

  QRect LeftBtnRect() const { return QRect(0, 0, ButtonWidth, height()); }
  QRect RightBtnRect() const { return QRect(width() - ButtonWidth, 0, ButtonWidth, height()); }
  QRect SlotRect() const { return QRect(ButtonWidth, 0, SlotWidth(), height()); }
  int SlotWidth() const { return std::max(0, width() - 2 * ButtonWidth); }
  int TreadWidth() const;
  int Home() const { return (SlotWidth() - TreadWidth()) / 2; }
  int TreadState() const { return FTreadState; }
  int WrapsX() const { return FWrapsX; }
  bool MouseIsDown() const { return FMouseIsDown; }

  // Puts the pointer at a screen point; false when the platform did not move it (Wayland cannot
  // warp the pointer). Replaceable for tests.
  std::function<bool(const QPoint &Global)> WarpPointer;

 protected:
  void paintEvent(QPaintEvent *Event) override;
  void mousePressEvent(QMouseEvent *Event) override;
  void mouseMoveEvent(QMouseEvent *Event) override;
  void mouseReleaseEvent(QMouseEvent *Event) override;
  void resizeEvent(QResizeEvent *Event) override;

 private:
  TvlTrackWindow &FOwner;
  int FTreadState = 0;  // x of the tread in the slot
  int FWrapsX = 0;
  bool FMouseIsDown = false;
  bool FStepping = false;
  QPoint FMouseDownAt;
  int FMouseDownLeft = 0;
  TDateTime FMouseDownTrackIndexWhen = 0;
};

class TvlTrackWindow : public QWidget, public TEventsListHost {
 public:
  // The track must outlive the window.
  explicit TvlTrackWindow(TvlTrack &Track, QWidget *Parent = nullptr);
  ~TvlTrackWindow() override;

  // ---- Wiring (none owned)
  void SetAudio(TTrackAudio *Audio) { FAudio = Audio; }
  // The picking logic must outlive the window (the window unlists itself from it when it goes).
  void SetOfferAndSelect(TOfferAndSelect *OfferAndSelect) { FOfferAndSelect = OfferAndSelect; }
  TOfferAndSelect *OfferAndSelect() const { return FOfferAndSelect; }
  // What the window asks of the program around it (not owned; the program's track glue). Without
  // links (a track window alone, in tests) hints are tool tips and the rest is not asked.
  void SetLinks(TTrackWindowLinks *Links) { FLinks = Links; }
  TTrackWindowLinks *Links() const { return FLinks; }
  // Bookmarks were added, changed, moved or deleted on this track: the links are told.
  void NotifyBookmarksChanged();
  // The options' wanted tempo: 100 natural speed, 999 keep the tempo bar's speed, else a
  // favourite speed; and the tempo bar's present speed.
  int WantedTempo = 100;
  int TempoBarPosition = 100;

  // ---- Parts
  TvlTrack &vlTrack() { return FTrack; }
  TvlTrackRender &vlTrackRender() { return FTrack.Render(); }
  TvlTrackIndex &vlTrackIndex() { return FTrack.Index(); }
  TAudioRole AudioRole() const { return FTrack.AudioRole(); }
  TTimeMachine &TimeMachine() { return *FTimeMachine; }
  TvlSlider &PlaySlider() { return FPlaySlider; }
  TvlSlider &NowSlider() { return FNowSlider; }
  TvlLabelTool &LabelTool() { return *FLabelTool; }
  TTimeCursor &TimeCursor() { return FTimeCursor; }
  TConsolidatedNow &Now_ScrollingTo() { return FNow_ScrollingTo; }
  int TrackHeight() const;  // the track's bands, without the time machine
  // The bands changed their thickness (the label band's height): the time machine, the sliders'
  // bounds and the columns are laid out again, as on a resize.
  void Relayout();
  int Columns() const;  // pixel columns shown
  int Margin() const { return FTrack.Render().TrackBarMargin(); }

  // ---- The zoom level. One state: the renderer holds the level, the span shown uses its pixel
  // duration, the zoom panel shows it and the program saves the pixel duration shown. Moves with
  // a pixel duration of their own (the calendar) take the level of that duration.
  TZoomLevel ZoomLevel() const { return const_cast<TvlTrack &>(FTrack).Render().ZoomLevel(); }
  // The level an animation is heading for, else the present one.
  TZoomLevel ZoomLevelAimedAt() const;
  // Seconds per column of what is shown, or of where an animation is heading.
  double ShownPixelDuration() const;
  // At once, column 0 kept in place.
  void SetZoomLevelAtOnce(TZoomLevel Level);
  // Animated, keeping the moment under column AnchorPO there (Ctrl+wheel at the pointer).
  void ZoomAnimatedAbout(TZoomLevel NewZoomLevel, int AnchorPO);
  // The zoom controls beside the window (not owned); they show every level change.
  void SetZoomPanel(TvlZoomPanel *Panel);
  TvlZoomPanel *ZoomPanel() const { return FZoomPanel; }

  // ---- Moving and zooming (coalesced: the index is rebuilt at the next paint)
  void MoveTrackTo(TDateTime NewDT);
  void MoveTrackToSpecial(int PO, TDateTime NewDT);
  void MoveAndZoomTrackTo(int PO, double NewZoomPD, TDateTime NewDT);
  // The span the next paint shows (the index's own span until then lags behind).
  TTrackMapping TargetMapping() const;
  // Applies a pending move now (mouse handlers need the index of what the user sees).
  void EnsureIndex();
  // Rebuilds and renders now (bookmarks changed), then repaints.
  void InvalidateRebuildAndRedrawWithoutFlicker();
  void ZoomAnimatedToNewZoomLevel(TZoomLevel NewZoomLevel);
  void ZoomInCommand();
  void ZoomOutCommand();
  bool IsZoomAnimating() const { return FZoomTimer.isActive(); }
  // One animation frame (the timer calls it; tests call it with a manual clock).
  void ZoomAnimationFrame();
  TPreferSlider PreferSlider = psNow;

  // After the event store was cleared (binder closed or opened): every event ID held here means
  // another event now. Hides the label tool, drops offers and selections, rebuilds.
  void OnEventsCleared();

  // ---- Sliders and moments
  TDateTime PlaySlider_DateTimeFromMarkPos() const;
  void PlaySlider_MoveToDesiredDateTime(TDateTime When);
  TDateTime LastSliderTime() const { return FLastSliderTime; }
  double WantTempo() const;
  // Starts the 2.5-second pulse at When's column; false when When is not on the track.
  bool PointOutSpecificTimeOnTrack(TDateTime When);
  bool IsPointingOut() const { return FPulseTimer.isActive(); }
  TDateTime MiddleOfBiggestVisibleGapBetweenEvents();
  // The typing around a column: before + centre + after, at most 150 characters.
  void GetKeyboardingDisplayParam(int X_Offset, int &BoldStart, QString &Text, int &BoldLength);
  TDateTime DateTimeScrollableInView_Earliest() const { return TargetMapping().When; }
  // The moment just after the last column shown.
  TDateTime DateTimeScrolledInView_Last() const {
    const TTrackMapping m = TargetMapping();
    return m.When + m.SpanSeconds() / SecsPerDay;
  }
  // How far MouseX lies left (negative) or right (positive) of the columns, 0 inside.
  int ScrollableRegion_Test(int MouseX) const {
    return MouseX < Margin()                ? MouseX - Margin()
           : MouseX >= Margin() + Columns() ? MouseX - (Margin() + Columns() - 1)
                                            : 0;
  }
  // The tread is being dragged.
  bool IsScrolling() const { return FTimeMachine->MouseIsDown(); }
  bool FKeepSliderInView = true;
  int FSliderStayInViewJumpPercentage = 100;

  // ---- Time machine steps
  // Sets the step direction (-1 left, +1 right, 0 stop) and, when starting, steps at once.
  void StartStepping(int Direction);
  void StopStepping() { StartStepping(0); }
  // One tick of the 100 ms step timer.
  void WrappingScroll();
  int WrappingScrollBtnCount() const { return FWrappingScrollBtnCount; }
  // Moves the track by Columns columns' worth of time.
  void MoveTrackByColumns(std::int64_t Columns);

  // ---- The live timer of the current track
  // Runs the update timer (500..1000 ms, from the pixel duration unless fixed).
  void TimersEnable(bool NewState);
  void SetUpdateInterval(int MSecs);
  int SliderUpdateInterval() const;
  void SliderUpdateTick();

  // ---- TEventsListHost: drawing offered and dragged bookmarks
  TQuickBitmap &EventsList_Bitmap() override { return FTrack.BitmapToShare(); }
  int EventsList_TrackBarMargin() const override { return Margin(); }
  int EventsList_HorizontalAllowance() const override;
  int EventsList_LabelsBandBottom() const override;
  void EventID_Offer(int DeltaPO, int PO, TColor clNew, TEventID vlEventID) override;
  void EventID_OfferNoMore(int PO, TEventID vlEventID, bool DoInstantUpdate,
                           TColor clGone) override;
  // Opens the label tool on a label-like event at the mouse (-1 hides it).
  void EventID_OfferLabelTool(int POUnused, TEventID vlEventID);
  // Plays from a moment at WantTempo; shows "NO AUDIO" near Global when nothing plays.
  bool PlayFrom(TDateTime When, const QPoint &Global);
  // The same at a given speed (percent): the speed bar's, for a recording chosen on the track.
  bool PlayFrom(TDateTime When, const QPoint &Global, double Tempo);
  // The screen rectangle around a column is refreshed (labels typed, bookmarks dragged).
  void Paint_LowLatencyUpdateAtPixelOffset(int PO);
  // Whether the play slider is drawn: picked up, or at the play position on the track. One not
  // drawn cannot be grabbed (its last place would otherwise catch presses).
  bool PlaySliderShown() const;
  // True while the mouse is over the play slider's drawn part.
  bool PlaySliderHot() const { return FPlaySliderHot; }
  int PaintCount() const { return FPaintCount; }
  // The mouse rested 500 ms on the play slider being dragged: plays from there at 150 % when
  // that moment is past (the hesitation timer calls it).
  void SliderHesitated();

  // Hot areas (window coordinates, edges included).
  static QRect CalendarArea() { return QRect(QPoint(1, 10), QPoint(60, 28)); }
  static QRect FindSliderArea() { return QRect(QPoint(1, 36), QPoint(23, 54)); }

 protected:
  void paintEvent(QPaintEvent *Event) override;
  void resizeEvent(QResizeEvent *Event) override;
  void mousePressEvent(QMouseEvent *Event) override;
  void mouseMoveEvent(QMouseEvent *Event) override;
  void mouseReleaseEvent(QMouseEvent *Event) override;
  // Ctrl+wheel zooms about the pointer, a level per notch; the plain wheel is the program's
  // (the speed bar).
  void wheelEvent(QWheelEvent *Event) override;
  void leaveEvent(QEvent *Event) override;

 private:
  void StartZoomAnimation(TZoomLevel Level, int AnchorPO, TDateTime AnchorDT);
  // The renderer takes the level of a pixel duration shown; the zoom panel follows.
  void SyncZoomLevel(double PixelDuration);
  void ShowLevelOnPanel(TZoomLevel Level);
  void Hint(const QPoint &Global, const QString &Text, int MSecs);
  void PlaceSliders();
  void PaintCaptionBlock(class QPainter &P);
  TDateTime PlayPosition() const;
  void FindSliderPressed();
  void ShowAreaHint(int Area, const QPoint &Global);

  TvlTrack &FTrack;
  TTrackAudio *FAudio = nullptr;
  TTrackWindowLinks *FLinks = nullptr;
  TOfferAndSelect *FOfferAndSelect = nullptr;
  TTimeMachine *FTimeMachine;
  TvlLabelTool *FLabelTool;
  TvlSlider FPlaySlider;
  TvlSlider FNowSlider;
  TTimeCursor FTimeCursor;
  TConsolidatedNow FNow_ScrollingTo;

  // The span wanted: When at column FTargetPO, FTargetPD seconds per column.
  QPointer<TvlZoomPanel> FZoomPanel;
  int FWheelAccumulated = 0;
  bool FInZoomFrame = false;
  int FTargetPO = 0;
  double FTargetPD = 2;
  TDateTime FTargetWhen = 0;
  bool FIndexDirty = false;
  std::uint64_t FSeenGeneration = 0;

  QTimer FZoomTimer;
  std::int64_t FZoomStartMs = 0;
  double FZoomFromPD = 0, FZoomToPD = 0;
  TZoomLevel FZoomToLevel = 2;
  int FZoomAnchorPO = 0;
  TDateTime FZoomAnchorDT = 0;

  QTimer FPulseTimer;
  std::int64_t FPulseStartMs = 0;
  QPoint FHighlightingSpotPoint;

  QTimer FHesitateTimer;
  QTimer Timer_EdgeScroller;
  QTimer Timer_SliderUpdate;
  int FWrappingScrollBtnCount = 0;
  int FUpdateInterval = 0;
  int FSlotCurrentToPos = -1;

  TDateTime FLastSliderTime = 0;
  bool FPlaySliderHot = false;
  bool FFindSliderHot = false;
  int FHintArea = 0;  // the hot area whose hint was shown last (0: none)
  bool FLoudCursor = false;
  int FPaintCount = 0;
  int FRecursionDepth = 0;
};
