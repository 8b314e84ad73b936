// The run log: the one place where a run says what it did and why it stopped.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvex::job {

// A failure entry is also shown to a person at a terminal; a report (the results blocks) is not.
enum class LogEntry { kFailure, kReport };

// Appends "[" + time stamp + " ] - " + message + CR LF to the log file, creating its folders and
// the file when needed. Does nothing when log or message is empty; never fails towards the
// caller (an entry that cannot be written is lost).
void WriteLog(const std::string& log, std::string_view message,
              LogEntry entry = LogEntry::kFailure);

// The first failure entry since ForgetFailures (written or not, log or no log): the run summary
// names it.
void ForgetFailures();
std::optional<std::string> FirstFailure();

}  // namespace tarvex::job
