// Where the output stage failed: its failure line names the number of the failing statement,
// which stays the same from release to release. Each writer keeps its own numbers beside it.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "job/failure.h"

namespace tarvex::output {

class StatementFailure : public job::Failure {
 public:
  StatementFailure(int statement, const std::string& description)
      : job::Failure(description), statement_(statement) {}
  int statement() const { return statement_; }

 private:
  int statement_;
};

// Runs step; any failure inside it leaves as a StatementFailure that carries statement (a
// failure that already carries its own statement keeps it).
template <typename Step>
decltype(auto) AtStatement(int statement, Step&& step) {
  try {
    return std::forward<Step>(step)();
  } catch (const StatementFailure&) {
    throw;
  } catch (const std::exception& failure) {
    throw StatementFailure(statement, job::DescribeFailure(failure));
  }
}

}  // namespace tarvex::output
