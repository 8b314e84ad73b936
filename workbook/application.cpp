// The application, its workbook collection, workbooks and worksheets over one WorkbookFile each.
#include "workbook/application.h"

#include <vector>

#include "platform/text.h"
#include "workbook/format/address.h"
#include "workbook/format_choice.h"

namespace tarvex::workbook {

namespace {

SheetLimits LimitsOf(const WorkbookFile& file) { return {file.RowLimit(), file.ColumnLimit()}; }

}  // namespace

workbook::Range Worksheet::Range(std::string_view address) const {
  std::shared_ptr<WorkbookFile> file = file_.lock();
  if (!file) throw WorkbookError("The workbook of the sheet is closed");
  return workbook::Range(file_, sheet_, ParseArea(address, LimitsOf(*file)));
}

std::shared_ptr<WorkbookFile> Workbook::Open() const {
  if (!file_) throw WorkbookError("The workbook is closed");
  return file_;
}

Worksheet Workbook::WorkSheets(std::string_view name) const {
  std::shared_ptr<WorkbookFile> file = Open();
  std::vector<std::string> names = file->SheetNames();
  for (size_t sheet = 0; sheet < names.size(); ++sheet) {
    if (platform::EqualIgnoringAsciiCase(names[sheet], name)) return Worksheet(file_, sheet);
  }
  throw WorkbookError("The workbook has no sheet named '" + std::string(name) + "'");
}

workbook::Range Workbook::Range(std::string_view address) const {
  std::shared_ptr<WorkbookFile> file = Open();
  if (std::optional<DefinedArea> name = file->FindDefinedName(address)) {
    return workbook::Range(file_, name->sheet, name->area);
  }
  const SheetLimits limits = LimitsOf(*file);
  if (!TryParseArea(address, SheetLimits{INT64_MAX, INT64_MAX})) {
    throw WorkbookError("'" + std::string(address) +
                        "' is neither a name defined in the workbook nor a cell address");
  }
  return workbook::Range(file_, file->ActiveSheet(), ParseArea(address, limits));
}

void Workbook::Save() { Open()->Save(); }

void Workbook::Close() {
  if (file_ && collection_ != nullptr) collection_->Release(file_.get());
  file_.reset();
}

std::unique_ptr<Workbook> WorkbookCollection::Open(const std::string& native_path) {
  // Taken before the file is read: a write that comes while it is read makes it differ later.
  const std::optional<platform::FileState> state = platform::StateOf(native_path);
  if (state) {
    for (auto kept = open_.begin(); kept != open_.end(); ++kept) {
      if (kept->path != native_path && kept->state.identity != state->identity) continue;
      if (kept->state == *state) return std::make_unique<Workbook>(kept->file, this);
      open_.erase(kept);  // written since it was read: what it held is stale
      break;
    }
  }
  std::shared_ptr<WorkbookFile> file = OpenWorkbookFile(native_path);
  if (!file) return nullptr;
  if (state) open_.push_back({native_path, *state, file});
  return std::make_unique<Workbook>(std::move(file), this);
}

void WorkbookCollection::Release(const WorkbookFile* file) {
  std::erase_if(open_, [file](const OpenFile& kept) { return kept.file.get() == file; });
}

namespace {

RunApplication* running = nullptr;  // one run at a time, on one thread

}  // namespace

RunApplication::RunApplication() : previous_(running) { running = this; }

RunApplication::~RunApplication() { running = previous_; }

Application& RunApplication::Shared(std::optional<Application>& own) {
  if (running != nullptr) return running->application_;
  return own.emplace();
}

}  // namespace tarvex::workbook
