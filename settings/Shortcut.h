#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora::settings {

enum class HotkeyAction { panel, mute, quieter, louder, nextOutput };

// Every action, in the fixed order that also gives each its hot-key id (1 for the first).
constexpr std::array<HotkeyAction, 5> allHotkeyActions{HotkeyAction::panel, HotkeyAction::mute,
                                                       HotkeyAction::quieter, HotkeyAction::louder,
                                                       HotkeyAction::nextOutput};

// The key of an action in Preferences::shortcuts.
std::string_view rawValue(HotkeyAction action);
std::optional<HotkeyAction> hotkeyActionFromRawValue(std::string_view raw);

// The number the action's hot key is registered under: 1...5, fixed by its position.
uint32_t hotkeyID(HotkeyAction action);
std::optional<HotkeyAction> hotkeyActionFromID(uint32_t id);

// The action's name as the user sees it.
std::string_view title(HotkeyAction action);

// Modifier bits of Shortcut::modifiers.
inline constexpr uint32_t kCommandKey = 0x100;
inline constexpr uint32_t kShiftKey = 0x200;
inline constexpr uint32_t kOptionKey = 0x800;
inline constexpr uint32_t kControlKey = 0x1000;

// A global hotkey in the platform's hotkey encoding.
struct Shortcut {
  uint32_t key = 0;        // virtual key code
  uint32_t modifiers = 0;  // Command 256, Shift 512, Option 2048, Control 4096, added
  std::string label;       // display text of the key, e.g. "M"

  bool operator==(const Shortcut&) const = default;

  // The combination as text: "Ctrl+", "Alt+", "Shift+", "Super+" for the modifiers held, in that
  // order, then the label in upper case ("Ctrl+Alt+M").
  std::string display() const;

  // Same key and modifiers; the label plays no part.
  bool sameCombination(const Shortcut& other) const {
    return key == other.key && modifiers == other.modifiers;
  }
};

}  // namespace velmora::settings
