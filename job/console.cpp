#include "job/console.h"

#include <atomic>
#include <mutex>
#include <string>

#include "job/failure.h"
#include "job/progress.h"
#include "platform/terminal.h"

namespace tarvex::job {

namespace {

std::atomic<bool> at_terminal = false;
std::atomic<bool> failure_printed = false;
std::mutex note_mutex;
std::string silent_failure;

}  // namespace

ConsoleSession::ConsoleSession() {
  if (!platform::ErrorIsTerminal()) return;
  failure_printed = false;
  silent_failure.clear();
  at_terminal = true;
  StartProgress();
}

ConsoleSession::~ConsoleSession() {
  StopProgress();
  at_terminal = false;
}

void ConsoleSession::Finish(bool succeeded, bool has_log) {
  StopProgress();
  if (!at_terminal || succeeded || failure_printed) return;
  try {
    std::string line = "tarvex: the run failed";
    std::lock_guard lock(note_mutex);
    if (!silent_failure.empty()) {
      line += ": " + silent_failure;
    } else if (!has_log) {
      line += "; /log=<file> may say why";
    }
    platform::PrintAboveStatusLine(line);
  } catch (const std::exception&) {
    // The exit status still says that the run failed.
  }
}

void EchoFailure(std::string_view message) {
  if (!at_terminal) return;
  failure_printed = true;
  try {
    // Log entries end their lines with CR LF; the terminal wants each line on its own.
    while (!message.empty()) {
      const size_t end = message.find('\n');
      std::string_view line = message.substr(0, end);
      if (line.ends_with('\r')) line.remove_suffix(1);
      platform::PrintAboveStatusLine(line);
      if (end == std::string_view::npos) break;
      message.remove_prefix(end + 1);
    }
  } catch (const std::exception&) {
    // The line is lost to the terminal; the log, which is what counts, is written all the same.
  }
}

void NoteSilentFailure(std::string_view what) {
  if (!at_terminal) return;
  try {
    std::lock_guard lock(note_mutex);
    if (silent_failure.empty()) silent_failure = what;
  } catch (const std::exception&) {
    // Without the note the last line only says that the run failed.
  }
}

void NoteSilentFailure(std::string_view doing, const std::exception& failure) {
  if (!at_terminal) return;
  try {
    NoteSilentFailure(std::string(doing) + ": " + DescribeFailure(failure));
  } catch (const std::exception&) {
    // As above.
  }
}

}  // namespace tarvex::job
