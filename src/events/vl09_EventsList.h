#pragma once
// A small ordered list of events as one track window shows them: the picking logic keeps the
// events offered under the mouse in one list and the events picked up for dragging in another.
// Besides the container operations it carries the group operations of a drag: remember each
// event's starting moment, shift them all by a number of seconds, and move their highlighted
// drawings by a number of pixels, putting back the pixels they covered from a snapshot.
//
// The list knows a track window only through TEventsListHost, so it builds and is tested
// without widgets. An entry is identified by (window, event ID, type of selection); the list
// never holds the same triple twice.
//
// Shifting always starts from the moment remembered when the drag began, so repeated shifts
// during one drag do not accumulate, and a shift back to 0 puts the events back where they
// were (a drag that returns to its start must not leave the bookmark moved).
//
// User-interface thread only.

#include "vl09_DayFiles.h"
#include "vl09_TiltText.h"
#include "vlColor.h"

#include <QImage>
#include <QRect>
#include <QString>

#include <functional>
#include <vector>

class TvlDayFilesManager;

// What the events list needs from a track window.
class TEventsListHost {
 public:
  virtual ~TEventsListHost() = default;
  // The track bitmap the highlighted drawings are placed on.
  virtual TQuickBitmap &EventsList_Bitmap() = 0;
  virtual int EventsList_TrackBarMargin() const = 0;
  virtual int EventsList_HorizontalAllowance() const = 0;
  virtual int EventsList_LabelsBandBottom() const = 0;
  // Draws the event shifted by DeltaPO columns in clNew (and marks it selected).
  virtual void EventID_Offer(int DeltaPO, int PO, TColor clNew, TEventID EventID) = 0;
  // Withdraws the event's highlight; DoInstantUpdate refreshes the screen at once.
  virtual void EventID_OfferNoMore(int PO, TEventID EventID, bool DoInstantUpdate,
                                   TColor clGone) = 0;
};

// The pixels under a drawing before it was moved.
class TSnapshot {
 public:
  // Copies Rect of the source (parts outside it are left out when restoring).
  void Take(const QRect &Rect, const TQuickBitmap &Source);
  // Puts the copied pixels back at the top-left of SourceRect, clipped to the bitmap.
  void Restore(TQuickBitmap &Source) const;
  // Forgets the pixels (after the bitmap was rendered again they would be stale).
  void Discard() { FStorage = QImage(); }
  bool IsEmpty() const { return FStorage.isNull(); }
  QRect SourceRect() const { return FSourceRect; }
  QRect StorageRect() const { return FStorage.rect(); }

 private:
  QImage FStorage;
  QRect FSourceRect;
};

struct TSelectedEvent {
  TEventsListHost *vlTrackWindowOwner = nullptr;  // not owned
  TEventID vlEventID = NoEventID;
  TTypeOfSelection TypeOfSelection = tosNone;
  int PixelOffset = 0;  // the event's column when listed
  TDateTime OriginalWhen = 0;
  TSnapshot Snapshot;
};

class TEventsList {
 public:
  // Ghost colour of the place a dragged event comes from (red 160, green 176, blue 220).
  static constexpr TColor clGhost = 14463136;
  static constexpr TColor clDragged = 255;  // red

  // Manager: nullptr for the process-wide one.
  explicit TEventsList(TvlDayFilesManager *Manager = nullptr) : FManager(Manager) {}

  // ---- Container
  bool Push(TEventsListHost *vlTW, int PO, TTypeOfSelection TypeOfSelection, TEventID vlEventID);
  bool Peek(int I, TEventsListHost *&vlTW, TTypeOfSelection &TypeOfSelection, TEventID &eID,
            int &PO) const;
  bool Pop(TEventsListHost *&vlTW, int &PO, TTypeOfSelection &TypeOfSelection, TEventID &vlEventID);
  int Count() const { return static_cast<int>(FEvents.size()); }
  int Low() const { return 0; }
  int High() const { return Count() - 1; }
  void Clear() { FEvents.clear(); }
  void Delete(int Index);
  // Remove (from the back) every entry whose event is now a marker / label-like.
  void ClearMarkerEvents();
  void ClearTiltedTextEvents();
  void CopyFrom(const TEventsList &Other);
  // Pops Other until it is empty, pushing each entry here (the order is reversed).
  void TransferFrom(TEventsList &Other);
  int FindIndexOf(const TEventsListHost *vlTW, TEventID vlEventID,
                  TTypeOfSelection TypeOfSelection) const;
  int FindEventIDOf(const TEventsListHost *vlTW, int PixelOffset,
                    TTypeOfSelection TypeOfSelection) const;
  // Out of range reports "EL.EID" and answers -1.
  TEventID EventID(int Index) const;
  bool IsEventIDListed(TEventID vlEventID) const;
  TEventsListHost *SampleVlTW() const;
  const TSelectedEvent &Entry(int Index) const { return FEvents[Index]; }
  QString TraceStr(const QString &NoteStr) const;

  // ---- Dragging
  void All_PopulateOriginalWhen();
  // Every event's moment := its OriginalWhen + DeltaSeconds (0 puts them back). An event moved
  // to another day gets a new ID, which the entry takes; then OnEventsChangedDay runs once and
  // the snapshots are dropped, because the tracks are drawn again.
  void All_SetWhenRelativeSeconds(double DeltaSeconds);
  void All2_MoveHighlighted_Prepare(TColor clGhostColour);
  void All2_MoveHighlighted_Place(int DeltaPO);
  void All2_MoveHighlighted_Remove(bool DoInstantUpdate);
  void All2_MoveHighlighted_ToNewRelativePO(int DeltaPO);
  // All tracks are rebuilt and redrawn (installed by the main window).
  std::function<void()> OnEventsChangedDay;

 private:
  TvlDayFilesManager *Manager() const;
  void RemoveByKind(bool (*Matches)(TKindOfEvent));

  TvlDayFilesManager *FManager;
  std::vector<TSelectedEvent> FEvents;
};
