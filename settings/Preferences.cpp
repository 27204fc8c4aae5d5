#include "settings/Preferences.h"

#include <cmath>
#include <utility>

namespace velmora::settings {

void Preferences::setEQ(const std::string& key, DeviceEQ value) {
  // A band that is no number is flat: the file must always be writable.
  for (float& band : value.bands) {
    if (!std::isfinite(band)) band = 0.0f;
  }
  AdvancedPreferences record = advanced.value_or(AdvancedPreferences{});
  record.equalizers[key] = std::move(value);
  advanced = std::move(record);
}

void Preferences::resetEQ(const std::string& key) {
  DeviceEQ equalizer;
  if (advanced) {
    if (auto found = advanced->equalizers.find(key); found != advanced->equalizers.end()) {
      equalizer.enabled = found->second.enabled;
    }
  }
  setEQ(key, std::move(equalizer));
}

void Preferences::setBoost(const std::string& key, bool enabled) {
  AdvancedPreferences record = advanced.value_or(AdvancedPreferences{});
  std::map<std::string, bool> boosts =
      record.boostedOutputs.value_or(std::map<std::string, bool>{});
  boosts[key] = enabled;
  record.boostedOutputs = std::move(boosts);
  advanced = std::move(record);
}

}  // namespace velmora::settings
