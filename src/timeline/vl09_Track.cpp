#include "vl09_Track.h"

#include "vl09_DayFilesManager.h"
#include "vlGlobals.h"

TvlTrack::TvlTrack(TAudioRole SetAudioRole, TVisualization *Vis, TvlDayFilesManager *Manager)
    : FAudioRole(SetAudioRole),
      FIndex(SetAudioRole, Manager),
      FRender(FBitmapToShare, SetAudioRole, FIndex, Vis) {
  // The track's own look of the renderer.
  FRender.SetTrackBarMargin(0);
  FRender.Band_Sketching().Show = false;
  TTrackBandTimeTics &tics = FRender.Band_TimeTics();
  tics.FontMinor = {QStringLiteral("Terminal"), 5, false, 12105912};
  tics.Font = {QStringLiteral("MS Sans Serif"), 8, false, 13421772};
  tics.FontMajor = {QStringLiteral("MS Sans Serif"), 8, true, clWhite};
  FRender.Band_Labels().Font.Name = QStringLiteral("Comic Sans MS");
  FRender.FontsChanged();
  FRender.SetZoomLevel(2);
  RebuildDayFile();
}

TvlTrack::~TvlTrack() = default;

void TvlTrack::SetWidth(int Columns) {
  FIndex.SetDataPixelsPlotted(Columns);
  FIndex.EntireIndex_Rebuild_SameEverything();
  InvalidateRendering();
}

void TvlTrack::MoveTo(TDateTime When, int PO) {
  FIndex.EntireIndex_Rebuild(PO, FRender.Zoom_PixelDuration(), When);
  InvalidateRendering();
}

void TvlTrack::InitializeAtFirstShow_AndSetZoomLevelTo(TZoomLevel InitZoomLevel) {
  if (OnZoomLevelSetAtOnce)
    OnZoomLevelSetAtOnce(InitZoomLevel);
  else
    FRender.SetZoomLevel(InitZoomLevel);
}

void TvlTrack::RebuildDayFile() {
  const double span = FIndex.TrackIndexDuration();
  if (span < 180)
    FRender.SetZoomLevel(1);
  else if (span < 420)
    FRender.SetZoomLevel(2);
}

bool TvlTrack::ZoomIn() {
  if (FRender.ZoomLevel() <= MinZoomLevel) return false;
  SetZoomLevelFromSlider(FRender.ZoomLevel() - 1);
  return true;
}

bool TvlTrack::ZoomOut() {
  if (FRender.ZoomLevel() >= MaxZoomLevel) return false;
  SetZoomLevelFromSlider(FRender.ZoomLevel() + 1);
  return true;
}

void TvlTrack::SetZoomLevelFromSlider(TZoomLevel Level) {
  if (BlockZoomAnimationAndRespectStartingWhen || !OnZoomAnimationRequested)
    InitializeAtFirstShow_AndSetZoomLevelTo(Level);
  else
    OnZoomAnimationRequested(Level);
}

bool TvlTrack::PaintIfInvalid() {
  if (!FRender.MyInvalidate()) return false;
  FRender.RenderAll();
  return true;
}

TEventID TvlTrack::NewEvent(TKindOfEvent Kind, QChar What, TDateTime When) {
  return NewEventWithLabel(Kind, What, When, QString());
}

TEventID TvlTrack::NewEventWithLabel(TKindOfEvent Kind, QChar What, TDateTime When,
                                     const QString &InitialLabel) {
  TvlDayFilesManager *m = Manager();
  if (!m) return NoEventID;
  TEventID existing = NoEventID;
  const bool wasThere = m->LookUp_GetEventID(Kind, What, When, u"", existing);
  const TEventID id = m->AddEvent(Kind, What, When, u"");
  if (id < 0) return NoEventID;
  // The answer must name this very event: a duplicate answers the existing one, and an answer
  // naming anything else would let the label typed next overwrite another event.
  TDateTime filed = 0;
  if (m->EventKind_FromEventID(id) != Kind || !m->WhenOf(id, filed) || filed != When)
    return NoEventID;
  if (IsLabelLikeKind(Kind)) FIndex.TiltedTextFor(id);
  if (!wasThere || existing != id) FIndex.EntireIndex_AddOneEventID(id);
  if (!InitialLabel.isEmpty()) {
    m->AddLabel(id, InitialLabel);
    FIndex.UpdateLabelOfEvent(id, InitialLabel);
  }
  InvalidateRendering();
  return id;
}

void TvlTrack::UpdateEventTextAndDoLowLatencyDraw(TEventID EventID, const QString &Text) {
  TvlDayFilesManager *m = Manager();
  if (!m || !IsLabelLikeKind(m->EventKind_FromEventID(EventID))) {
    ErrorReportInDebug(QStringLiteral("vlT.UETADLLD x%1").arg(EventID, 6, 16, QLatin1Char('0')));
    return;
  }
  m->AddLabel(EventID, Text);
  TQuickBitmap &bmp = FBitmapToShare;
  FRender.OneLabel_Remove(EventID, bmp, FRender.Look().clPlain);
  QRect changed = FRender.LastChange();
  const int PO = FIndex.UpdateLabelOfEvent(EventID, Text);
  if (PO < 0) {
    ErrorReportInDebug(QStringLiteral("vlT.UL ~PO $%1").arg(EventID, 5, 16, QLatin1Char('0')));
  } else if (bmp.Width() > 0) {
    FRender.DrawOneLabel(PO, EventID, bmp);
    changed = changed.united(FRender.LastChange());
  }
  if (OnBitmapChanged && !changed.isEmpty()) OnBitmapChanged(changed);
}

void TvlTrack::GatherForMenuOrButton(TEventID EventHandle) {
  if (EventHandle == NoEventID) return;
  Gather4Symbol.StartGatheringFor(EventHandle);
  InvalidateRendering();
}

bool TvlTrack::IsGatheringForBookmark() const {
  return Gather4Pause.IsGathering() || Gather4Symbol.IsGathering() || Gather4Pair.IsGathering() ||
         Gather4Space.IsGathering();
}

void TvlTrack::Process_OtherWaysToCatchKeystrokesAndMaybeStopGathering(int Key) {
  for (TGatherLabel *g : {&Gather4Pair, &Gather4Space, &Gather4Pause, &Gather4Symbol}) {
    if (g->ProcessSpecialKeys(Key)) UpdateEventTextAndDoLowLatencyDraw(g->EventHandle(), g->Text());
  }
}

void TvlTrack::OnEventsCleared() {
  for (TGatherLabel *g :
       {&Gather4Pair, &Gather4Pause, &Gather4Space, &Gather4Symbol, &Gather4Typing})
    g->StopGathering();
  FIndex.OnEventsCleared();
  FIndex.EntireIndex_Rebuild_SameEverything();
  InvalidateRendering();
}
