#include "database/command.h"

#include "database/connection.h"
#include "database/field_value.h"

namespace tarvex::database {

void Command::ActiveConnection(Connection& connection) {
  connection_ = &connection;
  statement_.reset();
  derived_ = false;
}

void Command::CommandText(std::string_view text) {
  text_ = text;
  statement_.reset();
  derived_ = false;
}

Parameter& Command::Parameters(std::string_view name) {
  if (!derived_) Compile();
  for (Parameter& parameter : parameters_) {
    if (parameter.name_ == name) return parameter;
  }
  throw DatabaseError("The statement has no parameter " + std::string(name));
}

void Command::Execute() {
  if (!statement_) Compile();
  sqlite3_stmt* statement = statement_.get();
  for (size_t i = 0; i < parameters_.size(); ++i) {
    const int slot = static_cast<int>(i + 1);
    const Parameter& parameter = parameters_[i];
    if (parameter.text_) {
      sqlite3_bind_text64(statement, slot, parameter.text_->data(), parameter.text_->size(),
                          SQLITE_TRANSIENT, SQLITE_UTF8);
    } else if (parameter.has_value_) {
      sqlite3_bind_double(statement, slot, parameter.value_);
    } else {
      sqlite3_bind_null(statement, slot);
    }
  }
  int result;
  do {
    result = sqlite3_step(statement);
  } while (result == SQLITE_ROW);
  if (result != SQLITE_DONE) {
    DatabaseError failure(sqlite3_errmsg(sqlite3_db_handle(statement)));
    sqlite3_reset(statement);
    throw failure;
  }
  sqlite3_reset(statement);
  if (!prepared_) statement_.reset();
}

void Command::Compile() {
  if (connection_ == nullptr) throw DatabaseError("The command has no active connection");
  if (type_ != kTextCommand) {
    throw DatabaseError("Command type " + std::to_string(type_) +
                        " is not supported; the command text must be a statement");
  }
  statement_ = connection_->Compile(text_);
  if (derived_) return;
  parameters_.clear();
  const int count = sqlite3_bind_parameter_count(statement_.get());
  for (int i = 1; i <= count; ++i) {
    const char* name = sqlite3_bind_parameter_name(statement_.get(), i);
    parameters_.emplace_back(name != nullptr ? name : "?");
  }
  derived_ = true;
}

}  // namespace tarvex::database
