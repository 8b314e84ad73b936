#include "netfile/network_file_error.h"

#include "platform/memory.h"

namespace tarvex::netfile {

std::string ReadingOutOfMemory(std::uint64_t memory) {
  return "Out of memory: reading the file takes more than the " + platform::ByteSizeText(memory) +
         " that the process can get";
}

}  // namespace tarvex::netfile
