// Scribbon's item reader and its replacements: the input up to the first NUL is the command
// text, the rest the script text.
#include "bench/fuzz/fuzz_support.h"
#include "scriptfix/script_fixer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tarvex;
  std::string_view input = fuzz::AsText(data, size);
  const size_t nul = input.find('\0');
  const std::string_view command = input.substr(0, nul);
  const std::string_view script = nul == std::string_view::npos ? "" : input.substr(nul + 1);
  const scriptfix::ScriptFolders folders = scriptfix::ReadScriptFolders(command);
  const std::string fixed = scriptfix::FixScriptText(script, folders);
  // The replacements only ever lengthen the text, which a rewrite in place relies on.
  if (fixed.size() < script.size()) __builtin_trap();
  return 0;
}
