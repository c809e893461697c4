#include "vlAppPaths.h"
#include "vlClock.h"
#include "vlGlobals.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>

namespace {

int LineCount(const QByteArray &Bytes) { return static_cast<int>(Bytes.count("\r\n")); }

}  // namespace

TEST(ErrorLog, OnlyTheFirst24ReportsAreWrittenButDialogsStillInterrupt) {
  TFreshFolder folder;
  TErrorLog log(folder.Path());
  for (int i = 1; i <= 30; ++i) log.ErrorReport(false, QStringLiteral("problem %1").arg(i));
  EXPECT_EQ(log.ReportCount(), 30);
  const QByteArray errors = ReadAllBytes(folder.File(QStringLiteral("Errors.txt")));
  EXPECT_EQ(LineCount(errors), 24);
  EXPECT_TRUE(errors.contains("  problem 24\r\n"));
  EXPECT_FALSE(errors.contains("problem 25"));
  EXPECT_THROW(log.ErrorReport(true, QStringLiteral("late")), ReportedError);
  EXPECT_EQ(LineCount(ReadAllBytes(folder.File(QStringLiteral("Errors.txt")))), 24);
}

TEST(ErrorLog, EachLineStartsWithTheLocalDateAndTime) {
  TFreshFolder folder;
  TManualClock clock(EncodeDateTime(2009, 9, 3, 13, 47, 36));
  TScopedClock useClock(clock);
  TErrorLog log(folder.Path());
  log.ErrorReport(false, QStringLiteral("EK_FEI x1A"));
  const QString line = QString::fromUtf8(ReadAllBytes(folder.File(QStringLiteral("Errors.txt"))));
  EXPECT_TRUE(line.endsWith(QStringLiteral(" 13:47:36  EK_FEI x1A\r\n"))) << line.toStdString();
  EXPECT_TRUE(line.contains(QStringLiteral("09"))) << line.toStdString();
}

TEST(ErrorLog, KeysAreTheTextBeforeTheFirstDigitAtMost15Characters) {
  struct Row {
    const char *msg;
    const char *key;
  } rows[] = {{"EK_FEI x1A2B", "EK_FEI x"},
              {"12 x", ""},
              {"", ""},
              {"A very long message without digits", "A very long mes"},
              {"Failed FData expansion: 5", "Failed FData ex"},
              {"I16L.GetDatum(0)", "I"}};
  for (const Row &r : rows)
    EXPECT_EQ(TErrorLog::MessageKey(QString::fromUtf8(r.msg)), QString::fromUtf8(r.key)) << r.msg;
}

TEST(ErrorLog, IgnoredKeysStopTheDialogButNotTheLog) {
  TFreshFolder folder;
  TErrorLog log(folder.Path());
  try {
    log.ErrorReport(true, QStringLiteral("EK_FEI x1A2B"));
    FAIL() << "a report with a dialog must interrupt";
  } catch (const ReportedError &e) {
    EXPECT_EQ(e.Msg(), QStringLiteral("EK_FEI x1A2B"));
    EXPECT_TRUE(e.DialogText().startsWith(QStringLiteral("EK_FEI x1A2B\n\nPress OK to continue.")));
  }
  log.IgnoreKey(QStringLiteral("EK_FEI x"));
  EXPECT_NO_THROW(log.ErrorReport(true, QStringLiteral("EK_FEI x3C")));
  // An empty key is never suppressed, even when an empty key was "ignored".
  log.IgnoreKey(QString());
  EXPECT_THROW(log.ErrorReport(true, QStringLiteral("42 went wrong")), ReportedError);
  EXPECT_EQ(LineCount(ReadAllBytes(folder.File(QStringLiteral("Errors.txt")))), 3);
}

TEST(ErrorLog, DebugAndDeveloperChannelsFollowTheirSwitches) {
  TFreshFolder folder;
  TErrorLog log(folder.Path());
  TScopedErrorLog use(log);
  EXPECT_NO_THROW(ErrorReportInDebug(QStringLiteral("quiet")));
  EXPECT_NO_THROW(ErrorReportForDeveloper(QStringLiteral("quiet")));
  log.SetDebugSwitch(true);
  EXPECT_THROW(ErrorReportInDebug(QStringLiteral("loud")), ReportedError);
  log.SetDeveloperSwitch(true);
  EXPECT_THROW(ErrorReportForDeveloper(QStringLiteral("loud")), ReportedError);
  EXPECT_EQ(log.ReportCount(), 4);
}

TEST(ErrorLog, AnUnwritableErrorsFileNeverThrowsIntoTheCaller) {
  TFreshFolder folder;
  // A folder where the file should be: no user, root included, can append to it.
  QDir(folder.Path()).mkpath(QStringLiteral("Errors.txt"));
  TErrorLog log(folder.Path());
  for (int i = 0; i < 3; ++i) EXPECT_NO_THROW(log.ErrorReport(false, QStringLiteral("lost")));
  EXPECT_EQ(log.ReportCount(), 3);
  EXPECT_THROW(log.ErrorReport(true, QStringLiteral("still shown")), ReportedError);
}

TEST(ErrorLog, ADocumentsFolderThatCannotBeMadeLeavesTheProgramRunningWithoutATrace) {
  TFreshFolder folder;
  const QString blocker = folder.File(QStringLiteral("NotAFolder"));
  WriteAllBytes(blocker, "a file where the folder should be");
  TErrorLog log(blocker + QStringLiteral("/Vellomar"));
  EXPECT_FALSE(log.OpenTrace());
  EXPECT_FALSE(log.IsTraceOpen());
  log.TraceWrite(QStringLiteral("nowhere"));
  EXPECT_NO_THROW(log.ErrorReport(false, QStringLiteral("nowhere either")));
}

TEST(Trace, OpensWithALaunchLineAndWritesTrimmedIndentedFlushedLines) {
  TFreshFolder folder;
  TManualClock clock(40059.5746);
  TScopedClock useClock(clock);
  const QString documents = folder.File(QStringLiteral("deep/Vellomar"));
  {
    TErrorLog log(documents);
    log.TraceWrite(QStringLiteral("before opening"));
    ASSERT_TRUE(log.OpenTrace());
    log.TraceWrite(QStringLiteral("  \tplayer state 3 \r\n"));
    log.TraceWrite(QStringLiteral("two\nlines"));
    // Flushed per line: readable while the log is still open.
    const QByteArray trace = ReadAllBytes(documents + QStringLiteral("/Trace.txt"));
    EXPECT_EQ(trace, QByteArray("\r\n   Launch 2009-09-03 13:47 25.4\r\n"
                                "   player state 3\r\n   two lines\r\n"));
  }
  TErrorLog again(documents);
  ASSERT_TRUE(again.OpenTrace());
  again.CloseTrace();
  EXPECT_EQ(LineCount(ReadAllBytes(documents + QStringLiteral("/Trace.txt"))), 6);
}

TEST(LaunchLog, StepsShowElapsedSecondsAndLaterTheDurationOfEachStep) {
  TLaunchLog log;
  TManualClock clock(40059.5);
  log.Start(clock.Now(), clock.SteadyMSecs());
  clock.AdvanceMSecs(1500);
  log.Step(30, QStringLiteral("Loading"), clock.SteadyMSecs());
  ASSERT_EQ(log.Lines().size(), 3);
  EXPECT_EQ(log.Lines()[0], QStringLiteral("2009-09-03 12:00 00.0  Launch time"));
  EXPECT_EQ(log.Lines()[1], QString());
  EXPECT_EQ(log.Lines()[2], QStringLiteral("  1.500  #####  30%  Loading"));
  clock.AdvanceMSecs(250);
  log.Step(5, QStringLiteral("Tracks"), clock.SteadyMSecs());
  EXPECT_EQ(log.Lines()[2], QStringLiteral("  1.500  0.250  30%  Loading"));
  EXPECT_EQ(log.Lines()[3], QStringLiteral("  1.750  #####   5%  Tracks"));

  TFreshFolder folder;
  const QString path = folder.File(QStringLiteral("Launch.txt"));
  ASSERT_TRUE(log.SaveTo(path));
  EXPECT_TRUE(ReadAllBytes(path).endsWith("  1.750  #####   5%  Tracks\r\n"));
}

TEST(AppPaths, TestOverridePlacesEveryFolderUnderItsRoot) {
  const TAppPaths saved = AppPaths();
  SetAppPaths(TAppPaths::UnderRoot(QStringLiteral("/tmp/root")));
  EXPECT_EQ(AppPaths().DocumentsFolder(), QStringLiteral("/tmp/root/Documents/Vellomar"));
  EXPECT_EQ(AppPaths().SettingsFile(), QStringLiteral("/tmp/root/config/Vellomar/2009.ini"));
  EXPECT_EQ(AppPaths().TraceFile(), QStringLiteral("/tmp/root/Documents/Vellomar/Trace.txt"));
  SetAppPaths(saved);
}

TEST(AppPaths, TheSystemFormNeverPointsIntoTheRealHomeDuringTests) {
  const TAppPaths system = TAppPaths::FromSystem();
  const QString home = TTestEnvironment::HomeFolder();
  EXPECT_TRUE(system.DocumentsFolder().startsWith(home)) << system.DocumentsFolder().toStdString();
  EXPECT_TRUE(system.DataFolder().startsWith(home));
  EXPECT_TRUE(system.SettingsFile().startsWith(home));
  EXPECT_TRUE(system.SettingsFile().endsWith(QStringLiteral("/Vellomar/2009.ini")));
}
