#include "shell/ScrollVolumeGesture.h"

#include <algorithm>
#include <cmath>

namespace velmora::shell {

std::optional<float> ScrollVolumeGesture::next(double deltaY, bool precise, bool inverted,
                                               bool momentum, uint32_t deviceID, float current,
                                               double time) {
  // The inertial tail after the fingers leave the pad would overshoot what the user meant.
  if (momentum || deltaY == 0.0 || !std::isfinite(deltaY) || !std::isfinite(current)) {
    return std::nullopt;
  }
  const double direction = inverted ? -deltaY : deltaY;
  const float step = precise ? std::clamp(float(direction / 300.0), -kStep, kStep)
                             : (direction > 0.0 ? kStep : -kStep);
  const bool continues =
      target && device == deviceID && time - lastTime <= kContinuation && lastTime <= time;
  const float base = continues ? *target : current;
  float volume = std::max(std::min(base + step, 1.0f), 0.0f);
  if (std::isnan(volume)) volume = 0.0f;
  target = volume;
  device = deviceID;
  lastTime = time;
  return volume;
}

}  // namespace velmora::shell
