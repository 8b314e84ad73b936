#include "job/run_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <exception>

#include "job/console.h"
#include "job/create_folder_path.h"
#include "platform/files.h"
#include "platform/locale_text.h"
#include "platform/paths.h"

namespace tarvex::job {

void WriteLog(const std::string& log, std::string_view message, LogEntry entry) {
  if (entry == LogEntry::kFailure) EchoFailure(message);  // also without a log: it says why
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
