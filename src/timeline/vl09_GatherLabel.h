#pragma once
// Collects the text of a label while the user types it right after creating the label (from the
// bookmark menu or a button), one key at a time, up to 40 characters.
//
// User-interface thread only.

#include "vl09_DayFiles.h"

#include <QString>

// The virtual key code ProcessSpecialKeys expects for a Qt key: Backspace 8, Tab 9, Enter 13,
// Escape 27, Page Up .. Down arrow 33..40, F1..F24 112..135; 0 for every other key. Qt's codes
// of printable keys are their characters, so passing them unmapped would stop a label at "(".
int VirtualKeyFromQtKey(int QtKey);

class TGatherLabel {
 public:
  static constexpr int FGatherLimit = 40;

  // Starts gathering for the event with an empty text; a negative handle is ignored.
  void StartGatheringFor(TEventID EventHandle);
  void StartGatheringFor_InitText(TEventID EventHandle, const QString &InitText);
  // One typed character: backspace (8) deletes the last character, other control characters do
  // nothing, a printable one is appended below the limit. At the limit gathering stops and the
  // character is refused. True when the text changed.
  bool MaybeGather(QChar Ch);
  // A virtual key code: backspace deletes (true when something was deleted); Tab, Enter, 14,
  // Escape, page and cursor keys (33..40) and function keys (112..135) stop gathering.
  bool ProcessSpecialKeys(int Key);
  void StopGathering();
  bool HasGatheredSomething() const { return FIsGathering && !FText.isEmpty(); }

  bool IsGathering() const { return FIsGathering; }
  const QString &Text() const { return FText; }
  TEventID EventHandle() const { return FEventHandle; }

 private:
  QString FText;
  bool FIsGathering = false;
  TEventID FEventHandle = NoEventID;
};
