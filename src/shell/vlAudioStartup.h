#pragma once
// What the main window asks of the audio side while it starts, runs and closes. The audio facade
// implements it once it exists; until then, and on a machine without a sound server, the
// stand-in TNoAudioServer answers that there is no audio, so the program starts and works as a
// notes program with the audio actions disabled.
//
// The staged start calls InitializeRecorder, InitializeMisc and ApplyAudioOptions on three
// successive ticks of the start-up timer, after the window is visible. Each answers an empty
// string when it worked, else a short reason that the recorder label shows ("No audio server").
// A call may also report with a dialog (throw ReportedError); the window catches that too. After
// any failure the later calls are not made and the program runs on without audio.
//
// Called on the user-interface thread only.

#include <QString>

class TAudioStartup {
 public:
  virtual ~TAudioStartup() = default;

  // Brings up the recorder component.
  virtual QString InitializeRecorder() = 0;
  // Brings up the player, the mixer and the level meters.
  virtual QString InitializeMisc() = 0;
  // Applies the audio options (devices, format) and prepares the play position at the start of
  // the loaded file.
  virtual QString ApplyAudioOptions() = 0;

  virtual bool IsRecording() const = 0;
  // The name of the source being recorded; empty when it has none.
  virtual QString CurrentSourceName() const = 0;
  // Starts recording; the facade calls the window's Callback_RecordingStarted when it runs.
  virtual void StartRecording() = 0;
  virtual void StopRecording() = 0;
  virtual void StopPlaying() = 0;
};

// No sound server: every start-up call answers so, and nothing records or plays.
class TNoAudioServer final : public TAudioStartup {
 public:
  static QString Reason() { return QStringLiteral("No audio server"); }

  QString InitializeRecorder() override { return Reason(); }
  QString InitializeMisc() override { return Reason(); }
  QString ApplyAudioOptions() override { return Reason(); }
  bool IsRecording() const override { return false; }
  QString CurrentSourceName() const override { return QString(); }
  void StartRecording() override {}
  void StopRecording() override {}
  void StopPlaying() override {}
};
