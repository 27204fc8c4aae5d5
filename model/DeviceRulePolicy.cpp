#include "model/DeviceRulePolicy.h"

namespace velmora::model {

std::vector<bool> DeviceRulePolicy::enabledDirections(const settings::AdvancedPreferences& advanced,
                                                      std::optional<bool> onlyInput) {
  std::vector<bool> directions;
  for (bool input : onlyInput ? std::vector<bool>{*onlyInput} : std::vector<bool>{false, true}) {
    if (input ? advanced.autoInput : advanced.autoOutput) directions.push_back(input);
  }
  return directions;
}

}  // namespace velmora::model
