// The pieces of a workbook read, each timed on its own in one process:
//   bench_readonce read FILE SELECTOR   LoadDataSet of one range (or query): seconds, processor
//                                       seconds and peak memory
//   bench_readonce inflate FILE PART    the part inflated through the zip library in pieces (zlib,
//                                       as every read did before), inflated whole as the package
//                                       reads it now, and scanned into its cell table; seconds of
//                                       each, best of five
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "input/load_data_set.h"
#include "workbook/format/address.h"
#include "workbook/openxml/sheet_table.h"
#include "workbook/openxml/zip_package.h"

namespace {

using tarvex::bench::Seconds;

int Read(const char* path, const char* selector) {
  tarvex::job::JobSettings job = tarvex::bench::FreshJob();
  const double processor = tarvex::bench::ProcessorSeconds();
  auto start = std::chrono::steady_clock::now();
  const bool loaded =
      tarvex::input::LoadDataSet(job, path, job.TrainingInputs, tarvex::input::Source::kFile,
                                 tarvex::input::DataSet::kTrainingInputs, selector);
  const double seconds = Seconds(start);
  if (!loaded) {
    std::printf("read failed\n");
    return 1;
  }
  std::printf("seconds %.4f\nprocessor_seconds %.4f\npeak_mb %.1f\nrows %lld\n", seconds,
              tarvex::bench::ProcessorSeconds() - processor, tarvex::bench::PeakMegabytes(),
              static_cast<long long>(job.TrainingInputs.RowCount()));
  return 0;
}

// The earlier way: the zip library inflating the entry into the buffer in pieces.
double InflateInPieces(const char* path, const char* part, size_t& size) {
  int error = 0;
  std::unique_ptr<zip_t, void (*)(zip_t*)> archive(zip_open(path, ZIP_RDONLY, &error), zip_discard);
  zip_stat_t stat;
  if (!archive || zip_stat(archive.get(), part, 0, &stat) != 0) return -1;
  std::string content(stat.size, '\0');
  auto start = std::chrono::steady_clock::now();
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen(archive.get(), part, 0),
                                                         zip_fclose);
  size_t done = 0;
  for (zip_int64_t n;
       file && done < content.size() &&
       (n = zip_fread(file.get(), content.data() + done, content.size() - done)) > 0;) {
    done += static_cast<size_t>(n);
  }
  size = done;
  return Seconds(start);
}

int Inflate(const char* path, const char* part) {
  constexpr int kRounds = 5;
  double pieces = 1e9, whole = 1e9, scan = 1e9, table_mb = 0;
  size_t size = 0;
  for (int round = 0; round < kRounds; ++round) {
    pieces = std::min(pieces, InflateInPieces(path, part, size));
    tarvex::workbook::openxml::ZipPackage package(path);
    auto start = std::chrono::steady_clock::now();
    tarvex::platform::LargeText text = package.Read(part);
    whole = std::min(whole, Seconds(start));
    start = std::chrono::steady_clock::now();
    tarvex::workbook::openxml::SheetTable table(text, part, {1048576, 16384}, nullptr);
    scan = std::min(scan, Seconds(start));
    table_mb = static_cast<double>(table.Bytes()) / 1048576;
    if (text.size() != size) {
      std::printf("inflate failed\n");
      return 1;
    }
  }
  std::printf(
      "part_mb %.1f\ntable_mb %.1f\npieces_seconds %.4f\nwhole_seconds %.4f\nscan_seconds %.4f\n",
      static_cast<double>(size) / 1048576, table_mb, pieces, whole, scan);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "read") == 0) return Read(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "inflate") == 0) return Inflate(argv[2], argv[3]);
  std::fprintf(stderr, "usage: bench_readonce read FILE SELECTOR | inflate FILE PART\n");
  return 2;
}
