// The stand-in for the workbook application's object model: the members that reading and
// writing workbook ranges call, with the same names and order of use. Each object releases what
// it holds in its destructor; nothing is ever shown or asked.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/paths.h"
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

class WorkbookCollection;

class Workbook {
 public:
  Workbook(std::shared_ptr<WorkbookFile> file, WorkbookCollection* collection)
      : file_(std::move(file)), collection_(collection) {}

  // The worksheet of that name, compared without regard to letter case (command lines arrive
  // lower-cased). Throws WorkbookError when there is none.
  Worksheet WorkSheets(std::string_view name) const;

  // An address that names no sheet: first a workbook-level defined name of that text, which
  // brings its own sheet; otherwise a cell address on the active sheet.
  workbook::Range Range(std::string_view address) const;

  // Writes the workbook back to its file, everything unchanged kept as it was.
  void Save();

  // Closes the workbook without saving, for every holder: its ranges fail from then on, and the
  // application opens the file anew when asked for it again.
  void Close();

 private:
  std::shared_ptr<WorkbookFile> Open() const;

  std::shared_ptr<WorkbookFile> file_;
  WorkbookCollection* collection_;
};

// The application's collection of workbooks. A workbook stays open in it until it is closed or
// the application ends, and opening an open workbook returns it: a file that several data sets
// and the output name is read once.
class WorkbookCollection {
 public:
  // The workbook at native_path, its format chosen by content; none when no file is there.
  // Throws WorkbookError (or platform::SystemError) when the file is no readable workbook. The
  // open workbook of that path or file is returned while the file stands as it was when it was
  // opened; a file that was written or replaced since (by another run or program) is read anew.
  std::unique_ptr<Workbook> Open(const std::string& native_path);

  // Forgets the file: the next Open of it reads it anew.
  void Release(const WorkbookFile* file);

  // How many workbooks are open.
  size_t Count() const { return open_.size(); }

 private:
  struct OpenFile {
    std::string path;  // as it was opened
    platform::FileState state;
    std::shared_ptr<WorkbookFile> file;
  };
  std::vector<OpenFile> open_;
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

// The application that the stages of one run share, so that its workbooks are opened once.
// While a RunApplication lives, Shared() returns its application; without one (a stage called
// on its own) each caller gets an application of its own, released when it is done.
class RunApplication {
 public:
  RunApplication();
  ~RunApplication();
  RunApplication(const RunApplication&) = delete;
  RunApplication& operator=(const RunApplication&) = delete;

  // The run's application, or own when no run holds one (own is then emplaced).
  static Application& Shared(std::optional<Application>& own);

 private:
  Application application_;
  RunApplication* previous_;
};

}  // namespace tarvex::workbook
