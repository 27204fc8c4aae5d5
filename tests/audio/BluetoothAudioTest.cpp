// Bluetooth audio: which paired devices count as audio devices, how a live device becomes a
// bookmark (Bluetooth or plain audio, symbol, visibility), and how a bookmark finds its device again.
#include <gtest/gtest.h>

#include "audio/BluetoothAudio.h"
#include "platform/sim/SimulatedBluetooth.h"

namespace velmora::audio {
namespace {

using settings::DeviceBookmark;

TEST(BluetoothAudio, FindsAndNormalisesTheFirstAddressInAUID) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"a4:c3:f0:85:1e:22:output", "A4-C3-F0-85-1E-22"},
      {"x_AA-bb:Cc-dD:ee-FF", "AA-BB-CC-DD-EE-FF"},              // mixed case and separators, anywhere
      {"0a1b:2c:3d:4e:5f:6a", "1B-2C-3D-4E-5F-6A"},              // leftmost place that fits
      {"11:22:33:44:55:66/77:88:99:aa:bb:cc", "11-22-33-44-55-66"},
      {"0a:1b:2c:3d:4e", std::nullopt}, {"0a:1b:2c:3d:4e:5g", std::nullopt},
      {"0a.1b.2c.3d.4e.5f", std::nullopt}, {"0a:1b:2c:3d:4e:5", std::nullopt},
  };
  for (const auto& [uid, address] : cases) EXPECT_EQ(BluetoothAudio::addressInUID(uid), address) << uid;
}

TEST(BluetoothAudio, BookmarkOfALiveDevice) {
  const std::vector<PairedAudioDevice> paired = {
      {"11-11-11-11-11-11", "Buds", false, true}, {"22-22", "Twin", false, false}, {"33-33", "Twin", true, false}};
  const uint32_t blue = kAudioDeviceTransportTypeBluetooth, usb = kAudioDeviceTransportTypeUSB,
                 virt = kAudioDeviceTransportTypeVirtual, aggregate = kAudioDeviceTransportTypeAggregate,
                 pci = 0x70636920;  // 'pci ', no symbol of its own
  const AudioObjectID input = 50, output = 60;
  const struct {
    AudioDevice device;
    const char* id;
    const char* symbol;
    bool showInput, showOutput;
  } cases[] = {
      {{1, "aa:bb:cc:dd:ee:ff:output", "Headset", 1, 2, blue}, "bluetooth:AA-BB-CC-DD-EE-FF", "headphones", true, true},
      {{2, "le-aa-bb-cc-dd-ee-ff", "LE", 0, 2, kAudioDeviceTransportTypeBluetoothLE}, "bluetooth:AA-BB-CC-DD-EE-FF",
       "headphones", false, true},
      {{3, "bt-7", "Buds", 0, 2, blue}, "bluetooth:11-11-11-11-11-11", "headphones", false, true},  // one name match
      {{4, "bt-8", "Twin", 0, 2, blue}, "audio:bt-8", "headphones", false, true},   // two paired share the name
      {{5, "bt-9", "buds", 0, 2, blue}, "audio:bt-9", "headphones", false, true},   // names compare exactly
      {{6, "00:1a:2b:3c:4d:5e", "USB", 1, 2, usb}, "audio:00:1a:2b:3c:4d:5e", "cable.connector", true, true},
      {{7, "00:1a:2b:3c:4d:5e:input", "Mic", 1, 0, usb}, "bluetooth:00-1A-2B-3C-4D-5E", "headphones", true, false},
      {{8, "aa:bb:cc:dd:ee:ff:output", "Bridge", 2, 2, virt}, "bluetooth:AA-BB-CC-DD-EE-FF", "headphones", false, false},
      {{9, "agg", "Aggregate", 2, 2, aggregate}, "audio:agg", "waveform", false, false},
      {{output, "agg", "Aggregate", 2, 2, aggregate}, "audio:agg", "waveform", false, true},
      {{input, "loop", "Loopback", 2, 2, virt}, "audio:loop", "waveform", true, false},
      {{10, "spk", "Speakers", 0, 2, kAudioDeviceTransportTypeBuiltIn}, "audio:spk", "laptopcomputer", false, true},
      {{11, "tv", "TV", 0, 2, kAudioDeviceTransportTypeHDMI}, "audio:tv", "display", false, true},
      {{12, "dp", "Monitor", 0, 2, kAudioDeviceTransportTypeDisplayPort}, "audio:dp", "display", false, true},
      {{13, "pci", "Card", 2, 8, pci}, "audio:pci", "speaker.wave.2", true, true},
      {{14, "line", "Line In", 2, 0, pci}, "audio:line", "mic", true, false},
  };
  for (const auto& c : cases) {
    const DeviceBookmark b = BluetoothAudio::bookmark(c.device, paired, input, output);
    const std::string address = std::string(c.id).starts_with("bluetooth:") ? std::string(c.id).substr(10) : "";
    EXPECT_EQ(std::tie(b.id, b.symbol, b.showInput, b.showOutput), std::tuple(c.id, c.symbol, c.showInput, c.showOutput))
        << c.device.uid;
    EXPECT_EQ(b.bluetoothAddress.value_or(""), address) << c.device.uid;
    EXPECT_EQ(std::tuple(b.name, b.supportsInput, b.supportsOutput, b.alias.has_value()),
              std::tuple(c.device.name, c.device.inputs > 0, c.device.outputs > 0, false));
    EXPECT_EQ(b.inputUID, c.device.inputs > 0 ? std::optional(c.device.uid) : std::nullopt);
    EXPECT_EQ(b.outputUID, c.device.outputs > 0 ? std::optional(c.device.uid) : std::nullopt);
  }
}

TEST(BluetoothAudio, BookmarkOfAPairedDeviceIsHiddenAndOffersOutput) {
  for (const bool microphone : {false, true}) {
    const DeviceBookmark b = BluetoothAudio::bookmark(PairedAudioDevice{"AA-BB", "Buds", false, microphone});
    EXPECT_EQ(std::tie(b.id, b.name, b.symbol, b.bluetoothAddress),
              std::tuple("bluetooth:AA-BB", "Buds", "headphones", "AA-BB"));
    EXPECT_EQ(std::tie(b.supportsInput, b.supportsOutput, b.showInput, b.showOutput),
              std::tuple(microphone, true, false, false));
    EXPECT_FALSE(b.inputUID || b.outputUID || b.alias);
  }
}

TEST(BluetoothAudio, ResolveFindsTheDeviceByUIDAndThenByBluetoothAddress) {
  const std::vector<AudioDevice> devices = {
      {1, "spk", "Speakers", 0, 2, kAudioDeviceTransportTypeBuiltIn},
      {2, "mic", "Mic", 1, 0, kAudioDeviceTransportTypeBuiltIn},
      {3, "usb-aa:bb:cc:dd:ee:ff", "USB with the same MAC", 1, 2, kAudioDeviceTransportTypeUSB},
      {4, "AA-BB-CC-DD-EE-FF:output:2", "Headset, new UID", 0, 2, kAudioDeviceTransportTypeBluetooth},
      {5, "aa:bb:cc:dd:ee:ff:input", "Headset mic", 1, 0, kAudioDeviceTransportTypeBluetoothLE},
      {6, "11:22:33:44:55:66:output", "Other headset", 0, 2, kAudioDeviceTransportTypeBluetooth},
  };
  const auto bookmark = [](std::optional<std::string> in, std::optional<std::string> out, std::optional<std::string> bt) {
    DeviceBookmark b;
    b.inputUID = std::move(in);
    b.outputUID = std::move(out);
    b.bluetoothAddress = std::move(bt);
    return b;
  };
  const std::string headset = "aa:bb:cc:dd:ee:ff:output";
  const struct {
    DeviceBookmark bookmark;
    bool input;
    std::optional<AudioObjectID> found;
  } cases[] = {
      {bookmark({}, "spk", {}), false, 1},
      {bookmark({}, "spk", {}), true, std::nullopt},
      {bookmark({}, "mic", {}), false, std::nullopt},                    // right UID, no outputs
      {bookmark({}, headset, "AA-BB-CC-DD-EE-FF"), false, 4},             // by address, and not the USB device
      {bookmark({}, headset, "AA-BB-CC-DD-EE-FF"), true, 5},              // input side by address
      {bookmark({}, {}, "aa:bb:cc:dd:ee:ff"), false, 4},                  // address stored in another spelling
      {bookmark({}, "11:22:33:44:55:66:output", "AA-BB-CC-DD-EE-FF"), false, 6},  // the UID wins
      {bookmark("x", "x", "99-99-99-99-99-99"), false, std::nullopt},
  };
  for (const auto& c : cases) {
    const std::optional<AudioDevice> found = BluetoothAudio::resolve(c.bookmark, c.input, devices);
    EXPECT_EQ(found ? std::optional(found->id) : std::nullopt, c.found)
        << c.bookmark.outputUID.value_or("-") << " " << c.bookmark.bluetoothAddress.value_or("-") << " " << c.input;
  }
}

TEST(BluetoothAudio, PairedListsAudioDevicesInTheSystemsOrderWithNormalisedAddresses) {
  EXPECT_TRUE(BluetoothAudio::paired().empty()) << "no Bluetooth stack installed";
  using platform::sim::ScenarioPairedDevice;
  platform::sim::SimulatedBluetooth stack({
      ScenarioPairedDevice{"3c:22:fb:6e:40:17", "Keyboard", {0x1124}, 5, true},
      ScenarioPairedDevice{"f0:2b:7c:11:09:5a", "Speaker", {0x110B}, 0, false},
      ScenarioPairedDevice{"A4-C3-F0-85-1E-22", "Headset", {0x111E}, 2, true},
      ScenarioPairedDevice{"0a:0b:0c:0d:0e:0f", "Old headset", {0x1108}, 0, false},
      ScenarioPairedDevice{"01:02:03:04:05:06", std::nullopt, {}, 4, false},
      ScenarioPairedDevice{std::nullopt, "No address", {0x110B, 0x111E}, 4, true},
  });
  platform::BluetoothService* previous = platform::installBluetoothService(&stack);
  const std::vector<PairedAudioDevice> want = {
      {"F0-2B-7C-11-09-5A", "Speaker", false, false},
      {"A4-C3-F0-85-1E-22", "Headset", true, true},
      {"0A-0B-0C-0D-0E-0F", "Old headset", false, true},
      {"01-02-03-04-05-06", "蓝牙音频设备", false, false},
  };
  EXPECT_EQ(BluetoothAudio::paired(), want);
  platform::installBluetoothService(previous);
}

}  // namespace
}  // namespace velmora::audio
