// The render cycle: ramps, limiter, peaks, block-size invariance (layouts and faults are in
// RandomLayoutTest).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "CoreTestSupport.h"

namespace {

using velmora::test::BufferList;
using velmora::test::makeState;

constexpr double kRate = 48000.0;

TEST(RenderCycle, GainChangesFadeAndEachRouteFadesOnItsOwn) {
  auto state = makeState(1, 1.0f, kRate);
  ASSERT_TRUE(OMConfigureRoute(state.get(), 0, 0, 2));
  ASSERT_TRUE(OMConfigureRoute(state.get(), 1, 2, 1));
  BufferList in({{2, 512}});
  BufferList out({{2, 512}, {1, 512}});
  in.fill(0.5f);
  OMSetRouteGain(state.get(), 1, 0.5f);
  OMRender(state.get(), in.get(), out.get());
  EXPECT_GT(out.at(1, 0, 0), 0.25f) << "route 1 fades";
  EXPECT_EQ(out.at(1, 511, 0), 0.25f);
  EXPECT_EQ(out.at(0, 511, 0), 0.5f) << "route 0 untouched";

  // A few milliseconds steadily down, silent well within the callback.
  OMSetGain(state.get(), 0.0f);
  OMRender(state.get(), in.get(), out.get());
  for (uint32_t i = 1; i < 200; ++i) ASSERT_LT(out.at(0, i, 0), out.at(0, i - 1, 0)) << i;
  EXPECT_EQ(out.at(0, 300, 1), 0.0f);

  OMSetGain(state.get(), 1.0f);
  OMRender(state.get(), in.get(), out.get());
  OMSetRouteBoost(state.get(), 0, 2.0f);
  in.fill(0.25f);
  OMRender(state.get(), in.get(), out.get());
  EXPECT_LT(out.at(0, 511, 0), 0.45f) << "a boost comes in more slowly";
  for (int callback = 0; callback < 5; ++callback) OMRender(state.get(), in.get(), out.get());
  EXPECT_NEAR(out.at(0, 511, 0), 0.5f, 1e-6f);
}

TEST(RenderCycle, OneLongBlockEqualsAnySplit) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
  constexpr uint32_t kFrames = 4096;

  auto prepare = [](OMState* state) {
    OMConfigureRoute(state, 0, 0, 2);
    OMConfigureRoute(state, 1, 2, 1);
    const float eq[5] = {6, -3, 12, 0, -12};
    OMSetRouteEQ(state, 0, true, eq);
    BufferList in({{2, 64}});
    BufferList out({{2, 64}, {1, 64}});
    for (int i = 0; i < 30; ++i) OMRender(state, in.get(), out.get());  // settle the EQ
    // Ramps in flight across the splits.
    OMSetGain(state, 0.3f);
    OMSetRouteGain(state, 1, 0.1f);
    OMSetRouteBoost(state, 0, 2.0f);
  };
  auto whole = makeState(1, 1.0f, kRate);
  prepare(whole.get());
  BufferList in({{2, kFrames}});
  BufferList out({{2, kFrames}, {1, kFrames}});
  for (uint32_t s = 0; s < kFrames * 2; ++s) in.samples(0)[s] = sample(random);
  OMRender(whole.get(), in.get(), out.get());

  for (int trial = 0; trial < 5; ++trial) {
    auto split = makeState(1, 1.0f, kRate);
    prepare(split.get());
    uint32_t done = 0;
    while (done < kFrames) {
      const uint32_t n = std::min<uint32_t>(kFrames - done, 1 + random() % 700);
      BufferList part({{2, n}});
      BufferList partOut({{2, n}, {1, n}});
      std::copy_n(in.samples(0) + size_t(done) * 2, n * 2, part.samples(0));
      OMRender(split.get(), part.get(), partOut.get());
      ASSERT_TRUE(std::equal(partOut.samples(0), partOut.samples(0) + size_t(n) * 2,
                             out.samples(0) + size_t(done) * 2))
          << "from frame " << done;
      ASSERT_TRUE(std::equal(partOut.samples(1), partOut.samples(1) + n, out.samples(1) + done));
      done += n;
    }
  }
}

TEST(RenderCycle, BoostIsLimitedAndNothingLeavesFullScale) {
  auto state = makeState(1, 1.0f, kRate);
  OMSetRouteBoost(state.get(), 0, 2.0f);
  BufferList in({{2, 4800}});
  BufferList out({{2, 4800}});
  velmora::test::writeSine(in, 0, 1000.0, kRate, 1.0f);
  velmora::test::writeSine(in, 1, 1000.0, kRate, 1.0f);
  OMRender(state.get(), in.get(), out.get());  // boost ramps over the first 2400 frames
  OMRender(state.get(), in.get(), out.get());
  EXPECT_GT(OMOutputPeak(state.get()), 0.95f) << "a full-scale tone doubled comes out loud";

  std::mt19937 random(3);
  std::uniform_real_distribution<float> loud(-1.0f, 1.0f);
  for (int callback = 0; callback < 20; ++callback) {
    for (uint32_t s = 0; s < 4800 * 2; ++s) in.samples(0)[s] = loud(random);
    OMSetGain(state.get(), 1.0f - float(callback % 5) * 0.1f);
    OMSetRouteGain(state.get(), 0, 1.0f - float(callback % 3) * 0.2f);
    OMRender(state.get(), in.get(), out.get());
    // The hard clip is at 1.0; the soft limiter alone must keep the output under it.
    ASSERT_LT(OMOutputPeak(state.get()), 0.9827f) << "callback " << callback;
  }

  OMSetGain(state.get(), 1.0f);
  OMSetRouteGain(state.get(), 0, 1.0f);
  OMSetRouteBoost(state.get(), 0, 1.0f);
  for (int callback = 0; callback < 2; ++callback) OMRender(state.get(), in.get(), out.get());
  EXPECT_EQ(out.samples(0)[9599], in.samples(0)[9599]) << "no limiting without boost";

  // A full-scale square wave on a lifted band: the filter alone would overshoot.
  const float lift[5] = {12, 0, 0, 0, 0};
  OMSetRouteEQ(state.get(), 0, true, lift);
  for (uint32_t i = 0; i < 4800; ++i)
    in.at(0, i, 0) = in.at(0, i, 1) = (i / 300) % 2 ? 1.0f : -1.0f;
  for (int callback = 0; callback < 30; ++callback) OMRender(state.get(), in.get(), out.get());
  EXPECT_EQ(OMOutputPeak(state.get()), 1.0f) << "clipped at full scale";
}

TEST(RenderCycle, NonFiniteInputIsSilenceAndPeaksArePerCallback) {
  auto state = makeState(1, 1.0f, kRate);
  BufferList in({{2, 4}});
  BufferList out({{2, 4}});
  OMRender(state.get(), in.get(), nullptr);
  OMRender(nullptr, in.get(), out.get());
  EXPECT_EQ(OMCallbackCount(state.get()), 0u) << "nothing to render into, no callback";
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const float samples[8] = {nan, 0.5f, inf, -0.75f, -inf, 0.25f, 0.125f, nan};
  std::copy(std::begin(samples), std::end(samples), in.samples(0));
  OMRender(state.get(), in.get(), out.get());
  EXPECT_EQ(std::vector<float>(out.samples(0), out.samples(0) + 8),
            (std::vector<float>{0, 0.5f, 0, -0.75f, 0, 0.25f, 0.125f, 0}));
  EXPECT_EQ(OMInputPeak(state.get()), 0.75f);
  EXPECT_EQ(OMOutputPeak(state.get()), 0.75f);
  EXPECT_EQ(OMRoutePeak(state.get(), 0), 0.75f);

  in.fill(0.1f);
  OMRender(state.get(), in.get(), out.get());
  EXPECT_EQ(OMInputPeak(state.get()), 0.1f) << "no hold: the quieter callback lowers the peak";

  BufferList empty({{2, 0}});
  OMRender(state.get(), empty.get(), out.get());
  EXPECT_EQ(OMInputPeak(state.get()), 0.0f) << "zero frames";
  EXPECT_EQ(OMFaultCount(state.get()), 0u);
  EXPECT_EQ(OMIOProc(0, nullptr, nullptr, nullptr, out.get(), nullptr, state.get()), 0)
      << "a callback with no input faults but still reports success";
  EXPECT_EQ(OMFaultCount(state.get()), 1u);
}

}  // namespace
