#pragma once

#include <string>

namespace velmora::settings {

struct InterfaceSettings {
  bool compact = false;
  bool showInput = true;
  bool showAppIcons = true;
  bool showStatus = true;
  bool scrollVolume = true;
  bool hudEnabled = true;
  std::string hudPosition = "bottom";  // "bottom", "top" or "center"
  std::string hudStyle = "glass";      // "glass" or "dark"

  bool operator==(const InterfaceSettings&) const = default;
};

}  // namespace velmora::settings
