#pragma once
// The sketching options: how pen strokes over pictures are started, selected and shown, and how
// a blown-up view of a picture is placed. They are not stored: every run starts from the
// defaults below. The enumerations hold the choices in use so far; the sketch tools window adds
// the others.

#include <QRect>

#include <optional>

enum TSelectSketchMethod { ssmStop };
enum TSketchHoldingKey { shkCtrl };
enum TSketchToolsWhen { stwSketching };
enum TSketchToolsWhere { stwNearby };
enum TBlownUpPosition { bupBestSide };
enum TBlownUpBounds { bbbReserved };
enum TBlowUpTrigger { butSelect };

class TOptions {
 public:
  TOptions() { PermanentStorage_ReadAll(); }

  // Applies the defaults: nothing is read.
  void PermanentStorage_ReadAll();
  // Nothing is written.
  void PermanentStorage_WriteAll() const {}

  bool AutoEnlarge;
  int DetectHoverTestRate;      // milliseconds between hover tests
  double DetectHoverTolerance;  // pixels
  TSelectSketchMethod SelectSketchMethod;
  bool SelectSketchIsSticky;
  int SelectionTolerance;  // pixels
  bool SketchWhen_Stylus;
  bool SketchWhen_Selected;
  bool SketchWhen_HoldingKey;
  bool SketchWhen_ToggledKey;
  bool SketchWhen_RightClick;
  TSketchHoldingKey SketchHoldingKey;
  int SketchToggleKey;  // virtual key code; 112 is F1
  TSketchToolsWhen SketchTools_When;
  TSketchToolsWhere SketchTools_Where;
  int SketchPadding;          // pixels around a sketch's extent
  int SketchExpandZone;       // pixels
  int GraphicMinimumShowing;  // pixels
  int BlownUpSize;            // pixels
  TBlownUpPosition BlownUpPosition;
  TBlownUpBounds BlownUpBounds;
  TBlowUpTrigger BlowUpTrigger;
  std::optional<QRect> BlownUpReservedRect;  // none until the user reserves one
  bool BlownUpReservedAutoOpen;
};
