#include "report/report_page.h"

#include "job/class_list.h"
#include "job/job_file.h"
#include "platform/locale_text.h"
#include "platform/markup_text.h"
#include "report/class_charts.h"
#include "report/class_tables.h"
#include "report/html_text.h"
#include "report/report_charts.h"
#include "report/report_tables.h"
#include "report/svg_chart.h"
#include "results/run_summary.h"
#include "results/training_entry.h"

namespace tarvex::report {

using job::JobSettings;

namespace {

// One column that narrows to a phone's width; a chart as wide as the column, or two abreast where
// a section has several and there is room; one below the other in print.
constexpr const char* kStyle =
    "body{margin:0;background:#fff;color:#1a1a1a;"
    "font:16px/1.45 system-ui,-apple-system,'Segoe UI',Roboto,'DejaVu Sans',sans-serif}"
    "main{max-width:56rem;margin:0 auto;padding:1rem}"
    "h1{font-size:1.6rem;margin:0 0 .3rem;overflow-wrap:anywhere}"
    "h2{font-size:1.25rem;margin:2rem 0 .6rem;padding-bottom:.2rem;border-bottom:1px solid #bbb}"
    ".kicker{margin:0;color:#555;font-size:.9rem;text-transform:uppercase;letter-spacing:.05em}"
    ".status{font-weight:600;margin:.3rem 0}.key{margin:.3rem 0;font-size:1.05rem}"
    ".succeeded::before{content:'\\2713  '}.failed::before{content:'\\2717  '}"
    ".failed{color:#a3290a}"
    ".warning{border-left:4px solid #E69F00;background:#fdf5e3;padding:.5rem .8rem}"
    ".failure{font-family:'DejaVu Sans Mono',monospace;font-size:.9rem;white-space:pre-wrap;"
    "overflow-wrap:anywhere;border-left:4px solid #D55E00;background:#fbeee6;padding:.5rem .8rem}"
    ".meta,.note,figcaption{color:#444;font-size:.9rem}"
    ".charts{display:grid;gap:1rem 1.5rem;"
    "grid-template-columns:repeat(auto-fit,minmax(min(100%,22rem),1fr))}"
    // A chart fills its figure, and its text follows the figure's width (ChartTextStyle).
    "figure{margin:0;container-type:inline-size}figcaption{text-align:center}"
    "svg.chart{display:block;width:100%;height:auto}"
    "svg text{fill:#1a1a1a}"
    "svg .grid line{stroke:#e4e4e4}svg .tick line{stroke:#333}svg .frame{stroke:#333}"
    "svg .bars rect{fill-opacity:.8;stroke:#fff;stroke-width:.5}"
    "svg .rule-label{paint-order:stroke;stroke:#fff;stroke-width:3px}"
    "table{border-collapse:collapse;width:100%;margin:0 0 1.2rem}"
    "caption{text-align:left;font-weight:600;padding:.2rem 0}"
    "th,td{text-align:left;vertical-align:top;padding:.25rem .5rem .25rem 0;"
    "border-bottom:1px solid #ddd;overflow-wrap:anywhere}"
    "th[scope=row]{font-weight:normal;color:#444;width:35%}"
    "td{font-variant-numeric:tabular-nums}.figures th[scope=row]{width:auto}"
    "@media (max-width:30rem){table{font-size:.85rem}}"
    "@media print{main{max-width:none;padding:0}h2{break-after:avoid}"
    ".charts{display:block}figure{max-width:15cm;margin:0 auto 1rem;break-inside:avoid}"
    "table{break-inside:avoid}}";

// The job's name: the stem of its parameter file, else of its prediction output, else of its log.
std::string JobName(const JobSettings& job) {
  const std::string& path = !job.ini.empty() ? job.ini : !job.pof.empty() ? job.pof : job.log;
  if (path.empty()) return "Tarvex job";
  std::string name = path.substr(path.find_last_of("/\\") + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? path : name;
}

// The figures that say at a glance how well the network fits, with four significant digits (the
// tables have them in full): of the validation rows where there are some, else of the training
// rows.
std::string KeyFigures(const JobSettings& job) {
  if (job::IsClassification(job)) {
    const bool validation = job.Results.class_validation.has_value();
    const std::optional<job::ClassificationFigures>& figures =
        validation ? job.Results.class_validation : job.Results.class_training;
    if (!figures) return "";
    const std::string& separator = job.DecimalSeparator;
    const std::string text = std::string(validation ? "Validation" : "Training") +
                             " rows: accuracy " + ShortNumber(figures->accuracy, separator) +
                             ", log loss " + ShortNumber(figures->log_loss, separator) +
                             ", balanced accuracy " +
                             ShortNumber(figures->balanced_accuracy, separator);
    return "<p class=\"key\">" + platform::MarkupEscaped(text) + "</p>";
  }
  const bool validation = !job.Results.validation.empty();
  const std::vector<job::ColumnFigures>& figures =
      validation ? job.Results.validation : job.Results.training;
  constexpr std::size_t kMostColumns = 3;  // more are in the tables
  std::string text;
  for (std::size_t column = 0; column < figures.size() && column < kMostColumns; ++column) {
    const job::ColumnFigures& figure = figures[column];
    text += std::string(text.empty() ? "" : "; ") + (validation ? "Validation" : "Training") +
            " RMSE (output " + std::to_string(column + 1) +
            "): " + ShortNumber(figure.rmse, job.DecimalSeparator);
    if (figure.r2) {
      text += ", R\xC2\xB2 " + ShortNumber(*figure.r2, job.DecimalSeparator);
    }
  }
  if (figures.size() > kMostColumns) text += "; the other outputs in the tables";
  return text.empty() ? "" : "<p class=\"key\">" + platform::MarkupEscaped(text) + "</p>";
}

std::string Heading(const JobSettings& job, int exit_status,
                    const std::optional<std::string>& failure_line) {
  std::string heading = "<header><p class=\"kicker\">Tarvex report</p><h1>" +
                        platform::MarkupEscaped(JobName(job)) + "</h1>";
  if (exit_status == 0) {
    heading += "<p class=\"status succeeded\">Succeeded: exit status 0</p>";
  } else {
    heading +=
        "<p class=\"status failed\">Failed: exit status " + std::to_string(exit_status) + "</p>";
    heading += failure_line
                   ? "<p class=\"failure\">" + platform::MarkupEscaped(*failure_line) + "</p>"
                   : "<p class=\"failure\">The run failed without a line in the log.</p>";
    heading += "<p>The sections below show what the run knew when it ended.</p>";
  }
  // A run that learned nothing still succeeds: the warnings come first, before its figures.
  for (const std::string& warning : results::WarningLines(job)) {
    heading += "<p class=\"warning\">" + platform::MarkupEscaped(warning) + "</p>";
  }
  if (job.Results.refit) {
    heading +=
        "<p class=\"note\">The network that predicts is the refit network, trained "
        "again on all " +
        std::to_string(job.Results.refit->rows) + " training rows for " +
        std::to_string(job.Results.refit->last_epoch) +
        " epochs; the validation figures are those of the network that validation "
        "watched.</p>";
  }
  // An ensemble's lines as the log has them: what it is, then each network's own validation.
  for (const std::string& line : results::EnsembleLines(job)) {
    heading += "<p class=\"note\">" + platform::MarkupEscaped(line) + "</p>";
  }
  heading += KeyFigures(job);
  std::string job_files;
  if (!job.ini.empty()) job_files += " Parameter file: " + job.ini + ".";
  if (!job.log.empty()) job_files += " Run log: " + job.log + ".";
  heading += "<p class=\"meta\">Written at the end of the run, " +
             platform::MarkupEscaped(platform::LocalTimeStamp()) + "." +
             platform::MarkupEscaped(job_files) + "</p></header>\n";
  return heading;
}

}  // namespace

std::string ReportText(const JobSettings& job, int exit_status,
                       const std::optional<std::string>& failure_line) {
  const std::string title = "Tarvex report: " + JobName(job);
  const bool classifier = job::IsClassification(job);
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      // A browser fetches nothing for this page, even should something ever ask it to.
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<title>" +
      platform::MarkupEscaped(title) + "</title><style>" + kStyle + ChartTextStyle() +
      (classifier ? ClassTableStyle() : "") + "</style></head>\n<body><main>\n";
  page += Heading(job, exit_status, failure_line);
  const nlohmann::ordered_json summary = results::RunSummary(job, exit_status, failure_line);
  if (classifier) {
    page += ClassCurveSection(job);
    page += ClassesSection(job, summary);
    page += RocSection(job);
    page += ReliabilitySection(job);
  } else {
    page += LearningCurveSection(job);
    page += FitSection(job);
    page += ResidualSection(job);
  }
  page += TablesSection(job, summary);
  page += "</main></body></html>\n";
  return page;
}

void WriteReport(const JobSettings& job, int exit_status,
                 const std::optional<std::string>& failure_line) {
  job::WriteJobFile(job, job.rof, "The report file", ReportText(job, exit_status, failure_line));
}

}  // namespace tarvex::report
