#pragma once

#include <array>
#include <vector>

namespace velmora::settings {

// The five-band equaliser of one output. The stored bands are kept as the file had them; users
// of the equaliser read normalizedBands().
struct DeviceEQ {
  static constexpr std::array<int, 5> frequencies{80, 250, 1000, 4000, 12000};
  static constexpr float maximumGain = 12;

  bool enabled = false;
  std::vector<float> bands = std::vector<float>(frequencies.size(), 0.0f);

  // Exactly one gain per band: the stored value if present and finite, clamped to ±12 dB,
  // else 0.
  std::array<float, frequencies.size()> normalizedBands() const;
  // Switched on and some band audibly away from flat (more than 0.01 dB).
  bool effective() const;

  bool operator==(const DeviceEQ&) const = default;
};

}  // namespace velmora::settings
