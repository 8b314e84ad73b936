// A command on an open connection: a statement with named parameters ("@Name"), compiled once and
// executed many times with new parameter values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/sqlite_statement.h"

namespace tarvex::database {

class Connection;

class Parameter {
 public:
  explicit Parameter(std::string name) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }
  void Value(double value) {
    value_ = value;
    text_.reset();
    has_value_ = true;
  }
  // Bound as text, never spliced into the statement: quotes in it are only characters.
  void Value(std::string_view text) {
    text_ = std::string(text);
    has_value_ = true;
  }

 private:
  friend class Command;
  std::string name_;
  double value_ = 0;
  std::optional<std::string> text_;
  bool has_value_ = false;  // a parameter never given a value is null
};

// CommandType 1: the command text is a statement, the only kind there is.
inline constexpr std::int16_t kTextCommand = 1;

class Command {
 public:
  // The connection must stay open while the command is used.
  void ActiveConnection(Connection& connection);
  void CommandType(std::int16_t type) { type_ = type; }
  void CommandText(std::string_view text);
  // Prepared: the statement is compiled once and kept for every Execute; otherwise it is
  // compiled again for each.
  void Prepared(bool prepared) { prepared_ = prepared; }

  // The parameter of that name, "@" included and letter case as written, derived from the
  // statement's markers (compiling it on first use). Throws DatabaseError when the statement cannot
  // be compiled or has no such parameter.
  Parameter& Parameters(std::string_view name);
  // Runs the statement once with the parameters' values. Throws DatabaseError with the engine's
  // message (a constraint, a missing table or column, a lock that outlasted the timeout).
  void Execute();

 private:
  void Compile();

  Connection* connection_ = nullptr;
  std::int16_t type_ = kTextCommand;
  std::string text_;
  bool prepared_ = false;
  StatementHandle statement_;
  std::vector<Parameter> parameters_;
  bool derived_ = false;
};

}  // namespace tarvex::database
