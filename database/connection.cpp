#include "database/connection.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
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

// Reading may only read the one database file: another file attached, or an extension loaded,
// would reach beyond it.
int RefuseOutsideReading(void* refusal, int action, const char*, const char* function, const char*,
                         const char*) {
  const char*& why = *static_cast<const char**>(refusal);
  if (action == SQLITE_ATTACH || action == SQLITE_DETACH) {
    why = "ATTACH and DETACH are refused on a connection opened for reading";
    return SQLITE_DENY;
  }
  if (action == SQLITE_FUNCTION && function != nullptr &&
      platform::EqualIgnoringAsciiCase(function, "load_extension")) {
    why = "Loading an extension is refused on a connection opened for reading";
    return SQLITE_DENY;
  }
  return SQLITE_OK;
}

// A name as an SQLite URI may hold it: everything but letters, digits and "/._-" escaped.
std::string UriPath(const std::string& native) {
  std::string uri = "file:";
  for (const unsigned char c : native) {
    if (std::isalnum(c) || c == '/' || c == '.' || c == '_' || c == '-') {
      uri += static_cast<char>(c);
    } else {
      constexpr char kHex[] = "0123456789ABCDEF";
      uri += {'%', kHex[c >> 4], kHex[c & 15]};
    }
  }
  return uri;
}

bool SameState(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
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

struct Connection::UnlockedFile {
  std::string native_path;
  struct stat opened {};
};

Connection::Connection() = default;

Connection::~Connection() { Release(); }

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
    if (mode_ == ConnectMode::kRead) {
      OpenForReading(native);
      return;
    }
    db_ = OpenEngine(native, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, connection_string_);
    sqlite3_busy_timeout(db_, static_cast<int>(command_timeout_ * 1000));
    return;
  }
  auto access = std::make_unique<AccessFile>(native, connection_string_);
  db_ = OpenEngine(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                   connection_string_);
  access_ = std::move(access);
  // The copy in memory takes its tables' rows; statements of a reading job must still stay in it.
  if (mode_ == ConnectMode::kRead) sqlite3_set_authorizer(db_, RefuseOutsideReading, &refusal_);
}

void Connection::OpenForReading(const std::string& native) {
  db_ = OpenEngine(native, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, connection_string_);
  sqlite3_busy_timeout(db_, static_cast<int>(command_timeout_ * 1000));
  sqlite3_set_authorizer(db_, RefuseOutsideReading, &refusal_);
  // The first read opens the journal. A WAL database needs its -shm file to share the WAL's
  // index with writers; in a folder that may not be written it cannot be made.
  if (sqlite3_exec(db_, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) ==
      SQLITE_OK) {
    return;
  }
  const int failure = sqlite3_extended_errcode(db_);
  const std::string message = sqlite3_errmsg(db_);
  Release();
  if (failure == SQLITE_READONLY_ROLLBACK) {
    throw DatabaseError("The database file " + connection_string_ +
                        " holds an interrupted write, which only a program that may write it "
                        "can undo: " +
                        message);
  }
  if (failure != SQLITE_READONLY_DIRECTORY && failure != SQLITE_CANTOPEN) {
    throw DatabaseError(message);
  }
  struct stat wal;
  if (stat((native + "-wal").c_str(), &wal) == 0 && wal.st_size > 0) {
    throw DatabaseError("The database file " + connection_string_ +
                        " has changes in its -wal file, which cannot be read where its -shm file "
                        "cannot be made: " +
                        message);
  }
  // Without a WAL the database file holds everything, and SQLite reads it without the -shm file
  // when told that it cannot change; that it did not is checked when the connection closes.
  auto unlocked = std::make_unique<UnlockedFile>();
  unlocked->native_path = native;
  if (stat(native.c_str(), &unlocked->opened) != 0) {
    throw DatabaseError("The database file " + connection_string_ +
                        " cannot be opened: " + platform::SystemErrorText(errno));
  }
  db_ =
      OpenEngine(UriPath(native) + "?immutable=1",
                 SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, connection_string_);
  sqlite3_set_authorizer(db_, RefuseOutsideReading, &refusal_);
  unlocked_ = std::move(unlocked);
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
  const std::unique_ptr<UnlockedFile> unlocked = std::move(unlocked_);
  Release();
  struct stat now;
  if (unlocked &&
      (stat(unlocked->native_path.c_str(), &now) != 0 || !SameState(now, unlocked->opened))) {
    throw DatabaseError("The database file " + connection_string_ + " changed while it was read");
  }
}

void Connection::Release() {
  // Statements still alive keep the engine until they are finalized.
  sqlite3_close_v2(db_);
  db_ = nullptr;
  access_.reset();
  unlocked_.reset();
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
    refusal_ = nullptr;
    if (CompileOne(db_, text, statement, &message) == SQLITE_OK) {
      const bool read_only = sqlite3_stmt_readonly(statement.get()) != 0;
      if (IsAccess() && !read_only) {
        throw DatabaseError("The database " + connection_string_ +
                            " is an Access file, which is read-only here: write into an SQLite "
                            "database instead");
      }
      // VACUUM has no action of its own for the authorizer; the engine counts it as writing.
      if (mode_ == ConnectMode::kRead && !read_only) {
        throw DatabaseError(
            "The statement is not read-only (it would change the database or write a copy of "
            "it), and the database was opened for reading");
      }
      return statement;
    }
    if (refusal_ != nullptr) throw DatabaseError(refusal_);
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
