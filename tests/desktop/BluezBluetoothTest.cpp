// The BlueZ backend against a stand-in daemon on a private bus: what is listed, connecting, a
// connection that never answers, and a machine without the daemon.
#include <gtest/gtest.h>

#include "BluezStandIn.h"
#include "audio/BluetoothAudio.h"
#include "platform/desktop/BluezBluetoothService.h"
#include "tests/model/ModelHarness.h"

namespace velmora::platform {
namespace {

using test::bluezDevicePath;
using test::bluezUUID;

constexpr const char* kHeadset = "AA:BB:CC:DD:EE:01";
constexpr const char* kSpeaker = "aa:bb:cc:dd:ee:02";
constexpr const char* kKeyboard = "AA:BB:CC:DD:EE:03";
constexpr const char* kStranger = "AA:BB:CC:DD:EE:04";
constexpr int32_t kNotFound = -536870208;

class BluezStack : public testing::Test {
 protected:
  void SetUp() override {
    VELMORA_REQUIRE_BLUEZ_STAND_IN();
    ASSERT_TRUE(bluez_.startBus());
  }
  // A headset and a speaker (audio major class 4), a keyboard (class 5) and a headset that was
  // seen but never paired.
  void machineWithDevices() {
    ASSERT_TRUE(bluez_.startDaemon());
    bluez_.addAdapter();
    bluez_.addDevice(kHeadset, "降噪耳机",
                     bluezUUID("110b") + "," + bluezUUID("111e") + "," + bluezUUID("110e"),
                     0x240404);
    bluez_.addDevice(kSpeaker, "Kitchen Speaker", bluezUUID("110b"), 0x240414);
    bluez_.addDevice(kKeyboard, "Keyboard", bluezUUID("1124"), 0x002540);
    bluez_.addDevice(kStranger, "Neighbour Headset", bluezUUID("110b"), 0x240404, false);
  }

  test::BluezStandIn bluez_;
};

TEST_F(BluezStack, PairedDevicesAreListedInTheStacksOrderAndOnlyAudioOnesReachTheAudioLayer) {
  machineWithDevices();
  BluezBluetoothService service(bluez_.bus());
  const std::vector<PairedBluetoothDevice> expected = {
      {kHeadset, "降噪耳机", {0x110B, 0x111E, 0x110E}, 4, false},
      {kSpeaker, "Kitchen Speaker", {0x110B}, 4, false},
      {kKeyboard, "Keyboard", {0x1124}, 5, false},
  };
  EXPECT_EQ(service.pairedDevices(), expected);
  EXPECT_EQ(service.pairedDevice("aa-bb-cc-dd-ee-02"), expected[1]);
  EXPECT_EQ(service.pairedDevice(kStranger), std::nullopt) << "seen, never paired";

  BluetoothService* previous = installBluetoothService(&service);
  const std::vector<audio::PairedAudioDevice> audible = audio::BluetoothAudio::paired();
  installBluetoothService(previous);
  ASSERT_EQ(audible.size(), 2u) << "the keyboard is no audio device";
  EXPECT_EQ(audible[0].address, "AA-BB-CC-DD-EE-01");
  EXPECT_TRUE(audible[0].hasMicrophone);
  EXPECT_EQ(audible[1].address, "AA-BB-CC-DD-EE-02");
  EXPECT_FALSE(audible[1].hasMicrophone);

  // Switching the adapter off takes every device with it.
  bluez_.set("/org/bluez/hci0", "org.bluez.Adapter1", "Powered", "<false>");
  EXPECT_TRUE(service.pairedDevices().empty());
}

TEST_F(BluezStack, ConnectingSucceedsOrEndsWithThePageTimeOutWhenTheDeviceNeverAnswers) {
  machineWithDevices();
  BluezBluetoothService service(bluez_.bus(), 300);  // the page time-out, shortened
  EXPECT_EQ(service.connect(kHeadset), 0);
  bluez_.setConnected(kHeadset, true);
  EXPECT_TRUE(service.pairedDevice(kHeadset)->connected);
  EXPECT_EQ(service.connect(kStranger), kNotFound) << "not paired: never paged";

  // The speaker is switched off: its Connect answers long after the page time-out.
  EXPECT_EQ(bluez_.call(bluezDevicePath(kSpeaker), "org.freedesktop.DBus.Mock.AddMethod",
                        "org.bluez.Device1 Connect '' '' 'import time; time.sleep(30)'"),
            "");
  EXPECT_EQ(service.connect(kSpeaker), kBluetoothStatusPageTimeout);
}

TEST_F(BluezStack, WithoutTheDaemonOrAnAdapterThereAreNoDevicesAndNoMessage) {
  BluezBluetoothService noDaemon(bluez_.bus());
  EXPECT_TRUE(noDaemon.pairedDevices().empty());
  EXPECT_EQ(noDaemon.connect(kHeadset), kNotFound);
  BluezBluetoothService noBus("unix:path=/nonexistent/velmora-bus");
  EXPECT_TRUE(noBus.pairedDevices().empty());

  // The model on such a machine scans and shows no message.
  test::ModelHarness h;
  BluetoothService* previous = installBluetoothService(&noDaemon);
  h.advance(0.0);
  h.advance(1.5);
  installBluetoothService(previous);
  EXPECT_FALSE(h.state().errorMessage);
  EXPECT_TRUE(h.model->pairedDevices().empty());

  ASSERT_TRUE(bluez_.startDaemon());  // a daemon without an adapter
  EXPECT_TRUE(noDaemon.pairedDevices().empty());
}

TEST_F(BluezStack, ChoosingTheHeadsetWhileItIsOffConnectsItAndItsAudioBecomesTheOutput) {
  machineWithDevices();
  BluezBluetoothService service(bluez_.bus());
  test::ModelHarness h(test::modelMachine(), false);
  BluetoothService* previous = installBluetoothService(&service);
  h.startModel();
  h.advance(0.0);  // the first scan's result
  const std::string id = "bluetooth:AA-BB-CC-DD-EE-01";
  const auto& devices = h.state().preferences.deviceList->devices;
  const auto headset = std::find_if(devices.begin(), devices.end(),
                                    [&](const settings::DeviceBookmark& b) { return b.id == id; });
  ASSERT_NE(headset, devices.end());
  EXPECT_EQ(headset->name, "降噪耳机");

  h.model->selectBookmark(*headset, settings::AudioDirection::output);
  h.model->bluetoothQueue().sync([] {});
  h.mainQueue.runPending();
  EXPECT_EQ(h.state().connectionLabels.at("false:" + id), "等待音频就绪…");
  EXPECT_FALSE(h.state().errorMessage);

  // The daemon marks the link up and the audio device appears, with the address in its UID.
  bluez_.setConnected(kHeadset, true);
  sim::ScenarioDevice audio = test::simDevice("AA-BB-CC-DD-EE-01:output", "降噪耳机", {2});
  audio.transport = kAudioDeviceTransportTypeBluetooth;
  const AudioObjectID added = h.machine.audio().addDevice(audio);
  h.advance(1.5);
  EXPECT_EQ(h.state().outputID, added);
  EXPECT_TRUE(h.state().connectionLabels.empty());
  EXPECT_FALSE(h.state().errorMessage);
  h.model.reset();
  installBluetoothService(previous);
}

}  // namespace
}  // namespace velmora::platform
