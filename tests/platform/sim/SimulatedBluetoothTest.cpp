// The simulated Bluetooth stack: the scenario's paired list, read from JSON, served through the
// installed service while the machine lives, and changed by tests.
#include <gtest/gtest.h>

#include "platform/sim/ScenarioFile.h"
#include "platform/sim/SimulatedMachine.h"

namespace {

using namespace velmora::platform;
using namespace velmora::platform::sim;

TEST(SimulatedBluetooth, ScenarioPairedListIsReadAndBadEntriesAreNamed) {
  // Every field may be left out.
  EXPECT_EQ(parseScenario(
                R"({"devices": [], "paired": [{}, {"address": "aa:bb:cc:dd:ee:ff", "name": "Buds",
      "services": ["0x110B", "0x111e"], "majorClass": 4, "connected": true}]})",
                "t.json")
                .pairedDevices,
            (std::vector<ScenarioPairedDevice>{
                {}, {"aa:bb:cc:dd:ee:ff", "Buds", {0x110B, 0x111E}, 4, true}}));

  const std::pair<const char*, const char*> bad[] = {
      {R"("paired": {})", "t.json: paired: expected a list"},
      {R"("paired": [{"address": 1}])", "t.json: paired[0].address: expected text"},
      {R"("paired": [{"services": ["0x110B", "110B"]}])",
       "t.json: paired[0].services[1]: expected a 16-bit service class such as \"0x110B\""},
      {R"("paired": [{}, {"majorClass": 32}])",
       "t.json: paired[1].majorClass: a major device class is 0 to 31"},
  };
  for (const auto& [json, message] : bad) {
    try {
      parseScenario(std::string(R"({"devices": [], )") + json + "}", "t.json");
      ADD_FAILURE() << json << " accepted";
    } catch (const ScenarioError& error) {
      EXPECT_EQ(error.what(), std::string(message));
    }
  }
}

TEST(SimulatedBluetooth, MachineServesItsPairedListWhileItLives) {
  Scenario scenario;
  scenario.pairedDevices = {
      ScenarioPairedDevice{"aa:bb:cc:dd:ee:ff", "Buds", {kBluetoothServiceAudioSink}, 4, false}};
  {
    SimulatedMachine machine(scenario);
    EXPECT_FALSE(machine.bluetooth().setConnected("AA:BB:CC:DD:EE:FF", true))
        << "spelled as the stack spells it";
    EXPECT_TRUE(machine.bluetooth().setConnected("aa:bb:cc:dd:ee:ff", true));
    EXPECT_TRUE(bluetoothService().pairedDevices().at(0).connected);
    machine.bluetooth().setPairedDevices({});
    EXPECT_TRUE(bluetoothService().pairedDevices().empty());
    EXPECT_EQ(machine.bluetooth().pairedDevicesRequests(), 2);
  }
  EXPECT_TRUE(bluetoothService().pairedDevices().empty())
      << "the neutral service once the machine is gone";
}

}  // namespace
