// Loading speed of a large comma-separated file through LoadDataSet (read, parse, number test,
// range computation, rescale), and a plain std::from_chars loop over the same file as the peer.
//   bench_load generate FILE MEGABYTES   writes random doubles, 10 columns, %.10g
//   bench_load load FILE                 loads once, prints seconds, MB/s and peak memory
//   bench_load fromchars FILE            reads and converts with a bare from_chars loop
#include <sys/resource.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "input/load_data_set.h"
#include "job/job_settings.h"
#include "platform/files.h"
#include "platform/locale_text.h"

namespace {

int Generate(const char* path, long megabytes) {
  std::FILE* out = std::fopen(path, "wb");
  if (!out) return 1;
  std::mt19937_64 generator(12345);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  std::uniform_int_distribution<int> exponent(-5, 5);
  long written = 0;
  char line[512];
  while (written < megabytes * 1000000L) {
    int length = 0;
    for (int c = 0; c < 10; ++c) {
      double value = mantissa(generator) * std::pow(10.0, exponent(generator));
      length += std::snprintf(line + length, sizeof line - length, c ? ",%.10g" : "%.10g", value);
    }
    line[length++] = '\n';
    std::fwrite(line, 1, length, out);
    written += length;
  }
  std::fclose(out);
  return 0;
}

int Load(const char* path) {
  tarvex::job::JobSettings job = tarvex::bench::FreshJob();
  const double base = tarvex::bench::PeakMegabytes();
  auto start = std::chrono::steady_clock::now();
  bool loaded =
      tarvex::input::LoadDataSet(job, path, job.TrainingInputs, tarvex::input::Source::kFile,
                                 tarvex::job::DataSet::kTrainingInputs, "");
  double seconds = tarvex::bench::Seconds(start);
  if (!loaded) {
    std::printf("load failed\n");
    return 1;
  }
  double megabytes = std::filesystem::file_size(path) / 1e6;
  double matrix_megabytes = job.TrainingInputs.Values().size() * sizeof(double) / 1e6;
  std::printf("rows %lld columns %lld\n", static_cast<long long>(job.TrainingInputs.RowCount()),
              static_cast<long long>(job.TrainingInputs.ColumnCount()));
  std::printf("seconds %.3f\nmb_per_s %.1f\n", seconds, megabytes / seconds);
  std::printf("file_mb %.1f\nmatrix_mb %.1f\npeak_mb %.1f\nbase_mb %.1f\n", megabytes,
              matrix_megabytes, tarvex::bench::PeakMegabytes() * 1.048576, base * 1.048576);
  return 0;
}

int FromChars(const char* path) {
  auto start = std::chrono::steady_clock::now();
  std::string text = tarvex::platform::ReadWholeFile(path);
  std::vector<double> values;
  values.reserve(text.size() / 8);
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end) {
    double value;
    auto [next, ec] = std::from_chars(p, end, value);
    if (ec != std::errc()) return 1;
    values.push_back(value);
    p = next + 1;  // the comma or the LF
  }
  double seconds = tarvex::bench::Seconds(start);
  std::printf("seconds %.3f\nmb_per_s %.1f\nvalues %zu\n", seconds, text.size() / 1e6 / seconds,
              values.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "generate") == 0)
    return Generate(argv[2], std::atol(argv[3]));
  if (argc >= 3 && std::strcmp(argv[1], "load") == 0) return Load(argv[2]);
  if (argc >= 3 && std::strcmp(argv[1], "fromchars") == 0) return FromChars(argv[2]);
  std::fprintf(stderr, "usage: bench_load generate FILE MB | load FILE | fromchars FILE\n");
  return 2;
}
