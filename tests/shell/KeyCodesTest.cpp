// Stored key codes and modifier bits against X keycodes and masks, by key position; X's key
// repeat in both of its forms.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "settings/Shortcut.h"
#include "shell/KeyCodes.h"
#include "shell/KeyRepeatFilter.h"

namespace velmora::shell {
namespace {

TEST(KeyCodes, StoredKeysMapToTheKeyInTheSamePlaceAndBack) {
  // A letter, the space bar, an arrow and a function key: the rest of the table is the same kind.
  const std::pair<uint32_t, uint8_t> keys[] = {{46, 58}, {49, 65}, {126, 111}, {122, 67}};
  for (const auto& [stored, x11] : keys) {
    EXPECT_EQ(x11Keycode(stored), x11) << stored;
    EXPECT_EQ(storedKey(x11), stored) << int(x11);
  }
  EXPECT_EQ(x11Keycode(0x34), std::nullopt) << "no key there";
  EXPECT_EQ(storedKey(255), std::nullopt);
  // Every mapped key comes back as itself.
  for (uint32_t key = 0; key < 0x80; ++key) {
    if (const auto keycode = x11Keycode(key)) {
      EXPECT_EQ(storedKey(*keycode), key);
    }
  }
}

TEST(KeyCodes, CommandIsCtrlOptionIsAltControlIsSuper) {
  using namespace settings;
  EXPECT_EQ(x11Modifiers(kCommandKey | kOptionKey), kX11Control | kX11Alt);
  EXPECT_EQ(x11Modifiers(kControlKey | kShiftKey), kX11Super | kX11Shift);
  EXPECT_EQ(storedModifiers(kX11Control | kX11Alt | kX11Lock | kX11NumLock),
            kCommandKey | kOptionKey)
      << "Caps Lock and Num Lock are no part of a combination";
  EXPECT_EQ(storedModifiers(x11Modifiers(0x1B00)), 0x1B00u);
}

TEST(KeyRepeatFilter, AHeldKeyActsOnceWhicheverWayXRepeatsIt) {
  using Event = std::tuple<bool, uint8_t, uint32_t>;  // pressed or released, keycode, time
  const std::vector<Event> detectable = {
      {true, 58, 100}, {true, 58, 130}, {true, 58, 160}, {false, 58, 170}, {true, 58, 900}};
  const std::vector<Event> pairs = {{true, 58, 100},  {false, 58, 130}, {true, 58, 130},
                                    {false, 58, 160}, {true, 58, 160},  {false, 58, 170},
                                    {true, 111, 171}, {true, 58, 900}};
  for (const auto& events : {detectable, pairs}) {
    KeyRepeatFilter filter;
    int actions = 0;
    for (const auto& [press, keycode, time] : events) {
      if (!press) {
        filter.release(keycode, time);
      } else if (filter.press(keycode, time)) {
        ++actions;
      }
    }
    EXPECT_EQ(actions, events.size() == detectable.size() ? 2 : 3);
  }
}

}  // namespace
}  // namespace velmora::shell
