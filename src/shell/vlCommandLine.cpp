#include "vlCommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace {

const QByteArray RequestHeader = QByteArrayLiteral("open 1");
const QByteArray RequestEnd = QByteArrayLiteral("end");
const QByteArray LegacyRaise = QByteArrayLiteral("raise");

bool IsOption(const char *Argument, const char *Long, const char *Short) {
  return std::strcmp(Argument, Long) == 0 || std::strcmp(Argument, Short) == 0;
}

}  // namespace

bool AsksForHelpOrVersion(int argc, const char *const *argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0) return false;
    if (IsOption(argv[i], "--help", "-h") || IsOption(argv[i], "--version", "-v")) return true;
  }
  return false;
}

RCommandLine ParseCommandLine(const QStringList &Arguments, const QString &WorkingFolder) {
  RCommandLine line;
  const QDir folder(WorkingFolder);
  bool optionsEnded = false;
  for (const QString &argument : Arguments) {
    if (!optionsEnded && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
      if (argument == QStringLiteral("--"))
        optionsEnded = true;
      else if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h"))
        line.Help = true;
      else if (argument == QStringLiteral("--version") || argument == QStringLiteral("-v"))
        line.Version = true;
      else if (argument == QStringLiteral("--quit-after-start"))
        line.QuitAfterStart = true;
      else if (line.Error.isEmpty())
        line.Error = QStringLiteral("Unknown option: ") + argument;
      continue;
    }
    if (argument.isEmpty()) continue;
    line.Files << QDir::cleanPath(folder.absoluteFilePath(argument));
  }
  return line;
}

QString CommandLineHelpText() {
  return QStringLiteral(
      "Usage: vellomar [OPTION...] [FILE...]\n"
      "Take notes while you record: every character you type remembers its moment.\n"
      "\n"
      "FILE is a notes binder (.vl), opened in place of the current binder, or an isolated\n"
      "tab (.vlTab), added to the binder as one more tab. When Vellomar is already running,\n"
      "the files are handed to it and it comes to the front.\n"
      "\n"
      "Options:\n"
      "  -h, --help            show this help and exit\n"
      "  -v, --version         show the version and exit\n"
      "  --quit-after-start    close as soon as start-up has finished, printing how long it\n"
      "                        took (for scripts and tests)\n");
}

QString CommandLineVersionText(const QString &Version) {
  return QStringLiteral("vellomar ") +
         (Version.isEmpty() ? QStringLiteral("(development build)") : Version) + QLatin1Char('\n');
}

TGivenFileKind GivenFileKind(const QString &PathName) {
  const QString suffix = QFileInfo(PathName).suffix();
  if (suffix.compare(QStringLiteral("vlTab"), Qt::CaseInsensitive) == 0)
    return TGivenFileKind::gfTab;
  if (suffix.compare(QStringLiteral("vl"), Qt::CaseInsensitive) == 0 ||
      suffix.startsWith(QStringLiteral("vlBackup"), Qt::CaseInsensitive))
    return TGivenFileKind::gfBinder;
  QFile file(PathName);
  if (file.open(QIODevice::ReadOnly)) {
    const QByteArray start = file.read(64);
    if (start.startsWith("<NotesDoc") || start.startsWith("CaretPos")) return TGivenFileKind::gfTab;
  }
  return TGivenFileKind::gfBinder;
}

QByteArray EncodeOpenRequest(const QStringList &Files) {
  QByteArray message = RequestHeader + '\n';
  for (qsizetype i = 0; i < Files.size() && i < MaxRequestFiles; ++i)
    message += Files[i].toUtf8().toPercentEncoding("/") + '\n';
  message += RequestEnd + '\n';
  return message;
}

TOpenRequestReader::TState TOpenRequestReader::Feed(const QByteArray &Bytes) {
  if (FState != rsIncomplete) return FState;
  FTotal += Bytes.size();
  if (FTotal > MaxRequestBytes) {
    Reject(QStringLiteral("longer than %1 bytes").arg(MaxRequestBytes));
    return FState;
  }
  FPending += Bytes;
  qsizetype start = 0;
  for (;;) {
    const qsizetype end = FPending.indexOf('\n', start);
    if (end < 0) break;
    TakeLine(FPending.mid(start, end - start));
    start = end + 1;
    if (FState != rsIncomplete) break;
  }
  FPending.remove(0, start);
  // One line can be no longer than an encoded path.
  if (FState == rsIncomplete && FPending.size() > 3 * MaxRequestPathBytes)
    Reject(QStringLiteral("a line longer than %1 bytes").arg(3 * MaxRequestPathBytes));
  return FState;
}

void TOpenRequestReader::TakeLine(const QByteArray &Line) {
  if (!FHeaderSeen) {
    if (Line == LegacyRaise) {
      FState = rsComplete;
    } else if (Line == RequestHeader) {
      FHeaderSeen = true;
    } else {
      Reject(QStringLiteral("not a request to open files"));
    }
    return;
  }
  if (Line == RequestEnd) {
    FState = rsComplete;
    return;
  }
  const QString shown = QString::fromLatin1(Line.left(80));
  if (FFiles.size() >= MaxRequestFiles) {
    FDropped << QStringLiteral("more than %1 files: %2").arg(MaxRequestFiles).arg(shown);
    return;
  }
  const QByteArray bytes = QByteArray::fromPercentEncoding(Line);
  if (bytes.isEmpty() || bytes.size() > MaxRequestPathBytes) {
    FDropped << QStringLiteral("an empty or too long path: ") + shown;
    return;
  }
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString path = utf8.decode(bytes);
  if (utf8.hasError()) {
    FDropped << QStringLiteral("a path that is not UTF-8: ") + shown;
    return;
  }
  const bool control =
      std::any_of(path.cbegin(), path.cend(), [](QChar C) { return C.unicode() < 0x20; });
  if (control || !path.startsWith(QLatin1Char('/'))) {
    FDropped << QStringLiteral("not an absolute path: ") + shown;
    return;
  }
  FFiles << QDir::cleanPath(path);
}

void TOpenRequestReader::Reject(const QString &Why) {
  FState = rsRejected;
  FFiles.clear();
  FPending.clear();
  FDropped << QStringLiteral("request dropped: ") + Why;
}
