// The Office Open XML workbook behind the object model: its package, book parts and sheets.
#include "workbook/openxml/workbook.h"

#include <map>
#include <optional>
#include <set>

#include "platform/memory.h"
#include "platform/text.h"
#include "workbook/format/address.h"
#include "workbook/format/memory_check.h"
#include "workbook/openxml/book.h"
#include "workbook/openxml/edits.h"
#include "workbook/openxml/parts.h"
#include "workbook/openxml/sheet.h"
#include "workbook/openxml/sheet_table.h"
#include "workbook/openxml/zip_package.h"

namespace tarvex::workbook::openxml {

namespace {

constexpr SheetLimits kLimits{1048576, 16384};
constexpr std::string_view kContentTypesPart = "[Content_Types].xml";

class OpenXmlWorkbook final : public WorkbookFile {
 public:
  explicit OpenXmlWorkbook(const std::string& native_path)
      : package_(native_path), book_(ReadBookParts(package_)) {
    if (!book_.styles_part.empty()) {
      date_styles_ = ReadDateStyles(package_.Read(book_.styles_part), book_.styles_part);
    }
  }

  std::int64_t RowLimit() const override { return kLimits.rows; }
  std::int64_t ColumnLimit() const override { return kLimits.columns; }

  std::vector<std::string> SheetNames() const override {
    std::vector<std::string> names;
    for (const BookSheet& sheet : book_.sheets) names.push_back(sheet.name);
    return names;
  }

  size_t ActiveSheet() const override { return book_.active; }

  std::optional<DefinedArea> FindDefinedName(std::string_view name) const override {
    for (const BookName& defined : book_.names) {
      if (!platform::EqualIgnoringAsciiCase(defined.name, name)) continue;
      std::optional<SheetReference> reference = SplitSheetReference(defined.reference);
      if (!reference) return std::nullopt;
      std::optional<CellArea> area = TryParseArea(reference->address, kLimits);
      if (!area) return std::nullopt;
      for (size_t sheet = 0; sheet < book_.sheets.size(); ++sheet) {
        if (platform::EqualIgnoringAsciiCase(book_.sheets[sheet].name, reference->sheet)) {
          return DefinedArea{sheet, *area};
        }
      }
      return std::nullopt;
    }
    return std::nullopt;
  }

  std::vector<CellValue> ReadCells(size_t sheet, const CellArea& area) override {
    const std::string& part = book_.sheets.at(sheet).part;
    CellContext context;
    context.date_styles = &date_styles_;
    context.shared_string = [this, &part](std::uint64_t index) -> const std::string& {
      return SharedString(index, part);
    };
    auto changed = changed_.find(part);
    if (changed != changed_.end()) {
      return ReadSheetCells(changed->second, part, kLimits, area, context);
    }
    if (const SheetTable* table = KeptTable(part)) return table->Read(area, context);
    return ReadSheetCells(package_.Read(part), part, kLimits, area, context);
  }

  void WriteNumbers(size_t sheet, std::span<const CellWrite> cells) override {
    const BookSheet& target = book_.sheets.at(sheet);
    auto changed = changed_.find(target.part);
    auto inflated = inflated_.find(target.part);
    // The part as it stands and its edited copy are held at once: a write that cannot have both
    // fails before it reads anything.
    const std::uint64_t part_size = changed != changed_.end() ? changed->second.size()
                                    : inflated != inflated_.end()
                                        ? inflated->second.size()
                                        : package_.InflatedSize(target.part);
    CheckFitsInMemory(2 * part_size + cells.size() * kBytesPerNewCell, 1,
                      "Writing into the part " + target.part);
    SheetEdit edit =
        changed != changed_.end()
            ? WriteSheetNumbers(changed->second, target.part, target.name, kLimits, cells)
        : inflated != inflated_.end()
            ? WriteSheetNumbers(inflated->second, target.part, target.name, kLimits, cells)
            : WriteSheetNumbers(package_.Read(target.part), target.part, target.name, kLimits,
                                cells);
    changed_[target.part] = std::move(edit.xml);
    // The edited text stands for the part from now on.
    tables_.erase(target.part);
    inflated_.erase(target.part);
    formula_replaced_ |= edit.formula_replaced;
  }

  void Save() override {
    if (changed_.empty()) return;  // nothing differs from the file
    std::map<std::string, std::string_view> replaced(changed_.begin(), changed_.end());
    std::set<std::string> removed;
    // Other formulas may use the new values: the workbook recalculates when it is next opened.
    const platform::LargeText workbook_text = package_.Read(book_.workbook_part);
    std::string workbook_xml = WithFullCalcOnLoad(workbook_text, book_.workbook_part);
    // A part that asks for it already is left as it stands, compressed bytes and all.
    if (workbook_xml != std::string_view(workbook_text)) {
      replaced[book_.workbook_part] = workbook_xml;
    }
    std::string relationships_xml, content_types_xml;
    if (formula_replaced_ && !book_.calc_chain_part.empty()) {
      // The calculation chain lists formula cells; one that lost its formula would make the
      // application repair the file on open, so the chain goes and is rebuilt there.
      removed.insert(book_.calc_chain_part);
      const std::string relationships_part = RelationshipsPartOf(book_.workbook_part);
      relationships_xml = WithoutElements(package_.Read(relationships_part), relationships_part,
                                          "Relationship", "Id", book_.calc_chain_id);
      replaced[relationships_part] = relationships_xml;
      if (package_.Has(kContentTypesPart)) {
        content_types_xml = WithoutElements(package_.Read(kContentTypesPart), kContentTypesPart,
                                            "Override", "PartName", "/" + book_.calc_chain_part);
        replaced[std::string(kContentTypesPart)] = content_types_xml;
      }
    }
    package_.Save(replaced, removed);
  }

 private:
  // The part's cells, scanned at its first read; its text is kept for a write into it, so that
  // the run reads it once. None when the text and a table as large as it can get would not fit
  // into memory beside each other: the part is then read for each range alone, as it always was.
  const SheetTable* KeptTable(const std::string& part) {
    auto table = tables_.find(part);
    if (table != tables_.end()) return &table->second;
    auto text = inflated_.find(part);
    if (text == inflated_.end()) {
      const std::uint64_t size = package_.InflatedSize(part);
      if (size + SheetTable::MaxBytesFor(size) > platform::MemoryTheProcessCanGet()) {
        return nullptr;
      }
      text = inflated_.emplace(part, package_.Read(part)).first;
    }
    return &tables_.try_emplace(part, text->second, part, kLimits, &date_styles_).first->second;
  }

  const std::string& SharedString(std::uint64_t index, const std::string& part) {
    if (!shared_strings_) {
      shared_strings_.emplace();
      if (!book_.shared_strings_part.empty()) {
        *shared_strings_ =
            ReadSharedStrings(package_.Read(book_.shared_strings_part), book_.shared_strings_part);
      }
    }
    if (index >= shared_strings_->size()) {
      throw WorkbookError("A cell of " + part + " refers to shared string " +
                          std::to_string(index) + ", but the workbook has " +
                          std::to_string(shared_strings_->size()) + " shared strings");
    }
    return (*shared_strings_)[index];
  }

  ZipPackage package_;
  BookParts book_;
  std::vector<bool> date_styles_;
  std::optional<std::vector<std::string>> shared_strings_;
  std::map<std::string, platform::LargeText> inflated_;  // sheet part -> its text as read
  std::map<std::string, SheetTable> tables_;             // sheet part -> its cells as read
  std::map<std::string, platform::LargeText> changed_;   // sheet part -> its new text
  bool formula_replaced_ = false;
};

}  // namespace

std::unique_ptr<WorkbookFile> OpenWorkbook(const std::string& native_path) {
  return std::make_unique<OpenXmlWorkbook>(native_path);
}

}  // namespace tarvex::workbook::openxml
