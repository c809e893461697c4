#include "vl09_TimeCursor.h"

#include <QDateTime>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

QString TimeCursorText(const QString &LongTimeText) {
  QString s = LongTimeText;
  const int space = s.indexOf(QLatin1Char(' '));
  if (space >= 0) s.truncate(space + 1);
  if (s.size() > 2 && !s.at(1).isDigit()) s.prepend(QLatin1Char(' '));
  return s + QStringLiteral("  ");
}

QString TimeCursorTextOf(TDateTime When) {
  const QTime t = DateTimeToQDateTime(When).time();
  return TimeCursorText(QLocale::system().toString(t, QLocale::LongFormat));
}

QImage TimeCursorArrow(bool Loud) {
  QImage img(Loud ? 40 : 24, 24, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath arrow;
  arrow.moveTo(2, 0);
  arrow.lineTo(2, 17);
  arrow.lineTo(6, 13);
  arrow.lineTo(9, 20);
  arrow.lineTo(12, 19);
  arrow.lineTo(9, 12);
  arrow.lineTo(14, 12);
  arrow.closeSubpath();
  p.setPen(QPen(Qt::white, 1));
  p.setBrush(Qt::black);
  p.drawPath(arrow);
  if (Loud) {
    // A small megaphone: a click here plays.
    QPainterPath horn;
    horn.moveTo(20, 8);
    horn.lineTo(26, 8);
    horn.lineTo(34, 3);
    horn.lineTo(34, 17);
    horn.lineTo(26, 12);
    horn.lineTo(20, 12);
    horn.closeSubpath();
    p.setBrush(QColor(0, 0, 128));
    p.drawPath(horn);
  }
  return img;
}

TTimeCursor::TTimeCursor(bool Loud) : FDefaultImage(TimeCursorArrow(Loud)) {
  FChosenImage = FDefaultImage;
  FTimeFont.setBold(true);
  FTimeFont.setPixelSize(11);
}

void TTimeCursor::CustomImage(const QImage &Image) {
  FChosenImage = Image.isNull() ? FDefaultImage : Image;
  FLastText.clear();  // the cached cursor shows the other picture
}

void TTimeCursor::TakeOver(QWidget *Control) {
  if (FStoredControl == Control) return;
  Update_RestoreOriginal();
  FStoredControl = Control;
  FOriginal = Control ? Control->cursor() : QCursor();
}

void TTimeCursor::Update_Time(QWidget *ControlNeedingCursor, TDateTime TimeToDisplay) {
  if (!ControlNeedingCursor) return;
  TakeOver(ControlNeedingCursor);
  const QString text = TimeCursorTextOf(TimeToDisplay);
  if (text != FLastText) {
    const QFontMetrics fm(FTimeFont);
    const int textW = fm.horizontalAdvance(text);
    const int w = std::max(FChosenImage.width(), FTimeLocationX + textW);
    const int h = std::max(FChosenImage.height(), FTimeLocationY + fm.height());
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.drawImage(0, 0, FChosenImage);
    p.fillRect(QRect(FTimeLocationX, FTimeLocationY, textW, fm.height()), FBrushColor);
    p.setFont(FTimeFont);
    p.setPen(FTimeColor);
    p.drawText(FTimeLocationX, FTimeLocationY + fm.ascent(), text);
    p.end();
    FLastText = text;
    FLastImage = img;
    FLastCursor = QCursor(QPixmap::fromImage(img), FHotSpotX, FHotSpotY);
  }
  ControlNeedingCursor->setCursor(FLastCursor);
}

void TTimeCursor::Update_NoTime(QWidget *ControlNeedingCursor, Qt::CursorShape Shape) {
  if (!ControlNeedingCursor) return;
  TakeOver(ControlNeedingCursor);
  ControlNeedingCursor->setCursor(Shape);
}

void TTimeCursor::Update_RestoreOriginal() {
  if (FStoredControl) FStoredControl->setCursor(FOriginal);
  FStoredControl = nullptr;
}
