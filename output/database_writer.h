// Inserting the predicted outputs into a database table, one row per executed statement.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "job/job_settings.h"

namespace tarvex::output {

enum DatabaseStatement : int {
  kOpenDatabase = 310,
  kPrepareInsert = 320,
  kBeginInsert = 330,
  kSetInsertParameter = 340,
  kInsertRow = 350,
  kCommitInsert = 360,
};

// The statement built from pos: the text before the last "values" (any case), then " VALUES("
// and one "@" marker per name listed between the last "(" before that keyword and the first ")"
// after it, each name without its surrounding spaces. Empty when pos has no such keyword and
// parentheses; names then stays empty too.
std::string BuildInsertStatement(std::string_view pos, std::vector<std::string>& names);

// Inserts every row of PredictionOutputs with the statement built from pos and returns that
// statement. All rows go into one transaction that is committed after the last row, and also when
// a row fails, so the table keeps exactly the rows before the failing one. A classification job
// binds each row's predicted label as text (then with /pp=1 its probabilities); a statement with
// another count of values fails at kSetInsertParameter before any row. Throws StatementFailure
// with the failing statement.
std::string WriteDatabaseOutput(const job::JobSettings& job);

}  // namespace tarvex::output
