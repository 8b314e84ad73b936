#include "output/database_writer.h"

#include <exception>

#include "database/command.h"
#include "database/connection.h"
#include "job/class_list.h"
#include "job/failure.h"
#include "output/class_rows.h"
#include "output/statement.h"
#include "platform/text.h"

namespace tarvex::output {

using job::DataMatrix;
using job::Index;
using job::JobSettings;

namespace {

// Ends a failed insert: the rows executed before the failing one are committed before the failure
// is reported, so that they stay in the table.
[[noreturn]] void KeepRowsBefore(database::Connection& connection,
                                 const StatementFailure& failure) {
  try {
    connection.CommitTrans();
  } catch (const std::exception& commit) {
    throw StatementFailure(
        failure.statement(),
        std::string(failure.what()) + "; the rows before it were not kept (" + commit.what() + ")");
  }
  throw failure;
}

// A classification job's statement takes the label, then with /pp=1 one probability per class;
// with any other count the values would land in the wrong columns.
void CheckValueCount(const JobSettings& job, size_t values) {
  if (static_cast<Index>(values) == ClassRowWidth(job)) return;
  throw job::Failure("The insert statement takes " + std::to_string(values) +
                     (values == 1 ? " value" : " values") + "; a row of predicted labels takes " +
                     ClassRowWidthText(job));
}

}  // namespace

std::string BuildInsertStatement(std::string_view pos, std::vector<std::string>& names) {
  names.clear();
  std::string lowered(pos);
  for (char& c : lowered) c = platform::AsciiLower(c);
  const size_t keyword = lowered.rfind("values");
  if (keyword == std::string::npos || keyword == 0) return {};
  const size_t open = pos.rfind('(', keyword - 1);
  if (open == std::string_view::npos) return {};
  const size_t close = pos.find(')', open + 1);
  if (close == std::string_view::npos) return {};

  std::string statement(pos.substr(0, keyword));
  statement += " VALUES(";
  for (std::string_view name : platform::SplitAll(pos.substr(open + 1, close - open - 1), ',')) {
    names.emplace_back(platform::TrimSpaces(name));
    statement += (names.size() > 1 ? ",@" : "@") + names.back();
  }
  statement += ")";
  return statement;
}

std::string WriteDatabaseOutput(const JobSettings& job) {
  std::vector<std::string> names;
  const std::string statement = BuildInsertStatement(job.pos, names);
  const DataMatrix& outputs = job.PredictionOutputs;
  const bool labels = job::IsClassification(job);

  database::Connection connection;
  AtStatement(kOpenDatabase, [&] {
    connection.Provider(database::kJetProvider);
    connection.ConnectionString(job.pof);
    connection.Open();
  });
  database::Command command;
  AtStatement(kPrepareInsert, [&] {
    command.ActiveConnection(connection);
    command.CommandType(database::kTextCommand);
    command.CommandText(statement);
    command.Prepared(true);
  });
  Index first_row = 0, last_row = -1;
  AtStatement(kBeginInsert, [&] {
    first_row = outputs.RowLow();
    last_row = outputs.RowHigh();
    connection.BeginTrans();
  });
  // The parameters are looked up by name at the first row and kept for the others.
  std::vector<database::Parameter*> parameters;
  try {
    for (Index row = first_row; row <= last_row; ++row) {
      AtStatement(kSetInsertParameter, [&] {
        if (statement.empty()) {
          throw job::Failure(
              "No insert statement can be built from pos: it needs the column names in "
              "parentheses before the keyword VALUES");
        }
        if (labels) CheckValueCount(job, names.size());
        for (size_t i = parameters.size(); i < names.size(); ++i) {
          parameters.push_back(&command.Parameters("@" + names[i]));
        }
        if (labels) {
          parameters[0]->Value(PredictedLabel(job, row));
          for (size_t k = 1; k < parameters.size(); ++k) {
            parameters[k]->Value(outputs.At(row, outputs.ColumnLow() + static_cast<Index>(k) - 1));
          }
          return;
        }
        // Names beyond the matrix's columns take the row's last value.
        double value = 0;
        Index column = outputs.ColumnLow();
        for (database::Parameter* parameter : parameters) {
          if (column <= outputs.ColumnHigh()) value = outputs.At(row, column);
          parameter->Value(value);
          ++column;
        }
      });
      AtStatement(kInsertRow, [&] { command.Execute(); });
    }
  } catch (const StatementFailure& failure) {
    KeepRowsBefore(connection, failure);
  }
  AtStatement(kCommitInsert, [&] {
    try {
      connection.CommitTrans();
    } catch (const std::exception& commit) {
      throw job::Failure(std::string(commit.what()) + "; the rows were not kept");
    }
  });
  connection.Close();
  return statement;
}

}  // namespace tarvex::output
