// Scene comparison and the reader-counted cut of names.
#include <gtest/gtest.h>

#include <cmath>

#include "settings/AudioScene.h"
#include "settings/UTF8.h"

namespace {

using velmora::settings::AudioScene;
using velmora::settings::firstCharacters;

TEST(FirstCharacters, CutsBetweenCharactersAsAReaderCountsThem) {
  const std::string chinese = "你好，世界";
  EXPECT_EQ(firstCharacters(chinese, 2), "你好");
  EXPECT_EQ(firstCharacters(chinese, 10), chinese);
  EXPECT_EQ(firstCharacters(chinese, 0), "");
  // Each unit is one character: cutting one gives the unit, two the unit and what follows.
  const std::pair<std::string, std::string> units[] = {
      {"e\u0301\u0323", "a"},              // combining marks
      {"\u0E01\u0E33", "\u0E02"},          // Thai consonant + SARA AM
      {"\u0EAB\u0EBC\u0EB3", "b"},         // Lao: subscript LO + SARA AM
      {"\u1000\u102D", "\u1001"},          // Myanmar consonant + vowel sign I
      {"\u1780\u17B6", "\u1781"},          // Khmer consonant + vowel sign AA
      {"\u0F40\u0F72", "\u0F41"},          // Tibetan consonant + vowel sign I
      {"\u0915\u093F", "\u0916"},          // Devanagari consonant + vowel sign I
      {"\u0915\u094D\u200D", "f"},         // Devanagari consonant + virama + joiner
      {"\u1112\u1161\u11AB", "\uAE00"},    // Hangul jamo L V T
      {"\u1100\u1100\u1161", "c"},         // Hangul jamo L L V
      {"👨\u200D👩\u200D👧", "d"},            // emoji joined into a family
      {"👍🏽", "e"},                   // emoji + skin tone
      {"🇨🇳", "🇯🇵"},                        // flags: regional indicators in pairs
      {"1\uFE0F\u20E3", "#\uFE0F\u20E3"},  // keycaps
      {"\r\n", "g"},
      {"\xFF\u0301", "\xFE"},  // a stray byte takes its marks, as U+FFFD
      {"\xE4", "\xB8"},        // each byte of a cut sequence is one
  };
  for (const auto& [unit, next] : units) {
    const std::string text = unit + next + "z";
    EXPECT_EQ(firstCharacters(text, 1), unit) << text;
    EXPECT_EQ(firstCharacters(text, 2), unit + next) << text;
  }
  // A conjunct is one character from Unicode 15.1 on; before, the cut falls after the virama.
  const std::string_view conjunct = firstCharacters("\u0915\u094D\u0937", 1);
  EXPECT_TRUE(conjunct == "\u0915\u094D" || conjunct == "\u0915\u094D\u0937") << conjunct;
}

TEST(AudioScene, MatchesConfigurationWithinToleranceAndWithDefaults) {
  AudioScene base;
  base.id = "a";
  base.name = "A";
  base.outputDeviceID = "audio:speakers";
  base.systemVolume = 0.5f;
  base.inputVolume = 0.7f;
  base.apps["music"].volume = 0.6f;
  base.equalizers["audio:speakers"] = {true, {3, 0, 0, 0, 15}};
  base.multiOutput.devices = {"x", "y"};
  base.multiOutput.levels["x"] = 0.5f;
  AudioScene other = base;
  other.id = "b";
  other.name = "B";
  EXPECT_TRUE(base.matchesConfiguration(other, 0.001f)) << "id and name are not configuration";

  // Each change below must break the match; each neutral form must keep it.
  const auto differs = [&](const std::function<void(AudioScene&)>& change) {
    AudioScene changed = base;
    change(changed);
    return !base.matchesConfiguration(changed, 0.001f) &&
           !changed.matchesConfiguration(base, 0.001f);
  };
  EXPECT_FALSE(differs([](AudioScene& s) { s.apps["music"].volume = 0.6009f; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.apps["music"].volume = 0.602f; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.systemVolume = NAN; }));
  EXPECT_TRUE(base.matchesConfiguration(base, 0.001f));
  AudioScene notANumber = base;
  notANumber.systemVolume = NAN;
  EXPECT_FALSE(notANumber.matchesConfiguration(notANumber, 0.001f)) << "non-finite never matches";
  EXPECT_TRUE(differs([](AudioScene& s) { s.inputVolume.reset(); }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.outputDeviceID.reset(); }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.inputDeviceID = "audio:mic"; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.systemMuted = true; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.processingEnabled = true; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.multiOutput.devices = {"y", "x"}; }));
  // Apps: a missing entry is full volume, unmuted, default route, no fall-back.
  EXPECT_FALSE(differs([](AudioScene& s) { s.apps["game"] = {1.0f, false, std::nullopt, false}; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.apps["game"].muted = true; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.apps["game"].outputDeviceID = "audio:dac"; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.apps["music"].followSystemWhenOffline = true; }));
  // Equalisers compare their normalised bands; a missing one is off and flat.
  EXPECT_FALSE(differs([](AudioScene& s) {
    s.equalizers["audio:speakers"].bands = {3, 0, 0, 0, 12};
  }));
  EXPECT_FALSE(differs([](AudioScene& s) {
    s.equalizers["audio:speakers"].bands = {3, NAN, 0, 0, 99};
  }));
  EXPECT_FALSE(differs([](AudioScene& s) { s.equalizers["audio:dac"] = {false, {}}; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.equalizers["audio:dac"] = {false, {0, 0.5f}}; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.equalizers["audio:speakers"].enabled = false; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.equalizers["audio:speakers"].bands = {3, 0, 0, 0}; }));
  // Multi-output levels: a missing level is 1.0. Boosts: a missing flag or dictionary is off.
  EXPECT_FALSE(differs([](AudioScene& s) { s.multiOutput.levels["y"] = 1.0f; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.multiOutput.levels["x"] = 1.0f; }));
  EXPECT_FALSE(differs([](AudioScene& s) {
    s.boostedOutputs = std::map<std::string, bool>{{"audio:dac", false}};
  }));
  EXPECT_TRUE(differs([](AudioScene& s) {
    s.boostedOutputs = std::map<std::string, bool>{{"audio:dac", true}};
  }));
}

}  // namespace
