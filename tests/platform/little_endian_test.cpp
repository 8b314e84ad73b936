// The little-endian fields against Python's struct module, both overloads of each reader, and
// the writers read back.
#include "platform/little_endian.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "tests/support/test_support.h"

namespace tarvex::platform {
namespace {

TEST(LittleEndianTest, FieldsAgreeWithPythonStruct) {
  std::mt19937_64 random(5);
  std::string bytes(64, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random());
  std::ostringstream hex;
  for (unsigned char byte : bytes) hex << std::hex << (byte >> 4) << (byte & 15);
  // Every field at every offset where it fits: H, I and Q unsigned, d as its exact bits.
  tarvex::testing::RunResult python = tarvex::testing::RunProgram(
      "/usr/bin/python3",
      {"-c",
       "import struct, sys\n"
       "b = bytes.fromhex(sys.argv[1])\n"
       "for f, n in (('<H', 2), ('<I', 4), ('<Q', 8)):\n"
       "    print(' '.join(str(struct.unpack_from(f, b, i)[0]) for i in range(len(b) - n + 1)))\n",
       hex.str()});
  ASSERT_EQ(python.exit_status, 0) << python.standard_error;
  std::istringstream lines(python.standard_output);
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t width : {2u, 4u, 8u}) {
    for (size_t at = 0; at + width <= bytes.size(); ++at) {
      std::uint64_t expected = 0;
      ASSERT_TRUE(lines >> expected);
      const std::uint64_t from_view = width == 2   ? ReadU16(bytes, at)
                                      : width == 4 ? ReadU32(bytes, at)
                                                   : ReadU64(bytes, at);
      const std::uint64_t from_pointer = width == 2   ? ReadU16(data + at)
                                         : width == 4 ? ReadU32(data + at)
                                                      : ReadU64(data + at);
      EXPECT_EQ(from_view, expected) << width << " bytes at " << at;
      EXPECT_EQ(from_pointer, expected) << width << " bytes at " << at;
    }
  }
}

TEST(LittleEndianTest, WrittenFieldsReadBack) {
  std::string out;
  AppendU16(out, 0xBEEF);
  AppendU32(out, 0xDEADBEEF);
  AppendF64(out, -1.5e-300);
  out.append(6, '\0');
  PutU16(out, 14, 0x1234);
  PutU32(out, 16, 0x89ABCDEF);
  EXPECT_EQ(out.size(), 20u);
  EXPECT_EQ(ReadU16(out, 0), 0xBEEF);
  EXPECT_EQ(ReadU32(out, 2), 0xDEADBEEFu);
  EXPECT_EQ(ReadF64(out, 6), -1.5e-300);
  EXPECT_EQ(ReadU16(out, 14), 0x1234);
  EXPECT_EQ(ReadU32(out, 16), 0x89ABCDEFu);
}

}  // namespace
}  // namespace tarvex::platform
