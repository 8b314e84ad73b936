// The report of a large run: a job of a million rows (a fifth held out for validation) after
// 10,000 epochs with early stopping, as the run leaves it, with one and with three output columns.
// The page is made and written against the learning curve's CSV and the run summary of the same
// job, measured in the same run; the shortest of seven.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "bench/bench_support.h"
#include "job/job_file.h"
#include "report/report_page.h"
#include "results/curve_file.h"
#include "results/run_summary.h"
#include "training/learning_curve.h"

namespace tarvex::bench {
namespace {

using job::DataMatrix;
using job::Index;

// Outputs and predictions that differ by a little deterministic noise.
void FillRows(DataMatrix& actual, DataMatrix& predicted, Index rows, int columns, double phase) {
  actual = DataMatrix(0, rows - 1, 0, columns - 1);
  predicted = DataMatrix(0, rows - 1, 0, columns - 1);
  for (Index r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const double value = std::sin(0.37 * static_cast<double>(r) * (c + 1) + phase) * 10;
      actual.At(r, c) = value;
      predicted.At(r, c) = value + 0.3 * std::sin(1.7 * static_cast<double>(r) + c);
    }
  }
}

job::JobSettings LargeJob(int columns) {
  job::JobSettings job = FreshJob(".");
  constexpr Index kTraining = 800000, kValidation = 200000;
  constexpr int kEpochs = 10000, kBest = 9000;
  job.tif = "data\\inputs.txt";
  job.tof = "data\\outputs.txt";
  job.pif = "data\\new.txt";
  job.pof = "out\\predictions.txt";
  job.log = "out\\run.log";
  job.rof = "out\\report.html";
  job.vf = "0.2";
  job.ValidationFraction = 0.2;
  job.es = "1000";
  job.Patience = 1000;
  job.ep = 20000;
  job.Options = job::OptionsState::kNumbersAccepted;
  job.TrainingInputs = DataMatrix(0, kTraining - 1, 0, 9);
  job.TrainingOutputs = DataMatrix(0, kTraining - 1, 0, columns - 1);
  job.ValidationInputs = DataMatrix(0, kValidation - 1, 0, 9);
  job.ValidationOutputs = DataMatrix(0, kValidation - 1, 0, columns - 1);
  FillRows(job.TrainingOutputValues, job.Results.training_predictions, kTraining, columns, 0);
  FillRows(job.ValidationOutputValues, job.Results.validation_predictions, kValidation, columns, 1);
  job.Results.network = {10, 22, columns};
  job.Results.stop = job::StopReason::kEarlyStop;
  job.Results.best_epoch = kBest;
  job.LastEpoch = kEpochs;
  job.Results.seconds = 1234.5;
  job.Results.training.assign(columns, {0.3, 0.2, 0.99});
  job.Results.validation.assign(columns, {0.31, 0.21, 0.98});
  // The curve as the run keeps it: every epoch up to 10,000.
  training::LearningCurve curve;
  for (int epoch = 1; epoch <= kEpochs; ++epoch) {
    job::CurvePoint point{epoch, {}, {}, 0.01};
    for (int c = 0; c < columns; ++c) {
      const double fall = 0.3 + 5 / (1 + 0.01 * epoch);
      point.training_rmse.push_back(fall * (1 + 0.02 * std::sin(epoch * 0.9 + c)));
      point.validation_rmse.push_back(1.05 * fall * (1 + 0.02 * std::sin(epoch * 1.3 + c)));
    }
    curve.Add(point, epoch == kBest);
  }
  job.Results.curve = curve.Points();
  return job;
}

struct Timing {
  double wall = 1e9, processor = 1e9;
};

Timing Shortest(const std::function<void()>& work) {
  Timing best;
  for (int run = 0; run < 7; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const double processor = ProcessorSeconds();
    work();
    best.processor = std::min(best.processor, ProcessorSeconds() - processor);
    best.wall = std::min(best.wall, Seconds(start));
  }
  return best;
}

void Measure(int columns, const std::filesystem::path& folder) {
  job::JobSettings job = LargeJob(columns);
  job.rof = (folder / "report.html").string();
  const std::string csv = (folder / "curve.csv").string();
  const std::string json = (folder / "summary.json").string();
  std::size_t report_size = 0, curve_size = 0, summary_size = 0;
  const Timing report = Shortest([&] {
    report::WriteReport(job, 0, std::nullopt);
    report_size = std::filesystem::file_size(job.rof);
  });
  const Timing curve = Shortest([&] {
    job::WriteJobFile(job, csv, "The learning curve file",
                      results::LearningCurveText(job.Results.curve, columns, true));
    curve_size = std::filesystem::file_size(csv);
  });
  job.sof = json;
  const Timing summary = Shortest([&] {
    results::WriteRunSummary(job, 0, std::nullopt);
    summary_size = std::filesystem::file_size(json);
  });
  job.sof.clear();
  std::printf("%d output column(s), %zu curve epochs, 800,000 + 200,000 rows:\n", columns,
              job.Results.curve.size());
  std::printf("  %-28s %9s %9s %8s %11s\n", "written", "wall s", "cpu s", "/ curve", "bytes");
  auto line = [&](const char* name, const Timing& timing, std::size_t size) {
    std::printf("  %-28s %9.4f %9.4f %8.2f %11zu\n", name, timing.wall, timing.processor,
                timing.processor / curve.processor, size);
  };
  line("report (/rof)", report, report_size);
  line("learning curve CSV (/lcf)", curve, curve_size);
  line("run summary (/sof)", summary, summary_size);
}

}  // namespace
}  // namespace tarvex::bench

int main() {
  char pattern[] = "/tmp/tarvex-report-bench-XXXXXX";
  const std::filesystem::path folder = mkdtemp(pattern);
  tarvex::bench::Measure(1, folder);
  tarvex::bench::Measure(3, folder);
  std::filesystem::remove_all(folder);
}
