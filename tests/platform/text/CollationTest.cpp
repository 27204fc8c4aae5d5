// The localized order of names: the locale honoured, numbers by value, case ignored.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/text/Collation.h"

namespace {

using velmora::platform::localizedLess;

TEST(LocalizedLess, OrdersNamesByTheNamedLocale) {
  // Enumeration may sort off the main thread: a locale's first use from several threads at once
  // must create one working collator (ThreadSanitizer checks the creation).
  std::vector<char> ordered(4, false);
  std::vector<std::thread> threads;
  threads.reserve(ordered.size());
  for (char& result : ordered) {
    threads.emplace_back([&result] { result = localizedLess("耳机", "扬声器", "zh_SG"); });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(ordered, std::vector<char>(4, true));

  // '<' a sorts strictly before b; '=' neither before the other.
  const struct {
    std::string_view locale, a;
    char relation;
    std::string_view b;
  } cases[] = {
      {"zh_CN.UTF-8", "耳机", '<', "扬声器"},  // pinyin: ěr before yáng
      {"C", "扬声器", '<', "耳机"},            // the root order, which is not pinyin
      {"", "Speaker 2", '<', "speaker 10"},
      {"", "apple", '<', "Banana"},
      {"", "resume", '<', "résumé"},
      {"", "abc", '<', "abc\xE4\xB8"},  // a cut sequence is read no further than its end
      {"", "a", '=', "A"},
  };
  for (const auto& [locale, a, relation, b] : cases) {
    EXPECT_EQ(localizedLess(a, b, locale), relation == '<') << locale << ": " << a << " < " << b;
    EXPECT_FALSE(localizedLess(b, a, locale)) << locale << ": " << b << " < " << a;
  }
}

}  // namespace
