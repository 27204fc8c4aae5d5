// The settings' values and their text: keys and names from outside, shortcuts, equalisers, the
// reader-counted cut of names and scene comparison.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

#include "settings/AudioScene.h"
#include "settings/Preferences.h"
#include "settings/Shortcut.h"
#include "settings/UTF8.h"

namespace velmora::settings {
namespace {

TEST(EscapedKey, InvalidBytesAndBackslashesAreWrittenOutSoDistinctBytesStayDistinct) {
  const std::pair<std::string, std::string> cases[] = {
      {"process:/opt/m\xE9sique", "process:/opt/m\\xE9sique"},  // Latin-1 é
      {"process:/opt/m\\xE9sique", "process:/opt/m\\\\xE9sique"},
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},  // an encoded surrogate
  };
  for (const auto& [bytes, key] : cases) {
    EXPECT_EQ(escapedKey(bytes), key);
    EXPECT_TRUE(isValidUTF8(escapedKey(bytes)));
  }
}

TEST(Shortcut, DisplayShowsModifiersInFixedOrderThenTheLabelUpperCased) {
  const std::pair<Shortcut, std::string_view> cases[] = {
      {{40, kCommandKey | kShiftKey | kOptionKey | kControlKey, "k"}, "Ctrl+Alt+Shift+Super+K"},
      {{49, 0, "Space"}, "SPACE"},
      {{10, kCommandKey | 0x1, "Key 10"}, "Ctrl+KEY 10"},  // bits outside the four show nothing
      {{0, kControlKey, "é"}, "Super+É"},
      {{0, kControlKey, "ß"}, "Super+ß"},        // one key, one letter: not "SS"
      {{0, kControlKey, "\xC3"}, "Super+\xC3"},  // a cut sequence passes through unchanged
  };
  for (const auto& [shortcut, display] : cases)
    EXPECT_EQ(shortcut.display(), display) << shortcut.label;
  const Shortcut up{126, 0x1800, "↑"};
  EXPECT_TRUE(up.sameCombination({126, 0x1800, "Up"})) << "the label plays no part";
  EXPECT_FALSE(up.sameCombination({126, 0x1900, "↑"}) || up.sameCombination({125, 0x1800, "↑"}));
}

// The ids themselves are checked in the registrations the hot-key manager makes.
TEST(HotkeyAction, RawValuesAndIdsFindTheirActionAndNothingElseDoes) {
  for (const HotkeyAction action : allHotkeyActions) {
    EXPECT_EQ(hotkeyActionFromRawValue(rawValue(action)), action);
    EXPECT_EQ(hotkeyActionFromID(hotkeyID(action)), action);
  }
}

TEST(DeviceEQ, FiveClampedFiniteGainsAreEffectiveWhenEnabledAndOneIsBeyondOneHundredthDecibel) {
  const std::pair<std::vector<float>, std::array<float, 5>> cases[] = {
      {{3, 20}, {3, 12, 0, 0, 0}},
      {{-15, 1, 2, 3, 4, 5, 6}, {-12, 1, 2, 3, 4}},
      {{NAN, INFINITY, -INFINITY, 1.5f, -0.25f}, {0, 0, 0, 1.5f, -0.25f}},
  };
  for (const auto& [stored, normalized] : cases)
    EXPECT_EQ(DeviceEQ({true, stored}).normalizedBands(), normalized);
  for (const DeviceEQ& flat :
       {DeviceEQ{true, {0.01f, -0.01f, 0, 0.005f, -0.009f}}, DeviceEQ{true, {NAN, INFINITY}},
        DeviceEQ{false, {6, 6, 6, 6, 6}}, DeviceEQ{true, {0, 0, 0, 0, 0, 5}}})
    EXPECT_FALSE(flat.effective()) << flat.enabled << flat.bands.size();
  EXPECT_TRUE(DeviceEQ({true, {0, 0, 0, 0, -0.02f}}).effective());
}

TEST(Preferences, SettersFillTheAdvancedSectionAndResettingKeepsTheEqualisersSwitch) {
  Preferences p;
  p.setEQ("audio:on", DeviceEQ{true, {1, 2}});
  p.resetEQ("audio:on");
  p.resetEQ("audio:new");
  EXPECT_EQ(p.advanced->equalizers,
            (std::map<std::string, DeviceEQ>{{"audio:new", {false, {0, 0, 0, 0, 0}}},
                                             {"audio:on", {true, {0, 0, 0, 0, 0}}}}));
  Preferences boosted;
  boosted.setBoost("audio:a", true);
  EXPECT_TRUE(boosted.advanced->boostedOutputs->at("audio:a"));
}

TEST(FirstCharacters, CutsBetweenCharactersAsAReaderCountsThem) {
  const std::string chinese = "你好，世界";
  EXPECT_EQ(firstCharacters(chinese, 2), "你好");
  EXPECT_EQ(firstCharacters(chinese, 10), chinese);
  EXPECT_EQ(firstCharacters(chinese, 0), "");
  // Each unit is one character: cutting one gives the unit, two the unit and what follows.
  const std::pair<std::string, std::string> units[] = {
      {"e\u0301\u0323", "a"},    // combining marks
      {"👨\u200D👩\u200D👧", "d"},  // emoji joined into a family
      {"🇨🇳", "🇯🇵"},              // flags: regional indicators in pairs
      {"\xFF\u0301", "\xFE"},    // a stray byte takes its marks, as U+FFFD
      {"\xE4", "\xB8"},          // each byte of a cut sequence is one
  };
  for (const auto& [unit, next] : units) {
    const std::string text = unit + next + "z";
    EXPECT_EQ(firstCharacters(text, 1), unit) << text;
    EXPECT_EQ(firstCharacters(text, 2), unit + next) << text;
  }
}

TEST(AudioScene, MatchesConfigurationWithinToleranceAndWithDefaults) {
  const std::map<std::string, AppLevel> apps{{"music", {0.6f, false, std::nullopt, std::nullopt}}};
  const std::map<std::string, DeviceEQ> equalizers{{"audio:speakers", {true, {3, 0, 0, 0, 15}}}};
  const MultiOutputSettings multi{false, {"x", "y"}, {{"x", 0.5f}}};
  const AudioScene base{"a",   "A",  std::nullopt, "audio:speakers", 0.5f,  0.7f,        false,
                        false, apps, false,        equalizers,       multi, std::nullopt};
  // Each change below must break the match; each neutral form must keep it.
  const auto differs = [&](const std::function<void(AudioScene&)>& change) {
    AudioScene changed = base;
    change(changed);
    return !base.matchesConfiguration(changed, 0.001f) &&
           !changed.matchesConfiguration(base, 0.001f);
  };
  EXPECT_FALSE(differs([](AudioScene& s) { s.id = "b", s.name = "B"; })) << "no configuration";
  EXPECT_FALSE(differs([](AudioScene& s) { s.apps["music"].volume = 0.6009f; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.apps["music"].volume = 0.602f; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.inputVolume.reset(); }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.outputDeviceID.reset(); }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.inputDeviceID = "audio:mic"; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.processingEnabled = true; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.systemMuted = true; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.multiOutput.devices = {"y", "x"}; }));
  // Apps: a missing entry is full volume, unmuted, default route, no fall-back.
  EXPECT_FALSE(differs([](AudioScene& s) { s.apps["game"] = {1.0f, false, std::nullopt, false}; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.apps["game"].muted = true; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.apps["game"].outputDeviceID = "audio:dac"; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.apps["music"].followSystemWhenOffline = true; }));
  // Equalisers compare their normalised bands; a missing one is off and flat.
  EXPECT_FALSE(differs([](AudioScene& s) { s.equalizers["audio:speakers"].bands[4] = 12; }));
  EXPECT_FALSE(differs([](AudioScene& s) { s.equalizers["audio:dac"] = {false, {}}; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.equalizers["audio:dac"] = {false, {0, 0.5f}}; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.equalizers["audio:speakers"].enabled = false; }));
  // Multi-output levels: a missing level is 1.0. Boosts: a missing flag or dictionary is off.
  EXPECT_FALSE(differs([](AudioScene& s) { s.multiOutput.levels["y"] = 1.0f; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.multiOutput.levels["x"] = 1.0f; }));
  EXPECT_FALSE(differs([](AudioScene& s) { s.boostedOutputs = {{{"audio:dac", false}}}; }));
  EXPECT_TRUE(differs([](AudioScene& s) { s.boostedOutputs = {{{"audio:dac", true}}}; }));
}

}  // namespace
}  // namespace velmora::settings
