#include "input/database_reader.h"

#include <gtest/gtest.h>

#include "tests/support/job_fixture.h"
#include "tests/support/sqlite_files.h"

namespace tarvex::input {
namespace {

using Rows = std::vector<std::vector<double>>;

class DatabaseReaderTest : public tarvex::testing::JobFixture {};

TEST_F(DatabaseReaderTest, PacksTheNumbersOfAcceptedRecords) {
  const std::string fruit =
      (tarvex::testing::SourceFolder() / "tests/database/data/fruit.mdb").string();
  const struct {
    const char* name;
    const char* setup;  // SQL run on a fresh SQLite file; empty: read the Access file
    const char* query;
    const char* separator;
    Rows rows;
    const char* log;  // empty: nothing logged
  } cases[] = {
      {"AllZeroRecordDropped",
       "CREATE TABLE t (a, b); INSERT INTO t VALUES (1, 2), (0, 0), (3, 4);",
       "SELECT a, b FROM t",
       ".",
       {{1, 2}, {3, 4}},
       ""},
      {"TextFieldSkippedAndRowPacked",
       "CREATE TABLE t (id INTEGER, name TEXT, a REAL, b REAL); INSERT INTO t VALUES (7, 'pear', "
       "1.5, 2), (8, 'fig', 0, 3);",
       "select * from t",
       ".",
       {{7, 1.5, 2, 0}, {8, 0, 3, 0}},
       ""},
      {"TextThatReadsAsANumberCounts",
       "CREATE TABLE t (a, b, c); INSERT INTO t VALUES (0, 0, '5');",
       "SELECT a, b, c FROM t",
       ".",
       {{0, 0, 5}},
       ""},
      {"NullSkipped",
       "CREATE TABLE t (a, b); INSERT INTO t VALUES (NULL, 2), (3, NULL);",
       "SELECT a, b FROM t",
       ".",
       {{2, 0}, {3, 0}},
       ""},
      {"TextsReadWithTheLocalesSeparator",
       "CREATE TABLE t (a, b); INSERT INTO t VALUES (' 1,5 ', '2.5');",
       "SELECT a, b FROM t",
       ",",
       {{1.5, 0}},
       ""},
      {"InvalidStatement",
       "CREATE TABLE t (a);",
       "selec a from t",
       ".",
       {},
       "File name: PATH  near \"selec\": syntax error"},
      {"MissingColumn",
       "CREATE TABLE t (a);",
       "SELECT z FROM t",
       ".",
       {},
       "File name: PATH  no such column: z"},
      {"AccessYesNoIsMinusOne",
       "",
       "SELECT FInheritable, ACM - 1048319 FROM MSysACEs WHERE ObjectId = 251658241",
       ".",
       {{-1, 983294.0 - 1048319}, {-1, 0}, {-1, 0}, {-1, 0}},
       ""},
  };
  for (const auto& c : cases) {
    std::string path = fruit;
    if (*c.setup) {
      path = (folder_ / (std::string(c.name) + ".mdb")).string();
      tarvex::testing::RunSql(path, c.setup);
    }
    job_.DecimalSeparator = c.separator;
    job::DataMatrix matrix;
    const bool read = ReadDatabaseQuery(job_, c.query, matrix, path);
    EXPECT_EQ(read, *c.log == '\0') << c.name;
    EXPECT_EQ(matrix.HasDimensions() ? tarvex::testing::RowsOf(matrix) : Rows{}, c.rows) << c.name;
    if (matrix.HasDimensions()) {
      EXPECT_EQ(matrix.RowLow() + matrix.ColumnLow(), 2) << c.name;  // both dimensions from 1
    }
    std::string log = c.log;
    if (size_t at = log.find("PATH"); at != std::string::npos) log.replace(at, 4, path);
    EXPECT_EQ(TakeLog(), log.empty() ? std::vector<std::string>{} : std::vector<std::string>{log})
        << c.name;
  }
}

}  // namespace
}  // namespace tarvex::input
