#pragma once
// The search area at the right of the notes: the search panel in the results' panel, shown by
// Edit > Find at the share of the width it had (the share it shares with the notebook, kept while
// the user drags the divider, stored at close) and hidden by its close button.
//
// User-interface thread only.

#include <QObject>

class QSplitter;
class QWidget;
class TSearchPanel;

class TvlSearchArea final : public QObject {
 public:
  // Panel holds the results and is the third of Splitter's panels (the timeline side, the
  // notebook, the results); it stays hidden until shown. Both must outlive the area.
  TvlSearchArea(QWidget &Panel, QSplitter &Splitter);

  TSearchPanel *SearchPanel() const { return FSearch; }
  // Shows the area (at its share) with the keyboard in the search box, its text selected.
  void Show();
  // Hides the area; false when it was hidden already.
  bool Hide();
  // The results' share of the width they share with the notebook (a stored value may be no
  // fraction: it is kept as stored, and the area shown at a sensible share).
  double WidthWhenVisible() const { return FWidthWhenVisible; }
  void SetWidthWhenVisible(double Share) { FWidthWhenVisible = Share; }

 private:
  QWidget &FPanel;
  QSplitter &FSplitter;
  TSearchPanel *FSearch = nullptr;
  double FWidthWhenVisible = 0.25;
};
