#pragma once

#include <optional>
#include <vector>

#include "settings/AdvancedPreferences.h"

namespace velmora::model {

// Which directions the automatic rules evaluate (true = input).
struct DeviceRulePolicy {
  // [output, input], or only `onlyInput` when given, keeping those whose switch is on. Output
  // always comes first.
  static std::vector<bool> enabledDirections(const settings::AdvancedPreferences& advanced,
                                             std::optional<bool> onlyInput);
};

}  // namespace velmora::model
