#include "input/delimited_text.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/support/job_fixture.h"
#include "tests/support/locale_guard.h"

namespace tarvex::input {

using namespace tarvex::job;
namespace {

using Rows = std::vector<std::vector<double>>;
using tarvex::testing::RowsOf;

struct TextCase {
  const char* name;
  std::string text;
  char delimiter;
  std::string selector;
  Rows rows;            // expected matrix when the text loads
  std::string message;  // expected log line when it fails
};

void PrintTo(const TextCase& c, std::ostream* out) { *out << c.name; }

const std::string kInvalid = "Invalid data. Values must be numerical. File: 'in.csv'";
const std::string kSubscript = "File Name: in.csv  Error: Subscript out of range";

class DelimitedTextTest : public tarvex::testing::JobFixture,
                          public ::testing::WithParamInterface<TextCase> {};

TEST_P(DelimitedTextTest, LoadsOrLogsItsLine) {
  const TextCase& c = GetParam();
  DataMatrix matrix;
  bool loaded = ParseDelimitedText(job_, c.text, matrix, "in.csv", c.delimiter, c.selector);
  std::vector<std::string> log = TakeLog();
  if (c.message.empty()) {
    ASSERT_TRUE(loaded) << (log.empty() ? "" : log[0]);
    EXPECT_EQ(matrix.RowLow(), 0);
    EXPECT_EQ(matrix.ColumnLow(), 0);
    EXPECT_EQ(RowsOf(matrix), c.rows);
    EXPECT_TRUE(log.empty());
  } else {
    EXPECT_FALSE(loaded);
    EXPECT_FALSE(matrix.HasDimensions()) << "a failed read leaves the matrix alone";
    EXPECT_EQ(log, std::vector<std::string>{c.message});
  }
}

const std::string kBom = "\xEF\xBB\xBF";

INSTANTIATE_TEST_SUITE_P(
    Cases, DelimitedTextTest,
    ::testing::Values(
        TextCase{"TabLf", "1\t2\n3\t4\n", '\t', "", {{1, 2}, {3, 4}}, ""},
        TextCase{"TabCrLf", "1\t2\r\n3\t4\r\n", '\t', "", {{1, 2}, {3, 4}}, ""},
        TextCase{"NoFinalLineEnd", "1,2\r\n3,4", ',', "", {{1, 2}, {3, 4}}, ""},
        TextCase{
            "BlankLinesAnywhere", "\n  \n1,2\r\n\r\n   \r\n3,4\n\n", ',', "", {{1, 2}, {3, 4}}, ""},
        TextCase{"ShortLinePadsWithZero", "1,2,3\n4,5\n", ',', "", {{1, 2, 3}, {4, 5, 0}}, ""},
        TextCase{"LongerLineFails", "1,2\n3,4,5\n", ',', "", {}, kSubscript},
        TextCase{"NumberForms",
                 " 1.5 ,-0,.5,5.,1e-400,2E3\n",
                 ',',
                 "",
                 {{1.5, -0.0, 0.5, 5, 0, 2000}},
                 ""},
        TextCase{"TextCellFails", "1,2\n3,x\n", ',', "", {}, kInvalid},
        TextCase{"StructureBeforeText", "x,2\n3,4,5\n", ',', "", {}, kSubscript},
        TextCase{"NoNumberForms", "0x10\n", ',', "", {}, kInvalid},
        TextCase{"Infinity", "inf\n", ',', "", {}, kInvalid},
        TextCase{"TooLarge", "1e400\n", ',', "", {}, kInvalid},
        TextCase{"TwoPoints", "1.2.3\n", ',', "", {}, kInvalid},
        TextCase{"TabIsNotBlank", "1\n\t\n", ',', "", {}, kInvalid},
        TextCase{"EmptyFile", "", ',', "", {}, kSubscript},
        TextCase{"OnlyBlankLines", "\n \r\n  \n", ',', "", {}, kSubscript},
        TextCase{"NulBytes", std::string("1,\0\n", 4), ',', "", {}, kInvalid},
        TextCase{"Header", "a,b,c\n1,2,3\n4,5,6\n", ',', "b,a", {{2, 1}, {5, 4}}, ""},
        TextCase{
            "HeaderIgnoresCaseAndTakesAColumnTwice", "a,B\n1,2\n", ',', "b,A,b", {{2, 1, 2}}, ""},
        TextCase{"HeaderLastFieldOfCrLfFile", "a,b\r\n1,2\r\n", ',', "b", {{2}}, ""},
        TextCase{"HeaderWithByteOrderMark", kBom + "a\tb\n1\t2\n", '\t', "a", {{1}}, ""},
        TextCase{"ByteOrderMarkWithoutHeaderFails", kBom + "1\t2\n", '\t', "", {}, kInvalid},
        TextCase{"HeaderSkipsUnselectedText", "a,b\n1,x\n", ',', "a", {{1}}, ""},
        TextCase{"HeaderNameWithBlankDoesNotMatch", "a, b\n1,2\n", ',', "b", {}, kSubscript},
        TextCase{"HeaderNameMissing", "a,b\n1,2\n", ',', "a,zz", {}, kSubscript},
        TextCase{"TextBeforeMissingNameInFirstRow", "a,b\nx,2\n", ',', "a,zz", {}, kInvalid},
        TextCase{"MissingNameBeforeLaterText", "a,b\n1,2\n3,x\n", ',', "zz,b", {}, kSubscript},
        TextCase{"HeaderOnly", "a,b\n\n", ',', "a", {}, kSubscript},
        TextCase{"DuplicatedHeaderNamesTakeTheFirst", "a,a\n1,2\n", ',', "a", {{1}}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvex::input

namespace tarvex::input {
namespace {

using TextReaderLimitsTest = tarvex::testing::JobFixture;

TEST_F(TextReaderLimitsTest, MoreThan32767ColumnsOverflow) {
  std::string line;
  for (int i = 0; i < 40000; ++i) line += (i ? ",1" : "1");
  DataMatrix matrix;
  EXPECT_FALSE(ParseDelimitedText(job_, line + "\n", matrix, "wide.csv", ',', ""));
  EXPECT_EQ(TakeLog(), std::vector<std::string>{"File Name: wide.csv  Error: Overflow"});

  std::string ok;
  for (int i = 0; i < 32767; ++i) ok += (i ? ",2" : "2");
  ASSERT_TRUE(ParseDelimitedText(job_, ok, matrix, "wide.csv", ',', ""));
  EXPECT_EQ(matrix.ColumnCount(), 32767);
}

TEST_F(TextReaderLimitsTest, CommaLocaleReadsPointAndComma) {
  job_.DecimalSeparator = ",";
  DataMatrix matrix;
  ASSERT_TRUE(ParseDelimitedText(job_, "1.5\t1,5\t-2\n", matrix, "in.txt", '\t', ""));
  EXPECT_EQ(tarvex::testing::RowsOf(matrix), (Rows{{1.5, 1.5, -2}}));
  EXPECT_FALSE(ParseDelimitedText(job_, "1.5,5\n", matrix, "in.txt", '\t', ""));
}

TEST_F(TextReaderLimitsTest, LargeFilesReadInPartsGiveTheSameRowsAndFailures) {
  // Large enough to be read in several parts on a machine with several cores.
  std::string text;
  const int rows = 1000000;
  for (int i = 0; i < rows; ++i) {
    text += std::to_string(i) + "," + std::to_string(-i) + (i % 1000 == 7 ? "\r\n \n" : "\n");
  }
  DataMatrix matrix;
  ASSERT_TRUE(ParseDelimitedText(job_, text, matrix, "big.csv", ',', ""));
  ASSERT_EQ(matrix.RowCount(), rows);
  for (int i : {0, 1, 499999, 500000, 777777, rows - 1}) {
    EXPECT_EQ(matrix.At(i, 0), i);
    EXPECT_EQ(matrix.At(i, 1), -i);
  }
  std::string with_text = text;
  with_text.replace(with_text.find("\n654321,"), 8, "\n65432x,");
  EXPECT_FALSE(ParseDelimitedText(job_, with_text, matrix, "big.csv", ',', ""));
  EXPECT_EQ(TakeLog(),
            std::vector<std::string>{"Invalid data. Values must be numerical. File: 'big.csv'"});
  // A line too long anywhere wins over a text cell anywhere, as a whole-file reading would have it.
  EXPECT_FALSE(ParseDelimitedText(job_, with_text + "1,2,3\n", matrix, "big.csv", ',', ""));
  EXPECT_EQ(TakeLog(),
            std::vector<std::string>{"File Name: big.csv  Error: Subscript out of range"});
  EXPECT_EQ(matrix.RowCount(), rows) << "the earlier matrix stays";
}

TEST_F(TextReaderLimitsTest, BinaryGarbageEndsWithOneLineOrLoads) {
  std::mt19937 generator(99);
  for (int round = 0; round < 300; ++round) {
    std::string garbage(generator() % 2000, '\0');
    // Mostly digits and separators now and then, so that some of it gets far into the reader.
    for (char& c : garbage) {
      unsigned pick = generator() % 10;
      c = pick < 4   ? static_cast<char>('0' + generator() % 10)
          : pick < 6 ? "\t,\n\r .-e"[generator() % 8]
                     : static_cast<char>(generator());
    }
    DataMatrix matrix;
    bool loaded = ParseDelimitedText(job_, garbage, matrix, "junk.txt", round % 2 ? '\t' : ',',
                                     round % 3 ? "" : "a,b");
    EXPECT_EQ(TakeLog().size(), loaded ? 0u : 1u) << round;
    EXPECT_EQ(matrix.HasDimensions(), loaded);
  }
}

TEST_F(TextReaderLimitsTest, ManyRowsLoadInOrder) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += std::to_string(i) + "," + std::to_string(-i) + "\r\n";
  DataMatrix matrix;
  ASSERT_TRUE(ParseDelimitedText(job_, text, matrix, "in.csv", ',', ""));
  ASSERT_EQ(matrix.RowCount(), 100000);
  EXPECT_EQ(matrix.At(99999, 0), 99999);
  EXPECT_EQ(matrix.At(99999, 1), -99999);
  EXPECT_EQ(matrix.At(12345, 0), 12345);
}

}  // namespace
}  // namespace tarvex::input
