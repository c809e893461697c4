// bench_formatter: the formatter on a document of 5,000 paragraphs (about 1 MB of text, a few
// fonts, pictures every 500 paragraphs) at 800 px: a full layout, one typed character brought up
// to date (also at 50,000 paragraphs, to show it does not grow with the document), the line
// under a pixel near the end, and drawing one 50-line window. Real fonts, offscreen.

#include "vl_Document.h"
#include "vl_Formatter.h"
#include "vldGraphic.h"

#include <benchmark/benchmark.h>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<TDocument> MakeDocument(int Paragraphs, bool Pictures = true) {
  auto doc = std::make_unique<TDocument>();
  const TFontIndex fonts[] = {
      doc->Font_GetIndex(QStringLiteral("Comic Sans MS"), 0, 10, 0x800000, 0xFFFFFF, {}),
      doc->Font_GetIndex(QStringLiteral("Arial"), 0, 12, 0, 0xFFFFFF, TFontStyles(fsBold)),
      doc->Font_GetIndex(QStringLiteral("Times New Roman"), 0, 11, 0x000080, 0xFFFFFF, {}),
      doc->Font_GetIndex(QStringLiteral("Verdana"), 0, 9, 0, 0x00FFFF, {})};
  const QString words = QStringLiteral(
      "Notes typed while the recording runs, with a moment for every character and words of "
      "varied length so that lines break in different places across the whole document text. ");
  for (int i = 0; i < Paragraphs; ++i) {
    TParagraph &p = i == 0 ? *doc->Paragraph_FromSectionNum(0) : doc->Paragraph_Append();
    const int len = 150 + (i * 37) % 100;
    for (int k = 0; k < len; ++k) {
      const TFontIndex f = fonts[((k / 40) + i) % 4];
      p.Char_Append(words[(k + i) % words.size()], f, RvlTimestamp{45000.5, 45000.5});
    }
    p.FNLFont = fonts[0];
  }
  for (int i = 250; Pictures && i < Paragraphs; i += 500) {
    TInsetHandle h = -1;
    doc->InsetsStorage.MakeNewGraphicAndGetHandle(doc->Paragraph_FromSectionNum(i), h);
    TvlGraphic *g = doc->InsetsStorage.GetIfGraphic(h);
    g->EditorsData.FvLeft = 500;
    g->EditorsData.FvTop = std::int64_t{i} * 45;  // about where paragraph i lies
    g->EditorsData.FPixelWidth = 200;
    g->EditorsData.FPixelHeight = 120;
  }
  return doc;
}

std::unique_ptr<TEditFormatter> MakeFormatter(TDocument &Doc) {
  auto f = std::make_unique<TEditFormatter>(&Doc);
  f->MultipleWrappingChanges_Begin();
  f->SetLinkColumnWidth(20);
  f->SetTextMarginLeft(2);
  f->SetTextMarginRight(3);
  f->SetCanvasWidth(800);
  f->MultipleWrappingChanges_End();
  return f;
}

void BM_FullLayout(benchmark::State &State) {
  auto doc = MakeDocument(static_cast<int>(State.range(0)));
  for (auto _ : State) {
    auto f = MakeFormatter(*doc);
    f->EnsureLayout();
    benchmark::DoNotOptimize(f->Lines_High());
  }
  auto f = MakeFormatter(*doc);
  State.counters["lines"] = f->Lines_High();
  State.counters["chars_MB"] = 0;
  std::int64_t chars = 0;
  for (int i = 0; i <= doc->Section_High(); ++i) chars += doc->Paragraph_Length(i);
  State.counters["chars_MB"] = static_cast<double>(chars) / 1e6;
}
BENCHMARK(BM_FullLayout)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_TypedCharacterRelayout(benchmark::State &State) {
  auto doc = MakeDocument(static_cast<int>(State.range(0)));
  auto f = MakeFormatter(*doc);
  f->EnsureLayout();
  const int sn = doc->Section_High() / 2;
  int k = 0;
  const std::int64_t wrapsBefore = f->WrapCount();
  for (auto _ : State) {
    // Typed and taken back, so the document stays the same size.
    // At the end of the paragraph, where notes are typed.
    const int after = doc->Paragraph_Length(sn) + 1;
    if (k++ % 2 == 0)
      doc->Char_Insert(u'x', 1, TCaretPos{sn, after, false});
    else
      doc->Char_Delete(TCaretPos{sn, after - 1, false});
    f->EnsureLayout();
    benchmark::DoNotOptimize(f->Lines_High());
  }
  State.counters["wraps_per_key"] =
      static_cast<double>(f->WrapCount() - wrapsBefore) / static_cast<double>(State.iterations());
}
BENCHMARK(BM_TypedCharacterRelayout)->Arg(5000)->Arg(50000)->Unit(benchmark::kMicrosecond);

// Enter typed in the middle of a paragraph and taken back: every later line moves, and with
// pictures further down the pass must look at the paragraphs beside them. Arguments: paragraphs,
// pictures (1) or none (0).
void BM_TypedEnterRelayout(benchmark::State &State) {
  auto doc = MakeDocument(static_cast<int>(State.range(0)), State.range(1) != 0);
  auto f = MakeFormatter(*doc);
  f->EnsureLayout();
  const int sn = doc->Section_High() / 2;
  int k = 0;
  const std::int64_t wrapsBefore = f->WrapCount();
  for (auto _ : State) {
    if (k++ % 2 == 0)
      doc->Char_Insert(u'\n', 1, TCaretPos{sn, 20, false});
    else
      doc->Char_Delete(TCaretPos{sn, doc->Paragraph_Length(sn) + 1, false});  // joins again
    f->EnsureLayout();
    benchmark::DoNotOptimize(f->Lines_High());
  }
  State.counters["wraps_per_key"] =
      static_cast<double>(f->WrapCount() - wrapsBefore) / static_cast<double>(State.iterations());
}
BENCHMARK(BM_TypedEnterRelayout)
    ->Args({5000, 1})
    ->Args({50000, 1})
    ->Args({5000, 0})
    ->Args({50000, 0})
    ->Unit(benchmark::kMicrosecond);

void BM_LineUnderPixelNearEnd(benchmark::State &State) {
  auto doc = MakeDocument(5000);
  auto f = MakeFormatter(*doc);
  const std::int64_t y = f->TotalPixelHeight() - 200;
  for (auto _ : State) {
    benchmark::DoNotOptimize(f->Map_DocPosFromVirtualPos(TVirtualPos{300, y}));
  }
}
BENCHMARK(BM_LineUnderPixelNearEnd)->Unit(benchmark::kMicrosecond);

void BM_DrawWindow50Lines(benchmark::State &State) {
  auto doc = MakeDocument(5000);
  auto f = MakeFormatter(*doc);
  const int lineHeight = f->Lines_Height(1);
  QImage image(800, 50 * lineHeight, QImage::Format_RGB32);
  const std::int32_t first = f->Lines_High() - 200;
  for (auto _ : State) {
    QPainter p(&image);
    std::int32_t last = 0;
    std::int64_t top = 0;
    f->DrawWindow(p, image.rect(), first, last, top);
    benchmark::DoNotOptimize(last);
  }
}
BENCHMARK(BM_DrawWindow50Lines)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
