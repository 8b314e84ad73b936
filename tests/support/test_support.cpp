#include "tests/support/test_support.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tarvex::testing {

TempFolder::TempFolder() {
  std::random_device seed;
  std::mt19937_64 generator(seed());
  for (;;) {
    path_ = fs::temp_directory_path() / ("tarvex-test-" + std::to_string(generator() % 1000000000));
    if (fs::create_directory(path_)) break;
  }
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  // Tests take write permission away from some files and folders; give it back first.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
  }
  fs::remove_all(path_, ignored);
}

namespace {

std::string ReadDescriptor(int fd) {
  std::string text;
  char buffer[65536];
  lseek(fd, 0, SEEK_SET);
  for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  return text;
}

}  // namespace

namespace {

// In the child: working folder, environment, privileges, limits, standard streams; then exec.
[[noreturn]] void ExecChild(const fs::path& program, const std::vector<std::string>& arguments,
                            const RunOptions& options, int out_fd, int err_fd) {
  std::vector<std::string> argv_text;
  argv_text.push_back(program.string());
  argv_text.insert(argv_text.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (!options.working_folder.empty() && chdir(options.working_folder.c_str()) != 0) _exit(126);
  for (const auto& [name, value] : options.environment) setenv(name.c_str(), value.c_str(), 1);
  if (options.unprivileged && geteuid() == 0) {
    constexpr uid_t kNobody = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
      _exit(kCouldNotDropPrivileges);
    }
  }
  for (const auto& [resource, value] : options.limits) {
    struct rlimit limit = {value, value};
    if (setrlimit(resource, &limit) != 0) _exit(124);
  }
  if (options.alarm_seconds > 0) alarm(options.alarm_seconds);
  int null_fd = open("/dev/null", O_RDWR);
  dup2(null_fd, 0);
  dup2(out_fd < 0 ? null_fd : out_fd, 1);
  dup2(err_fd < 0 ? null_fd : err_fd, 2);
  execv(argv[0], argv.data());
  _exit(127);
}

}  // namespace

int StartProgram(const fs::path& program, const std::vector<std::string>& arguments,
                 const RunOptions& options) {
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) ExecChild(program, arguments, options, -1, -1);
  return child;
}

int WaitForProgram(int child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RunResult RunProgram(const fs::path& program, const std::vector<std::string>& arguments,
                     const RunOptions& options) {
  char out_name[] = "/tmp/tarvex-out-XXXXXX";
  char err_name[] = "/tmp/tarvex-err-XXXXXX";
  int out_fd = mkstemp(out_name);
  int err_fd = mkstemp(err_name);
  if (out_fd < 0 || err_fd < 0) throw std::runtime_error("cannot create capture files");
  unlink(out_name);
  unlink(err_name);
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) ExecChild(program, arguments, options, out_fd, err_fd);
  RunResult result;
  result.exit_status = WaitForProgram(child);
  result.standard_output = ReadDescriptor(out_fd);
  result.standard_error = ReadDescriptor(err_fd);
  close(out_fd);
  close(err_fd);
  return result;
}

fs::path BinFolder() { return TARVEX_BIN_DIR; }
fs::path SourceFolder() { return TARVEX_SOURCE_DIR; }

fs::path InstallTarvex(const fs::path& folder) {
  for (const char* name : {"tarvex", "libnetworkengine.so"}) {
    if (!fs::exists(BinFolder() / name)) continue;  // a run without its engine says so in its log
    fs::copy_file(BinFolder() / name, folder / name, fs::copy_options::overwrite_existing);
  }
  return folder / "tarvex";
}

std::string Backslashed(const fs::path& path) {
  std::string text = path.string();
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  return text;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path.string());
  out << content;
}

std::vector<std::string> LogMessages(const std::string& log_text) {
  // An entry opens a line with "[", a time stamp and " ] - "; a message may span lines.
  std::vector<size_t> starts;
  for (size_t line = 0; line < log_text.size();) {
    if (log_text[line] == '[') {
      size_t close = log_text.find(" ] - ", line);
      size_t end_of_line = log_text.find('\n', line);
      if (close != std::string::npos && close < end_of_line) starts.push_back(line);
    }
    size_t next = log_text.find('\n', line);
    if (next == std::string::npos) break;
    line = next + 1;
  }
  std::vector<std::string> messages;
  for (size_t i = 0; i < starts.size(); ++i) {
    size_t begin = log_text.find(" ] - ", starts[i]) + 5;
    size_t end = i + 1 < starts.size() ? starts[i + 1] : log_text.size();
    std::string message = log_text.substr(begin, end - begin);
    if (message.size() >= 2 && message.compare(message.size() - 2, 2, "\r\n") == 0) {
      message.resize(message.size() - 2);
    }
    messages.push_back(message);
  }
  return messages;
}

bool HasLocale(const char* name) {
  locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return false;
  freelocale(locale);
  return true;
}

}  // namespace tarvex::testing
