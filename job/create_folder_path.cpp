#include "job/create_folder_path.h"

#include <exception>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace tarvex::job {

void CreateFolderPath(std::string_view path) {
  std::vector<std::string_view> components;
  size_t start = 0;
  for (size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == '\\' || path[i] == '/') {
      components.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  // The first component stands for a drive and is taken to exist, so with fewer than four
  // components there is at most one folder, which is not created.
  // A network share has no folders to create on Linux.
  if (components.size() < 4 || platform::IsNetworkSharePath(path)) return;
  std::string running(components.front());
  running += '/';
  try {
    for (size_t i = 1; i + 1 < components.size(); ++i) {
      running.append(components[i]);
      // Existing folders are found whatever their letter case; new ones are created as written.
      const std::string native = platform::ToNativePath(running);
      if (!platform::FolderExists(native) && !platform::CreateFolder(native)) return;
      running += '/';
    }
  } catch (const std::exception&) {
    // Several folders that differ only in case: nothing more is created, like any failure here.
  }
}

}  // namespace tarvex::job
