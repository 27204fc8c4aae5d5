// How the backend's answers to property reads are laid out: the plain bytes of a value, and the
// stream format every node of ours and every device stream negotiates.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/audio/AudioTypes.h"

namespace velmora::platform::pipewire {

// The rate the graph runs at unless a device says otherwise.
inline constexpr double kGraphRate = 48000.0;

template <class T>
std::vector<uint8_t> bytesOf(const T& value) {
  const auto* raw = reinterpret_cast<const uint8_t*>(&value);
  return std::vector<uint8_t>(raw, raw + sizeof(T));
}

// Our streams always negotiate 32-bit float, interleaved.
inline AudioStreamBasicDescription floatFormat(uint32_t channels, double rate = kGraphRate) {
  AudioStreamBasicDescription format{};
  format.sampleRate = rate;
  format.formatID = kAudioFormatLinearPCM;
  format.formatFlags = kAudioFormatFlagIsFloat;
  format.bitsPerChannel = 32;
  format.channelsPerFrame = channels;
  format.framesPerPacket = 1;
  format.bytesPerFrame = 4 * channels;
  format.bytesPerPacket = format.bytesPerFrame;
  return format;
}

}  // namespace velmora::platform::pipewire
