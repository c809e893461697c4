#include "vlEditorPage.h"

#include "vlWindowView.h"
#include "vl_Formatter.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QScrollBar>

#include <algorithm>
#include <limits>

TvlEditorPage::TvlEditorPage(TDocument &Doc, QWidget *Parent)
    : QWidget(Parent), FDocument(Doc), FFormatter(std::make_unique<TEditFormatter>(&Doc)) {
  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  FView = new TWindowView(this, QStringLiteral("page"));
  FScrollBar = new QScrollBar(Qt::Vertical, this);
  layout->addWidget(FView, 1);
  layout->addWidget(FScrollBar);
  FView->SetScrollbar(FScrollBar);
  FView->SetFormatter(FFormatter.get());
  // Focus given to the page (the notebook focuses its tab's view) goes to the text. The page
  // takes focus as its text does, so that whoever asks the page whether it can be focused is
  // told the truth.
  setFocusProxy(FView);
  setFocusPolicy(FView->focusPolicy());
}

TvlEditorPage::~TvlEditorPage() {
  // The view unregisters from the formatter; it must go before the formatter does.
  FView->BeginDestruction();
  delete FView;
  FView = nullptr;
}

int TvlEditorPage::PageView_ScrollPos() const {
  // A position still waiting for the first paint is the one to save again.
  if (FView->PendingScrollPosition() >= 0)
    return static_cast<int>(
        std::min<std::int64_t>(FView->PendingScrollPosition(), std::numeric_limits<int>::max()));
  const std::int64_t top = FFormatter->Lines_TopPixel(FView->FirstVisibleLine());
  return static_cast<int>(std::clamp<std::int64_t>(top, 0, std::numeric_limits<int>::max()));
}

bool TvlEditorPage::PageView_SetScrollPos(int Position) {
  if (Position < 0) return false;
  FView->RestoreScrollPosition(Position);
  return true;
}

void TvlEditorPage::PageView_LayOutCompletely() { FFormatter->EnsureLayout(); }

void TvlEditorPage::PageView_ScrollCaretIntoView(bool TimelinesFollow) {
  if (TimelinesFollow)
    FView->Caret_ScrollIntoView_TimelineFollows();
  else
    FView->Caret_ScrollIntoView();
}

void TvlEditorPage::PageView_BeginDestruction() { FView->BeginDestruction(); }

void TvlEditorPage::focusInEvent(QFocusEvent *Event) {
  QWidget::focusInEvent(Event);
  FView->setFocus(Event->reason());
}

TvlPageViewFactory MakeEditorPageFactory() {
  return
      [](TDocument &Doc, QWidget *Parent) -> QWidget * { return new TvlEditorPage(Doc, Parent); };
}
