#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/AudioTypes.h"

namespace velmora::audio {

// One audio device as the program sees it. The id is valid only while the device exists.
struct AudioDevice {
  AudioObjectID id = 0;
  std::string uid;
  std::string name;
  int inputs = 0;
  int outputs = 0;
  uint32_t transport = 0;

  bool operator==(const AudioDevice&) const = default;

  // Every usable device: alive, not one of the program's own aggregates, ordered by name.
  static std::vector<AudioDevice> all();
};

// UIDs of the program's own aggregate devices start with this.
inline constexpr const char* kAggregateUIDPrefix = "com.local.Ombrel.aggregate.";

}  // namespace velmora::audio
