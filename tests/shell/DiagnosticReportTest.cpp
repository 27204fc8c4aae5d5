#include <gtest/gtest.h>

#include "platform/sim/SimulatedMachine.h"
#include "shell/DiagnosticReport.h"

namespace {

using namespace velmora::platform::sim;

ScenarioDevice device(std::string uid, DeviceScope output, DeviceScope input = {}) {
  ScenarioDevice d;
  d.uid = d.name = std::move(uid);
  d.output = std::move(output);
  d.input = std::move(input);
  return d;
}

// Volumes are the shortest text that reads back as the same float, with a fraction part.
TEST(DiagnosticReport, ListsDevicesThenApplicationsLineByLine) {
  Scenario s;
  s.devices = {device("Speakers", {{2}, {{0, 0.35f, true}}, {}}),
               device("DAC", {{2}, {{1, 1.0f, true}, {2, 1.0f, true}}, {}}),
               device("Mic", {}, {{1}, {{0, 0.5f, true}}, {}})};
  s.bundles = {{"/Applications/Tunes.app",
                "com.example.tunes",
                {{"CFBundleName", std::string("Tunes")}},
                {},
                {},
                true}};
  s.processes = {{412,
                  "com.example.tunes",
                  "/Applications/Tunes.app/Contents/MacOS/Tunes",
                  {{440.0, 0.5f}},
                  true,
                  {}},
                 {9077, "com.example.tunes.helper", "/opt/x", {}, true, {}}};
  SimulatedMachine machine(s);
  const auto id = [&](const char* uid) { return std::to_string(machine.audio().deviceID(uid)); };
  const auto process = [&](int32_t pid) {
    return std::to_string(machine.audio().processObjectID(pid));
  };
  EXPECT_EQ(velmora::shell::diagnosticReport(),
            "Velmora diagnostics (read-only)\n"
            "device=" +
                id("DAC") +
                " name=DAC input=0 output=2 volume=1.0\n"
                "device=" +
                id("Mic") +
                " name=Mic input=1 output=0 volume=unsupported\n"
                "device=" +
                id("Speakers") +
                " name=Speakers input=0 output=2 volume=0.35\n"
                "app=Tunes id=com.example.tunes processes=[" +
                process(412) + ", " + process(9077) + "] playing=true\n");
  EXPECT_EQ(velmora::shell::volumeText(1e-5f), "0.00001") << "never in exponent form";
}

}  // namespace
