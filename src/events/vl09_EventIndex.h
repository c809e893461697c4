#pragma once
// Finds events by time. Day files store events in order of addition; the index files every event
// ID under the hour and minute of its moment, each minute's IDs kept in ascending order of the
// events' moments (equal moments in order of filing). Questions about one moment or a short
// window then look at a few minute lists, each searched by bisection.
//
// Hours are counted from 2006-01-01 00:00 as a signed floor, in a hash: a moment before 2006 gets
// an hour of its own (not the mirror of one after it), and a far-future moment costs one entry,
// not an array up to it. Hour and minute both come from one whole number of milliseconds, so the
// slot of a moment never decreases as the moment increases and a window's minute lists always
// hold every event inside it.
//
// The lists keep IDs only; moments are read from the day files through the manager, so an
// event whose moment changes must be re-filed (the manager does so). Deleted events stay filed:
// readers that care filter by kind.
//
// User-interface thread only.

#include "vl09_DayFiles.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class TvlDayFilesManager;

class TvlEventIndex {
 public:
  explicit TvlEventIndex(const TvlDayFilesManager &Manager);
  ~TvlEventIndex();
  TvlEventIndex(const TvlEventIndex &) = delete;
  TvlEventIndex &operator=(const TvlEventIndex &) = delete;

  // 1 January 2006, 00:00.
  static TDateTime EpochDT();

  // Files ID under When (the event's moment). Moments that are no event moment are ignored.
  void AddEventIDToIndex(TEventID EventID, TDateTime When);
  // Removes ID from the list of the moment it is filed under; false when it is not there.
  bool DeleteEventIDFromIndex(TEventID EventID, TDateTime FiledWhen);
  // The same, with the event's current moment.
  bool DeleteEventIDFromIndex(TEventID EventID);

  // The first event (in filing order) whose moment equals ExactWhen exactly, whatever its kind,
  // deleted ones included.
  bool GetEventIDFromExactWhen(TDateTime ExactWhen, TEventID &EventID) const;
  // The first event with exactly this moment, kind, character and text (case-sensitive). A
  // deleted event has kind koeNone, so asking for a real kind finds live events only.
  bool GetEventIDFromExactContents(TKindOfEvent ExactKind, QChar ExactWhat, TDateTime ExactWhen,
                                   QStringView ExactText, TEventID &EventID) const;
  // Appends every filed ID with FromDT <= When < ToDT, or When = FromDT = ToDT, keeping IDs in
  // chronological order (merged with what IDs already holds). Nothing when FromDT > ToDT, when
  // the span is 3 hours or more, or when an end is no event moment. Deleted events included.
  void ListEventIDsForTimePeriod(std::vector<TEventID> &IDs, TDateTime FromDT,
                                 TDateTime ToDT) const;
  // The texts of the window's events in time order, each followed by one space.
  QString GetKeyboardingStr(TDateTime FromWhen, TDateTime ToWhen) const;
  // The shortest span in which WindowSizeInNumberOfChars characters were typed, measured per
  // minute list; 1 (one day) when no list holds that many or the size is not positive.
  TDateTime MaximumKeyboardingDensityFD(int WindowSizeInNumberOfChars) const;
  // In DebugMode, the whole index to the trace file.
  void MaybeDumpDataToTraceFile() const;

  // Forgets every filed ID. The manager's Clear calls it together with its own.
  void Clear();
  // The manager's change counter: a view caching a window may keep it while this stays equal.
  std::uint64_t Generation() const;

  // Hours holding at least one list (for tests).
  std::size_t HourCount() const { return FHours.size(); }
  // Bytes held by the lists (for the benchmark's memory figure).
  std::size_t MemoryBytes() const;

  // Slot of a moment: the signed hour since the epoch and the minute 0..59.
  struct TSlotKey {
    std::int64_t Hour;
    int Minute;
  };
  static TSlotKey SlotOf(TDateTime When);

 private:
  using TMinuteList = std::vector<TEventID>;
  struct THourOfEvents {
    std::array<TMinuteList, 60> Minutes;
  };
  const TMinuteList *ListOf(const TSlotKey &Key) const;
  TDateTime WhenOf(TEventID EventID) const;
  // Position of the first ID in List whose moment is not below When.
  std::size_t LowerBound(const TMinuteList &List, TDateTime When) const;

  const TvlDayFilesManager &FManager;
  std::unordered_map<std::int64_t, std::unique_ptr<THourOfEvents>> FHours;
};
