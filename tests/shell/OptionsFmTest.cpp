// The options window offscreen over a scripted device list: pages found by caption, device
// choices answered by the device query, live edits, Cancel putting every option back, OK.

#include "vl09_OptionsFm.h"
#include "vl09_SilenceFm.h"
#include "vlHintAsPointHints.h"
#include "vlTestSupport.h"
#include "vlTextBullets.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// Two input and two output devices; each input device has its own sources and samplings.
class TScriptedDevices final : public TAudioDeviceQuery {
 public:
  QStringList InputDeviceNames() const override {
    return {S("Built-in Microphone"), S("USB Headset")};
  }
  QStringList OutputDeviceNames() const override { return {S("Speakers"), S("HDMI")}; }
  QStringList InputSources(int InputDevice) const override {
    if (InputDevice == 1) return {S("Headset Mic "), S("Line In")};
    return {S("Front Mic"), S("Rear Mic"), S("Line In")};
  }
  int DefaultInputSource(int InputDevice) const override { return InputDevice == 1 ? 0 : 1; }
  QStringList OfferedSamplings(int InputDevice) const override {
    if (InputDevice == 1) return {S("16000 Hz, 16 bit, Mono"), S("48000 Hz, 16 bit, Stereo")};
    return {S("22050 Hz, 16 bit, Mono"), S("44100 Hz, 16 bit, Stereo")};
  }
  QStringList RecordFormats(int InputDevice) const override {
    return OfferedSamplings(InputDevice);
  }
  QString UseOutputDevice(int OutputDevice) override {
    Used << OutputDevice;
    return {};
  }
  mutable QList<int> Used;
};

struct TRecordingHints final : TPointHints {
  QStringList Shown;
  void Show(const QString &Text, QPoint, int) override { Shown << Text; }
  void Hide() override {}
};

// What the user does to a control; the window hears it as it would hear the mouse.
void Choose(QComboBox *Box, int Index) {
  Box->setCurrentIndex(Index);
  Q_EMIT Box->activated(Index);
}

// Every stored option as the settings file would hold it, to compare two states whole.
QMap<QString, QString> Stored(const TvlOptions &Options) {
  TRegistryData store{QString{}};
  Options.Registry_SaveTo(store);
  QMap<QString, QString> values;
  for (const QString &name : store.Names()) values.insert(name, store.GetValue(name));
  return values;
}

// The program's side of the window's changes, counted.
struct TCountingLink final : TOptionsFmLink {
  int KeyCommands = 0, BookmarkMenus = 0, Redraws = 0, AudioRecreated = 0;
  std::optional<bool> StartAuto;
  bool Recording = false;
  void RebuildKeyCommands() override { ++KeyCommands; }
  void RebuildBookmarkMenu() override { ++BookmarkMenus; }
  void RedrawTracks() override { ++Redraws; }
  void RecreateAudioComponents() override { ++AudioRecreated; }
  void SetRecordStartAuto(bool On) override { StartAuto = On; }
  bool IsRecording() override { return Recording; }
};

struct TRig {
  TScriptedDevices Devices;
  TvlOptions Options{&Devices};
  TRecordingHints Hints;
  TCountingLink Link;
  std::unique_ptr<TOptionsFm> Window;
  TRig() {
    Window = std::make_unique<TOptionsFm>(Options, Link, nullptr, &Hints);
    Window->show();
  }
};

}  // namespace

TEST(OptionsWindow, PagesAreFoundByCaptionAnExactCaptionWinning) {
  TRig rig;
  TOptionsFm &w = *rig.Window;
  EXPECT_EQ(w.windowTitle(), S("Options"));
  const std::pair<const char *, const char *> rows[] = {{"Play", "Playing"},
                                                        {"Record", "Recording"},
                                                        {"Timeline", "Timeline"},
                                                        {"Horizontal", "Horizontal Timeline"},
                                                        {"Hot Keys", "Bookmark Hot Keys"},
                                                        {"Word", "Word Processor"}};
  for (const auto &[fragment, caption] : rows) {
    EXPECT_TRUE(w.TurnToPage(S(fragment))) << fragment;
    EXPECT_EQ(w.CurrentPageCaption(), S(caption)) << fragment;
  }
  EXPECT_FALSE(w.TurnToPage(S("Sketching")));
  EXPECT_EQ(w.CurrentPageCaption(), S("Word Processor"));
}

TEST(OptionsWindow, DeviceChoicesComeFromTheDeviceQuery) {
  TRig rig;
  rig.Options.FAudioInputSourceStr = S("Line In");
  rig.Window->hide();
  rig.Window->show();
  TOptionsFm &w = *rig.Window;
  ASSERT_EQ(w.AudioInputDevicesCmBx->count(), 2);
  EXPECT_EQ(w.AudioInputSourcesCmBx->currentText(), S("Line In"));
  EXPECT_EQ(w.AudioOutputDevicesCmBx->count(), 2);
  EXPECT_EQ(w.SamplingChoicesOfferedByInputDeviceCmBx->count(), 2);

  // Another input device brings its own sources (its default chosen) and samplings.
  Choose(w.AudioInputDevicesCmBx, 1);
  EXPECT_EQ(rig.Options.FAudioInputDevice, 1);
  EXPECT_EQ(rig.Options.FAudioInputDeviceName, S("USB Headset"));
  EXPECT_EQ(w.AudioInputSourcesCmBx->currentText(), S("Headset Mic "));
  EXPECT_EQ(w.SamplingChoicesOfferedByInputDeviceCmBx->itemText(0), S("16000 Hz, 16 bit, Mono"));
  Choose(w.AudioInputSourcesCmBx, 0);
  EXPECT_EQ(rig.Options.FAudioInputSourceStr, S("Headset Mic"));

  // An offered sampling: the rate box gives way to the offered list.
  w.AudioSamplingRightArrowRB->click();
  EXPECT_TRUE(rig.Options.FAudioSamplingUseOffer);
  EXPECT_FALSE(w.AudioSamplingRateCmBx->isEnabled());
  EXPECT_TRUE(w.SamplingChoicesOfferedByInputDeviceCmBx->isEnabled());
  Choose(w.SamplingChoicesOfferedByInputDeviceCmBx, 1);
  EXPECT_EQ(rig.Options.AudioSamplingRate(), 48000);
  EXPECT_EQ(rig.Options.AudioSamplingChannels(), 2);

  // The output device applies at once.
  Choose(w.AudioOutputDevicesCmBx, 1);
  EXPECT_EQ(rig.Devices.Used, QList<int>{1});
  EXPECT_EQ(rig.Options.FAudioOutputDeviceName, S("HDMI"));
}

TEST(OptionsWindow, CancelPutsBackEveryOptionChangedIncludingDevices) {
  TRig rig;
  TOptionsFm &w = *rig.Window;
  const QMap<QString, QString> before = Stored(rig.Options);
  int contrastNotes = 0, wpmNotes = 0;
  const int &redraws = rig.Link.Redraws, &menus = rig.Link.BookmarkMenus,
            &keys = rig.Link.KeyCommands;
  rig.Options.OnTrackSkinContrastChanged = [&] { ++contrastNotes; };
  rig.Options.OnWordsPerMinuteChanged = [&] { ++wpmNotes; };

  Choose(w.AudioOutputDevicesCmBx, 1);
  Choose(w.AudioInputDevicesCmBx, 1);
  w.WantTempoFavoriteRB->click();
  Choose(w.WantTempoFavoriteCmBx, w.WantTempoFavoriteCmBx->findText(S("+50 %")));
  EXPECT_EQ(rig.Options.FWantTempo, 150);
  w.JumpBackSpEd->setValue(12);
  w.ReplaySlowerCtrlRCB->click();
  w.LockstepLengthSpEd->setValue(9);
  w.AvoidGen2RecordCB->click();
  EXPECT_FALSE(w.RecordAfterPlayCB->isEnabled());
  Choose(w.AudioFileFormatCmBx, w.AudioFileFormatCmBx->findText(S("OGG")));
  EXPECT_EQ(w.AudioFileSubChoicesCmBx->currentText(), S("Quality 3"));
  Choose(w.AudioFileSubChoicesCmBx, w.AudioFileSubChoicesCmBx->findText(S("Quality 5")));
  w.AngleOfLabelTextSpEd->setValue(60);
  w.HeightOfLabelAreaTB->setValue(120);
  Choose(w.ApplyToMenuCmBx, 2);
  w.OpenDocBottomRB->click();
  Choose(w.FunctionKeyCmBx[4][1], toGatherLabelWindow);
  w.TriggerSpaceDownCB->click();
  w.WordsPerMinuteTB->setValue(100);
  w.VertTimelineContrastTB->setValue(60);
  EXPECT_EQ(rig.Options.TrackSkinContrast(), 50);  // 60 on the 10..110 bar is 50
  w.VertTimelineContrastTB->setValue(95);
  EXPECT_EQ(rig.Options.TrackSkinContrast(), 85);
  EXPECT_EQ(rig.Options.FTriggerFunctionKey[4][1], toGatherLabelWindow);
  EXPECT_NE(Stored(rig.Options), before);
  const int notesBefore = contrastNotes + wpmNotes;

  rig.Devices.Used.clear();
  QTest::mouseClick(w.CancelBtn, Qt::LeftButton);
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(Stored(rig.Options), before);
  EXPECT_EQ(rig.Options.FAudioOutputDeviceName, QString());
  EXPECT_EQ(rig.Devices.Used, QList<int>{0});  // the old output device is applied again
  EXPECT_GE(redraws, 3);
  EXPECT_GE(menus, 2);
  EXPECT_GE(keys, 2);
  EXPECT_EQ(contrastNotes + wpmNotes, notesBefore + 2);  // both views told of the way back
}

TEST(OptionsWindow, OkKeepsTheChangesAndSetsStartingRecordingAutomatically) {
  TRig rig;
  TOptionsFm &w = *rig.Window;
  w.WantTempoNoChangeRB->click();
  w.RecordStartAutoCB->click();
  EXPECT_FALSE(rig.Options.RecordStartAuto);  // applied on OK only
  w.RecordingDefaultsBtn->click();
  QTest::mouseClick(w.OkBtn, Qt::LeftButton);
  EXPECT_TRUE(rig.Options.RecordStartAuto);
  EXPECT_EQ(rig.Link.StartAuto, std::optional<bool>(true));
  EXPECT_EQ(rig.Options.FWantTempo, TvlOptions::WantTempoNoChange);
  EXPECT_EQ(rig.Devices.Used, QList<int>{0});

  // Shown again, the controls show the options as they now are.
  rig.Options.FWantTempo = 75;
  rig.Options.FAudioFileFormat = affWMA;  // cannot be recorded: shown as WAV
  w.show();
  EXPECT_TRUE(w.WantTempoFavoriteRB->isChecked());
  EXPECT_EQ(w.WantTempoFavoriteCmBx->currentText(), S("-25 %"));
  EXPECT_EQ(w.AudioFileFormatCmBx->currentText(), S("WAV"));
  EXPECT_EQ(w.AudioFileSubChoicesCmBx->currentText(), S("Microsoft ADPCM"));
  EXPECT_TRUE(w.RecordStartAutoCB->isChecked());
}

TEST(OptionsWindow, ARecordingControlChangedWhileRecordingSaysItAppliesToTheNextRecording) {
  TRig rig;
  TOptionsFm &w = *rig.Window;
  bool &recording = rig.Link.Recording;
  Choose(w.AudioSamplingRateCmBx, w.AudioSamplingRateCmBx->findText(S("44100")));
  EXPECT_TRUE(rig.Hints.Shown.isEmpty());
  recording = true;
  Choose(w.AudioSamplingRateCmBx, w.AudioSamplingRateCmBx->findText(S("8000")));
  w.AudioSamplingStereoRB->click();
  w.JumpBackSpEd->setValue(20);  // not a recording control
  EXPECT_EQ(rig.Hints.Shown, QStringList(2, TOptionsFm::RecordingInProgressHint()));
  EXPECT_EQ(rig.Options.FAudioSamplingRate, 8000);
  EXPECT_EQ(rig.Options.FAudioSamplingChannels, 2);
  // "Refresh List" asks for the devices afresh; while recording the hint says why nothing came.
  const int &refreshes = rig.Link.AudioRecreated;
  w.InputRefreshBtn->click();
  w.OutputRefreshBtn->click();
  EXPECT_EQ(refreshes, 2);
  EXPECT_EQ(rig.Hints.Shown.size(), 4);
}

TEST(OptionsWindow, TheRecordingHintShowsInTheProgramsHintWindow) {
  TScriptedDevices devices;
  TvlOptions options(&devices);
  TvlHint hint;
  TvlHintAsPointHints hints(hint);
  TCountingLink link;
  link.Recording = true;
  TOptionsFm window(options, link, nullptr, &hints);
  window.show();
  window.AudioSamplingStereoRB->click();
  EXPECT_TRUE(hint.isVisible());
  EXPECT_EQ(hint.HintText(), TOptionsFm::RecordingInProgressHint());
  EXPECT_EQ(hint.HideTimerInterval(), TOptionsFm::RecordingInProgressHintMSecs);
  hints.Hide();
  EXPECT_FALSE(hint.isVisible());
}

TEST(OptionsWindow, TheOverlapStaysShorterThanTheSegmentWhicheverIsChanged) {
  TRig rig;
  rig.Window->TurnToPage(S("Playing"));
  QSpinBox *length = rig.Window->LockstepLengthSpEd;
  QSpinBox *overlap = rig.Window->LockstepOverlapSpEd;
  struct RRow {
    const char *What;
    int Length, Overlap;  // what the user enters, in this order
    int KeptLength, KeptOverlap;
  };
  const RRow rows[] = {
      {"an overlap of 5 with a segment of 3", 3, 5, 3, 2},
      {"a segment shortened under the overlap", 20, 5, 20, 5},
      {"then the segment made 4 long", 4, 5, 4, 3},
      {"no overlap at all", 3, 0, 3, 0},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.What);
    length->setValue(row.Length);
    overlap->setValue(row.Overlap);
    EXPECT_EQ(rig.Options.FLockstepLength, row.KeptLength);
    EXPECT_EQ(rig.Options.FLockstepOverlap, row.KeptOverlap);
    EXPECT_LT(overlap->value(), length->value());
  }
  // A settings file written by hand or by an older version is held to the same rule.
  TRegistryData store{QString{}};
  store.SetInteger(S("LockstepLength"), 3);
  store.SetInteger(S("LockstepOverlap"), 5);
  TvlOptions read;
  read.Registry_LoadFrom(store);
  EXPECT_EQ(read.FLockstepLength, 3);
  EXPECT_EQ(read.FLockstepOverlap, 2);
}

TEST(OptionsWindow, SecondsReadRightTheSpeedShowsItsNumberAndEveryPageHasDefaults) {
  TRig rig;
  QSpinBox *jumpBack = rig.Window->JumpBackSpEd;
  jumpBack->setValue(1);
  EXPECT_EQ(jumpBack->text(), S("1 second"));
  jumpBack->setValue(2);
  EXPECT_EQ(jumpBack->text(), S("2 seconds"));
  rig.Window->LockstepOverlapSpEd->setValue(1);
  EXPECT_EQ(rig.Window->LockstepOverlapSpEd->text(), S("1 second"));

  rig.Window->WordsPerMinuteTB->setValue(95);
  EXPECT_EQ(rig.Window->WordsPerMinuteLbl->text(), S("95"));
  EXPECT_EQ(rig.Options.WordsPerMinute(), 95);

  // Each page with settings of its own has a Defaults button that restores them.
  for (int i = 0; i < rig.Window->Pages->count(); ++i) {
    SCOPED_TRACE(qPrintable(rig.Window->Pages->tabText(i)));
    const QList<QPushButton *> buttons =
        rig.Window->Pages->widget(i)->findChildren<QPushButton *>();
    EXPECT_TRUE(std::any_of(buttons.begin(), buttons.end(),
                            [](const QPushButton *B) { return B->text() == S("Defaults"); }) ||
                rig.Window->Pages->tabText(i) == S("Playing") ||
                rig.Window->Pages->tabText(i) == S("Horizontal Timeline"));
  }
  rig.Window->TimelineDefaultsBtn->click();
  EXPECT_EQ(rig.Options.WordsPerMinute(), 70);
  EXPECT_EQ(rig.Window->WordsPerMinuteLbl->text(), S("70"));

  rig.Window->TurnToPage(S("Word Processor"));
  rig.Window->AutoBulletsCB->setChecked(false);
  rig.Window->PrintParagraphTimesCB->setChecked(false);
  rig.Window->OpenDocTopRB->setChecked(true);
  rig.Window->SpellAutoFixCB->setChecked(true);
  EXPECT_FALSE(rig.Options.FAutoBullets);
  EXPECT_FALSE(AutoBullets());
  rig.Window->WordProcessorDefaultsBtn->click();
  EXPECT_TRUE(rig.Options.FAutoBullets);
  EXPECT_TRUE(AutoBullets());
  EXPECT_TRUE(rig.Options.FPrintParagraphTimes);
  EXPECT_EQ(rig.Options.FDocOpenPos, dopSaved);
  EXPECT_FALSE(rig.Options.FSpellAutoFix);
  EXPECT_FALSE(rig.Window->SpellAutoFixCB->isChecked());
  EXPECT_TRUE(rig.Window->AutoBulletsCB->isChecked());

  // Cancel gives the switch back as it was; the choice is stored.
  rig.Window->AutoBulletsCB->setChecked(false);
  rig.Window->reject();
  EXPECT_TRUE(AutoBullets());
  rig.Options.FAutoBullets = false;
  rig.Options.FPrintParagraphTimes = false;
  TRegistryData store{QString{}};
  rig.Options.Registry_SaveTo(store);
  TvlOptions read;
  read.Registry_LoadFrom(store);
  EXPECT_FALSE(read.FAutoBullets);
  EXPECT_FALSE(read.FPrintParagraphTimes);
  SetAutoBullets(true);
}
