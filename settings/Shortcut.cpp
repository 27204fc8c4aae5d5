#include "settings/Shortcut.h"

#include <array>
#include <utility>

namespace velmora::settings {

namespace {
constexpr std::array<std::pair<HotkeyAction, std::string_view>, 5> kRawValues{{
    {HotkeyAction::panel, "panel"},
    {HotkeyAction::mute, "mute"},
    {HotkeyAction::quieter, "quieter"},
    {HotkeyAction::louder, "louder"},
    {HotkeyAction::nextOutput, "nextOutput"},
}};
}  // namespace

std::string_view rawValue(HotkeyAction action) {
  for (const auto& [candidate, raw] : kRawValues) {
    if (candidate == action) return raw;
  }
  return {};
}

std::optional<HotkeyAction> hotkeyActionFromRawValue(std::string_view raw) {
  for (const auto& [action, candidate] : kRawValues) {
    if (candidate == raw) return action;
  }
  return std::nullopt;
}

}  // namespace velmora::settings
