#pragma once
// Wiring between the tracks and the recordings catalogue, so the main window connects them in
// two calls:
//   - after every rebuild of a track index, the catalogue lists the months the span reaches and
//     the recordings touching the span
//     and sends the stored level readings of those it has not sent yet to the visualisation;
//   - when the visualisation drops sections (its cap, or ClearAllVu when a binder closes), the
//     catalogue marks that span as not sent, so it is sent again when a track shows it.
//
// User-interface thread only.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_TrackIndex.h"
#include "vl09_Visualization.h"

// Media's readings go to Vis; sections Vis drops are marked to be sent again.
inline void BindVisualizationToCatalogue(TVisualization &Vis, TvlMediaInfo &Media) {
  Media.SetVisualizationTarget(&Vis);
  Vis.SetDropHook(
      [&Media](TDateTime From, TDateTime Till) { Media.InvalidateVisualization(From, Till); });
}

// After each rebuild of Index, the recordings of its span are listed and their readings sent.
inline void BindTrackToCatalogue(TvlTrackIndex &Index, TvlMediaFoldersInfo &Folders,
                                 TvlMediaInfo &Media) {
  Index.SetSpanHook([&Folders, &Media](TDateTime From, TDateTime Till, TAudioRole) {
    // The months the span reaches into are listed first.
    Folders.Month_AddMonthOf(From);
    Folders.Month_AddMonthOf(Till);
    Folders.ListFilesTouchedByTimePeriod(From, Till, Media);
    Media.SendHistoricalVisualizationData(From, Till);
  });
}
