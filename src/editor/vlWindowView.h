#pragma once
// The window one notes document is shown and edited in. It paints the document through the
// document's formatter into an off-screen picture (drawn again only when the whole window
// needs it; a caret blink or an uncovered strip is a copy), keeps the first visible line and a
// vertical scroll bar in step, draws its own caret, hands keys to TKeyBehavior and mouse events
// to the target behaviour under the mouse, and makes the timelines follow the moment of the
// text at the caret.
//
// The view scrolls in whole lines: the first visible line's top is always the window's top.
// The last line never becomes the first visible one while there are two or more lines.
//
// Every Qt entry point runs its body inside a guard: a report never reaches Qt's event loop.
//
// User-interface thread only.

#include "ezCaret.h"
#include "vlSpelling.h"
#include "vl_Formatter.h"

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>

#include <cstdint>

class TvlGraphic;

enum TTypingMode : std::uint8_t { tmInsert, tmOverstrike };

// Mouse input to every editor view is ignored while a long operation (loading a tab, opening a
// binder) runs, and the wait cursor shows meanwhile. A scope guard, so that an operation ended
// by a report can never leave the editors deaf to the mouse for the rest of the session.
class TMouseEventsBlock {
 public:
  TMouseEventsBlock();
  ~TMouseEventsBlock();
  TMouseEventsBlock(const TMouseEventsBlock &) = delete;
  TMouseEventsBlock &operator=(const TMouseEventsBlock &) = delete;
  static int Depth();
};
enum TElements : std::uint8_t { eText, ePlayBtn, eGraphicOther };

class TWindowView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int ViewLinkColumnWidth = 20;
  static constexpr int ViewTextMarginLeft = 2;
  static constexpr int ViewTextMarginRight = 3;

  TWindowView(QWidget *Parent, const QString &TraceID);
  ~TWindowView() override;

  // ---- Binding -----------------------------------------------------------------------------

  TEditFormatter *Formatter() const { return FFormatter; }
  void SetFormatter(TEditFormatter *Formatter);
  TDocument *Document() const { return FFormatter ? FFormatter->Document() : nullptr; }
  // The vertical scroll bar (not owned); its user actions scroll the view.
  void SetScrollbar(QScrollBar *Bar);
  QScrollBar *Scrollbar() const { return FScrollBar; }
  // Late paint, key and scroll events are ignored from here on.
  void BeginDestruction() { FBlockEvents = true; }

  // ---- Caret -------------------------------------------------------------------------------

  TEasyCaret &ezCaret() { return FCaret; }
  // Shows the caret at the position and makes it the document's caret.
  void Caret_MoveToPos(const TCaretPos &NewDocPos);
  // Shows the caret at the position without changing the document.
  void Caret_MoveToPos_AllowPastLine(const TCaretPos &NewCaretPos);
  void Caret_MouseEvents_MoveTo(const TVirtualPos &VirtualPos);
  void Caret_ScrollIntoView();
  void Caret_ScrollIntoView_TimelineFollows();
  void MaybeCauseTimelineToFollow();
  // The moment the timelines follow: the character before the caret's, else the next one's;
  // below 100 when neither has one.
  TDateTime CaretMoment() const;
  void SetDesiredXFromCaret();

  // ---- Scrolling ---------------------------------------------------------------------------

  std::int32_t FirstVisibleLine() const { return FFirstVisibleLine; }
  std::int32_t LastVisibleLine() const { return FLastVisibleLine; }
  void ScrollByLines(int N);
  // A wheel's vertical turn (120 a notch), over the text or over the scroll bar: a line a notch.
  void ScrollByWheel(int AngleDeltaY);
  // The scroll bar's page: the view's height minus the last line's, at least 10.
  int LargeChange() const;
  // The first visible line becomes LN (held to 1..Lines_High - 1) and the scroll bar follows.
  void SetFirstVisibleLine(std::int32_t LN);
  // A stored scroll position (the virtual Y of the first visible line's top, as saved in a
  // binder) taken back. A view not yet shown at its real size keeps it until its first paint
  // there: a line number worked out at Qt's provisional size would not be the one the user
  // saw, and scrolling the caret into view in a window a few pixels high would leave only the
  // caret's line in view. Caret scrolls asked for meanwhile are done after the position is
  // taken, so the caret shows with the text above it.
  void RestoreScrollPosition(std::int64_t TopPixel);
  // The position kept for the first paint; -1 when none is waiting.
  std::int64_t PendingScrollPosition() const { return FPendingTopPixel; }

  // ---- Coordinates and targets -------------------------------------------------------------

  std::int64_t TopPixel() const;
  TVirtualPos VirtualPosFromWindowPos(int wX, int wY) const;
  QPoint VirtualPosToWindowPos(const TVirtualPos &V) const;
  void WhatsAt(const TVirtualPos &VirtualPos, TElements &Element, TvlGraphic *&Graphic) const;
  void ChangeCursorMethod(Qt::CursorShape NewCursor) { setCursor(NewCursor); }

  // ---- Focus -------------------------------------------------------------------------------

  bool TryToGetFocus(const QString &ErrStr);
  TTypingMode TypingMode = tmInsert;
  int PaintCount() const { return FPaintCount; }
  // Repaints everything (the off-screen picture is drawn again).
  void InvalidateAllOfMe();

  // ---- For the keyboard behaviour ----------------------------------------------------------

  // Runs a key as its behaviour code (the view manager's way to feed Enter).
  void FeedKey(std::uint16_t Code, Qt::KeyboardModifiers Modifiers);
  // Inserts committed text at the caret, every character with one moment.
  void InsertCommittedText(const QString &Text);

  // ---- Spelling ----------------------------------------------------------------------------
  //
  // Unknown words get a wavy red line, drawn over the window's picture, while the option "Check
  // spelling while typing" is on, or in this view after a check on request. Checking happens on
  // an idle timer, the visible lines only, never on the path of a key: a paragraph changed since
  // its check shows only the marks whose word is still where it was until it is checked again.
  // The word the caret ends (the one being typed) is not marked.

  bool SpellingMarksShown() const;
  TSpellMarks &SpellMarks() { return FSpellMarks; }
  // Checks the visible lines not yet checked now (the idle timer's work); answers how many
  // paragraphs were checked.
  int Spelling_CheckVisibleNow();
  // "Check Spelling": marks are shown from now on in this view, and the next unknown word from
  // the caret (round to the start) is selected and scrolled into view. False when there is none
  // or no dictionary.
  bool Spelling_CheckOnRequest();
  // The menu of the last right click while it is open (tests).
  QMenu *ContextMenu() const { return FContextMenu; }

 Q_SIGNALS:
  // The moment of the text at the caret changed (the timelines follow it).
  void CaretMomentChanged(double Moment);

 protected:
  bool event(QEvent *E) override;
  bool eventFilter(QObject *Watched, QEvent *E) override;
  void paintEvent(QPaintEvent *E) override;
  void resizeEvent(QResizeEvent *E) override;
  void keyPressEvent(QKeyEvent *E) override;
  void keyReleaseEvent(QKeyEvent *E) override;
  void inputMethodEvent(QInputMethodEvent *E) override;
  QVariant inputMethodQuery(Qt::InputMethodQuery Query) const override;
  void mousePressEvent(QMouseEvent *E) override;
  void mouseMoveEvent(QMouseEvent *E) override;
  void mouseReleaseEvent(QMouseEvent *E) override;
  void mouseDoubleClickEvent(QMouseEvent *E) override;
  void wheelEvent(QWheelEvent *E) override;
  void contextMenuEvent(QContextMenuEvent *E) override;
  void focusInEvent(QFocusEvent *E) override;
  void focusOutEvent(QFocusEvent *E) override;
  bool focusNextPrevChild(bool) override { return false; }  // Tab stays in the notes

 private:
  void ConfigureFormatter();
  void ApplyPendingScrollPosition();
  void NotifyMe_NewTopAndSize(std::int32_t NewTop, std::int32_t TotalLines);
  void Scrollbar_Update();
  void OnScrollAction(int Action);
  void KeyDownPhase(std::uint16_t Code, Qt::KeyboardModifiers Modifiers);
  void DispatchMouse(int Kind, QMouseEvent *E);
  void DrawSpellingMarks(QPainter &Painter, const QRect &Area);

  TEditFormatter *FFormatter = nullptr;
  TViewHandle FViewHandle = 0;
  QPointer<QScrollBar> FScrollBar;
  TEasyCaret FCaret;
  QImage FOffscreen;
  std::vector<RLineSignature> FDrawn;  // what FOffscreen shows, line by line
  bool FOffscreenValid = false;
  bool FBlockEvents = false;
  bool FFirstDoEnter = true;
  bool FCaretKludgeDone = false;
  bool FInClick2OfDblClick = false;
  bool FBlinkOn = true;
  bool FInScrollUpdate = false;
  std::int32_t FFirstVisibleLine = 1;
  std::int32_t FLastVisibleLine = 1;
  std::int64_t FPendingTopPixel = -1;
  bool FPendingCaretScroll = false;  // a caret scroll waits for the pending position
  int FPaintCount = 0;
  int FWheelAccumulated = 0;
  QString FInstanceName;
  QTimer FBlink;
  QTimer FFollow;  // coalesces timeline moves: the last caret position wins
  TSpellMarks FSpellMarks;
  QTimer FSpellTimer;  // idle checking of the visible lines
  bool FSpellOnRequest = false;
  int FSpellRuns = 0;
  QPointer<QMenu> FContextMenu;
};
