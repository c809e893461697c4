#include "vlEventsTestSupport.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlSaveTarget.h"

QByteArray EventsRig::SavedBlock() const {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  EXPECT_TRUE(out.File_OpenForRewritingOrDoErrorDialogs(QStringLiteral("block")));
  M.IO_SaveNonTypingEvents(out);
  EXPECT_TRUE(out.File_Close());
  return memory->Bytes();
}

QString EventsRig::LoadBlock(const QByteArray &Bytes) {
  TvlXmlIn in;
  QString err;
  EXPECT_TRUE(in.Bytes_Open(Bytes, QStringLiteral("block"), err));
  in.Next_SearchFor(xtOtherEventsBegin);
  return M.IO_LoadNonTypingEvents(in);
}
