#include <gtest/gtest.h>

#include "platform/sim/SimulatedMachine.h"
#include "shell/DiagnosticReport.h"

namespace {

using namespace velmora::platform::sim;

TEST(DiagnosticReport, ListsDevicesThenApplicationsLineByLine) {
  Scenario s;
  ScenarioDevice speakers;
  speakers.uid = "spk";
  speakers.name = "Speakers";
  speakers.output.streams = {2};
  speakers.output.volume = {{0, 0.35f, true}};
  ScenarioDevice dac = speakers;
  dac.uid = "dac";
  dac.name = "DAC";
  dac.output.volume = {{1, 1.0f, true}, {2, 1.0f, true}};
  ScenarioDevice mic;
  mic.uid = "mic";
  mic.name = "Mic";
  mic.input.streams = {1};
  mic.input.volume = {{0, 0.5f, true}};
  s.devices = {speakers, dac, mic};
  s.bundles = {{"/Applications/Tunes.app", "com.example.tunes", {{"CFBundleName", std::string("Tunes")}}, {}, {}, true}};
  s.processes = {{412, "com.example.tunes", "/Applications/Tunes.app/Contents/MacOS/Tunes", {{440.0, 0.5f}}, true, {}},
                 {9077, "com.example.tunes.helper", "/opt/x", {}, true, {}}};
  SimulatedMachine machine(s);
  const auto id = [&](const char* uid) { return std::to_string(machine.audio().deviceID(uid)); };
  const auto process = [&](int32_t pid) { return std::to_string(machine.audio().processObjectID(pid)); };
  EXPECT_EQ(velmora::shell::diagnosticReport(),
            "Velmora diagnostics (read-only)\n"
            "device=" + id("dac") + " name=DAC input=0 output=2 volume=1.0\n"
            "device=" + id("mic") + " name=Mic input=1 output=0 volume=unsupported\n"
            "device=" + id("spk") + " name=Speakers input=0 output=2 volume=0.35\n"
            "app=Tunes id=com.example.tunes processes=[" + process(412) + ", " + process(9077) +
            "] playing=true\n");
}

TEST(DiagnosticReport, VolumesAreTheShortestFloatTextWithAFraction) {
  using velmora::shell::volumeText;
  EXPECT_EQ(volumeText(1.0f), "1.0");
  EXPECT_EQ(volumeText(0.5f), "0.5");
  EXPECT_EQ(volumeText(0.35f), "0.35");
  EXPECT_EQ(volumeText(0.7f), "0.7");
  EXPECT_EQ(volumeText(0.0f), "0.0");
  EXPECT_EQ(volumeText(1e-5f), "0.00001");
}

}  // namespace
