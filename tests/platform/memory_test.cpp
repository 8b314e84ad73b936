#include "platform/memory.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tarvex::platform {
namespace {

// Log lines and the progress line show sizes so; each unit is 1024 of the one below it.
TEST(ByteSizeTextTest, BinaryUnitsWithOneDecimal) {
  const std::pair<std::uint64_t, std::string> sizes[] = {
      {0, "0 bytes"},
      {1023, "1023 bytes"},
      {1024, "1.0 KiB"},
      {1234567, "1.2 MiB"},
      {1048524, "1023.9 KiB"},  // below 1023.95 KiB
      {1048525, "1.0 MiB"},     // at it: the next unit, not "1024.0 KiB"
      {60ull << 20, "60.0 MiB"},
      {(5ull << 30) / 2, "2.5 GiB"},
      {UINT64_MAX, "16.0 EiB"}};
  for (const auto& [bytes, text] : sizes) EXPECT_EQ(ByteSizeText(bytes), text) << bytes;
}

}  // namespace
}  // namespace tarvex::platform
