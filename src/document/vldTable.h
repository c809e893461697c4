#pragma once
// Tables: a stub inset. The insets storage can create one, but nothing in the program does, and
// tables have no file form; the types exist so that the inset family is complete.

#include "vlColor.h"
#include "vldInset.h"

#include <QString>

#include <algorithm>

#include <cstdint>
#include <memory>
#include <vector>

class TCell {
 public:
  std::int32_t SpanFromCol = 0;
  std::int32_t SpanToCol = 0;
  std::int32_t SpanFromRow = 0;
  std::int32_t SpanToRow = 0;
  TColor clCell = clWhite;
  QString Contents;
};

class TTable : public TInset {
 public:
  // Deep copy of the cells and the table's own fields.
  void MyAssign(const TSection &Source) override;

  std::int32_t RowCount = 0;
  std::int32_t ColCount = 0;
  double AsLineWeight = 1;
  TColor clLines = clBlack;
  TColor clBorder = clBlack;
  // Cells[column][row]; a cell may be absent.
  std::vector<std::vector<std::unique_ptr<TCell>>> Cells;
  std::vector<std::int32_t> RowWidths;

  // Not implemented: they change nothing.
  void Cols_Insert(int, int) {}
  void Cols_Delete(int, int) {}
  void Rows_Insert(int, int) {}
  // Rows are numbered from 0. Releases the cells of FirstRow..LastRow in every column and moves
  // the following rows up; an invalid range changes nothing.
  void Rows_Delete(int FirstRow, int LastRow);
};
