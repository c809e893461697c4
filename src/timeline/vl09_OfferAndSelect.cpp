#include "vl09_OfferAndSelect.h"

#include "vl09_DayFilesManager.h"
#include "vl09_LabelTool.h"
#include "vl09_TrackWindow.h"
#include "vlClock.h"
#include "vlGlobals.h"

#include <cmath>

namespace {
TvlTrackWindow *WindowOf(TEventsListHost *Host) { return static_cast<TvlTrackWindow *>(Host); }
QString Hex6(TEventID ID) { return QStringLiteral("%1").arg(ID, 6, 16, QLatin1Char('0')); }
}  // namespace

TOfferAndSelect::TOfferAndSelect(TvlDayFilesManager *Manager)
    : FOfferedEvents(Manager), FSelectedEvents(Manager), FManager(Manager) {
  FSelectedEvents.OnEventsChangedDay = [this] { ChangedDay(); };
}

TvlDayFilesManager *TOfferAndSelect::Manager() const { return FManager ? FManager : vlDFM(); }

// ---------------------------------------------------------------------------------------------
// Candidates

int TOfferAndSelect::AddMarkerEventsAt(TvlTrackWindow *vlTW, int PO, TEventsList &EL) {
  const TPixelData *pd = vlTW->vlTrackIndex().GetPixelDataFor(PO);
  if (!pd) return 0;
  int n = 0;
  for (const TEventID id : pd->MarkerIDs) n += EL.Push(vlTW, PO, tosMoving, id) ? 1 : 0;
  return n;
}

int TOfferAndSelect::AddLabelTimeEventsAt(TvlTrackWindow *vlTW, int PO, TEventsList &EL) {
  const TPixelData *pd = vlTW->vlTrackIndex().GetPixelDataFor(PO);
  if (!pd) return 0;
  int n = 0;
  for (const RLabelEntry &l : pd->Labels) n += EL.Push(vlTW, PO, tosMoving, l.EventID) ? 1 : 0;
  return n;
}

int TOfferAndSelect::AddLabelTextEventsAt(TvlTrackWindow *vlTW, int PO, TEventsList &EL,
                                          TTypeOfSelection TypeOfSelection, int Y, int X) {
  const int from = PO - vlTW->vlTrackRender().HorizontalAllowanceForTiltedText();
  int n = 0;
  for (int c = from; c <= PO + 4; ++c) {
    const TPixelData *pd = vlTW->vlTrackIndex().GetPixelDataFor(c);
    if (!pd) continue;
    for (const RLabelEntry &l : pd->Labels) {
      if (!l.Tilted) continue;
      // An offered label keeps its offer while the mouse wanders a little.
      const bool offered = FOfferedEvents.FindIndexOf(vlTW, l.EventID, TypeOfSelection) >= 0;
      if (!l.Tilted->DoesMouseTouchText(X, Y, offered ? 5.9 : 3.9)) continue;
      n += EL.Push(vlTW, c, TypeOfSelection, l.EventID) ? 1 : 0;
      vlEventID_Hysteresis = l.EventID;
    }
  }
  return n;
}

// ---------------------------------------------------------------------------------------------
// Offering

void TOfferAndSelect::OfferOne(TvlTrackWindow *vlTW, int PO, TEventID EventID) {
  if (!FOfferedEvents.Push(vlTW, PO, tosMoving, EventID)) return;
  if (!FMarkMoveLeavesGhost) vlTW->EventID_Offer(0, PO, clGreen, EventID);
  vlTW->EventID_Offer(0, PO, clOffered, EventID);
}

void TOfferAndSelect::WithdrawOffers(int Keep) {
  TvlDayFilesManager *m = Manager();
  TEventsList kept(FManager);
  for (int i = 0; i < FOfferedEvents.Count(); ++i) {
    const TSelectedEvent &e = FOfferedEvents.Entry(i);
    if (i == Keep) {
      kept.Push(e.vlTrackWindowOwner, e.PixelOffset, e.TypeOfSelection, e.vlEventID);
      continue;
    }
    if (e.TypeOfSelection != tosMoving || !e.vlTrackWindowOwner) continue;
    if (!m || m->EventKind_FromEventID(e.vlEventID) == koeNone) {
      ErrorReportInDebug(QStringLiteral("OAS.O_WAE x") + Hex6(e.vlEventID));
      continue;
    }
    // A bookmark picked up for dragging stays selected; only its offer goes.
    if (FSelectedEvents.FindIndexOf(e.vlTrackWindowOwner, e.vlEventID, tosMoving) >= 0) continue;
    if (!FMarkMoveLeavesGhost) {
      e.vlTrackWindowOwner->EventID_Offer(0, e.PixelOffset, clAqua, e.vlEventID);
    } else if (e.vlEventID == FvlEventID_Blocked) {
      FvlEventID_Blocked = NoEventID;
    } else {
      TvlTrackWindow *tw = WindowOf(e.vlTrackWindowOwner);
      tw->EventID_OfferNoMore(e.PixelOffset, e.vlEventID, true,
                              tw->vlTrackRender().Band_Markers().Font.Color);
    }
  }
  FOfferedEvents.Clear();
  FOfferedEvents.CopyFrom(kept);
}

void TOfferAndSelect::DeselectAll() {
  for (int i = 0; i < FSelectedEvents.Count(); ++i) {
    const TSelectedEvent &e = FSelectedEvents.Entry(i);
    if (!e.vlTrackWindowOwner) continue;
    TvlTrackWindow *tw = WindowOf(e.vlTrackWindowOwner);
    tw->EventID_OfferNoMore(e.PixelOffset, e.vlEventID, true,
                            tw->vlTrackRender().Band_Markers().Font.Color);
  }
  FSelectedEvents.Clear();
}

void TOfferAndSelect::Hover(TvlTrackWindow *vlTW, int PO, Qt::KeyboardModifiers SS, int Y, int X) {
  TvlTrackRender &r = vlTW->vlTrackRender();
  const QRect markers = r.Band_Markers().Rect;
  const int labelsBottom = vlTW->EventsList_LabelsBandBottom();
  TEventsList candidates(FManager);
  if (Y > markers.top() && Y < markers.top() + markers.height() - 1) {
    // The nearest column with markers, up to 4 away: PO, PO-1, PO+1, PO-2, ...
    for (int d = 0; d <= 4 && candidates.Count() == 0; ++d) {
      AddMarkerEventsAt(vlTW, PO - d, candidates);
      if (d > 0 && candidates.Count() == 0) AddMarkerEventsAt(vlTW, PO + d, candidates);
    }
  } else if (Y < labelsBottom - 9) {
    AddLabelTextEventsAt(vlTW, PO, candidates, tosMoving, Y, X);
  } else if (Y < labelsBottom + 2) {
    for (int d = 0; d <= 3 && candidates.Count() == 0; ++d) {
      AddLabelTimeEventsAt(vlTW, PO - d, candidates);
      if (d > 0 && candidates.Count() == 0) AddLabelTimeEventsAt(vlTW, PO + d, candidates);
    }
  }
  // (The typing display near the keyboarding band has no pop-up to show it in.)

  if (SS & Qt::ControlModifier) {
    for (int i = 0; i < candidates.Count(); ++i) {
      const TSelectedEvent &c = candidates.Entry(i);
      OfferOne(vlTW, c.PixelOffset, c.vlEventID);
    }
    return;
  }
  const int n = candidates.Count();
  if (n == 0) {
    WithdrawOffers(-1);
    return;
  }
  int chosen = 0;
  bool keep = false;
  if (n > 1) {
    // A candidate offered a moment ago stays, so a mouse resting on overlapping bookmarks does
    // not flicker between them; later moves cycle through them.
    const std::int64_t nowMs = Clock().SteadyMSecs();
    TvlDayFilesManager *m = Manager();
    for (int i = 0; i < n && nowMs - TieOfferMs < KeepSelectedMs; ++i) {
      if (m && m->Event_IsSelected(candidates.EventID(i)) &&
          FOfferedEvents.IsEventIDListed(candidates.EventID(i))) {
        chosen = i;
        keep = true;
        break;
      }
    }
    if (!keep) {
      chosen = TieBreaker % n;
      TieBreaker = (TieBreaker + 1) % n;
    }
  }
  const TSelectedEvent &c = candidates.Entry(chosen);
  const int keepIndex = FOfferedEvents.FindIndexOf(vlTW, c.vlEventID, tosMoving);
  WithdrawOffers(keepIndex);
  if (!keep || keepIndex < 0) {
    OfferOne(vlTW, c.PixelOffset, c.vlEventID);
    TieOfferMs = Clock().SteadyMSecs();
  }
}

// ---------------------------------------------------------------------------------------------
// Mouse

void TOfferAndSelect::MouseDown(TvlTrackWindow *vlTW, int PO, Qt::KeyboardModifiers SS,
                                Qt::MouseButton Button, int Y, int X, const QPoint &Global) {
  Q_UNUSED(X);
  FMouseDownVlTW = vlTW;
  FMouseDownTimelineDT = vlTW->vlTrackIndex().DateTimeFromPixelOffset(PO);
  FMouseDownPixelDuration = vlTW->vlTrackIndex().Zoom_PixelDuration();
  const QRect slot = vlTW->vlTrackRender().TrackSlotRect();
  FRightMouseDownOnSlot = Button == Qt::RightButton && Y >= slot.top() && Y <= slot.bottom();
  FPressSelected = false;
  if (Button == Qt::LeftButton) {
    MouseDownAt = Global;
    MouseDownAtMs = Clock().SteadyMSecs();
    FMyIsMouseDown = true;
    FDragStarted = false;
    if (!(SS & Qt::ShiftModifier)) {
      if (FOfferedEvents.Count() == 0) {
        DeselectAll();
        WithdrawOffers(-1);
      } else {
        if (!(SS & Qt::ControlModifier)) DeselectAll();
        FSelectedEvents.CopyFrom(FOfferedEvents);
        FSelectedEvents.All_PopulateOriginalWhen();
        FSelectedEvents.All2_MoveHighlighted_Prepare(TEventsList::clGhost);
        FSelectedEvents.All2_MoveHighlighted_Place(0);
        FPressSelected = true;
      }
    }
  }
  if (vlTW->LabelTool().isVisible()) vlTW->LabelTool().MyHide();
}

void TOfferAndSelect::MouseMove(TvlTrackWindow *vlTW, int PO, Qt::KeyboardModifiers SS,
                                Qt::MouseButtons Buttons, int Y, int X, const QPoint &Global) {
  if (!(Buttons & Qt::LeftButton)) {
    if (!(SS & Qt::ShiftModifier)) Hover(vlTW, PO, SS, Y, X);
    return;
  }
  if (!FMyIsMouseDown || !FPressSelected || FSelectedEvents.Count() == 0) return;
  const QPoint d = Global - MouseDownAt;
  // A wobble within the click distance moves nothing.
  if (!FDragStarted && std::hypot(d.x(), d.y()) < ClickDistance) return;
  FDragStarted = true;
  const int deltaPO = d.x();
  const double deltaS = double(RoundHalfEven(deltaPO * FMouseDownPixelDuration));
  FSelectedEvents.All_SetWhenRelativeSeconds(deltaS);
  TvlTrackWindow *tw = WindowOf(FSelectedEvents.SampleVlTW());
  if (tw) tw->vlTrackRender().DragInProgress = true;
  FSelectedEvents.All2_MoveHighlighted_ToNewRelativePO(deltaPO);
  if (tw) tw->vlTrackRender().DragInProgress = false;
}

void TOfferAndSelect::MouseUp(TvlTrackWindow *vlTW, int PO, Qt::KeyboardModifiers Shift,
                              Qt::MouseButton Button, int Y, int X, const QPoint &Global) {
  Q_UNUSED(PO);
  Q_UNUSED(Y);
  Q_UNUSED(X);
  if (Button != Qt::LeftButton || !FMyIsMouseDown) return;  // another action's release
  FMyIsMouseDown = false;
  const QPoint d = Global - MouseDownAt;
  const bool click =
      Clock().SteadyMSecs() - MouseDownAtMs <= ClickMs && std::hypot(d.x(), d.y()) < ClickDistance;
  bool moved = false;
  const bool hadSelection = FPressSelected;
  if (FPressSelected) {
    if (click || !FDragStarted) {
      // A click changes no time; whatever a wobble shifted goes back.
      FSelectedEvents.All_SetWhenRelativeSeconds(0);
    } else {
      const double deltaS = double(RoundHalfEven(d.x() * FMouseDownPixelDuration));
      FSelectedEvents.All_SetWhenRelativeSeconds(deltaS);
      moved = deltaS != 0;
    }
  }
  if (click) {
    if (Shift & Qt::ControlModifier)
      PlayAudioIfOnlyOneEventIsListed(FOfferedEvents, Global);
    else
      OfferList_TextLabelEdit(FOfferedEvents);
  }
  FPressSelected = false;
  FDragStarted = false;
  DropFromLists(true);
  if (hadSelection) {
    vlTW->InvalidateRebuildAndRedrawWithoutFlicker();
    if (moved && OnAllTracksChanged) OnAllTracksChanged();
    if (moved) vlTW->NotifyBookmarksChanged();
  }
  DropFromLists(false);
}

void TOfferAndSelect::DropFromLists(bool Markers) {
  TvlDayFilesManager *m = Manager();
  auto deselect = [&](TEventsList &L) {
    for (int i = 0; i < L.Count(); ++i) {
      const TKindOfEvent k = m ? m->EventKind_FromEventID(L.EventID(i)) : koeNone;
      if ((Markers && k == koeMarker) || (!Markers && IsLabelLikeKind(k))) {
        // A label being edited keeps its highlight.
        if (m && L.EventID(i) != FvlEventID_Blocked) m->Event_Deselect(L.EventID(i));
      }
    }
    if (Markers)
      L.ClearMarkerEvents();
    else
      L.ClearTiltedTextEvents();
  };
  deselect(FSelectedEvents);
  deselect(FOfferedEvents);
}

void TOfferAndSelect::ChangedDay() {
  // A bookmark moved to another day: its new ID is filed only after a rebuild of every track.
  if (TvlTrackWindow *tw = WindowOf(FSelectedEvents.SampleVlTW()))
    tw->InvalidateRebuildAndRedrawWithoutFlicker();
  if (OnAllTracksChanged) OnAllTracksChanged();
}

void TOfferAndSelect::OfferList_TextLabelEdit(const TEventsList &EL) {
  TvlDayFilesManager *m = Manager();
  for (int i = 0; i < EL.Count(); ++i) {
    const TSelectedEvent &e = EL.Entry(i);
    if (m && e.vlTrackWindowOwner && IsLabelLikeKind(m->EventKind_FromEventID(e.vlEventID))) {
      WindowOf(e.vlTrackWindowOwner)->EventID_OfferLabelTool(e.PixelOffset, e.vlEventID);
    }
  }
}

void TOfferAndSelect::PlayAudioIfOnlyOneEventIsListed(const TEventsList &EL, const QPoint &Global) {
  if (EL.Count() != 1) return;
  TvlDayFilesManager *m = Manager();
  TDateTime when = 0;
  const TSelectedEvent &e = EL.Entry(0);
  if (!m || !e.vlTrackWindowOwner || !m->WhenOf(e.vlEventID, when)) return;
  WindowOf(e.vlTrackWindowOwner)->PlayFrom(when, Global);
}

void TOfferAndSelect::ClearAll() {
  // Called after the event store was cleared: the listed IDs name nothing (or other events), so
  // they are forgotten without touching the store.
  FOfferedEvents.Clear();
  FSelectedEvents.Clear();
  FvlEventID_Blocked = NoEventID;
  vlEventID_Hysteresis = NoEventID;
  FMyIsMouseDown = false;
  FPressSelected = false;
  FDragStarted = false;
  FMouseDownVlTW = nullptr;
}

void TOfferAndSelect::WindowGoes(TvlTrackWindow *vlTW) {
  for (TEventsList *L : {&FOfferedEvents, &FSelectedEvents})
    for (int i = L->High(); i >= 0; --i)
      if (L->Entry(i).vlTrackWindowOwner == static_cast<TEventsListHost *>(vlTW)) L->Delete(i);
  if (FMouseDownVlTW == vlTW) FMouseDownVlTW = nullptr;
}

// ---------------------------------------------------------------------------------------------
// The track pop-up menu

RTrackPopupState TOfferAndSelect::PopupState(bool RecordingUnderRightPress) const {
  const int n = FOfferedEvents.Count();
  RTrackPopupState s;
  s.AddBookmark = n < 2;
  s.EditBookmark = n == 1;
  s.DeleteBookmark = n >= 1;
  s.JumpToText = n < 2;
  s.Play = n == 1;
  if (FRightMouseDownOnSlot && RecordingUnderRightPress) {
    s.Play = true;
    s.PlayFromBeginning = true;
    s.RecordingItems = true;
  }
  return s;
}

TEventID TOfferAndSelect::PopupAddBookmark() {
  if (FOfferedEvents.Count() != 0 || !FMouseDownVlTW) return NoEventID;
  TvlTrackWindow *tw = FMouseDownVlTW;
  TvlTrack &track = tw->vlTrack();
  const TEventID id = track.NewEvent(koeLabel, QChar(u'|'), FMouseDownTimelineDT);
  if (id == NoEventID) return NoEventID;
  track.InvalidateRendering();
  tw->InvalidateRebuildAndRedrawWithoutFlicker();
  tw->EventID_OfferLabelTool(0, id);
  tw->NotifyBookmarksChanged();
  return id;
}

int TOfferAndSelect::PopupDeleteBookmarks() {
  TvlDayFilesManager *m = Manager();
  if (!m) return 0;
  int deleted = 0;
  TvlTrackWindow *tw = WindowOf(FOfferedEvents.SampleVlTW());
  for (int i = FOfferedEvents.High(); i >= 0; --i) {
    const TEventID id = FOfferedEvents.EventID(i);
    if (tw && tw->LabelTool().EventHandleShowing() == id) tw->LabelTool().MyHide();
    if (m->Event_Delete(id)) ++deleted;
  }
  // The deleted events' IDs must not stay listed: a later event may take their slots.
  FOfferedEvents.Clear();
  for (int i = FSelectedEvents.High(); i >= 0; --i)
    if (m->EventKind_FromEventID(FSelectedEvents.EventID(i)) == koeNone) FSelectedEvents.Delete(i);
  if (FvlEventID_Blocked != NoEventID && m->EventKind_FromEventID(FvlEventID_Blocked) == koeNone)
    FvlEventID_Blocked = NoEventID;
  if (deleted > 0) {
    if (tw) tw->InvalidateRebuildAndRedrawWithoutFlicker();
    if (OnAllTracksChanged) OnAllTracksChanged();
    if (tw) tw->NotifyBookmarksChanged();
  }
  return deleted;
}
