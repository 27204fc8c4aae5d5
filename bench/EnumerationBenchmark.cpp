// Device and application enumeration run on the main thread at every refresh (every 1.5 s):
// both together on a busy machine of 20 devices and 60 processes.
#include <benchmark/benchmark.h>

#include "BusyMachine.h"
#include "audio/AudioApp.h"
#include "audio/AudioDevice.h"
#include "platform/sim/SimulatedMachine.h"

namespace {

using namespace velmora::platform;
using namespace velmora::platform::sim;

void enumerate(benchmark::State& state) {
  SimulatedMachine machine(velmora::bench::busyMachine());
  for (auto _ : state) {
    auto devices = velmora::audio::AudioDevice::all();
    auto apps = velmora::audio::AudioApp::all();
    benchmark::DoNotOptimize(devices);
    benchmark::DoNotOptimize(apps);
  }
}

BENCHMARK(enumerate)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
