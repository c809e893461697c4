// The silence windows offscreen: painting the schedule with the mouse, what the columns show,
// OK and Cancel; the protection window's password and buttons; the Silence menu's actions.

#include "vl09_Registry.h"
#include "vl09_SilenceActions.h"
#include "vl09_SilenceConfigFm.h"
#include "vl09_SilenceFm.h"
#include "vlClock.h"
#include "vlTestSupport.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QString S(const char *Text) { return QString::fromUtf8(Text); }

constexpr int MondayIndex = 1;

TDaySchedule Day(const TvlSilenceConfigSchedule &Schedule, int Index) {
  TDaySchedule levels;
  Schedule.GetSchedule(Index, levels);
  return levels;
}

TDaySchedule OffWithBand(int From, int Through, int Level) {
  TDaySchedule levels;
  levels.fill(slOff);
  for (int m = From; m <= Through; ++m) levels[m] = static_cast<std::uint8_t>(Level);
  return levels;
}

// Presses at one row of a column, moves to another and releases at ReleaseAt.
void Drag(QWidget *Column, int FromRow, int ToRow, QPoint ReleaseAt) {
  QTest::mousePress(Column, Qt::LeftButton, Qt::NoModifier, QPoint(20, FromRow));
  QTest::mouseMove(Column, QPoint(20, (FromRow + ToRow) / 2));
  QTest::mouseMove(Column, QPoint(20, ToRow));
  QTest::mouseRelease(Column, Qt::LeftButton, Qt::NoModifier, ReleaseAt);
}
void Drag(QWidget *Column, int FromRow, int ToRow) {
  Drag(Column, FromRow, ToRow, QPoint(20, ToRow));
}

// Records the hints instead of showing tool tips.
struct TRecordingHints final : TPointHints {
  QStringList Shown;
  int Hidden = 0;
  void Show(const QString &Text, QPoint, int) override { Shown << Text; }
  void Hide() override { ++Hidden; }
};

}  // namespace

TEST(SilenceConfigWindow, DraggingOverAColumnPaintsTheMinutesOfItsRows) {
  struct RRow {
    const char *Name;
    int FromRow;
    int ToRow;  // may lie outside the column
    int Level;
    TDaySchedule Expected;
  };
  const RRow rows[] = {
      {"09:00 to 10:00 downwards", 135, 150, slPassword, OffWithBand(540, 600, slPassword)},
      {"the same upwards", 150, 135, slPassword, OffWithBand(540, 600, slPassword)},
      {"a click paints the row's first minute", 10, 10, slHint, OffWithBand(40, 40, slHint)},
      {"below the column counts as its last row", 350, 500, slAsk, OffWithBand(1400, 1436, slAsk)},
      {"above the column counts as its first row", 3, -40, slHint, OffWithBand(0, 12, slHint)},
  };
  for (const RRow &row : rows) {
    SCOPED_TRACE(row.Name);
    TvlSilenceConfigSchedule schedule;
    TSilenceConfigFm window(schedule, nullptr);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.ColorKey(row.Level), Qt::LeftButton);
    EXPECT_EQ(window.SelectedLevel(), row.Level);
    Drag(window.PaintBox(MondayIndex), row.FromRow, row.ToRow);
    EXPECT_EQ(Day(schedule, MondayIndex), row.Expected);
    for (int day : {0, 2, 3, 4, 5, 6}) EXPECT_EQ(Day(schedule, day), OffWithBand(0, -1, 0));
  }
}

TEST(SilenceConfigWindow, TheDragShowsItsBandAndAReleaseElsewhereDropsIt) {
  TvlSilenceConfigSchedule schedule;
  TSilenceConfigFm window(schedule, nullptr);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  TSilenceDayColumn *column = window.PaintBox(3);
  QTest::mouseClick(window.ColorKey(slAsk), Qt::LeftButton);
  QTest::mousePress(column, Qt::LeftButton, Qt::NoModifier, QPoint(20, 100));
  QTest::mouseMove(column, QPoint(20, 120));
  // The preview is on screen while the schedule is untouched.
  const QImage preview = column->grab().toImage();
  EXPECT_EQ(preview.pixelColor(20, 110), QColor(255, 127, 0));
  EXPECT_EQ(preview.pixelColor(20, 125), QColor(255, 255, 255));
  EXPECT_EQ(Day(schedule, 3), OffWithBand(0, -1, 0));
  // Released over the next column: nothing is painted.
  QTest::mouseRelease(column, Qt::LeftButton, Qt::NoModifier, QPoint(column->width() + 30, 120));
  EXPECT_EQ(Day(schedule, 3), OffWithBand(0, -1, 0));
  EXPECT_EQ(column->grab().toImage().pixelColor(20, 110), QColor(255, 255, 255));
}

TEST(SilenceConfigWindow, AGrabShowsEachLevelInItsColour) {
  TvlSilenceConfigSchedule schedule;
  TSilenceConfigFm window(schedule, nullptr);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  TSilenceDayColumn *column = window.PaintBox(5);
  // Bands of rows 20-40 (hint), 100-130 (ask) and 200-260 (password).
  const struct {
    int Level, From, To;
  } bands[] = {{slHint, 20, 40}, {slAsk, 100, 130}, {slPassword, 200, 260}};
  for (const auto &band : bands) {
    QTest::mouseClick(window.ColorKey(band.Level), Qt::LeftButton);
    Drag(column, band.From, band.To);
  }
  const QImage image = column->grab().toImage();
  const std::pair<int, QColor> samples[] = {
      {5, QColor(255, 255, 255)},  {22, QColor(255, 255, 0)},  {40, QColor(255, 255, 0)},
      {41, QColor(255, 255, 255)}, {101, QColor(255, 127, 0)}, {128, QColor(255, 127, 0)},
      {201, QColor(140, 12, 12)},  {259, QColor(140, 12, 12)}, {301, QColor(255, 255, 255)},
      {359, QColor(255, 255, 255)}};
  for (const auto &[row, color] : samples) {
    EXPECT_EQ(image.pixelColor(1, row), color) << "row " << row;
    EXPECT_EQ(image.pixelColor(column->width() - 2, row), color) << "row " << row;
  }
  // The colour keys show the same colours, the selected one framed.
  const QImage key = window.ColorKey(slPassword)->grab().toImage();
  EXPECT_EQ(key.pixelColor(key.width() / 2, key.height() / 2), QColor(140, 12, 12));
}

TEST(SilenceConfigWindow, CancelRestoresTheScheduleAndOkWritesItToTheSettings) {
  TRegistryData store{QString{}};
  store.SetValue(S("Silence_Mon"), S("0-N, 540-N, 601-P, 1439-N"));
  TSilenceSettingsOf<TRegistryData> settings(store);
  TvlSilenceConfigSchedule schedule;
  {
    // Made: the schedule comes from the store.
    TSilenceConfigFm window(schedule, &settings);
    EXPECT_EQ(Day(schedule, MondayIndex), OffWithBand(540, 600, slPassword));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.ColorKey(slHint), Qt::LeftButton);
    Drag(window.PaintBox(MondayIndex), 0, 359);
    Drag(window.PaintBox(0), 0, 10);
    EXPECT_EQ(schedule.LevelAt(MondayIndex, 700), slHint);
    QTest::mouseClick(window.CancelBtn, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(Day(schedule, MondayIndex), OffWithBand(540, 600, slPassword));
    EXPECT_EQ(Day(schedule, 0), OffWithBand(0, -1, 0));
    EXPECT_EQ(store.GetValue(S("Silence_Sun")), QString());

    // Shown again: OK keeps the painting and writes every day.
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    Drag(window.PaintBox(6), 359, 359);
    QTest::mouseClick(window.OkBtn, Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
  }
  EXPECT_EQ(store.GetValue(S("Silence_Sat")), S("0-N, 1436-N, 1437-H, 1439-N"));
  EXPECT_EQ(store.GetValue(S("Silence_Mon")), S("0-N, 540-N, 601-P, 1439-N"));
  EXPECT_EQ(store.GetValue(S("Silence_Sun")), S("0-N, 1439-N"));
}

TEST(SilenceProtectionWindow, PasswordAndButtons) {
  TRecordingHints hints;
  TSilenceProtectionFm window(nullptr, &hints);
  int optionsOpened = 0, scheduleOpened = 0;
  window.SetOnRecordingOptions([&] { ++optionsOpened; });
  window.SetOnConfigureSchedule([&] { ++scheduleOpened; });

  // Asking for permission: no password box, no password shown; Play plays.
  window.Prepare(slAsk, S("Tawny"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_EQ(window.windowTitle(), S("Silence Protection"));
  EXPECT_FALSE(window.SilencePasswordEd->isVisible());
  EXPECT_FALSE(window.PasswordHintLbl->isVisible());
  for (const QLabel *label : window.findChildren<QLabel *>())
    EXPECT_FALSE(label->isVisible() && label->text().contains(S("Tawny")))
        << qPrintable(label->text());
  const QList<QLabel *> texts = window.findChildren<QLabel *>();
  ASSERT_FALSE(texts.isEmpty());
  EXPECT_EQ(texts.first()->text(),
            S("Sometimes it is essential that a notebook computer not disturb classes or "
              "proceedings."));
  EXPECT_TRUE(window.EndSilence_PlayBtn->isDefault());
  QTest::mouseClick(window.EndSilence_PlayBtn, Qt::LeftButton);
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_FALSE(window.isVisible());

  // Requiring the password: a wrong one keeps the window with a hint, capitals are accepted.
  window.Prepare(slPassword, S("Tawny"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  EXPECT_TRUE(window.SilencePasswordEd->isVisible());
  EXPECT_TRUE(window.SilencePasswordEd->isEnabled());
  EXPECT_TRUE(window.SilencePasswordEd->text().isEmpty());
  EXPECT_TRUE(window.PasswordHintLbl->isVisible());
  EXPECT_EQ(window.PasswordHintLbl->text(), S("Password is \"Tawny\""));
  QTest::keyClicks(window.SilencePasswordEd, S("tawn"));
  QTest::mouseClick(window.EndSilence_PlayBtn, Qt::LeftButton);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(hints.Shown, QStringList{S("Try again or choose \"NO\"")});
  window.SilencePasswordEd->clear();
  QTest::keyClicks(window.SilencePasswordEd, S("TAWNY"));
  QTest::keyClick(window.SilencePasswordEd, Qt::Key_Return);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(window.result(), QDialog::Accepted);
  EXPECT_EQ(hints.Hidden, 0);

  // No refuses and takes the hint away; the links call their handlers.
  window.Prepare(slPassword, S("Tawny"));
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  Q_EMIT window.RecordingOptionsLink->linkActivated(S("options"));
  Q_EMIT window.ConfigureScheduleLink->linkActivated(S("schedule"));
  EXPECT_EQ(optionsOpened, 1);
  EXPECT_EQ(scheduleOpened, 1);
  QTest::mouseClick(window.EndSilence_NoBtn, Qt::LeftButton);
  EXPECT_EQ(window.result(), QDialog::Rejected);
  EXPECT_EQ(hints.Hidden, 1);
}

TEST(SilenceActions, FiveExclusiveItemsFollowTheProtectionBothWays) {
  TvlSilenceConfigSchedule schedule;
  schedule.SetSchedule(MondayIndex, OffWithBand(540, 600, slAsk));
  TManualClock clock(EncodeDateTime(2009, 9, 7, 9, 30));
  TSilenceProtection protection(schedule, &clock);
  TSilenceActions actions(protection);

  EXPECT_EQ(actions.Group()->actions().size(), 5);
  EXPECT_EQ(actions.Group()->exclusionPolicy(), QActionGroup::ExclusionPolicy::Exclusive);
  EXPECT_EQ(actions.Group()->checkedAction(), actions.aSilenceScheduled);
  EXPECT_EQ(actions.Actions().size(), 6);

  actions.aSilenceOnPassword->trigger();
  EXPECT_EQ(protection.Choice(), TSilenceChoice::scOnPassword);
  protection.GrantPermission();
  EXPECT_EQ(actions.Group()->checkedAction(), actions.aSilenceGrantPermission);
  EXPECT_FALSE(actions.aSilenceOnPassword->isChecked());
  actions.aSilenceScheduled->trigger();
  EXPECT_FALSE(protection.GetGavePermission());
  EXPECT_EQ(protection.Choice(), TSilenceChoice::scScheduled);

  actions.RefreshScheduledCaption();
  EXPECT_EQ(actions.aSilenceScheduled->text(), S("Follow Schedule  (Currently: ON - Ask)"));
  clock.Set(EncodeDateTime(2009, 9, 7, 11, 0));
  actions.RefreshScheduledCaption();
  EXPECT_EQ(actions.aSilenceScheduled->text(), S("Follow Schedule  (Currently: OFF)"));

  int configured = 0;
  actions.SetOnConfigureSchedule([&] { ++configured; });
  actions.aSilenceConfigureSchedule->trigger();
  EXPECT_EQ(configured, 1);
}

TEST(SilenceActions, APasswordTypedIntoTheModalWindowGrantsPermissionForTheSession) {
  TvlSilenceConfigSchedule schedule;
  TManualClock clock(EncodeDateTime(2009, 9, 7, 9, 30));
  TSilenceProtection protection(schedule, &clock);
  TSilenceActions actions(protection);
  TRecordingHints hints;
  TSilenceWindowPrompts prompts(nullptr, &hints);
  protection.SetPrompts(&prompts);
  actions.aSilenceOnPassword->trigger();

  // The user, once the window is up: types the password and presses Play.
  int seen = 0;
  QTimer user;
  user.setInterval(10);
  QObject::connect(&user, &QTimer::timeout, [&] {
    auto *window = qobject_cast<TSilenceProtectionFm *>(QApplication::activeModalWidget());
    if (!window || !window->isVisible()) return;
    ++seen;
    QTest::keyClicks(window->SilencePasswordEd, S("tawny"));
    QTest::mouseClick(window->EndSilence_PlayBtn, Qt::LeftButton);
  });
  user.start();
  EXPECT_TRUE(protection.OkayToBreakSilence());
  user.stop();
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(actions.Group()->checkedAction(), actions.aSilenceGrantPermission);
  EXPECT_TRUE(protection.OkayToBreakSilence());  // no window this time
  EXPECT_EQ(seen, 1);

  // Following the schedule again: at level 1 only the hint shows.
  actions.aSilenceOnHint->trigger();
  EXPECT_FALSE(protection.OkayToBreakSilence());
  EXPECT_EQ(
      hints.Shown,
      QStringList{S("Silence Protection is ON.  Pull down \"Silence\" menu to enable sounds.")});
}
