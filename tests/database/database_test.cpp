#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <set>

#include "database/connection.h"
#include "tests/support/sqlite_files.h"
#include "tests/support/test_support.h"

namespace tarvex::database {
namespace {

using tarvex::testing::RunSql;
using tarvex::testing::SqlRows;
namespace fs = std::filesystem;

fs::path FruitFile() { return tarvex::testing::SourceFolder() / "tests/database/data/fruit.mdb"; }

std::string Output(const std::string& program, const std::vector<std::string>& arguments) {
  auto run = tarvex::testing::RunProgram("/usr/bin/" + program, arguments);
  EXPECT_EQ(run.exit_status, 0) << program << " " << run.standard_error;
  return run.standard_output;
}

// Every record, each value in SQLite's text form, so that they compare with RunSql's.
SqlRows Records(Connection& connection, const std::string& statement) {
  SqlRows rows;
  RecordSet records = connection.Execute(statement);
  for (; !records.Eof(); records.MoveNext()) {
    rows.emplace_back();
    for (int i = 0; i < records.Fields().Count(); ++i) {
      FieldValue value = records.Fields().Item(i).Value();
      char number[40];
      std::snprintf(number, sizeof number, "%.15g", value.number);
      rows.back().push_back(value.kind == FieldKind::kNull   ? "NULL"
                            : value.kind == FieldKind::kText ? value.bytes
                                                             : std::string(number));
    }
  }
  return rows;
}

class DatabaseTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) { return (folder_ / name).string(); }
  void Open(Connection& connection, const std::string& path) {
    connection.Provider("Microsoft.jet.OLEDB.4.0");
    connection.ConnectionString(path);
    connection.Open();
  }
  std::string OpenFailure(const std::string& path, const std::string& provider) {
    Connection connection;
    connection.Provider(provider);
    connection.ConnectionString(path);
    try {
      connection.Open();
    } catch (const DatabaseError& failure) {
      return failure.what();
    }
    return "opened";
  }
  tarvex::testing::TempFolder folder_;
};

TEST_F(DatabaseTest, OpenChoosesTheEngineByContentAndNamesThePathOtherwise) {
  RunSql(Path("real.db"), "CREATE TABLE t (a);");
  tarvex::testing::WriteFile(Path("empty.mdb"), "");
  tarvex::testing::WriteFile(Path("text.mdb"), "1,2\r\n3,4\r\n");
  std::string fruit = tarvex::testing::ReadFile(FruitFile());
  tarvex::testing::WriteFile(Path("cut.mdb"), fruit.substr(0, 2000));
  tarvex::testing::WriteFile(Path("fruit.mdb"), fruit);
  fs::create_directory(Path("folder.mdb"));
  mkfifo(Path("fifo.mdb").c_str(), 0600);
  const std::string neither = " is neither an SQLite database nor an Access database";
  const struct {
    std::string name, provider, expected;
  } cases[] = {
      {"real.db", "MICROSOFT.JET.OLEDB.4.0", "opened"},
      {"fruit.mdb", "microsoft.jet.oledb.4.0", "opened"},
      {"real.db", "SQLOLEDB",
       "The provider 'SQLOLEDB' is not available; the provider is Microsoft.Jet.OLEDB.4.0"},
      {"missing.mdb", "Microsoft.Jet.OLEDB.4.0", "The database file PATH does not exist"},
      {"empty.mdb", "Microsoft.Jet.OLEDB.4.0", "The file PATH" + neither},
      {"text.mdb", "Microsoft.Jet.OLEDB.4.0", "The file PATH" + neither},
      {"folder.mdb", "Microsoft.Jet.OLEDB.4.0", "The file PATH" + neither},
      {"fifo.mdb", "Microsoft.Jet.OLEDB.4.0", "The file PATH" + neither},
      {"cut.mdb", "Microsoft.Jet.OLEDB.4.0", "The Access database PATH is damaged or truncated"},
  };
  for (const auto& c : cases) {
    std::string expected = c.expected;
    if (size_t at = expected.find("PATH"); at != std::string::npos) {
      expected.replace(at, 4, Path(c.name));
    }
    EXPECT_EQ(OpenFailure(Path(c.name), c.provider), expected) << c.name;
  }
}

// The Access file read through the layer against the same tables exported by mdb-export into an
// SQLite file: the same statements must give the same records (filters test the right column).
TEST_F(DatabaseTest, AccessTablesReadLikeMdbExport) {
  const std::string peer = Path("peer.db");
  for (const char* table : {"Fruit", "Fruit Salad", "Muffin/Bread", "Dried", "MSysACEs"}) {
    RunSql(peer, Output("mdb-schema", {"-T", table, FruitFile(), "sqlite"}));
    RunSql(peer, Output("mdb-export", {"-I", "sqlite", FruitFile(), table}));
  }
  Connection connection;
  Open(connection, FruitFile());
  const char* statements[] = {
      "SELECT * FROM Fruit",
      "SELECT Fruit, Sugar FROM Fruit WHERE Fiber = 2 ORDER BY Fruit",
      "SELECT [Vit C], Sugar, Fruit FROM fruit WHERE [Vit A] > 100 AND Fat = 0",
      "SELECT f.Fruit, f.Sugar * 2 FROM Fruit f JOIN [Fruit Salad] s ON s.Fruit = f.Fruit "
      "WHERE f.[Vit E] IS NULL",
      "SELECT Fruit FROM Dried WHERE Fruit NOT IN (SELECT fruit FROM [Muffin/Bread])",
      "SELECT COUNT(*), SUM([Vit E] IS NULL), MAX(Sugar) FROM Fruit",
      "SELECT ObjectId, ACM, abs(FInheritable) FROM MSysACEs WHERE FInheritable <> 0",
  };
  for (const char* statement : statements) {
    SqlRows expected = RunSql(peer, statement);
    EXPECT_FALSE(expected.empty()) << statement;
    EXPECT_EQ(Records(connection, statement), expected) << statement;
  }
  // Access files are read only; the writer's tests see the words.
  EXPECT_THROW(connection.Execute("DELETE FROM Fruit"), DatabaseError);
  EXPECT_EQ(Records(connection, "SELECT COUNT(*) FROM Fruit"),
            RunSql(peer, "SELECT COUNT(*) FROM Fruit"));
}

TEST_F(DatabaseTest, AccessYesNoFieldsAreBooleansAndDatesAreDates) {
  Connection connection;
  Open(connection, FruitFile());
  RecordSet records = connection.Execute(
      "SELECT FInheritable, DateCreate FROM MSysACEs, "
      "MSysObjects WHERE Name = 'Tables' ORDER BY 1");
  std::set<double> yes_no;
  for (; !records.Eof(); records.MoveNext()) {
    EXPECT_EQ(records.Fields().Item(0).Value().kind, FieldKind::kBoolean);
    yes_no.insert(records.Fields().Item(0).Value().number);
    EXPECT_EQ(records.Fields().Item(1).Value().kind, FieldKind::kDate);
  }
  EXPECT_EQ(yes_no, (std::set<double>{-1, 0}));
  // 27 April 2006, 15:03:41 in days since 30 December 1899, as mdb-export prints it.
  EXPECT_EQ(Records(connection,
                    "SELECT DISTINCT strftime('%Y-%m-%d %H:%M:%S', DateCreate + "
                    "2415018.5) FROM MSysObjects WHERE Name = 'Tables'"),
            (SqlRows{{"2006-04-27 15:03:41"}}));
}

// Cut at any page boundary the file misses pages: every statement then either reads its tables
// whole, as from the intact file, or fails naming the damage; a cut inside a page fails.
TEST_F(DatabaseTest, TruncatedAccessFilesNeverGiveShortTables) {
  const std::string fruit = tarvex::testing::ReadFile(FruitFile());
  const std::string statement =
      "SELECT COUNT(*), SUM(Sugar), (SELECT COUNT(*) FROM Dried) FROM Fruit";
  Connection intact;
  Open(intact, FruitFile());
  const SqlRows whole = Records(intact, statement);
  int damaged = 0;
  for (size_t length = 2000; length < fruit.size(); length += length % 4096 ? 2096 : 4096) {
    tarvex::testing::WriteFile(Path("cut.mdb"), fruit.substr(0, length));
    try {
      Connection connection;
      Open(connection, Path("cut.mdb"));
      EXPECT_EQ(Records(connection, statement), whole) << length;
      EXPECT_EQ(length % 4096, 0u);
    } catch (const DatabaseError& failure) {
      EXPECT_TRUE(
          std::string(failure.what())
              .starts_with("The Access database " + Path("cut.mdb") + " is damaged or truncated"))
          << length << ": " << failure.what();
      ++damaged;
    }
  }
  EXPECT_GT(damaged, 20);
}

TEST_F(DatabaseTest, MoveFirstReturnsTheSameRecordsEvenForRandomQueries) {
  RunSql(Path("r.db"),
         "CREATE TABLE t (a); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + "
         "1 FROM n WHERE i < 9000) INSERT INTO t SELECT i FROM n;");
  Connection connection;
  Open(connection, Path("r.db"));
  // More records than the first blocks of the record set hold.
  RecordSet records = connection.Execute("SELECT a, random() FROM t ORDER BY random() LIMIT 8000");
  std::vector<double> passes[2];
  for (auto& pass : passes) {
    for (records.MoveFirst(); !records.Eof(); records.MoveNext()) {
      pass.push_back(records.Fields().Item(1).Value().number);
    }
  }
  EXPECT_EQ(passes[0].size(), 8000u);
  EXPECT_EQ(passes[0], passes[1]);
  EXPECT_THROW(records.MoveNext(), DatabaseError);
}

}  // namespace
}  // namespace tarvex::database
