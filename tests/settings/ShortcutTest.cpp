#include <gtest/gtest.h>

#include <string>

#include "settings/Shortcut.h"

namespace velmora::settings {
namespace {

TEST(Shortcut, DisplayShowsModifiersInFixedOrderThenTheLabelUpperCased) {
  const std::pair<Shortcut, std::string_view> cases[] = {
      {{46, kOptionKey | kCommandKey, "M"}, "Ctrl+Alt+M"},
      {{126, kControlKey | kOptionKey, "↑"}, "Alt+Super+↑"},
      {{0, kCommandKey | kShiftKey, "a"}, "Ctrl+Shift+A"},
      {{40, kCommandKey | kShiftKey | kOptionKey | kControlKey, "k"}, "Ctrl+Alt+Shift+Super+K"},
      {{49, 0, "Space"}, "SPACE"},
      {{10, kCommandKey | 0x1, "Key 10"}, "Ctrl+KEY 10"},  // bits outside the four show nothing
      {{0, kControlKey, "é"}, "Super+É"},
      {{0, kControlKey, "ą"}, "Super+Ą"},
      {{0, kControlKey, "ß"}, "Super+ß"},        // one key, one letter: not "SS"
      {{0, kControlKey, "\xC3"}, "Super+\xC3"},  // a cut sequence passes through unchanged
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
