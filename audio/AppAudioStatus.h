#pragma once

#include <optional>
#include <string>

namespace velmora::audio {

// How one application's processing stands, as shown beside it.
struct AppAudioStatus {
  bool active = false;  // processed now: the callback has run at least once
  std::string message;
  std::optional<std::string> error;
  bool pending = false;  // being set up; no callback yet

  bool operator==(const AppAudioStatus&) const = default;
};

}  // namespace velmora::audio
