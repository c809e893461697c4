#include "vlEditorHost.h"

namespace {
IEditorHost DefaultHost;
IBookmarkSink DefaultSink;
ITimelineFollower DefaultFollower;
}  // namespace

TSeam<IEditorHost> &EditorHostSeam() {
  static TSeam<IEditorHost> seam(DefaultHost);
  return seam;
}
TSeam<IBookmarkSink> &BookmarkSinkSeam() {
  static TSeam<IBookmarkSink> seam(DefaultSink);
  return seam;
}
TSeam<ITimelineFollower> &TimelineFollowerSeam() {
  static TSeam<ITimelineFollower> seam(DefaultFollower);
  return seam;
}

IEditorHost &EditorHost() { return EditorHostSeam().Get(); }
void SetEditorHost(IEditorHost *H) { EditorHostSeam().Install(H); }
IBookmarkSink &BookmarkSink() { return BookmarkSinkSeam().Get(); }
void SetBookmarkSink(IBookmarkSink *S) { BookmarkSinkSeam().Install(S); }
ITimelineFollower &TimelineFollower() { return TimelineFollowerSeam().Get(); }
void SetTimelineFollower(ITimelineFollower *F) { TimelineFollowerSeam().Install(F); }
