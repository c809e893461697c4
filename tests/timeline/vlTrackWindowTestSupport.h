#pragma once
// The rig of the track window tests: a historical track 400 columns wide at 2 s per column from
// 10:00 on the track day, a fake audio facade, the picking logic, and mouse events sent straight
// to the window with screen positions the test controls.

#include "vl09_OfferAndSelect.h"
#include "vl09_TrackWindow.h"
#include "vlTracksTestSupport.h"

#include <QApplication>
#include <QMouseEvent>

#include <functional>

class FakeTrackAudio : public TTrackAudio {
 public:
  TPlayResult Result = prOkay;
  std::vector<std::pair<TDateTime, double>> Plays;  // (moment, tempo)
  TDateTime Position = 0;
  bool Recording = false;
  TPlayResult Play_From(TDateTime When, double Tempo) override {
    Plays.emplace_back(When, Tempo);
    if (Result == prOkay) Position = When;
    return Result;
  }
  TDateTime GetPlay_Position() const override { return Position; }
  bool IsRecording() const override { return Recording; }
  TDateTime Recording_Position() const override { return Recording ? Now() : 0; }
};

// The links of the program around the window, each a hook the test may set.
struct FakeTrackWindowLinks final : TTrackWindowLinks {
  void PopupRequested(TvlTrackWindow &, const QPoint &Global) override {
    if (OnPopupRequested) OnPopupRequested(Global);
  }
  void ShowHint(const QPoint &Global, const QString &Text, int MSecs) override {
    if (OnHint) OnHint(Global, Text, MSecs);
  }
  void ShowTempo(int Tempo) override {
    if (OnTempoBarSet) OnTempoBarSet(Tempo);
  }
  void CalendarRequested(TDateTime) override {}
  void LabelToolHidden() override {}
  void BookmarksChanged() override {
    if (OnBookmarksChanged) OnBookmarksChanged();
  }
  std::function<void(const QPoint &Global)> OnPopupRequested;
  std::function<void(const QPoint &Global, const QString &Text, int MSecs)> OnHint;
  std::function<void(int Tempo)> OnTempoBarSet;
  std::function<void()> OnBookmarksChanged;
};

class TrackWindowRig : public TrackRig {
 protected:
  static constexpr double PD = 2;  // seconds per column
  TvlTrack Track{arHistorical, nullptr, &M};
  FakeTrackAudio Audio;
  TOfferAndSelect OAS{&M};
  TvlTrackWindow W{Track};
  FakeTrackWindowLinks Links;
  std::vector<QString> Hints;

  TrackWindowRig() {
    Track.InitializeAtFirstShow_AndSetZoomLevelTo(ZoomLevelFromPixelDuration(PD));
    W.SetAudio(&Audio);
    W.SetOfferAndSelect(&OAS);
    W.SetLinks(&Links);
    Links.OnHint = [this](const QPoint &, const QString &Text, int) { Hints.push_back(Text); };
    W.resize(400, W.TrackHeight() + TTimeMachine::StripHeight);
    W.show();
    ShowAt(TrackAt(10, 0));
  }
  // Column 0 at When, 2 s per column, rebuilt and rendered.
  void ShowAt(TDateTime When) {
    W.MoveAndZoomTrackTo(0, PD, When);
    W.InvalidateRebuildAndRedrawWithoutFlicker();
  }
  TDateTime ColumnTime(int PO) const { return TrackAt(10, 0) + PO * PD * OneSec; }
  int MarkersY() { return W.vlTrackRender().Band_Markers().Rect.center().y(); }
  int SlotY() { return W.vlTrackRender().TrackSlotRect().center().y(); }

  // Mouse events as a real pointer sends them: Buttons held, in window coordinates.
  void Send(QEvent::Type Type, QPoint At, Qt::MouseButton Button, Qt::MouseButtons Buttons,
            Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QMouseEvent e(Type, QPointF(At), QPointF(W.mapToGlobal(At)), Button, Buttons, Mods);
    QApplication::sendEvent(&W, &e);
  }
  void Hover(QPoint At, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    Send(QEvent::MouseMove, At, Qt::NoButton, Qt::NoButton, Mods);
  }
  void Press(QPoint At, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    Send(QEvent::MouseButtonPress, At, Qt::LeftButton, Qt::LeftButton, Mods);
  }
  void DragTo(QPoint At) { Send(QEvent::MouseMove, At, Qt::NoButton, Qt::LeftButton); }
  void Release(QPoint At, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    Send(QEvent::MouseButtonRelease, At, Qt::LeftButton, Qt::NoButton, Mods);
  }
  // Press at From, move in steps to To, release there; MSecs pass on the clock meanwhile.
  void Drag(QPoint From, QPoint To, int MSecs = 600) {
    Hover(From);
    Press(From);
    const int steps = 4;
    for (int i = 1; i <= steps; ++i) {
      Clock.AdvanceMSecs(MSecs / steps);
      DragTo(From + (To - From) * i / steps);
    }
    Release(To);
  }
  double SecondsFrom(TDateTime Origin, TEventID ID) {
    return (M.EventWhen_FromEventID(ID) - Origin) * SecsPerDay;
  }
};
