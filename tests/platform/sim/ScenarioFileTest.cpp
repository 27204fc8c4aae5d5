// Scenario files: a file gives the machine it describes, and a bad one is rejected with the file
// and the problem named.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/sim/ScenarioFile.h"
#include "tests/support/ScenarioBuilders.h"

namespace {

using namespace velmora::platform::sim;

TEST(ScenarioFile, AFileReadsAsWrittenWithLeftOutFieldsAtTheirDefaults) {
  const auto folder = std::filesystem::temp_directory_path() / "velmora-scenario-test";
  std::filesystem::create_directories(folder);
  const auto file = folder / "one.json";
  std::ofstream(file) << R"({"devices": [{"uid": "dac", "name": "DAC", "transport": "usb ",
      "output": {"streams": [2], "volume": [{"element": 1, "value": 0.7, "settable": false}],
                 "mute": {}}, "input": {"streams": [1, 2]}}],
    "defaultOutput": "dac", "processes": [{"pid": 7, "tones": [{"frequency": 300}]}],
    "paired": [{}, {"address": "aa:bb:cc:dd:ee:ff", "name": "Buds",
                    "services": ["0x110B", "0x111e"], "majorClass": 4, "connected": true}]})";
  const Scenario s = loadScenarioFile(file.string());
  ScenarioDevice dac = velmora::test::simDevice("dac", "DAC", {2}, {1, 2}, {{1, 0.7f, false}});
  dac.transport = kAudioDeviceTransportTypeUSB;
  dac.output.mute = MuteControl{};
  EXPECT_EQ(s.devices, std::vector{dac});
  EXPECT_EQ(s.defaultOutputUID, "dac");
  EXPECT_EQ(s.processes.at(0).tones, (std::vector<Tone>{{300.0, 0.5f}}));
  EXPECT_EQ(s.pairedDevices, (std::vector<ScenarioPairedDevice>{
                                 {}, {"aa:bb:cc:dd:ee:ff", "Buds", {0x110B, 0x111E}, 4, true}}));

  EXPECT_THROW(loadScenarioFile(folder.string()), ScenarioError) << "a folder is not a scenario";
  EXPECT_THROW(loadScenarioFile((folder / "missing.json").string()), ScenarioError);
  std::filesystem::remove_all(folder);
}

TEST(ScenarioFile, BadScenariosNameTheFileAndWhatIsWrongWhere) {
  const auto none = [](const std::string& rest) { return R"({"devices": [], )" + rest + "}"; };
  const auto device = [](const std::string& rest) {
    return R"({"devices": [{"uid": "a", "name": "A", )" + rest + "}]}";
  };
  const std::pair<std::string, std::string> cases[] = {
      {"{", "not valid JSON"},
      {"[]", "expected an object"},
      {"{}", "missing \"devices\""},
      {R"({"devices": [{"uid": "a"}]})", "devices[0]: missing \"name\""},
      {device(R"("transport": "usb")"), "devices[0].transport: expected a four-character code"},
      {device(R"("output": {"streams": [0]})"), "devices[0].output.streams[0]: a stream has 1 to"},
      {device(R"("input": {"volume": [{"value": 1}]})"), "devices[0].input.volume[0]: missing"},
      {R"({"devices": [{"uid": "a", "name": "A"}, {"uid": "a", "name": "B"}]})",
       "devices[1].uid: \"a\" is used twice"},
      {none(R"("defaultOutput": "x")"), "defaultOutput: no device has the UID \"x\""},
      {none(R"("processes": [{"pid": -3}])"), "processes[0].pid: a process id is a positive"},
      {none(R"("processes": [{"pid": 3, "tones": [{"frequency": 440, "level": 2}]}])"),
       "processes[0].tones[0].level: a level is 0 to 1"},
      {none(R"("paired": {})"), "paired: expected a list"},
      {none(R"("paired": [{"address": 1}])"), "paired[0].address: expected text"},
      {none(R"("paired": [{"services": ["0x110B", "110B"]}])"),
       "paired[0].services[1]: expected a 16-bit service class"},
      {none(R"("paired": [{"majorClass": 4.5}])"), "paired[0].majorClass: a major device class"},
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
