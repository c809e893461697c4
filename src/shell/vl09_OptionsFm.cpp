#include "vl09_OptionsFm.h"

#include "vl09_SilenceFm.h"
#include "vlEncodeFormats.h"
#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlSpelling.h"
#include "vlTextBullets.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

template <typename TWidget>
TWidget *Named(TWidget *Widget, const char *Name) {
  Widget->setObjectName(QLatin1String(Name));
  return Widget;
}

// What a bookmark hot key does, in the order of TTriggerOption.
QStringList TriggerTexts() {
  return {S("None"), S("Bookmark"), S("Label from text"), S("Label window")};
}

QComboBox *TriggerBox(const QString &Name, QWidget *Parent) {
  auto *box = new QComboBox(Parent);
  box->setObjectName(Name);
  box->addItems(TriggerTexts());
  box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  return box;
}

// " seconds" after a number of seconds, " second" after 1.
void CountSeconds(QSpinBox *Spin) {
  const auto suffix = [Spin](int Value) {
    Spin->setSuffix(Value == 1 ? QStringLiteral(" second") : QStringLiteral(" seconds"));
  };
  suffix(Spin->value());
  QObject::connect(Spin, &QSpinBox::valueChanged, Spin, suffix);
}

// A Defaults button at the bottom right of a page.
QPushButton *DefaultsButton(const char *Name, QWidget *Page, QBoxLayout *PageLayout) {
  auto *button = Named(new QPushButton(S("Defaults"), Page), Name);
  auto *row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(button);
  PageLayout->addLayout(row);
  return button;
}

QSlider *Slider(const char *Name, int Min, int Max, QWidget *Parent) {
  auto *slider = Named(new QSlider(Qt::Horizontal, Parent), Name);
  slider->setRange(Min, Max);
  slider->setMinimumWidth(200);
  return slider;
}

QSpinBox *SpinBox(const char *Name, int Min, int Max, QWidget *Parent) {
  auto *spin = Named(new QSpinBox(Parent), Name);
  spin->setRange(Min, Max);
  return spin;
}

// The favourite speeds: -50 % .. +90 % in steps of 5, stored as 100 + the percentage.
constexpr int FavoriteMin = -50;
constexpr int FavoriteMax = 90;
constexpr int FavoriteStep = 5;

const int SamplingRates[] = {8000, 11025, 22050, 44100, 48000};

// The formats a recording can be made in; WMA cannot be written here and is not offered.
const TAudioFileFormats OfferedFormats[] = {affWAV, affOGG};

// The vertical timeline's contrast bar runs 10..110 and is used as 1..100.
int ContrastOfBar(int Position) { return std::clamp(Position - 10, 1, 100); }

void SetChecked(QAbstractButton *Button, bool Checked) { Button->setChecked(Checked); }

}  // namespace

QString TOptionsFm::RecordingInProgressHint() {
  return S(
      "A recording is already in progress. When you are ready, you can make this change take "
      "effect by stopping and restarting the recording.");
}

template <typename TBody>
void TOptionsFm::Changed(TBody &&Body) {
  if (FFilling) return;
  RunGuarded(Body);
}

TOptionsFm::TOptionsFm(TvlOptions &Options, TOptionsFmLink &Link, QWidget *Parent,
                       TPointHints *Hints)
    : QDialog(Parent), FOptions(Options), FLink(Link), FHints(Hints) {
  setObjectName(S("OptionsFm"));
  setWindowTitle(S("Options"));
  Pages = Named(new QTabWidget(this), "Pages");
  Pages->addTab(MakeHotKeysPage(), S("Bookmark Hot Keys"));
  Pages->addTab(MakePlayingPage(), S("Playing"));
  Pages->addTab(MakeRecordingPage(), S("Recording"));
  Pages->addTab(MakeHorizontalTimelinePage(), S("Horizontal Timeline"));
  Pages->addTab(MakeWordProcessorPage(), S("Word Processor"));
  Pages->addTab(MakeTimelinePage(), S("Timeline"));

  OkBtn = Named(new QPushButton(S("OK"), this), "OkBtn");
  OkBtn->setDefault(true);
  CancelBtn = Named(new QPushButton(S("Cancel"), this), "CancelBtn");
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkBtn);
  buttons->addWidget(CancelBtn);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(Pages);
  layout->addLayout(buttons);
}

TOptionsFm::~TOptionsFm() = default;

// ---- Pages ----

QWidget *TOptionsFm::MakeHotKeysPage() {
  auto *page = new QWidget;
  auto *grid = new QGridLayout;
  const char *const modifiers[] = {"", "Shift", "Ctrl", "Ctrl-Shift"};
  for (int m = 0; m < TvlOptions::ModifierCount; ++m)
    grid->addWidget(new QLabel(m == 0 ? S("Key alone") : QLatin1String(modifiers[m]), page), 0,
                    m + 1);
  for (int k = 1; k <= TvlOptions::FunctionKeyCount; ++k) {
    grid->addWidget(new QLabel(QStringLiteral("F%1").arg(k), page), k, 0);
    for (int m = 0; m < TvlOptions::ModifierCount; ++m) {
      QComboBox *box = TriggerBox(QStringLiteral("TriggerFN%1_%2CmBx").arg(k).arg(m), page);
      FunctionKeyCmBx[k - 1][m] = box;
      grid->addWidget(box, k, m + 1);
      connect(box, &QComboBox::activated, this, [this, k, m](int Index) {
        Changed([&] {
          FOptions.SetTriggerFunctionKey(k, m, static_cast<TTriggerOption>(Index));
          FLink.RebuildKeyCommands();
        });
      });
    }
  }
  auto *others = new QFormLayout;
  const auto other = [&](QComboBox *&Box, const char *Name, const QString &Caption,
                         TTriggerOption TvlOptions::*Field) {
    Box = TriggerBox(QLatin1String(Name), page);
    others->addRow(Caption, Box);
    connect(Box, &QComboBox::activated, this, [this, Field](int Index) {
      Changed([&] {
        FOptions.*Field = static_cast<TTriggerOption>(Index);
        FLink.RebuildKeyCommands();
      });
    });
  };
  other(TriggerPauseCmBx, "TriggerPauseCmBx", S("Pause"), &TvlOptions::FTriggerPause);
  other(TriggerPauseShiftCmBx, "TriggerPauseShiftCmBx", S("Shift+Pause"),
        &TvlOptions::FTriggerPauseShift);
  other(TriggerNestSquareCmBx, "TriggerNestSquareCmBx", S("[[ text ]]"),
        &TvlOptions::FTriggerNestSquare);
  other(TriggerNestCurlyCmBx, "TriggerNestCurlyCmBx", S("{{ text }}"),
        &TvlOptions::FTriggerNestCurly);
  other(TriggerNestRoundCmBx, "TriggerNestRoundCmBx", S("(( text ))"),
        &TvlOptions::FTriggerNestRound);
  other(TriggerNestAngleCmBx, "TriggerNestAngleCmBx", S("<< text >>"),
        &TvlOptions::FTriggerNestAngle);
  other(TriggerTriplesCmBx, "TriggerTriplesCmBx", S("Three repeated letters"),
        &TvlOptions::FTriggerTriples);
  other(TriggerQuestionsCmBx, "TriggerQuestionsCmBx", S("Two or more question marks"),
        &TvlOptions::FTriggerQuestions);

  TriggerSpaceDownCB = Named(
      new QCheckBox(S("Add labeled bookmark for text typed while space bar is held down."), page),
      "TriggerSpaceDownCB");
  TriggerCtrlBCB = Named(
      new QCheckBox(S("Add labeled bookmark for text made bold by typing Ctrl-B before and after."),
                    page),
      "TriggerCtrlBCB");
  connect(TriggerSpaceDownCB, &QCheckBox::toggled, this,
          [this](bool On) { Changed([&] { FOptions.FTriggerSpaceDown = On; }); });
  connect(TriggerCtrlBCB, &QCheckBox::toggled, this,
          [this](bool On) { Changed([&] { FOptions.FTriggerCtrlBBold = On; }); });
  // The keyboarding choices the options hold, in the order of TKeyboarding.
  KeyboardingCmBx = Named(new QComboBox(page), "KeyboardingCmBx");
  KeyboardingCmBx->addItems({S("All keystrokes."), S("Beginning of each new word."),
                             S("Beginning of each new paragraph."),
                             S("Resuming of typing (end of pause)")});
  connect(KeyboardingCmBx, &QComboBox::activated, this, [this](int Index) {
    Changed([&] { FOptions.Keyboarding = static_cast<TKeyboarding>(Index); });
  });
  HotKeysDefaultsBtn = Named(new QPushButton(S("Defaults"), page), "HotKeysDefaultsBtn");
  connect(HotKeysDefaultsBtn, &QPushButton::clicked, this, [this] {
    Changed([&] {
      FOptions.SetDefaults_HotKeys();
      FFilling = true;
      FillHotKeys();
      FFilling = false;
      FLink.RebuildKeyCommands();
    });
  });

  auto *top = new QHBoxLayout;
  top->addLayout(grid);
  top->addSpacing(16);
  top->addLayout(others);
  auto *layout = new QVBoxLayout(page);
  layout->addLayout(top);
  layout->addWidget(TriggerSpaceDownCB);
  layout->addWidget(TriggerCtrlBCB);
  auto *keyboarding = new QFormLayout;
  keyboarding->addRow(S("Typing bookmarks:"), KeyboardingCmBx);
  layout->addLayout(keyboarding);
  layout->addStretch();
  auto *defaults = new QHBoxLayout;
  defaults->addStretch();
  defaults->addWidget(HotKeysDefaultsBtn);
  layout->addLayout(defaults);
  return page;
}

QWidget *TOptionsFm::MakePlayingPage() {
  auto *page = new QWidget;
  auto *layout = new QVBoxLayout(page);

  auto *tempo = new QGroupBox(S("Speed when the play slider is moved"), page);
  WantTempoNormalRB = Named(new QRadioButton(S("Normal speed"), tempo), "WantTempoNormalRB");
  WantTempoFavoriteRB = Named(new QRadioButton(S("Favorite speed:"), tempo), "WantTempoFavoriteRB");
  WantTempoNoChangeRB =
      Named(new QRadioButton(S("Keep the current speed"), tempo), "WantTempoNoChangeRB");
  WantTempoFavoriteCmBx = Named(new QComboBox(tempo), "WantTempoFavoriteCmBx");
  for (int p = FavoriteMin; p <= FavoriteMax; p += FavoriteStep)
    WantTempoFavoriteCmBx->addItem((p > 0 ? S("+") : QString()) + QString::number(p) + S(" %"),
                                   100 + p);
  auto *tempoLayout = new QGridLayout(tempo);
  tempoLayout->addWidget(WantTempoNormalRB, 0, 0);
  tempoLayout->addWidget(WantTempoFavoriteRB, 1, 0);
  tempoLayout->addWidget(WantTempoFavoriteCmBx, 1, 1);
  tempoLayout->addWidget(WantTempoNoChangeRB, 2, 0);
  layout->addWidget(tempo);
  const auto tempoChanged = [this] {
    Changed([&] {
      if (WantTempoNormalRB->isChecked()) {
        FOptions.SetWantTempoMode(wtmNormal);
      } else if (WantTempoNoChangeRB->isChecked()) {
        FOptions.SetWantTempoMode(wtmNoChange);
      } else {
        FOptions.FWantTempo = WantTempoFavoriteCmBx->currentData().toInt();
      }
      WantTempoFavoriteCmBx->setEnabled(WantTempoFavoriteRB->isChecked());
    });
  };
  for (QRadioButton *rb : {WantTempoNormalRB, WantTempoFavoriteRB, WantTempoNoChangeRB})
    connect(rb, &QRadioButton::toggled, this, [tempoChanged](bool On) {
      if (On) tempoChanged();
    });
  connect(WantTempoFavoriteCmBx, &QComboBox::activated, this,
          [tempoChanged](int) { tempoChanged(); });

  AudioOutputDevicesCmBx = Named(new QComboBox(page), "AudioOutputDevicesCmBx");
  OutputRefreshBtn = Named(new QPushButton(S("&Refresh List"), page), "OutputRefreshBtn");
  connect(AudioOutputDevicesCmBx, &QComboBox::activated, this, [this](int Index) {
    Changed([&] {
      FOptions.SetAudioOutputDevice(Index);
      FOptions.UpdateAudioOptions();
    });
  });
  connect(OutputRefreshBtn, &QPushButton::clicked, this, [this] {
    Changed([&] {
      // While recording the lists stay as they are, and the hint says why.
      FLink.RecreateAudioComponents();
      RecordingControlChanged();
      FillOutputDevices();
    });
  });
  auto *output = new QHBoxLayout;
  output->addWidget(new QLabel(S("Play through:"), page));
  output->addWidget(AudioOutputDevicesCmBx, 1);
  output->addWidget(OutputRefreshBtn);
  layout->addLayout(output);

  auto *replay = new QGroupBox(S("Instant replay"), page);
  JumpBackSpEd = SpinBox("JumpBackSpEd", 1, 60, replay);
  CountSeconds(JumpBackSpEd);
  ReplaySlowerCtrlRCB =
      Named(new QCheckBox(S("Ctrl-R is keyboard shortcut"), replay), "ReplaySlowerCtrlRCB");
  auto *replayLayout = new QFormLayout(replay);
  replayLayout->addRow(S("Go back:"), JumpBackSpEd);
  replayLayout->addRow(ReplaySlowerCtrlRCB);
  layout->addWidget(replay);
  connect(JumpBackSpEd, &QSpinBox::valueChanged, this,
          [this](int Value) { Changed([&] { FOptions.FJumpBack = Value; }); });
  connect(ReplaySlowerCtrlRCB, &QCheckBox::toggled, this,
          [this](bool On) { Changed([&] { FOptions.FJumpBackKey = On ? 18 : 0; }); });

  auto *lockstep = new QGroupBox(S("Transcription"), page);
  LockstepLengthSpEd = SpinBox("LockstepLengthSpEd", 3, 20, lockstep);
  CountSeconds(LockstepLengthSpEd);
  LockstepOverlapSpEd = SpinBox("LockstepOverlapSpEd", 0, 5, lockstep);
  CountSeconds(LockstepOverlapSpEd);
  LockstepCtrlTCB =
      Named(new QCheckBox(S("Ctrl-T is keyboard shortcut"), lockstep), "LockstepCtrlTCB");
  auto *lockstepLayout = new QFormLayout(lockstep);
  lockstepLayout->addRow(S("Segment length:"), LockstepLengthSpEd);
  lockstepLayout->addRow(S("Overlap:"), LockstepOverlapSpEd);
  lockstepLayout->addRow(LockstepCtrlTCB);
  layout->addWidget(lockstep);
  // The overlap stays shorter than the segment: a shorter segment shortens it.
  connect(LockstepLengthSpEd, &QSpinBox::valueChanged, this, [this](int Value) {
    LockstepOverlapSpEd->setMaximum(TvlOptions::LockstepOverlapLimit(Value));
    Changed([&] { FOptions.FLockstepLength = Value; });
  });
  connect(LockstepOverlapSpEd, &QSpinBox::valueChanged, this,
          [this](int Value) { Changed([&] { FOptions.FLockstepOverlap = Value; }); });
  connect(LockstepCtrlTCB, &QCheckBox::toggled, this,
          [this](bool On) { Changed([&] { FOptions.FLockstepKey = On ? 20 : 0; }); });
  layout->addStretch();
  return page;
}

QWidget *TOptionsFm::MakeRecordingPage() {
  auto *page = new QWidget;
  auto *layout = new QVBoxLayout(page);
  AvoidGen2RecordCB =
      Named(new QCheckBox(S("Stop recording when playing audio."), page), "AvoidGen2RecordCB");
  RecordAfterPlayCB = Named(new QCheckBox(S("Resume Recording Whenever Playing Stops."), page),
                            "RecordAfterPlayCB");
  RecordStartAutoCB =
      Named(new QCheckBox(S("Start recording automatically when program launches."), page),
            "RecordStartAutoCB");
  layout->addWidget(AvoidGen2RecordCB);
  auto *indented = new QHBoxLayout;
  indented->addSpacing(20);
  indented->addWidget(RecordAfterPlayCB);
  layout->addLayout(indented);
  layout->addWidget(RecordStartAutoCB);
  connect(AvoidGen2RecordCB, &QCheckBox::toggled, this, [this](bool On) {
    Changed([&] {
      FOptions.FAvoidGen2Record = On;
      EnableRecordingControls();
    });
  });
  connect(RecordAfterPlayCB, &QCheckBox::toggled, this,
          [this](bool On) { Changed([&] { FOptions.FRecordAfterPlay = On; }); });

  auto *device = new QGroupBox(S("Record from"), page);
  AudioInputDevicesCmBx = Named(new QComboBox(device), "AudioInputDevicesCmBx");
  AudioInputSourcesCmBx = Named(new QComboBox(device), "AudioInputSourcesCmBx");
  InputRefreshBtn = Named(new QPushButton(S("&Refresh List"), device), "InputRefreshBtn");
  auto *deviceLayout = new QGridLayout(device);
  deviceLayout->addWidget(new QLabel(S("Device:"), device), 0, 0);
  deviceLayout->addWidget(AudioInputDevicesCmBx, 0, 1);
  deviceLayout->addWidget(InputRefreshBtn, 0, 2);
  deviceLayout->addWidget(new QLabel(S("Source:"), device), 1, 0);
  deviceLayout->addWidget(AudioInputSourcesCmBx, 1, 1);
  deviceLayout->setColumnStretch(1, 1);
  layout->addWidget(device);
  connect(AudioInputDevicesCmBx, &QComboBox::activated, this, [this](int Index) {
    Changed([&] {
      FOptions.SetAudioInputDevice(Index);
      FOptions.FAudioInputSourceStr.clear();
      FFilling = true;
      FillInputDevice();
      FFilling = false;
      RecordingControlChanged();
    });
  });
  connect(AudioInputSourcesCmBx, &QComboBox::activated, this, [this](int Index) {
    Changed([&] {
      FOptions.FAudioInputSourceStr = AudioInputSourcesCmBx->itemText(Index).trimmed();
      RecordingControlChanged();
    });
  });
  connect(InputRefreshBtn, &QPushButton::clicked, this, [this] {
    Changed([&] {
      FLink.RecreateAudioComponents();
      RecordingControlChanged();
      FFilling = true;
      FillInputDevice();
      FFilling = false;
    });
  });

  auto *sampling = new QGroupBox(S("Sampling"), page);
  AudioSamplingLeftArrowRB = Named(new QRadioButton(S("Directly specify rate, etc."), sampling),
                                   "AudioSamplingLeftArrowRB");
  AudioSamplingRightArrowRB =
      Named(new QRadioButton(S("Pick an offered choice"), sampling), "AudioSamplingRightArrowRB");
  AudioSamplingRateCmBx = Named(new QComboBox(sampling), "AudioSamplingRateCmBx");
  for (int rate : SamplingRates) AudioSamplingRateCmBx->addItem(QString::number(rate), rate);
  AudioSamplingMonoRB = Named(new QRadioButton(S("Mono"), sampling), "AudioSamplingMonoRB");
  AudioSamplingStereoRB = Named(new QRadioButton(S("Stereo"), sampling), "AudioSamplingStereoRB");
  auto *channels = new QButtonGroup(sampling);
  channels->addButton(AudioSamplingMonoRB);
  channels->addButton(AudioSamplingStereoRB);
  auto *how = new QButtonGroup(sampling);
  how->addButton(AudioSamplingLeftArrowRB);
  how->addButton(AudioSamplingRightArrowRB);
  SamplingChoicesOfferedByInputDeviceCmBx =
      Named(new QComboBox(sampling), "SamplingChoicesOfferedByInputDeviceCmBx");
  auto *samplingLayout = new QGridLayout(sampling);
  samplingLayout->addWidget(AudioSamplingLeftArrowRB, 0, 0);
  auto *direct = new QHBoxLayout;
  direct->addWidget(AudioSamplingRateCmBx);
  direct->addWidget(new QLabel(S("samples per second"), sampling));
  direct->addWidget(AudioSamplingMonoRB);
  direct->addWidget(AudioSamplingStereoRB);
  direct->addStretch();
  samplingLayout->addLayout(direct, 0, 1);
  samplingLayout->addWidget(AudioSamplingRightArrowRB, 1, 0);
  samplingLayout->addWidget(SamplingChoicesOfferedByInputDeviceCmBx, 1, 1);
  layout->addWidget(sampling);
  connect(AudioSamplingRightArrowRB, &QRadioButton::toggled, this, [this](bool On) {
    Changed([&] {
      FOptions.FAudioSamplingUseOffer = On;
      EnableRecordingControls();
      RecordingControlChanged();
    });
  });
  connect(AudioSamplingRateCmBx, &QComboBox::activated, this, [this](int Index) {
    Changed([&] {
      FOptions.FAudioSamplingRate = AudioSamplingRateCmBx->itemData(Index).toInt();
      RecordingControlChanged();
    });
  });
  connect(AudioSamplingStereoRB, &QRadioButton::toggled, this, [this](bool On) {
    Changed([&] {
      FOptions.FAudioSamplingChannels = On ? 2 : 1;
      RecordingControlChanged();
    });
  });
  connect(SamplingChoicesOfferedByInputDeviceCmBx, &QComboBox::activated, this, [this](int Index) {
    Changed([&] {
      const QString text = SamplingChoicesOfferedByInputDeviceCmBx->itemText(Index).trimmed();
      if (!ParseOfferedSampling(text).Usable())
        ErrorReportForDeveloper(S("vlO.FASO didn't get ") + text);
      FOptions.FAudioSamplingOfferingStr = text;
      RecordingControlChanged();
    });
  });

  auto *file = new QGroupBox(S("Recording files"), page);
  AudioFileFormatCmBx = Named(new QComboBox(file), "AudioFileFormatCmBx");
  for (TAudioFileFormats format : OfferedFormats)
    AudioFileFormatCmBx->addItem(AudioFileFormatExtension(format).toUpper(), format);
  AudioFileSubChoicesCmBx = Named(new QComboBox(file), "AudioFileSubChoicesCmBx");
  auto *fileLayout = new QFormLayout(file);
  fileLayout->addRow(S("File format:"), AudioFileFormatCmBx);
  fileLayout->addRow(S("Encoding:"), AudioFileSubChoicesCmBx);
  layout->addWidget(file);
  connect(AudioFileFormatCmBx, &QComboBox::activated, this, [this](int Index) {
    Changed([&] {
      FOptions.FAudioFileFormat =
          static_cast<TAudioFileFormats>(AudioFileFormatCmBx->itemData(Index).toInt());
      FFilling = true;
      FillEncodings();
      FFilling = false;
      RecordingControlChanged();
    });
  });
  connect(AudioFileSubChoicesCmBx, &QComboBox::activated, this, [this](int Index) {
    Changed([&] {
      FOptions.SetAudioFileEncodingFor(AudioFileFormatExtension(FOptions.FAudioFileFormat),
                                       AudioFileSubChoicesCmBx->itemText(Index));
      RecordingControlChanged();
    });
  });

  RecordingDefaultsBtn = Named(new QPushButton(S("Defaults"), page), "RecordingDefaultsBtn");
  connect(RecordingDefaultsBtn, &QPushButton::clicked, this, [this] {
    Changed([&] {
      FOptions.SetDefaults_RecordingPage();
      FillControls();
      RecordingControlChanged();
    });
  });
  layout->addStretch();
  auto *defaults = new QHBoxLayout;
  defaults->addStretch();
  defaults->addWidget(RecordingDefaultsBtn);
  layout->addLayout(defaults);
  return page;
}

QWidget *TOptionsFm::MakeHorizontalTimelinePage() {
  auto *page = new QWidget;
  auto *form = new QFormLayout(page);
  AngleOfLabelTextSpEd = SpinBox("AngleOfLabelTextSpEd", 0, 90, page);
  AngleOfLabelTextSpEd->setSuffix(S(" degrees"));
  HeightOfLabelAreaTB = Slider("HeightOfLabelAreaTB", 10, 200, page);
  SkinScrollsCB =
      Named(new QCheckBox(S("Background scrolls with the track"), page), "SkinScrollsCB");
  TrackSkinContrastTB = Slider("TrackSkinContrastTB", 1, 100, page);
  TwentyFourHourTimeCB =
      Named(new QCheckBox(S("Times on the 24-hour clock"), page), "TwentyFourHourTimeCB");
  ApplyToMenuCmBx = Named(new QComboBox(page), "ApplyToMenuCmBx");
  ApplyToMenuCmBx->addItems(
      {S("alphabetically"), S("match button order"), S("reverse button order")});
  form->addRow(S("Angle of bookmark labels:"), AngleOfLabelTextSpEd);
  form->addRow(S("Height of the label band:"), HeightOfLabelAreaTB);
  form->addRow(SkinScrollsCB);
  form->addRow(S("Background contrast:"), TrackSkinContrastTB);
  form->addRow(TwentyFourHourTimeCB);
  form->addRow(S("Order bookmarks in the menu:"), ApplyToMenuCmBx);
  const auto redraw = [this] { FLink.RedrawTracks(); };
  connect(AngleOfLabelTextSpEd, &QSpinBox::valueChanged, this, [this, redraw](int Value) {
    Changed([&] {
      FOptions.FAngleOfLabelText = Value;
      redraw();
    });
  });
  connect(HeightOfLabelAreaTB, &QSlider::valueChanged, this, [this, redraw](int Value) {
    Changed([&] {
      FOptions.FHeightOfLabelArea = Value;
      redraw();
    });
  });
  connect(SkinScrollsCB, &QCheckBox::toggled, this, [this, redraw](bool On) {
    Changed([&] {
      FOptions.FSkinScrolls = On;
      redraw();
    });
  });
  connect(TrackSkinContrastTB, &QSlider::valueChanged, this,
          [this](int Value) { Changed([&] { FOptions.SetTrackSkinContrast(Value); }); });
  connect(TwentyFourHourTimeCB, &QCheckBox::toggled, this, [this, redraw](bool On) {
    Changed([&] {
      FOptions.FTwentyFourHourTime = On;
      redraw();
    });
  });
  connect(ApplyToMenuCmBx, &QComboBox::activated, this, [this](int Index) {
    Changed([&] {
      FOptions.FTimemarkOrder = static_cast<TTimemarkOrder>(Index);
      FLink.RebuildBookmarkMenu();
    });
  });
  return page;
}

QWidget *TOptionsFm::MakeWordProcessorPage() {
  auto *page = new QWidget;
  auto *layout = new QVBoxLayout(page);
  auto *open = new QGroupBox(S("When a document opens, show"), page);
  OpenDocTopRB = Named(new QRadioButton(S("its top"), open), "OpenDocTopRB");
  OpenDocSavedRB = Named(new QRadioButton(S("where it was left"), open), "OpenDocSavedRB");
  OpenDocBottomRB = Named(new QRadioButton(S("its end"), open), "OpenDocBottomRB");
  auto *openLayout = new QVBoxLayout(open);
  const std::pair<QRadioButton *, TDocOpenPos> places[] = {
      {OpenDocTopRB, dopTop}, {OpenDocSavedRB, dopSaved}, {OpenDocBottomRB, dopBottom}};
  for (const auto &[rb, place] : places) {
    openLayout->addWidget(rb);
    connect(rb, &QRadioButton::toggled, this, [this, place = place](bool On) {
      if (On) Changed([&] { FOptions.FDocOpenPos = place; });
    });
  }
  layout->addWidget(open);

  auto *spell = new QGroupBox(S("Spelling"), page);
  SpellBackgroundRB =
      Named(new QRadioButton(S("Check spelling while typing"), spell), "SpellBackgroundRB");
  SpellBatchRB = Named(new QRadioButton(S("Check spelling on request"), spell), "SpellBatchRB");
  SpellAutoFixCB = Named(new QCheckBox(S("Correct common mistakes"), spell), "SpellAutoFixCB");
  auto *spellLayout = new QVBoxLayout(spell);
  spellLayout->addWidget(SpellBackgroundRB);
  spellLayout->addWidget(SpellBatchRB);
  spellLayout->addWidget(SpellAutoFixCB);
  // The dictionaries installed on the system; the first entry follows the system's language.
  SpellDictionaryCmBx = Named(new QComboBox(spell), "SpellDictionaryCmBx");
  SpellDictionaryCmBx->addItem(S("The system's language"), QString());
  for (const QString &name : TSpellChecker::AvailableDictionaries(TSpellChecker::SystemFolder()))
    SpellDictionaryCmBx->addItem(name, name);
  auto *dictionaryRow = new QHBoxLayout;
  dictionaryRow->addWidget(new QLabel(S("Dictionary:"), spell));
  dictionaryRow->addWidget(SpellDictionaryCmBx, 1);
  spellLayout->addLayout(dictionaryRow);
  layout->addWidget(spell);
  connect(SpellDictionaryCmBx, &QComboBox::currentIndexChanged, this, [this](int I) {
    Changed([&] { FOptions.FSpellDictionary = SpellDictionaryCmBx->itemData(I).toString(); });
  });
  connect(SpellBackgroundRB, &QRadioButton::toggled, this,
          [this](bool On) { Changed([&] { FOptions.FSpellBackground = On; }); });
  connect(SpellAutoFixCB, &QCheckBox::toggled, this,
          [this](bool On) { Changed([&] { FOptions.FSpellAutoFix = On; }); });

  AutoBulletsCB = Named(
      new QCheckBox(S("Start a bulleted list when a line begins with \"* \" or \"- \""), page),
      "AutoBulletsCB");
  PrintParagraphTimesCB =
      Named(new QCheckBox(S("Print the time of each paragraph in the margin"), page),
            "PrintParagraphTimesCB");
  layout->addWidget(AutoBulletsCB);
  layout->addWidget(PrintParagraphTimesCB);
  connect(AutoBulletsCB, &QCheckBox::toggled, this, [this](bool On) {
    Changed([&] {
      FOptions.FAutoBullets = On;
      SetAutoBullets(On);
    });
  });
  connect(PrintParagraphTimesCB, &QCheckBox::toggled, this,
          [this](bool On) { Changed([&] { FOptions.FPrintParagraphTimes = On; }); });
  layout->addStretch();
  WordProcessorDefaultsBtn = DefaultsButton("WordProcessorDefaultsBtn", page, layout);
  connect(WordProcessorDefaultsBtn, &QPushButton::clicked, this, [this] {
    Changed([&] {
      FOptions.SetDefaults_WordProcessorPage();
      SetAutoBullets(FOptions.FAutoBullets);
      FillControls();
    });
  });
  return page;
}

QWidget *TOptionsFm::MakeTimelinePage() {
  auto *page = new QWidget;
  auto *layout = new QVBoxLayout(page);
  auto *form = new QFormLayout;
  layout->addLayout(form);
  WordsPerMinuteTB = Slider("WordsPerMinuteTB", 10, 110, page);
  WordsPerMinuteLbl = Named(new QLabel(page), "WordsPerMinuteLbl");
  // Wide enough for "110" whatever the value now.
  WordsPerMinuteLbl->setMinimumWidth(WordsPerMinuteLbl->fontMetrics().horizontalAdvance(S("8888")));
  auto *wpm = new QHBoxLayout;
  wpm->addWidget(WordsPerMinuteTB, 1);
  wpm->addWidget(WordsPerMinuteLbl);
  VertTimelineContrastTB = Slider("VertTimelineContrastTB", 10, 110, page);
  form->addRow(S("Typing speed (words per minute):"), wpm);
  form->addRow(S("Background contrast:"), VertTimelineContrastTB);
  connect(WordsPerMinuteTB, &QSlider::valueChanged, this, [this](int Value) {
    WordsPerMinuteLbl->setText(QString::number(Value));
    Changed([&] { FOptions.SetWordsPerMinute(Value); });
  });
  layout->addStretch();
  TimelineDefaultsBtn = DefaultsButton("TimelineDefaultsBtn", page, layout);
  connect(TimelineDefaultsBtn, &QPushButton::clicked, this, [this] {
    Changed([&] {
      FOptions.SetDefaults_TimelinePage();
      FillControls();
    });
  });
  connect(VertTimelineContrastTB, &QSlider::valueChanged, this, [this](int Value) {
    Changed([&] { FOptions.SetTrackSkinContrast(ContrastOfBar(Value)); });
  });
  return page;
}

// ---- Filling ----

void TOptionsFm::FillHotKeys() {
  for (int k = 1; k <= TvlOptions::FunctionKeyCount; ++k)
    for (int m = 0; m < TvlOptions::ModifierCount; ++m)
      FunctionKeyCmBx[k - 1][m]->setCurrentIndex(FOptions.TriggerFunctionKey(k, m));
  TriggerPauseCmBx->setCurrentIndex(FOptions.FTriggerPause);
  TriggerPauseShiftCmBx->setCurrentIndex(FOptions.FTriggerPauseShift);
  TriggerNestSquareCmBx->setCurrentIndex(FOptions.FTriggerNestSquare);
  TriggerNestCurlyCmBx->setCurrentIndex(FOptions.FTriggerNestCurly);
  TriggerNestRoundCmBx->setCurrentIndex(FOptions.FTriggerNestRound);
  TriggerNestAngleCmBx->setCurrentIndex(FOptions.FTriggerNestAngle);
  TriggerTriplesCmBx->setCurrentIndex(FOptions.FTriggerTriples);
  TriggerQuestionsCmBx->setCurrentIndex(FOptions.FTriggerQuestions);
  TriggerSpaceDownCB->setChecked(FOptions.FTriggerSpaceDown);
  TriggerCtrlBCB->setChecked(FOptions.FTriggerCtrlBBold);
  KeyboardingCmBx->setCurrentIndex(FOptions.Keyboarding);
}

void TOptionsFm::FillOutputDevices() {
  AudioOutputDevicesCmBx->clear();
  AudioOutputDevicesCmBx->addItems(FOptions.Devices().OutputDeviceNames());
  AudioOutputDevicesCmBx->setCurrentIndex(
      AudioOutputDevicesCmBx->count() > 0 ? FOptions.AudioOutputDevice() : -1);
}

void TOptionsFm::FillInputDevice() {
  const TAudioDeviceQuery &devices = FOptions.Devices();
  AudioInputDevicesCmBx->clear();
  AudioInputDevicesCmBx->addItems(devices.InputDeviceNames());
  const int device = FOptions.AudioInputDevice();
  AudioInputDevicesCmBx->setCurrentIndex(AudioInputDevicesCmBx->count() > 0 ? device : -1);

  AudioInputSourcesCmBx->clear();
  AudioInputSourcesCmBx->addItems(devices.InputSources(device));
  AudioInputSourcesCmBx->setCurrentIndex(
      AudioInputSourcesCmBx->count() > 0 ? FOptions.AudioInputSource() : -1);

  SamplingChoicesOfferedByInputDeviceCmBx->clear();
  SamplingChoicesOfferedByInputDeviceCmBx->addItems(devices.OfferedSamplings(device));
  SamplingChoicesOfferedByInputDeviceCmBx->setCurrentIndex(FOptions.AudioSamplingOffering());
  FillEncodings();
}

void TOptionsFm::FillEncodings() {
  const TAudioFileFormats format = FOptions.FAudioFileFormat == affOGG ? affOGG : affWAV;
  AudioFileFormatCmBx->setCurrentIndex(AudioFileFormatCmBx->findData(format));
  AudioFileSubChoicesCmBx->clear();
  if (format == affOGG) {
    for (int q = 1; q <= 10; ++q)
      AudioFileSubChoicesCmBx->addItem(OggModeName() + u' ' + QString::number(q));
  } else {
    AudioFileSubChoicesCmBx->addItems(WavModeNames());
  }
  const QString chosen = FOptions.AudioFileEncodingFor(AudioFileFormatExtension(format));
  AudioFileSubChoicesCmBx->setCurrentIndex(AudioFileSubChoicesCmBx->findText(chosen));
}

void TOptionsFm::EnableRecordingControls() {
  RecordAfterPlayCB->setEnabled(AvoidGen2RecordCB->isChecked());
  const bool offer = AudioSamplingRightArrowRB->isChecked();
  AudioSamplingRateCmBx->setEnabled(!offer);
  AudioSamplingMonoRB->setEnabled(!offer);
  AudioSamplingStereoRB->setEnabled(!offer);
  SamplingChoicesOfferedByInputDeviceCmBx->setEnabled(offer);
}

void TOptionsFm::FillControls() {
  FFilling = true;
  FillHotKeys();

  switch (FOptions.WantTempoMode()) {
    case wtmNormal: WantTempoNormalRB->setChecked(true); break;
    case wtmNoChange: WantTempoNoChangeRB->setChecked(true); break;
    case wtmFavorite: WantTempoFavoriteRB->setChecked(true); break;
  }
  const int favorite = FOptions.WantTempoMode() == wtmFavorite ? FOptions.FWantTempo : 120;
  const int nearest = std::clamp((favorite - 100 - FavoriteMin + FavoriteStep / 2) / FavoriteStep,
                                 0, WantTempoFavoriteCmBx->count() - 1);
  WantTempoFavoriteCmBx->setCurrentIndex(nearest);
  WantTempoFavoriteCmBx->setEnabled(WantTempoFavoriteRB->isChecked());
  FillOutputDevices();
  JumpBackSpEd->setValue(FOptions.FJumpBack);
  ReplaySlowerCtrlRCB->setChecked(FOptions.FJumpBackKey != 0);
  LockstepLengthSpEd->setValue(FOptions.FLockstepLength);
  LockstepOverlapSpEd->setMaximum(TvlOptions::LockstepOverlapLimit(FOptions.FLockstepLength));
  LockstepOverlapSpEd->setValue(FOptions.FLockstepOverlap);
  LockstepCtrlTCB->setChecked(FOptions.FLockstepKey != 0);

  AvoidGen2RecordCB->setChecked(FOptions.FAvoidGen2Record);
  RecordAfterPlayCB->setChecked(FOptions.FRecordAfterPlay);
  FillInputDevice();
  SetChecked(FOptions.FAudioSamplingUseOffer ? AudioSamplingRightArrowRB : AudioSamplingLeftArrowRB,
             true);
  const int rate = AudioSamplingRateCmBx->findData(FOptions.FAudioSamplingRate);
  AudioSamplingRateCmBx->setCurrentIndex(rate >= 0 ? rate : AudioSamplingRateCmBx->findData(22050));
  SetChecked(FOptions.FAudioSamplingChannels == 2 ? AudioSamplingStereoRB : AudioSamplingMonoRB,
             true);
  EnableRecordingControls();

  AngleOfLabelTextSpEd->setValue(FOptions.FAngleOfLabelText);
  HeightOfLabelAreaTB->setValue(FOptions.FHeightOfLabelArea);
  SkinScrollsCB->setChecked(FOptions.FSkinScrolls);
  TwentyFourHourTimeCB->setChecked(FOptions.FTwentyFourHourTime);
  TrackSkinContrastTB->setValue(FOptions.TrackSkinContrast());
  ApplyToMenuCmBx->setCurrentIndex(FOptions.FTimemarkOrder);

  SetChecked(FOptions.FDocOpenPos == dopTop      ? OpenDocTopRB
             : FOptions.FDocOpenPos == dopBottom ? OpenDocBottomRB
                                                 : OpenDocSavedRB,
             true);
  SetChecked(FOptions.FSpellBackground ? SpellBackgroundRB : SpellBatchRB, true);
  SpellAutoFixCB->setChecked(FOptions.FSpellAutoFix);
  // A stored dictionary no longer installed is still shown (and kept) as chosen.
  if (SpellDictionaryCmBx->findData(FOptions.FSpellDictionary) < 0)
    SpellDictionaryCmBx->addItem(FOptions.FSpellDictionary, FOptions.FSpellDictionary);
  SpellDictionaryCmBx->setCurrentIndex(SpellDictionaryCmBx->findData(FOptions.FSpellDictionary));
  AutoBulletsCB->setChecked(FOptions.FAutoBullets);
  PrintParagraphTimesCB->setChecked(FOptions.FPrintParagraphTimes);

  WordsPerMinuteTB->setValue(FOptions.WordsPerMinute());
  WordsPerMinuteLbl->setText(QString::number(WordsPerMinuteTB->value()));
  VertTimelineContrastTB->setValue(FOptions.TrackSkinContrast() + 10);
  FFilling = false;
}

// ---- Showing and closing ----

bool TOptionsFm::TurnToPage(const QString &UniqueCaptionFragment) {
  int found = -1;
  for (int i = 0; i < Pages->count(); ++i) {
    const QString caption = Pages->tabText(i);
    if (caption.compare(UniqueCaptionFragment, Qt::CaseInsensitive) == 0) {
      found = i;
      break;
    }
    if (found < 0 && caption.contains(UniqueCaptionFragment, Qt::CaseInsensitive)) found = i;
  }
  if (found < 0) return false;
  Pages->setCurrentIndex(found);
  return true;
}

QString TOptionsFm::CurrentPageCaption() const { return Pages->tabText(Pages->currentIndex()); }

void TOptionsFm::RecordingControlChanged() {
  if (!FLink.IsRecording()) return;
  TToolTipHints toolTips;
  TPointHints &hints = FHints ? *FHints : static_cast<TPointHints &>(toolTips);
  hints.Show(RecordingInProgressHint(), QCursor::pos(), RecordingInProgressHintMSecs);
}

void TOptionsFm::showEvent(QShowEvent *Event) {
  if (!Event->spontaneous()) {
    FSaved.MyAssign(FOptions);
    FillControls();
    // Not among the recording page's defaults: only a showing and OK touch it.
    RecordStartAutoCB->setChecked(FOptions.RecordStartAuto);
  }
  QDialog::showEvent(Event);
}

void TOptionsFm::accept() {
  RunGuarded([&] {
    FOptions.RecordStartAuto = RecordStartAutoCB->isChecked();
    FLink.SetRecordStartAuto(FOptions.RecordStartAuto);
    FOptions.UpdateAudioOptions();
  });
  QDialog::accept();
}

void TOptionsFm::reject() {
  RunGuarded([&] {
    const int contrast = FOptions.TrackSkinContrast();
    const int wpm = FOptions.WordsPerMinute();
    FOptions.MyAssign(FSaved);
    // MyAssign does not notify: the views that follow these two values are told here.
    if (contrast != FOptions.TrackSkinContrast() && FOptions.OnTrackSkinContrastChanged)
      FOptions.OnTrackSkinContrastChanged();
    if (wpm != FOptions.WordsPerMinute() && FOptions.OnWordsPerMinuteChanged)
      FOptions.OnWordsPerMinuteChanged();
    FLink.RebuildBookmarkMenu();
    FLink.RedrawTracks();
    FLink.RebuildKeyCommands();
    SetAutoBullets(FOptions.FAutoBullets);
    FOptions.UpdateAudioOptions();
  });
  QDialog::reject();
}
