// bench_print: a tab of 1,000 and 5,000 paragraphs (about 200 and 1,000 KB of text in four fonts,
// each paragraph's time in the margin) laid out on Letter-sized pages, and printed whole into a
// PDF file as File > Print to PDF does it. Real fonts, offscreen.

#include "vlPrintLayout.h"
#include "vl_Document.h"

#include <benchmark/benchmark.h>
#include <QGuiApplication>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

namespace {

std::unique_ptr<TDocument> MakeDocument(int Paragraphs) {
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
    const TDateTime when = 45000.5 + i * 20 / 86400.0;
    for (int k = 0; k < len; ++k)
      p.Char_Append(words[(k + i) % words.size()], fonts[((k / 40) + i) % 4],
                    RvlTimestamp{when, when});
    p.FNLFont = fonts[0];
  }
  return doc;
}

// Letter with the printer's usual margins, at the layout's 96 dots per inch.
RPrintOptions LetterPage() { return RPrintOptions{720, 960, true, QStringLiteral("Lecture")}; }

void BM_PrintLayout(benchmark::State &State) {
  auto doc = MakeDocument(static_cast<int>(State.range(0)));
  int pages = 0;
  for (auto _ : State) {
    TvlPrintLayout layout(*doc, LetterPage());
    pages = layout.PageCount();
    benchmark::DoNotOptimize(pages);
  }
  State.counters["pages"] = pages;
}
BENCHMARK(BM_PrintLayout)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond);

void BM_PrintToPdf(benchmark::State &State) {
  auto doc = MakeDocument(static_cast<int>(State.range(0)));
  QTemporaryDir folder;
  int pages = 0;
  for (auto _ : State) {
    QPdfWriter pdf(folder.filePath(QStringLiteral("notes.pdf")));
    pdf.setResolution(96);
    pdf.setPageSize(QPageSize(QPageSize::Letter));
    TvlPrintLayout layout(*doc, LetterPage());
    pages = layout.PageCount();
    QPainter painter(&pdf);
    for (int page = 0; page < pages; ++page) {
      if (page > 0) pdf.newPage();
      layout.DrawPage(painter, page);
    }
  }
  State.counters["pages"] = pages;
}
BENCHMARK(BM_PrintToPdf)->Arg(1000)->Arg(5000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
