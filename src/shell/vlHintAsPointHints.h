#pragma once
// The program's hint window as the point hints that silence protection and the options window
// show ("Silence Protection is ON. ...", "Try again ...", the recording-in-progress hint), so
// that they look like every other hint of the program. Called on the user-interface thread only.

#include "vl09_Hint.h"
#include "vl09_SilenceFm.h"

class TvlHintAsPointHints final : public TPointHints {
 public:
  // Hint is not owned and must outlive this object.
  explicit TvlHintAsPointHints(TvlHint &Hint) : FHint(Hint) {}
  void Show(const QString &Text, QPoint ScreenAt, int MSecs) override {
    FHint.ShowIt(Text, ScreenAt, MSecs);
  }
  void Hide() override { FHint.HideEarly(); }

 private:
  TvlHint &FHint;
};
