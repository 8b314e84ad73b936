// The zip package of an Office Open XML workbook: its entries read with a cap on what is
// inflated, and written back with some entries replaced or removed and every other entry copied
// as it stands, compressed bytes included.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "platform/large_memory.h"

struct zip;
struct zip_stat;

namespace tarvex::workbook::openxml {

struct ZipFileSource;

class ZipPackage {
 public:
  // Opens the package at native_path for reading. Throws WorkbookError when the file is no
  // readable zip package (damaged, truncated) and platform::SystemError when it cannot be opened.
  explicit ZipPackage(const std::string& native_path);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  // The name of the entry that holds the part (part names ignore letter case), or none.
  bool Find(std::string_view entry, std::string& found) const;
  bool Has(std::string_view entry) const;

  // The inflated content of the entry. Throws WorkbookError, before inflating anything, when it
  // is missing, declares more than kMaxEntrySize, more than kMaxInflation times its packed size
  // or more than the memory available, and when it is damaged or larger than it declares.
  platform::LargeText Read(std::string_view entry) const;

  // The size that the entry declares for its inflated content. Throws WorkbookError when the
  // entry is missing.
  std::uint64_t InflatedSize(std::string_view entry) const;

  // Writes the package back over its file: to a temporary file in the same folder that is
  // renamed over the original (a symbolic link is followed and stays a link; permissions are
  // kept), so that a failure or a kill leaves the original whole. Entries of replaced get the
  // new content (deflated by libdeflate), entries of removed are left out, all others are copied
  // unchanged, compressed bytes as they stand. Throws
  // WorkbookError or platform::SystemError.
  void Save(const std::map<std::string, std::string_view>& replaced,
            const std::set<std::string>& removed);

  // Declared sizes above this are refused before anything is inflated: a sheet at the format's
  // limits of useful data stays far below it, a zip bomb does not.
  static constexpr std::uint64_t kMaxEntrySize = std::uint64_t{2} << 30;
  // A part larger than kSmallPart that inflates to more than kMaxInflation times its packed size
  // is refused before it is inflated: sheets inflate 4 to 25 times (a million styled blank cells
  // about 10), a zip bomb of blanks about 1,000 times.
  static constexpr std::uint64_t kMaxInflation = 100;
  static constexpr std::uint64_t kSmallPart = std::uint64_t{16} << 20;

 private:
  // The entry's name and statistics; throws WorkbookError when it is missing.
  std::uint64_t Locate(std::string_view entry, std::string& name, struct zip_stat& stat) const;

  std::string path_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  std::unique_ptr<ZipFileSource> reading_;
  struct zip* archive_ = nullptr;
};

// The size of the content deflated at that level as Save deflates a replaced entry; 0 when memory
// is short. For the benchmark that chooses the level.
size_t DeflatedSize(std::string_view content, int level);

}  // namespace tarvex::workbook::openxml
