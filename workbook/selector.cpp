// The split of a selector at its first "!" and the lookup of the range it names.
#include "workbook/selector.h"

namespace tarvex::workbook {

workbook::Range SelectRange(const Workbook& book, std::string_view selector) {
  // The sheet name ends at the first "!"; neither part is trimmed or unquoted.
  const size_t bang = selector.find('!');
  if (bang == std::string_view::npos || bang == 0) return book.Range(selector);
  return book.WorkSheets(selector.substr(0, bang)).Range(selector.substr(bang + 1));
}

}  // namespace tarvex::workbook
