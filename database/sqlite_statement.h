// Small helpers around the SQLite library that the connection, record set and command share.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string_view>

namespace tarvex::database {

struct StatementFinalizer {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementHandle = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// Throws DatabaseError with the engine's own message unless result is SQLITE_OK.
void CheckSqlite(int result, sqlite3* db);

// Runs SQL text that returns no rows (schema statements, transaction control).
void ExecuteSql(sqlite3* db, const char* sql);

// Compiles one statement. Returns the engine's result code and leaves the statement empty on a
// failure, so that the caller can read sqlite3_errmsg. A second statement after the first is
// refused (SQLITE_ERROR with a message of our own in *message), since it would silently not run.
int CompileOne(sqlite3* db, std::string_view text, StatementHandle& statement,
               const char** message);

}  // namespace tarvex::database
