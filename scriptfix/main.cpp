// Scribbon: points the example batch files at the installed Tarvex and at a data folder. It writes
// nothing to the console; its exit status says whether every script that exists was rewritten.
#include <csignal>

#include "platform/command_text.h"
#include "platform/locale_text.h"
#include "scriptfix/script_fixer.h"

int main(int argc, char** argv) {
  // A write past the file-size limit fails and leaves the script whole, instead of a signal.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    // Command-line items are lower-cased by the user's locale.
    tarvex::platform::UseUserLocale();
    return tarvex::scriptfix::FixExampleScripts(tarvex::platform::CommandText(argc, argv)) ? 0 : 1;
  } catch (...) {
    return 1;
  }
}
