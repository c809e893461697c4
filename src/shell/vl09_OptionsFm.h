#pragma once
// The options window: six pages that edit the live options at once. Showing the window keeps a
// copy of the options; Cancel (or closing the window) puts the copy back and re-applies what
// depends on it (the bookmark menu, the tracks, the audio output device); OK sets "start
// recording automatically" from its check box and applies the output device. Nothing reaches
// the settings file until the program closes.
//
// Device questions (devices, sources, offered samplings) are answered by the options' device
// query, so the window works the same with the audio facade or its stand-in.
//
// Called on the user-interface thread only.

#include "vl09_Options.h"

#include <QDialog>

#include <array>
#include <functional>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class TPointHints;

// What the options window's changes set off elsewhere in the program; the program implements it
// (vlOptionsCommand.h).
class TOptionsFmLink {
 public:
  virtual ~TOptionsFmLink() = default;
  virtual void RebuildKeyCommands() = 0;         // a bookmark hot key changed
  virtual void RebuildBookmarkMenu() = 0;        // the bookmark menu order changed
  virtual void RedrawTracks() = 0;               // label angle or band height changed
  virtual void RecreateAudioComponents() = 0;    // "Refresh List"
  virtual void SetRecordStartAuto(bool On) = 0;  // OK: the main window's action check
  // A recording runs: a changed recording control applies to the next one.
  virtual bool IsRecording() = 0;
};

class TOptionsFm : public QDialog {
  Q_OBJECT

 public:
  // Shown for 3.5 seconds when a recording control changes while a recording runs.
  static QString RecordingInProgressHint();
  static constexpr int RecordingInProgressHintMSecs = 3500;

  // Options and Link are not owned and must outlive the window. Hints (not owned; nullptr: tool
  // tips) shows the recording-in-progress hint.
  TOptionsFm(TvlOptions &Options, TOptionsFmLink &Link, QWidget *Parent = nullptr,
             TPointHints *Hints = nullptr);
  ~TOptionsFm() override;

  // Activates the page whose caption contains Fragment, an exact caption winning over a page
  // that only contains it ("Timeline" is the "Timeline" page, not "Horizontal Timeline"). False
  // when no caption contains it.
  bool TurnToPage(const QString &UniqueCaptionFragment);
  QString CurrentPageCaption() const;

  TOptionsFmLink &Link() const { return FLink; }

  // Fills every control from the live options (done on every showing), except "start recording
  // automatically", which only a showing fills and only OK applies.
  void FillControls();

  QTabWidget *Pages;
  QPushButton *OkBtn;
  QPushButton *CancelBtn;

  // "Bookmark Hot Keys"
  // [key - 1][modifier] for F1..F12 with none, Shift, Ctrl, Ctrl-Shift.
  std::array<std::array<QComboBox *, TvlOptions::ModifierCount>, TvlOptions::FunctionKeyCount>
      FunctionKeyCmBx{};
  QComboBox *TriggerPauseCmBx, *TriggerPauseShiftCmBx;
  QComboBox *TriggerNestSquareCmBx, *TriggerNestCurlyCmBx, *TriggerNestRoundCmBx,
      *TriggerNestAngleCmBx;
  QComboBox *TriggerTriplesCmBx, *TriggerQuestionsCmBx;
  QCheckBox *TriggerSpaceDownCB, *TriggerCtrlBCB;
  QComboBox *KeyboardingCmBx;
  QPushButton *HotKeysDefaultsBtn;

  // "Playing"
  QRadioButton *WantTempoNormalRB, *WantTempoFavoriteRB, *WantTempoNoChangeRB;
  QComboBox *WantTempoFavoriteCmBx;
  QComboBox *AudioOutputDevicesCmBx;
  QPushButton *OutputRefreshBtn;
  QSpinBox *JumpBackSpEd;
  QCheckBox *ReplaySlowerCtrlRCB;
  QSpinBox *LockstepLengthSpEd, *LockstepOverlapSpEd;
  QCheckBox *LockstepCtrlTCB;

  // "Recording"
  QCheckBox *AvoidGen2RecordCB, *RecordAfterPlayCB, *RecordStartAutoCB;
  QComboBox *AudioInputDevicesCmBx, *AudioInputSourcesCmBx;
  QPushButton *InputRefreshBtn;
  QRadioButton *AudioSamplingLeftArrowRB, *AudioSamplingRightArrowRB;
  QComboBox *AudioSamplingRateCmBx;
  QRadioButton *AudioSamplingMonoRB, *AudioSamplingStereoRB;
  QComboBox *SamplingChoicesOfferedByInputDeviceCmBx;
  QComboBox *AudioFileFormatCmBx, *AudioFileSubChoicesCmBx;
  QPushButton *RecordingDefaultsBtn;

  // "Horizontal Timeline"
  QSpinBox *AngleOfLabelTextSpEd;
  QSlider *HeightOfLabelAreaTB;
  QCheckBox *SkinScrollsCB;
  QSlider *TrackSkinContrastTB;
  QCheckBox *TwentyFourHourTimeCB;
  QComboBox *ApplyToMenuCmBx;

  // "Word Processor"
  QRadioButton *OpenDocTopRB, *OpenDocSavedRB, *OpenDocBottomRB;
  QRadioButton *SpellBackgroundRB, *SpellBatchRB;
  QCheckBox *SpellAutoFixCB;
  QComboBox *SpellDictionaryCmBx;  // first item: the system's language (stored as empty)
  QCheckBox *AutoBulletsCB;
  QCheckBox *PrintParagraphTimesCB;
  QPushButton *WordProcessorDefaultsBtn;

  // "Timeline"
  QSlider *WordsPerMinuteTB;
  QLabel *WordsPerMinuteLbl;
  QSlider *VertTimelineContrastTB;
  QPushButton *TimelineDefaultsBtn;

 public Q_SLOTS:
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent *Event) override;

 private:
  QWidget *MakeHotKeysPage();
  QWidget *MakePlayingPage();
  QWidget *MakeRecordingPage();
  QWidget *MakeHorizontalTimelinePage();
  QWidget *MakeWordProcessorPage();
  QWidget *MakeTimelinePage();

  void FillHotKeys();
  void FillOutputDevices();
  void FillInputDevice();  // sources, samplings and encodings follow the device
  void FillEncodings();
  void EnableRecordingControls();

  // Runs a control's change unless the window is filling its controls.
  template <typename TBody>
  void Changed(TBody &&Body);
  // A recording control changed: while recording, says that it applies to the next recording.
  void RecordingControlChanged();

  TvlOptions &FOptions;
  TOptionsFmLink &FLink;
  TvlOptions FSaved;
  TPointHints *FHints;
  bool FFilling = false;
};
