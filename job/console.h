// What a person at a terminal sees of a run: the progress line, every failure line of the log
// printed plainly, and a last line for a failure that the log does not tell. Off a terminal the
// session does nothing, so scripts and schedulers see an empty stderr as ever.
#pragma once

#include <exception>
#include <string_view>

namespace tarvex::job {

// One per run, for its whole length (RunMain holds it). Stages called without a session, as
// tests call them, print nothing.
class ConsoleSession {
 public:
  ConsoleSession();
  ~ConsoleSession();
  ConsoleSession(const ConsoleSession&) = delete;
  ConsoleSession& operator=(const ConsoleSession&) = delete;

  // Ends the progress line. A failed run that printed no failure line says here that it
  // failed, and why where a stage noted it; has_log tells whether a /log could have said more.
  void Finish(bool succeeded, bool has_log);
};

// A message that goes into the log because something failed (WriteLog calls it for every such
// entry, also when no log is given): printed without the time stamp.
void EchoFailure(std::string_view message);

// A failure that the log keeps silent about; the first one noted is the run's reason.
void NoteSilentFailure(std::string_view what);
void NoteSilentFailure(std::string_view doing, const std::exception& failure);

}  // namespace tarvex::job
