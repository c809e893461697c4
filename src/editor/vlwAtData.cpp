#include "vlwAtData.h"

#include "vlGlobals.h"
#include "vldGraphic.h"

void TAtDataLock::SetGraphic(const TDocument *Doc, TvlGraphic *G) {
  FDocument = Doc;
  FGraphicHandle = Doc && G ? Doc->InsetsStorage.HandleOfInset(G) : -1;
  FValid = true;
}

TElements TAtDataLock::GetElement() const {
  if (!FValid) ErrorReportInDebug(QStringLiteral("TAtDataLock.GetElement error"));
  return FElement;
}

TvlGraphic *TAtDataLock::GetGraphic() const {
  if (!FValid) ErrorReportInDebug(QStringLiteral("TAtDataLock.GetElement error"));
  return StoredGraphic();
}

TvlGraphic *TAtDataLock::StoredGraphic() const {
  // Looked up again: the picture may have been deleted since the lock was made.
  return FDocument && FGraphicHandle >= 0 ? FDocument->InsetsStorage.GetIfGraphic(FGraphicHandle)
                                          : nullptr;
}

void TAtDataLock::ForgetDocument(const TDocument *Doc) {
  if (FDocument != Doc) return;
  FDocument = nullptr;
  FGraphicHandle = -1;
  FValid = false;
}

TAtDataLock &AtDataLock() {
  static TAtDataLock lock;
  return lock;
}

TAtData::TAtData(TLockMode LockMode, TWindowView &Sender, Qt::MouseButton Button,
                 Qt::MouseButtons Buttons, Qt::KeyboardModifiers Shift, QPoint Point)
    : FWV(Sender), FButtons(Buttons), FShift(Shift), FPoint(Point) {
  TAtDataLock &lock = AtDataLock();
  if (LockMode == lmUsePrevious) FPoint = lock.FMouseDown;
  FVirtualPos = Sender.VirtualPosFromWindowPos(FPoint.x(), FPoint.y());
  Sender.WhatsAt(FVirtualPos, FElementAtXY, FGraphicAtXY);
  if (LockMode == lmUseLocked && !lock.Valid()) LockMode = lmIgnoreLocked;
  FLocked = LockMode != lmIgnoreLocked;
  switch (LockMode) {
    case lmIgnoreLocked: lock.Clear(); break;
    case lmCreateLock:
      lock.SetElement(FElementAtXY);
      lock.SetGraphic(Sender.Document(), FGraphicAtXY);
      FElementLocked = FElementAtXY;
      FGraphicLocked = FGraphicAtXY;
      break;
    case lmUseLocked:
      FElementLocked = lock.GetElement();
      FGraphicLocked = lock.GetGraphic();
      break;
    case lmUsePrevious:
      FElementLocked = lock.StoredElement();
      FGraphicLocked = lock.StoredGraphic();
      break;
  }
  // A picture that went away leaves the text behind.
  if (FLocked && FElementLocked == eGraphicOther && !FGraphicLocked) FElementLocked = eText;
  switch (Button) {
    case Qt::LeftButton: FMyButton = mmbLeft; break;
    case Qt::MiddleButton: FMyButton = mmbMiddle; break;
    case Qt::RightButton: FMyButton = mmbRight; break;
    default: FMyButton = mmbNotGiven; break;
  }
  const bool l = Buttons.testFlag(Qt::LeftButton), r = Buttons.testFlag(Qt::RightButton);
  FMyShift = l && r ? mbsBoth : l ? mbsLeft : r ? mbsRight : mbsFloat;
}
