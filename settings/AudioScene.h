#pragma once

#include <map>
#include <optional>
#include <string>

#include "settings/AppLevel.h"
#include "settings/DeviceEQ.h"
#include "settings/MultiOutputSettings.h"

namespace velmora::settings {

// A saved configuration that can be restored as a whole.
struct AudioScene {
  std::string id;  // a UUID string
  std::string name;
  std::optional<std::string> inputDeviceID;
  std::optional<std::string> outputDeviceID;
  float systemVolume = 1;
  // Absent when the input had no volume control.
  std::optional<float> inputVolume;
  bool systemMuted = false;
  bool inputMuted = false;
  std::map<std::string, AppLevel> apps;
  bool processingEnabled = false;
  std::map<std::string, DeviceEQ> equalizers;
  MultiOutputSettings multiOutput;
  std::optional<std::map<std::string, bool>> boostedOutputs;

  // Whether `other` holds the same configuration, ignoring id and name: floats agree within
  // `tolerance` (and are finite), and a missing entry counts as its default.
  bool matchesConfiguration(const AudioScene& other, float tolerance) const;

  bool operator==(const AudioScene&) const = default;
};

}  // namespace velmora::settings
