#pragma once
// What a mouse event does to what lies under it: the text behaviour (text and the link column)
// moves the caret, selects by dragging and selects a word on a double click; the picture
// behaviour only shows the arrow cursor. Stateless; one instance each.
//
// User-interface thread only.

#include "vlwAtData.h"

class TTargetBehavior {
 public:
  virtual ~TTargetBehavior() = default;
  virtual void DblClick(TAtData &) {}
  virtual void MouseDown(TAtData &At);
  virtual void MouseHover(TAtData &) {}
  virtual void MouseMove(TAtData &) {}
  virtual void MouseUp(TAtData &) {}
};

class TTargetBehavior_Text final : public TTargetBehavior {
 public:
  void DblClick(TAtData &At) override;
  void MouseDown(TAtData &At) override;
  void MouseMove(TAtData &At) override;
};

class TTargetBehavior_GraphicOther final : public TTargetBehavior {
 public:
  void MouseDown(TAtData &At) override;
  void MouseMove(TAtData &At) override;
};

TTargetBehavior &TargetBehaviorFor(TElements Element);
