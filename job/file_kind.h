// Which reader or writer a file path calls for: the one extension rule of loading and output.
#pragma once

#include <optional>
#include <string_view>

namespace tarvex::job {

enum class FileKind { kText, kWorkbook, kDatabase };

struct FileFormat {
  FileKind kind;
  char delimiter;  // the field delimiter of a text file; 0 for the others
};

// The format that the path's extension names: "txt" and "asc" TAB-separated text, "csv" and any
// other extension comma-separated text, "xls", "xlsm" and "xlsx" a workbook (a .xlsx file is the
// macro-free workbook that most users have, so it is no text file), "mdb" a database. None when
// the path has no "." (the loader then fails without a word, the output writes comma-separated
// text). The extension is the text after the last ".", trimmed and lower-cased, so a "." in a
// folder name makes the rest of the path the extension, which users' paths may rely on.
std::optional<FileFormat> FormatOfPath(std::string_view path);

}  // namespace tarvex::job
