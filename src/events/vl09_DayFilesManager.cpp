// The day files manager. The OtherEvents block it writes into a binder:
//
//   <OtherEvents>
//   <Event K="Label" C=" " W="   40000.5000000000" T="Call &Q2;Bob&Q2;">
//   </OtherEvents>
//
// K is the kind: "Marker", "Label", "Sketching" and "WebDings" by name (only the first letter is
// read back), and "1", "2", "3" for the three WingDings kinds, whose names would all read back
// as WebDings. C is the event's character and T its text (left out when empty), both escaped
// with the entities of paragraph text so that quotes, "<", "&", line breaks and characters
// outside Windows-1252 survive; older files with plain values read as they are. W is the moment,
// fixed point with 10 decimals, whatever the locale.

#include "vl09_DayFilesManager.h"

#include "vl09_XmlIn.h"
#include "vl09_XmlOut.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlNumberForms.h"
#include "vlPrompts.h"

#include <QStringList>

#include <cmath>
#include <stdexcept>

using namespace vlEventIDs;

namespace {

TvlDayFilesManager *gManager = nullptr;

const QChar InvalidWhat = QChar(u'%');

QString KindName(TKindOfEvent Kind) {
  switch (Kind) {
    case koeMarker: return QStringLiteral("Marker");
    case koeLabel: return QStringLiteral("Label");
    case koeSketching: return QStringLiteral("Sketching");
    case koeWebDings: return QStringLiteral("WebDings");
    case koeWingDings: return QStringLiteral("1");
    case koeWingDings2: return QStringLiteral("2");
    case koeWingDings3: return QStringLiteral("3");
    case koeNewDayFile: return QStringLiteral("NewDayFile");
    default: return QString();
  }
}

std::int64_t DayOf(TDateTime When) { return static_cast<std::int64_t>(std::floor(When)); }

}  // namespace

TvlDayFilesManager *vlDFM() { return gManager; }

TvlDayFilesManager::TvlDayFilesManager() : FIndex(*this) {
  if (gManager) throw std::logic_error("vlSM is a singleton");
  gManager = this;
}

TvlDayFilesManager::~TvlDayFilesManager() {
  FIndex.Clear();
  FDayFiles.clear();
  gManager = nullptr;
}

TvlDayFile *TvlDayFilesManager::DayFile(int Number) const {
  if (Number < 0 || Number >= DayFileCount()) return nullptr;
  return FDayFiles[static_cast<std::size_t>(Number)].get();
}

TvlDayFile *TvlDayFilesManager::DayFileOfID(TEventID EventID) const {
  return DayFile(DayFileOf(EventID));
}

// ---- Day files ---------------------------------------------------------------------------

int TvlDayFilesManager::Files_FindDayFileForDate(TDateTime Date) const {
  if (!IsEventMoment(Date)) return -1;
  const std::int64_t day = DayOf(Date);
  if (day == FLastDay) return FLastDayFile;
  const auto it = FByDay.find(day);
  if (it == FByDay.end()) return -1;
  FLastDay = day;
  FLastDayFile = it->second;
  return it->second;
}

int TvlDayFilesManager::Files_LoadDayFileForDateOrCreateIt(TDateTime Date) {
  if (!IsEventMoment(Date)) return -1;
  const int found = Files_FindDayFileForDate(Date);
  return found >= 0 ? found : AppendDayFile(Date);
}

int TvlDayFilesManager::AppendDayFile(TDateTime Date) {
  if (DayFileCount() >= MaxDayFiles) {
    // Shown once: a binder with notes on more days would otherwise show it per character.
    if (!FLimitReported) {
      FLimitReported = true;
      Prompts().Message(QStringLiteral("Over ") + QString::number(MaxDayFiles) +
                            QStringLiteral(" DayFiles are or were open.  Please close ") +
                            QStringLiteral("and reopen the program."),
                        TPromptIcon::piWarning);
    }
    return -1;
  }
  const int number = DayFileCount();
  try {
    auto file = std::make_unique<TvlDayFile>(number, FIndex);
    file->File_InitializeBlankDayFile(Date);
    FDayFiles.push_back(std::move(file));
  } catch (const std::exception &e) {
    Prompts().Message(QStringLiteral("You may need to restart Windows. There was an error with "
                                     "the following message:  ") +
                          QString::fromLocal8Bit(e.what()),
                      TPromptIcon::piError);
    return -1;
  }
  FByDay[DayOf(Date)] = number;
  FLastDay = DayOf(Date);
  FLastDayFile = number;
  FInitialized = true;
  Changed();
  return number;
}

void TvlDayFilesManager::Files_LoadDayFilesTouchingTimeSpanIfAny(TDateTime FromDT,
                                                                 TDateTime TillDT) const {
  // Day files are never read from disk: looking them up is all there is to do.
  if (!IsEventMoment(FromDT) || !IsEventMoment(TillDT)) return;
  for (std::int64_t d = DayOf(FromDT); d <= DayOf(TillDT); ++d)
    Files_FindDayFileForDate(static_cast<double>(d));
}

void TvlDayFilesManager::Clear() {
  FIndex.Clear();
  FDayFiles.clear();
  FByDay.clear();
  FLastDay = -1;
  FLastDayFile = -1;
  FLimitReported = false;
  FTraversalSN = 0;
  FTraversalCursor = TEventPointer{};
  Changed();
  Files_LoadDayFileForDateOrCreateIt(Now());
}

void TvlDayFilesManager::Clear_KeepingNonTypingEvents() {
  std::vector<TvlEvent> kept;
  TWalk walk(*this);
  TEventID id = NoEventID;
  TvlEvent event;
  while (walk.Next(id))
    if (Event_FromEventID(id, event) && event.Kind != koeNone && event.Kind != koeTyping)
      kept.push_back(event);
  Clear();
  for (const TvlEvent &e : kept) AddEvent(e.Kind, e.What, e.When, e.Text);
}

// ---- Adding and finding --------------------------------------------------------------------

TEventID TvlDayFilesManager::AddEvent(TKindOfEvent Kind, QChar What, TDateTime When,
                                      QStringView Text) {
  if (!IsEventMoment(When)) return NoEventID;
  const int number = Files_LoadDayFileForDateOrCreateIt(When);
  if (number < 0) return NoEventID;
  TvlDayFile &file = *FDayFiles[static_cast<std::size_t>(number)];
  const std::int64_t before = file.Count();
  const TEventID id = file.AddEvent(Kind, What, When, Text);
  if (file.Count() != before) Changed();  // an existing event's ID changes nothing
  return id;
}

bool TvlDayFilesManager::LookUp_GetEventID(TKindOfEvent Kind, QChar What, TDateTime When,
                                           QStringView Text, TEventID &EventID) const {
  // The index covers every day, so a day without a day file simply has no such event.
  return FIndex.GetEventIDFromExactContents(Kind, What, When, Text, EventID);
}

TEventID TvlDayFilesManager::AddNumberedBookmark(int Digit, TDateTime When) {
  if (Digit < 1 || Digit > 9) return NoEventID;
  return AddEvent(koeMarker, QChar(u'0' + Digit), When, {});
}

TEventID TvlDayFilesManager::AddLabelBookmark(TDateTime When, QStringView Text, QChar What) {
  return AddEvent(koeLabel, What, When, Text);
}

TEventID TvlDayFilesManager::AddTypingEvent(TDateTime When, QStringView Text) {
  return AddEvent(koeTyping, QChar(u'1'), When, Text);
}

bool TvlDayFilesManager::RemoveTypingEvent(TDateTime When, QStringView Text) {
  TEventID id = NoEventID;
  return LookUp_GetEventID(koeTyping, QChar(u'1'), When, Text, id) && Event_Delete(id);
}

void TvlDayFilesManager::RemoveEvents(const RvlTimestamp &DualTS, QStringView Text) {
  RemoveTypingEvent(TypingEventMoment(DualTS), Text);
}

void TvlDayFilesManager::TSink::AddTypingEvent(TDateTime When, QStringView Text) {
  FOwner.AddTypingEvent(When, Text);
}

void TvlDayFilesManager::TSink::DeleteTypingEventAt(TDateTime When, QStringView Text) {
  FOwner.RemoveTypingEvent(When, Text);
}

// ---- Routed by ID ------------------------------------------------------------------------

bool TvlDayFilesManager::AddLabel(TEventID EventID, QStringView Text) {
  TvlDayFile *f = DayFileOfID(EventID);
  if (!f || !f->AddLabel(EventID, Text)) return false;
  Changed();
  return true;
}

bool TvlDayFilesManager::Event_Delete(TEventID EventID) {
  TvlDayFile *f = DayFileOfID(EventID);
  if (!f || !f->Event_Delete(EventID)) return false;
  Changed();
  return true;
}

void TvlDayFilesManager::Event_Select(TEventID EventID) {
  if (TvlDayFile *f = DayFileOfID(EventID)) {
    f->Event_Select(EventID);
    Changed();
  }
}

void TvlDayFilesManager::Event_Deselect(TEventID EventID) {
  if (TvlDayFile *f = DayFileOfID(EventID)) {
    f->Event_Deselect(EventID);
    Changed();
  }
}

bool TvlDayFilesManager::Event_IsSelected(TEventID EventID) const {
  const TvlDayFile *f = DayFileOfID(EventID);
  return f && f->Event_IsSelected(EventID);
}

bool TvlDayFilesManager::Event_FromEventID(TEventID EventID, TvlEvent &vlEvent) const {
  const TvlDayFile *f = DayFileOfID(EventID);
  return f && f->Event_FromEventID(EventID, vlEvent);
}

TKindOfEvent TvlDayFilesManager::EventKind_FromEventID(TEventID EventID) const {
  const TvlDayFile *f = DayFileOfID(EventID);
  return f ? f->EventKind_FromEventID(EventID) : koeNone;
}

bool TvlDayFilesManager::EventKind_Override(TEventID EventID, TKindOfEvent NewKind) {
  TvlDayFile *f = DayFileOfID(EventID);
  if (!f || !f->EventKind_Override(EventID, NewKind)) return false;
  Changed();
  return true;
}

QString TvlDayFilesManager::EventText_FromEventID(TEventID EventID) const {
  const TvlDayFile *f = DayFileOfID(EventID);
  return f ? f->EventText_FromEventID(EventID) : QString();
}

int TvlDayFilesManager::EventTextCount_FromEventID(TEventID EventID) const {
  const TvlDayFile *f = DayFileOfID(EventID);
  return f ? f->EventTextCount_FromEventID(EventID) : 0;
}

QChar TvlDayFilesManager::EventWhat_FromEventID(TEventID EventID) const {
  const TvlDayFile *f = DayFileOfID(EventID);
  return f ? f->EventWhat_FromEventID(EventID) : InvalidWhat;
}

TDateTime TvlDayFilesManager::EventWhen_FromEventID(TEventID EventID) const {
  const TvlDayFile *f = DayFileOfID(EventID);
  return f ? f->EventWhen_FromEventID(EventID) : Now();
}

TEventID TvlDayFilesManager::EventWhen_Override(TEventID EventID, TDateTime NewWhen) {
  TvlDayFile *f = DayFileOfID(EventID);
  if (!f) return NoEventID;
  TvlEvent ev;
  if (!f->Event_FromEventID(EventID, ev)) {
    ErrorReportInDebug(
        QStringLiteral("vlDFM.EW_O x") +
        QStringLiteral("%1").arg(std::uint32_t(EventID), 6, 16, QChar(u'0')).toUpper());
    return NoEventID;
  }
  if (!IsEventMoment(NewWhen)) return NoEventID;
  if (DayOf(NewWhen) == DayOf(ev.When)) {
    // Re-filed under its new minute: left under the old one, window listings and the duplicate
    // test would no longer see it, and the minute list would lose its order.
    FIndex.DeleteEventIDFromIndex(EventID, ev.When);
    f->EventWhen_Override(EventID, NewWhen);
    FIndex.AddEventIDToIndex(EventID, NewWhen);
    Changed();
    return NoEventID;
  }
  // Another day: the old event goes only once its copy exists, so a refused move loses nothing.
  const TEventID moved = AddEvent(ev.Kind, ev.What, NewWhen, ev.Text);
  if (moved == NoEventID) {
    ErrorReport(false, QStringLiteral("vlDFM.EW_O: the event could not be moved to another day."));
    return NoEventID;
  }
  if (TvlDayFile *to = DayFileOfID(moved)) to->Event_SetState(moved, ev.State);
  f->Event_Delete(EventID);
  Changed();
  return moved;
}

// ---- Walking -----------------------------------------------------------------------------

bool TvlDayFilesManager::TWalk::Next(TEventID &EventID) {
  while (FDayFile < FManager.DayFileCount()) {
    const TvlDayFile *f = FManager.DayFile(FDayFile);
    if (f && f->NextEventID(FCursor, EventID)) return true;
    ++FDayFile;
    FCursor = TEventPointer{};
  }
  return false;
}

void TvlDayFilesManager::Traversal_Start() {
  FTraversalSN = 0;
  FTraversalCursor = TEventPointer{};
}

bool TvlDayFilesManager::Traversal_NextEventID(TEventID &EventID) {
  while (FTraversalSN < DayFileCount()) {
    const TvlDayFile *f = DayFile(FTraversalSN);
    if (f && f->NextEventID(FTraversalCursor, EventID)) return true;
    ++FTraversalSN;
    FTraversalCursor = TEventPointer{};
  }
  return false;
}

void TvlDayFilesManager::ByKind_GetListOfEvents(TKindOfEvent KindOfEvent,
                                                std::vector<TEventID> &ResultList) const {
  ResultList.clear();
  TWalk walk = Walk();
  TEventID id = NoEventID;
  while (walk.Next(id)) {
    if (DayFileOfID(id)->EventKind_FromEventID(id) == KindOfEvent) ResultList.push_back(id);
  }
}

void TvlDayFilesManager::ByDateTime_GetListOfEvents(TDateTime EarliestDT, TDateTime ButBeforeDT,
                                                    std::vector<TEventID> &ResultList) const {
  ResultList.clear();
  if (!IsEventMoment(EarliestDT) || !(ButBeforeDT > EarliestDT)) return;
  // Every event lies on its day file's day, so day files of other days hold none of them.
  for (const auto &f : FDayFiles) {
    const TDateTime day = f->DayFileWhen();
    if (day + 1 <= EarliestDT || day >= ButBeforeDT) continue;
    TEventPointer cursor;
    TEventID id = NoEventID;
    TDateTime when = 0;
    while (f->NextEventID(cursor, id)) {
      if (f->WhenOf(id, when) && EarliestDT <= when && when < ButBeforeDT) ResultList.push_back(id);
    }
  }
}

// ---- Fast access -------------------------------------------------------------------------

bool TvlDayFilesManager::WhenOf(TEventID EventID, TDateTime &When) const {
  const TvlDayFile *f = DayFileOfID(EventID);
  return f && f->WhenOf(EventID, When);
}

bool TvlDayFilesManager::Matches(TEventID EventID, TKindOfEvent Kind, QChar What,
                                 QStringView Text) const {
  const TvlDayFile *f = DayFileOfID(EventID);
  return f && f->Matches(EventID, Kind, What, Text);
}

std::size_t TvlDayFilesManager::MemoryBytes() const {
  std::size_t bytes = sizeof(*this) + FIndex.MemoryBytes() +
                      FDayFiles.capacity() * sizeof(FDayFiles[0]) +
                      FByDay.bucket_count() * sizeof(void *) + FByDay.size() * 32;
  for (const auto &f : FDayFiles) bytes += f->MemoryBytes();
  return bytes;
}

// ---- The OtherEvents block -------------------------------------------------------------------

void TvlDayFilesManager::IO_SaveNonTypingEvents(TvlXmlOut &vlXmlOut) const {
  vlXmlOut.Insert_TagWithoutAttributes(xtOtherEventsBegin);
  TWalk walk = Walk();
  TEventID id = NoEventID;
  TvlEvent ev;
  while (walk.Next(id)) {
    if (!Event_FromEventID(id, ev) || ev.Kind == koeNone || ev.Kind == koeTyping) continue;
    const QString kind = KindName(ev.Kind);
    if (kind.isEmpty()) continue;
    vlXmlOut.Insert_TagOpenForAttributes(xtEvent_);
    vlXmlOut.Insert_Attribute("K", QStringView(kind));
    vlXmlOut.Insert_AttributeE("C", QStringView(&ev.What, 1));
    vlXmlOut.Insert_Attribute("W", ev.When);
    if (!ev.Text.isEmpty()) vlXmlOut.Insert_AttributeE("T", ev.Text);
    vlXmlOut.Insert_TagClose_NoMoreAttributes();
  }
  vlXmlOut.Insert_TagWithoutAttributes(xtOtherEventsEnd);
}

QString TvlDayFilesManager::IO_LoadNonTypingEvents(TvlXmlIn &vlXmlIn) {
  // A missing or doubled header line costs none of the events.
  if (!vlXmlIn.BeginBlock(xtOtherEventsBegin, xtEvent_)) return QString();
  QStringList problems;
  while (vlXmlIn.CurrentTag() == xtEvent_) {
    QString k;
    TDateTime when = -0.5;
    vlXmlIn.Get("K", k);
    const bool hasWhen = vlXmlIn.GetDT("W", when);
    TKindOfEvent kind = koeNone;
    switch (k.isEmpty() ? u'\0' : k[0].unicode()) {
      case u'M': kind = koeMarker; break;
      case u'L': kind = koeLabel; break;
      case u'S': kind = koeSketching; break;
      case u'T': kind = koeTyping; break;
      case u'W': kind = koeWebDings; break;
      case u'1': kind = koeWingDings; break;
      case u'2': kind = koeWingDings2; break;
      case u'3': kind = koeWingDings3; break;
      default: break;
    }
    if (kind == koeNone || !hasWhen || !IsEventMoment(when)) {
      // "NewDayFile" lines are ignored on purpose; anything else unusable is worth a word.
      if (!k.startsWith(u'N'))
        problems << QStringLiteral("Unusable event line: ") + vlXmlIn.TraceLine();
    } else {
      // The moment as the block writes it (10 decimals, about 9 microseconds): two events a
      // file cannot tell apart are one event as soon as they are read, so that what is read
      // saves and reads back the same.
      ParseDouble(FormatDouble16(when), when);
      QString c, text;
      const QChar what = vlXmlIn.GetE("C", c) && c.size() == 1 ? c[0] : QChar(u'1');
      vlXmlIn.GetE("T", text);
      AddEvent(kind, what, when, text);
    }
    vlXmlIn.NextRecognizedTag();
  }
  if (vlXmlIn.CurrentTag() == xtOtherEventsEnd)
    vlXmlIn.NextRecognizedTag();
  else
    problems << QStringLiteral("The OtherEvents block has no end line.");
  return problems.join(u'\n');
}
