// The moments of a recording against the wall clock: a click train played into the input sink is
// heard by a capture stream of the test's own, opened before the recording on a client of its
// own, which tells when each click sounded. The controller records the same source; for every
// click, the place in the file that the catalogue gives for the moment it sounded (the name plus
// the mapping, while recording and after the stop and rename) must be where the click lies in the
// file. Then playing from each click's moment, as from a letter typed when it sounded, at 100 %
// and 150 %: the place the play starts at, read from what comes out of the speakers against the
// file's own clicks, must be the click's.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyActiveSound.h"
#include "vlAudioTestSupport.h"
#include "vlPulseTestSupport.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

constexpr int kRate = 22050;
// Irregular gaps (250-450 ms), so that a run of clicks heard tells where in the track it lies.
const std::vector<int> kClicks = {300, 650, 900, 1350, 1650, 2050, 2350, 2800, 3100, 3450};
constexpr int kTrackMSecs = 4000;
// Played from this long before a click's moment, so that the click itself is heard.
constexpr int kLeadMSecs = 150;

// Stands where the facade will: keeps the level file beside the recording.
struct TMediaEvents final : TActiveSoundEvents {
  TvlMediaInfo Media;
  TActiveSoundFm *Fm = nullptr;
  QString PathNoExtension;
  int Started = 0;
  QString Final;
  void Recording_StartedEvent() override {
    ++Started;
    Media.RecordingJustStarted_CreateNewCurrentFile(PathNoExtension,
                                                    Fm->GetCurrentRecordingBeganAt());
  }
  void Recording_StoppedEvent(const QString &Old, const QString &New) override {
    Media.RecordingJustTerminated_CloseCurrentFile(Old, New);
    Final = New;
  }
  void OnVuChange_Recorder(int L, int R, TDateTime When, std::int64_t FileMSecs) override {
    Media.Recording_AddNewVisualizationDatum(When, (L + R) / 2, FileMSecs);
  }
};

int Named(int Count, const std::function<QString(int)> &Name, const QString &Wanted) {
  for (int i = 0; i < Count; ++i)
    if (Name(i) == Wanted) return i;
  return -1;
}

// The click track over a quiet tone, so that the start of a play shows in what is heard.
std::vector<std::int16_t> ClickTrack() {
  std::vector<std::int16_t> samples = BurstSamples(kRate, kTrackMSecs, kClicks);
  for (std::size_t i = 0; i < samples.size(); ++i)
    if (samples[i] == 0)
      samples[i] = static_cast<std::int16_t>(
          std::lround(1500 * std::sin(2 * std::numbers::pi * 300 * double(i) / kRate)));
  return samples;
}

// Milliseconds at which a click begins: a new one only after 100 ms without one, so that clicks
// 250 ms apart played at 150 % stay apart.
std::vector<double> FindClicks(const std::vector<std::int16_t> &Samples, int Rate) {
  std::vector<double> onsets;
  std::int64_t last = -Rate;
  for (std::size_t i = 0; i < Samples.size(); ++i) {
    if (std::abs(int(Samples[i])) < 6000) continue;
    if (std::int64_t(i) - last > Rate / 10) onsets.push_back(double(i) * 1000 / Rate);
    last = std::int64_t(i);
  }
  return onsets;
}

// Where in the file (ms) a play started, from what was heard. The clicks heard, measured from the
// play's first sound and scaled by the tempo, are laid over a run of the file's clicks in order:
// each heard click is the file's next one, its gap from the one before at least the file's gap
// less 15 ms (the tempo stage moves a click's onset by some milliseconds) and at most 80 ms more.
// On a busy machine the player or the server may run dry for a
// moment and hold the sound back (every later click comes that much late), but a play never
// skips ahead; and the run must be all the file holds in the stretch heard, less the time held
// back. The start is the first heard click's place in the file less its time after the first
// sound: the part of the play whose place is measured. Only runs that start within 250 ms of
// Expected are tried: the track's gaps repeat further apart, so a play that started further off
// fits none and gives NaN, a failure as it should be. Of the runs that fit, the one held back
// least; NaN when none fits or two fit equally.
double PlayStartInFile(const std::vector<std::int16_t> &Heard, int Rate, double Tempo,
                       const std::vector<double> &FileClicks, double Expected) {
  std::size_t onset = 0;
  while (onset < Heard.size() && std::abs(int(Heard[onset])) < 700) ++onset;
  std::size_t end = Heard.size();
  while (end > onset && std::abs(int(Heard[end - 1])) < 700) --end;
  if (onset >= end) return std::nan("");
  const std::vector<std::int16_t> played(Heard.begin() + static_cast<std::ptrdiff_t>(onset),
                                         Heard.begin() + static_cast<std::ptrdiff_t>(end));
  const std::vector<double> heard = FindClicks(played, Rate);
  if (heard.empty()) return std::nan("");
  const double scale = Tempo / 100;
  const double span = double(played.size()) * 1000 / Rate * scale;
  double best = std::nan(""), bestHeldBack = 1e18;
  bool tie = false;
  for (std::size_t a = 0; a + heard.size() <= FileClicks.size(); ++a) {
    double heldBack = 0;
    bool fits = true;
    for (std::size_t j = 1; j < heard.size() && fits; ++j) {
      const double gap = (heard[j] - heard[j - 1]) * scale;
      const double fileGap = FileClicks[a + j] - FileClicks[a + j - 1];
      fits = gap >= fileGap - 15 && gap <= fileGap + 80;
      heldBack += std::max(gap - fileGap, 0.0);
    }
    const double start = FileClicks[a] - heard[0] * scale;
    if (!fits || std::abs(start - Expected) > 250) continue;
    // Every file click inside the stretch heard was heard; one within 10 ms of its end may be cut.
    const auto within = [&](double Margin) {
      return std::size_t(std::count_if(FileClicks.begin(), FileClicks.end(), [&](double f) {
        return f >= start - 5 && f <= start + span - heldBack + Margin;
      }));
    };
    if (heard.size() < within(-10) || heard.size() > within(10)) continue;
    if (std::abs(heldBack - bestHeldBack) < 5) tie = true;
    if (heldBack < bestHeldBack - 5) {
      best = start;
      bestHeldBack = heldBack;
      tie = false;
    }
  }
  return tie ? std::nan("") : best;
}

class PulseMoments : public PulseDaemon {};

TEST_F(PulseMoments, EveryClickMapsToTheMomentItSounded_WhileRecordingAfterTheStopAndWhenPlayed) {
  VL_SKIP_TIMING_WHEN_INSTRUMENTED();
  const QString audio = Folder.File(QStringLiteral("Audio"));
  QDir().mkpath(audio);
  TvlMediaFoldersInfo folders;
  folders.AddAudioFolder(audio);
  TActiveSoundFm fm(Backend, folders);
  fm.SetSpoolFolder(Folder.File(QStringLiteral("spool")));
  TMediaEvents events;
  events.Fm = &fm;
  fm.SetEvents(&events);
  ASSERT_TRUE(fm.AudioComponents_Initialize(isPlayer));
  ASSERT_TRUE(fm.AudioComponents_Initialize(isRecorder));
  ASSERT_TRUE(fm.AudioComponents_Initialize(isMisc));
  ASSERT_TRUE(WaitFor([&] { return fm.InputFormatsAvailable(); }, 5000));
  RAudioRecordSettings settings;  // the default input: the microphone that hears VellomarIn
  settings.EncodingFor.insert(QStringLiteral("wav"), QStringLiteral("PCM 16 bit"));
  fm.SetSettings(settings);
  const QString track = Folder.File(QStringLiteral("clicks.wav"));
  ASSERT_TRUE(WriteSound(track, kRate, 1, ClickTrack()));

  // The witness: a client of its own, small fragments, open well before the recording, on the
  // input sink's monitor itself (the recording hears it through the default microphone).
  auto witnessBackend = std::make_shared<TPulseBackend>();
  QString error;
  ASSERT_TRUE(witnessBackend->Connect(error)) << error.toStdString();
  witnessBackend->SetCaptureFragmentMSecs(2);
  TCaptureLog witness(kRate);
  std::unique_ptr<TAudioCaptureStream> witnessStream =
      witnessBackend->OpenCapture(QStringLiteral("vl_in.monitor"), kRate, 1, witness, error);
  ASSERT_TRUE(witnessStream) << error.toStdString();
  // Steady microseconds to wall-clock moments.
  const std::int64_t steady0 = SteadyMicros();
  const TDateTime wall0 = Now();
  const auto wallAt = [&](double SteadyMicrosThen) {
    return wall0 + (SteadyMicrosThen - double(steady0)) / 1e6 / SecsPerDay;
  };
  WaitFor([] { return false; }, 300);

  // Record, and play the clicks at once: the first ones fall while the device still starts.
  events.PathNoExtension =
      folders.AudioFolder() +
      RecordingRelativeName(fm.GetCurrentRecordingBeganAt_AfterSettingItToNow());
  QDir().mkpath(QFileInfo(events.PathNoExtension).path());
  ASSERT_EQ(fm.StartRecordingTo(events.PathNoExtension), NOERROR);
  QProcess paplay;
  // A short buffer: the null sink then plays (and its monitor hears) in small steps, as a sound
  // card would, rather than seconds ahead.
  paplay.start(QStringLiteral("paplay"), {QStringLiteral("--latency-msec=10"), QStringLiteral("-d"),
                                          QStringLiteral("vl_in"), track});
  ASSERT_TRUE(paplay.waitForFinished(30000));
  WaitFor([] { return false; }, 600);

  const std::vector<double> witnessed = FindBursts(witness.Samples(), kRate, 6000);
  ASSERT_EQ(witnessed.size(), kClicks.size());
  std::vector<TDateTime> sounded;
  for (const double ms : witnessed)
    sounded.push_back(wallAt(double(witness.StartMicros()) + ms * 1000));

  // While recording: the place the session's mapping gives for each moment.
  std::vector<int> whileRecording;
  for (const TDateTime moment : sounded) {
    QString path;
    TDateTime began = 0;
    int into = 0, duration = 0;
    ASSERT_TRUE(fm.LoadAudioFileAndGetParametersFor(moment, 0, path, began, into, duration));
    whileRecording.push_back(into);
  }
  fm.ClosePlaybackFile();
  fm.StopRecording();
  ASSERT_TRUE(WaitFor([&] { return !events.Final.isEmpty(); }, 5000));
  witnessStream.reset();

  // Nothing heard after Record is missing: every click is in the file.
  const RSound recorded = ReadSound(events.Final);
  const std::vector<double> inFile = FindBursts(recorded.Samples, kRate, 6000);
  ASSERT_EQ(inFile.size(), kClicks.size()) << events.Final.toStdString();
  const TDateTime named = RecordingStartFromName(events.Final);

  std::printf("click  file ms  while recording  after stop  catalogue moment - sounded\n");
  for (std::size_t k = 0; k < kClicks.size(); ++k) {
    SCOPED_TRACE(k);
    QString path;
    TDateTime began = 0;
    int into = 0, duration = 0;
    ASSERT_TRUE(fm.LoadAudioFileAndGetParametersFor(sounded[k], 0, path, began, into, duration));
    EXPECT_EQ(path, events.Final);
    // The catalogue's moment of the click: the name's stamp plus the mapping of its file place.
    const double moment = (fm.MomentOfPlayingFileMSecs(inFile[k]) - sounded[k]) * MSecsPerDay;
    std::printf("%5zu  %7.1f  %+15.1f  %+10.1f  %+10.1f\n", k, inFile[k],
                whileRecording[k] - inFile[k], into - inFile[k], moment);
    EXPECT_NEAR(whileRecording[k], inFile[k], 20);
    EXPECT_NEAR(into, inFile[k], 20);
    EXPECT_NEAR(moment, 0, 20);
  }
  const RCaptureTiming timing = fm.Recorder()->CaptureTiming();
  std::printf(
      "file begins %s (name), first frame captured %s, stream delay %.1f ms, %.1f ms of "
      "silence before it, drift at the end %.1f ms\n",
      qPrintable(DateTimeToQDateTime(named).toString(QStringLiteral("hh:mm:ss.zzz"))),
      qPrintable(
          DateTimeToQDateTime(timing.FirstCaptured).toString(QStringLiteral("hh:mm:ss.zzz"))),
      timing.FirstDelayMSecs, timing.PaddingMSecs, timing.DriftMSecs);

  // Played from each click's moment less a lead, as from a letter typed just before it.
  const QString silence = Folder.File(QStringLiteral("silence.wav"));
  ASSERT_TRUE(WriteSound(silence, 44100, 1, std::vector<std::int16_t>(44100 / 5)));
  const int output = Named(
      fm.Output_Devices_GetCount(), [&](int i) { return fm.Output_Devices_GetFriendlyName(i); },
      QStringLiteral("VellomarOut"));
  ASSERT_GT(output, 0);
  ASSERT_TRUE(fm.Output_Devices_SetCurrent(output).isEmpty());
  for (const int tempo : {100, 150}) {
    std::printf("tempo %d %%: play start in the file - (click - lead), ms:", tempo);
    // The last click has too little after it to tell where a play began.
    for (std::size_t k = 0; k + 1 < kClicks.size(); ++k) {
      SCOPED_TRACE(testing::Message() << "tempo " << tempo << " click " << k);
      TCaptureLog heard(44100);
      std::unique_ptr<TAudioCaptureStream> monitor =
          witnessBackend->OpenCapture(QStringLiteral("vl_out.monitor"), 44100, 1, heard, error);
      ASSERT_TRUE(monitor) << error.toStdString();
      ASSERT_EQ(fm.Player()->LoadSound(0, silence), NOERROR);
      ASSERT_EQ(fm.Player()->PlaySound(0), NOERROR);
      WaitFor([&] { return fm.Player()->GetPlayerStatus(0) != 1; }, 5000);
      ASSERT_TRUE(fm.StartPlayingFrom(IncMilliSecond(sounded[k], -kLeadMSecs), tempo));
      WaitFor([] { return false; }, 900);
      fm.StopPlayback();
      WaitFor([] { return false; }, 150);
      monitor.reset();
      const std::vector<std::int16_t> samples = heard.Samples();
      const double expected = inFile[k] - kLeadMSecs;
      const double start = PlayStartInFile(samples, 44100, tempo, inFile, expected);
      const double offset = start - expected;
      std::printf(" %+.1f", offset);
      EXPECT_NEAR(offset, 0, 30);
      if (!(std::abs(offset) <= 30)) {
        std::printf("\n  heard (%zu samples):", samples.size());
        for (double c : FindClicks(samples, 44100)) std::printf(" %.1f", c);
        std::size_t onset = 0;
        while (onset < samples.size() && std::abs(int(samples[onset])) < 700) ++onset;
        std::printf("\n  first sound at %.1f ms; file clicks:", onset * 1000.0 / 44100);
        for (double c : inFile) std::printf(" %.1f", c);
        std::printf("\n");
      }
    }
    std::printf("\n");
  }
}

}  // namespace
