#pragma once

#include <optional>
#include <vector>

#include "settings/AdvancedPreferences.h"

namespace velmora::model {

// Which directions the automatic rules evaluate.
struct DeviceRulePolicy {
  // [output, input], or only `only` when given, keeping those whose switch is on. Output
  // always comes first.
  static std::vector<settings::AudioDirection> enabledDirections(
      const settings::AdvancedPreferences& advanced, std::optional<settings::AudioDirection> only);
};

}  // namespace velmora::model
