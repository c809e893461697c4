#include "vl09_GatherLabel.h"

#include <Qt>

namespace {
constexpr int vkBack = 8, vkTab = 9, vkReturn = 13, vkEscape = 27;
}

int VirtualKeyFromQtKey(int QtKey) {
  switch (QtKey) {
    case Qt::Key_Backspace: return vkBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return vkTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return vkReturn;
    case Qt::Key_Escape: return vkEscape;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    default: break;
  }
  if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F24) return 112 + (QtKey - Qt::Key_F1);
  return 0;
}

void TGatherLabel::StartGatheringFor(TEventID EventHandle) {
  if (EventHandle < 0) return;
  FText.clear();
  FEventHandle = EventHandle;
  FIsGathering = true;
}

void TGatherLabel::StartGatheringFor_InitText(TEventID EventHandle, const QString &InitText) {
  if (EventHandle < 0) return;
  StartGatheringFor(EventHandle);
  FText = InitText.left(FGatherLimit);
}

bool TGatherLabel::MaybeGather(QChar Ch) {
  if (!FIsGathering) return false;
  if (Ch.unicode() < 32) {
    if (Ch.unicode() != vkBack || FText.isEmpty()) return false;
    FText.chop(1);
    return true;
  }
  if (FText.size() >= FGatherLimit) {
    StopGathering();
    return false;
  }
  FText.append(Ch);
  return true;
}

bool TGatherLabel::ProcessSpecialKeys(int Key) {
  if (!FIsGathering) return false;
  if (Key == vkBack) {
    if (FText.isEmpty()) return false;
    FText.chop(1);
    return true;
  }
  if (Key == vkTab || Key == vkReturn || Key == 14 || Key == vkEscape || (Key >= 33 && Key <= 40) ||
      (Key >= 112 && Key <= 135))
    StopGathering();
  return false;
}

void TGatherLabel::StopGathering() {
  FText.clear();
  FIsGathering = false;
}
