#include "vldSketch.h"

namespace {

const char16_t *const ToolNames[KindOfToolCount] = {
    u"ktAirBrush",
    u"ktColorPicker",
    u"ktCrop",
    u"ktEraseAll",
    u"ktEraseImageOnly",
    u"ktEraseSketchOnly",
    u"ktHandGrabber",
    u"ktFloodFill",
    u"ktLineCurved",
    u"ktLineFreehand",
    u"ktLineHighlight",
    u"ktLineStraight",
    u"ktSelectArrow",
    u"ktSelectCutOutImage",
    u"ktSelectLassoSurround",
    u"ktSelectLassoTouch",
    u"ktSelectSticky",
    u"ktShapeCircle",
    u"ktShapeElipse",
    u"ktShapeRectangle",
    u"ktShapeSquare",
    u"ktTextBox",
    u"ktTextCallout",
    u"ktTextLabel",
    u"ktZoom",
};

}  // namespace

QString KindOfToolName(TKindOfTool Tool) {
  const int i = static_cast<int>(Tool);
  return i < KindOfToolCount ? QString::fromUtf16(ToolNames[i]) : QString();
}

bool KindOfToolFromName(QStringView Name, TKindOfTool &Tool) {
  for (int i = 0; i < KindOfToolCount; ++i)
    if (Name.compare(QStringView(ToolNames[i]), Qt::CaseInsensitive) == 0) {
      Tool = static_cast<TKindOfTool>(i);
      return true;
    }
  return false;
}

bool TPenStroke::PenPoint_Alter(int Index, float X, float Y, float Pressure) {
  if (Index < 0 || Index >= PenPoint_Count()) return false;
  Points[static_cast<std::size_t>(Index)] = {X, Y, Pressure};
  return true;
}

bool TPenStroke::PenPoint_Get(int Index, float &X, float &Y, float &Pressure) const {
  if (Index < 0 || Index >= PenPoint_Count()) return false;
  const TPenPoint &p = Points[static_cast<std::size_t>(Index)];
  X = p.X;
  Y = p.Y;
  Pressure = p.Pressure;
  return true;
}

TPenStroke *TSketch::PenStroke(int Index) const {
  if (Index < 0 || Index >= PenStrokeCount()) return nullptr;
  return PenStrokes[static_cast<std::size_t>(Index)].get();
}

TPenStroke &TSketch::PenStroke_Append() {
  PenStrokes.push_back(std::make_unique<TPenStroke>());
  return *PenStrokes.back();
}

void TSketch::Translate(float DX, float DY) {
  for (auto &stroke : PenStrokes)
    for (TPenPoint &p : stroke->Points) {
      p.X += DX;
      p.Y += DY;
    }
}

void TSketch::MyAssign(const TSketch &Source) {
  if (&Source == this) return;
  FSketchAlpha = Source.FSketchAlpha;
  FSketchHeight = Source.FSketchHeight;
  FSketchWidth = Source.FSketchWidth;
  CurrentIndex = Source.CurrentIndex;
  PenStrokes.clear();
  PenStrokes.reserve(Source.PenStrokes.size());
  for (const auto &stroke : Source.PenStrokes)
    PenStrokes.push_back(std::make_unique<TPenStroke>(*stroke));
}
