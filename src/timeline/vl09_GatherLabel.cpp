#include "vl09_GatherLabel.h"

namespace {
constexpr int vkBack = 8, vkTab = 9, vkReturn = 13, vkEscape = 27;
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
