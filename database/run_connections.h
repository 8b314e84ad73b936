// The reading connections of one run, kept open so that a database file that several data sets
// name is opened once, and an Access file's tables are copied once.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "database/connection.h"
#include "platform/paths.h"

namespace tarvex::database {

class RunConnections {
 public:
  RunConnections();
  ~RunConnections();
  RunConnections(const RunConnections&) = delete;
  RunConnections& operator=(const RunConnections&) = delete;

  // A connection opened for reading the database at path (as the job writes it). While a
  // RunConnections lives, the run's open connection to that path is returned as long as the file
  // stands as it was when it was opened, and a new one is kept for the run; otherwise the new
  // connection is put into own, for the caller to close. Throws what Connection::Open throws.
  static Connection& OpenForReading(const std::string& path, std::unique_ptr<Connection>& own);

  // Ends one read: closes own when the caller has it, else checks that the run's connection
  // still reads the file it opened. Throws what Connection::Close throws.
  static void EndReading(Connection& connection, std::unique_ptr<Connection>& own);

 private:
  struct Kept {
    std::string path;
    platform::FileState state;
    std::unique_ptr<Connection> connection;
  };
  std::vector<Kept> kept_;
  RunConnections* previous_;
};

}  // namespace tarvex::database
