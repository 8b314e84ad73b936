// Speed of the .xls format behind the WorkbookFile interface, in separate processes so that
// each prints its own peak memory:
//   xls_bench write FILE ROWS COLUMNS   writes a ROWS x COLUMNS block of random numbers from A2
//                                       into the first sheet of an existing workbook and saves
//   xls_bench read FILE ROWS COLUMNS    opens the workbook and reads the same block
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "workbook/format_choice.h"

namespace {

using tarvex::workbook::CellKind;

int Write(const char* path, std::int64_t rows, std::int64_t columns) {
  std::mt19937_64 generator(777);
  std::uniform_real_distribution<double> value(-1000, 1000);
  std::vector<tarvex::workbook::CellWrite> cells;
  cells.reserve(static_cast<size_t>(rows * columns));
  for (std::int64_t r = 1; r <= rows; ++r) {
    for (std::int64_t c = 0; c < columns; ++c) cells.push_back({r, c, value(generator)});
  }
  auto start = std::chrono::steady_clock::now();
  auto file = tarvex::workbook::OpenWorkbookFile(path);
  file->WriteNumbers(0, cells);
  file->Save();
  std::printf("seconds %.3f\npeak_mb %.1f\n", tarvex::bench::Seconds(start),
              tarvex::bench::PeakMegabytes());
  return 0;
}

int Read(const char* path, std::int64_t rows, std::int64_t columns) {
  auto start = std::chrono::steady_clock::now();
  auto file = tarvex::workbook::OpenWorkbookFile(path);
  std::vector<tarvex::workbook::CellValue> cells = file->ReadCells(0, {1, 0, rows, columns - 1});
  double sum = 0;
  for (const auto& cell : cells) {
    if (cell.kind == CellKind::kNumber) sum += cell.number;
  }
  std::printf("seconds %.3f\npeak_mb %.1f\nsum %.6f\n", tarvex::bench::Seconds(start),
              tarvex::bench::PeakMegabytes(), sum);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: xls_bench write|read FILE ROWS COLUMNS\n");
    return 2;
  }
  std::string command = argv[1];
  std::int64_t rows = std::atoll(argv[3]);
  std::int64_t columns = std::atoll(argv[4]);
  try {
    if (command == "write") return Write(argv[2], rows, columns);
    if (command == "read") return Read(argv[2], rows, columns);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 2;
}
