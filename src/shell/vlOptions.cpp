#include "vlOptions.h"

void TOptions::PermanentStorage_ReadAll() {
  AutoEnlarge = true;
  DetectHoverTestRate = 100;
  DetectHoverTolerance = 1.5;
  SelectSketchMethod = ssmStop;
  SelectSketchIsSticky = false;
  SelectionTolerance = 3;
  SketchWhen_Stylus = true;
  SketchWhen_Selected = true;
  SketchWhen_HoldingKey = true;
  SketchWhen_ToggledKey = true;
  SketchWhen_RightClick = true;
  SketchHoldingKey = shkCtrl;
  SketchToggleKey = 112;
  SketchTools_When = stwSketching;
  SketchTools_Where = stwNearby;
  SketchPadding = 5;
  SketchExpandZone = 30;
  GraphicMinimumShowing = 20;
  BlownUpSize = 300;
  BlownUpPosition = bupBestSide;
  BlownUpBounds = bbbReserved;
  BlowUpTrigger = butSelect;
  BlownUpReservedRect.reset();
  BlownUpReservedAutoOpen = true;
}
