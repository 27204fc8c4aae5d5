#include <gtest/gtest.h>

#include <string>

#include "settings/Preferences.h"
#include "settings/Shortcut.h"

namespace velmora::settings {
namespace {

TEST(Shortcut, DisplayShowsModifiersInFixedOrderThenTheLabelUpperCased) {
  const struct {
    uint32_t modifiers;
    std::string label;
    std::string display;
  } cases[] = {
      {kControlKey | kOptionKey, "m", "⌃⌥M"},
      {kOptionKey | kCommandKey, "M", "⌥⌘M"},
      {kControlKey | kOptionKey, "↑", "⌃⌥↑"},
      {kCommandKey | kShiftKey | kOptionKey | kControlKey, "k", "⌃⌥⇧⌘K"},
      {kCommandKey | kShiftKey, "a", "⇧⌘A"},
      {0, "Space", "SPACE"},
      {kCommandKey | 0x1, "Key 10", "⌘KEY 10"},  // bits outside the four show nothing
      {kControlKey, "é", "⌃É"},
      {kControlKey, "я", "⌃Я"},
      {kControlKey, "ß", "⌃ß"},        // no single upper-case letter: kept
      {kControlKey, "\xC3", "⌃\xC3"},  // a cut sequence passes through unchanged
      {kControlKey, "", "⌃"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ((Shortcut{46, c.modifiers, c.label}.display()), c.display) << c.label;
  }
}

TEST(Shortcut, DefaultPanelBindingShowsOptionCommandM) {
  EXPECT_EQ(Preferences{}.shortcuts.at("panel").display(), "⌥⌘M");
}

TEST(Shortcut, SameCombinationIgnoresTheLabel) {
  EXPECT_TRUE((Shortcut{126, 0x1800, "↑"}.sameCombination({126, 0x1800, "Up"})));
  EXPECT_FALSE((Shortcut{126, 0x1800, "↑"}.sameCombination({126, 0x1900, "↑"})));
  EXPECT_FALSE((Shortcut{126, 0x1800, "↑"}.sameCombination({125, 0x1800, "↑"})));
}

TEST(HotkeyAction, IdsTitlesAndRawValuesFollowTheFixedOrder) {
  const struct {
    HotkeyAction action;
    std::string raw;
    uint32_t id;
    std::string title;
  } table[] = {
      {HotkeyAction::panel, "panel", 1, "打开 / 关闭面板"},
      {HotkeyAction::mute, "mute", 2, "系统静音 / 恢复"},
      {HotkeyAction::quieter, "quieter", 3, "降低系统音量"},
      {HotkeyAction::louder, "louder", 4, "提高系统音量"},
      {HotkeyAction::nextOutput, "nextOutput", 5, "切换下一个输出设备"},
  };
  ASSERT_EQ(allHotkeyActions.size(), std::size(table));
  for (size_t i = 0; i < std::size(table); ++i) {
    const auto& row = table[i];
    EXPECT_EQ(allHotkeyActions[i], row.action);
    EXPECT_EQ(rawValue(row.action), row.raw);
    EXPECT_EQ(hotkeyActionFromRawValue(row.raw), row.action);
    EXPECT_EQ(hotkeyID(row.action), row.id);
    EXPECT_EQ(hotkeyActionFromID(row.id), row.action);
    EXPECT_EQ(title(row.action), row.title);
  }
  for (const uint32_t outside : {0u, 6u, 0xFFFFFFFFu}) {
    EXPECT_EQ(hotkeyActionFromID(outside), std::nullopt) << outside;
  }
  EXPECT_EQ(hotkeyActionFromRawValue("Panel"), std::nullopt);
}

}  // namespace
}  // namespace velmora::settings
