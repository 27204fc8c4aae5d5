#include "audio/NaturalOrder.h"

#include <cstdint>

namespace velmora::audio {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The next code point of UTF-8 `text` at `at`, advancing `at`. A byte that does not start a
// well-formed sequence stands for itself, so malformed text still orders consistently.
char32_t nextCodePoint(std::string_view text, size_t& at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  size_t length = 1;
  char32_t point = lead;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07u;
  }
  if (length > 1) {
    if (at + length > text.size()) length = 1;
    for (size_t i = 1; i < length; ++i) {
      if ((byte(at + i) & 0xC0u) != 0x80u) {
        length = 1;
        break;
      }
      point = (point << 6) | (byte(at + i) & 0x3Fu);
    }
    if (length == 1) point = lead;
  }
  at += length;
  return point;
}

// Simple case folding for the scripts names are commonly written in; other characters are
// compared as they are.
char32_t folded(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 0x20;
  if (c < 0xC0) return c;
  if (c <= 0xDE && c != 0xD7) return c + 0x20;  // Latin-1 capitals, except the multiplication sign
  if (c >= 0x100 && c <= 0x17F) {               // Latin Extended-A: capital/small pairs
    if (c == 0x17F) return U's';                // long s
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149) return c;
    if (c == 0x178) return 0xFF;
    const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    const bool capital = oddPairs ? (c % 2 == 1) : (c % 2 == 0);
    return capital ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;  // Greek
  if (c == 0x386) return 0x3AC;                                 // Greek capitals with tonos
  if (c >= 0x388 && c <= 0x38A) return c + 0x25;
  if (c == 0x38C) return 0x3CC;
  if (c == 0x38E || c == 0x38F) return c + 0x3F;
  if (c == 0x3C2) return 0x3C3;                   // final sigma
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;  // Cyrillic
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  if (c >= 0xFF21 && c <= 0xFF3A) return c + 0x20;  // full-width Latin
  return c;
}

// A digit run of `text` starting at `at`: its value's significant digits and its full length.
struct DigitRun {
  std::string_view significant;
  size_t length = 0;
};

DigitRun digitRunAt(std::string_view text, size_t& at) {
  const size_t start = at;
  while (at < text.size() && isDigit(text[at])) ++at;
  size_t first = start;
  while (first < at && text[first] == '0') ++first;
  return {text.substr(first, at - first), at - start};
}

// -1, 0 or 1 as the value of run `a` is smaller than, equal to or greater than that of `b`.
int compareValues(const DigitRun& a, const DigitRun& b) {
  if (a.significant.size() != b.significant.size()) {
    return a.significant.size() < b.significant.size() ? -1 : 1;
  }
  const int order = a.significant.compare(b.significant);
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace

bool naturalLess(std::string_view a, std::string_view b) {
  size_t i = 0;
  size_t j = 0;
  // The first difference in leading zeros, used only when nothing else tells the names apart.
  int zerosOrder = 0;
  while (i < a.size() && j < b.size()) {
    const bool digitA = isDigit(a[i]);
    const bool digitB = isDigit(b[j]);
    if (digitA && digitB) {
      const DigitRun runA = digitRunAt(a, i);
      const DigitRun runB = digitRunAt(b, j);
      if (const int order = compareValues(runA, runB); order != 0) return order < 0;
      if (zerosOrder == 0 && runA.length != runB.length) {
        zerosOrder = runA.length < runB.length ? -1 : 1;
      }
      continue;
    }
    // A number sorts where its first digit would among the other characters.
    const char32_t charA = digitA ? U'0' : folded(nextCodePoint(a, i));
    const char32_t charB = digitB ? U'0' : folded(nextCodePoint(b, j));
    if (charA != charB) return charA < charB;
  }
  const bool restA = i < a.size();
  const bool restB = j < b.size();
  if (restA != restB) return restB;
  return zerosOrder < 0;
}

}  // namespace velmora::audio
