#include "output/database_writer.h"

#include "output/statement.h"

namespace tarvex::output {

void WriteDatabaseOutput(const job::JobSettings&) {
  throw StatementFailure(kWriteDatabase, "Writing database files is not available yet.");
}

}  // namespace tarvex::output
