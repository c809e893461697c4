#include "vl09_LabelTool.h"

#include "vl09_Track.h"

#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

QString SafeLabelText(const QString &Text) {
  QString s;
  s.reserve(std::min<qsizetype>(Text.size(), MaxLabelChars));
  for (const QChar c : Text) {
    if (c.unicode() < 32 || c.unicode() == 127 || c.category() == QChar::Other_Control) continue;
    if (s.size() >= MaxLabelChars) break;
    s.append(c);
  }
  return s;
}

TvlLabelTool::TvlLabelTool(QWidget *TrackWindow, TvlTrack &CallbackvlTrack)
    : QFrame(TrackWindow), FTrack(CallbackvlTrack) {
  setFrameShape(QFrame::Box);
  setAutoFillBackground(true);
  setCursor(Qt::PointingHandCursor);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(1, 0, 1, 1);
  layout->setSpacing(0);
  FBannerLbl = new QLabel(QStringLiteral("Type Label  (Enter to finish;  Esc to cancel)"), this);
  QFont f(QStringLiteral("Arial Narrow"));
  f.setPixelSize(11);
  FBannerLbl->setFont(f);
  FBannerLbl->setAlignment(Qt::AlignCenter);
  FMemo = new QLineEdit(this);
  FMemo->setFixedHeight(19);
  FMemo->installEventFilter(this);
  layout->addWidget(FBannerLbl);
  layout->addWidget(FMemo);
  setGeometry(10, 2, 300, 36);
  FDepartureTimer = new QTimer(this);
  FDepartureTimer->setInterval(DepartureCheckMSecs);
  connect(FDepartureTimer, &QTimer::timeout, this, [this] {
    const QWidget *track = parentWidget();
    if (!track || !isVisible()) return;
    if (MouseIsTooFarAway(QCursor::pos(), QRect(track->mapToGlobal(QPoint(0, 0)), track->size())))
      MyHide();
  });
  hide();
}

void TvlLabelTool::MyShow(int X, int Y, const QString &Text, TMouseControl MC, TEventID EventHandle,
                          int TrackMargin) {
  if (EventHandle == NoEventID || EventHandle == FEventHandleShowing) return;
  if (isVisible()) MyHide();
  FEventHandleShowing = EventHandle;
  FMouseControl = MC;
  FOriginalText = Text;
  FLastStored = Text;
  FMemo->setText(Text);
  FMemo->setCursorPosition(static_cast<int>(Text.size()));
  const int windowW = parentWidget() ? parentWidget()->width() : 300;
  const int w = std::max(1, std::min(300, windowW - 2 * TrackMargin));
  const int left = std::clamp(X, 0, std::max(0, windowW - w));
  setGeometry(left, Y, w, 36);
  raise();
  show();
  FMemo->setFocus();
  FArmed = false;
  if (MC == mcHideOnDeparture) FDepartureTimer->start();
}

void TvlLabelTool::MyHide() {
  const TEventID edited = FEventHandleShowing;
  FEventHandleShowing = NoEventID;
  FDepartureTimer->stop();
  hide();
  FMemo->clear();
  if (edited != NoEventID && OnHidden) OnHidden(edited);
}

bool TvlLabelTool::MouseIsTooFarAway(const QPoint &GlobalMouse,
                                     const QRect &TrackBarsGlobal) const {
  if (FMouseControl != mcHideOnDeparture || !isVisible()) return false;
  const QPoint centre = mapToGlobal(rect().center());
  const bool far = std::abs(GlobalMouse.x() - centre.x()) > width() ||
                   GlobalMouse.y() < TrackBarsGlobal.top() ||
                   GlobalMouse.y() > TrackBarsGlobal.bottom();
  if (!far) FArmed = true;
  return far && FArmed;
}

void TvlLabelTool::Store(const QString &Text, bool Invalidate) {
  if (FEventHandleShowing == NoEventID) return;
  const QString safe = SafeLabelText(Text);
  if (safe == FLastStored && !Invalidate) return;  // modifier keys change nothing
  FLastStored = safe;
  FTrack.UpdateEventTextAndDoLowLatencyDraw(FEventHandleShowing, safe);
  if (Invalidate) FTrack.InvalidateRendering();
  if (OnTextStored) OnTextStored(FEventHandleShowing);
}

bool TvlLabelTool::eventFilter(QObject *Watched, QEvent *Event) {
  if (Watched != FMemo) return QFrame::eventFilter(Watched, Event);
  if (Event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(Event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      // The text typed so far is already stored; hiding first means no later release can store
      // the emptied edit.
      MyHide();
      return true;
    }
    if (key == Qt::Key_Escape) return true;  // acted on at release
    return false;
  }
  if (Event->type() == QEvent::KeyRelease) {
    if (FEventHandleShowing == NoEventID) return true;  // hidden meanwhile
    auto *k = static_cast<QKeyEvent *>(Event);
    if (k->isAutoRepeat()) return false;
    if (k->key() == Qt::Key_Escape) {
      Store(FOriginalText, true);
      MyHide();
      return true;
    }
    Store(FMemo->text(), k->key() == Qt::Key_Backspace);
    return false;
  }
  return QFrame::eventFilter(Watched, Event);
}

void TvlLabelTool::mousePressEvent(QMouseEvent *Event) {
  FMouseDownAbs = Event->globalPosition().toPoint();
  FMouseDownOrigin = pos();
}

void TvlLabelTool::mouseMoveEvent(QMouseEvent *Event) {
  if (!(Event->buttons() & Qt::LeftButton)) return;
  const int dx = Event->globalPosition().toPoint().x() - FMouseDownAbs.x();
  move(FMouseDownOrigin.x() + dx, y());
}
