#include "audio/BluetoothAudio.h"

#include <algorithm>

#include "audio/AudioFailure.h"
#include "platform/bluetooth/BluetoothService.h"
#include "settings/UTF8.h"

namespace velmora::audio::BluetoothAudio {
namespace {

using settings::DeviceBookmark;

constexpr const char* kBluetoothPrefix = "bluetooth:";
constexpr const char* kAudioPrefix = "audio:";
constexpr const char* kUnnamedDevice = "蓝牙音频设备";

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Six hexadecimal pairs, each after the first preceded by ":" or "-" (mixed separators count).
bool isAddressAt(std::string_view text, size_t start) {
  for (size_t pair = 0; pair < 6; ++pair) {
    const size_t at = start + pair * 3;
    if (pair > 0 && text[at - 1] != ':' && text[at - 1] != '-') return false;
    if (!isHexDigit(text[at]) || !isHexDigit(text[at + 1])) return false;
  }
  return true;
}

constexpr size_t kAddressLength = 17;

bool isVirtualOrAggregate(uint32_t transport) {
  return transport == uint32_t(kAudioDeviceTransportTypeVirtual) ||
         transport == uint32_t(kAudioDeviceTransportTypeAggregate);
}

std::string audioSymbol(const AudioDevice& device) {
  switch (device.transport) {
    case kAudioDeviceTransportTypeVirtual:
    case kAudioDeviceTransportTypeAggregate:
      return "waveform";
    case kAudioDeviceTransportTypeBuiltIn:
      return "laptopcomputer";
    case kAudioDeviceTransportTypeDisplayPort:
    case kAudioDeviceTransportTypeHDMI:
      return "display";
    case kAudioDeviceTransportTypeUSB:
      return "cable.connector";
    default:
      return device.outputs > 0 ? "speaker.wave.2" : "mic";
  }
}

}  // namespace

std::vector<PairedAudioDevice> paired() {
  std::vector<PairedAudioDevice> result;
  for (const platform::PairedBluetoothDevice& device :
       platform::bluetoothService().pairedDevices()) {
    const bool sink = device.hasService(platform::kBluetoothServiceAudioSink);
    const bool microphone = device.hasService(platform::kBluetoothServiceHandsFree) ||
                            device.hasService(platform::kBluetoothServiceHeadset);
    if (!microphone && !sink && device.majorDeviceClass != platform::kBluetoothMajorClassAudio)
      continue;
    if (!device.address) continue;
    // Both come from the radio: the address becomes part of a key, the name is shown.
    result.push_back(
        PairedAudioDevice{settings::escapedKey(normalizedAddress(*device.address)),
                          settings::replacingInvalidUTF8(device.name.value_or(kUnnamedDevice)),
                          device.connected, microphone});
  }
  return result;
}

void connect(const std::string& address) {
  platform::BluetoothService& service = platform::bluetoothService();
  const auto device = service.pairedDevice(address);
  if (!device) throw AudioFailure("此蓝牙设备尚未配对。请先在系统蓝牙设置中完成配对。");
  if (device->connected) return;
  const int32_t status = service.connect(address);
  if (status == 0) return;
  // A link that came up despite a status counts as a success.
  const auto after = service.pairedDevice(address);
  if (after && after->connected) return;
  throw AudioFailure("蓝牙连接失败（" + std::to_string(status) +
                     "）。请确认耳机已开机、在附近且未被其他设备占用。");
}

std::string normalizedAddress(std::string_view address) {
  return platform::comparableBluetoothAddress(std::string(address));
}

std::optional<std::string> addressInUID(std::string_view uid) {
  for (size_t start = 0; start + kAddressLength <= uid.size(); ++start) {
    if (isAddressAt(uid, start)) return normalizedAddress(uid.substr(start, kAddressLength));
  }
  return std::nullopt;
}

bool isBluetoothTransport(uint32_t transport) {
  return transport == uint32_t(kAudioDeviceTransportTypeBluetooth) ||
         transport == uint32_t(kAudioDeviceTransportTypeBluetoothLE);
}

DeviceBookmark bookmark(const AudioDevice& device, const std::vector<PairedAudioDevice>& paired,
                        AudioObjectID currentInput, AudioObjectID currentOutput) {
  std::optional<std::string> address = addressInUID(device.uid);
  std::string symbol;
  if (isBluetoothTransport(device.transport)) {
    if (!address) {
      // Without an address in the UID, the name is the only link to the paired device; a name
      // shared by several paired devices links to none.
      const PairedAudioDevice* match = nullptr;
      int matches = 0;
      for (const PairedAudioDevice& candidate : paired) {
        if (candidate.name == device.name) {
          match = &candidate;
          ++matches;
        }
      }
      if (matches == 1)
        address = match->address;
      else
        symbol = "headphones";
    }
  } else {
    // Some Bluetooth devices appear under another transport with "<address>:output" as their UID;
    // a bare MAC-like UID (a USB device's, say) is no such sign.
    const bool directionSuffix = device.uid.ends_with(":input") || device.uid.ends_with(":output");
    if (!directionSuffix) address.reset();
    if (!address) symbol = audioSymbol(device);
  }

  DeviceBookmark result;
  if (address) {
    result.id = kBluetoothPrefix + *address;
    result.symbol = "headphones";
    result.bluetoothAddress = address;
  } else {
    result.id = kAudioPrefix + device.uid;
    result.symbol = symbol;
  }
  result.name = device.name;
  if (device.inputs > 0) result.inputUID = device.uid;
  if (device.outputs > 0) result.outputUID = device.uid;
  result.supportsInput = device.inputs > 0;
  result.supportsOutput = device.outputs > 0;
  const bool onlyWhileDefault = isVirtualOrAggregate(device.transport);
  result.showInput = device.inputs > 0 && (!onlyWhileDefault || device.id == currentInput);
  result.showOutput = device.outputs > 0 && (!onlyWhileDefault || device.id == currentOutput);
  return result;
}

DeviceBookmark bookmark(const PairedAudioDevice& device) {
  DeviceBookmark result;
  result.id = kBluetoothPrefix + device.address;
  result.name = device.name;
  result.symbol = "headphones";
  result.bluetoothAddress = device.address;
  result.supportsInput = device.hasMicrophone;
  result.supportsOutput = true;
  return result;
}

std::optional<AudioDevice> resolve(const DeviceBookmark& bookmark,
                                   settings::AudioDirection direction,
                                   const std::vector<AudioDevice>& devices) {
  const bool input = settings::isInput(direction);
  std::vector<const AudioDevice*> kept;
  for (const AudioDevice& device : devices) {
    if ((input ? device.inputs : device.outputs) > 0) kept.push_back(&device);
  }
  if (const std::optional<std::string>& uid = input ? bookmark.inputUID : bookmark.outputUID) {
    for (const AudioDevice* device : kept) {
      if (device->uid == *uid) return *device;
    }
  }
  // The UID changes between connections on some systems; the address in it does not.
  if (!bookmark.bluetoothAddress || kept.empty()) return std::nullopt;
  const std::string wanted = normalizedAddress(*bookmark.bluetoothAddress);
  for (const AudioDevice* device : kept) {
    if (isBluetoothTransport(device->transport) && addressInUID(device->uid) == wanted)
      return *device;
  }
  return std::nullopt;
}

}  // namespace velmora::audio::BluetoothAudio
