#pragma once

#include <map>
#include <string>
#include <vector>

namespace velmora::settings {

// Playing to several outputs at once.
struct MultiOutputSettings {
  bool enabled = false;
  // Route keys of the selected outputs, in the order they were selected.
  std::vector<std::string> devices;
  // Software level per selected output, by route key.
  std::map<std::string, float> levels;

  bool operator==(const MultiOutputSettings&) const = default;
};

}  // namespace velmora::settings
