#include "platform/sim/DeviceMeter.h"

#include <algorithm>
#include <cmath>

namespace velmora::platform::sim {

DeviceMeter::DeviceMeter(uint32_t channels)
    : channels_(channels), ring_(size_t(kWindowFrames) * channels, 0.0f) {}

void DeviceMeter::append(const float* interleaved, uint32_t frames) {
  if (channels_ == 0) return;
  for (uint32_t i = 0; i < frames; ++i) {
    std::copy_n(interleaved + size_t(i) * channels_, channels_,
                ring_.begin() + size_t(next_) * channels_);
    next_ = (next_ + 1) % kWindowFrames;
  }
  played_ += frames;
}

std::vector<float> DeviceMeter::recent(uint32_t channel, uint32_t frames) const {
  if (channel >= channels_) return {};
  frames = uint32_t(std::min<uint64_t>({frames, kWindowFrames, played_}));
  std::vector<float> samples(frames);
  for (uint32_t i = 0; i < frames; ++i) {
    const uint32_t frame = (next_ + kWindowFrames - frames + i) % kWindowFrames;
    samples[i] = ring_[size_t(frame) * channels_ + channel];
  }
  return samples;
}

float DeviceMeter::peak(uint32_t channel, uint32_t frames) const {
  float result = 0.0f;
  for (float s : recent(channel, frames)) result = std::max(result, std::fabs(s));
  return result;
}

float DeviceMeter::rms(uint32_t channel, uint32_t frames) const {
  const auto samples = recent(channel, frames);
  if (samples.empty()) return 0.0f;
  double sum = 0.0;
  for (float s : samples) sum += double(s) * s;
  return float(std::sqrt(sum / double(samples.size())));
}

}  // namespace velmora::platform::sim
