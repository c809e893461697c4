#pragma once
// The search panel at the right of the notebook: the "Search" box with its history (Enter or
// "L" searches), "X" to close, and the results of every tab, the active one first. A result line
// reads "Tab title · 10:42 · …context with the hit…" (the moment of the hit's first character;
// none when it has no moment), its whole paragraph context in its tool tip; a click selects the
// hit and scrolls it into view, the timelines following to its moment.
//
// Result lines hold note text, so they are shown as plain text: the hit is drawn in bold by the
// list's delegate from offsets kept in the item, never by interpreting markup in the text.
//
// User-interface thread only; every slot runs guarded.

#include "vl_Document.h"

#include <QWidget>

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QToolButton;
class TvlNotebook;

class TSearchPanel final : public QWidget {
  Q_OBJECT

 public:
  // Item data of a result line; a header or message line has no tab.
  enum TRoles { TabRole = Qt::UserRole + 1, SectionRole, CharRole, HitStartRole, HitLengthRole };

  explicit TSearchPanel(QWidget *Parent = nullptr);

  // Not owned; nullptr: searches find nothing.
  void SetNotebook(TvlNotebook *Notebook);

  // Searches every tab (the active one first) and lists the results.
  void Search(const QString &Text);
  // The search of the box's text (Enter, "L").
  void SearchFromBox();
  // Goes to the place a result line names: activates its tab and puts the caret there when the
  // place is still in the document. False for header lines and places that no longer exist.
  bool OpenResult(const QListWidgetItem *Item);
  // The text that says there was nothing to find.
  static QString NotFoundText(const QString &Text);

  // Characters of context kept before and after the hit (an ellipsis marks a cut).
  static constexpr int ContextBefore = 24;
  static constexpr int ContextAfter = 40;
  struct RResultLine {
    QString Text;
    int HitStart = 0;  // where the hit begins in Text
  };
  // The line listing Hit of Doc in the tab titled TabTitle.
  static RResultLine ResultLine(const TDocument &Doc, const QString &TabTitle,
                                const TDocument::RSearchHit &Hit);

  QComboBox *SearchCmBx;
  QToolButton *SearchBtn;
  QToolButton *CloseBtn;
  QListWidget *ResultsLB;

 Q_SIGNALS:
  // "X" or Escape in the box.
  void CloseRequested();
  // A result put the caret in a tab.
  void ResultOpened();

 protected:
  bool eventFilter(QObject *Watched, QEvent *Event) override;

 private:
  void RememberInHistory(const QString &Text);

  TvlNotebook *FNotebook = nullptr;
};
