#include "database/connection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "database/access_file.h"
#include "database/field_value.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tarvex::database {

namespace {

enum class Content { kSqlite, kAccess };

// The kind of database that the file's first bytes announce; its name says nothing.
Content ContentOf(const std::string& native_path, const std::string& shown_path) {
  // Non-blocking, so that a FIFO in the path's place cannot stop the run.
  int fd = open(native_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      throw DatabaseError("The database file " + shown_path + " does not exist");
    }
    throw DatabaseError("The database file " + shown_path +
                        " cannot be opened: " + platform::SystemErrorText(error));
  }
  unsigned char head[20] = {};
  ssize_t got = -1;
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) got = pread(fd, head, sizeof head, 0);
  close(fd);
  if (got >= 16 && std::memcmp(head, "SQLite format 3", 16) == 0) return Content::kSqlite;
  if (got == 20 && (std::memcmp(head + 4, "Standard Jet DB", 16) == 0 ||
                    std::memcmp(head + 4, "Standard ACE DB", 16) == 0)) {
    return Content::kAccess;
  }
  throw DatabaseError("The file " + shown_path +
                      " is neither an SQLite database nor an Access database");
}

sqlite3* OpenEngine(const std::string& name, int flags, const std::string& shown_path) {
  sqlite3* db = nullptr;
  const int result = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
  if (result != SQLITE_OK) {
    std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(result);
    sqlite3_close_v2(db);
    throw DatabaseError("The database file " + shown_path + " cannot be opened: " + message);
  }
  return db;
}

}  // namespace

Connection::Connection() = default;

Connection::~Connection() { Close(); }

void Connection::Open() {
  if (db_ != nullptr) throw DatabaseError("The connection is already open");
  if (!platform::EqualIgnoringAsciiCase(provider_, kJetProvider)) {
    throw DatabaseError("The provider '" + provider_ + "' is not available; the provider is " +
                        std::string(kJetProvider));
  }
  std::string native = platform::ToNativePath(connection_string_);
  if (ContentOf(native, connection_string_) == Content::kSqlite) {
    // A relative name that begins with "file:" would be read as a URI.
    if (native.starts_with("file:")) native = "./" + native;
    db_ = OpenEngine(native, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, connection_string_);
    sqlite3_busy_timeout(db_, static_cast<int>(command_timeout_ * 1000));
    return;
  }
  auto access = std::make_unique<AccessFile>(native, connection_string_);
  db_ = OpenEngine(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                   connection_string_);
  access_ = std::move(access);
}

RecordSet Connection::Execute(std::string_view command_text) {
  return RecordSet(Compile(command_text), IsAccess());
}

void Connection::BeginTrans() {
  RequireOpen();
  ExecuteSql(db_, "BEGIN");
}

void Connection::CommitTrans() {
  RequireOpen();
  ExecuteSql(db_, "COMMIT");
}

void Connection::Close() {
  // Statements still alive keep the engine until they are finalized.
  sqlite3_close_v2(db_);
  db_ = nullptr;
  access_.reset();
}

void Connection::RequireOpen() const {
  if (db_ == nullptr) throw DatabaseError("The connection is not open");
}

StatementHandle Connection::Compile(std::string_view text) {
  RequireOpen();
  constexpr std::string_view kNoSuchTable = "no such table: ";
  for (;;) {
    StatementHandle statement;
    const char* message = nullptr;
    if (CompileOne(db_, text, statement, &message) == SQLITE_OK) {
      if (IsAccess() && !sqlite3_stmt_readonly(statement.get())) {
        throw DatabaseError("The database " + connection_string_ +
                            " is an Access file, which is read-only here: write into an SQLite "
                            "database instead");
      }
      return statement;
    }
    const std::string error = message;
    // The engine names the first table that it lacks; the copy is made and the statement tried
    // again, until every table it names is there.
    if (IsAccess() && error.starts_with(kNoSuchTable) &&
        access_->CopyTable(std::string_view(error).substr(kNoSuchTable.size()), db_)) {
      continue;
    }
    throw DatabaseError(error);
  }
}

}  // namespace tarvex::database
