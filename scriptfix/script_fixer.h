// Scribbon's work: reading its three folders from the command text and rewriting the example
// batch files so that they call Tarvex by its full path and find their data in a given folder.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::scriptfix {

// The folders named on the command line, lower-cased as given; empty when not given.
struct ScriptFolders {
  std::string pexe;  // holds Tarvex.exe
  std::string pdoc;  // stands for the current folder, written .\ in the scripts
  std::string pbat;  // holds the example scripts
};

// Reads the /key=value items of the command text: split at every "/", each item trimmed of
// blanks, stripped of double quotes and lower-cased; keys other than pexe, pdoc, pbat ignored.
ScriptFolders ReadScriptFolders(std::string_view command_text);

// The script text with every Tarvex.exe called by its quoted full path and every .\ turned into
// an opening quote and pdoc.
std::string FixScriptText(std::string_view text, const ScriptFolders& folders);

// Rewrites one script, path written with "\" as in the scripts. True when the script was
// rewritten or does not exist; false when it exists but could not be read or rewritten.
bool FixScriptFile(const std::string& path, const ScriptFolders& folders);

// Rewrites ExampleParam.bat, ExampleXLS.bat and ExampleTXT.bat in pbat, in this order. An empty
// command text touches nothing. True unless a script that exists could not be rewritten; a
// failed script does not stop the others.
bool FixExampleScripts(std::string_view command_text);

}  // namespace tarvex::scriptfix
