#include "input/delimited_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>

#include "job/messages.h"
#include "job/parse_number.h"
#include "job/run_log.h"
#include "platform/locale_text.h"
#include "platform/number_text.h"
#include "platform/parallel.h"
#include "platform/text.h"

namespace tarvex::input {

using job::DataMatrix;
using job::Failure;
using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Column indices of the conversion are 16-bit, which files written for it respect.
constexpr Index kColumnLimit = 32767;
constexpr double kTextCell = std::numeric_limits<double>::quiet_NaN();

void LogFileNameError(const JobSettings& job, const std::string& path,
                      std::string_view description) {
  WriteLog(job.log, "File Name: " + path + "  Error: " + std::string(description));
}

void LogInvalidData(const JobSettings& job, const std::string& path) {
  WriteLog(job.log, job::FillTemplate(job::kInvalidDataTemplate, path));
}

// Walks the lines of the text; the LF and one CR before it are not part of a line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}
  // The text after the lines read so far.
  std::string_view Rest() const { return done_ ? std::string_view() : text_.substr(position_); }
  bool Next(std::string_view& line) {
    if (done_) return false;
    const char* start = text_.data() + position_;
    size_t left = text_.size() - position_;
    // memchr wants a valid pointer even for no bytes; an empty view may have none.
    const char* lf = left == 0 ? nullptr : static_cast<const char*>(std::memchr(start, '\n', left));
    size_t length = lf ? static_cast<size_t>(lf - start) : left;
    line = std::string_view(start, length);
    if (lf) {
      position_ += length + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    } else {
      done_ = true;  // the text after the last LF is a line too (blank when empty)
    }
    return true;
  }

 private:
  std::string_view text_;
  size_t position_ = 0;
  bool done_ = false;
};

// Blank means nothing but spaces; a TAB makes a line non-blank.
bool IsBlank(std::string_view line) {
  for (char c : line) {
    if (c != ' ') return false;
  }
  return true;
}

// Reads the number that a field holds, the field ending at the delimiter or the line end; the
// same test as ParseNumber on the field alone, without cutting the field out first.
class FieldNumbers {
 public:
  FieldNumbers(char delimiter, const std::string& decimal_separator)
      : delimiter_(delimiter), decimal_separator_(decimal_separator) {}

  // The end of the field when it is a number (stored in value), else nullptr.
  const char* Read(const char* field, const char* line_end, double& value) const {
    if (decimal_separator_.size() == 1) {
      return platform::ScanNumberField(field, line_end, delimiter_, '.', decimal_separator_[0],
                                       value);
    }
    const char* at = static_cast<const char*>(std::memchr(field, delimiter_, line_end - field));
    const char* field_end = at ? at : line_end;
    return job::ParseNumber(std::string_view(field, field_end - field), value, decimal_separator_)
               ? field_end
               : nullptr;
  }

 private:
  char delimiter_;
  const std::string& decimal_separator_;
};

// A stretch of whole lines and the rows its non-blank lines take.
struct Stretch {
  std::string_view text;
  Index rows = 0;
  Index first_row = 0;
  bool too_long = false;
  bool has_text_cells = false;
};

// Files below this size are read on one thread: starting others would cost more than it saves.
constexpr size_t kStretchMinimum = 4 << 20;

std::vector<Stretch> SplitIntoStretches(std::string_view text) {
  const size_t count = platform::PartsFor(text.size(), kStretchMinimum);
  std::vector<Stretch> stretches;
  size_t start = 0;
  for (size_t i = 1; i < count; ++i) {
    // Each stretch ends right after a line end, so that no line is cut.
    size_t cut = text.find('\n', std::max(start, text.size() * i / count));
    if (cut == std::string_view::npos) break;
    stretches.push_back({text.substr(start, cut + 1 - start)});
    start = cut + 1;
  }
  stretches.push_back({text.substr(start)});
  return stretches;
}

// The fields of a line, counted no further than one past the column limit: a wider line is
// refused at once, whatever its length, in header mode as well (the header line sets the width).
Index CountFields(std::string_view line, char delimiter) {
  Index fields = 1;
  for (const char* p = line.data(); fields <= kColumnLimit;) {
    const void* at = std::memchr(p, delimiter, line.data() + line.size() - p);
    if (at == nullptr) return fields;
    p = static_cast<const char*>(at) + 1;
    ++fields;
  }
  throw Failure(job::kOverflow);
}

Index CountRows(std::string_view text) {
  Index rows = 0;
  LineReader lines(text);
  for (std::string_view line; lines.Next(line);) rows += IsBlank(line) ? 0 : 1;
  return rows;
}

// Fields into cells; a field that is not a number becomes a text cell. False when the line has
// more fields than there are cells.
bool ParseLine(std::string_view line, std::span<double> values, char delimiter,
               const FieldNumbers& numbers, bool& has_text_cells) {
  const char* field = line.data();
  const char* line_end = line.data() + line.size();
  for (size_t column = 0;; ++column) {
    if (column >= values.size()) return false;
    const char* field_end = numbers.Read(field, line_end, values[column]);
    if (field_end == nullptr) {
      values[column] = kTextCell;
      has_text_cells = true;
      field_end = static_cast<const char*>(std::memchr(field, delimiter, line_end - field));
      if (field_end == nullptr) field_end = line_end;
    }
    if (field_end == line_end) return true;
    field = field_end + 1;
  }
}

void ParseStretch(Stretch& stretch, DataMatrix& cells, char delimiter,
                  const FieldNumbers& numbers) {
  Index row = stretch.first_row;
  LineReader lines(stretch.text);
  for (std::string_view line; lines.Next(line);) {
    if (IsBlank(line)) continue;
    if (!ParseLine(line, cells.Row(row), delimiter, numbers, stretch.has_text_cells)) {
      stretch.too_long = true;
      return;
    }
    ++row;
  }
}

// The file column of each header name, matched without regard to letter case; -1 for a name
// that matches no field (the first row then fails at that name).
std::vector<Index> HeaderColumns(const std::vector<std::string_view>& header_names,
                                 const std::vector<std::string_view>& header_fields) {
  if (static_cast<Index>(header_names.size()) > kColumnLimit) throw Failure(job::kOverflow);
  std::vector<std::string> lowered_fields;
  lowered_fields.reserve(header_fields.size());
  for (std::string_view field : header_fields) {
    lowered_fields.push_back(platform::LowerCaseText(field));
  }
  std::vector<Index> column_map;
  for (std::string_view name : header_names) {
    std::string lowered = platform::LowerCaseText(name);
    Index found = -1;
    for (size_t c = 0; c < lowered_fields.size(); ++c) {
      if (lowered_fields[c] == lowered) {
        found = static_cast<Index>(c);
        break;
      }
    }
    if (found > kColumnLimit) throw Failure(job::kOverflow);
    column_map.push_back(found);
  }
  return column_map;
}

// The label reading: the lines one after another (label sets are one or a few columns), each
// field a number, a text or a blank. Blank lines are skipped as for every set, so that the rows
// stay in step with the inputs.
void ParseLabelLines(const JobSettings& job, std::string_view first_line, LineReader& lines,
                     Index width, const std::vector<std::string_view>* header_names,
                     const std::vector<std::string_view>& header_fields, char delimiter,
                     DataMatrix& matrix, job::TextCells& labels) {
  std::vector<std::string_view> rows;
  // Without a header the first line is data, and a byte order mark is no part of its label.
  if (header_names == nullptr) {
    rows.push_back(first_line.starts_with(kByteOrderMark) ? first_line.substr(kByteOrderMark.size())
                                                          : first_line);
  }
  for (std::string_view line; lines.Next(line);) {
    if (!IsBlank(line)) rows.push_back(line);
  }
  std::vector<Index> columns;
  if (header_names != nullptr) {
    columns = HeaderColumns(*header_names, header_fields);
  } else {
    for (Index c = 0; c < width; ++c) columns.push_back(c);
  }
  DataMatrix cells(0, static_cast<Index>(rows.size()) - 1, 0,
                   static_cast<Index>(columns.size()) - 1);
  labels.Dimension(cells);
  for (Index column : columns) {
    if (column < 0) throw Failure(job::kSubscriptOutOfRange);
    if (header_names != nullptr) {
      labels.column_names.emplace_back(
          platform::TrimBlanks(header_fields[static_cast<size_t>(column)]));
    }
  }
  for (Index r = 0; r < cells.RowCount(); ++r) {
    const std::vector<std::string_view> fields = platform::SplitAll(rows[r], delimiter);
    // A line longer than the first non-blank line does not fit the cells.
    if (static_cast<Index>(fields.size()) > width) throw Failure(job::kSubscriptOutOfRange);
    for (size_t k = 0; k < columns.size(); ++k) {
      const auto at = static_cast<size_t>(columns[k]);
      const std::string_view field = at < fields.size() ? fields[at] : std::string_view();
      const auto c = static_cast<Index>(k);
      if (platform::TrimBlanks(field).empty() ||
          !job::ParseNumber(field, cells.At(r, c), job.DecimalSeparator)) {
        labels.Keep(r, c, field);
      }
    }
  }
  matrix = std::move(cells);
}

}  // namespace

bool ParseDelimitedText(const JobSettings& job, std::string_view text, DataMatrix& matrix,
                        const std::string& path, char delimiter, const std::string& selector,
                        job::TextCells* labels) {
  try {
    const bool header_mode = !selector.empty();
    std::vector<std::string_view> header_names;
    if (header_mode) header_names = platform::SplitAll(selector, ',');

    // The first non-blank line fixes the width; in header mode it is the header line.
    LineReader lines(text);
    std::string_view first_line;
    bool found = false;
    while (!found && lines.Next(first_line)) found = !IsBlank(first_line);
    if (!found) throw Failure(job::kSubscriptOutOfRange);  // no cells at all
    const Index width = CountFields(first_line, delimiter);
    std::string header_line;
    std::vector<std::string_view> header_fields;
    if (header_mode) {
      header_line = platform::ReplaceAll(first_line, kByteOrderMark, "");
      header_fields = platform::SplitAll(header_line, delimiter);
    }
    if (labels != nullptr) {
      ParseLabelLines(job, first_line, lines, width, header_mode ? &header_names : nullptr,
                      header_fields, delimiter, matrix, *labels);
      return true;
    }

    // The rest in stretches of whole lines, read in parallel: first the non-blank lines are
    // counted, so that the cells are allocated once, then each stretch fills its own rows.
    std::vector<Stretch> stretches = SplitIntoStretches(lines.Rest());
    platform::RunInParallel(stretches.size(),
                            [&](size_t i) { stretches[i].rows = CountRows(stretches[i].text); });
    Index rows = header_mode ? 0 : 1;
    for (Stretch& stretch : stretches) {
      stretch.first_row = rows;
      rows += stretch.rows;
    }
    DataMatrix cells(0, rows - 1, 0, width - 1);  // fails for a header line without data

    const FieldNumbers numbers(delimiter, job.DecimalSeparator);
    bool has_text_cells = false;
    if (!header_mode) ParseLine(first_line, cells.Row(0), delimiter, numbers, has_text_cells);
    platform::RunInParallel(
        stretches.size(), [&](size_t i) { ParseStretch(stretches[i], cells, delimiter, numbers); });
    for (const Stretch& stretch : stretches) {
      // A line longer than the first non-blank line does not fit the cells.
      if (stretch.too_long) throw Failure(job::kSubscriptOutOfRange);
      has_text_cells |= stretch.has_text_cells;
    }
    return ConvertCellMatrix(job, cells, has_text_cells, matrix, header_names, header_fields, path);
  } catch (const std::exception& failure) {
    LogFileNameError(job, path, job::DescribeFailure(failure));
    return false;
  }
}

bool ConvertCellMatrix(const JobSettings& job, DataMatrix& cells, bool has_text_cells,
                       DataMatrix& matrix, const std::vector<std::string_view>& header_names,
                       const std::vector<std::string_view>& header_fields,
                       const std::string& path) {
  try {
    if (!cells.HasDimensions()) throw Failure(job::kSubscriptOutOfRange);
    if (header_names.empty()) {
      if (cells.ColumnCount() > kColumnLimit) throw Failure(job::kOverflow);
      if (has_text_cells) {
        // The number test knows nothing beyond what the reading already tried, so a text cell
        // is never a number: the first one in row order fails the file.
        LogInvalidData(job, path);
        return false;
      }
      matrix = std::move(cells);
      return true;
    }

    const std::vector<Index> column_map = HeaderColumns(header_names, header_fields);

    DataMatrix result(cells.RowLow(), cells.RowHigh(), 0,
                      static_cast<Index>(header_names.size()) - 1);
    for (Index r = cells.RowLow(); r <= cells.RowHigh(); ++r) {
      std::span<const double> from = cells.Row(r);
      std::span<double> to = result.Row(r);
      for (size_t k = 0; k < column_map.size(); ++k) {
        if (column_map[k] < 0 || column_map[k] >= static_cast<Index>(from.size())) {
          throw Failure(job::kSubscriptOutOfRange);
        }
        double value = from[column_map[k]];
        if (std::isnan(value)) {
          LogInvalidData(job, path);
          return false;
        }
        to[k] = value;
      }
    }
    matrix = std::move(result);
    return true;
  } catch (const std::exception& failure) {
    LogFileNameError(job, path, job::DescribeFailure(failure));
    return false;
  }
}

}  // namespace tarvex::input
