// The values that a database field holds, and the one error type of the database room.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvex::database {

enum class FieldKind : std::uint8_t { kNull, kNumber, kText, kBoolean, kDate, kBinary };

struct FieldValue {
  FieldKind kind = FieldKind::kNull;
  // kNumber: the value; kBoolean: -1 for true and 0 for false, as automation clients see yes/no
  // fields; kDate: days since 30 December 1899, the time of day as the fraction.
  double number = 0;
  std::string bytes;  // kText: UTF-8 text; kBinary: the bytes
};

// What went wrong in the database layer; what() says it in words that go into the run log.
class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tarvex::database
