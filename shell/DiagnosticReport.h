#pragma once

#include <string>

namespace velmora::shell {

// The read-only report of `velmora --diagnose`: every device with its channel counts and output
// volume, then every audio application with its process objects.
std::string diagnosticReport();

// A volume as the shortest text that reads back as the same 32-bit float, always with a
// fraction part: 1.0, 0.5, 0.35.
std::string volumeText(float volume);

}  // namespace velmora::shell
