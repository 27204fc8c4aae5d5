// The engine's queue sets targets while the I/O thread renders. Run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "BufferList.h"
#include "CoreTestSupport.h"

namespace {

using velmora::test::BufferList;

TEST(Concurrency, RenderThatSeesTheEQFlagSeesTheGainsOfThatCall) {
  const float poison[5] = {12, 12, 12, 12, 12};
  const float flat[5] = {0, 0, 0, 0, 0};
  for (int trial = 0; trial < 300; ++trial) {
    auto state = velmora::test::makeState(1, 1.0f, 48000.0);
    OMSetRouteEQ(state.get(), 0, false, poison);
    std::atomic<bool> go{false};
    std::thread writer([&] {
      while (!go.load(std::memory_order_acquire)) {
      }
      // The only call that switches the EQ on: whoever sees it on must see flat gains.
      OMSetRouteEQ(state.get(), 0, true, flat);
    });
    BufferList in({{2, 8}});
    BufferList out({{2, 8}});
    go.store(true, std::memory_order_release);
    while (state->routes[0].eqActive == 0) OMRender(state.get(), in.get(), out.get());
    writer.join();
    for (float applied : state->routes[0].smoothedEQ) ASSERT_EQ(applied, 0.0f) << "trial " << trial;
  }
}

TEST(Concurrency, SettersWhileRenderingKeepOutputBoundedAndCountersExact) {
  auto state = velmora::test::makeState(1, 0.5f, 48000.0);
  ASSERT_TRUE(OMConfigureRoute(state.get(), 0, 0, 2));
  ASSERT_TRUE(OMConfigureRoute(state.get(), 1, 2, 1));
  std::atomic<bool> done{false};
  std::thread engine([&] {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(-20.0f, 20.0f);
    while (!done.load(std::memory_order_acquire)) {
      OMSetGain(state.get(), value(random));
      OMSetRouteGain(state.get(), random() % 2, value(random));
      OMSetRouteBoost(state.get(), random() % 2, value(random));
      const float gains[5] = {value(random), value(random), value(random), value(random),
                              value(random)};
      OMSetRouteEQ(state.get(), random() % 2, random() % 2, gains);
      (void)OMCallbackCount(state.get());
      (void)OMRoutePeak(state.get(), 1);
      (void)OMInputPeak(state.get());
    }
  });
  BufferList in({{2, 256}});
  BufferList out({{2, 256}, {1, 256}});
  velmora::test::writeSine(in, 0, 0, 300.0, 48000.0, 1.0f);
  velmora::test::writeSine(in, 0, 1, 7000.0, 48000.0, 1.0f);
  constexpr int kCallbacks = 3000;
  for (int callback = 0; callback < kCallbacks; ++callback) {
    OMRender(state.get(), in.get(), out.get());
    for (uint32_t s = 0; s < 512; ++s) ASSERT_LE(std::fabs(out.samples(0)[s]), 1.0f);
    for (uint32_t s = 0; s < 256; ++s) ASSERT_LE(std::fabs(out.samples(1)[s]), 1.0f);
  }
  done.store(true, std::memory_order_release);
  engine.join();
  EXPECT_EQ(OMCallbackCount(state.get()), uint64_t(kCallbacks));
  EXPECT_EQ(OMFaultCount(state.get()), 0u);
}

}  // namespace
