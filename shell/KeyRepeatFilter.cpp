#include "shell/KeyRepeatFilter.h"

namespace velmora::shell {

bool KeyRepeatFilter::press(uint8_t keycode, uint32_t time) {
  const bool held = held_[keycode];
  held_[keycode] = true;
  const auto released = released_.find(keycode);
  const bool repeated = released != released_.end() && released->second == time;
  return !held && !repeated;
}

void KeyRepeatFilter::release(uint8_t keycode, uint32_t time) {
  held_[keycode] = false;
  released_[keycode] = time;
}

}  // namespace velmora::shell
