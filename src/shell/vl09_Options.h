#pragma once
// The options: typed settings that recording, playback, the tracks, the vertical timeline and
// the editor consult. They load from the settings store when the main window is shown, save into
// it at close, and the options window edits them live (it keeps a copy made with MyAssign to
// undo a Cancel). Every value is limited to its range when read, so a hand-edited or damaged
// settings file cannot reach the arithmetic of the parts that use it.
//
// Whatever depends on the audio devices asks a TAudioDeviceQuery; without one installed, there
// are no devices.
//
// Called on the user-interface thread only.

#include "vl09_Registry.h"
#include "vlAudioDeviceQuery.h"
#include "vlAudioFileFormats.h"

#include <QMap>
#include <QString>

#include <array>
#include <functional>
#include <optional>

// What a bookmark hot key does.
enum TTriggerOption { toNoTrigger, toMarkerOnly, toGatherLabelBody, toGatherLabelWindow };
// Order of the bookmark buttons in the menu.
enum TTimemarkOrder { boAlphabetical, boUsers, boUsersReverse };
// Where a document opens: at its top, where it was left, or at its end.
enum TDocOpenPos { dopTop, dopSaved, dopBottom };
// The speed used when the play slider is moved: natural, the present one, or a favourite.
enum TWantTempoMode { wtmNormal, wtmNoChange, wtmFavorite };
enum TKeyboarding { kbAll, kbWord, kbParagraph, kbResume };
enum TTrackBarClick { tbcJumpToClick, tbcJumpRelative };

// A sampling as a device describes it ("22050 Hz, 16 bit, Mono"): the rate is the first run of
// digits; "mono" (any case) gives 1 channel and "stereo" 2; the bit depth is the first run of
// digits from 4 characters before "bit". Fields that cannot be found are 0.
// The sampling rates the recorder accepts: a stored rate is limited to them, since any other
// would make every recording fail.
inline constexpr int MinSamplingRate = 8000;
inline constexpr int MaxSamplingRate = 48000;

struct ROfferedSampling {
  int Rate = 0;
  int Channels = 0;
  int Bits = 0;
  bool Usable() const {
    return Rate > 1000 && Channels >= 1 && Channels <= 199 && Bits >= 1 && Bits <= 64;
  }
};
ROfferedSampling ParseOfferedSampling(const QString &Text);
// How well a record format suits speech notes: the mean of a rate score (22050 best), a channel
// score (mono best) and a bit-depth score (16 best).
double RecordFormatScore(const ROfferedSampling &Format);

class TvlOptions {
 public:
  static constexpr int WantTempoNormal = 100;
  static constexpr int WantTempoNoChange = 999;
  static constexpr int FunctionKeyCount = 12;
  // No modifier, Shift, Ctrl, Ctrl+Shift.
  static constexpr int ModifierCount = 4;

  // Applies SetDefaults. Devices is not owned; nullptr means none.
  explicit TvlOptions(TAudioDeviceQuery *Devices = nullptr);

  void SetDefaults();
  void SetDefaults_HotKeys();
  void SetDefaults_RecordingPage();
  // The Word Processor page's values: where documents open, spelling, bullets typed, printing.
  void SetDefaults_WordProcessorPage();
  // The Timeline page's values (words per minute, contrast), through their setters.
  void SetDefaults_TimelinePage();
  // The longest overlap a transcription segment of Length seconds may have: shorter than the
  // segment (which would otherwise never move on), and at most 5 seconds.
  static int LockstepOverlapLimit(int Length);
  // Copies every value (stored and memory-only); keeps this object's device query and change
  // notifications.
  void MyAssign(const TvlOptions &Source);

  // Reads every value with the present one as its default and limits it to its range.
  void Registry_LoadFrom(const TRegistryData &Store);
  void Registry_SaveTo(TRegistryData &Store) const;

  void SetAudioDeviceQuery(TAudioDeviceQuery *Devices);
  TAudioDeviceQuery &Devices() const { return *FDevices; }

  // The stored device, limited to the devices present (0 when there are none) and written back.
  // A stored device name that is present wins over the index: device numbers change when
  // devices are plugged in or out.
  int AudioInputDevice();
  int AudioOutputDevice();
  // Chooses a device by index and remembers its name.
  void SetAudioInputDevice(int Index);
  void SetAudioOutputDevice(int Index);
  // The source whose trimmed name is AudioInputSourceStr, else the device's default source.
  int AudioInputSource();
  // The offered sampling whose text is AudioSamplingOfferingStr, else -1.
  int AudioSamplingOffering();
  // The stored values or, with AudioSamplingUseOffer, those of the offered sampling when its
  // text can be used and the recorder can record it.
  int AudioSamplingRate() const;
  int AudioSamplingChannels() const;
  // The format a recording is written in: WMA cannot be written here and gives WAV.
  TAudioFileFormats RecordingFileFormat() const;

  TWantTempoMode WantTempoMode() const;
  // Normal stores 100 and no-change 999; a favourite keeps the present value unless it is one
  // of those two, when it becomes the default favourite.
  void SetWantTempoMode(TWantTempoMode Mode);

  // The encoding choice for "wav", "ogg" or "wma" (any case): stored, or the default.
  QString AudioFileEncodingFor(const QString &FormatStr) const;
  static QString AudioFileEncodingDefaultFor(const QString &FormatStr);
  void SetAudioFileEncodingFor(const QString &FormatStr, const QString &Choice);

  // Makes the player use AudioOutputDevice. A failure goes to the error log ("O.UAO failed for
  // ..."), with a dialog only in debug mode; false then.
  bool UpdateAudioOptions();
  // The index of the best record format the input device offers; -1 when it offers none.
  int AudioFileBitrates_ReturnBest();

  TTriggerOption TriggerFunctionKey(int Key, int Modifier) const;
  void SetTriggerFunctionKey(int Key, int Modifier, TTriggerOption Option);

  // Values whose change must redraw: set them through these so the views follow.
  int TrackSkinContrast() const { return FTrackSkinContrast; }
  void SetTrackSkinContrast(int Contrast);
  int WordsPerMinute() const { return FWordsPerMinute; }
  void SetWordsPerMinute(int Wpm);
  std::function<void()> OnTrackSkinContrastChanged;
  std::function<void()> OnWordsPerMinuteChanged;

  // Stored values. The ranges in the comments are what a read value is limited to.
  int FAngleOfLabelText;   // 0..90 degrees: 0 horizontal, 90 vertical
  int FHeightOfLabelArea;  // 10..200 pixels
  int FAudioInputDevice;   // >= 0
  QString FAudioInputDeviceName;
  QString FAudioInputSourceStr;  // trimmed
  int FAudioOutputDevice;        // >= 0
  QString FAudioOutputDeviceName;
  int FAudioOutputChannel;     // 0..255; stored only
  int FAudioSamplingRate;      // MinSamplingRate..MaxSamplingRate samples per second
  int FAudioSamplingChannels;  // 1 mono, 2 stereo
  bool FAudioSamplingUseOffer;
  QString FAudioSamplingOfferingStr;  // trimmed
  TAudioFileFormats FAudioFileFormat;
  // Encoding choice per lower-case format extension; formats other than the three are kept.
  QMap<QString, QString> FAudioFileEncodingSL;
  TTimemarkOrder FTimemarkOrder;
  TDocOpenPos FDocOpenPos;
  bool FAutoBullets;          // "* " or "- " at the start of a line makes a bullet
  bool FPrintParagraphTimes;  // printed pages show each paragraph's moment in the margin
  bool FSkinScrolls;
  bool FAvoidGen2Record;  // stop recording while playing
  bool FRecordAfterPlay;  // restart recording when playback stops
  int FWantTempo;         // 999, or 50..190 percent
  int FJumpBack;          // 1..60 seconds of instant replay
  int FJumpBackKey;       // 0..255 character code; 18 is Ctrl+R, 0 none
  int FLockstepKey;       // 0..255; 20 is Ctrl+T
  int FLockstepLength;    // 3..20 seconds
  int FLockstepOverlap;   // 0..5 seconds
  bool FTriggerSpaceDown;
  bool FTriggerCtrlBBold;
  TTriggerOption FTriggerNestSquare, FTriggerNestCurly, FTriggerNestRound, FTriggerNestAngle;
  TTriggerOption FTriggerPause, FTriggerPauseShift;
  TTriggerOption FTriggerTriples, FTriggerQuestions;
  // [key - 1][modifier]: F1..F12 with none, Shift, Ctrl, Ctrl+Shift.
  std::array<std::array<TTriggerOption, ModifierCount>, FunctionKeyCount> FTriggerFunctionKey;
  // Start recording when audio is ready; the main window mirrors it in its action's check.
  bool RecordStartAuto;

  // Kept in memory only.
  bool FMarkMoveLeavesGhost;
  TKeyboarding Keyboarding;
  TTrackBarClick TrackBarClick;
  bool FSpellBackground;
  bool FSpellAutoFix;
  bool FTwentyFourHourTime;
  // Stored although the two above once were not (a choice forgotten at every start helps
  // nobody): "SpellBackground", "SpellAutoFix", and "SpellDictionary", the dictionary's name
  // ("en_US"), empty to follow the system's language.
  QString FSpellDictionary;

 private:
  // The offered sampling in use, when AudioSamplingUseOffer is on and the recorder can record it.
  std::optional<ROfferedSampling> RecordableOffer() const;

  int FTrackSkinContrast;  // 1..100
  int FWordsPerMinute;     // 10..110 words per minute
  TAudioDeviceQuery *FDevices;
};
