// Creation, clamping and route configuration of a processing state.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "CoreTestSupport.h"

namespace {

using velmora::test::State;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

State create(uint32_t taps = 1, float gain = 1.0f, double rate = 48000.0) {
  return velmora::test::makeState(taps, gain, rate);
}

TEST(ProcessingState, CreationClampsGainAndSampleRate) {
  auto low = create(1, 2.5f, 4000.0);
  EXPECT_EQ(low->gain, 1.0f);
  EXPECT_EQ(low->smoothedGain, 1.0f);
  EXPECT_EQ(low->sampleRate, 8000.0);
  EXPECT_FLOAT_EQ(low->rampStep, 0.025f);

  auto silent = create(2, -1.0f, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(silent->gain, 0.0f);
  EXPECT_EQ(silent->smoothedGain, 0.0f);
  EXPECT_EQ(silent->sampleRate, 8000.0);
  EXPECT_EQ(silent->tapBufferCount, 2u);

  // A ramp of zero steps would never reach a target: an infinite rate is treated like no rate.
  auto infinite = create(1, kNaN, std::numeric_limits<double>::infinity());
  EXPECT_EQ(infinite->sampleRate, 8000.0);
  EXPECT_EQ(infinite->gain, 1.0f) << "NaN gain is full level, not silence";

  auto normal = create(1, 0.5f, 48000.0);
  EXPECT_EQ(normal->rampStep, float(1.0 / (48000.0 * 0.005)));
  EXPECT_EQ(normal->routeCount, 1u);
  for (const OMRoute& route : normal->routes) {
    EXPECT_EQ(route.channelCount, 0u);
    EXPECT_TRUE(route.gain == 1 && route.boost == 1 && route.smoothedGain == 1 &&
                route.smoothedBoost == 1 && route.preGain == 1);
    for (const OMBiquad& stage : route.stages) EXPECT_TRUE(stage.b0 == 1 && stage.b1 == 0 && stage.a2 == 0);
  }
}

TEST(ProcessingState, SettersClampAndMapNonFiniteToNeutral) {
  auto state = create();
  struct Case {
    float in, gain, boost, eq;
  };
  const Case cases[] = {
      {kNaN, 1.0f, 1.0f, 0.0f},     {kInf, 1.0f, 1.0f, 0.0f},     {-kInf, 1.0f, 1.0f, 0.0f},
      {-0.5f, 0.0f, 1.0f, -0.5f},   {0.3f, 0.3f, 1.0f, 0.3f},     {1.5f, 1.0f, 1.5f, 1.5f},
      {0.5f, 0.5f, 1.0f, 0.5f},     {3.0f, 1.0f, 2.0f, 3.0f},     {20.0f, 1.0f, 2.0f, 12.0f},
      {-30.0f, 0.0f, 1.0f, -12.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    OMSetGain(state.get(), c.in);
    OMSetRouteGain(state.get(), 2, c.in);
    OMSetRouteBoost(state.get(), 3, c.in);
    const float gains[5] = {c.in, c.in, c.in, c.in, c.in};
    OMSetRouteEQ(state.get(), 1, true, gains);
    EXPECT_EQ(state->gain, c.gain);
    EXPECT_EQ(state->routes[2].gain, c.gain);
    EXPECT_EQ(state->routes[3].boost, c.boost);
    for (float g : state->routes[1].eqGains) EXPECT_EQ(g, c.eq);
    EXPECT_NE(state->routes[1].eqEnabled, 0u);
  }

  // Out-of-range routes, null gains and null states change nothing and do not crash.
  const OMState before = *state;
  const float gains[5] = {1, 2, 3, 4, 5};
  OMSetRouteGain(state.get(), 4, 0.1f);
  OMSetRouteBoost(state.get(), 99, 1.7f);
  OMSetRouteEQ(state.get(), 4, true, gains);
  OMSetRouteEQ(state.get(), 0, true, nullptr);
  EXPECT_EQ(std::memcmp(&before, state.get(), sizeof(OMState)), 0);
  OMSetGain(nullptr, 0.5f);
  OMSetRouteGain(nullptr, 0, 0.5f);
  OMSetRouteBoost(nullptr, 0, 1.5f);
  OMSetRouteEQ(nullptr, 0, true, gains);
  OMDestroyState(nullptr);

  OMSetRouteEQ(state.get(), 1, false, gains);
  EXPECT_EQ(state->routes[1].eqEnabled, 0u);
  EXPECT_EQ(state->routes[1].eqGains[4], 5.0f) << "gains are stored even when switched off";
}

TEST(ProcessingState, ConfigureRouteValidatesAndOnlyGrowsRouteCount) {
  auto state = create();
  struct Case {
    uint32_t route, first, count;
    bool ok;
  };
  const Case rejected[] = {{1, 7, 2, false}, {4, 0, 1, false}, {0, 0, 3, false},
                           {0, 0, 0, false}, {0, 8, 1, false}, {2, 0xFFFFFFFFu, 2, false}};
  for (const Case& c : rejected) {
    EXPECT_FALSE(OMConfigureRoute(state.get(), c.route, c.first, c.count));
  }
  EXPECT_EQ(state->routeCount, 1u);
  EXPECT_EQ(state->routes[0].channelCount, 0u);
  EXPECT_FALSE(OMConfigureRoute(nullptr, 0, 0, 2));

  EXPECT_TRUE(OMConfigureRoute(state.get(), 3, 6, 2));
  EXPECT_EQ(state->routeCount, 4u) << "raised even though routes 1 and 2 are unconfigured";
  EXPECT_EQ(state->routes[3].firstChannel, 6u);
  EXPECT_EQ(state->routes[3].channelCount, 2u);
  EXPECT_TRUE(OMConfigureRoute(state.get(), 0, 0, 1));
  EXPECT_EQ(state->routeCount, 4u) << "never shrinks";
  EXPECT_TRUE(OMConfigureRoute(state.get(), 1, 7, 1));
}

TEST(ProcessingState, ReadOutsOfMissingRoutesAndStatesAreZero) {
  auto state = create();
  state->routes[3].peak = 0.5f;
  EXPECT_EQ(OMRoutePeak(state.get(), 3), 0.5f);
  EXPECT_EQ(OMRoutePeak(state.get(), 9), 0.0f);
  EXPECT_EQ(OMRoutePeak(nullptr, 0) + OMInputPeak(nullptr) + float(OMCallbackCount(nullptr)), 0.0f);
}

}  // namespace
