#include "report/report_tables.h"

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "job/activation_table.h"
#include "job/class_list.h"
#include "platform/markup_text.h"
#include "platform/number_text.h"
#include "report/class_tables.h"
#include "results/validation_entry.h"

namespace tarvex::report {

using job::ColumnFigures;
using job::JobSettings;
using Json = nlohmann::ordered_json;

namespace {

using Row = std::pair<std::string, std::string>;

std::string Number(const JobSettings& job, double value) {
  return platform::FormatGeneralNumber(value, job.DecimalSeparator);
}

// A JSON value as the log would write it: numbers in the general form, text as it is.
std::string ValueText(const JobSettings& job, const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer()) return value.dump();
  if (value.is_number()) return Number(job, value.get<double>());
  return value.dump();
}

std::string Table(std::string_view caption, const std::vector<Row>& rows) {
  std::string table = "<table><caption>" + platform::MarkupEscaped(caption) + "</caption><tbody>";
  for (const auto& [name, value] : rows) {
    table += "<tr><th scope=\"row\">" + platform::MarkupEscaped(name) + "</th><td>" +
             platform::MarkupEscaped(value) + "</td></tr>";
  }
  return table + "</tbody></table>";
}

std::string FigureText(const JobSettings& job, const std::vector<ColumnFigures>& figures,
                       std::size_t column, int which) {
  if (column >= figures.size()) return "-";
  const ColumnFigures& figure = figures[column];
  if (which == 0) return Number(job, figure.rmse);
  if (which == 1) return Number(job, figure.mae);
  return figure.r2 ? Number(job, *figure.r2) : "not defined: the actual values are all equal";
}

std::string FiguresTables(const JobSettings& job) {
  const std::vector<ColumnFigures>& training = job.Results.training;
  const std::vector<ColumnFigures>& validation = job.Results.validation;
  const std::size_t columns = std::max(training.size(), validation.size());
  if (columns == 0) return "<p>The run ended before the error figures were computed.</p>";
  std::string tables;
  static constexpr const char* kNames[] = {"RMSE", "MAE", "R\xC2\xB2"};
  for (std::size_t column = 0; column < columns; ++column) {
    tables += "<table class=\"figures\"><caption>Error figures, output " +
              std::to_string(column + 1) + "</caption><thead><tr><th scope=\"col\">figure</th>";
    if (!training.empty()) tables += "<th scope=\"col\">training rows</th>";
    if (!validation.empty()) tables += "<th scope=\"col\">validation rows</th>";
    tables += "</tr></thead><tbody>";
    for (int which = 0; which < 3; ++which) {
      tables += "<tr><th scope=\"row\">" + std::string(kNames[which]) + "</th>";
      if (!training.empty()) {
        tables +=
            "<td>" + platform::MarkupEscaped(FigureText(job, training, column, which)) + "</td>";
      }
      if (!validation.empty()) {
        tables +=
            "<td>" + platform::MarkupEscaped(FigureText(job, validation, column, which)) + "</td>";
      }
      tables += "</tr>";
    }
    tables += "</tbody></table>";
  }
  return tables;
}

std::string ActivationText(std::int16_t af) {
  const job::LayerFunctions functions = job::LayerFunctionsOfCode(af);
  return std::to_string(af) + ": " + std::string(job::ActivationName(functions.hidden)) +
         " in the hidden layer, " + std::string(job::ActivationName(functions.output)) +
         " in the output layer";
}

std::vector<Row> NetworkRows(const JobSettings& job, const Json& summary) {
  std::vector<Row> rows;
  const Json& network = summary["network"];
  if (network.is_null()) return rows;
  if (!job::TrainsNetwork(job)) rows.push_back({"network file", job.nif});
  rows.push_back({"inputs", ValueText(job, network["inputs"])});
  rows.push_back({"hidden neurons", ValueText(job, network["hidden"])});
  rows.push_back({"outputs", ValueText(job, network["outputs"])});
  rows.push_back({"activation", ActivationText(job.af)});
  const Json& training = summary["training"];
  if (training.is_null()) return rows;
  rows.push_back({"epochs run", ValueText(job, training["epochs"])});
  if (!training["best_epoch"].is_null()) {
    rows.push_back({"best epoch", ValueText(job, training["best_epoch"])});
  }
  if (!training["stop"].is_null()) {
    rows.push_back({"network kept", "epoch " + std::to_string(job::KeptEpoch(job))});
    rows.push_back({"stopped by", results::StopText(job)});
  }
  rows.push_back({"seconds of training", ValueText(job, training["seconds"])});
  return rows;
}

std::vector<Row> OptionRows(const JobSettings& job, const Json& summary) {
  std::vector<Row> rows;
  for (const auto& [key, value] : summary["options"].items()) {
    if (!value.is_null()) rows.push_back({"/" + key, ValueText(job, value)});
  }
  if (!job.rof.empty()) rows.push_back({"/rof", job.rof});
  return rows;
}

std::vector<Row> DataRows(const JobSettings& job, const Json& summary) {
  static constexpr std::pair<const char*, const char*> kSets[] = {
      {"training_inputs", "training inputs"},       {"training_outputs", "training outputs"},
      {"prediction_inputs", "prediction inputs"},   {"validation_inputs", "validation inputs"},
      {"validation_outputs", "validation outputs"},
  };
  std::vector<Row> rows;
  for (const auto& [key, name] : kSets) {
    const Json& set = summary["data"][key];
    if (set.is_null()) continue;
    std::string source;
    if (set["source"] == "file") {
      source = ValueText(job, set["name"]);
      if (!set["selector"].is_null()) source += " (" + ValueText(job, set["selector"]) + ")";
    } else if (set["source"] == "held_out") {
      source = "held out of the training rows";
    } else {
      source = "values in the options";
    }
    if (!set["rows"].is_null()) {
      source += ": " + ValueText(job, set["rows"]) + " rows, " + ValueText(job, set["columns"]) +
                " columns";
    } else {
      source += ": not loaded";
    }
    rows.push_back({name, source});
  }
  return rows;
}

// The share of missing cells as a bar of 100 units beside its count; inline, so that pages
// without a profile keep their style sheet as it was.
std::string MissingBar(const JobSettings& job, std::int64_t missing, std::int64_t rows) {
  const double share = rows > 0 ? static_cast<double>(missing) / static_cast<double>(rows) : 0;
  const std::string percent = Number(job, std::round(share * 1000) / 10);
  const std::string width = Number(job, std::round(share * 1000) / 10);
  std::string text;
  for (char c : width) text += c == ',' ? '.' : c;  // SVG numbers take "." under every locale
  return "<svg width=\"100\" height=\"10\" viewBox=\"0 0 100 10\" role=\"img\" aria-label=\"" +
         percent + "% missing\"><rect width=\"100\" height=\"10\" fill=\"#e4e4e4\"/>" +
         "<rect width=\"" + text + "\" height=\"10\" fill=\"#0072B2\"/></svg> " +
         std::to_string(missing) + " (" + percent + "%)";
}

// One row per input column of a job with an encoding: kind, missing cells with their share as a
// bar, fill value or categories, range and unseen cells.
std::string ProfileTable(const JobSettings& job, const Json& summary) {
  const Json& columns = summary["data"]["columns"];
  const std::int64_t rows = summary["table"]["training_rows"].is_number_integer()
                                ? summary["table"]["training_rows"].get<std::int64_t>()
                                : 0;
  std::string table =
      "<table class=\"figures\"><caption>Data profile: the input columns of the training rows"
      "</caption><thead><tr><th scope=\"col\">column</th><th scope=\"col\">kind</th>"
      "<th scope=\"col\">missing</th><th scope=\"col\">fill or categories</th>"
      "<th scope=\"col\">range</th><th scope=\"col\">unseen</th></tr></thead><tbody>";
  for (const Json& column : columns) {
    std::string filled;
    if (column["kind"] == "categorical") {
      for (const Json& category : column["categories"]) {
        filled += (filled.empty() ? "" : ", ") + ValueText(job, category["category"]);
        if (!category["count"].is_null()) filled += " " + ValueText(job, category["count"]);
      }
    } else {
      filled = ValueText(job, column["fill"]);
      if (column["indicator"] == true) filled += " (and an indicator input)";
    }
    const std::string range = column["min"].is_null() ? "-"
                                                       : ValueText(job, column["min"]) + " to " +
                                                             ValueText(job, column["max"]);
    std::string unseen = ValueText(job, column["unseen"]["count"]);
    std::string names;
    for (const Json& name : column["unseen"]["names"]) {
      names += (names.empty() ? "" : ", ") + ValueText(job, name);
    }
    if (!names.empty()) unseen += ": " + names;
    const std::string missing =
        column["missing"].is_null()
            ? std::string("-")
            : MissingBar(job, column["missing"].get<std::int64_t>(), rows);
    table += "<tr><th scope=\"row\">" + platform::MarkupEscaped(ValueText(job, column["name"])) +
             "</th><td>" + platform::MarkupEscaped(ValueText(job, column["kind"])) + "</td><td>" +
             missing + "</td><td>" + platform::MarkupEscaped(filled) + "</td><td>" +
             platform::MarkupEscaped(range) + "</td><td>" + platform::MarkupEscaped(unseen) +
             "</td></tr>";
  }
  return table + "</tbody></table>";
}

std::vector<Row> FileRows(const JobSettings& job, const Json& summary) {
  std::vector<Row> rows;
  const Json& outputs = summary["outputs"];
  if (!outputs["predictions"].is_null()) {
    rows.push_back({"predictions", ValueText(job, outputs["predictions"])});
  }
  if (!outputs["network"].is_null()) {
    rows.push_back({"network file", ValueText(job, outputs["network"])});
  }
  if (!outputs["curve"].is_null()) {
    rows.push_back({"learning curve", ValueText(job, outputs["curve"])});
  }
  if (!job.log.empty()) rows.push_back({"run log", job.log + " (appended to)"});
  if (!job.sof.empty()) rows.push_back({"run summary", job.sof + " (written after this report)"});
  rows.push_back({"this report", job.rof});
  return rows;
}

}  // namespace

std::string TablesSection(const JobSettings& job, const Json& summary) {
  std::string body =
      job::IsClassification(job) ? ClassFiguresTable(job, summary) : FiguresTables(job);
  const std::vector<Row> network = NetworkRows(job, summary);
  body += network.empty() ? "<p>The run ended before the network was laid out.</p>"
                          : Table("Network and training", network);
  body += Table("Options", OptionRows(job, summary));
  const std::vector<Row> data = DataRows(job, summary);
  if (!data.empty()) body += Table("Data", data);
  if (summary["data"].contains("columns")) body += ProfileTable(job, summary);
  body += Table("Files written", FileRows(job, summary));
  return "<section id=\"tables\"><h2>Figures, network, options, data and files</h2>" + body +
         "</section>\n";
}

}  // namespace tarvex::report
