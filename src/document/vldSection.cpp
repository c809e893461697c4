#include "vldSection.h"

void TSection::MyAssign(const TSection &Source) {
  FChanged = Source.FChanged;
  FSequenceNum = Source.FSequenceNum;
  FSequenceNumOld = Source.FSequenceNumOld;
}
