// Route planning: gains, routes and notes from one application's settings.
#include <gtest/gtest.h>

#include <cmath>

#include "audio/AudioRoutePolicy.h"

namespace {

using namespace velmora::audio;
using velmora::settings::AppLevel;
using velmora::settings::MultiOutputSettings;

using Note = std::optional<std::string>;

AppLevel level(float volume = 1.0f, bool muted = false, std::optional<std::string> output = {},
               std::optional<bool> followSystem = {}) {
  AppLevel result;
  result.volume = volume;
  result.muted = muted;
  result.outputDeviceID = std::move(output);
  result.followSystemWhenOffline = followSystem;
  return result;
}

// What the engine test hears (a plain, a soloed-away and a routed application, an offline choice)
// is left to it; here the edges.
TEST(AudioRoutePolicy, PlansGainRoutesAndNotes) {
  const std::set<std::string> present = {"A", "B", "D"};
  const MultiOutputSettings off;
  const MultiOutputSettings multi{true, {"A", "B", "A", "C"}, {{"A", 0.5f}}};
  const MultiOutputSettings allGone{true, {"C", "E"}, {}};
  struct Case {
    const char* name;
    AppLevel level;
    std::optional<std::string> solo, defaultKey;
    MultiOutputSettings multi;
    Plan expected;
  };
  const Case cases[] = {
      {"muted keeps its routes", level(0.8f, true), {}, "D", off, {{"D"}, 0.0f, {}}},
      {"itself soloed", level(0.7f), "app", "D", off, {{"D"}, 0.7f, {}}},
      {"too loud", level(1.7f), {}, "D", off, {{"D"}, 1.0f, {}}},
      {"negative", level(-0.2f), {}, "D", off, {{"D"}, 0.0f, {}}},
      {"NaN volume", level(NAN), {}, "D", off, {{"D"}, 1.0f, {}}},
      {"no default device", level(), {}, {}, off, {{}, 1.0f, {}}},
      {"chosen output over multi-output",
       level(1.0f, false, "B"),
       {},
       "D",
       multi,
       {{"B"}, 1.0f, {}}},
      {"offline, follow system",
       level(0.6f, false, "C", true),
       {},
       "D",
       off,
       {{"D"}, 0.6f, Note("指定输出离线 · 跟随系统")}},
      {"offline, nowhere to go",
       level(1.0f, false, "C"),
       {},
       {},
       off,
       {{}, 0.0f, Note("指定输出离线 · 暂时静音")}},
      {"multi-output, one absent, one repeated",
       level(),
       {},
       "D",
       multi,
       {{"A", "B"}, 1.0f, Note("部分多输出设备离线")}},
      {"multi-output all absent",
       level(),
       {},
       "D",
       allGone,
       {{"D"}, 0.0f, Note("多输出设备均离线 · 暂时静音")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(AudioRoutePolicy::plan("app", c.level, c.solo, c.defaultKey, present, c.multi),
              c.expected);
  }
}

TEST(AudioRoutePolicy, RouteSpecsAndTheProcessingTest) {
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
  EXPECT_EQ(multiRoutes[1].gain, 1.0f) << "no level stored";
  EXPECT_EQ(multiRoutes[0].boost, 1.0f) << "boost stored as false";
  EXPECT_EQ(multiRoutes[1].boost, 2.0f);
  EXPECT_FALSE(multiRoutes[0].eq.enabled);
  EXPECT_EQ(multiRoutes[1].eq, eq);
  const AppLevel chosen = level(1.0f, false, "A");
  EXPECT_EQ(AudioRoutePolicy::routeSpecs({{"A"}, 1.0f, {}}, devices, chosen, advanced)[0].gain,
            1.0f)
      << "a chosen device plays at full level even with a multi-output level stored";

  std::vector<OutputRouteSpec> plainRoute(1);
  plainRoute[0].key = "A";
  plainRoute[0].device = devices["A"];
  const MultiOutputSettings off;
  auto needed = [&](const AppLevel& level, float gain, const std::optional<std::string>& solo = {},
                    const std::vector<OutputRouteSpec>& routes = {}) {
    return AudioRoutePolicy::processingNeeded(level, off, routes.empty() ? plainRoute : routes,
                                              gain, solo);
  };
  EXPECT_FALSE(needed({}, 1.0f));
  EXPECT_FALSE(needed({}, 0.99995f));
  EXPECT_TRUE(needed({}, 0.99985f));
  EXPECT_TRUE(needed(level(1.0f, false, "A"), 1.0f)) << "a chosen device, even the default one";
  EXPECT_TRUE(needed({}, 1.0f, "app")) << "anyone soloed, this one included";
  EXPECT_TRUE(needed({}, 1.0f, {}, {multiRoutes[1]})) << "effective EQ and boost";
  EXPECT_TRUE(AudioRoutePolicy::processingNeeded({}, advanced.multiOutput, plainRoute, 1.0f, {}));
}

}  // namespace
