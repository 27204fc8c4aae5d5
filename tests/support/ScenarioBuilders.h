// Test helpers: scenario records without spelling every field.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/Scenario.h"

namespace velmora::test {

inline platform::sim::ScenarioDevice simDevice(
    std::string uid, std::string name, std::vector<uint32_t> outputs,
    std::vector<uint32_t> inputs = {},
    std::vector<platform::sim::VolumeElement> outputVolume = {}) {
  platform::sim::ScenarioDevice device;
  device.uid = std::move(uid);
  device.name = std::move(name);
  device.output.streams = std::move(outputs);
  device.input.streams = std::move(inputs);
  device.output.volume = std::move(outputVolume);
  return device;
}

}  // namespace velmora::test
