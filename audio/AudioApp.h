#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/apps/ApplicationServices.h"
#include "platform/audio/AudioTypes.h"

namespace velmora::audio {

// An application that has audio process objects. `id` is its key in the settings.
struct AudioApp {
  std::string id;
  std::string name;
  std::optional<std::string> path;
  std::vector<AudioObjectID> processes;
  bool audible = false;
  std::optional<platform::Image> icon;

  bool operator==(const AudioApp&) const = default;

  // Every audio application but this program, its processes gathered, ordered by name.
  static std::vector<AudioApp> all();
};

}  // namespace velmora::audio
