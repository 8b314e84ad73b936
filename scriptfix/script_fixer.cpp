#include "scriptfix/script_fixer.h"

#include <exception>

#include "platform/command_text.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "scriptfix/script_file.h"

namespace tarvex::scriptfix {

ScriptFolders ReadScriptFolders(std::string_view command_text) {
  ScriptFolders folders;
  platform::ForEachOptionItem(command_text,
                              [&folders](std::string_view key, std::string_view value) {
                                // Keys are compared exactly: "/pexe = x" has the key "pexe ", which
                                // names nothing.
                                if (key == "pexe") {
                                  folders.pexe = value;
                                } else if (key == "pdoc") {
                                  folders.pdoc = value;
                                } else if (key == "pbat") {
                                  folders.pbat = value;
                                }
                              });
  return folders;
}

std::string FixScriptText(std::string_view text, const ScriptFolders& folders) {
  const std::string called =
      platform::ReplaceAll(text, "Tarvex.exe", "\"" + folders.pexe + "\\Tarvex.exe\"");
  // Runs over the text above, so a .\ inside pexe is replaced too. Only an opening quote goes in,
  // deliberately: Tarvex drops every quote and ends a value at the next "/" anyway.
  return platform::ReplaceAll(called, ".\\", "\"" + folders.pdoc + "\\");
}

bool FixScriptFile(const std::string& path, const ScriptFolders& folders) {
  try {
    std::string text;
    // A missing script is skipped by design; one that exists but cannot be read is a failure.
    if (!ReadWholeFile(path, text)) return !platform::IsExistingFile(platform::ToNativePath(path));
    return WriteWholeFile(path, FixScriptText(text, folders));
  } catch (const std::exception&) {
    return false;
  }
}

bool FixExampleScripts(std::string_view command_text) {
  if (command_text.empty()) return true;
  try {
    const ScriptFolders folders = ReadScriptFolders(command_text);
    bool all_fixed = true;
    for (const char* name : {"\\ExampleParam.bat", "\\ExampleXLS.bat", "\\ExampleTXT.bat"}) {
      if (!FixScriptFile(folders.pbat + name, folders)) all_fixed = false;
    }
    return all_fixed;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace tarvex::scriptfix
