#pragma once
// The history of recent input levels on which the recording controller's automatic gain loop
// decides: a fixed ring of 3600 slots (6 minutes at ten readings a second), filled from slot 1
// and wrapping from 3600 back to 1. Nothing is allocated per reading.
//
// A walk back through the history stops at slot FirstX (always 1), so right after a wrap only the
// readings written since the wrap are looked at. That keeps the loop's view of "recent" honest
// (no stale readings from long ago) at the price of a short memory just after each wrap.
//
// Called on the user-interface thread only.

#include <array>

class TAudioGainHelper {
 public:
  static constexpr int Slots = 3600;
  // What the minimum of nothing reads as.
  static constexpr int EmptyMin = 214748;

  TAudioGainHelper() = default;

  // One level reading (the mean of the peaks, 0..32767) and the gain that came with it.
  void AddNewSamples(int VuLeft, int VuRight, int CurrentGain);
  // The smallest and largest of the newest Range readings; (EmptyMin, 0) when there are none.
  void MinMaxSamples(int Range, int &SampleMin, int &SampleMax) const;
  int MaxSample(int Range) const;
  int MinSample(int Range) const;

  static void MyIncrement(int &Index) { Index = Index >= Slots ? 1 : Index + 1; }
  static void MyDecrement(int &Index) { Index = Index <= 1 ? Slots : Index - 1; }

  int FirstX() const { return FFirstX; }
  // Slot of the newest reading; 0 while empty.
  int LastX() const { return FLastX; }
  double LatestGain() const { return FLatestGain; }
  int History(int Slot) const { return FHistory.at(static_cast<std::size_t>(Slot - 1)); }

 private:
  std::array<int, Slots> FHistory{};
  int FFirstX = 1;
  int FLastX = 0;
  double FLatestGain = 0;
};
