// The simulated machine keeps the promises the engine tests rely on (a tap silences its process
// exactly while read, an aggregate's buffers follow its description), and a scenario file reads as
// written or is rejected with the file and the problem named.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "platform/audio/AudioHardware.h"
#include "platform/sim/ScenarioFile.h"
#include "platform/sim/SimulatedAudioSystem.h"
#include "platform/sim/SimulatedMachine.h"
#include "tests/support/Goertzel.h"
#include "tests/support/ScenarioBuilders.h"

namespace {

using namespace velmora::platform;
using namespace velmora::platform::sim;
using Strings = std::vector<std::string>;

using velmora::test::simDevice;

// Records each call as the buffers it is given ("in1off": a stream switched off, without data) in
// the std::vector<std::string> at `calls`, and copies the tap (the last input buffer, stereo like
// the DAC) to the first output buffer: the sound of a session that passes its application through.
OSStatus passThrough(AudioObjectID, const AudioTimeStamp*, const AudioBufferList* in,
                     const AudioTimeStamp*, AudioBufferList* out, const AudioTimeStamp*,
                     void* calls) {
  std::string& shapes = static_cast<Strings*>(calls)->emplace_back();
  for (auto& b : std::span(in->buffers, in->numberBuffers))
    shapes += "in" + std::to_string(b.numberChannels) + (b.data ? " " : "off ");
  for (auto& b : std::span(out->buffers, out->numberBuffers))
    shapes += "out" + std::to_string(b.numberChannels) + " ";
  const AudioBuffer& tap = in->buffers[in->numberBuffers - 1];
  std::memcpy(out->buffers[0].data, tap.data,
              std::min(tap.dataByteSize, out->buffers[0].dataByteSize));
  return 0;
}

// The engine tests count processing objects instead of listening: this is why they may.
TEST(SimulatedAudioSystem, ATapSilencesItsProcessExactlyWhileReadThroughTheAggregatesStreams) {
  Scenario s;
  s.devices = {simDevice("speakers", "speakers", {2}), simDevice("dac", "dac", {2}),
               simDevice("headset", "headset", {1}, {1})};
  s.defaultOutputUID = "speakers";
  s.processes = {{100, "com.example.music", "/bin/music", {{440.0, 0.5f}}, true, {}},
                 {200, "com.example.game", "/bin/game", {{1000.0, 0.25f}}, true, {}}};
  SimulatedAudioSystem system{s};
  const auto played = [&](const char* uid, double frequency) {
    return velmora::test::toneAmplitude(system.meter(uid).recent(0, 4096), frequency);
  };
  const TapDescription tapDescription{
      {system.processObjectID(100)}, "t", true, TapMuteBehavior::mutedWhenTapped};
  AudioObjectID tap = 0;
  ASSERT_EQ(system.createProcessTap(tapDescription, &tap), 0);
  AggregateDeviceDescription description;
  description.uid = "com.local.Ombrel.aggregate.test";
  description.mainSubDevice = "dac";
  description.subDevices = {{"dac", false}, {"headset", true}};
  description.taps = {{{}, true}};
  const AudioObjectPropertyAddress tapUID{kAudioTapPropertyUID, kAudioObjectPropertyScopeGlobal, 0};
  ASSERT_EQ(system.getPropertyString(tap, tapUID, &description.taps[0].uid), 0);
  AudioObjectID aggregate = 0;
  ASSERT_EQ(system.createAggregateDevice(description, &aggregate), 0);
  Strings calls;
  AudioDeviceIOProcID proc = nullptr;
  ASSERT_EQ(system.createIOProcID(aggregate, passThrough, &calls, &proc), 0);
  system.render(10);
  EXPECT_NEAR(played("speakers", 440.0), 0.5, 0.01) << "an unread tap silences nothing";

  struct {  // laid out like AudioHardwareIOProcStreamUsage
    AudioDeviceIOProcID proc;
    uint32_t count, on[2];
  } usage{proc, 2, {0, 1}};
  const AudioObjectPropertyAddress usageAddress{kAudioDevicePropertyIOProcStreamUsage,
                                                kAudioObjectPropertyScopeInput, 0};
  ASSERT_EQ(system.setPropertyData(aggregate, usageAddress, 0, nullptr,
                                   uint32_t(AudioHardwareIOProcStreamUsageSize(2)), &usage),
            0);
  ASSERT_EQ(system.startDevice(aggregate, proc), 0);
  system.render(10);
  // A buffer per stream, shaped like it: the headset's microphone (switched off) and the tap in;
  // the DAC and the mono headset out.
  EXPECT_EQ(calls, Strings(10, "in1off in2 out2 out1 "));
  EXPECT_NEAR(played("speakers", 440.0), 0.0, 0.001) << "silent on its own device";
  EXPECT_NEAR(played("speakers", 1000.0), 0.25, 0.01) << "others untouched";
  EXPECT_NEAR(played("dac", 440.0), 0.5, 0.01) << "heard where the proc put it";
  EXPECT_NEAR(played("dac", 1000.0), 0.0, 0.001)
      << "the tap holds only its process, and processes play on the default output only";

  ASSERT_EQ(system.stopDevice(aggregate, proc), 0);
  system.render(10);
  EXPECT_NEAR(played("speakers", 440.0), 0.5, 0.01) << "stopped: heard as usual";
  EXPECT_EQ(calls.size(), 10u) << "a stopped proc is not called";
  ASSERT_EQ(system.destroyIOProcID(aggregate, proc), 0);
  ASSERT_EQ(system.destroyAggregateDevice(aggregate), 0);
  ASSERT_EQ(system.destroyProcessTap(tap), 0);
  EXPECT_EQ(system.liveProcessingObjects(), 0u);
  system.render(10);
  EXPECT_NEAR(played("speakers", 440.0), 0.5, 0.01) << "torn down: its sound is back";
}

TEST(ScenarioFile, AScenarioReadsAsWrittenWithLeftOutFieldsAtTheirDefaults) {
  const Scenario s =
      parseScenario(R"({"devices": [{"uid": "dac", "name": "DAC", "transport": "usb ",
      "output": {"streams": [2], "volume": [{"element": 1, "value": 0.7, "settable": false}],
                 "mute": {}}, "input": {"streams": [1, 2]}}],
    "defaultOutput": "dac", "processes": [{"pid": 7, "tones": [{"frequency": 300}]}],
    "paired": [{}, {"address": "aa:bb:cc:dd:ee:ff", "name": "Buds",
                    "services": ["0x110B", "0x111e"], "majorClass": 4, "connected": true}]})",
                    "t.json");
  ScenarioDevice dac = simDevice("dac", "DAC", {2}, {1, 2}, {{1, 0.7f, false}});
  dac.transport = kAudioDeviceTransportTypeUSB;
  dac.output.mute = MuteControl{};
  EXPECT_EQ(s.devices, std::vector{dac});
  EXPECT_EQ(s.defaultOutputUID, "dac");
  EXPECT_EQ(s.processes.at(0).tones, (std::vector<Tone>{{300.0, 0.5f}}));
  EXPECT_EQ(s.pairedDevices, (std::vector<ScenarioPairedDevice>{
                                 {}, {"aa:bb:cc:dd:ee:ff", "Buds", {0x110B, 0x111E}, 4, true}}));
}

TEST(ScenarioFile, BadScenariosNameTheFileAndWhatIsWrongWhere) {
  const auto none = [](const std::string& rest) { return R"({"devices": [], )" + rest + "}"; };
  const auto device = [](const std::string& rest) {
    return R"({"devices": [{"uid": "a", "name": "A", )" + rest + "}]}";
  };
  const std::pair<std::string, std::string> cases[] = {
      {"{", "not valid JSON"},
      {"{}", "missing \"devices\""},
      {R"({"devices": [{"uid": "a"}]})", "devices[0]: missing \"name\""},
      {device(R"("transport": "usb")"), "devices[0].transport: expected a four-character code"},
      {device(R"("output": {"streams": [0]})"), "devices[0].output.streams[0]: a stream has 1 to"},
      {R"({"devices": [{"uid": "a", "name": "A"}, {"uid": "a", "name": "B"}]})",
       "devices[1].uid: \"a\" is used twice"},
      {none(R"("defaultOutput": "x")"), "defaultOutput: no device has the UID \"x\""},
      {none(R"("paired": [{"services": ["0x110B", "110B"]}])"),
       "paired[0].services[1]: expected a 16-bit service class"},
      {none(R"("paired": [{}, {"majorClass": 32}])"), "paired[1].majorClass: a major device"},
  };
  for (const auto& [json, expected] : cases) {
    std::string error;
    try {
      parseScenario(json, "t.json");
    } catch (const ScenarioError& thrown) {
      error = thrown.what();
    }
    EXPECT_TRUE(error.starts_with("t.json: " + expected)) << json << " gave: " << error;
  }
}

}  // namespace
