// A recording whose process is killed outright must leave a file that reads back, losing at most
// the last second. The test runs a second copy of this executable that records on the simulated
// machine, says how much it has written, and is then killed with SIGKILL.

#include "vlAudioTestSupport.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QProcess>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kRate = 22050;

}  // namespace

// Runs only as the child of the test below.
TEST(RecorderKilledChild, DISABLED_RecordsUntilKilled) {
  const QString path = qEnvironmentVariable("VL_CRASH_FILE");
  ASSERT_FALSE(path.isEmpty());
  TSimMachine machine;
  // Noise, as from a real microphone: a pure tone would compress too well to show the codec's
  // buffering.
  machine.Sim->SetSourceGenerator(QStringLiteral("alsa_input.pci"),
                                  SamplesGenerator(NoiseSamples(kRate * 20, 6000, 3)));
  TActiveSoundRecorder recorder(machine.Sim);
  recorder.SetSpoolFolder(path + QStringLiteral(".spool"));
  ASSERT_EQ(recorder.InitRecordingSystem(), NOERROR);
  recorder.EncodeFormats().OutputFormat = qEnvironmentVariableIntValue("VL_CRASH_OUTPUT");
  recorder.EncodeFormats().WavModeIndex = qEnvironmentVariableIntValue("VL_CRASH_WAVMODE");
  recorder.EncodeFormats().OggQuality = 3;
  ASSERT_EQ(recorder.StartFromDirectSoundDevice(0, 0, path), NOERROR);
  machine.Run(4550);
  std::printf("RECORDED %lld\n", static_cast<long long>(recorder.RecordedFrames()));
  std::fflush(stdout);
  for (;;) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

TEST(RecorderKilled, LeavesAReadableFileMissingAtMostTheLastSecond) {
  struct RCase {
    const char *Name;
    int Output;
    int WavMode;
    const char *Extension;
  } cases[] = {{"Microsoft ADPCM", kOutputFormatWAV, 4, "wav"},
               {"PCM 16 bit", kOutputFormatWAV, 1, "wav"},
               {"Quality 3", kOutputFormatOGG, 0, "ogg"}};
  for (const RCase &c : cases) {
    SCOPED_TRACE(c.Name);
    TFreshFolder folder;
    const QString path = folder.File(QStringLiteral("killed.") + QLatin1String(c.Extension));
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VL_CRASH_FILE"), path);
    env.insert(QStringLiteral("VL_CRASH_OUTPUT"), QString::number(c.Output));
    env.insert(QStringLiteral("VL_CRASH_WAVMODE"), QString::number(c.WavMode));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=RecorderKilledChild.DISABLED_RecordsUntilKilled"),
                 QStringLiteral("--gtest_also_run_disabled_tests")});
    QByteArray output;
    const auto reported = [&] {
      const qsizetype line = output.indexOf("RECORDED ");
      return line >= 0 && output.indexOf('\n', line) > line;
    };
    while (!reported() && child.waitForReadyRead(60000)) output += child.readAllStandardOutput();
    child.kill();  // SIGKILL: no destructor, no close, no final header
    child.waitForFinished(10000);
    const qsizetype at = output.indexOf("RECORDED ");
    ASSERT_GE(at, 0) << output.toStdString();
    const long long recorded = output.mid(at + 9).trimmed().toLongLong();
    ASSERT_GE(recorded, 4 * kRate);

    const RSound sound = ReadSound(path);
    ASSERT_TRUE(sound.Opened);
    const auto frames = static_cast<long long>(sound.Samples.size());
    EXPECT_LE(frames, recorded);
    EXPECT_GE(frames, recorded - kRate) << "lost more than a second";
  }
}
