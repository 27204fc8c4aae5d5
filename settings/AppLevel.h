#pragma once

#include <optional>
#include <string>

namespace velmora::settings {

// What the user set for one application. An application without an entry plays as this
// default: full volume, not muted, on the default output.
struct AppLevel {
  float volume = 1;
  bool muted = false;
  // Route key of the chosen output; absent = follow the default output.
  std::optional<std::string> outputDeviceID;
  // While the chosen output is missing: true = play on the default output, false or absent =
  // stay silent.
  std::optional<bool> followSystemWhenOffline;

  bool operator==(const AppLevel&) const = default;
};

}  // namespace velmora::settings
