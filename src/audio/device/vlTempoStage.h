#pragma once
// The playback stage that changes speed without changing pitch (SoundTouch), for 50 % to 190 %
// of natural speed. At 100 % it passes the samples through untouched, bit for bit.
//
// Output frame k after a Reset corresponds to source frame k * tempo after that Reset: the stage
// neither delays nor advances the content, it only needs some input before its first output.
// Finish() makes the total output exactly the input length divided by the tempo, so positions
// computed that way stay exact up to the end.
//
// Used by one thread at a time (a player's worker, or a benchmark).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

class TTempoStage {
 public:
  static constexpr int MinPercent = 50;
  static constexpr int MaxPercent = 190;

  TTempoStage();
  ~TTempoStage();
  TTempoStage(const TTempoStage &) = delete;
  TTempoStage &operator=(const TTempoStage &) = delete;

  // Drops everything buffered and sets the format. Channels 1 or more.
  void Configure(int Rate, int Channels);
  // Drops everything buffered and sets the speed; Percent is clamped to 50..190.
  void SetTempoPercent(int Percent);
  int TempoPercent() const { return FPercent; }
  double Ratio() const { return FPercent / 100.0; }
  bool IsBypassed() const { return FPercent == 100; }
  // Drops everything buffered; the next input starts a new stretch.
  void Reset();

  // Feeds Frames interleaved frames and appends every frame that became ready to Out.
  void Process(const std::int16_t *In, std::size_t Frames, std::vector<std::int16_t> &Out);
  // No more input: appends the rest, so that the output since Reset is exactly the input divided
  // by the tempo, rounded.
  void Finish(std::vector<std::int16_t> &Out);

 private:
  void Receive(std::vector<std::int16_t> &Out);

  std::unique_ptr<soundtouch::SoundTouch> FTouch;
  int FRate = 44100;
  int FChannels = 1;
  int FPercent = 100;
  std::int64_t FFramesIn = 0;
  std::int64_t FFramesOut = 0;
  std::vector<float> FFloatIn;
  std::vector<float> FFloatOut;
};
