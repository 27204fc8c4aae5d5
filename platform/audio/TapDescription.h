#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/AudioTypes.h"

namespace velmora::platform {

// How a tapped process is heard on its own device.
enum class TapMuteBehavior : uint32_t {
  unmuted = 0,          // heard as usual and captured
  muted = 1,            // silent while the tap exists
  mutedWhenTapped = 2,  // silent exactly while the tap is being read
};

// What a process tap captures: a stereo mix-down of the given process objects, current and
// future streams alike.
struct TapDescription {
  std::vector<AudioObjectID> processes;
  std::string name;
  bool isPrivate = false;
  TapMuteBehavior muteBehavior = TapMuteBehavior::unmuted;

  bool operator==(const TapDescription&) const = default;
};

}  // namespace velmora::platform
