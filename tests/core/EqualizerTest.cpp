// The equaliser: its response measured from rendered audio, switching, and the two-route kernels.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "BufferList.h"
#include "CoreTestSupport.h"

namespace {

using velmora::test::BufferList;
using velmora::test::makeState;

constexpr double kRate = 48000.0;
constexpr uint32_t kFrames = 512;

void setEQ(OMState* state, bool enabled, std::array<float, 5> gains) {
  OMSetRouteEQ(state, 0, enabled, gains.data());
}

// Level change in dB of a sine through the state, once every ramp has settled.
double responseDB(std::array<float, 5> gains, double frequency) {
  auto state = makeState(1, 1.0f, kRate);
  setEQ(state.get(), true, gains);
  BufferList in({{2, kFrames}});
  BufferList out({{2, kFrames}});
  for (uint64_t callback = 0; callback < 60; ++callback) {
    velmora::test::writeSine(in, 0, 0, frequency, kRate, 0.5f, callback * kFrames);
    velmora::test::writeSine(in, 0, 1, frequency, kRate, 0.5f, callback * kFrames);
    OMRender(state.get(), in.get(), out.get());
  }
  return 20.0 * std::log10(velmora::test::rms(out, 0, 0, 0, kFrames) /
                           velmora::test::rms(in, 0, 0, 0, kFrames));
}

TEST(Equalizer, BoostedBandComesOutAtInputLevelAndTheRestLower) {
  // The pre-gain takes the +12 dB back, so the lifted band stays near the input level.
  EXPECT_NEAR(responseDB({0, 0, 12, 0, 0}, 1000.0), 0.0, 0.5);
  EXPECT_NEAR(responseDB({0, 0, 12, 0, 0}, 80.0), -12.0, 0.5);
  // A cut needs no head-room.
  EXPECT_NEAR(responseDB({-12, 0, 0, 0, 0}, 80.0), -12.0, 0.5);
  EXPECT_NEAR(responseDB({-12, 0, 0, 0, 0}, 1000.0), 0.0, 0.5);
  EXPECT_NEAR(responseDB({0, 0, 0, 0, 9}, 12000.0), 0.0, 0.5);
  EXPECT_NEAR(responseDB({0, 0, 0, 0, 9}, 250.0), -9.0, 0.5);
}

TEST(Equalizer, SwitchingOffIsImmediateAndOnRampsFromCleanState) {
  auto state = makeState(1, 1.0f, kRate);
  setEQ(state.get(), true, {12, 0, 12, 0, 0});
  BufferList in({{2, kFrames}});
  BufferList out({{2, kFrames}});
  velmora::test::writeSine(in, 0, 0, 80.0, kRate, 0.8f);
  velmora::test::writeSine(in, 0, 1, 1000.0, kRate, 0.8f);
  for (int callback = 0; callback < 30; ++callback) OMRender(state.get(), in.get(), out.get());
  const OMRoute& route = state->routes[0];
  ASSERT_NE(route.stages[0].z1[0], 0.0);

  setEQ(state.get(), false, {12, 0, 12, 0, 0});
  OMRender(state.get(), in.get(), out.get());
  EXPECT_EQ(route.eqActive, 0u);
  EXPECT_EQ(route.preGain, 1.0f);
  EXPECT_EQ(route.smoothedEQ[0], 12.0f) << "applied gains are left as they are";
  for (uint32_t s = 0; s < kFrames * 2; ++s) ASSERT_EQ(out.samples(0)[s], in.samples(0)[s]);

  // On again, with silence in: the sections were cleared, so nothing rings out of them.
  setEQ(state.get(), true, {12, 0, 12, 0, 0});
  BufferList silence({{2, kFrames}});
  OMRender(state.get(), silence.get(), out.get());
  EXPECT_EQ(route.smoothedEQ[0], 0.5f);
  EXPECT_EQ(route.smoothedEQ[1], 0.0f);
  for (const OMBiquad& stage : route.stages) {
    EXPECT_EQ(stage.z1[0], 0.0);
    EXPECT_EQ(stage.z2[1], 0.0);
  }
  EXPECT_EQ(OMOutputPeak(state.get()), 0.0f);

  // Once settled, an unchanged band keeps its coefficients: nothing is redesigned per callback.
  for (int callback = 0; callback < 30; ++callback) OMRender(state.get(), in.get(), out.get());
  state->routes[0].stages[2].b0 = 42.0;
  OMRender(state.get(), in.get(), out.get());
  EXPECT_EQ(route.stages[2].b0, 42.0);
}

TEST(Equalizer, FlatEnabledIsIdentityAndBandsAboveTheLimitSitBelowIt) {
  auto flat = makeState(1, 1.0f, kRate);
  setEQ(flat.get(), true, {0, 0, 0, 0, 0});
  BufferList in({{2, kFrames}});
  BufferList out({{2, kFrames}});
  velmora::test::writeSine(in, 0, 0, 440.0, kRate, 0.9f);
  velmora::test::writeSine(in, 0, 1, 5000.0, kRate, 0.9f);
  for (int callback = 0; callback < 3; ++callback) OMRender(flat.get(), in.get(), out.get());
  for (uint32_t s = 0; s < kFrames * 2; ++s) ASSERT_EQ(out.samples(0)[s], in.samples(0)[s]);
  EXPECT_EQ(flat->routes[0].eqActive, 1u) << "a flat EQ that is on still runs";

  // At 8 kHz the 4 kHz and 12 kHz bands are both centred at 0.45 x 8000 = 3600 Hz.
  auto low = makeState(1, 1.0f, 8000.0);
  setEQ(low.get(), true, {0, 0, 0, 6, 6});
  for (int callback = 0; callback < 12; ++callback) OMRender(low.get(), in.get(), out.get());
  EXPECT_EQ(low->routes[0].stages[3].b1, low->routes[0].stages[4].b1);
  for (uint32_t s = 0; s < kFrames * 2; ++s) ASSERT_TRUE(std::isfinite(out.samples(0)[s]));
}

// Routes with the EQ on are filtered two at a time, by the 128-bit or the AVX code: with either,
// each route must come out exactly as it would alone, so the two agree on the same data.
TEST(Equalizer, EveryRouteIsFilteredAsIfItWereAloneWithEitherKernel) {
  const std::array<float, 5> settings[3] = {
      {12, -6, 0, 3, -12}, {-3, 9, -9, 0, 6}, {0, 0, 12, -12, 1}};
  std::vector<OMFilterKernel> kernels = {OMFilterKernel128};
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx")) kernels.push_back(OMFilterKernelAVX);
  for (const OMFilterKernel kernel : kernels) {
    SCOPED_TRACE(kernel == OMFilterKernelAVX ? "AVX" : "128-bit");
    auto together = makeState(1, 1.0f, kRate);
    together->filterKernel = kernel;
    velmora::test::State alone[3];
    for (uint32_t r = 0; r < 3; ++r) {
      ASSERT_TRUE(OMConfigureRoute(together.get(), r, r * 2, 2));
      OMSetRouteEQ(together.get(), r, true, settings[r].data());
      alone[r] = makeState(1, 1.0f, kRate);
      ASSERT_TRUE(OMConfigureRoute(alone[r].get(), 0, 0, 2));
      OMSetRouteEQ(alone[r].get(), 0, true, settings[r].data());
    }
    BufferList in({{2, kFrames}});
    BufferList out({{2, kFrames}, {2, kFrames}, {2, kFrames}});
    BufferList single({{2, kFrames}});
    for (uint64_t callback = 0; callback < 30; ++callback) {
      velmora::test::writeSine(in, 0, 0, 90.0, kRate, 0.7f, callback * kFrames);
      velmora::test::writeSine(in, 0, 1, 3900.0, kRate, 0.7f, callback * kFrames);
      OMRender(together.get(), in.get(), out.get());
      for (uint32_t r = 0; r < 3; ++r) {
        OMRender(alone[r].get(), in.get(), single.get());
        for (uint32_t s = 0; s < kFrames * 2; ++s) {
          ASSERT_EQ(out.samples(r)[s], single.samples(0)[s]) << "route " << r << " sample " << s;
        }
      }
    }
  }
}

}  // namespace
