#include "vldTable.h"

void TTable::Rows_Delete(int FirstRow, int LastRow) {
  if (FirstRow < 0 || FirstRow > LastRow || LastRow >= RowCount) return;
  for (auto &column : Cells) {
    const int last = std::min<int>(LastRow, static_cast<int>(column.size()) - 1);
    if (FirstRow <= last) column.erase(column.begin() + FirstRow, column.begin() + last + 1);
  }
  const int lastWidth = std::min<int>(LastRow, static_cast<int>(RowWidths.size()) - 1);
  if (FirstRow <= lastWidth)
    RowWidths.erase(RowWidths.begin() + FirstRow, RowWidths.begin() + lastWidth + 1);
  RowCount -= LastRow - FirstRow + 1;
}

void TTable::MyAssign(const TSection &Source) {
  TInset::MyAssign(Source);
  const auto *t = dynamic_cast<const TTable *>(&Source);
  if (!t || t == this) return;
  RowCount = t->RowCount;
  ColCount = t->ColCount;
  AsLineWeight = t->AsLineWeight;
  clLines = t->clLines;
  clBorder = t->clBorder;
  RowWidths = t->RowWidths;
  Cells.clear();
  Cells.resize(t->Cells.size());
  for (std::size_t c = 0; c < t->Cells.size(); ++c)
    for (const auto &cell : t->Cells[c])
      Cells[c].push_back(cell ? std::make_unique<TCell>(*cell) : nullptr);
}
