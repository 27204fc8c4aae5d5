// The simulated Bluetooth stack: the scenario's paired list, read from JSON, served through the
// installed service while the machine lives, and changed by tests.
#include <gtest/gtest.h>

#include "platform/bluetooth/BluetoothService.h"
#include "platform/sim/ScenarioFile.h"
#include "platform/sim/SimulatedMachine.h"

namespace {

using namespace velmora::platform;
using namespace velmora::platform::sim;

std::string errorOf(const std::string& json) {
  try {
    parseScenario(json, "test.json");
  } catch (const ScenarioError& error) {
    return error.what();
  }
  return "";
}

TEST(SimulatedBluetooth, ScenarioPairedListIsReadWithDefaultsForWhatIsLeftOut) {
  const Scenario s = parseScenario(R"({"devices": [], "paired": [
      {"address": "aa:bb:cc:dd:ee:ff", "name": "Buds", "services": ["0x110B", "0x111e"], "majorClass": 4,
       "connected": true},
      {}]})", "test.json");
  ASSERT_EQ(s.pairedDevices.size(), 2u);
  const ScenarioPairedDevice buds{"aa:bb:cc:dd:ee:ff", "Buds", {0x110B, 0x111E}, 4, true};
  EXPECT_EQ(s.pairedDevices[0], buds);
  EXPECT_EQ(s.pairedDevices[1], ScenarioPairedDevice{}) << "no address, no name, no services, class 0";
}

TEST(SimulatedBluetooth, BadPairedEntriesNameWhereAndWhat) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"devices": [], "paired": {}})", "test.json: paired: expected a list"},
      {R"({"devices": [], "paired": [3]})", "test.json: paired[0]: expected an object"},
      {R"({"devices": [], "paired": [{"address": 1}]})", "test.json: paired[0].address: expected text"},
      {R"({"devices": [], "paired": [{"services": [4363]}]})", "test.json: paired[0].services[0]: expected text"},
      {R"({"devices": [], "paired": [{"services": ["0x110B", "110B"]}]})",
       "test.json: paired[0].services[1]: expected a 16-bit service class such as \"0x110B\""},
      {R"({"devices": [], "paired": [{"services": ["0x1G0B"]}]})",
       "test.json: paired[0].services[0]: expected a 16-bit service class"},
      {R"({"devices": [], "paired": [{}, {"majorClass": 32}]})",
       "test.json: paired[1].majorClass: a major device class is 0 to 31"},
      {R"({"devices": [], "paired": [{"majorClass": 1.5}]})",
       "test.json: paired[0].majorClass: a major device class is 0 to 31"},
      {R"({"devices": [], "paired": [{"connected": "yes"}]})",
       "test.json: paired[0].connected: expected true or false"},
  };
  for (const auto& [json, message] : cases) {
    EXPECT_TRUE(errorOf(json).starts_with(message)) << json << "\n  gave: " << errorOf(json);
  }
}

TEST(SimulatedBluetooth, BuiltInMachinePairsItsHeadphonesASpeakerAndAKeyboard) {
  const Scenario s = builtInScenario();
  ASSERT_EQ(s.pairedDevices.size(), 3u);
  const ScenarioPairedDevice& headphones = s.pairedDevices[0];
  // The connected headphones are the audio device whose UID carries their address.
  EXPECT_EQ(s.devices[4].uid, *headphones.address + ":output");
  EXPECT_EQ(s.devices[4].name, headphones.name);
  EXPECT_TRUE(headphones.connected);
  EXPECT_FALSE(s.pairedDevices[1].connected) << "the speaker is paired but switched off";
  EXPECT_NE(s.pairedDevices[2].majorDeviceClass, kBluetoothMajorClassAudio) << "the keyboard is no audio device";
}

TEST(SimulatedBluetooth, MachineServesItsPairedListWhileItLivesAndCanChangeIt) {
  EXPECT_TRUE(bluetoothService().pairedDevices().empty()) << "neutral service before any machine";
  Scenario scenario;
  scenario.pairedDevices = {ScenarioPairedDevice{"aa:bb:cc:dd:ee:ff", "Buds", {kBluetoothServiceAudioSink}, 4, false},
                            ScenarioPairedDevice{"11:22:33:44:55:66", "Pad", {}, 5, false}};
  {
    SimulatedMachine machine(scenario);
    std::vector<PairedBluetoothDevice> paired = bluetoothService().pairedDevices();
    ASSERT_EQ(paired.size(), 2u);
    EXPECT_EQ(paired[0].address, "aa:bb:cc:dd:ee:ff");
    EXPECT_TRUE(paired[0].hasService(kBluetoothServiceAudioSink));
    EXPECT_FALSE(paired[0].hasService(kBluetoothServiceHandsFree));

    EXPECT_TRUE(machine.bluetooth().setConnected("aa:bb:cc:dd:ee:ff", true));
    EXPECT_FALSE(machine.bluetooth().setConnected("AA:BB:CC:DD:EE:FF", true)) << "spelled as the stack spells it";
    EXPECT_TRUE(bluetoothService().pairedDevices()[0].connected);

    machine.bluetooth().setPairedDevices({});
    EXPECT_TRUE(bluetoothService().pairedDevices().empty());
    EXPECT_EQ(machine.bluetooth().pairedDevicesRequests(), 3);
  }
  EXPECT_TRUE(bluetoothService().pairedDevices().empty()) << "uninstalled with the machine";
}

}  // namespace
