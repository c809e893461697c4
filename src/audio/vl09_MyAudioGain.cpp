#include "vl09_MyAudioGain.h"

#include <algorithm>

void TAudioGainHelper::AddNewSamples(int VuLeft, int VuRight, int CurrentGain) {
  MyIncrement(FLastX);
  FLatestGain = CurrentGain / 100.0;
  FHistory[static_cast<std::size_t>(FLastX - 1)] = (VuLeft + VuRight) / 2;
}

void TAudioGainHelper::MinMaxSamples(int Range, int &SampleMin, int &SampleMax) const {
  SampleMax = 0;
  SampleMin = EmptyMin;
  if (FLastX <= 0) return;
  int x = FLastX;
  for (int n = 0; n < Range; ++n) {
    const int v = FHistory[static_cast<std::size_t>(x - 1)];
    SampleMax = std::max(SampleMax, v);
    SampleMin = std::min(SampleMin, v);
    if (x == FFirstX) break;
    MyDecrement(x);
  }
}

int TAudioGainHelper::MaxSample(int Range) const {
  int lo = 0, hi = 0;
  MinMaxSamples(Range, lo, hi);
  return hi;
}

int TAudioGainHelper::MinSample(int Range) const {
  int lo = 0, hi = 0;
  MinMaxSamples(Range, lo, hi);
  return lo;
}
