// The whole road on a real audio server: the paired headset the BlueZ stand-in knows is listed;
// chosen while it is off, it connects, and when its audio device (a null sink named and tagged
// as BlueZ's audio plug-in names its sinks) appears, PipeWire's default output becomes that
// sink.
#include <gtest/gtest.h>

#include <filesystem>

#include "BluezStandIn.h"
#include "model/AppModel.h"
#include "platform/desktop/BluezBluetoothService.h"
#include "platform/dispatch/ManualScheduler.h"
#include "tests/pipewire/PipeWireTest.h"

namespace velmora {
namespace {

namespace pw = test::pw;

constexpr const char* kHeadset = "AA:BB:CC:DD:EE:01";
constexpr const char* kSinkName = "bluez_output.AA_BB_CC_DD_EE_01.1";
const std::string kBookmark = "bluetooth:AA-BB-CC-DD-EE-01";

TEST(HeadsetOnPipeWire, ChoosingThePairedHeadsetConnectsItAndMakesItsSinkTheOutput) {
  VELMORA_REQUIRE_PIPEWIRE();
  VELMORA_REQUIRE_BLUEZ_STAND_IN();
  test::BluezStandIn bluez;
  ASSERT_TRUE(bluez.startBus() && bluez.startDaemon());
  bluez.addDevice(kHeadset, "降噪耳机", "110b,111e", 0x240404);
  platform::BluezBluetoothService service(bluez.bus());
  platform::BluetoothService* previous = platform::installBluetoothService(&service);

  const auto folder =
      std::filesystem::temp_directory_path() / ("velmora-headset-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  platform::ManualClock clock;
  platform::ManualScheduler mainQueue(clock);
  auto model =
      std::make_unique<model::AppModel>(true, settings::PreferencesStore(folder / "settings.json"),
                                        model::AppModel::Services{mainQueue});
  auto advance = [&](double seconds) {
    mainQueue.advance(seconds);
    model->utilityQueue().sync([] {});
    model->bluetoothQueue().sync([] {});
    pw::backend().sync(1000);
    mainQueue.runPending();
  };
  advance(0.0);
  const model::ModelState& state = model->state();
  const auto& devices = state.preferences.deviceList->devices;
  const auto headset = std::find_if(devices.begin(), devices.end(),
                                    [](const auto& bookmark) { return bookmark.id == kBookmark; });
  ASSERT_NE(headset, devices.end());

  model->selectBookmark(*headset, settings::AudioDirection::output);
  advance(0.0);
  EXPECT_EQ(state.connectionLabels.at("false:" + kBookmark), "等待音频就绪…");
  bluez.set(kHeadset, "Connected", "<true>");
  ASSERT_TRUE(test::createSink(kSinkName,
                               "node.description = \"降噪耳机\" device.api = bluez5 "
                               "api.bluez5.address = \"" +
                                   std::string(kHeadset) + "\""));
  EXPECT_TRUE(pw::eventually([&] {
    advance(1.5);
    return state.connectionLabels.empty();
  }));
  EXPECT_FALSE(state.errorMessage) << *state.errorMessage;
  EXPECT_EQ(state.outputID, test::deviceID("bluez_output.AA:BB:CC:DD:EE:01.1"));

  model.reset();
  platform::installBluetoothService(previous);
  pw::run({"pw-cli", "destroy", kSinkName});
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace velmora
