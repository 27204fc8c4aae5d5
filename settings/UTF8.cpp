#include "settings/UTF8.h"

#include <cstdint>

namespace velmora::settings {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 if there is none
// (overlong forms, surrogates and values above U+10FFFF are not well formed).
size_t sequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const auto continuation = [&](size_t i, uint8_t low = 0x80, uint8_t high = 0xBF) {
    return i < text.size() && byte(i) >= low && byte(i) <= high;
  };
  const uint8_t lead = byte(0);
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return continuation(1) ? 2 : 0;
  if (lead >= 0xE0 && lead <= 0xEF) {
    const uint8_t low = lead == 0xE0 ? 0xA0 : 0x80;
    const uint8_t high = lead == 0xED ? 0x9F : 0xBF;
    return continuation(1, low, high) && continuation(2) ? 3 : 0;
  }
  if (lead >= 0xF0 && lead <= 0xF4) {
    const uint8_t low = lead == 0xF0 ? 0x90 : 0x80;
    const uint8_t high = lead == 0xF4 ? 0x8F : 0xBF;
    return continuation(1, low, high) && continuation(2) && continuation(3) ? 4 : 0;
  }
  return 0;
}

// The code point of a well-formed sequence of `length` bytes at the start of `text`.
char32_t codePoint(std::string_view text, size_t length) {
  const auto byte = [&](size_t i) { return char32_t(static_cast<uint8_t>(text[i])); };
  switch (length) {
    case 1:
      return byte(0);
    case 2:
      return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
    case 3:
      return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
    default:
      return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
             (byte(3) & 0x3F);
  }
}

bool isWhitespaceOrNewline(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// Marks and joiners that belong to the character before them. Brahmic scripts share one layout
// per 128-code-point block, so their vowel signs and viramas sit at the same offsets.
bool extendsPrevious(char32_t c) {
  struct Range {
    char32_t first, last;
  };
  static constexpr Range kRanges[] = {
      {0x0300, 0x036F}, {0x0483, 0x0489},   {0x0591, 0x05BD},   {0x05BF, 0x05BF},
      {0x05C1, 0x05C2}, {0x05C4, 0x05C5},   {0x05C7, 0x05C7},   {0x0610, 0x061A},
      {0x064B, 0x065F}, {0x0670, 0x0670},   {0x06D6, 0x06DC},   {0x06DF, 0x06E4},
      {0x06E7, 0x06E8}, {0x06EA, 0x06ED},   {0x0E31, 0x0E31},   {0x0E34, 0x0E3A},
      {0x0E47, 0x0E4E}, {0x0EB1, 0x0EB1},   {0x0EB4, 0x0EBC},   {0x0EC8, 0x0ECD},
      {0x1160, 0x11FF}, {0x1AB0, 0x1AFF},   {0x1DC0, 0x1DFF},   {0x200C, 0x200D},
      {0x20D0, 0x20FF}, {0x302A, 0x302F},   {0x3099, 0x309A},   {0xFE00, 0xFE0F},
      {0xFE20, 0xFE2F}, {0x1F3FB, 0x1F3FF}, {0xE0020, 0xE007F}, {0xE0100, 0xE01EF},
  };
  for (const Range& range : kRanges) {
    if (c >= range.first && c <= range.last) return true;
  }
  if (c >= 0x0900 && c <= 0x0DFF) {
    const char32_t offset = c & 0x7F;
    return offset <= 0x03 || (offset >= 0x3A && offset <= 0x4F && offset != 0x3D) ||
           (offset >= 0x51 && offset <= 0x57) || (offset >= 0x62 && offset <= 0x63);
  }
  return false;
}

bool isRegionalIndicator(char32_t c) { return c >= 0x1F1E6 && c <= 0x1F1FF; }

// A joiner glues only pictographs into one emoji; before a letter it is an ordinary mark.
bool isPictograph(char32_t c) {
  return (c >= 0x2190 && c <= 0x21FF) || (c >= 0x2300 && c <= 0x23FF) ||
         (c >= 0x2600 && c <= 0x27BF) || (c >= 0x2B00 && c <= 0x2BFF) ||
         (c >= 0x1F000 && c <= 0x1FAFF);
}

}  // namespace

std::string_view firstCharacters(std::string_view text, size_t count) {
  size_t end = 0;
  size_t taken = 0;
  char32_t previous = 0;
  bool afterJoiner = false;  // a pictograph next continues the emoji sequence
  bool openFlag = false;     // one regional indicator waits for its partner
  while (end < text.size()) {
    const std::string_view rest = text.substr(end);
    const size_t length = sequenceLength(rest);
    const char32_t c = length == 0 ? 0xFFFD : codePoint(rest, length);
    const bool continues =
        length != 0 && taken > 0 &&
        (extendsPrevious(c) || (afterJoiner && isPictograph(c)) ||
         (openFlag && isRegionalIndicator(c)) || (previous == 0x0D && c == 0x0A));
    if (!continues) {
      if (taken == count) break;
      ++taken;
      openFlag = length != 0 && isRegionalIndicator(c);
    } else if (isRegionalIndicator(c)) {
      openFlag = false;
    }
    afterJoiner = length != 0 && c == 0x200D;
    previous = length == 0 ? 0 : c;
    end += length == 0 ? 1 : length;
  }
  return text.substr(0, end);
}

bool isValidUTF8(std::string_view text) {
  while (!text.empty()) {
    const size_t length = sequenceLength(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

size_t countCharacters(std::string_view text) {
  size_t count = 0;
  while (!text.empty()) {
    const size_t length = sequenceLength(text);
    text.remove_prefix(length == 0 ? 1 : length);
    ++count;
  }
  return count;
}

std::string_view lastCharacters(std::string_view text, size_t count) {
  size_t start = text.size();
  for (size_t taken = 0; taken < count && start > 0; ++taken) {
    // Step back over continuation bytes to the lead byte, at most three of them.
    size_t lead = start - 1;
    while (lead > 0 && start - lead < 4 && (static_cast<uint8_t>(text[lead]) & 0xC0) == 0x80)
      --lead;
    start = sequenceLength(text.substr(lead)) == start - lead ? lead : start - 1;
  }
  return text.substr(start);
}

std::string_view trimWhitespaceAndNewlines(std::string_view text) {
  while (!text.empty()) {
    const size_t length = sequenceLength(text);
    if (length == 0 || !isWhitespaceOrNewline(codePoint(text, length))) break;
    text.remove_prefix(length);
  }
  while (!text.empty()) {
    // Step back over at most three continuation bytes to the lead byte of the last character.
    size_t lead = text.size() - 1;
    while (lead > 0 && text.size() - lead < 4 && (static_cast<uint8_t>(text[lead]) & 0xC0) == 0x80)
      --lead;
    const size_t length = text.size() - lead;
    if (sequenceLength(text.substr(lead)) != length ||
        !isWhitespaceOrNewline(codePoint(text.substr(lead), length))) {
      break;
    }
    text.remove_suffix(length);
  }
  return text;
}

std::string displayExcerpt(std::string_view text, size_t maximumCharacters) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  std::string excerpt;
  for (size_t count = 0; !text.empty(); ++count) {
    if (count == maximumCharacters) return excerpt + "…";
    const size_t length = sequenceLength(text);
    if (length == 0 || static_cast<uint8_t>(text[0]) < 0x20 || text[0] == 0x7F) {
      excerpt += kReplacement;
      text.remove_prefix(length == 0 ? 1 : length);
    } else {
      excerpt += text.substr(0, length);
      text.remove_prefix(length);
    }
  }
  return excerpt;
}

namespace {

// Copies `text`, handing each byte that starts no well-formed sequence to `invalid`.
template <class Invalid>
std::string copyValid(std::string_view text, Invalid invalid) {
  std::string result;
  result.reserve(text.size());
  while (!text.empty()) {
    const size_t length = sequenceLength(text);
    if (length == 0) {
      invalid(result, static_cast<uint8_t>(text[0]));
      text.remove_prefix(1);
    } else {
      result += text.substr(0, length);
      text.remove_prefix(length);
    }
  }
  return result;
}

}  // namespace

std::string escapedKey(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : text) {
    if (c == '\\') escaped += '\\';
    escaped += c;
  }
  return copyValid(escaped, [](std::string& out, uint8_t byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
  });
}

std::string replacingInvalidUTF8(std::string_view text) {
  return copyValid(text, [](std::string& out, uint8_t) { out += "\xEF\xBF\xBD"; });
}

}  // namespace velmora::settings
