// Creation, clamping and route configuration of a processing state.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "CoreTestSupport.h"

namespace {

using velmora::test::makeState;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

TEST(ProcessingState, SettersClampAndMapNonFiniteToNeutralAndRoutesAreValidated) {
  auto state = makeState();
  struct Case {
    float in, gain, boost, eq;
  };
  const Case cases[] = {{kNaN, 1, 1, 0},       {-kInf, 1, 1, 0}, {-0.5f, 0, 1, -0.5f},
                        {1.5f, 1, 1.5f, 1.5f}, {3.0f, 1, 2, 3},  {-30.0f, 0, 1, -12}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    auto created = makeState(1, c.in);
    EXPECT_EQ(created->gain, c.gain);
    EXPECT_EQ(created->smoothedGain, c.gain) << "no fade-in at start";
    OMSetGain(state.get(), c.in);
    OMSetRouteGain(state.get(), 2, c.in);
    OMSetRouteBoost(state.get(), 3, c.in);
    const float gains[5] = {c.in, c.in, c.in, c.in, c.in};
    OMSetRouteEQ(state.get(), 1, true, gains);
    EXPECT_EQ(state->gain, c.gain);
    EXPECT_EQ(state->routes[2].gain, c.gain);
    EXPECT_EQ(state->routes[3].boost, c.boost);
    EXPECT_EQ(state->routes[1].eqGains[4], c.eq);
  }
  // An infinite rate would make every ramp step zero: it is treated like no rate.
  const double rates[][2] = {{4000, 8000}, {NAN, 8000}, {INFINITY, 8000}, {48000, 48000}};
  for (const auto& rate : rates) EXPECT_EQ(makeState(1, 1, rate[0])->sampleRate, rate[1]);
  const float gains[5] = {1, 2, 3, 4, 5};
  OMSetRouteEQ(state.get(), 1, false, gains);
  EXPECT_EQ(state->routes[1].eqEnabled, 0u);
  EXPECT_EQ(state->routes[1].eqGains[4], 5.0f) << "gains are stored even when switched off";

  // Out-of-range routes, null gains and null states are ignored.
  OMSetRouteGain(state.get(), 4, 0.1f);
  OMSetRouteBoost(state.get(), 99, 1.7f);
  OMSetRouteEQ(state.get(), 4, true, gains);
  OMSetRouteEQ(state.get(), 2, true, nullptr);
  EXPECT_EQ(state->routes[2].eqEnabled, 0u);
  OMSetGain(nullptr, 0.5f);
  OMSetRouteEQ(nullptr, 0, true, gains);
  OMDestroyState(nullptr);
  EXPECT_EQ(OMRoutePeak(state.get(), 9) + OMRoutePeak(nullptr, 0) + OMInputPeak(nullptr), 0.0f);

  SCOPED_TRACE("routes are validated, and their count only grows");
  const uint32_t rejected[][3] = {{1, 7, 2}, {4, 0, 1}, {0, 0, 3}, {0, 0, 0}, {2, 0xFFFFFFFFu, 2}};
  for (const auto& r : rejected) EXPECT_FALSE(OMConfigureRoute(state.get(), r[0], r[1], r[2]));
  EXPECT_FALSE(OMConfigureRoute(nullptr, 0, 0, 2));
  EXPECT_EQ(state->routeCount, 1u);
  EXPECT_EQ(state->routes[0].channelCount, 0u) << "a refused call changes nothing";

  EXPECT_TRUE(OMConfigureRoute(state.get(), 3, 6, 2));
  EXPECT_EQ(state->routeCount, 4u) << "raised even though routes 1 and 2 are unconfigured";
  EXPECT_EQ(state->routes[3].firstChannel, 6u);
  EXPECT_TRUE(OMConfigureRoute(state.get(), 0, 0, 1));
  EXPECT_EQ(state->routeCount, 4u) << "never shrinks";
}

}  // namespace
