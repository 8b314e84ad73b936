// The bash completion of tarvex and scribbon: the lists it completes from, taken from the
// programs' own option tables, and the script that carries them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvex::packaging {

struct CompletionLists {
  std::vector<std::string> tarvex_keys;       // "lr", ..., in the order the command line tests them
  std::vector<std::string> tarvex_file_keys;  // "tif", ...: the keys whose value names a file
  std::vector<std::string> activation_codes;  // the codes of af that have a scaling range
  std::vector<std::string> scribbon_keys;     // "pexe", ...: each value names a folder
};

CompletionLists ReadCompletionLists();

// The completion script: the lists as bash arrays, then the functions that use them.
std::string CompletionScript(const CompletionLists& lists, std::string_view functions);

}  // namespace tarvex::packaging
