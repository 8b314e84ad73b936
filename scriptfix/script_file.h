// Whole-file reads and writes of the example scripts, byte for byte with no conversion.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::scriptfix {

// Paths are written as in the scripts, with "\" between folders, and made native here. A file
// exists when it is a regular file (or a link to one); folders do not count.

// False when no such file exists or it could not be read.
bool ReadWholeFile(const std::string& path, std::string& text);

// Replaces the file's content with text. The new text goes to a temporary file beside the script
// that is then renamed over it, so a failure never leaves a half-written script; the script keeps
// its mode (read-only included) and, where allowed, its owner. True when written or when no such
// file exists (nothing to write); false on any failure, with the script and its mode unchanged.
bool WriteWholeFile(const std::string& path, std::string_view text);

}  // namespace tarvex::scriptfix
