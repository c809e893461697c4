#include "vldFontsInUse.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlColorConversion.h"
#include "vlDateTime.h"
#include "vldRichString.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>

namespace {

// Applied sizes are held here at draw time; stored sizes stay as they are.
constexpr double MinDrawnPoints = 1;
constexpr double MaxDrawnPoints = 1000;

}  // namespace

QString DrawingFaceFor(const QString &StoredName) {
  struct RMap {
    const char16_t *Stored;
    const char16_t *Drawn;
  };
  static const RMap map[] = {
      {u"Comic Sans MS", u"Comic Neue"},
      {u"Veranda", u"DejaVu Sans"},
      {u"Verdana", u"DejaVu Sans"},
      {u"Arial", u"Liberation Sans"},
      {u"Times New Roman", u"Liberation Serif"},
      {u"Courier New", u"Liberation Mono"},
  };
  for (const RMap &m : map)
    if (StoredName == QStringView(m.Stored)) return QString::fromUtf16(m.Drawn);
  return StoredName;
}

std::size_t TFontsInUse::RDrawingKeyHash::operator()(const RDrawingKey &K) const noexcept {
  return std::hash<int>()(K.Index) ^ (std::hash<double>()(K.Zoom) << 1) ^
         (std::hash<int>()(K.Dpi) << 2);
}

TFontsInUse::TFontsInUse() { Initialize(); }

TFontsInUse::~TFontsInUse() = default;

void TFontsInUse::Initialize() {
  DefaultName = QStringLiteral("Veranda");
  DefaultRotation = 0;
  DefaultSize = 12;
  DefaultColor = 0;
  DefaultHighlight = 0xFFFFFF;
  DefaultStyle = {};
  Fonts.clear();
  auto first = std::make_unique<TFontInUse>();
  first->Name = DefaultName;
  first->Rotation = DefaultRotation;
  first->Size = DefaultSize;
  first->Color = DefaultColor;
  first->Highlight = DefaultHighlight;
  first->Style = DefaultStyle;
  Fonts.push_back(std::move(first));
  FontsChanged();
  // The current font starts as the default font rather than empty, so that a colour chosen
  // before anything else still gives visible text.
  CurrentFont_SetFromIndex(0);
}

bool TFontsInUse::IsInFontIndexRange(int FontIndex) const {
  return FontIndex >= 0 && FontIndex < SlotCount();
}

bool TFontsInUse::FontExists(int FontIndex) const {
  return IsInFontIndexRange(FontIndex) && Fonts[static_cast<std::size_t>(FontIndex)] != nullptr;
}

const TFontInUse *TFontsInUse::Entry(int FontIndex) const {
  return FontExists(FontIndex) ? Fonts[static_cast<std::size_t>(FontIndex)].get() : nullptr;
}

int TFontsInUse::Count() const {
  return static_cast<int>(
      std::count_if(Fonts.begin(), Fonts.end(), [](const auto &F) { return F && F->GC_InUse; }));
}

TFontIndex TFontsInUse::ExpandFontsArray() {
  const int highest = SlotCount() - 1;
  const int grow = std::min(ExpansionStep, (MaxSlots - 1) - highest);
  if (grow <= 0) return InvalidFontIndex();
  try {
    Fonts.resize(Fonts.size() + static_cast<std::size_t>(grow));
  } catch (const std::bad_alloc &) {
    return InvalidFontIndex();
  }
  return static_cast<TFontIndex>(highest + 1);
}

bool TFontsInUse::Matches(const TFontInUse &F, const QString &Name, std::int32_t Rotation,
                          std::int32_t Size, TColor Color, TColor Highlight,
                          TFontStyles Style) const {
  return F.Rotation == Rotation && F.Size == Size && F.Color == Color && F.Highlight == Highlight &&
         F.Style == Style && F.Name == Name;
}

TFontIndex TFontsInUse::GetFontIndex(const QString &Name, std::int32_t Rotation, std::int32_t Size,
                                     TColor Color, TColor Highlight, TFontStyles Style) {
  int found = -1;
  for (int i = 0; i < SlotCount(); ++i) {
    TFontInUse *f = Fonts[static_cast<std::size_t>(i)].get();
    if (f && Matches(*f, Name, Rotation, Size, Color, Highlight, Style)) {
      f->GC_InUse = true;
      found = i;
    }
  }
  if (found >= 0) return static_cast<TFontIndex>(found);

  // Slot 0 is never handed out for a new description, even when it was emptied.
  int slot = -1;
  for (int i = 1; i < SlotCount(); ++i)
    if (!Fonts[static_cast<std::size_t>(i)]) {
      slot = i;
      break;
    }
  if (slot < 0) slot = ExpandFontsArray();
  if (slot <= 0 || slot >= SlotCount()) return 0;
  try {
    auto &entry = Fonts[static_cast<std::size_t>(slot)];
    if (!entry) entry = std::make_unique<TFontInUse>();
    entry->Name = Name;
    entry->Rotation = Rotation;
    entry->Size = Size;
    entry->Color = Color;
    entry->Highlight = Highlight;
    entry->Style = Style;
    entry->GC_InUse = true;
  } catch (const std::bad_alloc &) {
    return 0;
  }
  FontsChanged();
  return static_cast<TFontIndex>(slot);
}

TFontInUse TFontsInUse::BaseOrDefault(int BaseFontIndex) const {
  if (const TFontInUse *f = Entry(BaseFontIndex)) return *f;
  TFontInUse d;
  d.Name = DefaultName;
  d.Rotation = DefaultRotation;
  d.Size = DefaultSize;
  d.Color = DefaultColor;
  d.Highlight = DefaultHighlight;
  d.Style = DefaultStyle;
  return d;
}

TFontIndex TFontsInUse::GetFontIndexOf(const TFontInUse &F) {
  return GetFontIndex(F.Name, F.Rotation, F.Size, F.Color, F.Highlight, F.Style);
}

TFontIndex TFontsInUse::GetFontIndex_NewColor(int BaseFontIndex, TColor Color) {
  TFontInUse f = BaseOrDefault(BaseFontIndex);
  f.Color = Color;
  return GetFontIndexOf(f);
}

TFontIndex TFontsInUse::GetFontIndex_NewColors(int BaseFontIndex, TColor Color, TColor Highlight) {
  TFontInUse f = BaseOrDefault(BaseFontIndex);
  f.Color = Color;
  f.Highlight = Highlight;
  return GetFontIndexOf(f);
}

TFontIndex TFontsInUse::GetFontIndex_NewHighlight(int BaseFontIndex, TColor Highlight) {
  TFontInUse f = BaseOrDefault(BaseFontIndex);
  f.Highlight = Highlight;
  return GetFontIndexOf(f);
}

TFontIndex TFontsInUse::GetFontIndex_NewName(int BaseFontIndex, const QString &Name) {
  TFontInUse f = BaseOrDefault(BaseFontIndex);
  f.Name = Name;
  return GetFontIndexOf(f);
}

TFontIndex TFontsInUse::GetFontIndex_NewSize(int BaseFontIndex, std::int32_t Size) {
  TFontInUse f = BaseOrDefault(BaseFontIndex);
  f.Size = Size;
  return GetFontIndexOf(f);
}

TFontIndex TFontsInUse::GetFontIndex_NewStyle(int BaseFontIndex, TFontStyles Style) {
  // Like the other variants, the style applies to the default font when the base names none.
  TFontInUse f = BaseOrDefault(BaseFontIndex);
  f.Style = Style;
  return GetFontIndexOf(f);
}

QString TFontsInUse::GetFontName(int FontIndex) const {
  const TFontInUse *f = Entry(FontIndex);
  return f ? f->Name : DefaultName;
}

std::int32_t TFontsInUse::GetFontSize(int FontIndex) const {
  const TFontInUse *f = Entry(FontIndex);
  return f ? f->Size : DefaultSize;
}

TFontStyles TFontsInUse::GetFontStyle(int FontIndex) const {
  const TFontInUse *f = Entry(FontIndex);
  return f ? f->Style : DefaultStyle;
}

TColor TFontsInUse::GetFontColor(int FontIndex) const {
  const TFontInUse *f = Entry(FontIndex);
  return f ? f->Color : DefaultColor;
}

TColor TFontsInUse::GetFontHighlight(int FontIndex) const {
  const TFontInUse *f = Entry(FontIndex);
  return f ? f->Highlight : DefaultHighlight;
}

void TFontsInUse::GetFontDetails(int FontIndex, QString &Name, std::int32_t &Rotation,
                                 std::int32_t &Size, TColor &Color, TColor &Highlight,
                                 TFontStyles &Style) const {
  Name.clear();
  const TFontInUse *f = Entry(FontIndex);
  if (!f) return;
  Name = f->Name;
  Rotation = f->Rotation;
  Size = f->Size;
  Color = f->Color;
  Highlight = f->Highlight;
  Style = f->Style;
}

QFont TFontsInUse::DrawingFont(int FontIndex, double Zoom, const QPaintDevice *Device) const {
  const int dpi = Device && Device->logicalDpiY() > 0 ? Device->logicalDpiY() : LayoutDotsPerInch;
  if (!std::isfinite(Zoom)) Zoom = 1;                      // also keeps NaN out of the cache's keys
  const int key = FontExists(FontIndex) ? FontIndex : -1;  // every undefined index draws alike
  const RDrawingKey k{key, Zoom, dpi};
  if (auto it = FDrawingFonts.find(k); it != FDrawingFonts.end()) return it->second;

  const TFontInUse f = BaseOrDefault(FontIndex);
  // Size x Zoom rounded half to even, in floating point so that no stored size can overflow,
  // then held to a drawable range.
  double points = static_cast<double>(f.Size) * Zoom;
  points = std::clamp(points, -1e9, 1e9);
  points = std::clamp(static_cast<double>(RoundHalfEven(points)), MinDrawnPoints, MaxDrawnPoints);

  QFont font(DrawingFaceFor(f.Name));
  // Points at LayoutDotsPerInch whatever the device's own resolution.
  font.setPointSizeF(points * LayoutDotsPerInch / dpi);
  font.setBold(f.Style.testFlag(fsBold));
  font.setItalic(f.Style.testFlag(fsItalic));
  font.setUnderline(f.Style.testFlag(fsUnderline));
  font.setStrikeOut(f.Style.testFlag(fsStrikeOut));
  // Horizontal advances unhinted, so that line breaks do not depend on the machine's hinting
  // settings; vertical hinting keeps the text crisp.
  font.setHintingPreference(QFont::PreferVerticalHinting);
  // A handful of zooms is normal; a caller stepping through many must not grow this forever.
  if (FDrawingFonts.size() > 4096) FDrawingFonts.clear();
  FDrawingFonts.emplace(k, font);
  return font;
}

void TFontsInUse::SwitchToFont(QPainter &Canvas, int FontIndex, double Zoom) const {
  const TFontInUse f = BaseOrDefault(FontIndex);
  Canvas.setFont(DrawingFont(FontIndex, Zoom, Canvas.device()));
  Canvas.setPen(TColorToQColor(f.Color));
  const QColor highlight = TColorToQColor(f.Highlight);
  Canvas.setBackgroundMode(Qt::OpaqueMode);
  Canvas.setBackground(highlight);
  Canvas.setBrush(highlight);
}

void TFontsInUse::RenameAFont(const QString &OldName, const QString &NewName) {
  for (auto &f : Fonts)
    if (f && f->Name == OldName) f->Name = NewName;
  FontsChanged();
}

void TFontsInUse::CurrentFont_SetFromIndex(int FontIndex) {
  // An index that names no entry gives the defaults rather than stale attributes and no name.
  const TFontInUse f = BaseOrDefault(FontIndex);
  CurrentFont.Name = f.Name;
  CurrentFont.Rotation = f.Rotation;
  CurrentFont.Size = f.Size;
  CurrentFont.Color = f.Color;
  CurrentFont.Highlight = f.Highlight;
  CurrentFont.Style = f.Style;
  CurrentFont_Index = static_cast<TFontIndex>(std::clamp(FontIndex, -1, MaxSlots - 1));
  CurrentFont_Changed = false;
}

TFontIndex TFontsInUse::CurrentFont_GetIndex() {
  if (!CurrentFont_Changed) return CurrentFont_Index;
  return GetFontIndex(CurrentFont.Name, CurrentFont.Rotation, CurrentFont.Size, CurrentFont.Color,
                      CurrentFont.Highlight, CurrentFont.Style);
}

void TFontsInUse::CurrentFont_ChangeName(const QString &Value) {
  CurrentFont.Name = Value;
  CurrentFont_Changed = true;
}

void TFontsInUse::CurrentFont_ChangeRotation(std::int32_t Value) {
  CurrentFont.Rotation = Value;
  CurrentFont_Changed = true;
}

void TFontsInUse::CurrentFont_ChangeSize(std::int32_t Value) {
  CurrentFont.Size = Value;
  CurrentFont_Changed = true;
}

void TFontsInUse::CurrentFont_ChangeColor(TColor Value) {
  CurrentFont.Color = Value;
  CurrentFont_Changed = true;
}

void TFontsInUse::CurrentFont_ChangeHighlight(TColor Value) {
  CurrentFont.Highlight = Value;
  CurrentFont_Changed = true;
}

void TFontsInUse::CurrentFont_ChangeStyle(TFontStyles Value) {
  CurrentFont.Style = Value;
  CurrentFont_Changed = true;
}

void TFontsInUse::GarbageCollection_Initialize() {
  for (auto &f : Fonts)
    if (f) f->GC_InUse = false;
}

void TFontsInUse::GarbageCollection_ThisFontIsInUse(int FontIndex) {
  if (!FontExists(FontIndex)) return;
  Fonts[static_cast<std::size_t>(FontIndex)]->GC_InUse = true;
}

void TFontsInUse::GarbageCollection_Finalize() {
  // Slot 0 stays whatever its mark: index 0 must always name a font, and new descriptions are
  // never placed there, so an emptied slot 0 could not come back.
  for (std::size_t i = 1; i < Fonts.size(); ++i)
    if (Fonts[i] && !Fonts[i]->GC_InUse) Fonts[i].reset();
  FontsChanged();
}

void TFontsInUse::Entry_Remove(int FontIndex) {
  if (FontIndex <= 0 || !FontExists(FontIndex)) return;
  Fonts[static_cast<std::size_t>(FontIndex)].reset();
  FontsChanged();
}

void TFontsInUse::MyAssign(const TFontsInUse &Source) {
  if (&Source == this) return;
  std::vector<std::unique_ptr<TFontInUse>> copy(Source.Fonts.size());
  for (std::size_t i = 0; i < copy.size(); ++i)
    if (Source.Fonts[i]) copy[i] = std::make_unique<TFontInUse>(*Source.Fonts[i]);
  Fonts = std::move(copy);
  DefaultName = Source.DefaultName;
  DefaultRotation = Source.DefaultRotation;
  DefaultSize = Source.DefaultSize;
  DefaultColor = Source.DefaultColor;
  DefaultHighlight = Source.DefaultHighlight;
  DefaultStyle = Source.DefaultStyle;
  FontsChanged();
}

QString TFontsInUse::IO_Load_ForceFont(int FontIndex, const QString &Name, std::int32_t Rotation,
                                       std::int32_t Size, TColor Color, TColor Highlight,
                                       TFontStyles Style) {
  // The index comes from a file: check it before it is narrowed or used, and grow to it in one
  // step rather than ten slots at a time.
  if (FontIndex < 0 || FontIndex >= MaxSlots) return QStringLiteral("Can't ExpandFontsArray");
  if (FontIndex >= SlotCount()) {
    // Whole steps of ten, as ExpandFontsArray grows, so that the table ends as it always has.
    const int steps = (FontIndex + 1 - SlotCount() + ExpansionStep - 1) / ExpansionStep;
    const int slots = std::min(MaxSlots, SlotCount() + steps * ExpansionStep);
    try {
      Fonts.resize(static_cast<std::size_t>(slots));
    } catch (const std::bad_alloc &) {
      return QStringLiteral("Can't ExpandFontsArray");
    }
  }
  auto &entry = Fonts[static_cast<std::size_t>(FontIndex)];
  try {
    if (!entry) entry = std::make_unique<TFontInUse>();
  } catch (const std::bad_alloc &) {
    return QStringLiteral("Can't create TFontInUse");
  }
  entry->Name = Name;
  entry->Rotation = Rotation;
  entry->Size = Size;
  entry->Color = Color;
  entry->Highlight = Highlight;
  entry->Style = Style;
  entry->GC_InUse = true;
  FontsChanged();
  return {};
}

void TFontsInUse::IO_Save(TvlXmlOut &Out) const {
  Out.Insert_TagWithoutAttributes(xtFontsBegin);
  for (int i = 0; i < SlotCount(); ++i) {
    const TFontInUse *f = Fonts[static_cast<std::size_t>(i)].get();
    if (!f) continue;
    Out.Insert_TagOpenForAttributes(xtFont_);
    Out.Insert_Attribute("Index", i);
    // Escaped, so that a quote or "<" in a face name cannot break the line.
    Out.Insert_AttributeE("Name", f->Name);
    Out.Insert_Attribute("Style", f->Style);
    Out.Insert_Attribute("Size", static_cast<int>(f->Size));
    Out.Insert_AttributeC("Color", f->Color);
    if (f->Highlight != 0xFFFFFF) Out.Insert_AttributeC("Highlight", f->Highlight);
    if (f->Rotation != 0) Out.Insert_Attribute("Rotation", static_cast<int>(f->Rotation));
    Out.Insert_TagClose_NoMoreAttributes();
  }
  Out.Insert_TagWithoutAttributes(xtFontsEnd);
}

QString TFontsInUse::IO_Load(TvlXmlIn &In) {
  QString problems;
  Initialize();
  if (In.CurrentTag() == xtFontsBegin) {
    In.NextRecognizedTag();
  } else if (In.CurrentTag() == xtFont_) {
    // The block starts at its first element when its header line is missing.
    In.ReportProblem(QStringLiteral("The <Fonts> line is missing; the block starts at ") +
                     In.TraceLine());
  } else {
    // Reported like every strict check; the table keeps only its default font.
    In.WarnIfCurrentTagIsNot(xtFontsBegin);
    return problems;
  }
  std::vector<bool> given;
  for (;;) {
    const TvlXmlTags tag = In.CurrentTag();
    if (tag == xtFontsEnd) {
      In.NextRecognizedTag();
      break;
    }
    if (tag == xtInsetsBegin || tag == xtSectionsBegin || EndsNotesBlock(tag)) {
      In.WarnIfCurrentTagIsNot(xtFontsEnd);
      break;
    }
    if (tag != xtFont_) {
      // A stray line costs only itself: the fonts after it still load.
      In.SkipLine(QStringLiteral("A line out of place in <Fonts>, skipped"));
      continue;
    }
    int index = -1;
    if (In.Get("Index", index) && index >= 0 && index < MaxSlots) {
      if (static_cast<std::size_t>(index) >= given.size())
        given.resize(static_cast<std::size_t>(index) + 1, false);
      if (given[static_cast<std::size_t>(index)])
        In.ReportProblem(
            QStringLiteral("Font #%1 is given twice; the later one is kept: ").arg(index) +
            In.TraceLine());
      given[static_cast<std::size_t>(index)] = true;
    }
    problems += IO_Load_ExtractAFont(In);
    In.NextRecognizedTag();
  }
  CurrentFont_SetFromIndex(0);
  return problems;
}

QString TFontsInUse::IO_Load_ExtractAFont(TvlXmlIn &In) {
  int index = 0;
  if (!In.Get("Index", index)) return QStringLiteral("FontIndex not found: ") + In.TraceLine();
  QString name;
  if (!In.GetE("Name", name)) name = DefaultName;
  TFontStyles style = DefaultStyle;
  if (!In.Get("Style", style)) style = DefaultStyle;
  int size = DefaultSize;
  if (!In.Get("Size", size)) size = DefaultSize;
  TColor color = DefaultColor;
  if (!In.GetC("Color", color)) color = DefaultColor;
  TColor highlight = DefaultHighlight;
  if (!In.GetC("Highlight", highlight)) highlight = DefaultHighlight;
  int rotation = DefaultRotation;
  if (!In.Get("Rotation", rotation)) rotation = DefaultRotation;
  return IO_Load_ForceFont(index, name, rotation, size, color, highlight, style);
}
