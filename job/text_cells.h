// The cells of a classification job's outputs as a reader saw them, beside the matrix of their
// numbers: which cells held a label text or nothing, and the column names where the source has a
// header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "job/data_matrix.h"

namespace tarvex::job {

enum class CellForm : std::uint8_t { kNumber, kText, kBlank };

class TextCells {
 public:
  // The cells of matrix, every one a number until Keep says otherwise.
  void Dimension(const DataMatrix& matrix);

  // A cell that is no number: its text without blanks at both ends, or a blank cell when nothing
  // is left. The matrix beside it keeps 0 there.
  void Keep(Index row, Index column, std::string_view text);

  CellForm FormAt(Index row, Index column) const { return forms_[Offset(row, column)]; }
  // The text of a kText cell; empty for the others.
  const std::string& TextAt(Index row, Index column) const;

  // One per column where the source names its columns (a header line, a query's fields); else
  // empty.
  std::vector<std::string> column_names;

 private:
  std::size_t Offset(Index row, Index column) const;

  Index row_low_ = 0, row_high_ = -1, column_low_ = 0, columns_ = 0;
  std::vector<CellForm> forms_;
  std::vector<std::string> texts_;  // as many as forms_, filled only for kText cells
};

}  // namespace tarvex::job
