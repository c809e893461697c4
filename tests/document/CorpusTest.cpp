// The damaged-file corpus (the fuzz targets' seeds and every file that once made a loader fail)
// run in the ordinary test build: each file loads as an isolated tab into a consistent document,
// and what that document saves loads again without a problem and saves to the same bytes.

#include "vl_Document.h"
#include "vldConsistency.h"

#include "vl09_XmlOut.h"
#include "vlClock.h"
#include "vlSaveTarget.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace {

QByteArray Save(TDocument &Doc, const QString &Title, int VertScrollbar) {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  if (!Doc.IO_Save(out, QStringLiteral("corpus.vlTab"), Title, VertScrollbar)) return {};
  return memory->Bytes();
}

}  // namespace

TEST(CorpusTest, EveryCorpusFileLoadsConsistentlyAndItsSaveComesBackTheSame) {
  // A fixed "now", so that two saves write the same WhenSaved.
  TManualClock clock(45000.5);
  TScopedClock scopedClock(clock);
  int files = 0;
  for (const char *folder : {"document/corpus", "formats/corpus"}) {
    const QDir dir(QStringLiteral(VL_FUZZ_DIR "/") + QString::fromLatin1(folder));
    for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
      SCOPED_TRACE((QString::fromLatin1(folder) + QLatin1Char('/') + name).toStdString());
      QFile file(dir.filePath(name));
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QByteArray bytes = file.readAll();
      ++files;

      TDocument doc;
      QString title;
      int vsb = 0;
      doc.IO_LoadFromBytes(bytes, name, title, vsb);
      EXPECT_EQ(DocumentConsistencyFault(doc), QString());

      const QByteArray saved = Save(doc, title, vsb);
      ASSERT_FALSE(saved.isEmpty());
      TDocument again;
      QString titleAgain;
      int vsbAgain = 0;
      EXPECT_EQ(again.IO_LoadFromBytes(saved, name, titleAgain, vsbAgain), QString());
      EXPECT_EQ(again.IO_LastLoad().StructuralTexts, QStringList());
      EXPECT_EQ(titleAgain, title);
      EXPECT_EQ(vsbAgain, vsb);
      EXPECT_EQ(DocumentConsistencyFault(again), QString());
      EXPECT_EQ(Save(again, titleAgain, vsbAgain), saved);
    }
  }
  EXPECT_GE(files, 10);  // the corpus is there
  TTestEnvironment::TestPrompts().Clear();
}
