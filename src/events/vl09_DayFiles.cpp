#include "vl09_DayFiles.h"

#include "vl09_EventIndex.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlPrompts.h"

#include <algorithm>
#include <cmath>

using namespace vlEventIDs;

namespace {

const QChar InvalidWhat = QChar(u'%');

// The first segment gets a few slots, then each growth doubles up to a full segment: a day with
// a handful of bookmarks stays small, and a full segment holds exactly 1023 slots.
constexpr std::size_t FirstSegmentCapacity = 8;

}  // namespace

TvlDayFile::TvlDayFile(std::int32_t AssignDayFileNumber, TvlEventIndex &Index)
    : FDayFileNumber(AssignDayFileNumber), FEventIndex(Index) {
  Initialize();
}

TvlDayFile::~TvlDayFile() = default;

void TvlDayFile::Initialize() {
  FEvents.clear();
  FLongTexts.clear();
  FLast = TEventPointer{FDayFileNumber, -1, SlotsPerSegment};
  FIndex = FLast;
  FDayFileWhen = DateOf(Now());
  FHistorical = true;
  FFullReported = false;
  ChangedSinceLastFileOperation = false;
}

void TvlDayFile::File_InitializeBlankDayFile(TDateTime When) {
  FDayFileWhen = std::floor(When);
  FHistorical = DateOf(Now()) != FDayFileWhen;
  WhenLastSavedOrOpened = 0;
  FAllowedToOverwrite_PathName.clear();
  ChangedSinceLastFileOperation = false;
}

bool TvlDayFile::IsFull() const {
  return FLast.Segment == SegmentsPerDayFile - 1 && FLast.Offset >= SlotsPerSegment - 1;
}

// ---- Adding ------------------------------------------------------------------------------

TEventID TvlDayFile::AddEvent(TKindOfEvent Kind, QChar What, TDateTime When, QStringView Text) {
  if (!IsEventMoment(When)) return NoEventID;
  // Logged, never raised: the day of 1899-12-30 starts at 0, and moments that small come from
  // text loaded without real moments. A report that interrupted (DebugMode) would leave a typed
  // character half inserted or a binder half loaded.
  if (FDayFileWhen == 0) ErrorReport(false, QStringLiteral("DayFile start time unknown"));

  // An identical live event stands for this one: callers get its ID and may edit it.
  TEventID existing = NoEventID;
  if (FEventIndex.GetEventIDFromExactContents(Kind, What, When, Text, existing)) return existing;

  // Checked before the cursor moves: stepping past the last slot would make an ID of the next
  // day file's first segment.
  if (IsFull()) {
    if (!FFullReported) {
      FFullReported = true;
      const QString msg =
          QStringLiteral("Sorry, there are too many events in the current DayFile.");
      ErrorReport(false, msg);
      Prompts().Message(msg, TPromptIcon::piWarning);
    }
    return NoEventID;
  }
  int seg = FLast.Segment, off = FLast.Offset + 1;
  if (off > SlotsPerSegment - 1) {
    ++seg;
    off = 0;
  }
  if (seg >= static_cast<int>(FEvents.size())) FEvents.emplace_back();
  std::vector<TSlot> &segment = FEvents[static_cast<std::size_t>(seg)];
  if (segment.size() == segment.capacity())
    segment.reserve(std::min<std::size_t>(std::max(FirstSegmentCapacity, segment.capacity() * 2),
                                          SlotsPerSegment));
  segment.push_back(TSlot{When, What.unicode(), 0, Kind, tosNone, 0});
  FLast.Segment = seg;
  FLast.Offset = off;
  const TEventID id = Make(FDayFileNumber, seg, off);
  SetText(segment.back(), id, Text);
  ChangedSinceLastFileOperation = true;
  FEventIndex.AddEventIDToIndex(id, When);
  return id;
}

bool TvlDayFile::AddLabel(TEventID EventID, QStringView Text) {
  TSlot *s = SlotOf(EventID);
  if (!s) return false;
  SetText(*s, EventID, Text);
  ChangedSinceLastFileOperation = true;
  return true;
}

bool TvlDayFile::IsListed_GetEventID(TKindOfEvent Kind, QChar What, TDateTime When,
                                     QStringView Text, TEventID &EventID) const {
  return FEventIndex.GetEventIDFromExactContents(Kind, What, When, Text, EventID);
}

// ---- Slots -------------------------------------------------------------------------------

bool TvlDayFile::IsValidPos(int Segment, int Offset) const {
  if (Segment < 0 || Segment > FLast.Segment) return false;
  if (Offset < 0 || Offset > SlotsPerSegment - 1) return false;
  return Segment < FLast.Segment || Offset <= FLast.Offset;
}

const TvlDayFile::TSlot *TvlDayFile::SlotOf(TEventID EventID) const {
  if (EventID < 0 || DayFileOf(EventID) != FDayFileNumber) return nullptr;
  const int seg = SegmentOf(EventID), off = OffsetOf(EventID);
  if (!IsValidPos(seg, off)) return nullptr;
  return &FEvents[static_cast<std::size_t>(seg)][static_cast<std::size_t>(off)];
}

TvlDayFile::TSlot *TvlDayFile::SlotOf(TEventID EventID) {
  return const_cast<TSlot *>(std::as_const(*this).SlotOf(EventID));
}

QString TvlDayFile::TextOf(const TSlot &S, TEventID EventID) const {
  switch (S.TextMode) {
    case 1: return QString(QChar(S.Ch));
    case 2: {
      const auto it = FLongTexts.find(EventID);
      return it == FLongTexts.end() ? QString() : it->second;
    }
    default: return QString();
  }
}

void TvlDayFile::SetText(TSlot &S, TEventID EventID, QStringView Text) {
  if (S.TextMode == 2) FLongTexts.erase(EventID);
  if (Text.isEmpty()) {
    S.TextMode = 0;
    S.Ch = 0;
  } else if (Text.size() == 1) {
    S.TextMode = 1;
    S.Ch = Text[0].unicode();
  } else {
    S.TextMode = 2;
    S.Ch = 0;
    FLongTexts[EventID] = Text.toString();
  }
}

bool TvlDayFile::WhenOf(TEventID EventID, TDateTime &When) const {
  const TSlot *s = SlotOf(EventID);
  if (!s) return false;
  When = s->When;
  return true;
}

bool TvlDayFile::Matches(TEventID EventID, TKindOfEvent Kind, QChar What, QStringView Text) const {
  const TSlot *s = SlotOf(EventID);
  if (!s || s->Kind != Kind || s->What != What.unicode()) return false;
  switch (s->TextMode) {
    case 0: return Text.isEmpty();
    case 1: return Text.size() == 1 && Text[0].unicode() == s->Ch;
    default: {
      const auto it = FLongTexts.find(EventID);
      return it != FLongTexts.end() && QStringView(it->second) == Text;
    }
  }
}

std::size_t TvlDayFile::MemoryBytes() const {
  std::size_t bytes = sizeof(*this) + FEvents.capacity() * sizeof(std::vector<TSlot>);
  for (const std::vector<TSlot> &s : FEvents) bytes += s.capacity() * sizeof(TSlot);
  for (const auto &[id, text] : FLongTexts)
    bytes += sizeof(id) + sizeof(text) + 2 * sizeof(void *) + std::size_t(text.capacity()) * 2;
  return bytes;
}

void TvlDayFile::ReportInvalid(const char *Code, TEventID EventID) const {
  if (!ErrorLog().DebugSwitch()) return;
  ErrorReportInDebug(
      QString::fromLatin1(Code) + QStringLiteral(" x") +
      QStringLiteral("%1").arg(std::uint32_t(EventID), 5, 16, QChar(u'0')).toUpper());
}

// ---- By ID -------------------------------------------------------------------------------

bool TvlDayFile::Event_FromEventID(TEventID EventID, TvlEvent &Event) const {
  const TSlot *s = SlotOf(EventID);
  if (!s) {
    ReportInvalid("E_FEI", EventID);
    return false;
  }
  Event.Kind = s->Kind;
  Event.What = QChar(s->What);
  Event.When = s->When;
  Event.Text = TextOf(*s, EventID);
  Event.State = s->State;
  return true;
}

TKindOfEvent TvlDayFile::EventKind_FromEventID(TEventID EventID) const {
  const TSlot *s = SlotOf(EventID);
  if (!s) ReportInvalid("EK_FEI", EventID);
  return s ? s->Kind : koeNone;
}

QChar TvlDayFile::EventWhat_FromEventID(TEventID EventID) const {
  const TSlot *s = SlotOf(EventID);
  if (!s) ReportInvalid("EWt_FEI", EventID);
  return s ? QChar(s->What) : InvalidWhat;
}

TDateTime TvlDayFile::EventWhen_FromEventID(TEventID EventID) const {
  const TSlot *s = SlotOf(EventID);
  if (!s) {
    ReportInvalid("EWn_FEI", EventID);
    return Now();
  }
  return s->When;
}

QString TvlDayFile::EventText_FromEventID(TEventID EventID) const {
  const TSlot *s = SlotOf(EventID);
  if (!s) {
    ReportInvalid("ET_FEI", EventID);
    return QString();
  }
  return s->Kind == koeTyping || s->Kind == koeLabel ? TextOf(*s, EventID) : QString();
}

int TvlDayFile::EventTextCount_FromEventID(TEventID EventID) const {
  const TSlot *s = SlotOf(EventID);
  if (!s || s->Kind != koeTyping) return 0;
  return s->TextMode == 1 ? 1 : static_cast<int>(TextOf(*s, EventID).size());
}

bool TvlDayFile::EventKind_Override(TEventID EventID, TKindOfEvent NewKind) {
  TSlot *s = SlotOf(EventID);
  if (!s) return false;
  s->Kind = NewKind;
  return true;
}

bool TvlDayFile::EventWhen_Override(TEventID EventID, TDateTime NewWhen) {
  TSlot *s = SlotOf(EventID);
  if (!s) {
    ReportInvalid("EW_O", EventID);
    return false;
  }
  s->When = NewWhen;
  ChangedSinceLastFileOperation = true;
  return true;
}

bool TvlDayFile::Event_Delete(TEventID EventID) {
  TSlot *s = SlotOf(EventID);
  if (!s) {
    ReportInvalid("E_D", EventID);
    return false;
  }
  s->Kind = koeNone;
  ChangedSinceLastFileOperation = true;
  return true;
}

void TvlDayFile::Event_SetState(TEventID EventID, TTypeOfSelection State) {
  if (TSlot *s = SlotOf(EventID)) s->State = State;
}

void TvlDayFile::Event_Select(TEventID EventID) { Event_SetState(EventID, tosMoving); }
void TvlDayFile::Event_Deselect(TEventID EventID) { Event_SetState(EventID, tosNone); }

bool TvlDayFile::Event_IsSelected(TEventID EventID) const {
  const TSlot *s = SlotOf(EventID);
  return s && s->State == tosMoving;
}

// ---- Walking -----------------------------------------------------------------------------

bool TvlDayFile::NextEventID(TEventPointer &Cursor, TEventID &EventID) const {
  int seg = Cursor.Segment, off = Cursor.Offset + 1;
  if (off > SlotsPerSegment - 1) {
    ++seg;
    off = 0;
  }
  if (!IsValidPos(seg, off)) return false;
  Cursor.DayFile = FDayFileNumber;
  Cursor.Segment = seg;
  Cursor.Offset = off;
  EventID = Make(FDayFileNumber, seg, off);
  return true;
}

void TvlDayFile::Traversal_Start() { FIndex = TEventPointer{FDayFileNumber, -1, SlotsPerSegment}; }

bool TvlDayFile::Traversal_NextEventID(TEventID &EventID) { return NextEventID(FIndex, EventID); }

bool TvlDayFile::Traversal_Next(TvlEvent &Event) {
  TEventID id = NoEventID;
  return Traversal_NextEventID(id) && Event_FromEventID(id, Event);
}

// ---- The day's span ------------------------------------------------------------------------

std::int32_t TvlDayFile::GetDayFileDuration() {
  if (!FHistorical) {
    // Today's day file is still "today" after midnight; a day never lasts longer than itself.
    const double seconds = std::floor((Now() - FDayFileWhen) * 86400.0) + 5;
    FDayFileDuration = static_cast<std::int32_t>(std::clamp(seconds, 0.0, 86400.0));
    ChangedSinceLastFileOperation = true;
  }
  return FDayFileDuration;
}

TDateTime TvlDayFile::DayFileEnd() { return FDayFileWhen + GetDayFileDuration() / 86400.0; }

std::int64_t TvlDayFile::Count() const {
  if (FLast.Segment < 0) return 0;
  return std::int64_t(FLast.Segment) * 1024 + FLast.Offset + 1;
}

bool TvlDayFile::PeekEvent(TEventID EventID, TKindOfEvent &Kind, TDateTime &When,
                           QChar &What) const {
  const TSlot *s = SlotOf(EventID);
  if (!s) return false;
  Kind = s->Kind;
  When = s->When;
  What = QChar(s->What);
  return true;
}

void TvlDayFile::AppendTextTo(TEventID EventID, QString &Out) const {
  const TSlot *s = SlotOf(EventID);
  if (!s) return;
  if (s->TextMode == 1) {
    Out.append(QChar(s->Ch));
  } else if (s->TextMode == 2) {
    const auto it = FLongTexts.find(EventID);
    if (it != FLongTexts.end()) Out.append(it->second);
  }
}
