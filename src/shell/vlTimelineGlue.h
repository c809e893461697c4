#pragma once
// TvlTimelineGlue: the vertical timeline beside the notes and the calendar of recordings, put in
// the main window and tied to the notebook, the audio facade, the recordings catalogue and the
// editor's seams (the function keys' bookmarks and the caret's moment).
//
// The window owns the timeline widget once attached; this object holds what the timeline refers
// to and must outlive the window's teardown (the program destroys it after the window).
//
// User-interface thread only.

#include "vl09_Calendar.h"
#include "vl09_MyAudio.h"
#include "vl09_TimeCursor.h"
#include "vl09_VertTimeline.h"
#include "vl09_VuMeter.h"
#include "vlMainWindowLinks.h"
#include "vlVertTimelineEditorLinks.h"

#include <QMenu>
#include <QPointer>

#include <memory>

class TVellomarFm;
class TvlAudio;
class TvlMediaFoldersInfo;
class TvlMediaInfo;
class TvlNotebook;
class TCalendarLinks;
class TvlOptions;

// What the vertical timeline hands on to the tracks beside it; the track glue implements it.
class TTimelineTracksLink {
 public:
  virtual ~TTimelineTracksLink() = default;
  // The caret's moment, which the vertical timeline follows: the historical track follows too.
  virtual void Follow(TDateTime Moment) = 0;
  // Bookmarks changed on the vertical timeline: the tracks draw them again.
  virtual void BookmarksChanged() = 0;
};

class TvlTimelineGlue final : public TVertTimelineLinks,
                              public TTimelinePanelLink,
                              private TAudioLevelListener {
 public:
  TvlTimelineGlue(TvlAudio &Audio, TvlMediaFoldersInfo &Folders, TvlMediaInfo &MediaInfo,
                  TvlOptions &Options);
  ~TvlTimelineGlue() override;
  TvlTimelineGlue(const TvlTimelineGlue &) = delete;
  TvlTimelineGlue &operator=(const TvlTimelineGlue &) = delete;

  // Creates the vertical timeline in Window's side panel and installs the editor's seams.
  void Connect(TVellomarFm &Window, TvlNotebook *Notebook);
  // The level band from the tracks' visualisation rather than from the level files (not owned).
  void SetLevelSource(TVertLevelSource *Source);
  // The tracks beside the timeline (not owned; nullptr detaches).
  void SetTracksLink(TTimelineTracksLink *Tracks) { FTracksLink = Tracks; }
  TTimelineTracksLink *TracksLink() const { return FTracksLink; }
  TVertTimeline *VertTimeline() const { return FTimeline; }
  // Behind the editor's seams: the function keys' bookmarks and the caret's moment.
  IBookmarkSink &BookmarkSinkPart() { return FBookmarks; }
  ITimelineFollower &FollowerPart() { return FFollower; }
  // The options that change the timeline's look (24-hour ruler, scrolling background) are
  // applied at once: at Connect, while the options window changes them and when it closes.
  void ApplyOptions();
  // The bookmarks are about to be replaced: the timeline lets go of the ones it holds.
  void EventsCleared();
  // "&View Recordings ...": the calendar, seeded with When's month.
  void ViewRecordings(TDateTime When);
  // Where a recording or day chosen in the calendar is shown (the tracks; not owned).
  void SetCalendarLinks(TCalendarLinks *Links) { FCalendarLinks = Links; }
  // The level strip above the timeline (null before Connect and after the window closed).
  TVuMeter *LevelMeter() const { return FMeter; }

  // TTimelinePanelLink
  void DoPendingTimelineChange() override;
  TDateTime FeatureMoment() const override;
  void ViewRecordings() override;
  void ShowInputLevel(int Level) override;

  // TVertTimelineLinks
  TDocument *ActiveDocument() override;
  std::vector<const TDocument *> Documents() override;
  void MoveCaretTo(const TCaretPos &Pos) override;
  void ActivateDocument(const TDocument *Doc) override;
  void FocusActiveEditor() override;
  void OpenCalendar(TDateTime SeedWhen) override;
  void ShowHint(const QString &Text, QPoint ScreenAt, int MSecs) override;
  void BookmarksChanged() override;
  // Ctrl and the right button at the timeline's top right: every menu of the menu bar.
  void ShowFullMenu(QPoint ScreenAt) override;
  // The level band: the loud arrow with the row's time written in it (where a click plays).
  void TimeCursor_Update(QWidget *Control, TDateTime When) override;
  QMenu *FullMenu() const { return FFullMenu; }
  const TTimeCursor &TimeCursorLoud() const { return FTimeCursorLoud; }

 private:
  // TAudioLevelListener: the recorder's readings go to the level strip.
  void RecorderLevel(int Level, TDateTime When) override;
  void PlayerLevel(int Player, int PeakLeft, int PeakRight) override;

  TvlAudio &FAudio;
  TvlMediaFoldersInfo &FFolders;
  TvlMediaInfo &FMediaInfo;
  TvlOptions &FOptions;
  TVertTimelineAudioOfFacade FTimelineAudio;
  TCatalogueLevelSource FLevels;
  TVertBookmarkSink FBookmarks;
  TVertTimelineFollower FFollower;
  TVellomarFm *FWindow = nullptr;
  QPointer<TvlNotebook> FNotebook;
  QPointer<TVertTimeline> FTimeline;
  TCalendarLinks *FCalendarLinks = nullptr;
  QPointer<TVuMeter> FMeter;
  TTimelineTracksLink *FTracksLink = nullptr;
  QPointer<QMenu> FFullMenu;
  TTimeCursor FTimeCursorLoud{true};
};
