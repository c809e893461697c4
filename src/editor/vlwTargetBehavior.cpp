#include "vlwTargetBehavior.h"

#include "vlWindowViewManager.h"
#include "vl_Document.h"

void TTargetBehavior::MouseDown(TAtData &At) { AtDataLock().FMouseDown = At.FPoint; }

void TTargetBehavior_Text::MouseDown(TAtData &At) {
  TTargetBehavior::MouseDown(At);
  At.FWV.Caret_MouseEvents_MoveTo(At.FVirtualPos);
}

void TTargetBehavior_Text::MouseMove(TAtData &At) {
  TDocument *doc = At.FWV.Document();
  if (!doc) return;
  if (At.FButtons.testFlag(Qt::LeftButton)) {
    // The caret follows the mouse; the anchor stays, so the selection grows or shrinks.
    const TCaretPos pos = At.FWV.Formatter()->Map_DocPosFromVirtualPos(At.FVirtualPos);
    if (TDocument::IsSamePos(pos, doc->FAtPos) && pos.EOL == doc->FAtPos.EOL) return;
    doc->FAtPos = pos;
    ViewManager().InvalidateAll(&At.FWV);
  } else if (At.FButtons == Qt::NoButton) {
    At.FWV.ChangeCursorMethod(Qt::IBeamCursor);
  }
}

void TTargetBehavior_Text::DblClick(TAtData &At) {
  TDocument *doc = At.FWV.Document();
  if (!doc) return;
  const TCaretPos at = At.FWV.Formatter()->Map_DocPosFromVirtualPos(At.FVirtualPos);
  TCaretPos start, stop;
  if (doc->Find_CurrentWordAt(at, start, stop)) {
    doc->AtPos_NoSelectionSet(start);
    doc->FAtPos = stop;
  }
  ViewManager().InvalidateAll(&At.FWV);
}

void TTargetBehavior_GraphicOther::MouseDown(TAtData &At) {
  TTargetBehavior::MouseDown(At);
  At.FWV.ChangeCursorMethod(Qt::ArrowCursor);
}

void TTargetBehavior_GraphicOther::MouseMove(TAtData &At) {
  if (At.FButtons == Qt::NoButton) At.FWV.ChangeCursorMethod(Qt::ArrowCursor);
}

TTargetBehavior &TargetBehaviorFor(TElements Element) {
  static TTargetBehavior_Text text;
  static TTargetBehavior_GraphicOther graphic;
  return Element == eGraphicOther ? static_cast<TTargetBehavior &>(graphic) : text;
}
