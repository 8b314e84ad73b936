// The one kind of failure that the stages trap: an exception whose text is the description that
// goes into the run log.
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>

namespace tarvex::job {

class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The description of any trapped failure; never empty.
inline std::string DescribeFailure(const std::exception& failure) {
  if (dynamic_cast<const std::bad_alloc*>(&failure) != nullptr) return "Out of memory";
  std::string text = failure.what();
  return text.empty() ? "Unknown failure" : text;
}

}  // namespace tarvex::job
