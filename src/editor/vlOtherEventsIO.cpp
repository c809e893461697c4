#include "vlOtherEventsIO.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"

namespace {

TvlOtherEventsIO &DefaultEventsIO() {
  static TvlOtherEventsIO events;
  return events;
}

TvlOtherEventsIO *&InstalledEventsIO() {
  static TvlOtherEventsIO *installed = nullptr;
  return installed;
}

}  // namespace

void TvlOtherEventsIO::IO_SaveNonTypingEvents(TvlXmlOut &Out) {
  Out.Insert_TagWithoutAttributes(xtOtherEventsBegin);
  Out.Insert_TagWithoutAttributes(xtOtherEventsEnd);
}

QString TvlOtherEventsIO::IO_LoadNonTypingEvents(TvlXmlIn &In) {
  if (!In.BeginBlock(xtOtherEventsBegin, xtEvent_)) return {};
  while (In.CurrentTag() == xtEvent_) In.NextRecognizedTag();
  if (In.CurrentTag() == xtOtherEventsEnd) In.NextRecognizedTag();
  return {};
}

TvlOtherEventsIO &OtherEventsIO() {
  TvlOtherEventsIO *installed = InstalledEventsIO();
  return installed ? *installed : DefaultEventsIO();
}

void SetOtherEventsIO(TvlOtherEventsIO *Installed) { InstalledEventsIO() = Installed; }
