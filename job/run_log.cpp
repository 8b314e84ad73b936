#include "job/run_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <exception>
#include <mutex>

#include "job/console.h"
#include "job/create_folder_path.h"
#include "platform/files.h"
#include "platform/locale_text.h"
#include "platform/paths.h"

namespace tarvex::job {

namespace {

std::mutex failure_mutex;
std::optional<std::string> first_failure;

void RememberFailure(std::string_view message) {
  try {
    std::lock_guard lock(failure_mutex);
    if (!first_failure) first_failure.emplace(message);
  } catch (const std::exception&) {
    // Only the summary misses the line.
  }
}

}  // namespace

void ForgetFailures() {
  std::lock_guard lock(failure_mutex);
  first_failure.reset();
}

std::optional<std::string> FirstFailure() {
  std::lock_guard lock(failure_mutex);
  return first_failure;
}

void WriteLog(const std::string& log, std::string_view message, LogEntry entry) {
  if (entry == LogEntry::kFailure) {
    EchoFailure(message);  // also without a log: it says why
    if (!message.empty()) RememberFailure(message);
  }
  if (log.empty() || message.empty()) return;
  try {
    CreateFolderPath(log);
    std::string entry(1, '[');
    entry += platform::LocalTimeStamp();
    entry += " ] - ";
    entry += message;
    entry += "\r\n";
    // Each entry opens, appends and closes: no handle stays open between entries. Never
    // blocking: an entry that a pipe or device cannot take at once is lost.
    int fd = open(platform::ToNativePath(log).c_str(),
                  O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666);
    if (fd < 0) return;
    platform::WriteAll(fd, entry);  // a failed write loses the entry, as any log failure does
    close(fd);
  } catch (const std::exception&) {
    // The entry is lost; the run goes on as if it had been written.
  }
}

}  // namespace tarvex::job
