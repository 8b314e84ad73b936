// The pieces of a workbook read, each timed on its own in one process:
//   bench_readonce read FILE SELECTOR   LoadDataSet of one range (or query): seconds, processor
//                                       seconds and peak memory
//   bench_readonce inflate FILE PART    the part inflated through the zip library in pieces (zlib,
//                                       as every read did before), inflated whole as the package
//                                       reads it now, and scanned into its cell table; seconds of
//                                       each, best of five
//   bench_readonce scan FILE PART       the inflated part's XML scanned alone (every token, the
//                                       plain cells whole, nothing kept) and scanned into its cell
//                                       table: processor seconds and MB/s of each, best of five
//   bench_readonce deflate FILE PART    the part deflated by zlib at level 1 (as saves did before)
//                                       and by libdeflate at each level: seconds and size
#include <libdeflate.h>
#include <zip.h>
#include <zlib.h>

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
#include "workbook/openxml/xml_scanner.h"
#include "workbook/openxml/zip_package.h"

namespace {

using tarvex::bench::Seconds;

int Read(const char* path, const char* selector) {
  tarvex::job::JobSettings job = tarvex::bench::FreshJob();
  const double processor = tarvex::bench::ProcessorSeconds();
  auto start = std::chrono::steady_clock::now();
  const bool loaded =
      tarvex::input::LoadDataSet(job, path, job.TrainingInputs, tarvex::input::Source::kFile,
                                 tarvex::job::DataSet::kTrainingInputs, selector);
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

// Every token of the part, the plain cells of its sheetData whole, as the table's scan meets
// them; the count of plain cells.
size_t ScanAlone(std::string_view text, std::string_view part) {
  using tarvex::workbook::openxml::XmlScanner;
  XmlScanner scanner(text, part);
  bool in_data = false;
  std::string prefix;
  size_t plain = 0;
  for (;;) {
    if (in_data && scanner.NextPlainCell(prefix, 4)) {
      ++plain;
      continue;
    }
    const XmlScanner::Token token = scanner.Next();
    if (token == XmlScanner::Token::kEndOfDocument) return plain;
    if (scanner.Depth() == 2 && token != XmlScanner::Token::kText &&
        scanner.LocalName() == "sheetData") {
      in_data = token == XmlScanner::Token::kStart;
      prefix = scanner.Prefix();
    }
  }
}

int Scan(const char* path, const char* part) {
  constexpr int kRounds = 5;
  tarvex::workbook::openxml::ZipPackage package(path);
  const tarvex::platform::LargeText text = package.Read(part);
  double alone = 1e9, table = 1e9;
  size_t plain = 0;
  for (int round = 0; round < kRounds; ++round) {
    double start = tarvex::bench::ProcessorSeconds();
    plain = ScanAlone(text, part);
    alone = std::min(alone, tarvex::bench::ProcessorSeconds() - start);
    start = tarvex::bench::ProcessorSeconds();
    tarvex::workbook::openxml::SheetTable cells(text, part, {1048576, 16384}, nullptr);
    table = std::min(table, tarvex::bench::ProcessorSeconds() - start);
  }
  const double mb = static_cast<double>(text.size()) / 1e6;
  std::printf(
      "part_mb %.1f\nplain_cells %zu\nscan_seconds %.4f\nscan_mb_per_s %.0f\ntable_seconds "
      "%.4f\ntable_mb_per_s %.0f\n",
      mb, plain, alone, mb / alone, table, mb / table);
  return 0;
}

int Deflate(const char* path, const char* part) {
  tarvex::workbook::openxml::ZipPackage package(path);
  const tarvex::platform::LargeText text = package.Read(part);
  std::printf("part_mb %.1f\n", static_cast<double>(text.size()) / 1e6);
  {
    uLongf size = compressBound(text.size());
    std::vector<Bytef> packed(size);
    z_stream stream{};
    auto start = std::chrono::steady_clock::now();
    // Raw deflate at level 1, as the zip library wrote a replaced part.
    deflateInit2(&stream, 1, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = packed.data();
    stream.avail_out = static_cast<uInt>(packed.size());
    deflate(&stream, Z_FINISH);
    size = stream.total_out;
    deflateEnd(&stream);
    std::printf("zlib 1 seconds %.4f mb %.2f\n", Seconds(start), static_cast<double>(size) / 1e6);
  }
  for (int level = 1; level <= 9; ++level) {
    auto start = std::chrono::steady_clock::now();
    const size_t size = tarvex::workbook::openxml::DeflatedSize(text, level);
    std::printf("libdeflate %d seconds %.4f mb %.2f\n", level, Seconds(start),
                static_cast<double>(size) / 1e6);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "read") == 0) return Read(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "inflate") == 0) return Inflate(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "scan") == 0) return Scan(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "deflate") == 0) return Deflate(argv[2], argv[3]);
  std::fprintf(stderr,
               "usage: bench_readonce read FILE SELECTOR | inflate|scan|deflate FILE PART\n");
  return 2;
}
