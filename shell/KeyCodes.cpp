#include "shell/KeyCodes.h"

#include <utility>

#include "settings/KeyPositions.h"
#include "settings/Shortcut.h"

namespace velmora::shell {
namespace {

constexpr uint8_t kEvdevToX11 = 8;

constexpr std::pair<uint32_t, uint16_t> kModifiers[] = {
    {settings::kCommandKey, kX11Control},
    {settings::kOptionKey, kX11Alt},
    {settings::kShiftKey, kX11Shift},
    {settings::kControlKey, kX11Super},
};

}  // namespace

std::optional<uint8_t> x11Keycode(uint32_t key) {
  const auto evdev = settings::evdevCode(key);
  if (!evdev || *evdev + kEvdevToX11 > 255) return std::nullopt;
  return uint8_t(*evdev + kEvdevToX11);
}

uint16_t x11Modifiers(uint32_t modifiers) {
  uint16_t mask = 0;
  for (const auto& [bit, x11] : kModifiers) {
    if ((modifiers & bit) != 0) mask |= x11;
  }
  return mask;
}

}  // namespace velmora::shell
