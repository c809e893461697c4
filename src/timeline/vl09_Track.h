#pragma once
// One horizontal timeline of one audio role, without its widgets: the current track follows the
// present moment while recording, the historical track browses any earlier span. TvlTrack owns
// and wires the off-screen bitmap, the index (what lies in each column) and the renderer (how it
// is drawn), plus the five label gatherers; the track window, the zoom buttons and slider and
// the label tool are widgets that the window layer builds on top and connects through the hooks
// below.
//
// How a window uses it:
//   SetWidth(columns) on resize, MoveTo(moment, column) to scroll, ZoomIn/ZoomOut or
//   SetZoomLevelFromSlider for the zoom controls; then Render().RenderAll() when
//   Render().MyInvalidate() is set, and copy BitmapToShare() to the screen. Single-label updates
//   (typing into a label) change only a rectangle of the bitmap and report it through
//   OnBitmapChanged so the window refreshes just that.
//
// After the event store is cleared (binder closed or opened), call OnEventsCleared before the
// event loop runs again: IDs held by the index and the gatherers name other events afterwards.
//
// User-interface thread only.

#include "vl09_GatherLabel.h"
#include "vl09_TiltText.h"
#include "vl09_TrackIndex.h"
#include "vl09_TrackRender.h"

#include <QRect>

#include <functional>

class TVisualization;
class TvlDayFilesManager;

class TvlTrack {
 public:
  // Vis: the level band's source (may be null). Manager: nullptr for the process-wide one.
  TvlTrack(TAudioRole SetAudioRole, TVisualization *Vis, TvlDayFilesManager *Manager = nullptr);
  ~TvlTrack();
  TvlTrack(const TvlTrack &) = delete;
  TvlTrack &operator=(const TvlTrack &) = delete;

  TAudioRole AudioRole() const { return FAudioRole; }
  TQuickBitmap &BitmapToShare() { return FBitmapToShare; }
  TvlTrackIndex &Index() { return FIndex; }
  TvlTrackRender &Render() { return FRender; }

  // ---- Span and zoom
  // Columns shown (the window's width); rebuilds.
  void SetWidth(int Columns);
  // Puts When at column PO, same zoom; rebuilds.
  void MoveTo(TDateTime When, int PO = 0);
  // Sets the level at once, without animation (first show, the calendar). With a window on the
  // track (OnZoomLevelSetAtOnce installed) the window takes it, so that the span it shows, the
  // renderer and its zoom slider keep one level; alone, the renderer takes it.
  void InitializeAtFirstShow_AndSetZoomLevelTo(TZoomLevel InitZoomLevel);
  std::function<void(TZoomLevel Level)> OnZoomLevelSetAtOnce;
  // Level 1 when the span is under 180 s, 2 under 420 s, else the present level.
  void RebuildDayFile();
  // One level towards 1 / towards 15; false at the end of the range.
  bool ZoomIn();
  bool ZoomOut();
  // The zoom slider moved: at once while BlockZoomAnimationAndRespectStartingWhen is set or no
  // animation hook is installed, else through OnZoomAnimationRequested.
  void SetZoomLevelFromSlider(TZoomLevel Level);
  bool BlockZoomAnimationAndRespectStartingWhen = false;
  std::function<void(TZoomLevel Level)> OnZoomAnimationRequested;

  // ---- Repainting
  void InvalidateRendering() { FRender.SetMyInvalidate(true); }
  // Renders now when the renderer's invalid flag is set; true when it did.
  bool PaintIfInvalid();
  // A rectangle of the bitmap changed outside a full render; the window refreshes it at once.
  std::function<void(const QRect &Changed)> OnBitmapChanged;

  // ---- Events made on this track
  TEventID NewEvent(TKindOfEvent Kind, QChar What, TDateTime When);
  // Adds the event (an identical event already there answers its own ID, never another
  // event's), gives a label its drawing object, files it in the index and, with InitialLabel,
  // stores and shows the label. -1 when no event could be made.
  TEventID NewEventWithLabel(TKindOfEvent Kind, QChar What, TDateTime When,
                             const QString &InitialLabel);
  // Stores Text as a label's text and redraws only that label: the old drawing is erased
  // exactly, the new one plotted at its column. Only label-like events take a text here.
  void UpdateEventTextAndDoLowLatencyDraw(TEventID EventID, const QString &Text);

  // ---- Gatherers
  void GatherForMenuOrButton(TEventID EventHandle);
  bool IsGatheringForBookmark() const;
  // A key press (virtual key code) for the gatherers; each that changed its text updates its
  // label on the track.
  void Process_OtherWaysToCatchKeystrokesAndMaybeStopGathering(int Key);
  TGatherLabel Gather4Pair, Gather4Pause, Gather4Space, Gather4Symbol, Gather4Typing;

  // ---- After the event store was cleared
  void OnEventsCleared();

 private:
  TvlDayFilesManager *Manager() const { return FIndex.Manager(); }

  TAudioRole FAudioRole;
  TQuickBitmap FBitmapToShare;
  TvlTrackIndex FIndex;
  TvlTrackRender FRender;
};
