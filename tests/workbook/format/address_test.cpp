#include "workbook/format/address.h"

#include <gtest/gtest.h>

#include <random>

namespace tarvex::workbook {
namespace {

constexpr SheetLimits kOpenXml{1048576, 16384};
constexpr SheetLimits kBiff{65536, 256};

TEST(AddressTest, AreasInEveryAcceptedSpelling) {
  struct Case {
    const char* address;
    CellArea area;
  };
  const Case cases[] = {
      {"B2", {1, 1, 1, 1}},        {"b2", {1, 1, 1, 1}},
      {"$B$2", {1, 1, 1, 1}},      {"B2:D4", {1, 1, 3, 3}},
      {"$b$2:$d$4", {1, 1, 3, 3}}, {"B$2:$D4", {1, 1, 3, 3}},
      {"D4:B2", {1, 1, 3, 3}},  // corners in any order
      {"D2:B4", {1, 1, 3, 3}},     {"A1:XFD1048576", {0, 0, 1048575, 16383}},
      {"aa10", {9, 26, 9, 26}},
  };
  for (const Case& c : cases) {
    CellArea area = ParseArea(c.address, kOpenXml);
    EXPECT_EQ(area.first_row, c.area.first_row) << c.address;
    EXPECT_EQ(area.first_column, c.area.first_column) << c.address;
    EXPECT_EQ(area.last_row, c.area.last_row) << c.address;
    EXPECT_EQ(area.last_column, c.area.last_column) << c.address;
  }
}

TEST(AddressTest, RefusalsSayWhatIsWrong) {
  struct Case {
    const char* address;
    SheetLimits limits;
    const char* words;
  };
  const Case cases[] = {
      {"", kOpenXml, "is not a cell address"},
      {"B", kOpenXml, "is not a cell address"},
      {"2", kOpenXml, "is not a cell address"},
      {"A0", kOpenXml, "is not a cell address"},
      {"B2:", kOpenXml, "is not a cell address"},
      {"B2:D4:E5", kOpenXml, "is not a cell address"},
      {" B2", kOpenXml, "is not a cell address"},
      {"B2!", kOpenXml, "is not a cell address"},
      {"$$B2", kOpenXml, "is not a cell address"},
      {"ABCDEFGHIJ1", kOpenXml, "is not a cell address"},
      {"A99999999999999999999", kOpenXml, "is not a cell address"},
      {"XFE1", kOpenXml, "lies beyond the sheet's 1048576 rows and 16384 columns"},
      {"A1048577", kOpenXml, "lies beyond"},
      {"A1:IW1", kBiff, "lies beyond the sheet's 65536 rows and 256 columns"},
      {"A65537", kBiff, "lies beyond"},
  };
  for (const Case& c : cases) {
    try {
      ParseArea(c.address, c.limits);
      ADD_FAILURE() << "accepted " << c.address;
    } catch (const WorkbookError& error) {
      EXPECT_NE(std::string(error.what()).find(c.words), std::string::npos)
          << c.address << ": " << error.what();
    }
  }
}

TEST(AddressTest, NamesAndReferencesRoundTrip) {
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    const std::int64_t row = static_cast<std::int64_t>(random() % kOpenXml.rows);
    const std::int64_t column = static_cast<std::int64_t>(random() % kOpenXml.columns);
    std::optional<CellCoordinates> parsed = ParseCellReference(CellName(row, column));
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->row, row);
    ASSERT_EQ(parsed->column, column);
  }
  const std::pair<std::int64_t, const char*> columns[] = {
      {0, "A"}, {25, "Z"}, {26, "AA"}, {701, "ZZ"}, {702, "AAA"}, {16383, "XFD"}};
  for (const auto& [column, name] : columns) EXPECT_EQ(ColumnName(column), name);
  EXPECT_EQ(AreaName({1, 1, 3, 3}), "B2:D4");
  EXPECT_EQ(AreaName({1, 1, 1, 1}), "B2");
}

TEST(AddressTest, SheetReferencesOfDefinedNames) {
  struct Case {
    const char* text;
    const char* sheet;  // nullptr: no sheet reference
    const char* address;
  };
  const Case cases[] = {
      {"Data!$A$1:$B$2", "Data", "$A$1:$B$2"},
      {"'My data'!A1", "My data", "A1"},
      {"'It''s'!B2", "It's", "B2"},
      {"'a!b'!C3", "a!b", "C3"},
      {"A1", nullptr, nullptr},
      {"'unclosed!A1", nullptr, nullptr},
      {"'x'A1", nullptr, nullptr},
      {"!A1", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    std::optional<SheetReference> reference = SplitSheetReference(c.text);
    ASSERT_EQ(reference.has_value(), c.sheet != nullptr) << c.text;
    if (!reference) continue;
    EXPECT_EQ(reference->sheet, c.sheet) << c.text;
    EXPECT_EQ(reference->address, c.address) << c.text;
  }
}

}  // namespace
}  // namespace tarvex::workbook
