#pragma once
// The sample recording: synthetic audio that looks and sounds like someone speaking (syllables
// made of a voiced buzz through vowel resonances, short noise bursts for consonants, words, and
// pauses between phrases), and its level readings as the recorder makes them.
//
// Deterministic: the same samples on every machine and every build (a generator of our own, no
// library random distributions), so the sample files never change unless this code does.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

inline constexpr int SampleRate = 22050;

// Mono 16-bit samples, Seconds long, silence at both ends.
std::vector<std::int16_t> MakeSpeechLikeAudio(double Seconds);

// The ".vu" records of the samples: eight a second, each the highest absolute sample of its
// 125 ms, little-endian Peak (int16), two zero bytes, MS (int32).
QByteArray MakeVuRecords(const std::vector<std::int16_t> &Samples);

// Writes the samples as a WAV file in MS ADPCM (the recorder's default encoding), replacing Path
// in one step. False with the reason in Error.
bool WriteWav(const QString &Path, const std::vector<std::int16_t> &Samples, QString &Error);
