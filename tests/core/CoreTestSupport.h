// Test helpers for the processing core: states that free themselves, and buffer lists that own
// their samples. Every buffer sits between guard bytes, so a test can prove the render never wrote
// outside a buffer.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <vector>

#include "core/ProcessingCore.h"

namespace velmora::test {

struct StateDeleter {
  void operator()(OMState* state) const { OMDestroyState(state); }
};
using State = std::unique_ptr<OMState, StateDeleter>;

inline State makeState(uint32_t taps = 1, float gain = 1.0f, double rate = 48000.0) {
  return State(OMCreateState(taps, gain, rate));
}

struct BufferSpec {
  uint32_t channels = 2;
  uint32_t frames = 0;
  bool hasData = true;
  uint32_t extraBytes = 0;  // makes the byte size something other than whole frames

  // An absurd channel count gets the bytes of one channel per frame.
  uint32_t byteSize() const { return frames * (channels > 8 ? 1 : channels) * 4 + extraBytes; }
};

class BufferList {
 public:
  explicit BufferList(const std::vector<BufferSpec>& specs)
      : list_(static_cast<AudioBufferList*>(
            std::calloc(1, AudioBufferListSize(uint32_t(specs.size()))))),
        storage_(specs.size()) {
    list_->numberBuffers = uint32_t(specs.size());
    for (size_t i = 0; i < specs.size(); ++i) {
      AudioBuffer& buffer = list_->buffers[i];
      buffer.numberChannels = specs[i].channels;
      buffer.dataByteSize = specs[i].byteSize();
      if (!specs[i].hasData) continue;
      storage_[i].assign(kGuardBytes * 2 + buffer.dataByteSize, kGuardPattern);
      std::fill_n(storage_[i].begin() + kGuardBytes, buffer.dataByteSize, 0);
      buffer.data = storage_[i].data() + kGuardBytes;
    }
  }

  AudioBufferList* get() { return list_.get(); }
  AudioBuffer& buffer(uint32_t index) { return list_->buffers[index]; }
  float* samples(uint32_t index) { return static_cast<float*>(list_->buffers[index].data); }
  float& at(uint32_t index, uint32_t frame, uint32_t channel) {
    return samples(index)[size_t(frame) * buffer(index).numberChannels + channel];
  }
  void fill(float value) {
    for (uint32_t i = 0; i < list_->numberBuffers; ++i) {
      if (samples(i) != nullptr) std::fill_n(samples(i), buffer(i).dataByteSize / 4, value);
    }
  }
  // True when nothing outside any buffer's byte size was written.
  bool guardsIntact() const {
    return std::all_of(storage_.begin(), storage_.end(), [](const std::vector<uint8_t>& bytes) {
      const auto guard = [](uint8_t byte) { return byte == kGuardPattern; };
      return bytes.empty() || (std::all_of(bytes.begin(), bytes.begin() + kGuardBytes, guard) &&
                               std::all_of(bytes.end() - kGuardBytes, bytes.end(), guard));
    });
  }

 private:
  static constexpr size_t kGuardBytes = 64;
  static constexpr uint8_t kGuardPattern = 0xA5;
  struct FreeList {
    void operator()(AudioBufferList* list) const { std::free(list); }
  };
  std::unique_ptr<AudioBufferList, FreeList> list_;
  std::vector<std::vector<uint8_t>> storage_;  // guard, samples, guard
};

// A sine of the given frequency and amplitude into channel `channel` of the first buffer.
inline void writeSine(BufferList& list, uint32_t channel, double frequency, double sampleRate,
                      float amplitude, uint64_t firstFrame = 0) {
  const AudioBuffer& buffer = list.buffer(0);
  const uint32_t frames = buffer.dataByteSize / (buffer.numberChannels * sizeof(float));
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = double(firstFrame + i) / sampleRate;
    list.at(0, i, channel) = amplitude * float(std::sin(2.0 * std::numbers::pi * frequency * t));
  }
}

// Root mean square of the first buffer's first channel.
inline double rms(BufferList& list) {
  const AudioBuffer& buffer = list.buffer(0);
  const uint32_t frames = buffer.dataByteSize / (buffer.numberChannels * sizeof(float));
  double sum = 0.0;
  for (uint32_t i = 0; i < frames; ++i) sum += double(list.at(0, i, 0)) * list.at(0, i, 0);
  return std::sqrt(sum / double(frames));
}

}  // namespace velmora::test
