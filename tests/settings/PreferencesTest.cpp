#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "settings/Preferences.h"

namespace velmora::settings {
namespace {

using Bands = std::array<float, 5>;

TEST(DeviceEQ, NormalisesToFiveClampedFiniteGains) {
  const float nan = std::nanf("");
  const float inf = INFINITY;
  const struct {
    std::vector<float> stored;
    Bands normalized;
  } cases[] = {
      {{3, 20}, {3, 12, 0, 0, 0}},
      {{-15, 1, 2, 3, 4, 5, 6}, {-12, 1, 2, 3, 4}},
      {{}, {0, 0, 0, 0, 0}},
      {{nan, inf, -inf, 1.5f, -0.25f}, {0, 0, 0, 1.5f, -0.25f}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DeviceEQ({true, c.stored}).normalizedBands(), c.normalized);
  }
}

TEST(DeviceEQ, IsEffectiveWhenEnabledAndSomeGainBeyondOneHundredthDecibel) {
  EXPECT_FALSE(DeviceEQ({true, {}}).effective());
  EXPECT_FALSE(DeviceEQ({true, {0.01f, -0.01f, 0, 0.005f, -0.009f}}).effective());
  EXPECT_FALSE(DeviceEQ({true, {std::nanf(""), INFINITY}}).effective());
  EXPECT_FALSE(DeviceEQ({false, {6, 6, 6, 6, 6}}).effective());
  EXPECT_TRUE(DeviceEQ({true, {0, 0, 0, 0, -0.02f}}).effective());
  EXPECT_FALSE(DeviceEQ({true, {0, 0, 0, 0, 0, 5}}).effective());  // only five bands count
}

TEST(Preferences, SetEQStoresTheEqualiserUnchangedAndKeepsTheRest) {
  Preferences p;
  EXPECT_FALSE(p.advanced.has_value());
  p.setBoost("audio:a", true);
  p.setEQ("audio:b", DeviceEQ{true, {20, -30}});
  ASSERT_TRUE(p.advanced.has_value());
  EXPECT_EQ(p.advanced->equalizers.at("audio:b"), (DeviceEQ{true, {20, -30}}));
  EXPECT_EQ(p.advanced->boostedOutputs, (std::map<std::string, bool>{{"audio:a", true}}));
}

TEST(Preferences, ResetEQFlattensTheBandsAndKeepsTheSwitch) {
  Preferences p;
  p.resetEQ("audio:new");
  EXPECT_EQ(p.advanced->equalizers.at("audio:new"), (DeviceEQ{false, {0, 0, 0, 0, 0}}));

  p.setEQ("audio:on", DeviceEQ{true, {1, 2}});
  p.resetEQ("audio:on");
  EXPECT_EQ(p.advanced->equalizers.at("audio:on"), (DeviceEQ{true, {0, 0, 0, 0, 0}}));
}

TEST(Preferences, SetBoostStoresFalseRatherThanRemovingTheKey) {
  Preferences p;
  p.setBoost("system:never", false);
  ASSERT_TRUE(p.advanced && p.advanced->boostedOutputs);
  EXPECT_EQ(*p.advanced->boostedOutputs, (std::map<std::string, bool>{{"system:never", false}}));
  p.setBoost("system:never", true);
  EXPECT_TRUE(p.advanced->boostedOutputs->at("system:never"));
}

}  // namespace
}  // namespace velmora::settings
