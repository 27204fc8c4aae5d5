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

TEST(HotkeyAction, IdsTitlesAndRawValuesFollowTheFixedOrder) {
  const struct {
    std::string_view raw, title;
  } table[] = {{"panel", "打开 / 关闭面板"},
               {"mute", "系统静音 / 恢复"},
               {"quieter", "降低系统音量"},
               {"louder", "提高系统音量"},
               {"nextOutput", "切换下一个输出设备"}};
  ASSERT_EQ(allHotkeyActions.size(), std::size(table));
  for (uint32_t id = 1; const auto& row : table) {
    const HotkeyAction action = allHotkeyActions[id - 1];
    EXPECT_EQ(rawValue(action), row.raw);
    EXPECT_EQ(hotkeyActionFromRawValue(row.raw), action);
    EXPECT_EQ(hotkeyID(action), id);
    EXPECT_EQ(hotkeyActionFromID(id), action);
    EXPECT_EQ(title(action), row.title);
    ++id;
  }
  for (const uint32_t outside : {0u, 6u, 0xFFFFFFFFu})
    EXPECT_EQ(hotkeyActionFromID(outside), std::nullopt) << outside;
  EXPECT_EQ(hotkeyActionFromRawValue("Panel"), std::nullopt);
}

}  // namespace
}  // namespace velmora::settings
