#pragma once
// The recent typical input level, kept adaptively so the level band shows how loud each quarter
// second is compared with what has been usual lately, not on an absolute scale.
//
// Readings (0..32767) are sorted into 256 bars on a square-root scale; a delay queue of the last
// 3000 bars lets the oldest fall out as new ones arrive, so the bar counters always describe the
// last 3000 readings and the typical level is their median. Nothing is allocated per reading.
//
// User-interface thread only.

#include <array>
#include <vector>

// A ring of at most MaxSize integers that hands back the oldest once full.
class TLimitedFifoQueue {
 public:
  explicit TLimitedFifoQueue(int MaxSize);
  // Stores NewVal; when the ring was full, the value it replaced (the oldest) goes to PopVal and
  // the answer is true.
  bool AddValueAndMaybePopOverflowValue(int NewVal, int &PopVal);
  int Size() const { return FSize; }
  int MaxSize() const { return FMaxSize; }

 private:
  int FMaxSize;
  std::vector<int> FWrappingStorage;
  int FSize = 0;
  int FNewestX = -1;
};

class TPixelVisualization;

class TBalancer {
 public:
  static constexpr int BarCount = 256;
  static constexpr int DelayQueueSize = 3000;
  static const double ScaleToBars;  // 256 / sqrt(32767)

  TBalancer();
  void AddVuValue(int Vu);
  // The median of the readings held, in level units; 0 when none are.
  double TypicalLevel() const;
  // The seven boundaries of PV from the typical level m: 0.7, 0.85, 1, 1.25, 1.5, 1.75, 2.5 m.
  void UpdateEighthBoundaries(TPixelVisualization &PV) const;
  void Clear() {}
  int BarCounter(int Bar) const { return FBars[static_cast<std::size_t>(Bar - 1)]; }
  int Held() const { return FDelayQueue.Size(); }

 private:
  std::array<int, BarCount> FBars{};  // bar b at index b - 1
  TLimitedFifoQueue FDelayQueue{DelayQueueSize};
};
