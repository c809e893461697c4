#pragma once
// A mouse event over an editor view described: where it is (window and virtual pixels), what
// lies there (text, link column, picture), which button and modifiers. From mouse-down to the
// release of the last button a lock remembers the target of the mouse-down, so that a drag
// keeps talking to the text or picture it began on.
//
// The lock names its picture by document and inset handle, never by pointer: a lock left over
// from a lost mouse-up must not reach a picture that was freed since.
//
// User-interface thread only.

#include "vlWindowView.h"
#include "vldInsetsStorage.h"

#include <QPoint>

class TvlGraphic;

enum TLockMode : std::uint8_t { lmIgnoreLocked, lmCreateLock, lmUseLocked, lmUsePrevious };
enum TMyMouseButton : std::uint8_t { mmbNotGiven, mmbLeft, mmbMiddle, mmbRight };
enum TMouseButtonsState : std::uint8_t { mbsBoth, mbsFloat, mbsLeft, mbsRight };

class TAtDataLock {
 public:
  void SetElement(TElements E) {
    FElement = E;
    FValid = true;
  }
  void SetGraphic(const TDocument *Doc, TvlGraphic *G);
  // The stored values; "TAtDataLock.GetElement error" when not valid.
  TElements GetElement() const;
  TvlGraphic *GetGraphic() const;
  // The stored values without the check. A double click reads these: Qt hands the view its
  // second press as the double click itself, after the first release cleared the lock, so the
  // lock is never valid then and its mouse-down is still the one to use.
  TElements StoredElement() const { return FElement; }
  TvlGraphic *StoredGraphic() const;
  bool Valid() const { return FValid; }
  void Clear() { FValid = false; }
  // Forgets a document about to be freed or replaced.
  void ForgetDocument(const TDocument *Doc);

  QPoint FMouseDown;

 private:
  TElements FElement = eText;
  const TDocument *FDocument = nullptr;
  TInsetHandle FGraphicHandle = -1;
  bool FValid = false;
};

TAtDataLock &AtDataLock();

class TAtData {
 public:
  TAtData(TLockMode LockMode, TWindowView &Sender, Qt::MouseButton Button, Qt::MouseButtons Buttons,
          Qt::KeyboardModifiers Shift, QPoint Point);

  TElements Element() const { return FLocked ? FElementLocked : FElementAtXY; }
  TvlGraphic *Graphic() const { return FLocked ? FGraphicLocked : FGraphicAtXY; }

  TWindowView &FWV;
  bool FLocked = false;
  TElements FElementAtXY = eText;
  TElements FElementLocked = eText;
  TvlGraphic *FGraphicAtXY = nullptr;
  TvlGraphic *FGraphicLocked = nullptr;
  TVirtualPos FVirtualPos;
  TMyMouseButton FMyButton = mmbNotGiven;
  TMouseButtonsState FMyShift = mbsFloat;
  Qt::MouseButtons FButtons;
  Qt::KeyboardModifiers FShift;
  QPoint FPoint;
};
