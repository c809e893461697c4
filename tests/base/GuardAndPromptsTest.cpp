#include "vlGlobals.h"
#include "vlGuard.h"
#include "vlPrompts.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QTimer>

#include <stdexcept>

namespace {

struct GuardTest : ::testing::Test {
  TScriptedPrompts prompts;
  TScopedPrompts usePrompts{prompts};
  TFreshFolder folder;
  TErrorLog log{folder.Path()};
  TScopedErrorLog useLog{log};
  int aborted = 0;
  void SetUp() override {
    SetAbortHandler([this] { ++aborted; });
  }
  void TearDown() override { SetAbortHandler(nullptr); }
};

}  // namespace

TEST_F(GuardTest, AReportWithADialogEndsTheOperationAndIsShownOnce) {
  bool after = false;
  RunGuarded([&] {
    ErrorReport(true, QStringLiteral("Cannot open x7"));
    after = true;
  });
  EXPECT_FALSE(after);
  ASSERT_EQ(prompts.Asked().size(), 1);
  EXPECT_EQ(
      prompts.Asked()[0].Buttons,
      (QList<TPromptButton>{TPromptButton::pbOk, TPromptButton::pbIgnore, TPromptButton::pbAbort}));
  EXPECT_TRUE(
      prompts.Asked()[0].Text.endsWith(QStringLiteral("Press Abort to close the program.")));
  EXPECT_EQ(aborted, 0);
}

TEST_F(GuardTest, IgnoreSilencesTheSameKeyForTheRestOfTheRun) {
  prompts.ScriptAnswer(TPromptButton::pbIgnore);
  RunGuarded([] { ErrorReport(true, QStringLiteral("EK_FEI x1")); });
  bool finished = false;
  RunGuarded([&] {
    ErrorReport(true, QStringLiteral("EK_FEI x2"));
    finished = true;
  });
  EXPECT_TRUE(finished);
  EXPECT_EQ(prompts.Asked().size(), 1);
}

TEST_F(GuardTest, AbortRunsTheAbortHandler) {
  prompts.ScriptAnswer(TPromptButton::pbAbort);
  RunGuarded([] { ErrorReport(true, QStringLiteral("fatal")); });
  EXPECT_EQ(aborted, 1);
}

TEST_F(GuardTest, OtherExceptionsAreShownAsInternalErrorsAndLogged) {
  RunGuarded([] { throw std::logic_error("broken invariant"); });
  ASSERT_EQ(prompts.Asked().size(), 1);
  EXPECT_EQ(prompts.Asked()[0].Text, QStringLiteral("Internal error: broken invariant"));
  EXPECT_EQ(log.ReportCount(), 1);
}

TEST_F(GuardTest, AReportInsideATimerCallbackReachesTheDialogAndTheLoopGoesOn) {
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    RunGuarded([&] {
      ++ticks;
      if (ticks == 1) ErrorReport(true, QStringLiteral("tick failed"));
      if (ticks == 3) QCoreApplication::exit(0);
    });
  });
  timer.start(1);
  QCoreApplication::exec();
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(prompts.Asked().size(), 1);
}

TEST_F(GuardTest, DeferredReportsAreShownFromTheEventLoopNotInPlace) {
  RunGuardedDeferred([] { ErrorReport(true, QStringLiteral("while painting")); });
  EXPECT_TRUE(prompts.Asked().isEmpty());
  QCoreApplication::processEvents();
  ASSERT_EQ(prompts.Asked().size(), 1);
  EXPECT_TRUE(prompts.Asked()[0].Text.startsWith(QStringLiteral("while painting")));
}

TEST(ScriptedPrompts, UnscriptedQuestionsAnswerLikeEscapeAndAreCounted) {
  TScriptedPrompts prompts;
  prompts.ScriptAnswer(TPromptButton::pbYes);
  const QList<TPromptButton> yesNoCancel{TPromptButton::pbYes, TPromptButton::pbNo,
                                         TPromptButton::pbCancel};
  EXPECT_EQ(prompts.Ask(QStringLiteral("Save?"), yesNoCancel, TPromptButton::pbYes,
                        TPromptIcon::piQuestion),
            TPromptButton::pbYes);
  EXPECT_EQ(prompts.Ask(QStringLiteral("Again?"), yesNoCancel, TPromptButton::pbYes,
                        TPromptIcon::piQuestion),
            TPromptButton::pbCancel);
  EXPECT_EQ(prompts.Password(QStringLiteral("Silence"), QStringLiteral("Password:")), std::nullopt);
  EXPECT_EQ(prompts.OpenFileName(QStringLiteral("Open"), QString(), QString()), QString());
  EXPECT_EQ(prompts.UnscriptedCount(), 3);
  EXPECT_EQ(prompts.AskedTexts().first(), QStringLiteral("Save?"));
}

TEST(ScriptedPrompts, TheTestRunInstallsScriptedPromptsSoNothingBlocks) {
  EXPECT_EQ(&Prompts(), &TTestEnvironment::TestPrompts());
}
