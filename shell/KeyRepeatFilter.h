// One action per key press. Holding a key makes X repeat it, either as further presses (with
// detectable auto-repeat) or as a release and a press with the same time stamp; neither is a new
// press.
#pragma once

#include <cstdint>
#include <map>

namespace velmora::shell {

class KeyRepeatFilter {
 public:
  // True for a press the user made, false for a repeat.
  bool press(uint8_t keycode, uint32_t time);
  void release(uint8_t keycode, uint32_t time);

 private:
  std::map<uint8_t, bool> held_;
  std::map<uint8_t, uint32_t> released_;  // time of each key's last release
};

}  // namespace velmora::shell
