// An Access (Jet 3, Jet 4 or ACE) database file, read through libmdb. Its tables are copied on
// demand into an SQLite database, where statements run with the engine's own filters, ordering and
// expressions; libmdb's own query engine is never used (its filters test the wrong column).
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::database {

// The declared types of copied columns whose values the record set reports as yes/no values and
// dates; the values themselves are stored as -1 or 0 and as day numbers.
inline constexpr std::string_view kYesNoType = "YESNO";
inline constexpr std::string_view kDateType = "DATETIME";

class AccessFile {
 public:
  // Opens the file read-only; shown_path names it in descriptions. Throws DatabaseError when the
  // file cannot be read as an Access database (damaged or truncated).
  AccessFile(const std::string& native_path, const std::string& shown_path);
  ~AccessFile();
  AccessFile(const AccessFile&) = delete;
  AccessFile& operator=(const AccessFile&) = delete;

  // Copies the table of that name (compared without regard to ASCII case) with all its rows into
  // db under its own name. Returns false when the file has no such table or it was copied before.
  // Throws DatabaseError when the table cannot be read whole.
  bool CopyTable(std::string_view name, sqlite3* db);

 private:
  struct Library;
  std::unique_ptr<Library> library_;
  std::string shown_path_;
  std::vector<std::string> copied_;
};

}  // namespace tarvex::database
