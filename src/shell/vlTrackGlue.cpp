#include "vlTrackGlue.h"

#include "vl09_Hint.h"
#include "vl09_LabelTool.h"
#include "vl09_Main.h"
#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyAudio.h"
#include "vl09_Notebook.h"
#include "vl09_Options.h"
#include "vlCalendarMonth.h"
#include "vlClock.h"
#include "vlGuard.h"
#include "vlTimelineGlue.h"
#include "vlTrackAudioBinding.h"
#include "vlTrackMapping.h"

#include <QHBoxLayout>
#include <QMenu>

#include <cmath>

namespace {
// How far from a right press a recording still counts as under it, in columns of the track.
constexpr int RecordingProbeColumns = 6;
// The selection stays this long after the pop-up menu closes.
constexpr int ClearSelectionAfterMenuMs = 800;
}  // namespace

RTrackLook TrackLookFromOptions(const TvlOptions &Options) {
  RTrackLook look;
  look.LabelAngleDegrees = Options.FAngleOfLabelText;
  look.TwentyFourHourTime = Options.FTwentyFourHourTime;
  // Without a background picture there is nothing to scroll: the labels are drawn with the track
  // whichever way the option stands, so they scroll with it.
  look.SkinScrolls = true;
  // The contrast (1..100, 50 as made) darkens the ruler under the light tick labels from a
  // pale slate to almost black.
  const double c = (std::clamp(Options.TrackSkinContrast(), 1, 100) - 50) / 50.0;
  const auto shade = [c](int Base) {
    return std::clamp(static_cast<int>(std::lround(Base * (1 - 0.6 * c))), 0, 255);
  };
  look.clRulerPlain = RGBColor(shade(58), shade(66), shade(82));
  return look;
}

TvlTrackGlue::TvlTrackGlue(TvlAudio &Audio, TvlMediaFoldersInfo &Folders, TvlMediaInfo &MediaInfo,
                           TvlOptions &Options)
    : FAudio(Audio),
      FFolders(Folders),
      FMediaInfo(MediaInfo),
      FOptions(Options),
      FTrackOld(arHistorical, &FVis),
      FTrackNow(arCurrent, &FVis),
      FTrackAudio(Audio),
      FRecordings(Audio, Folders, MediaInfo) {
  FVis.SetSelection(&FSelection);
  FClearSelectionTimer.setSingleShot(true);
  FClearSelectionTimer.setInterval(ClearSelectionAfterMenuMs);
  QObject::connect(&FClearSelectionTimer, &QTimer::timeout, [this] {
    RunGuarded([this] {
      if (FSelection.BlockClearSelectionOnce())
        FSelection.SetBlockClearSelectionOnce(false);
      else if (FSelection.HasSelection())
        SelectRecording(QString());
    });
  });
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
  Window.AttachHistoricalTrack(MakeBox(FOld, FZoomOld));
  Window.AttachCurrentTrack(MakeBox(FNow, FZoomNow));
  ApplyTimelineOptions();

  Window.SetTrackPanelLink(this);
}

QWidget *TvlTrackGlue::MakeBox(TvlTrackWindow *Window, QPointer<TvlZoomPanel> &Panel) {
  auto *box = new QWidget;
  box->setObjectName(Window->objectName() + QStringLiteral("Box"));
  auto *layout = new QHBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Window, 1);
  Panel = new TvlZoomPanel(*Window, box);
  layout->addWidget(Panel);
  return box;
}

void TvlTrackGlue::ApplyTimelineOptions() {
  const RTrackLook look = TrackLookFromOptions(FOptions);
  for (TvlTrack *track : {&FTrackOld, &FTrackNow}) {
    TvlTrackRender &r = track->Render();
    r.Band_Labels().Thickness = std::clamp(FOptions.FHeightOfLabelArea, 10, 200);
    r.SetLook(look);
    track->InvalidateRendering();
  }
  int height = 0;
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()}) {
    if (!w) continue;
    w->Relayout();
    height = std::max(height, w->TrackHeight() + TTimeMachine::StripHeight);
  }
  if (FWindow && height > 0) FWindow->SetTrackBarsHeight(height);
}

void TvlTrackGlue::SetupHistoricalTrack(TDateTime When, double Zoom) {
  // The options are read by now (they were not yet when the tracks were attached).
  ApplyTimelineOptions();
  // Through the windows, so that the span shown, the renderer, the zoom slider and what is saved
  // at the end agree.
  if (FOld) {
    FOld->SetZoomLevelAtOnce(ZoomLevelFromPixelDuration(Zoom));
    FOld->MoveTrackTo(When);
  }
  if (FNow) {
    FNow->SetZoomLevelAtOnce(ZoomLevelFromPixelDuration(Zoom));
    FNow->MoveTrackTo(Now());
  }
}

TDateTime TvlTrackGlue::HistoricalTrackWhen() {
  return FOld ? FOld->DateTimeScrollableInView_Earliest() : TDateTime(0);
}

double TvlTrackGlue::HistoricalTrackZoom() {
  return FOld ? FOld->ShownPixelDuration() : FTrackOld.Render().Zoom_PixelDuration();
}

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
  ApplyTimelineOptions();
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

bool TvlTrackGlue::TrackTakesWheel(const QWidget *Widget, Qt::KeyboardModifiers Modifiers) const {
  for (const TvlZoomPanel *panel : {FZoomOld.data(), FZoomNow.data()})
    if (panel && (Widget == panel || panel->isAncestorOf(Widget))) return true;
  if (!(Modifiers & Qt::ControlModifier)) return false;
  for (const TvlTrackWindow *w : {FOld.data(), FNow.data()})
    if (w && (Widget == w || w->isAncestorOf(Widget))) return true;
  return false;
}

void TvlTrackGlue::SelectRecording(const QString &Path) {
  const TDateTime oldStart = FSelection.StartDT(), oldEnd = FSelection.EndDT();
  const bool had = FSelection.HasSelection();
  if (Path.isEmpty()) {
    FSelection.ClearSelection();
    if (had) RedrawLevels(oldStart, oldEnd);
    return;
  }
  const TDateTime start = RecordingStartFromName(Path);
  if (start == kInvalidRecordingStart) return;
  QString path = Path;
  FSelection.SelectRecording(start, std::max(FFolders.LengthOf(path), 0));
  if (had) RedrawLevels(oldStart, oldEnd);
  RedrawLevels(FSelection.StartDT(), FSelection.EndDT());
}

void TvlTrackGlue::RedrawLevels(TDateTime From, TDateTime To) {
  // The levels are drawn into the sections as they arrive: the span's readings come again.
  FVis.EraseVisualization(From, int((To - From) * SecsPerDay) + 1);
  FMediaInfo.InvalidateVisualization(From, To);
  FMediaInfo.SendHistoricalVisualizationData(From, To);
  for (TvlTrackWindow *w : {FOld.data(), FNow.data()})
    if (w) w->InvalidateRebuildAndRedrawWithoutFlicker();
  if (FTimelines && FTimelines->VertTimeline()) FTimelines->VertTimeline()->InvalidateRendering();
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
  // The recording under the press: within the time of a few columns of the track pressed.
  const double slush = RecordingProbeColumns * Window->TargetMapping().PixelDuration;
  FSelectedAudioPathName =
      FOfferAndSelect.FRightMouseDownOnSlot
          ? FRecordings.RecordingAt(FOfferAndSelect.FMouseDownTimelineDT, slush)
          : QString();
  const QString path = FSelectedAudioPathName;
  FClearSelectionTimer.stop();
  if (!path.isEmpty()) SelectRecording(path);
  QObject::connect(FPopup, &QMenu::aboutToHide, FPopup, [this] { FClearSelectionTimer.start(); });
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
    // The recording selected under the press, from its start at the speed bar's speed.
    item(QStringLiteral("&Play from Beginning"), state.Play, [this, Window, path, Global] {
      const TDateTime start = RecordingStartFromName(path);
      if (start != kInvalidRecordingStart)
        Window->PlayFrom(start, Global, FWindow ? FWindow->Speed() : Window->WantTempo());
    });
  } else {
    item(QStringLiteral("&Play"), state.Play,
         [this, Global] { FOfferAndSelect.PopupPlay(Global); });
  }
  FPopup->addSeparator();
  item(QStringLiteral("Adjust Audio Recording's Starting Time or Date ..."), state.RecordingItems,
       [this, path] {
         // The selection stays while the dialog is open; the re-dated recording is drawn anew.
         FSelection.SetBlockClearSelectionOnce(true);
         FRecordings.Adjust(path);
         SelectRecording(QString());
       });
  item(QStringLiteral("Copy Audio Recording's Path && File Name"), state.RecordingItems,
       [this, path] { FRecordings.CopyPath(path); });
  item(QStringLiteral("Delete Audio Recording ..."), state.RecordingItems, [this, path] {
    FSelection.SetBlockClearSelectionOnce(true);
    FRecordings.Delete(path);
    SelectRecording(QString());
  });
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
