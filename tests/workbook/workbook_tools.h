// Independent tools that workbook tests make fixtures with and check results against: openpyxl
// and xlsxwriter through Debian's python, the npm package xlsx (SheetJS) through node.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/test_support.h"

namespace tarvex::testing {

using Json = nlohmann::json;

// Runs Debian's python with the script and arguments and returns what it printed; throws, with
// what it said on standard error, when it fails.
std::string RunPython(const std::string& script, const std::vector<std::string>& arguments = {});

// Writes a zip package with python's zipfile, one deflated entry per part, in the given order.
void MakePackage(const fs::path& path,
                 const std::vector<std::pair<std::string, std::string>>& parts);

// The cells of a sheet as openpyxl sees them (keep_vba=True), by address ("B2"): kind (number,
// text, bool, date, formula, empty), value, and number format.
Json OpenpyxlCells(const fs::path& workbook, const std::string& sheet);

// The cells of a sheet as SheetJS sees them, by address: t (type), v (value), f (formula).
Json SheetJsCells(const fs::path& workbook, const std::string& sheet);
// False when node or the xlsx package is missing (scripts/test installs both).
bool HasSheetJs();

// The entries of two zip packages compared byte for byte by python's zipfile: "changed",
// "added" and "removed" entry names.
Json ZipDifferences(const fs::path& before, const fs::path& after);

}  // namespace tarvex::testing
