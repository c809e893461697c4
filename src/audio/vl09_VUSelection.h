#pragma once
// The one selected stretch of time (a recording chosen on a track) that the level visualisation
// draws highlighted. One instance lives for the whole run. A selection exists while its end is
// not 0; clearing keeps the start, which the caller uses to redraw the span it covered.
//
// User-interface thread only.

#include "vlDateTime.h"

// How the visualisation draws a moment; this class yields only the first two.
enum TvuStatus { vsNormal = 0, vsSelected = 1, vsDeleted = 2 };

class TVuSelection {
 public:
  TVuSelection() { ClearSelection(); }

  void ClearSelection() { FEndDT = 0; }
  bool HasSelection() const { return FEndDT != 0; }
  void Select(TDateTime StartDT, TDateTime EndDT) {
    FStartDT = StartDT;
    FEndDT = EndDT;
  }
  // Duration in seconds.
  void Select(TDateTime StartDT, int Duration) { Select(StartDT, StartDT + Duration / SecsPerDay); }
  // The selection of a recording: from one second before it to one second after its end.
  void SelectRecording(TDateTime RecordingStart, int LengthSecs) {
    Select(RecordingStart - 1 / SecsPerDay, LengthSecs + 2);
  }
  // vsSelected when StartDT <= DT <= EndDT (ends included) and a selection exists.
  TvuStatus SelectionState(TDateTime DT) const {
    return HasSelection() && FStartDT <= DT && DT <= FEndDT ? vsSelected : vsNormal;
  }

  TDateTime StartDT() const { return FStartDT; }
  TDateTime EndDT() const { return FEndDT; }
  bool BlockClearSelectionOnce() const { return FBlockClearSelectionOnce; }
  void SetBlockClearSelectionOnce(bool Value) { FBlockClearSelectionOnce = Value; }

 private:
  TDateTime FStartDT = 0;
  TDateTime FEndDT = 0;
  bool FBlockClearSelectionOnce = false;
};
