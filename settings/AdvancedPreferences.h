#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/AudioScene.h"
#include "settings/DeviceEQ.h"
#include "settings/InterfaceSettings.h"
#include "settings/MultiOutputSettings.h"

namespace velmora::settings {

// Every setting beyond the basic switches, levels and hotkeys.
struct AdvancedPreferences {
  bool autoOutput = false;
  bool autoInput = false;
  // Priority lists of bookmark ids; absent = not seeded yet.
  std::optional<std::vector<std::string>> automaticOutputIDs;
  std::optional<std::vector<std::string>> automaticInputIDs;
  InterfaceSettings interface;
  std::map<std::string, DeviceEQ> equalizers;
  MultiOutputSettings multiOutput;
  std::vector<AudioScene> scenes;
  // A key with false and a missing key both mean "no boost".
  std::optional<std::map<std::string, bool>> boostedOutputs;

  bool operator==(const AdvancedPreferences&) const = default;
};

}  // namespace velmora::settings
