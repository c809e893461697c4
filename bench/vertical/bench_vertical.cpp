// The vertical timeline and the calendar of recordings, timed.
//
// RenderFollowingCaret: a recorded day of 8 hours with a typed character every second (28,800
// typing events, words of five letters and a space) and 100 bookmarks; a 300 x 800 timeline at
// the zoom of 50 words per minute moves its feature time by 2 seconds and renders, as following
// the caret through the notes does. Goal: a render under 3 ms.
//
// ComposeMonth200: a month with 200 recordings (about 7 a day, some across midnight and noon)
// drawn at three times the cell size and averaged down. Goal: under 20 ms.

#include "vl09_DayFilesManager.h"
#include "vl09_VertTimeline.h"
#include "vlCalendarMonth.h"
#include "vlDateTime.h"

#include <benchmark/benchmark.h>
#include <QApplication>

#include <random>

namespace {

constexpr double Sec = 1 / SecsPerDay;
const TDateTime Day = EncodeDate(2009, 9, 3);

void RenderFollowingCaret(benchmark::State &State) {
  TvlDayFilesManager events;
  const TDateTime start = Day + 9 / HoursPerDay;
  for (int i = 0; i < 8 * 3600; ++i) {
    const char16_t ch = i % 6 == 5 ? u' ' : char16_t(u'a' + i % 26);
    events.AddTypingEvent(start + i * Sec, QStringView(&ch, 1));
  }
  for (int i = 0; i < 100; ++i) {
    if (i % 2)
      events.AddNumberedBookmark(1 + i % 9, start + (i * 288 + 7) * Sec);
    else
      events.AddLabelBookmark(start + (i * 288 + 7) * Sec, QStringLiteral("Point %1").arg(i));
  }
  TVertTimeline timeline;
  timeline.resize(300, 800);
  timeline.show();
  timeline.SetWordsPerMinute(50);
  TDateTime feature = start + 3600 * Sec;
  timeline.SetFeatureDT(feature);
  std::size_t lines = 0;
  for (auto _ : State) {
    feature += 2 * Sec;
    timeline.SetFeatureDT(feature);
    timeline.RenderAnew();
    lines += timeline.Lines().size();
  }
  State.counters["lines"] = double(lines) / double(State.iterations());
  State.counters["s/row"] = timeline.Zoom_PixelDuration();
}
BENCHMARK(RenderFollowingCaret)->Unit(benchmark::kMillisecond);

void ComposeMonth200(benchmark::State &State) {
  std::vector<RRecordingSpan> spans;
  std::mt19937 random(200);
  std::uniform_real_distribution<double> at(0, 30), length(60, 4 * 3600);
  for (int i = 0; i < 200; ++i) {
    const TDateTime s = Day - 2 + at(random);
    spans.push_back(RRecordingSpan{s, s + length(random) * Sec});
  }
  vlCalendar::TCalendarMonth month(vlCalendar::DefaultCellPicture());
  month.SetMonth(2009, 9);
  month.SetToday(Day + 10);
  for (auto _ : State) {
    month.SetSpans(spans);
    benchmark::DoNotOptimize(month.Image().constBits());
  }
}
BENCHMARK(ComposeMonth200)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
