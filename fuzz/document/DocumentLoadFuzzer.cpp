// Loads arbitrary bytes as an isolated tab file. Whatever they hold, the document must come out
// consistent (sequences in step, valid fonts, the caret on a real place, anchors and anchored
// lists agreeing), and what it saves must load again without a single problem and save to the
// same bytes. Any crash, leak, undefined behaviour or broken check is a finding.

#include "vl09_XmlOut.h"
#include "vlAppPaths.h"
#include "vlClock.h"
#include "vlFuzzSupport.h"
#include "vlGlobals.h"
#include "vlPrompts.h"
#include "vlSaveTarget.h"
#include "vl_Document.h"
#include "vldConsistency.h"

#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

void CheckConsistent(const TDocument &Doc) { Check(DocumentConsistencyFault(Doc).isEmpty()); }

QByteArray Save(TDocument &Doc, const QString &Title, int VertScrollbar) {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  Check(Doc.IO_Save(out, QStringLiteral("fuzz.vlTab"), Title, VertScrollbar));
  return memory->Bytes();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InstallFuzzEnvironment();
  // A fixed "now", so that two saves write the same WhenSaved.
  static TManualClock clock(45000.5);
  SetClock(&clock);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  const QByteArray bytes(reinterpret_cast<const char *>(Data), qsizetype(Size));
  TDocument doc;
  QString title;
  int vsb = 0;
  doc.IO_LoadFromBytes(bytes, QStringLiteral("fuzz.vlTab"), title, vsb);
  CheckConsistent(doc);

  const QByteArray first = Save(doc, title, vsb);
  TDocument again;
  QString titleAgain;
  int vsbAgain = 0;
  const QString problems =
      again.IO_LoadFromBytes(first, QStringLiteral("fuzz.vlTab"), titleAgain, vsbAgain);
  Check(problems.isEmpty());
  Check(again.IO_LastLoad().StructuralProblems == 0);
  Check(titleAgain == title && vsbAgain == vsb);
  CheckConsistent(again);
  Check(Save(again, titleAgain, vsbAgain) == first);
  return 0;
}
