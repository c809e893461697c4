#include "vlEditorHost.h"

namespace {
IEditorHost DefaultHost;
IBookmarkSink DefaultSink;
ITimelineFollower DefaultFollower;
IEditorHost *Host = &DefaultHost;
IBookmarkSink *Sink = &DefaultSink;
ITimelineFollower *Follower = &DefaultFollower;
}  // namespace

IEditorHost &EditorHost() { return *Host; }
void SetEditorHost(IEditorHost *H) { Host = H ? H : &DefaultHost; }
IBookmarkSink &BookmarkSink() { return *Sink; }
void SetBookmarkSink(IBookmarkSink *S) { Sink = S ? S : &DefaultSink; }
ITimelineFollower &TimelineFollower() { return *Follower; }
void SetTimelineFollower(ITimelineFollower *F) { Follower = F ? F : &DefaultFollower; }
