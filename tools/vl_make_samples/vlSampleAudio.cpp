#include "vlSampleAudio.h"

#include "vlTextFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace {

// xorshift64*: the same numbers everywhere, unlike the standard distributions.
class TRandom {
 public:
  explicit TRandom(std::uint64_t Seed) : FState(Seed) {}
  double Uniform() {  // [0, 1)
    FState ^= FState >> 12;
    FState ^= FState << 25;
    FState ^= FState >> 27;
    return static_cast<double>((FState * 0x2545F4914F6CDD1DULL) >> 11) / 9007199254740992.0;
  }
  double Between(double Low, double High) { return Low + (High - Low) * Uniform(); }
  int Int(int Low, int High) { return Low + static_cast<int>(Uniform() * (High - Low + 1)); }

 private:
  std::uint64_t FState;
};

// A two-pole resonance at Frequency with Bandwidth (Hz).
class TResonator {
 public:
  void Tune(double Frequency, double Bandwidth) {
    const double r = std::exp(-std::numbers::pi * Bandwidth / SampleRate);
    FA1 = 2 * r * std::cos(2 * std::numbers::pi * Frequency / SampleRate);
    FA2 = -r * r;
    FGain = 1 - r;
  }
  double Step(double In) {
    const double out = FGain * In + FA1 * FY1 + FA2 * FY2;
    FY2 = FY1;
    FY1 = out;
    return out;
  }

 private:
  double FA1 = 0, FA2 = 0, FGain = 0, FY1 = 0, FY2 = 0;
};

struct RVowel {
  double F1, F2, F3;
};
// Formant frequencies of a few vowels of an adult voice.
constexpr std::array<RVowel, 6> Vowels{{{730, 1090, 2440},
                                        {270, 2290, 3010},
                                        {300, 870, 2240},
                                        {530, 1840, 2480},
                                        {570, 840, 2410},
                                        {440, 1020, 2240}}};

// Adds one syllable starting at sample First: an optional consonant burst, then a voiced vowel
// whose pitch falls from PitchHz by a little.
void AddSyllable(std::vector<double> &Out, std::size_t First, double Seconds, double PitchHz,
                 double Loudness, TRandom &Random) {
  std::size_t at = First;
  if (Random.Uniform() < 0.55) {
    // A consonant: high, noisy, short.
    const auto n = static_cast<std::size_t>(Random.Between(0.03, 0.07) * SampleRate);
    TResonator hiss;
    hiss.Tune(Random.Between(2500, 5000), 1500);
    for (std::size_t i = 0; i < n && at < Out.size(); ++i, ++at) {
      const double envelope = std::sin(std::numbers::pi * static_cast<double>(i) / n);
      Out[at] += 0.35 * Loudness * envelope * hiss.Step(Random.Between(-1, 1)) * 6;
    }
  }
  const RVowel v = Vowels[static_cast<std::size_t>(Random.Int(0, Vowels.size() - 1))];
  std::array<TResonator, 3> formants;
  formants[0].Tune(v.F1, 90);
  formants[1].Tune(v.F2, 110);
  formants[2].Tune(v.F3, 170);
  const auto n = static_cast<std::size_t>(Seconds * SampleRate);
  double phase = 0;
  double previous = 0;
  for (std::size_t i = 0; i < n && at < Out.size(); ++i, ++at) {
    const double t = static_cast<double>(i) / n;
    const double pitch = PitchHz * (1.0 - 0.12 * t) * (1 + 0.01 * std::sin(37.0 * t));
    phase += pitch / SampleRate;
    if (phase >= 1) phase -= 1;
    // A glottal pulse: a smooth opening and a quick closing, differentiated as the lips do.
    const double pulse = phase < 0.45 ? std::pow(std::sin(std::numbers::pi * phase / 0.45), 2) : 0;
    const double source = pulse - previous;
    previous = pulse;
    const double voiced = formants[0].Step(source) * 1.0 + formants[1].Step(source) * 0.6 +
                          formants[2].Step(source) * 0.3;
    const double envelope = std::min({1.0, t / 0.12, (1 - t) / 0.25});
    Out[at] += Loudness * envelope * voiced * 40;
  }
}

}  // namespace

std::vector<std::int16_t> MakeSpeechLikeAudio(double Seconds) {
  const auto total = static_cast<std::size_t>(Seconds * SampleRate);
  std::vector<double> mix(total, 0.0);
  TRandom random(0x2009'0903'1347'3650ULL);
  double t = 0.7;
  const double speechEnd = Seconds - 1.0;
  while (t < speechEnd) {
    // A phrase: its pitch starts high and sinks towards its end.
    const int words = random.Int(3, 9);
    const double phrasePitch = random.Between(140, 175);
    for (int w = 0; w < words && t < speechEnd; ++w) {
      const int syllables = random.Int(1, 3);
      const double stressed = random.Int(0, syllables - 1);
      for (int s = 0; s < syllables && t < speechEnd; ++s) {
        const double length = random.Between(0.11, 0.26);
        const double pitch = phrasePitch * (1 - 0.25 * w / words) * (s == stressed ? 1.1 : 1.0);
        const double loudness = random.Between(0.6, 1.0) * (s == stressed ? 1.0 : 0.75);
        AddSyllable(mix, static_cast<std::size_t>(t * SampleRate), length, pitch, loudness, random);
        t += length + random.Between(0.0, 0.03);
      }
      t += random.Between(0.05, 0.14);
    }
    t += random.Between(0.35, 1.4);
  }

  double peak = 0;
  for (double s : mix) peak = std::max(peak, std::abs(s));
  const double scale = peak > 0 ? 0.6 * 32767 / peak : 0;
  std::vector<std::int16_t> samples(total);
  TRandom room(7);
  for (std::size_t i = 0; i < total; ++i) {
    // A faint room tone, so that the pauses are not digital silence.
    const double value = mix[i] * scale + room.Between(-25, 25);
    samples[i] = static_cast<std::int16_t>(std::clamp(std::lround(value), -32767L, 32767L));
  }
  return samples;
}

QByteArray MakeVuRecords(const std::vector<std::int16_t> &Samples) {
  QByteArray out;
  const std::size_t count = Samples.size();
  for (std::int32_t ms = 0;; ms += 125) {
    const auto first = static_cast<std::size_t>(static_cast<std::int64_t>(ms) * SampleRate / 1000);
    if (first >= count) break;
    const auto last = std::min(
        count, static_cast<std::size_t>(static_cast<std::int64_t>(ms + 125) * SampleRate / 1000));
    int peak = 0;
    for (std::size_t i = first; i < last; ++i) peak = std::max(peak, std::abs(int(Samples[i])));
    peak = std::min(peak, 32767);
    const char record[8] = {char(peak & 0xFF),
                            char((peak >> 8) & 0xFF),
                            0,
                            0,
                            char(ms & 0xFF),
                            char((ms >> 8) & 0xFF),
                            char((ms >> 16) & 0xFF),
                            char((ms >> 24) & 0xFF)};
    out.append(record, 8);
  }
  return out;
}

bool WriteWav(const QString &Path, const std::vector<std::int16_t> &Samples, QString &Error) {
  // libsndfile writes into a file of its own; the bytes then replace the target in one step.
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    Error = QStringLiteral("no temporary folder");
    return false;
  }
  const QByteArray temp = QFile::encodeName(scratch.filePath(QStringLiteral("sample.wav")));
  SF_INFO info{};
  info.samplerate = SampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_MS_ADPCM;
  SNDFILE *file = sf_open(temp.constData(), SFM_WRITE, &info);
  if (!file) {
    Error = QString::fromLocal8Bit(sf_strerror(nullptr));
    return false;
  }
  const auto frames = static_cast<sf_count_t>(Samples.size());
  const bool written = sf_write_short(file, Samples.data(), frames) == frames;
  if (!written) Error = QString::fromLocal8Bit(sf_strerror(file));
  if (sf_close(file) != 0 && written) Error = QStringLiteral("closing the audio file failed");
  if (!Error.isEmpty()) return false;
  QFile produced(QFile::decodeName(temp));
  if (!produced.open(QIODevice::ReadOnly)) {
    Error = produced.errorString();
    return false;
  }
  return WriteFileAtomically(Path, produced.readAll(), &Error);
}
