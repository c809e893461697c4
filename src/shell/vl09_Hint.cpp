#include "vl09_Hint.h"

#include "vlClock.h"
#include "vlColorConversion.h"
#include "vlGuard.h"
#include "vlHintPlacement.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolTip>
#include <QVariantAnimation>

#include <limits>

namespace {

// Margins around the laid-out text: 6 pixels wider and 2 taller; the text starts 2 pixels in.
constexpr int ExtraWidth = 6;
constexpr int ExtraHeight = 2;
constexpr int TextInset = 2;
constexpr int FadeMSecs = 100;

QList<QRect> ScreenRects() {
  QList<QRect> rects;
  for (const QScreen *screen : QGuiApplication::screens()) rects.append(screen->geometry());
  return rects;
}

QColor HintColor(TColor C) {
  const QColor color = TColorToQColor(C);
  return color.isValid() ? color : TColorToQColor(TvlHint::DefaultHintColor);
}

}  // namespace

TvlHint::TvlHint(QWidget *AOwner)
    : QWidget(AOwner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus),
      FLastActive(std::numeric_limits<std::int64_t>::min() / 2),
      Timer(new QTimer(this)),
      FBrushColor(HintColor(DefaultHintColor)),
      FToolTipAnimation(QApplication::isEffectEnabled(Qt::UI_AnimateTooltip)) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::PointingHandCursor);
  setMouseTracking(true);
  setFont(QToolTip::font());
  Timer->setSingleShot(true);
  connect(Timer, &QTimer::timeout, this, [this] { RunGuarded([this] { HideNow(); }); });
  FFade = new QVariantAnimation(this);
  FFade->setStartValue(0.0);
  FFade->setEndValue(1.0);
  FFade->setDuration(FadeMSecs);
  connect(FFade, &QVariantAnimation::valueChanged, this,
          [this](const QVariant &Value) { setWindowOpacity(Value.toDouble()); });
}

TvlHint::~TvlHint() = default;

QSize TvlHint::CalcHintSize(const QString &AHint) const {
  const QFontMetrics metrics(font());
  const QRect bounds = metrics.boundingRect(QRect(0, 0, FMaxWidth, 1 << 20),
                                            Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, AHint);
  return QSize(bounds.width() + ExtraWidth, bounds.height() + ExtraHeight);
}

void TvlHint::ShowIt(const QString &Hint, QPoint ScreenAt, int MSec, TColor BrushColor) {
  FBrushColor = HintColor(BrushColor);
  if (Hint.contains(QStringLiteral("Pause key"))) {
    FTranscriptionMode = true;
    Timer->stop();
  }
  const QRect rect = HintRectAt(CalcHintSize(Hint), ScreenAt);
  // A hint always hides after its time, transcription mode or not; without a time it stays
  // until hidden early or replaced.
  if (MSec > 0) {
    Timer->setInterval(MSec);
    Timer->start();
  } else {
    Timer->stop();
  }
  ActivateHint(rect, Hint);
}

void TvlHint::ShowItAdjusted(const QString &Hint, QPoint ScreenAt, int dX, int dY, int MSec,
                             TColor BrushColor) {
  ShowIt(Hint, ScreenAt + QPoint(dX, dY), MSec, BrushColor);
}

void TvlHint::ActivateHint(QRect Rect, const QString &AHint) {
  FActivating = true;
  FText = AHint;
  // What IsOnHint answers for is where the window finally is, after it was kept on the screen.
  const QRect placed = PlaceHintOnScreens(Rect, ScreenRects());
  setGeometry(placed);
  FActivatedRect = placed;
  const std::int64_t now = Clock().SteadyMSecs();
  FLastShowAnimated = HintShouldAnimate(FToolTipAnimation, now - FLastActive, AHint.size());
  FFade->stop();
  if (FLastShowAnimated) {
    setWindowOpacity(0.0);
    show();
    FFade->start();
  } else {
    setWindowOpacity(1.0);
    show();
  }
  raise();
  update();
  FLastActive = Clock().SteadyMSecs();
  FActivating = false;
}

void TvlHint::HideNow() {
  FTranscriptionMode = false;
  Timer->stop();
  FFade->stop();
  hide();
}

void TvlHint::HideEarly() { HideNow(); }

bool TvlHint::IsOnHint(QPoint ScreenPoint) const {
  return isVisible() && IsOnHintRect(FActivatedRect, ScreenPoint);
}

bool TvlHint::HideTimerActive() const { return Timer->isActive(); }

int TvlHint::HideTimerInterval() const { return Timer->interval(); }

void TvlHint::StyleApplicationToolTips() {
  QPalette palette = QToolTip::palette();
  palette.setColor(QPalette::ToolTipBase, HintColor(DefaultHintColor));
  palette.setColor(QPalette::ToolTipText, Qt::black);
  QToolTip::setPalette(palette);
}

void TvlHint::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  const QRect area = rect();
  painter.fillRect(area, FBrushColor);
  painter.setPen(FBrushColor.darker(250));
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  // Plain text: an "&" is an ordinary character here, not a mnemonic.
  painter.setPen(QToolTip::palette().color(QPalette::ToolTipText));
  painter.drawText(area.adjusted(TextInset, TextInset, 0, 0),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, FText);
}

void TvlHint::mousePressEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    if (Event->button() == Qt::LeftButton) FPressedInside = true;
    if (FMyOnMouseDown)
      FMyOnMouseDown(Event->button(), Event->modifiers(), Event->position().toPoint());
  });
}

void TvlHint::mouseReleaseEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    const bool click = Event->button() == Qt::LeftButton && FPressedInside &&
                       rect().contains(Event->position().toPoint());
    if (Event->button() == Qt::LeftButton) FPressedInside = false;
    if (FMyOnMouseUp)
      FMyOnMouseUp(Event->button(), Event->modifiers(), Event->position().toPoint());
    if (click && FMyOnClick) FMyOnClick();
  });
}

void TvlHint::mouseMoveEvent(QMouseEvent *Event) {
  RunGuarded([&] {
    if (FMyOnMouseMove) FMyOnMouseMove(Event->modifiers(), Event->position().toPoint());
  });
}
