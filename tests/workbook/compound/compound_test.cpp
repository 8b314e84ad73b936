// The compound document room on its own: its text conversion against Python's codecs, and its
// structural check reporting damage in its own error, which knows nothing of workbooks.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "tests/workbook/workbook_tools.h"
#include "workbook/compound/compound_check.h"
#include "workbook/compound/compound_error.h"
#include "workbook/compound/utf16_text.h"

namespace tarvex::workbook::compound {
namespace {

// Each argument: code units as hex, "-" separated (or "" for none); prints the UTF-8 of each
// as hex, one line each. Python replaces every unpaired surrogate by U+FFFD.
const char* const kDecodeUtf16 = R"PY(
import struct, sys
for arg in sys.argv[1:]:
    units = [int(u, 16) for u in arg.split("-") if u]
    data = struct.pack("<%dH" % len(units), *units)
    print(data.decode("utf-16-le", "replace").encode("utf-8").hex())
)PY";

std::string Hex(const std::string& bytes) {
  std::ostringstream out;
  for (unsigned char byte : bytes)
    out << "0123456789abcdef"[byte >> 4] << "0123456789abcdef"[byte & 15];
  return out.str();
}

TEST(CompoundTextTest, Utf16AgreesWithPython) {
  // Sequences rich in surrogates, paired, unpaired and reversed, among other code units.
  std::mt19937 random(23);
  const char16_t pool[] = {u'A',   0x00E9, 0x4E2D, 0xFFFF, 0xD800,
                           0xDBFF, 0xDC00, 0xDFFF, 0xD83D, 0xDE00};
  std::vector<std::u16string> sequences = {u"", u"plain"};
  for (int i = 0; i < 300; ++i) {
    std::u16string units(random() % 9, u' ');
    for (char16_t& unit : units) unit = pool[random() % std::size(pool)];
    sequences.push_back(units);
  }
  std::vector<std::string> arguments;
  for (const std::u16string& units : sequences) {
    std::ostringstream text;
    for (char16_t unit : units) text << std::hex << static_cast<unsigned>(unit) << "-";
    arguments.push_back(text.str());
  }
  std::istringstream expected(tarvex::testing::RunPython(kDecodeUtf16, arguments));
  for (const std::u16string& units : sequences) {
    std::string line;
    ASSERT_TRUE(std::getline(expected, line));
    std::string ours;
    AppendUtf16(ours, units);
    EXPECT_EQ(Hex(ours), line) << arguments[&units - sequences.data()];
  }
}

TEST(CompoundTextTest, Latin1AgreesWithPython) {
  std::string every_byte;
  for (int b = 0; b < 256; ++b) every_byte.push_back(static_cast<char>(b));
  std::string ours = "kept:";
  AppendLatin1(ours, every_byte);
  const std::string theirs = tarvex::testing::RunPython(
      "print(bytes(range(256)).decode('latin-1').encode('utf-8').hex())");
  EXPECT_EQ(Hex(ours), Hex("kept:") + theirs.substr(0, theirs.size() - 1));
}

// A 512-byte header: the signature, then the fields given as (offset, little-endian bytes).
std::string Header(std::initializer_list<std::pair<size_t, std::string_view>> fields) {
  std::string header(512, '\0');
  header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  for (const auto& [at, bytes] : fields) header.replace(at, bytes.size(), bytes);
  return header;
}

TEST(CompoundCheckTest, DamagedHeadersFailWithTheContainersOwnError) {
  using namespace std::string_view_literals;
  const auto byte_order = std::pair(size_t{28}, "\xFE\xFF"sv);
  const auto sectors_of_512 = std::pair(size_t{30}, "\x09\x00"sv);
  const auto mini_sectors_of_64 = std::pair(size_t{32}, "\x06\x00"sv);
  const std::pair<std::string, const char*> cases[] = {
      {"", "the file is shorter than a compound document header"},
      {Header({}).substr(0, 511), "the file is shorter than a compound document header"},
      {Header({}), "its header has no valid byte-order mark"},
      {Header({byte_order, {30, "\x0A\x00"sv}}),
       "its sector size is 1024 bytes; only 512 and 4096 bytes are possible"},
      {Header({byte_order, {30, "\x40\x00"sv}}),
       "its sector size is invalid; only 512 and 4096 bytes are possible"},
      {Header({byte_order, sectors_of_512}), "its mini-sector size is not 64 bytes"},
      {Header({byte_order, sectors_of_512, mini_sectors_of_64}),
       "its mini-stream cutoff is not 4096 bytes"},
      {Header({byte_order, {30, "\x0C\x00"sv}, mini_sectors_of_64, {56, "\x00\x10\x00\x00"sv}}),
       "the file is shorter than its header sector"},
  };
  for (const auto& [file, what] : cases) {
    try {
      CheckCompoundDocument(file);
      ADD_FAILURE() << "accepted: " << what;
    } catch (const CompoundError& error) {
      EXPECT_EQ(error.what(), "The compound document is damaged: " + std::string(what));
    }
  }
}

}  // namespace
}  // namespace tarvex::workbook::compound
