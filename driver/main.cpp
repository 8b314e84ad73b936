// Tarvex: trains a small neural network on numeric data and predicts outputs for new rows, in one
// unattended run. It writes nothing to the console; the run log and the output are its traces.
#include <csignal>

#include "driver/run_main.h"
#include "platform/command_text.h"
#include "platform/locale_text.h"

int main(int argc, char** argv) {
  // A write past the file-size limit or into a closed pipe fails and is reported like any
  // failed write, instead of ending the run by a signal.
  std::signal(SIGXFSZ, SIG_IGN);
  std::signal(SIGPIPE, SIG_IGN);
  tarvex::platform::UseUserLocale();
  return tarvex::driver::RunMain(tarvex::platform::CommandText(argc, argv));
}
