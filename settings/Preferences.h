#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "settings/AdvancedPreferences.h"
#include "settings/AppLevel.h"
#include "settings/DeviceBookmark.h"
#include "settings/DeviceEQ.h"
#include "settings/Shortcut.h"

namespace velmora::settings {

// Everything the user can set, as one value. A default-constructed record is the fresh
// settings of a first start.
struct Preferences {
  int64_t version = 1;
  bool processingEnabled = false;
  bool rememberApps = true;
  bool rememberDevices = true;
  // By application key.
  std::map<std::string, AppLevel> apps;
  // Last output volume seen per output device, by device UID.
  std::map<std::string, float> deviceVolumes;
  // Absent until the device catalogue first finds a device.
  std::optional<DeviceListPreferences> deviceList;
  // Absent until an advanced setting is first changed; readers use AdvancedPreferences{}.
  std::optional<AdvancedPreferences> advanced;
  // By HotkeyAction raw value. Keys that are no action are kept but never registered.
  std::map<std::string, Shortcut> shortcuts{
      {"panel", Shortcut{46, 2304, "M"}}};  // Command+Option+M

  // Stores `value` unchanged as the equaliser of route `key`.
  void setEQ(const std::string& key, DeviceEQ value);
  // Flattens the equaliser of `key` to five zero bands, keeping its switch.
  void resetEQ(const std::string& key);
  // Records the boost switch of `key`; false is stored, not removed.
  void setBoost(const std::string& key, bool enabled);

  bool operator==(const Preferences&) const = default;
};

}  // namespace velmora::settings
