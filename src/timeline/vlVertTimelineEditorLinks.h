#pragma once
// The editor's seams (vlEditorHost.h) filled by the timeline side: the function keys' bookmarks
// go into the day files and their labels open for typing, and the caret's moment makes the
// vertical timeline follow. The main window installs one of each (SetBookmarkSink,
// SetTimelineFollower) once the vertical timeline exists.
//
// User-interface thread only.

#include "vl09_DayFiles.h"
#include "vlEditorHost.h"

#include <QPointer>

#include <functional>

class TVertTimeline;

// F1..F9 add numbered markers, F10..F12 labels, at the caret's moment (vlDFM()).
class TVertBookmarkSink final : public IBookmarkSink {
 public:
  explicit TVertBookmarkSink(TVertTimeline *Timeline = nullptr);
  void SetTimeline(TVertTimeline *Timeline);

  std::int32_t AddMarker(int Code, TDateTime When) override;
  std::int32_t AddLabel(const QString &Text, TDateTime When) override;
  // Opens the new label for typing: through OpenLabelTool when it is set and takes the label,
  // else in the vertical timeline's edit box.
  void BookmarkEdit(std::int32_t EventID) override;

  // The label tool of the tracks, once the main window has one: answers true when it opened
  // the label. Empty: the vertical timeline's edit box is used.
  std::function<bool(TEventID EventID, TDateTime When)> OpenLabelTool;
  // A bookmark was added: the tracks draw it.
  std::function<void()> BookmarksChanged;

 private:
  void Added(TEventID ID);
  QPointer<TVertTimeline> FTimeline;
};

// The caret's moment to the vertical timeline; AlsoFollow hands it on (the historical track).
class TVertTimelineFollower final : public ITimelineFollower {
 public:
  explicit TVertTimelineFollower(TVertTimeline *Timeline = nullptr);
  void SetTimeline(TVertTimeline *Timeline);
  void FollowMoment(TDateTime Moment) override;
  void KeyReleased() override;
  std::function<void(TDateTime Moment)> AlsoFollow;

 private:
  QPointer<TVertTimeline> FTimeline;
};
