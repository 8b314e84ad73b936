// Small edits of the workbook-wide parts when a sheet was written: recalculation on the next
// open, and the calculation chain taken out once a formula was overwritten. Each edit splices
// text, so the rest of the part stays as it was.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::workbook::openxml {

// The workbook part with fullCalcOnLoad="1" on its calcPr element, which is added where missing.
std::string WithFullCalcOnLoad(std::string_view workbook_xml, std::string_view part);

// The part without its top-level child elements of that local name whose attribute has that
// value (compared without regard to ASCII case, as part names are).
std::string WithoutElements(std::string_view xml, std::string_view part,
                            std::string_view local_name, std::string_view attribute,
                            std::string_view value);

}  // namespace tarvex::workbook::openxml
