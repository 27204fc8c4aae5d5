// The name order of device and application lists.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "audio/NaturalOrder.h"

namespace {

using velmora::audio::naturalLess;
using velmora::audio::sortByName;

// Asserts that `a` sorts strictly before `b`, and not the other way round.
void expectBefore(const std::string& a, const std::string& b) {
  EXPECT_TRUE(naturalLess(a, b)) << '"' << a << "\" before \"" << b << '"';
  EXPECT_FALSE(naturalLess(b, a)) << '"' << b << "\" not before \"" << a << '"';
}

TEST(NaturalOrder, DigitRunsCompareByValueAndLeadingZerosOnlyBreakTies) {
  const std::pair<std::string, std::string> ordered[] = {
      {"Speaker 2", "speaker 10"},
      {"a2b3", "a2b12"},
      {"Speaker", "Speaker 2"},
      {"track 99999999999999999999999999999", "track 123456789012345678901234567890"},
      {"track 123456789012345678901234567890", "track 123456789012345678901234567891"},
      {"2 Mics", "Apple"},  // a number sorts where its first digit would
      {"#1", "1"},
      {"a1", "a01"},
      {"a001", "a2"},
      {"a01b", "a1c"},
      {"a1 b02", "a01 b2"},  // the first run that differs in zeros decides
      {"扬声器 2", "扬声器 10"},
  };
  for (const auto& [a, b] : ordered) expectBefore(a, b);
}

TEST(NaturalOrder, CaseIsIgnoredAcrossScriptsAndOtherCharactersCompareByCodePoint) {
  const std::pair<std::string, std::string> equal[] = {
      {"a", "A"},
      {"Speaker 007", "speaker 007"},
      {"ÉCRAN ÄUßERES", "écran äußeres"},
      {"ΗΧΕΊΑ Σ", "ηχεία ς"},
      {"ДИНАМИК", "динамик"},
      {"ŁÓDŹ Ĳ", "łódź ĳ"},
      {"ＵＳＢ", "ｕｓｂ"},
      {"会议 App", "会议 APP"},
  };
  for (const auto& [a, b] : equal) {
    EXPECT_FALSE(naturalLess(a, b) || naturalLess(b, a)) << a << " / " << b;
  }
  expectBefore("apple", "Banana");
  expectBefore("Zebra", "Élan");  // not by a language's alphabet
  expectBefore("USB 音频", "内建麦克风");
  expectBefore("扬声器", "耳机");  // U+626C before U+8033
}

TEST(NaturalOrder, MalformedUtf8IsOrderedWithoutReadingPastTheEnd) {
  const std::string truncated = std::string("abc") + char(0xE4) + char(0xB8);
  const std::string stray = std::string("abc") + char(0xFF);
  EXPECT_TRUE(naturalLess("abc", truncated));
  EXPECT_FALSE(naturalLess(truncated, truncated));
  EXPECT_NE(naturalLess(truncated, stray), naturalLess(stray, truncated));
  expectBefore(std::string("x") + char(0xC3), std::string("x") + char(0xC3) + "y");
}

// Sorting relies on a strict weak order; check it on random names from a small alphabet that
// collides often (case, leading zeros, multibyte characters, truncated sequences).
TEST(NaturalOrder, IsAStrictWeakOrder) {
  const std::vector<std::string> alphabet{"a", "A", "b", "0",  "1",   "9",
                                          " ", "é", "É", "中", "\xE4"};
  std::mt19937 random(7);
  std::vector<std::string> names(70);
  for (auto& name : names) {
    const int length = int(random() % 6);
    for (int i = 0; i < length; ++i) name += alphabet[random() % alphabet.size()];
  }
  const auto equivalent = [](const std::string& x, const std::string& y) {
    return !naturalLess(x, y) && !naturalLess(y, x);
  };
  for (const auto& a : names) {
    ASSERT_FALSE(naturalLess(a, a)) << a;
    for (const auto& b : names) {
      ASSERT_FALSE(naturalLess(a, b) && naturalLess(b, a)) << a << " / " << b;
      for (const auto& c : names) {
        const bool ordered = naturalLess(a, b) && naturalLess(b, c);
        ASSERT_TRUE(!ordered || naturalLess(a, c)) << a << " < " << b << " < " << c;
        const bool chained = equivalent(a, b) && equivalent(b, c);
        ASSERT_TRUE(!chained || equivalent(a, c)) << a << " ~ " << b << " ~ " << c;
      }
    }
  }
}

TEST(NaturalOrder, SortByNameIsStableForEqualNames) {
  struct Device {
    std::string name;
    int id;
  };
  std::vector<Device> devices{{"speaker 10", 1}, {"a", 2}, {"Speaker 2", 3}, {"A", 4},
                              {"B", 5},          {"a", 6}, {"扬声器", 7}};
  sortByName(devices, &Device::name);
  std::vector<int> order;
  for (const auto& device : devices) order.push_back(device.id);
  EXPECT_EQ(order, (std::vector<int>{2, 4, 6, 5, 3, 1, 7}));

  sortByName(devices, [](const Device& d) { return d.name == "B" ? std::string("0") : d.name; });
  EXPECT_EQ(devices.front().id, 5) << "any projection giving text";
}

}  // namespace
