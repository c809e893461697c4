#pragma once

// The question every play request asks before sound may come out of the speakers. The audio
// facade holds one; silence protection answers it. Recording is never gated.
// Called on the user-interface thread; may show a hint, a question or a password prompt.
class TSilenceGate {
 public:
  virtual ~TSilenceGate() = default;
  // True when playing now is allowed (the user may have been asked); false holds playback back.
  virtual bool OkayToBreakSilence() = 0;
};

// The gate of a program without silence protection: playing is always allowed.
class TNoSilenceProtection final : public TSilenceGate {
 public:
  bool OkayToBreakSilence() override { return true; }
};
