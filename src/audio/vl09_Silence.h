#pragma once
// Silence protection: the gate every play request asks before sound may come out of the
// speakers. The protection follows either a fixed choice of the Silence menu or the weekly
// schedule; once the user grants permission it holds until another Silence choice is made or
// the program ends. Recording is never gated.
//
// The choice and the permission are one value here, the checked item of the Silence menu's five
// exclusive actions (the widgets library keeps those actions in step with it). At start it is
// "follow the schedule", and the schedule is all off until the user paints one.
//
// What the user sees (the hint, the protection window) goes through TSilencePrompts, so tests
// answer it. Without widgets it goes through the program's prompts (vlPrompts.h).
//
// Called on the user-interface thread only.

#include "vlSilenceGate.h"

#include <QString>

#include <functional>

class TClock;
class TvlSilenceConfigSchedule;

// The five checkable Silence menu items, of which at most one is checked; scNone only when
// something unchecked them all.
enum class TSilenceChoice {
  scGrantPermission,  // aSilenceGrantPermission: play without asking for the rest of the session
  scOnHint,           // aSilenceOnHint: level 1 whatever the schedule says
  scOnAsk,            // aSilenceOnAsk: level 2
  scOnPassword,       // aSilenceOnPassword: level 3
  scScheduled,        // aSilenceScheduled: the schedule's level now
  scNone,
};

// What silence protection shows the user.
class TSilencePrompts {
 public:
  virtual ~TSilencePrompts() = default;
  // A short hint at the mouse, hidden after MSecs milliseconds.
  virtual void ShowHint(const QString &Text, int MSecs) = 0;
  // The protection window. Level 2 (slAsk) shows the password filled in and the box disabled;
  // level 3 (slPassword) an empty box to type it into. True when the user chose to play with the
  // password matching Password without regard to case; false for No or a closed window.
  virtual bool AskToBreakSilence(int Level, const QString &Password) = 0;
};

// The prompts without widgets: the hint becomes a message, level 2 a Yes/No question and level 3
// a password prompt, asked again with the "Try again" hint after a wrong password until it
// matches or is cancelled. Used until the widgets' prompts are installed, and by tests.
class TSilencePromptsViaPrompts final : public TSilencePrompts {
 public:
  void ShowHint(const QString &Text, int MSecs) override;
  bool AskToBreakSilence(int Level, const QString &Password) override;
};

class TSilenceProtection final : public TSilenceGate {
 public:
  // The hint shown at level 1, and how long.
  static QString SilenceOnHint();
  static constexpr int SilenceOnHintMSecs = 2500;
  // The hint shown near "Play" after a wrong password, and how long.
  static QString TryAgainHint();
  static constexpr int TryAgainHintMSecs = 750;

  // Schedule is not owned and must outlive the protection. Clock, when given, is the clock the
  // schedule is read with (not owned); else the program's clock.
  explicit TSilenceProtection(const TvlSilenceConfigSchedule &Schedule,
                              const TClock *Clock = nullptr);

  // The prompts in use (not owned); nullptr goes back to TSilencePromptsViaPrompts.
  void SetPrompts(TSilencePrompts *Prompts);

  // The schedule's level now when following the schedule; 1, 2 or 3 for the fixed choices; with
  // nothing checked, "mSil all off" goes to the error log (a dialog only in debug mode) and the
  // schedule decides. With permission granted, the level the schedule gives.
  int CurrentLevelOfProtection() const;
  int ScheduleLevelNow() const;
  bool GetGavePermission() const { return FChoice == TSilenceChoice::scGrantPermission; }
  // Checks "grant permission", unchecking the other four.
  void GrantPermission();
  // The user starts making a new recording: a permission given earlier ends, as the protection
  // window promises ("... until you close the program or start making a new recording."), and
  // the choice made before it is back. Recordings the audio restarts by itself after playing
  // are not new ones: the caller asks only for the user's own start.
  void NewRecordingStarted();
  bool OkayToBreakSilence() override;

  TSilenceChoice Choice() const { return FChoice; }
  // The user chose a Silence menu item (or a test sets one); tells the listener when it changed.
  void SetChoice(TSilenceChoice Choice);
  // Called after every change of the choice (the widgets check the matching action).
  void SetOnChoiceChanged(std::function<void(TSilenceChoice)> Handler) {
    FOnChoiceChanged = std::move(Handler);
  }

  // "Follow Schedule  (Currently: OFF)", "... ON - Hint", "... ON - Ask", "... ON - Password":
  // the caption of the "follow the schedule" item for a level.
  static QString ScheduledCaption(int Level);

  const TvlSilenceConfigSchedule &Schedule() const { return FSchedule; }

 private:
  const TvlSilenceConfigSchedule &FSchedule;
  const TClock *FClock;
  TSilencePrompts *FPrompts;
  TSilenceChoice FChoice = TSilenceChoice::scScheduled;
  TSilenceChoice FChoiceBeforePermission = TSilenceChoice::scScheduled;
  std::function<void(TSilenceChoice)> FOnChoiceChanged;
};
