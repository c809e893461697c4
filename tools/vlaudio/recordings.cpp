#include "recordings.h"

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vl09_MyActiveSound.h"
#include "vlAppPaths.h"
#include "vlGuard.h"
#include "vlPulseBackend.h"
#include "vlSoundFile.h"

#include <QDate>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

void Out(const QString &Text) {
  std::fputs((Text + QLatin1Char('\n')).toLocal8Bit().constData(), stdout);
  std::fflush(stdout);
}

void Err(const QString &Text) {
  std::fputs((QStringLiteral("vlaudio: ") + Text + QLatin1Char('\n')).toLocal8Bit().constData(),
             stderr);
}

// The value after Name, removed from Args together with it; Default when absent.
QString TakeOption(QStringList &Args, const QString &Name, const QString &Default = QString()) {
  const qsizetype at = Args.indexOf(Name);
  if (at < 0 || at + 1 >= Args.size()) return Default;
  const QString value = Args[at + 1];
  Args.remove(at, 2);
  return value;
}

QString DefaultAudioFolder() { return AppPaths().DataFolder() + QStringLiteral("/Audio"); }

// "2009-09-03 13:47:36.5" (tenths optional); -1 when not such a moment.
TDateTime ParseMoment(const QString &Text) {
  static const QRegularExpression form(QStringLiteral(
      "^(\\d{4})-(\\d{2})-(\\d{2})[ T](\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d{1,3}))?$"));
  const QRegularExpressionMatch m = form.match(Text.trimmed());
  if (!m.hasMatch()) return -1;
  const int y = m.captured(1).toInt(), mo = m.captured(2).toInt(), d = m.captured(3).toInt();
  const int h = m.captured(4).toInt(), mi = m.captured(5).toInt(), s = m.captured(6).toInt();
  const QString frac = m.captured(7);
  const int ms = frac.isEmpty() ? 0 : (frac + QStringLiteral("00")).left(3).toInt();
  if (!QDate::isValid(y, mo, d) || h > 23 || mi > 59 || s > 59) return -1;
  return EncodeDateTime(y, mo, d, h, mi, s, ms);
}

QString MomentText(TDateTime DT) {
  const RDecodedDateTime d = DecodeDateTime(DT);
  return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%d", d.Year, d.Month, d.Day, d.Hour,
                           d.Minute, d.Second, d.MSec / 100);
}

// Nothing here renames: the program may be recording into one of these files right now.
TvlMediaFoldersInfo FoldersFor(const QString &Folder) {
  TvlMediaFoldersInfo folders;
  folders.AddAudioFolder(Folder);
  folders.SetMeasureOnly(true);
  return folders;
}

}  // namespace

int ListRecordings(const QStringList &Arguments) {
  QStringList args = Arguments.mid(1);
  const QString folder = TakeOption(args, QStringLiteral("--folder"), DefaultAudioFolder());
  if (args.size() > 1) return 2;
  TvlMediaFoldersInfo folders = FoldersFor(folder);
  if (args.isEmpty()) {
    folders.LoadAllMonths();
  } else {
    const TDateTime month = RecordingStartFromName(args[0] + QStringLiteral("-01 00.00 00.0"));
    if (args[0].size() != 7 || month == kInvalidRecordingStart) {
      Err(QStringLiteral("not a month (YYYY-MM): ") + args[0]);
      return 2;
    }
    folders.Month_AddMonthOf(month);
  }
  // Listing changes nothing: a name without its length is measured from the header, not renamed.
  for (const RRecordingEntry &e : folders.Entries()) {
    const int seconds =
        e.LengthSecs >= 0
            ? e.LengthSecs
            : static_cast<int>(std::max<std::int64_t>(0, SoundFileDurationMSecs(e.Path)) / 1000);
    Out(MomentText(e.Start) + QLatin1Char('\t') + QString::number(seconds) + QLatin1Char('\t') +
        e.Path);
  }
  return 0;
}

int RecordingAt(const QStringList &Arguments) {
  QStringList args = Arguments.mid(1);
  const QString folder = TakeOption(args, QStringLiteral("--folder"), DefaultAudioFolder());
  if (args.size() != 1) return 2;
  const TDateTime when = ParseMoment(args[0]);
  if (when < 0) {
    Err(QStringLiteral("not a moment (\"YYYY-MM-DD HH:MM:SS[.t]\"): ") + args[0]);
    return 2;
  }
  TvlMediaFoldersInfo folders = FoldersFor(folder);
  // The same look-up as playing from a moment, without the slush: the recording must cover it.
  // A file with no sound in it (a header only, or unreadable) covers nothing.
  const std::vector<RRecordingEntry> day = folders.RecordingsOfDayAndDayBefore(when);
  for (auto it = day.rbegin(); it != day.rend(); ++it) {
    QString path = it->Path;
    const int length = folders.LengthOf(path);
    if (length > 0 && it->Start <= when && when <= it->Start + length / SecsPerDay) {
      // The place in the file through the recording's clock record, as playing from it would.
      std::vector<TvuDatum> readings;
      const QString vu = FindVuFileFor(path, true);
      if (vu.isEmpty() || !ReadVuFile(vu, readings)) readings.clear();
      const TRecordingClock clock(readings);
      Out(path + QLatin1Char('\t') +
          QString::number(ClockMSecsToInt(clock.FileMSecsAt((when - it->Start) * MSecsPerDay))));
      return 0;
    }
  }
  Err(QStringLiteral("no recording covers ") + MomentText(when));
  return 1;
}

int PlayAt(QCoreApplication &App, const std::shared_ptr<TPulseBackend> &Backend,
           const QStringList &Arguments) {
  QStringList args = Arguments.mid(1);
  const QString folder = TakeOption(args, QStringLiteral("--folder"), DefaultAudioFolder());
  const TDateTime when = ParseMoment(TakeOption(args, QStringLiteral("--at")));
  bool ok = true;
  const int tempo = TakeOption(args, QStringLiteral("--tempo"), QStringLiteral("100")).toInt(&ok);
  bool okDevice = true;
  const int device =
      TakeOption(args, QStringLiteral("--device"), QStringLiteral("0")).toInt(&okDevice);
  if (when < 0 || !ok || !okDevice || !args.isEmpty()) return 2;

  TvlMediaFoldersInfo folders = FoldersFor(folder);
  TActiveSoundFm fm(Backend, folders);
  fm.AudioComponents_Initialize(isPlayer);
  fm.AudioComponents_Initialize(isMisc);
  if (!fm.Output_Devices_SetCurrent(device).isEmpty()) {
    Err(QStringLiteral("no output device %1").arg(device));
    return 1;
  }
  if (!fm.StartPlayingFrom(when, tempo)) {
    Err(QStringLiteral("nothing to play at ") + MomentText(when));
    return 1;
  }
  Out(QStringLiteral("Playing %1 from %2 ms at %3 %")
          .arg(fm.LoadedPath())
          .arg(fm.Player() ? fm.Player()->GetCurrentPos(0) : 0)
          .arg(tempo));
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, &fm, [&] {
    RunGuarded([&] {
      if (!fm.IsPlaying()) {
        Out(QStringLiteral("Stopped at ") + MomentText(fm.GetAbsolutePositionOfPlaying()));
        App.exit(0);
      }
    });
  });
  ticker.start(250);
  return App.exec();
}
