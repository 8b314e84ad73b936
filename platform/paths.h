// Paths and folders: where a path setting meets the file system.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::platform {

// Every "\" becomes "/": settings keep their text, the file system gets the native form.
std::string ToNativePath(std::string_view path);

// The folder of the running executable, without a trailing separator.
const std::string& ProgramFolder();

// An existing ordinary file (a folder or a device does not count). Takes a native path.
bool IsExistingFile(const std::string& native_path);
bool FolderExists(const std::string& native_path);
bool CreateFolder(const std::string& native_path);

}  // namespace tarvex::platform
