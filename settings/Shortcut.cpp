#include "settings/Shortcut.h"

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

void appendUTF8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// Upper case for the letters keyboards print on their keys (Latin, Latin-1, Greek, Cyrillic);
// everything else, symbols such as "↑" included, is left as it is.
char32_t upperCase(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

// Decodes one well-formed UTF-8 sequence at `text[i]`; returns its length, or 0 when the bytes
// there are not one (they are then copied unchanged, byte by byte).
size_t decode(std::string_view text, size_t i, char32_t& c) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    c = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  return length;
}

std::string upperCased(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const size_t length = decode(text, i, c);
    if (length == 0) {
      out += text[i++];
      continue;
    }
    const char32_t upper = upperCase(c);
    // Only changed characters are re-encoded, so overlong or odd input passes through untouched.
    if (upper == c) {
      out.append(text.substr(i, length));
    } else {
      appendUTF8(out, upper);
    }
    i += length;
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
  static constexpr std::pair<uint32_t, std::string_view> kSymbols[] = {
      {kControlKey, "⌃"}, {kOptionKey, "⌥"}, {kShiftKey, "⇧"}, {kCommandKey, "⌘"}};
  std::string text;
  for (const auto& [bit, symbol] : kSymbols) {
    if ((modifiers & bit) != 0) text += symbol;
  }
  return text + upperCased(label);
}

}  // namespace velmora::settings
