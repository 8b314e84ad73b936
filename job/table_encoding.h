// Tables as people keep them: a column of categories becomes one 0/1 input per category seen in
// the training rows, a missing cell is filled by a rule from the training rows, and what the
// training rows held is kept for the run's data profile and for the network file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "job/data_matrix.h"
#include "job/text_cells.h"

namespace tarvex::job {

// What a missing numeric input becomes (/mv).
enum class MissingRule : std::uint8_t { kZero, kMean, kMedian, kRefuse };

// Beyond this a column is rather one of free text than of categories.
inline constexpr std::size_t kMostCategories = 1000;
// The category of a missing cell of a categorical column.
inline constexpr std::string_view kMissingCategory = "(missing)";
// The unseen categories that the log and the summary name per column.
inline constexpr std::size_t kMostUnseenNamed = 5;

std::string_view MissingRuleName(MissingRule rule);

// What one input column of the training inputs becomes.
struct ColumnEncoding {
  std::string name;  // the header or field name, else the column number from 1
  bool categorical = false;
  std::vector<std::string> categories;  // sorted by code point
  double fill = 0;                      // numeric: what a missing cell becomes
  bool indicator = false;               // numeric: a 0/1 input at the end says it was missing
};

// The encoding of a job's inputs; without columns the job reads numbers only, as it always did.
struct TableEncoding {
  std::vector<ColumnEncoding> columns;
  std::vector<std::string> na;  // texts that mean missing, besides a blank cell
  MissingRule rule = MissingRule::kZero;

  bool Active() const { return !columns.empty(); }
  // The network's inputs: the numeric columns, one per category, then the indicators.
  Index EncodedCount() const;
};

// What the run saw of one input column.
struct ColumnProfile {
  Index missing = 0;  // cells of the training rows
  std::vector<std::pair<std::string, Index>> category_counts;
  Index unseen = 0;  // cells of validation and prediction rows of no training category
  std::vector<std::string> unseen_names;  // the first few, in the order met
  bool has_range = false;                 // numeric, with a cell that is not missing
  double min = 0, max = 0;
};

struct DataProfile {
  std::vector<ColumnProfile> columns;
  // The counts of missing cells and categories are those of training rows; a job with a saved
  // network has none.
  bool of_training_rows = false;
  Index training_rows = 0;  // the rows the counts are of
  // Regression rows left out for a missing output (classification counts its own).
  Index training_rows_without_output = 0;
  Index validation_rows_without_output = 0;
};

// A data set as its reader saw it: the numbers, and beside them the texts and blanks.
struct RawTable {
  DataMatrix values;
  TextCells cells;
};

// /cat /na /mv /mvi as checked with the options.
struct TableOptions {
  bool cat_auto = false;
  std::vector<std::string> cat;  // names or numbers from 1, as written
  std::vector<std::string> na;
  MissingRule rule = MissingRule::kZero;
  bool indicators = false;
};

// Throws Failure with the line to log for an /mv or /mvi that is not in the list.
TableOptions ReadTableOptions(std::string_view cat, std::string_view na, std::string_view mv,
                              std::string_view mvi);

// A blank cell, or one that /na names (a text as written, a number by its value).
bool IsMissingCell(const RawTable& table, Index row, Index column,
                   std::span<const std::string> na);

// Turns the cells that /na names into blanks, for the readers of labels and outputs.
void MarkMissingCells(RawTable& table, std::span<const std::string> na);

// The encoding from the training rows of table (positions from 0), and their profile. where is
// what the invalid-data line names (a file, or the data set's label). Throws Failure with the
// line to log: a /cat that names no input column, too many categories, a text in a numeric
// column, a missing cell under /mv=refuse.
TableEncoding FitEncoding(const TableOptions& options, const RawTable& table,
                          std::span<const Index> rows, std::string_view where,
                          DataProfile& profile);

// The rows of table encoded (all rows when rows is empty): missing numeric cells are NaN until
// FillMissing; a category that the encoding has not gives 0 in every input of its column and is
// counted in profile (when given). Keeps the row and column base of table. Throws Failure as
// FitEncoding does.
DataMatrix EncodeRows(const TableEncoding& encoding, const RawTable& table,
                      std::span<const Index> rows, std::string_view where,
                      DataProfile* profile);

// The fill values of the numeric columns from the rows of encoded (positions from 0; all rows
// when empty), by the encoding's rule: 0, the mean or the median of the cells not missing (0
// when every cell is missing).
void ComputeFills(TableEncoding& encoding, const DataMatrix& encoded, std::span<const Index> rows);

// Every NaN cell of encoded gets its column's fill value.
void FillMissing(const TableEncoding& encoding, DataMatrix& encoded);

}  // namespace tarvex::job
