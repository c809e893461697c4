// A click track recorded through the controller from the private daemon, then played from the
// moment of one click as a user would from a note: the moment comes from the catalogue (the
// recording's name plus the click's place in the file), and the click must be heard where the
// play starts, at natural speed and at 150 %.

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MyActiveSound.h"
#include "vlAudioTestSupport.h"
#include "vlPulseTestSupport.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <mutex>

namespace {

struct TStops final : TActiveSoundEvents {
  int Started = 0;
  QString Final;
  void Recording_StartedEvent() override { ++Started; }
  void Recording_StoppedEvent(const QString &, const QString &New) override { Final = New; }
};

int Named(int Count, const std::function<QString(int)> &Name, const QString &Wanted) {
  for (int i = 0; i < Count; ++i)
    if (Name(i) == Wanted) return i;
  return -1;
}

// The click track's own suite, on the shared daemon fixture.
class PulseController : public PulseDaemon {};

TEST_F(PulseController, PlayingFromTheMomentOfAClick_StartsWithThatClick) {
  VL_SKIP_TIMING_WHEN_INSTRUMENTED();
  const QString audio = Folder.File(QStringLiteral("Audio"));
  QDir().mkpath(audio);
  TvlMediaFoldersInfo folders;
  folders.AddAudioFolder(audio);
  TActiveSoundFm fm(Backend, folders);
  fm.SetSpoolFolder(Folder.File(QStringLiteral("spool")));
  TStops events;
  fm.SetEvents(&events);
  ASSERT_TRUE(fm.AudioComponents_Initialize(isPlayer));
  ASSERT_TRUE(fm.AudioComponents_Initialize(isRecorder));
  ASSERT_TRUE(fm.AudioComponents_Initialize(isMisc));
  ASSERT_TRUE(WaitFor([&] { return fm.InputFormatsAvailable(); }, 5000));

  // Record the click track played into the input sink.
  const int rate = 22050;
  const std::vector<int> clicks = {1000, 2000, 3000, 4000, 5000};
  const QString track = Folder.File(QStringLiteral("clicks.wav"));
  ASSERT_TRUE(WriteSound(track, rate, 1, BurstSamples(rate, 6000, clicks)));
  RAudioRecordSettings settings;
  settings.InputDevice = Named(
      fm.Input_Devices_GetCount(), [&](int i) { return fm.Input_Devices_GetFriendlyName(i); },
      QStringLiteral("Monitor of VellomarIn"));
  ASSERT_GT(settings.InputDevice, 0);
  settings.EncodingFor.insert(QStringLiteral("wav"), QStringLiteral("PCM 16 bit"));
  fm.SetSettings(settings);
  const QString base = folders.AudioFolder() +
                       RecordingRelativeName(fm.GetCurrentRecordingBeganAt_AfterSettingItToNow());
  QDir().mkpath(QFileInfo(base).path());
  ASSERT_EQ(fm.StartRecordingTo(base), NOERROR);
  ASSERT_TRUE(WaitFor([&] { return events.Started == 1; }, 5000));
  QProcess paplay;
  paplay.start(QStringLiteral("paplay"), {QStringLiteral("-d"), QStringLiteral("vl_in"), track});
  ASSERT_TRUE(paplay.waitForFinished(30000));
  WaitFor([] { return false; }, 1500);
  fm.StopRecording();
  ASSERT_TRUE(WaitFor([&] { return !events.Final.isEmpty(); }, 5000));
  ASSERT_GT(RecordingLengthFromName(events.Final), 5);

  // The third click's place in the recording, and its moment as the catalogue tells it.
  const RSound recorded = ReadSound(events.Final);
  const std::vector<double> found = FindBursts(recorded.Samples, rate, 6000);
  ASSERT_EQ(found.size(), clicks.size());
  const int offset = static_cast<int>(std::lround(found[2]));
  const TDateTime moment = IncMilliSecond(RecordingStartFromName(events.Final), offset);

  const QString silence = Folder.File(QStringLiteral("silence.wav"));
  ASSERT_TRUE(WriteSound(silence, 44100, 1, std::vector<std::int16_t>(44100 / 5)));
  const int output = Named(
      fm.Output_Devices_GetCount(), [&](int i) { return fm.Output_Devices_GetFriendlyName(i); },
      QStringLiteral("VellomarOut"));
  ASSERT_GT(output, 0);
  ASSERT_TRUE(fm.Output_Devices_SetCurrent(output).isEmpty());
  Backend->SetCaptureFragmentMSecs(2);

  for (const int tempo : {100, 150}) {
    SCOPED_TRACE(tempo);
    TCaptureLog heard(44100);
    QString error;
    std::unique_ptr<TAudioCaptureStream> monitor =
        Backend->OpenCapture(QStringLiteral("vl_out.monitor"), 44100, 1, heard, error);
    ASSERT_TRUE(monitor) << error.toStdString();
    // Wake the idle null sink first, as a sound card would need nothing of the kind.
    ASSERT_EQ(fm.Player()->LoadSound(0, silence), NOERROR);
    ASSERT_EQ(fm.Player()->PlaySound(0), NOERROR);
    WaitFor([&] { return fm.Player()->GetPlayerStatus(0) != 1; }, 5000);

    // Until the play starts, the position is the click's moment.
    std::vector<std::pair<std::int64_t, int>> positions{{SteadyMicros(), offset}};
    ASSERT_TRUE(fm.StartPlayingFrom(moment, tempo));
    EXPECT_EQ(fm.LoadedPath(), events.Final);
    const std::int64_t until = SteadyMicros() + 1500000;
    WaitFor(
        [&] {
          SamplePosition(positions, [&] { return fm.Player()->GetCurrentPos(0); });
          return SteadyMicros() > until;
        },
        5000);
    fm.StopPlayback();
    WaitFor([] { return false; }, 200);
    monitor.reset();

    const std::vector<double> heardClicks = FindBursts(heard.Samples(), 44100, 6000);
    ASSERT_FALSE(heardClicks.empty());
    const std::int64_t at = heard.MicrosAt(heardClicks[0]);
    const auto after =
        std::lower_bound(positions.begin(), positions.end(), std::make_pair(at, INT_MIN));
    ASSERT_TRUE(after != positions.end())
        << "heard at " << (at - positions.front().first) / 1000.0 << " ms, after the last position";
    // The heard time is estimated from the monitor's delivery and can fall a little before the
    // first position taken; until the play starts the position is the click's moment.
    double reported = offset;
    if (after != positions.begin()) {
      const auto before = after - 1;
      const double share = double(at - before->first) / double(after->first - before->first);
      reported = before->second + share * (after->second - before->second);
    }
    // The click is heard when the player says it plays the click's moment: within 20 ms of the
    // play start, measured in heard time.
    EXPECT_NEAR((reported - offset) * 100.0 / tempo, 0, 20) << "reported " << reported;
  }
}

}  // namespace
