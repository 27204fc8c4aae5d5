// Bluetooth audio: which paired devices count as audio devices, how a live device becomes a
// bookmark (Bluetooth or plain audio, symbol, visibility), and how a bookmark finds its device again.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "audio/BluetoothAudio.h"
#include "platform/sim/SimulatedBluetooth.h"

namespace velmora::audio {
namespace {

using settings::DeviceBookmark;

constexpr uint32_t kBlue = kAudioDeviceTransportTypeBluetooth;
constexpr uint32_t kBlueLE = kAudioDeviceTransportTypeBluetoothLE;
constexpr uint32_t kUSB = kAudioDeviceTransportTypeUSB;
constexpr uint32_t kVirtual = kAudioDeviceTransportTypeVirtual;
constexpr uint32_t kAggregate = kAudioDeviceTransportTypeAggregate;
constexpr uint32_t kBuiltIn = kAudioDeviceTransportTypeBuiltIn;
constexpr uint32_t kHDMI = kAudioDeviceTransportTypeHDMI;
constexpr uint32_t kDisplayPort = kAudioDeviceTransportTypeDisplayPort;
constexpr uint32_t kPCI = 0x70636920;  // 'pci ', a transport without a symbol of its own

AudioDevice device(AudioObjectID id, std::string uid, std::string name, int inputs, int outputs, uint32_t transport) {
  return AudioDevice{id, std::move(uid), std::move(name), inputs, outputs, transport};
}

// The bookmark every case starts from: the fields a live device always sets.
DeviceBookmark expected(std::string id, std::string name, std::string symbol, std::optional<std::string> uid,
                        bool input, bool output) {
  DeviceBookmark b;
  b.id = std::move(id);
  b.name = std::move(name);
  b.symbol = std::move(symbol);
  if (input) b.inputUID = uid;
  if (output) b.outputUID = uid;
  b.supportsInput = b.showInput = input;
  b.supportsOutput = b.showOutput = output;
  return b;
}

DeviceBookmark bluetooth(DeviceBookmark b, std::string address) {
  b.bluetoothAddress = address;
  return b;
}

DeviceBookmark shown(DeviceBookmark b, bool input, bool output) {
  b.showInput = input;
  b.showOutput = output;
  return b;
}

TEST(BluetoothAudio, FindsAndNormalisesTheFirstAddressInAUID) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"a4:c3:f0:85:1e:22:output", "A4-C3-F0-85-1E-22"},
      {"AA-bb:Cc-dD:ee-FF", "AA-BB-CC-DD-EE-FF"},                  // mixed case and separators
      {"uid_00:11:22:33:44:55_input", "00-11-22-33-44-55"},       // anywhere in the UID
      {"0a1b:2c:3d:4e:5f:6a", "1B-2C-3D-4E-5F-6A"},               // leftmost place that fits
      {"11:22:33:44:55:66 / 77:88:99:aa:bb:cc", "11-22-33-44-55-66"},
      {"BuiltInSpeakerDevice", std::nullopt},
      {"0a:1b:2c:3d:4e", std::nullopt},       // five pairs
      {"0a:1b:2c:3d:4e:5g", std::nullopt},    // not hexadecimal
      {"0a.1b.2c.3d.4e.5f", std::nullopt},    // other separators
      {"0a:1b:2c:3d:4e:5", std::nullopt},     // cut at the end
      {"", std::nullopt},
  };
  for (const auto& [uid, address] : cases) EXPECT_EQ(BluetoothAudio::addressInUID(uid), address) << uid;
  EXPECT_EQ(BluetoothAudio::normalizedAddress("a4:c3:f0:85:1e:22"), "A4-C3-F0-85-1E-22");
}

TEST(BluetoothAudio, BookmarkOfALiveDevice) {
  const std::vector<PairedAudioDevice> paired = {
      {"11-11-11-11-11-11", "Buds", false, true},
      {"22-22-22-22-22-22", "Twin", false, false},
      {"33-33-33-33-33-33", "Twin", true, false},
  };
  const AudioObjectID input = 50, output = 60;
  const struct {
    const char* story;
    AudioDevice device;
    DeviceBookmark bookmark;
  } cases[] = {
      {"Bluetooth UID with an address: Bluetooth id in normal form",
       device(1, "aa:bb:cc:dd:ee:ff:output", "Headset", 1, 2, kBlue),
       bluetooth(expected("bluetooth:AA-BB-CC-DD-EE-FF", "Headset", "headphones", "aa:bb:cc:dd:ee:ff:output", true, true),
                 "AA-BB-CC-DD-EE-FF")},
      {"Bluetooth LE counts as Bluetooth",
       device(2, "le-aa-bb-cc-dd-ee-ff", "LE Buds", 0, 2, kBlueLE),
       bluetooth(expected("bluetooth:AA-BB-CC-DD-EE-FF", "LE Buds", "headphones", "le-aa-bb-cc-dd-ee-ff", false, true),
                 "AA-BB-CC-DD-EE-FF")},
      {"Bluetooth without an address in the UID: the one paired device of that name",
       device(3, "bt-opaque-7", "Buds", 0, 2, kBlue),
       bluetooth(expected("bluetooth:11-11-11-11-11-11", "Buds", "headphones", "bt-opaque-7", false, true),
                 "11-11-11-11-11-11")},
      {"a name two paired devices share links to neither",
       device(4, "bt-opaque-8", "Twin", 0, 2, kBlue),
       expected("audio:bt-opaque-8", "Twin", "headphones", "bt-opaque-8", false, true)},
      {"a name no paired device has",
       device(5, "bt-opaque-9", "buds", 0, 2, kBlue),  // names compare exactly
       expected("audio:bt-opaque-9", "buds", "headphones", "bt-opaque-9", false, true)},
      {"a USB device with a MAC-like UID stays an audio device",
       device(6, "00:1a:2b:3c:4d:5e", "USB Headset", 1, 2, kUSB),
       expected("audio:00:1a:2b:3c:4d:5e", "USB Headset", "cable.connector", "00:1a:2b:3c:4d:5e", true, true)},
      {"another transport with an address and \":input\" is Bluetooth",
       device(7, "00:1a:2b:3c:4d:5e:input", "Mic", 1, 0, kUSB),
       bluetooth(expected("bluetooth:00-1A-2B-3C-4D-5E", "Mic", "headphones", "00:1a:2b:3c:4d:5e:input", true, false),
                 "00-1A-2B-3C-4D-5E")},
      {"a virtual Bluetooth device is Bluetooth, but hidden unless it is the default",
       device(8, "aa:bb:cc:dd:ee:ff:output", "Bridge", 2, 2, kVirtual),
       shown(bluetooth(expected("bluetooth:AA-BB-CC-DD-EE-FF", "Bridge", "headphones", "aa:bb:cc:dd:ee:ff:output",
                                true, true),
                       "AA-BB-CC-DD-EE-FF"),
             false, false)},
      {"an aggregate that is not a default is hidden",
       device(9, "agg", "Aggregate", 2, 2, kAggregate),
       shown(expected("audio:agg", "Aggregate", "waveform", "agg", true, true), false, false)},
      {"an aggregate that is the default output is shown as output only",
       device(output, "agg", "Aggregate", 2, 2, kAggregate),
       shown(expected("audio:agg", "Aggregate", "waveform", "agg", true, true), false, true)},
      {"a virtual device that is the default input is shown as input only",
       device(input, "loop", "Loopback", 2, 2, kVirtual),
       shown(expected("audio:loop", "Loopback", "waveform", "loop", true, true), true, false)},
      {"built-in", device(10, "spk", "Speakers", 0, 2, kBuiltIn),
       expected("audio:spk", "Speakers", "laptopcomputer", "spk", false, true)},
      {"HDMI", device(11, "hdmi", "TV", 0, 2, kHDMI), expected("audio:hdmi", "TV", "display", "hdmi", false, true)},
      {"DisplayPort", device(12, "dp", "Monitor", 0, 2, kDisplayPort),
       expected("audio:dp", "Monitor", "display", "dp", false, true)},
      {"another transport with outputs", device(13, "pci", "Card", 2, 8, kPCI),
       expected("audio:pci", "Card", "speaker.wave.2", "pci", true, true)},
      {"another transport, input only", device(14, "pci-in", "Line In", 2, 0, kPCI),
       expected("audio:pci-in", "Line In", "mic", "pci-in", true, false)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BluetoothAudio::bookmark(c.device, paired, input, output), c.bookmark) << c.story;
  }
}

TEST(BluetoothAudio, BookmarkOfAPairedDeviceIsHiddenAndOffersOutput) {
  for (const bool microphone : {false, true}) {
    const DeviceBookmark b = BluetoothAudio::bookmark(PairedAudioDevice{"AA-BB-CC-DD-EE-FF", "Buds", false, microphone});
    DeviceBookmark want;
    want.id = "bluetooth:AA-BB-CC-DD-EE-FF";
    want.name = "Buds";
    want.symbol = "headphones";
    want.bluetoothAddress = "AA-BB-CC-DD-EE-FF";
    want.supportsInput = microphone;
    want.supportsOutput = true;
    EXPECT_EQ(b, want) << microphone;
  }
}

TEST(BluetoothAudio, ResolveFindsTheDeviceByUIDAndThenByBluetoothAddress) {
  const std::vector<AudioDevice> devices = {
      device(1, "spk", "Speakers", 0, 2, kBuiltIn),
      device(2, "mic", "Mic", 1, 0, kBuiltIn),
      device(3, "usb-aa:bb:cc:dd:ee:ff", "USB with the same MAC", 1, 2, kUSB),
      device(4, "AA-BB-CC-DD-EE-FF:output:2", "Headset (reconnected)", 0, 2, kBlue),
      device(5, "aa:bb:cc:dd:ee:ff:input", "Headset mic", 1, 0, kBlueLE),
      device(6, "11:22:33:44:55:66:output", "Other headset", 0, 2, kBlue),
  };
  DeviceBookmark speakers = expected("audio:spk", "Speakers", "laptopcomputer", "spk", false, true);
  DeviceBookmark moved = expected("audio:gone", "Gone", "speaker.wave.2", "gone", true, true);
  DeviceBookmark wrongDirection = expected("audio:mic", "Mic", "mic", "mic", false, true);
  wrongDirection.outputUID = "mic";  // the UID is right but the device has no outputs
  DeviceBookmark headset = bluetooth(
      expected("bluetooth:AA-BB-CC-DD-EE-FF", "Headset", "headphones", "aa:bb:cc:dd:ee:ff:output", false, true),
      "AA-BB-CC-DD-EE-FF");
  DeviceBookmark pairedOnly = bluetooth(expected("bluetooth:AA", "Headset", "headphones", std::nullopt, false, false),
                                        "aa:bb:cc:dd:ee:ff");  // stored in another spelling
  DeviceBookmark exactFirst = headset;
  exactFirst.outputUID = "11:22:33:44:55:66:output";
  DeviceBookmark absent = bluetooth(expected("bluetooth:99", "Away", "headphones", std::nullopt, true, true),
                                    "99-99-99-99-99-99");
  const struct {
    const char* story;
    const DeviceBookmark& bookmark;
    bool input;
    std::optional<AudioObjectID> found;
  } cases[] = {
      {"audio bookmark by its UID", speakers, false, 1},
      {"audio bookmark in a direction it has no UID for", speakers, true, std::nullopt},
      {"audio bookmark whose device is gone", moved, false, std::nullopt},
      {"UID of a device without channels in that direction", wrongDirection, false, std::nullopt},
      {"Bluetooth output whose UID changed: by address, not the USB device", headset, false, 4},
      {"Bluetooth input without an input UID: by address", headset, true, 5},
      {"paired-only bookmark with a lower-case address", pairedOnly, false, 4},
      {"the UID wins over the address", exactFirst, false, 6},
      {"Bluetooth device not present", absent, false, std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<AudioDevice> found = BluetoothAudio::resolve(c.bookmark, c.input, devices);
    EXPECT_EQ(found ? std::optional(found->id) : std::nullopt, c.found) << c.story;
  }
  EXPECT_FALSE(BluetoothAudio::resolve(headset, false, {})) << "no live devices";
}

// Installs a Bluetooth stack for one test.
class PairedDevices : public ::testing::Test {
 protected:
  void serve(const std::vector<platform::sim::ScenarioPairedDevice>& paired) {
    bluetooth_.setPairedDevices(paired);
    previous_ = platform::installBluetoothService(&bluetooth_);
  }
  void TearDown() override { platform::installBluetoothService(previous_); }

 private:
  platform::sim::SimulatedBluetooth bluetooth_{{}};
  platform::BluetoothService* previous_ = nullptr;
};

platform::sim::ScenarioPairedDevice pairedDevice(std::optional<std::string> address, std::optional<std::string> name,
                                                 std::vector<uint16_t> services, uint32_t major, bool connected) {
  return platform::sim::ScenarioPairedDevice{std::move(address), std::move(name), std::move(services), major, connected};
}

TEST_F(PairedDevices, ListsAudioDevicesInTheSystemsOrderWithNormalisedAddresses) {
  EXPECT_TRUE(BluetoothAudio::paired().empty()) << "no Bluetooth stack installed";
  serve({
      pairedDevice("3c:22:fb:6e:40:17", "Keyboard", {0x1124}, 5, true),
      pairedDevice("f0:2b:7c:11:09:5a", "Speaker", {0x110B}, 4, false),
      pairedDevice("A4-C3-F0-85-1E-22", "Headset", {0x111E}, 2, true),
      pairedDevice("0a:0b:0c:0d:0e:0f", "Old headset", {0x1108}, 0, false),
      pairedDevice("01:02:03:04:05:06", std::nullopt, {}, 4, false),
      pairedDevice(std::nullopt, "No address", {0x110B, 0x111E}, 4, true),
  });
  const std::vector<PairedAudioDevice> want = {
      {"F0-2B-7C-11-09-5A", "Speaker", false, false},
      {"A4-C3-F0-85-1E-22", "Headset", true, true},
      {"0A-0B-0C-0D-0E-0F", "Old headset", false, true},
      {"01-02-03-04-05-06", "蓝牙音频设备", false, false},
  };
  EXPECT_EQ(BluetoothAudio::paired(), want);
}

}  // namespace
}  // namespace velmora::audio
