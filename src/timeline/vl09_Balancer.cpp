#include "vl09_Balancer.h"

#include "vl09_Visualization.h"
#include "vlDateTime.h"

#include <algorithm>
#include <cmath>

TLimitedFifoQueue::TLimitedFifoQueue(int MaxSize)
    : FMaxSize(std::max(1, MaxSize)), FWrappingStorage(static_cast<std::size_t>(FMaxSize)) {}

bool TLimitedFifoQueue::AddValueAndMaybePopOverflowValue(int NewVal, int &PopVal) {
  FNewestX = FNewestX + 1 >= FMaxSize ? 0 : FNewestX + 1;
  int &slot = FWrappingStorage[static_cast<std::size_t>(FNewestX)];
  if (FSize < FMaxSize) {
    slot = NewVal;
    ++FSize;
    return false;
  }
  PopVal = slot;
  slot = NewVal;
  return true;
}

const double TBalancer::ScaleToBars = 256.0 / std::sqrt(32767.0);

TBalancer::TBalancer() = default;

void TBalancer::AddVuValue(int Vu) {
  const double root = std::sqrt(double(std::max(0, Vu)));
  const int bar =
      static_cast<int>(std::clamp<std::int64_t>(RoundHalfEven(root * ScaleToBars), 1, BarCount));
  int popped = 0;
  if (FDelayQueue.AddValueAndMaybePopOverflowValue(bar, popped))
    --FBars[static_cast<std::size_t>(popped - 1)];
  ++FBars[static_cast<std::size_t>(bar - 1)];
}

double TBalancer::TypicalLevel() const {
  const int held = FDelayQueue.Size();
  if (held == 0) return 0;
  int sum = 0, B = 1;
  for (; B <= BarCount; ++B) {
    sum += FBars[static_cast<std::size_t>(B - 1)];
    if (2 * sum >= held) break;
  }
  B = std::min(B, BarCount);
  return double(B) * B / (ScaleToBars * ScaleToBars);
}

void TBalancer::UpdateEighthBoundaries(TPixelVisualization &PV) const {
  const double m = TypicalLevel();
  PV.Avg_1Eighth = 0.7 * m;
  PV.Avg_1Qtr = 0.85 * m;
  PV.Avg_3Eighth = 1.0 * m;
  PV.Avg_Half = 1.25 * m;
  PV.Avg_5Eighth = 1.5 * m;
  PV.Avg_3Qtr = 1.75 * m;
  PV.Avg_7Eighth = 2.5 * m;
}
