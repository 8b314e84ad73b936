// The BIFF8 workbook behind the object model: its Workbook stream read whole, edited in memory,
// and saved into a copy of its compound document.
#include "workbook/biff/workbook.h"

#include <algorithm>

#include "platform/file_replacement.h"
#include "platform/files.h"
#include "platform/index_errors.h"
#include "platform/text.h"
#include "workbook/biff/edit.h"
#include "workbook/biff/globals.h"
#include "workbook/biff/sheet.h"
#include "workbook/compound/compound_file.h"
#include "workbook/compound/utf16_text.h"
#include "workbook/format/address.h"

namespace tarvex::workbook::biff {

namespace {

// The container reports its faults as its own; to the workbook's readers they are the workbook's.
template <typename Step>
auto FromDocument(Step&& step) {
  try {
    return step();
  } catch (const compound::CompoundError& error) {
    throw WorkbookError(error.what());
  }
}

class BiffWorkbook : public WorkbookFile {
 public:
  explicit BiffWorkbook(const std::string& native_path)
      : path_(native_path),
        document_(FromDocument([&] { return compound::CompoundFile(native_path); })) {
    std::optional<std::string> name = document_.FindStream("Workbook");
    if (!name) {
      if (document_.FindStream("Book")) biff::RefuseOlderFormat();
      throw WorkbookError("The compound document holds no Workbook stream: it is not a workbook");
    }
    stream_name_ = *name;
    stream_ = FromDocument([&] { return document_.ReadStream(stream_name_); });
    globals_ = biff::ReadGlobals(stream_);
    for (size_t tab = 0; tab < globals_.sheets.size(); ++tab) {
      if (globals_.sheets[tab].IsWorksheet()) worksheet_tabs_.push_back(tab);
    }
  }

  std::int64_t RowLimit() const override { return biff::kRowLimit; }
  std::int64_t ColumnLimit() const override { return biff::kColumnLimit; }

  std::vector<std::string> SheetNames() const override {
    std::vector<std::string> names;
    for (size_t tab : worksheet_tabs_) names.push_back(globals_.sheets[tab].name);
    return names;
  }

  size_t ActiveSheet() const override { return SheetOfTab(globals_.active_tab).value_or(0); }

  std::optional<DefinedArea> FindDefinedName(std::string_view name) const override {
    for (const biff::NamedArea& named : globals_.names) {
      if (!platform::EqualIgnoringAsciiCase(named.name, name)) continue;
      std::optional<size_t> sheet = SheetOfTab(named.tab);
      if (!sheet) return std::nullopt;
      return DefinedArea{*sheet, named.area};
    }
    return std::nullopt;
  }

  std::vector<CellValue> ReadCells(size_t sheet, const CellArea& area) override {
    // The caller checks areas; one that slipped through must not size a vector.
    if (area.first_row < 0 || area.first_column < 0 || area.first_row > area.last_row ||
        area.first_column > area.last_column || area.last_row >= biff::kRowLimit ||
        area.last_column >= biff::kColumnLimit) {
      throw WorkbookError(std::string("The range lies outside ") + biff::kLimitsText);
    }
    return biff::ReadSheetCells(stream_, globals_, Worksheet(sheet).offset, area);
  }

  void WriteNumbers(size_t sheet, std::span<const CellWrite> cells) override {
    size_t tab = worksheet_tabs_.at(CheckSheet(sheet));
    std::vector<biff::Target> targets;
    targets.reserve(cells.size());
    // The targets point into texts, which therefore never grows beyond its first reservation.
    std::vector<std::u16string> texts;
    texts.reserve(static_cast<size_t>(std::count_if(
        cells.begin(), cells.end(), [](const CellWrite& cell) { return cell.text != nullptr; })));
    for (const CellWrite& cell : cells) {
      if (cell.row < 0 || cell.row >= biff::kRowLimit || cell.column < 0 ||
          cell.column >= biff::kColumnLimit) {
        throw WorkbookError(std::string("A cell lies outside ") + biff::kLimitsText);
      }
      const std::u16string* text = nullptr;
      if (cell.text != nullptr) {
        texts.push_back(compound::Utf16Of(*cell.text));
        if (texts.back().size() > biff::kMostLabelCharacters) {
          throw WorkbookError("The text for cell " + CellName(cell.row, cell.column) + " has " +
                              std::to_string(texts.back().size()) +
                              " characters; a cell of an .xls workbook is written with at most " +
                              std::to_string(biff::kMostLabelCharacters));
        }
        text = &texts.back();
      }
      targets.push_back({static_cast<std::uint16_t>(cell.row),
                         static_cast<std::uint16_t>(cell.column), cell.value, text});
    }
    biff::EditedStream edited =
        biff::WriteNumbersToStream(stream_, globals_, tab, std::move(targets));
    stream_ = std::move(edited.stream);
    for (size_t i = 0; i < globals_.sheets.size(); ++i) {
      globals_.sheets[i].offset = edited.sheet_offsets[i];
    }
  }

  void Save() override {
    std::string document =
        FromDocument([&] { return document_.WithStream(stream_name_, stream_); });
    try {
      platform::FileReplacement replacement(path_);
      replacement.Write(document);
      replacement.Commit();
    } catch (const platform::SystemError& error) {
      throw WorkbookError(error.what());
    }
  }

 private:
  size_t CheckSheet(size_t sheet) const {
    if (sheet >= worksheet_tabs_.size()) throw WorkbookError(platform::kSubscriptOutOfRange);
    return sheet;
  }

  const biff::SheetEntry& Worksheet(size_t sheet) const {
    return globals_.sheets[worksheet_tabs_[CheckSheet(sheet)]];
  }

  std::optional<size_t> SheetOfTab(size_t tab) const {
    for (size_t i = 0; i < worksheet_tabs_.size(); ++i) {
      if (worksheet_tabs_[i] == tab) return i;
    }
    return std::nullopt;
  }

  std::string path_;
  compound::CompoundFile document_;
  std::string stream_name_;
  std::string stream_;
  biff::Globals globals_;
  std::vector<size_t> worksheet_tabs_;
};

}  // namespace

std::unique_ptr<WorkbookFile> OpenWorkbook(const std::string& native_path) {
  return std::make_unique<BiffWorkbook>(native_path);
}

}  // namespace tarvex::workbook::biff
