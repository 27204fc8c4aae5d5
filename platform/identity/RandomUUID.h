#pragma once

#include <string>

namespace velmora::platform {

// A new random (version 4) UUID in its standard text form, upper case. Threading: any thread.
std::string randomUUID();

}  // namespace velmora::platform
