#pragma once
// Diagnostics: the trace file that stays open for the whole run, the error log that every
// reported problem is appended to, the report routine that decides whether a problem interrupts
// the user, the launch log kept while starting, and the two text time stamps these files use.
//
// Writing diagnostics never fails the caller: a trace or error log that cannot be written is
// given up for the rest of the run with one note on standard error.

#include "vlDateTime.h"
#include "vlGuard.h"

#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

// "2009-09-03 13:47 36.5": date, hour:minute, seconds and tenths. 21 characters.
QString TimeStampFull(TDateTime DT);
// "2009-09-03 13;47": used in file names. 16 characters.
QString TimeStampMinute(TDateTime DT);

class TErrorLog {
 public:
  // Trace.txt and Errors.txt live in DocumentsFolder.
  explicit TErrorLog(QString DocumentsFolder);
  ~TErrorLog();
  TErrorLog(const TErrorLog &) = delete;
  TErrorLog &operator=(const TErrorLog &) = delete;

  // Creates the documents folder when missing, opens Trace.txt for appending and writes an empty
  // line and the launch line. False when the trace cannot be opened: the program runs on without
  // a trace.
  bool OpenTrace();
  void CloseTrace();
  bool IsTraceOpen() const { return FTrace.isOpen(); }

  // One flushed line: three blanks and Text without its surrounding blanks and control
  // characters. Nothing while the trace is closed.
  void TraceWrite(const QString &Text) noexcept;

  // Counts the report and appends it to Errors.txt (the first 24 of a run). With WithDialog, and
  // unless its key was ignored, throws ReportedError so that the operation in progress ends.
  void ErrorReport(bool WithDialog, const QString &Msg);

  int ReportCount() const { return FReportCount; }
  // A report's key: its text up to the first decimal digit, at most 15 characters.
  static QString MessageKey(const QString &Msg);
  void IgnoreKey(const QString &Key);
  bool IsIgnored(const QString &Key) const;

  // "DebugMode" and "IsDeveloper", fixed for the run once read.
  bool DebugSwitch() const { return FDebugSwitch; }
  void SetDebugSwitch(bool On) { FDebugSwitch = On; }
  bool DeveloperSwitch() const { return FDeveloperSwitch; }
  void SetDeveloperSwitch(bool On) { FDeveloperSwitch = On; }

  QString DocumentsFolder() const { return FDocumentsFolder; }

 private:
  void AppendToErrorsFile(const QString &Msg) noexcept;

  QString FDocumentsFolder;
  QFile FTrace;
  bool FTraceFailed = false;
  bool FErrorsFailed = false;
  int FReportCount = 0;
  QSet<QString> FIgnoredKeys;
  bool FDebugSwitch = false;
  bool FDeveloperSwitch = false;
};

// The error log in use. Until one is installed, a log over AppPaths().DocumentsFolder() is made
// on first use.
TErrorLog &ErrorLog();
// Installs a log (not owned); nullptr goes back to the default one.
void SetErrorLog(TErrorLog *Log);

class TScopedErrorLog {
 public:
  explicit TScopedErrorLog(TErrorLog &Installed);
  ~TScopedErrorLog();
  TScopedErrorLog(const TScopedErrorLog &) = delete;
  TScopedErrorLog &operator=(const TScopedErrorLog &) = delete;

 private:
  TErrorLog *FPrevious;
};

// The four channels. ErrorReport(true, ..) always interrupts; the others only when their switch
// is on; TraceWrite never does.
void ErrorReport(bool WithDialog, const QString &Msg);
void ErrorReportInDebug(const QString &Msg);
void ErrorReportForDeveloper(const QString &Msg);
void TraceWrite(const QString &Text) noexcept;

// The lines collected while the program starts, with the time each step took.
class TLaunchLog {
 public:
  // Begins with the launch moment's stamp, "  Launch time" and an empty line.
  void Start(TDateTime LaunchMoment, std::int64_t LaunchSteadyMSecs);
  // A progress step: seconds since launch, "#####" (replaced by the step's duration once the
  // next step arrives), the percentage and the message.
  void Step(int Percent, const QString &Message, std::int64_t NowSteadyMSecs);
  void Append(const QString &Line) { FLines.append(Line); }
  const QStringList &Lines() const { return FLines; }
  // Writes the lines as a text file, replacing any old one in one step. False on failure.
  bool SaveTo(const QString &Path) const;

 private:
  QStringList FLines;
  std::int64_t FLaunchMSecs = 0;
  std::int64_t FPreviousStepMSecs = 0;
};
