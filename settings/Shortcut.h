#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::settings {

enum class HotkeyAction { panel, mute, quieter, louder, nextOutput };

// The key of an action in Preferences::shortcuts.
std::string_view rawValue(HotkeyAction action);
std::optional<HotkeyAction> hotkeyActionFromRawValue(std::string_view raw);

// A global hotkey in the platform's hotkey encoding.
struct Shortcut {
  uint32_t key = 0;        // virtual key code
  uint32_t modifiers = 0;  // Command 256, Shift 512, Option 2048, Control 4096, added
  std::string label;       // display text of the key, e.g. "M"

  bool operator==(const Shortcut&) const = default;
};

}  // namespace velmora::settings
