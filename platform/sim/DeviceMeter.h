#pragma once

#include <cstdint>
#include <vector>

namespace velmora::platform::sim {

// What a device played recently: the last samples of each channel, and their peak and RMS.
class DeviceMeter {
 public:
  static constexpr uint32_t kWindowFrames = 8192;

  explicit DeviceMeter(uint32_t channels = 0);

  // Appends interleaved frames of this device's channel count.
  void append(const float* interleaved, uint32_t frames);
  // The last `frames` samples of a channel, oldest first (fewer when not played yet).
  std::vector<float> recent(uint32_t channel, uint32_t frames) const;
  float peak(uint32_t channel, uint32_t frames = kWindowFrames) const;
  float rms(uint32_t channel, uint32_t frames = kWindowFrames) const;
  uint32_t channels() const { return channels_; }
  uint64_t framesPlayed() const { return played_; }

 private:
  uint32_t channels_;
  std::vector<float> ring_;  // kWindowFrames x channels, interleaved
  uint32_t next_ = 0;
  uint64_t played_ = 0;
};

}  // namespace velmora::platform::sim
