#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "settings/Preferences.h"

namespace velmora::settings {
namespace {

TEST(DeviceEQ, NormalisesToFiveClampedFiniteGains) {
  const std::pair<std::vector<float>, std::array<float, 5>> cases[] = {
      {{3, 20}, {3, 12, 0, 0, 0}},
      {{-15, 1, 2, 3, 4, 5, 6}, {-12, 1, 2, 3, 4}},
      {{NAN, INFINITY, -INFINITY, 1.5f, -0.25f}, {0, 0, 0, 1.5f, -0.25f}},
  };
  for (const auto& [stored, normalized] : cases)
    EXPECT_EQ(DeviceEQ({true, stored}).normalizedBands(), normalized);
}

TEST(DeviceEQ, IsEffectiveWhenEnabledAndSomeOfTheFiveGainsIsBeyondOneHundredthDecibel) {
  for (const DeviceEQ& flat :
       {DeviceEQ{true, {0.01f, -0.01f, 0, 0.005f, -0.009f}}, DeviceEQ{true, {NAN, INFINITY}},
        DeviceEQ{false, {6, 6, 6, 6, 6}}, DeviceEQ{true, {0, 0, 0, 0, 0, 5}}}) {
    EXPECT_FALSE(flat.effective()) << flat.enabled << flat.bands.size();
  }
  EXPECT_TRUE(DeviceEQ({true, {0, 0, 0, 0, -0.02f}}).effective());
}

TEST(Preferences, SettersFillTheAdvancedSectionAndKeepWhatIsThere) {
  Preferences p;
  p.setBoost("audio:a", false);                   // stored as false, not removed
  p.setEQ("audio:b", DeviceEQ{true, {20, -30}});  // stored as given
  p.setEQ("audio:on", DeviceEQ{true, {1, 2}});
  p.resetEQ("audio:on");  // flattened, the switch kept
  p.resetEQ("audio:new");
  ASSERT_TRUE(p.advanced && p.advanced->boostedOutputs);
  EXPECT_EQ(*p.advanced->boostedOutputs, (std::map<std::string, bool>{{"audio:a", false}}));
  EXPECT_EQ(p.advanced->equalizers,
            (std::map<std::string, DeviceEQ>{{"audio:b", {true, {20, -30}}},
                                             {"audio:new", {false, {0, 0, 0, 0, 0}}},
                                             {"audio:on", {true, {0, 0, 0, 0, 0}}}}));
  p.setBoost("audio:a", true);
  EXPECT_TRUE(p.advanced->boostedOutputs->at("audio:a"));
}

}  // namespace
}  // namespace velmora::settings
