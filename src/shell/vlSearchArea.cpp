#include "vlSearchArea.h"

#include "vlSearchPanel.h"

#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QSplitter>

#include <algorithm>

TvlSearchArea::TvlSearchArea(QWidget &Panel, QSplitter &Splitter)
    : FPanel(Panel), FSplitter(Splitter) {
  FSearch = new TSearchPanel(&FPanel);
  FPanel.layout()->addWidget(FSearch);
  // The right divider keeps the results' share of the space it shares with the notebook.
  connect(&FSplitter, &QSplitter::splitterMoved, this, [this] {
    if (FPanel.isHidden()) return;
    const QList<int> sizes = FSplitter.sizes();
    const int shared = sizes.value(1) + sizes.value(2);
    FWidthWhenVisible = shared > 0 ? static_cast<double>(sizes.value(2)) / shared : 1.625;
  });
}

void TvlSearchArea::Show() {
  QList<int> sizes = FSplitter.sizes();
  if (FPanel.isHidden() && sizes.size() == 3) {
    FPanel.show();
    const double share = std::clamp(FWidthWhenVisible, 0.05, 0.9);
    const int shared = std::max(2, sizes[1] + sizes[2]);
    sizes[2] = std::max(FPanel.minimumWidth(), static_cast<int>(shared * share));
    sizes[1] = std::max(1, shared - sizes[2]);
    FSplitter.setSizes(sizes);
  }
  FSearch->SearchCmBx->setFocus();
  FSearch->SearchCmBx->lineEdit()->selectAll();
}

bool TvlSearchArea::Hide() {
  if (FPanel.isHidden()) return false;
  FPanel.hide();
  return true;
}
