#include "vl09_EventIndex.h"

#include "vl09_DayFilesManager.h"
#include "vlGlobals.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

constexpr std::int64_t MSecsPerMinute = 60'000;
constexpr std::int64_t MSecsPerHour = 3'600'000;
constexpr std::int64_t WindowLimitSeconds = 3 * 3600;

std::int64_t FloorDiv(std::int64_t A, std::int64_t B) {
  const std::int64_t q = A / B;
  return (A % B != 0 && (A < 0) != (B < 0)) ? q - 1 : q;
}

}  // namespace

TvlEventIndex::TvlEventIndex(const TvlDayFilesManager &Manager) : FManager(Manager) {}

TvlEventIndex::~TvlEventIndex() = default;

TDateTime TvlEventIndex::EpochDT() { return EncodeDate(2006, 1, 1); }

TvlEventIndex::TSlotKey TvlEventIndex::SlotOf(TDateTime When) {
  // One whole number of milliseconds gives both hour and minute: computed apart in floating
  // point, 10:59:59.9996 would get hour 10 and minute 0.
  static const TDateTime epoch = EpochDT();
  const std::int64_t ms = std::llround((When - epoch) * 86'400'000.0);
  return TSlotKey{FloorDiv(ms, MSecsPerHour),
                  static_cast<int>(FloorDiv(ms, MSecsPerMinute) - FloorDiv(ms, MSecsPerHour) * 60)};
}

TDateTime TvlEventIndex::WhenOf(TEventID EventID) const {
  TDateTime when = 0;
  FManager.WhenOf(EventID, when);
  return when;
}

std::size_t TvlEventIndex::LowerBound(const TMinuteList &List, TDateTime When) const {
  const auto it = std::partition_point(List.begin(), List.end(),
                                       [&](TEventID ID) { return WhenOf(ID) < When; });
  return static_cast<std::size_t>(it - List.begin());
}

const TvlEventIndex::TMinuteList *TvlEventIndex::ListOf(const TSlotKey &Key) const {
  const auto it = FHours.find(Key.Hour);
  if (it == FHours.end()) return nullptr;
  const TMinuteList &list = it->second->Minutes[static_cast<std::size_t>(Key.Minute)];
  return list.empty() ? nullptr : &list;
}

void TvlEventIndex::AddEventIDToIndex(TEventID EventID, TDateTime When) {
  if (!IsEventMoment(When)) return;
  const TSlotKey key = SlotOf(When);
  std::unique_ptr<THourOfEvents> &hour = FHours[key.Hour];
  if (!hour) hour = std::make_unique<THourOfEvents>();
  TMinuteList &list = hour->Minutes[static_cast<std::size_t>(key.Minute)];
  // After every event at or before When: equal moments keep their filing order. Registration
  // mostly comes in time order, so look at the end first.
  if (list.empty() || WhenOf(list.back()) <= When) {
    list.push_back(EventID);
    return;
  }
  const auto it = std::partition_point(list.begin(), list.end(),
                                       [&](TEventID ID) { return WhenOf(ID) <= When; });
  list.insert(it, EventID);
}

bool TvlEventIndex::DeleteEventIDFromIndex(TEventID EventID, TDateTime FiledWhen) {
  if (!IsEventMoment(FiledWhen)) return false;
  const TSlotKey key = SlotOf(FiledWhen);
  const auto hour = FHours.find(key.Hour);
  if (hour == FHours.end()) return false;
  TMinuteList &list = hour->second->Minutes[static_cast<std::size_t>(key.Minute)];
  const auto it = std::find(list.begin(), list.end(), EventID);
  if (it == list.end()) return false;
  list.erase(it);
  if (list.empty()) {
    list.shrink_to_fit();
    const auto &minutes = hour->second->Minutes;
    if (std::all_of(minutes.begin(), minutes.end(), [](const TMinuteList &l) { return l.empty(); }))
      FHours.erase(hour);
  }
  return true;
}

bool TvlEventIndex::DeleteEventIDFromIndex(TEventID EventID) {
  TDateTime when = 0;
  return FManager.WhenOf(EventID, when) && DeleteEventIDFromIndex(EventID, when);
}

bool TvlEventIndex::GetEventIDFromExactWhen(TDateTime ExactWhen, TEventID &EventID) const {
  EventID = NoEventID;
  if (!IsEventMoment(ExactWhen)) return false;
  const TMinuteList *list = ListOf(SlotOf(ExactWhen));
  if (!list) return false;
  const std::size_t i = LowerBound(*list, ExactWhen);
  if (i == list->size() || WhenOf((*list)[i]) != ExactWhen) return false;
  EventID = (*list)[i];
  return true;
}

bool TvlEventIndex::GetEventIDFromExactContents(TKindOfEvent ExactKind, QChar ExactWhat,
                                                TDateTime ExactWhen, QStringView ExactText,
                                                TEventID &EventID) const {
  EventID = NoEventID;
  if (!IsEventMoment(ExactWhen)) return false;
  const TMinuteList *list = ListOf(SlotOf(ExactWhen));
  if (!list) return false;
  for (std::size_t i = LowerBound(*list, ExactWhen); i < list->size(); ++i) {
    const TEventID id = (*list)[i];
    if (WhenOf(id) != ExactWhen) break;
    if (FManager.Matches(id, ExactKind, ExactWhat, ExactText)) {
      EventID = id;
      return true;
    }
  }
  return false;
}

void TvlEventIndex::ListEventIDsForTimePeriod(std::vector<TEventID> &IDs, TDateTime FromDT,
                                              TDateTime ToDT) const {
  if (!IsEventMoment(FromDT) || !IsEventMoment(ToDT) || FromDT > ToDT) return;
  // Whole seconds, with a little room so that 3 hours computed as 10799.99999 s counts as 3 hours.
  if (static_cast<std::int64_t>(std::floor((ToDT - FromDT) * 86400.0 + 1e-6)) >= WindowLimitSeconds)
    return;
  const std::size_t before = IDs.size();
  const TSlotKey from = SlotOf(FromDT), to = SlotOf(ToDT);
  for (std::int64_t h = from.Hour; h <= to.Hour; ++h) {
    const auto hour = FHours.find(h);
    if (hour == FHours.end()) continue;
    const int m0 = h == from.Hour ? from.Minute : 0, m1 = h == to.Hour ? to.Minute : 59;
    for (int m = m0; m <= m1; ++m) {
      const TMinuteList &list = hour->second->Minutes[static_cast<std::size_t>(m)];
      if (list.empty()) continue;
      for (std::size_t i = LowerBound(list, FromDT); i < list.size(); ++i) {
        const TDateTime t = WhenOf(list[i]);
        if (t < ToDT || (t == FromDT && FromDT == ToDT))
          IDs.push_back(list[i]);
        else
          break;
      }
    }
  }
  // The lists are visited in time order, so only a list that held IDs before needs merging.
  if (before > 0 && IDs.size() > before) {
    std::inplace_merge(IDs.begin(), IDs.begin() + static_cast<std::ptrdiff_t>(before), IDs.end(),
                       [&](TEventID A, TEventID B) { return WhenOf(A) < WhenOf(B); });
  }
}

QString TvlEventIndex::GetKeyboardingStr(TDateTime FromWhen, TDateTime ToWhen) const {
  std::vector<TEventID> ids;
  ListEventIDsForTimePeriod(ids, FromWhen, ToWhen);
  QString out;
  for (const TEventID id : ids) {
    const QString text = FManager.EventText_FromEventID(id);
    if (text.isEmpty()) continue;
    out += text;
    out += u' ';
  }
  return out;
}

TDateTime TvlEventIndex::MaximumKeyboardingDensityFD(int WindowSizeInNumberOfChars) const {
  TDateTime best = 1;
  if (WindowSizeInNumberOfChars <= 0) return best;
  for (const auto &[h, hour] : FHours) {
    for (const TMinuteList &list : hour->Minutes) {
      if (list.empty()) continue;
      std::int64_t sum = 0;
      for (const TEventID id : list) sum += FManager.EventText_FromEventID(id).size();
      if (sum == 0 || sum < WindowSizeInNumberOfChars) continue;
      const TDateTime span = WhenOf(list.back()) - WhenOf(list.front());
      best = std::min(best, WindowSizeInNumberOfChars * span / static_cast<double>(sum));
    }
  }
  return best;
}

void TvlEventIndex::MaybeDumpDataToTraceFile() const {
  if (!ErrorLog().DebugSwitch()) return;
  std::vector<std::int64_t> hours;
  hours.reserve(FHours.size());
  for (const auto &entry : FHours) hours.push_back(entry.first);
  std::sort(hours.begin(), hours.end());
  const TDateTime epoch = EpochDT();
  for (const std::int64_t h : hours) {
    const TDateTime start = epoch + static_cast<double>(h) / 24.0;
    const RDecodedDateTime d = DecodeDateTime(start);
    TraceWrite(QLocale::system().toString(DateTimeToQDateTime(start).date(), QLocale::ShortFormat) +
               QStringLiteral("   Hour ") + QStringLiteral("%1").arg(d.Hour, 2, 10, QChar(u'0')));
    const auto &minutes = FHours.at(h)->Minutes;
    for (int m = 0; m < 60; ++m) {
      const TMinuteList &list = minutes[static_cast<std::size_t>(m)];
      if (list.empty()) continue;
      QString line = QStringLiteral("   %1:%2 - ").arg(d.Hour).arg(m, 2, 10, QChar(u'0'));
      for (std::size_t i = 0; i < list.size(); ++i)
        line += QStringLiteral("  %1*%2%3")
                    .arg(i)
                    .arg(list[i])
                    .arg(FManager.EventText_FromEventID(list[i]));
      TraceWrite(line);
    }
  }
}

void TvlEventIndex::Clear() { FHours.clear(); }

std::uint64_t TvlEventIndex::Generation() const { return FManager.Generation(); }

std::size_t TvlEventIndex::MemoryBytes() const {
  // Per hash node: the key, the pointer and the node's own link, plus the bucket.
  std::size_t bytes = FHours.bucket_count() * sizeof(void *);
  for (const auto &entry : FHours) {
    bytes += sizeof(entry) + sizeof(void *) + sizeof(THourOfEvents);
    for (const TMinuteList &list : entry.second->Minutes)
      bytes += list.capacity() * sizeof(TEventID);
  }
  return bytes;
}
