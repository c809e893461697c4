#include "vl09_TrackIndex.h"

#include "vl09_DayFilesManager.h"
#include "vlClock.h"
#include "vlGlobals.h"

#include <algorithm>
#include <cmath>

namespace {
// Label objects kept beyond the ones in view before the unused are dropped.
constexpr std::size_t MaxKeptLabelObjects = 4096;
}  // namespace

void TPixelData::Clear() {
  EventIDs.clear();
  Typing.truncate(0);  // keeps the allocation for the next rebuild
  Markers.truncate(0);
  Sketchings = 0;
  MarkerIDs.clear();
  Labels.clear();
}

bool IsLabelLikeKind(TKindOfEvent Kind) {
  return Kind == koeLabel || Kind == koeWebDings || Kind == koeWingDings || Kind == koeWingDings2 ||
         Kind == koeWingDings3;
}

TvlTrackIndex::TvlTrackIndex(TAudioRole SetAudioRole, TvlDayFilesManager *Manager)
    : FAudioRole(SetAudioRole), FManager(Manager) {
  FMap.When = Now();
  FMap.PixelDuration = 1;
  FMap.Columns = FDataPixelsPlotted;
  FPixelData.resize(static_cast<std::size_t>(FDataPixelsPlotted));
}

TvlTrackIndex::~TvlTrackIndex() = default;

TvlDayFilesManager *TvlTrackIndex::Manager() const { return FManager ? FManager : vlDFM(); }

void TvlTrackIndex::SetDataPixelsPlotted(std::int64_t Columns) {
  // A track is never wider than a few screens; the cap keeps a bad width from allocating much.
  FDataPixelsPlotted = std::clamp<std::int64_t>(Columns, 1, 1 << 16);
}

void TvlTrackIndex::SetLabelLook(const QFont &Font, TColor Ink, int AngleDegrees) {
  FLabelFont = Font;
  FLabelInk = Ink;
  FLabelAngle = AngleDegrees;
}

TTiltedText *TvlTrackIndex::TiltedTextFor(TEventID EventID) {
  std::unique_ptr<TTiltedText> &slot = FTilted[EventID];
  if (!slot) {
    slot = std::make_unique<TTiltedText>();
    slot->Font() = FLabelFont;
    slot->SetFontColor(FLabelInk);
  }
  return slot.get();
}

void TvlTrackIndex::EntireIndex_Rebuild_SameEverything() {
  EntireIndex_Rebuild(0, FMap.PixelDuration, FMap.When);
}

void TvlTrackIndex::EntireIndex_Rebuild(int PO, double Zoom_PixelDuration, TDateTime When) {
  if (FSpareCPU) return;
  if (!(Zoom_PixelDuration > 0) || !std::isfinite(When)) return;
  FMap.PixelDuration = Zoom_PixelDuration;
  FMap.When = When - PO * Zoom_PixelDuration / SecsPerDay;
  FMap.Columns = FDataPixelsPlotted;
  FPixelData.resize(static_cast<std::size_t>(FDataPixelsPlotted));
  for (TPixelData &pd : FPixelData) pd.Clear();

  // Drop label objects of events far out of view once there are many, so browsing years of
  // bookmarks does not keep them all.
  if (FTilted.size() > MaxKeptLabelObjects) FTilted.clear();

  FLastWalked = 0;
  TvlDayFilesManager *m = Manager();
  const TDateTime from = FMap.When;
  const TDateTime till = FMap.When + FMap.SpanSeconds() / SecsPerDay;
  if (m) {
    m->Files_LoadDayFilesTouchingTimeSpanIfAny(from, till);
    for (int n = 0; n < m->DayFileCount(); ++n) {
      const TvlDayFile *df = m->DayFile(n);
      if (!df) continue;
      // A day file holds the events of one calendar day, [day, day + 1).
      const TDateTime day = df->DayFileWhen();
      if (day >= till || day + 1 <= from - FMap.PixelDuration / SecsPerDay) continue;
      ++FLastWalked;
      TEventPointer cursor;
      TEventID id;
      while (df->NextEventID(cursor, id)) {
        TKindOfEvent kind;
        TDateTime when;
        QChar what;
        if (!df->PeekEvent(id, kind, when, what) || kind == koeNone) continue;
        FileEvent(id, kind, what, when, *df);
      }
    }
  }
  if (FSpanHook) FSpanHook(from, till, FAudioRole);
}

void TvlTrackIndex::FileEvent(TEventID EventID, TKindOfEvent Kind, QChar What, TDateTime When,
                              const TvlDayFile &DayFile) {
  bool inRange = false;
  const int PO = FMap.ColumnOf(When, inRange);
  if (!inRange) return;
  TPixelData &pd = FPixelData[static_cast<std::size_t>(PO)];
  switch (Kind) {
    case koeMarker:
      pd.Markers.append(What);
      pd.MarkerIDs.push_back(EventID);
      break;
    case koeTyping:
      if (!pd.Typing.isEmpty()) pd.Typing.append(QLatin1Char(' '));
      DayFile.AppendTextTo(EventID, pd.Typing);
      break;
    case koeSketching: ++pd.Sketchings; break;
    default:
      if (IsLabelLikeKind(Kind)) {
        RLabelEntry e;
        DayFile.AppendTextTo(EventID, e.Text);
        e.Tilted = TiltedTextFor(EventID);
        e.EventID = EventID;
        pd.Labels.push_back(std::move(e));
      }
      break;
  }
  pd.EventIDs.push_back(EventID);
}

int TvlTrackIndex::EntireIndex_AddOneEventID(TEventID EventID) {
  TvlDayFilesManager *m = Manager();
  const TvlDayFile *df = m ? m->DayFile(vlEventIDs::DayFileOf(EventID)) : nullptr;
  TKindOfEvent kind;
  TDateTime when;
  QChar what;
  if (!df || !df->PeekEvent(EventID, kind, when, what)) {
    ErrorReportInDebug(QStringLiteral("vlTI.EI_AOEI PO~ %1").arg(EventID, 6, 16, QLatin1Char('0')));
    return -1;
  }
  bool inRange = false;
  const int PO = FMap.ColumnOf(when, inRange);
  if (!inRange || std::size_t(PO) >= FPixelData.size()) return -1;
  FileEvent(EventID, kind, what, when, *df);
  return PO;
}

int TvlTrackIndex::UpdateLabelOfEvent(TEventID EventID, const QString &Text) {
  TvlDayFilesManager *m = Manager();
  TvlEvent ev;
  if (!m || !m->Event_FromEventID(EventID, ev)) return -1;
  bool inRange = false;
  const int PO = FMap.ColumnOf(ev.When, inRange);
  if (!inRange || std::size_t(PO) >= FPixelData.size()) {
    TraceWrite(QStringLiteral("OUT OF SIGHT: %1").arg(EventID, 6, 16, QLatin1Char('0')));
    return -1;
  }
  TPixelData &pd = FPixelData[static_cast<std::size_t>(PO)];
  if (IsLabelLikeKind(ev.Kind)) {
    // The entry is found by its event, never by its text: two labels sharing a prefix in one
    // column must not take each other's text.
    auto it = std::find_if(pd.Labels.begin(), pd.Labels.end(),
                           [EventID](const RLabelEntry &e) { return e.EventID == EventID; });
    if (it == pd.Labels.end()) {
      RLabelEntry e;
      e.Tilted = TiltedTextFor(EventID);
      e.EventID = EventID;
      pd.Labels.push_back(e);
      if (std::find(pd.EventIDs.begin(), pd.EventIDs.end(), EventID) == pd.EventIDs.end())
        pd.EventIDs.push_back(EventID);
      it = pd.Labels.end() - 1;
    }
    it->Text = Text;
    if (it->Tilted) it->Tilted->Prep(Text, FLabelAngle * 10);
  } else if (ev.Kind == koeTyping) {
    pd.Typing = Text;
  }
  return PO;
}

void TvlTrackIndex::OnEventsCleared() {
  for (TPixelData &pd : FPixelData) pd.Clear();
  FTilted.clear();
}

const TPixelData *TvlTrackIndex::GetPixelDataFor(std::int64_t PixelOffset) const {
  if (PixelOffset < 0 || PixelOffset >= std::int64_t(FPixelData.size())) return nullptr;
  return &FPixelData[static_cast<std::size_t>(PixelOffset)];
}

QString TvlTrackIndex::GetPixelDataTypingStr(std::int64_t PixelOffset) const {
  const TPixelData *pd = GetPixelDataFor(PixelOffset);
  if (!pd) return QString();
  const QString t = pd->Typing.trimmed();
  return t.isEmpty() ? QString() : t + QLatin1Char(' ');
}

bool TvlTrackIndex::GetLeftmostKeyboardingWhen(TDateTime &When) const {
  When = FMap.TimeOfColumn(0);
  for (std::size_t i = 0; i < FPixelData.size(); ++i) {
    if (!FPixelData[i].Typing.trimmed().isEmpty()) {
      When = FMap.TimeOfColumn(std::int64_t(i));
      return true;
    }
  }
  return false;
}
