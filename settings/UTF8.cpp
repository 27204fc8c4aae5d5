#include "settings/UTF8.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

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

}  // namespace

std::string_view firstCharacters(std::string_view text, size_t count) {
  // ICU walks UTF-16. Each stray byte becomes its own U+FFFD, and every UTF-16 unit remembers the
  // byte it came from, so a boundary maps back to a cut between UTF-8 sequences.
  icu::UnicodeString units;
  std::vector<size_t> byteOffsets;
  byteOffsets.reserve(text.size() + 1);
  for (size_t at = 0; at < text.size();) {
    const size_t length = sequenceLength(text.substr(at));
    units.append(UChar32(length == 0 ? 0xFFFD : codePoint(text.substr(at), length)));
    byteOffsets.resize(size_t(units.length()), at);
    at += length == 0 ? 1 : length;
  }
  byteOffsets.push_back(text.size());

  // Made per call: cuts happen when the user names something, and an iterator keeps a reference
  // to the text it walks.
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<icu::BreakIterator> characters(
      icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || characters == nullptr) {  // no segmentation data: count code points
    size_t end = 0;
    for (size_t taken = 0; taken < count && end < text.size(); ++taken) {
      end += std::max<size_t>(1, sequenceLength(text.substr(end)));
    }
    return text.substr(0, end);
  }
  characters->setText(units);
  int32_t end = 0;
  for (size_t taken = 0; taken < count; ++taken) {
    const int32_t next = characters->next();
    if (next == icu::BreakIterator::DONE) break;
    end = next;
  }
  return text.substr(0, byteOffsets[size_t(end)]);
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
    if (length == 0 || !u_isUWhiteSpace(codePoint(text, length))) break;
    text.remove_prefix(length);
  }
  while (!text.empty()) {
    // Step back over at most three continuation bytes to the lead byte of the last character.
    size_t lead = text.size() - 1;
    while (lead > 0 && text.size() - lead < 4 && (static_cast<uint8_t>(text[lead]) & 0xC0) == 0x80)
      --lead;
    const size_t length = text.size() - lead;
    if (sequenceLength(text.substr(lead)) != length ||
        !u_isUWhiteSpace(codePoint(text.substr(lead), length))) {
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
