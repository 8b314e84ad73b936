// Database speed: reading a large SQLite table through LoadDataSet (SELECT, counting and filling
// passes, number test, ranges, rescale) and inserting predicted rows through OutPredictToFile.
//   bench_database generate FILE ROWS   a table d of ROWS x 10 random doubles, an empty table out
//   bench_database read FILE            loads SELECT a, ..., j FROM d once, prints seconds
//   bench_database write FILE ROWS      inserts ROWS predicted rows of 3 values into out
#include <sqlite3.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "bench/bench_support.h"
#include "input/load_data_set.h"
#include "job/job_settings.h"
#include "output/out_predict.h"
#include "platform/locale_text.h"

namespace {

constexpr const char* kColumns = "a, b, c, d, e, f, g, h, i, j";

bool Exec(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return true;
  std::printf("%s: %s\n", sql, sqlite3_errmsg(db));
  return false;
}

int Generate(const char* path, long rows) {
  std::remove(path);
  sqlite3* db = nullptr;
  if (sqlite3_open(path, &db) != SQLITE_OK) return 1;
  const std::string create = std::string("CREATE TABLE d (") + kColumns + ");" +
                             "CREATE TABLE out (y1 REAL, y2 REAL, y3 REAL); BEGIN;";
  if (!Exec(db, create.c_str())) return 1;
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO d VALUES (?,?,?,?,?,?,?,?,?,?)", -1, &insert, nullptr);
  std::mt19937_64 generator(12345);
  std::uniform_real_distribution<double> value(-1000, 1000);
  for (long r = 0; r < rows; ++r) {
    for (int c = 1; c <= 10; ++c) sqlite3_bind_double(insert, c, value(generator));
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  bool done = Exec(db, "COMMIT");
  sqlite3_close(db);
  return done ? 0 : 1;
}

int Read(const char* path) {
  tarvex::job::JobSettings job = tarvex::bench::FreshJob();
  const double processor = tarvex::bench::ProcessorSeconds();
  auto start = std::chrono::steady_clock::now();
  bool loaded = tarvex::input::LoadDataSet(
      job, path, job.TrainingInputs, tarvex::input::Source::kFile,
      tarvex::job::DataSet::kTrainingInputs, std::string("SELECT ") + kColumns + " FROM d");
  double seconds = tarvex::bench::Seconds(start);
  double processor_seconds = tarvex::bench::ProcessorSeconds() - processor;
  if (!loaded) {
    std::printf("load failed\n");
    return 1;
  }
  std::printf("rows %lld columns %lld\nseconds %.3f\nprocessor_seconds %.3f\n",
              static_cast<long long>(job.TrainingInputs.RowCount()),
              static_cast<long long>(job.TrainingInputs.ColumnCount()), seconds, processor_seconds);
  return 0;
}

int Write(const char* path, long rows) {
  tarvex::job::JobSettings job = tarvex::bench::FreshJob();
  sqlite3* db = nullptr;
  if (sqlite3_open(path, &db) != SQLITE_OK || !Exec(db, "DELETE FROM out")) return 1;
  job.PredictionOutputs = tarvex::job::DataMatrix(1, rows, 1, 3);
  std::mt19937_64 generator(6789);
  std::uniform_real_distribution<double> value(-1, 1);
  for (double& v : job.PredictionOutputs.Values()) v = value(generator);
  job.pof = path;
  job.pos = "INSERT INTO out (y1, y2, y3) VALUES (1, 2, 3)";
  const double processor = tarvex::bench::ProcessorSeconds();
  auto start = std::chrono::steady_clock::now();
  bool written = tarvex::output::OutPredictToFile(job);
  double seconds = tarvex::bench::Seconds(start);
  double processor_seconds = tarvex::bench::ProcessorSeconds() - processor;
  sqlite3_stmt* count = nullptr;
  sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM out", -1, &count, nullptr);
  sqlite3_step(count);
  const long inserted = sqlite3_column_int64(count, 0);
  sqlite3_finalize(count);
  sqlite3_close(db);
  if (!written || inserted != rows) {
    std::printf("insert failed: %ld rows in the table\n", inserted);
    return 1;
  }
  std::printf("rows %ld\nseconds %.3f\nprocessor_seconds %.3f\nrows_per_s %.0f\n", inserted,
              seconds, processor_seconds, rows / seconds);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "generate" && argc == 4) return Generate(argv[2], std::atol(argv[3]));
  if (command == "read" && argc == 3) return Read(argv[2]);
  if (command == "write" && argc == 4) return Write(argv[2], std::atol(argv[3]));
  std::printf("usage: bench_database generate FILE ROWS | read FILE | write FILE ROWS\n");
  return 2;
}
