// The journal's costs: typing 10,000 characters (a line break every 80) with and without the
// journal, as keys type them (Text_Type), the journal writing its buffer to its file every ten
// characters as its timer would while one types fast; one fdatasync of the journal, which runs
// at most every TJournalWriter::MinSyncMSecs whatever the typing speed; and replaying a journal
// of 1,000,000 typed characters onto an empty document (reading, checking and applying).

#include "vl_Document.h"
#include "vldJournal.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

constexpr int TypedChars = 10'000;
constexpr int LineLength = 80;
constexpr int FlushEvery = 10;
constexpr int ReplayChars = 1'000'000;

class TJournalling final : public TDocumentEditObserver {
 public:
  explicit TJournalling(TJournalWriter &Writer) : FWriter(Writer) {}
  void Document_Edited(const TDocument &Doc, const RDocumentEdit &Edit) override {
    FWriter.Encoder().Edit(FWriter.Pending(), 0, Doc, Edit, 45000.5);
  }

 private:
  TJournalWriter &FWriter;
};

void TypeInto(TDocument &Doc, int Chars, TJournalWriter *Writer) {
  for (int i = 1; i <= Chars; ++i) {
    const QChar c =
        i % LineLength == 0 ? QChar(u'\n') : QChar(static_cast<char16_t>(u'a' + i % 26));
    Doc.Text_Type(QStringView(&c, 1), 0, false);
    if (Writer && i % FlushEvery == 0) Writer->Flush(false);
  }
  if (Writer) Writer->Flush(false);
}

void BM_TypingWithoutJournal(benchmark::State &State) {
  for (auto _ : State) {
    TDocument doc;
    TypeInto(doc, TypedChars, nullptr);
    benchmark::DoNotOptimize(doc.Section_High());
  }
  State.counters["ns_per_char"] =
      benchmark::Counter(static_cast<double>(TypedChars) * static_cast<double>(State.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TypingWithoutJournal)->Unit(benchmark::kMillisecond);

void BM_TypingWithJournal(benchmark::State &State) {
  QTemporaryDir folder;
  for (auto _ : State) {
    TDocument doc;
    TJournalWriter writer;
    writer.Start(folder.filePath(QStringLiteral("bench.vlJournal")),
                 writer.Encoder().Header(RJournalBase{}, 45000));
    TJournalling journalling(writer);
    doc.EditObserver_Add(&journalling);
    TypeInto(doc, TypedChars, &writer);
    doc.EditObserver_Remove(&journalling);
    benchmark::DoNotOptimize(writer.BytesWritten());
  }
  State.counters["ns_per_char"] =
      benchmark::Counter(static_cast<double>(TypedChars) * static_cast<double>(State.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_TypingWithJournal)->Unit(benchmark::kMillisecond);

void BM_JournalSync(benchmark::State &State) {
  QTemporaryDir folder;
  TDocument doc;
  TJournalWriter writer;
  writer.Start(folder.filePath(QStringLiteral("sync.vlJournal")),
               writer.Encoder().Header(RJournalBase{}, 45000));
  TJournalling journalling(writer);
  doc.EditObserver_Add(&journalling);
  for (auto _ : State) {
    doc.Text_Type(u"x", 0, false);
    writer.Flush(true);
  }
  doc.EditObserver_Remove(&journalling);
}
BENCHMARK(BM_JournalSync)->Unit(benchmark::kMillisecond)->Iterations(50);

QByteArray MillionCharacterJournal() {
  TDocument doc;
  QByteArray bytes = Journal_Magic();
  TJournalEncoder encoder;
  bytes += encoder.Header(RJournalBase{}, 45000);
  struct TRecord final : TDocumentEditObserver {
    TJournalEncoder *Enc;
    QByteArray *Out;
    void Document_Edited(const TDocument &Doc, const RDocumentEdit &Edit) override {
      Enc->Edit(*Out, 0, Doc, Edit, 45000.5);
    }
  } record;
  record.Enc = &encoder;
  record.Out = &bytes;
  doc.EditObserver_Add(&record);
  for (int i = 1; i <= ReplayChars; ++i) {
    const QChar c =
        i % LineLength == 0 ? QChar(u'\n') : QChar(static_cast<char16_t>(u'a' + i % 26));
    doc.Text_Type(QStringView(&c, 1), 0, false);
    // The timer's flushes end the typed runs now and then.
    if (i % 40 == 0) encoder.FlushRun(bytes);
  }
  encoder.FlushRun(bytes);
  doc.EditObserver_Remove(&record);
  return bytes;
}

class TOneTab final : public TJournalTabs {
 public:
  std::unique_ptr<TDocument> Doc = std::make_unique<TDocument>();
  int JournalTabs_Count() const override { return 1; }
  TDocument &JournalTabs_Document(int) override { return *Doc; }
  QString JournalTabs_Title(int) const override { return QStringLiteral("Notes"); }
  void JournalTabs_Insert(int, const QString &, std::unique_ptr<TDocument>) override {}
  void JournalTabs_Rename(int, const QString &) override {}
  void JournalTabs_Move(int, int) override {}
  void JournalTabs_Delete(int) override {}
};

void BM_Replay1MCharacters(benchmark::State &State) {
  const QByteArray bytes = MillionCharacterJournal();
  for (auto _ : State) {
    const RJournalRead read = Journal_Read(bytes);
    TOneTab tab;
    const RJournalReplay r = Journal_Replay(read, tab);
    if (r.Stopped || r.TypedChars != ReplayChars) State.SkipWithError("replay incomplete");
    benchmark::DoNotOptimize(tab.Doc->Section_High());
  }
  State.counters["journal_MB"] = static_cast<double>(bytes.size()) / 1e6;
}
BENCHMARK(BM_Replay1MCharacters)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
