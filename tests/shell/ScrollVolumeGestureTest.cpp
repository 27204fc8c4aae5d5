// Scrolling on the tray icon: notches, precise deltas, natural scrolling, fast steps building on
// the last target, and the events that change nothing.
#include <gtest/gtest.h>

#include <cmath>

#include "shell/ScrollVolumeGesture.h"

namespace velmora::shell {
namespace {

TEST(ScrollVolumeGesture, StepsFromTheDeviceOrFromTheLastTargetOfAFastGesture) {
  const double nan = std::nan(""), inf = INFINITY;
  const float fnan = std::nanf("");
  struct Event {
    double deltaY;
    bool precise, inverted, momentum;
    uint32_t device;
    float current;
    double time;
    std::optional<float> volume;
  };
  // One gesture, event after event.
  const Event events[] = {
      {1, false, false, false, 7, 0.5f, 10.0, 0.5625f},  // one notch
      {1, false, false, false, 7, 0.5f, 10.5, 0.625f},   // builds on the target, not 0.5
      {-3, true, false, false, 7, 0.5f, 11.0, 0.615f},   // precise: 3 / 300
      {150, true, true, false, 7, 0.5f, 11.1, 0.5525f},  // clamped, then reversed
      {1, false, false, true, 7, 0.5f, 11.2, {}},        // momentum
      {0, false, false, false, 7, 0.5f, 11.2, {}},       // nothing moved
      {nan, false, false, false, 7, 0.5f, 11.2, {}},     //
      {inf, true, false, false, 7, 0.5f, 11.2, {}},      //
      {1, false, false, false, 7, fnan, 11.2, {}},       // an unreadable volume
      {1, false, false, false, 7, 0.2f, 12.1, 0.2625f},  // a pause: from the device again
      {1, false, false, false, 8, 0.9f, 12.2, 0.9625f},  // another device: from its volume
      {1, false, false, false, 8, 0.9f, 12.3, 1.0f},     // stays at 1
      {-1, false, false, false, 8, 0.01f, 11.0, 0.0f},   // time went back: from the device
      {-1, false, false, false, 8, 0.01f, 11.1, 0.0f},   // stays at 0
  };
  ScrollVolumeGesture gesture;
  for (const Event& e : events) {
    const auto volume =
        gesture.next(e.deltaY, e.precise, e.inverted, e.momentum, e.device, e.current, e.time);
    ASSERT_EQ(volume.has_value(), e.volume.has_value()) << e.time << " " << e.deltaY;
    if (volume) {
      EXPECT_FLOAT_EQ(*volume, *e.volume) << e.time << " " << e.deltaY;
    }
  }
  gesture.reset();
  EXPECT_FALSE(gesture.target);
  EXPECT_EQ(*gesture.next(1, false, false, false, 8, 0.3f, 12.4), 0.3625f) << "reset: from 0.3";
}

}  // namespace
}  // namespace velmora::shell
