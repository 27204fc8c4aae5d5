// Stored key codes and modifier bits as X keycodes and masks, by key position; X's key repeat in
// both of its forms.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "settings/Shortcut.h"
#include "shell/KeyCodes.h"
#include "shell/KeyRepeatFilter.h"

namespace velmora::shell {
namespace {

// The arrow, Ctrl and Alt, and a key the mapping does not know, are the hotkey service's test on a
// real X server.
TEST(KeyCodes, StoredKeysAndModifiersMapToTheKeyInTheSamePlace) {
  const std::pair<uint32_t, uint8_t> keys[] = {{46, 58}, {49, 65}, {122, 67}};
  for (const auto& [stored, x11] : keys) {
    EXPECT_EQ(x11Keycode(stored), x11) << stored;
  }
  EXPECT_EQ(x11Modifiers(settings::kControlKey | settings::kShiftKey), kX11Super | kX11Shift);
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
