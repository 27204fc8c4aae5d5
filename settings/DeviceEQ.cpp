#include "settings/DeviceEQ.h"

#include <algorithm>
#include <cmath>

namespace velmora::settings {

std::array<float, DeviceEQ::frequencies.size()> DeviceEQ::normalizedBands() const {
  std::array<float, frequencies.size()> gains{};
  for (size_t i = 0; i < gains.size() && i < bands.size(); ++i) {
    if (std::isfinite(bands[i])) gains[i] = std::clamp(bands[i], -maximumGain, maximumGain);
  }
  return gains;
}

bool DeviceEQ::effective() const {
  if (!enabled) return false;
  const auto gains = normalizedBands();
  return std::any_of(gains.begin(), gains.end(),
                     [](float gain) { return std::fabs(gain) > 0.01f; });
}

}  // namespace velmora::settings
