#pragma once

#include <string>

namespace velmora::settings {

// A short Chinese description of an errno value, with the number for anything uncommon.
std::string describeSystemError(int error);

}  // namespace velmora::settings
