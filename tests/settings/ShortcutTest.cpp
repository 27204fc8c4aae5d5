#include <gtest/gtest.h>

#include <string>

#include "settings/Shortcut.h"

namespace velmora::settings {
namespace {

TEST(Shortcut, DisplayShowsModifiersInFixedOrderThenTheLabelUpperCased) {
  const std::pair<Shortcut, std::string_view> cases[] = {
      {{46, kControlKey | kOptionKey, "m"}, "⌃⌥M"},
      {{46, kOptionKey | kCommandKey, "M"}, "⌥⌘M"},
      {{126, kControlKey | kOptionKey, "↑"}, "⌃⌥↑"},
      {{40, kCommandKey | kShiftKey | kOptionKey | kControlKey, "k"}, "⌃⌥⇧⌘K"},
      {{49, 0, "Space"}, "SPACE"},
      {{10, kCommandKey | 0x1, "Key 10"}, "⌘KEY 10"},  // bits outside the four show nothing
      {{0, kControlKey, "é"}, "⌃É"},
      {{0, kControlKey, "ą"}, "⌃Ą"},
      {{0, kControlKey, "ß"}, "⌃ß"},        // one key, one letter: not "SS"
      {{0, kControlKey, "\xC3"}, "⌃\xC3"},  // a cut sequence passes through unchanged
  };
  for (const auto& [shortcut, display] : cases)
    EXPECT_EQ(shortcut.display(), display) << shortcut.label;
}

TEST(Shortcut, SameCombinationIgnoresTheLabel) {
  const Shortcut up{126, 0x1800, "↑"};
  EXPECT_TRUE(up.sameCombination({126, 0x1800, "Up"}));
  EXPECT_FALSE(up.sameCombination({126, 0x1900, "↑"}) || up.sameCombination({125, 0x1800, "↑"}));
}

// The ids themselves are checked in the registrations the hot-key manager makes.
TEST(HotkeyAction, RawValuesAndIdsFindTheirActionAndNothingElseDoes) {
  for (const HotkeyAction action : allHotkeyActions) {
    EXPECT_EQ(hotkeyActionFromRawValue(rawValue(action)), action);
    EXPECT_EQ(hotkeyActionFromID(hotkeyID(action)), action);
    EXPECT_FALSE(title(action).empty());
  }
  for (const uint32_t outside : {0u, uint32_t(allHotkeyActions.size() + 1), 0xFFFFFFFFu})
    EXPECT_EQ(hotkeyActionFromID(outside), std::nullopt) << outside;
  EXPECT_EQ(hotkeyActionFromRawValue("Panel"), std::nullopt);
  // Names that saved settings hold and that no other test reads.
  EXPECT_EQ(hotkeyActionFromRawValue("mute"), HotkeyAction::mute);
  EXPECT_EQ(hotkeyActionFromRawValue("quieter"), HotkeyAction::quieter);
}

}  // namespace
}  // namespace velmora::settings
