#include "model/DeviceRulePolicy.h"

namespace velmora::model {

using settings::AudioDirection;

std::vector<AudioDirection> DeviceRulePolicy::enabledDirections(
    const settings::AdvancedPreferences& advanced, std::optional<AudioDirection> only) {
  std::vector<AudioDirection> directions;
  for (const AudioDirection direction : settings::kOutputThenInput) {
    if (only && *only != direction) continue;
    if (settings::isInput(direction) ? advanced.autoInput : advanced.autoOutput)
      directions.push_back(direction);
  }
  return directions;
}

}  // namespace velmora::model
