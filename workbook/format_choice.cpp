// The format of a workbook file told by its first bytes, never by its name.
#include "workbook/format_choice.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/files.h"
#include "workbook/biff/workbook.h"
#include "workbook/openxml/workbook.h"

namespace tarvex::workbook {

namespace {

constexpr std::array<unsigned char, 4> kZipSignature = {0x50, 0x4B, 0x03, 0x04};
constexpr std::array<unsigned char, 8> kCompoundSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                             0xA1, 0xB1, 0x1A, 0xE1};

}  // namespace

std::unique_ptr<WorkbookFile> OpenWorkbookFile(const std::string& native_path) {
  struct stat info;
  const bool found = stat(native_path.c_str(), &info) == 0;
  if (!found && errno == ENOENT) return nullptr;
  if (found && S_ISDIR(info.st_mode)) throw WorkbookError(platform::SystemErrorText(EISDIR));
  int fd = open(native_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) throw WorkbookError(platform::SystemErrorText(errno));
  std::array<unsigned char, 8> head{};
  ssize_t got = read(fd, head.data(), head.size());
  close(fd);
  if (got == static_cast<ssize_t>(head.size()) &&
      std::equal(kCompoundSignature.begin(), kCompoundSignature.end(), head.begin())) {
    return biff::OpenWorkbook(native_path);
  }
  if (got >= static_cast<ssize_t>(kZipSignature.size()) &&
      std::equal(kZipSignature.begin(), kZipSignature.end(), head.begin())) {
    return openxml::OpenWorkbook(native_path);
  }
  throw WorkbookError(
      "The file is neither a zip package nor a compound document, so it is not "
      "a workbook");
}

}  // namespace tarvex::workbook
