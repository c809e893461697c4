// The recordings catalogue over an audio folder of 120 month folders holding 5,000 recordings and
// their ".vu" files (empty files: only names are read): the full listing of every month (first
// found, then reloaded), and the look-up of the recording under a moment among them, in the
// listing and from the disk (the day and the day before, as playing from a moment does). Budgets:
// a full listing under 50 ms, a look-up in the listing under 10 us (Release, this machine).

#include "vl09_MediaFoldersInfo.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <random>

namespace {

constexpr int kMonths = 120;
constexpr int kRecordings = 5000;

struct TAudioFolder {
  QTemporaryDir Dir;
  std::vector<TDateTime> Starts;
  TAudioFolder() {
    std::mt19937 random(7);
    const TDateTime first = EncodeDate(2009, 1, 1);
    for (int i = 0; i < kRecordings; ++i) {
      // Spread evenly over ten years, lengths of 1 to 90 minutes.
      const TDateTime start =
          first + (i * (kMonths * 30.4)) / kRecordings + (random() % 600) / SecsPerDay;
      const int length = 60 + static_cast<int>(random() % 5340);
      const QString base = Dir.path() + QLatin1Char('/') + RecordingRelativeName(start);
      QDir().mkpath(QFileInfo(base).path());
      QFile(base + QStringLiteral(" (") + QString::number(length) + QStringLiteral(").wav"))
          .open(QIODevice::WriteOnly);
      QFile(base + QStringLiteral(" (") + QString::number(length) + QStringLiteral(").vu"))
          .open(QIODevice::WriteOnly);
      Starts.push_back(start + 30 / SecsPerDay);
    }
  }
};

TAudioFolder &Folder() {
  static TAudioFolder folder;
  return folder;
}

void BM_FullListing(benchmark::State &State) {
  TvlMediaFoldersInfo info;
  info.AddAudioFolder(Folder().Dir.path());
  for (auto _ : State) {
    info.LoadAllMonths();
    benchmark::DoNotOptimize(info.Count());
  }
  State.counters["recordings"] = info.Count();
}
BENCHMARK(BM_FullListing)->Unit(benchmark::kMillisecond);

void BM_MonthReloadOfEveryMonth(benchmark::State &State) {
  TvlMediaFoldersInfo info;
  info.AddAudioFolder(Folder().Dir.path());
  info.LoadAllMonths();
  for (auto _ : State) {
    info.Month_Reload();
    benchmark::DoNotOptimize(info.Count());
  }
  State.counters["recordings"] = info.Count();
}
BENCHMARK(BM_MonthReloadOfEveryMonth)->Unit(benchmark::kMillisecond);

void BM_LookUpUnderAMoment(benchmark::State &State) {
  TvlMediaFoldersInfo info;
  info.AddAudioFolder(Folder().Dir.path());
  info.LoadAllMonths();
  std::size_t i = 0;
  int found = 0;
  for (auto _ : State) {
    const int index = info.IndexCovering(Folder().Starts[i++ % Folder().Starts.size()]);
    found += index >= 0;
    benchmark::DoNotOptimize(index);
  }
  State.counters["found"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LookUpUnderAMoment)->Unit(benchmark::kMicrosecond);

void BM_LookUpFromTheDisk(benchmark::State &State) {
  TvlMediaFoldersInfo info;
  info.AddAudioFolder(Folder().Dir.path());
  std::size_t i = 0;
  int found = 0;
  for (auto _ : State) {
    const QStringList touching =
        info.ListFilesTouchingTime(Folder().Starts[i++ % Folder().Starts.size()], 3);
    found += !touching.isEmpty();
    benchmark::DoNotOptimize(touching);
  }
  State.counters["found"] = benchmark::Counter(found, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_LookUpFromTheDisk)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
