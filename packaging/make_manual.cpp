// Run by the build: writes the manual pages tarvex.1 and scribbon.1 and the bash completion
// tarvex.bash into a folder, from the programs' option tables and the installation's paths.
//   tarvex_make_manual FOLDER VERSION DATE BIN PROGRAMS DOCS COMPLETIONS FUNCTIONS
// FUNCTIONS is the file with the completion's functions (packaging/completion.bash).
#include <cstdio>
#include <exception>
#include <string>

#include "packaging/completion.h"
#include "packaging/manual_page.h"
#include "platform/file_replacement.h"
#include "platform/files.h"

namespace {

using tarvex::platform::FileReplacement;

void WriteWholeFile(const std::string& path, const std::string& text) {
  FileReplacement file(path);
  file.Write(text);
  file.Commit();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 9) {
    std::fputs(
        "usage: tarvex_make_manual FOLDER VERSION DATE BIN PROGRAMS DOCS COMPLETIONS "
        "FUNCTIONS\n",
        stderr);
    return 2;
  }
  const std::string folder = argv[1];
  const tarvex::packaging::PageHeading heading{argv[2], argv[3]};
  const tarvex::packaging::InstalledPaths paths{argv[4], argv[5], argv[6], argv[7]};
  try {
    WriteWholeFile(folder + "/tarvex.1", tarvex::packaging::TarvexManualPage(paths, heading));
    WriteWholeFile(folder + "/scribbon.1", tarvex::packaging::ScribbonManualPage(paths, heading));
    WriteWholeFile(folder + "/tarvex.bash",
                   tarvex::packaging::CompletionScript(tarvex::packaging::ReadCompletionLists(),
                                                       tarvex::platform::ReadWholeFile(argv[8])));
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "tarvex_make_manual: %s\n", failure.what());
    return 1;
  }
  return 0;
}
