#include "report/class_tables.h"

#include <cstdint>
#include <vector>

#include "platform/markup_text.h"
#include "platform/number_text.h"
#include "report/html_text.h"
#include "report/page_parts.h"

namespace tarvex::report {

using job::JobSettings;
using Json = nlohmann::ordered_json;

namespace {

std::string Escaped(std::string_view text) { return platform::MarkupEscaped(text); }

// A figure in full, as the log writes it; a figure without a value says why.
std::string FigureText(const JobSettings& job, const Json& value, std::string_view missing) {
  if (value.is_number_integer()) return value.dump();
  if (value.is_number())
    return platform::FormatGeneralNumber(value.get<double>(), job.DecimalSeparator);
  return std::string(missing);
}

std::string Cell(std::string_view text) { return "<td>" + Escaped(text) + "</td>"; }
std::string ColumnHeading(std::string_view text) {
  return "<th scope=\"col\">" + Escaped(text) + "</th>";
}
std::string RowHeading(std::string_view text) {
  return "<th scope=\"row\">" + Escaped(text) + "</th>";
}

// The cell of a count: shaded by its share of the row's rows, so that a good classifier shows a
// dark diagonal; the darker half in white text.
std::string ConfusionCell(const JobSettings& job, std::int64_t count, std::int64_t row_total,
                          bool diagonal) {
  const double share = row_total > 0 ? static_cast<double>(count) / row_total : 0;
  std::string alpha;
  AppendCoordinate(alpha, 0.05 + 0.85 * share);  // a light tint where the share is 0
  std::string cell = "<td class=\"" + std::string(diagonal ? "hit" : "miss") +
                     "\" style=\"background:rgba(0,114,178," + alpha + ")" +
                     (share > 0.5 ? ";color:#fff" : "") + "\">";
  cell += std::to_string(count) + "<span class=\"share\">" +
          Escaped(ShortNumber(100 * share, job.DecimalSeparator)) + "%</span></td>";
  return cell;
}

std::string ConfusionTable(const JobSettings& job, const Json& figures, std::string_view rows) {
  const Json& confusion = figures["confusion"];
  std::string table = "<div class=\"wide\"><table class=\"confusion\"><caption>Confusion matrix, " +
                      std::string(rows) + " rows (" + figures["rows"].dump() +
                      "): counts and shares of the actual class's rows</caption><thead><tr>" +
                      "<th scope=\"col\">actual \\ predicted</th>";
  for (const std::string& label : job.Classes) table += ColumnHeading(label);
  table += "</tr></thead><tbody>";
  for (std::size_t actual = 0; actual < confusion.size(); ++actual) {
    const std::vector<std::int64_t> counts = confusion[actual].get<std::vector<std::int64_t>>();
    std::int64_t total = 0;
    for (std::int64_t count : counts) total += count;
    table += "<tr>" + RowHeading(job.Classes[actual]);
    for (std::size_t predicted = 0; predicted < counts.size(); ++predicted) {
      table += ConfusionCell(job, counts[predicted], total, predicted == actual);
    }
    table += "</tr>";
  }
  return table + "</tbody></table></div>";
}

std::string PerClassTable(const JobSettings& job, const Json& figures, std::string_view rows) {
  std::string table =
      "<div class=\"wide\"><table class=\"per-class\"><caption>Each class against "
      "the others, " +
      std::string(rows) + " rows</caption><thead><tr>";
  for (const char* name : {"class", "precision", "recall", "F1", "support", "AUC"}) {
    table += ColumnHeading(name);
  }
  table += "</tr></thead><tbody>";
  for (const Json& item : figures["classes"]) {
    table += "<tr>" + RowHeading(item["label"].get<std::string>());
    for (const char* key : {"precision", "recall", "f1", "support"}) {
      table += Cell(FigureText(job, item[key], "-"));
    }
    table += Cell(FigureText(job, item["auc"], "not defined: no rows of the class or no others"));
    table += "</tr>";
  }
  return table + "</tbody></table></div>";
}

}  // namespace

std::string ClassesSection(const JobSettings& job, const Json& summary) {
  const Json& metrics = summary["metrics"];
  const bool validation = !metrics["validation"].is_null();
  const Json& figures = validation ? metrics["validation"] : metrics["training"];
  if (figures.is_null()) {
    return Section("classes", "Confusion matrix and classes",
                   Paragraph("The run ended before the classifier's figures were computed."));
  }
  const std::string rows = validation ? "validation" : "training";
  std::string body = Paragraph(
      "Each row of the matrix is an actual class, each column the class the network gave the "
      "most probability: the count of the " +
      rows +
      " rows there and their share of the actual class's rows, the darker the more. The "
      "diagonal holds the rows classified right.");
  body += ConfusionTable(job, figures, rows);
  body += Paragraph(
      "Precision: the share of the rows taken for the class that are of it. Recall: the share of "
      "the class's rows taken for it. F1: their harmonic mean. Support: the rows of the class. "
      "AUC: the area under the class's ROC curve.");
  body += PerClassTable(job, figures, rows);
  return Section("classes", "Confusion matrix and classes", body);
}

std::string ClassFiguresTable(const JobSettings& job, const Json& summary) {
  const Json& training = summary["metrics"]["training"];
  const Json& validation = summary["metrics"]["validation"];
  if (training.is_null() && validation.is_null()) {
    return "<p>The run ended before the classifier's figures were computed.</p>";
  }
  static constexpr std::pair<const char*, const char*> kFigures[] = {
      {"rows", "rows"},
      {"accuracy", "accuracy"},
      {"error_rate", "error rate"},
      {"majority_error_rate", "error rate of always the commonest class"},
      {"balanced_accuracy", "balanced accuracy"},
      {"log_loss", "log loss"},
      {"macro_f1", "macro F1"},
      {"kappa", "Cohen's kappa"},
      {"auc", "AUC"},
  };
  std::string table = "<table class=\"figures\"><caption>Classifier figures</caption><thead><tr>" +
                      ColumnHeading("figure");
  if (!training.is_null()) table += ColumnHeading("training rows");
  if (!validation.is_null()) table += ColumnHeading("validation rows");
  table += "</tr></thead><tbody>";
  for (const auto& [key, name] : kFigures) {
    table += "<tr>" + RowHeading(name);
    for (const Json* figures : {&training, &validation}) {
      if (!figures->is_null()) table += Cell(FigureText(job, (*figures)[key], "not defined"));
    }
    table += "</tr>";
  }
  return table + "</tbody></table>";
}

std::string ClassTableStyle() {
  // A wide matrix scrolls in its own box rather than the page across.
  return ".wide{overflow-x:auto;margin:0 0 1.2rem}.wide table{margin:0}"
         "table.confusion{width:auto}table.confusion td{text-align:right;padding:.3rem .5rem;"
         "min-width:3.5rem}table.confusion th[scope=row]{width:auto}"
         ".share{display:block;font-size:.8rem}";
}

}  // namespace tarvex::report
