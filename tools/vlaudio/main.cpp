// vlaudio: the recorder and the player on this machine's sound server, from the command line.
//
//   vlaudio devices
//   vlaudio record SECONDS FILE [--device N] [--channel N] [--rate HZ] [--channels 1|2]
//                               [--wav-mode N] [--quality 1..10]
//   vlaudio play FILE [--from MS] [--tempo PERCENT] [--device N]
//   vlaudio play --at MOMENT [--folder DIR] [--tempo PERCENT] [--device N]
//   vlaudio list [--folder DIR] [YYYY-MM]
//   vlaudio at [--folder DIR] MOMENT
//   vlaudio import FILE [--start MOMENT] [--folder DIR]   (import.h)
//
// list prints one line per recording, START<TAB>SECONDS<TAB>PATH, START as YYYY-MM-DD HH:MM:SS.t,
// in time order, all months when none is given. at prints PATH<TAB>OFFSET_MS of the recording
// covering MOMENT ("YYYY-MM-DD HH:MM:SS[.t]"), exit 1 when none does; the offset is the place in
// the file, through the clock record the recording's ".vu" keeps (linear without one). play --at
// plays from such a moment and prints the recording and offset it chose. --folder defaults to the
// program's audio folder; files whose names do not parse are skipped. None of them renames a
// file: a recording whose name lacks its length is measured from its header (it may be the one
// being recorded).
//
// A FILE ending in ".ogg" records Ogg Vorbis, anything else WAV. Device numbers are those
// "devices" lists. The exit code is 0 on success, 1 when the operation failed, 2 on bad usage.

#include "import.h"
#include "recordings.h"
#include "vlActiveSoundRecorder.h"
#include "vlAmp3dj.h"
#include "vlAudioErrors.h"
#include "vlEncodeFormats.h"
#include "vlGuard.h"
#include "vlPulseBackend.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

void Print(const QString &Text) {
  std::fputs(Text.toLocal8Bit().constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void PrintError(const QString &Text) {
  std::fputs((QStringLiteral("vlaudio: ") + Text + QLatin1Char('\n')).toLocal8Bit().constData(),
             stderr);
}

int Usage() {
  PrintError(QStringLiteral(
      "usage:\n"
      "  vlaudio devices\n"
      "  vlaudio record SECONDS FILE [--device N] [--channel N] [--rate HZ] [--channels 1|2]\n"
      "                              [--wav-mode N] [--quality 1..10]\n"
      "  vlaudio play FILE [--from MS] [--tempo PERCENT] [--device N]\n"
      "  vlaudio play --at MOMENT [--folder DIR] [--tempo PERCENT] [--device N]\n"
      "  vlaudio list [--folder DIR] [YYYY-MM]\n"
      "  vlaudio at [--folder DIR] \"YYYY-MM-DD HH:MM:SS[.t]\"\n"
      "  vlaudio import FILE [--start \"YYYY-MM-DD HH:MM:SS[.t]\"] [--folder DIR]\n"
      "FILE ending in .ogg records Ogg Vorbis, anything else WAV; --wav-mode is an index into\n"
      "the WAV encodings that \"devices\" lists; --tempo is 50..190 (100 = natural speed)."));
  return 2;
}

int Failed(const QString &What, int Code) {
  PrintError(What + QStringLiteral(": ") + AudioErrorText(Code));
  return 1;
}

// The value after Name, or Default; Ok turns false when it is there but not a number.
int Option(const QStringList &Args, const QString &Name, int Default, bool &Ok) {
  const qsizetype at = Args.indexOf(Name);
  if (at < 0) return Default;
  bool parsed = false;
  const int value = Args.value(at + 1).toInt(&parsed);
  if (!parsed) Ok = false;
  return parsed ? value : Default;
}

QString Bar(int Peak) { return QString(Peak * 50 / 32767, QLatin1Char('#')); }

int Devices(const std::shared_ptr<TPulseBackend> &Backend) {
  TActiveSoundRecorder recorder(Backend);
  if (const TOleEnum rc = recorder.InitRecordingSystem(); rc != NOERROR)
    return Failed(QStringLiteral("no sound server (") + recorder.LastError() + QStringLiteral(")"),
                  rc);
  TAmp3dj player(Backend);
  player.InitDJSystem(1);

  Print(QStringLiteral("Input devices (--device for record):"));
  for (int dev = 0; dev < recorder.GetInputDevicesCount(); ++dev) {
    Print(QStringLiteral("  %1  %2").arg(dev).arg(recorder.GetInputDeviceDesc(dev)));
    for (int ch = 0; ch < recorder.GetInputDeviceChannelsCount(dev); ++ch) {
      const bool active = recorder.GetInputDeviceChannelDefault(dev) == ch;
      Print(QStringLiteral("       channel %1  %2%3")
                .arg(ch)
                .arg(recorder.GetInputDeviceChannelDesc(dev, ch))
                .arg(active ? QStringLiteral("  (active)") : QString()));
    }
  }
  Print(QStringLiteral("Output devices (--device for play):"));
  for (int n = 0; n < player.GetOutputDevicesCount(); ++n)
    Print(QStringLiteral("  %1  %2").arg(n).arg(player.GetOutputDeviceDesc(n)));
  Print(QStringLiteral("WAV encodings (--wav-mode):"));
  const QStringList modes = WavModeNames();
  for (int n = 0; n < modes.size(); ++n) Print(QStringLiteral("  %1  %2").arg(n).arg(modes[n]));
  Print(QStringLiteral("Samplings: ") + recorder.GetSupportedRecordFormatDesc(0, 0) +
        QStringLiteral(" ... ") +
        recorder.GetSupportedRecordFormatDesc(0, recorder.GetSupportedRecordFormatsCount(0) - 1));
  Print(QStringLiteral("Engine: ") + recorder.EngineVersion());
  return 0;
}

int Record(QCoreApplication &App, const std::shared_ptr<TPulseBackend> &Backend,
           const QStringList &Args) {
  bool ok = true;
  const double seconds = Args.value(1).toDouble(&ok);
  const QString path = QFileInfo(Args.value(2)).absoluteFilePath();
  if (!ok || seconds <= 0 || Args.value(2).isEmpty()) return Usage();
  const int device = Option(Args, QStringLiteral("--device"), 0, ok);
  const int channel = Option(Args, QStringLiteral("--channel"), -1, ok);
  TActiveSoundRecorder recorder(Backend);
  REncodeFormats &formats = recorder.EncodeFormats();
  formats.Rate = Option(Args, QStringLiteral("--rate"), 22050, ok);
  formats.Channels = Option(Args, QStringLiteral("--channels"), 1, ok);
  formats.WavModeIndex = Option(Args, QStringLiteral("--wav-mode"), 1, ok);
  formats.OggQuality = Option(Args, QStringLiteral("--quality"), 3, ok);
  formats.OutputFormat = path.endsWith(QLatin1String(".ogg"), Qt::CaseInsensitive)
                             ? kOutputFormatOGG
                             : kOutputFormatWAV;
  if (!ok) return Usage();

  if (const TOleEnum rc = recorder.InitRecordingSystem(); rc != NOERROR)
    return Failed(QStringLiteral("no sound server (") + recorder.LastError() + QStringLiteral(")"),
                  rc);
  const int chosenChannel = channel >= 0 ? channel : recorder.GetInputDeviceChannelDefault(device);
  if (const TOleEnum rc = recorder.StartFromDirectSoundDevice(device, chosenChannel, path);
      rc != NOERROR)
    return Failed(QStringLiteral("cannot record into ") + path + QStringLiteral(" (") +
                      recorder.LastError() + QStringLiteral(")"),
                  rc);

  int readings = 0;
  QObject::connect(&recorder, &TActiveSoundRecorder::OnRecordingStarted, &recorder, [&] {
    RunGuarded([&] {
      Print(QStringLiteral("Recording from %1 into %2")
                .arg(recorder.GetInputDeviceDesc(device), path));
      QTimer::singleShot(static_cast<int>(seconds * 1000), &recorder,
                         [&] { RunGuarded([&] { recorder.Stop(); }); });
    });
  });
  QObject::connect(&recorder, &TActiveSoundRecorder::OnVUMeterValueChange, &recorder,
                   [&](int Left, int Right, qint64 MSecs) {
                     RunGuarded([&] {
                       // Five lines a second are enough to see the level move.
                       if (++readings % 2 != 0) return;
                       Print(QStringLiteral("%1 s  %2 %3")
                                 .arg(MSecs / 1000.0, 6, 'f', 1)
                                 .arg(std::max(Left, Right), 5)
                                 .arg(Bar(std::max(Left, Right))));
                     });
                   });
  QObject::connect(
      &recorder, &TActiveSoundRecorder::OnRecordingStopped, &recorder, [&](int Result) {
        RunGuarded([&] {
          const std::int64_t frames = recorder.RecordedFrames();
          Print(QStringLiteral("%1: %2 frames, %3 s at %4 Hz")
                    .arg(Result ? QStringLiteral("Stopped")
                                : QStringLiteral("Broke off (") + recorder.LastError() +
                                      QStringLiteral(")"))
                    .arg(frames)
                    .arg(static_cast<double>(frames) / recorder.RecordingRate(), 0, 'f', 2)
                    .arg(recorder.RecordingRate()));
          App.exit(Result ? 0 : 1);
        });
      });
  return App.exec();
}

int Play(QCoreApplication &App, const std::shared_ptr<TPulseBackend> &Backend,
         const QStringList &Args) {
  bool ok = true;
  const QString path = Args.value(1);
  const int from = Option(Args, QStringLiteral("--from"), 0, ok);
  const int tempo = Option(Args, QStringLiteral("--tempo"), 100, ok);
  const int device = Option(Args, QStringLiteral("--device"), 0, ok);
  if (!ok || path.isEmpty()) return Usage();

  TAmp3dj player(Backend);
  if (const TOleEnum rc = player.InitDJSystem(2); rc != NOERROR)
    return Failed(QStringLiteral("no sound server"), rc);
  if (const TOleEnum rc = player.SetPlayerOutputDevice(0, device); rc != NOERROR)
    return Failed(QStringLiteral("no output device %1").arg(device), rc);
  if (const TOleEnum rc = player.LoadSound(0, path); rc != NOERROR)
    return Failed(QStringLiteral("cannot load ") + path, rc);
  if (const TOleEnum rc = player.SetTempoPerc(0, tempo - 100); rc != NOERROR)
    return Failed(QStringLiteral("tempo %1 %").arg(tempo), rc);
  if (const TOleEnum rc = player.SeekSound(0, from); rc != NOERROR)
    return Failed(QStringLiteral("cannot seek to %1 ms").arg(from), rc);
  if (const TOleEnum rc = player.PlaySound(0); rc != NOERROR)
    return Failed(QStringLiteral("cannot play"), rc);
  Print(QStringLiteral("Playing %1 (%2 ms) from %3 ms at %4 % on %5")
            .arg(path)
            .arg(player.GetSoundDuration(0))
            .arg(from)
            .arg(tempo)
            .arg(player.GetOutputDeviceDesc(device)));

  bool done = false;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, &player, [&] {
    RunGuarded([&] { Print(QStringLiteral("position %1 ms").arg(player.GetCurrentPos(0))); });
  });
  ticker.start(250);
  QObject::connect(&player, &TAmp3dj::OnSoundDone, &player, [&](int) { done = true; });
  QObject::connect(&player, &TAmp3dj::OnSoundStopped, &player, [&](int) {
    RunGuarded([&] {
      Print(QStringLiteral("%1 at %2 ms")
                .arg(done ? QStringLiteral("Done") : QStringLiteral("Stopped"))
                .arg(player.GetCurrentPos(0)));
      App.exit(done ? 0 : 1);
    });
  });
  return App.exec();
}

}  // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  QStringList args = app.arguments();
  args.removeFirst();
  const QString command = args.value(0);
  auto backend = std::make_shared<TPulseBackend>(QStringLiteral("vlaudio"));
  if (command == QLatin1String("devices") && args.size() == 1) return Devices(backend);
  if (command == QLatin1String("record") && args.size() >= 3) return Record(app, backend, args);
  if (command == QLatin1String("play") && args.contains(QStringLiteral("--at"))) {
    const int rc = PlayAt(app, backend, args);
    return rc == 2 ? Usage() : rc;
  }
  if (command == QLatin1String("play") && args.size() >= 2) return Play(app, backend, args);
  if (command == QLatin1String("list")) {
    const int rc = ListRecordings(args);
    return rc == 2 ? Usage() : rc;
  }
  if (command == QLatin1String("import")) {
    const int rc = ImportCommand(args);
    return rc == 2 ? Usage() : rc;
  }
  if (command == QLatin1String("at")) {
    const int rc = RecordingAt(args);
    return rc == 2 ? Usage() : rc;
  }
  return Usage();
}
