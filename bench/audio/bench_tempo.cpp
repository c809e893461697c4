// The tempo stage as playback drives it: 44.1 kHz mono speech-like input fed in the player's
// 2048-frame chunks, one second of source per iteration, the stage never reset between
// iterations (a long playback). Reports the output frames per iteration and, at 100 %, whether
// the output equalled the input bit for bit ("exact" 1).

#include "vlTempoStage.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr std::size_t kChunk = 2048;

// Voiced sound with a changing pitch and syllable-like loudness, plus a little noise.
std::vector<std::int16_t> SpeechLike(std::size_t Frames) {
  std::vector<std::int16_t> samples(Frames);
  std::uint32_t noise = 12345;
  double phase = 0;
  for (std::size_t i = 0; i < Frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double pitch = 140 + 40 * std::sin(2 * std::numbers::pi * 0.7 * t);
    phase += 2 * std::numbers::pi * pitch / kRate;
    const double syllables = 0.5 + 0.5 * std::sin(2 * std::numbers::pi * 4 * t);
    noise = noise * 1664525u + 1013904223u;
    const double value = syllables * (9000 * std::sin(phase) + 3000 * std::sin(3 * phase)) +
                         static_cast<int>(noise >> 22) - 512;
    samples[i] = static_cast<std::int16_t>(std::lround(value));
  }
  return samples;
}

void BM_TempoStage(benchmark::State &State) {
  const int percent = static_cast<int>(State.range(0));
  const std::vector<std::int16_t> second = SpeechLike(kRate);
  TTempoStage stage;
  stage.Configure(kRate, 1);
  stage.SetTempoPercent(percent);
  std::vector<std::int16_t> out;
  out.reserve(kRate * 2 + kChunk * 4);
  bool exact = true;
  std::size_t produced = 0;
  for (auto _ : State) {
    out.clear();
    for (std::size_t at = 0; at < second.size(); at += kChunk)
      stage.Process(second.data() + at, std::min(kChunk, second.size() - at), out);
    benchmark::DoNotOptimize(out.data());
    produced += out.size();
    if (percent == 100) exact = exact && out == second;
  }
  State.counters["out_frames"] =
      benchmark::Counter(static_cast<double>(produced), benchmark::Counter::kAvgIterations);
  if (percent == 100) State.counters["exact"] = exact ? 1 : 0;
  State.SetItemsProcessed(State.iterations() * kRate);
}

BENCHMARK(BM_TempoStage)->Arg(50)->Arg(100)->Arg(150)->Arg(190)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
