// Creating the missing folders of a file path before the file is created there.
#pragma once

#include <string_view>

namespace tarvex::job {

// Splits the path at "\" and "/", takes the first component as existing and the last as the
// file, and creates each missing folder in between, outermost first. A path of fewer than four
// components is left alone. Failures are silent: the caller finds out when its file cannot be
// created.
void CreateFolderPath(std::string_view path);

}  // namespace tarvex::job
