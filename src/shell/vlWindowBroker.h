#pragma once
// The event broker of the running program: gathers what the program is doing (recording,
// playing, where) and which tracks the user can see into the states of vlEventBroker.h, and
// answers which track a new bookmark goes to and which moment a typed character gets. Its
// document broker is the one the program installs behind the document model's seam (vlSeam.h).
//
// Until start-up has prepared the window, the broker answers "now". Owned by the main window,
// which it must not outlive. User-interface thread only.

#include "vlEventBroker.h"

#include <QChar>

class QWidget;
class TVellomarFm;

class TvlWindowBroker {
 public:
  // TrackBars is the panel holding both tracks (hidden: neither track is visible).
  TvlWindowBroker(TVellomarFm &Window, QWidget &TrackBars);
  TvlWindowBroker(const TvlWindowBroker &) = delete;
  TvlWindowBroker &operator=(const TvlWindowBroker &) = delete;

  RBrokerState State() const;
  TBrokerTrack NewEventBroker_Track() const;
  TDateTime NewEventBroker_When(QChar Ch) const;
  TDateTime BrokeredEffectiveWhen(TDateTime DocumentContextDT) const;
  // The broker the document model asks.
  TEffectiveTimeBroker &DocumentBroker() { return FDocumentBroker; }
  void SetPrepared(bool Prepared) { FPrepared = Prepared; }

 private:
  TVellomarFm &FWindow;
  QWidget &FTrackBars;
  TMainWindowBroker FDocumentBroker;
  bool FPrepared = false;
};
