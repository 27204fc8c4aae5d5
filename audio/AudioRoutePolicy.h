// Route planning: from one application's settings to the outputs its session feeds, its master
// gain and an optional status note. Pure logic; never touches the hardware.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "audio/OutputRouteSpec.h"
#include "settings/AdvancedPreferences.h"
#include "settings/AppLevel.h"
#include "settings/MultiOutputSettings.h"

namespace velmora::audio {

struct Plan {
  std::vector<std::string> keys;  // route keys in route order
  float gain = 1.0f;              // master gain, 0...1
  std::optional<std::string> message;

  bool operator==(const Plan&) const = default;
};

namespace AudioRoutePolicy {

Plan plan(const std::string& appID, const settings::AppLevel& level,
          const std::optional<std::string>& solo, const std::optional<std::string>& defaultKey,
          const std::set<std::string>& available, const settings::MultiOutputSettings& multi);

// The plan's keys as routes, skipping keys without a present device.
std::vector<OutputRouteSpec> routeSpecs(const Plan& plan,
                                        const std::map<std::string, AudioDevice>& devices,
                                        const settings::AppLevel& level,
                                        const settings::AdvancedPreferences& advanced);

// Whether the application must be captured at all; otherwise it plays untouched.
bool processingNeeded(const settings::AppLevel& level, const settings::MultiOutputSettings& multi,
                      const std::vector<OutputRouteSpec>& routes, float gain,
                      const std::optional<std::string>& solo);

}  // namespace AudioRoutePolicy
}  // namespace velmora::audio
