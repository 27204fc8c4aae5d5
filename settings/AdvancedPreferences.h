#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "settings/AudioDirection.h"
#include "settings/AudioScene.h"
#include "settings/DeviceBookmark.h"
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

  // Fills an absent priority list of one direction with the ids of the bookmarks
  // shown in that direction, in list order. A present list, even an empty one, is the user's.
  void seedAutomaticDevices(AudioDirection direction, const std::vector<DeviceBookmark>& from);
  // The candidates of one direction in priority order: the first bookmark of `catalog` with each
  // listed id that supports the direction; ids without one are skipped but stay stored.
  std::vector<DeviceBookmark> automaticDevices(AudioDirection direction,
                                               const std::vector<DeviceBookmark>& catalog) const;
  // Seeds, then appends (only a bookmark that supports the direction) or removes every occurrence.
  void setAutomaticDevice(const std::string& id, AudioDirection direction, bool included,
                          const std::vector<DeviceBookmark>& catalog);
  // Seeds, then moves the id `offset` places among the candidates, the step clamped to the ends.
  // Stored ids that are not candidates keep their places relative to each other.
  void moveAutomaticDevice(const std::string& id, AudioDirection direction, int offset,
                           const std::vector<DeviceBookmark>& catalog);
  // After a merge gave an "audio:" entry its Bluetooth identity, puts the new id where the old one
  // stood in both priority lists, so the device keeps its rank and is listed once.
  void remapAutomaticDevices(const std::vector<DeviceBookmark>& previous,
                             const std::vector<DeviceBookmark>& current);

  bool operator==(const AdvancedPreferences&) const = default;
};

// `ids` without repeats, each at its first place.
std::vector<std::string> uniqueIDs(const std::vector<std::string>& ids);

}  // namespace velmora::settings
