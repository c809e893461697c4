#pragma once
// Stand-ins for the parts the main window links to, for the window's own tests: each counts the
// calls it gets and answers with values the test sets.

#include "vlMainWindowLinks.h"

#include <QList>

#include <functional>

struct TFakeProgramLink final : TProgramLink {
  void OpenBinder(const QString &) override { ++Opens; }
  void LoadSilenceSchedule() override {}
  void SaveSilenceSchedule() override { ++ScheduleSaves; }
  int SilenceProtectionLevelNow() override { return 0; }
  void ReloadCurrentMediaMonth() override { ++Reloads; }
  void OptionsApplied() override {}
  void BinderSavedOrOpened() override {}
  int Opens = 0;
  int ScheduleSaves = 0;
  int Reloads = 0;
};

struct TFakeTrackPanel final : TTrackPanelLink {
  void SetupHistoricalTrack(TDateTime, double) override {}
  TDateTime HistoricalTrackWhen() override { return When; }
  double HistoricalTrackZoom() override { return Zoom; }
  void SetTrackTimersEnabled(bool) override {}
  void RepaintInvalidatedTracks() override {}
  bool TrackShowsMoment(TBrokerTrack, TDateTime) const override { return false; }
  void RecordingStarted_MoveCurrentTrack() override {}
  void RedrawTracks() override { ++Redraws; }
  void TempoChanged(int Wanted, int SpeedBar) override {
    Tempos << QPair<int, int>(Wanted, SpeedBar);
  }
  void KeyPressed(int Key) override { Keys << Key; }
  void MouseMoved(QPoint) override {}
  bool TrackTakesWheel(const QWidget *, Qt::KeyboardModifiers) const override { return false; }
  TDateTime When = 0;
  double Zoom = 2;
  int Redraws = 0;
  QList<int> Keys;
  QList<QPair<int, int>> Tempos;
};

struct TFakeTimelinePanel final : TTimelinePanelLink {
  void DoPendingTimelineChange() override {}
  TDateTime FeatureMoment() const override { return Feature ? Feature() : 0; }
  void ViewRecordings() override {}
  void ShowInputLevel(int Level) override { Levels << Level; }
  std::function<TDateTime()> Feature;
  QList<int> Levels;
};
