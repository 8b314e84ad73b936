// Runs of the built program at a real terminal (a tmux pane, typed into a shell) and the same runs
// with stderr sent to a file or a pipe: what a person sees, and that none of it reaches a script.
#include <chrono>
#include <functional>
#include <regex>
#include <set>
#include <thread>

#include "driver/usage.h"
#include "platform/text.h"
#include "tests/support/tarvex_run.h"

namespace tarvex::driver {
namespace {

using tarvex::testing::RunOptions;
using tarvex::testing::RunProgram;
using tarvex::testing::TarvexRun;

const char* const kTmux = "/usr/bin/tmux";

struct TypedRun {
  int status = -1;
  std::vector<std::string> printed;  // the lines between the typed command and its status
};

class TerminalTest : public TarvexRun {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(kTmux)) GTEST_SKIP() << "tmux is not installed";
    // Eight inputs per row, enough rows that a training of a few seconds moves visibly.
    std::string inputs, outputs;
    for (int r = 0; r < 2000; ++r) {
      double sum = 0;
      for (int c = 0; c < 8; ++c) {
        const double value = ((r * 7 + c * 13) % 101) / 100.0;
        sum += value;
        inputs += std::to_string(value) + (c < 7 ? "\t" : "\n");
      }
      outputs += std::to_string(sum) + "\n";
    }
    Write("ti.txt", inputs);
    Write("to.txt", outputs);
    Write("pi.txt", "0.5\t0.5\t0.5\t0.5\t0.5\t0.5\t0.5\t0.5\n");
  }

  void TearDown() override {
    if (sessions_ > 0) Tmux({"kill-server"});
  }

  std::string Tmux(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(),
                     {"-f", "/dev/null", "-S", (folder_ / "tmux.sock").string()});
    return RunProgram(kTmux, arguments).standard_output;
  }

  // Types the command into a fresh shell in a terminal of its own, calls watch with the screen
  // until the command has ended, and returns its exit status and what it printed.
  TypedRun Type(const std::string& command,
                const std::function<void(const std::string&)>& watch = {}) {
    const std::string session = "run" + std::to_string(++sessions_);
    // The shell logs out when left idle, so a test that dies leaves no server behind for long.
    Tmux({"new-session", "-d", "-s", session, "-x", "200", "-y", "50", "-c",
          folder_.path().string(), "env LC_ALL=C PS1='$ ' TMOUT=600 bash --norc --noprofile"});
    // Keys typed before the shell is ready would be echoed twice.
    while (Screen(session).find("\n$\n") == std::string::npos) Pause();
    Tmux({"send-keys", "-t", session, "-l", command + "; echo status=$?"});
    Tmux({"send-keys", "-t", session, "Enter"});
    // The status may follow text that the program left on its last line, which counts as printed.
    const std::regex status_line(R"(status=(\d+)\n)");
    std::smatch status;
    std::string screen;
    for (;;) {
      screen = Screen(session);
      if (watch) watch(screen);
      if (std::regex_search(screen, status, status_line)) break;
      Pause();
    }
    TypedRun run;
    run.status = std::stoi(status[1]);
    const size_t typed = screen.find("; echo status=$?\n") + 17;
    for (std::string_view line : platform::SplitAll(
             std::string_view(screen).substr(typed, status.position(0) - typed), '\n')) {
      run.printed.emplace_back(line);
    }
    if (run.printed.back().empty()) run.printed.pop_back();
    Tmux({"kill-session", "-t", session});
    return run;
  }

  // The whole screen and its history, each line without trailing blanks, after a line end.
  std::string Screen(const std::string& session) {
    const std::string captured = Tmux({"capture-pane", "-p", "-J", "-S", "-", "-t", session});
    return "\n" + std::regex_replace(captured, std::regex(" +\n"), "\n");
  }
  static void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

  // The epoch limit for a training of about the given length on this machine and build (the
  // sanitizer build is many times slower): two short runs, whose difference is the epochs alone.
  int EpochsFor(double seconds) {
    auto run_seconds = [this](int epochs) {
      const auto start = std::chrono::steady_clock::now();
      EXPECT_EQ(Run(Job({"/ep=" + std::to_string(epochs)})), 0);
      return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    constexpr int kFewer = 20, kMore = 120;
    const double per_epoch =
        std::max(1e-5, (run_seconds(kMore) - run_seconds(kFewer)) / (kMore - kFewer));
    return std::max(kMore, static_cast<int>(seconds / per_epoch));
  }

  static std::vector<std::string> Job(std::vector<std::string> more) {
    std::vector<std::string> arguments = {"/tif=ti.txt", "/tof=to.txt",  "/pif=pi.txt",
                                          "/pof=po.txt", "/log=run.log", "/wd=0"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }

  int sessions_ = 0;
};

TEST_F(TerminalTest, HelpGoesToStdoutAtATerminalAndElsewhere) {
  const std::string help = *AnswerToQuestion("--help");
  TypedRun shown = Type("./tarvex '/?'");
  EXPECT_EQ(shown.status, 0);
  ASSERT_FALSE(shown.printed.empty());
  EXPECT_EQ(shown.printed[0], "Usage: tarvex /option=value ...");
  EXPECT_EQ(shown.printed.size(), static_cast<size_t>(std::count(help.begin(), help.end(), '\n')));

  TypedRun redirected = Type("./tarvex --help >out.txt 2>err.txt");
  EXPECT_EQ(redirected.status, 0);
  EXPECT_TRUE(redirected.printed.empty());
  EXPECT_EQ(Read("out.txt"), help);
  EXPECT_EQ(Read("err.txt"), "");

  for (const char* question : {"/?", "-h", "--help", "--version"}) {
    RunOptions options;
    options.working_folder = folder_.path();
    auto result = RunProgram(program_, {question}, options);
    EXPECT_EQ(result.exit_status, 0) << question;
    EXPECT_EQ(result.standard_output, AnswerToQuestion(question)) << question;
    EXPECT_EQ(result.standard_error, "") << question;
  }
  EXPECT_FALSE(Exists("run.log"));
}

TEST_F(TerminalTest, ProgressLineMovesDuringTrainingAndIsGoneAtTheEnd) {
  const std::string epochs = std::to_string(EpochsFor(2.5));
  const std::string job =
      "./tarvex /tif=ti.txt /tof=to.txt /pif=pi.txt /pof=po.txt /log=run.log "
      "/wd=0 /ep=" +
      epochs;
  const std::regex progress(
      "training: (\\d+) of " + epochs +
      " epochs(, weight delta [0-9.e+-]+% \\(target 0%\\))?, \\d+:\\d\\d so far"
      "(, at most \\d+:\\d\\d left)?\n");
  std::vector<long> done;
  bool estimated = false;
  auto watch = [&](const std::string& screen) {
    std::smatch line;
    if (!std::regex_search(screen, line, progress)) return;
    done.push_back(std::stol(line[1]));
    estimated |= line[3].matched;
    EXPECT_EQ(line[2].matched, done.back() > 0) << line[0];
  };
  std::filesystem::remove(folder_ / "run.log");
  TypedRun shown = Type(job + " >out.txt", watch);
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.printed, std::vector<std::string>{}) << "the line is cleared at the end";
  EXPECT_TRUE(std::is_sorted(done.begin(), done.end()));
  EXPECT_GE(std::set<long>(done.begin(), done.end()).size(), 2u) << "the epoch count moves";
  EXPECT_TRUE(estimated);
  EXPECT_EQ(Read("out.txt"), "");
  const std::vector<std::string> log_at_terminal = Log();

  // Off the terminal the same run shows nothing, writes nothing to stderr and logs the same.
  for (const char* redirect : {" 2>err.txt", " 2>&1 | cat >err.txt; (exit ${PIPESTATUS[0]})"}) {
    std::filesystem::remove(folder_ / "run.log");
    bool progress_shown = false;
    TypedRun hidden = Type(job + redirect, [&](const std::string& screen) {
      progress_shown |= screen.find("training:") != std::string::npos;
    });
    EXPECT_EQ(hidden.status, 0) << redirect;
    EXPECT_TRUE(hidden.printed.empty()) << redirect;
    EXPECT_FALSE(progress_shown) << redirect;
    EXPECT_EQ(Read("err.txt"), "") << redirect;
    std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 2u);
    ASSERT_EQ(log_at_terminal.size(), 2u);
    // The report's time line may differ by a second.
    EXPECT_EQ(log[0].substr(log[0].find("Traning")),
              log_at_terminal[0].substr(log_at_terminal[0].find("Traning")));
    EXPECT_EQ(log[1], log_at_terminal[1]);
  }
}

TEST_F(TerminalTest, FailuresArePrintedPlainlyAtATerminalOnly) {
  struct Case {
    std::string arguments;
    std::vector<std::string> printed;
  };
  const Case cases[] = {
      {"", {"tarvex: the run failed: no options were given (tarvex --help lists them)"}},
      {"/tif=ti.txt", {"The Parameter '/pof' is empty."}},
      {"/tif=nope.txt /tof=to.txt /pif=pi.txt /pof=po.txt /log=run.log",
       {"File not found: nope.txt"}},
      {"/tif=ti.txt /tof=to.txt '/piv=1,2' /pof=po.txt /log=run.log",
       {"Input and output rows are not aligned. Parameters: ''Training Inputs'' and  "
        "''Prediction Inputs''.   Traning Inputs Array(2000,8)   Prediction Inputs Array(1,2)"}},
      {"/tif=ti.txt /tof=to.txt /pif=pi.txt /pof=po.txt /log=run.log /n=-3",
       {"The network needs at least one hidden neuron; -3 was given"}},
      // Failures that the log keeps silent about.
      {"/tif=ti /tof=to.txt /pif=pi.txt /pof=po.txt /log=run.log",
       {"tarvex: the run failed: the file name ti has no extension to say how to read it"}},
      {"'/tiv=;' /tov=1 /piv=1 /pof=po.txt /log=run.log",
       {"tarvex: the run failed: loading the 'Training Inputs': Subscript out of range"}},
      {"/ep=1e12 /pof=po.txt", {"tarvex: the run failed: reading the options: Overflow"}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(folder_ / "run.log");
    TypedRun shown = Type("./tarvex " + c.arguments + " >out.txt");
    EXPECT_EQ(shown.status, 1) << c.arguments;
    EXPECT_EQ(shown.printed, c.printed) << c.arguments;
    EXPECT_EQ(Read("out.txt"), "") << c.arguments;
    const std::vector<std::string> log_at_terminal = Log();
    if (!c.printed[0].starts_with("tarvex: ") && c.arguments.find("/log=") != std::string::npos) {
      EXPECT_EQ(log_at_terminal, c.printed) << "every failure line of the log, and only those";
    }

    std::filesystem::remove(folder_ / "run.log");
    TypedRun hidden = Type("./tarvex " + c.arguments + " 2>err.txt");
    EXPECT_EQ(hidden.status, 1) << c.arguments;
    EXPECT_TRUE(hidden.printed.empty()) << c.arguments;
    EXPECT_EQ(Read("err.txt"), "") << c.arguments;
    EXPECT_EQ(Log(), log_at_terminal) << c.arguments;
  }
}

}  // namespace
}  // namespace tarvex::driver
