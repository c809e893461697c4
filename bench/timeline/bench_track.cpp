// The costs of showing a track of a busy day. The day: recordings from 9:00 to 17:00 with a level
// reading every 50 ms (576,000 readings, folded into the half-hour level images once, before
// timing), one typed character a second (30,000 typing events, spread over the 8 hours), 70
// numbered markers and 30 labels. Around it 60 other days of 30,000 typed characters each are in
// memory, which a rebuild must not walk. The track is 1200 columns wide, centred at 13:00.
//
//   Rebuild/L      the track index filed again (a scroll, a zoom, a resize)
//   Render/L       the whole bitmap drawn (bands, ruler, level band, strokes, labels, markers)
//   LabelUpdate/L  one label's text changed and redrawn alone (typing into a label)
// for zoom levels L = 1, 5, 10 and 15.

#include "vl09_DayFilesManager.h"
#include "vl09_Track.h"
#include "vl09_Visualization.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <memory>
#include <random>

namespace {

constexpr double Sec = 1 / 86400.0;
const TDateTime Day = EncodeDate(2024, 3, 12);
const TDateTime Centre = Day + 13 / 24.0;

struct RWorld {
  TvlDayFilesManager Events;
  TVisualization Vis;
  std::unique_ptr<TvlTrack> Track;
  TEventID Label = NoEventID;  // a label in view at every level

  RWorld() {
    std::mt19937 random(12);
    std::uniform_int_distribution<int> letter(0, 25), level(200, 6000);
    const TDateTime start = Day + 9 / 24.0;
    for (int i = 0; i < 8 * 3600 * 20; ++i)
      Vis.CurrentFile_NewVuLevel(level(random), start + i * 0.05 * Sec);
    for (int d = -60; d <= 0; ++d)
      for (int i = 0; i < 30000; ++i) {
        const char16_t ch = static_cast<char16_t>(u'a' + letter(random));
        Events.AddTypingEvent(start + d + i * 0.96 * Sec, QStringView(&ch, 1));
      }
    for (int i = 0; i < 70; ++i) Events.AddNumberedBookmark(1 + i % 9, start + (i * 411 + 7) * Sec);
    for (int i = 0; i < 30; ++i)
      Events.AddLabelBookmark(start + (i * 960 + 100) * Sec, QStringLiteral("Topic %1").arg(i));
    Label = Events.AddLabelBookmark(Centre + 30 * Sec, u"Call Bob");
    Track = std::make_unique<TvlTrack>(arHistorical, &Vis, &Events);
    Track->Index().SetDataPixelsPlotted(1200);
  }
  void Show(int Level, int Scale = 1) {
    Track->Render().SetDeviceScale(Scale);
    Track->InitializeAtFirstShow_AndSetZoomLevelTo(Level);
    Track->MoveTo(Centre, 600);
    Track->Render().RenderAll();
  }
};

RWorld &World() {
  static RWorld world;
  return world;
}

void Rebuild(benchmark::State &State) {
  RWorld &w = World();
  w.Show(static_cast<int>(State.range(0)));
  for (auto _ : State) w.Track->MoveTo(Centre, 600);
  State.counters["daysWalked"] = w.Track->Index().LastRebuildDayFilesWalked();
}

// Second argument: the device scale (2 on a screen of twice the pixel density).
void Render(benchmark::State &State) {
  RWorld &w = World();
  w.Show(static_cast<int>(State.range(0)), static_cast<int>(State.range(1)));
  for (auto _ : State) w.Track->Render().RenderAll();
}

void LabelUpdate(benchmark::State &State) {
  RWorld &w = World();
  w.Show(static_cast<int>(State.range(0)), static_cast<int>(State.range(1)));
  const QString texts[2] = {QStringLiteral("Call Bob"), QStringLiteral("Call Bob back")};
  int i = 0;
  for (auto _ : State) w.Track->UpdateEventTextAndDoLowLatencyDraw(w.Label, texts[++i % 2]);
}

}  // namespace

BENCHMARK(Rebuild)->Arg(1)->Arg(5)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(Render)->ArgsProduct({{1, 5, 10, 15}, {1, 2}})->Unit(benchmark::kMillisecond);
BENCHMARK(LabelUpdate)->ArgsProduct({{1, 5, 10, 15}, {1, 2}})->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) {
  // Fonts, not a display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  World();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
