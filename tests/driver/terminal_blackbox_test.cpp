// Runs of the built program at a real terminal (a tmux pane, typed into a shell) and the same runs
// with stderr sent to a file or a pipe: what a person sees, and that none of it reaches a script.
#include <chrono>
#include <functional>
#include <regex>
#include <thread>

#include "driver/usage.h"
#include "platform/text.h"
#include "tests/support/tarvex_run.h"

namespace tarvex::driver {
namespace {

using tarvex::testing::RunProgram;

const char* const kTmux = "/usr/bin/tmux";

struct TypedRun {
  int status = -1;
  std::vector<std::string> printed;  // the lines between the typed command and its status
};

class TerminalTest : public tarvex::testing::TarvexRun {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kTmux)) GTEST_SKIP() << "tmux is not installed";
    std::string inputs, outputs;
    for (int r = 0; r < 500; ++r) {
      const double a = r % 17 / 16.0, b = r % 23 / 22.0;
      inputs += std::to_string(a) + "\t" + std::to_string(b) + "\n";
      outputs += std::to_string(a * b) + "\n";
    }
    Write("ti.txt", inputs);
    Write("to.txt", outputs);
    Write("pi.txt", "0.5\t0.5\n");
  }
  void TearDown() override {
    if (sessions_ > 0) RunProgram(kTmux, {"-S", (folder_ / "sock").string(), "kill-server"});
  }

  // A tmux command; one that fails ends the test rather than leaving it waiting for a screen.
  std::string Tmux(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"-f", "/dev/null", "-S", (folder_ / "sock").string()});
    auto result = RunProgram(kTmux, arguments);
    // A server whose last session just closed exits while a new command reaches it: ask again.
    for (int attempt = 0;
         attempt < 5 && result.exit_status != 0 &&
         result.standard_error.find("server exited unexpectedly") != std::string::npos;
         ++attempt) {
      Pause();
      result = RunProgram(kTmux, arguments);
    }
    if (result.exit_status != 0) throw std::runtime_error("tmux: " + result.standard_error);
    return result.standard_output;
  }
  // The screen and its history, each line after a line end and without trailing blanks.
  std::string Screen(const std::string& session) {
    const std::string screen = Tmux({"capture-pane", "-p", "-J", "-S", "-", "-t", session});
    return "\n" + std::regex_replace(screen, std::regex(" +\n"), "\n");
  }

  // Types the command into a fresh shell in a terminal of its own, hands every look at the
  // screen to watch until the command has ended, and returns its status and what it printed.
  TypedRun Type(const std::string& command,
                const std::function<void(const std::string&)>& watch = {}) {
    const std::string session = "run" + std::to_string(++sessions_);
    // An idle shell logs out, so a test that dies leaves no server behind for long.
    Tmux({"new-session", "-d", "-s", session, "-x", "200", "-y", "50", "-c",
          folder_.path().string(), "env LC_ALL=C PS1='$ ' TMOUT=600 bash --norc --noprofile"});
    while (Screen(session).find("\n$\n") == std::string::npos) Pause();  // else keys echo twice
    Tmux({"send-keys", "-t", session, "-l", command + "; echo status=$?"});
    Tmux({"send-keys", "-t", session, "Enter"});
    // Text that the program left on its last line stands before the status and counts too.
    const std::regex status_line(R"(status=(\d+)\n)");
    std::smatch status;
    std::string screen;
    for (;;) {
      screen = Screen(session);
      if (watch) watch(screen);
      if (std::regex_search(screen, status, status_line)) break;
      Pause();
    }
    Tmux({"kill-session", "-t", session});
    TypedRun run{std::stoi(status[1]), {}};
    const size_t typed = screen.find("; echo status=$?\n") + 17;
    for (std::string_view line : platform::SplitAll(
             std::string_view(screen).substr(typed, status.position(0) - typed), '\n')) {
      run.printed.emplace_back(line);
    }
    if (run.printed.back().empty()) run.printed.pop_back();
    return run;
  }
  static void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

  // The epoch limit for about the given seconds of training in this build on this machine: the
  // difference of two runs is the epochs alone, once it is long enough to stand above the noise
  // of starting a run (a few hundred epochs of this job take less than a millisecond).
  int EpochsFor(double seconds) {
    auto run_seconds = [this](int epochs) {
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(Run({"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt", "/pof=po.txt",
                     "/ep=" + std::to_string(epochs)}),
                0);
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const double start_up = run_seconds(20);
    int extra = 200;
    double difference = run_seconds(20 + extra) - start_up;
    while (difference < 0.2 && extra < 50'000'000) {
      extra *= 8;
      difference = run_seconds(20 + extra) - start_up;
    }
    const double per_epoch = std::max(1e-9, difference / extra);
    return std::max(220, static_cast<int>(seconds / per_epoch));
  }

  int sessions_ = 0;
};

TEST_F(TerminalTest, HelpAndVersionGoToStdoutWhereverItIs) {
  const std::string help = *AnswerToQuestion("--help");
  TypedRun shown = Type("./tarvex '/?'");
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.printed.size(), static_cast<size_t>(std::count(help.begin(), help.end(), '\n')));
  EXPECT_EQ(shown.printed.at(0), "Usage: tarvex /option=value ...");
  for (const char* question : {"/?", "-h", "--help", "--version"}) {
    tarvex::testing::RunOptions options;
    options.working_folder = folder_.path();
    auto result = RunProgram(program_, {question}, options);
    EXPECT_EQ(result.exit_status, 0) << question;
    EXPECT_EQ(result.standard_output, AnswerToQuestion(question)) << question;
    EXPECT_EQ(result.standard_error, "") << question;
  }
}

TEST_F(TerminalTest, ProgressLineMovesDuringTrainingAndIsGoneAtTheEnd) {
  const std::string epochs = std::to_string(EpochsFor(2.5));
  const std::string job =
      "./tarvex /tif=ti.txt /tof=to.txt /pif=pi.txt /pof=po.txt /log=run.log /wd=0 /ep=" + epochs;
  const std::regex progress("training: (\\d+) of " + epochs +
                            " epochs(, weight delta [0-9.e+-]+% \\(target 0%\\))?, \\d+:\\d\\d "
                            "so far(, at most \\d+:\\d\\d left)?\n");
  std::vector<long> done;
  bool estimated = false;
  TypedRun shown = Type(job + " >out.txt", [&](const std::string& screen) {
    std::smatch line;
    if (!std::regex_search(screen, line, progress)) return;
    done.push_back(std::stol(line[1]));
    EXPECT_EQ(line[2].matched, done.back() > 0) << line[0];  // a delta once an epoch is done
    estimated |= line[3].matched;
  });
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.printed, std::vector<std::string>{}) << "the line is cleared at the end";
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_TRUE(!done.empty() && done.front() < done.back()) << "the epoch count moves";
  EXPECT_TRUE(estimated);
  EXPECT_EQ(Read("out.txt"), "");
  const std::vector<std::string> log_at_terminal = Log();
  ASSERT_EQ(log_at_terminal.size(), 2u);

  // Off the terminal the same run shows nothing, writes nothing to stderr and logs the same.
  for (const char* redirect : {" 2>err.txt", " 2>&1 | cat >err.txt; (exit ${PIPESTATUS[0]})"}) {
    std::filesystem::remove(folder_ / "run.log");
    bool progress_shown = false;
    TypedRun hidden = Type(job + redirect, [&](const std::string& screen) {
      progress_shown |= screen.find("training:") != std::string::npos;
    });
    EXPECT_EQ(hidden.status, 0) << redirect;
    EXPECT_TRUE(hidden.printed.empty() && !progress_shown) << redirect;
    EXPECT_EQ(Read("err.txt"), "") << redirect;
    std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 2u);
    // The report's time line may differ by a second.
    EXPECT_EQ(log[0].substr(log[0].find("Traning")),
              log_at_terminal[0].substr(log_at_terminal[0].find("Traning")));
    EXPECT_EQ(log[1], log_at_terminal[1]);
  }
}

TEST_F(TerminalTest, FailuresArePrintedPlainlyAtATerminalOnly) {
  const std::string job = "/tif=ti.txt /tof=to.txt /pif=pi.txt /pof=po.txt /log=run.log";
  const std::pair<std::string, std::string> cases[] = {
      {"", "tarvex: the run failed: no options were given (tarvex --help lists them)"},
      {"/tif=ti.txt", "The Parameter '/pof' is empty."},
      {job + " /tif=nope.txt", "File not found: nope.txt"},
      {job + " /pif= /piv=1",
       "Input and output rows are not aligned. Parameters: ''Training Inputs'' and  ''Prediction "
       "Inputs''.   Traning Inputs Array(500,2)   Prediction Inputs Array(1,1)"},
      {job + " /n=-3", "The network needs at least one hidden neuron; -3 was given"},
      // Failures that the log keeps silent about.
      {job + " /tif=ti",
       "tarvex: the run failed: the file name ti has no extension to say how to read it"},
      {job + " /tif= '/tiv=;'",
       "tarvex: the run failed: loading the 'Training Inputs': Subscript out of range"},
      {"/ep=1e12 /pof=po.txt", "tarvex: the run failed: reading the options: Overflow"},
      // A log that must not be written: there is nowhere else to say why.
      {job + " /log=ti.txt",
       "tarvex: the run failed: the run log ti.txt is the training inputs (ti.txt); nothing was "
       "written"},
      {job + " /log=twice.log",
       "tarvex: the run failed: the run log twice.log: Several names differ from 'twice.log' only "
       "in letter case (Twice.log, twice.LOG) in the folder '.'; nothing was written"},
  };
  Write("Twice.log", "");
  Write("twice.LOG", "");
  for (const auto& [arguments, printed] : cases) {
    std::filesystem::remove(folder_ / "run.log");
    TypedRun shown = Type("./tarvex " + arguments + " >out.txt");
    EXPECT_EQ(shown.status, 1) << arguments;
    EXPECT_EQ(shown.printed, std::vector<std::string>{printed}) << arguments;
    EXPECT_EQ(Read("out.txt"), "") << arguments;
    const std::vector<std::string> log_at_terminal = Log();
    if (arguments.starts_with(job) && !printed.starts_with("tarvex: ")) {
      EXPECT_EQ(log_at_terminal, std::vector<std::string>{printed}) << arguments;
    }

    std::filesystem::remove(folder_ / "run.log");
    TypedRun hidden = Type("./tarvex " + arguments + " 2>err.txt");
    EXPECT_EQ(hidden.status, 1) << arguments;
    EXPECT_TRUE(hidden.printed.empty()) << arguments;
    EXPECT_EQ(Read("err.txt"), "") << arguments;
    EXPECT_EQ(Log(), log_at_terminal) << arguments;
  }
}

}  // namespace
}  // namespace tarvex::driver
