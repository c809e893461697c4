#pragma once
// TvlBookmarkKeys: the bookmarks the keyboard makes while the user types notes. It is the
// window's TBookmarkKeysLink and sees every key of a notes editor before the editor does.
//
// Function keys: F1..F12, alone or with Shift, Ctrl or Ctrl+Shift, act as the options' key
// table says (rebuilt by RebuildKeyCommands whenever the "Bookmark Hot Keys" page changes):
//   "None"             nothing (the key is taken, so the editor does not act either);
//   "Bookmark"         F1..F9 the numbered bookmark of their digit, F10..F12 their label
//                      ("F10", " ", "") without opening it;
//   "Label from text"  a label whose text is what the user types next in the notes;
//   "Label window"     a label opened for typing (the track's label tool, else the vertical
//                      timeline's box), as F10..F12 always did.
// By default F1..F9 set numbered bookmarks and F10..F12 open a label window.
//
// Typed triggers, read live from the options:
//   "[[", "{{", "((", "<<"  (a pair of the same opening bracket): "Bookmark" makes a label with
//                      the brackets as its text; "Label from text" a label of the text typed
//                      up to the closing pair ("[[ call Ann ]]" gives "call Ann");
//   "??" (two or more question marks) and three repeated letters: "Bookmark" makes a label with
//                      the marks or letters as text; "Label from text" gathers what follows;
//   Ctrl+B, text, Ctrl+B: a label of the text made bold (no selection at the first Ctrl+B);
//   text typed while the space bar is held down (for 300 ms before the first letter, so that a
//                      fast typist's overlapping keys do not count): a label of that text (off
//                      by default);
//   Pause and Shift+Pause, when they neither pause playback nor step the transcription:
//                      "Bookmark" makes a label "Pause", "Label from text" gathers what follows.
// "Label window" opens a label for any of them. A label being gathered grows on its track with
// every key (the track's gatherers, vl09_GatherLabel.h); Enter, Tab, Escape, the page and cursor
// keys and the function keys end it (the tracks are told of every key by the window), as do
// 40 characters. The label is made only once its first character is typed, at the moment the
// trigger was typed, so an empty "[[]]" or a Ctrl+B without text leaves no bookmark.
//
// Which track and moment a bookmark gets is the window's event broker's answer. Every bookmark
// made counts as a change of the binder.
//
// User-interface thread only.

#include "vl09_GatherLabel.h"
#include "vl09_Options.h"
#include "vlMainWindowLinks.h"

#include <QPointer>
#include <QString>

#include <array>

class TVellomarFm;
class TvlDayFilesManager;
class TvlNotebook;
class TvlTimelineGlue;
class TvlTrack;
class TvlTrackGlue;

class TvlBookmarkKeys final : public TBookmarkKeysLink {
 public:
  TvlBookmarkKeys(TvlOptions &Options, TvlDayFilesManager &Events);
  void Connect(TVellomarFm &Window, TvlNotebook *Notebook, TvlTrackGlue &Tracks,
               TvlTimelineGlue &Timelines);

  // TBookmarkKeysLink
  bool NotesKeyPressed(int Key, Qt::KeyboardModifiers Modifiers, const QString &Text,
                       bool AutoRepeat) override;
  void NotesKeyReleased(int Key, bool AutoRepeat) override;
  void PauseKeyPressed(bool Shift) override;
  void RebuildKeyCommands() override;
  void RebuildBookmarkMenu() override;

  // The key table in use: [key - 1][modifier], modifier 0 none, 1 Shift, 2 Ctrl, 3 Ctrl+Shift.
  TTriggerOption KeyCommand(int FunctionKey, int Modifier) const;
  // The label being gathered from the notes; -1 while none is (or before its first character).
  TEventID GatheringEvent() const { return FGather.ID; }
  // The bookmarks were replaced (a binder closed or opened): a label being gathered is dropped.
  void EventsCleared();

 private:
  enum TGatherKind { gkNone, gkPair, gkBold, gkSpace, gkFollowing, gkPause };
  struct RGathering {
    TGatherKind Kind = gkNone;
    QChar Close;         // gkPair: the closing bracket
    QChar Skip;          // leading characters left out besides blanks ("???")
    TDateTime When = 0;  // the moment the trigger was typed
    TvlTrack *Track = nullptr;
    TEventID ID = NoEventID;  // made at the first character
  };

  bool FunctionKey(int Number, int Modifier);
  void Typed(QChar Ch);
  void Trigger(TTriggerOption Option, const QString &TriggerText, TGatherKind Kind, QChar Close);
  void StartGathering(TGatherKind Kind, QChar Close);
  void Gather(QChar Ch);
  void FinishGathering();
  // The gatherer of the label being gathered (the track's symbol, pair or space gatherer).
  TGatherLabel *Gatherer() const;
  // The track and moment the broker gives a new bookmark.
  TvlTrack *BrokeredTrack() const;
  TDateTime BrokeredMoment() const;
  TEventID NewLabel(TvlTrack *Track, TDateTime When, const QString &Text, QChar What);
  void OpenLabelWindow(TEventID ID);
  void BookmarkMade();

  TvlOptions &FOptions;
  TvlDayFilesManager &FEvents;
  TVellomarFm *FWindow = nullptr;
  QPointer<TvlNotebook> FNotebook;
  TvlTrackGlue *FTracks = nullptr;
  TvlTimelineGlue *FTimelines = nullptr;
  std::array<std::array<TTriggerOption, TvlOptions::ModifierCount>, TvlOptions::FunctionKeyCount>
      FKeyCommands{};
  // The characters typed last into the notes (a few), for the triggers.
  QString FTyped;
  RGathering FGather;
  bool FSpaceDown = false;
  TDateTime FSpaceDownWhen = 0;
  std::int64_t FSpaceDownMSecs = 0;
};
