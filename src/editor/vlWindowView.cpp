#include "vlWindowView.h"

#include "vlEditorHost.h"
#include "vlGlobals.h"
#include "vlKeyBehavior.h"
#include "vlTextContextMenu.h"
#include "vlWindowViewManager.h"
#include "vldGraphic.h"
#include "vlwAtData.h"
#include "vlwTargetBehavior.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyleHints>
#include <QWheelEvent>

#include <algorithm>

namespace {

// Guards every entry point Qt calls: a report raised inside is shown, never thrown into Qt.
template <typename TBody>
void Guarded(TBody &&Body) {
  RunGuardedDeferred(std::function<void()>(std::forward<TBody>(Body)));
}

enum { mkDown, mkMove, mkUp };

}  // namespace

namespace {
int MouseBlockDepth = 0;
}  // namespace

TMouseEventsBlock::TMouseEventsBlock() {
  if (MouseBlockDepth++ == 0 && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

TMouseEventsBlock::~TMouseEventsBlock() {
  if (--MouseBlockDepth == 0 && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
    QGuiApplication::restoreOverrideCursor();
}

int TMouseEventsBlock::Depth() { return MouseBlockDepth; }

TWindowView::TWindowView(QWidget *Parent, const QString &TraceID)
    : QWidget(Parent), FInstanceName(TraceID) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_InputMethodEnabled);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setCursor(Qt::IBeamCursor);
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  if (flash > 0) {
    FBlink.setInterval(flash / 2);
    connect(&FBlink, &QTimer::timeout, this, [this] {
      FBlinkOn = !FBlinkOn;
      update(FCaret.Rect());
    });
  }
  FFollow.setSingleShot(true);
  FFollow.setInterval(0);
  connect(&FFollow, &QTimer::timeout, this, [this] {
    Guarded([this] {
      const TDateTime m = CaretMoment();
      TimelineFollower().FollowMoment(m);
      Q_EMIT CaretMomentChanged(m);
    });
  });
  // Idle checking: a while after typing began, and again while it goes on, never per key.
  FSpellTimer.setSingleShot(true);
  FSpellTimer.setInterval(150);
  connect(&FSpellTimer, &QTimer::timeout, this, [this] {
    Guarded([this] {
      if (Spelling_CheckVisibleNow() > 0) update();
    });
  });
  ViewManager().StartManagingInstance(this);
}

TWindowView::~TWindowView() {
  FBlockEvents = true;
  if (FFormatter && FViewHandle) FFormatter->Notify_UnregisterView(FViewHandle);
  if (Document()) AtDataLock().ForgetDocument(Document());
  ViewManager().StopManagingInstance(this);
}

void TWindowView::SetFormatter(TEditFormatter *Formatter) {
  if (FFormatter && FViewHandle) FFormatter->Notify_UnregisterView(FViewHandle);
  if (Document()) AtDataLock().ForgetDocument(Document());
  FFormatter = Formatter;
  FFirstVisibleLine = 1;
  FPendingTopPixel = -1;
  FPendingCaretScroll = false;
  FViewHandle = 0;
  FFirstDoEnter = true;
  if (!FFormatter) return;
  FViewHandle = FFormatter->Notify_RegisterView(
      [this](std::int32_t &Top) { Top = FFirstVisibleLine; },
      [this](std::int32_t NewTop, std::int32_t Total) { NotifyMe_NewTopAndSize(NewTop, Total); },
      [](const TCaretPos &, const TCaretPos &) {});
  ConfigureFormatter();
  FFormatter->Initialize();
  InvalidateAllOfMe();
}

void TWindowView::SetScrollbar(QScrollBar *Bar) {
  if (FScrollBar) {
    disconnect(FScrollBar, nullptr, this, nullptr);
    FScrollBar->removeEventFilter(this);
  }
  FScrollBar = Bar;
  if (!Bar) return;
  Bar->setFocusPolicy(Qt::NoFocus);
  // The wheel over the scroll bar scrolls as it does over the text. Left to the bar, a notch
  // moves its value by a few pixels, which the snap to a line's top undoes going down.
  Bar->installEventFilter(this);
  connect(Bar, &QAbstractSlider::actionTriggered, this, [this](int A) { OnScrollAction(A); });
  Scrollbar_Update();
}

void TWindowView::ConfigureFormatter() {
  if (!FFormatter) return;
  FFormatter->MultipleWrappingChanges_Begin();
  FFormatter->SetCanvasWidth(width());
  FFormatter->Background = 0xFFFFFF;
  FFormatter->SetLinkColumnWidth(ViewLinkColumnWidth);
  FFormatter->SetTextMarginLeft(ViewTextMarginLeft);
  FFormatter->SetTextMarginRight(ViewTextMarginRight);
  FFormatter->MultipleWrappingChanges_End();
}

void TWindowView::InvalidateAllOfMe() {
  FOffscreenValid = false;
  update();
}

// ---- Scrolling ---------------------------------------------------------------------------------

void TWindowView::NotifyMe_NewTopAndSize(std::int32_t NewTop, std::int32_t TotalLines) {
  FFirstVisibleLine = std::clamp(NewTop, 1, std::max(1, TotalLines - 1));
  Scrollbar_Update();
}

int TWindowView::LargeChange() const {
  if (!FFormatter) return 10;
  return std::max(10, height() - FFormatter->Lines_Height(FFormatter->Lines_High()));
}

void TWindowView::Scrollbar_Update() {
  if (!FScrollBar || !FFormatter || FInScrollUpdate) return;
  FInScrollUpdate = true;
  // Positions are virtual pixels of line tops. Qt's maximum is the last reachable value, so it
  // is the top of the last line that may be first (the last but one).
  const std::int32_t high = FFormatter->Lines_High();
  const auto clamp32 = [](std::int64_t V) {
    return static_cast<int>(std::clamp<std::int64_t>(V, 0, INT32_MAX / 2));
  };
  const int maxTop = clamp32(FFormatter->Lines_TopPixel(std::max(1, high - 1)));
  const QSignalBlocker block(FScrollBar);
  FScrollBar->setRange(0, maxTop);
  FScrollBar->setPageStep(std::max(1, height()));
  FScrollBar->setSingleStep(1);
  FScrollBar->setValue(clamp32(FFormatter->Lines_TopPixel(FFirstVisibleLine)));
  FInScrollUpdate = false;
}

void TWindowView::SetFirstVisibleLine(std::int32_t LN) {
  if (!FFormatter) return;
  // A line asked for now wins over a position kept for the first paint.
  FPendingTopPixel = -1;
  FPendingCaretScroll = false;
  const std::int32_t high = FFormatter->Lines_High();
  FFirstVisibleLine = std::clamp(LN, 1, std::max(1, high - 1));
  Scrollbar_Update();
  if (Document()) Caret_MoveToPos_AllowPastLine(Document()->FAtPos);
  InvalidateAllOfMe();
}

void TWindowView::RestoreScrollPosition(std::int64_t TopPixel) {
  if (!FFormatter) return;
  FPendingTopPixel = std::max<std::int64_t>(0, TopPixel);
  FPendingCaretScroll = false;
  // Shown and painted: the size is the real one, so the position is taken at once.
  if (isVisible() && FPaintCount > 0) ApplyPendingScrollPosition();
}

void TWindowView::ApplyPendingScrollPosition() {
  if (FPendingTopPixel < 0 || !FFormatter) return;
  const std::int64_t y = FPendingTopPixel;
  FPendingTopPixel = -1;
  ConfigureFormatter();
  const std::int32_t high = FFormatter->Lines_High();
  FFirstVisibleLine =
      std::clamp(FFormatter->Lines_LineNumFromVirtualY(y), 1, std::max(1, high - 1));
  Scrollbar_Update();
  InvalidateAllOfMe();
  // The caret scrolls asked for meanwhile, done now that the size is known.
  if (FPendingCaretScroll) {
    FPendingCaretScroll = false;
    Caret_ScrollIntoView();
  } else if (Document()) {
    Caret_MoveToPos_AllowPastLine(Document()->FAtPos);
  }
}

void TWindowView::ScrollByLines(int N) { SetFirstVisibleLine(FFirstVisibleLine + N); }

void TWindowView::OnScrollAction(int Action) {
  if (FBlockEvents || !FFormatter) return;
  Guarded([this, Action] {
    // An arrow click moves one line whatever its height; the rest snaps to a line's top.
    if (Action == QAbstractSlider::SliderSingleStepAdd) return ScrollByLines(1);
    if (Action == QAbstractSlider::SliderSingleStepSub) return ScrollByLines(-1);
    const int pos = FScrollBar->sliderPosition();
    SetFirstVisibleLine(FFormatter->Lines_LineNumFromVirtualPos(TVirtualPos{0, pos}));
  });
}

void TWindowView::wheelEvent(QWheelEvent *E) {
  E->accept();
  ScrollByWheel(E->angleDelta().y());
}

bool TWindowView::eventFilter(QObject *Watched, QEvent *E) {
  if (Watched == FScrollBar && E->type() == QEvent::Wheel) {
    auto *wheel = static_cast<QWheelEvent *>(E);
    wheel->accept();
    ScrollByWheel(wheel->angleDelta().y());
    return true;
  }
  return QWidget::eventFilter(Watched, E);
}

void TWindowView::ScrollByWheel(int AngleDeltaY) {
  // Vertical only: a sideways swipe (y = 0) never scrolls the notes. Fine-grained wheels add up
  // to a notch (120) per line.
  const int dy = AngleDeltaY;
  if (dy == 0 || FBlockEvents || !FFormatter) return;
  Guarded([this, dy] {
    FWheelAccumulated += dy;
    while (FWheelAccumulated >= 120) {
      FWheelAccumulated -= 120;
      ScrollByLines(-1);
    }
    while (FWheelAccumulated <= -120) {
      FWheelAccumulated += 120;
      ScrollByLines(1);
    }
  });
}

// ---- Coordinates -------------------------------------------------------------------------------

std::int64_t TWindowView::TopPixel() const {
  if (!FFormatter) {
    ErrorReportInDebug(QStringLiteral("Unexpected nil at WV.TP"));
    return 0;
  }
  return FFormatter->Lines_TopPixel(std::clamp(FFirstVisibleLine, 1, FFormatter->Lines_High()));
}

TVirtualPos TWindowView::VirtualPosFromWindowPos(int wX, int wY) const {
  return TVirtualPos{wX, wY + TopPixel()};
}

QPoint TWindowView::VirtualPosToWindowPos(const TVirtualPos &V) const {
  return QPoint(V.vX,
                static_cast<int>(std::clamp<std::int64_t>(V.vY - TopPixel(), -1000000, 1000000)));
}

void TWindowView::WhatsAt(const TVirtualPos &VirtualPos, TElements &Element,
                          TvlGraphic *&Graphic) const {
  Graphic = nullptr;
  if (VirtualPos.vX < ViewLinkColumnWidth) {
    Element = ePlayBtn;
    return;
  }
  Graphic = FFormatter ? FFormatter->Graphic_FindTouched(VirtualPos) : nullptr;
  Element = Graphic ? eGraphicOther : eText;
}

// ---- Caret -------------------------------------------------------------------------------------

void TWindowView::Caret_MoveToPos_AllowPastLine(const TCaretPos &NewCaretPos) {
  if (!FFormatter || !Document()) return;
  const TCaretPos pos = FFormatter->Normalized(NewCaretPos);
  const QPoint w = VirtualPosToWindowPos(FFormatter->Map_VirtualPosFromDocPos(pos));
  // The caret takes the shape of the character before it.
  TCaretPos before = pos;
  if (before.FGN > 1) Document()->CaretPosition_TryPrevious(before);
  const TFontIndex font = Document()->Char_GetFontIndex(before);
  const int h = FFormatter->Char_Height(before);
  const QRect old = FCaret.Rect();
  FCaret.MoveToAndShow(w.x(), w.y(), 2, 2, h, Document()->FontsInUse.GetFontStyle(font));
  if (!hasFocus()) FCaret.Hide();
  FBlinkOn = true;
  update(old);
  update(FCaret.Rect());
  EditorHost().UpdateFontButtonState(font);
}

void TWindowView::Caret_MoveToPos(const TCaretPos &NewDocPos) {
  if (!Document()) return;
  Document()->FAtPos = NewDocPos;
  Caret_MoveToPos_AllowPastLine(NewDocPos);
}

void TWindowView::SetDesiredXFromCaret() {
  if (FFormatter && Document())
    FCaret.DesiredX = FFormatter->Map_VirtualPosFromDocPos(Document()->FAtPos).vX;
}

void TWindowView::Caret_MouseEvents_MoveTo(const TVirtualPos &VirtualPos) {
  if (!FFormatter || !Document()) return;
  const TCaretPos pos = FFormatter->Map_DocPosFromVirtualPos(VirtualPos);
  FCaret.DesiredX = VirtualPos.vX;
  Document()->AtPos_NoSelectionSet(pos);
  Caret_MoveToPos_AllowPastLine(pos);
  ViewManager().InvalidateAll(this);
  MaybeCauseTimelineToFollow();
}

void TWindowView::Caret_ScrollIntoView() {
  if (!FFormatter || !Document()) return;
  if (FPendingTopPixel >= 0) {
    // Not at its real size yet: the first paint restores the position, then does this.
    FPendingCaretScroll = true;
    Caret_MoveToPos_AllowPastLine(Document()->FAtPos);
    return;
  }
  const std::int32_t high = FFormatter->Lines_High();
  const std::int32_t L =
      FFormatter->Lines_LineNumFromDocPos(FFormatter->Normalized(Document()->FAtPos));
  if (L < FFirstVisibleLine) {
    FFirstVisibleLine = std::clamp(L, 1, std::max(1, high - 1));
    Scrollbar_Update();
    InvalidateAllOfMe();
  } else {
    const std::int64_t bottom = FFormatter->Lines_TopPixel(L) + FFormatter->Lines_Height(L);
    if (bottom >= FFormatter->Lines_TopPixel(FFirstVisibleLine) + height()) {
      // Held to L at most: a line taller than the window must not leave the caret's line above
      // it (or scroll past the document's end).
      std::int32_t top =
          FFormatter->Lines_GetLineNum_YPixelsAboveLowerLN(height(), std::min(L + 1, high));
      if (L + 1 > high) top = FFormatter->Lines_GetLineNum_YPixelsAboveLowerLN(height(), L) + 1;
      top = std::min(top, L);
      FFirstVisibleLine = std::clamp(top, 1, std::max(1, high - 1));
      Scrollbar_Update();
      InvalidateAllOfMe();
    }
  }
  Caret_MoveToPos_AllowPastLine(Document()->FAtPos);
}

void TWindowView::Caret_ScrollIntoView_TimelineFollows() {
  Caret_ScrollIntoView();
  MaybeCauseTimelineToFollow();
}

TDateTime TWindowView::CaretMoment() const {
  const TDocument *doc = Document();
  if (!doc) return 0;
  const auto momentOf = [doc](const TCaretPos &P) -> TDateTime {
    const TParagraph *p = doc->Paragraph_FromSectionNum(P.SN);
    if (!p || P.FGN < 1 || P.FGN > p->High()) return 0;
    const RvlTimestamp ts = p->Timestamp_Get(P.FGN);
    return ts.FEffectiveDT >= 100 ? ts.FEffectiveDT : ts.RealDT;
  };
  TCaretPos before = doc->FAtPos;
  TDateTime m = 0;
  if (doc->CaretPosition_TryPrevious(before)) m = momentOf(before);
  if (m < 100) {
    const TCaretPos next = doc->FAtPos;
    TCaretPos probe = next;
    if (doc->CaretPosition_TryNext(probe)) m = momentOf(next);
  }
  return m;
}

void TWindowView::MaybeCauseTimelineToFollow() { FFollow.start(); }

// ---- Painting ----------------------------------------------------------------------------------

void TWindowView::paintEvent(QPaintEvent *E) {
  if (FBlockEvents) return;
  const QRect area = E->rect();
  Guarded([this, area] {
    ++FPaintCount;
    QPainter painter(this);
    if (!FFormatter) {
      painter.fillRect(rect(), Qt::white);
      return;
    }
    const qreal dpr = devicePixelRatioF();
    const QSize want = size() * dpr;
    if (FOffscreen.size() != want) {
      FOffscreen = QImage(want, QImage::Format_RGB32);
      FOffscreen.setDevicePixelRatio(dpr);
      FOffscreenValid = false;
      FDrawn.clear();
    }
    if (FPendingTopPixel >= 0) ApplyPendingScrollPosition();
    if (!FOffscreenValid || area == rect()) {
      ConfigureFormatter();
      FFormatter->WrapVisiblePartNowIfNecessary(FFirstVisibleLine, height());
      QPainter off(&FOffscreen);
      std::int64_t top = 0;
      FFormatter->DrawWindow(off, QRect(0, 0, width(), height()), FFirstVisibleLine,
                             FLastVisibleLine, top, &FDrawn);
      FOffscreenValid = true;
    }
    painter.drawImage(area, FOffscreen, QRectF(area.topLeft() * dpr, area.size() * dpr));
    DrawSpellingMarks(painter, area);
    FCaret.Draw(painter, FBlinkOn && hasFocus());
    if (!FCaretKludgeDone && Document()) {
      // Once, after the first paint: the caret where the document has it.
      FCaretKludgeDone = true;
      QTimer::singleShot(0, this, [this] {
        Guarded([this] {
          SetDesiredXFromCaret();
          Caret_ScrollIntoView_TimelineFollows();
        });
      });
    }
  });
}

void TWindowView::resizeEvent(QResizeEvent *) {
  Guarded([this] {
    ConfigureFormatter();
    InvalidateAllOfMe();
    Scrollbar_Update();
    if (Document()) Caret_MoveToPos_AllowPastLine(Document()->FAtPos);
  });
}

// ---- Keys --------------------------------------------------------------------------------------

bool TWindowView::event(QEvent *E) {
  if (E->type() == QEvent::ShortcutOverride) {
    // The editor keeps its keys; the others (Ctrl+A speed, Ctrl+Z and so on) go to the actions.
    if (EditorKeepsShortcut(*static_cast<QKeyEvent *>(E))) {
      E->accept();
      return true;
    }
  }
  if (E->type() == QEvent::WindowActivate || E->type() == QEvent::WindowDeactivate) {
    if (E->type() == QEvent::WindowActivate && hasFocus()) {
      FCaret.Show();
      ViewManager().SetLatestFocusedWindowView(this);
    } else if (E->type() == QEvent::WindowDeactivate) {
      FCaret.Hide();
    }
    update(FCaret.Rect());
  }
  return QWidget::event(E);
}

void TWindowView::KeyDownPhase(std::uint16_t Code, Qt::KeyboardModifiers Modifiers) {
  TDocument *doc = Document();
  if (!doc || !FFormatter) return;
  const bool selectedBefore = doc->Select_IsAnyTextSelected();
  try {
    TKeyBehavior(*this).KeyDown(Code, Modifiers);
  } catch (const ReportedError &) {
    throw;
  } catch (const std::exception &e) {
    ErrorReportInDebug(QStringLiteral("KeyBehavior error:") + QString::fromUtf8(e.what()));
  }
  const bool navigation = (Code >= 5 && Code <= 7) || Code == 10 || (Code >= 33 && Code <= 36);
  if (!navigation) return;
  if (Modifiers.testFlag(Qt::ShiftModifier)) {
    ViewManager().InvalidateAll(this);
  } else if (doc->Select_IsAnyTextSelected() || selectedBefore) {
    doc->Select_Clear();
    ViewManager().InvalidateAll(this);
  }
}

void TWindowView::FeedKey(std::uint16_t Code, Qt::KeyboardModifiers Modifiers) {
  Guarded([&] { KeyDownPhase(Code, Modifiers); });
}

void TWindowView::keyPressEvent(QKeyEvent *E) {
  // Every key stays here: unhandled ones must not reach the tab widget (Ctrl+Tab, Ctrl+PgDn).
  E->accept();
  if (FBlockEvents) return;
  const std::uint16_t code = BehaviorKeyCode(*E);
  const Qt::KeyboardModifiers mods = E->modifiers() & ~Qt::KeypadModifier;
  const QChar typed = TypedCharacter(*E);
  Guarded([&] {
    if (code != 0) KeyDownPhase(code, mods);
    // Letters and digits have codes too; they still type when no Ctrl, Alt or Meta is held.
    if (!typed.isNull() && Document()) {
      try {
        TKeyBehavior(*this).KeyPress(typed);
      } catch (const ReportedError &) {
        throw;
      } catch (const std::exception &e) {
        ErrorReportInDebug(QStringLiteral("KeyBehavior error:") + QString::fromUtf8(e.what()));
      }
    }
  });
}

void TWindowView::keyReleaseEvent(QKeyEvent *E) {
  E->accept();
  if (E->isAutoRepeat() || FBlockEvents) return;
  Guarded([] { TimelineFollower().KeyReleased(); });
}

void TWindowView::InsertCommittedText(const QString &Text) {
  TDocument *doc = Document();
  if (!doc) return;
  // An input method commits printable text; a line feed or a control character in a commit is
  // no key the user pressed.
  QString typed;
  for (QChar c : Text)
    if (c.isPrint() && c != u'\n') typed += c;
  if (typed.isEmpty()) return;
  doc->Text_Type(typed, doc->FontsInUse.CurrentFont_GetIndex(), false);
  // A commit ending in a separator ends a word, as a typed one does.
  if (const QChar last = typed.back(); !last.isLetterOrNumber() && last != u'\'' && last != u'-' &&
                                       Spelling().CorrectCommonMistakes())
    AutoCorrectWordEndingAt(*doc, doc->FAtPos.SN, doc->FAtPos.FGN - 1);
  ViewManager().InvalidateAll(this);
  SetDesiredXFromCaret();
  Caret_ScrollIntoView_TimelineFollows();
}

void TWindowView::inputMethodEvent(QInputMethodEvent *E) {
  E->accept();
  if (FBlockEvents) return;
  const QString commit = E->commitString();
  Guarded([this, commit] { InsertCommittedText(commit); });
}

QVariant TWindowView::inputMethodQuery(Qt::InputMethodQuery Query) const {
  if (Query == Qt::ImCursorRectangle) return FCaret.Rect();
  if (Query == Qt::ImEnabled) return true;
  return QWidget::inputMethodQuery(Query);
}

// ---- Mouse -------------------------------------------------------------------------------------

void TWindowView::DispatchMouse(int Kind, QMouseEvent *E) {
  if (FBlockEvents || !FFormatter || !Document()) return;
  if (TMouseEventsBlock::Depth() > 0 && Kind != mkUp) return;
  // The right button opens the text's menu (contextMenuEvent), which places the caret itself:
  // a click inside the selection must keep it, so that the menu can cut or copy it.
  if (E->button() == Qt::RightButton && Kind != mkMove) {
    if (Kind == mkDown && !hasFocus()) TryToGetFocus(QStringLiteral("RightClick"));
    return;
  }
  const QPoint pt = E->position().toPoint();
  const Qt::MouseButton button = E->button();
  const Qt::MouseButtons buttons = E->buttons();
  const Qt::KeyboardModifiers mods = E->modifiers();
  Guarded([&] {
    if (Kind == mkDown) {
      if (FInClick2OfDblClick) return;
      if (!hasFocus() && !TryToGetFocus(QStringLiteral("MouseDown"))) {
      }
      TAtData at(lmCreateLock, *this, button, buttons, mods, pt);
      if (TvlGraphic *g = at.FGraphicAtXY; g && g->FZOrder > 1) {
        // The order of pictures is saved: the journal and the undo history keep it like any
        // other change.
        Document()->Graphic_BringToFront(g);
        InvalidateAllOfMe();
      }
      TargetBehaviorFor(at.Element()).MouseDown(at);
    } else if (Kind == mkMove) {
      if (FInClick2OfDblClick) return;
      const bool locked = buttons != Qt::NoButton && AtDataLock().Valid();
      TAtData at(locked ? lmUseLocked : lmIgnoreLocked, *this, button, buttons, mods, pt);
      TargetBehaviorFor(at.Element()).MouseMove(at);
    } else {
      if (FInClick2OfDblClick) {
        FInClick2OfDblClick = false;
        return;
      }
      TAtData at(lmUseLocked, *this, button, buttons, mods, pt);
      TargetBehaviorFor(at.Element()).MouseUp(at);
      if (buttons == Qt::NoButton) AtDataLock().Clear();
    }
  });
}

void TWindowView::mousePressEvent(QMouseEvent *E) { DispatchMouse(mkDown, E); }
void TWindowView::mouseMoveEvent(QMouseEvent *E) { DispatchMouse(mkMove, E); }
void TWindowView::mouseReleaseEvent(QMouseEvent *E) { DispatchMouse(mkUp, E); }

void TWindowView::mouseDoubleClickEvent(QMouseEvent *E) {
  if (FBlockEvents || !FFormatter) return;
  FInClick2OfDblClick = true;
  const QPoint pt = E->position().toPoint();
  Guarded([&] {
    TAtData at(lmUsePrevious, *this, E->button(), E->buttons(), E->modifiers(), pt);
    TargetBehaviorFor(at.Element()).DblClick(at);
  });
}

// ---- Focus -------------------------------------------------------------------------------------

bool TWindowView::TryToGetFocus(const QString &ErrStr) {
  if (isVisible() && isEnabled()) {
    setFocus(Qt::MouseFocusReason);
    return true;
  }
  ErrorReportInDebug(QStringLiteral("Can't focus: ") + ErrStr);
  return false;
}

void TWindowView::focusInEvent(QFocusEvent *) {
  Guarded([this] {
    ViewManager().SetLatestFocusedWindowView(this);
    if (FBlink.interval() > 0) FBlink.start();
    if (!Document()) return;
    if (FFirstDoEnter) {
      FFirstDoEnter = false;
      Document()->Paragraph_MakeSureThereIsOne();
      Caret_MoveToPos_AllowPastLine(Document()->FAtPos);
      SetDesiredXFromCaret();
    } else {
      Caret_ScrollIntoView_TimelineFollows();
    }
    FCaret.Show();
    update(FCaret.Rect());
  });
}

void TWindowView::focusOutEvent(QFocusEvent *) {
  FBlink.stop();
  FCaret.Hide();
  update(FCaret.Rect());
}

// ---- Spelling ----------------------------------------------------------------------------------

namespace {

// A wavy line under the pixels X1..X2 - 1 whose lowest points lie on Y: 3 pixels high, a wave
// every 4 pixels. It stops short of X2, where the next character begins. The wave is drawn once
// into a strip (per pixel ratio) and copied from there: a few hundred polylines a paint, one per
// unknown word on screen, would cost the keystroke more than the rest of its paint.
void DrawWave(QPainter &P, int X1, int X2, int Y) {
  constexpr int StripWidth = 4096;
  static QImage strip;
  const qreal dpr = P.device() ? P.device()->devicePixelRatioF() : 1.0;
  if (strip.isNull() || !qFuzzyCompare(strip.devicePixelRatio(), dpr)) {
    strip = QImage(QSize(StripWidth, 3) * dpr, QImage::Format_ARGB32_Premultiplied);
    strip.setDevicePixelRatio(dpr);
    strip.fill(Qt::transparent);
    QPainter w(&strip);
    w.setPen(QPen(QColor(220, 0, 0), 1));
    QPolygon wave;
    for (int x = 0, k = 0; x <= StripWidth; x += 2, ++k) wave << QPoint(x, (k % 2) ? 0 : 2);
    w.drawPolyline(wave);
  }
  if (X2 <= X1 + 1) X2 = X1 + 4;
  const int w = std::min(X2 - X1, StripWidth);
  P.drawImage(QRectF(X1, Y - 2, w, 3), strip, QRectF(0, 0, w * dpr, 3 * dpr));
}

}  // namespace

bool TWindowView::SpellingMarksShown() const {
  // The option first: with spelling off, no dictionary is ever loaded for a paint.
  if (!FSpellOnRequest && !Spelling().CheckWhileTyping()) return false;
  const TSpellChecker *c = Spelling().Checker();
  return c && c->IsLoaded();
}

int TWindowView::Spelling_CheckVisibleNow() {
  TSpellChecker *c = Spelling().Checker();
  TDocument *doc = Document();
  if (!c || !c->IsLoaded() || !FFormatter || !doc) return 0;
  int checked = 0;
  int lastSN = -1;
  const std::int32_t last = std::min(FLastVisibleLine, FFormatter->Lines_High());
  for (std::int32_t L = FFirstVisibleLine; L <= last; ++L) {
    std::int32_t sn = 0, a = 0, b = 0;
    if (!FFormatter->Lines_Locate(L, sn, a, b) || sn == lastSN) continue;
    lastSN = sn;
    const TParagraph *p = doc->Paragraph_FromSectionNum(sn);
    if (!p || FSpellMarks.Current(*p, *c)) continue;
    FSpellMarks.Check(*p, *c);
    ++checked;
  }
  // Paragraphs deleted or scrolled past long ago are let go now and then.
  if (++FSpellRuns % 64 == 0 && FSpellMarks.Size() > 512) FSpellMarks.Prune(*doc);
  return checked;
}

void TWindowView::DrawSpellingMarks(QPainter &Painter, const QRect &Area) {
  if (!FFormatter || !SpellingMarksShown()) return;
  TDocument *doc = Document();
  if (!doc) return;
  const TSpellChecker &checker = *Spelling().Checker();
  const std::int64_t top = TopPixel();
  const std::int32_t last = std::min(FLastVisibleLine, FFormatter->Lines_High());
  const bool typing = hasFocus() && !doc->Select_IsAnyTextSelected();
  bool pending = false;
  for (std::int32_t L = FFirstVisibleLine; L <= last; ++L) {
    const std::int64_t y0 = FFormatter->Lines_TopPixel(L) - top;
    if (y0 >= height()) break;
    std::int32_t sn = 0, a = 0, b = 0;
    if (!FFormatter->Lines_Locate(L, sn, a, b)) continue;
    const TParagraph *p = doc->Paragraph_FromSectionNum(sn);
    if (!p) continue;
    const std::vector<RSpellMark> *marks = FSpellMarks.Current(*p, checker);
    const bool stale = marks == nullptr;
    if (stale) {
      pending = true;
      marks = FSpellMarks.Last(*p);
      if (!marks) continue;
    }
    const int h = FFormatter->Lines_Height(L);
    if (y0 + h <= Area.top() || y0 > Area.bottom()) continue;
    // X of the gaps along the line in one walk from its start, summing the widths the formatter
    // measures with (marks are in order): a position looked up per mark would measure the line
    // from its start every time.
    ITextMetrics &metrics = FFormatter->Metrics();
    metrics.Reset(doc->FontsInUse, FFormatter->FontScale());
    const QString &text = p->Text();
    const std::vector<TFontIndex> &fonts = p->Fonts();
    int gap = a;
    int x = FFormatter->Map_VirtualPosFromDocPos(TCaretPos{sn, a, false}).vX;
    TFontIndex current = -1;
    bool anyFont = false;
    const auto advanceTo = [&](int Gap) {
      for (; gap < Gap && gap <= p->High(); ++gap) {
        const TFontIndex f = fonts[static_cast<std::size_t>(gap - 1)];
        if (!anyFont || f != current) {
          metrics.ApplyFont(f);
          current = f;
          anyFont = true;
        }
        x += metrics.TextWidth(text[gap - 1]);
      }
      return x;
    };
    for (const RSpellMark &m : *marks) {
      const int mEnd = m.First + m.Length - 1;
      if (mEnd < a || m.First > b) continue;
      // A changed paragraph keeps a mark only where its word still is.
      if (stale && QStringView(text).mid(m.First - 1, m.Length) != m.Word) continue;
      // The word being typed is left alone until the caret leaves its end.
      if (typing && doc->FAtPos.SN == sn && doc->FAtPos.FGN == mEnd + 1) continue;
      const int x1 = advanceTo(std::max(m.First, a));
      const int x2 = advanceTo(std::min(mEnd, b) + 1);
      DrawWave(Painter, x1, x2, static_cast<int>(y0) + h - 1);
    }
  }
  if (pending && !FSpellTimer.isActive()) FSpellTimer.start();
}

bool TWindowView::Spelling_CheckOnRequest() {
  TSpellChecker *c = Spelling().Checker();
  TDocument *doc = Document();
  if (!c || !c->IsLoaded() || !doc) return false;
  FSpellOnRequest = true;
  // From the end of a selection, so that asking again goes on to the next word.
  const TCaretPos from = doc->Select_IsAnyTextSelected() ? doc->SelectPos_End() : doc->FAtPos;
  TCaretPos start, stop;
  const bool found = FindNextUnknownWord(*doc, *c, from, start, stop);
  if (found) {
    doc->AtPos_NoSelectionSet(start);
    doc->FAtPos = stop;
  }
  ViewManager().InvalidateAll(this);
  SetDesiredXFromCaret();
  Caret_ScrollIntoView_TimelineFollows();
  return found;
}

void TWindowView::contextMenuEvent(QContextMenuEvent *E) {
  E->accept();
  if (FBlockEvents || !FFormatter || !Document()) return;
  // From the keyboard's menu key: at the caret.
  const QPoint at = E->reason() == QContextMenuEvent::Keyboard ? FCaret.Rect().center() : E->pos();
  const QPoint global = mapToGlobal(at);
  Guarded([this, at, global] {
    if (FContextMenu) FContextMenu->deleteLater();
    QMenu *menu = MakeTextContextMenu(*this, at, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    FContextMenu = menu;
    menu->popup(global);
  });
}
