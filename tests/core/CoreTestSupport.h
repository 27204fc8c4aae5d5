// Test helpers for the processing core: states that free themselves, and buffer lists that own
// their samples. Every buffer sits between guard bytes, so a test can prove the render never wrote
// outside a buffer.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
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
  explicit BufferList(const std::vector<BufferSpec>& specs);

  AudioBufferList* get() { return list_.get(); }
  AudioBuffer& buffer(uint32_t index) { return list_->buffers[index]; }
  float* samples(uint32_t index) { return static_cast<float*>(list_->buffers[index].data); }
  float& at(uint32_t index, uint32_t frame, uint32_t channel) {
    return samples(index)[size_t(frame) * buffer(index).numberChannels + channel];
  }
  void fill(float value);
  // True when nothing outside any buffer's byte size was written.
  bool guardsIntact() const;

 private:
  static constexpr size_t kGuardBytes = 64;
  static constexpr uint8_t kGuardPattern = 0xA5;
  struct FreeList {
    void operator()(AudioBufferList* list) const { std::free(list); }
  };
  std::unique_ptr<AudioBufferList, FreeList> list_;
  std::vector<std::vector<uint8_t>> storage_;  // guard, samples, guard
};

// Interleaved sine of the given frequency and amplitude into channel `channel` of buffer `index`.
void writeSine(BufferList& list, uint32_t index, uint32_t channel, double frequency,
               double sampleRate, float amplitude, uint64_t firstFrame = 0);

// Root mean square of one channel over frames [from, to).
double rms(BufferList& list, uint32_t index, uint32_t channel, uint32_t from, uint32_t to);

}  // namespace velmora::test
