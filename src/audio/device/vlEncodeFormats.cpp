#include "vlEncodeFormats.h"

#include <sndfile.h>

#include <algorithm>
#include <array>

namespace {

constexpr std::array<int, 7> kOfferedRates = {8000, 11025, 16000, 22050, 32000, 44100, 48000};
constexpr int kGsmIndex = 5;

// The libsndfile encodings in the order of WavModeNames().
constexpr std::array<int, 7> kWavEncodings = {
    SF_FORMAT_PCM_U8,   SF_FORMAT_PCM_16, SF_FORMAT_FLOAT,  SF_FORMAT_IMA_ADPCM,
    SF_FORMAT_MS_ADPCM, SF_FORMAT_GSM610, SF_FORMAT_G721_32};

}  // namespace

QStringList WavModeNames() {
  return {QStringLiteral("PCM 8 bits"),        QStringLiteral("PCM 16 bit"),
          QStringLiteral("PCM 32 bits float"), QStringLiteral("IMA ADPCM"),
          QStringLiteral("Microsoft ADPCM"),   QStringLiteral("GSM 6.10"),
          QStringLiteral("G721 ADPCM 32 kbps")};
}

bool IsWavModeUsable(int Index, int Channels) {
  if (Index < 0 || Index >= static_cast<int>(kWavEncodings.size())) return false;
  return Index != kGsmIndex || Channels == 1;
}

QString OggModeName() { return QStringLiteral("Quality"); }

std::vector<RSampling> SamplingOfferings() {
  std::vector<RSampling> result;
  for (int rate : kOfferedRates) {
    result.push_back({rate, 1});
    result.push_back({rate, 2});
  }
  return result;
}

QString SamplingText(const RSampling &Sampling) {
  return QStringLiteral("%1 Hz, 16 bit, %2")
      .arg(Sampling.Rate)
      .arg(Sampling.Channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo"));
}

TOleEnum ResolveEncodeFormats(const REncodeFormats &Formats, RResolvedFormat &Out) {
  RResolvedFormat resolved;
  if (Formats.SelectByOffering) {
    const std::vector<RSampling> offerings = SamplingOfferings();
    if (Formats.OfferingIndex < 0 || Formats.OfferingIndex >= static_cast<int>(offerings.size()))
      return ERR_INVALID_INPUT_FORMAT;
    resolved.Rate = offerings[static_cast<std::size_t>(Formats.OfferingIndex)].Rate;
    resolved.Channels = offerings[static_cast<std::size_t>(Formats.OfferingIndex)].Channels;
  } else {
    if (Formats.Rate < kOfferedRates.front() || Formats.Rate > kOfferedRates.back() ||
        Formats.Channels < 1 || Formats.Channels > 2)
      return ERR_INVALID_INPUT_FORMAT;
    resolved.Rate = Formats.Rate;
    resolved.Channels = Formats.Channels;
  }

  switch (Formats.OutputFormat) {
    case kOutputFormatWAV:
      if (Formats.WavModeIndex < 0 ||
          Formats.WavModeIndex >= static_cast<int>(kWavEncodings.size()))
        return ERR_ENCODER_ERROR;
      resolved.SfFormat =
          SF_FORMAT_WAV | kWavEncodings[static_cast<std::size_t>(Formats.WavModeIndex)];
      break;
    case kOutputFormatOGG:
      if (Formats.OggQuality < 1 || Formats.OggQuality > 10) return ERR_ENCODER_ERROR;
      resolved.SfFormat = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
      resolved.IsOgg = true;
      resolved.VbrQuality = Formats.OggQuality / 10.0;
      break;
    default:
      // WMA has no encoder on this platform; anything else is not a format at all.
      return ERR_INVALID_FORMAT;
  }

  SF_INFO info{};
  info.samplerate = resolved.Rate;
  info.channels = resolved.Channels;
  info.format = resolved.SfFormat;
  if (!sf_format_check(&info)) return ERR_ENCODER_ERROR;
  Out = resolved;
  return NOERROR;
}
