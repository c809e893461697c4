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
