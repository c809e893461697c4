#pragma once
// The table of fonts a notes document uses. A character never carries a font description, only a
// 16-bit index into its document's table; the table hands out indices for descriptions, answers
// the attributes of an index, applies an index to a painter and keeps the font new typing gets.
//
// During editing the table only grows: an index, once handed out, keeps naming the same
// attributes until the table is initialised, loaded or assigned again. That is what lets text
// keep its index across edits, copies inside the document, and a save and load (fonts are stored
// at their index).
//
// User-interface thread only.

#include "vl09_XmlTags.h"
#include "vlColor.h"

#include <QFont>
#include <QString>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class QPainter;
class QPaintDevice;
class TvlXmlIn;
class TvlXmlOut;

// -1 is invalid; 0 always names a font; at most 32767.
using TFontIndex = std::int16_t;

enum TFontPositions : std::uint8_t { fpNormal, fpSubscript, fpSuperscript };

// One entry of the table; owned by the table.
class TFontInUse {
 public:
  QString Name;
  std::int32_t Rotation = 0;  // compared and stored; not applied when drawing
  std::int32_t Size = 0;      // points
  TColor Color = 0;
  TColor Highlight = 0;  // drawn behind the text
  TFontStyles Style;
  bool GC_InUse = false;
  TFontPositions Position = fpNormal;  // carried and copied; not compared, not stored

  void MyAssign(const TFontInUse &Source) { *this = Source; }
};

// The font new typing gets.
struct RCurrentFont {
  QString Name;
  std::int32_t Rotation = 0;
  std::int32_t Size = 0;
  TColor Color = 0;
  TColor Highlight = 0;
  TFontStyles Style;
};

// Stored face names stay as they are in files; drawing maps the common Windows faces to the
// metric-compatible or look-alike faces installed here. Names without a mapping are used as
// they are (fontconfig then picks its own fallback).
QString DrawingFaceFor(const QString &StoredName);

// Font metrics are taken at this resolution whatever the screen, so that layouts do not change
// from one machine to the next.
inline constexpr int LayoutDotsPerInch = 96;

class TFontsInUse {
 public:
  static constexpr int MaxSlots = 32768;  // indices 0..32767
  static constexpr int ExpansionStep = 10;

  TFontsInUse();
  ~TFontsInUse();
  TFontsInUse(const TFontsInUse &) = delete;
  TFontsInUse &operator=(const TFontsInUse &) = delete;

  static constexpr TFontIndex InvalidFontIndex() { return -1; }

  // Defaults, one slot holding them at index 0, and the current font taken from it.
  void Initialize();

  // 0 <= index <= highest slot.
  bool IsInFontIndexRange(int FontIndex) const;
  // In range and the slot holds an entry.
  bool FontExists(int FontIndex) const;
  // Entries whose in-use mark is set.
  int Count() const;
  // Slots, empty ones included.
  int SlotCount() const { return static_cast<int>(Fonts.size()); }
  // The entry at an index, or nullptr.
  const TFontInUse *Entry(int FontIndex) const;

  // Empties the slot of an entry (never slot 0): undo takes back the fonts a command added.
  void Entry_Remove(int FontIndex);

  // Appends up to ten empty slots (never beyond 32768) and answers the first new index; -1 when
  // the table is full or memory ran out.
  TFontIndex ExpandFontsArray();

  // The highest slot whose six attributes match (every match is marked in use); else a new entry
  // in the first empty slot above 0, growing when none is free; 0 when there is no room.
  TFontIndex GetFontIndex(const QString &Name, std::int32_t Rotation, std::int32_t Size,
                          TColor Color, TColor Highlight, TFontStyles Style);
  // The base font (or the defaults, when the base names no entry) with one or two attributes
  // changed.
  TFontIndex GetFontIndex_NewColor(int BaseFontIndex, TColor Color);
  TFontIndex GetFontIndex_NewColors(int BaseFontIndex, TColor Color, TColor Highlight);
  TFontIndex GetFontIndex_NewHighlight(int BaseFontIndex, TColor Highlight);
  TFontIndex GetFontIndex_NewName(int BaseFontIndex, const QString &Name);
  TFontIndex GetFontIndex_NewSize(int BaseFontIndex, std::int32_t Size);
  TFontIndex GetFontIndex_NewStyle(int BaseFontIndex, TFontStyles Style);

  // F has these six attributes (the position is not compared).
  bool Matches(const TFontInUse &F, const QString &Name, std::int32_t Rotation, std::int32_t Size,
               TColor Color, TColor Highlight, TFontStyles Style) const;
  // A copy of the entry at an index, or the defaults when the index names no entry: what text in
  // that font is drawn with.
  TFontInUse BaseOrDefault(int BaseFontIndex) const;
  // GetFontIndex of F's six attributes.
  TFontIndex GetFontIndexOf(const TFontInUse &F);

  // The entry's attribute, or the default when the index names no entry.
  QString GetFontName(int FontIndex) const;
  std::int32_t GetFontSize(int FontIndex) const;
  TFontStyles GetFontStyle(int FontIndex) const;
  TColor GetFontColor(int FontIndex) const;
  TColor GetFontHighlight(int FontIndex) const;
  // All six; Name is emptied first and the others are left untouched when the index names no
  // entry.
  void GetFontDetails(int FontIndex, QString &Name, std::int32_t &Rotation, std::int32_t &Size,
                      TColor &Color, TColor &Highlight, TFontStyles &Style) const;

  // The drawing font of an index at a zoom, at LayoutDotsPerInch on Device (the device's own
  // resolution is compensated). An index that names no entry gives the default font, so that such
  // text never inherits the previous run's font. The size is Size x Zoom rounded half to even,
  // held within 1..1000 points. Cached per index, zoom and resolution.
  QFont DrawingFont(int FontIndex, double Zoom, const QPaintDevice *Device = nullptr) const;
  // Sets the painter's font, its pen to the text colour and its background and brush to the
  // highlight, opaque, so that text is drawn on its highlight colour.
  void SwitchToFont(QPainter &Canvas, int FontIndex, double Zoom) const;

  // Every entry named OldName (exactly) is renamed.
  void RenameAFont(const QString &OldName, const QString &NewName);

  void CurrentFont_SetFromIndex(int FontIndex);
  TFontIndex CurrentFont_GetIndex();
  void CurrentFont_ChangeName(const QString &Value);
  void CurrentFont_ChangeRotation(std::int32_t Value);
  void CurrentFont_ChangeSize(std::int32_t Value);
  void CurrentFont_ChangeColor(TColor Value);
  void CurrentFont_ChangeHighlight(TColor Value);
  void CurrentFont_ChangeStyle(TFontStyles Value);

  // Offered to owners: clear the marks, mark what text still uses, release the rest. Slot 0 is
  // never released (index 0 always names a font).
  void GarbageCollection_Initialize();
  void GarbageCollection_ThisFontIsInUse(int FontIndex);
  void GarbageCollection_Finalize();

  // Deep copy of the slots and the defaults; the current font is not copied.
  void MyAssign(const TFontsInUse &Source);

  // The <Fonts> block.
  void IO_Save(TvlXmlOut &Out) const;
  // Replaces the table by the block at the reader's position; answers the problems as text.
  QString IO_Load(TvlXmlIn &In);
  QString IO_Load_ExtractAFont(TvlXmlIn &In);
  // Puts a font at an index (0..32767), growing the table to it in one step. Indices outside that
  // range change nothing and answer "Can't ExpandFontsArray".
  QString IO_Load_ForceFont(int FontIndex, const QString &Name, std::int32_t Rotation,
                            std::int32_t Size, TColor Color, TColor Highlight, TFontStyles Style);

  // Grows whenever what an index stands for may have changed (initialised, loaded, assigned,
  // renamed, collected, or an entry made in a slot). Text formatters keep measures per index and
  // re-lay out when it moves.
  std::uint64_t LayoutGeneration() const { return FLayoutGeneration; }

  RCurrentFont CurrentFont;
  bool CurrentFont_Changed = false;
  TFontIndex CurrentFont_Index = 0;

  QString DefaultName;
  std::int32_t DefaultRotation = 0;
  std::int32_t DefaultSize = 0;
  TColor DefaultColor = 0;
  TColor DefaultHighlight = 0;
  TFontStyles DefaultStyle;

 private:
  void FontsChanged() {
    FDrawingFonts.clear();
    ++FLayoutGeneration;
  }

  std::uint64_t FLayoutGeneration = 0;

  // The table; a slot may be empty. Never more than MaxSlots.
  std::vector<std::unique_ptr<TFontInUse>> Fonts;

  struct RDrawingKey {
    int Index;
    double Zoom;
    int Dpi;
    bool operator==(const RDrawingKey &) const = default;
  };
  struct RDrawingKeyHash {
    std::size_t operator()(const RDrawingKey &K) const noexcept;
  };
  mutable std::unordered_map<RDrawingKey, QFont, RDrawingKeyHash> FDrawingFonts;
};
