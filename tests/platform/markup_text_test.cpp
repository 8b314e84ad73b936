#include "platform/markup_text.h"

#include <gtest/gtest.h>

#include <utility>

namespace tarvex::platform {
namespace {

TEST(MarkupEscaped, MarkupEscapedAndBrokenUtf8Replaced) {
  const std::pair<std::string, std::string> cases[] = {
      {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&#39;"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"\xFF", "\xEF\xBF\xBD"},
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // cut short
      {"tab\there\r\x01", "tab\there  "},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(MarkupEscaped(text), expected) << text;
}

}  // namespace
}  // namespace tarvex::platform
