// Paths and folders: where a path setting meets the file system.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::platform {

// The native form of a path setting: every "\" becomes "/", and a path that does not exist
// exactly as written is resolved the way a file system that ignores letter case would resolve
// it (the command line lower-cases every value): folder by folder, a missing name is looked up
// among the folder's entries without regard to case; one match is taken, none leaves the rest
// of the path as written (a file to be created gets its folders resolved and its own name as
// written). An exact match always wins. Throws SystemError when several names differ only in
// case. A path that begins with two separators names a network share, which Linux has none of:
// it becomes the empty path, which opens like a missing file.
std::string ToNativePath(std::string_view path);

// True for a path that begins with two separators ("\\server\share\...").
bool IsNetworkSharePath(std::string_view path);

// The folder of the running executable, without a trailing separator.
const std::string& ProgramFolder();

// An existing ordinary file (a folder or a device does not count). Takes a native path.
bool IsExistingFile(const std::string& native_path);
bool FolderExists(const std::string& native_path);
bool CreateFolder(const std::string& native_path);

// Which file a path names, whatever the name: device and inode, links followed.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
// None when nothing exists at the native path.
std::optional<FileIdentity> IdentityOf(const std::string& native_path);

// A file's identity with what every write changes: its size and its modification and status
// change times (the latter no program can set back), so that two equal states mean the file was
// not written in between.
struct FileState {
  FileIdentity identity;
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;
  bool operator==(const FileState&) const = default;
};
// None when nothing exists at the native path.
std::optional<FileState> StateOf(const std::string& native_path);
// The files the running program consists of: its executable and the shared libraries in its
// folder (the engine component among them).
std::vector<FileIdentity> ProgramFileIdentities();

}  // namespace tarvex::platform
