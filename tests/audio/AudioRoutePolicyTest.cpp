// Route planning: gains, routes and notes from one application's settings.
#include <gtest/gtest.h>

#include "EngineHarness.h"
#include "audio/AudioRoutePolicy.h"

namespace {

using namespace velmora::audio;
using velmora::settings::AppLevel;
using velmora::settings::MultiOutputSettings;
using velmora::test::level;

using Note = std::optional<std::string>;

// What the engine test hears (a plain, a soloed, a soloed-away and a routed application, an
// offline choice followed or silenced) is left to it; here the edges.
TEST(AudioRoutePolicy, PlansGainRoutesAndNotes) {
  const std::set<std::string> present = {"A", "B", "D"};
  static const MultiOutputSettings off;
  static const MultiOutputSettings multi{true, {"A", "B", "A", "C"}, {{"A", 0.5f}}};
  static const MultiOutputSettings allGone{true, {"C", "E"}, {}};
  struct Case {
    AppLevel level;
    Plan expected;
    const MultiOutputSettings& multi = off;
    std::optional<std::string> defaultKey = "D";
  };
  const Case cases[] = {
      {level(0.8f, true), {{"D"}, 0.0f, {}}},  // muted, yet it keeps its routes
      {level(), {{}, 1.0f, {}}, off, {}},      // no default device
      {level(1.0f, false, "C"), {{}, 0.0f, Note("指定输出离线 · 暂时静音")}, off, {}},
      {level(1.0f, false, "B"), {{"B"}, 1.0f, {}}, multi},  // a chosen output over multi-output
      {level(), {{"A", "B"}, 1.0f, Note("部分多输出设备离线")}, multi},  // "A" repeated
      {level(), {{"D"}, 0.0f, Note("多输出设备均离线 · 暂时静音")}, allGone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    EXPECT_EQ(AudioRoutePolicy::plan("app", c.level, {}, c.defaultKey, present, c.multi),
              c.expected);
  }
}

TEST(AudioRoutePolicy, RouteSpecsTakeEachDevicesSettings) {
  std::map<std::string, AudioDevice> devices = {{"A", {10, "a", "A", 0, 2, 0}},
                                                {"B", {11, "b", "B", 0, 1, 0}}};
  velmora::settings::AdvancedPreferences advanced;
  advanced.multiOutput = {true, {"A", "B"}, {{"A", 0.5f}}};
  velmora::settings::DeviceEQ eq;
  eq.enabled = true;
  eq.bands = {0, 0, 3};
  advanced.equalizers["B"] = eq;
  advanced.boostedOutputs = std::map<std::string, bool>{{"A", false}, {"B", true}};

  const auto multiRoutes =
      AudioRoutePolicy::routeSpecs({{"A", "missing", "B"}, 1.0f, {}}, devices, {}, advanced);
  ASSERT_EQ(multiRoutes.size(), 2u) << "a key without a device is skipped";
  EXPECT_EQ(multiRoutes[0].gain, 0.5f);
  EXPECT_EQ(multiRoutes[0].boost, 1.0f) << "boost stored as false";
  EXPECT_EQ(multiRoutes[1].boost, 2.0f);
  EXPECT_EQ(multiRoutes[1].eq, eq);
  const AppLevel chosen = level(1.0f, false, "A");
  EXPECT_EQ(AudioRoutePolicy::routeSpecs({{"A"}, 1.0f, {}}, devices, chosen, advanced)[0].gain,
            1.0f)
      << "a chosen device plays at full level even with a multi-output level stored";
}

}  // namespace
