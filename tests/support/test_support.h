// Helpers for tests that run the built programs in temporary folders with real files.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tarvex::testing {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

struct RunResult {
  int exit_status = -1;  // -1 when the program did not end normally
  std::string standard_output;
  std::string standard_error;
};

struct RunOptions {
  fs::path working_folder;                                       // empty: the test's own
  std::vector<std::pair<std::string, std::string>> environment;  // set in the child
  // Run as the unprivileged user "nobody" when the tests run as root, so that permission bits
  // take effect (the folders it works in must then be open to everyone).
  bool unprivileged = false;
  // Resource limits set in the child (setrlimit resource, soft and hard value).
  std::vector<std::pair<int, unsigned long>> limits;
  // The child is killed by SIGALRM after this many seconds (0: never), so a run that blocks
  // fails its test instead of hanging the suite.
  unsigned alarm_seconds = 0;
};

// Starts the program like RunProgram without waiting; the caller waits for the returned child.
// Output goes to /dev/null.
int StartProgram(const fs::path& program, const std::vector<std::string>& arguments,
                 const RunOptions& options = {});
// Waits for a child; the exit status, or -1 when a signal ended it.
int WaitForProgram(int child);

// True in a build with AddressSanitizer, whose programs cannot run under an address-space limit.
inline constexpr bool kSanitized =
#ifdef TARVEX_SANITIZED
    true;
#else
    false;
#endif

// The exit status of a run whose privileges could not be dropped.
inline constexpr int kCouldNotDropPrivileges = 125;

// Runs a program with the given arguments, waits for it and captures what it printed.
RunResult RunProgram(const fs::path& program, const std::vector<std::string>& arguments,
                     const RunOptions& options = {});

// The folder where the build puts the programs and the engine library.
fs::path BinFolder();
fs::path SourceFolder();

// Copies tarvex and its engine into folder, so that the copy's program folder is that folder.
fs::path InstallTarvex(const fs::path& folder);

// A path written with backslashes, as a command line must write it ("/" separates options).
std::string Backslashed(const fs::path& path);

std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, const std::string& content);

// The messages of a run log, each without its "[time stamp ] - " opening and its CR LF.
std::vector<std::string> LogMessages(const std::string& log_text);

// True when the system has the locale (tests for the comma locale are skipped without it).
bool HasLocale(const char* name);
inline constexpr const char* kCommaLocale = "de_DE.UTF-8";

}  // namespace tarvex::testing
