#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velmora::settings {

// One entry of the user's device list.
struct DeviceBookmark {
  // "audio:" + device UID or "bluetooth:" + address; also the entry's route key.
  std::string id;
  std::string name;
  std::string symbol;
  std::optional<std::string> inputUID;
  std::optional<std::string> outputUID;
  std::optional<std::string> bluetoothAddress;
  bool supportsInput = false;
  bool supportsOutput = false;
  bool showInput = false;
  bool showOutput = false;
  std::optional<std::string> alias;

  // The alias as given, unless it is missing or only white space; then the device name.
  std::string displayName() const;
  // Both have the same input UID, or both the same output UID.
  bool sharesUID(const DeviceBookmark& other) const;

  bool operator==(const DeviceBookmark&) const = default;
};

// The device list, in the user's display order.
struct DeviceListPreferences {
  std::vector<DeviceBookmark> devices;

  // Takes in what `bookmark` knows of a device: updates the entry that stands for the same device
  // (upgrading an older "audio:" entry of a Bluetooth device in place and dropping its stale
  // duplicates), or appends it. The user's order, aliases and visibility choices stay.
  void merge(const DeviceBookmark& bookmark);

  bool operator==(const DeviceListPreferences&) const = default;
};

}  // namespace velmora::settings
