#include <gtest/gtest.h>

#include "platform/sim/SimulatedMachine.h"
#include "shell/DiagnosticReport.h"
#include "tests/support/ScenarioBuilders.h"

namespace {

using namespace velmora::platform::sim;
using velmora::test::simDevice;

// Volumes are the shortest text that reads back as the same float, with a fraction part.
TEST(DiagnosticReport, ListsDevicesThenApplicationsLineByLine) {
  Scenario s;
  s.devices = {simDevice("Speakers", "Speakers", {2}, {}, {{0, 0.35f, true}}),
               simDevice("DAC", "DAC", {2}, {}, {{1, 1.0f, true}, {2, 1.0f, true}}),
               simDevice("Mic", "Mic", {}, {1})};
  s.devices[2].input.volume = {{0, 0.5f, true}};  // an input's volume is not the output's
  const std::string tunes = "/Applications/Tunes.app";
  s.bundles = {
      {tunes, "com.example.tunes", {{"CFBundleName", std::string("Tunes")}}, {}, {}, true}};
  s.processes = {
      {412, "com.example.tunes", tunes + "/Contents/MacOS/Tunes", {{440.0, 0.5f}}, true, {}},
      {9077, "com.example.tunes.helper", "/opt/x", {}, true, {}}};
  SimulatedMachine machine(s);
  const auto id = [&](const char* uid) { return std::to_string(machine.audio().deviceID(uid)); };
  const auto process = [&](int32_t pid) {
    return std::to_string(machine.audio().processObjectID(pid));
  };
  EXPECT_EQ(velmora::shell::diagnosticReport(),
            "Velmora diagnostics (read-only)\ndevice=" + id("DAC") +
                " name=DAC input=0 output=2 volume=1.0\ndevice=" + id("Mic") +
                " name=Mic input=1 output=0 volume=unsupported\ndevice=" + id("Speakers") +
                " name=Speakers input=0 output=2 volume=0.35\napp=Tunes id=com.example.tunes "
                "processes=[" +
                process(412) + ", " + process(9077) + "] playing=true\n");
  EXPECT_EQ(velmora::shell::volumeText(1e-5f), "0.00001") << "never in exponent form";
}

}  // namespace
