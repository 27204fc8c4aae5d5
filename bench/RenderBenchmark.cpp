// Cost of one render callback. Reported per frame and as the real-time factor: how many times
// faster than the audio plays the callback runs on one core.
#include <benchmark/benchmark.h>

#include "RenderScenarios.h"

namespace {

using velmora::bench::RenderSetup;
using velmora::bench::Scenario;

void renderCallback(benchmark::State& state, Scenario scenario) {
  RenderSetup setup(scenario);
  for (auto _ : state) {
    setup.render();
    benchmark::ClobberMemory();
  }
  const double frames = velmora::bench::kFrames;
  state.counters["ns_per_frame"] = benchmark::Counter(
      frames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["realtime_x"] = benchmark::Counter(frames / velmora::bench::kSampleRate,
                                                    benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(renderCallback, one_stereo_route_eq_off, Scenario::oneStereoRoute);
BENCHMARK_CAPTURE(renderCallback, four_stereo_routes_eq_on, Scenario::fourRoutesEQ);
BENCHMARK_CAPTURE(renderCallback, mono_tap_four_routes_eq_off, Scenario::monoTapFourRoutes);

}  // namespace

BENCHMARK_MAIN();
