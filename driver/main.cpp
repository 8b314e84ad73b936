// Tarvex: trains a small neural network on numeric data and predicts outputs for new rows, in one
// unattended run. The run log and the output are its traces; only a person at a terminal sees
// more (progress and failures on stderr), and only one who asks for help gets text on stdout.
#include <unistd.h>

#include <csignal>
#include <optional>
#include <string>

#include "driver/run_main.h"
#include "driver/usage.h"
#include "platform/command_text.h"
#include "platform/files.h"
#include "platform/locale_text.h"

int main(int argc, char** argv) {
  // A write past the file-size limit or into a closed pipe fails and is reported like any
  // failed write, instead of ending the run by a signal.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  tarvex::platform::UseUserLocale();
  const std::string command_text = tarvex::platform::CommandText(argc, argv);
  if (std::optional<std::string> answer = tarvex::driver::AnswerToQuestion(command_text)) {
    // An answer that could not be written is a failure, as it is for any tool.
    return tarvex::platform::WriteAll(STDOUT_FILENO, *answer) == 0 ? 0 : 1;
  }
  return tarvex::driver::RunMain(command_text);
}
