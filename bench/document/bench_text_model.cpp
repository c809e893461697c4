// Throughput of the two large attributes of a paragraph: its text with font switches and entities
// (T) and its list of timestamps (When L). Figures are bytes of file text per second, for one
// paragraph of 200,000 characters and for 50,000 short paragraphs. The damaged cases show that a
// malformed list or text costs no more than a good one (the work stays linear).

#include "vldRichString.h"
#include "vldTemporal.h"

#include <benchmark/benchmark.h>
#include <QString>

#include <random>
#include <string>
#include <vector>

namespace {

struct RParagraph {
  QString Text;
  std::vector<TFontIndex> Fonts;
  TTemporalString Whens;
  std::string EncodedWhens;
  QString EncodedText;
};

// Typed notes: words, punctuation, now and then a quote, an ampersand, a tab, Cyrillic; a font
// change every few dozen characters; moments a few hundred milliseconds apart.
RParagraph MakeParagraph(std::mt19937 &Random, int Length) {
  static const char16_t pieces[][12] = {u"the ",       u"recording ", u"notes, ", u"at ",
                                        u"\"quote\" ", u"A & B ",     u"10:45 ",  u"\t",
                                        u"Привет ",    u"(aside) ",   u"data; ",  u"x<y "};
  RParagraph p;
  TDateTime moment = 45000.4;
  TFontIndex font = 1;
  std::uniform_int_distribution<int> piece(0, 11), gap(80, 600), change(0, 40);
  while (p.Text.size() < Length) {
    if (change(Random) == 0) font = static_cast<TFontIndex>(1 + piece(Random) % 4);
    for (const char16_t *c = pieces[piece(Random)]; *c && p.Text.size() < Length; ++c) {
      p.Text.append(QChar(*c));
      p.Fonts.push_back(font);
      moment += gap(Random) / 86400000.0;
      p.Whens.InsertOne(p.Whens.Count() + 1, RvlTimestamp{moment - 0.01, moment});
    }
  }
  p.Whens.IO_AppendLongStr(p.EncodedWhens);
  AppendEncodedParagraphText(p.EncodedText, p.Text, p.Fonts.data(), true, font);
  return p;
}

const std::vector<RParagraph> &Paragraphs(int Count, int Length) {
  static std::vector<RParagraph> big, small;
  std::vector<RParagraph> &set = Count == 1 ? big : small;
  if (set.empty()) {
    std::mt19937 random(1);
    for (int i = 0; i < Count; ++i) set.push_back(MakeParagraph(random, Length));
  }
  return set;
}

void SetBytes(benchmark::State &State, std::int64_t BytesPerIteration) {
  State.SetBytesProcessed(State.iterations() * BytesPerIteration);
}

void EncodeWhen(benchmark::State &State, int Count, int Length) {
  const auto &set = Paragraphs(Count, Length);
  std::int64_t bytes = 0;
  for (const RParagraph &p : set) bytes += static_cast<std::int64_t>(p.EncodedWhens.size());
  std::string out;
  for (auto _ : State) {
    for (const RParagraph &p : set) {
      out.clear();
      p.Whens.IO_AppendLongStr(out);
      // The writer takes the list as a string, as the save does.
      benchmark::DoNotOptimize(QString::fromLatin1(out.data(), qsizetype(out.size())));
    }
  }
  SetBytes(State, bytes);
}

void DecodeWhen(benchmark::State &State, int Count, int Length) {
  const auto &set = Paragraphs(Count, Length);
  std::int64_t bytes = 0;
  for (const RParagraph &p : set) bytes += static_cast<std::int64_t>(p.EncodedWhens.size());
  TTemporalString list;
  for (auto _ : State) {
    for (const RParagraph &p : set) {
      list.IO_SetFromLongBytes(
          QByteArrayView(p.EncodedWhens.data(), qsizetype(p.EncodedWhens.size())),
          p.Whens.Count() + 1);
      benchmark::DoNotOptimize(list.Entries().data());
    }
  }
  SetBytes(State, bytes);
}

void EncodeText(benchmark::State &State, int Count, int Length) {
  const auto &set = Paragraphs(Count, Length);
  std::int64_t bytes = 0;
  for (const RParagraph &p : set) bytes += p.EncodedText.size();
  QString out;
  for (auto _ : State) {
    for (const RParagraph &p : set) {
      out.clear();  // a fresh string per paragraph, as a save makes
      AppendEncodedParagraphText(out, p.Text, p.Fonts.data(), true, 1);
      benchmark::DoNotOptimize(out.data());
    }
  }
  SetBytes(State, bytes);
}

void DecodeText(benchmark::State &State, int Count, int Length) {
  const auto &set = Paragraphs(Count, Length);
  std::int64_t bytes = 0;
  for (const RParagraph &p : set) bytes += p.EncodedText.size();
  QString text;
  std::vector<TFontIndex> fonts;
  for (auto _ : State) {
    for (const RParagraph &p : set) {
      DecodeParagraphText(p.EncodedText, text, fonts);
      benchmark::DoNotOptimize(text.data());
    }
  }
  SetBytes(State, bytes);
}

// Damaged input of State.range(0) bytes: a list without a single comma or closing bracket, a
// list of broken pairs, and text that is all unknown "&" sequences and half font switches.
void DecodeWhen_Damaged(benchmark::State &State) {
  const auto n = static_cast<std::size_t>(State.range(0));
  std::string noCommas(n, '7'), broken;
  for (std::size_t i = 0; i < n; i += 1000) noCommas[i] = '(';
  while (broken.size() < n) broken += "(1)(2 3)(abc,4";
  TTemporalString list;
  for (auto _ : State) {
    for (const std::string *s : {&noCommas, &broken}) {
      list.IO_SetFromLongBytes(QByteArrayView(s->data(), qsizetype(s->size())),
                               static_cast<int>(s->size() / 4));
      benchmark::DoNotOptimize(list.Entries().data());
    }
  }
  SetBytes(State, static_cast<std::int64_t>(noCommas.size() + broken.size()));
}

void DecodeText_Damaged(benchmark::State &State) {
  const auto n = static_cast<qsizetype>(State.range(0));
  QString encoded;
  while (encoded.size() < n) encoded += QStringLiteral("&&f&f9&#12&Q&;&1x&f99999999999;");
  QString text;
  std::vector<TFontIndex> fonts;
  for (auto _ : State) {
    DecodeParagraphText(encoded, text, fonts);
    benchmark::DoNotOptimize(text.data());
  }
  SetBytes(State, encoded.size());
}

constexpr int BigLength = 200000;
constexpr int ShortCount = 50000, ShortLength = 40;

}  // namespace

BENCHMARK_CAPTURE(EncodeWhen, OneParagraphOf200k, 1, BigLength)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeWhen, OneParagraphOf200k, 1, BigLength)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeText, OneParagraphOf200k, 1, BigLength)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeText, OneParagraphOf200k, 1, BigLength)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeWhen, ShortParagraphs50k, ShortCount, ShortLength)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeWhen, ShortParagraphs50k, ShortCount, ShortLength)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(EncodeText, ShortParagraphs50k, ShortCount, ShortLength)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(DecodeText, ShortParagraphs50k, ShortCount, ShortLength)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeWhen_Damaged)->Arg(700000)->Arg(7000000)->Unit(benchmark::kMillisecond);
BENCHMARK(DecodeText_Damaged)->Arg(400000)->Arg(4000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
