#include "database/run_connections.h"

#include <optional>

namespace tarvex::database {

namespace {

RunConnections* running = nullptr;  // one run at a time, on one thread

std::unique_ptr<Connection> OpenNew(const std::string& path) {
  auto connection = std::make_unique<Connection>();
  connection->Provider(kJetProvider);
  connection->ConnectionString(path);
  connection->Mode(ConnectMode::kRead);  // reading data sets never changes the database
  connection->Open();
  return connection;
}

}  // namespace

RunConnections::RunConnections() : previous_(running) { running = this; }

RunConnections::~RunConnections() { running = previous_; }

Connection& RunConnections::OpenForReading(const std::string& path,
                                           std::unique_ptr<Connection>& own) {
  if (running == nullptr) {
    own = OpenNew(path);
    return *own;
  }
  std::vector<Kept>& kept = running->kept_;
  // Taken before the file is opened: a write that comes while it is read makes it differ later.
  const std::optional<platform::FileState> state = platform::StateOf(platform::ToNativePath(path));
  for (auto open = kept.begin(); open != kept.end(); ++open) {
    if (open->path != path) continue;
    if (state && open->state == *state) return *open->connection;
    kept.erase(open);  // written since: an Access copy would be stale
    break;
  }
  std::unique_ptr<Connection> connection = OpenNew(path);
  if (!state) {  // opened, yet not there before: nothing to compare a later state with
    own = std::move(connection);
    return *own;
  }
  kept.push_back({path, *state, std::move(connection)});
  return *kept.back().connection;
}

void RunConnections::EndReading(Connection& connection, std::unique_ptr<Connection>& own) {
  if (own) {
    own->Close();
    return;
  }
  connection.CheckUnchanged();
}

}  // namespace tarvex::database
