#pragma once
// Level readings: the peak of each channel over every 100 ms of audio, counted in frames so that
// readings fall at exact times whatever the rate (11025 Hz has no whole number of frames per
// 100 ms: block k ends at frame (k + 1) * rate / 10). A peak is |sample| capped at 32767, so a
// sample of -32768 reads 32767 like a full positive one. Mono reports the same peak twice.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

inline constexpr int kLevelBlockMSecs = 100;

class TBlockPeaks {
 public:
  void Configure(int Rate, int Channels) {
    FRate = std::max(1, Rate);
    FChannels = std::clamp(Channels, 1, 2);
    Reset();
  }

  void Reset() {
    FBlock = 0;
    FFrames = 0;
    FLeft = FRight = 0;
  }

  // Feeds Count interleaved frames (FChannels wide); calls Emit(Left, Right, MSecAtBlockEnd) for
  // every block they complete.
  template <typename TEmit>
  void Feed(const std::int16_t *Frames, std::size_t Count, TEmit &&Emit) {
    std::size_t i = 0;
    while (i < Count) {
      const std::int64_t blockEnd = (FBlock + 1) * FRate * kLevelBlockMSecs / 1000;
      const auto take = static_cast<std::size_t>(
          std::min<std::int64_t>(blockEnd - FFrames, static_cast<std::int64_t>(Count - i)));
      for (std::size_t f = i; f < i + take; ++f) {
        const std::size_t base = f * static_cast<std::size_t>(FChannels);
        FLeft = std::max(FLeft, std::abs(static_cast<int>(Frames[base])));
        if (FChannels == 2) FRight = std::max(FRight, std::abs(static_cast<int>(Frames[base + 1])));
      }
      i += take;
      FFrames += static_cast<std::int64_t>(take);
      if (FFrames == blockEnd) {
        const int left = std::min(FLeft, 32767);
        const int right = FChannels == 2 ? std::min(FRight, 32767) : left;
        ++FBlock;
        Emit(left, right, FBlock * kLevelBlockMSecs);
        FLeft = FRight = 0;
      }
    }
  }

 private:
  int FRate = 22050;
  int FChannels = 1;
  std::int64_t FBlock = 0;
  std::int64_t FFrames = 0;
  int FLeft = 0;
  int FRight = 0;
};
