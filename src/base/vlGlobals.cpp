#include "vlGlobals.h"

#include "vlAppPaths.h"
#include "vlClock.h"
#include "vlTextFile.h"

#include <QDir>
#include <QLocale>

#include <cstdio>
#include <memory>

namespace {

TErrorLog *gInstalled = nullptr;

QString TwoDigits(int Value) { return QStringLiteral("%1").arg(Value, 2, 10, QLatin1Char('0')); }

QString DatePart(const RDecodedDateTime &d) {
  return QStringLiteral("%1-%2-%3")
      .arg(d.Year, 4, 10, QLatin1Char('0'))
      .arg(TwoDigits(d.Month), TwoDigits(d.Day));
}

// Trims blanks and control characters at both ends and turns inner line breaks and other control
// characters into blanks, so that one call makes exactly one line.
QString OneLine(const QString &Text) {
  qsizetype begin = 0, end = Text.size();
  while (begin < end && Text.at(begin).unicode() <= 0x20) ++begin;
  while (end > begin && Text.at(end - 1).unicode() <= 0x20) --end;
  QString line = Text.mid(begin, end - begin);
  for (QChar &c : line)
    if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char(' ');
  return line;
}

void NoteOnStderr(const QString &What) {
  std::fprintf(stderr, "vellomar: %s\n", What.toLocal8Bit().constData());
}

}  // namespace

QString TimeStampFull(TDateTime DT) {
  const RDecodedDateTime d = DecodeDateTime(DT);
  return DatePart(d) + QLatin1Char(' ') + TwoDigits(d.Hour) + QLatin1Char(':') +
         TwoDigits(d.Minute) + QLatin1Char(' ') + TwoDigits(d.Second) + QLatin1Char('.') +
         QString::number(d.MSec / 100);
}

QString TimeStampMinute(TDateTime DT) {
  const RDecodedDateTime d = DecodeDateTime(DT);
  return DatePart(d) + QLatin1Char(' ') + TwoDigits(d.Hour) + QLatin1Char(';') +
         TwoDigits(d.Minute);
}

TErrorLog::TErrorLog(QString DocumentsFolder) : FDocumentsFolder(std::move(DocumentsFolder)) {}

TErrorLog::~TErrorLog() { CloseTrace(); }

bool TErrorLog::OpenTrace() {
  if (FTrace.isOpen()) return true;
  QDir().mkpath(FDocumentsFolder);
  FTrace.setFileName(FDocumentsFolder + QStringLiteral("/Trace.txt"));
  if (!FTrace.open(QIODevice::WriteOnly | QIODevice::Append)) {
    NoteOnStderr(QStringLiteral("cannot open the trace file %1 (%2); running without a trace")
                     .arg(FTrace.fileName(), FTrace.errorString()));
    FTraceFailed = true;
    return false;
  }
  FTraceFailed = false;
  if (FTrace.write("\r\n") < 0 || !FTrace.flush()) {
    FTraceFailed = true;
    FTrace.close();
    return false;
  }
  TraceWrite(QStringLiteral("Launch ") + TimeStampFull(Now()));
  return FTrace.isOpen();
}

void TErrorLog::CloseTrace() {
  if (FTrace.isOpen()) FTrace.close();
}

void TErrorLog::TraceWrite(const QString &Text) noexcept {
  if (!FTrace.isOpen() || FTraceFailed) return;
  try {
    const QByteArray line = (QStringLiteral("   ") + OneLine(Text)).toUtf8() + "\r\n";
    if (FTrace.write(line) != line.size() || !FTrace.flush()) {
      FTraceFailed = true;
      NoteOnStderr(QStringLiteral("cannot write the trace file (%1); tracing stopped")
                       .arg(FTrace.errorString()));
      FTrace.close();
    }
  } catch (...) {
    FTraceFailed = true;
  }
}

void TErrorLog::AppendToErrorsFile(const QString &Msg) noexcept {
  if (FErrorsFailed) return;
  try {
    const QDateTime now = DateTimeToQDateTime(Now());
    const QString stamp = QLocale::system().toString(now.date(), QLocale::ShortFormat) +
                          QLatin1Char(' ') + now.time().toString(QStringLiteral("HH:mm:ss"));
    QFile errors(FDocumentsFolder + QStringLiteral("/Errors.txt"));
    QDir().mkpath(FDocumentsFolder);
    const QByteArray line = (stamp + QStringLiteral("  ") + Msg).toUtf8() + "\r\n";
    if (!errors.open(QIODevice::WriteOnly | QIODevice::Append) ||
        errors.write(line) != line.size() || !errors.flush()) {
      FErrorsFailed = true;
      NoteOnStderr(QStringLiteral("cannot write %1 (%2); later reports are not logged")
                       .arg(errors.fileName(), errors.errorString()));
      NoteOnStderr(Msg);
    }
  } catch (...) {
    FErrorsFailed = true;
  }
}

void TErrorLog::ErrorReport(bool WithDialog, const QString &Msg) {
  ++FReportCount;
  if (FReportCount < 25) AppendToErrorsFile(Msg);
  if (WithDialog && !IsIgnored(MessageKey(Msg))) throw ReportedError(Msg);
}

QString TErrorLog::MessageKey(const QString &Msg) {
  qsizetype n = 0;
  while (n < Msg.size() && n < 15 &&
         !(Msg.at(n) >= QLatin1Char('0') && Msg.at(n) <= QLatin1Char('9')))
    ++n;
  return Msg.left(n);
}

void TErrorLog::IgnoreKey(const QString &Key) {
  if (!Key.isEmpty()) FIgnoredKeys.insert(Key);
}

bool TErrorLog::IsIgnored(const QString &Key) const {
  return !Key.isEmpty() && FIgnoredKeys.contains(Key);
}

TErrorLog &ErrorLog() {
  if (gInstalled) return *gInstalled;
  static std::unique_ptr<TErrorLog> fallback;
  if (!fallback) fallback = std::make_unique<TErrorLog>(AppPaths().DocumentsFolder());
  return *fallback;
}

void SetErrorLog(TErrorLog *Log) { gInstalled = Log; }

TScopedErrorLog::TScopedErrorLog(TErrorLog &Installed) : FPrevious(gInstalled) {
  gInstalled = &Installed;
}

TScopedErrorLog::~TScopedErrorLog() { gInstalled = FPrevious; }

void ErrorReport(bool WithDialog, const QString &Msg) { ErrorLog().ErrorReport(WithDialog, Msg); }

void ErrorReportInDebug(const QString &Msg) {
  ErrorLog().ErrorReport(ErrorLog().DebugSwitch(), Msg);
}

void ErrorReportForDeveloper(const QString &Msg) {
  ErrorLog().ErrorReport(ErrorLog().DeveloperSwitch(), Msg);
}

void TraceWrite(const QString &Text) noexcept {
  try {
    ErrorLog().TraceWrite(Text);
  } catch (...) {
  }
}

void TLaunchLog::Start(TDateTime LaunchMoment, std::int64_t LaunchSteadyMSecs) {
  FLines.clear();
  FLaunchMSecs = LaunchSteadyMSecs;
  FPreviousStepMSecs = LaunchSteadyMSecs;
  FLines << TimeStampFull(LaunchMoment) + QStringLiteral("  Launch time") << QString();
}

void TLaunchLog::Step(int Percent, const QString &Message, std::int64_t NowSteadyMSecs) {
  // Numbers with a "." whatever the locale: Qt's 'f' form is locale-free.
  const auto seconds = [](std::int64_t MSecs, int Width) {
    return QString::number(MSecs / 1000.0, 'f', 3).rightJustified(Width, QLatin1Char(' '));
  };
  if (!FLines.isEmpty() && FLines.last().size() > 9)
    FLines.last().replace(QStringLiteral("#####"), seconds(NowSteadyMSecs - FPreviousStepMSecs, 5));
  FLines.append(seconds(NowSteadyMSecs - FLaunchMSecs, 7) + QStringLiteral("  #####  ") +
                QString::number(Percent).rightJustified(2, QLatin1Char(' ')) +
                QStringLiteral("%  ") + Message);
  FPreviousStepMSecs = NowSteadyMSecs;
}

bool TLaunchLog::SaveTo(const QString &Path) const { return WriteTextFileAtomically(Path, FLines); }
