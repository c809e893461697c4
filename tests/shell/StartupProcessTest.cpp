// The program as a process, offscreen, in a home folder of its own: a first start, a second
// start, a second program while the first runs, and a start after the first was killed.

#include "vl09_Registry.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QThread>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

// Generous: the machine these run on may be busy building.
constexpr int ProcessMSecs = 120000;

class TProgramHome {
 public:
  TProgramHome() {
    QDir().mkpath(Runtime());
    QFile::setPermissions(Runtime(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
  QString Home() const { return FHome.Path(); }
  QString Runtime() const { return Home() + S("/runtime"); }
  QString Documents() const { return Home() + S("/Documents/Vellomar"); }
  QString Data() const { return Home() + S("/data/Vellomar"); }
  QString Settings() const { return Home() + S("/config/Vellomar/2009.ini"); }
  QString Trace() const { return QString::fromUtf8(ReadAllBytes(Documents() + S("/Trace.txt"))); }

  void Prepare(QProcess &Program) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(S("HOME"), Home());
    env.insert(S("XDG_CONFIG_HOME"), Home() + S("/config"));
    env.insert(S("XDG_DATA_HOME"), Home() + S("/data"));
    env.insert(S("XDG_CACHE_HOME"), Home() + S("/cache"));
    env.insert(S("XDG_RUNTIME_DIR"), Runtime());
    env.insert(S("QT_QPA_PLATFORM"), S("offscreen"));
    env.remove(S("VELLOMAR_QUIT_AFTER_START"));
    Program.setProcessEnvironment(env);
    Program.setProgram(S(VELLOMAR_EXE));
  }

  struct RRun {
    int ExitCode = -1;
    QString Out;
    QString Err;
  };
  RRun Run(const QStringList &Arguments) const {
    QProcess program;
    Prepare(program);
    program.setArguments(Arguments);
    program.start();
    RRun run;
    if (!program.waitForFinished(ProcessMSecs)) {
      program.kill();
      program.waitForFinished();
      return run;
    }
    run.ExitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
    run.Out = QString::fromLocal8Bit(program.readAllStandardOutput());
    run.Err = QString::fromLocal8Bit(program.readAllStandardError());
    return run;
  }

 private:
  TFreshFolder FHome;
};

template <typename TDone>
bool WaitFor(TDone Done) {
  QElapsedTimer waited;
  waited.start();
  while (!Done() && waited.elapsed() < ProcessMSecs) QThread::msleep(50);
  return Done();
}

}  // namespace

TEST(ProgramProcess, FirstStartSetsUpAndASecondStartCopiesNothing) {
  TProgramHome home;
  const auto first = home.Run({S("--quit-after-start")});
  ASSERT_EQ(first.ExitCode, 0) << first.Err.toStdString();
  // No sound server in the test: the program says so and runs on without audio.
  EXPECT_TRUE(first.Out.contains(S("audio failed"))) << first.Out.toStdString();
  for (const QString &folder : {home.Data() + S("/Audio"), home.Data() + S("/Document Backups"),
                                home.Documents() + S("/Sessions")})
    EXPECT_TRUE(QFileInfo(folder).isDir()) << folder.toStdString();
  TRegistryData settings(home.Settings());
  ASSERT_TRUE(settings.OnApplicationOpen_ReadFromRegistry());
  EXPECT_EQ(settings.GetValue(S("Install")), S("Finished"));
  EXPECT_TRUE(settings.ValueExists(S("Left")));  // written at close
  // Missing samples are traced one by one, so the count depends on what the build tree holds.
  const auto firstRunLines = home.Trace().count(S("First run:"));
  EXPECT_GE(firstRunLines, 1);

  // The second start also keeps a launch log, as the settings ask.
  settings.SetBool(S("LaunchLog"), true);
  ASSERT_TRUE(settings.OnApplicationClose_WriteToRegistry());
  const auto second = home.Run({S("--quit-after-start")});
  ASSERT_EQ(second.ExitCode, 0) << second.Err.toStdString();
  EXPECT_EQ(home.Trace().count(S("First run:")), firstRunLines);
  EXPECT_EQ(home.Trace().count(S("Launch ")), 2);
  const QStringList logs = QDir(home.Data()).entryList({S("* VL Launch Log.txt")}, QDir::Files);
  ASSERT_EQ(logs.size(), 1);
  const QString log = QString::fromUtf8(ReadAllBytes(home.Data() + QLatin1Char('/') + logs[0]));
  EXPECT_TRUE(log.contains(S("%  Creating main window"))) << log.toStdString();
  EXPECT_TRUE(log.trimmed().endsWith(S("  Applicaton.Run"))) << log.toStdString();
}

TEST(ProgramProcess, ASecondProgramRaisesTheFirstAndAKilledFirstLeavesNoLockBehind) {
  TProgramHome home;
  QProcess first;
  home.Prepare(first);
  first.start();
  ASSERT_TRUE(first.waitForStarted(ProcessMSecs));
  // Running once its audio start has ended (there is no sound server here).
  ASSERT_TRUE(WaitFor([&] { return home.Trace().contains(S("Audio start failed")); }))
      << home.Trace().toStdString();

  const auto second = home.Run({S("--quit-after-start")});
  EXPECT_EQ(second.ExitCode, 0);
  EXPECT_TRUE(second.Err.contains(S("This application is already running.")))
      << second.Err.toStdString();
  EXPECT_FALSE(second.Out.contains(S("Start-up:")));
  EXPECT_TRUE(
      WaitFor([&] { return home.Trace().contains(S("asked this window to come forward")); }));
  EXPECT_EQ(first.state(), QProcess::Running);

  first.kill();  // SIGKILL: the lock file stays behind with a dead owner
  ASSERT_TRUE(first.waitForFinished(ProcessMSecs));
  EXPECT_TRUE(QFileInfo::exists(home.Documents() + S("/Vellomar.lock")));

  const auto third = home.Run({S("--quit-after-start")});
  EXPECT_EQ(third.ExitCode, 0) << third.Err.toStdString();
  EXPECT_TRUE(third.Out.contains(S("Start-up:"))) << third.Out.toStdString();
}

TEST(ProgramProcess, ATerminationSignalEndsTheProgramInOrder) {
  TProgramHome home;
  QProcess program;
  home.Prepare(program);
  program.start();
  ASSERT_TRUE(program.waitForStarted(ProcessMSecs));
  ASSERT_TRUE(WaitFor([&] { return home.Trace().contains(S("Audio start failed")); }));
  program.terminate();  // SIGTERM, as a shutdown sends it
  ASSERT_TRUE(program.waitForFinished(ProcessMSecs));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_TRUE(home.Trace().contains(S("Ending on a termination signal")));
  TRegistryData settings(home.Settings());
  ASSERT_TRUE(settings.OnApplicationOpen_ReadFromRegistry());
  EXPECT_TRUE(settings.ValueExists(S("Left")));  // written at close
}

TEST(ProgramProcess, ALockHolderThatDoesNotAnswerIsReportedAndTheStartEnds) {
  TProgramHome home;
  // This test holds the lock: a live owner that listens on no socket, like a hung program.
  QDir().mkpath(home.Documents());
  QLockFile held(home.Documents() + S("/Vellomar.lock"));
  ASSERT_TRUE(held.tryLock(0));
  const auto start = home.Run({S("--quit-after-start")});
  EXPECT_EQ(start.ExitCode, 0);
  EXPECT_TRUE(start.Err.contains(S("This application is already in use.")))
      << start.Err.toStdString();
  EXPECT_FALSE(start.Out.contains(S("Start-up:")));
}

TEST(ProgramProcess, HelpAndVersionPrintAndEndWithoutAWindowSystem_AWrongOptionIsRefused) {
  TProgramHome home;
  struct RCase {
    QStringList Arguments;
    int ExitCode;
    const char *Out, *Err;
  } cases[] = {
      {{S("--version")}, 0, "vellomar ", ""},
      {{S("B.vl"), S("--help")}, 0, "Usage: vellomar", ""},
      {{S("--bogus")}, 2, "", "Unknown option: --bogus"},
  };
  for (const RCase &c : cases) {
    SCOPED_TRACE(c.Arguments.join(QLatin1Char(' ')).toStdString());
    QProcess program;
    home.Prepare(program);
    QProcessEnvironment env = program.processEnvironment();
    // No display at all: help and version must not need one.
    if (c.ExitCode == 0) {
      env.insert(S("QT_QPA_PLATFORM"), S("xcb"));
      env.remove(S("DISPLAY"));
    }
    program.setProcessEnvironment(env);
    program.setArguments(c.Arguments);
    program.start();
    ASSERT_TRUE(program.waitForFinished(ProcessMSecs));
    EXPECT_EQ(program.exitCode(), c.ExitCode);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_TRUE(out.startsWith(S(c.Out)) || !*c.Out) << out.toStdString();
    EXPECT_TRUE(err.contains(S(c.Err)) || !*c.Err) << err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(home.Documents() + S("/Trace.txt"))) << "it did not start";
  }
}
