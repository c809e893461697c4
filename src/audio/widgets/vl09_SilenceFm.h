#pragma once
// The protection window that asks before sound breaks the silence, and the prompts that show it.
//
// At level 2 the password is filled in and its box disabled, so "Play" is one click; at level 3
// the box is empty and the user types the non-secret password shown under it, in any case. A
// wrong password shows "Try again or choose "NO"" near the button for 750 ms and the window
// stays. The links open the recording options and the schedule window through handlers the
// program installs.
//
// Called on the user-interface thread only.

#include "vl09_Silence.h"

#include <QDialog>
#include <QPoint>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// Short texts shown at a screen point for a while. The program may install its own hint window;
// the stand-in uses the platform's tool tips.
class TPointHints {
 public:
  virtual ~TPointHints() = default;
  virtual void Show(const QString &Text, QPoint ScreenAt, int MSecs) = 0;
  virtual void Hide() = 0;
};

class TToolTipHints final : public TPointHints {
 public:
  void Show(const QString &Text, QPoint ScreenAt, int MSecs) override;
  void Hide() override;
};

class TSilenceProtectionFm : public QDialog {
  Q_OBJECT

 public:
  // Hints is not owned; nullptr uses tool tips.
  explicit TSilenceProtectionFm(QWidget *Parent = nullptr, TPointHints *Hints = nullptr);
  ~TSilenceProtectionFm() override;

  // Fills the window for Level (2 or 3) and Password without showing it.
  void Prepare(int Level, const QString &Password);
  // Prepare, show centred on the screen and wait; true when the user chose "Play" with the
  // password matching.
  bool Execute(int Level, const QString &Password);

  void SetOnRecordingOptions(std::function<void()> Handler) {
    FOnRecordingOptions = std::move(Handler);
  }
  void SetOnConfigureSchedule(std::function<void()> Handler) {
    FOnConfigureSchedule = std::move(Handler);
  }

  QLineEdit *SilencePasswordEd;
  QLabel *PasswordHintLbl;
  QLabel *RecordingOptionsLink;
  QLabel *ConfigureScheduleLink;
  QPushButton *EndSilence_NoBtn;
  QPushButton *EndSilence_PlayBtn;

 public Q_SLOTS:
  void done(int Result) override;

 private:
  void PlayClicked();
  void LinkActivated(const QString &Link);

  TToolTipHints FToolTips;
  TPointHints *FHints;
  QString FPassword;
  bool FPasswordNeeded = true;  // the password level; asking needs none
  std::function<void()> FOnRecordingOptions;
  std::function<void()> FOnConfigureSchedule;
};

// Silence protection's prompts as the user sees them: the hint at the mouse and the protection
// window.
class TSilenceWindowPrompts final : public TSilencePrompts {
 public:
  // Parent is the window the protection window is modal over; Hints is not owned (nullptr uses
  // tool tips).
  explicit TSilenceWindowPrompts(QWidget *Parent = nullptr, TPointHints *Hints = nullptr);

  void ShowHint(const QString &Text, int MSecs) override;
  bool AskToBreakSilence(int Level, const QString &Password) override;

  // Handed to every protection window shown.
  void SetOnRecordingOptions(std::function<void()> Handler) {
    FOnRecordingOptions = std::move(Handler);
  }
  void SetOnConfigureSchedule(std::function<void()> Handler) {
    FOnConfigureSchedule = std::move(Handler);
  }

 private:
  QWidget *FParent;
  TToolTipHints FToolTips;
  TPointHints *FHints;
  std::function<void()> FOnRecordingOptions;
  std::function<void()> FOnConfigureSchedule;
};
