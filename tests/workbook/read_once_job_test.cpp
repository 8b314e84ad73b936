// Differential: a job whose data sets are ranges (or queries) of one file, which the run reads
// once, against the same job with each data set in a copy of its own, which each read reads
// alone. Both give the same exit status, log and output bytes, with the output in the file the
// data came from and in another.
#include <gtest/gtest.h>

#include <regex>

#include "tests/support/sqlite_files.h"
#include "tests/support/tarvex_run.h"
#include "tests/workbook/workbook_tools.h"

namespace tarvex::workbook {
namespace {

namespace fs = std::filesystem;
using tarvex::testing::RunSql;
using tarvex::testing::TempFolder;

// Sheet Data: x1, x2, y in rows 2 to 31, a word in F2, numbers written as texts in G; sheet
// Predict: x1, x2 in rows 2 to 6.
const char* const kBooks = R"PY(
import math, sys, xlsxwriter, xlwt
folder = sys.argv[1]
rows = [((i % 6) / 5, (i * 7 % 11) / 10) for i in range(30)]
book = xlsxwriter.Workbook(folder + "/book.xlsx")
legacy = xlwt.Workbook()
for sheets in ((book.add_worksheet("Data"), book.add_worksheet("Predict")),
               (legacy.add_sheet("Data"), legacy.add_sheet("Predict"))):
    data, predict = sheets
    for r, (a, b) in enumerate(rows, start=1):
        for c, value in enumerate((a, b, math.sin(a) + b * b / 2)):
            data.write(r, c, value)
        data.write(r, 6, "%.6f" % (a * b))  # a number as shared text
    data.write(1, 5, "word")
    for r in range(1, 6):
        predict.write(r, 0, r / 6)
        predict.write(r, 1, 1 - r / 6)
book.close()
legacy.save(folder + "/book.xls")
)PY";

struct Outcome {
  int status = 0;
  std::vector<std::string> log;
  std::string output;  // the output's bytes (for a zip package its entries, for SQLite its rows)
};

class ReadOnceJobTest : public tarvex::testing::TarvexRun {
 protected:
  // Runs the job with every data set read from source (renamed as names gives them) and the
  // output written to pof, then gives what the run left.
  Outcome RunJob(const std::string& source, const std::vector<std::string>& names,
                 const std::vector<std::string>& selectors, const std::string& pof,
                 const std::string& pos) {
    for (const std::string& name : names) {
      if (!Exists(name)) fs::copy_file(source, folder_ / name);
    }
    if (!Exists(pof)) fs::copy_file(source, folder_ / pof);
    std::vector<std::string> arguments = {
        "/tif=" + names[0],     "/tis=" + selectors[0], "/tof=" + names[1],
        "/tos=" + selectors[1], "/pif=" + names[2],     "/pis=" + selectors[2],
        "/pof=" + pof,          "/log=run.log",         "/ep=200"};
    if (!pos.empty()) arguments.push_back("/pos=" + pos);
    Outcome outcome;
    outcome.status = Run(arguments);
    // The training time varies, and failure lines name the file that failed as the job did.
    const std::regex time("Training Time: [0-9:.]+"), copies("\\b(ti|to|pi)\\.(xlsx|xls|mdb)\\b");
    for (const std::string& message : Log()) {
      outcome.log.push_back(std::regex_replace(std::regex_replace(message, time, "Training Time"),
                                               copies, "book.$2"));
    }
    const fs::path output = folder_ / pof;
    const std::string extension = output.extension().string();
    if (extension == ".xlsx") {
      // Entry by entry: a rewritten entry's time stamp is the time of the save.
      outcome.output = tarvex::testing::RunPython(R"PY(
import sys, zipfile
for info in zipfile.ZipFile(sys.argv[1]).infolist():
    print(info.filename, info.CRC, info.file_size)
)PY",
                                                  {output.string()});
    } else if (Read(pof).starts_with("SQLite format 3")) {
      for (const auto& row : RunSql(output, "SELECT * FROM out ORDER BY rowid")) {
        for (const std::string& value : row) outcome.output += value + " ";
        outcome.output += "\n";
      }
    } else {
      outcome.output = Read(pof);
    }
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
      if (entry.path().filename() != "tarvex" &&
          !entry.path().filename().string().starts_with("lib")) {
        fs::remove_all(entry.path());
      }
    }
    return outcome;
  }
};

TEST_F(ReadOnceJobTest, OneFileForEveryDataSetGivesWhatCopiesReadAloneGive) {
  TempFolder sources;
  tarvex::testing::RunPython(kBooks, {sources.path().string()});
  RunSql(
      sources / "book.mdb",
      "CREATE TABLE train (id INTEGER PRIMARY KEY, x1 REAL, x2 REAL, y REAL);"
      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 30)"
      "  INSERT INTO train SELECT i, (i % 6) / 5.0, (i * 7 % 11) / 10.0, (i % 4 + 1) / 4.0 FROM n;"
      "CREATE TABLE out (y REAL);");
  fs::copy_file(tarvex::testing::SourceFolder() / "tests/database/data/fruit.mdb",
                sources / "fruit.mdb");
  const std::vector<std::string> sheets = {"Data!A2:B31", "Data!C2:C31", "Predict!A2:B6"};
  const std::vector<std::string> word = {"Data!A2:B31", "Data!F2:F31", "Predict!A2:B6"};
  const std::vector<std::string> texts = {"Data!A2:B31", "Data!G2:G31", "Predict!A2:B6"};
  const std::vector<std::string> train = {"select x1, x2 from train order by id",
                                          "select y from train order by id",
                                          "select x2, x1 from train where id <= 5 order by id"};
  const std::vector<std::string> fruit = {
      "select sugar, fiber from fruit where [vit c] > 0",
      "select [vit c] from fruit where [vit c] > 0",
      "select fiber, sugar from fruit where fruit in (select fruit from [fruit salad])"};
  const std::string insert = "insert into out (y) values(@y)";
  const struct {
    std::string source;
    std::vector<std::string> selectors;
    std::string pof, pos;  // pof "book.<extension>": the file that the data came from
    int status;
  } cases[] = {
      {"book.xlsx", sheets, "book.xlsx", "Predict!C2:C6", 0},
      {"book.xlsx", sheets, "other.xlsx", "Predict!C2:C6", 0},
      {"book.xlsx", sheets, "po.txt", "", 0},
      {"book.xlsx", word, "book.xlsx", "Predict!C2:C6", 1},
      {"book.xlsx", texts, "book.xlsx", "Predict!C2:C6", 0},
      {"book.xls", sheets, "book.xls", "Predict!C2:C6", 0},
      {"book.xls", sheets, "po.csv", "", 0},
      {"book.xls", word, "po.txt", "", 1},
      {"book.xls", texts, "book.xls", "Predict!C2:C6", 0},
      {"book.mdb", train, "book.mdb", insert, 0},
      {"book.mdb", train, "po.txt", "", 0},
      {"fruit.mdb", fruit, "po.txt", "", 0},
      {"fruit.mdb", fruit, "book.mdb", insert, 1},  // an Access file is not written
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.pof + " " + c.selectors[1]);
    const fs::path source = sources / c.source;
    const std::string extension = source.extension().string();
    const std::string book = "book" + extension;
    const Outcome once = RunJob(source, {book, book, book}, c.selectors, c.pof, c.pos);
    const Outcome alone = RunJob(source, {"ti" + extension, "to" + extension, "pi" + extension},
                                 c.selectors, c.pof, c.pos);
    EXPECT_EQ(once.status, c.status);
    EXPECT_EQ(once.status, alone.status);
    EXPECT_EQ(once.log, alone.log);
    EXPECT_EQ(once.output, alone.output);
    EXPECT_FALSE(once.log.empty());
  }
}

}  // namespace
}  // namespace tarvex::workbook
