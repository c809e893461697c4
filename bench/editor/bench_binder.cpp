// Saving and opening a whole binder: 20 tabs of 100,000 characters each (2,000,000 in all, every
// one with its two moments), paragraphs of 80 characters, a few fonts changing every few dozen
// characters. Saving goes through the atomic file target with its sync, as the program saves;
// opening reads every tab and registers every character as a typing event, here into a sink that
// files them by minute as an event index would.

#include "vl09_NotebookBinder.h"
#include "vl_Document.h"

#include <benchmark/benchmark.h>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <memory>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

constexpr int TabCount = 20;
constexpr int CharactersPerTab = 100'000;
constexpr int CharactersPerParagraph = 80;

// Typing events filed by their minute, the way the event index buckets them.
class TMinuteSink final : public TTypingEventSink {
 public:
  void AddTypingEvent(TDateTime When, QStringView) override {
    FByMinute[static_cast<std::int64_t>(std::floor(When * 1440))].push_back(When);
  }
  void DeleteTypingEventAt(TDateTime, QStringView) override {}
  void Clear() { FByMinute.clear(); }

 private:
  std::unordered_map<std::int64_t, std::vector<TDateTime>> FByMinute;
};

struct RFixture {
  QTemporaryDir Folder;
  QString Path;
  TvlTabList Tabs;
  qint64 FileBytes = 0;

  RFixture() {
    std::mt19937 random(2);
    std::uniform_int_distribution<int> letter(0, 25), gap(80, 600), change(0, 40);
    TDateTime moment = 45000.4;
    for (int t = 0; t < TabCount; ++t) {
      TDocument &doc = *Tabs.Add(QStringLiteral("Tab %1").arg(t + 1)).Doc;
      const TFontIndex fonts[3] = {
          doc.FCurrentFontX,
          doc.Font_GetIndex(QStringLiteral("Arial"), 0, 12, 0x000000, clWhite, fsBold),
          doc.Font_GetIndex(QStringLiteral("Arial"), 0, 12, 0x0000FF, 0x00FFFF, fsItalic)};
      TFontIndex font = fonts[0];
      for (int sn = 0; sn * CharactersPerParagraph < CharactersPerTab; ++sn) {
        TParagraph &p = sn == 0 ? *doc.Paragraph_FromSectionNum(0) : doc.Paragraph_Append();
        while (p.High() < CharactersPerParagraph) {
          if (change(random) == 0) font = fonts[letter(random) % 3];
          moment += gap(random) / 86400000.0;
          const QChar c = letter(random) < 5 ? QChar(u' ') : QChar(char16_t(u'a' + letter(random)));
          p.Char_Append(c, font, RvlTimestamp{moment - 0.01, moment});
        }
        p.FNLFont = font;
        p.FNLWhen = RvlTimestamp{moment, moment};
      }
    }
    Tabs.ActiveTab = 0;
    Path = Folder.filePath(QStringLiteral("bench.vl"));
    TvlNotebookBinder binder(Tabs);
    binder.Binder_Save(Path);
    FileBytes = QFileInfo(Path).size();
  }
};

RFixture &Fixture() {
  static RFixture fixture;
  return fixture;
}

void Figures(benchmark::State &State) {
  State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * Fixture().FileBytes);
  State.counters["file_MB"] = static_cast<double>(Fixture().FileBytes) / 1e6;
  State.counters["characters"] = TabCount * CharactersPerTab;
}

void BM_Binder_Save(benchmark::State &State) {
  TvlNotebookBinder binder(Fixture().Tabs);
  const QString path = Fixture().Folder.filePath(QStringLiteral("saved.vl"));
  for (auto _ : State) {
    const QString problem = binder.Binder_Save(path);
    if (!problem.isEmpty()) State.SkipWithError(problem.toUtf8().constData());
  }
  Figures(State);
}

void BM_Binder_Open(benchmark::State &State) {
  TMinuteSink sink;
  TScopedTypingEventSink scoped(sink);
  for (auto _ : State) {
    State.PauseTiming();
    sink.Clear();
    TvlTabList tabs;
    State.ResumeTiming();
    TvlNotebookBinder binder(tabs);
    const QString problem = binder.Binder_OpenWithoutRecovery(Fixture().Path);
    if (!problem.isEmpty() || tabs.Tabs.size() != TabCount)
      State.SkipWithError("the binder did not open cleanly");
    State.PauseTiming();
    tabs.Tabs.clear();  // freeing 2,000,000 characters is not part of opening
    State.ResumeTiming();
  }
  Figures(State);
}

BENCHMARK(BM_Binder_Save)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Binder_Open)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
