#pragma once
// Pen strokes drawn over a picture inset: each stroke is a path of points made with one tool, and
// a sketch keeps its strokes in drawing order (later strokes lie on top; erasers work by being
// drawn over earlier strokes, so strokes are never reordered).
//
// Coordinates are inset pixels, relative to the inset's top-left corner. Points are indexed from
// 0, strokes too.
//
// User-interface thread only.

#include "vlColor.h"
#include "vlDateTime.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <vector>

// The tools, in their fixed order; each name is also the tool's text form in files.
enum TKindOfTool : std::uint8_t {
  ktAirBrush,
  ktColorPicker,
  ktCrop,
  ktEraseAll,
  ktEraseImageOnly,
  ktEraseSketchOnly,
  ktHandGrabber,
  ktFloodFill,
  ktLineCurved,
  ktLineFreehand,
  ktLineHighlight,
  ktLineStraight,
  ktSelectArrow,
  ktSelectCutOutImage,
  ktSelectLassoSurround,
  ktSelectLassoTouch,
  ktSelectSticky,
  ktShapeCircle,
  ktShapeElipse,  // sic: this spelling is what files hold
  ktShapeRectangle,
  ktShapeSquare,
  ktTextBox,
  ktTextCallout,
  ktTextLabel,
  ktZoom,
};
inline constexpr int KindOfToolCount = ktZoom + 1;

// "ktLineFreehand" and so on.
QString KindOfToolName(TKindOfTool Tool);
// Matches the names without regard to case; false (Tool untouched) for any other text.
bool KindOfToolFromName(QStringView Name, TKindOfTool &Tool);

struct TPenPoint {
  float X = 0;
  float Y = 0;
  float Pressure = 1;
};

class TPenStroke {
 public:
  // Out-of-range indices answer false and change nothing (outputs included).
  bool PenPoint_Alter(int Index, float X, float Y, float Pressure);
  bool PenPoint_Get(int Index, float &X, float &Y, float &Pressure) const;
  int PenPoint_Count() const { return static_cast<int>(Points.size()); }
  void PenPoint_Append(float X, float Y, float Pressure = 1) { Points.push_back({X, Y, Pressure}); }

  std::vector<TPenPoint> Points;
  float Alpha = 1;  // opacity given at pen-down; carried
  TColor Color = clBlack;
  TColor Fill = clNone;
  bool Selected = false;  // carried
  TKindOfTool Tool = ktLineFreehand;
  float Width = 1;            // pixels
  TDateTime EffectiveDT = 0;  // carried; neither set nor stored
  TDateTime ActualDT = 0;
};

class TSketch {
 public:
  // Files may declare any number of strokes and points; loaders read at most these.
  static constexpr int MaxStrokes = 10000;
  static constexpr int MaxPointsPerStroke = 10000;

  TSketch() = default;
  TSketch(const TSketch &) = delete;
  TSketch &operator=(const TSketch &) = delete;

  void Clear() { PenStrokes.clear(); }
  // nullptr when out of range.
  TPenStroke *PenStroke(int Index) const;
  int PenStrokeCount() const { return static_cast<int>(PenStrokes.size()); }
  // Appends a stroke on top of the others and answers it.
  TPenStroke &PenStroke_Append();
  // Every stroke's points moved by (DX, DY).
  void Translate(float DX, float DY);
  // Deep copy of the strokes and the sketch's own fields.
  void MyAssign(const TSketch &Source);

  float FSketchAlpha = 1;  // carried
  float FSketchHeight = 75;
  float FSketchWidth = 100;
  std::vector<std::unique_ptr<TPenStroke>> PenStrokes;
  int CurrentIndex = -1;  // carried
};
