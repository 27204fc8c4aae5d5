#include "BufferList.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace velmora::test {

BufferList::BufferList(const std::vector<BufferSpec>& specs)
    : list_(static_cast<AudioBufferList*>(
          std::calloc(1, AudioBufferListSize(uint32_t(specs.size()))))) {
  list_->numberBuffers = uint32_t(specs.size());
  storage_.resize(specs.size());
  for (size_t i = 0; i < specs.size(); ++i) {
    const BufferSpec& spec = specs[i];
    const uint64_t allocationChannels = spec.channels > 8 ? 1 : spec.channels;
    const size_t bytes =
        spec.explicitByteSize
            ? spec.byteSize
            : size_t(spec.frames) * allocationChannels * sizeof(float) + spec.extraBytes;
    AudioBuffer& buffer = list_->buffers[i];
    buffer.numberChannels = spec.channels;
    buffer.dataByteSize = uint32_t(bytes);
    if (!spec.hasData) continue;
    Storage& storage = storage_[i];
    storage.dataBytes = bytes;
    storage.words.assign(kGuardWords * 2 + (bytes + 3) / 4, kGuardPattern);
    std::memset(storage.words.data() + kGuardWords, 0, bytes);
    buffer.data = storage.words.data() + kGuardWords;
  }
}

float& BufferList::at(uint32_t index, uint32_t frame, uint32_t channel) {
  const AudioBuffer& buffer = list_->buffers[index];
  return static_cast<float*>(buffer.data)[size_t(frame) * buffer.numberChannels + channel];
}

void BufferList::fill(float value) {
  for (uint32_t i = 0; i < list_->numberBuffers; ++i) {
    const AudioBuffer& buffer = list_->buffers[i];
    if (buffer.data == nullptr) continue;
    auto* samples = static_cast<float*>(buffer.data);
    for (size_t s = 0; s < buffer.dataByteSize / sizeof(float); ++s) samples[s] = value;
  }
}

bool BufferList::guardsIntact() const {
  for (const Storage& storage : storage_) {
    if (storage.words.empty()) continue;
    const auto* bytes = reinterpret_cast<const uint8_t*>(storage.words.data());
    const size_t dataBegin = kGuardWords * 4;
    const size_t dataEnd = dataBegin + storage.dataBytes;
    const size_t total = storage.words.size() * 4;
    for (size_t b = 0; b < total; ++b) {
      if (b >= dataBegin && b < dataEnd) continue;
      const uint32_t word = storage.words[b / 4];
      // Bytes past the data in its last word keep the pattern only if never written.
      if (b >= dataEnd && b < ((dataEnd + 3) / 4) * 4) {
        const auto* pattern = reinterpret_cast<const uint8_t*>(&kGuardPattern);
        if (bytes[b] != pattern[b % 4]) return false;
        continue;
      }
      if (word != kGuardPattern) return false;
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
