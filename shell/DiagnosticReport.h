#pragma once

#include <string>

namespace velmora::shell {

// The read-only report of `velmora --diagnose`: every device with its channel counts and output
// volume (the shortest text that reads back as the same float: 1.0, 0.35), then every audio
// application with its process objects.
std::string diagnosticReport();

}  // namespace velmora::shell
