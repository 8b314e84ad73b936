// A connection to one database file, chosen by the file's content: an SQLite database, read and
// written, or an Access database, read only.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>
#include <string_view>

#include "database/record_set.h"
#include "database/sqlite_statement.h"

namespace tarvex::database {

class AccessFile;

// The one provider there is; its name is compared without regard to case.
inline constexpr std::string_view kJetProvider = "Microsoft.Jet.OLEDB.4.0";

// What the connection may do to the database, as ADO's adModeReadWrite and adModeRead.
enum class ConnectMode { kReadWrite, kRead };

class Connection {
 public:
  Connection();
  ~Connection();  // closes; an open transaction is rolled back
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void Provider(std::string_view provider) { provider_ = provider; }
  const std::string& Provider() const { return provider_; }
  // The path of the database file, as the job writes it ("\" separates folders too).
  void ConnectionString(std::string_view path) { connection_string_ = path; }
  const std::string& ConnectionString() const { return connection_string_; }
  // How long a statement waits for a database that another program has locked, in seconds;
  // taken by Open. Bounded, so that a batch run never hangs on someone else's lock.
  void CommandTimeout(double seconds) { command_timeout_ = seconds; }
  // Taken by Open. For reading, an SQLite file is opened read-only and only statements that the
  // engine reports as read-only run; ATTACH, DETACH and loading an extension are refused on
  // either engine.
  void Mode(ConnectMode mode) { mode_ = mode; }

  // Throws DatabaseError: an unknown provider, a missing file, a file that is neither an SQLite
  // nor an Access database (each naming the path), a damaged Access file, an SQLite file that
  // cannot be read without writing.
  void Open();
  // Runs one statement and returns its records, positioned on the first. Throws DatabaseError
  // with the engine's message (invalid SQL, a missing table or column, a lock that outlasted
  // the timeout, a damaged file), for a change to an Access database or, for reading, for a
  // statement that would write or reach another file.
  RecordSet Execute(std::string_view command_text);
  // One transaction around many commands, so that rows are written once, not once each.
  void BeginTrans();
  void CommitTrans();
  // Throws DatabaseError when a file that had to be read without locks (a WAL database in a
  // folder that may not be written) changed meanwhile.
  void Close();

 private:
  friend class Command;

  void OpenForReading(const std::string& native);
  void Release();
  void RequireOpen() const;
  bool IsAccess() const { return access_ != nullptr; }
  // Compiles one statement; for an Access file first copies the tables that it names.
  StatementHandle Compile(std::string_view text);

  std::string provider_;
  std::string connection_string_;
  double command_timeout_ = 5;
  ConnectMode mode_ = ConnectMode::kReadWrite;
  sqlite3* db_ = nullptr;
  std::unique_ptr<AccessFile> access_;
  // Set by the authorizer: why it refused the statement being compiled.
  const char* refusal_ = nullptr;
  // A file read without locks: what it was when opened, to tell that nobody changed it since.
  struct UnlockedFile;
  std::unique_ptr<UnlockedFile> unlocked_;
};

}  // namespace tarvex::database
