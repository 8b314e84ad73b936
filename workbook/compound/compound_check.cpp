// The structural check of a compound document: header, allocation tables, directory, streams.
#include "workbook/compound/compound_check.h"

#include <cstdint>
#include <string>
#include <vector>

#include "platform/little_endian.h"
#include "workbook/compound/compound_error.h"
#include "workbook/compound/utf16_text.h"

namespace tarvex::workbook::compound {

using platform::ReadU16;
using platform::ReadU32;
using platform::ReadU64;

namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;
constexpr size_t kHeaderFields = 512;
constexpr size_t kHeaderDifatEntries = 109;
constexpr size_t kEntrySize = 128;
constexpr size_t kMiniSectorSize = 64;
constexpr std::uint32_t kMiniStreamCutoff = 4096;

enum EntryType : unsigned char { kStorage = 1, kStream = 2, kRoot = 5 };

[[noreturn]] void Damaged(const std::string& what) {
  throw CompoundError("The compound document is damaged: " + what);
}

class DocumentCheck {
 public:
  explicit DocumentCheck(std::string_view file) : file_(file) {}

  void Run() {
    ReadHeader();
    ReadFat();
    ReadDirectory();
    ReadMiniStream();
    CheckTree();
  }

 private:
  void ReadHeader() {
    if (file_.size() < kHeaderFields)
      Damaged("the file is shorter than a compound document header");
    if (ReadU16(file_, 28) != 0xFFFE) Damaged("its header has no valid byte-order mark");
    unsigned shift = ReadU16(file_, 30);
    if (shift != 9 && shift != 12) {
      std::string size = shift < 32 ? std::to_string(1ull << shift) + " bytes" : "invalid";
      Damaged("its sector size is " + size + "; only 512 and 4096 bytes are possible");
    }
    if (ReadU16(file_, 32) != 6) Damaged("its mini-sector size is not 64 bytes");
    if (ReadU32(file_, 56) != kMiniStreamCutoff)
      Damaged("its mini-stream cutoff is not 4096 bytes");
    sector_size_ = size_t{1} << shift;
    if (file_.size() < sector_size_) Damaged("the file is shorter than its header sector");
    sector_count_ = (file_.size() - sector_size_ + sector_size_ - 1) / sector_size_;
    used_.assign(sector_count_, false);
  }

  // The bytes of a sector that the document reads whole (allocation tables, directory).
  std::string_view Sector(std::uint32_t id, const char* what) const {
    size_t start = (size_t{id} + 1) * sector_size_;
    if (id >= sector_count_ || start + sector_size_ > file_.size()) {
      Damaged("a sector of " + std::string(what) + " lies outside the file");
    }
    return file_.substr(start, sector_size_);
  }

  void ReadFat() {
    std::uint32_t fat_sectors = ReadU32(file_, 44);
    std::uint32_t difat_sectors = ReadU32(file_, 72);
    if (fat_sectors > sector_count_ || difat_sectors > sector_count_) {
      Damaged("its header counts more allocation sectors than the file holds");
    }
    std::vector<std::uint32_t> fat_ids;
    fat_ids.reserve(fat_sectors);
    for (size_t i = 0; i < kHeaderDifatEntries && fat_ids.size() < fat_sectors; ++i) {
      fat_ids.push_back(ReadU32(file_, 76 + 4 * i));
    }
    std::uint32_t next = ReadU32(file_, 68);
    const size_t per_sector = sector_size_ / 4 - 1;
    for (std::uint32_t n = 0; fat_ids.size() < fat_sectors; ++n) {
      if (n >= difat_sectors || next >= sector_count_) {
        Damaged("the chain of its master allocation table ends early or points outside the file");
      }
      if (used_[next]) Damaged("the chain of its master allocation table loops");
      used_[next] = true;
      std::string_view sector = Sector(next, "the master allocation table");
      for (size_t i = 0; i < per_sector && fat_ids.size() < fat_sectors; ++i) {
        fat_ids.push_back(ReadU32(sector, 4 * i));
      }
      next = ReadU32(sector, 4 * per_sector);
    }
    fat_.reserve(fat_ids.size() * (sector_size_ / 4));
    for (std::uint32_t id : fat_ids) {
      if (id < sector_count_) used_[id] = true;
      std::string_view sector = Sector(id, "the allocation table");
      for (size_t i = 0; i < sector_size_ / 4; ++i) fat_.push_back(ReadU32(sector, 4 * i));
    }
  }

  // The sectors of a chain in order; a chain that loops, shares a sector with another chain or
  // points past the table or the file is damage.
  std::vector<std::uint32_t> Chain(std::uint32_t start, const std::vector<std::uint32_t>& table,
                                   std::vector<bool>& used, const std::string& what) const {
    std::vector<std::uint32_t> chain;
    for (std::uint32_t id = start; id != kEndOfChain; id = table[id]) {
      if (id >= table.size() || id >= used.size()) {
        Damaged("the chain of sectors of " + what + " points outside the file");
      }
      if (used[id]) Damaged("the chain of sectors of " + what + " loops or crosses another chain");
      used[id] = true;
      chain.push_back(id);
    }
    return chain;
  }

  void ReadDirectory() {
    std::vector<std::uint32_t> chain = Chain(ReadU32(file_, 48), fat_, used_, "the directory");
    if (chain.empty()) Damaged("it has no directory");
    for (std::uint32_t id : chain) directory_.append(Sector(id, "the directory"));
    entry_count_ = directory_.size() / kEntrySize;
    if (Entry(0)[66] != kRoot) Damaged("its first directory entry is not the root storage");
  }

  std::string_view Entry(size_t index) const {
    return std::string_view(directory_).substr(index * kEntrySize, kEntrySize);
  }

  std::uint64_t EntrySize(std::string_view entry) const {
    // Version 3 documents keep only 32 bits; the upper half may hold anything.
    return sector_size_ == 512 ? ReadU32(entry, 120) : ReadU64(entry, 120);
  }

  std::string EntryName(std::string_view entry) const {
    size_t length = std::min<size_t>(ReadU16(entry, 64), 64) / 2;
    std::u16string units;
    for (size_t i = 0; i < length; ++i) {
      char16_t unit = ReadU16(entry, 2 * i);
      if (unit == 0) break;
      units.push_back(unit);
    }
    std::string name;
    AppendUtf16(name, units);
    return name;
  }

  void ReadMiniStream() {
    std::string_view root = Entry(0);
    mini_stream_size_ = EntrySize(root);
    // Without a mini stream or mini allocation table the start sector may hold anything.
    if (mini_stream_size_ > 0) {
      std::vector<std::uint32_t> chain = Chain(ReadU32(root, 116), fat_, used_, "the mini stream");
      if (chain.size() * sector_size_ < mini_stream_size_) {
        Damaged("its mini stream is shorter than its directory entry says");
      }
    }
    std::vector<std::uint32_t> mini_fat_chain;
    if (ReadU32(file_, 64) > 0) {
      mini_fat_chain = Chain(ReadU32(file_, 60), fat_, used_, "the mini allocation table");
    }
    for (std::uint32_t id : mini_fat_chain) {
      std::string_view sector = Sector(id, "the mini allocation table");
      for (size_t i = 0; i < sector_size_ / 4; ++i) mini_fat_.push_back(ReadU32(sector, 4 * i));
    }
    mini_used_.assign((mini_stream_size_ + kMiniSectorSize - 1) / kMiniSectorSize, false);
  }

  void CheckStream(std::string_view entry) {
    std::string what = "the stream '" + EntryName(entry) + "'";
    std::uint64_t size = EntrySize(entry);
    std::uint32_t start = ReadU32(entry, 116);
    size_t held = 0;
    if (size < kMiniStreamCutoff) {
      if (size == 0) return;
      held = Chain(start, mini_fat_, mini_used_, what).size() * kMiniSectorSize;
    } else {
      held = Chain(start, fat_, used_, what).size() * sector_size_;
    }
    if (held < size) Damaged(what + " is shorter than its directory entry says");
  }

  // Walks the directory's tree of storages and streams from the root, each entry once.
  void CheckTree() {
    std::vector<bool> seen(entry_count_, false);
    seen[0] = true;
    std::vector<std::uint32_t> pending = {ReadU32(Entry(0), 76)};
    while (!pending.empty()) {
      std::uint32_t id = pending.back();
      pending.pop_back();
      if (id == kNoEntry) continue;
      if (id >= entry_count_) Damaged("its directory refers to an entry that does not exist");
      if (seen[id]) Damaged("its directory tree loops");
      seen[id] = true;
      std::string_view entry = Entry(id);
      pending.push_back(ReadU32(entry, 68));
      pending.push_back(ReadU32(entry, 72));
      if (entry[66] == kStorage) {
        pending.push_back(ReadU32(entry, 76));
      } else if (entry[66] == kStream) {
        CheckStream(entry);
      } else {
        Damaged("its directory tree holds an entry that is neither a storage nor a stream");
      }
    }
  }

  std::string_view file_;
  size_t sector_size_ = 512;
  size_t sector_count_ = 0;
  std::vector<bool> used_;
  std::vector<std::uint32_t> fat_;
  std::string directory_;
  size_t entry_count_ = 0;
  std::uint64_t mini_stream_size_ = 0;
  std::vector<std::uint32_t> mini_fat_;
  std::vector<bool> mini_used_;
};

}  // namespace

void CheckCompoundDocument(std::string_view file) { DocumentCheck(file).Run(); }

}  // namespace tarvex::workbook::compound
