#pragma once
// What happened in each pixel column of a track: the IDs of the events whose moments fall in the
// column's time slice, the markers' characters, the labels, the typed text and a count of
// sketching events. The renderer draws from it and the mouse finds events through it. It also
// holds the track's time span (TTrackMapping).
//
// Rebuilding walks only the day files whose calendar day touches the span. Every event lies on
// the day of its day file (the manager moves an event to another day file when its moment
// crosses midnight), so this files exactly what a walk over every event in memory would.
//
// The index owns the TTiltedText of every label it files, keyed by event ID: one object per
// label per track, so the anchor and covered colours of a drawing always belong to this track's
// bitmap. After the event store is cleared, IDs mean other events: OnEventsCleared forgets every
// column and label object (the owner calls it, then rebuilds).
//
// User-interface thread only.

#include "vl09_DayFiles.h"
#include "vl09_TiltText.h"
#include "vlTrackMapping.h"

#include <QFont>
#include <QString>

#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

class TvlDayFilesManager;

// A label filed in a column: its text and this track's drawing object for the event.
struct RLabelEntry {
  QString Text;
  TTiltedText *Tilted = nullptr;  // owned by the index
  TEventID EventID = NoEventID;
};

struct TPixelData {
  std::vector<TEventID> EventIDs;   // every event of the column, in order of filing
  QString Typing;                   // typing events' texts joined by single spaces
  QString Markers;                  // one character per marker event (its What)
  int Sketchings = 0;               // koeSketching events
  std::vector<TEventID> MarkerIDs;  // the marker events, in the order of Markers
  std::vector<RLabelEntry> Labels;  // the label-like events (koeLabel, kinds 6..9)
  void Clear();
};

// koeLabel and the symbol kinds 6..9.
bool IsLabelLikeKind(TKindOfEvent Kind);

class TvlTrackIndex {
 public:
  // Manager: the event store walked; nullptr means the process-wide one (vlDFM()).
  explicit TvlTrackIndex(TAudioRole SetAudioRole, TvlDayFilesManager *Manager = nullptr);
  ~TvlTrackIndex();
  TvlTrackIndex(const TvlTrackIndex &) = delete;
  TvlTrackIndex &operator=(const TvlTrackIndex &) = delete;

  // Called after every rebuild with the span shown (column 0 to the end of the last column), so
  // the recordings catalogue can send the stored level readings of that span. Optional.
  using TSpanHook = std::function<void(TDateTime From, TDateTime Till, TAudioRole Role)>;
  void SetSpanHook(TSpanHook Hook) { FSpanHook = std::move(Hook); }

  // ---- Span
  // Places When at column PO with PixelDuration seconds per column and files every event of the
  // span again. Nothing while SpareCPU is set.
  void EntireIndex_Rebuild(int PO, double Zoom_PixelDuration, TDateTime When);
  void EntireIndex_Rebuild_SameEverything();
  // The number of columns (the track window's width); takes effect at the next rebuild.
  void SetDataPixelsPlotted(std::int64_t Columns);

  // ---- Filing
  // Files one event; its column, or -1 outside the columns or for an unreadable ID ("vlTI.EI_AOEI
  // PO~" is reported for the latter).
  int EntireIndex_AddOneEventID(TEventID EventID);
  // Stores Text as the label of a label-like event (its own entry; one is added when the column
  // has none for it; the drawing object is prepared again at the label angle) or as the typed
  // text of a typing event's column. The event's column, or -1 when it is out of sight.
  int UpdateLabelOfEvent(TEventID EventID, const QString &Text);
  // Forgets every column and label object (after the event store was cleared).
  void OnEventsCleared();

  // The drawing object of a label-like event on this track (created on first request).
  TTiltedText *TiltedTextFor(TEventID EventID);
  // Labels are prepared with this font, ink and angle (degrees counter-clockwise).
  void SetLabelLook(const QFont &Font, TColor Ink, int AngleDegrees);
  int LabelAngleDegrees() const { return FLabelAngle; }

  // ---- Mapping (see vlTrackMapping.h)
  const TTrackMapping &Mapping() const { return FMap; }
  TDateTime DateTimeFromPixelOffset(std::int64_t MarkPos) const {
    return FMap.TimeOfColumn(MarkPos);
  }
  int PixelOffsetFromDateTime(TDateTime When, bool &InRange) const {
    return FMap.ColumnOf(When, InRange);
  }
  bool IsVisibleOnTrack(TDateTime When) const { return FMap.IsVisible(When); }

  // ---- Columns
  const TPixelData *GetPixelDataFor(std::int64_t PixelOffset) const;
  // The column's typed text trimmed and followed by one space; empty when it has none.
  QString GetPixelDataTypingStr(std::int64_t PixelOffset) const;
  // The time of the first column with typed text (true), else the time of column 0 (false).
  bool GetLeftmostKeyboardingWhen(TDateTime &When) const;
  int FirstPO() const { return 0; }
  int LastPO() const { return static_cast<int>(FPixelData.size()) - 1; }
  TDateTime FirstPO_When() const { return FMap.TimeOfColumn(0); }
  TDateTime LastPO_When() const { return FMap.TimeOfColumn(LastPO()); }

  TAudioRole AudioRole() const { return FAudioRole; }
  std::int64_t DataPixelsPlotted() const { return FDataPixelsPlotted; }
  double TrackIndexDuration() const { return FMap.SpanSeconds(); }
  TDateTime TrackIndexWhen() const { return FMap.When; }
  double Zoom_PixelDuration() const { return FMap.PixelDuration; }
  bool SpareCPU() const { return FSpareCPU; }
  void SetSpareCPU(bool Value) { FSpareCPU = Value; }
  TvlDayFilesManager *Manager() const;
  // Day files walked by the last rebuild (for tests and the benchmark).
  int LastRebuildDayFilesWalked() const { return FLastWalked; }

 private:
  void FileEvent(TEventID EventID, TKindOfEvent Kind, QChar What, TDateTime When,
                 const TvlDayFile &DayFile);

  TAudioRole FAudioRole;
  TvlDayFilesManager *FManager;
  TTrackMapping FMap;
  std::int64_t FDataPixelsPlotted = 10;
  bool FSpareCPU = false;
  std::vector<TPixelData> FPixelData;
  std::unordered_map<TEventID, std::unique_ptr<TTiltedText>> FTilted;
  QFont FLabelFont;
  TColor FLabelInk = clBlack;
  int FLabelAngle = 30;
  TSpanHook FSpanHook;
  int FLastWalked = 0;
};
