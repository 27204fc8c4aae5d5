#include <algorithm>
#include <cmath>
#include <numbers>

#include "CoreTestSupport.h"

namespace velmora::test {

BufferList::BufferList(const std::vector<BufferSpec>& specs)
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

void BufferList::fill(float value) {
  for (uint32_t i = 0; i < list_->numberBuffers; ++i) {
    if (samples(i) != nullptr) std::fill_n(samples(i), buffer(i).dataByteSize / 4, value);
  }
}

bool BufferList::guardsIntact() const {
  for (const std::vector<uint8_t>& bytes : storage_) {
    for (size_t b = 0; b < bytes.size(); ++b) {
      const bool guard = b < kGuardBytes || b >= bytes.size() - kGuardBytes;
      if (guard && bytes[b] != kGuardPattern) return false;
    }
  }
  return true;
}

void writeSine(BufferList& list, uint32_t index, uint32_t channel, double frequency,
               double sampleRate, float amplitude, uint64_t firstFrame) {
  const AudioBuffer& buffer = list.buffer(index);
  const uint32_t frames = buffer.dataByteSize / (buffer.numberChannels * sizeof(float));
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = double(firstFrame + i) / sampleRate;
    list.at(index, i, channel) =
        amplitude * float(std::sin(2.0 * std::numbers::pi * frequency * t));
  }
}

double rms(BufferList& list, uint32_t index, uint32_t channel, uint32_t from, uint32_t to) {
  double sum = 0.0;
  for (uint32_t i = from; i < to; ++i) {
    const double v = list.at(index, i, channel);
    sum += v * v;
  }
  return std::sqrt(sum / double(to - from));
}

}  // namespace velmora::test
