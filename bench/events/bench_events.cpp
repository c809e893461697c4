// The costs of the events of a large binder: 1,000,000 typing events over 30 days registered in
// document order, one in ten of them out of time order (text inserted into older notes), as
// opening such a binder does; then exact-contents look-ups (every typed and deleted character
// makes one), a window of 3 hours less a second (the vertical timeline's widest), and a walk over
// every event (the track index's rebuild); and the typing events of a day filed afresh, as every
// opening of a binder does.
//
// Counters: events per second for registration, and bytes per typing event, both as the day
// files and index account for them and as the C library's heap grew.

#include "vl09_DayFilesManager.h"
#include "vlDateTime.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int EventCount = 1'000'000;
constexpr int Days = 30;
constexpr double Sec = 1 / 86400.0;

struct RTyped {
  TDateTime When;
  char16_t Ch;
};

const TDateTime FirstDay = EncodeDate(2009, 9, 1);

// Each day 8 hours of typing from 9:00; one event in ten lands at an earlier moment of its day.
const std::vector<RTyped> &Typed() {
  static const std::vector<RTyped> typed = [] {
    std::vector<RTyped> out;
    out.reserve(EventCount);
    std::mt19937 random(30);
    std::uniform_int_distribution<int> letter(0, 25), tenth(0, 9);
    const int perDay = EventCount / Days + 1;
    const double step = 8 * 3600.0 / perDay;
    for (int i = 0; i < EventCount; ++i) {
      const int day = i / perDay, k = i % perDay;
      const TDateTime dayStart = FirstDay + day + 9 / 24.0;
      TDateTime when = dayStart + k * step * Sec;
      if (tenth(random) == 0 && k > 0)
        when = dayStart + std::uniform_int_distribution<int>(0, k - 1)(random) * step * Sec +
               0.25 * step * Sec;
      out.push_back(RTyped{when, static_cast<char16_t>(u'a' + letter(random))});
    }
    return out;
  }();
  return typed;
}

std::unique_ptr<TvlDayFilesManager> gShared;

void RegisterAll() {
  TTypingEventSink &sink = TypingEventSink();
  for (const RTyped &t : Typed()) {
    const QChar ch(t.Ch);
    sink.AddTypingEvent(t.When, QStringView(&ch, 1));
  }
}

TvlDayFilesManager &Shared() {
  if (!gShared) {
    gShared = std::make_unique<TvlDayFilesManager>();
    RegisterAll();
  }
  return *gShared;
}

void BM_RegisterMillionTypingEvents(benchmark::State &State) {
  gShared.reset();
  Typed();
  double heapPerEvent = 0, accountedPerEvent = 0;
  for (auto _ : State) {
    const std::size_t heapBefore = mallinfo2().uordblks;
    auto manager = std::make_unique<TvlDayFilesManager>();
    RegisterAll();
    State.PauseTiming();
    heapPerEvent = double(mallinfo2().uordblks - heapBefore) / EventCount;
    accountedPerEvent = double(manager->MemoryBytes()) / EventCount;
    manager.reset();
    State.ResumeTiming();
  }
  State.SetItemsProcessed(State.iterations() * EventCount);
  State.counters["events_per_s"] =
      benchmark::Counter(double(EventCount), benchmark::Counter::kIsIterationInvariantRate);
  State.counters["heap_bytes_per_event"] = heapPerEvent;
  State.counters["accounted_bytes_per_event"] = accountedPerEvent;
}
BENCHMARK(BM_RegisterMillionTypingEvents)->Unit(benchmark::kMillisecond)->Iterations(3);

// A binder opened again (or another opened) after a day of typing: 60,000 typed characters and
// 200 bookmarks filed; the typing events are cleared, keeping the bookmarks, and the open
// documents' characters filed afresh, as the program does at every opening.
void BM_RebuildTypingEventsOfADay(benchmark::State &State) {
  gShared.reset();
  constexpr int Characters = 60'000;
  const std::vector<RTyped> day(Typed().begin(), Typed().begin() + Characters);
  auto manager = std::make_unique<TvlDayFilesManager>();
  for (int i = 0; i < 200; ++i)
    manager->AddNumberedBookmark(1 + i % 9, FirstDay + 9 / 24.0 + i * 60 * Sec);
  for (auto _ : State) {
    manager->Clear_KeepingNonTypingEvents();
    for (const RTyped &t : day) {
      const QChar ch(t.Ch);
      manager->AddTypingEvent(t.When, QStringView(&ch, 1));
    }
  }
  State.SetItemsProcessed(State.iterations() * Characters);
}
BENCHMARK(BM_RebuildTypingEventsOfADay)->Unit(benchmark::kMillisecond);

void BM_ExactContentsLookUp(benchmark::State &State) {
  TvlDayFilesManager &m = Shared();
  std::mt19937 random(7);
  std::vector<RTyped> probes;
  for (int i = 0; i < 10'000; ++i)
    probes.push_back(Typed()[std::uniform_int_distribution<int>(0, EventCount - 1)(random)]);
  std::size_t i = 0, found = 0;
  for (auto _ : State) {
    const RTyped &p = probes[i++ % probes.size()];
    const QChar ch(p.Ch);
    TEventID id = NoEventID;
    found += m.LookUp_GetEventID(koeTyping, QChar(u'1'), p.When, QStringView(&ch, 1), id);
    benchmark::DoNotOptimize(id);
  }
  if (found != static_cast<std::size_t>(State.iterations()))
    State.SkipWithError("a registered event was not found");
}
BENCHMARK(BM_ExactContentsLookUp)->Unit(benchmark::kNanosecond);

void BM_ThreeHourWindow(benchmark::State &State) {
  TvlDayFilesManager &m = Shared();
  const TDateTime from = FirstDay + 15 + 10 / 24.0;
  std::vector<TEventID> ids;
  for (auto _ : State) {
    ids.clear();
    m.EventIndex().ListEventIDsForTimePeriod(ids, from, from + (3 * 3600 - 1) * Sec);
    benchmark::DoNotOptimize(ids.data());
  }
  State.counters["events_in_window"] = double(ids.size());
}
BENCHMARK(BM_ThreeHourWindow)->Unit(benchmark::kMicrosecond);

void BM_FullWalk(benchmark::State &State) {
  TvlDayFilesManager &m = Shared();
  std::size_t walked = 0;
  for (auto _ : State) {
    walked = 0;
    TEventID id = NoEventID;
    TDateTime when = 0, sum = 0;
    for (auto w = m.Walk(); w.Next(id);) {
      m.WhenOf(id, when);
      sum += when;
      ++walked;
    }
    benchmark::DoNotOptimize(sum);
  }
  State.counters["events_walked"] = double(walked);
}
BENCHMARK(BM_FullWalk)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
