#pragma once
// The mouse logic that finds bookmarks under the mouse on a track, highlights (offers) them,
// picks them up on a press, drags them along the track to change their time, and turns a short
// click into editing a label or, with Ctrl, playing from a bookmark. One object serves both
// track windows; each passes its mouse events here.
//
// Faults of the classic design that this one avoids:
//   - A click (released within 499 ms and 3.5 pixels) leaves the bookmarks where they were:
//     moves start shifting only once the pointer has gone 3.5 pixels, and a click puts back any
//     shift made.
//   - A drag that comes back to its start puts the bookmarks back at their starting time.
//   - Cycling through overlapping bookmarks picks candidate (TieBreaker mod count), so a spot
//     with fewer candidates than the last never indexes past them.
//   - After a move both tracks (and the vertical timeline) are rebuilt, not only the one
//     pressed, and bookmarks dropped from the lists are deselected so they stop drawing red.
// Every change goes through the day files manager, which is where the binder's unsaved state
// looks for changed bookmarks.
//
// User-interface thread only.

#include "vl09_EventsList.h"

#include <QPoint>

#include <functional>
#include <vector>

class TvlTrackWindow;
class TvlDayFilesManager;

// Which items of the track pop-up menu are enabled, from the bookmarks offered under the mouse
// and whether the right press was on a recording's slot.
struct RTrackPopupState {
  bool AddBookmark = false;        // "&Add Bookmark ..."
  bool EditBookmark = false;       // "Edit Bookmark ..."
  bool DeleteBookmark = false;     // "&Delete Bookmark"
  bool JumpToText = false;         // "&Jump to Corresponding Point in Notes"
  bool Play = false;               // "&Play"
  bool PlayFromBeginning = false;  // "&Play" reads "&Play from Beginning"
  bool RecordingItems = false;     // adjust, copy path, delete, open folder of the recording
};

class TOfferAndSelect {
 public:
  static constexpr TColor clOffered = 255;    // red
  static constexpr TColor clGreen = 32768;    // (0, 128, 0)
  static constexpr TColor clAqua = 16776960;  // (0, 255, 255)
  static constexpr int ClickMs = 499;
  static constexpr double ClickDistance = 3.5;
  static constexpr int KeepSelectedMs = 333;

  explicit TOfferAndSelect(TvlDayFilesManager *Manager = nullptr);

  void MouseDown(TvlTrackWindow *vlTW, int PO, Qt::KeyboardModifiers SS, Qt::MouseButton Button,
                 int Y, int X, const QPoint &Global);
  void MouseMove(TvlTrackWindow *vlTW, int PO, Qt::KeyboardModifiers SS, Qt::MouseButtons Buttons,
                 int Y, int X, const QPoint &Global);
  void MouseUp(TvlTrackWindow *vlTW, int PO, Qt::KeyboardModifiers Shift, Qt::MouseButton Button,
               int Y, int X, const QPoint &Global);

  void OfferList_TextLabelEdit(const TEventsList &EL);
  void PlayAudioIfOnlyOneEventIsListed(const TEventsList &EL, const QPoint &Global);
  int AddMarkerEventsAt(TvlTrackWindow *vlTW, int PO, TEventsList &EL);
  int AddLabelTimeEventsAt(TvlTrackWindow *vlTW, int PO, TEventsList &EL);
  int AddLabelTextEventsAt(TvlTrackWindow *vlTW, int PO, TEventsList &EL,
                           TTypeOfSelection TypeOfSelection, int Y, int X);
  // ---- The track pop-up menu's commands (the main window opens the menu)
  RTrackPopupState PopupState(bool RecordingUnderRightPress) const;
  // "&Add Bookmark ...": with nothing offered, a label ("|") at the moment pressed on the track
  // pressed, its text typed next in the label tool. The new event's ID, or -1.
  TEventID PopupAddBookmark();
  // "Edit Bookmark ...": the label tool on the offered label.
  void PopupEditBookmark() { OfferList_TextLabelEdit(FOfferedEvents); }
  // "&Play" on one offered bookmark: plays from its moment at the wanted tempo. (Playing the
  // recording under a right press from its beginning is the main window's, with the catalogue.)
  void PopupPlay(const QPoint &Global) { PlayAudioIfOnlyOneEventIsListed(FOfferedEvents, Global); }
  // "&Delete Bookmark": every offered event, from the last to the first; all tracks rebuilt.
  int PopupDeleteBookmarks();

  // Forgets every offer and selection after the event store was cleared.
  void ClearAll();
  // A window is destroyed: entries naming it are dropped.
  void WindowGoes(TvlTrackWindow *vlTW);
  // Told after bookmarks moved: every track and the vertical timeline are rebuilt.
  std::function<void()> OnAllTracksChanged;
  bool FMarkMoveLeavesGhost = true;

  // Read by the track pop-up menu and the add-bookmark command.
  TEventsList FOfferedEvents;
  TEventsList FSelectedEvents;
  TvlTrackWindow *FMouseDownVlTW = nullptr;
  TDateTime FMouseDownTimelineDT = 0;
  double FMouseDownPixelDuration = 0;
  bool FRightMouseDownOnSlot = false;
  bool FMyIsMouseDown = false;
  TEventID FvlEventID_Blocked = NoEventID;
  TEventID vlEventID_Hysteresis = NoEventID;

 private:
  TvlDayFilesManager *Manager() const;
  void Hover(TvlTrackWindow *vlTW, int PO, Qt::KeyboardModifiers SS, int Y, int X);
  void OfferOne(TvlTrackWindow *vlTW, int PO, TEventID EventID);
  // Withdraws every offer except the entry Keep of the offered list (-1: all).
  void WithdrawOffers(int Keep);
  void DeselectAll();
  // Removes the entries of this kind class from both lists, deselecting their events.
  void DropFromLists(bool Markers);
  void ChangedDay();

  TvlDayFilesManager *FManager;
  int TieBreaker = 0;
  std::int64_t TieOfferMs = 0;
  QPoint MouseDownAt;
  std::int64_t MouseDownAtMs = 0;
  bool FDragStarted = false;
  bool FPressSelected = false;
};
