#include "vlKeyFilter.h"

#include "vl09_Main.h"
#include "vl09_MyAudio.h"
#include "vl09_Options.h"
#include "vlGuard.h"
#include "vlPlaybackCommands.h"
#include "vlPlaybackSpeed.h"
#include "vlSpeedVolumeBars.h"
#include "vlWindowView.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

TvlKeyFilter::TvlKeyFilter(TVellomarFm &Window, TvlOptions &Options, TSpeedVolumeBars &Bars,
                           const RKeyFilterAreas &Areas)
    : FWindow(Window), FOptions(Options), FBars(Bars), FAreas(Areas) {}

bool TvlKeyFilter::eventFilter(QObject *Watched, QEvent *Event) {
  // Only cheap checks, and only while the loop runs.
  if (!TVellomarFm::MainLoopRunning() || TVellomarFm::ClosingDown()) return false;
  bool consumed = false;
  RunGuarded([&] { consumed = CommandKey(Watched, Event); });
  return consumed || PartsKey(Watched, Event);
}

bool TvlKeyFilter::CommandKey(QObject *Watched, QEvent *Event) {
  const QEvent::Type type = Event->type();
  const bool isMouse = type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                       type == QEvent::MouseButtonRelease;
  if (type != QEvent::KeyPress && type != QEvent::Wheel && !isMouse) return false;
  if (isMouse && Watched != FAreas.FauxSplitter) return false;
  if (!Watched->isWidgetType()) return false;
  auto *widget = static_cast<QWidget *>(Watched);
  if (widget->window() != &FWindow) return false;
  if (type == QEvent::KeyPress) return PauseOrReplayKey(*static_cast<QKeyEvent *>(Event), *widget);
  if (isMouse) return FauxSplitterDrag(*static_cast<QMouseEvent *>(Event));
  return SpeedWheel(*static_cast<QWheelEvent *>(Event), *widget);
}

bool TvlKeyFilter::PauseOrReplayKey(QKeyEvent &Key, QWidget &Widget) {
  TvlPlaybackCommands *playback = FWindow.Commands().Playback.get();
  if (!playback) return false;
  // Any key but the ones that go on transcribing takes the transcription hint away.
  const bool nextSegmentKey =
      Key.key() == Qt::Key_Pause ||
      (Key.key() == Qt::Key_T && Key.modifiers().testFlag(Qt::ControlModifier));
  if (!nextSegmentKey && !Key.isAutoRepeat() && Key.key() != Qt::Key_Control &&
      Key.key() != Qt::Key_Shift)
    playback->HideTranscriptionHint();
  if (Key.key() == Qt::Key_Pause) {
    TvlAudio *audio = FWindow.Parts().Audio;
    TBookmarkKeysLink *bookmarkKeys = FWindow.BookmarkKeysLink();
    if (audio && audio->IsPlaying()) {
      audio->Play_Pause();
      playback->ShowTranscriptionHint();
    } else if (playback->TranscriptionHintActive()) {
      playback->aPlaySegmentExecute();
    } else if (bookmarkKeys && !Key.isAutoRepeat()) {
      // Otherwise Pause and Shift+Pause set bookmarks, as the options' hot keys say.
      bookmarkKeys->PauseKeyPressed(Key.modifiers() & Qt::ShiftModifier);
    }
    return true;
  }
  // Another character than Ctrl+R as the instant replay key; never while searching.
  const int jumpBackKey = FOptions.FJumpBackKey;
  if (jumpBackKey != 0 && jumpBackKey != 18 && Key.text().size() == 1 &&
      Key.text().at(0).unicode() == jumpBackKey && !FAreas.SearchResults->isAncestorOf(&Widget)) {
    playback->aPlayInstantReplayExecute();
    return true;
  }
  return false;
}

bool TvlKeyFilter::FauxSplitterDrag(QMouseEvent &Mouse) {
  // The strip under the tracks sets their label area's height by dragging.
  switch (Mouse.type()) {
    case QEvent::MouseButtonPress:
      FFauxSplitterDragging = Mouse.button() == Qt::LeftButton;
      FFauxSplitterStartY = qRound(Mouse.globalPosition().y());
      FFauxSplitterStartHeight = FOptions.FHeightOfLabelArea;
      return FFauxSplitterDragging;
    case QEvent::MouseMove: {
      if (!FFauxSplitterDragging) return false;
      const int height = std::clamp(
          FFauxSplitterStartHeight + qRound(Mouse.globalPosition().y()) - FFauxSplitterStartY, 10,
          200);
      if (height != FOptions.FHeightOfLabelArea) {
        FOptions.FHeightOfLabelArea = height;
        if (TTrackPanelLink *tracks = FWindow.TrackPanelLink()) tracks->RedrawTracks();
      }
      return true;
    }
    case QEvent::MouseButtonRelease: {
      const bool was = FFauxSplitterDragging;
      FFauxSplitterDragging = false;
      return was;
    }
    default: return false;
  }
}

bool TvlKeyFilter::SpeedWheel(QWheelEvent &Wheel, QWidget &Widget) {
  // Over the speed scale or either track, the wheel moves the speed bar a line per notch.
  const auto within = [&Widget](const QWidget *Area) {
    return &Widget == Area || Area->isAncestorOf(&Widget);
  };
  if (!within(FAreas.PlayControls) && !within(FAreas.TrackOld) && !within(FAreas.TrackNow))
    return false;
  // A track's zoom panel, and Ctrl+wheel over a track, zoom that track instead.
  if (TTrackPanelLink *tracks = FWindow.TrackPanelLink();
      tracks && tracks->TrackTakesWheel(&Widget, Wheel.modifiers()))
    return false;
  FWheelAccumulated += Wheel.angleDelta().y();
  // Touchpads send small steps: a line per whole notch of 120.
  while (std::abs(FWheelAccumulated) >= 120) {
    const int notch = FWheelAccumulated > 0 ? 1 : -1;
    FWheelAccumulated -= notch * 120;
    FBars.SetSpeed(FBars.Speed() + notch * vlSpeed::LineStep);
  }
  return true;
}

bool TvlKeyFilter::PartsKey(QObject *Watched, QEvent *Event) {
  switch (Event->type()) {
    case QEvent::KeyPress: {
      // A key reaches every object on its way up to the window: only the first one counts.
      auto *keyEvent = static_cast<QKeyEvent *>(Event);
      if (TTrackPanelLink *tracks = FWindow.TrackPanelLink();
          tracks && Watched->isWidgetType() && !keyEvent->isAutoRepeat() &&
          Watched == QApplication::focusWidget()) {
        const int key = keyEvent->key();
        RunGuarded([tracks, key] { tracks->KeyPressed(key); });
      }
      // Keys typed into the notes may make bookmarks; a function key acted on there is not
      // the editor's any more. (A key an editor view passes on reaches its parents, which are
      // no editor views: each key is seen once.)
      if (TBookmarkKeysLink *keys = FWindow.BookmarkKeysLink();
          keys && qobject_cast<TWindowView *>(Watched)) {
        bool taken = false;
        RunGuarded([&] {
          taken = keys->NotesKeyPressed(keyEvent->key(), keyEvent->modifiers(), keyEvent->text(),
                                        keyEvent->isAutoRepeat());
        });
        if (taken) return true;
      }
      break;
    }
    case QEvent::KeyRelease:
      if (TBookmarkKeysLink *keys = FWindow.BookmarkKeysLink();
          keys && qobject_cast<TWindowView *>(Watched)) {
        auto *keyEvent = static_cast<QKeyEvent *>(Event);
        const int key = keyEvent->key();
        const bool repeat = keyEvent->isAutoRepeat();
        RunGuarded([keys, key, repeat] { keys->NotesKeyReleased(key, repeat); });
      }
      break;
    case QEvent::WindowActivate:
      if (Watched == &FWindow && FWindow.NotebookLink()) KeyboardBackIntoNotes();
      break;
    case QEvent::MouseMove:
      if (TTrackPanelLink *tracks = FWindow.TrackPanelLink(); tracks && Watched->isWidgetType()) {
        const QPoint at = static_cast<QMouseEvent *>(Event)->globalPosition().toPoint();
        RunGuarded([tracks, at] { tracks->MouseMoved(at); });
      }
      break;
    default: break;
  }
  return false;
}

void TvlKeyFilter::KeyboardBackIntoNotes() {
  // The window is active again after a dialog, a message or another program: the keyboard goes
  // back into the notes unless the user had it in another control of this window (the search
  // box, a bar, a label tool opened from a pop-up menu). That control is the one the window
  // focused last, as the application's focus may not be back yet.
  TVellomarFm *window = &FWindow;
  const auto keyboardInAControl = [window] {
    const QWidget *focus = QApplication::focusWidget();
    if (!focus || focus == window) focus = window->focusWidget();
    return focus && focus != window && window->isAncestorOf(focus) && focus->isVisible();
  };
  if (keyboardInAControl()) return;
  QTimer::singleShot(0, window, [window, keyboardInAControl] {
    RunGuarded([&] {
      TNotebookLink *notebook = window->NotebookLink();
      if (notebook && window->isActiveWindow() && !keyboardInAControl())
        notebook->FocusActivePage();
    });
  });
}
