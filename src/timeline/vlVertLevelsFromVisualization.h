#pragma once
// The level band of the vertical timeline drawn from the tracks' level visualisation, for the
// main window to install (TVertTimeline's level source seam). Header only: it joins the widget
// library of the vertical timeline and vl_timeline, so only a target linking both includes it.
//
// User-interface thread only.

#include "vl09_TiltText.h"
#include "vl09_VertTimeline.h"
#include "vl09_Visualization.h"

class TVisualizationVertLevelSource final : public TVertLevelSource {
 public:
  explicit TVisualizationVertLevelSource(TVisualization &Vis) : FVis(Vis) {}
  // Row y of Band shows FromDT + y x SpanFD (days per row).
  void DrawAllVert(QImage &Image, const QRect &Band, TDateTime FromDT, TDateTime SpanFD) override {
    if (!(SpanFD > 0) || Band.isEmpty()) return;
    // The image is lent to a quick bitmap and handed back: no copy of its pixels.
    TQuickBitmap bitmap;
    bitmap.Image().swap(Image);
    if (bitmap.Image().format() == QImage::Format_RGB32)
      FVis.DrawAllVert(bitmap, Band, SpanFD * SecsPerDay, FromDT);
    Image.swap(bitmap.Image());
  }

 private:
  TVisualization &FVis;
};
