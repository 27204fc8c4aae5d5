// What a tap session asks the system for, and how it tunes its routes.
#include <gtest/gtest.h>

#include "EngineHarness.h"
#include "audio/AudioFailure.h"
#include "audio/TapSession.h"

namespace {

using namespace velmora::audio;

TEST(TapSession, DescribesItsTapAndAggregateAndTunesRoutesByKey) {
  velmora::platform::sim::SimulatedMachine machine(velmora::test::engineMachine());
  const auto devices = AudioDevice::all();
  auto device = [&](const std::string& uid) {
    for (const AudioDevice& d : devices)
      if (d.uid == uid) return d;
    return AudioDevice{};
  };
  const AudioApp music = AudioApp::all().at(2);
  std::vector<OutputRouteSpec> routes = {{"k-dac", device("dac"), 1, {}},
                                         {"k-phones", device("phones"), 1, {}}};
  TapSession session(music, routes, 0.5f, "signature", 12.0, [](double) {});

  EXPECT_TRUE(machine.audio().taps().at(0).isPrivate);
  const auto aggregate = machine.audio().aggregates().at(0);
  EXPECT_TRUE(aggregate.uid.starts_with("com.local.Ombrel.aggregate."));
  EXPECT_EQ(aggregate.mainSubDevice, "dac");
  EXPECT_EQ(aggregate.subDevices,
            (std::vector<velmora::platform::AggregateDeviceDescription::Member>{{"dac", false},
                                                                                {"phones", true}}));
  EXPECT_TRUE(aggregate.taps.at(0).drift);

  OMState* state = session.state();
  routes[0].eq.enabled = true;
  routes[0].eq.bands = {1, 2, 3};  // three stored bands: the last two pass as 0 dB
  session.setRoutingParameters(routes);
  EXPECT_EQ(std::vector<float>(state->routes[0].eqGains, state->routes[0].eqGains + 5),
            (std::vector<float>{1, 2, 3, 0, 0}));

  session.stop();
  session.stop();
  EXPECT_EQ(machine.audio().liveProcessingObjects(), 0u);
  EXPECT_EQ(session.state(), nullptr);

  routes.push_back({"k-dac-again", device("dac"), 1, {}});
  EXPECT_THROW(TapSession(music, routes, 1.0f, "s", 0.0, [](double) {}), AudioFailure);
  EXPECT_EQ(machine.audio().liveProcessingObjects(), 0u) << "nothing made before the route check";
}

}  // namespace
