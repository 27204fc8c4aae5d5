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

  bool operator==(const DeviceBookmark&) const = default;
};

// The device list, in the user's display order.
struct DeviceListPreferences {
  std::vector<DeviceBookmark> devices;

  bool operator==(const DeviceListPreferences&) const = default;
};

}  // namespace velmora::settings
