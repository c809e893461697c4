// Writes and reads back a notes file of about 20 MB made of the lines a long document has: long
// paragraph text and timestamp lists, fonts, and stored events. The reading side walks every
// element and every attribute the way a loader does. The baselines only read the same bytes
// into memory or split them into lines, which bounds what the real work could reach.

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlNumberForms.h"

#include <benchmark/benchmark.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <random>
#include <vector>

namespace {

struct RParagraph {
  QString Text;  // encoded as the rich string writes it
  QString When;  // N + 1 timestamp pairs
  int N = 0;
};

struct REvent {
  TKindOfEvent Kind;
  QChar What;
  double When;
  QString Text;
};

struct RDocument {
  std::vector<RParagraph> Paragraphs;
  std::vector<REvent> Events;
};

// About 20 MB once written: the timestamp lists dominate, as they do in real files.
const RDocument &Document() {
  static const RDocument document = [] {
    RDocument d;
    std::mt19937 random(11);
    const QString words[] = {QStringLiteral("recording"),      QStringLiteral("notes"),
                             QStringLiteral("caf\u00E9"),      QStringLiteral("&AM;"),
                             QStringLiteral("&Q2;quoted&Q2;"), QStringLiteral("&9;"),
                             QStringLiteral("&f1;bold&f0;"),   QStringLiteral("timeline")};
    double moment = 45000.25;
    qsizetype total = 0;
    while (total < 20'000'000) {
      RParagraph p;
      p.Text = QStringLiteral("&f0;");
      while (p.Text.size() < 400 + int(random() % 1600)) {
        p.Text += words[random() % std::size(words)];
        p.Text += QLatin1Char(' ');
      }
      p.Text += QStringLiteral("&10;");
      p.N = int(p.Text.size());  // close enough for the benchmark's purpose
      p.When = QStringLiteral("(0,0)");
      for (int i = 0; i < p.N; ++i) {
        moment += 0.0000123;
        p.When += QLatin1Char('(');
        AppendTimestampNumber(p.When, moment + 0.00001);
        p.When += QLatin1Char(',');
        AppendTimestampNumber(p.When, moment);
        p.When += QLatin1Char(')');
      }
      total += p.Text.size() + p.When.size() + 40;
      d.Paragraphs.push_back(std::move(p));
    }
    for (int i = 0; i < 2000; ++i)
      d.Events.push_back({i % 2 ? koeMarker : koeLabel, QChar(u'1' + i % 9), 45000.5 + i * 0.001,
                          i % 2 ? QString() : QStringLiteral("label \"%1\"").arg(i)});
    return d;
  }();
  return document;
}

void WriteDocument(TvlXmlOut &Out) {
  const RDocument &d = Document();
  Out.Insert_TagOpenForAttributes(xtNotesDocBegin_);
  Out.Insert_Attribute("Version", 2);
  Out.Insert_AttributeE("TabTitle", QStringLiteral("Benchmark"));
  Out.Insert_TagClose_NoMoreAttributes();
  Out.Insert_TagWithoutAttributes(xtSectionsBegin);
  int id = 0;
  for (const RParagraph &p : d.Paragraphs) {
    Out.Insert_TagOpenForAttributes(xtParagraphBegin_);
    Out.Insert_Attribute("ID", id++);
    Out.Insert_TagClose_NoMoreAttributes();
    Out.Insert_TagOpenForAttributes(xtText_);
    Out.Insert_Attribute("N", p.N);
    Out.Insert_Attribute("T", p.Text);
    Out.Insert_TagClose_NoMoreAttributes();
    Out.Insert_TagOpenForAttributes(xtWhen_);
    Out.Insert_Attribute("L", p.When);
    Out.Insert_TagClose_NoMoreAttributes();
    Out.Insert_TagWithoutAttributes(xtParagraphEnd);
  }
  Out.Insert_TagWithoutAttributes(xtSectionsEnd);
  Out.Insert_TagWithoutAttributes(xtFontsBegin);
  for (int index = 0; index < 40; ++index) {
    Out.Insert_TagOpenForAttributes(xtFont_);
    Out.Insert_Attribute("Index", index);
    Out.Insert_AttributeE("Name", QStringLiteral("Comic Sans MS"));
    Out.Insert_Attribute("Style", TFontStyles(fsBold | fsItalic));
    Out.Insert_Attribute("Size", 10 + index % 8);
    Out.Insert_AttributeC("Color", 0x800000 + index);
    Out.Insert_TagClose_NoMoreAttributes();
  }
  Out.Insert_TagWithoutAttributes(xtFontsEnd);
  Out.Insert_TagWithoutAttributes(xtOtherEventsBegin);
  for (const REvent &e : d.Events) {
    Out.Insert_TagOpenForAttributes(xtEvent_);
    Out.Insert_Attribute("K", e.Kind);
    Out.Insert_Attribute("C", e.What);
    Out.Insert_Attribute("W", e.When);
    if (!e.Text.isEmpty()) Out.Insert_AttributeE("T", e.Text);
    Out.Insert_TagClose_NoMoreAttributes();
  }
  Out.Insert_TagWithoutAttributes(xtOtherEventsEnd);
  Out.Insert_TagWithoutAttributes(xtNotesDocEnd);
}

const QByteArray &DocumentBytes() {
  static const QByteArray bytes = [] {
    auto target = std::make_unique<TvlMemoryTarget>();
    TvlMemoryTarget *memory = target.get();
    TvlXmlOut out(std::move(target));
    out.File_OpenForRewritingOrDoErrorDialogs(QStringLiteral("memory"));
    WriteDocument(out);
    if (!out.File_Close()) std::abort();
    return memory->Bytes();
  }();
  return bytes;
}

const QString &DocumentFile() {
  static QTemporaryDir folder;
  static const QString path = [] {
    const QString p = folder.filePath(QStringLiteral("Benchmark.vlTab"));
    QFile file(p);
    if (!file.open(QIODevice::WriteOnly) || file.write(DocumentBytes()) != DocumentBytes().size())
      std::abort();
    return p;
  }();
  return path;
}

// Everything a loader asks of each element; ParseTimestamps also turns the lists into numbers.
std::int64_t ReadDocument(TvlXmlIn &In, bool ParseTimestamps) {
  std::int64_t sum = 0;
  for (; !In.EndOfFile(); In.NextRecognizedTag()) {
    switch (In.CurrentTag()) {
      case xtNotesDocBegin_: {
        int version = 0;
        QString title;
        In.Get("Version", version);
        In.GetE("TabTitle", title);
        sum += version + title.size();
        break;
      }
      case xtParagraphBegin_: {
        int id = 0;
        In.Get("ID", id);
        sum += id;
        break;
      }
      case xtText_: {
        int n = 0;
        QString text;
        In.Get("N", n);
        In.Get("T", text);
        sum += n + text.size();
        break;
      }
      case xtWhen_: {
        if (ParseTimestamps) {
          QByteArrayView list;
          if (!In.GetRaw("L", list)) break;
          // Pairs "(real,effective)" back to back.
          const char *p = list.data();
          const char *end = p + list.size();
          while (p < end) {
            const char *comma = static_cast<const char *>(std::memchr(p, ',', size_t(end - p)));
            if (!comma) break;
            const char *close =
                static_cast<const char *>(std::memchr(comma, ')', size_t(end - comma)));
            if (!close) break;
            double real = 0;
            double effective = 0;
            ParseDouble(QByteArrayView(p + 1, comma - p - 1), real);
            ParseDouble(QByteArrayView(comma + 1, close - comma - 1), effective);
            sum += real > effective;
            p = close + 1;
          }
        } else {
          QString list;
          In.Get("L", list);
          sum += list.size();
        }
        break;
      }
      case xtFont_: {
        int index = 0;
        int size = 0;
        QString name;
        TFontStyles style;
        TColor colour = 0;
        In.Get("Index", index);
        In.GetE("Name", name);
        In.Get("Style", style);
        In.Get("Size", size);
        In.GetC("Color", colour);
        sum += index + name.size() + size + colour + style.toInt();
        break;
      }
      case xtEvent_: {
        TKindOfEvent kind = koeNone;
        QChar what;
        TDateTime when = 0;
        QString text;
        In.Get("K", kind);
        In.Get("C", what);
        In.GetDT("W", when);
        In.GetE("T", text);
        sum += kind + what.unicode() + static_cast<std::int64_t>(when) + text.size();
        break;
      }
      default: break;
    }
  }
  return sum;
}

// Takes the bytes and forgets them: what is measured is the writer's own work (value forms,
// code page, line layout), not the growth of a 20 MB buffer.
class TCountingTarget final : public TvlSaveTarget {
 public:
  bool Open(const QString &) override {
    FCount = 0;
    return true;
  }
  bool Write(const char *Data, qsizetype Size) override {
    benchmark::DoNotOptimize(Data);
    FCount += Size;
    return true;
  }
  bool Commit() override { return true; }
  void Cancel() override {}
  QString ErrorString() const override { return QString(); }
  qsizetype Count() const { return FCount; }

 private:
  qsizetype FCount = 0;
};

void BM_Write(benchmark::State &State) {
  const qsizetype size = DocumentBytes().size();
  for (auto _ : State) {
    auto target = std::make_unique<TCountingTarget>();
    TCountingTarget *counter = target.get();
    TvlXmlOut out(std::move(target));
    out.File_OpenForRewritingOrDoErrorDialogs(QStringLiteral("memory"));
    WriteDocument(out);
    if (!out.File_Close() || counter->Count() != size) State.SkipWithError("write failed");
  }
  State.SetBytesProcessed(State.iterations() * size);
}

// The real path: a temporary file beside the target, synced and renamed over it.
void BM_WriteFileAtomically(benchmark::State &State) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("Written.vlTab"));
  const qsizetype size = DocumentBytes().size();
  for (auto _ : State) {
    TvlXmlOut out;
    if (!out.File_OpenForRewritingOrDoErrorDialogs(path)) State.SkipWithError("open failed");
    WriteDocument(out);
    if (!out.File_Close()) State.SkipWithError("close failed");
  }
  State.SetBytesProcessed(State.iterations() * size);
}

void BM_ReadFromMemory(benchmark::State &State) {
  const QByteArray &bytes = DocumentBytes();
  for (auto _ : State) {
    TvlXmlIn in;
    QString problem;
    in.Bytes_Open(bytes, QStringLiteral("memory"), problem);
    benchmark::DoNotOptimize(ReadDocument(in, false));
  }
  State.SetBytesProcessed(State.iterations() * bytes.size());
}

void BM_ReadFile(benchmark::State &State) {
  const QString &path = DocumentFile();
  for (auto _ : State) {
    TvlXmlIn in;
    QString problem;
    if (!in.File_OpenOrDoErrorDialogs(path, problem)) State.SkipWithError("open failed");
    benchmark::DoNotOptimize(ReadDocument(in, false));
  }
  State.SetBytesProcessed(State.iterations() * DocumentBytes().size());
}

void BM_ReadFileParsingTimestamps(benchmark::State &State) {
  const QString &path = DocumentFile();
  for (auto _ : State) {
    TvlXmlIn in;
    QString problem;
    if (!in.File_OpenOrDoErrorDialogs(path, problem)) State.SkipWithError("open failed");
    benchmark::DoNotOptimize(ReadDocument(in, true));
  }
  State.SetBytesProcessed(State.iterations() * DocumentBytes().size());
}

// Reads the file into a buffer that is reused, as the reader reuses its own.
void BM_BaselineReadFileIntoMemory(benchmark::State &State) {
  const QString &path = DocumentFile();
  QByteArray buffer(DocumentBytes().size(), Qt::Uninitialized);
  for (auto _ : State) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    benchmark::DoNotOptimize(file.read(buffer.data(), buffer.size()));
  }
  State.SetBytesProcessed(State.iterations() * DocumentBytes().size());
}

// A plain line splitter over the file, read in chunks of the reader's size.
void BM_BaselineSplitLinesOfFile(benchmark::State &State) {
  const QString &path = DocumentFile();
  QByteArray chunk(1 << 20, Qt::Uninitialized);
  for (auto _ : State) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    std::int64_t lines = 0;
    for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;) {
      const char *p = chunk.constData();
      const char *end = p + got;
      while (const char *newline =
                 static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)))) {
        ++lines;
        p = newline + 1;
      }
    }
    benchmark::DoNotOptimize(lines);
  }
  State.SetBytesProcessed(State.iterations() * DocumentBytes().size());
}

}  // namespace

BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFileAtomically)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFromMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFileParsingTimestamps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineReadFileIntoMemory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineSplitLinesOfFile)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
