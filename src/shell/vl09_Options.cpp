#include "vl09_Options.h"

#include "vlGlobals.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace {

TNoAudioDevices &NoDevices() {
  static TNoAudioDevices none;
  return none;
}

const QString EncodingPrefix = QStringLiteral("AudioFileEncodingFor_");

QString N(const char *Name) { return QLatin1String(Name); }

// The first run of decimal digits at or after From; 0 when there is none or it does not fit.
int FirstNumber(const QString &Text, qsizetype From) {
  qsizetype i = From;
  while (i < Text.size() && !Text.at(i).isDigit()) ++i;
  qint64 value = 0;
  for (; i < Text.size() && Text.at(i).isDigit(); ++i) {
    value = value * 10 + Text.at(i).digitValue();
    if (value > std::numeric_limits<int>::max()) return 0;
  }
  return static_cast<int>(value);
}

TTriggerOption ReadTrigger(const TRegistryData &Store, const QString &Name,
                           TTriggerOption Current) {
  return static_cast<TTriggerOption>(
      Store.GetIntegerInRange(Name, Current, toNoTrigger, toGatherLabelWindow));
}

QString FunctionKeyName(int Key, int Modifier) {
  return QStringLiteral("TriggerFN%1_%2").arg(Key).arg(Modifier);
}

// The index limited to the list, 0 for an empty list; a remembered name that is present wins.
int LimitedDevice(const QStringList &Names, int Stored, const QString &StoredName) {
  if (Names.isEmpty()) return 0;
  if (!StoredName.isEmpty()) {
    const qsizetype byName = Names.indexOf(StoredName);
    if (byName >= 0) return static_cast<int>(byName);
  }
  return std::clamp(Stored, 0, static_cast<int>(Names.size()) - 1);
}

}  // namespace

ROfferedSampling ParseOfferedSampling(const QString &Text) {
  ROfferedSampling s;
  s.Rate = FirstNumber(Text, 0);
  if (Text.contains(QStringLiteral("mono"), Qt::CaseInsensitive))
    s.Channels = 1;
  else if (Text.contains(QStringLiteral("stereo"), Qt::CaseInsensitive))
    s.Channels = 2;
  const qsizetype bit = Text.indexOf(QStringLiteral("bit"), 0, Qt::CaseInsensitive);
  if (bit >= 0) s.Bits = FirstNumber(Text, std::max<qsizetype>(0, bit - 4));
  return s;
}

double RecordFormatScore(const ROfferedSampling &Format) {
  const int r = Format.Rate;
  double rate = 0;
  if (r == 8000)
    rate = 5;
  else if (r >= 8001 && r <= 11024)
    rate = 6;
  else if (r == 11025)
    rate = 7;
  else if (r >= 11026 && r <= 22049)
    rate = 8;
  else if (r == 22050)
    rate = 10;
  else if (r >= 22051 && r <= 44100)
    rate = 9;
  else if (r >= 44101 && r <= 47999)
    rate = 4;
  else if (r == 48000)
    rate = 3;
  else if (r > 48000 && r < 96000)
    rate = 1;
  else if (r >= 1 && r <= 7999)
    rate = 3;

  const int c = Format.Channels;
  double channels = 0;
  if (c == 1)
    channels = 10;
  else if (c == 2)
    channels = 8.5;
  else if (c >= 3 && c <= 8)
    channels = 11 - c;
  else if (c >= 9)
    channels = 1;

  const int b = Format.Bits;
  double bits = 0;
  if (b >= 2 && b <= 7)
    bits = 1;
  else if (b == 8)
    bits = 5;
  else if (b == 16)
    bits = 10;
  else if (b > 16)
    bits = 7;

  return (rate + channels + bits) / 3;
}

TvlOptions::TvlOptions(TAudioDeviceQuery *Devices) : FDevices(Devices ? Devices : &NoDevices()) {
  SetDefaults();
}

void TvlOptions::SetDefaults() {
  FAngleOfLabelText = 30;
  FHeightOfLabelArea = 35;
  FTimemarkOrder = boAlphabetical;
  FDocOpenPos = dopSaved;
  FSkinScrolls = true;
  FTrackSkinContrast = 50;
  FWantTempo = 120;
  FJumpBack = 7;
  FJumpBackKey = 18;
  FLockstepKey = 20;
  FLockstepLength = 6;
  FLockstepOverlap = 1;
  FWordsPerMinute = 70;
  RecordStartAuto = false;
  FMarkMoveLeavesGhost = true;
  Keyboarding = kbWord;
  TrackBarClick = tbcJumpToClick;
  FTwentyFourHourTime = false;
  SetDefaults_WordProcessorPage();
  SetDefaults_HotKeys();
  SetDefaults_RecordingPage();
}

void TvlOptions::SetDefaults_WordProcessorPage() {
  FDocOpenPos = dopSaved;
  FSpellBackground = false;
  FSpellAutoFix = false;
  FSpellDictionary.clear();
  FAutoBullets = true;
  FPrintParagraphTimes = true;
}

void TvlOptions::SetDefaults_TimelinePage() {
  SetWordsPerMinute(70);
  SetTrackSkinContrast(50);
}

int TvlOptions::LockstepOverlapLimit(int Length) { return std::clamp(Length - 1, 0, 5); }

void TvlOptions::SetDefaults_HotKeys() {
  FTriggerSpaceDown = false;
  FTriggerCtrlBBold = true;
  FTriggerNestSquare = FTriggerNestCurly = FTriggerNestRound = FTriggerNestAngle = toMarkerOnly;
  FTriggerPause = FTriggerPauseShift = toGatherLabelWindow;
  FTriggerTriples = FTriggerQuestions = toMarkerOnly;
  // The keys alone do what the notes editor has always done with them: F1 to F9 set the
  // numbered bookmarks, F10 to F12 open a label for typing. With modifiers they do nothing.
  for (auto &key : FTriggerFunctionKey) key.fill(toNoTrigger);
  for (int k = 1; k <= FunctionKeyCount; ++k)
    FTriggerFunctionKey[k - 1][0] = k <= 9 ? toMarkerOnly : toGatherLabelWindow;
}

namespace {

// Earlier versions stored this table at every close without acting on it, so it says nothing
// of what the user wants: read as it stands, F1 would open a label window and F2 gather a label
// where everyone has been setting bookmarks 1 and 2.
bool IsUnusedOldKeyTable(const std::array<std::array<TTriggerOption, TvlOptions::ModifierCount>,
                                          TvlOptions::FunctionKeyCount> &Table) {
  for (int k = 1; k <= TvlOptions::FunctionKeyCount; ++k) {
    const TTriggerOption old = k == 1   ? toGatherLabelWindow
                               : k == 2 ? toGatherLabelBody
                                        : toMarkerOnly;
    if (Table[k - 1][0] != old) return false;
    for (int m = 1; m < TvlOptions::ModifierCount; ++m)
      if (Table[k - 1][m] != toNoTrigger) return false;
  }
  return true;
}

}  // namespace

void TvlOptions::SetDefaults_RecordingPage() {
  FAvoidGen2Record = true;
  FAudioInputDevice = 0;
  FAudioInputDeviceName.clear();
  FAudioInputSourceStr.clear();
  FAudioOutputDevice = 0;
  FAudioOutputDeviceName.clear();
  FAudioOutputChannel = 0;
  FAudioFileFormat = affWAV;
  FAudioSamplingRate = 22050;
  FAudioSamplingChannels = 1;
  FAudioSamplingUseOffer = false;
  FAudioSamplingOfferingStr.clear();
  FRecordAfterPlay = false;
  FAudioFileEncodingSL.clear();
  for (const TAudioFileFormats f : {affWAV, affOGG, affWMA}) {
    const QString ext = AudioFileFormatExtension(f);
    FAudioFileEncodingSL.insert(ext, AudioFileEncodingDefaultFor(ext));
  }
}

void TvlOptions::MyAssign(const TvlOptions &Source) {
  if (&Source == this) return;
  auto contrastChanged = std::move(OnTrackSkinContrastChanged);
  auto wpmChanged = std::move(OnWordsPerMinuteChanged);
  TAudioDeviceQuery *devices = FDevices;
  *this = Source;
  OnTrackSkinContrastChanged = std::move(contrastChanged);
  OnWordsPerMinuteChanged = std::move(wpmChanged);
  FDevices = devices;
}

void TvlOptions::Registry_LoadFrom(const TRegistryData &Store) {
  const TRegistryData &S = Store;
  FAngleOfLabelText = S.GetIntegerInRange(N("AngleOfLabelText"), FAngleOfLabelText, 0, 90);
  FHeightOfLabelArea = S.GetIntegerInRange(N("HeightOfLabelArea"), FHeightOfLabelArea, 10, 200);
  const int deviceMax = std::numeric_limits<int>::max();
  FAudioInputDevice = S.GetIntegerInRange(N("AudioInputDevice"), FAudioInputDevice, 0, deviceMax);
  FAudioInputDeviceName = S.GetStringDef(N("AudioInputDeviceName"), FAudioInputDeviceName);
  FAudioInputSourceStr = S.GetStringDef(N("AudioInputSourceStr"), FAudioInputSourceStr).trimmed();
  FAudioOutputDevice =
      S.GetIntegerInRange(N("AudioOutputDevice"), FAudioOutputDevice, 0, deviceMax);
  FAudioOutputDeviceName = S.GetStringDef(N("AudioOutputDeviceName"), FAudioOutputDeviceName);
  FAudioOutputChannel = S.GetIntegerInRange(N("AudioOutputChannel"), FAudioOutputChannel, 0, 255);
  FAudioSamplingRate = S.GetIntegerInRange(N("AudioSamplingRate"), FAudioSamplingRate,
                                           MinSamplingRate, MaxSamplingRate);
  FAudioSamplingChannels =
      S.GetIntegerInRange(N("AudioSamplingChannels"), FAudioSamplingChannels, 1, 2);
  FAudioSamplingUseOffer = S.GetBoolDef(N("AudioSamplingUseOffer"), FAudioSamplingUseOffer);
  FAudioSamplingOfferingStr =
      S.GetStringDef(N("AudioSamplingOfferingStr"), FAudioSamplingOfferingStr).trimmed();

  // Only the exact upper-case texts name a format; anything else is WAV.
  if (S.ValueExists(N("AudioFileFormat"))) {
    const QString format = S.GetValue(N("AudioFileFormat")).trimmed();
    if (format == QLatin1String("OGG"))
      FAudioFileFormat = affOGG;
    else if (format == QLatin1String("WMA"))
      FAudioFileFormat = affWMA;
    else
      FAudioFileFormat = affWAV;
  }
  for (const QString &name : S.Names()) {
    if (!name.startsWith(EncodingPrefix, Qt::CaseInsensitive)) continue;
    const QString format = name.mid(EncodingPrefix.size()).trimmed().toLower();
    const QString choice = S.GetValue(name);
    if (!format.isEmpty() && !choice.trimmed().isEmpty())
      FAudioFileEncodingSL.insert(format, choice);
  }
  for (const TAudioFileFormats f : {affWAV, affOGG, affWMA}) {
    const QString ext = AudioFileFormatExtension(f);
    if (!FAudioFileEncodingSL.contains(ext))
      FAudioFileEncodingSL.insert(ext, AudioFileEncodingDefaultFor(ext));
  }

  FTimemarkOrder = static_cast<TTimemarkOrder>(
      S.GetIntegerInRange(N("TimemarkOrder"), FTimemarkOrder, boAlphabetical, boUsersReverse));
  FDocOpenPos = static_cast<TDocOpenPos>(
      S.GetIntegerInRange(N("DocOpenPos"), FDocOpenPos, dopTop, dopBottom));
  FAutoBullets = S.GetBoolDef(N("AutoBullets"), FAutoBullets);
  FPrintParagraphTimes = S.GetBoolDef(N("PrintParagraphTimes"), FPrintParagraphTimes);
  FTwentyFourHourTime = S.GetBoolDef(N("TwentyFourHourTime"), FTwentyFourHourTime);
  FSkinScrolls = S.GetBoolDef(N("SkinScrolls"), FSkinScrolls);
  FTrackSkinContrast = S.GetIntegerInRange(N("TrackSkinContrast"), FTrackSkinContrast, 1, 100);
  FAvoidGen2Record = S.GetBoolDef(N("AvoidGen2Record"), FAvoidGen2Record);
  FRecordAfterPlay = S.GetBoolDef(N("RecordAfterPlay"), FRecordAfterPlay);
  // Read with 120 as its default whatever the present value: 999 keeps the present speed, any
  // other number is limited to the speed bar's range.
  const auto tempo = TRegistryData::ParseInteger(S.GetValue(N("WantTempo")));
  if (!tempo)
    FWantTempo = 120;
  else if (*tempo == WantTempoNoChange)
    FWantTempo = WantTempoNoChange;
  else
    FWantTempo = static_cast<int>(std::clamp<qint64>(*tempo, 50, 190));
  FJumpBack = S.GetIntegerInRange(N("JumpBack"), FJumpBack, 1, 60);
  FJumpBackKey = S.GetIntegerInRange(N("JumpBackKey"), FJumpBackKey, 0, 255);
  FLockstepKey = S.GetIntegerInRange(N("LockstepKey"), FLockstepKey, 0, 255);
  FLockstepLength = S.GetIntegerInRange(N("LockstepLength"), FLockstepLength, 3, 20);
  // An overlap as long as the segment would play the same stretch again and again.
  FLockstepOverlap = S.GetIntegerInRange(N("LockstepOverlap"), FLockstepOverlap, 0,
                                         LockstepOverlapLimit(FLockstepLength));
  FTriggerSpaceDown = S.GetBoolDef(N("TriggerSpaceDown"), FTriggerSpaceDown);
  FTriggerCtrlBBold = S.GetBoolDef(N("TriggerCtrlBBold"), FTriggerCtrlBBold);
  FTriggerNestSquare = ReadTrigger(S, N("TriggerNestSquare"), FTriggerNestSquare);
  FTriggerNestCurly = ReadTrigger(S, N("TriggerNestCurly"), FTriggerNestCurly);
  FTriggerNestRound = ReadTrigger(S, N("TriggerNestRound"), FTriggerNestRound);
  FTriggerNestAngle = ReadTrigger(S, N("TriggerNestAngle"), FTriggerNestAngle);
  FTriggerPause = ReadTrigger(S, N("TriggerPause"), FTriggerPause);
  FTriggerPauseShift = ReadTrigger(S, N("TriggerPauseShift"), FTriggerPauseShift);
  FTriggerTriples = ReadTrigger(S, N("TriggerTriples"), FTriggerTriples);
  FTriggerQuestions = ReadTrigger(S, N("TriggerQuestions"), FTriggerQuestions);
  for (int k = 1; k <= FunctionKeyCount; ++k)
    for (int m = 0; m < ModifierCount; ++m)
      FTriggerFunctionKey[k - 1][m] =
          ReadTrigger(S, FunctionKeyName(k, m), FTriggerFunctionKey[k - 1][m]);
  if (IsUnusedOldKeyTable(FTriggerFunctionKey)) {
    for (int k = 1; k <= FunctionKeyCount; ++k)
      FTriggerFunctionKey[k - 1][0] = k <= 9 ? toMarkerOnly : toGatherLabelWindow;
  }
  FWordsPerMinute = S.GetIntegerInRange(N("WordsPerMinute"), FWordsPerMinute, 10, 110);
  RecordStartAuto = S.GetBoolDef(N("RecordStartAuto"), false);
  FSpellBackground = S.GetBoolDef(N("SpellBackground"), FSpellBackground);
  FSpellAutoFix = S.GetBoolDef(N("SpellAutoFix"), FSpellAutoFix);
  // A dictionary's name, never a path: a stored value holding anything else is not used.
  const QString dictionary = S.GetStringDef(N("SpellDictionary"), FSpellDictionary).trimmed();
  static const QRegularExpression dictionaryName(QStringLiteral("^[A-Za-z0-9_@-]{0,64}$"));
  if (dictionaryName.match(dictionary).hasMatch()) FSpellDictionary = dictionary;
}

void TvlOptions::Registry_SaveTo(TRegistryData &Store) const {
  TRegistryData &S = Store;
  S.SetInteger(N("AngleOfLabelText"), FAngleOfLabelText);
  S.SetInteger(N("HeightOfLabelArea"), FHeightOfLabelArea);
  S.SetInteger(N("AudioInputDevice"), FAudioInputDevice);
  S.SetValue(N("AudioInputDeviceName"), FAudioInputDeviceName);
  S.SetValue(N("AudioInputSourceStr"), FAudioInputSourceStr);
  S.SetInteger(N("AudioOutputDevice"), FAudioOutputDevice);
  S.SetValue(N("AudioOutputDeviceName"), FAudioOutputDeviceName);
  S.SetInteger(N("AudioOutputChannel"), FAudioOutputChannel);
  S.SetInteger(N("AudioSamplingRate"), FAudioSamplingRate);
  S.SetInteger(N("AudioSamplingChannels"), FAudioSamplingChannels);
  S.SetBool(N("AudioSamplingUseOffer"), FAudioSamplingUseOffer);
  S.SetValue(N("AudioSamplingOfferingStr"), FAudioSamplingOfferingStr);
  S.SetValue(N("AudioFileFormat"), AudioFileFormatExtension(FAudioFileFormat).toUpper());
  for (auto it = FAudioFileEncodingSL.cbegin(); it != FAudioFileEncodingSL.cend(); ++it)
    S.SetValue(EncodingPrefix + it.key(), it.value());
  // Written although older versions only read it: the chosen order outlives the session.
  S.SetInteger(N("TimemarkOrder"), FTimemarkOrder);
  S.SetInteger(N("DocOpenPos"), FDocOpenPos);
  S.SetBool(N("AutoBullets"), FAutoBullets);
  S.SetBool(N("PrintParagraphTimes"), FPrintParagraphTimes);
  S.SetBool(N("TwentyFourHourTime"), FTwentyFourHourTime);
  S.SetBool(N("SkinScrolls"), FSkinScrolls);
  S.SetInteger(N("TrackSkinContrast"), FTrackSkinContrast);
  S.SetBool(N("AvoidGen2Record"), FAvoidGen2Record);
  S.SetBool(N("RecordAfterPlay"), FRecordAfterPlay);
  S.SetInteger(N("WantTempo"), FWantTempo);
  S.SetInteger(N("JumpBack"), FJumpBack);
  S.SetInteger(N("JumpBackKey"), FJumpBackKey);
  S.SetInteger(N("LockstepKey"), FLockstepKey);
  S.SetInteger(N("LockstepLength"), FLockstepLength);
  S.SetInteger(N("LockstepOverlap"), FLockstepOverlap);
  S.SetBool(N("TriggerSpaceDown"), FTriggerSpaceDown);
  S.SetBool(N("TriggerCtrlBBold"), FTriggerCtrlBBold);
  S.SetInteger(N("TriggerNestSquare"), FTriggerNestSquare);
  S.SetInteger(N("TriggerNestCurly"), FTriggerNestCurly);
  S.SetInteger(N("TriggerNestRound"), FTriggerNestRound);
  S.SetInteger(N("TriggerNestAngle"), FTriggerNestAngle);
  S.SetInteger(N("TriggerPause"), FTriggerPause);
  S.SetInteger(N("TriggerPauseShift"), FTriggerPauseShift);
  S.SetInteger(N("TriggerTriples"), FTriggerTriples);
  S.SetInteger(N("TriggerQuestions"), FTriggerQuestions);
  for (int k = 1; k <= FunctionKeyCount; ++k)
    for (int m = 0; m < ModifierCount; ++m)
      S.SetInteger(FunctionKeyName(k, m), FTriggerFunctionKey[k - 1][m] & 0x7F);
  S.SetInteger(N("WordsPerMinute"), FWordsPerMinute);
  S.SetBool(N("RecordStartAuto"), RecordStartAuto);
  S.SetBool(N("SpellBackground"), FSpellBackground);
  S.SetBool(N("SpellAutoFix"), FSpellAutoFix);
  S.SetValue(N("SpellDictionary"), FSpellDictionary);
}

void TvlOptions::SetAudioDeviceQuery(TAudioDeviceQuery *Devices) {
  FDevices = Devices ? Devices : &NoDevices();
}

int TvlOptions::AudioInputDevice() {
  FAudioInputDevice =
      LimitedDevice(FDevices->InputDeviceNames(), FAudioInputDevice, FAudioInputDeviceName);
  return FAudioInputDevice;
}

int TvlOptions::AudioOutputDevice() {
  FAudioOutputDevice =
      LimitedDevice(FDevices->OutputDeviceNames(), FAudioOutputDevice, FAudioOutputDeviceName);
  return FAudioOutputDevice;
}

void TvlOptions::SetAudioInputDevice(int Index) {
  const QStringList names = FDevices->InputDeviceNames();
  FAudioInputDevice = LimitedDevice(names, Index, QString());
  FAudioInputDeviceName = names.value(FAudioInputDevice);
}

void TvlOptions::SetAudioOutputDevice(int Index) {
  const QStringList names = FDevices->OutputDeviceNames();
  FAudioOutputDevice = LimitedDevice(names, Index, QString());
  FAudioOutputDeviceName = names.value(FAudioOutputDevice);
}

int TvlOptions::AudioInputSource() {
  const int device = AudioInputDevice();
  const QString wanted = FAudioInputSourceStr.trimmed();
  if (!wanted.isEmpty()) {
    const QStringList sources = FDevices->InputSources(device);
    for (qsizetype i = 0; i < sources.size(); ++i)
      if (sources.at(i).trimmed() == wanted) return static_cast<int>(i);
  }
  return FDevices->DefaultInputSource(device);
}

int TvlOptions::AudioSamplingOffering() {
  const QString wanted = FAudioSamplingOfferingStr.trimmed();
  if (wanted.isEmpty()) return -1;
  const QStringList offered = FDevices->OfferedSamplings(AudioInputDevice());
  for (qsizetype i = 0; i < offered.size(); ++i)
    if (offered.at(i).trimmed() == wanted) return static_cast<int>(i);
  return -1;
}

std::optional<ROfferedSampling> TvlOptions::RecordableOffer() const {
  if (!FAudioSamplingUseOffer) return std::nullopt;
  const ROfferedSampling offer = ParseOfferedSampling(FAudioSamplingOfferingStr);
  // A device may offer 96000 Hz or six channels; the recorder takes neither.
  if (!offer.Usable() || offer.Rate < MinSamplingRate || offer.Rate > MaxSamplingRate ||
      offer.Channels > 2)
    return std::nullopt;
  return offer;
}

int TvlOptions::AudioSamplingRate() const {
  const std::optional<ROfferedSampling> offer = RecordableOffer();
  return offer ? offer->Rate : FAudioSamplingRate;
}

int TvlOptions::AudioSamplingChannels() const {
  const std::optional<ROfferedSampling> offer = RecordableOffer();
  return offer ? offer->Channels : FAudioSamplingChannels;
}

TAudioFileFormats TvlOptions::RecordingFileFormat() const {
  return FAudioFileFormat == affWMA ? affWAV : FAudioFileFormat;
}

TWantTempoMode TvlOptions::WantTempoMode() const {
  if (FWantTempo == WantTempoNormal) return wtmNormal;
  if (FWantTempo == WantTempoNoChange) return wtmNoChange;
  return wtmFavorite;
}

void TvlOptions::SetWantTempoMode(TWantTempoMode Mode) {
  switch (Mode) {
    case wtmNormal: FWantTempo = WantTempoNormal; break;
    case wtmNoChange: FWantTempo = WantTempoNoChange; break;
    case wtmFavorite:
      if (FWantTempo == WantTempoNormal || FWantTempo == WantTempoNoChange) FWantTempo = 120;
      break;
  }
}

QString TvlOptions::AudioFileEncodingFor(const QString &FormatStr) const {
  const QString format = FormatStr.trimmed().toLower();
  const auto it = FAudioFileEncodingSL.constFind(format);
  return it != FAudioFileEncodingSL.constEnd() ? it.value() : AudioFileEncodingDefaultFor(format);
}

QString TvlOptions::AudioFileEncodingDefaultFor(const QString &FormatStr) {
  const QString format = FormatStr.trimmed().toLower();
  if (format == QLatin1String("wav")) return QStringLiteral("Microsoft ADPCM");
  if (format == QLatin1String("ogg")) return QStringLiteral("Quality 3");
  if (format == QLatin1String("wma")) return QStringLiteral("Constant bitrate (CBR) 20000");
  return QString();
}

void TvlOptions::SetAudioFileEncodingFor(const QString &FormatStr, const QString &Choice) {
  const QString format = FormatStr.trimmed().toLower();
  if (!format.isEmpty()) FAudioFileEncodingSL.insert(format, Choice);
}

bool TvlOptions::UpdateAudioOptions() {
  const int device = AudioOutputDevice();
  const QString error = FDevices->UseOutputDevice(device);
  if (error.isEmpty()) return true;
  ErrorReportInDebug(QStringLiteral("O.UAO failed for ") + QString::number(device) +
                     QStringLiteral(".  ") + error);
  return false;
}

int TvlOptions::AudioFileBitrates_ReturnBest() {
  const QStringList formats = FDevices->RecordFormats(AudioInputDevice());
  int best = -1;
  double bestScore = -1;
  for (qsizetype i = 0; i < formats.size(); ++i) {
    const double score = RecordFormatScore(ParseOfferedSampling(formats.at(i)));
    if (score > bestScore) {
      bestScore = score;
      best = static_cast<int>(i);
    }
  }
  return best;
}

TTriggerOption TvlOptions::TriggerFunctionKey(int Key, int Modifier) const {
  if (Key < 1 || Key > FunctionKeyCount || Modifier < 0 || Modifier >= ModifierCount)
    return toNoTrigger;
  return FTriggerFunctionKey[Key - 1][Modifier];
}

void TvlOptions::SetTriggerFunctionKey(int Key, int Modifier, TTriggerOption Option) {
  if (Key < 1 || Key > FunctionKeyCount || Modifier < 0 || Modifier >= ModifierCount) return;
  FTriggerFunctionKey[Key - 1][Modifier] = Option;
}

void TvlOptions::SetTrackSkinContrast(int Contrast) {
  const int limited = std::clamp(Contrast, 1, 100);
  if (limited == FTrackSkinContrast) return;
  FTrackSkinContrast = limited;
  if (OnTrackSkinContrastChanged) OnTrackSkinContrastChanged();
}

void TvlOptions::SetWordsPerMinute(int Wpm) {
  const int limited = std::clamp(Wpm, 10, 110);
  if (limited == FWordsPerMinute) return;
  FWordsPerMinute = limited;
  if (OnWordsPerMinuteChanged) OnWordsPerMinuteChanged();
}
