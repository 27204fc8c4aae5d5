// The BlueZ backend against a stand-in daemon on a private bus: what is listed, connecting, a
// connection that never answers, and machines without the daemon or an adapter.
#include <gtest/gtest.h>

#include "BluezStandIn.h"
#include "platform/desktop/BluezBluetoothService.h"

namespace velmora::platform {
namespace {

constexpr const char* kHeadset = "AA:BB:CC:DD:EE:01";
constexpr const char* kSpeaker = "AA:BB:CC:DD:EE:02";
constexpr const char* kKeyboard = "AA:BB:CC:DD:EE:03";
constexpr const char* kStranger = "AA:BB:CC:DD:EE:04";
constexpr int32_t kNotFound = -536870208;

TEST(BluezStack, FromNoDaemonToPairedDevicesListedConnectedRefusedAndTimedOut) {
  VELMORA_REQUIRE_BLUEZ_STAND_IN();
  test::BluezStandIn bluez;
  ASSERT_TRUE(bluez.startBus());
  BluezBluetoothService service(bluez.bus());
  SCOPED_TRACE("no daemon, then a daemon without an adapter: no devices");
  EXPECT_TRUE(service.pairedDevices().empty());
  EXPECT_EQ(service.connect(kHeadset), kNotFound);
  EXPECT_TRUE(BluezBluetoothService("unix:path=/nonexistent/bus").pairedDevices().empty());
  ASSERT_TRUE(bluez.startDaemon(false));
  EXPECT_TRUE(service.pairedDevices().empty());

  SCOPED_TRACE("two audio devices (major class 4), a keyboard and a headset never paired");
  bluez.call("/org/bluez", "org.bluez.Mock.AddAdapter", "hci0 velmora-test");
  bluez.addDevice(kHeadset, "降噪耳机", "110b,111e,110e", 0x240404);
  bluez.addDevice(kSpeaker, "Kitchen Speaker", "110b", 0x240414);
  bluez.addDevice(kKeyboard, "Keyboard", "1124", 0x002540);
  bluez.addDevice(kStranger, "Neighbour Headset", "110b", 0x240404, false);
  const std::vector<PairedBluetoothDevice> expected = {
      {kHeadset, "降噪耳机", {0x110B, 0x111E, 0x110E}, 4, false},
      {kSpeaker, "Kitchen Speaker", {0x110B}, 4, false},
      {kKeyboard, "Keyboard", {0x1124}, 5, false},
  };
  EXPECT_EQ(service.pairedDevices(), expected);
  EXPECT_EQ(service.pairedDevice("aa-bb-cc-dd-ee-02"), expected[1]);
  EXPECT_EQ(service.pairedDevice(kStranger), std::nullopt) << "seen, never paired";
  bluez.set("", "Powered", "<false>");  // the stack switched off
  EXPECT_TRUE(service.pairedDevices().empty());
  bluez.set("", "Powered", "<true>");

  SCOPED_TRACE("connecting");
  EXPECT_EQ(service.connect(kHeadset), 0);
  bluez.set(kHeadset, "Connected", "<true>");
  EXPECT_TRUE(service.pairedDevice(kHeadset)->connected);
  EXPECT_EQ(service.connect(kStranger), kNotFound) << "not paired: never paged";
  // The daemon's refusals, by their wording.
  const std::pair<const char*, int32_t> refusals[] = {{"Host is down", kBluetoothStatusPageTimeout},
                                                      {"br-connection-refused", 0x1F}};
  for (const auto& [message, status] : refusals) {
    bluez.call(
        "/org/bluez/hci0/dev_AA_BB_CC_DD_EE_03", "org.freedesktop.DBus.Mock.AddMethod",
        std::string("org.bluez.Device1 Connect '' '' 'raise dbus.exceptions.DBusException(") +
            "\"" + message + "\", name=\"org.bluez.Error.Failed\")'");
    EXPECT_EQ(service.connect(kKeyboard), status) << message;
  }
  // The speaker is switched off: its Connect answers long after the page time-out.
  bluez.call("/org/bluez/hci0/dev_AA_BB_CC_DD_EE_02", "org.freedesktop.DBus.Mock.AddMethod",
             "org.bluez.Device1 Connect '' '' 'import time; time.sleep(30)'");
  EXPECT_EQ(BluezBluetoothService(bluez.bus(), 300).connect(kSpeaker),  // time-out shortened
            kBluetoothStatusPageTimeout);
}

}  // namespace
}  // namespace velmora::platform
