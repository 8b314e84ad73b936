#include "job/table_encoding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include "job/class_list.h"
#include "job/failure.h"
#include "job/messages.h"
#include "job/parse_number.h"
#include "platform/text.h"

namespace tarvex::job {

namespace {

constexpr double kMissing = std::numeric_limits<double>::quiet_NaN();
// Texts of users, quoted in a log line no longer than this.
constexpr std::size_t kMostQuoted = 100;

std::string Quoted(std::string_view text) {
  return "\"" + platform::CutText(text, kMostQuoted) + "\"";
}

std::vector<std::string> ListOf(std::string_view written) {
  std::vector<std::string> items;
  if (platform::TrimBlanks(written).empty()) return items;
  for (std::string_view item : platform::SplitAll(written, ',')) {
    items.emplace_back(platform::TrimBlanks(item));
  }
  return items;
}

// Rows as positions from 0: the given ones, or every row of the table.
std::vector<Index> RowsOrAll(std::span<const Index> rows, const DataMatrix& values) {
  if (!rows.empty()) return {rows.begin(), rows.end()};
  std::vector<Index> all(static_cast<std::size_t>(values.RowCount()));
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<Index>(i);
  return all;
}

std::string CellPlace(Index position, Index column_position) {
  return "Row " + std::to_string(position + 1) + ", column " + std::to_string(column_position + 1);
}

[[noreturn]] void RefuseText(std::string_view where, Index position, Index column_position,
                             std::string_view text) {
  throw Failure(FillTemplate(kInvalidDataTemplate, where) + "   " +
                CellPlace(position, column_position) + ": " + Quoted(text));
}

[[noreturn]] void RefuseMissing(std::string_view where, Index position, Index column_position) {
  throw Failure(FillTemplate(kInvalidDataTemplate, where) +
                "   Missing cell: " + CellPlace(position, column_position) + " ('/mv=refuse')");
}

void CountUnseen(ColumnProfile& seen, const std::string& text) {
  ++seen.unseen;
  if (seen.unseen_names.size() < kMostUnseenNamed &&
      std::find(seen.unseen_names.begin(), seen.unseen_names.end(), text) ==
          seen.unseen_names.end()) {
    seen.unseen_names.push_back(text);
  }
}

// The category that a cell names: its text, a number by its shortest text, or "(missing)".
std::string CategoryOf(const RawTable& table, Index row, Index column, bool missing) {
  if (missing) return std::string(kMissingCategory);
  if (table.cells.FormAt(row, column) == CellForm::kText) return table.cells.TextAt(row, column);
  return NumberLabel(table.values.At(row, column));
}

// The input column that a /cat item names: a header or field name (any letter case), else a
// number from 1.
std::optional<Index> NamedColumn(const RawTable& table, std::string_view item) {
  const auto& names = table.cells.column_names;
  for (std::size_t c = 0; c < names.size(); ++c) {
    if (platform::EqualIgnoringAsciiCase(platform::TrimBlanks(names[c]), item)) {
      return static_cast<Index>(c);
    }
  }
  double number = 0;
  if (ParseNumber(item, number, ".") && number >= 1 && std::nearbyint(number) == number &&
      number <= static_cast<double>(table.values.ColumnCount())) {
    return static_cast<Index>(number) - 1;
  }
  return std::nullopt;
}

std::string ColumnName(const RawTable& table, Index position) {
  const auto& names = table.cells.column_names;
  if (static_cast<std::size_t>(position) < names.size()) {
    return std::string(platform::TrimBlanks(names[static_cast<std::size_t>(position)]));
  }
  return std::to_string(position + 1);
}

}  // namespace

std::string_view MissingRuleName(MissingRule rule) {
  switch (rule) {
    case MissingRule::kZero:
      return "zero";
    case MissingRule::kMean:
      return "mean";
    case MissingRule::kMedian:
      return "median";
    case MissingRule::kRefuse:
      break;
  }
  return "refuse";
}

Index TableEncoding::EncodedCount() const {
  Index count = 0;
  for (const ColumnEncoding& column : columns) {
    count += column.categorical ? static_cast<Index>(column.categories.size())
                                : 1 + (column.indicator ? 1 : 0);
  }
  return count;
}

TableOptions ReadTableOptions(std::string_view cat, std::string_view na, std::string_view mv,
                              std::string_view mvi) {
  TableOptions options;
  options.cat = ListOf(cat);
  if (options.cat.size() == 1 && platform::EqualIgnoringAsciiCase(options.cat[0], "auto")) {
    options.cat.clear();
    options.cat_auto = true;
  }
  options.na = ListOf(na);
  const std::string_view rule = platform::TrimBlanks(mv);
  bool known = rule.empty();
  for (MissingRule candidate :
       {MissingRule::kZero, MissingRule::kMean, MissingRule::kMedian, MissingRule::kRefuse}) {
    if (platform::EqualIgnoringAsciiCase(rule, MissingRuleName(candidate))) {
      options.rule = candidate;
      known = true;
    }
  }
  if (!known) {
    throw Failure("The Parameter '/mv' must be zero, mean, median or refuse: " + std::string(mv));
  }
  const std::string_view indicators = platform::TrimBlanks(mvi);
  if (!indicators.empty() && indicators != "0" && indicators != "1") {
    throw Failure("The Parameter '/mvi' must be 0 or 1: " + std::string(mvi));
  }
  options.indicators = indicators == "1";
  return options;
}

bool IsMissingCell(const RawTable& table, Index row, Index column,
                   std::span<const std::string> na) {
  switch (table.cells.FormAt(row, column)) {
    case CellForm::kBlank:
      return true;
    case CellForm::kText:
      return std::find(na.begin(), na.end(), table.cells.TextAt(row, column)) != na.end();
    case CellForm::kNumber:
      break;
  }
  const double value = table.values.At(row, column);
  for (const std::string& text : na) {
    double number = 0;
    if (ParseNumber(text, number, ".") && number == value) return true;
  }
  return false;
}

void MarkMissingCells(RawTable& table, std::span<const std::string> na) {
  if (!table.values.HasDimensions()) return;
  for (Index r = table.values.RowLow(); r <= table.values.RowHigh(); ++r) {
    for (Index c = table.values.ColumnLow(); c <= table.values.ColumnHigh(); ++c) {
      if (table.cells.FormAt(r, c) != CellForm::kBlank && IsMissingCell(table, r, c, na)) {
        table.cells.Keep(r, c, "");
        table.values.At(r, c) = 0;
      }
    }
  }
}

TableEncoding FitEncoding(const TableOptions& options, const RawTable& table,
                          std::span<const Index> rows, std::string_view where,
                          DataProfile& profile) {
  const DataMatrix& values = table.values;
  const Index columns = values.ColumnCount();
  const std::vector<Index> positions = RowsOrAll(rows, values);
  TableEncoding encoding;
  encoding.na = options.na;
  encoding.rule = options.rule;
  encoding.columns.resize(static_cast<std::size_t>(columns));
  for (Index c = 0; c < columns; ++c) {
    encoding.columns[static_cast<std::size_t>(c)].name = ColumnName(table, c);
  }

  if (options.cat_auto) {
    // A column with a text that is neither a number nor a missing mark holds categories.
    for (Index position : positions) {
      const Index r = values.RowLow() + position;
      for (Index c = 0; c < columns; ++c) {
        const Index column = values.ColumnLow() + c;
        if (table.cells.FormAt(r, column) == CellForm::kText &&
            !IsMissingCell(table, r, column, options.na)) {
          encoding.columns[static_cast<std::size_t>(c)].categorical = true;
        }
      }
    }
  }
  for (const std::string& item : options.cat) {
    const std::optional<Index> c = NamedColumn(table, item);
    if (!c) {
      std::string known;
      for (Index k = 0; k < columns; ++k) {
        known += (k == 0 ? "" : ", ") + ColumnName(table, k);
      }
      throw Failure("The Parameter '/cat' names no input column: " + Quoted(item) +
                    " (the training inputs' columns: " + platform::CutText(known, 400) + ")");
    }
    encoding.columns[static_cast<std::size_t>(*c)].categorical = true;
  }

  profile.columns.assign(static_cast<std::size_t>(columns), ColumnProfile());
  profile.of_training_rows = true;
  profile.training_rows = static_cast<Index>(positions.size());
  std::vector<std::map<std::string, Index>> counts(static_cast<std::size_t>(columns));
  for (Index position : positions) {
    const Index r = values.RowLow() + position;
    for (Index c = 0; c < columns; ++c) {
      const Index column = values.ColumnLow() + c;
      ColumnEncoding& encoded = encoding.columns[static_cast<std::size_t>(c)];
      ColumnProfile& seen = profile.columns[static_cast<std::size_t>(c)];
      const bool missing = IsMissingCell(table, r, column, options.na);
      if (missing && options.rule == MissingRule::kRefuse) RefuseMissing(where, position, c);
      if (missing) ++seen.missing;
      if (encoded.categorical) {
        ++counts[static_cast<std::size_t>(c)][CategoryOf(table, r, column, missing)];
        continue;
      }
      if (missing) continue;
      if (table.cells.FormAt(r, column) == CellForm::kText) {
        RefuseText(where, position, c, table.cells.TextAt(r, column));
      }
      const double value = values.At(r, column);
      seen.min = seen.has_range ? std::min(seen.min, value) : value;
      seen.max = seen.has_range ? std::max(seen.max, value) : value;
      seen.has_range = true;
    }
  }
  for (Index c = 0; c < columns; ++c) {
    ColumnEncoding& encoded = encoding.columns[static_cast<std::size_t>(c)];
    ColumnProfile& seen = profile.columns[static_cast<std::size_t>(c)];
    if (!encoded.categorical) {
      encoded.indicator = options.indicators && seen.missing > 0;
      continue;
    }
    const auto& column_counts = counts[static_cast<std::size_t>(c)];
    if (column_counts.size() > kMostCategories) {
      throw Failure("The input column " + Quoted(encoded.name) + " holds " +
                    std::to_string(column_counts.size()) +
                    " categories; a categorical column takes " + std::to_string(kMostCategories) +
                    " at most");
    }
    // std::map keeps the texts in byte order, which is code point order for UTF-8.
    for (const auto& [category, count] : column_counts) {
      encoded.categories.push_back(category);
      seen.category_counts.emplace_back(category, count);
    }
  }
  return encoding;
}

DataMatrix EncodeRows(const TableEncoding& encoding, const RawTable& table,
                      std::span<const Index> rows, std::string_view where, DataProfile* profile) {
  const DataMatrix& values = table.values;
  if (values.ColumnCount() != static_cast<Index>(encoding.columns.size())) {
    throw Failure(kSubscriptOutOfRange);
  }
  const std::vector<Index> positions = RowsOrAll(rows, values);
  const Index width = encoding.EncodedCount();
  const Index base = values.ColumnLow();
  DataMatrix encoded(values.RowLow(), values.RowLow() + static_cast<Index>(positions.size()) - 1,
                     base, base + width - 1);
  Index row = values.RowLow();
  for (Index position : positions) {
    const Index r = values.RowLow() + position;
    Index at = base;
    Index indicator_at = base;
    for (const ColumnEncoding& column : encoding.columns) {
      indicator_at += column.categorical ? static_cast<Index>(column.categories.size()) : 1;
    }
    for (std::size_t c = 0; c < encoding.columns.size(); ++c) {
      const ColumnEncoding& column = encoding.columns[c];
      const Index source = base + static_cast<Index>(c);
      bool missing = IsMissingCell(table, r, source, encoding.na);
      if (missing && encoding.rule == MissingRule::kRefuse) {
        RefuseMissing(where, position, static_cast<Index>(c));
      }
      if (column.categorical) {
        const std::string category = CategoryOf(table, r, source, missing);
        const auto found =
            std::lower_bound(column.categories.begin(), column.categories.end(), category);
        if (found != column.categories.end() && *found == category) {
          encoded.At(row, at + (found - column.categories.begin())) = 1;
        } else if (profile != nullptr) {
          CountUnseen(profile->columns[c], category);
        }
        at += static_cast<Index>(column.categories.size());
        continue;
      }
      if (!missing && table.cells.FormAt(r, source) == CellForm::kText) {
        // A text in a column that held only numbers in training has no input of its own: in
        // validation and prediction rows it is counted as unseen and filled like a missing cell,
        // so that one odd value does not cost the whole run.
        if (profile == nullptr || encoding.rule == MissingRule::kRefuse) {
          RefuseText(where, position, static_cast<Index>(c), table.cells.TextAt(r, source));
        }
        CountUnseen(profile->columns[c], table.cells.TextAt(r, source));
        missing = true;
      }
      encoded.At(row, at++) = missing ? kMissing : values.At(r, source);
      if (column.indicator) encoded.At(row, indicator_at++) = missing ? 1 : 0;
    }
    ++row;
  }
  return encoded;
}

void ComputeFills(TableEncoding& encoding, const DataMatrix& encoded, std::span<const Index> rows) {
  const std::vector<Index> positions = RowsOrAll(rows, encoded);
  Index at = encoded.ColumnLow();
  std::vector<double> cells;
  for (ColumnEncoding& column : encoding.columns) {
    if (column.categorical) {
      at += static_cast<Index>(column.categories.size());
      continue;
    }
    column.fill = 0;
    cells.clear();
    for (Index position : positions) {
      const double value = encoded.At(encoded.RowLow() + position, at);
      if (!std::isnan(value)) cells.push_back(value);
    }
    ++at;
    if (cells.empty()) continue;
    if (encoding.rule == MissingRule::kMean) {
      double sum = 0;
      for (double value : cells) sum += value;
      column.fill = sum / static_cast<double>(cells.size());
    } else if (encoding.rule == MissingRule::kMedian) {
      std::sort(cells.begin(), cells.end());
      const std::size_t half = cells.size() / 2;
      column.fill = cells.size() % 2 == 1 ? cells[half] : (cells[half - 1] + cells[half]) / 2;
    }
  }
}

void FillMissing(const TableEncoding& encoding, DataMatrix& encoded) {
  Index at = encoded.ColumnLow();
  for (const ColumnEncoding& column : encoding.columns) {
    if (column.categorical) {
      at += static_cast<Index>(column.categories.size());
      continue;
    }
    for (Index r = encoded.RowLow(); r <= encoded.RowHigh(); ++r) {
      double& value = encoded.At(r, at);
      if (std::isnan(value)) value = column.fill;
    }
    ++at;
  }
}

}  // namespace tarvex::job
