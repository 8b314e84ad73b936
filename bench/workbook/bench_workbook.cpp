// Reading and writing a large workbook range through the job's own stages.
//   bench_workbook read FILE    LoadDataSet of Data!A1:J100000; seconds and peak memory
//   bench_workbook write FILE   OutPredictToFile of a 100,000 x 10 matrix into Data!A1:J100000,
//                               the workbook saved; seconds and peak memory
// Each run is its own process, so that each peak belongs to one operation.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/bench_support.h"
#include "input/load_data_set.h"
#include "job/job_settings.h"
#include "output/out_predict.h"
#include "platform/locale_text.h"

namespace {

constexpr long kRows = 100000;
constexpr long kColumns = 10;

int Read(const char* path) {
  tarvex::job::JobSettings job = tarvex::bench::FreshJob();
  const double base = tarvex::bench::PeakMegabytes();
  auto start = std::chrono::steady_clock::now();
  bool loaded = tarvex::input::LoadDataSet(
      job, path, job.TrainingInputs, tarvex::input::Source::kFile,
      tarvex::job::DataSet::kTrainingInputs, "Data!A1:J" + std::to_string(kRows));
  const double seconds = tarvex::bench::Seconds(start);
  if (!loaded || job.TrainingInputs.RowCount() != kRows ||
      job.TrainingInputs.ColumnCount() != kColumns) {
    std::printf("read failed\n");
    return 1;
  }
  std::printf("seconds %.3f\npeak_mb %.1f\nbase_mb %.1f\n", seconds, tarvex::bench::PeakMegabytes(),
              base);
  return 0;
}

int Write(const char* path) {
  tarvex::job::JobSettings job = tarvex::bench::FreshJob();
  job.PredictionOutputs = tarvex::job::DataMatrix(1, kRows, 1, kColumns);
  double value = 0.5;
  for (double& cell : job.PredictionOutputs.Values()) {
    value = value * 3.9 * (1 - value);  // varied digits, as predictions have
    cell = value * 1000;
  }
  job.pof = path;
  job.pos = "Data!A1:J" + std::to_string(kRows);
  const double base = tarvex::bench::PeakMegabytes();
  auto start = std::chrono::steady_clock::now();
  bool written = tarvex::output::OutPredictToFile(job);
  const double seconds = tarvex::bench::Seconds(start);
  if (!written) {
    std::printf("write failed\n");
    return 1;
  }
  std::printf("seconds %.3f\npeak_mb %.1f\nbase_mb %.1f\n", seconds, tarvex::bench::PeakMegabytes(),
              base);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "read") == 0) return Read(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "write") == 0) return Write(argv[2]);
  std::fprintf(stderr, "usage: bench_workbook read|write FILE\n");
  return 2;
}
