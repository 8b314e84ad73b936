#include "database/access_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

// mdbtools.h includes glib inside its extern "C" block, which glib's C++ templates refuse.
#include <glib.h>
#include <mdbtools.h>

#include "database/field_value.h"
#include "database/sqlite_statement.h"
#include "platform/little_endian.h"
#include "platform/number_text.h"

namespace tarvex::database {

namespace {

// libmdb reports damage by printing to the standard streams, which this program keeps silent;
// while a libmdb call runs both go to /dev/null. Damage is detected by what the calls return.
class QuietOutput {
 public:
  QuietOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    int sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (sink < 0) return;
    saved_out_ = fcntl(1, F_DUPFD_CLOEXEC, 3);
    saved_err_ = fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (saved_out_ >= 0) dup2(sink, 1);
    if (saved_err_ >= 0) dup2(sink, 2);
    close(sink);
  }
  ~QuietOutput() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (saved_out_ >= 0) {
      dup2(saved_out_, 1);
      close(saved_out_);
    }
    if (saved_err_ >= 0) {
      dup2(saved_err_, 2);
      close(saved_err_);
    }
  }
  QuietOutput(const QuietOutput&) = delete;
  QuietOutput& operator=(const QuietOutput&) = delete;

 private:
  int saved_out_ = -1;
  int saved_err_ = -1;
};

struct TableFree {
  void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

struct GlibFree {
  void operator()(char* text) const { g_free(text); }
};
using GlibText = std::unique_ptr<char, GlibFree>;

std::string Quoted(const char* name) {
  std::string quoted = "\"";
  for (const char* c = name; *c; ++c) {
    quoted += *c;
    if (*c == '"') quoted += '"';
  }
  return quoted + "\"";
}

std::string_view DeclaredType(int column_type) {
  switch (column_type) {
    case MDB_BOOL:
      return kYesNoType;
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_COMPLEX:
      return "INTEGER";
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
      return "REAL";
    case MDB_DATETIME:
      return kDateType;
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
      return "TEXT";
    default:
      return "BLOB";
  }
}

// The bytes that a fixed-size value of the type takes in a row; 0 for variable sizes.
int FixedWidth(int column_type) {
  switch (column_type) {
    case MDB_BYTE:
      return 1;
    case MDB_INT:
      return 2;
    case MDB_LONGINT:
    case MDB_COMPLEX:
    case MDB_FLOAT:
      return 4;
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_MONEY:
      return 8;
    case MDB_NUMERIC:
      return 17;
    default:
      return 0;
  }
}

// Whether every row of the catalog table could be read: a catalog cut short hides tables, which
// would then look missing instead of damaged.
bool IsCatalogWhole(MdbHandle* mdb) {
  MdbCatalogEntry* catalog = mdb_get_catalogentry_by_name(mdb, "MSysObjects");
  if (catalog == nullptr) return false;
  std::unique_ptr<MdbTableDef, TableFree> table(mdb_read_table(catalog));
  if (!table || mdb_read_columns(table.get()) == nullptr) return false;
  mdb_rewind_table(table.get());
  unsigned rows = 0;
  while (mdb_fetch_row(table.get())) ++rows;
  return rows == table->num_rows;
}

// The catalog's table of that name, compared without regard to ASCII case; none when missing.
MdbCatalogEntry* FindTable(GPtrArray* catalog, const std::string& name) {
  for (guint i = 0; i < catalog->len; ++i) {
    auto* candidate = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
    if (candidate->object_type == MDB_TABLE &&
        g_ascii_strcasecmp(candidate->object_name, name.c_str()) == 0) {
      return candidate;
    }
  }
  return nullptr;
}

// Binds the value of the column in the current row to the statement's parameter slot; damaged
// names the table in the description of a value that lies outside its page.
void BindValue(MdbHandle* mdb, MdbColumn& col, sqlite3_stmt* row, int slot,
               const std::string& damaged) {
  const auto page_size = static_cast<int>(mdb->fmt->pg_size);
  // A yes/no value lives in the row's null mask: libmdb reports a set bit as length 0.
  if (col.col_type == MDB_BOOL) {
    sqlite3_bind_int(row, slot, col.cur_value_len == 0 ? -1 : 0);
    return;
  }
  const int start = col.cur_value_start;
  const int length = col.cur_value_len;
  if (length <= 0) {
    sqlite3_bind_null(row, slot);
    return;
  }
  const int width = FixedWidth(col.col_type);
  if (start < 0 || start + (width ? width : length) > page_size || length < width) {
    throw DatabaseError(damaged + " holds a value outside its page");
  }
  const unsigned char* at = mdb->pg_buf + start;
  switch (col.col_type) {
    case MDB_BYTE:
      sqlite3_bind_int(row, slot, at[0]);
      break;
    case MDB_INT:
      sqlite3_bind_int(row, slot, static_cast<std::int16_t>(platform::ReadU16(at)));
      break;
    case MDB_LONGINT:
    case MDB_COMPLEX:
      sqlite3_bind_int(row, slot, static_cast<std::int32_t>(platform::ReadU32(at)));
      break;
    case MDB_FLOAT: {
      const std::uint32_t bits = platform::ReadU32(at);
      float value;
      std::memcpy(&value, &bits, sizeof value);
      sqlite3_bind_double(row, slot, value);
      break;
    }
    case MDB_DOUBLE:
    case MDB_DATETIME: {
      const std::uint64_t bits = platform::ReadU64(at);
      double value;
      std::memcpy(&value, &bits, sizeof value);
      sqlite3_bind_double(row, slot, value);
      break;
    }
    case MDB_MONEY:
      // Currency is a count of ten-thousandths.
      sqlite3_bind_double(
          row, slot,
          static_cast<double>(static_cast<std::int64_t>(platform::ReadU64(at))) / 10000.0);
      break;
    case MDB_NUMERIC: {
      GlibText text(mdb_numeric_to_string(mdb, start, col.col_scale, col.col_prec));
      double value = 0;
      if (text && platform::ConvertLocaleNumber(text.get(), ".", value)) {
        sqlite3_bind_double(row, slot, value);
      } else {
        sqlite3_bind_null(row, slot);
      }
      break;
    }
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID: {
      GlibText text(mdb_col_to_string(mdb, mdb->pg_buf, start, col.col_type, length));
      sqlite3_bind_text(row, slot, text ? text.get() : "", -1, SQLITE_TRANSIENT);
      break;
    }
    case MDB_BINARY:
      sqlite3_bind_blob(row, slot, at, length, SQLITE_TRANSIENT);
      break;
    case MDB_OLE: {
      size_t size = 0;
      void* bytes = mdb_ole_read_full(mdb, &col, &size);
      sqlite3_bind_blob64(row, slot, bytes, size, SQLITE_TRANSIENT);
      std::free(bytes);
      break;
    }
    default:
      sqlite3_bind_null(row, slot);
      break;
  }
}

}  // namespace

struct AccessFile::Library {
  MdbHandle* mdb = nullptr;
  GPtrArray* catalog = nullptr;  // owned by mdb
};

AccessFile::AccessFile(const std::string& native_path, const std::string& shown_path)
    : library_(std::make_unique<Library>()), shown_path_(shown_path) {
  const std::string damaged = "The Access database " + shown_path + " is damaged or truncated";
  struct stat info;
  if (stat(native_path.c_str(), &info) != 0) throw DatabaseError(damaged);
  QuietOutput quiet;
  library_->mdb = mdb_open(native_path.c_str(), MDB_NOFLAGS);
  if (library_->mdb == nullptr) throw DatabaseError(damaged);
  // A file of whole pages, and a catalog that reads: otherwise pages are missing, and libmdb
  // would read the tables on them as shorter or empty.
  const auto page_size = static_cast<off_t>(library_->mdb->fmt->pg_size);
  if (page_size <= 0 || info.st_size % page_size != 0 ||
      (library_->catalog = mdb_read_catalog(library_->mdb, MDB_TABLE)) == nullptr ||
      !IsCatalogWhole(library_->mdb)) {
    mdb_close(library_->mdb);
    throw DatabaseError(damaged);
  }
}

AccessFile::~AccessFile() {
  QuietOutput quiet;
  mdb_close(library_->mdb);
}

bool AccessFile::CopyTable(std::string_view name, sqlite3* db) {
  const std::string wanted(name);
  for (const std::string& done : copied_) {
    if (g_ascii_strcasecmp(done.c_str(), wanted.c_str()) == 0) return false;
  }
  MdbCatalogEntry* entry = FindTable(library_->catalog, wanted);
  if (entry == nullptr) return false;

  const std::string damaged = "The Access database " + shown_path_ +
                              " is damaged or truncated: table " + entry->object_name;
  QuietOutput quiet;
  std::unique_ptr<MdbTableDef, TableFree> table(mdb_read_table(entry));
  if (!table || mdb_read_columns(table.get()) == nullptr) {
    throw DatabaseError(damaged + " cannot be read");
  }
  MdbHandle* mdb = library_->mdb;
  const unsigned columns = table->num_cols;
  std::vector<MdbColumn*> column(columns);
  std::vector<std::vector<char>> bound(columns);
  std::string create = "CREATE TABLE " + Quoted(entry->object_name) + " (";
  std::string insert = "INSERT INTO " + Quoted(entry->object_name) + " VALUES (";
  for (unsigned c = 0; c < columns; ++c) {
    column[c] = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, c));
    create += (c ? ", " : "") + Quoted(column[c]->name) + " ";
    create += DeclaredType(column[c]->col_type);
    insert += c ? ",?" : "?";
    // An OLE value is read through its bound 12-byte header.
    if (column[c]->col_type == MDB_OLE) {
      bound[c].resize(mdb->bind_size + 2 * mdb->fmt->pg_size);
      mdb_bind_column(table.get(), static_cast<int>(c + 1), bound[c].data(), nullptr);
    }
  }
  create += ")";
  insert += ")";

  // A savepoint, since the copy may happen inside the caller's transaction.
  ExecuteSql(db, "SAVEPOINT copy_table");
  try {
    ExecuteSql(db, create.c_str());
    StatementHandle statement;
    const char* message = nullptr;
    if (CompileOne(db, insert, statement, &message) != SQLITE_OK) throw DatabaseError(message);
    sqlite3_stmt* row = statement.get();
    unsigned rows = 0;
    mdb_rewind_table(table.get());
    while (mdb_fetch_row(table.get())) {
      for (unsigned c = 0; c < columns; ++c) {
        BindValue(mdb, *column[c], row, static_cast<int>(c + 1), damaged);
      }
      if (sqlite3_step(row) != SQLITE_DONE) throw DatabaseError(sqlite3_errmsg(db));
      sqlite3_reset(row);
      ++rows;
    }
    // Pages that could not be read end the scan early without a word from libmdb.
    if (rows != table->num_rows) {
      throw DatabaseError(damaged + " should hold " + std::to_string(table->num_rows) +
                          " rows, but " + std::to_string(rows) + " could be read");
    }
    statement.reset();
    ExecuteSql(db, "RELEASE copy_table");
  } catch (...) {
    sqlite3_exec(db, "ROLLBACK TO copy_table; RELEASE copy_table", nullptr, nullptr, nullptr);
    throw;
  }
  copied_.push_back(wanted);
  return true;
}

}  // namespace tarvex::database
