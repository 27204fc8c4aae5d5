// Stored shortcuts keep the key codes and modifier bits they were recorded with. On X11 the key is
// found by its position: each stored code maps to the evdev key at the same place on the
// keyboard, whose X keycode is the evdev code + 8. Modifiers: Command is Ctrl, Option is Alt,
// Shift is Shift and Control is Super.
#pragma once

#include <cstdint>
#include <optional>

namespace velmora::shell {

// X11 modifier masks (the core protocol's state bits).
inline constexpr uint16_t kX11Shift = 1 << 0;
inline constexpr uint16_t kX11Lock = 1 << 1;
inline constexpr uint16_t kX11Control = 1 << 2;
inline constexpr uint16_t kX11Alt = 1 << 3;      // Mod1
inline constexpr uint16_t kX11NumLock = 1 << 4;  // Mod2
inline constexpr uint16_t kX11Super = 1 << 6;    // Mod4

// The X keycode of a stored key code, or none for a key this keyboard mapping does not know.
std::optional<uint8_t> x11Keycode(uint32_t storedKey);

// Stored modifier bits (0x100 Command, 0x200 Shift, 0x800 Option, 0x1000 Control) as X masks.
uint16_t x11Modifiers(uint32_t storedModifiers);

}  // namespace velmora::shell
