#include "vl09_Options.h"
#include "vl09_Registry.h"
#include "vlGlobals.h"
#include "vlOptions.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

TRegistryData EmptyStore() { return TRegistryData(QStringLiteral("/nonexistent/2009.ini")); }

// Every value the options write, as name=value lines.
QStringList Saved(const TvlOptions &Options) {
  TRegistryData store = EmptyStore();
  Options.Registry_SaveTo(store);
  QStringList lines;
  for (const QString &name : store.Names())
    lines.append(name + QLatin1Char('=') + store.GetValue(name));
  return lines;
}

class TFakeDevices final : public TAudioDeviceQuery {
 public:
  QStringList Inputs, Outputs, Sources, Offered, Formats;
  int DefaultSource = 0;
  QString Failure;
  QList<int> Used;
  QStringList InputDeviceNames() const override { return Inputs; }
  QStringList OutputDeviceNames() const override { return Outputs; }
  QStringList InputSources(int) const override { return Sources; }
  int DefaultInputSource(int) const override { return DefaultSource; }
  QStringList OfferedSamplings(int) const override { return Offered; }
  QStringList RecordFormats(int) const override { return Formats; }
  QString UseOutputDevice(int Device) override {
    Used.append(Device);
    return Failure;
  }
};

}  // namespace

TEST(Options, AnEmptyStoreGivesEveryDefaultAndNoAutomaticRecording) {
  TvlOptions o;
  o.FJumpBack = 33;
  o.SetDefaults();
  o.RecordStartAuto = true;
  o.Registry_LoadFrom(EmptyStore());
  const QStringList expected = {S("AngleOfLabelText=30"),
                                S("HeightOfLabelArea=35"),
                                S("AudioInputDevice=0"),
                                S("AudioInputDeviceName="),
                                S("AudioInputSourceStr="),
                                S("AudioOutputDevice=0"),
                                S("AudioOutputDeviceName="),
                                S("AudioOutputChannel=0"),
                                S("AudioSamplingRate=22050"),
                                S("AudioSamplingChannels=1"),
                                S("AudioSamplingUseOffer=0"),
                                S("AudioSamplingOfferingStr="),
                                S("AudioFileFormat=WAV"),
                                S("AudioFileEncodingFor_ogg=Quality 3"),
                                S("AudioFileEncodingFor_wav=Microsoft ADPCM"),
                                S("AudioFileEncodingFor_wma=Constant bitrate (CBR) 20000"),
                                S("TimemarkOrder=0"),
                                S("DocOpenPos=1"),
                                S("SkinScrolls=-1"),
                                S("TrackSkinContrast=50"),
                                S("AvoidGen2Record=-1"),
                                S("RecordAfterPlay=0"),
                                S("WantTempo=120"),
                                S("JumpBack=7"),
                                S("JumpBackKey=18"),
                                S("LockstepKey=20"),
                                S("LockstepLength=6"),
                                S("LockstepOverlap=1"),
                                S("TriggerSpaceDown=0"),
                                S("TriggerCtrlBBold=-1"),
                                S("TriggerNestSquare=1"),
                                S("TriggerNestCurly=1"),
                                S("TriggerNestRound=1"),
                                S("TriggerNestAngle=1"),
                                S("TriggerPause=3"),
                                S("TriggerPauseShift=3"),
                                S("TriggerTriples=1"),
                                S("TriggerQuestions=1")};
  const QStringList saved = Saved(o);
  for (const QString &line : expected) EXPECT_TRUE(saved.contains(line)) << line.toStdString();
  for (int key = 1; key <= 12; ++key)
    for (int mod = 0; mod < 4; ++mod) {
      const int want = mod > 0 ? 0 : key == 1 ? 3 : key == 2 ? 2 : 1;
      EXPECT_TRUE(saved.contains(QStringLiteral("TriggerFN%1_%2=%3").arg(key).arg(mod).arg(want)))
          << key << "_" << mod;
    }
  EXPECT_TRUE(saved.contains(S("WordsPerMinute=70")));
  EXPECT_TRUE(saved.contains(S("RecordStartAuto=0")));
  EXPECT_FALSE(o.RecordStartAuto);
  // Memory-only values.
  EXPECT_TRUE(o.FMarkMoveLeavesGhost);
  EXPECT_EQ(o.Keyboarding, kbWord);
  EXPECT_EQ(o.TrackBarClick, tbcJumpToClick);
  EXPECT_FALSE(o.FTwentyFourHourTime);
}

TEST(Options, StoredValuesAreLimitedToTheirRangesAndGarbageGivesTheDefault) {
  struct Row {
    const char *Name;
    const char *Stored;
    const char *Loaded;  // as written back
  };
  const Row rows[] = {
      {"JumpBack", "0", "1"},
      {"JumpBack", "90", "60"},
      {"JumpBack", "abc", "7"},
      {"WantTempo", "999", "999"},
      {"WantTempo", "40", "50"},
      {"WantTempo", "250", "190"},
      {"WantTempo", "x", "120"},
      {"WantTempo", "100", "100"},
      {"LockstepLength", "2", "3"},
      {"LockstepLength", "21", "20"},
      {"LockstepOverlap", "9", "5"},
      {"AngleOfLabelText", "-5", "0"},
      {"AngleOfLabelText", "nan", "30"},
      {"HeightOfLabelArea", "5", "10"},
      {"HeightOfLabelArea", "900", "200"},
      {"WordsPerMinute", "0", "10"},
      {"WordsPerMinute", "500", "110"},
      {"TrackSkinContrast", "0", "1"},
      {"TrackSkinContrast", "101", "100"},
      {"AudioSamplingRate", "0", "8000"},
      {"AudioSamplingRate", "9999999", "192000"},
      {"AudioSamplingChannels", "0", "1"},
      {"AudioSamplingChannels", "99", "2"},
      {"AudioInputDevice", "-4", "0"},
      {"AudioOutputChannel", "-1", "0"},
      {"JumpBackKey", "300", "255"},
      {"LockstepKey", "-2", "0"},
      {"DocOpenPos", "5", "2"},
      {"TimemarkOrder", "9", "2"},
      {"TriggerPause", "7", "3"},
      {"TriggerNestCurly", "-1", "0"},
      {"TriggerFN5_2", "3", "3"},
      {"TriggerFN12_3", "200", "3"},
      {"SkinScrolls", "False", "0"},
      {"AvoidGen2Record", "what", "-1"},
      {"RecordStartAuto", "-1", "-1"},
      {"AudioSamplingOfferingStr", "  8000 Hz, 8 bit, Mono  ", "8000 Hz, 8 bit, Mono"},
      {"AudioInputSourceStr", " Line In ", "Line In"},
  };
  for (const Row &row : rows) {
    TRegistryData store = EmptyStore();
    store.SetValue(S(row.Name), S(row.Stored));
    TvlOptions o;
    o.Registry_LoadFrom(store);
    const QString want = S(row.Name) + QLatin1Char('=') + S(row.Loaded);
    EXPECT_TRUE(Saved(o).contains(want)) << row.Name << "=" << row.Stored;
  }
}

TEST(Options, OnlyTheExactUpperCaseFormatNamesAreRecognised) {
  const std::pair<const char *, TAudioFileFormats> rows[] = {
      {"WAV", affWAV}, {"OGG", affOGG}, {"WMA", affWMA}, {"ogg", affWAV},
      {"Ogg", affWAV}, {"MP3", affWAV}, {"", affWAV}};
  for (const auto &[stored, format] : rows) {
    TRegistryData store = EmptyStore();
    store.SetValue(QStringLiteral("AudioFileFormat"), S(stored));
    TvlOptions o;
    o.FAudioFileFormat = affOGG;
    o.Registry_LoadFrom(store);
    EXPECT_EQ(o.FAudioFileFormat, format) << stored;
  }
  TvlOptions o;
  o.FAudioFileFormat = affWMA;
  EXPECT_EQ(o.RecordingFileFormat(), affWAV);
  EXPECT_TRUE(Saved(o).contains(S("AudioFileFormat=WMA")));
}

TEST(Options, EncodingChoicesAreReadForEveryStoredFormatAndMissingOnesGetTheirDefault) {
  TRegistryData store = EmptyStore();
  store.SetValue(QStringLiteral("AudioFileEncodingFor_ogg"), S("Quality 5"));
  store.SetValue(QStringLiteral("audiofileencodingfor_FLAC"), S("Level 8"));
  store.SetValue(QStringLiteral("AudioFileEncodingFor_wav"), S("  "));
  TvlOptions o;
  o.Registry_LoadFrom(store);
  EXPECT_EQ(o.AudioFileEncodingFor(S("OGG")), S("Quality 5"));
  EXPECT_EQ(o.AudioFileEncodingFor(S("wav")), S("Microsoft ADPCM"));
  EXPECT_EQ(o.AudioFileEncodingFor(S("flac")), S("Level 8"));
  EXPECT_EQ(o.AudioFileEncodingFor(S("wma")), S("Constant bitrate (CBR) 20000"));
  EXPECT_EQ(TvlOptions::AudioFileEncodingDefaultFor(S("aiff")), QString());
  EXPECT_TRUE(Saved(o).contains(S("AudioFileEncodingFor_flac=Level 8")));
}

TEST(Options, EveryStoredValueSurvivesARoundTripThroughTheFile) {
  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("2009.ini"));
  TvlOptions a;
  a.FAngleOfLabelText = 45;
  a.FHeightOfLabelArea = 120;
  a.FAudioInputDevice = 2;
  a.FAudioInputDeviceName = S("USB Mic; front");
  a.FAudioInputSourceStr = S("Line In");
  a.FAudioOutputDevice = 1;
  a.FAudioOutputChannel = 3;
  a.FAudioSamplingRate = 44100;
  a.FAudioSamplingChannels = 2;
  a.FAudioSamplingUseOffer = true;
  a.FAudioSamplingOfferingStr = S("44100 Hz, 16 bit, Stereo");
  a.FAudioFileFormat = affOGG;
  a.SetAudioFileEncodingFor(S("ogg"), S("Quality 7"));
  a.FTimemarkOrder = boUsersReverse;
  a.FDocOpenPos = dopBottom;
  a.FSkinScrolls = false;
  a.SetTrackSkinContrast(77);
  a.FAvoidGen2Record = false;
  a.FRecordAfterPlay = true;
  a.FWantTempo = 999;
  a.FJumpBack = 12;
  a.FJumpBackKey = 0;
  a.FLockstepKey = 0;
  a.FLockstepLength = 10;
  a.FLockstepOverlap = 3;
  a.FTriggerSpaceDown = true;
  a.FTriggerCtrlBBold = false;
  a.FTriggerNestAngle = toGatherLabelBody;
  a.FTriggerQuestions = toNoTrigger;
  a.SetTriggerFunctionKey(7, 2, toGatherLabelWindow);
  a.SetWordsPerMinute(95);
  a.RecordStartAuto = true;

  TRegistryData out(path);
  a.Registry_SaveTo(out);
  ASSERT_TRUE(out.OnApplicationClose_WriteToRegistry());
  TRegistryData in(path);
  ASSERT_TRUE(in.OnApplicationOpen_ReadFromRegistry());
  TvlOptions b;
  b.Registry_LoadFrom(in);
  EXPECT_EQ(Saved(b), Saved(a));
  EXPECT_EQ(b.TriggerFunctionKey(7, 2), toGatherLabelWindow);
  EXPECT_EQ(b.FTimemarkOrder, boUsersReverse);
  EXPECT_TRUE(b.RecordStartAuto);
}

TEST(Options, MyAssignRestoresEveryValueButKeepsTheNotificationsAndDevices) {
  TFakeDevices devices;
  devices.Outputs = {S("A"), S("B")};
  TvlOptions live(&devices);
  int redraws = 0;
  live.OnWordsPerMinuteChanged = [&] { ++redraws; };
  TvlOptions saved;
  saved.MyAssign(live);
  live.SetAudioOutputDevice(1);
  live.FJumpBack = 30;
  live.SetTriggerFunctionKey(3, 1, toGatherLabelBody);
  live.SetWordsPerMinute(20);
  live.SetAudioFileEncodingFor(S("wav"), S("PCM"));
  ASSERT_NE(Saved(live), Saved(saved));
  live.MyAssign(saved);
  EXPECT_EQ(Saved(live), Saved(saved));
  EXPECT_EQ(live.FAudioOutputDevice, 0);
  live.SetWordsPerMinute(30);
  EXPECT_EQ(redraws, 2);
  EXPECT_EQ(&live.Devices(), &devices);
}

TEST(Options, SettersThatRedrawLimitTheirValueAndNotifyOnlyOnChange) {
  TvlOptions o;
  int contrast = 0, wpm = 0;
  o.OnTrackSkinContrastChanged = [&] { ++contrast; };
  o.OnWordsPerMinuteChanged = [&] { ++wpm; };
  o.SetWordsPerMinute(0);
  EXPECT_EQ(o.WordsPerMinute(), 10);
  o.SetWordsPerMinute(-5);
  o.SetTrackSkinContrast(1000);
  EXPECT_EQ(o.TrackSkinContrast(), 100);
  EXPECT_EQ(wpm, 1);
  EXPECT_EQ(contrast, 1);
}

TEST(Options, TheSpeedModeMapsOntoTheStoredTempo) {
  TvlOptions o;
  EXPECT_EQ(o.WantTempoMode(), wtmFavorite);
  o.SetWantTempoMode(wtmNormal);
  EXPECT_EQ(o.FWantTempo, 100);
  EXPECT_EQ(o.WantTempoMode(), wtmNormal);
  o.SetWantTempoMode(wtmNoChange);
  EXPECT_EQ(o.FWantTempo, 999);
  o.SetWantTempoMode(wtmFavorite);
  EXPECT_EQ(o.FWantTempo, 120);
  o.FWantTempo = 150;
  o.SetWantTempoMode(wtmFavorite);
  EXPECT_EQ(o.FWantTempo, 150);
}

TEST(Options, OfferedSamplingTextsAreParsedAsTheDevicesWriteThem) {
  struct Row {
    const char *Text;
    int Rate, Channels, Bits;
    bool Usable;
  };
  const Row rows[] = {
      {"22050 Hz, 16 bit, Mono", 22050, 1, 16, true},
      {"48000Hz 24-Bit STEREO", 48000, 2, 24, true},
      {"8,000 Hz, 8 bit, Mono", 8, 1, 8, false},
      {"44100 Hz, Stereo", 44100, 2, 0, false},
      {"8 bit 11025 mono", 8, 1, 8, false},  // "bit" within the first 4 characters
      {"11025 Hz, 16 bit", 11025, 0, 16, false},
      {"99999999999 Hz, 16 bit, Mono", 0, 1, 16, false},
      {"", 0, 0, 0, false},
  };
  for (const Row &row : rows) {
    const ROfferedSampling s = ParseOfferedSampling(S(row.Text));
    EXPECT_EQ(s.Rate, row.Rate) << row.Text;
    EXPECT_EQ(s.Channels, row.Channels) << row.Text;
    EXPECT_EQ(s.Bits, row.Bits) << row.Text;
    EXPECT_EQ(s.Usable(), row.Usable) << row.Text;
  }
}

TEST(Options, TheBestRecordFormatFavoursSpeechQualityAndTheFirstOfEqualOnes) {
  const std::pair<ROfferedSampling, double> scores[] = {
      {{22050, 1, 16}, 10},       {{8000, 1, 8}, 20.0 / 3},   {{44100, 2, 16}, 27.5 / 3},
      {{48000, 2, 24}, 18.5 / 3}, {{96000, 1, 16}, 20.0 / 3}, {{0, 0, 0}, 0},
      {{11025, 4, 4}, 15.0 / 3},  {{64000, 12, 32}, 9.0 / 3},
  };
  for (const auto &[format, score] : scores)
    EXPECT_DOUBLE_EQ(RecordFormatScore(format), score) << format.Rate << " " << format.Channels;

  TFakeDevices devices;
  devices.Inputs = {S("Mic")};
  TvlOptions o(&devices);
  EXPECT_EQ(o.AudioFileBitrates_ReturnBest(), -1);
  devices.Formats = {S("44100 Hz, 16 bit, Stereo"), S("22050 Hz, 16 bit, Mono"),
                     S("22050 Hz, 16 bit, Mono (2)"), S("8000 Hz, 8 bit, Mono")};
  EXPECT_EQ(o.AudioFileBitrates_ReturnBest(), 1);
}

TEST(Options, DeviceChoicesFollowTheDevicesPresent) {
  TFakeDevices devices;
  TvlOptions o(&devices);
  o.FAudioInputDevice = 3;
  EXPECT_EQ(o.AudioInputDevice(), 0);  // no devices at all
  devices.Inputs = {S("Built-in"), S("USB Mic")};
  o.FAudioInputDevice = 5;
  EXPECT_EQ(o.AudioInputDevice(), 1);
  EXPECT_EQ(o.FAudioInputDevice, 1);  // written back

  // A remembered device is found by its name when the numbering changes.
  o.SetAudioInputDevice(1);
  EXPECT_EQ(o.FAudioInputDeviceName, S("USB Mic"));
  devices.Inputs = {S("USB Mic"), S("HDMI"), S("Built-in")};
  EXPECT_EQ(o.AudioInputDevice(), 0);
  devices.Inputs = {S("Built-in"), S("HDMI")};  // unplugged: the index decides, the name stays
  EXPECT_EQ(o.AudioInputDevice(), 0);
  EXPECT_EQ(o.FAudioInputDeviceName, S("USB Mic"));

  devices.Sources = {S(" Microphone "), S("Line In")};
  devices.DefaultSource = 1;
  o.FAudioInputSourceStr = S("Microphone");
  EXPECT_EQ(o.AudioInputSource(), 0);
  o.FAudioInputSourceStr = S("Gone");
  EXPECT_EQ(o.AudioInputSource(), 1);
  o.FAudioInputSourceStr.clear();
  EXPECT_EQ(o.AudioInputSource(), 1);

  devices.Offered = {S("8000 Hz, 8 bit, Mono"), S("44100 Hz, 16 bit, Stereo ")};
  o.FAudioSamplingOfferingStr = S("44100 Hz, 16 bit, Stereo");
  EXPECT_EQ(o.AudioSamplingOffering(), 1);
  EXPECT_EQ(o.AudioSamplingRate(), 22050);  // not in use until chosen
  o.FAudioSamplingUseOffer = true;
  EXPECT_EQ(o.AudioSamplingRate(), 44100);
  EXPECT_EQ(o.AudioSamplingChannels(), 2);
  o.FAudioSamplingOfferingStr = S("whatever");
  EXPECT_EQ(o.AudioSamplingOffering(), -1);
  EXPECT_EQ(o.AudioSamplingRate(), 22050);  // an unusable text keeps the direct values
  EXPECT_EQ(o.AudioSamplingChannels(), 1);
}

TEST(Options, AFailureToSwitchTheOutputDeviceIsLogged) {
  TFreshFolder folder;
  TErrorLog log(folder.Path());
  TScopedErrorLog useLog(log);
  TFakeDevices devices;
  devices.Outputs = {S("Speakers"), S("Headphones")};
  TvlOptions o(&devices);
  o.FAudioOutputDevice = 7;
  EXPECT_TRUE(o.UpdateAudioOptions());
  devices.Failure = S("device busy");
  EXPECT_FALSE(o.UpdateAudioOptions());
  EXPECT_EQ(devices.Used, (QList<int>{1, 1}));
  EXPECT_TRUE(ReadAllBytes(folder.File(QStringLiteral("Errors.txt")))
                  .contains("O.UAO failed for 1.  device busy"));
  TvlOptions without;  // the stand-in has no devices and nothing to fail
  EXPECT_TRUE(without.UpdateAudioOptions());
  EXPECT_EQ(without.AudioOutputDevice(), 0);
}

TEST(Options, SketchingOptionsAreDefaultsThatAreNeverStored) {
  TOptions o;
  o.SketchPadding = 50;
  o.BlownUpReservedRect = QRect(1, 2, 3, 4);
  o.PermanentStorage_WriteAll();
  o.PermanentStorage_ReadAll();
  EXPECT_EQ(o.SketchPadding, 5);
  EXPECT_FALSE(o.BlownUpReservedRect.has_value());
  EXPECT_EQ(o.SketchToggleKey, 112);
  EXPECT_DOUBLE_EQ(o.DetectHoverTolerance, 1.5);
}
