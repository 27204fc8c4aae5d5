// Key/value properties as the audio server reports them for its objects, copied into plain
// strings so that nothing outside the backend's glue needs the server's own types.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace velmora::platform::pipewire {

using Properties = std::map<std::string, std::string, std::less<>>;

// The value of `key`, or "" when it is not set.
inline const std::string& property(const Properties& props, std::string_view key) {
  static const std::string none;
  const auto found = props.find(key);
  return found == props.end() ? none : found->second;
}

}  // namespace velmora::platform::pipewire
