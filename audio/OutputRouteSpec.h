#pragma once

#include <string>

#include "audio/AudioDevice.h"
#include "settings/DeviceEQ.h"

namespace velmora::audio {

// One output route of a tap session: where it plays and how it is shaped.
struct OutputRouteSpec {
  std::string key;
  AudioDevice device;
  float gain = 1.0f;  // the multi-output level; the processing core clamps it
  settings::DeviceEQ eq;
  float boost = 1.0f;  // 1.0 or 2.0 (about +6 dB)

  bool operator==(const OutputRouteSpec&) const = default;
};

}  // namespace velmora::audio
