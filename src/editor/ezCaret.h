#pragma once
// The caret of one editor view. Qt has no system caret, so the view draws it after the text:
// a solid bar Weight pixels wide, or for italic text Weight one-pixel lines leaning like the
// text, in a width of Width + round(Height / 5). It is drawn by inverting (difference with
// white), so it stays visible on the navy selection. Blinking only repaints the caret's
// rectangle from the view's off-screen picture: no layout.
//
// User-interface thread only.

#include "vldFontsInUse.h"

#include <QRect>

#include <cstdint>

class QPainter;

class TEasyCaret {
 public:
  // Stores the shape and place (window pixels of the caret's top-left) and shows it.
  void MoveToAndShow(int X, int Y, int Weight, int Width, int Height, TFontStyles Style);
  void Hide() { FVisible = false; }
  void Show() { FVisible = FInitialized; }
  bool Initialized() const { return FInitialized; }
  bool Visible() const { return FVisible; }
  // The window rectangle the caret covers (empty before the first placement).
  QRect Rect() const;
  // Draws the caret when visible and in the "on" half of its blink.
  void Draw(QPainter &Painter, bool BlinkOn) const;

  int InstanceX = 10;
  int InstanceY = -10000;
  int InstanceWeight = 2;
  int InstanceWidth = 3;
  int InstanceHeight = 20;
  TFontStyles InstanceFontStyle = TFontStyles(fsItalic);
  // The virtual X that Up and Down try to keep.
  std::int32_t DesiredX = 0;

 private:
  bool FInitialized = false;
  bool FVisible = false;
};
