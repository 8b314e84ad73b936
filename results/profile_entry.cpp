#include "results/profile_entry.h"

#include "platform/number_text.h"
#include "platform/text.h"

namespace tarvex::results {

namespace {

const std::string kIndent = "       ";
// A column of many categories is listed no further in the log; the summary has them all.
constexpr std::size_t kMostListed = 20;

std::string JoinTexts(const std::vector<std::string>& texts) {
  std::string joined;
  for (const std::string& text : texts) {
    joined += (joined.empty() ? "" : ", ") + platform::CutText(text, 100);
  }
  return joined;
}

}  // namespace

std::string DataProfileEntry(const job::JobSettings& job) {
  auto number = [&job](double value) {
    return platform::FormatGeneralNumber(value, job.DecimalSeparator);
  };
  const job::TableEncoding& encoding = job.Encoding;
  std::string entry = "Data profile: \r\n";
  entry += kIndent + "Missing inputs: " + std::string(job::MissingRuleName(encoding.rule)) +
           "   missing texts: " +
           (encoding.na.empty() ? std::string("(blank cells only)") : JoinTexts(encoding.na)) +
           "\r\n";
  const job::DataProfile& profile = job.Profile;
  if (profile.training_rows_without_output > 0 || profile.validation_rows_without_output > 0) {
    entry += kIndent + "Rows without an output, left out: training " +
             std::to_string(profile.training_rows_without_output) + ", validation " +
             std::to_string(profile.validation_rows_without_output) + "\r\n";
  }
  entry += kIndent + "Input columns: " + std::to_string(encoding.columns.size()) +
           "   network inputs: " + std::to_string(encoding.EncodedCount()) + "\r\n";
  for (std::size_t c = 0; c < encoding.columns.size(); ++c) {
    const job::ColumnEncoding& column = encoding.columns[c];
    const job::ColumnProfile seen =
        c < profile.columns.size() ? profile.columns[c] : job::ColumnProfile();
    std::string line = kIndent + "Column " + platform::CutText(column.name, 100) + ": ";
    const std::string missing =
        profile.of_training_rows ? "   missing " + std::to_string(seen.missing) : "";
    if (column.categorical) {
      line += "categorical" + missing + "   categories (" +
              std::to_string(column.categories.size()) + "):";
      std::string listed;
      for (std::size_t k = 0; k < seen.category_counts.size() && k < kMostListed; ++k) {
        listed += (k == 0 ? " " : ", ") + platform::CutText(seen.category_counts[k].first, 100) +
                  " " + std::to_string(seen.category_counts[k].second);
      }
      if (seen.category_counts.empty()) listed = " " + JoinTexts(column.categories);
      if (seen.category_counts.size() > kMostListed) listed += ", ...";
      line += listed;
      if (seen.unseen > 0) {
        line += "   unseen " + std::to_string(seen.unseen) + ": " + JoinTexts(seen.unseen_names);
      }
    } else {
      line += "numeric" + missing + "   fill " + number(column.fill);
      if (seen.has_range) line += "   min " + number(seen.min) + "   max " + number(seen.max);
      if (column.indicator) line += "   indicator input";
      if (seen.unseen > 0) {
        line +=
            "   texts filled " + std::to_string(seen.unseen) + ": " + JoinTexts(seen.unseen_names);
      }
    }
    entry += line + "\r\n";
  }
  return entry;
}

}  // namespace tarvex::results
