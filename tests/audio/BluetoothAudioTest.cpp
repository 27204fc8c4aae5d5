// Bluetooth audio: which paired devices count as audio devices, how a live device becomes a
// bookmark (Bluetooth or plain audio, symbol, visibility), and how a bookmark finds its device
// again.
#include <gtest/gtest.h>

#include "audio/BluetoothAudio.h"
#include "platform/sim/SimulatedBluetooth.h"

namespace velmora::audio {
namespace {

using settings::DeviceBookmark;
constexpr uint32_t kBT = kAudioDeviceTransportTypeBluetooth,
                   kLE = kAudioDeviceTransportTypeBluetoothLE, kUSB = kAudioDeviceTransportTypeUSB,
                   kBuiltIn = kAudioDeviceTransportTypeBuiltIn;

// Every field, so that a mismatch prints readably.
auto fields(const DeviceBookmark& b) {
  return std::tie(b.id, b.name, b.symbol, b.inputUID, b.outputUID, b.bluetoothAddress,
                  b.supportsInput, b.supportsOutput, b.showInput, b.showOutput, b.alias);
}

TEST(BluetoothAudio, FindsAndNormalisesTheFirstAddressInAUID) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"x_AA-bb:Cc-dD:ee-FF", "AA-BB-CC-DD-EE-FF"},  // mixed case and separators, anywhere
      // The leftmost place that fits.
      {"0a:1b:2c:3d:4e:5", {}},
      {"0a:1b:2c:3d:4e:5g", {}},
      {"0a.1b.2c.3d.4e.5f", {}}};
  for (const auto& [uid, address] : cases)
    EXPECT_EQ(BluetoothAudio::addressInUID(uid), address) << uid;
}

TEST(BluetoothAudio, BookmarkOfALiveDevice) {
  const std::vector<PairedAudioDevice> paired = {{"11-11-11-11-11-11", "Buds", false, true},
                                                 {"22-22", "Twin", false, false},
                                                 {"33-33", "Twin", true, false}};
  const uint32_t virt = kAudioDeviceTransportTypeVirtual, agg = kAudioDeviceTransportTypeAggregate,
                 pci = 0x70636920;  // 'pci ': no symbol
  const AudioObjectID input = 50, output = 60;
  struct Row {
    AudioDevice device;
    const char* id;     // "" for "audio:" and the UID
    std::string shown;  // "i" and "o": shown as an input, an output
    const char* symbol = "headphones";
  };
  const Row rows[] = {
      {{2, "le-aa-bb-cc-dd-ee-ff", "LE", 1, 2, kLE}, "bluetooth:AA-BB-CC-DD-EE-FF", "io"},
      {{3, "bt-7", "Buds", 0, 2, kBT}, "bluetooth:11-11-11-11-11-11", "o"},  // one paired by name
      {{4, "bt-8", "Twin", 0, 2, kBT}, "", "o"},  // two paired share the name
      {{5, "bt-9", "buds", 0, 2, kBT}, "", "o"},  // names compare exactly
      {{6, "00:1a:2b:3c:4d:5e", "U", 1, 2, kUSB}, "", "io", "cable.connector"},
      {{7, "00:1a:2b:3c:4d:5e:input", "Mic", 1, 0, kUSB}, "bluetooth:00-1A-2B-3C-4D-5E", "i"},
      {{8, "aa:bb:cc:dd:ee:ff:output", "B", 2, 2, virt}, "bluetooth:AA-BB-CC-DD-EE-FF", ""},
      {{9, "agg", "Aggregate", 2, 2, agg}, "", "", "waveform"},
      {{output, "agg", "Aggregate", 2, 2, agg}, "", "o", "waveform"},
      {{input, "loop", "Loopback", 2, 2, virt}, "", "i", "waveform"},
      {{14, "line", "Line In", 2, 0, pci}, "", "i", "mic"},
  };
  for (const Row& row : rows) {
    const AudioDevice& d = row.device;
    const auto uidIf = [&](int channels) {
      return channels > 0 ? std::optional(d.uid) : std::nullopt;
    };
    const std::string id = *row.id != '\0' ? row.id : "audio:" + d.uid;
    const auto address = *row.id != '\0' ? std::optional(id.substr(10)) : std::nullopt;
    const bool in = row.shown.find('i') != std::string::npos;
    const bool out = row.shown.find('o') != std::string::npos;
    const DeviceBookmark got = BluetoothAudio::bookmark(d, paired, input, output);
    EXPECT_EQ(fields(got), std::make_tuple(id, d.name, std::string(row.symbol), uidIf(d.inputs),
                                           uidIf(d.outputs), address, d.inputs > 0, d.outputs > 0,
                                           in, out, std::optional<std::string>()))
        << d.uid;
  }
}

TEST(BluetoothAudio, BookmarkOfAPairedDeviceIsHiddenAndOffersOutput) {
  for (const bool microphone : {false, true}) {
    const DeviceBookmark want{"bluetooth:AA-BB", "Buds", "headphones", {},    {}, "AA-BB",
                              microphone,        true,   false,        false, {}};
    EXPECT_EQ(
        fields(BluetoothAudio::bookmark(PairedAudioDevice{"AA-BB", "Buds", false, microphone})),
        fields(want));
  }
}

TEST(BluetoothAudio, ResolveFindsTheDeviceByUIDAndThenByBluetoothAddress) {
  const std::vector<AudioDevice> devices = {
      {1, "spk", "Speakers", 0, 2, kBuiltIn},
      {2, "mic", "Mic", 1, 0, kBuiltIn},
      {3, "usb-aa:bb:cc:dd:ee:ff", "USB with the same MAC", 1, 2, kUSB},
      {4, "AA-BB-CC-DD-EE-FF:output:2", "Headset, new UID", 0, 2, kBT},
      {5, "aa:bb:cc:dd:ee:ff:input", "Headset mic", 1, 0, kLE},
      {6, "11:22:33:44:55:66:output", "Other", 0, 2, kBT}};
  const std::string headset = "aa:bb:cc:dd:ee:ff:output", address = "AA-BB-CC-DD-EE-FF";
  using Text = std::optional<std::string>;
  const auto mark = [](Text out, Text bluetoothAddress, Text in = {}) {
    return DeviceBookmark{
        {},    {},    {}, std::move(in), std::move(out), std::move(bluetoothAddress), false, false,
        false, false, {}};
  };
  const std::tuple<DeviceBookmark, bool, std::optional<AudioObjectID>> cases[] = {
      {mark("spk", {}), false, 1},
      {mark("spk", {}), true, {}},
      {mark(headset, address), false, 4},                     // by address, and not the USB device
      {mark(headset, address), true, 5},                      // input side by address
      {mark({}, "aa:bb:cc:dd:ee:ff"), false, 4},              // address stored in another spelling
      {mark("11:22:33:44:55:66:output", address), false, 6},  // the UID wins
      {mark("x", "99-99-99-99-99-99", "x"), false, {}}};
  for (const auto& [bookmark, input, id] : cases) {
    const std::optional<AudioDevice> found = BluetoothAudio::resolve(
        bookmark, input ? settings::AudioDirection::input : settings::AudioDirection::output,
        devices);
    EXPECT_EQ(found ? std::optional(found->id) : std::nullopt, id)
        << bookmark.outputUID.value_or("-") << " " << bookmark.bluetoothAddress.value_or("-") << " "
        << input;
  }
}

TEST(BluetoothAudio, PairedListsAudioDevicesInTheSystemsOrderWithNormalisedAddresses) {
  using Paired = platform::sim::ScenarioPairedDevice;
  platform::sim::SimulatedBluetooth stack(
      {Paired{"3c:22:fb:6e:40:17", "Keyboard", {0x1124}, 5, true},
       Paired{"f0:2b:7c:11:09:5a", "Speaker", {0x110B}, 0, false},
       Paired{"A4-C3-F0-85-1E-22", "Headset", {0x111E}, 2, true},
       Paired{"0a:0b:0c:0d:0e:0f", "Old", {0x1108}, 0, false},
       Paired{"01:02:03:04:05:06", std::nullopt, {}, 4, false},
       Paired{{}, "No address", {0x110B, 0x111E}, 4, true}});
  platform::BluetoothService* previous = platform::installBluetoothService(&stack);
  EXPECT_EQ(BluetoothAudio::paired(),
            (std::vector<PairedAudioDevice>{{"F0-2B-7C-11-09-5A", "Speaker", false, false},
                                            {"A4-C3-F0-85-1E-22", "Headset", true, true},
                                            {"0A-0B-0C-0D-0E-0F", "Old", false, true},
                                            {"01-02-03-04-05-06", "蓝牙音频设备", false, false}}));
  platform::installBluetoothService(previous);
}

}  // namespace
}  // namespace velmora::audio
