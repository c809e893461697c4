#include "vl09_EventsList.h"

#include "vl09_DayFilesManager.h"
#include "vlGlobals.h"

#include <QDateTime>

#include <algorithm>

// ---- TSnapshot

void TSnapshot::Take(const QRect &Rect, const TQuickBitmap &Source) {
  FSourceRect = Rect;
  // copy() fills the parts outside the source with 0; Restore clips them away again.
  FStorage = Source.Copy(Rect);
}

void TSnapshot::Restore(TQuickBitmap &Source) const {
  if (FStorage.isNull()) return;
  Source.Paste(FSourceRect, FStorage);
}

// ---- TEventsList: container

TvlDayFilesManager *TEventsList::Manager() const { return FManager ? FManager : vlDFM(); }

bool TEventsList::Push(TEventsListHost *vlTW, int PO, TTypeOfSelection TypeOfSelection,
                       TEventID vlEventID) {
  if (FindIndexOf(vlTW, vlEventID, TypeOfSelection) >= 0) return false;
  TSelectedEvent e;
  e.vlTrackWindowOwner = vlTW;
  e.vlEventID = vlEventID;
  e.TypeOfSelection = TypeOfSelection;
  e.PixelOffset = PO;
  FEvents.push_back(std::move(e));
  return true;
}

bool TEventsList::Peek(int I, TEventsListHost *&vlTW, TTypeOfSelection &TypeOfSelection,
                       TEventID &eID, int &PO) const {
  if (I < 0 || I >= Count()) {
    vlTW = nullptr;
    TypeOfSelection = tosNone;
    eID = NoEventID;
    PO = 0;
    return false;
  }
  const TSelectedEvent &e = FEvents[I];
  vlTW = e.vlTrackWindowOwner;
  TypeOfSelection = e.TypeOfSelection;
  eID = e.vlEventID;
  PO = e.PixelOffset;
  return true;
}

bool TEventsList::Pop(TEventsListHost *&vlTW, int &PO, TTypeOfSelection &TypeOfSelection,
                      TEventID &vlEventID) {
  if (!Peek(High(), vlTW, TypeOfSelection, vlEventID, PO)) return false;
  FEvents.pop_back();
  return true;
}

void TEventsList::Delete(int Index) {
  if (Index < 0 || Index >= Count()) return;
  FEvents.erase(FEvents.begin() + Index);
}

void TEventsList::RemoveByKind(bool (*Matches)(TKindOfEvent)) {
  TvlDayFilesManager *m = Manager();
  for (int i = High(); i >= 0; --i) {
    const TKindOfEvent kind = m ? m->EventKind_FromEventID(FEvents[i].vlEventID) : koeNone;
    if (Matches(kind)) Delete(i);
  }
}

void TEventsList::ClearMarkerEvents() {
  RemoveByKind([](TKindOfEvent K) { return K == koeMarker; });
}

void TEventsList::ClearTiltedTextEvents() {
  RemoveByKind([](TKindOfEvent K) {
    return K == koeLabel || K == koeWebDings || K == koeWingDings || K == koeWingDings2 ||
           K == koeWingDings3;
  });
}

void TEventsList::CopyFrom(const TEventsList &Other) {
  for (const TSelectedEvent &e : Other.FEvents)
    Push(e.vlTrackWindowOwner, e.PixelOffset, e.TypeOfSelection, e.vlEventID);
}

void TEventsList::TransferFrom(TEventsList &Other) {
  if (&Other == this) return;
  TEventsListHost *tw = nullptr;
  int po = 0;
  TTypeOfSelection tos = tosNone;
  TEventID id = NoEventID;
  while (Other.Pop(tw, po, tos, id)) Push(tw, po, tos, id);
}

int TEventsList::FindIndexOf(const TEventsListHost *vlTW, TEventID vlEventID,
                             TTypeOfSelection TypeOfSelection) const {
  for (int i = 0; i < Count(); ++i) {
    const TSelectedEvent &e = FEvents[i];
    if (e.vlTrackWindowOwner == vlTW && e.vlEventID == vlEventID &&
        e.TypeOfSelection == TypeOfSelection)
      return i;
  }
  return -1;
}

int TEventsList::FindEventIDOf(const TEventsListHost *vlTW, int PixelOffset,
                               TTypeOfSelection TypeOfSelection) const {
  for (int i = 0; i < Count(); ++i) {
    const TSelectedEvent &e = FEvents[i];
    if (e.vlTrackWindowOwner == vlTW && e.PixelOffset == PixelOffset &&
        e.TypeOfSelection == TypeOfSelection)
      return i;
  }
  return -1;
}

TEventID TEventsList::EventID(int Index) const {
  if (Index < 0 || Index >= Count()) {
    ErrorReportInDebug(QStringLiteral("EL.EID"));
    return NoEventID;
  }
  return FEvents[Index].vlEventID;
}

bool TEventsList::IsEventIDListed(TEventID vlEventID) const {
  return std::any_of(FEvents.begin(), FEvents.end(),
                     [&](const TSelectedEvent &e) { return e.vlEventID == vlEventID; });
}

TEventsListHost *TEventsList::SampleVlTW() const {
  return FEvents.empty() ? nullptr : FEvents.front().vlTrackWindowOwner;
}

static QString TimeText(TDateTime DT) {
  return DateTimeToQDateTime(DT).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

QString TEventsList::TraceStr(const QString &NoteStr) const {
  QString s = NoteStr + QStringLiteral(" #=") + QString::number(Count());
  TvlDayFilesManager *m = Manager();
  for (const TSelectedEvent &e : FEvents) {
    TvlEvent ev;
    if (!m || !m->Event_FromEventID(e.vlEventID, ev)) {
      ErrorReportInDebug(QStringLiteral("TS"));
      continue;
    }
    const ushort code = ev.What.unicode();
    const QString what =
        (code >= 129 && code <= 140) ? QStringLiteral("F%1").arg(code - 128) : QString(ev.What);
    s += QStringLiteral(" (ID=%1, PO=%2, OWh=%3, Wh=%4, M=%5, L=%6)")
             .arg(e.vlEventID)
             .arg(e.PixelOffset)
             .arg(TimeText(e.OriginalWhen), TimeText(ev.When), what, ev.Text);
  }
  return s;
}

// ---- TEventsList: dragging

void TEventsList::All_PopulateOriginalWhen() {
  TvlDayFilesManager *m = Manager();
  if (!m) return;
  for (TSelectedEvent &e : FEvents) m->WhenOf(e.vlEventID, e.OriginalWhen);
}

void TEventsList::All_SetWhenRelativeSeconds(double DeltaSeconds) {
  TvlDayFilesManager *m = Manager();
  if (!m) return;
  bool changedDay = false;
  for (TSelectedEvent &e : FEvents) {
    if (e.OriginalWhen == 0) continue;  // never populated: nothing to shift from
    const TDateTime target = e.OriginalWhen + DeltaSeconds / SecsPerDay;
    TDateTime now = 0;
    if (!m->WhenOf(e.vlEventID, now) || now == target) continue;
    const TEventID newID = m->EventWhen_Override(e.vlEventID, target);
    if (newID != NoEventID) {
      e.vlEventID = newID;
      changedDay = true;
    }
  }
  if (changedDay) {
    // The tracks are rendered again: the pixels kept under the drawings are stale now.
    for (TSelectedEvent &e : FEvents) e.Snapshot.Discard();
    if (OnEventsChangedDay) OnEventsChangedDay();
  }
}

void TEventsList::All2_MoveHighlighted_Prepare(TColor clGhostColour) {
  for (const TSelectedEvent &e : FEvents)
    if (e.vlTrackWindowOwner)
      e.vlTrackWindowOwner->EventID_Offer(0, e.PixelOffset, clGhostColour, e.vlEventID);
}

void TEventsList::All2_MoveHighlighted_Place(int DeltaPO) {
  for (TSelectedEvent &e : FEvents) {
    TEventsListHost *tw = e.vlTrackWindowOwner;
    if (!tw) continue;
    const int left = e.PixelOffset + tw->EventsList_TrackBarMargin() + DeltaPO - 50;
    const int right = left + tw->EventsList_HorizontalAllowance();
    const QRect r(QPoint(left, 0), QPoint(right - 1, tw->EventsList_LabelsBandBottom() + 5 - 1));
    e.Snapshot.Take(r, tw->EventsList_Bitmap());
    tw->EventID_Offer(DeltaPO, e.PixelOffset, clDragged, e.vlEventID);
  }
}

void TEventsList::All2_MoveHighlighted_Remove(bool DoInstantUpdate) {
  // Reverse order: drawings that overlap are undone in the opposite order they were made.
  for (int i = High(); i >= 0; --i) {
    TSelectedEvent &e = FEvents[i];
    if (!e.vlTrackWindowOwner) continue;
    e.Snapshot.Restore(e.vlTrackWindowOwner->EventsList_Bitmap());
    e.vlTrackWindowOwner->EventID_OfferNoMore(e.PixelOffset, e.vlEventID, DoInstantUpdate, clGhost);
  }
}

void TEventsList::All2_MoveHighlighted_ToNewRelativePO(int DeltaPO) {
  All2_MoveHighlighted_Remove(false);
  All2_MoveHighlighted_Place(DeltaPO);
}
