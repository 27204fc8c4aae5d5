// Scrolling on the tray icon changes the output volume. Fast notches build on the volume the
// previous step set, even before the device reports it back. A value type; main thread.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

namespace velmora::shell {

struct ScrollVolumeGesture {
  // One notch, or the largest step of a precise device, is 1/16 of the range.
  static constexpr float kStep = 0.0625f;
  // Steps closer together than this continue the same gesture.
  static constexpr double kContinuation = 0.8;

  std::optional<float> target;
  uint32_t device = 0;
  double lastTime = -std::numeric_limits<double>::infinity();

  // The new volume for one scroll event, or none when the event changes nothing. `deltaY` is the
  // vertical delta (positive = up), `precise` whether the device reports fine deltas, `inverted`
  // whether it reports them reversed (natural scrolling), `time` the event's time in seconds.
  std::optional<float> next(double deltaY, bool precise, bool inverted, bool momentum,
                            uint32_t deviceID, float current, double time);
  void reset() { *this = ScrollVolumeGesture{}; }
};

}  // namespace velmora::shell
