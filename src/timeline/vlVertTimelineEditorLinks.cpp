#include "vlVertTimelineEditorLinks.h"

#include "vl09_DayFilesManager.h"
#include "vl09_VertTimeline.h"

TVertBookmarkSink::TVertBookmarkSink(TVertTimeline *Timeline) : FTimeline(Timeline) {}

void TVertBookmarkSink::SetTimeline(TVertTimeline *Timeline) { FTimeline = Timeline; }

void TVertBookmarkSink::Added(TEventID ID) {
  if (ID < 0) return;
  if (FTimeline) FTimeline->InvalidateRendering();
  if (BookmarksChanged) BookmarksChanged();
}

std::int32_t TVertBookmarkSink::AddMarker(int Code, TDateTime When) {
  TvlDayFilesManager *dfm = FTimeline ? FTimeline->DayFiles() : vlDFM();
  if (!dfm) return NoEventID;
  const TEventID id = dfm->AddNumberedBookmark(Code - '0', When);
  Added(id);
  return id;
}

std::int32_t TVertBookmarkSink::AddLabel(const QString &Text, TDateTime When) {
  TvlDayFilesManager *dfm = FTimeline ? FTimeline->DayFiles() : vlDFM();
  if (!dfm) return NoEventID;
  const TEventID id = dfm->AddLabelBookmark(When, Text);
  Added(id);
  return id;
}

void TVertBookmarkSink::BookmarkEdit(std::int32_t EventID) {
  if (EventID < 0) return;
  if (OpenLabelTool) {
    TvlDayFilesManager *dfm = FTimeline ? FTimeline->DayFiles() : vlDFM();
    const TDateTime when = dfm ? dfm->EventWhen_FromEventID(EventID) : 0;
    if (OpenLabelTool(EventID, when)) return;
  }
  if (FTimeline && FTimeline->isVisible()) FTimeline->BookmarkEdit(EventID);
}

TVertTimelineFollower::TVertTimelineFollower(TVertTimeline *Timeline) : FTimeline(Timeline) {}

void TVertTimelineFollower::SetTimeline(TVertTimeline *Timeline) { FTimeline = Timeline; }

void TVertTimelineFollower::FollowMoment(TDateTime Moment) {
  if (FTimeline) FTimeline->MaybeCauseTimelineToFollowDT(Moment);
  if (AlsoFollow) AlsoFollow(Moment);
}

void TVertTimelineFollower::KeyReleased() {
  if (FTimeline) FTimeline->InvalidateRendering();
}
