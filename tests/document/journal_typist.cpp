// A typist for the journal's kill test: types a fixed pseudo-random sequence of edits into a
// document, one edit a millisecond, with the journal writing as the program's does, and after
// each edit appends (edit number, CLOCK_MONOTONIC nanoseconds) to a progress file with write(2),
// so that whoever kills it knows what was typed when. Runs until killed.
//
//   journal_typist JOURNAL PROGRESS SEED

#include "vlClock.h"
#include "vl_Document.h"
#include "vldJournal.h"
#include "vldJournalTyping.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace {

class TJournalling final : public TDocumentEditObserver {
 public:
  explicit TJournalling(TJournalWriter &Writer) : FWriter(Writer) {}
  void Document_Edited(const TDocument &Doc, const RDocumentEdit &Edit) override {
    FWriter.Encoder().Edit(FWriter.Pending(), 0, Doc, Edit, Now());
    FWriter.Changed();
  }

 private:
  TJournalWriter &FWriter;
};

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  if (argc != 4) return 2;
  const QString journal = QString::fromLocal8Bit(argv[1]);
  const int progress = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
  if (progress < 0) return 3;
  TJournalTypingScript script(static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10)));

  TDocument doc;
  TJournalWriter writer;
  if (!writer.Start(journal, writer.Encoder().Header(RJournalBase{}, Now()))) return 4;
  TJournalling journalling(writer);
  doc.EditObserver_Add(&journalling);

  std::int64_t n = 0;
  QTimer typing;
  QObject::connect(&typing, &QTimer::timeout, [&] {
    script.Step(doc);
    ++n;
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::int64_t entry[2] = {n, std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec};
    if (::write(progress, entry, sizeof entry) != sizeof entry) std::abort();
  });
  typing.start(1);
  return app.exec();
}
