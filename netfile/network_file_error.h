// What the network file's readers throw: its own header, so that the JSON reader and the file's
// reader both use it without including each other.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarvex::netfile {

// A file that is not a network file this program can use; what() says why, naming the field.
class NetworkFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The description of a file whose reading does not fit into memory bytes.
std::string ReadingOutOfMemory(std::uint64_t memory);

}  // namespace tarvex::netfile
