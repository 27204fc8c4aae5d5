// The equaliser: its response measured from rendered audio, switching, and the two-route kernels.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "CoreTestSupport.h"

namespace {

using velmora::test::BufferList;
using velmora::test::makeState;
using velmora::test::writeSine;
using Gains = std::array<float, 5>;

constexpr double kRate = 48000.0;
constexpr uint32_t kFrames = 512;

// Renders `callbacks` times and tells whether the output equals the input sample for sample.
bool rendersUnchanged(OMState* state, BufferList& in, BufferList& out, int callbacks = 1) {
  bool same = true;
  for (int callback = 0; callback < callbacks; ++callback) {
    OMRender(state, in.get(), out.get());
    for (uint32_t s = 0; s < kFrames * 2; ++s) same = same && out.samples(0)[s] == in.samples(0)[s];
  }
  return same;
}

TEST(Equalizer, ResponseOfLiftsAndCutsOnceSettled) {
  struct Row {
    Gains gains;
    double frequency, expectedDB, rate = kRate;
  };
  // The largest lift is taken off the whole signal, so a lifted band stays near the input level;
  // a cut needs no head-room. At 8 kHz the 12 kHz band sits just below half the rate.
  const Row rows[] = {{{0, 0, 12, 0, 0}, 1000, 0},
                      {{0, 0, 12, 0, 0}, 80, -12},
                      {{-12, 0, 0, 0, 0}, 80, -12},
                      {{0, 0, 0, 0, 9}, 12000, 0},
                      {{0, 0, 0, 0, 6}, 3600, 0, 8000}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.frequency << " Hz at " << row.rate);
    auto state = makeState(1, 1.0f, row.rate);
    OMSetRouteEQ(state.get(), 0, true, row.gains.data());
    BufferList in({{2, kFrames}});
    BufferList out({{2, kFrames}});
    for (uint64_t callback = 0; callback < 60; ++callback) {
      writeSine(in, 0, row.frequency, row.rate, 0.5f, callback * kFrames);
      writeSine(in, 1, row.frequency, row.rate, 0.5f, callback * kFrames);
      OMRender(state.get(), in.get(), out.get());
    }
    EXPECT_NEAR(20.0 * std::log10(velmora::test::rms(out) / velmora::test::rms(in)), row.expectedDB,
                0.5);
  }
}

TEST(Equalizer, FlatIsExactOffIsImmediateAndOnAgainStartsClean) {
  auto state = makeState(1, 1.0f, kRate);
  BufferList in({{2, kFrames}});
  BufferList out({{2, kFrames}});
  writeSine(in, 0, 80.0, kRate, 0.8f);
  writeSine(in, 1, 1000.0, kRate, 0.8f);
  const Gains flat{}, lift{12, 0, 12, 0, 0};
  OMSetRouteEQ(state.get(), 0, true, flat.data());
  EXPECT_TRUE(rendersUnchanged(state.get(), in, out, 3)) << "a flat EQ that is on";

  OMSetRouteEQ(state.get(), 0, true, lift.data());
  EXPECT_FALSE(rendersUnchanged(state.get(), in, out, 30));
  OMSetRouteEQ(state.get(), 0, false, lift.data());
  EXPECT_TRUE(rendersUnchanged(state.get(), in, out)) << "off within the next callback";

  // On again, with silence in: nothing rings out of the sections, and the bands start from 0 dB.
  OMSetRouteEQ(state.get(), 0, true, lift.data());
  BufferList silence({{2, kFrames}});
  OMRender(state.get(), silence.get(), out.get());
  EXPECT_EQ(OMOutputPeak(state.get()), 0.0f);
  writeSine(in, 0, 250.0, kRate, 0.5f);
  writeSine(in, 1, 250.0, kRate, 0.5f);
  OMRender(state.get(), in.get(), out.get());
  EXPECT_GT(velmora::test::rms(out), 0.8 * velmora::test::rms(in))
      << "an untouched band, lowered only by the first steps of the others' lift";
}

// Routes with the EQ on are filtered two at a time, by the 128-bit or the AVX code: with either,
// each route must come out exactly as it would alone, so the two agree on the same data.
TEST(Equalizer, EveryRouteIsFilteredAsIfItWereAloneWithEitherKernel) {
  const Gains settings[3] = {{12, -6, 0, 3, -12}, {-3, 9, -9, 0, 6}, {0, 0, 12, -12, 1}};
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
      OMSetRouteEQ(alone[r].get(), 0, true, settings[r].data());
    }
    BufferList in({{2, kFrames}});
    BufferList out({{2, kFrames}, {2, kFrames}, {2, kFrames}});
    BufferList single({{2, kFrames}});
    for (uint64_t callback = 0; callback < 30; ++callback) {
      writeSine(in, 0, 90.0, kRate, 0.7f, callback * kFrames);
      writeSine(in, 1, 3900.0, kRate, 0.7f, callback * kFrames);
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
