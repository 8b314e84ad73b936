#include "output/database_writer.h"

#include <gtest/gtest.h>

#include "output/out_predict.h"
#include "tests/support/job_fixture.h"
#include "tests/support/sqlite_files.h"

namespace tarvex::output {
namespace {

using tarvex::testing::RunSql;
using tarvex::testing::SqlRows;

TEST(BuildInsertStatementTest, RebuildsTheValuePartFromTheColumnList) {
  const struct {
    const char* pos;
    const char* statement;
    std::vector<std::string> names;
  } cases[] = {
      {"INSERT INTO Forecast (Out1, Out2) VALUES (1, 2)",
       "INSERT INTO Forecast (Out1, Out2)  VALUES(@Out1,@Out2)",
       {"Out1", "Out2"}},
      {"insert into t (a,b,c) values (x)",
       "insert into t (a,b,c)  VALUES(@a,@b,@c)",
       {"a", "b", "c"}},
      {"INSERT INTO T (Values1, b) VALUES (1)",
       "INSERT INTO T (Values1, b)  VALUES(@Values1,@b)",
       {"Values1", "b"}},
      {"insert into t ( a ,  )values", "insert into t ( a ,  ) VALUES(@a,@)", {"a", ""}},
      {"INSERT INTO T VALUES (1, 2)", "", {}},
      // The first ")" after the "(" may lie beyond the keyword; the engine then refuses the text.
      {"INSERT INTO T (a, b VALUES (1)",
       "INSERT INTO T (a, b  VALUES(@a,@b VALUES (1)",
       {"a", "b VALUES (1"}},
      {"values (a)", "", {}},
      {"", "", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> names{"left over"};
    EXPECT_EQ(BuildInsertStatement(c.pos, names), c.statement) << c.pos;
    EXPECT_EQ(names, c.names) << c.pos;
  }
}

class DatabaseWriterTest : public tarvex::testing::JobFixture {
 protected:
  void Outputs(const std::vector<std::vector<double>>& rows) {
    job_.PredictionOutputs = job::DataMatrix(1, static_cast<job::Index>(rows.size()), 1,
                                             static_cast<job::Index>(rows[0].size()));
    for (size_t r = 0; r < rows.size(); ++r) {
      for (size_t c = 0; c < rows[r].size(); ++c)
        job_.PredictionOutputs.At(r + 1, c + 1) = rows[r][c];
    }
  }
  std::string Failure(const std::string& description, int statement) {
    return "OutPredictToFile.  Error: " + description +
           "  in Tarvexapp.mTarvex.OutPredictToFile at line " + std::to_string(statement);
  }
};

// Every failing row keeps the rows before it in the table; a failure before the first row keeps
// none. The table is read back with SQLite's own reader. Without a table the target is the Access
// file, or no file at all.
TEST_F(DatabaseWriterTest, InsertsRowByRowAndKeepsTheRowsBeforeAFailure) {
  const std::string no_statement =
      "No insert statement can be built from pos: it needs the column names in parentheses "
      "before the keyword VALUES";
  const struct {
    const char* name;
    const char* table;
    const char* pos;
    std::vector<std::vector<double>> outputs;
    SqlRows rows;
    std::string failure;  // empty: the results block with the statement
    int statement;
  } cases[] = {
      {"MoreNamesThanColumns",
       "p (a, b, c)",
       "insert into p (a, b, c) values (x)",
       {{0.5, 2}, {3, -1.25}},
       {{"0.5", "2.0", "2.0"}, {"3.0", "-1.25", "-1.25"}},
       "",
       0},
      {"FewerNamesThanColumns",
       "p (a, b)",
       "INSERT INTO p (b) VALUES (1, 2)",
       {{1, 2, 3}},
       {{"NULL", "1.0"}},
       "",
       0},
      {"Unique",
       "p (a UNIQUE)",
       "insert into p (a) values (1)",
       {{1}, {2}, {1}, {3}},
       {{"1.0"}, {"2.0"}},
       "UNIQUE constraint failed: p.a",
       kInsertRow},
      {"Check",
       "p (a CHECK (a < 3))",
       "insert into p (a) values (1)",
       {{1}, {2}, {5}, {1}},
       {{"1.0"}, {"2.0"}},
       "CHECK constraint failed: a < 3",
       kInsertRow},
      {"NotNull",
       "p (a, b NOT NULL)",
       "insert into p (a) values (1)",
       {{1}, {2}},
       {},
       "NOT NULL constraint failed: p.b",
       kInsertRow},
      {"MissingColumn",
       "p (a)",
       "insert into p (a, z) values (1)",
       {{1, 2}},
       {},
       "table p has no column named z",
       kSetInsertParameter},
      {"MissingTable",
       "p (a)",
       "insert into q (a) values (1)",
       {{1}},
       {},
       "no such table: q",
       kSetInsertParameter},
      {"NoStatement",
       "p (a)",
       "INSERT INTO p VALUES (1)",
       {{1}},
       {},
       no_statement,
       kSetInsertParameter},
      {"AccessFile",
       nullptr,
       "insert into Dried (Fruit) values (1)",
       {{1}},
       {},
       "The database PATH is an Access file, which is read-only here: write into an SQLite "
       "database instead",
       kSetInsertParameter},
      {"Missing",
       nullptr,
       "insert into p (a) values (1)",
       {{1}},
       {},
       "The database file PATH does not exist",
       kOpenDatabase},
  };
  for (const auto& c : cases) {
    job_.pof = (folder_ / (std::string(c.name) + ".mdb")).string();
    if (c.table != nullptr) RunSql(job_.pof, std::string("CREATE TABLE ") + c.table + ";");
    if (std::string(c.name) == "AccessFile") {
      job_.pof = (tarvex::testing::SourceFolder() / "tests/database/data/fruit.mdb").string();
    }
    std::string failure = c.failure;
    if (size_t at = failure.find("PATH"); at != std::string::npos) failure.replace(at, 4, job_.pof);
    job_.pos = c.pos;
    Outputs(c.outputs);
    EXPECT_EQ(OutPredictToFile(job_), c.failure.empty()) << c.name;
    std::vector<std::string> names;
    const std::string block = "Prediction results:\r\n       Prediction Outputs: Array(" +
                              std::to_string(c.outputs.size()) + "," +
                              std::to_string(c.outputs[0].size()) +
                              ")\r\n       Query: " + BuildInsertStatement(c.pos, names) +
                              "\r\n       Prediction Outputs file: " + job_.pof + "\r\n";
    EXPECT_EQ(TakeLog(),
              std::vector<std::string>{c.failure.empty() ? block : Failure(failure, c.statement)})
        << c.name;
    if (c.table != nullptr) {
      EXPECT_EQ(RunSql(job_.pof, "SELECT * FROM p ORDER BY rowid"), c.rows) << c.name;
    }
  }
}

// Another program holds the database: the insert waits a bounded time, then fails.
TEST_F(DatabaseWriterTest, LockedDatabaseFailsAfterWaiting) {
  job_.pof = (folder_ / "locked.mdb").string();
  RunSql(job_.pof, "CREATE TABLE p (a);");
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(job_.pof.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  job_.pos = "insert into p (a) values (1)";
  Outputs({{1}, {2}});
  EXPECT_FALSE(OutPredictToFile(job_));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{Failure("database is locked", kInsertRow)});
  sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  EXPECT_TRUE(RunSql(job_.pof, "SELECT * FROM p").empty());
}

}  // namespace
}  // namespace tarvex::output
