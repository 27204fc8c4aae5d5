#pragma once

#include <charconv>
#include <string>

namespace velmora::audio {

// The shortest decimal text that reads back as the same number, always with a fraction part:
// 48000.0, 0.35, 1.0.
template <class Number>
std::string decimalText(Number value) {
  char buffer[512];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  std::string text(buffer, result.ptr);
  if (text.find('.') == std::string::npos && text.find_first_of("ni") == std::string::npos)
    text += ".0";
  return text;
}

}  // namespace velmora::audio
