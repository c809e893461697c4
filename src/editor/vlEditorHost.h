#pragma once
// What the editor needs from the windows above it, as small interfaces with harmless defaults:
// the main window's commands and font buttons (IEditorHost), the day files' bookmarks
// (IBookmarkSink) and the timelines that follow the caret's moment (ITimelineFollower). The
// shell, the day files manager and the timelines install real ones; tests install fakes.
//
// User-interface thread only.

#include "vlDateTime.h"
#include "vlSeam.h"
#include "vldFontsInUse.h"

#include <QString>

#include <cstdint>

class IEditorHost {
 public:
  virtual ~IEditorHost() = default;
  // The main window's actions.
  virtual void FontBold() {}
  virtual void FontItalic() {}
  virtual void FontUnderline() {}
  virtual void FileSave() {}
  virtual void TextBullets() {}
  // Escape: the search results panel closes when it is open.
  virtual void SearchClose() {}
  // The font typing will use, for the bold, italic, underline and colour buttons.
  virtual void UpdateFontButtonState(TFontIndex /*Font*/) {}
  // A function key changed the binder's events: the active tab counts a change.
  virtual void IncrementChangeCountOfActiveDoc() {}
};

// Bookmarks set from the keyboard. IDs follow the day files: -1 is "no event"; adding an event
// that already exists answers the existing one's ID.
class IBookmarkSink {
 public:
  virtual ~IBookmarkSink() = default;
  // A numbered marker (Code 49..57 for the digits 1..9) at When.
  virtual std::int32_t AddMarker(int /*Code*/, TDateTime /*When*/) { return -1; }
  // A text label at When.
  virtual std::int32_t AddLabel(const QString & /*Text*/, TDateTime /*When*/) { return -1; }
  // Opens a label for editing (the vertical timeline's label editor).
  virtual void BookmarkEdit(std::int32_t /*EventID*/) {}
};

// The vertical timeline and the historical track follow the text at the caret.
class ITimelineFollower {
 public:
  virtual ~ITimelineFollower() = default;
  // A moment below 100 means "no moment": the timelines stay where they are.
  virtual void FollowMoment(TDateTime /*Moment*/) {}
  // A key was released: the vertical timeline renders again.
  virtual void KeyReleased() {}
};

// The installed ones; the defaults do nothing. Not owned; nullptr restores the default.
TSeam<IEditorHost> &EditorHostSeam();
TSeam<IBookmarkSink> &BookmarkSinkSeam();
TSeam<ITimelineFollower> &TimelineFollowerSeam();
IEditorHost &EditorHost();
void SetEditorHost(IEditorHost *Host);
IBookmarkSink &BookmarkSink();
void SetBookmarkSink(IBookmarkSink *Sink);
ITimelineFollower &TimelineFollower();
void SetTimelineFollower(ITimelineFollower *Follower);
