// SQLite files for tests, made and read through the engine's own API, apart from Tarvex's
// database layer, so that what the layer wrote is checked by an independent reader.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarvex::testing {

using SqlRows = std::vector<std::vector<std::string>>;

// Runs the SQL script on the file (created when missing) and returns the rows of its last
// statement, each value in SQLite's text form, "NULL" for null.
inline SqlRows RunSql(const std::filesystem::path& file, const std::string& script) {
  sqlite3* db = nullptr;
  SqlRows rows;
  EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  auto collect = [](void* target, int count, char** values, char**) {
    auto& out = *static_cast<SqlRows*>(target);
    out.emplace_back();
    for (int i = 0; i < count; ++i) out.back().emplace_back(values[i] ? values[i] : "NULL");
    return 0;
  };
  EXPECT_EQ(sqlite3_exec(db, script.c_str(), collect, &rows, &error), SQLITE_OK)
      << (error ? error : "") << " in " << script;
  sqlite3_free(error);
  sqlite3_close(db);
  return rows;
}

}  // namespace tarvex::testing
