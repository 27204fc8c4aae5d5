// Scenario files: the built-in machine, and bad files rejected with the file and the problem named.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/ScenarioFile.h"

namespace {

using namespace velmora::platform::sim;

std::string errorOf(const std::string& json) {
  try {
    parseScenario(json, "test.json");
  } catch (const ScenarioError& error) {
    return error.what();
  }
  return "";
}

TEST(ScenarioFile, TheBuiltInMachineReadsAsWritten) {
  const Scenario s = builtInScenario();
  ASSERT_EQ(s.devices.size(), 6u);
  const ScenarioDevice& dac = s.devices[2];
  EXPECT_EQ(dac.transport, uint32_t(kAudioDeviceTransportTypeUSB));
  EXPECT_EQ(dac.output.volume, (std::vector<VolumeElement>{{1, 0.7f, true}, {2, 0.7f, true}}));
  EXPECT_FALSE(dac.output.mute.has_value());
  EXPECT_EQ(s.devices[0].output.mute, MuteControl{});
  EXPECT_TRUE(s.devices[3].output.volume.empty()) << "the display has no volume";
  EXPECT_EQ(s.devices[4].input.channels(), 1u);
  EXPECT_EQ(s.defaultOutputUID, "BuiltInSpeakerDevice");
  ASSERT_EQ(s.processes.size(), 5u);
  EXPECT_TRUE(s.processes[4].bundleID.empty()) << "a command-line process without bundle";
  // The connected headphones are paired under the address in their UID; the speaker is off.
  ASSERT_EQ(s.pairedDevices.size(), 3u);
  EXPECT_EQ(*s.pairedDevices[0].address + ":output", s.devices[4].uid);
  EXPECT_EQ(std::pair(s.pairedDevices[0].connected, s.pairedDevices[1].connected),
            std::pair(true, false));
}

TEST(ScenarioFile, BadScenariosNameTheFileAndWhatIsWrongWhere) {
  const std::pair<const char*, const char*> cases[] = {
      {"{", "test.json: not valid JSON"},
      {"[]", "test.json: expected an object"},
      {"{}", "test.json: missing \"devices\""},
      {R"({"devices": [{"uid": "a"}]})", "test.json: devices[0]: missing \"name\""},
      {R"({"devices": [{"uid": "a", "name": "A", "transport": "usb"}]})",
       "test.json: devices[0].transport: expected a four-character code"},
      {R"({"devices": [{"uid": "a", "name": "A", "output": {"streams": [0]}}]})",
       "test.json: devices[0].output.streams[0]: a stream has 1 to 64 channels"},
      {R"({"devices": [{"uid": "a", "name": "A"}, {"uid": "a", "name": "B"}]})",
       "test.json: devices[1].uid: \"a\" is used twice"},
      {R"({"devices": [], "defaultOutput": "x"})",
       "test.json: defaultOutput: no device has the UID \"x\""},
      {R"({"devices": [], "processes": [{"pid": -3}]})",
       "test.json: processes[0].pid: a process id is a positive whole number"},
      {R"({"devices": [], "processes": [{"pid": 3, "tones": [{"frequency": 440, "level": 2}]}]})",
       "test.json: processes[0].tones[0].level: a level is 0 to 1"},
      {R"({"devices": [], "paired": [{"majorClass": 4.5}]})",
       "test.json: paired[0].majorClass: a major device class is 0 to 31"},
      {R"({"devices": [{"uid": "a", "name": "A", "input": {"volume": [{"value": 1}]}}]})",
       "test.json: devices[0].input.volume[0]: missing \"element\""},
  };
  for (const auto& [json, expected] : cases)
    EXPECT_TRUE(errorOf(json).starts_with(expected)) << errorOf(json);

  const auto folder = std::filesystem::temp_directory_path() / "velmora-scenario-test";
  std::filesystem::create_directories(folder);
  EXPECT_THROW(loadScenarioFile(folder.string()), ScenarioError) << "a folder is not a scenario";
  EXPECT_THROW(loadScenarioFile((folder / "missing.json").string()), ScenarioError);
  const auto file = folder / "one.json";
  std::ofstream(file)
      << R"({"devices": [{"uid": "a", "name": "A", "output": {"streams": [2]}}], "defaultOutput": "a"})";
  EXPECT_EQ(loadScenarioFile(file.string()).devices.at(0).output.channels(), 2u);
  std::filesystem::remove_all(folder);
}

}  // namespace
