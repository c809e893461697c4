// Reads arbitrary bytes as a binder's OtherEvents block into the day files manager, the way a
// binder's bookmarks arrive when it is opened. Whatever the block holds, every event that was
// taken must be a real one (a known kind, a moment a day file can hold), and what the manager
// writes must read back into an empty manager as the same events and write the same bytes again.
// Any crash, leak, undefined behaviour or broken check is a finding.

#include "vl09_DayFilesManager.h"
#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlClock.h"
#include "vlFuzzSupport.h"
#include "vlSaveTarget.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

TvlDayFilesManager *Manager = nullptr;

QByteArray SaveEvents() {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  Check(out.File_OpenForRewritingOrDoErrorDialogs(QStringLiteral("events")));
  Manager->IO_SaveNonTypingEvents(out);
  Check(out.ErrorCount() == 0);
  Check(out.File_Close());
  return memory->Bytes();
}

// Reads Bytes from their first recognised line; answers the problems reported.
QString LoadEvents(const QByteArray &Bytes) {
  TvlXmlIn in;
  QString problem;
  if (!in.Bytes_Open(Bytes, QStringLiteral("events"), problem)) return problem;
  in.NextRecognizedTag();
  return Manager->IO_LoadNonTypingEvents(in);
}

// The live events that are not typing, as the block stores them.
int CountStoredEvents() {
  int count = 0;
  TvlDayFilesManager::TWalk walk = Manager->Walk();
  TEventID id = NoEventID;
  TvlEvent ev;
  while (walk.Next(id)) {
    if (!Manager->Event_FromEventID(id, ev) || ev.Kind == koeNone || ev.Kind == koeTyping) continue;
    Check(IsEventMoment(ev.When));
    Check(Manager->Files_FindDayFileForDate(ev.When) >= 0);
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  InstallFuzzEnvironment();
  static TManualClock clock(40059.5);  // 2009-09-03 noon
  SetClock(&clock);
  static TvlDayFilesManager manager;
  Manager = &manager;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *Data, std::size_t Size) {
  const QByteArray bytes(reinterpret_cast<const char *>(Data), qsizetype(Size));
  Manager->Clear();
  (void)LoadEvents(bytes);
  const int taken = CountStoredEvents();
  const QByteArray first = SaveEvents();

  Manager->Clear();
  Check(LoadEvents(first).isEmpty());
  Check(CountStoredEvents() == taken);
  Check(SaveEvents() == first);
  return 0;
}
