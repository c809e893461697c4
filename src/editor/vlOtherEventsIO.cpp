#include "vlOtherEventsIO.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"

namespace {

TvlOtherEventsIO &DefaultEventsIO() {
  static TvlOtherEventsIO events;
  return events;
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

TSeam<TvlOtherEventsIO> &OtherEventsIOSeam() {
  static TSeam<TvlOtherEventsIO> seam(DefaultEventsIO());
  return seam;
}

TvlOtherEventsIO &OtherEventsIO() { return OtherEventsIOSeam().Get(); }

void SetOtherEventsIO(TvlOtherEventsIO *Installed) { OtherEventsIOSeam().Install(Installed); }
