#pragma once
// TvlTrackGlue: the two tracks of the main window (the historical track, which follows the
// notes, and the current-day track, which follows the recording), with the level visualisation
// they share with the vertical timeline, the bookmark picking across both, and the track pop-up
// menu. It puts the track windows, each with its zoom panel at its right, into the window's
// panels and is their links (TTrackWindowLinks) and the window's track panel (TTrackPanelLink).
// The timeline options (label angle, label band height, 24-hour ticks, background contrast) reach
// both tracks through ApplyTimelineOptions, at connection and at every redraw the options ask for.
//
// A right press on a recording's band selects that recording (its levels drawn highlighted) while
// the pop-up is open and a little after it closes.
//
// The window owns the track windows once attached; this object owns the tracks they draw and must
// outlive the window (the program destroys it after the window). User-interface thread only.

#include "vl09_Calendar.h"
#include "vl09_OfferAndSelect.h"
#include "vl09_Track.h"
#include "vl09_TrackWindow.h"
#include "vl09_VUSelection.h"
#include "vl09_Visualization.h"
#include "vl09_ZoomPanel.h"
#include "vlMainWindowLinks.h"
#include "vlRecordingCommands.h"
#include "vlTimelineGlue.h"

#include <QPointer>
#include <QTimer>

#include <memory>

class QMenu;
class TVellomarFm;
class TvlAudio;
class TvlMediaFoldersInfo;
class TvlMediaInfo;
class TvlNotebook;
class TvlOptions;
class TvlTimelineGlue;

// The look of the tracks the options ask for.
RTrackLook TrackLookFromOptions(const TvlOptions &Options);

class TvlTrackGlue final : public TTrackPanelLink,
                           public TTrackWindowLinks,
                           public TTimelineTracksLink {
 public:
  // Options are read at every redraw; not owned, must outlive the glue.
  TvlTrackGlue(TvlAudio &Audio, TvlMediaFoldersInfo &Folders, TvlMediaInfo &MediaInfo,
               TvlOptions &Options);
  ~TvlTrackGlue() override;
  TvlTrackGlue(const TvlTrackGlue &) = delete;
  TvlTrackGlue &operator=(const TvlTrackGlue &) = delete;

  void Connect(TVellomarFm &Window, TvlNotebook *Notebook, TvlTimelineGlue &Timelines);
  TVisualization &Visualization() { return FVis; }
  TvlTrackWindow *Historical() const { return FOld; }
  TvlTrackWindow *Current() const { return FNow; }
  TvlZoomPanel *HistoricalZoomPanel() const { return FZoomOld; }
  TvlZoomPanel *CurrentZoomPanel() const { return FZoomNow; }
  // The options' look and label band height on both tracks; the window's track panel takes
  // their new height.
  void ApplyTimelineOptions();
  // The level selection: the recording chosen by a right press on a track.
  const TVuSelection &Selection() const { return FSelection; }
  // Selects the recording at Path on the tracks (empty: clears the selection); the levels of the
  // span are drawn again.
  void SelectRecording(const QString &Path);
  // The caret's moment: the historical track shows it.
  void Follow(TDateTime Moment) override;
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
  bool TrackTakesWheel(const QWidget *Widget, Qt::KeyboardModifiers Modifiers) const override;

 private:
  TvlTrackWindow *MakeWindow(TvlTrack &Track);
  // The track window with its zoom panel at its right, in one box for the window's panel.
  QWidget *MakeBox(TvlTrackWindow *Window, QPointer<TvlZoomPanel> &Panel);
  // The levels of a span are sent again (a selection drawn or undrawn).
  void RedrawLevels(TDateTime From, TDateTime To);
  void ShowPopup(TvlTrackWindow *Window, const QPoint &Global);
  // Recordings moved or went between From and To: their levels and the tracks are drawn again.
  void RecordingsChanged(TDateTime From, TDateTime To);

  TvlAudio &FAudio;
  TvlMediaFoldersInfo &FFolders;
  TvlMediaInfo &FMediaInfo;
  TvlOptions &FOptions;
  TVuSelection FSelection;
  // Clears the selection a little after the pop-up menu closes.
  QTimer FClearSelectionTimer;
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
  QPointer<TvlZoomPanel> FZoomOld;
  QPointer<TvlZoomPanel> FZoomNow;
  QPointer<QMenu> FPopup;
};
