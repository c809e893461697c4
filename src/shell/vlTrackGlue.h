#pragma once
// TvlTrackGlue: the two tracks of the main window (the historical track, which follows the
// notes, and the current-day track, which follows the recording), with the level visualisation
// they share with the vertical timeline, the bookmark picking across both, and the track pop-up
// menu. It puts the track windows into the window's panels and is their links (TTrackWindowLinks)
// and the window's track panel (TTrackPanelLink).
//
// The window owns the track windows once attached; this object owns the tracks they draw and must
// outlive the window (the program destroys it after the window). User-interface thread only.

#include "vl09_Calendar.h"
#include "vl09_OfferAndSelect.h"
#include "vl09_Track.h"
#include "vl09_TrackWindow.h"
#include "vl09_Visualization.h"
#include "vlMainWindowLinks.h"
#include "vlRecordingCommands.h"

#include <QPointer>

#include <memory>

class QMenu;
class TVellomarFm;
class TvlAudio;
class TvlMediaFoldersInfo;
class TvlMediaInfo;
class TvlNotebook;
class TvlTimelineGlue;

class TvlTrackGlue final : public TTrackPanelLink, public TTrackWindowLinks {
 public:
  TvlTrackGlue(TvlAudio &Audio, TvlMediaFoldersInfo &Folders, TvlMediaInfo &MediaInfo);
  ~TvlTrackGlue() override;
  TvlTrackGlue(const TvlTrackGlue &) = delete;
  TvlTrackGlue &operator=(const TvlTrackGlue &) = delete;

  void Connect(TVellomarFm &Window, TvlNotebook *Notebook, TvlTimelineGlue &Timelines);
  TVisualization &Visualization() { return FVis; }
  TvlTrackWindow *Historical() const { return FOld; }
  TvlTrackWindow *Current() const { return FNow; }
  // The caret's moment: the historical track shows it.
  void Follow(TDateTime Moment);
  // The bookmarks are about to be replaced: the tracks let go of the ones they hold.
  void EventsCleared();
  // Bookmarks changed on a track or elsewhere (the vertical timeline, a function key): both
  // tracks and the vertical timeline draw them again.
  void BookmarksChanged() override;
  // The pop-up's commands on the recording under the right press.
  TvlRecordingCommands &Recordings() { return FRecordings; }
  // The recording under the last right press on a track's recording band; empty when none.
  const QString &SelectedAudioPathName() const { return FSelectedAudioPathName; }

  // TTrackWindowLinks
  void PopupRequested(TvlTrackWindow &Window, const QPoint &Global) override;
  void ShowHint(const QPoint &Global, const QString &Text, int MSecs) override;
  void ShowTempo(int Tempo) override;
  void CalendarRequested(TDateTime At) override;
  void LabelToolHidden() override;

  // TTrackPanelLink
  void SetupHistoricalTrack(TDateTime When, double Zoom) override;
  TDateTime HistoricalTrackWhen() override;
  double HistoricalTrackZoom() override;
  void SetTrackTimersEnabled(bool Enabled) override;
  void RepaintInvalidatedTracks() override;
  bool TrackShowsMoment(TBrokerTrack Track, TDateTime When) const override;
  void RecordingStarted_MoveCurrentTrack() override;
  void RedrawTracks() override;
  void TempoChanged(int WantedTempo, int SpeedBarTempo) override;
  void KeyPressed(int Key) override;
  void MouseMoved(QPoint GlobalPos) override;

 private:
  TvlTrackWindow *MakeWindow(TvlTrack &Track);
  void ShowPopup(TvlTrackWindow *Window, const QPoint &Global);
  // Recordings moved or went between From and To: their levels and the tracks are drawn again.
  void RecordingsChanged(TDateTime From, TDateTime To);

  TvlAudio &FAudio;
  TvlMediaInfo &FMediaInfo;
  TVisualization FVis;
  TvlTrack FTrackOld;
  TvlTrack FTrackNow;
  TOfferAndSelect FOfferAndSelect;
  TvlAudioForTrack FTrackAudio;
  TvlRecordingCommands FRecordings;
  QString FSelectedAudioPathName;
  // A recording chosen in the calendar fills the historical track and tops the vertical
  // timeline; a day double-clicked starts the historical track.
  class TCalendarToTracks final : public TCalendarLinks {
   public:
    explicit TCalendarToTracks(TvlTrackGlue &Glue) : FGlue(Glue) {}
    void ShowSpanOnHistoricalTrack(TDateTime StartDT, TDateTime EndDT) override;
    void MoveHistoricalTrackTo(TDateTime When) override;

   private:
    TvlTrackGlue &FGlue;
  };
  TCalendarToTracks FCalendarLinks{*this};
  TVellomarFm *FWindow = nullptr;
  QPointer<TvlNotebook> FNotebook;
  TvlTimelineGlue *FTimelines = nullptr;
  QPointer<TvlTrackWindow> FOld;
  QPointer<TvlTrackWindow> FNow;
  QPointer<QMenu> FPopup;
};
