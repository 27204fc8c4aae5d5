#include "settings/Shortcut.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <utility>

namespace velmora::settings {

namespace {

struct ActionEntry {
  HotkeyAction action;
  std::string_view raw;
  std::string_view title;
};

// Position in this table gives the hot-key id, so the order must never change.
constexpr std::array<ActionEntry, 5> kActions{{
    {HotkeyAction::panel, "panel", "打开 / 关闭面板"},
    {HotkeyAction::mute, "mute", "系统静音 / 恢复"},
    {HotkeyAction::quieter, "quieter", "降低系统音量"},
    {HotkeyAction::louder, "louder", "提高系统音量"},
    {HotkeyAction::nextOutput, "nextOutput", "切换下一个输出设备"},
}};

static_assert([] {
  for (size_t i = 0; i < kActions.size(); ++i) {
    if (kActions[i].action != allHotkeyActions[i]) return false;
  }
  return true;
}());

const ActionEntry* entry(HotkeyAction action) {
  for (const auto& candidate : kActions) {
    if (candidate.action == action) return &candidate;
  }
  return nullptr;
}

// The label in upper case as a key cap prints it: ICU's simple case mapping, one character for
// one, so "é" shows "É" but "ß" stays "ß" (the full mapping's "SS" would read as two keys). Bytes
// that are not UTF-8 pass through unchanged.
std::string upperCased(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto length = int32_t(text.size());
  for (int32_t at = 0; at < length;) {
    const int32_t start = at;
    UChar32 c = 0;
    U8_NEXT(text.data(), at, length, c);
    const UChar32 upper = c < 0 ? c : u_toupper(c);
    if (upper == c) {
      out.append(text.substr(size_t(start), size_t(at - start)));
    } else {
      char encoded[U8_MAX_LENGTH];
      int32_t size = 0;
      U8_APPEND_UNSAFE(encoded, size, upper);
      out.append(encoded, size_t(size));
    }
  }
  return out;
}

}  // namespace

std::string_view rawValue(HotkeyAction action) {
  const ActionEntry* found = entry(action);
  return found != nullptr ? found->raw : std::string_view{};
}

std::optional<HotkeyAction> hotkeyActionFromRawValue(std::string_view raw) {
  for (const auto& candidate : kActions) {
    if (candidate.raw == raw) return candidate.action;
  }
  return std::nullopt;
}

uint32_t hotkeyID(HotkeyAction action) {
  for (size_t i = 0; i < kActions.size(); ++i) {
    if (kActions[i].action == action) return uint32_t(i + 1);
  }
  return 0;
}

std::optional<HotkeyAction> hotkeyActionFromID(uint32_t id) {
  if (id == 0 || id > kActions.size()) return std::nullopt;
  return kActions[id - 1].action;
}

std::string_view title(HotkeyAction action) {
  const ActionEntry* found = entry(action);
  return found != nullptr ? found->title : std::string_view{};
}

std::string Shortcut::display() const {
  // The stored bits keep their original meaning; on this desktop Command is Ctrl, Option is Alt
  // and Control is Super.
  static constexpr std::pair<uint32_t, std::string_view> kSymbols[] = {
      {kCommandKey, "Ctrl+"}, {kOptionKey, "Alt+"}, {kShiftKey, "Shift+"}, {kControlKey, "Super+"}};
  std::string text;
  for (const auto& [bit, symbol] : kSymbols) {
    if ((modifiers & bit) != 0) text += symbol;
  }
  return text + upperCased(label);
}

}  // namespace velmora::settings
