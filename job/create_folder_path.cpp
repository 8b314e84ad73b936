#include "job/create_folder_path.h"

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
  if (components.size() < 4) return;
  std::string running(components.front());
  running += '/';
  for (size_t i = 1; i + 1 < components.size(); ++i) {
    running.append(components[i]);
    if (!platform::FolderExists(running) && !platform::CreateFolder(running)) return;
    running += '/';
  }
}

}  // namespace tarvex::job
