// Bytes from outside that are not text become keys and names the settings file can hold.
#include <gtest/gtest.h>

#include "settings/UTF8.h"

namespace velmora::settings {
namespace {

TEST(EscapedKey, InvalidBytesAndBackslashesAreWrittenOutSoDistinctBytesStayDistinct) {
  const std::pair<std::string, std::string> cases[] = {
      {"process:/opt/musique", "process:/opt/musique"},
      {"process:/opt/m\xE9sique", "process:/opt/m\\xE9sique"},  // Latin-1 é
      {"process:/opt/m\\xE9sique", "process:/opt/m\\\\xE9sique"},
      {"C:\\Windows", "C:\\\\Windows"},
      {"\xC3\xA9t\xC3", "\xC3\xA9t\\xC3"},  // a sequence cut short
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // an encoded surrogate
  };
  for (const auto& [bytes, key] : cases) {
    EXPECT_EQ(escapedKey(bytes), key);
    EXPECT_TRUE(isValidUTF8(escapedKey(bytes)));
  }
}

TEST(EscapedKey, NamesKeepTheirTextAndShowReplacementCharacters) {
  EXPECT_EQ(replacingInvalidUTF8("Caf\xE9 \xE8\x80\xB3\xE6\x9C\xBA"), "Caf\uFFFD 耳机");
  EXPECT_EQ(replacingInvalidUTF8("a\\b"), "a\\b");
}

}  // namespace
}  // namespace velmora::settings
