#pragma once
// TvlEditorPage: what a notebook page shows: the editor view of the page's document with its own
// vertical scroll bar, and the formatter that lays the document out for it. The notebook makes
// one per tab through its view factory (MakeEditorPageFactory) and asks it, as a TvlPageView, for
// the scroll position it saves in the binder and for the caret.
//
// The page owns its formatter; the document belongs to the notebook's page record and outlives
// the view (the notebook destroys the view first, after PageView_BeginDestruction).
//
// User-interface thread only.

#include "vl09_Notebook.h"

#include <QWidget>

#include <memory>

class QScrollBar;
class TEditFormatter;
class TWindowView;

class TvlEditorPage final : public QWidget, public TvlPageView {
  Q_OBJECT

 public:
  TvlEditorPage(TDocument &Doc, QWidget *Parent);
  ~TvlEditorPage() override;

  TWindowView &View() const { return *FView; }
  TDocument &Document() const { return FDocument; }

  int PageView_ScrollPos() const override;
  bool PageView_SetScrollPos(int Position) override;
  void PageView_LayOutCompletely() override;
  void PageView_ScrollCaretIntoView(bool TimelinesFollow) override;
  void PageView_BeginDestruction() override;

 protected:
  void focusInEvent(QFocusEvent *Event) override;

 private:
  TDocument &FDocument;
  std::unique_ptr<TEditFormatter> FFormatter;
  TWindowView *FView = nullptr;
  QScrollBar *FScrollBar = nullptr;
};

// The factory the program gives the notebook: every page gets an editor page.
TvlPageViewFactory MakeEditorPageFactory();
