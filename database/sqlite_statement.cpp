#include "database/sqlite_statement.h"

#include <limits>

#include "database/field_value.h"

namespace tarvex::database {

void CheckSqlite(int result, sqlite3* db) {
  if (result != SQLITE_OK) throw DatabaseError(sqlite3_errmsg(db));
}

void ExecuteSql(sqlite3* db, const char* sql) {
  CheckSqlite(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db);
}

int CompileOne(sqlite3* db, std::string_view text, StatementHandle& statement,
               const char** message) {
  statement.reset();
  if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) {
    *message = "The command text is too long";
    return SQLITE_TOOBIG;
  }
  sqlite3_stmt* compiled = nullptr;
  const char* tail = nullptr;
  int result = sqlite3_prepare_v2(db, text.data(), static_cast<int>(text.size()), &compiled, &tail);
  statement.reset(compiled);
  *message = sqlite3_errmsg(db);
  if (result != SQLITE_OK) return result;
  if (!statement) {
    *message = "The command text is empty";
    return SQLITE_ERROR;
  }
  // What follows the first statement must be blanks or further semicolons.
  for (const char* rest = tail; rest < text.data() + text.size(); ++rest) {
    if (*rest != ';' && *rest != ' ' && *rest != '\t' && *rest != '\r' && *rest != '\n') {
      statement.reset();
      *message = "The command text holds more than one statement";
      return SQLITE_ERROR;
    }
  }
  return SQLITE_OK;
}

}  // namespace tarvex::database
