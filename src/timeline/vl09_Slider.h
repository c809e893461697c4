#pragma once
// A movable marker picture on a timeline (the play slider, the now/recording slider) with a hit
// test that only grabs its drawn part.
//
// The picture is an ARGB image: fully transparent pixels are not part of the slider, so a press
// there goes to the track below. HotSpot is the x of the marked moment inside the picture; the
// picture is drawn with that column over slot left + mark.
//
// Two ways to show it: the track window draws the picture with its painter over the track (the
// widget path needs no healing), while DrawOn/HealOn draw it into a track bitmap and put the
// covered pixels back afterwards, so the bitmap never keeps a slider.
//
// User-interface thread only.

#include "vl09_TiltText.h"

#include <QImage>
#include <QRect>

// The application's slider pictures: the play slider (mark 16 pixels in) and the now slider
// while recording and while idle (mark at half the width).
QImage PlaySliderPicture();
QImage NowSliderPicture(bool Recording);

class TvlSlider {
 public:
  TvlSlider(const QImage &SetImageOn, int SetHotSpot, const QImage &SetImageOff);

  void Bounds_InformOfSlotRect(const QRect &Inform_SlotRect) { FSlotRect = Inform_SlotRect; }
  const QRect &SlotRect() const { return FSlotRect; }

  // Draws the picture into the bitmap at the mark; reports "Slider not healed." when the last
  // drawing was not healed first. Nothing while LateralPixelPos <= 0.
  void DrawOn(TQuickBitmap &TargetBM, int NewMarkPos, bool Which);
  // Puts back the pixels the last DrawOn covered.
  void HealOn(TQuickBitmap &TargetBM);
  bool Drawn() const { return FDrawn; }

  // Where the picture lies for a mark (window coordinates).
  QRect PictureRect(int MarkPos) const;
  const QImage &Picture(bool Which) const { return Which ? FImageOn : FImageOff; }
  int Width() const { return FImageOn.width(); }
  int Height() const { return FImageOn.height(); }
  int HotSpot() const { return FHotSpot; }

  // Over a drawn pixel of the visible picture (offsets clamped to 0..31).
  bool IsHoveringOver(int MouseX, int MouseY) const;

  void Mouse_SliderPickedUpAt(int MouseDownX, int ScrollbarAt);
  // The new mark: while picked up, the grab offset is kept; otherwise under the mouse.
  int Mouse_DraggedToDesiredPos(int MouseMoveX, int ScrollPos) const;
  void Mouse_SliderPutDownAt(int MouseUpX);
  bool IsPickedUp() const { return FIsPickedUp; }

  int MarkPos() const { return FMarkPos; }
  void SetMarkPos(int Value) { FMarkPos = Value; }
  bool Visible = true;
  int LateralPixelPos = 0;  // y of the picture's top

 private:
  QImage FImageOn, FImageOff;
  QImage FHealBM;
  QRect FHealRect;
  int FHotSpot;
  bool FDrawn = false;
  int FMarkPos = 0;
  QRect FSlotRect;
  bool FIsPickedUp = false;
  int FPosWhenTouched = 0, FTouchedAtPos = 0, FTouchedAtScrollPos = 0;
};
