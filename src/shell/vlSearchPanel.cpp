#include "vlSearchPanel.h"

#include "vl09_Notebook.h"
#include "vlGuard.h"
#include "vlPrintLayout.h"
#include "vlWindowView.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Draws a result line as plain text with its hit in bold.
class TResultDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter *Painter, const QStyleOptionViewItem &Option,
             const QModelIndex &Index) const override {
    const int length = Index.data(TSearchPanel::HitLengthRole).toInt();
    if (length <= 0) {
      QStyledItemDelegate::paint(Painter, Option, Index);
      return;
    }
    QStyleOptionViewItem option = Option;
    initStyleOption(&option, Index);
    const QString text = option.text;
    option.text.clear();
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : nullptr;
    if (style) style->drawControl(QStyle::CE_ItemViewItem, &option, Painter, widget);

    const int start = std::clamp(Index.data(TSearchPanel::HitStartRole).toInt(), 0,
                                 static_cast<int>(text.size()));
    const int end = std::min(static_cast<int>(text.size()), start + length);
    Painter->save();
    Painter->setPen(option.palette.color(
        (option.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text));
    QRect area = option.rect.adjusted(3, 0, -2, 0);
    // Only what the panel shows counts: a narrow panel would hide the hit at the right.
    if (const auto *view = qobject_cast<const QAbstractScrollArea *>(widget))
      area.setRight(std::min(area.right(), view->viewport()->width() - 3));
    QFont bold = option.font;
    bold.setBold(true);
    const QFontMetrics plain(option.font), heavy(bold);
    QString pieces[3] = {text.left(start), text.mid(start, end - start), text.mid(end)};
    // The context before the hit gives way (from its start, after the tab and the time) until
    // the hit fits; what follows the hit is cut with an ellipsis.
    static const QString ellipsis = QStringLiteral("\u2026");
    const qsizetype header = pieces[0].lastIndexOf(QStringLiteral(" \u00B7 ")) + 3;
    QString context = pieces[0].mid(header);
    if (context.startsWith(ellipsis)) context.remove(0, 1);
    while (!context.isEmpty() &&
           plain.horizontalAdvance(pieces[0]) + heavy.horizontalAdvance(pieces[1]) > area.width()) {
      context.remove(0, 1);
      pieces[0] = pieces[0].left(header) + ellipsis + context;
    }
    const int rest =
        area.width() - plain.horizontalAdvance(pieces[0]) - heavy.horizontalAdvance(pieces[1]);
    pieces[2] = plain.elidedText(pieces[2], Qt::ElideRight, std::max(0, rest));
    for (int i = 0; i < 3 && area.width() > 0; ++i) {
      Painter->setFont(i == 1 ? bold : option.font);
      Painter->drawText(area, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, pieces[i]);
      area.setLeft(area.left() + (i == 1 ? heavy : plain).horizontalAdvance(pieces[i]));
    }
    Painter->restore();
  }
};

}  // namespace

TSearchPanel::TSearchPanel(QWidget *Parent) : QWidget(Parent) {
  setObjectName(QStringLiteral("SearchPanel"));
  SearchCmBx = new QComboBox(this);
  SearchCmBx->setObjectName(QStringLiteral("SearchCmBx"));
  SearchCmBx->setEditable(true);
  SearchCmBx->setInsertPolicy(QComboBox::NoInsert);
  SearchCmBx->lineEdit()->setPlaceholderText(QStringLiteral("Search"));
  // Keys typed into the box reach the combo box, which hands them to its line edit by calling
  // the line edit's event() directly: a filter on the line edit alone never sees Enter.
  SearchCmBx->installEventFilter(this);
  SearchCmBx->lineEdit()->installEventFilter(this);
  SearchBtn = new QToolButton(this);
  SearchBtn->setObjectName(QStringLiteral("SearchBtn"));
  SearchBtn->setText(QStringLiteral("L"));
  SearchBtn->setToolTip(QStringLiteral("Search"));
  CloseBtn = new QToolButton(this);
  CloseBtn->setObjectName(QStringLiteral("CloseBtn"));
  CloseBtn->setText(QStringLiteral("X"));
  CloseBtn->setToolTip(QStringLiteral("Close"));
  ResultsLB = new QListWidget(this);
  ResultsLB->setObjectName(QStringLiteral("ResultsLB"));
  // Results may run to thousands of lines: one height for all keeps the list fast.
  ResultsLB->setUniformItemSizes(true);
  ResultsLB->setItemDelegate(new TResultDelegate(ResultsLB));
  // Each line fits the panel (the delegate cuts it around the hit); the tool tip has the rest.
  ResultsLB->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  auto *top = new QHBoxLayout;
  top->setContentsMargins(0, 0, 0, 0);
  top->setSpacing(1);
  top->addWidget(SearchCmBx, 1);
  top->addWidget(SearchBtn);
  top->addWidget(CloseBtn);
  auto *column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  column->addLayout(top);
  column->addWidget(ResultsLB, 1);

  connect(SearchBtn, &QToolButton::clicked, this,
          [this] { RunGuarded([this] { SearchFromBox(); }); });
  connect(CloseBtn, &QToolButton::clicked, this, [this] { Q_EMIT CloseRequested(); });
  connect(ResultsLB, &QListWidget::itemClicked, this,
          [this](QListWidgetItem *Item) { RunGuarded([this, Item] { OpenResult(Item); }); });
  connect(ResultsLB, &QListWidget::itemActivated, this,
          [this](QListWidgetItem *Item) { RunGuarded([this, Item] { OpenResult(Item); }); });
}

void TSearchPanel::SetNotebook(TvlNotebook *Notebook) {
  FNotebook = Notebook;
  if (!FNotebook) return;
  FNotebook->DocumentSearch = [](TDocument &Doc, int TabIndex, const QString &Header,
                                 QListWidget *ListBox, const QString &Query) {
    const std::vector<TDocument::RSearchHit> hits = Doc.Search_Hits(Query);
    if (!ListBox) return static_cast<int>(hits.size());
    for (const TDocument::RSearchHit &h : hits) {
      const RResultLine line = ResultLine(Doc, Header, h);
      auto *item = new QListWidgetItem(line.Text, ListBox);
      item->setToolTip(h.Before + h.Hit + h.After);
      item->setData(TabRole, TabIndex);
      item->setData(SectionRole, h.SN);
      item->setData(CharRole, h.CX);
      item->setData(HitStartRole, line.HitStart);
      item->setData(HitLengthRole, static_cast<int>(h.Hit.size()));
    }
    return static_cast<int>(hits.size());
  };
}

TSearchPanel::RResultLine TSearchPanel::ResultLine(const TDocument &Doc, const QString &TabTitle,
                                                   const TDocument::RSearchHit &Hit) {
  static const QString dot = QStringLiteral(" \u00B7 ");
  static const QString ellipsis = QStringLiteral("\u2026");
  QString text = TabTitle.trimmed().isEmpty() ? QStringLiteral("(untitled)") : TabTitle.trimmed();
  text += dot;
  TDateTime when = 0;
  if (const TParagraph *p = Doc.Paragraph_FromSectionNum(Hit.SN);
      p && Hit.CX >= 1 && Hit.CX <= p->High()) {
    const RvlTimestamp ts = p->Timestamp_Get(Hit.CX);
    when = ts.FEffectiveDT >= 100 ? ts.FEffectiveDT : ts.RealDT;
  }
  if (const QString time = TvlPrintLayout::MomentText(when); !time.isEmpty()) text += time + dot;
  // A few words either side of the hit: the panel is narrow, the tool tip holds the rest.
  // Cut between words where there is a blank to cut at.
  QString before = Hit.Before;
  if (before.size() > ContextBefore) {
    before = before.right(ContextBefore);
    if (const qsizetype blank = before.indexOf(QLatin1Char(' ')); blank >= 0)
      before = before.mid(blank);
    before = ellipsis + before;
  }
  QString after = Hit.After;
  if (after.size() > ContextAfter) {
    after = after.left(ContextAfter);
    if (const qsizetype blank = after.lastIndexOf(QLatin1Char(' ')); blank > 0)
      after = after.left(blank);
    after += ellipsis;
  }
  text += before;
  const int start = static_cast<int>(text.size());
  text += Hit.Hit + after;
  // Line breaks and tabs of the notes would break the one-line list.
  for (QChar &c : text)
    if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
        c == QChar::ParagraphSeparator)
      c = QLatin1Char(' ');
  return RResultLine{text, start};
}

QString TSearchPanel::NotFoundText(const QString &Text) {
  return QStringLiteral("Search string \"") + Text + QStringLiteral("\" not found.");
}

void TSearchPanel::RememberInHistory(const QString &Text) {
  for (int i = 0; i < SearchCmBx->count(); ++i)
    if (SearchCmBx->itemText(i).compare(Text, Qt::CaseInsensitive) == 0) return;
  SearchCmBx->insertItem(0, Text);
  SearchCmBx->setCurrentIndex(0);
  SearchCmBx->setEditText(Text);
}

void TSearchPanel::SearchFromBox() { Search(SearchCmBx->currentText()); }

void TSearchPanel::Search(const QString &Text) {
  if (Text.isEmpty()) return;
  RememberInHistory(Text);
  ResultsLB->clear();
  const int hits = FNotebook ? FNotebook->Search_AppendResults(Text, ResultsLB) : 0;
  if (hits == 0) {
    ResultsLB->clear();
    ResultsLB->addItem(NotFoundText(Text));
  }
}

bool TSearchPanel::OpenResult(const QListWidgetItem *Item) {
  if (!Item || !FNotebook || !Item->data(TabRole).isValid()) return false;
  const int tab = Item->data(TabRole).toInt();
  RvlPage *page = FNotebook->GetPageFromIndex(tab);
  if (!page || !page->mtcDoc) return false;
  FNotebook->ActivatePage(tab);
  TDocument &doc = *page->mtcDoc;
  const int sn = Item->data(SectionRole).toInt();
  const int cx = Item->data(CharRole).toInt();
  const TCaretPos at{sn, cx, false};
  if (!doc.IsValidCaretPosition_Silent(at)) return false;
  // The hit selected, the caret at its end: the timelines follow to the hit's moment. Text
  // edited since the search may have shortened the paragraph: the selection stops at its end.
  TCaretPos end{sn, cx + std::max(0, Item->data(HitLengthRole).toInt()), false};
  while (end.FGN > cx && !doc.IsValidCaretPosition_Silent(end)) --end.FGN;
  doc.AtPos_NoSelectionSet(at);
  // The page's view, or the editor view inside it.
  auto *view = qobject_cast<TWindowView *>(page->MyWindowView);
  if (!view && page->MyWindowView) view = page->MyWindowView->findChild<TWindowView *>();
  if (view) {
    view->Caret_MoveToPos(end);
    view->Caret_ScrollIntoView_TimelineFollows();
    view->InvalidateAllOfMe();
    view->setFocus();
  } else {
    doc.FAtPos = end;
  }
  Q_EMIT ResultOpened();
  return true;
}

bool TSearchPanel::eventFilter(QObject *Watched, QEvent *Event) {
  if ((Watched == SearchCmBx || Watched == SearchCmBx->lineEdit()) &&
      Event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent *>(Event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      RunGuarded([this] { SearchFromBox(); });
      return true;
    }
    if (key == Qt::Key_Escape) {
      Q_EMIT CloseRequested();
      return true;
    }
  }
  return QWidget::eventFilter(Watched, Event);
}
