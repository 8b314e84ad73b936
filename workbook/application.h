// The stand-in for the workbook application's object model: the members that reading and
// writing workbook ranges call, with the same names and order of use. Each object releases what
// it holds in its destructor; nothing is ever shown or asked.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "workbook/format/workbook_file.h"
#include "workbook/range.h"

namespace tarvex::workbook {

class Worksheet {
 public:
  Worksheet(std::weak_ptr<WorkbookFile> file, size_t sheet)
      : file_(std::move(file)), sheet_(sheet) {}

  // "B2", "B2:D4", "$B$2:$D$4", any letter case. Throws WorkbookError for anything else and for
  // an address beyond the sheet's limits.
  workbook::Range Range(std::string_view address) const;

 private:
  std::weak_ptr<WorkbookFile> file_;
  size_t sheet_;
};

class Workbook {
 public:
  explicit Workbook(std::unique_ptr<WorkbookFile> file) : file_(std::move(file)) {}

  // The worksheet of that name, compared without regard to letter case (command lines arrive
  // lower-cased). Throws WorkbookError when there is none.
  Worksheet WorkSheets(std::string_view name) const;

  // An address that names no sheet: first a workbook-level defined name of that text, which
  // brings its own sheet; otherwise a cell address on the active sheet.
  workbook::Range Range(std::string_view address) const;

  // Writes the workbook back to its file, everything unchanged kept as it was.
  void Save();

  // Closes the workbook without saving; its ranges fail from then on.
  void Close() { file_.reset(); }

 private:
  std::shared_ptr<WorkbookFile> Open() const;

  std::shared_ptr<WorkbookFile> file_;
};

// The application's collection of workbooks.
class WorkbookCollection {
 public:
  // The workbook at native_path, its format chosen by content; none when no file is there.
  // Throws WorkbookError (or platform::SystemError) when the file is no readable workbook.
  std::unique_ptr<Workbook> Open(const std::string& native_path);
};

class Application {
 public:
  WorkbookCollection& Workbooks() { return workbooks_; }

  // Accepted and kept, with no effect: nothing here ever asks the user anything.
  bool DisplayAlerts() const { return display_alerts_; }
  void SetDisplayAlerts(bool display) { display_alerts_ = display; }

 private:
  WorkbookCollection workbooks_;
  bool display_alerts_ = true;
};

}  // namespace tarvex::workbook
