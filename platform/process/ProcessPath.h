#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velmora::platform {

// The executable path of a process. The installed audio backend answers for the processes of
// its audio system (a simulated system's processes are not the operating system's); with no
// backend installed the operating system answers.
std::optional<std::string> processExecutablePath(int32_t pid);

}  // namespace velmora::platform
