#include "vl09_TrackRender.h"

#include "vl09_DayFilesManager.h"
#include "vl09_Visualization.h"
#include "vldFontsInUse.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <unordered_map>

namespace {

constexpr TColor clTick = RGBColor(221, 221, 221);
constexpr TColor clAmPm = RGBColor(128, 128, 128);
constexpr TColor clAqua = RGBColor(0, 255, 255);
constexpr TColor clMagenta = RGBColor(255, 0, 255);
constexpr TColor clSelectedMarker = RGBColor(255, 0, 0);

// Font slots of the text stamps.
enum TStampFont {
  sfMarker,
  sfTickMajor,
  sfTickNormal,
  sfTickMinor,
  sfAmPm,
  sfLabelUpright,
  sfCount
};

QString FaceFor(const QString &Name) {
  if (Name == QStringLiteral("MS Sans Serif")) return QStringLiteral("Liberation Sans");
  if (Name == QStringLiteral("Arial Narrow")) {
    static const bool narrow =
        QFontDatabase::families().contains(QStringLiteral("Liberation Sans Narrow"));
    return narrow ? QStringLiteral("Liberation Sans Narrow") : QStringLiteral("Liberation Sans");
  }
  if (Name == QStringLiteral("Terminal")) return QStringLiteral("DejaVu Sans");
  return DrawingFaceFor(Name);
}

}  // namespace

QFont TrackDrawingFont(const RTrackFont &Font) {
  QFont f(FaceFor(Font.Name));
  f.setPixelSize(std::max(1, static_cast<int>(RoundHalfEven(Font.Points * 96 / 72))));
  f.setBold(Font.Bold);
  f.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

// Upright texts (markers, tick labels) rendered once per font and text as coverage masks and
// blended into the bitmap from then on: a full render draws up to a few hundred of them, and
// laying text out each time would cost more than the rest of the render. The masks are
// rasterised at the bitmap's device scale; their sizes for layout stay logical.
class TTextStamps {
 public:
  struct RStamp {
    int Width = 0;  // advance, for centring (logical)
    int Height = 0;
    int MaskWidth = 0;
    int Scale = 1;
    std::vector<std::uint8_t> Alpha;  // (MaskWidth x Scale) x (Height x Scale)
  };

  void SetFont(int Slot, const QFont &Font) {
    FFonts[static_cast<std::size_t>(Slot)] = Font;
    FCache[static_cast<std::size_t>(Slot)].clear();
  }
  // The device scale of the bitmap drawn into next; another scale empties the caches.
  void SetScale(int Scale) {
    if (Scale == FScale) return;
    FScale = Scale;
    for (auto &cache : FCache) cache.clear();
  }
  const RStamp &Get(int Slot, const QString &Text) {
    auto &cache = FCache[static_cast<std::size_t>(Slot)];
    auto it = cache.find(Text);
    if (it != cache.end()) return it->second;
    if (cache.size() > 512) cache.clear();
    const QFont &font = FFonts[static_cast<std::size_t>(Slot)];
    const QFontMetrics fm(font);
    RStamp s;
    s.Width = fm.horizontalAdvance(Text);
    s.Height = fm.height();
    s.MaskWidth = s.Width + 2;
    s.Scale = FScale;
    const int w = s.MaskWidth * FScale, h = s.Height * FScale;
    QImage img(w, h, QImage::Format_RGB32);
    img.setDevicePixelRatio(FScale);
    img.fill(Qt::white);
    {
      QPainter p(&img);
      p.setPen(Qt::black);
      p.setFont(font);
      p.drawText(0, fm.ascent(), Text);
    }
    s.Alpha.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 0; y < h; ++y) {
      const QRgb *row = reinterpret_cast<const QRgb *>(img.constScanLine(y));
      for (int x = 0; x < w; ++x)
        s.Alpha[static_cast<std::size_t>(y * w + x)] =
            static_cast<std::uint8_t>(255 - qRed(row[x]));
    }
    return cache.emplace(Text, std::move(s)).first->second;
  }
  // Blends the stamp in Colour over what lies under it, top-left at the logical pixel (X, Y);
  // clipped. A stamp of another scale than the bitmap's draws nothing.
  static QRect Draw(TQuickBitmap &B, int X, int Y, const RStamp &S, TColor Colour) {
    if (S.Scale != B.Scale()) return QRect();
    const int r = ColorRed(Colour), g = ColorGreen(Colour), b = ColorBlue(Colour);
    const int w = S.MaskWidth * S.Scale, h = S.Height * S.Scale;
    const int x0 = X * S.Scale, y0 = Y * S.Scale;
    const int bw = B.Image().width(), bh = B.Image().height();
    for (int y = 0; y < h; ++y) {
      const int dy = y0 + y;
      if (dy < 0 || dy >= bh) continue;
      QRgb *row = B.Row(dy);
      const std::uint8_t *a = S.Alpha.data() + static_cast<std::size_t>(y * w);
      for (int x = 0; x < w; ++x) {
        const int dx = x0 + x, al = a[x];
        if (al == 0 || dx < 0 || dx >= bw) continue;
        const QRgb d = row[dx];
        row[dx] =
            qRgb((r * al + qRed(d) * (255 - al)) / 255, (g * al + qGreen(d) * (255 - al)) / 255,
                 (b * al + qBlue(d) * (255 - al)) / 255);
      }
    }
    return QRect(X, Y, S.MaskWidth, S.Height);
  }

 private:
  std::array<QFont, sfCount> FFonts;
  std::array<std::unordered_map<QString, RStamp>, sfCount> FCache;
  int FScale = 1;
};

// ---------------------------------------------------------------------------------------------
// Ticks

int TickClass(int Minute, int Second) {
  if (Second % 5 != 0) return 0;
  if (Second != 0) return Second % 15 == 0 ? 2 : 1;
  if (Minute == 0) return 7;
  if (Minute == 30) return 6;
  if (Minute == 15 || Minute == 45) return 5;
  if (Minute % 5 == 0) return 4;
  return 3;
}

int TickLength(int Class) {
  static const int lengths[8] = {0, 1, 2, 6, 8, 10, 11, 12};
  return Class >= 0 && Class <= 7 ? lengths[Class] : 0;
}

bool TickLabelShown(int Class, double PixelDuration) {
  switch (Class) {
    case 2: return PixelDuration < 1;
    case 3: return PixelDuration <= 1;
    case 4: return PixelDuration <= 5;
    case 5: return PixelDuration <= 12;
    case 6: return PixelDuration <= 20;
    case 7: return true;
    default: return false;
  }
}

QString TickLabelText(int Hour, int Minute, int Second, bool TwentyFourHourTime) {
  if (Second != 0) return QString::number(Second);
  int h = Hour;
  if (!TwentyFourHourTime) {
    if (h > 12) h -= 12;
    if (h == 0) h = 12;
  }
  return QString::number(h) + QLatin1Char(':') +
         QStringLiteral("%1").arg(Minute, 2, 10, QLatin1Char('0'));
}

QString TickAmPmText(int Hour) { return Hour < 12 ? QStringLiteral("am") : QStringLiteral("pm"); }

// ---------------------------------------------------------------------------------------------

TvlTrackRender::TvlTrackRender(TQuickBitmap &Bitmap, TAudioRole SetAudioRole, TvlTrackIndex &Index,
                               TVisualization *Vis)
    : FBitmap(Bitmap),
      FAudioRole(SetAudioRole),
      FIndex(Index),
      FVis(Vis),
      FStamps(std::make_unique<TTextStamps>()) {
  FZoom_PixelDuration = PixelDurationFromCaption(QStringLiteral("3 second per pixel"), 5);
  FBand_Keyboarding.Thickness = 10;
  FBand_Labels.Thickness = 35;
  FBand_Labels.Font = {QStringLiteral("Comic Sans MS"), 12, false, RGBColor(34, 52, 136)};
  FBand_TimeTics.Thickness = 28;
  FBand_Markers.Thickness = 25;
  FBand_Markers.Font = {QStringLiteral("Arial Narrow"), 10, false, RGBColor(34, 52, 136)};
  FBand_Sketching.Thickness = 5;
  FBand_Slot.Thickness = 15;
  FBand_SlotArea.Thickness = 19;
  FontsChanged();
}

TvlTrackRender::~TvlTrackRender() = default;

TvlDayFilesManager *TvlTrackRender::Manager() const { return FIndex.Manager(); }

void TvlTrackRender::SetLook(const RTrackLook &Look) {
  FLook = Look;
  FLook.LabelAngleDegrees = std::clamp(FLook.LabelAngleDegrees, 0, 90);
  FontsChanged();
}

void TvlTrackRender::FontsChanged() {
  FStamps->SetFont(sfMarker,
                   TrackDrawingFont({QStringLiteral("MS Sans Serif"), 9, false, clBlack}));
  FStamps->SetFont(sfTickMajor, TrackDrawingFont(FBand_TimeTics.FontMajor));
  FStamps->SetFont(sfTickNormal, TrackDrawingFont(FBand_TimeTics.Font));
  FStamps->SetFont(sfTickMinor, TrackDrawingFont(FBand_TimeTics.FontMinor));
  RTrackFont amPm = FBand_TimeTics.Font;
  amPm.Bold = false;
  FStamps->SetFont(sfAmPm, TrackDrawingFont(amPm));
  FLabelFont = TrackDrawingFont(FBand_Labels.Font);
  FStamps->SetFont(sfLabelUpright, FLabelFont);
  FIndex.SetLabelLook(FLabelFont, FBand_Labels.Font.Color, FLook.LabelAngleDegrees);
}

void TvlTrackRender::SetTrackBarMargin(int Margin) { FTrackBarMargin = std::max(0, Margin); }

void TvlTrackRender::SetDeviceScale(int Scale) {
  Scale = std::clamp(Scale, 1, TQuickBitmap::MaxScale);
  if (Scale == FDeviceScale) return;
  FDeviceScale = Scale;
  SetMyInvalidate(true);
}

void TvlTrackRender::StoreZoomLevel(TZoomLevel Value) {
  FZoomLevel = std::clamp(Value, MinZoomLevel, MaxZoomLevel);
  FZoom_PixelDuration = PixelDurationFromZoomLevel(FZoomLevel);
}

void TvlTrackRender::SetZoomLevel(TZoomLevel Value) {
  StoreZoomLevel(Value);
  FIndex.EntireIndex_Rebuild(0, FZoom_PixelDuration, FIndex.TrackIndexWhen());
  SetMyInvalidate(true);
}

void TvlTrackRender::SetMyInvalidate(bool Value) {
  FMyInvalidate = Value;
  if (Value && OnInvalidate) OnInvalidate();
}

// ---------------------------------------------------------------------------------------------
// Geometry

int TvlTrackRender::GetWidth_TotalLateral() const {
  int total = FBand_SlotArea.Thickness;
  for (const TTrackBand *b : {&FBand_Sketching, &FBand_Keyboarding, &FBand_Markers, &FBand_Labels})
    if (b->Show) total += b->Thickness;
  if (FBand_TimeTics.Show) total += FBand_TimeTics.Thickness;
  return total;
}

QRect TvlTrackRender::GetRect_MarginBegin() const {
  return QRect(0, 0, FTrackBarMargin, GetWidth_TotalLateral());
}

QRect TvlTrackRender::GetRect_MarginEnd() const {
  return QRect(FBitmap.Width() - FTrackBarMargin, 0, FTrackBarMargin, GetWidth_TotalLateral());
}

QRect TvlTrackRender::Rect_Visible(int Offset2, int Width) const {
  return QRect(Offset2 + FTrackBarMargin, 0, Width, GetWidth_TotalLateral());
}

bool TvlTrackRender::IsMouseOverTrack(int MouseX, int MouseY) const {
  // Edges included on all four sides.
  return MouseX >= FRect_TrackSlot.left() &&
         MouseX <= FRect_TrackSlot.left() + FRect_TrackSlot.width() &&
         MouseY >= FRect_TrackSlot.top() &&
         MouseY <= FRect_TrackSlot.top() + FRect_TrackSlot.height();
}

int TvlTrackRender::HorizontalAllowanceForTiltedText() const {
  const double a = std::clamp(FLook.LabelAngleDegrees, 9, 85) / 57.29577951308232;
  const int bottom = FBand_Labels.Rect.top() + FBand_Labels.Rect.height();
  return static_cast<int>(RoundHalfEven(bottom / std::tan(a))) + 50;
}

int TvlTrackRender::LabelDrop() const {
  return std::clamp((FLook.LabelAngleDegrees * 10 - 300) / 75, 0, 6);
}

QPoint TvlTrackRender::LabelAnchor(int PO, int ScrollOffset) const {
  return QPoint(FBand_Labels.Rect.left() + PO + ScrollOffset + 3,
                FRect_TrackSlot.top() - 5 + LabelDrop());
}

void TvlTrackRender::LayOutBands() {
  const int left = FTrackBarMargin;
  const int span = std::max(0, FBitmap.Width() - 2 * FTrackBarMargin);
  int y = 0;
  auto place = [&](TTrackBand &b, bool shown) {
    if (!shown) {
      b.Rect = QRect(left, y, span, 0);
      return;
    }
    b.Rect = QRect(left, y, span, b.Thickness);
    y += b.Thickness;
  };
  place(FBand_Markers, FBand_Markers.Show);
  place(FBand_Labels, FBand_Labels.Show);
  place(FBand_Sketching, FBand_Sketching.Show);
  place(FBand_SlotArea, true);
  FBand_Slot.Rect = QRect(left, FBand_SlotArea.Rect.top() + 2, span, FBand_Slot.Thickness);
  place(FBand_Keyboarding, FBand_Keyboarding.Show);
  place(FBand_TimeTics, FBand_TimeTics.Show);
}

// ---------------------------------------------------------------------------------------------
// Full render

void TvlTrackRender::RenderAll() {
  if (FIndex.SpareCPU()) return;
  const int columns = static_cast<int>(FIndex.LastPO() + 1);
  FBitmap.SetSize(std::max(2 * FTrackBarMargin + columns, FMaxScreenSize), GetWidth_TotalLateral(),
                  FDeviceScale);
  FStamps->SetScale(FBitmap.Scale());
  FBitmap.Fill(FLook.clPlain);
  LayOutBands();
  const int rulerTop =
      FBand_Keyboarding.Show ? FBand_Keyboarding.Rect.top() : FBand_TimeTics.Rect.top();
  FBitmap.FillRect(QRect(0, rulerTop, FBitmap.Width(), FBitmap.Height() - rulerTop),
                   FLook.clRulerPlain);
  FRect_TrackSlot = FBand_Slot.Rect;
  Band_Slot_Update(0, -1);
  if (TrackSlotShadow)
    FBitmap.FillRect(
        QRect(FRect_TrackSlot.left(), FRect_TrackSlot.top() + 1, FRect_TrackSlot.width(), 1),
        RGBColor(128, 128, 128));
  if (FBand_TimeTics.Show) DrawTimeTics();
  RenderAll_PixelOffset_Range(0, columns - 1);
  ++FRenderCount;
  FMyInvalidate = false;
}

void TvlTrackRender::Band_Slot_Update(int FromPos, int TillPos) {
  QRect slot = FRect_TrackSlot;
  if (slot.isEmpty()) return;
  if (FromPos <= TillPos) {
    // Only the columns asked for: the slot is clipped to them.
    const int from = std::max(0, FromPos), till = std::min(TillPos, slot.width() - 1);
    if (till < from) return;
    // The sections are placed from the slot's left edge; clip by drawing into a narrowed slot
    // whose moment of column 0 is shifted to match.
    const TDateTime when = FIndex.Mapping().TimeOfColumn(from);
    const QRect part(slot.left() + from, slot.top(), till - from + 1, slot.height());
    if (FVis)
      FVis->DrawAllHorz(FBitmap, part, FIndex.Zoom_PixelDuration(), when);
    else
      FBitmap.FillRect(part, clBlack);
    return;
  }
  if (FVis)
    FVis->DrawAllHorz(FBitmap, slot, FIndex.Zoom_PixelDuration(), FIndex.TrackIndexWhen());
  else
    FBitmap.FillRect(slot, clBlack);
}

// One pass over the columns: for each, the highest-class tick in its time slice (a whole hour
// before a half hour before a quarter ... before a 5-second mark). So the ruler has at most one
// line per column, whatever the zoom. Moments are whole milliseconds from midnight of column 0's
// day, the same rounding the mapping uses.
void TvlTrackRender::DrawTimeTics() {
  const TTrackMapping &map = FIndex.Mapping();
  const std::int64_t colMs = RoundHalfEven(map.PixelDuration * 1000.0);
  if (colMs <= 0) return;
  std::int64_t day = 0, whenMs = 0;
  SplitDateTime(map.When, day, whenMs);
  const int columns = std::min<int>(TrackSpanInPixels(), static_cast<int>(map.Columns));
  const QRect band = FBand_TimeTics.Rect;
  struct RPeriod {
    std::int64_t Ms;
    int Class;
  };
  static const RPeriod periods[] = {{3600000, 7}, {1800000, 6}, {900000, 5}, {300000, 4},
                                    {60000, 3},   {15000, 2},   {5000, 1}};
  for (int c = 0; c < columns; ++c) {
    const std::int64_t t0 = whenMs + c * colMs, t1 = t0 + colMs;
    int cls = 0;
    std::int64_t at = 0;
    for (const RPeriod &p : periods) {
      // The first multiple of the period at or after t0 (t0 may be negative only in theory).
      const std::int64_t m = (t0 >= 0 ? (t0 + p.Ms - 1) / p.Ms : -((-t0) / p.Ms)) * p.Ms;
      if (m < t1) {
        cls = p.Class;
        at = m;
        break;
      }
    }
    if (cls == 0) continue;
    const int x = band.left() + c;
    const int len = std::min(TickLength(cls), band.height());
    FBitmap.FillRect(QRect(x, band.top(), 1, len), clTick);
    if (!TickLabelShown(cls, map.PixelDuration)) continue;
    const std::int64_t secOfDay = (at / 1000) % 86400;
    const int hour = static_cast<int>(secOfDay / 3600),
              minute = static_cast<int>(secOfDay / 60 % 60),
              second = static_cast<int>(secOfDay % 60);
    const QString text = TickLabelText(hour, minute, second, FLook.TwentyFourHourTime);
    const bool minor = second != 0;
    const int slot = minor ? sfTickMinor : cls == 7 ? sfTickMajor : sfTickNormal;
    const RTrackFont &font = minor      ? FBand_TimeTics.FontMinor
                             : cls == 7 ? FBand_TimeTics.FontMajor
                                        : FBand_TimeTics.Font;
    const TTextStamps::RStamp &s = FStamps->Get(slot, text);
    const int left = x - s.Width / 2;
    const int top = band.top() + (minor ? 9 : 14);
    TTextStamps::Draw(FBitmap, left, top, s, font.Color);
    // On the 24-hour clock the hour itself says which half of the day it is.
    if (!minor && !FLook.TwentyFourHourTime) {
      const TTextStamps::RStamp &ap = FStamps->Get(sfAmPm, TickAmPmText(hour));
      TTextStamps::Draw(FBitmap, left + s.Width + 2, top, ap, clAmPm);
    }
  }
}

void TvlTrackRender::RenderAll_PixelOffset_Range(int FirstPO, int LastPO) {
  for (int PO = std::max(0, FirstPO); PO <= std::min(LastPO, FIndex.LastPO()); ++PO)
    RenderAll_PixelOffset_One(PO);
}

void TvlTrackRender::RenderAll_PixelOffset_One(int PO) {
  const TPixelData *pd = FIndex.GetPixelDataFor(PO);
  if (!pd) return;
  if (FBand_Keyboarding.Show && !pd->Typing.isEmpty()) DrawKeyboarding(PO, *pd);
  if (FLook.SkinScrolls) {
    DrawLabelsAt(PO, 0, FBitmap, *pd);
    DrawMarkersAt(PO, 0, FBitmap, *pd);
  }
}

void TvlTrackRender::DrawKeyboarding(int PO, const TPixelData &PixelData) {
  const int spaces = static_cast<int>(PixelData.Typing.count(QLatin1Char(' ')));
  const int h = std::min<int>(FBand_Keyboarding.Thickness,
                              (spaces + 1) + static_cast<int>(PixelData.Typing.size()) / 2);
  const int x = FBand_Keyboarding.Rect.left() + PO;
  const int top = FBand_Keyboarding.Rect.top() - 1;
  FBitmap.FillRect(QRect(x, top, 1, h), clAqua);
}

// ---------------------------------------------------------------------------------------------
// Markers

void TvlTrackRender::DrawMarkersAt(int PO, int ScrollOffset, TQuickBitmap &QBitmap,
                                   const TPixelData &PixelData) {
  if (!FBand_Markers.Show) return;
  TvlDayFilesManager *m = Manager();
  for (std::size_t i = 0; i < PixelData.MarkerIDs.size(); ++i) {
    const TEventID id = PixelData.MarkerIDs[i];
    const QChar what =
        i < std::size_t(PixelData.Markers.size()) ? PixelData.Markers[qsizetype(i)] : QChar();
    TColor colour = FBand_Markers.Font.Color;
    if (m && m->Event_IsSelected(id))
      colour = clSelectedMarker;
    else if (what == QLatin1Char('|'))
      colour = FColor_PauseMarker;
    DrawMarkerAt_One(PO, ScrollOffset, QBitmap, colour, what);
  }
}

void TvlTrackRender::DrawMarkerAt_One(int PO, int ScrollOffset, TQuickBitmap &QBitmap, TColor clOne,
                                      QChar Marker) {
  // The function keys' own marker characters (codes 129..140) read "F1".."F12".
  const ushort code = Marker.unicode();
  const QString text = code >= 129 && code <= 140
                           ? QStringLiteral("F") + QString::number(code - 128)
                           : QString(Marker);
  FStamps->SetScale(QBitmap.Scale());
  const TTextStamps::RStamp &s = FStamps->Get(sfMarker, text);
  const int x = FBand_Markers.Rect.left() + PO + ScrollOffset - s.Width / 2;
  Mark(TTextStamps::Draw(QBitmap, x, FBand_Markers.Rect.top() + 4, s, clOne));
}

void TvlTrackRender::OneMarker_Remove(int PO, TEventID EventID, TColor clReplacement,
                                      TQuickBitmap &QBitmap) {
  TvlDayFilesManager *m = Manager();
  if (!m || m->EventKind_FromEventID(EventID) != koeMarker) return;
  DrawMarkerAt_One(PO, 0, QBitmap, clReplacement, m->EventWhat_FromEventID(EventID));
}

// ---------------------------------------------------------------------------------------------
// Labels

// A 1-pixel stem from the slot up 3 rows, then 3 pixels wide for 3 more.
void TvlTrackRender::DrawStem(TQuickBitmap &QBitmap, int X, TColor Colour) {
  const int slotTop = FRect_TrackSlot.top();
  QBitmap.FillRect(QRect(X, slotTop - 4, 1, 3), Colour);
  QBitmap.FillRect(QRect(X - 1, slotTop - 7, 3, 3), Colour);
  Mark(QRect(X - 1, slotTop - 7, 3, 6));
}

void TvlTrackRender::DrawLabelsAt(int PO, int ScrollOffset, TQuickBitmap &QBitmap,
                                  const TPixelData &PixelData) {
  if (!FBand_Labels.Show || PixelData.Labels.empty()) return;
  const TColor colour =
      PixelData.Markers.contains(QChar(1)) ? FColor_PauseMarker : FBand_Labels.Font.Color;
  const int x = FBand_Labels.Rect.left() + PO + ScrollOffset;
  DrawStem(QBitmap, x, colour);
  const QPoint anchor = LabelAnchor(PO, ScrollOffset);
  for (const RLabelEntry &e : PixelData.Labels) {
    if (e.Tilted) {
      e.Tilted->SetFontColor(colour);
      e.Tilted->Font() = FLabelFont;
      e.Tilted->PlotCachedOrPrepFirstToo(anchor.x(), anchor.y(), FLook.LabelAngleDegrees * 10,
                                         e.Text, QBitmap);
      if (!e.Tilted->Bounds().isEmpty()) Mark(e.Tilted->Bounds().translated(anchor));
    } else {
      FStamps->SetScale(QBitmap.Scale());
      const TTextStamps::RStamp &s = FStamps->Get(sfLabelUpright, e.Text);
      Mark(TTextStamps::Draw(QBitmap, x + 3, FBand_Labels.Rect.top() + 10, s, clMagenta));
    }
  }
}

void TvlTrackRender::DrawOneLabel(int PO, TEventID EventID, TQuickBitmap &QBitmap) {
  FLastChange = QRect();
  const TPixelData *pd = FIndex.GetPixelDataFor(PO);
  if (!FBand_Labels.Show || !pd) return;
  for (const RLabelEntry &e : pd->Labels) {
    if (e.EventID != EventID) continue;
    TPixelData one;
    one.Markers = pd->Markers;
    one.Labels.push_back(e);
    DrawLabelsAt(PO, 0, QBitmap, one);
  }
}

void TvlTrackRender::OneLabel_RedrawAt(int NewXOrLookup, TColor clNew, TQuickBitmap &QBitmap,
                                       TEventID EventID) {
  FLastChange = QRect();
  TvlDayFilesManager *m = Manager();
  if (!FBand_Labels.Show || !m || !IsLabelLikeKind(m->EventKind_FromEventID(EventID))) return;
  TTiltedText *t = FIndex.TiltedTextFor(EventID);
  if (t->TouchedPixels().empty()) return;
  DrawStem(QBitmap, FBand_Labels.Rect.left() + NewXOrLookup, clNew);
  const int anchorX = NewXOrLookup + FBand_Labels.Rect.left() + 3;
  t->PlotVeryQuick_Recolor(clNew, anchorX, QBitmap);
  Mark(t->Bounds().translated(anchorX, t->AtY()));
}

int TvlTrackRender::OneLabel_Remove(TEventID EventID, TQuickBitmap &QBitmap, TColor clReplacement) {
  FLastChange = QRect();
  TvlDayFilesManager *m = Manager();
  if (!FBand_Labels.Show || !m || !IsLabelLikeKind(m->EventKind_FromEventID(EventID))) return 0;
  TTiltedText *t = FIndex.TiltedTextFor(EventID);
  if (t->TouchedPixels().empty()) return 0;
  if (!DragInProgress) DrawStem(QBitmap, t->AtX() - 3, clReplacement);
  t->PlotVeryQuick_Remove(QBitmap);
  Mark(t->Bounds().translated(t->AtX(), t->AtY()));
  return t->AtX() - FBand_Labels.Rect.left() - 3;
}
