#pragma once
// Paints a horizontal track into its off-screen bitmap: a stack of bands and, per pixel column,
// what the track index filed there.
//
//   y = 0   markers band (25)      numbered markers, centred on their column
//           labels band (35)       labels slanted at the label angle, each on a short stem
//           sketching band (5)     hidden by the track
//           slot area (19)         the slot (15, from area top + 2): the level band
//           keyboarding band (10)  one aqua stroke per column, longer for more typing
//           time-tick band (28)    the ruler: at most one tick line per column, zoom-dependent
//   x = margin + PO for column PO; the bitmap is at least FMaxScreenSize (2000) wide.
//
// Entry points for the track window:
//   RenderAll                    everything (after a rebuild, a zoom, a resize).
//   RenderAll_PixelOffset_One    the per-column part of one column.
//   DrawOneLabel / OneLabel_Remove / OneLabel_RedrawAt
//                                one label, from its cached pixels, without touching the rest
//                                (typing a label, offering and dragging it). Erasing restores
//                                exactly what the label covered.
//   DrawMarkerAt_One / OneMarker_Remove
//                                one marker over-painted in a colour.
//   Band_Slot_Update             the level band again (while recording).
// The return values and LastChange() say which bitmap rectangle changed, so the window can
// refresh only that.
//
// Fonts named as the notes files name them ("MS Sans Serif", "Comic Sans MS", ...) are drawn with
// the installed faces of the substitution table, at 96 dots per inch, so the band layout is the
// same on every screen. On a denser screen the bitmap holds more device pixels per layout pixel
// (SetDeviceScale): texts and the level band are drawn at that resolution, the layout stays.
//
// User-interface thread only.

#include "vl09_TiltText.h"
#include "vl09_TrackIndex.h"
#include "vlColor.h"

#include <QFont>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

class TVisualization;
class TvlDayFilesManager;
class TTextStamps;

// A font as the settings name it, and the colour it is drawn in.
struct RTrackFont {
  QString Name = QStringLiteral("Arial");
  double Points = 10;
  bool Bold = false;
  TColor Color = clBlack;
};
// The QFont that draws it here: substituted face, pixel size from points at 96 dpi, grey
// anti-aliasing.
QFont TrackDrawingFont(const RTrackFont &Font);

struct TTrackBand {
  QRect Rect;  // set by every full render
  int Thickness = 0;
  bool Show = true;
  int Sequence = 1;
  RTrackFont Font;
  bool IsWithin(int Y) const { return Rect.top() <= Y && Y < Rect.top() + Rect.height(); }
};

struct TTrackBandTimeTics : TTrackBand {
  RTrackFont FontMajor;
  RTrackFont FontMinor;
};

// What the options decide for every track.
struct RTrackLook {
  int LabelAngleDegrees = 30;       // FAngleOfLabelText, 0..90
  bool TwentyFourHourTime = false;  // FTwentyFourHourTime
  // FSkinScrolls: labels and markers are drawn into the bitmap by the full render. Off, the
  // track window draws them itself over a transparent bitmap.
  bool SkinScrolls = true;
  TColor clPlain = RGBColor(227, 227, 227);  // background and transparent colour (3D light)
  // Without a skin image, the keyboarding and tick bands are filled with this darker colour,
  // since the ruler's texts are light greys and white.
  TColor clRulerPlain = RGBColor(58, 66, 82);
};

// The tick class of a moment's minute and second (0 none .. 7 whole hour), its tick length, and
// whether its label shows at a pixel duration.
int TickClass(int Minute, int Second);
int TickLength(int TickClass);
bool TickLabelShown(int TickClass, double PixelDuration);
// "15"/"30"/"45" for a non-zero second, else "h:mm" (12- or 24-hour clock).
QString TickLabelText(int Hour, int Minute, int Second, bool TwentyFourHourTime);
// What follows a whole-minute label on the 12-hour clock: "am" for hours 0..11, else "pm".
QString TickAmPmText(int Hour);

class TvlTrackRender {
 public:
  // Bitmap: shared with the track (not owned). Vis: the level band's source (may be null).
  TvlTrackRender(TQuickBitmap &Bitmap, TAudioRole SetAudioRole, TvlTrackIndex &Index,
                 TVisualization *Vis);
  ~TvlTrackRender();
  TvlTrackRender(const TvlTrackRender &) = delete;
  TvlTrackRender &operator=(const TvlTrackRender &) = delete;

  // ---- Settings
  void SetLook(const RTrackLook &Look);
  const RTrackLook &Look() const { return FLook; }
  TTrackBand &Band_Markers() { return FBand_Markers; }
  TTrackBand &Band_Labels() { return FBand_Labels; }
  TTrackBand &Band_Sketching() { return FBand_Sketching; }
  TTrackBand &Band_Slot() { return FBand_Slot; }
  TTrackBand &Band_SlotArea() { return FBand_SlotArea; }
  TTrackBand &Band_Keyboarding() { return FBand_Keyboarding; }
  TTrackBandTimeTics &Band_TimeTics() { return FBand_TimeTics; }
  // Call after changing a band's font or the look, so fonts and labels are prepared again.
  void FontsChanged();
  void SetTrackBarMargin(int Margin);
  int TrackBarMargin() const { return FTrackBarMargin; }
  // Device pixels per layout pixel of the bitmap (the screen's, see TQuickBitmap::ScaleForRatio);
  // another scale asks for a full render. The layout does not change with it.
  void SetDeviceScale(int Scale);
  int DeviceScale() const { return FDeviceScale; }
  bool TrackSlotShadow = false;
  TColor FColor_Typing = RGBColor(0, 128, 0);
  TColor FColor_PauseMarker = RGBColor(34, 52, 136);
  int FMaxScreenSize = 2000;

  // ---- Zoom
  // Stores the level and its pixel duration and rebuilds the index with column 0 kept at its time.
  void SetZoomLevel(TZoomLevel Value);
  // Stores the level and its pixel duration only: the track window, which rebuilds the index
  // for the span it shows, keeps them in step with what it shows.
  void StoreZoomLevel(TZoomLevel Value);
  void ZoomIn() { SetZoomLevel(std::max(MinZoomLevel, FZoomLevel - 1)); }
  void ZoomOut() { SetZoomLevel(std::min(MaxZoomLevel, FZoomLevel + 1)); }
  TZoomLevel ZoomLevel() const { return FZoomLevel; }
  double Zoom_PixelDuration() const { return FZoom_PixelDuration; }

  // ---- Rendering
  // Everything; nothing while the index spares the CPU.
  void RenderAll();
  void RenderAll_PixelOffset_Range(int FirstPO, int LastPO);
  void RenderAll_PixelOffset_One(int PO);
  // The level band between two columns (the whole slot when FromPos > TillPos).
  void Band_Slot_Update(int FromPos, int TillPos);
  // Markers and labels of a column, ScrollOffset pixels to the right of their place.
  void DrawMarkersAt(int PO, int ScrollOffset, TQuickBitmap &QBitmap, const TPixelData &PixelData);
  void DrawMarkerAt_One(int PO, int ScrollOffset, TQuickBitmap &QBitmap, TColor clOne,
                        QChar Marker);
  void OneMarker_Remove(int PO, TEventID EventID, TColor clReplacement, TQuickBitmap &QBitmap);
  void DrawLabelsAt(int PO, int ScrollOffset, TQuickBitmap &QBitmap, const TPixelData &PixelData);
  // One label of column PO on its stem, from its cached pixels (prepared when stale).
  void DrawOneLabel(int PO, TEventID EventID, TQuickBitmap &QBitmap);
  // Re-colours one label (and its stem) at column NewXOrLookup; moves it there.
  void OneLabel_RedrawAt(int NewXOrLookup, TColor clNew, TQuickBitmap &QBitmap, TEventID EventID);
  // Erases one label exactly and paints its stem in clReplacement; the label's column, or 0
  // when the labels band is hidden or the event has no drawing.
  int OneLabel_Remove(TEventID EventID, TQuickBitmap &QBitmap, TColor clReplacement);
  bool DragInProgress = false;  // a drag leaves the stems alone

  // ---- Geometry
  int TrackSpanInPixels() const { return FBitmap.Width() - 2 * FTrackBarMargin; }
  int GetWidth_TotalLateral() const;
  QRect GetRect_MarginBegin() const;
  QRect GetRect_MarginEnd() const;
  QRect Rect_Visible(int Offset2, int Width) const;
  QRect TrackSlotRect() const { return FRect_TrackSlot; }
  bool IsMouseOverTrack(int MouseX, int MouseY) const;
  // How far right of its column a tilted label can reach, in pixels.
  int HorizontalAllowanceForTiltedText() const;
  // The anchor of a label in column PO (where its cached pixels are plotted).
  QPoint LabelAnchor(int PO, int ScrollOffset = 0) const;
  // The bitmap rectangle the last single-item operation changed (empty: none).
  QRect LastChange() const { return FLastChange; }

  // ---- Invalidation
  void SetMyInvalidate(bool Value);
  bool MyInvalidate() const { return FMyInvalidate; }
  // Told when the flag is set (the vertical timeline repaints with the tracks).
  std::function<void()> OnInvalidate;

  int RenderCount() const { return FRenderCount; }
  TAudioRole AudioRole() const { return FAudioRole; }
  TvlTrackIndex &Index() { return FIndex; }
  TQuickBitmap &Bitmap() { return FBitmap; }

 private:
  void LayOutBands();
  void DrawTimeTics();
  void DrawStem(TQuickBitmap &QBitmap, int X, TColor Colour);
  void DrawKeyboarding(int PO, const TPixelData &PixelData);
  int LabelDrop() const;
  TvlDayFilesManager *Manager() const;
  void Mark(const QRect &R) { FLastChange = FLastChange.united(R); }

  TQuickBitmap &FBitmap;
  TAudioRole FAudioRole;
  TvlTrackIndex &FIndex;
  TVisualization *FVis;
  RTrackLook FLook;
  double FZoom_PixelDuration = 3;
  TZoomLevel FZoomLevel = 5;
  int FTrackBarMargin = 10;
  int FDeviceScale = 1;
  bool FMyInvalidate = true;
  int FRenderCount = 0;
  QRect FRect_TrackSlot;
  QRect FLastChange;
  TTrackBand FBand_Markers, FBand_Labels, FBand_Sketching, FBand_Slot, FBand_SlotArea,
      FBand_Keyboarding;
  TTrackBandTimeTics FBand_TimeTics;
  std::unique_ptr<TTextStamps> FStamps;
  QFont FLabelFont;  // the labels band's font as drawn
};
