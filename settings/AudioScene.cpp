#include "settings/AudioScene.h"

#include <cmath>
#include <set>

namespace velmora::settings {

namespace {

// Every key of either map, once.
template <typename Value>
std::set<std::string> unionKeys(const std::map<std::string, Value>& a,
                                const std::map<std::string, Value>& b) {
  std::set<std::string> keys;
  for (const auto& entry : a) keys.insert(entry.first);
  for (const auto& entry : b) keys.insert(entry.first);
  return keys;
}

template <typename Value>
Value valueOr(const std::map<std::string, Value>& map, const std::string& key, Value fallback) {
  const auto found = map.find(key);
  return found == map.end() ? fallback : found->second;
}

}  // namespace

bool AudioScene::matchesConfiguration(const AudioScene& other, float tolerance) const {
  const auto matches = [tolerance](float a, float b) {
    return std::isfinite(a) && std::isfinite(b) && std::fabs(a - b) <= tolerance;
  };
  if (inputDeviceID != other.inputDeviceID || outputDeviceID != other.outputDeviceID) return false;
  if (!matches(systemVolume, other.systemVolume)) return false;
  if (inputVolume.has_value() != other.inputVolume.has_value()) return false;
  if (inputVolume && !matches(*inputVolume, *other.inputVolume)) return false;
  if (systemMuted != other.systemMuted || inputMuted != other.inputMuted ||
      processingEnabled != other.processingEnabled ||
      multiOutput.enabled != other.multiOutput.enabled ||
      multiOutput.devices != other.multiOutput.devices) {
    return false;
  }
  for (const std::string& key : unionKeys(apps, other.apps)) {
    const AppLevel a = valueOr(apps, key, AppLevel{});
    const AppLevel b = valueOr(other.apps, key, AppLevel{});
    if (!matches(a.volume, b.volume) || a.muted != b.muted ||
        a.outputDeviceID != b.outputDeviceID ||
        a.followSystemWhenOffline.value_or(false) != b.followSystemWhenOffline.value_or(false)) {
      return false;
    }
  }
  for (const std::string& key : unionKeys(equalizers, other.equalizers)) {
    const DeviceEQ a = valueOr(equalizers, key, DeviceEQ{});
    const DeviceEQ b = valueOr(other.equalizers, key, DeviceEQ{});
    if (a.enabled != b.enabled) return false;
    const auto bandsA = a.normalizedBands();
    const auto bandsB = b.normalizedBands();
    for (size_t i = 0; i < bandsA.size(); ++i) {
      if (!matches(bandsA[i], bandsB[i])) return false;
    }
  }
  for (const std::string& key : unionKeys(multiOutput.levels, other.multiOutput.levels)) {
    if (!matches(valueOr(multiOutput.levels, key, 1.0f),
                 valueOr(other.multiOutput.levels, key, 1.0f)))
      return false;
  }
  const std::map<std::string, bool> boosts = boostedOutputs.value_or(std::map<std::string, bool>{});
  const std::map<std::string, bool> otherBoosts =
      other.boostedOutputs.value_or(std::map<std::string, bool>{});
  for (const std::string& key : unionKeys(boosts, otherBoosts)) {
    if (valueOr(boosts, key, false) != valueOr(otherBoosts, key, false)) return false;
  }
  return true;
}

}  // namespace velmora::settings
