#include "vl09_Options.h"
#include "vl09_Registry.h"
#include "vlAudioErrors.h"
#include "vlEncodeFormats.h"
#include "vlGlobals.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// "a;b;c" as a list: keeps long tables of settings readable.
QStringList Lines(const char *Text) { return S(Text).split(QLatin1Char(';')); }

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
  QStringList expected = Lines(
      "AngleOfLabelText=30;HeightOfLabelArea=35;AudioInputDevice=0;AudioInputDeviceName=;"
      "AudioInputSourceStr=;AudioOutputDevice=0;AudioOutputDeviceName=;AudioOutputChannel=0;"
      "AudioSamplingRate=22050;AudioSamplingChannels=1;AudioSamplingUseOffer=0;"
      "AudioSamplingOfferingStr=;AudioFileFormat=WAV;AudioFileEncodingFor_ogg=Quality 3;"
      "AudioFileEncodingFor_wav=Microsoft ADPCM;"
      "AudioFileEncodingFor_wma=Constant bitrate (CBR) 20000;TimemarkOrder=0;DocOpenPos=1;"
      "AutoBullets=-1;PrintParagraphTimes=-1;TwentyFourHourTime=0;"
      "SkinScrolls=-1;TrackSkinContrast=50;AvoidGen2Record=-1;RecordAfterPlay=0;WantTempo=120;"
      "JumpBack=7;JumpBackKey=18;LockstepKey=20;LockstepLength=6;LockstepOverlap=1;"
      "TriggerSpaceDown=0;TriggerCtrlBBold=-1;TriggerNestSquare=1;TriggerNestCurly=1;"
      "TriggerNestRound=1;TriggerNestAngle=1;TriggerPause=3;TriggerPauseShift=3;"
      "TriggerTriples=1;TriggerQuestions=1;WordsPerMinute=70;RecordStartAuto=0;"
      "SpellBackground=0;SpellAutoFix=0;SpellDictionary=");
  // Function keys: F1 to F9 set numbered bookmarks, F10 to F12 open a label window; no
  // modified key does anything.
  for (int key = 1; key <= 12; ++key)
    for (int mod = 0; mod < 4; ++mod)
      expected.append(QStringLiteral("TriggerFN%1_%2=%3")
                          .arg(key)
                          .arg(mod)
                          .arg(mod > 0    ? 0
                               : key <= 9 ? 1
                                          : 3));
  QStringList saved = Saved(o);
  saved.sort();
  expected.sort();
  EXPECT_EQ(saved, expected);
  EXPECT_TRUE(o.FMarkMoveLeavesGhost);
  EXPECT_EQ(o.Keyboarding, kbWord);
  EXPECT_EQ(o.TrackBarClick, tbcJumpToClick);
}

TEST(Options, StoredValuesAreLimitedToTheirRangesAndGarbageGivesTheDefault) {
  // name=stored>loaded, as written back.
  const QStringList rows = Lines(
      "JumpBack=0>1;JumpBack=90>60;JumpBack=abc>7;WantTempo=999>999;WantTempo=40>50;"
      "WantTempo=250>190;WantTempo=x>120;WantTempo=100>100;LockstepLength=2>3;"
      "LockstepLength=21>20;LockstepOverlap=9>5;AngleOfLabelText=-5>0;AngleOfLabelText=nan>30;"
      "HeightOfLabelArea=5>10;HeightOfLabelArea=900>200;WordsPerMinute=0>10;"
      "WordsPerMinute=500>110;TrackSkinContrast=0>1;TrackSkinContrast=101>100;"
      "AudioSamplingRate=0>8000;AudioSamplingRate=9999999>48000;AudioSamplingRate=96000>48000;"
      "AudioSamplingChannels=0>1;"
      "AudioSamplingChannels=99>2;AudioInputDevice=-4>0;AudioOutputChannel=-1>0;"
      "JumpBackKey=300>255;LockstepKey=-2>0;DocOpenPos=5>2;TimemarkOrder=9>2;TriggerPause=7>3;"
      "TriggerNestCurly=-1>0;TriggerFN5_2=3>3;TriggerFN12_3=200>3;SkinScrolls=False>0;"
      "AvoidGen2Record=what>-1;RecordStartAuto=-1>-1;"
      "AudioSamplingOfferingStr=  8000 Hz, 8 bit, Mono  >8000 Hz, 8 bit, Mono;"
      "AudioInputSourceStr= Line In >Line In");
  for (const QString &row : rows) {
    const qsizetype eq = row.indexOf(QLatin1Char('=')), gt = row.lastIndexOf(QLatin1Char('>'));
    TRegistryData store = EmptyStore();
    store.SetValue(row.left(eq), row.mid(eq + 1, gt - eq - 1));
    TvlOptions o;
    o.Registry_LoadFrom(store);
    EXPECT_TRUE(Saved(o).contains(row.left(eq + 1) + row.mid(gt + 1))) << row.toStdString();
  }
}

TEST(Options, AStoredDictionaryIsANameNeverAPath) {
  const struct {
    const char *Stored, *Used;
  } rows[] = {{"en_GB", "en_GB"},  {" de_DE ", "de_DE"}, {"", ""},
              {"../../etc/x", ""}, {"/usr/share/x", ""}, {"a.b", ""}};
  for (const auto &row : rows) {
    SCOPED_TRACE(row.Stored);
    TRegistryData store = EmptyStore();
    store.SetValue(QStringLiteral("SpellDictionary"), QString::fromUtf8(row.Stored));
    TvlOptions o;
    o.Registry_LoadFrom(store);
    EXPECT_EQ(o.FSpellDictionary, QString::fromUtf8(row.Used));
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
  // A value other than the default for every name.
  const QStringList values = Lines(
      "AngleOfLabelText=45;HeightOfLabelArea=120;AudioInputDevice=2;"
      "AudioInputDeviceName=USB Mic, front;AudioInputSourceStr=Line In;AudioOutputDevice=1;"
      "AudioOutputDeviceName=HDMI;AudioOutputChannel=3;AudioSamplingRate=44100;"
      "AudioSamplingChannels=2;AudioSamplingUseOffer=-1;"
      "AudioSamplingOfferingStr=44100 Hz, 16 bit, Stereo;AudioFileFormat=OGG;"
      "AudioFileEncodingFor_ogg=Quality 7;AudioFileEncodingFor_wav=PCM;"
      "AudioFileEncodingFor_wma=Constant bitrate (CBR) 32000;TimemarkOrder=2;DocOpenPos=2;"
      "TwentyFourHourTime=-1;SkinScrolls=0;TrackSkinContrast=77;AvoidGen2Record=0;"
      "RecordAfterPlay=-1;WantTempo=999;"
      "JumpBack=12;JumpBackKey=0;LockstepKey=0;LockstepLength=10;LockstepOverlap=3;"
      "TriggerSpaceDown=-1;TriggerCtrlBBold=0;TriggerNestSquare=0;TriggerNestCurly=2;"
      "TriggerNestRound=3;TriggerNestAngle=2;TriggerPause=0;TriggerPauseShift=1;"
      "TriggerTriples=2;TriggerQuestions=0;TriggerFN1_0=0;TriggerFN7_2=3;TriggerFN12_3=1;"
      "WordsPerMinute=95;RecordStartAuto=-1;SpellBackground=-1;SpellAutoFix=-1;"
      "SpellDictionary=de_DE");
  TRegistryData given = EmptyStore();
  for (const QString &v : values)
    given.SetValue(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
  TvlOptions a;
  a.Registry_LoadFrom(given);
  const QStringList saved = Saved(a);
  for (const QString &v : values) EXPECT_TRUE(saved.contains(v)) << v.toStdString();

  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("2009.ini"));
  TRegistryData out(path);
  a.Registry_SaveTo(out);
  ASSERT_TRUE(out.OnApplicationClose_WriteToRegistry());
  TRegistryData in(path);
  ASSERT_TRUE(in.OnApplicationOpen_ReadFromRegistry());
  TvlOptions b;
  b.Registry_LoadFrom(in);
  EXPECT_EQ(Saved(b), saved);
  EXPECT_EQ(b.TriggerFunctionKey(7, 2), toGatherLabelWindow);
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
  live.SetWordsPerMinute(0);   // limited to 10
  live.SetWordsPerMinute(-5);  // no change: no redraw
  live.SetAudioFileEncodingFor(S("wav"), S("PCM"));
  EXPECT_EQ(live.WordsPerMinute(), 10);
  ASSERT_NE(Saved(live), Saved(saved));
  live.MyAssign(saved);
  EXPECT_EQ(Saved(live), Saved(saved));
  EXPECT_EQ(live.FAudioOutputDevice, 0);
  live.SetWordsPerMinute(30);
  EXPECT_EQ(redraws, 2);
  EXPECT_EQ(&live.Devices(), &devices);
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
  // text | rate, channels, bits, usable
  const QStringList rows = Lines(
      "22050 Hz, 16 bit, Mono|22050 1 16 1;48000Hz 24-Bit STEREO|48000 2 24 1;"
      "8,000 Hz, 8 bit, Mono|8 1 8 0;44100 Hz, Stereo|44100 2 0 0;"
      "8 bit 11025 mono|8 1 8 0;11025 Hz, 16 bit|11025 0 16 0;"
      "99999999999 Hz, 16 bit, Mono|0 1 16 0;|0 0 0 0");
  for (const QString &row : rows) {
    const ROfferedSampling s = ParseOfferedSampling(row.section(QLatin1Char('|'), 0, 0));
    const QString got =
        QStringLiteral("%1 %2 %3 %4").arg(s.Rate).arg(s.Channels).arg(s.Bits).arg(int(s.Usable()));
    EXPECT_EQ(got, row.section(QLatin1Char('|'), 1)) << row.toStdString();
  }
}

TEST(Options, EverySamplingTheOptionsGiveCanBeRecorded) {
  // Stored rates across and beyond the range, direct and through an offered text.
  const int rates[] = {0, 7999, 8000, 11025, 22050, 44100, 47999, 48000, 48001, 96000, 192000};
  TFakeDevices devices;
  for (int rate : rates)
    for (int channels : {1, 2})
      for (const char *offer : {"", "96000 Hz, 24 bit, Stereo", "44100 Hz, 16 bit, 6 channels",
                                "16000 Hz, 16 bit, Mono"}) {
        TRegistryData store = EmptyStore();
        store.SetInteger(S("AudioSamplingRate"), rate);
        store.SetInteger(S("AudioSamplingChannels"), channels);
        store.SetBool(S("AudioSamplingUseOffer"), *offer != 0);
        store.SetValue(S("AudioSamplingOfferingStr"), S(offer));
        TvlOptions o(&devices);
        o.Registry_LoadFrom(store);
        REncodeFormats formats;
        formats.Rate = o.AudioSamplingRate();
        formats.Channels = o.AudioSamplingChannels();
        formats.WavModeIndex = 1;
        RResolvedFormat resolved;
        EXPECT_EQ(ResolveEncodeFormats(formats, resolved), NOERROR)
            << rate << " Hz, " << channels << " channels, offer " << offer << " gives "
            << formats.Rate << " Hz, " << formats.Channels << " channels";
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

TEST(Options, TheUnusedKeyTableOfEarlierVersionsLoadsAsTheNumberedBookmarkKeys) {
  // Earlier versions saved F1 3 and F2 2 at every close without acting on them.
  TRegistryData old = EmptyStore();
  for (int key = 1; key <= 12; ++key)
    old.SetValue(QStringLiteral("TriggerFN%1_0").arg(key), QString::number(key == 1   ? 3
                                                                           : key == 2 ? 2
                                                                                      : 1));
  TvlOptions a;
  a.Registry_LoadFrom(old);
  EXPECT_EQ(a.TriggerFunctionKey(1, 0), toMarkerOnly);
  EXPECT_EQ(a.TriggerFunctionKey(2, 0), toMarkerOnly);
  EXPECT_EQ(a.TriggerFunctionKey(10, 0), toGatherLabelWindow);
  // A table the user changed is kept as it is.
  old.SetValue(QStringLiteral("TriggerFN5_1"), QStringLiteral("2"));
  TvlOptions b;
  b.Registry_LoadFrom(old);
  EXPECT_EQ(b.TriggerFunctionKey(1, 0), toGatherLabelWindow);
  EXPECT_EQ(b.TriggerFunctionKey(2, 0), toGatherLabelBody);
  EXPECT_EQ(b.TriggerFunctionKey(5, 1), toGatherLabelBody);
}
