// The simulated disk of application bundles and Bluetooth stack. Identity resolution on top of the
// disk (hidden entries, nested folders, icons) is tested in tests/audio; here the path spellings a
// scenario may use.
#include <gtest/gtest.h>

#include "platform/sim/SimulatedApplicationServices.h"
#include "platform/sim/SimulatedMachine.h"

namespace {

using velmora::platform::bluetoothService;
using velmora::platform::Image;
using velmora::platform::kBluetoothServiceAudioSink;
using velmora::platform::sim::Scenario;
using velmora::platform::sim::ScenarioPairedDevice;
using velmora::platform::sim::SimulatedApplicationServices;
using velmora::platform::sim::SimulatedMachine;
using Paths = std::vector<std::string>;

TEST(SimulatedApplicationServices, PathsAreStandardisedEverywhere) {
  Scenario scenario;
  const auto add = [&](std::string path, std::string identifier, bool registered = true) {
    scenario.bundles.push_back({std::move(path), std::move(identifier), {}, {}, {}, registered});
  };
  add("/Applications/Editor.app", "com.example.editor");
  add("/Applications/Beta/Editor.app", "com.example.editor");
  add("/Applications/.Hidden.app", "com.example.hidden");
  add("//Applications/./Zoo/../zoo.app/", "com.example.zoo", false);
  add("/Applications/Abacus.app", "com.example.abacus");
  scenario.bundles[0].resourceFiles = {"Icon.icns"};
  scenario.folders = {"/Applications/Empty"};
  SimulatedApplicationServices services(std::move(scenario), nullptr);

  EXPECT_EQ(services.listDirectory("//Applications/./Beta/.."),
            (Paths{"/Applications/Abacus.app", "/Applications/Beta", "/Applications/Editor.app",
                   "/Applications/Empty", "/Applications/zoo.app"}))
      << "bundles, their parents and declared folders, in name order";
  EXPECT_TRUE(services.isDirectory("/Applications/.Hidden.app")) << "hidden, not absent";
  EXPECT_EQ(services.bundle("/Applications/Tools/../Editor.app/")->path,
            "/Applications/Editor.app");
  EXPECT_FALSE(services.bundle("/Applications/Editor.app/Contents"));
  EXPECT_EQ(services.applicationPath("com.example.editor"), "/Applications/Editor.app")
      << "the first registered bundle wins";
  EXPECT_EQ(services.applicationPath("com.example.zoo"), std::nullopt) << "not registered";
  EXPECT_EQ(services.imageAt("/Applications/Editor.app/Contents/./Resources//Icon.icns"),
            (Image{"/Applications/Editor.app/Contents/Resources/Icon.icns", ""}));
  EXPECT_EQ(services.imageAt("/Applications/Beta/Editor.app/Contents/Resources/Icon.icns"),
            std::nullopt);
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
