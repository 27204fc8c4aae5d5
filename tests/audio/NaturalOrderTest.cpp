// The name order of device and application lists.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "audio/NaturalOrder.h"

namespace {

using velmora::audio::naturalLess;

TEST(NaturalOrder, DigitRunsByValueCaseFoldedPerScriptOtherwiseByCodePoint) {
  // (a, relation, b): '<' a sorts strictly before b; '=' neither before the other.
  const std::tuple<std::string, char, std::string> cases[] = {
      {"Speaker 2", '<', "speaker 10"},
      {"a2b3", '<', "a2b12"},
      {"Speaker", '<', "Speaker 2"},
      {"扬声器 2", '<', "扬声器 10"},
      {"track 99999999999999999999999999999", '<', "track 123456789012345678901234567890"},
      {"track 123456789012345678901234567890", '<', "track 123456789012345678901234567891"},
      {"2 Mics", '<', "Apple"},
      {"#1", '<', "1"},  // a number sorts where its first digit would
      // Leading zeros only break ties, and the first run that differs in zeros decides.
      {"a1", '<', "a01"},
      {"a001", '<', "a2"},
      {"a01b", '<', "a1c"},
      {"a1 b02", '<', "a01 b2"},
      {"a", '=', "A"},
      {"ÉCRAN ÄUßERES", '=', "écran äußeres"},
      {"ΗΧΕΊΑ Σ", '=', "ηχεία ς"},
      {"ДИНАМИК", '=', "динамик"},
      {"ŁÓDŹ Ĳ", '=', "łódź ĳ"},
      {"ＵＳＢ", '=', "ｕｓｂ"},
      // Otherwise by code point, not by a language's alphabet: U+626C before U+8033.
      {"apple", '<', "Banana"},
      {"Zebra", '<', "Élan"},
      {"USB 音频", '<', "内建麦克风"},
      {"扬声器", '<', "耳机"},
      // Malformed UTF-8: bytes stand for themselves, nothing is read past the end.
      {"abc", '<', "abc\xE4\xB8"},
      {"abc\xE4\xB8", '<', "abc\xFF"},
      {"x\xC3", '<', "x\xC3y"}};
  for (const auto& [a, relation, b] : cases) {
    EXPECT_EQ(naturalLess(a, b), relation == '<') << a << ' ' << relation << ' ' << b;
    EXPECT_FALSE(naturalLess(b, a)) << a << ' ' << relation << ' ' << b;
  }
}

// Sorting relies on a strict weak order; check it on random names from a small alphabet that
// collides often (case, leading zeros, multibyte characters, truncated sequences).
TEST(NaturalOrder, IsAStrictWeakOrder) {
  const std::vector<std::string> alphabet{"a", "A", "b", "0",  "1",   "9",
                                          " ", "é", "É", "中", "\xE4"};
  std::mt19937 random(7);
  std::vector<std::string> names(70);
  for (auto& name : names) {
    for (int i = int(random() % 6); i > 0; --i) name += alphabet[random() % alphabet.size()];
  }
  const auto equivalent = [](const std::string& x, const std::string& y) {
    return !naturalLess(x, y) && !naturalLess(y, x);
  };
  for (const auto& a : names) {
    ASSERT_FALSE(naturalLess(a, a)) << a;
    for (const auto& b : names) {
      for (const auto& c : names) {
        ASSERT_TRUE(!(naturalLess(a, b) && naturalLess(b, c)) || naturalLess(a, c))
            << a << "<" << b << "<" << c;
        ASSERT_TRUE(!(equivalent(a, b) && equivalent(b, c)) || equivalent(a, c))
            << a << "~" << b << "~" << c;
      }
    }
  }
}

TEST(NaturalOrder, SortByNameIsStableForEqualNames) {
  std::vector<std::pair<std::string, int>> devices{
      {"speaker 10", 1}, {"a", 2}, {"Speaker 2", 3}, {"A", 4}, {"B", 5}, {"a", 6}, {"扬声器", 7}};
  velmora::audio::sortByName(devices, [](const auto& d) -> const std::string& { return d.first; });
  EXPECT_EQ(devices, (decltype(devices){{"a", 2},
                                        {"A", 4},
                                        {"a", 6},
                                        {"B", 5},
                                        {"Speaker 2", 3},
                                        {"speaker 10", 1},
                                        {"扬声器", 7}}));
}

}  // namespace
