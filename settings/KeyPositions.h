// Stored shortcuts name keys by the codes they were recorded with. On Linux a key is found by its
// place on the keyboard: each stored code stands for the evdev key at the same position, the same
// on every layout.
#pragma once

#include <cstdint>
#include <optional>

namespace velmora::settings {

// The evdev code of the key a stored key code stands for, or none for a code without a key here.
std::optional<uint16_t> evdevCode(uint32_t storedKey);
// The stored key code of an evdev key, or none.
std::optional<uint32_t> storedKeyOfEvdev(uint16_t evdevCode);

// Stored codes with a meaning of their own while recording.
inline constexpr uint32_t kKeyReturn = 36;
inline constexpr uint32_t kKeyTab = 48;
inline constexpr uint32_t kKeySpace = 49;
inline constexpr uint32_t kKeyDelete = 51;  // the backspace key
inline constexpr uint32_t kKeyEscape = 53;
inline constexpr uint32_t kKeyForwardDelete = 117;
inline constexpr uint32_t kKeyLeft = 123;
inline constexpr uint32_t kKeyRight = 124;
inline constexpr uint32_t kKeyDown = 125;
inline constexpr uint32_t kKeyUp = 126;

}  // namespace velmora::settings
