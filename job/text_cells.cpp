#include "job/text_cells.h"

#include "job/failure.h"
#include "job/messages.h"
#include "platform/text.h"

namespace tarvex::job {

void TextCells::Dimension(const DataMatrix& matrix) {
  row_low_ = matrix.RowLow();
  row_high_ = matrix.RowHigh();
  column_low_ = matrix.ColumnLow();
  columns_ = matrix.ColumnCount();
  forms_.assign(matrix.Values().size(), CellForm::kNumber);
  texts_.assign(matrix.Values().size(), std::string());
}

void TextCells::Keep(Index row, Index column, std::string_view text) {
  const std::size_t at = Offset(row, column);
  const std::string_view label = platform::TrimBlanks(text);
  forms_[at] = label.empty() ? CellForm::kBlank : CellForm::kText;
  texts_[at] = std::string(label);
}

const std::string& TextCells::TextAt(Index row, Index column) const {
  return texts_[Offset(row, column)];
}

std::size_t TextCells::Offset(Index row, Index column) const {
  if (row < row_low_ || row > row_high_ || column < column_low_ ||
      column >= column_low_ + columns_) {
    throw Failure(kSubscriptOutOfRange);
  }
  return static_cast<std::size_t>((row - row_low_) * columns_ + (column - column_low_));
}

}  // namespace tarvex::job
