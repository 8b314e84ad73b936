// What is wrong with a compound document, or why reading or writing it failed. The container
// knows nothing of workbooks; the format above it reports the same words as its own error.
#pragma once

#include <stdexcept>

namespace tarvex::workbook::compound {

class CompoundError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tarvex::workbook::compound
