// Reads arbitrary bytes as a binder's typing journal and replays it onto the tabs its header
// names, the way a binder is recovered after a crash. Whatever the bytes hold:
//   - the read is self-consistent: record ends grow, the sound part ends at the last of them,
//     damage is reported where the sound part ends, and the sound part alone reads back as the
//     same records with neither damage nor a torn end;
//   - replay says how many records it applied within what was read (the binder keeps exactly
//     those records for the next journal), and leaves every document consistent;
//   - the records replay applied, read and replayed again from the kept bytes, give the same
//     tabs and documents without stopping: a journal that continues after a recovery begins
//     with them.
// Every input is checked twice: as it is (damage and torn ends are found there) and with each
// record's length pair and checksum made right, so that mutated payloads get past the checksums
// into the decoder and the replay.
// Any crash, leak, undefined behaviour or broken check is a finding.

#include "vl09_XmlOut.h"
#include "vlClock.h"
#include "vlFuzzSupport.h"
#include "vlSaveTarget.h"
#include "vl_Document.h"
#include "vldConsistency.h"
#include "vldJournal.h"

#include <QtEndian>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

namespace {

class TFuzzTabs final : public TJournalTabs {
 public:
  std::vector<std::pair<QString, std::unique_ptr<TDocument>>> Tabs;

  int JournalTabs_Count() const override { return static_cast<int>(Tabs.size()); }
  TDocument &JournalTabs_Document(int Index) override {
    Check(Index >= 0 && Index < JournalTabs_Count());
    return *Tabs[static_cast<std::size_t>(Index)].second;
  }
  QString JournalTabs_Title(int Index) const override {
    Check(Index >= 0 && Index < JournalTabs_Count());
    return Tabs[static_cast<std::size_t>(Index)].first;
  }
  void JournalTabs_Insert(int Index, const QString &Title,
                          std::unique_ptr<TDocument> Doc) override {
    Check(Index >= 0 && Index <= JournalTabs_Count() && Doc);
    Tabs.insert(Tabs.begin() + Index, {Title, std::move(Doc)});
  }
  void JournalTabs_Rename(int Index, const QString &Title) override {
    Check(Index >= 0 && Index < JournalTabs_Count());
    Tabs[static_cast<std::size_t>(Index)].first = Title;
  }
  void JournalTabs_Move(int From, int To) override {
    Check(From >= 0 && From < JournalTabs_Count() && To >= 0 && To < JournalTabs_Count());
    auto tab = std::move(Tabs[static_cast<std::size_t>(From)]);
    Tabs.erase(Tabs.begin() + From);
    Tabs.insert(Tabs.begin() + To, std::move(tab));
  }
  void JournalTabs_Delete(int Index) override {
    Check(Index >= 0 && Index < JournalTabs_Count());
    Tabs.erase(Tabs.begin() + Index);
  }
};

// The tabs a journal's header says it began with, empty (what an unsaved binder holds).
void Begin(TFuzzTabs &Tabs, const RJournalRead &Read) {
  constexpr int MaxTabs = 64;
  if (Read.Records.empty()) return;
  const QStringList &titles = Read.Records[0].Base.Tabs;
  for (int i = 0; i < std::min<int>(MaxTabs, static_cast<int>(titles.size())); ++i)
    Tabs.Tabs.emplace_back(titles[i], std::make_unique<TDocument>());
}

QByteArray Save(TDocument &Doc, const QString &Title) {
  auto target = std::make_unique<TvlMemoryTarget>();
  TvlMemoryTarget *memory = target.get();
  TvlXmlOut out(std::move(target));
  Check(Doc.IO_Save(out, QStringLiteral("fuzz.vlTab"), Title, 0));
  return memory->Bytes();
}

void CheckRead(const RJournalRead &Read, qsizetype Size) {
  const qsizetype magic = Journal_Magic().size();
  Check(Read.Ends.size() == Read.Records.size());
  if (!Read.IsJournal) {
    Check(Read.Records.empty() && Read.GoodBytes == 0);
    return;
  }
  qsizetype at = magic;
  for (const qsizetype end : Read.Ends) {
    Check(end > at);
    at = end;
  }
  Check(Read.GoodBytes == at && Read.GoodBytes <= Size);
  Check(Read.Damaged == (Read.DamagedAt >= 0));
  if (Read.Damaged) Check(Read.DamagedAt == Read.GoodBytes && !Read.Problem.isEmpty());
  if (!Read.Damaged && !Read.TornEnd) Check(Read.GoodBytes == Size);
}

// The records of Bytes framed again: each record's length as its first field says (the rest of
// the bytes when it says more), with the second length and the checksum made to match.
QByteArray Reframed(const QByteArray &Bytes) {
  const QByteArray magic = Journal_Magic();
  constexpr qsizetype Prefix = 12;  // length, its complement, checksum
  if (!Bytes.startsWith(magic)) return {};
  QByteArray out = magic;
  qsizetype at = magic.size();
  while (at + Prefix <= Bytes.size()) {
    const qsizetype length = std::min<qsizetype>(qFromLittleEndian<quint32>(Bytes.constData() + at),
                                                 Bytes.size() - at - Prefix);
    out += Journal_Frame(Bytes.mid(at + Prefix, length));
    at += Prefix + length;
  }
  return out;
}

void CheckJournal(const QByteArray &Bytes) {
  const RJournalRead read = Journal_Read(Bytes);
  CheckRead(read, Bytes.size());
  if (!read.IsJournal) return;

  // The sound part alone: the same records, clean.
  const RJournalRead sound = Journal_Read(Bytes.left(read.GoodBytes));
  CheckRead(sound, read.GoodBytes);
  Check(sound.Ends == read.Ends && !sound.Damaged && !sound.TornEnd);
  if (read.Records.empty()) return;

  TFuzzTabs tabs;
  Begin(tabs, read);
  const RJournalReplay replay = Journal_Replay(read, tabs);
  Check(replay.Records >= 0 && static_cast<std::size_t>(replay.Records) < read.Records.size());
  Check(replay.Stopped == !replay.Problem.isEmpty());
  for (const auto &[title, doc] : tabs.Tabs) {
    const QString fault = DocumentConsistencyFault(*doc);
    if (!fault.isEmpty()) std::fprintf(stderr, "replay left: %s\n", qPrintable(fault));
    Check(fault.isEmpty());
  }

  // What a recovered binder keeps: the header and the records applied.
  const QByteArray kept = Bytes.left(read.Ends[static_cast<std::size_t>(replay.Records)]);
  const RJournalRead keptRead = Journal_Read(kept);
  Check(keptRead.Records.size() == static_cast<std::size_t>(replay.Records) + 1);
  TFuzzTabs again;
  Begin(again, keptRead);
  const RJournalReplay replayAgain = Journal_Replay(keptRead, again);
  Check(!replayAgain.Stopped && replayAgain.Records == replay.Records);
  Check(replayAgain.EventsBlock == replay.EventsBlock);
  Check(again.Tabs.size() == tabs.Tabs.size());
  for (std::size_t i = 0; i < tabs.Tabs.size(); ++i) {
    Check(again.Tabs[i].first == tabs.Tabs[i].first);
    Check(Save(*again.Tabs[i].second, again.Tabs[i].first) ==
          Save(*tabs.Tabs[i].second, tabs.Tabs[i].first));
  }
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
  CheckJournal(bytes);
  const QByteArray reframed = Reframed(bytes);
  if (!reframed.isEmpty() && reframed != bytes) CheckJournal(reframed);
  return 0;
}
