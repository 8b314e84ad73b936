// Shared by the fuzz targets: a job as a run starts it, and fuzz input as a file that readers can
// open by name without touching the disk.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/bench_support.h"
#include "job/job_settings.h"

namespace tarvex::fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// A job with its defaults and no log, as RunMain prepares one.
inline job::JobSettings FreshJob(const char* decimal_separator = ".") {
  return bench::FreshJob(decimal_separator);
}

// An in-memory file holding the bytes, open for as long as the object lives; path() names it.
class MemoryFile {
 public:
  MemoryFile(std::string_view bytes) : fd_(memfd_create("fuzz", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    for (std::string_view rest = bytes; !rest.empty();) {
      ssize_t n = write(fd_, rest.data(), rest.size());
      if (n <= 0) std::abort();
      rest.remove_prefix(static_cast<std::size_t>(n));
    }
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  int fd_;
  std::string path_;
};

}  // namespace tarvex::fuzz
