// The engine's queue sets targets and reads the meters while the I/O thread renders. Run under
// ThreadSanitizer too; the engine test does the same with every setter on the simulated system.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

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
      // Read-outs while the render writes them.
      (void)(OMInputPeak(state.get()) + OMOutputPeak(state.get()) + OMRoutePeak(state.get(), 0));
      (void)(OMCallbackCount(state.get()) + OMFaultCount(state.get()));
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

}  // namespace
