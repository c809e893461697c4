#pragma once
// What the recorder writes: container, encoding and sampling, and the choice lists the options
// dialog shows. The texts are the ones the options store and parse ("22050 Hz, 16 bit, Mono",
// "Microsoft ADPCM", "Quality 3"), so they must not change.

#include "vlAudioErrors.h"

#include <QString>
#include <QStringList>

#include <vector>

// The output-format values the options store.
inline constexpr int kOutputFormatWAV = 1;
inline constexpr int kOutputFormatWMA = 3;
inline constexpr int kOutputFormatOGG = 4;

// The recorder's encode settings, one field per setting the controller makes.
struct REncodeFormats {
  // kOutputFormatWAV, kOutputFormatOGG or kOutputFormatWMA (which cannot be written here).
  int OutputFormat = kOutputFormatWAV;
  // Reads 0 always: sampling is chosen either by offering or by rate and channels.
  int SamplingFixed = 0;
  // True: sampling from SamplingOfferings()[OfferingIndex]; false: Rate and Channels.
  bool SelectByOffering = false;
  int OfferingIndex = 0;
  int Rate = 22050;
  int Channels = 1;
  // Index into WavModeNames().
  int WavModeIndex = 4;
  // 1..10.
  int OggQuality = 3;
  int WmaMode = 0;
  int WmaNumber = 0;
};

struct RSampling {
  int Rate = 22050;
  int Channels = 1;
};

// "PCM 8 bits", "PCM 16 bit", "PCM 32 bits float", "IMA ADPCM", "Microsoft ADPCM", "GSM 6.10",
// "G721 ADPCM 32 kbps": the WAV encodings, in this fixed order (the index is what is stored).
QStringList WavModeNames();
// GSM 6.10 holds one channel only.
bool IsWavModeUsable(int Index, int Channels);
// "Quality": the OGG choices are this name, a blank and 1..10.
QString OggModeName();
// Every rate of 8000..48000 Hz in mono and stereo, 16 bit.
std::vector<RSampling> SamplingOfferings();
// "22050 Hz, 16 bit, Mono".
QString SamplingText(const RSampling &Sampling);

// The encode settings resolved for one recording.
struct RResolvedFormat {
  int SfFormat = 0;  // libsndfile's container | encoding
  int Rate = 22050;
  int Channels = 1;
  bool IsOgg = false;
  double VbrQuality = 0.3;  // Ogg only, 0..1
};

// Resolves the settings: NOERROR, ERR_INVALID_FORMAT for WMA or an unknown format,
// ERR_INVALID_INPUT_FORMAT for a sampling outside the offerings' range, ERR_ENCODER_ERROR when
// the encoder refuses the combination (GSM 6.10 in stereo, say).
TOleEnum ResolveEncodeFormats(const REncodeFormats &Formats, RResolvedFormat &Out);
