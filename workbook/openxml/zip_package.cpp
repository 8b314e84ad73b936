// Reading the entries of a zip package and writing it again with some entries replaced.
#include "workbook/openxml/zip_package.h"

#include <fcntl.h>
#include <libdeflate.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/file_replacement.h"
#include "platform/files.h"
#include "platform/little_endian.h"
#include "workbook/format/memory_check.h"
#include "workbook/format/workbook_file.h"

namespace tarvex::workbook::openxml {

using platform::ReadU16;
using platform::ReadU32;
using platform::ReadU64;

namespace {

// Parts that are rewritten are deflated by libdeflate at this level: a sheet of a million cells
// is tens of megabytes of text, and higher levels cost far more time than they save in size
// (bench_readonce deflate measures them).
constexpr int kCompressionLevel = 1;

// Reads up to length bytes of the file at offset into data, going on after short reads; fewer
// only at the file's end. Returns the count, or -1 with errno set.
ssize_t ReadAt(int fd, std::uint64_t offset, char* data, size_t length) {
  size_t done = 0;
  while (done < length) {
    ssize_t n = pread(fd, data + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

// The zip library's view of the workbook file: reads come from the open original, writes go to
// the replacement beside it. Through this the library copies untouched entries as they stand,
// and the file is replaced the same way as every other file the program rewrites.
struct ZipFileSource {
  int fd = -1;
  std::uint64_t size = 0;
  std::uint64_t position = 0;
  time_t mtime = 0;
  platform::FileReplacement* output = nullptr;
  zip_error_t error{};
  std::string failure;  // the system's description of a failed write or commit
};

namespace {

using FileSource = ZipFileSource;

zip_int64_t Fail(FileSource& source, int zip_error, int system_error) {
  zip_error_set(&source.error, zip_error, system_error);
  return -1;
}

zip_int64_t SourceCallback(void* state, void* data, zip_uint64_t length, zip_source_cmd_t command) {
  FileSource& source = *static_cast<FileSource*>(state);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      source.position = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      zip_uint64_t left = source.position < source.size ? source.size - source.position : 0;
      if (length > left) length = left;
      const ssize_t done = ReadAt(source.fd, source.position, static_cast<char*>(data), length);
      if (done < 0) return Fail(source, ZIP_ER_READ, errno);
      source.position += static_cast<std::uint64_t>(done);
      return done;
    }
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_STAT: {
      zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &source.error);
      if (stat == nullptr) return -1;
      zip_stat_init(stat);
      stat->size = source.size;
      stat->mtime = source.mtime;
      stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&source.error, data, length);
    case ZIP_SOURCE_SEEK: {
      zip_int64_t offset =
          zip_source_seek_compute_offset(source.position, source.size, data, length, &source.error);
      if (offset < 0) return -1;
      source.position = static_cast<std::uint64_t>(offset);
      return 0;
    }
    case ZIP_SOURCE_TELL:
      return static_cast<zip_int64_t>(source.position);
    case ZIP_SOURCE_SUPPORTS:
      return source.output == nullptr ? ZIP_SOURCE_SUPPORTS_SEEKABLE : ZIP_SOURCE_SUPPORTS_WRITABLE;
    case ZIP_SOURCE_BEGIN_WRITE:
      if (source.output == nullptr) return Fail(source, ZIP_ER_RDONLY, 0);
      return 0;
    case ZIP_SOURCE_WRITE:
      if (int error = platform::WriteAll(
              source.output->fd(), std::string_view(static_cast<const char*>(data), length))) {
        source.failure = platform::SystemErrorText(error);
        return Fail(source, ZIP_ER_WRITE, error);
      }
      return static_cast<zip_int64_t>(length);
    case ZIP_SOURCE_SEEK_WRITE: {
      auto* seek = ZIP_SOURCE_GET_ARGS(zip_source_args_seek_t, data, length, &source.error);
      if (seek == nullptr) return -1;
      if (lseek(source.output->fd(), seek->offset, seek->whence) < 0) {
        return Fail(source, ZIP_ER_SEEK, errno);
      }
      return 0;
    }
    case ZIP_SOURCE_TELL_WRITE: {
      off_t at = lseek(source.output->fd(), 0, SEEK_CUR);
      if (at < 0) return Fail(source, ZIP_ER_TELL, errno);
      return at;
    }
    case ZIP_SOURCE_COMMIT_WRITE:
      try {
        source.output->Commit();
      } catch (const std::exception& failure) {
        source.failure = failure.what();
        return Fail(source, ZIP_ER_WRITE, 0);
      }
      return 0;
    case ZIP_SOURCE_ROLLBACK_WRITE:
      return 0;  // the replacement removes its temporary file
    default:
      return Fail(source, ZIP_ER_OPNOTSUPP, 0);
  }
}

// An archive over the file source, or nullptr with the zip library's error in error.
zip_t* TryOpenArchive(FileSource& source, int flags, zip_error_t& error) {
  zip_source_t* zip_source = zip_source_function_create(SourceCallback, &source, &error);
  zip_t* archive =
      zip_source == nullptr ? nullptr : zip_open_from_source(zip_source, flags, &error);
  if (archive == nullptr && zip_source != nullptr) zip_source_free(zip_source);
  return archive;
}

[[noreturn]] void Unreadable(const std::string& why) {
  throw WorkbookError("The file is not a readable zip package: " + why);
}

// An archive over the file source, or WorkbookError with the zip library's words.
zip_t* OpenArchive(FileSource& source, int flags) {
  zip_error_t error;
  zip_error_init(&error);
  zip_t* archive = TryOpenArchive(source, flags, error);
  std::string description = zip_error_strerror(&error);
  zip_error_fini(&error);
  if (archive == nullptr) Unreadable(description);
  return archive;
}

// Record signatures and sizes of the zip format.
constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kZip64EndOfDirectory = 0x06064b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndOfDirectorySize = 22;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndOfDirectorySize = 56;
constexpr std::uint16_t kZip64Extra = 0x0001;
constexpr std::uint16_t kDataDescriptorFlag = 0x0008;
constexpr std::uint32_t kInZip64 = 0xFFFFFFFF;

// Bytes [at, at + count) of the file; shorter at its end.
std::string BytesAt(int fd, std::uint64_t at, size_t count) {
  std::string bytes(count, '\0');
  const ssize_t done = ReadAt(fd, at, bytes.data(), count);
  if (done < 0) throw platform::SystemError(platform::SystemErrorText(errno));
  bytes.resize(static_cast<size_t>(done));
  return bytes;
}

struct CentralEntry {
  std::string name;
  std::uint16_t method = 0;
  std::uint32_t modified = 0;  // time and date as the headers hold them
  std::uint32_t crc = 0;
  std::uint64_t packed_size = 0;
  std::uint64_t size = 0;
  std::uint64_t local_offset = 0;
};

// The central directory's place, found from its end record as the library finds it; the end
// record must close the file.
std::pair<std::uint64_t, std::uint64_t> FindCentralDirectory(int fd, std::uint64_t file_size) {
  const std::uint64_t tail_size = std::min<std::uint64_t>(file_size, kEndOfDirectorySize + 0xFFFF);
  const std::string tail = BytesAt(fd, file_size - tail_size, tail_size);
  for (size_t at = tail.size() >= kEndOfDirectorySize ? tail.size() - kEndOfDirectorySize + 1 : 0;
       at-- > 0;) {
    if (ReadU32(tail, at) != kEndOfDirectory ||
        at + kEndOfDirectorySize + ReadU16(tail, at + 20) != tail.size()) {
      continue;
    }
    const std::uint64_t end_at = file_size - tail_size + at;
    std::uint64_t size = ReadU32(tail, at + 12), offset = ReadU32(tail, at + 16);
    std::uint64_t directory_end = end_at;
    if (end_at >= kZip64LocatorSize) {
      const std::string locator = BytesAt(fd, end_at - kZip64LocatorSize, kZip64LocatorSize);
      if (ReadU32(locator, 0) == kZip64Locator) {
        // The zip64 end record, whose size it gives past its first 12 bytes, ends at its locator.
        directory_end = ReadU64(locator, 8);
        const std::uint64_t locator_at = end_at - kZip64LocatorSize;
        const std::string end64 = directory_end <= locator_at
                                      ? BytesAt(fd, directory_end, kZip64EndOfDirectorySize)
                                      : std::string();
        if (end64.size() < kZip64EndOfDirectorySize || ReadU32(end64, 0) != kZip64EndOfDirectory ||
            ReadU64(end64, 4) + 12 != locator_at - directory_end) {
          Unreadable("its zip64 end record is missing");
        }
        size = ReadU64(end64, 40);
        offset = ReadU64(end64, 48);
      }
    }
    if (offset > directory_end || directory_end - offset != size) {
      Unreadable("its central directory does not end where its end record begins");
    }
    return {offset, size};
  }
  Unreadable("it has no end record");
}

std::vector<CentralEntry> ReadCentralDirectory(int fd, std::uint64_t offset, std::uint64_t size) {
  const std::string directory = BytesAt(fd, offset, static_cast<size_t>(size));
  std::vector<CentralEntry> entries;
  for (size_t at = 0; at < directory.size();) {
    if (directory.size() - at < kCentralHeaderSize || ReadU32(directory, at) != kCentralHeader) {
      Unreadable("its central directory is damaged at byte " + std::to_string(offset + at));
    }
    const size_t name_size = ReadU16(directory, at + 28), extra_size = ReadU16(directory, at + 30);
    const size_t end =
        at + kCentralHeaderSize + name_size + extra_size + ReadU16(directory, at + 32);
    if (end > directory.size()) {
      Unreadable("its central directory is damaged at byte " + std::to_string(offset + at));
    }
    CentralEntry entry;
    entry.name = directory.substr(at + kCentralHeaderSize, name_size);
    entry.method = ReadU16(directory, at + 10);
    entry.modified = ReadU32(directory, at + 12);
    entry.crc = ReadU32(directory, at + 16);
    entry.packed_size = ReadU32(directory, at + 20);
    entry.size = ReadU32(directory, at + 24);
    entry.local_offset = ReadU32(directory, at + 42);
    // Fields too large for their place are in the zip64 extra field, in this order.
    std::string_view extra(directory.data() + at + kCentralHeaderSize + name_size, extra_size);
    for (size_t field = 0; field + 4 <= extra.size(); field += 4 + ReadU16(extra, field + 2)) {
      if (ReadU16(extra, field) != kZip64Extra) continue;
      size_t value = field + 4;
      const size_t value_end = std::min(extra.size(), value + ReadU16(extra, field + 2));
      for (std::uint64_t* wide : {&entry.size, &entry.packed_size, &entry.local_offset}) {
        if (*wide == kInZip64 && value + 8 <= value_end) {
          *wide = ReadU64(extra, value);
          value += 8;
        }
      }
    }
    entries.push_back(std::move(entry));
    at = end;
  }
  return entries;
}

// Streaming writers put an entry's sizes and checksum into a data descriptor after its data
// (flag bit 3); some leave other values in the local header, which the library's consistency
// check refuses. Such a package is checked here as zipfile and SheetJS read it, by the central
// directory, and as strictly otherwise: each local header names the same entry, method and time,
// holds the same sizes and checksum unless it announces a data descriptor, and its data ends
// before the central directory. Throws WorkbookError naming what is wrong.
void CheckStreamedPackage(int fd, std::uint64_t file_size) {
  const auto [directory_offset, directory_size] = FindCentralDirectory(fd, file_size);
  for (const CentralEntry& entry : ReadCentralDirectory(fd, directory_offset, directory_size)) {
    const std::string header =
        BytesAt(fd, entry.local_offset, kLocalHeaderSize + entry.name.size());
    const std::string where = "the local header at byte " + std::to_string(entry.local_offset);
    if (header.size() < kLocalHeaderSize + entry.name.size() ||
        ReadU32(header, 0) != kLocalHeader) {
      Unreadable(where + " is missing");
    }
    if (header.compare(kLocalHeaderSize, std::string::npos, entry.name) != 0 ||
        ReadU16(header, 26) != entry.name.size()) {
      Unreadable(where + " names another entry than " + entry.name);
    }
    const bool sizes_follow = (ReadU16(header, 6) & kDataDescriptorFlag) != 0;
    auto same = [](std::uint32_t local, std::uint64_t central) {
      return local == central || local == kInZip64;
    };
    if (ReadU16(header, 8) != entry.method || ReadU32(header, 10) != entry.modified ||
        (!sizes_follow &&
         (ReadU32(header, 14) != entry.crc || !same(ReadU32(header, 18), entry.packed_size) ||
          !same(ReadU32(header, 22), entry.size)))) {
      Unreadable("the local header of " + entry.name + " disagrees with the central directory");
    }
    const std::uint64_t data_end = entry.local_offset + kLocalHeaderSize + entry.name.size() +
                                   ReadU16(header, 28) + entry.packed_size;
    if (data_end > directory_offset) {
      Unreadable("the data of " + entry.name + " runs into the central directory");
    }
  }
}

// Inflates a deflated entry in one call from its packed bytes, which is about twice as fast as
// inflating it through the zip library in pieces. False, with content undefined, for anything
// but an intact deflated entry of exactly its declared size and checksum: the reading in pieces
// then says what is wrong in the zip library's words.
bool InflateWhole(zip_t* archive, std::uint64_t index, const zip_stat_t& stat,
                  platform::LargeText& content) {
  constexpr zip_uint64_t kNeeded =
      ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_CRC;
  if ((stat.valid & kNeeded) != kNeeded || stat.comp_method != ZIP_CM_DEFLATE ||
      stat.encryption_method != ZIP_EM_NONE || content.empty()) {
    return false;
  }
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(
      zip_fopen_index(archive, index, ZIP_FL_COMPRESSED), zip_fclose);
  if (!file) return false;
  platform::LargeText packed(stat.comp_size, '\0');
  char extra;
  if (zip_fread(file.get(), packed.data(), packed.size()) !=
          static_cast<zip_int64_t>(packed.size()) ||
      zip_fread(file.get(), &extra, 1) != 0) {
    return false;
  }
  std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> inflater(
      libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
  size_t inflated = 0;
  return inflater &&
         libdeflate_deflate_decompress(inflater.get(), packed.data(), packed.size(), content.data(),
                                       content.size(), &inflated) == LIBDEFLATE_SUCCESS &&
         inflated == content.size() &&
         libdeflate_crc32(0, content.data(), content.size()) == stat.crc;
}

// A replaced entry, deflated here and handed to the zip library as data already compressed,
// which the library then writes as it stands.
struct DeflatedEntry {
  std::unique_ptr<char[]> packed;
  size_t packed_size = 0;
  std::uint64_t size = 0;
  std::uint32_t crc = 0;
  time_t mtime = 0;
  std::uint64_t position = 0;
  zip_error_t error{};
};

zip_int64_t DeflatedCallback(void* state, void* data, zip_uint64_t length,
                             zip_source_cmd_t command) {
  DeflatedEntry& entry = *static_cast<DeflatedEntry*>(state);
  switch (command) {
    case ZIP_SOURCE_OPEN:
      entry.position = 0;
      return 0;
    case ZIP_SOURCE_READ: {
      const zip_uint64_t n = std::min<zip_uint64_t>(length, entry.packed_size - entry.position);
      std::copy_n(entry.packed.get() + entry.position, n, static_cast<char*>(data));
      entry.position += n;
      return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_CLOSE:
    case ZIP_SOURCE_FREE:
      return 0;
    case ZIP_SOURCE_STAT: {
      zip_stat_t* stat = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &entry.error);
      if (stat == nullptr) return -1;
      zip_stat_init(stat);
      stat->size = entry.size;
      stat->comp_size = entry.packed_size;
      stat->comp_method = ZIP_CM_DEFLATE;
      stat->encryption_method = ZIP_EM_NONE;
      stat->crc = entry.crc;
      stat->mtime = entry.mtime;
      stat->valid |= ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD |
                     ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_CRC | ZIP_STAT_MTIME;
      return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
      return zip_error_to_data(&entry.error, data, length);
    case ZIP_SOURCE_SUPPORTS:
      return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                            ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
      zip_error_set(&entry.error, ZIP_ER_OPNOTSUPP, 0);
      return -1;
  }
}

// The content deflated with libdeflate, with its checksum; false when memory is short.
bool Deflate(std::string_view content, int level, DeflatedEntry& entry) {
  std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> deflater(
      libdeflate_alloc_compressor(level), libdeflate_free_compressor);
  if (!deflater) return false;
  const size_t bound = libdeflate_deflate_compress_bound(deflater.get(), content.size());
  entry.packed.reset(new (std::nothrow) char[bound]);
  if (!entry.packed) return false;
  entry.packed_size = libdeflate_deflate_compress(deflater.get(), content.data(), content.size(),
                                                  entry.packed.get(), bound);
  entry.size = content.size();
  entry.crc = libdeflate_crc32(0, content.data(), content.size());
  entry.mtime = time(nullptr);
  return entry.packed_size != 0 || content.empty();
}

}  // namespace

size_t DeflatedSize(std::string_view content, int level) {
  DeflatedEntry entry;
  return Deflate(content, level, entry) ? entry.packed_size : 0;
}

ZipPackage::ZipPackage(const std::string& native_path) : path_(native_path) {
  fd_ = open(native_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw platform::SystemError(platform::SystemErrorText(errno));
  struct stat info;
  if (fstat(fd_, &info) != 0) {
    int error = errno;
    close(fd_);
    throw platform::SystemError(platform::SystemErrorText(error));
  }
  size_ = static_cast<std::uint64_t>(info.st_size);
  auto source = std::make_unique<FileSource>();
  source->fd = fd_;
  source->size = size_;
  source->mtime = info.st_mtime;
  zip_error_init(&source->error);
  try {
    zip_error_t error;
    zip_error_init(&error);
    archive_ = TryOpenArchive(*source, ZIP_RDONLY | ZIP_CHECKCONS, error);
    const int code = zip_error_code_zip(&error);
    std::string description = zip_error_strerror(&error);
    zip_error_fini(&error);
    if (archive_ == nullptr && code != ZIP_ER_INCONS) Unreadable(description);
    if (archive_ == nullptr) {
      // Local headers that disagree with the central directory: a streamed package, or damage.
      CheckStreamedPackage(fd_, size_);
      archive_ = OpenArchive(*source, ZIP_RDONLY);
    }
  } catch (...) {
    zip_error_fini(&source->error);
    close(fd_);
    throw;
  }
  reading_ = std::move(source);
}

ZipPackage::~ZipPackage() {
  zip_discard(archive_);
  zip_error_fini(&reading_->error);
  close(fd_);
}

bool ZipPackage::Find(std::string_view entry, std::string& found) const {
  std::string name(entry);
  zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
  if (index < 0) index = zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE);
  if (index < 0) return false;
  found = zip_get_name(archive_, static_cast<zip_uint64_t>(index), 0);
  return true;
}

bool ZipPackage::Has(std::string_view entry) const {
  std::string found;
  return Find(entry, found);
}

std::uint64_t ZipPackage::Locate(std::string_view entry, std::string& name,
                                 zip_stat_t& stat) const {
  if (!Find(entry, name)) {
    throw WorkbookError("The package holds no part " + std::string(entry));
  }
  zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
  if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
      (stat.valid & ZIP_STAT_SIZE) == 0) {
    throw WorkbookError("The part " + name + " cannot be read: " + zip_strerror(archive_));
  }
  return static_cast<std::uint64_t>(index);
}

std::uint64_t ZipPackage::InflatedSize(std::string_view entry) const {
  std::string name;
  zip_stat_t stat;
  Locate(entry, name, stat);
  return stat.size;
}

platform::LargeText ZipPackage::Read(std::string_view entry) const {
  std::string name;
  zip_stat_t stat;
  const std::uint64_t index = Locate(entry, name, stat);
  if (stat.size > kMaxEntrySize) {
    throw WorkbookError("The part " + name + " declares " + std::to_string(stat.size) +
                        " bytes, more than a workbook part may hold");
  }
  if (stat.size > kSmallPart && (stat.valid & ZIP_STAT_COMP_SIZE) != 0 &&
      stat.size / kMaxInflation > stat.comp_size) {
    throw WorkbookError("The part " + name + " would inflate " +
                        std::to_string(stat.size / std::max<std::uint64_t>(stat.comp_size, 1)) +
                        " times, from " + std::to_string(stat.comp_size) + " to " +
                        std::to_string(stat.size) + " bytes; a workbook part inflates at most " +
                        std::to_string(kMaxInflation) + " times");
  }
  CheckFitsInMemory(stat.size, 1, "The part " + name);
  platform::LargeText content(stat.size, '\0');
  if (InflateWhole(archive_, index, stat, content)) return content;
  std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(archive_, index, 0),
                                                         zip_fclose);
  if (!file) throw WorkbookError("The part " + name + " cannot be read: " + zip_strerror(archive_));
  std::uint64_t done = 0;
  for (;;) {
    // One byte more than declared: a part that inflates beyond its size is damaged, and the
    // extra read also makes the library check the part's checksum.
    char extra;
    char* into = done < content.size() ? content.data() + done : &extra;
    std::uint64_t wanted = done < content.size() ? content.size() - done : 1;
    zip_int64_t n = zip_fread(file.get(), into, wanted);
    if (n < 0) {
      throw WorkbookError("The part " + name + " is damaged: " + zip_file_strerror(file.get()));
    }
    if (n == 0) break;
    if (done == content.size()) {
      throw WorkbookError("The part " + name + " inflates to more than the " +
                          std::to_string(stat.size) + " bytes it declares");
    }
    done += static_cast<std::uint64_t>(n);
  }
  if (done != content.size()) {
    throw WorkbookError("The part " + name + " is damaged: it inflates to " + std::to_string(done) +
                        " of the " + std::to_string(stat.size) + " bytes it declares");
  }
  return content;
}

void ZipPackage::Save(const std::map<std::string, std::string_view>& replaced,
                      const std::set<std::string>& removed) {
  platform::FileReplacement replacement(path_);
  FileSource source;
  source.fd = fd_;
  source.size = size_;
  source.mtime = reading_->mtime;
  source.output = &replacement;
  zip_error_init(&source.error);
  std::unique_ptr<zip_error_t, void (*)(zip_error_t*)> error_guard(&source.error, zip_error_fini);
  // Outlive the archive, whose sources read them until it is closed.
  std::vector<std::unique_ptr<DeflatedEntry>> deflated_entries;
  struct ErrorsFreed {
    std::vector<std::unique_ptr<DeflatedEntry>>& entries;
    ~ErrorsFreed() {
      for (auto& entry : entries) zip_error_fini(&entry->error);
    }
  } errors_freed{deflated_entries};
  std::unique_ptr<zip_t, void (*)(zip_t*)> archive(OpenArchive(source, 0), zip_discard);
  auto fail = [&](const std::string& what) {
    throw WorkbookError(what + ": " + zip_strerror(archive.get()));
  };
  for (const std::string& entry : removed) {
    std::string name;
    if (!Find(entry, name)) continue;
    zip_int64_t index = zip_name_locate(archive.get(), name.c_str(), 0);
    if (index >= 0 && zip_delete(archive.get(), static_cast<zip_uint64_t>(index)) != 0) {
      fail("The part " + name + " cannot be removed");
    }
  }
  for (const auto& [entry, content] : replaced) {
    std::string name = entry;
    if (Find(entry, name)) {
      // Removed and added anew rather than replaced: the new entry takes its method and sizes
      // from the deflated data, whatever the old one had.
      zip_int64_t index = zip_name_locate(archive.get(), name.c_str(), 0);
      if (index >= 0 && zip_delete(archive.get(), static_cast<zip_uint64_t>(index)) != 0) {
        fail("The part " + name + " cannot be replaced");
      }
    }
    DeflatedEntry& deflated = *deflated_entries.emplace_back(std::make_unique<DeflatedEntry>());
    zip_error_init(&deflated.error);
    if (!Deflate(content, kCompressionLevel, deflated)) {
      throw WorkbookError("The part " + name + " cannot be compressed: not enough memory");
    }
    zip_source_t* data = zip_source_function(archive.get(), DeflatedCallback, &deflated);
    if (data == nullptr) fail("The part " + name + " cannot be written");
    if (zip_file_add(archive.get(), name.c_str(), data, ZIP_FL_ENC_UTF_8) < 0) {
      zip_source_free(data);
      fail("The part " + name + " cannot be written");
    }
  }
  if (zip_close(archive.get()) != 0) {
    std::string description =
        source.failure.empty() ? std::string(zip_strerror(archive.get())) : source.failure;
    throw WorkbookError("The workbook cannot be saved: " + description);
  }
  archive.release();
}

}  // namespace tarvex::workbook::openxml
