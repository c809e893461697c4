#include "vlTempoStage.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

namespace {

// Shorter windows than SoundTouch's defaults: speech keeps its consonants, and the content of
// each output stretch stays within a few milliseconds of where the linear mapping puts it.
constexpr int kSequenceMSecs = 40;
constexpr int kSeekWindowMSecs = 15;
constexpr int kOverlapMSecs = 8;

std::int16_t ToSample(float Value) {
  const float scaled = std::nearbyint(Value * 32768.0f);
  return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

TTempoStage::TTempoStage() : FTouch(std::make_unique<soundtouch::SoundTouch>()) {
  Configure(FRate, FChannels);
}

TTempoStage::~TTempoStage() = default;

void TTempoStage::Configure(int Rate, int Channels) {
  FRate = std::max(1, Rate);
  FChannels = std::max(1, Channels);
  FTouch = std::make_unique<soundtouch::SoundTouch>();
  FTouch->setSampleRate(static_cast<unsigned>(FRate));
  FTouch->setChannels(static_cast<unsigned>(FChannels));
  FTouch->setSetting(SETTING_SEQUENCE_MS, kSequenceMSecs);
  FTouch->setSetting(SETTING_SEEKWINDOW_MS, kSeekWindowMSecs);
  FTouch->setSetting(SETTING_OVERLAP_MS, kOverlapMSecs);
  FTouch->setTempo(Ratio());
  Reset();
}

void TTempoStage::SetTempoPercent(int Percent) {
  FPercent = std::clamp(Percent, MinPercent, MaxPercent);
  FTouch->setTempo(Ratio());
  Reset();
}

void TTempoStage::Reset() {
  FTouch->clear();
  FFramesIn = 0;
  FFramesOut = 0;
}

void TTempoStage::Process(const std::int16_t *In, std::size_t Frames,
                          std::vector<std::int16_t> &Out) {
  if (Frames == 0) return;
  const std::size_t samples = Frames * static_cast<std::size_t>(FChannels);
  FFramesIn += static_cast<std::int64_t>(Frames);
  if (IsBypassed()) {
    Out.insert(Out.end(), In, In + samples);
    FFramesOut += static_cast<std::int64_t>(Frames);
    return;
  }
  FFloatIn.resize(samples);
  for (std::size_t i = 0; i < samples; ++i) FFloatIn[i] = In[i] / 32768.0f;
  FTouch->putSamples(FFloatIn.data(), static_cast<unsigned>(Frames));
  Receive(Out);
}

void TTempoStage::Finish(std::vector<std::int16_t> &Out) {
  const auto expected = static_cast<std::int64_t>(std::llround(FFramesIn / Ratio()));
  if (!IsBypassed()) {
    FTouch->flush();
    Receive(Out);
  }
  // SoundTouch's flush pads with silence to a whole processing step, or may come a little short:
  // cut or pad so that the total is what the positions assume.
  const auto channels = static_cast<std::int64_t>(FChannels);
  if (FFramesOut > expected) {
    const std::int64_t extra = std::min<std::int64_t>(
        FFramesOut - expected, static_cast<std::int64_t>(Out.size()) / channels);
    Out.resize(Out.size() - static_cast<std::size_t>(extra * channels));
    FFramesOut -= extra;
  } else if (FFramesOut < expected) {
    Out.insert(Out.end(), static_cast<std::size_t>((expected - FFramesOut) * channels), 0);
    FFramesOut = expected;
  }
  FTouch->clear();
}

void TTempoStage::Receive(std::vector<std::int16_t> &Out) {
  constexpr unsigned kChunkFrames = 4096;
  FFloatOut.resize(static_cast<std::size_t>(kChunkFrames) * static_cast<std::size_t>(FChannels));
  for (;;) {
    const unsigned got = FTouch->receiveSamples(FFloatOut.data(), kChunkFrames);
    if (got == 0) break;
    const std::size_t samples = static_cast<std::size_t>(got) * static_cast<std::size_t>(FChannels);
    for (std::size_t i = 0; i < samples; ++i) Out.push_back(ToSample(FFloatOut[i]));
    FFramesOut += got;
  }
}
