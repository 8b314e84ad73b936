#include "job/file_kind.h"

#include <string>

#include "platform/text.h"

namespace tarvex::job {

std::optional<FileFormat> FormatOfPath(std::string_view path) {
  std::optional<std::string> extension = platform::LowerCaseExtension(path);
  if (!extension) return std::nullopt;
  const std::string& lowered = *extension;
  if (lowered == "txt" || lowered == "asc") return FileFormat{FileKind::kText, '\t'};
  if (lowered == "csv") return FileFormat{FileKind::kText, ','};
  if (lowered == "xls" || lowered == "xlsm" || lowered == "xlsx") {
    return FileFormat{FileKind::kWorkbook, 0};
  }
  if (lowered == "mdb") return FileFormat{FileKind::kDatabase, 0};
  return FileFormat{FileKind::kText, ','};
}

}  // namespace tarvex::job
