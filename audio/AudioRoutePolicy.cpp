#include "audio/AudioRoutePolicy.h"

#include <algorithm>
#include <cmath>

namespace velmora::audio::AudioRoutePolicy {
namespace {

constexpr float kUnprocessedGain = 0.9999f;

std::vector<std::string> defaultRoute(const std::optional<std::string>& defaultKey) {
  if (!defaultKey) return {};
  return {*defaultKey};
}

}  // namespace

Plan plan(const std::string& appID, const settings::AppLevel& level,
          const std::optional<std::string>& solo, const std::optional<std::string>& defaultKey,
          const std::set<std::string>& available, const settings::MultiOutputSettings& multi) {
  Plan result;
  if (level.muted || (solo && *solo != appID)) {
    result.gain = 0.0f;
  } else {
    const float volume = std::isnan(level.volume) ? 1.0f : level.volume;
    result.gain = std::max(std::min(volume, 1.0f), 0.0f);
  }

  if (level.outputDeviceID) {
    if (available.count(*level.outputDeviceID)) {
      result.keys = {*level.outputDeviceID};
      return result;
    }
    // The chosen output is offline: stay captured on the default output, silenced unless the
    // user asked to follow the system.
    result.keys = defaultRoute(defaultKey);
    if (level.followSystemWhenOffline.value_or(false)) {
      result.message = "指定输出离线 · 跟随系统";
    } else {
      result.gain = 0.0f;
      result.message = "指定输出离线 · 暂时静音";
    }
    return result;
  }

  if (multi.enabled) {
    std::vector<std::string> online;
    for (const std::string& key : multi.devices) {
      if (available.count(key)) online.push_back(key);
    }
    if (online.empty()) {
      result.keys = defaultRoute(defaultKey);
      result.gain = 0.0f;
      result.message = "多输出设备均离线 · 暂时静音";
      return result;
    }
    for (const std::string& key : online) {
      if (std::find(result.keys.begin(), result.keys.end(), key) == result.keys.end()) {
        result.keys.push_back(key);
      }
    }
    if (online.size() < multi.devices.size()) result.message = "部分多输出设备离线";
    return result;
  }

  result.keys = defaultRoute(defaultKey);
  return result;
}

std::vector<OutputRouteSpec> routeSpecs(const Plan& plan,
                                        const std::map<std::string, AudioDevice>& devices,
                                        const settings::AppLevel& level,
                                        const settings::AdvancedPreferences& advanced) {
  const settings::MultiOutputSettings& multi = advanced.multiOutput;
  const bool multiLevels = multi.enabled && !level.outputDeviceID;
  std::vector<OutputRouteSpec> routes;
  for (const std::string& key : plan.keys) {
    const auto device = devices.find(key);
    if (device == devices.end()) continue;
    OutputRouteSpec route;
    route.key = key;
    route.device = device->second;
    if (multiLevels) {
      const auto found = multi.levels.find(key);
      if (found != multi.levels.end()) route.gain = found->second;
    }
    if (const auto eq = advanced.equalizers.find(key); eq != advanced.equalizers.end()) {
      route.eq = eq->second;
    }
    if (advanced.boostedOutputs) {
      const auto boosted = advanced.boostedOutputs->find(key);
      if (boosted != advanced.boostedOutputs->end() && boosted->second) route.boost = 2.0f;
    }
    routes.push_back(std::move(route));
  }
  return routes;
}

bool processingNeeded(const settings::AppLevel& level, const settings::MultiOutputSettings& multi,
                      const std::vector<OutputRouteSpec>& routes, float gain,
                      const std::optional<std::string>& solo) {
  if (level.outputDeviceID || multi.enabled || solo || gain < kUnprocessedGain) return true;
  return std::any_of(routes.begin(), routes.end(), [](const OutputRouteSpec& route) {
    return route.eq.effective() || route.boost > 1.0f;
  });
}

}  // namespace velmora::audio::AudioRoutePolicy
