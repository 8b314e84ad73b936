// Tarvex: trains a small neural network on numeric data and predicts outputs for new rows, in one
// unattended run. It writes nothing to the console; the run log and the output are its traces.
#include "driver/run_main.h"
#include "platform/command_text.h"
#include "platform/locale_text.h"

int main(int argc, char** argv) {
  tarvex::platform::UseUserLocale();
  return tarvex::driver::RunMain(tarvex::platform::CommandText(argc, argv));
}
