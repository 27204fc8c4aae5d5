// A busy machine for the benchmarks of the main thread's periodic work: 20 devices and 60
// processes of 20 applications.
#pragma once

#include "platform/sim/Scenario.h"

namespace velmora::bench {

using namespace velmora::platform;
using namespace velmora::platform::sim;

inline Scenario busyMachine() {
  Scenario s;
  for (int d = 0; d < 20; ++d) {
    ScenarioDevice device;
    device.uid = "device-" + std::to_string(d);
    device.name = "Device " + std::to_string(20 - d);
    device.output.streams = {2};
    device.output.volume = {{1, 0.5f, true}, {2, 0.5f, true}};
    if (d % 3 == 0) device.input.streams = {1};
    s.devices.push_back(device);
  }
  for (int a = 0; a < 20; ++a) {
    const std::string id = "com.example.app" + std::to_string(a);
    const std::string path = "/Applications/App " + std::to_string(a) + ".app";
    s.bundles.push_back(
        {path, id, {{"CFBundleName", std::string("App ") + std::to_string(a)}}, {}, {}, true});
    for (int p = 0; p < 3; ++p) {
      ScenarioProcess process;
      process.pid = 1000 + a * 3 + p;
      process.bundleID = p == 0 ? id : id + ".helper" + std::to_string(p);
      process.executable = path + "/Contents/MacOS/app" + std::to_string(p);
      process.tones = {{440.0, 0.1f}};
      process.application = RunningApplication{path, id, "App", {}};
      s.processes.push_back(process);
    }
  }
  return s;
}

}  // namespace velmora::bench
