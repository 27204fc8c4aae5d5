#pragma once

#include <stdexcept>
#include <string>

#include "platform/sim/Scenario.h"

namespace velmora::platform::sim {

// A scenario that cannot be used; the message names the source and what is wrong where.
class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a scenario from JSON text; `source` names it in error messages.
Scenario parseScenario(const std::string& json, const std::string& source);
Scenario loadScenarioFile(const std::string& path);

// The machine the program shows when no desktop audio server is reachable.
Scenario builtInScenario();

}  // namespace velmora::platform::sim
