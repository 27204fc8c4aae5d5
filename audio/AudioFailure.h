#pragma once

#include <exception>
#include <string>

namespace velmora::audio {

// The audio layer's error: one finished message for the user.
struct AudioFailure : std::exception {
  std::string message;

  explicit AudioFailure(std::string text) : message(std::move(text)) {}
  const char* what() const noexcept override { return message.c_str(); }
  bool operator==(const AudioFailure& other) const { return message == other.message; }
};

}  // namespace velmora::audio
