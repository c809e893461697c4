#pragma once
// The window the user paints the weekly silence schedule in: seven day columns over an hour grid,
// four colour keys and OK / Cancel.
//
// A column is 360 pixels high, one pixel row for 4 minutes; row r shows the level of minute 4r,
// the first minute of its four, which is the minute a painted band starts and ends on. Pressing
// the left button in a column takes a copy of that day; dragging shows the band between the press
// row and the current row (rows outside the column count as its first or last row) in the
// selected key's colour over the copy; releasing over the same column sets that level on minutes
// 4 × upper row through 4 × lower row of the copy and makes the copy the day's schedule. Releasing
// elsewhere drops the band.
//
// The schedule is loaded from the settings store when the window is made. Showing the window
// remembers every day as text; Cancel (and closing the window) restores those texts, OK writes
// the schedule to the settings store.
//
// Called on the user-interface thread only.

#include "vl09_SilenceConfig.h"

#include <QDialog>
#include <QWidget>

#include <array>
#include <optional>

class QPushButton;
class TSilenceConfigFm;

// One day's column, "PaintBox_Sun" .. "PaintBox_Sat".
class TSilenceDayColumn : public QWidget {
  Q_OBJECT

 public:
  static constexpr int ColumnWidth = 64;
  static constexpr int ColumnHeight = MinutesPerDay / 4;

  TSilenceDayColumn(TSilenceConfigFm &Form, int Day, QWidget *Parent);
  int Day() const { return FDay; }
  // The row a point's y falls on, limited to the column.
  static int RowAt(int Y);
  // Draws Levels as bands one row per 4 minutes, with a faint line at every hour.
  static void PaintLevels(QPainter &Painter, const TDaySchedule &Levels, int Width);

 protected:
  void paintEvent(QPaintEvent *Event) override;
  void mousePressEvent(QMouseEvent *Event) override;
  void mouseMoveEvent(QMouseEvent *Event) override;
  void mouseReleaseEvent(QMouseEvent *Event) override;

 private:
  // The copy with the band from the press row to Row in the selected level.
  TDaySchedule Painted(int Row) const;

  TSilenceConfigFm &FForm;
  int FDay;
  std::optional<TDaySchedule> FCopy;  // while the left button is held
  int FPressRow = 0;
  int FCurrentRow = 0;
};

// One level's colour key: "ProtectionOffPB", "ProtectionHintPB", "ProtectionAskPB",
// "ProtectionPWPB". Clicking it selects its level for painting.
class TSilenceColorKey : public QWidget {
  Q_OBJECT

 public:
  TSilenceColorKey(TSilenceConfigFm &Form, int Level, QWidget *Parent);
  int Level() const { return FLevel; }

 protected:
  void paintEvent(QPaintEvent *Event) override;
  void mousePressEvent(QMouseEvent *Event) override;

 private:
  TSilenceConfigFm &FForm;
  int FLevel;
};

class TSilenceConfigFm : public QDialog {
  Q_OBJECT

 public:
  // Schedule is not owned and must outlive the window. Store (not owned, may be nullptr) is the
  // settings store the schedule is loaded from now and written to on OK.
  TSilenceConfigFm(TvlSilenceConfigSchedule &Schedule, TSilenceSettings *Store,
                   QWidget *Parent = nullptr);
  ~TSilenceConfigFm() override;

  TvlSilenceConfigSchedule &Schedule() { return FSchedule; }
  TSilenceDayColumn *PaintBox(int Day) const;
  TSilenceColorKey *ColorKey(int Level) const;
  int SelectedLevel() const { return FSelectedLevel; }
  void SelectLevel(int Level);

  QPushButton *OkBtn;
  QPushButton *CancelBtn;

 public Q_SLOTS:
  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent *Event) override;

 private:
  TvlSilenceConfigSchedule &FSchedule;
  TSilenceSettings *FStore;
  int FSelectedLevel = slPassword;
  std::array<TSilenceDayColumn *, DaysPerWeek> FColumns{};
  std::array<TSilenceColorKey *, SilenceLevelCount> FKeys{};
  std::array<QString, DaysPerWeek> FTextsAtShow;
};
