#include "vlImportRecording.h"

#include "vl09_MediaFoldersInfo.h"
#include "vl09_MediaInfo.h"
#include "vlSoundFile.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimeZone>
#include <QtEndian>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <vector>

std::optional<TDateTime> ParseMomentText(const QString &Text) {
  static const QRegularExpression form(QStringLiteral(
      "^(\\d{4})-(\\d{2})-(\\d{2})[ T](\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d{1,3}))?$"));
  const QRegularExpressionMatch m = form.match(Text.trimmed());
  if (!m.hasMatch()) return std::nullopt;
  const int y = m.captured(1).toInt(), mo = m.captured(2).toInt(), d = m.captured(3).toInt();
  const int h = m.captured(4).toInt(), mi = m.captured(5).toInt(), s = m.captured(6).toInt();
  const QString frac = m.captured(7);
  const int ms = frac.isEmpty() ? 0 : (frac + QStringLiteral("00")).left(3).toInt();
  if (!QDate::isValid(y, mo, d) || h > 23 || mi > 59 || s > 59) return std::nullopt;
  return EncodeDateTime(y, mo, d, h, mi, s, ms);
}

std::optional<TDateTime> ParseRecordingDate(const QString &Text) {
  QString t = Text.trimmed();
  // "2024-05-01 10:20:30" is as common as the ISO "T" form.
  if (t.size() > 10 && t[10] == u' ') t[10] = u'T';
  static const QRegularExpression withTime(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}"));
  if (!withTime.match(t).hasMatch()) return std::nullopt;
  QDateTime when = QDateTime::fromString(t, Qt::ISODateWithMs);
  if (!when.isValid()) when = QDateTime::fromString(t, Qt::ISODate);
  if (!when.isValid()) return std::nullopt;
  // A time without a zone is local time already; one with a zone is brought to it.
  if (when.timeSpec() != Qt::LocalTime) when = when.toLocalTime();
  const TDateTime result = QDateTimeToDateTime(when);
  if (!IsValidDateTime(result) || result < 1) return std::nullopt;
  return result;
}

namespace {

// To the nearest tenth of a second: what a recording's name holds.
TDateTime ToTenth(TDateTime When) {
  std::int64_t day = 0, ms = 0;
  SplitDateTime(When, day, ms);
  return IncMilliSecond(JoinDateTime(day, 0), (ms + 50) / 100 * 100);
}

struct RSoundInfo {
  bool Readable = false;
  QString Reason;
  int Format = 0;
  std::int64_t LengthMSecs = 0;
  QString Date;
};

RSoundInfo LookAt(const QString &Path) {
  RSoundInfo info;
  SF_INFO sf{};
  SNDFILE *file = sf_open(QFile::encodeName(Path).constData(), SFM_READ, &sf);
  if (!file) {
    info.Reason = QString::fromUtf8(sf_strerror(nullptr));
    return info;
  }
  if (const char *date = sf_get_string(file, SF_STR_DATE)) info.Date = QString::fromUtf8(date);
  sf_close(file);
  if (sf.samplerate <= 0 || sf.channels <= 0) {
    info.Reason = QStringLiteral("it holds no sound");
    return info;
  }
  info.Format = sf.format;
  info.LengthMSecs = sf.frames > 0 ? sf.frames * 1000 / sf.samplerate : 0;
  if (info.LengthMSecs < 1000) {
    info.Reason = QStringLiteral("it holds less than a second of sound");
    return info;
  }
  info.Readable = true;
  return info;
}

// The catalogue's extension for a format copied as it is; empty for formats written as WAV.
QString CopiedExtension(int Format) {
  switch (Format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX: return QStringLiteral("wav");
    case SF_FORMAT_OGG: return QStringLiteral("ogg");
    default: return {};
  }
}

bool Convert(const QString &Source, const QString &Target, QString &Error) {
  SF_INFO in{};
  SNDFILE *from = sf_open(QFile::encodeName(Source).constData(), SFM_READ, &in);
  if (!from) {
    Error = QString::fromUtf8(sf_strerror(nullptr));
    return false;
  }
  const int sub = in.format & SF_FORMAT_SUBMASK;
  SF_INFO out{};
  out.samplerate = in.samplerate;
  out.channels = in.channels;
  // The source's own sample size where it has one, so that lossless formats stay lossless.
  const bool wide = sub == SF_FORMAT_PCM_24 || sub == SF_FORMAT_PCM_32 || sub == SF_FORMAT_FLOAT ||
                    sub == SF_FORMAT_DOUBLE;
  out.format = SF_FORMAT_WAV | (sub == SF_FORMAT_PCM_24   ? SF_FORMAT_PCM_24
                                : sub == SF_FORMAT_PCM_32 ? SF_FORMAT_PCM_32
                                : wide                    ? SF_FORMAT_FLOAT
                                                          : SF_FORMAT_PCM_16);
  SNDFILE *to = sf_open(QFile::encodeName(Target).constData(), SFM_WRITE, &out);
  if (!to) {
    Error = QString::fromUtf8(sf_strerror(nullptr));
    sf_close(from);
    return false;
  }
  std::vector<float> block(static_cast<std::size_t>(4096) * static_cast<std::size_t>(in.channels));
  bool ok = true;
  for (;;) {
    const sf_count_t got = sf_readf_float(from, block.data(), 4096);
    if (got <= 0) break;
    if (sf_writef_float(to, block.data(), got) != got) {
      Error = QString::fromUtf8(sf_strerror(to));
      ok = false;
      break;
    }
  }
  sf_close(from);
  if (sf_close(to) != 0 && ok) {
    Error = QStringLiteral("the copy could not be finished");
    ok = false;
  }
  return ok;
}

}  // namespace

bool WriteLevelFileFor(const QString &Recording) {
  const QString vu = VuPathFor(Recording);
  if (QFileInfo::exists(vu)) return false;  // never over another recording's readings
  SF_INFO info{};
  SNDFILE *file = sf_open(QFile::encodeName(Recording).constData(), SFM_READ, &info);
  if (!file) return false;
  // One reading per 100 ms, as the recorder's level meter gives them: the mean of the first two
  // channels' peaks.
  const sf_count_t window = std::max(1, info.samplerate / 10);
  const int channels = info.channels;
  std::vector<float> block(static_cast<std::size_t>(window) * static_cast<std::size_t>(channels));
  QByteArray bytes;
  std::int64_t frames = 0;
  for (;;) {
    const sf_count_t got = sf_readf_float(file, block.data(), window);
    if (got <= 0) break;
    float peaks[2] = {0, 0};
    for (sf_count_t f = 0; f < got; ++f)
      for (int c = 0; c < std::min(channels, 2); ++c)
        peaks[c] = std::max(peaks[c], std::abs(block[static_cast<std::size_t>(f * channels + c)]));
    const float peak = channels > 1 ? (peaks[0] + peaks[1]) / 2 : peaks[0];
    char record[8];
    qToLittleEndian<qint16>(
        static_cast<qint16>(std::clamp(std::lround(peak * 32767.0f), 0L, 32767L)), record);
    qToLittleEndian<qint16>(0, record + 2);
    qToLittleEndian<qint32>(static_cast<qint32>(frames * 1000 / info.samplerate), record + 4);
    bytes.append(record, 8);
    frames += got;
  }
  sf_close(file);
  QSaveFile out(vu);
  return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
}

RImportPlan PlanRecordingImport(const QString &Source, const QString &AudioFolder,
                                std::optional<TDateTime> GivenStart) {
  RImportPlan plan;
  plan.Source = Source;
  const QFileInfo source(Source);
  if (!source.exists()) {
    plan.Problem = Source + QStringLiteral(": no such file");
    return plan;
  }
  if (!source.isFile()) {
    plan.Problem = Source + QStringLiteral(": not a regular file");
    return plan;
  }
  const RSoundInfo sound = LookAt(Source);
  if (!sound.Readable) {
    plan.Problem = Source + QStringLiteral(": cannot be read as audio (") + sound.Reason + u')';
    return plan;
  }
  if (AudioFolder.isEmpty()) {
    plan.Problem = QStringLiteral("There is no audio folder to import into.");
    return plan;
  }
  plan.LengthMSecs = sound.LengthMSecs;
  if (GivenStart) {
    plan.Start = *GivenStart;
    plan.StartFrom = isfGiven;
  } else if (const std::optional<TDateTime> dated = ParseRecordingDate(sound.Date)) {
    plan.Start = *dated;
    plan.StartFrom = isfFileDate;
  } else {
    plan.Start = IncMilliSecond(QDateTimeToDateTime(source.lastModified()), -sound.LengthMSecs);
    plan.StartFrom = isfModified;
  }
  plan.Start = ToTenth(plan.Start);
  QString extension = CopiedExtension(sound.Format);
  plan.Converted = extension.isEmpty();
  if (plan.Converted) extension = QStringLiteral("wav");
  QString folder = AudioFolder;
  if (!folder.endsWith(u'/')) folder += u'/';
  plan.Target = folder + RecordingRelativeName(plan.Start) +
                QStringLiteral(" (%1).").arg(sound.LengthMSecs / 1000) + extension;
  if (QFileInfo::exists(plan.Target)) {
    plan.Problem = QStringLiteral("A recording named \"") + QFileInfo(plan.Target).fileName() +
                   QStringLiteral("\" is already in the audio folder; nothing was imported.");
    plan.Target.clear();
  }
  return plan;
}

QString ImportRecording(const RImportPlan &Plan) {
  if (!Plan.Problem.isEmpty()) return Plan.Problem;
  if (Plan.Target.isEmpty()) return QStringLiteral("Nothing to import.");
  const QFileInfo target(Plan.Target);
  if (!QDir().mkpath(target.absolutePath()))
    return target.absolutePath() + QStringLiteral(": the folder cannot be made");
  const QString part = Plan.Target + QStringLiteral(".importing");
  QFile::remove(part);  // a leftover of an import that was cut off
  QString error;
  bool ok = false;
  if (Plan.Converted) {
    ok = Convert(Plan.Source, part, error);
  } else {
    QFile source(Plan.Source);
    ok = source.copy(part);
    if (!ok) error = source.errorString();
  }
  // Never over an existing recording, also one that arrived while copying.
  if (ok && !RenameNoReplace(part, Plan.Target)) {
    error = QStringLiteral("A recording named \"") + target.fileName() +
            QStringLiteral("\" is already in the audio folder; nothing was imported.");
    ok = false;
  }
  if (!ok) {
    QFile::remove(part);
    return Plan.Source + QStringLiteral(": not imported (") + error + u')';
  }
  // Without its level file the tracks would draw a placeholder wave.
  WriteLevelFileFor(Plan.Target);
  return {};
}

QString ImportStartText(const RImportPlan &Plan) {
  const RDecodedDateTime d = DecodeDateTime(Plan.Start);
  const QString moment = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d.%d", d.Year, d.Month,
                                           d.Day, d.Hour, d.Minute, d.Second, d.MSec / 100);
  switch (Plan.StartFrom) {
    case isfGiven: return moment + QStringLiteral(" (as given)");
    case isfFileDate: return moment + QStringLiteral(" (from the file's recording date)");
    case isfModified:
      return moment + QStringLiteral(" (the file's modification time minus its length)");
  }
  return moment;
}
