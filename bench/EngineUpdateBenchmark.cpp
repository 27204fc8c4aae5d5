// One engine update when nothing changed, the common case at every 1.5 s refresh: 40
// applications (ten of them processed, with sessions running) on a machine of 8 devices.
#include <benchmark/benchmark.h>

#include "audio/AudioApp.h"
#include "audio/AudioDevice.h"
#include "audio/AudioEngine.h"
#include "platform/dispatch/ManualScheduler.h"
#include "platform/sim/SimulatedMachine.h"

namespace {

using namespace velmora;
using namespace velmora::platform::sim;

Scenario machine() {
  Scenario s;
  for (int d = 0; d < 8; ++d) {
    ScenarioDevice device;
    device.uid = "device-" + std::to_string(d);
    device.name = "Device " + std::to_string(d);
    device.output.streams = {2};
    s.devices.push_back(device);
  }
  s.defaultOutputUID = "device-0";
  for (int a = 0; a < 40; ++a) {
    ScenarioProcess process;
    process.pid = 1000 + a;
    process.bundleID = "com.example.app" + std::to_string(a);
    process.executable = "/opt/app" + std::to_string(a);
    process.tones = {{200.0 + 10 * a, 0.05f}};
    s.processes.push_back(process);
  }
  return s;
}

void unchangedUpdate(benchmark::State& state) {
  SimulatedMachine simulated(machine());
  platform::ManualClock clock;
  platform::ManualScheduler mainQueue(clock);
  audio::AudioEngine engine(mainQueue, clock, [](double) {});
  const auto apps = audio::AudioApp::all();
  std::map<std::string, audio::AudioDevice> devices;
  for (const auto& device : audio::AudioDevice::all()) devices["audio:" + device.uid] = device;
  std::map<std::string, settings::AppLevel> levels;
  for (int a = 0; a < 10; ++a) levels[apps[a].id].volume = 0.5f;
  auto update = [&] {
    engine.update(apps, "audio:device-0", devices, true, levels, {}, {});
    engine.queue().sync([] {});
  };
  update();
  simulated.audio().render(2);
  for (auto _ : state) {
    update();
    state.PauseTiming();
    mainQueue.runPending();  // the statuses, as the main thread would take them
    state.ResumeTiming();
  }
}

BENCHMARK(unchangedUpdate)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
