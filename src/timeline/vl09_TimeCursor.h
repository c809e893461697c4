#pragma once
// The mouse cursor over a timeline as an arrow that carries the time under the mouse, written
// into the cursor image itself, so the user sees the exact moment while hovering.
//
// The picture is the application's own arrow (or the megaphone arrow over the slot, where a
// click plays), with the time text on a light yellow patch below it. Qt shows a new cursor as
// soon as it is set, so one QCursor per text is enough; the last one is cached, because the text
// changes at most once a second while the mouse moves every few milliseconds.
//
// User-interface thread only.

#include "vlDateTime.h"

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

// The time as the cursor and the play slider write it: the long time format cut just after its
// first space (the space kept); a space in front when the second character is not a digit (so
// one-digit hours line up), then two spaces. "1:47:36 PM" -> " 1:47:36 " + two spaces.
QString TimeCursorText(const QString &LongTimeText);
// The same for a moment, with the system locale's long time format.
QString TimeCursorTextOf(TDateTime When);

// The arrow pictures (transparent where nothing is drawn); Loud adds the megaphone.
QImage TimeCursorArrow(bool Loud);

class TTimeCursor {
 public:
  explicit TTimeCursor(bool Loud = false);

  // Another picture (not owned by the caller afterwards: copied); a null image restores the
  // default one.
  void CustomImage(const QImage &Image);
  // Gives the control the arrow with the time written in it.
  void Update_Time(QWidget *ControlNeedingCursor, TDateTime TimeToDisplay);
  // Gives the control a predefined cursor.
  void Update_NoTime(QWidget *ControlNeedingCursor, Qt::CursorShape Shape);
  // Gives the remembered control its earlier cursor back.
  void Update_RestoreOriginal();

  // The picture the last Update_Time built (for tests and for a drag label).
  const QImage &LastImage() const { return FLastImage; }
  const QString &LastText() const { return FLastText; }

  int FHotSpotX = 2, FHotSpotY = 0;
  int FTimeLocationX = 0, FTimeLocationY = 24;
  QFont FTimeFont;
  QColor FTimeColor = QColor(0, 0, 128);
  QColor FBrushColor = QColor(255, 255, 127);

 private:
  void TakeOver(QWidget *Control);

  QImage FDefaultImage;
  QImage FChosenImage;
  QPointer<QWidget> FStoredControl;
  QCursor FOriginal;
  QString FLastText;
  QImage FLastImage;
  QCursor FLastCursor;
};
