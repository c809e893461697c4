#include "vl09_SilenceConfigFm.h"
#include "vlColorConversion.h"

#include "vlGuard.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int RowsPerHour = 15;  // 60 minutes at 4 minutes a row
constexpr int LabelWidth = 56;
constexpr int CaptionHeight = 22;
constexpr int ColumnGap = 10;
constexpr int BottomMargin = 8;

const char *const DayCaptions[DaysPerWeek] = {"Sun", "Mon", "Tues", "Wed", "Thurs", "Fri", "Sat"};
const char *const ColumnNames[DaysPerWeek] = {"PaintBox_Sun", "PaintBox_Mon", "PaintBox_Tue",
                                              "PaintBox_Wed", "PaintBox_Thu", "PaintBox_Fri",
                                              "PaintBox_Sat"};
const char *const KeyNames[SilenceLevelCount] = {"ProtectionOffPB", "ProtectionHintPB",
                                                 "ProtectionAskPB", "ProtectionPWPB"};

// "12 AM", "1 AM" .. "11 AM", "12 PM", "1 PM" .. "11 PM".
QString HourLabel(int Hour) {
  const int shown = Hour % 12 == 0 ? 12 : Hour % 12;
  return QString::number(shown) + (Hour < 12 ? QStringLiteral(" AM") : QStringLiteral(" PM"));
}

int ColumnLeft(int Day) { return LabelWidth + Day * (TSilenceDayColumn::ColumnWidth + ColumnGap); }

// The hour grid behind the columns: a line every 15 pixels with the hour's label on the left,
// the day captions above, a frame around each column.
class TSilenceHourGrid final : public QWidget {
 public:
  explicit TSilenceHourGrid(QWidget *Parent) : QWidget(Parent) {
    setFixedSize(ColumnLeft(DaysPerWeek) - ColumnGap + 1,
                 CaptionHeight + TSilenceDayColumn::ColumnHeight + BottomMargin);
  }

 protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int right = width() - 1;
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    painter.setFont(small);
    for (int hour = 0; hour <= 24; ++hour) {
      const int y = CaptionHeight + hour * RowsPerHour;
      painter.setPen(QColor(190, 190, 190));
      painter.drawLine(LabelWidth - 6, y, right, y);
      if (hour == 24) break;
      painter.setPen(palette().windowText().color());
      painter.drawText(QRect(0, y - RowsPerHour / 2, LabelWidth - 9, RowsPerHour),
                       Qt::AlignRight | Qt::AlignVCenter, HourLabel(hour));
    }
    painter.setFont(font());
    for (int day = 0; day < DaysPerWeek; ++day) {
      const int left = ColumnLeft(day);
      painter.setPen(palette().windowText().color());
      painter.drawText(QRect(left, 0, TSilenceDayColumn::ColumnWidth, CaptionHeight),
                       Qt::AlignCenter, QLatin1String(DayCaptions[day]));
      painter.setPen(QColor(96, 96, 96));
      painter.drawRect(left - 1, CaptionHeight - 1, TSilenceDayColumn::ColumnWidth + 1,
                       TSilenceDayColumn::ColumnHeight + 1);
    }
  }
};

}  // namespace

// ---- Day column ----

TSilenceDayColumn::TSilenceDayColumn(TSilenceConfigFm &Form, int Day, QWidget *Parent)
    : QWidget(Parent), FForm(Form), FDay(Day) {
  setObjectName(QLatin1String(ColumnNames[Day]));
  setFixedSize(ColumnWidth, ColumnHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setCursor(Qt::CrossCursor);
}

int TSilenceDayColumn::RowAt(int Y) { return std::clamp(Y, 0, ColumnHeight - 1); }

void TSilenceDayColumn::PaintLevels(QPainter &Painter, const TDaySchedule &Levels, int Width) {
  int row = 0;
  while (row < ColumnHeight) {
    const int level = Levels[row * 4];
    int end = row + 1;
    while (end < ColumnHeight && Levels[end * 4] == level) ++end;
    Painter.fillRect(0, row, Width, end - row, TColorToQColor(SilenceLevelColor(level)));
    row = end;
  }
  // A faint line at every hour keeps the bands readable against the grid's labels.
  for (int hourRow = RowsPerHour; hourRow < ColumnHeight; hourRow += RowsPerHour) {
    const QColor band = TColorToQColor(SilenceLevelColor(Levels[hourRow * 4]));
    Painter.setPen(band.darker(112));
    Painter.drawLine(0, hourRow, Width - 1, hourRow);
  }
}

TDaySchedule TSilenceDayColumn::Painted(int Row) const {
  TDaySchedule levels = *FCopy;
  const int upper = std::min(FPressRow, Row);
  const int lower = std::max(FPressRow, Row);
  const int last = std::min(4 * lower, MinutesPerDay - 1);
  for (int m = 4 * upper; m <= last; ++m)
    levels[m] = static_cast<std::uint8_t>(FForm.SelectedLevel());
  return levels;
}

void TSilenceDayColumn::paintEvent(QPaintEvent *) {
  RunGuardedDeferred([&] {
    QPainter painter(this);
    TDaySchedule levels;
    if (FCopy) {
      // The preview: the band as it would be painted, over the copy taken at the press.
      levels = Painted(FCurrentRow);
    } else {
      FForm.Schedule().GetSchedule(FDay, levels);
    }
    PaintLevels(painter, levels, width());
  });
}

void TSilenceDayColumn::mousePressEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    if (Event->button() != Qt::LeftButton) return;
    TDaySchedule copy;
    FForm.Schedule().GetSchedule(FDay, copy);
    FCopy = copy;
    FPressRow = RowAt(Event->position().toPoint().y());
    FCurrentRow = FPressRow;
    update();
  });
}

void TSilenceDayColumn::mouseMoveEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    if (!FCopy) return;
    const int row = RowAt(Event->position().toPoint().y());
    if (row == FCurrentRow) return;
    FCurrentRow = row;
    update();
  });
}

void TSilenceDayColumn::mouseReleaseEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    if (Event->button() != Qt::LeftButton || !FCopy) return;
    const QPoint at = Event->position().toPoint();
    if (at.x() >= 0 && at.x() < width()) FForm.Schedule().SetSchedule(FDay, Painted(RowAt(at.y())));
    FCopy.reset();
    update();
  });
}

// ---- Colour key ----

TSilenceColorKey::TSilenceColorKey(TSilenceConfigFm &Form, int Level, QWidget *Parent)
    : QWidget(Parent), FForm(Form), FLevel(Level) {
  setObjectName(QLatin1String(KeyNames[Level]));
  setFixedSize(44, 26);
  setCursor(Qt::PointingHandCursor);
  setToolTip(SilenceLevelCaption(Level));
}

void TSilenceColorKey::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  const bool selected = FForm.SelectedLevel() == FLevel;
  const QRect swatch = rect().adjusted(3, 3, -3, -3);
  painter.fillRect(swatch, TColorToQColor(SilenceLevelColor(FLevel)));
  // The selected key wears a heavy frame.
  painter.setPen(QPen(selected ? QColor(0, 0, 0) : QColor(128, 128, 128), selected ? 3 : 1));
  painter.drawRect(selected ? swatch.adjusted(-1, -1, 0, 0) : swatch.adjusted(0, 0, -1, -1));
}

void TSilenceColorKey::mousePressEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    if (Event->button() == Qt::LeftButton) FForm.SelectLevel(FLevel);
  });
}

// ---- Window ----

TSilenceConfigFm::TSilenceConfigFm(TvlSilenceConfigSchedule &Schedule, TSilenceSettings *Store,
                                   QWidget *Parent)
    : QDialog(Parent), FSchedule(Schedule), FStore(Store) {
  setObjectName(QStringLiteral("SilenceConfigFm"));
  setWindowTitle(QStringLiteral("Configure Silence Protection"));
  if (FStore) FSchedule.Registry_LoadFrom(*FStore);

  auto *grid = new TSilenceHourGrid(this);
  for (int day = 0; day < DaysPerWeek; ++day) {
    FColumns[day] = new TSilenceDayColumn(*this, day, grid);
    FColumns[day]->move(ColumnLeft(day), CaptionHeight);
  }

  auto *keys = new QGridLayout;
  keys->setHorizontalSpacing(10);
  keys->setVerticalSpacing(4);
  for (int level = 0; level < SilenceLevelCount; ++level) {
    FKeys[level] = new TSilenceColorKey(*this, level, this);
    auto *caption = new QLabel(QStringLiteral("<b>%1</b>").arg(SilenceLevelCaption(level)), this);
    auto *explanation = new QLabel(SilenceLevelExplanation(level), this);
    explanation->setWordWrap(true);
    explanation->setMinimumWidth(180);
    auto *text = new QVBoxLayout;
    text->setSpacing(0);
    text->addWidget(caption);
    text->addWidget(explanation);
    keys->addWidget(FKeys[level], level, 0, Qt::AlignTop);
    keys->addLayout(text, level, 1);
  }
  auto *hint = new QLabel(
      QStringLiteral("Click a colour, then drag in a day's column to paint its hours."), this);
  hint->setWordWrap(true);

  OkBtn = new QPushButton(QStringLiteral("OK"), this);
  OkBtn->setObjectName(QStringLiteral("OkBtn"));
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OkBtn);
  buttons->addWidget(CancelBtn);

  auto *side = new QVBoxLayout;
  side->addSpacing(CaptionHeight);
  side->addLayout(keys);
  side->addSpacing(12);
  side->addWidget(hint);
  side->addStretch();
  side->addLayout(buttons);

  auto *layout = new QHBoxLayout(this);
  layout->addWidget(grid, 0, Qt::AlignTop);
  layout->addSpacing(12);
  layout->addLayout(side, 1);
}

TSilenceConfigFm::~TSilenceConfigFm() = default;

TSilenceDayColumn *TSilenceConfigFm::PaintBox(int Day) const {
  return Day >= 0 && Day < DaysPerWeek ? FColumns[Day] : nullptr;
}

TSilenceColorKey *TSilenceConfigFm::ColorKey(int Level) const {
  return Level >= 0 && Level < SilenceLevelCount ? FKeys[Level] : nullptr;
}

void TSilenceConfigFm::SelectLevel(int Level) {
  if (Level < 0 || Level >= SilenceLevelCount || Level == FSelectedLevel) return;
  FSelectedLevel = Level;
  for (TSilenceColorKey *key : FKeys) key->update();
}

void TSilenceConfigFm::showEvent(QShowEvent *Event) {
  // A window restored from the task bar shows again spontaneously; only a real showing starts
  // a new round of changes that Cancel can take back.
  if (!Event->spontaneous())
    for (int day = 0; day < DaysPerWeek; ++day) FTextsAtShow[day] = FSchedule.DayText(day);
  QDialog::showEvent(Event);
}

void TSilenceConfigFm::accept() {
  RunGuarded([&] {
    if (FStore) FSchedule.Registry_SaveTo(*FStore);
  });
  QDialog::accept();
}

void TSilenceConfigFm::reject() {
  for (int day = 0; day < DaysPerWeek; ++day)
    if (!FTextsAtShow[day].isEmpty()) FSchedule.SetDayText(day, FTextsAtShow[day]);
  for (TSilenceDayColumn *column : FColumns) column->update();
  QDialog::reject();
}
