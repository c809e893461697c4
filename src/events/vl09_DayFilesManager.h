#pragma once
// The one entry point to all events. Keeps the day files that this run has touched (a day file's
// number is its place in the list and the upper bits of its events' IDs), creates the day file
// of a date when its first event arrives, routes every operation by ID to its day file, walks all
// events, moves an event to another day when its moment crosses midnight, and writes and reads
// the non-typing events as the OtherEvents block of a binder.
//
// It owns the event index, so that the index and the day files are always cleared together
// (stale IDs in the index would otherwise alias the new events after a clear).
//
// It is the process-wide singleton: a second one throws "vlSM is a singleton". Its TypingSink,
// installed behind the document's typing-event seam by the program (TvlProgram), makes typed and
// loaded characters typing events and takes theirs from deleted characters.
//
// Change counter: Generation() grows with every change of any event (add, delete, text, kind,
// moment, selection) and with Clear; a view may cache what it drew while it stays equal.
//
// User-interface thread only.

#include "vl09_DayFiles.h"
#include "vl09_EventIndex.h"
#include "vldRichString.h"
#include "vldTemporal.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class TvlXmlIn;
class TvlXmlOut;

class TvlDayFilesManager {
 public:
  TvlDayFilesManager();
  ~TvlDayFilesManager();
  TvlDayFilesManager(const TvlDayFilesManager &) = delete;
  TvlDayFilesManager &operator=(const TvlDayFilesManager &) = delete;

  TvlEventIndex &EventIndex() { return FIndex; }
  const TvlEventIndex &EventIndex() const { return FIndex; }
  bool Initialized() const { return FInitialized; }
  int DayFileCount() const { return static_cast<int>(FDayFiles.size()); }
  TvlDayFile *DayFile(int Number) const;
  std::uint64_t Generation() const { return FGeneration; }

  // ---- Day files
  // The number of the day file of Date's day, created when there is none; -1 when none can be
  // created (the 2047 limit, shown once per run).
  int Files_LoadDayFileForDateOrCreateIt(TDateTime Date);
  // The same without creating: -1 when that day has no day file.
  int Files_FindDayFileForDate(TDateTime Date) const;
  // Nothing is read from disk: day files live only in memory.
  void Files_LoadDayFilesTouchingTimeSpanIfAny(TDateTime FromDT, TDateTime TillDT) const;
  void Files_OnIdle_SaveDayFilesThatChanged() {}
  // Frees every day file and the index, then creates today's day file (number 0). IDs handed
  // out before mean nothing afterwards.
  void Clear();
  // Clear, keeping every live event that is not typing (bookmarks, symbols) under a new ID and
  // without its selection. The typing events of the documents still open are then filed again
  // by the caller: a binder that opens or closes leaves none of its predecessor's words behind,
  // and none twice.
  void Clear_KeepingNonTypingEvents();

  // ---- Adding and finding
  // The ID of the new event, of the existing identical live event, or -1 (no event moment, day
  // file full, no day file could be created).
  TEventID AddEvent(TKindOfEvent Kind, QChar What, TDateTime When, QStringView Text);
  // A live event with exactly these values. Never creates a day file.
  bool LookUp_GetEventID(TKindOfEvent Kind, QChar What, TDateTime When, QStringView Text,
                         TEventID &EventID) const;

  // Bookmarks, as the editor's function keys and the tracks set them.
  // A numbered marker "1".."9" (Digit 1..9) at When; -1 for another digit.
  TEventID AddNumberedBookmark(int Digit, TDateTime When);
  // A text label at When; What is " ", "|" or "*" as the caller's kind of label wants.
  TEventID AddLabelBookmark(TDateTime When, QStringView Text, QChar What = QChar(u' '));

  // ---- Typing events of characters
  // The typing event of one character filed at When (see TypingEventMoment). Duplicates are not
  // added: the existing event stands for both.
  TEventID AddTypingEvent(TDateTime When, QStringView Text);
  // Deletes the live typing event with this text at exactly When; false when there is none.
  bool RemoveTypingEvent(TDateTime When, QStringView Text);
  // The classic form: the typing event of Text at the character's filing moment. The review
  // showed that also looking at the real time could remove another character's event.
  void RemoveEvents(const RvlTimestamp &DualTS, QStringView Text);

  // ---- Routed by ID (an ID whose day file is not loaded: the quiet "invalid" result)
  bool AddLabel(TEventID EventID, QStringView Text);
  bool Event_Delete(TEventID EventID);
  void Event_Select(TEventID EventID);
  void Event_Deselect(TEventID EventID);
  bool Event_IsSelected(TEventID EventID) const;
  bool Event_FromEventID(TEventID EventID, TvlEvent &vlEvent) const;
  TKindOfEvent EventKind_FromEventID(TEventID EventID) const;
  bool EventKind_Override(TEventID EventID, TKindOfEvent NewKind);
  QString EventText_FromEventID(TEventID EventID) const;
  int EventTextCount_FromEventID(TEventID EventID) const;
  QChar EventWhat_FromEventID(TEventID EventID) const;
  TDateTime EventWhen_FromEventID(TEventID EventID) const;

  // Changes an event's moment. On the same day: in place, re-filed in the index, answer -1 (the
  // ID stays valid). On another day: the event (kind, character, text, selection) is added on
  // that day and, only when that worked, the old one deleted; answer the new ID, which the
  // caller must keep instead. When the move cannot be made nothing changes and the answer is -1.
  TEventID EventWhen_Override(TEventID EventID, TDateTime NewWhen);

  // ---- Walking
  // One walk over all events: day files by number, each in slot order, deleted slots included.
  // Each walk object has its own cursor, so walks may nest.
  class TWalk {
   public:
    explicit TWalk(const TvlDayFilesManager &Manager) : FManager(Manager) {}
    bool Next(TEventID &EventID);

   private:
    const TvlDayFilesManager &FManager;
    int FDayFile = 0;
    TEventPointer FCursor;
  };
  TWalk Walk() const { return TWalk(*this); }
  // The classic shared walk (a walk started inside another restarts it); prefer Walk().
  void Traversal_Start();
  bool Traversal_NextEventID(TEventID &EventID);
  // IDs of the events of one kind, in walk order (List cleared first).
  void ByKind_GetListOfEvents(TKindOfEvent KindOfEvent, std::vector<TEventID> &ResultList) const;
  // IDs with EarliestDT <= When < ButBeforeDT (deleted ones included), only the day files of
  // those days walked.
  void ByDateTime_GetListOfEvents(TDateTime EarliestDT, TDateTime ButBeforeDT,
                                  std::vector<TEventID> &ResultList) const;

  // ---- The OtherEvents block of a binder
  // "<OtherEvents>", one "<Event K=.. C=.. W=.. T=..>" line per live event that is not a typing
  // event, "</OtherEvents>". Label texts and characters are escaped so that any text survives.
  void IO_SaveNonTypingEvents(TvlXmlOut &vlXmlOut) const;
  // Reads the block at the reader's position, if it is there, adding its events (exact
  // duplicates are not added again). Unusable lines are skipped one by one; the answer lists
  // them as text (empty when all were read).
  QString IO_LoadNonTypingEvents(TvlXmlIn &vlXmlIn);

  // ---- Fast read access for the events library
  bool WhenOf(TEventID EventID, TDateTime &When) const;
  bool Matches(TEventID EventID, TKindOfEvent Kind, QChar What, QStringView Text) const;
  // The document's typing events go here once installed (vldRichString.h's seam).
  TTypingEventSink &TypingSink() { return FSink; }
  // Bytes of the day files and the index (for the benchmark).
  std::size_t MemoryBytes() const;

 private:
  class TSink final : public TTypingEventSink {
   public:
    explicit TSink(TvlDayFilesManager &Owner) : FOwner(Owner) {}
    void AddTypingEvent(TDateTime When, QStringView Text) override;
    void DeleteTypingEventAt(TDateTime When, QStringView Text) override;

   private:
    TvlDayFilesManager &FOwner;
  };
  friend class TvlDayFile;

  TvlDayFile *DayFileOfID(TEventID EventID) const;
  int AppendDayFile(TDateTime Date);
  void Changed() { ++FGeneration; }

  std::vector<std::unique_ptr<TvlDayFile>> FDayFiles;  // index = day-file number
  std::unordered_map<std::int64_t, int> FByDay;        // calendar day -> day-file number
  mutable std::int64_t FLastDay = -1;                  // the last day looked up ...
  mutable int FLastDayFile = -1;                       // ... and its day file
  TvlEventIndex FIndex;
  std::uint64_t FGeneration = 0;
  int FTraversalSN = 0;
  TEventPointer FTraversalCursor;
  bool FInitialized = false;
  bool FLimitReported = false;
  TSink FSink{*this};
};

// The manager in existence, or nullptr.
TvlDayFilesManager *vlDFM();
