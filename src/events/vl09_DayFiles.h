#pragma once
// One calendar day of events in memory: bookmarks (numbered markers, labels, symbol marks), one
// event per typed character, and a few other kinds. Events are appended and never moved: the
// slot an event lands in is its event ID for the rest of the run (until the manager is cleared).
//
// Event ID layout, shared by everything that handles events:
//   ID = day-file number x 2^20 + segment x 2^10 + offset
// with segments 0..1023 and offsets 0..1022 (offset 1023 is never filled, so a day file holds at
// most 1024 x 1023 = 1,047,552 events). -1 is "no event"; 0 is a real ID (the first event of
// day file 0). IDs are decoded from their unsigned form so that -1 never aliases a day file.
//
// Storage: segments are created on demand and grow geometrically up to 1023 slots, so a day
// with one bookmark costs a few dozen bytes rather than a full segment. A slot is 16 bytes: a
// typing event's one character lives in the slot itself; longer texts (labels) sit in a side
// table keyed by the slot, so a typed character costs no heap block of its own.
//
// A day file keeps nothing on disk; the manager writes the non-typing events into the binder.
// Only the manager (vl09_DayFilesManager.h) creates day files; others reach events through it.
//
// User-interface thread only.

#include "vl09_XmlTags.h"
#include "vlDateTime.h"

#include <QChar>
#include <QString>
#include <QStringView>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class TvlEventIndex;

using TEventID = std::int32_t;
inline constexpr TEventID NoEventID = -1;

enum TTypeOfSelection : std::uint8_t { tosNone = 0, tosEditing = 1, tosMoving = 2 };

// One event as callers see it (copied by value).
struct TvlEvent {
  TKindOfEvent Kind = koeNone;  // koeNone marks a deleted slot
  QChar What;                   // "1".."9" of a marker, " ", "|" or "*" of a label, "1" typing
  TDateTime When = 0;           // local time, full precision
  QString Text;                 // typing: the character; label: the label's text
  TTypeOfSelection State = tosNone;
};

// A slot position: day-file number, segment and offset.
struct TEventPointer {
  std::int32_t DayFile = 0;
  std::int32_t Segment = -1;
  std::int32_t Offset = 1023;
};

namespace vlEventIDs {
inline constexpr int SegmentsPerDayFile = 1024;
inline constexpr int SlotsPerSegment = 1023;  // offsets 0..1022
inline constexpr int MaxDayFiles = 2047;      // day-file numbers 0..2046 keep IDs positive
inline constexpr std::int64_t MaxEventsPerDayFile =
    std::int64_t(SegmentsPerDayFile) * SlotsPerSegment;

constexpr TEventID Make(int DayFile, int Segment, int Offset) {
  return TEventID((std::uint32_t(DayFile) << 20) | (std::uint32_t(Segment) << 10) |
                  std::uint32_t(Offset));
}
// -1 for a negative ID.
constexpr int DayFileOf(TEventID ID) { return ID < 0 ? -1 : int(std::uint32_t(ID) >> 20); }
constexpr int SegmentOf(TEventID ID) { return int((std::uint32_t(ID) >> 10) & 1023u); }
constexpr int OffsetOf(TEventID ID) { return int(std::uint32_t(ID) & 1023u); }
}  // namespace vlEventIDs

// Moments the events accept: finite and within 1899-12-30 < When < 9999-12-31. Anything else
// (NaN, infinities, garbage from a file) means "no event", never an integer conversion of it.
inline constexpr TDateTime MaxEventMoment = 2958466.0;
inline bool IsEventMoment(TDateTime When) { return When > 0 && When < MaxEventMoment; }

class TvlDayFile {
 public:
  // Only the manager creates day files; Index is where every added event is filed.
  TvlDayFile(std::int32_t AssignDayFileNumber, TvlEventIndex &Index);
  ~TvlDayFile();
  TvlDayFile(const TvlDayFile &) = delete;
  TvlDayFile &operator=(const TvlDayFile &) = delete;

  // Empty, the day of today, historical until File_InitializeBlankDayFile says otherwise.
  void Initialize();
  // Makes this the day file of When's day.
  void File_InitializeBlankDayFile(TDateTime When);

  // Appends one event. Answers its ID; the ID of the existing event when a live event with the
  // same kind, character, moment and text is already filed; -1 when the moment is no event
  // moment or the day file is full (the full state is reported once per day file).
  TEventID AddEvent(TKindOfEvent Kind, QChar What, TDateTime When, QStringView Text);
  // Replaces the event's text (any kind). False when ID names no event here.
  bool AddLabel(TEventID EventID, QStringView Text);
  // A live event with exactly these four values, through the event index.
  bool IsListed_GetEventID(TKindOfEvent Kind, QChar What, TDateTime When, QStringView Text,
                           TEventID &EventID) const;

  // ---- By ID (invalid IDs: the quiet result; some report in DebugMode, as noted)
  bool Event_FromEventID(TEventID EventID, TvlEvent &Event) const;  // "E_FEI x"
  TKindOfEvent EventKind_FromEventID(TEventID EventID) const;       // "EK_FEI x", koeNone
  QChar EventWhat_FromEventID(TEventID EventID) const;              // "EWt_FEI x", "%"
  TDateTime EventWhen_FromEventID(TEventID EventID) const;          // "EWn_FEI x", Now
  // The text of typing and label events; empty for other kinds.
  QString EventText_FromEventID(TEventID EventID) const;  // "ET_FEI x"
  // Characters of a typing event's text; 0 for other kinds.
  int EventTextCount_FromEventID(TEventID EventID) const;
  // Sets the kind; not a change of content for saving.
  bool EventKind_Override(TEventID EventID, TKindOfEvent NewKind);
  // Sets the moment in place; the manager re-files the event in the index and moves events that
  // change day. "EW_O x" when ID names no event here.
  bool EventWhen_Override(TEventID EventID, TDateTime NewWhen);
  // Kind := koeNone. Slot, ID, moment and text stay. "E_D x".
  bool Event_Delete(TEventID EventID);
  void Event_Select(TEventID EventID);
  void Event_Deselect(TEventID EventID);
  bool Event_IsSelected(TEventID EventID) const;
  void Event_SetState(TEventID EventID, TTypeOfSelection State);

  // ---- Walking in slot order (order of addition), deleted slots included
  // A cursor of the caller's own: walks may nest. Start with a default TEventPointer.
  bool NextEventID(TEventPointer &Cursor, TEventID &EventID) const;
  // The single shared cursor of the classic interface; prefer NextEventID.
  void Traversal_Start();
  bool Traversal_NextEventID(TEventID &EventID);
  bool Traversal_Next(TvlEvent &Event);

  // Seconds of the day's recorded span. For today's day file: the seconds from midnight to now
  // plus 5, never beyond the day's 86,400.
  std::int32_t GetDayFileDuration();
  TDateTime DayFileEnd();
  // Positions used (a position count, not a count of live events).
  std::int64_t Count() const;

  QString AllowedToOverwrite_PathName() const { return FAllowedToOverwrite_PathName; }
  TDateTime DayFileWhen() const { return FDayFileWhen; }
  std::int32_t DayFileDuration() const { return FDayFileDuration; }
  std::int32_t DayFileNumber() const { return FDayFileNumber; }
  bool Historical() const { return FHistorical; }
  bool IsFull() const;

  TDateTime WhenLastSavedOrOpened = 0;
  bool ChangedSinceLastFileOperation = false;

  // ---- Fast read access for the events library (no copies, no reports)
  // The moment of a valid ID; false otherwise.
  bool WhenOf(TEventID EventID, TDateTime &When) const;
  // Kind, What and text equal (the text compared without building a string).
  bool Matches(TEventID EventID, TKindOfEvent Kind, QChar What, QStringView Text) const;
  // Kind, moment and character of a valid ID, without building a string (a track index walks a
  // whole day this way); false otherwise.
  bool PeekEvent(TEventID EventID, TKindOfEvent &Kind, TDateTime &When, QChar &What) const;
  // Appends the event's text (any kind) to Out; nothing for an invalid ID.
  void AppendTextTo(TEventID EventID, QString &Out) const;
  // Bytes held by the slots and texts (for the benchmark's memory figure).
  std::size_t MemoryBytes() const;

 private:
  // 16 bytes. TextMode: 0 no text, 1 the one character in Ch, 2 the text in FLongTexts.
  struct TSlot {
    TDateTime When;
    char16_t What;
    char16_t Ch;
    TKindOfEvent Kind;
    TTypeOfSelection State;
    std::uint8_t TextMode;
  };
  bool IsValidPos(int Segment, int Offset) const;
  const TSlot *SlotOf(TEventID EventID) const;
  TSlot *SlotOf(TEventID EventID);
  QString TextOf(const TSlot &S, TEventID EventID) const;
  void SetText(TSlot &S, TEventID EventID, QStringView Text);
  void ReportInvalid(const char *Code, TEventID EventID) const;

  std::vector<std::vector<TSlot>> FEvents;  // segments, created on demand
  TEventPointer FLast;
  TEventPointer FIndex;  // the shared traversal cursor
  TDateTime FDayFileWhen = 0;
  std::int32_t FDayFileDuration = 0;
  std::int32_t FDayFileNumber;
  bool FHistorical = true;
  bool FFullReported = false;
  QString FAllowedToOverwrite_PathName;
  std::unordered_map<std::int32_t, QString> FLongTexts;  // by ID
  TvlEventIndex &FEventIndex;
};
