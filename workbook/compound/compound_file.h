// The streams of a compound document, read and written through libgsf: one stream read whole,
// and the whole document written again with one stream's content replaced.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "workbook/compound/compound_error.h"

namespace tarvex::workbook::compound {

class CompoundFile {
 public:
  // Maps the file, checks the document's structure and opens it. Throws CompoundError.
  explicit CompoundFile(const std::string& native_path);
  ~CompoundFile();
  CompoundFile(const CompoundFile&) = delete;
  CompoundFile& operator=(const CompoundFile&) = delete;

  // The name of the top-level stream whose name equals name without regard to ASCII case.
  std::optional<std::string> FindStream(std::string_view name) const;
  // The whole content of a top-level stream named as FindStream gave it. Throws CompoundError.
  std::string ReadStream(const std::string& name) const;
  // The bytes of a document with the same storages, streams and class ids, the named top-level
  // stream holding content and every other stream copied unchanged. Throws CompoundError.
  std::string WithStream(const std::string& name, std::string_view content) const;

 private:
  struct Library;
  std::unique_ptr<platform::FileText> file_;
  std::unique_ptr<Library> library_;
};

}  // namespace tarvex::workbook::compound
