#include "tests/workbook/workbook_tools.h"

#include <stdexcept>

namespace tarvex::testing {

namespace {

const char* const kMakePackage = R"PY(
import os, sys, zipfile
folder, target = sys.argv[1], sys.argv[2]
with open(os.path.join(folder, "order")) as f:
    names = f.read().split("\n")
with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as package:
    for i, name in enumerate(names):
        with open(os.path.join(folder, str(i)), "rb") as part:
            package.writestr(name, part.read())
)PY";

const char* const kOpenpyxlCells = R"PY(
import datetime, json, sys, openpyxl
book = openpyxl.load_workbook(sys.argv[1], keep_vba=True)
cells = {}
for row in book[sys.argv[2]].iter_rows():
    for cell in row:
        value = cell.value
        if isinstance(value, bool):
            kind = "bool"
        elif isinstance(value, (int, float)):
            kind, value = "number", float(value)
        elif isinstance(value, (datetime.datetime, datetime.date, datetime.time, datetime.timedelta)):
            kind, value = "date", str(value)
        elif value is None:
            kind = "empty"
        elif hasattr(value, "text"):
            kind, value = "formula", value.text
        elif str(value).startswith("="):
            kind = "formula"
        else:
            kind = "text"
        cells[cell.coordinate] = {"kind": kind, "value": value, "format": cell.number_format}
print(json.dumps(cells))
)PY";

const char* const kSheetJsCells = R"PY(
const XLSX = require(process.argv[1]);
const book = XLSX.readFile(process.argv[2], {cellFormula: true});
const sheet = book.Sheets[process.argv[3]];
const cells = {};
for (const key of Object.keys(sheet)) {
  if (key[0] === '!') continue;
  const cell = sheet[key];
  cells[key] = {t: cell.t, v: cell.v, f: cell.f === undefined ? null : cell.f};
}
console.log(JSON.stringify(cells));
)PY";

const char* const kZipDifferences = R"PY(
import json, sys, zipfile
a, b = zipfile.ZipFile(sys.argv[1]), zipfile.ZipFile(sys.argv[2])
names_a, names_b = set(a.namelist()), set(b.namelist())
print(json.dumps({
    "changed": sorted(n for n in names_a & names_b if a.read(n) != b.read(n)),
    "added": sorted(names_b - names_a),
    "removed": sorted(names_a - names_b)}))
)PY";

fs::path SheetJsModule() { return fs::path(TARVEX_NODE_MODULES) / "xlsx"; }

std::string Checked(const RunResult& result, const std::string& tool) {
  if (result.exit_status != 0) {
    throw std::runtime_error(tool + " failed: " + result.standard_error);
  }
  return result.standard_output;
}

}  // namespace

std::string RunPython(const std::string& script, const std::vector<std::string>& arguments) {
  std::vector<std::string> all = {"-c", script};
  all.insert(all.end(), arguments.begin(), arguments.end());
  return Checked(RunProgram("/usr/bin/python3", all), "python");
}

void MakePackage(const fs::path& path,
                 const std::vector<std::pair<std::string, std::string>>& parts) {
  TempFolder folder;
  std::string order;
  for (size_t i = 0; i < parts.size(); ++i) {
    WriteFile(folder / std::to_string(i), parts[i].second);
    order += (i > 0 ? "\n" : "") + parts[i].first;
  }
  WriteFile(folder / "order", order);
  RunPython(kMakePackage, {folder.path().string(), path.string()});
}

Json OpenpyxlCells(const fs::path& workbook, const std::string& sheet) {
  return Json::parse(RunPython(kOpenpyxlCells, {workbook.string(), sheet}));
}

bool HasSheetJs() { return fs::exists("/usr/bin/node") && fs::exists(SheetJsModule()); }

Json SheetJsCells(const fs::path& workbook, const std::string& sheet) {
  RunResult result = RunProgram(
      "/usr/bin/node", {"-e", kSheetJsCells, SheetJsModule().string(), workbook.string(), sheet});
  return Json::parse(Checked(result, "node"));
}

Json ZipDifferences(const fs::path& before, const fs::path& after) {
  return Json::parse(RunPython(kZipDifferences, {before.string(), after.string()}));
}

}  // namespace tarvex::testing
