#include "vlTrackGlue.h"

#include "vl09_Hint.h"
#include "vl09_LabelTool.h"
#include "vl09_Main.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyAudio.h"
#include "vl09_Notebook.h"
#include "vlCalendarMonth.h"
#include "vlClock.h"
#include "vlGuard.h"
#include "vlTimelineGlue.h"
#include "vlTrackAudioBinding.h"
#include "vlTrackMapping.h"

#include <QMenu>

#include <cmath>

TvlTrackGlue::TvlTrackGlue(TvlAudio &Audio, TvlMediaFoldersInfo &Folders, TvlMediaInfo &MediaInfo)
    : FAudio(Audio),
      FMediaInfo(MediaInfo),
      FTrackOld(arHistorical, &FVis),
      FTrackNow(arCurrent, &FVis),
      FTrackAudio(Audio),
      FRecordings(Audio, Folders, MediaInfo) {
  BindVisualizationToCatalogue(FVis, MediaInfo);
  BindTrackToCatalogue(FTrackOld.Index(), Folders, MediaInfo);
  BindTrackToCatalogue(FTrackNow.Index(), Folders, MediaInfo);
  FOfferAndSelect.OnAllTracksChanged = [this] { BookmarksChanged(); };
  FRecordings.Refreshed = [this](TDateTime From, TDateTime To) { RecordingsChanged(From, To); };
  FRecordings.BookmarksMoved = [this] {
    if (FNotebook) FNotebook->IncrementChangeCountOfActiveDoc();
    BookmarksChanged();
  };
}

TvlTrackGlue::~TvlTrackGlue() {
  // The catalogue outlives the visualisation it feeds.
  FMediaInfo.SetVisualizationTarget(nullptr);
}

TvlTrackWindow *TvlTrackGlue::MakeWindow(TvlTrack &Track) {
  auto *window = new TvlTrackWindow(Track);
  window->SetAudio(&FTrackAudio);
  window->SetOfferAndSelect(&FOfferAndSelect);
  window->SetLinks(this);
  return window;
}

void TvlTrackGlue::PopupRequested(TvlTrackWindow &Window, const QPoint &Global) {
  ShowPopup(&Window, Global);
}

void TvlTrackGlue::ShowHint(const QPoint &Global, const QString &Text, int MSecs) {
  if (FWindow && FWindow->Hint()) FWindow->Hint()->ShowIt(Text, Global, MSecs);
}

void TvlTrackGlue::ShowTempo(int Tempo) {
  // A speed chosen on a track (a click in the level band plays at the wanted tempo) shows on the
  // window's speed bar.
  if (FWindow) FWindow->SetSpeed(Tempo);
}

void TvlTrackGlue::CalendarRequested(TDateTime At) {
  if (FTimelines) FTimelines->ViewRecordings(At);
}

void TvlTrackGlue::LabelToolHidden() {
  if (FNotebook) FNotebook->FocusActivePage();
}

void TvlTrackGlue::Connect(TVellomarFm &Window, TvlNotebook *Notebook, TvlTimelineGlue &Timelines) {
  FWindow = &Window;
  FNotebook = Notebook;
  FTimelines = &Timelines;
  FOld = MakeWindow(FTrackOld);
  FOld->setObjectName(QStringLiteral("vlTrackOld"));
  FNow = MakeWindow(FTrackNow);
  FNow->setObjectName(QStringLiteral("vlTrackNow"));
  Timelines.SetCalendarLinks(&FCalendarLinks);
  Window.AttachHistoricalTrack(FOld);
  Window.AttachCurrentTrack(FNow);

  Window.SetTrackPanelLink(this);
}

void TvlTrackGlue::SetupHistoricalTrack(TDateTime When, double Zoom) {
  FTrackOld.InitializeAtFirstShow_AndSetZoomLevelTo(ZoomLevelFromPixelDuration(Zoom));
  FTrackNow.InitializeAtFirstShow_AndSetZoomLevelTo(ZoomLevelFromPixelDuration(Zoom));
  if (FOld) FOld->MoveTrackTo(When);
  if (FNow) FNow->MoveTrackTo(Now());
}

TDateTime TvlTrackGlue::HistoricalTrackWhen() {
  return FOld ? FOld->DateTimeScrollableInView_Earliest() : TDateTime(0);
}

double TvlTrackGlue::HistoricalTrackZoom() { return FTrackOld.Render().Zoom_PixelDuration(); }

void TvlTrackGlue::SetTrackTimersEnabled(bool Enabled) {
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()})
    if (w) w->TimersEnable(Enabled);
}

void TvlTrackGlue::RepaintInvalidatedTracks() {
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()})
    if (w && w->vlTrack().PaintIfInvalid()) w->update();
}

bool TvlTrackGlue::TrackShowsMoment(TBrokerTrack Track, TDateTime When) const {
  const TvlTrackWindow *w = Track == btkHistorical ? FOld.data() : FNow.data();
  return w && When >= w->DateTimeScrollableInView_Earliest() &&
         When <= w->DateTimeScrolledInView_Last();
}

void TvlTrackGlue::RecordingStarted_MoveCurrentTrack() {
  if (FNow) FNow->MoveTrackTo(Now());
}

void TvlTrackGlue::RedrawTracks() {
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()})
    if (w) w->InvalidateRebuildAndRedrawWithoutFlicker();
  // The vertical timeline shows the same options.
  if (FTimelines) FTimelines->ApplyOptions();
}

void TvlTrackGlue::TempoChanged(int WantedTempo, int SpeedBarTempo) {
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()}) {
    if (!w) continue;
    w->WantedTempo = WantedTempo;
    w->TempoBarPosition = SpeedBarTempo;
  }
}

void TvlTrackGlue::KeyPressed(int Key) {
  const int virtualKey = VirtualKeyFromQtKey(Key);
  if (virtualKey == 0) return;
  for (TvlTrack *track : {&FTrackOld, &FTrackNow})
    track->Process_OtherWaysToCatchKeystrokesAndMaybeStopGathering(virtualKey);
}

void TvlTrackGlue::MouseMoved(QPoint GlobalPos) {
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()}) {
    if (!w || !w->LabelTool().isVisible()) continue;
    const QRect bars(w->mapToGlobal(QPoint(0, 0)), w->size());
    if (w->LabelTool().MouseIsTooFarAway(GlobalPos, bars)) w->LabelTool().MyHide();
  }
}

void TvlTrackGlue::Follow(TDateTime Moment) {
  if (!FOld || Moment < 100) return;
  // Only when the moment has left the visible span: small caret moves keep the track still.
  if (Moment < FOld->DateTimeScrollableInView_Earliest() ||
      Moment > FOld->DateTimeScrolledInView_Last())
    FOld->MoveTrackTo(Moment);
  FOld->PointOutSpecificTimeOnTrack(Moment);
}

void TvlTrackGlue::EventsCleared() {
  FOfferAndSelect.ClearAll();
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()})
    if (w) w->OnEventsCleared();
}

void TvlTrackGlue::BookmarksChanged() {
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()})
    if (w) w->InvalidateRebuildAndRedrawWithoutFlicker();
  if (FTimelines && FTimelines->VertTimeline()) FTimelines->VertTimeline()->InvalidateRendering();
}

void TvlTrackGlue::ShowPopup(TvlTrackWindow *Window, const QPoint &Global) {
  delete FPopup;
  FPopup = new QMenu(Window);
  FSelectedAudioPathName = FOfferAndSelect.FRightMouseDownOnSlot
                               ? FRecordings.RecordingAt(FOfferAndSelect.FMouseDownTimelineDT)
                               : QString();
  const QString path = FSelectedAudioPathName;
  const RTrackPopupState state = FOfferAndSelect.PopupState(!path.isEmpty());
  const auto item = [&](const QString &Caption, bool Enabled, std::function<void()> Do) {
    QAction *a = FPopup->addAction(Caption);
    a->setEnabled(Enabled);
    QObject::connect(a, &QAction::triggered, FPopup, [Do = std::move(Do)] { RunGuarded(Do); });
  };
  item(QStringLiteral("&Add Bookmark ..."), state.AddBookmark, [this] {
    FOfferAndSelect.PopupAddBookmark();
    BookmarksChanged();
  });
  item(QStringLiteral("Edit Bookmark ..."), state.EditBookmark,
       [this] { FOfferAndSelect.PopupEditBookmark(); });
  item(QStringLiteral("&Delete Bookmark"), state.DeleteBookmark, [this] {
    FOfferAndSelect.PopupDeleteBookmarks();
    BookmarksChanged();
  });
  FPopup->addSeparator();
  item(QStringLiteral("&Jump to Corresponding Point in Notes"), state.JumpToText, [this] {
    if (FNotebook) FNotebook->Timestamp_FindDocAndJumpTextTo(FOfferAndSelect.FMouseDownTimelineDT);
  });
  if (state.PlayFromBeginning) {
    item(QStringLiteral("&Play from Beginning"), state.Play, [Window, path, Global] {
      const TDateTime start = RecordingStartFromName(path);
      if (start != kInvalidRecordingStart) Window->PlayFrom(start, Global);
    });
  } else {
    item(QStringLiteral("&Play"), state.Play,
         [this, Global] { FOfferAndSelect.PopupPlay(Global); });
  }
  FPopup->addSeparator();
  item(QStringLiteral("Adjust Audio Recording's Starting Time or Date ..."), state.RecordingItems,
       [this, path] { FRecordings.Adjust(path); });
  item(QStringLiteral("Copy Audio Recording's Path && File Name"), state.RecordingItems,
       [this, path] { FRecordings.CopyPath(path); });
  item(QStringLiteral("Delete Audio Recording ..."), state.RecordingItems,
       [this, path] { FRecordings.Delete(path); });
  item(QStringLiteral("Open Audio Recording's Containing Folder"), state.RecordingItems,
       [this, path] { FRecordings.ShowInFolder(path); });
  FPopup->popup(Global);
}

void TvlTrackGlue::TCalendarToTracks::ShowSpanOnHistoricalTrack(TDateTime StartDT,
                                                                TDateTime EndDT) {
  if (!FGlue.FOld) return;
  const vlCalendar::RLoadSpanPlan plan =
      vlCalendar::PlanLoadSpan(StartDT, EndDT, FGlue.FOld->Columns(), PixelDurationFromZoomLevel);
  // The level the window shows is the track's level too (drawn, and saved at close).
  FGlue.FTrackOld.InitializeAtFirstShow_AndSetZoomLevelTo(plan.Level);
  FGlue.FOld->MoveAndZoomTrackTo(0, plan.PixelDuration, plan.LeftDT);
  if (FGlue.FTimelines && FGlue.FTimelines->VertTimeline())
    FGlue.FTimelines->VertTimeline()->SetFromDT(StartDT);
}

void TvlTrackGlue::TCalendarToTracks::MoveHistoricalTrackTo(TDateTime When) {
  if (FGlue.FOld) FGlue.FOld->MoveTrackTo(When);
}

void TvlTrackGlue::RecordingsChanged(TDateTime From, TDateTime To) {
  // The old levels go; the rebuilds below list the span's recordings again and send theirs.
  FVis.EraseVisualization(From, int((To - From) * SecsPerDay) + 1);
  FMediaInfo.InvalidateVisualization(From, To);
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()})
    if (w) w->InvalidateRebuildAndRedrawWithoutFlicker();
  if (FTimelines && FTimelines->VertTimeline()) FTimelines->VertTimeline()->InvalidateRendering();
}
