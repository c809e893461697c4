// Saving and loading a whole notes document as an isolated tab file: 5,000 paragraphs of 200
// characters (1,000,000 characters in all, every one with its two moments), a few fonts that
// change every few dozen characters, and a few pictures with pen strokes. Figures are bytes of
// file per second of wall-clock time. The baseline reads the same file's bytes and does nothing
// with them: the distance to it is what the format code costs.

#include "vl09_XmlOut.h"
#include "vlSaveTarget.h"
#include "vl_Document.h"
#include "vldGraphic.h"

#include <benchmark/benchmark.h>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <memory>
#include <random>

namespace {

constexpr int ParagraphCount = 5000;
constexpr int CharactersPerParagraph = 200;
constexpr int PictureCount = 5;

struct RFixture {
  QTemporaryDir Folder;
  QString TabPath;
  QByteArray Bytes;
  std::unique_ptr<TDocument> Doc = std::make_unique<TDocument>();

  RFixture() {
    TDocument &doc = *Doc;
    std::mt19937 random(1);
    static const char16_t pieces[][12] = {u"the ",       u"recording ", u"notes, ", u"at ",
                                          u"\"quote\" ", u"A & B ",     u"10:45 ",  u"\t",
                                          u"Привет ",    u"(aside) ",   u"data; ",  u"x<y "};
    std::uniform_int_distribution<int> piece(0, 11), gap(80, 600), change(0, 40);
    TFontIndex fonts[4] = {
        doc.Font_GetIndex(QStringLiteral("Comic Sans MS"), 0, 10, 0x800000, clWhite, {}),
        doc.Font_GetIndex(QStringLiteral("Arial"), 0, 12, 0x000000, clWhite, fsBold),
        doc.Font_GetIndex(QStringLiteral("Arial"), 0, 12, 0x0000FF, 0x00FFFF, fsItalic),
        doc.Font_GetIndex(QStringLiteral("Courier New"), 0, 9, 0x008000, clWhite, {})};
    TDateTime moment = 45000.4;
    TFontIndex font = fonts[0];
    for (int sn = 0; sn < ParagraphCount; ++sn) {
      TParagraph &p = sn == 0 ? *doc.Paragraph_FromSectionNum(0) : doc.Paragraph_Append();
      while (p.High() < CharactersPerParagraph) {
        if (change(random) == 0) font = fonts[piece(random) % 4];
        for (const char16_t *c = pieces[piece(random)]; *c && p.High() < CharactersPerParagraph;
             ++c) {
          moment += gap(random) / 86400000.0;
          p.Char_Append(QChar(*c), font, RvlTimestamp{moment - 0.01, moment});
        }
      }
      p.FNLFont = font;
      p.FNLWhen = RvlTimestamp{moment, moment};
    }

    const QString picture = Folder.filePath(QStringLiteral("board.jpg"));
    QImage image(320, 240, QImage::Format_RGB32);
    image.fill(0x336699);
    image.save(picture, "JPG");
    for (int i = 0; i < PictureCount; ++i) {
      TInsetHandle h = -1;
      doc.InsetsStorage.MakeNewGraphicAndGetHandle(doc.Paragraph_FromSectionNum(i * 1000), h);
      TvlGraphic *g = doc.InsetsStorage.GetIfGraphic(h);
      g->EditorsData.FPixelWidth = 330;
      g->EditorsData.FPixelHeight = 250;
      g->JPeg_LoadFromFile(picture);
      for (int s = 0; s < 20; ++s) {
        TPenStroke &stroke = g->Sketch.PenStroke_Append();
        for (int k = 0; k < 50; ++k)
          stroke.PenPoint_Append(static_cast<float>(k * 3 + s), static_cast<float>(k * 2),
                                 k % 2 ? 1.0f : 0.5f);
      }
    }

    TabPath = Folder.filePath(QStringLiteral("notes.vlTab"));
    doc.IO_Save(TabPath, QStringLiteral("Benchmark"), 0);
    QFile file(TabPath);
    file.open(QIODevice::ReadOnly);
    Bytes = file.readAll();
  }
};

RFixture &Fixture() {
  static RFixture fixture;
  return fixture;
}

void SetFileBytes(benchmark::State &State) {
  State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations()) * Fixture().Bytes.size());
  State.counters["file_MB"] = static_cast<double>(Fixture().Bytes.size()) / 1e6;
}

void BM_Baseline_ReadFileBytes(benchmark::State &State) {
  for (auto _ : State) {
    QFile file(Fixture().TabPath);
    file.open(QIODevice::ReadOnly);
    benchmark::DoNotOptimize(file.readAll());
  }
  SetFileBytes(State);
}

// Bytes counted and dropped: the format's own cost, without a growing buffer or a disk.
class TDiscardTarget final : public TvlSaveTarget {
 public:
  bool Open(const QString &) override { return true; }
  bool Write(const char *, qsizetype Size) override {
    FBytes += Size;
    return true;
  }
  bool Commit() override { return true; }
  void Cancel() override {}
  QString ErrorString() const override { return {}; }
  qsizetype FBytes = 0;
};

void BM_Save_FormatOnly(benchmark::State &State) {
  for (auto _ : State) {
    TvlXmlOut out(std::make_unique<TDiscardTarget>());
    benchmark::DoNotOptimize(
        Fixture().Doc->IO_Save(out, QStringLiteral("memory.vlTab"), QStringLiteral("B"), 0));
  }
  SetFileBytes(State);
}

// Through the atomic file target, syncing included, as the program saves.
void BM_Save_ToFile(benchmark::State &State) {
  const QString path = Fixture().Folder.filePath(QStringLiteral("saved.vlTab"));
  for (auto _ : State)
    benchmark::DoNotOptimize(Fixture().Doc->IO_Save(path, QStringLiteral("B"), 0));
  SetFileBytes(State);
}

void BM_Load_FromFile(benchmark::State &State) {
  for (auto _ : State) {
    TDocument doc;
    QString title;
    int vsb = 0;
    benchmark::DoNotOptimize(doc.IO_Load(Fixture().TabPath, title, vsb));
  }
  SetFileBytes(State);
}

void BM_Load_FromBytes(benchmark::State &State) {
  for (auto _ : State) {
    TDocument doc;
    QString title;
    int vsb = 0;
    benchmark::DoNotOptimize(doc.IO_LoadFromBytes(Fixture().Bytes, Fixture().TabPath, title, vsb));
  }
  SetFileBytes(State);
}

BENCHMARK(BM_Baseline_ReadFileBytes)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save_FormatOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Save_ToFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load_FromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Load_FromBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char **argv) {
  // Pictures are composed into QImages; fonts are never drawn here.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Fixture();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
